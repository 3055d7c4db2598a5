// Ends of a run that the user does not choose from the program: a session
// end (the session manager asks to save, then signals), `kill`, a hang-up,
// a kill that leaves no chance to clean up, and a lock folder someone
// tampered with.
#include "app/WinMain.h"
#include "output/PortfolioGenerator.h"
#include "platform/ipc/Ipc.h"
#include "tests/app/QuietStart.h"
#include "tests/app/SingleInstanceTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SessionEndTest : public PrivateSettingsWindowTest {};

TEST_F(SessionEndTest, TheSessionManagersRequestOffersToSaveAModifiedPortfolio)
{
    enum class Answer { NotAsked, No, YesSaved, YesCancelled };
    struct Case {
        const char* what;
        bool interaction;
        bool modified;
        Answer answer;
        bool result;
    };
    const Case cases[] = {
        {"no interaction allowed", false, true, Answer::NotAsked, true},
        {"nothing to save", true, false, Answer::NotAsked, true},
        {"not wanted", true, true, Answer::No, true},
        {"saved", true, true, Answer::YesSaved, true},
        // The user wanted it saved and it was not: the logout is cancelled.
        {"save cancelled", true, true, Answer::YesCancelled, false},
    };
    TempDir files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeForms();
        if (c.modified)
            Form1->GetPortfolio()->SetName("Work of the session");
        else
            ASSERT_FALSE(Form1->IsPortfolioModified());
        const std::string target = files / "session.pfo";
        fs::remove(target);

        ModalDriver driver;
        if (c.answer != Answer::NotAsked)
            driver.Press(c.answer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        if (c.answer == Answer::YesSaved)
            driver.ChooseFile(QString::fromStdString(target));
        if (c.answer == Answer::YesCancelled)
            driver.Reject();

        EXPECT_EQ(SaveAtSessionEnd(c.interaction), c.result);
        EXPECT_TRUE(driver.AllDone()) << driver.Report();
        if (c.answer == Answer::NotAsked)
            EXPECT_TRUE(driver.Seen().empty()) << driver.Report();
        else
            EXPECT_EQ(driver.Seen()[0].text, "Do you want to save the current portfolio?");
        EXPECT_EQ(fs::exists(target), c.answer == Answer::YesSaved);
        EXPECT_EQ(Form1->IsPortfolioModified(), c.modified && c.answer != Answer::YesSaved);
    }
}

// The program run in a child process over a private home, as a user's
// session runs it.
class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"config", "data", "cache", "registry", "tmp"})
            fs::create_directories(home_ / folder);
        ChooseQuietStart(home_ / "registry");
    }

    std::vector<std::string> Environment() const
    {
        return {"HOME=" + home_.Path().string(),
                "XDG_CONFIG_HOME=" + (home_ / "config"),
                "XDG_DATA_HOME=" + (home_ / "data"),
                "XDG_CACHE_HOME=" + (home_ / "cache"),
                "VELMORA_REGISTRY_DIR=" + (home_ / "registry"),
                "TMPDIR=" + (home_ / "tmp"),
                "XDG_RUNTIME_DIR",
                "QT_QPA_PLATFORM=offscreen",
                "DISPLAY",
                "WAYLAND_DISPLAY"};
    }

    std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& step) const
    {
        std::vector<std::string> args{SESSION_HELPER};
        args.insert(args.end(), step.begin(), step.end());
        return std::make_unique<ChildProcess>(args, Environment());
    }

    // The user's own templates, as a new run finds them.
    std::vector<std::string> TemplatesOfANewRun() const
    {
        auto run = Start({"list"});
        std::vector<std::string> names;
        std::string line;
        while (run->ReadLine(&line) && line != "end")
            names.push_back(line);
        EXPECT_EQ(line, "end") << run->ErrorOutput();
        const int status = run->Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << run->ErrorOutput();
        return names;
    }

    // The working folders runs have left in the private temp folder.
    std::vector<std::string> WorkingFolders() const
    {
        std::vector<std::string> names;
        // Qt keeps a runtime folder of its own there when none is set.
        for (const auto& entry : fs::directory_iterator(home_ / "tmp"))
            if (entry.path().filename().string().rfind("VelmoraAlbumDesignerPro-", 0) == 0)
                names.push_back(entry.path().filename().string());
        return names;
    }

    // Whether the instance lock of the private home is free now.
    bool LockIsFree() const
    {
        const std::string saved = std::getenv("XDG_CACHE_HOME");
        ::setenv("XDG_CACHE_HOME", (home_ / "cache").c_str(), 1);
        HANDLE lock = CreateMutexA(nullptr, true, PortfolioGenerator::ApplicationKey);
        const bool free = lock && GetLastError() == ERROR_SUCCESS;
        if (lock)
            CloseHandle(lock);
        ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
        return free;
    }

    TempDir home_;
};

TEST_F(ProgramRunTest, TermAndHangUpEndTheRunThroughItsShutDownKeepingTheSessionsTemplates)
{
    for (int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string name = std::string("Made before ") + sigabbrev_np(signal);
        auto run = Start({"make", name});
        std::string line;
        ASSERT_TRUE(run->ReadLine(&line)) << run->ErrorOutput();
        ASSERT_EQ(line, "ready");
        EXPECT_FALSE(LockIsFree());
        EXPECT_EQ(WorkingFolders().size(), 1u);

        run->Kill(signal);
        const int status = run->Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << run->ErrorOutput();
        EXPECT_TRUE(LockIsFree());
        const std::vector<std::string> names = TemplatesOfANewRun();
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << testing::PrintToString(names);
    }
    EXPECT_TRUE(WorkingFolders().empty()) << testing::PrintToString(WorkingFolders());
}

TEST_F(ProgramRunTest, TheWorkingFolderOfAKilledRunGoesAtTheNextStart)
{
    auto run = Start({"make", "Never kept"});
    std::string line;
    ASSERT_TRUE(run->ReadLine(&line)) << run->ErrorOutput();
    ASSERT_EQ(line, "ready");
    const std::vector<std::string> left = WorkingFolders();
    ASSERT_EQ(left.size(), 1u);
    fs::create_directories(home_.Path() / "tmp" / left[0] / "0000ABCD" / "Images");
    run->Kill(SIGKILL);
    run->Wait();
    EXPECT_EQ(WorkingFolders(), left);

    TemplatesOfANewRun();
    EXPECT_TRUE(WorkingFolders().empty()) << testing::PrintToString(WorkingFolders());
}

TEST_F(ProgramRunTest, ALockFolderOthersMayEnterStopsTheStartWithAMessage)
{
    const std::string saved = std::getenv("XDG_CACHE_HOME");
    ::setenv("XDG_CACHE_HOME", (home_ / "cache").c_str(), 1);
    const std::string ipc = GetIpcFolder();
    ::setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    fs::create_directories(ipc);
    ::chmod(ipc.c_str(), 0777);

    auto run = Start({"list"});
    const int status = run->Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(run->ErrorOutput().find("the folder \"" + ipc + "\" must be a folder of yours that nobody else may open"),
              std::string::npos)
        << run->ErrorOutput();
    EXPECT_EQ(fs::status(ipc).permissions() & fs::perms::all, fs::perms::all) << "left for the user to mend";
}

// Ends of the run asked for while the program is busy: a box of the start
// shows, an export draws its pages, a save writes the file.
class BusyRunTest : public ProgramRunTest {
protected:
    // Photos of a camera's size, each unlike the others.
    std::string MakePhotos(int count) const
    {
        const fs::path folder = home_.Path() / "photos";
        fs::create_directories(folder);
        for (int i = 0; i < count; ++i) {
            QImage image(4000, 3000, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    line[x] = qRgb((x * 7 + i * 31) & 255, (y * 5 + x / 3) & 255, ((x ^ y) + i) & 255);
            }
            char name[32];
            std::snprintf(name, sizeof name, "photo%02d.jpg", i);
            EXPECT_TRUE(image.save(QString::fromStdString((folder / name).string()), "JPG", 90));
        }
        return folder.string();
    }

    static std::vector<std::string> Entries(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(BusyRunTest, AnEndingSignalWhileAStartUpBoxShowsEndsTheRun)
{
    const std::string damaged = home_ / "damaged.pfo";
    std::ofstream(damaged) << "not a portfolio at all";
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        ChildProcess run({VELMORA_PROGRAM, "/open", damaged}, Environment());
        // The working folder is made once the signals are caught; the box
        // about the file comes right after.
        for (int i = 0; i < 600 && WorkingFolders().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(WorkingFolders().size(), 1u) << run.ErrorOutput();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        run.Kill(signal);
        const int status = run.Wait(10000);
        ASSERT_NE(status, -1) << "still running 10 s after the signal";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << run.ErrorOutput();
        EXPECT_TRUE(LockIsFree());
        EXPECT_TRUE(WorkingFolders().empty());
    }
}

TEST_F(BusyRunTest, TermDuringALongExportEndsTheRunInSecondsWithoutPartialOutput)
{
    std::string out;
    ASSERT_EQ(RunCommand("VELMORA_REGISTRY_DIR='" + (home_ / "registry") + "' '" + REGSVR_TOOL + "' /s '" +
                             QUORVEX_PDF_MODULE + "' 2>&1",
                         &out),
              0)
        << out;
    // Kept at their own size, these take some 40 s to export here: far
    // longer than the limit.
    const std::string photos = MakePhotos(16);
    const fs::path exports = home_.Path() / "exports";
    fs::create_directories(exports);
    std::ofstream(exports / "notes.txt") << "the user's own";

    auto run = Start({"export", photos, (exports / "portfolio.pdf").string()});
    std::string line;
    ASSERT_TRUE(run->ReadLine(&line, 120000)) << run->ErrorOutput();
    ASSERT_EQ(line, "exporting");
    const auto signalled = std::chrono::steady_clock::now();
    run->Kill(SIGTERM);
    const int status = run->Wait(60000);
    const auto took = std::chrono::steady_clock::now() - signalled;
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << run->ErrorOutput();
    // A liveness bound with a wide margin: the rest of the export takes far longer.
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(Entries(exports), std::vector<std::string>{"notes.txt"});
    EXPECT_TRUE(WorkingFolders().empty()) << testing::PrintToString(WorkingFolders());
}

TEST_F(BusyRunTest, CtrlCDuringASaveEndsTheRunOnceTheSaveIsWholeLeavingNoTemporary)
{
    const std::string photos = MakePhotos(6);
    const fs::path folder = home_.Path() / "portfolios";
    fs::create_directories(folder);
    const fs::path target = folder / "work.pfo";

    auto run = Start({"save", photos, target.string()});
    std::string line;
    ASSERT_TRUE(run->ReadLine(&line, 120000)) << run->ErrorOutput();
    ASSERT_EQ(line, "saving");
    run->Kill(SIGINT);
    const int status = run->Wait(60000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << run->ErrorOutput();
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"work.pfo"});
    EXPECT_TRUE(WorkingFolders().empty()) << testing::PrintToString(WorkingFolders());
}

} // namespace
