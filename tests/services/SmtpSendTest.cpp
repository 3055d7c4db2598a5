#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <atomic>
#include <random>
#include <thread>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include "output/ProgressThread.h"
#include "output/TForm15.h"
#include "platform/smtp/SmtpClient.h"
#include "services/Smtp.h"
#include "tests/platform/registry/RegistryFixture.h"
#include "tests/support/SmtpTestServer.h"

namespace {

// What a refused connection says, for the port.
std::string RefusedText(int port)
{
    return "The mail server 127.0.0.1 (port " + std::to_string(port) +
           ") refused the connection: nothing takes mail on that port. Check the server name and port in the "
           "account's settings.";
}
const char kLoginFailed[] =
    "Authentication failed, please check your username, password and the secure connection type.";

const std::string kSubject = "Portfolio – Ölbilder und Skizzen";

QJsonObject Info(const SmtpTestServer::SavedMessage& m)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(m.info)).object();
}

// A port nothing listens on: bound, then closed again.
int ClosedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

class IdleJob : public ProgressThread {
public:
    IdleJob() : ProgressThread("E-Mail", true) {}

protected:
    void Execute() override {}
};

class SmtpSendTest : public RegistryTest {
protected:
    static void SetUpTestSuite()
    {
        certDir_ = new TempDir;
        certs_ = new TestCertificates(MakeTestCertificates(certDir_->Path().string()));
    }
    static void TearDownTestSuite()
    {
        delete certs_;
        delete certDir_;
    }
    void SetUp() override
    {
        RegistryTest::SetUp();
        TrustTestCa(true);
        std::mt19937 rng(7);
        attachmentBytes_.resize(70000);
        for (auto& c : attachmentBytes_)
            c = static_cast<char>(rng());
        attachment_ = files_.Write("portfolio.pdf", attachmentBytes_);
    }
    void TearDown() override
    {
        TSmtpClient::SetTestOverrides("", 0, 0);
        RegistryTest::TearDown();
    }
    static void TrustTestCa(bool trust, int connectFloorMs = 0)
    {
        TSmtpClient::SetTestOverrides(trust ? certs_->caFile : "", connectFloorMs, 0);
    }

    std::unique_ptr<SMTP> Account(const SmtpTestServer& server, const std::string& user, const std::string& password,
                                  int security = 0)
    {
        return Account(server.Port(), user, password, security);
    }
    std::unique_ptr<SMTP> Account(int port, const std::string& user, const std::string& password, int security = 0)
    {
        auto a = std::make_unique<SMTP>();
        a->SetFromAddress("artist@example.org");
        a->SetServerName("127.0.0.1");
        a->SetServerPort(port);
        a->SetSecurityType(security);
        a->SetUserName(user);
        a->SetPassword(password);
        a->SetSubject(kSubject);
        a->SetBody("Hello\r\n.a line that starts with a dot\r\nBye\r\n");
        a->SetRecipient("gallery@example.com; Curator <curator@example.net>");
        a->SetAttachment(attachment_);
        return a;
    }

    static TempDir* certDir_;
    static TestCertificates* certs_;
    TempDir files_;
    std::string attachment_;
    std::string attachmentBytes_;
};

TempDir* SmtpSendTest::certDir_ = nullptr;
TestCertificates* SmtpSendTest::certs_ = nullptr;

} // namespace

TEST_F(SmtpSendTest, PlainAndLoginSendsArriveIntact)
{
    struct Case {
        const char* mode;
        bool login;
    } cases[] = {{"plain", false}, {"auth", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        SmtpTestServer server(c.mode);
        auto a = c.login ? Account(server, server.User(), server.Password()) : Account(server, "", "");
        ASSERT_TRUE(a->Send()) << a->GetText();
        EXPECT_EQ(a->GetText(), "");
        const auto messages = server.WaitForMessages(1);
        ASSERT_EQ(messages.size(), 1u);
        const auto info = Info(messages[0]);
        EXPECT_EQ(info["mail_from"].toString(), "artist@example.org");
        EXPECT_EQ(info["rcpt_tos"].toArray(), (QJsonArray{"gallery@example.com", "curator@example.net"}));
        EXPECT_EQ(info["login"].toString().toStdString(), c.login ? server.User() : "");
        EXPECT_EQ(a->GetMessageSize(), static_cast<int>(messages[0].raw.size()));

        const auto parsed = ParseMail(messages[0].raw, files_ / "received.bin");
        EXPECT_EQ(parsed["subject"].toString().toStdString(), kSubject);
        EXPECT_EQ(parsed["from"].toString(), "artist@example.org");
        EXPECT_EQ(parsed["to"].toArray(), (QJsonArray{"gallery@example.com", "curator@example.net"}));
        EXPECT_TRUE(parsed["crlf"].toBool());
        EXPECT_NE(parsed["body"].toString().toStdString().find("\n.a line that starts with a dot\r\n"), std::string::npos)
            << parsed["body"].toString().toStdString();
        EXPECT_EQ(ReadFileBytes(files_ / "received.bin"), attachmentBytes_);
    }
}

TEST_F(SmtpSendTest, StartTlsPassesWithTheTestCaAndFailsWithoutIt)
{
    SmtpTestServer server("starttls-required", certs_);
    auto a = Account(server, server.User(), server.Password(), 1);
    ASSERT_TRUE(a->Send()) << a->GetText();
    auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Info(messages[0])["tls"].toBool());
    EXPECT_TRUE(Info(messages[0])["login_over_tls"].toBool());

    // Without credentials a secured account still upgrades, and logs in never.
    auto anonymous = Account(server, "", "", 2);
    ASSERT_TRUE(anonymous->Send()) << anonymous->GetText();
    messages = server.WaitForMessages(2);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(Info(messages[1])["tls"].toBool());
    EXPECT_TRUE(Info(messages[1])["login"].isNull());

    TrustTestCa(false);
    EXPECT_FALSE(a->Send());
    EXPECT_NE(a->GetText(), "");
    EXPECT_NE(a->GetText(), "Authenticate failed.");
    EXPECT_FALSE(a->TestConnection());
    for (const std::string& text : {a->GetText()})
        EXPECT_EQ(text, "The mail server 127.0.0.1 (port " + std::to_string(server.Port()) +
                            ") showed a certificate that this computer does not trust, so nothing was sent. Check the "
                            "server name in the account's settings; a server with a certificate of its own needs it "
                            "added to the system's trusted certificates.");
    EXPECT_EQ(server.Messages().size(), 2u);
}

TEST_F(SmtpSendTest, SecuredAccountFailsAgainstAServerWithoutStartTls)
{
    SmtpTestServer server("plain");
    for (int security : {1, 2}) {
        SCOPED_TRACE(security);
        auto a = security == 1 ? Account(server, server.User(), server.Password(), 1) : Account(server, "", "", 2);
        EXPECT_FALSE(a->Send());
        EXPECT_NE(a->GetText(), "");
        EXPECT_NE(a->GetText(), "Authenticate failed.");
    }
    EXPECT_TRUE(server.Messages().empty());
}

TEST_F(SmtpSendTest, UnsecuredAccountWithCredentialsLogsInOnlyAfterTls)
{
    SmtpTestServer server("auth-after-tls", certs_);
    auto a = Account(server, server.User(), server.Password(), 0);
    ASSERT_TRUE(a->Send()) << a->GetText();
    const auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(Info(messages[0])["login"].toString().toStdString(), server.User());
    EXPECT_TRUE(Info(messages[0])["login_over_tls"].toBool());
    EXPECT_TRUE(a->TestConnection()) << a->GetText();
}

TEST_F(SmtpSendTest, OutcomesAndTexts)
{
    enum Op { kSend, kTest };
    struct Case {
        const char* what;
        const char* mode; // nullptr: a closed port
        std::vector<std::string> serverArgs;
        bool rightUser, rightPassword, noPassword;
        Op op;
        bool ok;
        std::string text;
        size_t delivered;
    } cases[] = {
        {"wrong password, send", "auth", {}, true, false, false, kSend, false, "Authenticate failed.", 0},
        {"wrong password, test", "auth", {}, true, false, false, kTest, false, kLoginFailed, 0},
        {"closed port, test", nullptr, {}, true, true, false, kTest, false, "refused", 0},
        {"closed port, send", nullptr, {}, true, true, false, kSend, false, "refused", 0},
        {"credentials, no AUTH offered, send", "noauth", {}, true, true, false, kSend, false, "Authenticate failed.", 0},
        {"credentials, no AUTH offered, test", "noauth", {}, true, true, false, kTest, false, kLoginFailed, 0},
        {"user name without password, send", "plain", {}, true, true, true, kSend, true, "", 1},
        {"right credentials, test", "auth", {}, true, true, false, kTest, true, "", 0},
        {"greeting after 1.5 s with Timeout 1000", "plain", {"--greeting-delay", "1.5"}, true, true, true, kSend, true, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<SmtpTestServer> server;
        int port = ClosedPort();
        if (c.mode) {
            server = std::make_unique<SmtpTestServer>(c.mode, certs_, c.serverArgs);
            port = server->Port();
        }
        auto a = Account(port, c.rightUser ? "tester" : "someone",
                         c.noPassword ? "" : (c.rightPassword ? "s3cret pass" : "wrong"));
        ASSERT_EQ(a->GetTimeout(), 1000);
        const bool ok = c.op == kSend ? a->Send() : a->TestConnection();
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(a->GetText(), c.text == "refused" ? RefusedText(port) : c.text);
        if (server) {
            if (c.delivered)
                server->WaitForMessages(c.delivered);
            const auto messages = server->Messages();
            EXPECT_EQ(messages.size(), c.delivered);
            if (!messages.empty()) {
                EXPECT_TRUE(Info(messages[0])["login"].isNull());
            }
        }
    }
}

TEST_F(SmtpSendTest, SilentServerFailsWithinTheLimit)
{
    TrustTestCa(true, 2000);
    SmtpTestServer server("silent");
    for (bool test : {false, true}) {
        auto a = Account(server, "", "");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(test ? a->TestConnection() : a->Send());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
        // The connection was made: the server is named, and why it failed.
        EXPECT_EQ(a->GetText(), "The mail server 127.0.0.1 (port " + std::to_string(server.Port()) +
                                    ") accepted the connection but did not answer within 2 seconds. Check the port "
                                    "and the secure connection type in the account's settings (the server may "
                                    "expect another kind of connection on that port), or try again later.");
    }
}

TEST_F(SmtpSendTest, AStoppedJobAbortsASendThatWaitsOnASilentServer)
{
    // The limit is far away: only the stop can end the wait soon.
    TrustTestCa(true, 60000);
    SmtpTestServer server("silent");
    auto a = Account(server, "", "");
    IdleJob job;
    a->SetProgressSink(&job);
    std::thread stopper([&job] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        job.Terminate();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(a->Send());
    const auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    a->SetProgressSink(nullptr);
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_EQ(a->GetText(), "Stopped before the message was sent.");
}

TEST_F(SmtpSendTest, TheBarIsBusyWhileTheServerKeepsTheSendWaiting)
{
    TrustTestCa(true, 2000);
    SmtpTestServer server("silent");
    auto a = Account(server, "", "");
    IdleJob job;
    a->SetProgressSink(&job);
    std::atomic<bool> done{false};
    bool ok = true;
    std::thread sender([&] {
        ok = a->Send();
        done = true;
    });
    // The synchronised calls run here, as on the program's main thread.
    bool busyWhileWaiting = false, looked = false;
    const auto start = std::chrono::steady_clock::now();
    while (!done) {
        TThread::CheckSynchronize();
        if (!looked && std::chrono::steady_clock::now() - start > std::chrono::milliseconds(800)) {
            busyWhileWaiting = job.ProgressForm()->BarBusy();
            looked = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sender.join();
    TThread::CheckSynchronize();
    a->SetProgressSink(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(busyWhileWaiting);
}

TEST_F(SmtpSendTest, ProgressEndsAtTheSizeOfTheMessageAsReceived)
{
    SmtpTestServer server("plain");
    IdleJob job;
    auto a = Account(server, "", "");
    a->SetProgressSink(&job);
    ASSERT_TRUE(a->Send()) << a->GetText();
    const auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(job.ProgressForm()->BarMaximum(), static_cast<int>(messages[0].raw.size()));
    EXPECT_EQ(job.ProgressForm()->BarPosition(), job.ProgressForm()->BarMaximum());

    // Nothing is reported without a sink.
    IdleJob untouched;
    a->SetProgressSink(nullptr);
    ASSERT_TRUE(a->Send()) << a->GetText();
    EXPECT_EQ(untouched.ProgressForm()->BarMaximum(), 0);
}

TEST_F(SmtpSendTest, NoRecipientOrUnreadableAttachmentFailsBeforeConnecting)
{
    SmtpTestServer server("plain");
    auto a = Account(server, "", "");
    a->SetRecipient(" ; ");
    EXPECT_FALSE(a->Send());
    EXPECT_NE(a->GetText(), "");
    a->SetRecipient("x@example.org");
    a->SetAttachment(files_ / "missing.pdf");
    EXPECT_FALSE(a->Send());
    EXPECT_NE(a->GetText().find("missing.pdf"), std::string::npos);
    EXPECT_TRUE(server.Messages().empty());
}
