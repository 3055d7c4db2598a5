// The welcome window with four recent portfolios, as a start without
// arguments shows it over the main window.
#include "app/TForm1.h"
#include "app/TForm11.h"
#include "app/render/RenderStates.h"
#include "model/Options.h"

#include <QDir>

namespace {

const bool recentFiles = RegisterRenderState("TForm11-recent-files", [] {
    const std::string folder = (QDir::homePath() + "/Portfolios/").toStdString();
    Options* options = Options::Instance();
    options->SetRecentFile0(folder + "Harbours 2024.pfo");
    options->SetRecentFile1(folder + "Sea & Sky.pfo");
    options->SetRecentFile2(folder + "Portraits.pfo");
    options->SetRecentFile3(folder + "Gallery submission.pfo");
    options->SetShowWelcome(true);
    static std::unique_ptr<TForm11> window;
    window = std::make_unique<TForm11>();
    return static_cast<QWidget*>(window.get());
});

} // namespace
