// The hand-over server of the real main window: requests sent by the real
// client over the socket, carried out on the main window offscreen.
#include "app/NamedPipeClient.h"
#include "app/NamedPipeServer.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "output/Form1.h"
#include "output/PortfolioGenerator.h"
#include "platform/ipc/Ipc.h"
#include "tests/app/JobTestSupport.h"
#include "tests/app/SingleInstanceTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QDialog>

#include <cstring>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class PipeServerTest : public PrivateSettingsWindowTest {
protected:
    void SetUp() override
    {
        PrivateSettingsWindowTest::SetUp();
        ASSERT_TRUE(WaitUntilServing());
    }

    static void Send(const std::string& message)
    {
        NamedPipeClient client;
        ASSERT_TRUE(client.Send(message));
    }

    NamedPipeServer* Server() { return form1_->PipeServer(); }

    // Hides the main window, sends the message and waits until the window
    // is brought forward, which every request does last.
    bool SendAndWaitHandled(const std::string& message)
    {
        form1_->hide();
        Send(message);
        return WaitUntil([this] { return form1_->isVisible(); });
    }

    // A saved portfolio of that artist.
    std::string SavedPortfolio(const std::string& file, const std::string& artist)
    {
        Portfolio portfolio;
        portfolio.SetName(artist);
        const std::string path = files_ / file;
        portfolio.SetFileName(path);
        EXPECT_TRUE(portfolio.Save());
        return path;
    }

    TempDir files_;
};

TEST_F(PipeServerTest, FocusBringsTheMainWindowForward)
{
    EXPECT_FALSE(form1_->isVisible());
    EXPECT_TRUE(SendAndWaitHandled(NamedPipeClient::FocusApplicationMessage()));
}

TEST_F(PipeServerTest, OpenWithoutAFileOnlyBringsTheWindowForward)
{
    Portfolio* before = CurrentPortfolio();
    before->SetFileName("/marker.pfo");
    for (const std::string& message :
         {std::string("<?xml version=\"1.0\"?><message><action>OpenPortfolio</action></message>"),
          NamedPipeClient::OpenPortfolioMessage("")}) {
        SCOPED_TRACE(message);
        ASSERT_TRUE(SendAndWaitHandled(message));
        EXPECT_EQ(CurrentPortfolio(), before);
        EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "/marker.pfo");
    }
}

TEST_F(PipeServerTest, OpenOpensThePortfolioFile)
{
    const std::string path = SavedPortfolio("Ada.pfo", "Ada Lovelace");
    ASSERT_TRUE(SendAndWaitHandled(NamedPipeClient::OpenPortfolioMessage(path)));
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), path);
    EXPECT_EQ(CurrentPortfolio()->GetName(true), "Ada Lovelace");
}

TEST_F(PipeServerTest, RequestsWaitForARunningJobAndRunInTheirOrderAfterIt)
{
    const std::string first = SavedPortfolio("First.pfo", "First");
    const std::string second = SavedPortfolio("Second.pfo", "Second");
    Portfolio* before = CurrentPortfolio();
    int fakeJob = 0;
    // What a job's progress window does while the job runs.
    DisableForm1By(&fakeJob);
    Send(NamedPipeClient::OpenPortfolioMessage(first));
    ASSERT_TRUE(WaitUntil([this] { return Server()->WaitingRequests() == 1; }));
    Send(NamedPipeClient::OpenPortfolioMessage(second));
    ASSERT_TRUE(WaitUntil([this] { return Server()->WaitingRequests() == 2; }));
    EXPECT_EQ(CurrentPortfolio(), before);
    // Waiting requests bring the window forward all the same.
    EXPECT_TRUE(form1_->isVisible());

    EnableForm1By(&fakeJob);
    ASSERT_TRUE(WaitUntil([this] { return Server()->WaitingRequests() == 0; }));
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), second);
    // Both ran, the first first.
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), second);
    EXPECT_EQ(Options::Instance()->GetRecentFile1(), first);
}

TEST_F(PipeServerTest, ARequestWaitsForAnOpenModalDialog)
{
    const std::string path = SavedPortfolio("Later.pfo", "Later");
    Portfolio* before = CurrentPortfolio();
    QDialog dialog(form1_.get());
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    Send(NamedPipeClient::OpenPortfolioMessage(path));
    ASSERT_TRUE(WaitUntil([this] { return Server()->WaitingRequests() == 1; }));
    EXPECT_EQ(CurrentPortfolio(), before);
    dialog.hide();
    ASSERT_TRUE(WaitUntil([this] { return Server()->WaitingRequests() == 0; }));
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), path);
}

TEST_F(PipeServerTest, AnOversizedMessageIsDropped)
{
    const std::string path = SavedPortfolio("Big.pfo", "Big");
    const std::string padding(NamedPipeServer::kMaxMessage, ' ');
    const std::string message = "<?xml version=\"1.0\"?><!--" + padding + "--><message><action>OpenPortfolio</action>" +
                                "<file>" + path + "</file></message>";
    {
        // The server may hang up before all of it is written.
        NamedPipeClient client;
        client.Send(message);
    }
    // Connections are served in turn: once this one is, the first one was.
    ASSERT_TRUE(SendAndWaitHandled(NamedPipeClient::FocusApplicationMessage()));
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");
}

TEST_F(PipeServerTest, AStalledClientDoesNotKeepTheWindowFromGoing)
{
    // Until the server listens, the pipe answers busy, as any client finds.
    HANDLE stalled = nullptr;
    ASSERT_TRUE(WaitUntil([&stalled] {
        stalled = CreateFileA(NamedPipeClient::PipeName(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return stalled != nullptr;
    }));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(stalled, "<?xml", 5, &written, nullptr));
    // The server waits in the middle of that message; stopping wakes it.
    form6_.reset();
    Form6 = nullptr;
    form1_.reset();
    EXPECT_FALSE(fs::exists(NamedPipeSocketPath(NamedPipeClient::PipeName())));
    CloseHandle(stalled);
}

// A socket left by another process where the program's goes, with the
// instance lock not ours to take it over: this run cannot serve later
// starts, and says so once instead of leaving them to fail unexplained.
TEST(PipeServerWithoutSocketTest, ARunThatCannotListenSaysSoOnce)
{
    HANDLE lock = CreateMutexA(nullptr, true, PortfolioGenerator::ApplicationKey);
    ASSERT_NE(lock, nullptr);
    CloseHandle(lock);
    const std::string path = NamedPipeSocketPath(NamedPipeClient::PipeName());
    const int planted = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(planted, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    ::close(planted);

    ModalDriver driver;
    driver.Press(QMessageBox::Ok);
    {
        NamedPipeServer server;
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_TRUE(WaitUntil([&server] { return server.Finished(); }));
    }
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].title, "Warning");
    EXPECT_NE(driver.Seen()[0].text.find("cannot take pictures or portfolios from later starts while this window is "
                                         "open: the hand-over could not be set up in \"" + GetIpcFolder() +
                                         "\" (a socket of another run is in the way, or the folder is not yours "
                                         "alone)."),
              std::string::npos)
        << driver.Seen()[0].text;
    EXPECT_TRUE(fs::is_socket(path)) << "what was there is left alone";
    fs::remove(path);
}

} // namespace
