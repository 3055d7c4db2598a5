// The welcome window as a start without arguments shows it over the main
// window: on a fresh machine, and with four recent portfolios.
#include "app/TForm1.h"
#include "app/TForm11.h"
#include "app/render/RenderStates.h"
#include "model/Options.h"

#include <QDir>

namespace {

// A fresh start: the first recent entry names the sample portfolio shipped
// beside the program.
const bool freshStart = RegisterRenderState("TForm11-fresh-start", [] {
    Options* options = Options::Instance();
    for (void (Options::*set)(const std::string&) :
         {&Options::SetRecentFile0, &Options::SetRecentFile1, &Options::SetRecentFile2, &Options::SetRecentFile3})
        (options->*set)("");
    options->SetShowWelcome(true);
    static std::unique_ptr<TForm11> window;
    window = std::make_unique<TForm11>();
    return static_cast<QWidget*>(window.get());
});

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
