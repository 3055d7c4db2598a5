// The program itself, with one step of a user's session played once its
// windows are up:
//   make NAME   adds a template of that name, as the template editor does,
//               then prints "ready" and the run goes on until it is ended;
//   list        prints the names of the user's own templates and "end",
//               then ends the run as Exit does;
//   export FOLDER FILE
//               makes an artwork of each picture in FOLDER (in name order,
//               at its own size),
//               exports the portfolio to FILE as the user does, and prints
//               "exporting" once the export's window shows;
//   save FOLDER FILE
//               makes the artworks as export does, prints "saving", saves
//               the portfolio as FILE on the main thread and prints "saved".
#include "app/TForm1.h"
#include "app/WinMain.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/ProgressThread.h"
#include "output/TForm15.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& Step()
{
    static std::vector<std::string> step;
    return step;
}

// An artwork of each picture in the folder, in name order; false (after
// printing "failed") when one cannot be read.
bool AddArtworks(const std::string& folder)
{
    std::vector<std::string> pictures;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        pictures.push_back(entry.path().string());
    std::sort(pictures.begin(), pictures.end());
    // Kept at their own size, as the user who chose "Don't resize" has them.
    Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
    Portfolio* portfolio = Form1->GetPortfolio();
    for (const std::string& path : pictures) {
        auto picture = std::make_unique<Picture>(portfolio);
        if (!picture->LoadFromFile(path)) {
            std::printf("failed\n");
            return false;
        }
        picture->SetTitle(std::filesystem::path(path).stem().string());
        portfolio->AddPicture(picture.release());
    }
    return true;
}

void Save(const std::string& folder, const std::string& file)
{
    if (!AddArtworks(folder))
        return;
    std::printf("saving\n");
    std::fflush(stdout);
    Portfolio* portfolio = Form1->GetPortfolio();
    portfolio->SetFileName(file);
    std::string failure;
    std::printf(portfolio->Save(&failure) ? "saved\n" : "failed\n");
}

void Export(const std::string& folder, const std::string& file)
{
    if (!AddArtworks(folder))
        return;
    // The user types the file's name into the save dialog.
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
            edit->setText(QString::fromStdString(file));
        else
            dialog->selectFile(QString::fromStdString(file));
        static_cast<QDialog*>(dialog)->accept();
    });
    chooser.start(20);
    Form1->ExportPortfolio();
    chooser.stop();
    auto* watcher = new QTimer(Form1);
    QObject::connect(watcher, &QTimer::timeout, [watcher] {
        const auto& jobs = Form1->Jobs();
        if (jobs.size() == 1 && jobs[0]->ProgressForm()->isVisible()) {
            std::printf("exporting\n");
            std::fflush(stdout);
            watcher->stop();
        }
    });
    watcher->start(20);
}

void Play()
{
    // Runs once the message loop does, after the windows are made.
    QTimer::singleShot(0, [] {
        TemplateLibrary* library = TemplateLibrary::Instance();
        if (Step().size() == 2 && Step()[0] == "make") {
            if (library->AddTemplate(Step()[1]))
                std::printf("ready\n");
            else
                std::printf("failed\n");
        } else if (Step().size() == 3 && Step()[0] == "export") {
            Export(Step()[1], Step()[2]);
        } else if (Step().size() == 3 && Step()[0] == "save") {
            Save(Step()[1], Step()[2]);
        } else {
            for (int i = 0; i < library->GetCount(); ++i)
                if (!library->GetTemplate(i)->IsBuiltin())
                    std::printf("%s\n", library->GetTemplate(i)->GetName().c_str());
            std::printf("end\n");
            QuitMessageLoop(0);
        }
        std::fflush(stdout);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Play)

int main(int argc, char** argv)
{
    Step().assign(argv + 1, argv + argc);
    char* program[] = {argv[0], nullptr};
    return WinMain(1, program);
}
