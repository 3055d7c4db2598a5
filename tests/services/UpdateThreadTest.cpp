#include "model/Options.h"
#include "output/Form1.h"
#include "output/Form1Commands.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/rtl/DateTime.h"
#include "services/TForm7.h"
#include "services/UpdateThread.h"
#include "tests/services/UpdateTestSupport.h"
#include "tests/output/JobWindowChecks.h"
#include "tests/support/ModalDriver.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using namespace updatetest;

namespace {

const char kProduct[] = "VelmoraAlbumDesignerPro";
const char kQuestion[] = "An update is available, do you wish to download it now?";

// The main window as the update job sees it.
class FakeMainWindow : public TForm1Commands {
public:
    bool menuEnabled = true;
    int menuDisabledCount = 0;
    bool modified = false;
    bool saveResult = true;
    int saves = 0;
    std::vector<int> quits;
    std::string statusAtSave;
    std::function<std::string()> currentStatus;

    void SetCheckForUpdatesEnabled(bool enabled) override
    {
        menuEnabled = enabled;
        menuDisabledCount += enabled ? 0 : 1;
    }
    bool IsPortfolioModified() override { return modified; }
    bool SavePortfolio() override
    {
        ++saves;
        if (currentStatus)
            statusAtSave = currentStatus();
        if (saveResult)
            modified = false;
        return saveResult;
    }
    void RequestQuit(int exitCode) override { quits.push_back(exitCode); }
};

// Runs the event loop (and so the job's synchronised calls) until the
// condition holds or a generous deadline passes.
bool SpinUntil(const std::function<bool()>& condition, int seconds = 60)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class UpdateThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainWindow_.resize(300, 200);
        mainWindow_.show();
        RegisterForm1(&mainWindow_);
        RegisterForm1Commands(&fake_);
        Updater::SetTestOverrides(server_.Url("update2.xml"), SharedTestCertificates().caFile, 0);
        // The install steps as a normal user meets them; the tests run as root.
        Updater::SetTestRootRuleOff(true);
        ClearDownloadArea();
        SetLastCheck(0);
    }
    void TearDown() override
    {
        Updater::SetTestOverrides("", "", 0);
        Updater::SetTestRootRuleOff(false);
        RegisterForm1Commands(nullptr);
        RegisterForm1(nullptr);
    }

    static void SetLastCheck(TDateTime when)
    {
        TRegistryIniFile(Options::SettingsKey).WriteDateTime(Options::SettingsSection, "LastUpdateCheck", when);
    }
    static TDateTime LastCheck() { return Options::Instance()->GetLastUpdateCheck(); }

    void Offer(const std::vector<File>& files, const std::string& minor = "1", bool restart = false)
    {
        for (const File& f : files)
            server_.Put(f.name, f.bytes);
        server_.Put("update2.xml", Description(Product(kProduct, "2", minor, server_.Url(""), files, restart)));
    }

    size_t DescriptionRequests() const
    {
        size_t n = 0;
        for (const auto& r : server_.Requests())
            n += r.path == "/update2.xml";
        return n;
    }

    static std::string Status(const UpdateThread& job)
    {
        return job.Window() ? job.Window()->Label1->text().toStdString() : std::string();
    }

    QWidget mainWindow_;
    FakeMainWindow fake_;
    HttpsTestServer server_{SharedTestCertificates()};
    TempDir dir_;
};

TEST_F(UpdateThreadTest, ASilentJobChecksOnlyWhenThreeDaysHavePassed)
{
    Offer({{"a.run", "#!/bin/sh\n"}}, "0"); // nothing newer on offer
    struct Case {
        const char* what;
        double daysAgo;
        bool silent;
        bool checks;
    };
    const Case cases[] = {
        {"1.5 days", 1.5, true, false},  {"2.9 days", 2.9, true, false}, {"3 days", 3.0, true, true},
        {"a future time", -1.0, true, false}, {"never checked", -1e9, true, true},
        {"interactive, 1 day", 1.0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TDateTime stored = c.daysAgo == -1e9 ? 0 : Now() - c.daysAgo;
        SetLastCheck(stored);
        const size_t before = DescriptionRequests();
        const int disabledBefore = fake_.menuDisabledCount;
        UpdateThread job(c.silent, true);
        job.Start();
        if (!c.silent) {
            ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
            QTest::mouseClick(job.Window()->Button1, Qt::LeftButton);
        }
        job.WaitFor();
        EXPECT_EQ(DescriptionRequests() - before, c.checks ? 1u : 0u);
        EXPECT_EQ(fake_.menuDisabledCount - disabledBefore, c.checks ? 1 : 0);
        EXPECT_TRUE(fake_.menuEnabled);
        if (c.checks)
            EXPECT_GT(LastCheck(), Now() - 0.01);
        else
            EXPECT_DOUBLE_EQ(LastCheck(), stored);
    }
}

TEST_F(UpdateThreadTest, NoUpdateOfferedIsShownToAnInteractiveUser)
{
    Offer({{"a.run", "#!/bin/sh\n"}}, "0");
    UpdateThread job(false, true);
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
    EXPECT_TRUE(job.Window()->isVisible());
    EXPECT_EQ(Status(job), "There are no new updates available.");
    EXPECT_FALSE(mainWindow_.isEnabled());
    QTest::mouseClick(job.Window()->Button1, Qt::LeftButton);
    job.WaitFor();
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_EQ(job.Window(), nullptr);
}

TEST_F(UpdateThreadTest, AsRootAnOfferedUpdateIsNeitherDownloadedNorRun)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    Updater::SetTestRootRuleOff(false);
    const std::string ran = dir_ / "ran";
    Offer({{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"}});
    // The question would be the first box; the user is not even asked.
    ModalDriver driver;
    UpdateThread job(false, true);
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
    EXPECT_EQ(Status(job), "Error: Updates are not installed while the program runs as root. Start it as a normal "
                           "user to update.");
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_EQ(FilesInDownloadArea(), std::vector<std::string>{});
    EXPECT_FALSE(std::filesystem::exists(ran));
    QTest::mouseClick(job.Window()->Button1, Qt::LeftButton);
    job.WaitFor();
}

TEST_F(UpdateThreadTest, DecliningTheOfferStoresTheCheckAndDownloadsNothing)
{
    Offer({{"a.run", "#!/bin/sh\n"}});
    ModalDriver driver;
    driver.Press(QMessageBox::No);
    UpdateThread job(true, true);
    job.Start();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    job.WaitFor();
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].className, "QMessageBox");
    EXPECT_EQ(driver.Seen()[0].title, "Software Update");
    EXPECT_EQ(driver.Seen()[0].text, kQuestion);
    EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Question);
    EXPECT_EQ(driver.Seen()[0].buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_GT(LastCheck(), Now() - 0.01);
    EXPECT_EQ(DescriptionRequests(), server_.Requests().size());
    EXPECT_EQ(FilesInDownloadArea(), std::vector<std::string>{});
    EXPECT_TRUE(fake_.menuEnabled);
}

TEST_F(UpdateThreadTest, TheQuestionCanBeAnsweredWhileAnotherWindowHoldsTheMainWindowDisabled)
{
    // The start-up check runs while the welcome window (or a job's window)
    // keeps the main window disabled.
    Offer({{"a.run", "#!/bin/sh\n"}});
    const int holder = 0;
    DisableForm1By(&holder);
    ASSERT_FALSE(mainWindow_.isEnabled());
    ModalDriver driver;
    bool boxEnabled = false;
    driver.Then([&](QWidget* box) {
        boxEnabled = box->isEnabled();
        // What the user can do: a click on a disabled button does nothing.
        QTest::mouseClick(static_cast<QMessageBox*>(box)->button(QMessageBox::No), Qt::LeftButton);
        if (box->isVisible())
            static_cast<QMessageBox*>(box)->reject();
    });
    UpdateThread job(true, true);
    job.Start();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    job.WaitFor();
    EnableForm1By(&holder);
    EXPECT_TRUE(boxEnabled);
}

TEST_F(UpdateThreadTest, ASilentJobWithTheServerDownShowsNothingAndStoresTheCheck)
{
    server_.Stop();
    ModalDriver driver; // no step: any box would be unexpected
    UpdateThread job(true, true);
    TForm7* window = job.Window();
    bool everShown = false;
    job.Start();
    while (!job.Finished()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        everShown |= job.Window() && window->isVisible();
    }
    job.WaitFor();
    EXPECT_FALSE(everShown);
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_GT(LastCheck(), Now() - 0.01);
}

TEST_F(UpdateThreadTest, AFailedCheckShowsTheWholeErrorBesideAnEmptyBar)
{
    server_.Stop();
    UpdateThread job(false, true);
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
    EXPECT_EQ(Status(job).rfind("Error: ", 0), 0u) << Status(job);
    ExpectWholeStatusShown(*job.Window());
    EXPECT_EQ(job.Window()->BarPosition(), 0) << "a full bar would read as done";
    EXPECT_EQ(job.Window()->ProgressBar1->value(), 0);
    QTest::mouseClick(job.Window()->Button1, Qt::LeftButton);
    job.WaitFor();
}

TEST_F(UpdateThreadTest, AcceptedUpdateIsDownloadedAppliedAndFinishedByTheUser)
{
    const std::string ran = dir_ / "ran";
    Offer({{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"}});
    UpdateThread job(true, true);
    ModalDriver driver;
    bool windowShownAtQuestion = true;
    bool menuEnabledAtQuestion = true;
    driver.Then([&](QWidget* box) {
        // The silent job shows its window only once the user said yes.
        windowShownAtQuestion = job.Window()->isVisible();
        menuEnabledAtQuestion = fake_.menuEnabled;
        static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_FALSE(windowShownAtQuestion);
    EXPECT_FALSE(menuEnabledAtQuestion);
    EXPECT_FALSE(job.Silent());
    TForm7* window = job.Window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Software Update");
    EXPECT_EQ(Status(job), "Finished. Update applied successfully.");
    EXPECT_EQ(window->BarPosition(), 1);
    EXPECT_EQ(window->BarMaximum(), 1);
    EXPECT_EQ(window->ProgressBar1->value(), window->ProgressBar1->maximum());
    EXPECT_TRUE(std::filesystem::exists(ran));
    EXPECT_FALSE(mainWindow_.isEnabled());
    EXPECT_TRUE(fake_.menuEnabled);
    EXPECT_TRUE(fake_.quits.empty());
    // The job waits for Finish before it stores the check.
    const TDateTime before = LastCheck();
    QTest::qWait(300);
    EXPECT_FALSE(job.Finished());
    EXPECT_DOUBLE_EQ(LastCheck(), before);

    QTest::mouseClick(window->Button1, Qt::LeftButton);
    job.WaitFor();
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_GT(LastCheck(), Now() - 0.01);
}

TEST_F(UpdateThreadTest, ARestartSavesAModifiedPortfolioThenAsksTheProgramToQuit)
{
    const std::string ran = dir_ / "ran";
    Offer({{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"}}, "1", true);
    fake_.modified = true;
    ModalDriver driver;
    driver.Press(QMessageBox::Yes);
    UpdateThread job(false, true);
    fake_.currentStatus = [&] { return Status(job); };
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Finished(); }));
    job.WaitFor();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(fake_.saves, 1);
    EXPECT_EQ(fake_.statusAtSave, "Restart Required. Please save your portfolio before update...");
    EXPECT_TRUE(SpinUntil([&] { return std::filesystem::exists(ran); }));
    EXPECT_EQ(fake_.quits, std::vector<int>{0});
    EXPECT_GT(LastCheck(), Now() - 0.01);
}

TEST_F(UpdateThreadTest, ARefusedSaveStopsTheRestartUpdate)
{
    const std::string ran = dir_ / "ran";
    Offer({{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"}}, "1", true);
    fake_.modified = true;
    fake_.saveResult = false;
    ModalDriver driver;
    driver.Press(QMessageBox::Yes);
    UpdateThread job(false, true);
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return job.Window() && job.Window()->Button1->isEnabled(); }));
    EXPECT_EQ(Status(job), "Update cancelled. Your portfolio was not saved.");
    EXPECT_EQ(fake_.saves, 1);
    QTest::mouseClick(job.Window()->Button1, Qt::LeftButton);
    job.WaitFor();
    EXPECT_TRUE(fake_.quits.empty());
    EXPECT_FALSE(std::filesystem::exists(ran));
}

TEST_F(UpdateThreadTest, TerminateEndsAJobThatWaitsOnAStalledServer)
{
    server_.Put("update2.xml", Description(Product(kProduct, "2", "1", server_.Url(""), {{"a.run", "x"}})));
    Updater::SetTestOverrides(server_.Url("stall/10/update2.xml"), SharedTestCertificates().caFile, 0);
    UpdateThread job(false, true);
    job.Start();
    ASSERT_TRUE(SpinUntil([&] { return server_.Requests().size() == 1; }));
    job.Terminate();
    // Without Terminate the read would wait out the minute of the stall
    // limit and then wait for Finish for ever.
    job.WaitFor();
    EXPECT_TRUE(mainWindow_.isEnabled());
    EXPECT_TRUE(fake_.menuEnabled);
}

} // namespace
