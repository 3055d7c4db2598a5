// New, Open, Save and Save As of the main window, its recent files and its
// save question, driven as a user meets them: menus, the real message boxes
// and file dialogs answered by a driver, files on disk.
#include "app/TForm1.h"
#include "app/WinMain.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "output/Form1.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QImage>
#include <QMenu>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kTitle = "Velmora Voravev 2.0";
const char* const kQuestion = "Do you want to save the current portfolio?";

class MainWindowFilesTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        savedRegistry_ = std::getenv("VELMORA_REGISTRY_DIR") ? std::getenv("VELMORA_REGISTRY_DIR") : "";
        ::setenv("VELMORA_REGISTRY_DIR", registry_.Path().c_str(), 1);
        Options::FreeInstance();
        // No update check goes out from these windows.
        Options::Instance()->SetCheckForUpdates(false);
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        Options::FreeInstance();
        ::setenv("VELMORA_REGISTRY_DIR", savedRegistry_.c_str(), 1);
    }

    // A portfolio file holding the artist's name and one artwork per title.
    std::string MakeFile(const std::string& name, const std::string& artist,
                         const std::vector<std::string>& titles = {})
    {
        const std::string path = files_ / name;
        Portfolio portfolio;
        portfolio.SetName(artist);
        for (size_t i = 0; i < titles.size(); ++i) {
            QImage image(40, 30, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(static_cast<int>(i) * 70, 220, 200));
            const std::string source = files_ / ("source" + std::to_string(i) + ".png");
            EXPECT_TRUE(image.save(QString::fromStdString(source)));
            auto picture = std::make_unique<Picture>(&portfolio);
            EXPECT_TRUE(picture->LoadFromFile(source));
            picture->SetTitle(titles[i]);
            portfolio.AddPicture(picture.release());
        }
        portfolio.SetFileName(path);
        EXPECT_TRUE(portfolio.Save()) << path;
        return path;
    }

    QAction* Action(const char* name)
    {
        QAction* action = form1_->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }

    // A path whose folder nobody may write into (root writes anywhere but /proc).
    std::string UnwritablePath(const std::string& name)
    {
        if (::geteuid() == 0)
            return "/proc/" + name;
        const fs::path locked = files_.Path() / "locked";
        fs::create_directories(locked);
        ::chmod(locked.c_str(), 0555);
        return (locked / name).string();
    }

    std::string Caption() const { return form1_->windowTitle().toStdString(); }

    TempDir registry_, files_;
    std::string savedRegistry_;
};

TEST_F(MainWindowFilesTest, OpenReplacesThePortfolioAndNamesTheFile)
{
    const std::string path = MakeFile("Harbour & Sea.pfo", "Ada Lovelace", {"Red Field", "Dusk"});
    MakeForms();
    ASSERT_TRUE(form1_->OpenPortfolio(path));
    Portfolio* opened = CurrentPortfolio();
    EXPECT_EQ(opened->GetName(true), "Ada Lovelace");
    ASSERT_EQ(opened->GetPictureCount(), 2);
    EXPECT_EQ(opened->GetPicture(0)->GetTitle(true), "Red Field");
    EXPECT_EQ(opened->GetPicture(1)->GetTitle(true), "Dusk");
    EXPECT_FALSE(opened->IsModified());
    EXPECT_EQ(Caption(), std::string(kTitle) + " - Harbour & Sea.pfo");
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), path);
    EXPECT_EQ(Action("MRUFile01")->text(), "Harbour && Sea.pfo");
}

TEST_F(MainWindowFilesTest, AFailedOpenIsReportedAndLeavesAnEmptyPortfolioAndTheFileAsItWas)
{
    // A whole file cut in half: the reader gets part of the way.
    const std::string whole = ReadFileBytes(MakeFile("whole.pfo", "Ada", {"Red Field", "Dusk", "Noon"}));
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {{"half.pfo", whole.substr(0, whole.size() / 2)}, {"noise.pfo", "not a portfolio"}};
    MakeForms();
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = files_.Write(file.name, file.bytes);
        // Listed among the recent files, as after an earlier open.
        Options::Instance()->SetRecentFile2(path);
        CurrentPortfolio()->SetName("Unsaved work");

        ModalDriver driver;
        driver.Press(QMessageBox::No).Press(QMessageBox::Ok);
        EXPECT_FALSE(form1_->OpenPortfolio(path));
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 2u) << "no save question over what the reader left";
        EXPECT_EQ(driver.Seen()[0].text, kQuestion);
        const SeenModal& failure = driver.Seen()[1];
        EXPECT_EQ(failure.text,
                  std::string("Failed to open the file: ") + file.name + "\n\nPlease check if this file still exists.");
        EXPECT_EQ(failure.title, "Error");
        EXPECT_EQ(failure.icon, QMessageBox::Warning);

        EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
        EXPECT_EQ(CurrentPortfolio()->GetName(true), "");
        EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");
        EXPECT_FALSE(CurrentPortfolio()->IsModified());
        EXPECT_EQ(Caption(), kTitle);
        EXPECT_EQ(Options::Instance()->GetRecentFile2(), "");
        EXPECT_FALSE(Action("MRUFile21")->isVisible());
        EXPECT_EQ(ReadFileBytes(path), file.bytes);
    }
}

} // namespace
