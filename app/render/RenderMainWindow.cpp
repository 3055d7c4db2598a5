// The main window's File menu with four recent portfolios, opened as a user
// opens them (each a real file in the render's private home).
#include "app/TForm1.h"
#include "app/render/RenderStates.h"
#include "model/Portfolio.h"

#include <QDir>
#include <QMenu>

namespace {

const bool recentFiles = RegisterRenderState("TForm1-file-menu-recent-files", [] {
    const QString folder = QDir::homePath() + "/Portfolios";
    QDir().mkpath(folder);
    for (const char* name : {"Harbours 2024.pfo", "Sea & Sky.pfo", "Portraits.pfo", "Gallery submission.pfo"}) {
        const std::string path = (folder + "/" + name).toStdString();
        Portfolio portfolio;
        portfolio.SetName("Ada Lovelace");
        portfolio.SetFileName(path);
        if (portfolio.Save())
            Form1->OpenPortfolio(path);
    }
    // The states after this one start from a new portfolio, as the program does.
    Form1->NewPortfolio();
    auto* menu = Form1->findChild<QMenu*>("F1");
    menu->adjustSize();
    return static_cast<QWidget*>(menu);
});

} // namespace
