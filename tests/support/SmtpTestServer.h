#pragma once
// Starts tests/support/smtp_server.py (aiosmtpd under /usr/bin/python3) on
// 127.0.0.1 and reads the port it reports; the saved messages are read back
// from its output folder. The server stops with this object, and by itself
// when the test process dies.
#include <QJsonObject>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/PeerProcess.h"
#include "tests/support/TempDir.h"

// The files made by tests/support/make_test_ca.sh.
struct TestCertificates {
    std::string caFile, serverCert, serverKey;
};
// Makes a throw-away CA and a server certificate for 127.0.0.1 in dir.
TestCertificates MakeTestCertificates(const std::string& dir);
// One set made on first use and kept for the rest of the test program.
const TestCertificates& SharedTestCertificates();

class SmtpTestServer {
public:
    struct SavedMessage {
        std::string raw;  // the message bytes as received
        std::string info; // JSON: mail_from, rcpt_tos, login, login_over_tls, tls
    };

    // mode: see smtp_server.py ("plain", "auth", "starttls", ...). TLS modes
    // need certs. extraArgs go to the script as they are.
    SmtpTestServer(const std::string& mode, const TestCertificates* certs = nullptr,
                   const std::vector<std::string>& extraArgs = {});
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    int Port() const { return peer_->Port(); }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    const std::string& OutputFolder() const { return outDir_; }
    // Messages saved so far, in arrival order.
    std::vector<SavedMessage> Messages() const;
    // Waits up to timeoutMs for at least count messages.
    std::vector<SavedMessage> WaitForMessages(size_t count, int timeoutMs = 30000) const;
    void Stop();

private:
    TempDir dir_;
    std::string outDir_;
    std::string user_ = "tester";
    std::string password_ = "s3cret pass";
    std::unique_ptr<PeerProcess> peer_;
};

// The path of a script in tests/support/.
std::string TestSupportScript(const std::string& name);

// What Python's e-mail parser makes of a raw message (see parse_mail.py):
// subject, from, to, body, crlf, defects, attachments, filename,
// attachment_size. With attachmentOut the attachment's bytes land there.
QJsonObject ParseMail(const std::string& rawMessage, const std::string& attachmentOut = {});
