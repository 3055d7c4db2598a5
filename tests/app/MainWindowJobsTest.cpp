// What the main window starts beside its own thread: the burn job, the
// update job (through the interface it registers for that job) and the
// entry's shut-down, which joins them before the process-wide objects go.
#include "app/NamedPipeClient.h"
#include "app/TForm1.h"
#include "app/WinMain.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/TemplateLibrary.h"
#include "output/Form1.h"
#include "output/Form1Commands.h"
#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscMaster.h"
#include "platform/ipc/Ipc.h"
#include "platform/registry/RegistryIniFile.h"
#include "services/BurnThread.h"
#include "services/EmailerFactory.h"
#include "services/TForm3.h"
#include "services/TForm7.h"
#include "services/UpdateThread.h"
#include "tests/app/JobTestSupport.h"
#include "tests/platform/imapi/DiscImage.h"
#include "tests/services/UpdateTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QLabel>
#include <QPushButton>

using namespace updatetest;
namespace fs = std::filesystem;

namespace {

class MainWindowJobsTest : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        // The fixture's window came up with the settings of another registry.
        form1_.reset();
        Options::FreeInstance();
        Options::Instance()->SetCheckForUpdates(false);
        Options::Instance()->SetShowWelcome(false);
        TRegistryIniFile(Options::SettingsKey).WriteDateTime(Options::SettingsSection, "LastUpdateCheck", 0);
        Updater::SetTestOverrides(server_.Url("update2.xml"), SharedTestCertificates().caFile, 0);
        // The install steps as a normal user meets them; the tests run as root.
        Updater::SetTestRootRuleOff(true);
        ClearDownloadArea();
        form1_ = std::make_unique<TForm1>();
        form1_->show();
    }

    void TearDown() override
    {
        form1_.reset();
        Updater::SetTestOverrides("", "", 0);
        Updater::SetTestRootRuleOff(false);
        Options::FreeInstance();
        JobTest::TearDown();
    }

    QAction* Action(const char* name) { return form1_->findChild<QAction*>(name); }

    UpdateThread* LastUpdate() const
    {
        const auto& jobs = form1_->UpdateJobs();
        return jobs.empty() ? nullptr : jobs.back().get();
    }

    static std::string Status(UpdateThread* job)
    {
        return job && job->Window() ? job->Window()->Label1->text().toStdString() : std::string();
    }

    HttpsTestServer server_{SharedTestCertificates()};
};

TEST_F(MainWindowJobsTest, CheckForUpdatesShowsTheJobAndTheMenuEntryWaitsForIt)
{
    // Nothing newer than the running version on offer.
    server_.Put("update2.xml",
                Description(Product(UpdateThread::ProductName, "2", "0", server_.Url(""), {{"a.run", "#!/bin/sh\n"}})));
    ASSERT_EQ(Form1Commands(), form1_.get());
    QAction* entry = Action("CheckforUpdates1");
    bool entryDisabledWhileRunning = false;
    entry->trigger();
    UpdateThread* job = LastUpdate();
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WaitUntil([&] {
        entryDisabledWhileRunning = entryDisabledWhileRunning || !entry->isEnabled();
        return job->Window() && job->Window()->Button1->isEnabled();
    }));
    EXPECT_TRUE(entryDisabledWhileRunning);
    EXPECT_EQ(Status(job), "There are no new updates available.");
    EXPECT_FALSE(form1_->isEnabled()) << "the update window holds the main window";
    QTest::mouseClick(job->Window()->Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return job->Finished(); }));
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_GT(Options::Instance()->GetLastUpdateCheck(), 0);
}

TEST_F(MainWindowJobsTest, ARestartUpdateHasTheWindowSaveTheWorkAndThenQuit)
{
    const std::string ran = sources_ / "ran";
    const File installer{"install.run", "#!/bin/sh\ntouch '" + ran + "'\n"};
    server_.Put(installer.name, installer.bytes);
    server_.Put("update2.xml",
                Description(Product(UpdateThread::ProductName, "2", "1", server_.Url(""), {installer}, true)));
    CurrentPortfolio()->SetName("Work before the update");
    const std::string saved = sources_ / "before-update.pfo";

    ModalDriver driver;
    driver.Press(QMessageBox::Yes).ChooseFile(QString::fromStdString(saved));
    const int quits = QuitRequests();
    Action("CheckforUpdates1")->trigger();
    UpdateThread* job = LastUpdate();
    ASSERT_TRUE(WaitUntil([&] { return job->Finished(); }));
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(QuitRequests(), quits + 1);
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(ran); }));
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    Portfolio reread;
    reread.SetFileName(saved);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.GetName(true), "Work before the update");
}

TEST_F(MainWindowJobsTest, BurnWritesThePortfolioToTheDrive)
{
    const std::string image = sources_ / "disc.iso";
    ::setenv("VELMORA_BURN_DRIVES", image.c_str(), 1);
    ASSERT_EQ(RegisterDiscMasterClass(), S_OK);
    TForm3 dialog;
    Form3 = &dialog;
    AddArtworks(CurrentPortfolio(), 1);
    CurrentPortfolio()->SetName("Alinta Marrow");

    Action("ToolButton5")->trigger();
    ASSERT_NE(form1_->BurnJob(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return form1_->BurnJob()->Finished() && dialog.Button1->isEnabled(); }));
    EXPECT_EQ(dialog.Label1->text(), "Finished. Your Disk was created successfully.");
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    EXPECT_TRUE(form1_->isEnabled());

    const std::string out = sources_ / "out";
    ASSERT_EQ(ExtractDiscImage(image, out), "");
    EXPECT_NE(ReadFileBytes(out + "/portfolio.html").find("Alinta Marrow"), std::string::npos);
    form1_.reset();
    Form3 = nullptr;
    ::unsetenv("VELMORA_BURN_DRIVES");
}

TEST_F(MainWindowJobsTest, ShutDownJoinsTheWorkersBeforeTheSharedObjectsGoAndSavesThem)
{
    form1_.reset();
    // An update check that waits on a server that does not answer.
    server_.Put("update2.xml", Description(Product(UpdateThread::ProductName, "2", "1", server_.Url(""), {{"a.run", "x"}})));
    Updater::SetTestOverrides(server_.Url("stall/30/update2.xml"), SharedTestCertificates().caFile, 0);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    CreateForms();
    ASSERT_NE(Form1, nullptr);
    Form1->findChild<QAction*>("CheckforUpdates1")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return server_.Requests().size() == 1; }));
    UpdateThread* job = Form1->UpdateJobs().back().get();
    ASSERT_FALSE(job->Finished());
    // And a later start's request that has begun but not ended.
    HANDLE request = CreateFileA(NamedPipeClient::PipeName(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(request, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(request, "<?xml", 5, &written, nullptr));

    // Work of the run that only the shut-down saves.
    TemplateLibrary::Instance()->CopyTemplate("Kept at the end", TemplateLibrary::Instance()->GetTemplate(0));
    ASSERT_NE(EmailerFactory::Instance()->AddAccount("me@example.org", "secret"), nullptr);

    std::vector<std::string> steps;
    SetShutDownObserver([&](const std::string& step) { steps.push_back(step); });
    ShutDown();
    SetShutDownObserver(nullptr);
    CloseHandle(request);
    EXPECT_EQ(steps, (std::vector<std::string>{"pipe server joined", "update jobs joined", "forms destroyed", "e-mail accounts freed",
                                               "templates freed", "options freed", "COM uninitialised"}));
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Form3, nullptr);
    EXPECT_EQ(Form6, nullptr);
    EXPECT_FALSE(CoIsInitialized());

    EXPECT_NE(TemplateLibrary::Instance()->FindTemplate("Kept at the end"), nullptr);
    EXPECT_NE(EmailerFactory::Instance()->FindAccount("me@example.org"), nullptr);
    EmailerFactory::FreeInstance();
}

} // namespace
