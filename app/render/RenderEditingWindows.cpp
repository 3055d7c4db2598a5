// States of the contact details dialog, the artwork details dialog and the
// statement page.
#include "app/TForm1.h"
#include "app/TForm5.h"
#include "app/render/RenderStates.h"
#include "model/Portfolio.h"

namespace {

const bool contactDetails = RegisterRenderState("TForm5-contact-details", [] {
    // The main window owns it, as it owns the one it makes for each use.
    auto* dialog = new TForm5(Form1);
    Portfolio* portfolio = Form1->GetPortfolio();
    portfolio->SetName("Ada Painter");
    portfolio->SetPhone("+44 20 7946 0000");
    portfolio->SetEmail("ada@example.org");
    portfolio->SetWebsiteAddress("ada.example.org");
    portfolio->SetAddress("12 Canal Street\r\nLeeds\r\nLS1 4AB");
    portfolio->SetCVFile("/home/ada/Documents/cv-2026.doc");
    portfolio->SetUseCVFile(true);
    dialog->LoadDetails(portfolio);
    return static_cast<QWidget*>(dialog);
});

} // namespace
