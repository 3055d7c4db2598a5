// New, Open, Save and Save As of the main window, its recent files and its
// save question, driven as a user meets them: menus, the real message boxes
// and file dialogs answered by a driver, files on disk.
#include "app/TForm1.h"
#include "app/WinMain.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "output/Form1.h"
#include "output/PortfolioArchive.h"
#include "tests/app/JobTestSupport.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/BmpFile.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include "services/ProductAddresses.h"
#include "services/Updater.h"

#include <fstream>
#include <optional>

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
        // No update check goes out from these windows, no welcome shows.
        Options::Instance()->SetCheckForUpdates(false);
        Options::Instance()->SetShowWelcome(false);
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
    // A whole file with its last artwork damaged: the reader gets part of the
    // way and leaves what it read behind.
    const std::string whole = ReadFileBytes(MakeFile("whole.pfo", "Ada", {"Red Field", "Dusk", "Noon"}));
    std::string damaged = whole;
    for (size_t i = whole.size() * 3 / 5; i < whole.size() * 3 / 5 + 64; ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {{"damaged.pfo", damaged}, {"half.pfo", whole.substr(0, whole.size() / 2)},
                 {"noise.pfo", "not a portfolio"}};

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
        // The file is there: it is not reported as gone.
        EXPECT_EQ(failure.text, std::string("Failed to open the file: ") + file.name +
                                    "\n\nThe file is damaged or is not a portfolio file.");
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

// A sound file larger than this computer may open is not called damaged:
// the box says how much it needs, and it stays among the recent files.
TEST_F(MainWindowFilesTest, AFileLargerThanThisComputerMayOpenSaysHowMuchItNeeds)
{
    struct Restore {
        ~Restore() { PortfolioArchive::SetMaxLoadSize(0); }
    } restore;
    const std::string path = MakeFile("large.pfo", "Ada", {"Red Field", "Dusk"});
    MakeForms();
    Options::Instance()->SetRecentFile2(path);
    // Two artworks of 40 x 30 need a few kilobytes; this computer, as the
    // test sets it, may use less.
    PortfolioArchive::SetMaxLoadSize(4096);

    ModalDriver driver;
    driver.Press(QMessageBox::Ok);
    EXPECT_FALSE(form1_->OpenPortfolio(path));
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].text, "Failed to open the file: large.pfo\n\nOpening this portfolio needs 1 MiB of "
                                     "memory for its artworks, more than the program may use on this computer (0 "
                                     "MiB). It opens on a computer with more memory.");
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_EQ(Options::Instance()->GetRecentFile2(), path);

    PortfolioArchive::SetMaxLoadSize(0);
    EXPECT_TRUE(form1_->OpenPortfolio(path));
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 2);
}

TEST_F(MainWindowFilesTest, AFifoOrFolderGivenAsAPortfolioIsRefusedAtOnce)
{
    const std::string fifo = files_ / "shared.pfo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = files_ / "folder.pfo";
    fs::create_directories(folder);
    MakeForms();
    for (const auto& [path, reason] : {std::pair<std::string, std::string>{fifo, "Not a regular file."},
                                       {folder, "Is a directory."}}) {
        SCOPED_TRACE(path);
        Options::Instance()->SetRecentFile1(path);
        FifoWatchdog watchdog(fifo, 5);
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        EXPECT_FALSE(form1_->OpenPortfolio(path));
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        watchdog.Stop();
        EXPECT_FALSE(watchdog.Released()) << "the open waited on the FIFO";
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].text,
                  "Failed to open the file: " + fs::path(path).filename().string() + "\n\n" + reason);
        EXPECT_EQ(Options::Instance()->GetRecentFile1(), "");
        EXPECT_EQ(Caption(), kTitle);
    }
}

// What each recent-file menu entry shows, hidden entries as "-".
std::vector<std::string> MenuEntries(TForm1& form)
{
    std::vector<std::string> shown;
    for (const char* name : {"MRUFile01", "MRUFile11", "MRUFile21", "MRUFile31"}) {
        QAction* item = form.findChild<QAction*>(name);
        shown.push_back(item->isVisible() ? item->text().toStdString() : "-");
    }
    return shown;
}

TEST_F(MainWindowFilesTest, RecentFilesKeepFourAndMoveOnlyTheFourthToTheTop)
{
    const std::string a = MakeFile("a.pfo", "A"), b = MakeFile("b.pfo", "B"), c = MakeFile("c.pfo", "C"),
                      d = MakeFile("d.pfo", "D"), amp = MakeFile("Sea & Sky.pfo", "E");
    MakeForms();
    const std::string sample = Options::Instance()->GetRecentFile0();
    ASSERT_NE(sample, "");
    const std::string sampleName = fs::path(sample).filename().string();
    EXPECT_EQ(MenuEntries(*form1_), (std::vector<std::string>{sampleName, "-", "-", "-"}));
    EXPECT_TRUE(Action("N5")->isVisible());

    const struct {
        std::string open;
        std::vector<std::string> entries;
    } steps[] = {
        {a, {"a.pfo", sampleName, "-", "-"}},
        {b, {"b.pfo", "a.pfo", sampleName, "-"}},
        {c, {"c.pfo", "b.pfo", "a.pfo", sampleName}},
        {b, {"c.pfo", "b.pfo", "a.pfo", sampleName}},  // among the first three: no change
        {d, {"d.pfo", "c.pfo", "b.pfo", "a.pfo"}},
        {a, {"a.pfo", "d.pfo", "c.pfo", "b.pfo"}},     // the fourth comes to the top
        {amp, {"Sea && Sky.pfo", "a.pfo", "d.pfo", "c.pfo"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.open);
        ASSERT_TRUE(form1_->OpenPortfolio(step.open));
        EXPECT_EQ(MenuEntries(*form1_), step.entries);
    }
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), amp);
    EXPECT_EQ(Options::Instance()->GetRecentFile3(), c);

    // A file that went away leaves the list when it fails to open.
    fs::remove(c);
    ModalDriver driver;
    driver.Press(QMessageBox::Ok);
    Action("MRUFile31")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(0).text, "Failed to open the file: c.pfo\n\nPlease check if this file still exists.");
    EXPECT_EQ(MenuEntries(*form1_), (std::vector<std::string>{"Sea && Sky.pfo", "a.pfo", "d.pfo", "-"}));
    EXPECT_EQ(Options::Instance()->GetRecentFile3(), "");
    EXPECT_TRUE(Action("N5")->isVisible());

    // The entries open what they name.
    Action("MRUFile21")->trigger();
    EXPECT_EQ(CurrentPortfolio()->GetName(true), "D");
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), d);
}

enum class Answer { No, YesSaved, YesCancelled, YesFailed };
enum class Command { New, Open, Exit, Close };

TEST_F(MainWindowFilesTest, TheSaveQuestionGoesOnOnlyWhenTheWorkIsSafe)
{
    const std::string other = MakeFile("other.pfo", "Other Artist");
    const char* const answers[] = {"No", "Yes, saved", "Yes, cancelled", "Yes, failed"};
    const char* const commands[] = {"New", "Open", "Exit", "Close"};
    for (Command command : {Command::New, Command::Open, Command::Exit, Command::Close}) {
        for (Answer answer : {Answer::No, Answer::YesSaved, Answer::YesCancelled, Answer::YesFailed}) {
            SCOPED_TRACE(std::string(commands[static_cast<int>(command)]) + " / " + answers[static_cast<int>(answer)]);
            MakeForms();
            CurrentPortfolio()->SetName("Unsaved work");
            const std::string target = answer == Answer::YesFailed ? UnwritablePath("work.pfo") : files_ / "work.pfo";
            fs::remove(target);

            ModalDriver driver;
            driver.Press(answer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
            if (answer == Answer::YesCancelled)
                driver.Reject();
            else if (answer != Answer::No)
                driver.ChooseFile(QString::fromStdString(target));
            if (answer == Answer::YesFailed)
                driver.Press(QMessageBox::Ok);

            const int quits = QuitRequests();
            bool closed = false;
            switch (command) {
            case Command::New: form1_->NewPortfolio(); break;
            case Command::Open: form1_->OpenPortfolio(other); break;
            case Command::Exit: Action("Exit1")->trigger(); break;
            case Command::Close: closed = form1_->close(); break;
            }
            ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
            EXPECT_EQ(driver.Seen()[0].text, kQuestion);
            EXPECT_EQ(driver.Seen()[0].title, "Save Portfolio");
            EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Question);
            if (answer == Answer::YesFailed) {
                EXPECT_EQ(driver.Seen().back().title, "Oooops!");
                EXPECT_EQ(driver.Seen().back().icon, QMessageBox::Critical);
            }

            const bool goesOn = answer == Answer::No || answer == Answer::YesSaved;
            if (answer == Answer::YesSaved) {
                Portfolio saved;
                saved.SetFileName(target);
                ASSERT_TRUE(saved.Load());
                EXPECT_EQ(saved.GetName(true), "Unsaved work");
            } else {
                EXPECT_FALSE(fs::exists(target));
            }
            switch (command) {
            case Command::New:
                // (A new portfolio may take the old one's address: the name tells them apart.)
                EXPECT_EQ(CurrentPortfolio()->GetName(true), goesOn ? "" : "Unsaved work");
                break;
            case Command::Open:
                EXPECT_EQ(CurrentPortfolio()->GetName(true), goesOn ? "Other Artist" : "Unsaved work");
                break;
            case Command::Exit:
                EXPECT_EQ(CurrentPortfolio() == nullptr, goesOn);
                EXPECT_EQ(QuitRequests(), quits + (goesOn ? 1 : 0));
                break;
            case Command::Close:
                EXPECT_EQ(closed, goesOn);
                EXPECT_EQ(CurrentPortfolio() == nullptr, goesOn);
                EXPECT_EQ(QuitRequests(), quits + (goesOn ? 1 : 0));
                break;
            }
            if (!goesOn) {
                EXPECT_TRUE(CurrentPortfolio()->IsModified());
            }
        }
    }
}

TEST_F(MainWindowFilesTest, SaveAsWritesACopyAndTheWindowStaysWithItsOwnFile)
{
    const std::string own = MakeFile("own.pfo", "First");
    const std::string ownBytes = ReadFileBytes(own);
    MakeForms();
    ASSERT_TRUE(form1_->OpenPortfolio(own));
    CurrentPortfolio()->SetName("Second");

    const std::string copy = files_ / "copy.pfo";
    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(copy));
    Action("SaveAs1")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    Portfolio written;
    written.SetFileName(copy);
    ASSERT_TRUE(written.Load());
    EXPECT_EQ(written.GetName(true), "Second");
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), copy);
    EXPECT_EQ(Caption(), std::string(kTitle) + " - own.pfo");
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), own);
    EXPECT_TRUE(CurrentPortfolio()->IsModified()) << "own.pfo still holds the older work";
    EXPECT_EQ(ReadFileBytes(own), ownBytes);

    // Save goes to the window's own file without asking.
    Action("Save1")->trigger();
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    Portfolio saved;
    saved.SetFileName(own);
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetName(true), "Second");
}

TEST_F(MainWindowFilesTest, SaveOfMoreThanThisComputerCanOpenAsksFirst)
{
    struct Restore {
        ~Restore() { PortfolioArchive::SetMaxLoadSize(0); }
    } restore;
    const std::string own = MakeFile("own.pfo", "First", {"Red Field", "Dusk"});
    const std::string ownBytes = ReadFileBytes(own);
    MakeForms();
    ASSERT_TRUE(form1_->OpenPortfolio(own));
    CurrentPortfolio()->SetName("Second");
    // Two artworks of 40 x 30 need a few kilobytes; this computer, as the
    // test sets it, can open less.
    PortfolioArchive::SetMaxLoadSize(4096);

    ModalDriver driver;
    driver.Press(QMessageBox::No).Press(QMessageBox::Yes);
    Action("Save1")->trigger();
    EXPECT_EQ(ReadFileBytes(own), ownBytes) << "the user said no";
    EXPECT_TRUE(CurrentPortfolio()->IsModified());
    Action("Save1")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 2u);
    for (const SeenModal& seen : driver.Seen()) {
        EXPECT_EQ(seen.title, "Warning");
        EXPECT_NE(seen.text.find("The artworks of this portfolio take 1 MiB of memory, more than this computer can "
                                 "open (0 MiB): the saved file would not open here again."),
                  std::string::npos)
            << seen.text;
    }
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    PortfolioArchive::SetMaxLoadSize(0);
    Portfolio saved;
    saved.SetFileName(own);
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetName(true), "Second");
}

TEST_F(MainWindowFilesTest, SaveOntoAFullDiskSaysSo)
{
    SmallDisk disk(16 << 10);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const std::string source = MakeFile("source.pfo", "Ada", {"Red Field", "Dusk"});
    MakeForms();
    ASSERT_TRUE(form1_->OpenPortfolio(source));
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }
    const std::string target = disk / "full.pfo";
    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(target)).Press(QMessageBox::Ok);
    Action("SaveAs1")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].text, "An error occurred trying to save the portfolio:\nThe disk is full: the folder "
                                     "\"" + disk.Path() + "\" has no room left for \"full.pfo\".");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(MainWindowFilesTest, SaveAsOfAnUnnamedPortfolioLeavesItUnnamed)
{
    MakeForms();
    CurrentPortfolio()->SetName("Fresh");
    const std::string copy = files_ / "copy.pfo", later = files_ / "later.pfo";
    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(copy)).ChooseFile(QString::fromStdString(later));
    Action("SaveAs1")->trigger();
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_EQ(Caption(), kTitle);
    // The next Save asks for a name again.
    Action("ToolButton1")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_TRUE(fs::exists(later));
    EXPECT_EQ(Caption(), std::string(kTitle) + " - later.pfo");
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), later);
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), later);
    EXPECT_EQ(Options::Instance()->GetRecentFile1(), copy);
}

TEST_F(MainWindowFilesTest, AFailedSaveKeepsTheCaptionAndTheFileOfTheLastSaveThatWorked)
{
    MakeForms();
    CurrentPortfolio()->SetName("Work");
    const std::string sample = Options::Instance()->GetRecentFile0();
    const std::string failing = UnwritablePath("work.pfo");
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(failing)).Press(QMessageBox::Ok);
        Action("Save1")->trigger();
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].title, "Oooops!");
        EXPECT_EQ(driver.Seen()[1].text.rfind("An error occurred trying to save the portfolio:\n", 0), 0u);
    }
    EXPECT_EQ(Caption(), kTitle);
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");
    EXPECT_TRUE(CurrentPortfolio()->IsModified());
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), sample);

    // The next Save asks for a name again, and one that works names the window.
    const std::string good = files_ / "good.pfo";
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(good));
        Action("ToolButton1")->trigger();
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }
    EXPECT_TRUE(fs::exists(good));
    EXPECT_EQ(Caption(), std::string(kTitle) + " - good.pfo");

    // A saved portfolio whose file can no longer be written keeps it.
    const fs::path moved = files_ / "moved";
    fs::create_directories(moved);
    const std::string inMoved = (moved / "kept.pfo").string();
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(inMoved));
        Action("SaveAs1")->trigger();
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }
    ASSERT_TRUE(form1_->OpenPortfolio(inMoved));
    fs::remove_all(moved);
    CurrentPortfolio()->SetName("Later work");
    {
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        Action("Save1")->trigger();
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }
    EXPECT_EQ(Caption(), std::string(kTitle) + " - kept.pfo");
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), inMoved);
}

TEST_F(MainWindowFilesTest, CheckForUpdatesIsOfferedOnlyWithAnUpdateServer)
{
    // This build names no update host; a test address stands in for one.
    ASSERT_EQ(std::string(ProductAddresses::UpdateHost), "");
    MakeForms();
    EXPECT_FALSE(Action("CheckforUpdates1")->isEnabled());
    // The end of an update job enables the entry again, but not here.
    form1_->SetCheckForUpdatesEnabled(true);
    EXPECT_FALSE(Action("CheckforUpdates1")->isEnabled());
    form1_.reset();

    Updater::SetTestOverrides("https://127.0.0.1:1/update2.xml", "", 0);
    MakeForms();
    EXPECT_TRUE(Action("CheckforUpdates1")->isEnabled());
    form1_->SetCheckForUpdatesEnabled(false);
    EXPECT_FALSE(Action("CheckforUpdates1")->isEnabled());
    form1_->SetCheckForUpdatesEnabled(true);
    EXPECT_TRUE(Action("CheckforUpdates1")->isEnabled());
    Updater::SetTestOverrides("", "", 0);
}

TEST_F(MainWindowFilesTest, TheCommandLineDecidesWhatTheWindowStartsWith)
{
    const std::string file = MakeFile("given.pfo", "Given Artist", {"Only"});
    QImage image(12, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const std::string picture = files_ / "red.png";
    ASSERT_TRUE(image.save(QString::fromStdString(picture)));
    const std::string notPicture = files_.Write("notes.txt", "no picture here");
    // A JPEG cut in half decodes with a grey lower half; a bitmap with a
    // later info header is a whole picture.
    const QByteArray jpeg = PhotoLikeJpeg(QSize(200, 150), false);
    const std::string cutJpeg = files_.Write("cut.jpg", jpeg.left(jpeg.size() / 2).toStdString());
    const std::string laterBmp =
        files_.Write("alpha.bmp", LaterBmp(124, 32, 3, "", std::string(3 * 2 * 4, char(0x80)), false));

    const std::string kNotAPicture = "it is not a picture in a format the program reads (JPEG, PNG, GIF, BMP or TIFF)";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        bool cancelDialog;
        std::string caption;
        std::string artist;
        int artworks;  // each titled "New Artwork" unless opened, each with its image
        std::string message;  // about the files that are no picture
    } rows[] = {
        {"none", {}, false, kTitle, "", 0, ""},
        {"two files", {picture, notPicture}, false, kTitle, "", 1,
         "The file \"" + notPicture + "\" could not be read as a picture: " + kNotAPicture + "."},
        {"a cut JPEG among whole pictures", {picture, cutJpeg, laterBmp}, false, kTitle, "", 2,
         "The file \"" + cutJpeg + "\" could not be read as a picture: it is damaged or cut short."},
        {"open a file", {"/open", file}, false, std::string(kTitle) + " - given.pfo", "Given Artist", 1, ""},
        {"open, dialog cancelled", {"/open"}, true, kTitle, "", 0, ""},
        {"the switch is case-sensitive", {"/OPEN", file}, false, kTitle, "", 0,
         "These files could not be read as pictures:\n/OPEN: it does not exist\n" + file + ": " + kNotAPicture},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ModalDriver driver;
        if (row.cancelDialog)
            driver.Reject();
        if (!row.message.empty())
            driver.Press(QMessageBox::Ok);
        form1_ = std::make_unique<TForm1>(row.arguments);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        if (!row.message.empty()) {
            EXPECT_EQ(driver.Seen().back().text, row.message);
        }
        ASSERT_TRUE(WaitUntil([this] { return !form1_->AddingArtworks(); }));
        ASSERT_NE(CurrentPortfolio(), nullptr);
        EXPECT_EQ(Caption(), row.caption);
        EXPECT_EQ(CurrentPortfolio()->GetName(true), row.artist);
        ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), row.artworks);
        for (int i = 0; i < row.artworks; ++i) {
            Picture* artwork = CurrentPortfolio()->GetPicture(i);
            EXPECT_NE(artwork->GetBitmap(), nullptr) << i;
            if (row.arguments[0] != "/open") {
                EXPECT_EQ(artwork->GetTitle(true), "New Artwork");
            }
        }
        form1_.reset();
    }
}

TEST_F(MainWindowFilesTest, CloseIsRefusedWhileAProgressWindowHoldsTheWindow)
{
    MakeForms();
    form1_->show();
    CurrentPortfolio()->SetName("Unsaved work");
    const int holder = 0;
    DisableForm1By(&holder);
    {
        ModalDriver driver;  // no window may come
        EXPECT_FALSE(form1_->close());
        EXPECT_TRUE(driver.AllDone()) << driver.Report();
        EXPECT_NE(CurrentPortfolio(), nullptr);
    }
    EnableForm1By(&holder);
    ModalDriver driver;
    driver.Press(QMessageBox::No);
    EXPECT_TRUE(form1_->close());
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(CurrentPortfolio(), nullptr);
}

TEST_F(MainWindowFilesTest, HelpPagesAreOfferedOnlyWhereTheBuildNamesThem)
{
    // A stand-in for the desktop's web-page opener records what it is given.
    TempDir hook;
    const std::string script = hook.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$HOOK_OUT\"\n");
    ::chmod(script.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (hook.Path().string() + ":" + oldPath).c_str(), 1);
    ::setenv("HOOK_OUT", (hook / "opened").c_str(), 1);
    MakeForms();
    const struct {
        const char* action;
        std::string address;
    } pages[] = {{"Tutorial1", ProductAddresses::TutorialPage},
                 {"VisitWebsite1", ProductAddresses::WebSite},
                 {"Sendfeedback1", ProductAddresses::FeedbackPage}};
    std::string expected;
    for (const auto& page : pages) {
        SCOPED_TRACE(page.action);
        EXPECT_EQ(Action(page.action)->isEnabled(), !page.address.empty());
        Action(page.action)->trigger();
        if (!page.address.empty())
            expected += page.address + "\n";
    }
    // The opener runs detached: wait for what it wrote.
    for (int i = 0; i < 500 && ReadFileBytes(hook / "opened").size() < expected.size(); ++i)
        QTest::qWait(20);
    EXPECT_EQ(ReadFileBytes(hook / "opened"), expected);
    ::setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
