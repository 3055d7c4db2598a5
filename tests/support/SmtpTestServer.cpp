#include "tests/support/SmtpTestServer.h"

#include <QJsonDocument>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

std::string TestSupportScript(const std::string& name)
{
    const char* source = std::getenv("VELMORA_SOURCE_DIR");
    return std::string(source ? source : ".") + "/tests/support/" + name;
}

TestCertificates MakeTestCertificates(const std::string& dir)
{
    std::string out;
    if (RunCommand("bash '" + TestSupportScript("make_test_ca.sh") + "' '" + dir + "'", &out) != 0)
        throw std::runtime_error("make_test_ca.sh failed: " + out);
    return {dir + "/ca.pem", dir + "/server.pem", dir + "/server.key"};
}

const TestCertificates& SharedTestCertificates()
{
    static TempDir dir;
    static const TestCertificates certs = MakeTestCertificates(dir.Path().string());
    return certs;
}

SmtpTestServer::SmtpTestServer(const std::string& mode, const TestCertificates* certs,
                               const std::vector<std::string>& extraArgs)
    : outDir_(dir_ / "messages")
{
    std::vector<std::string> args = {"/usr/bin/python3", TestSupportScript("smtp_server.py"),
                                     "--mode", mode, "--out", outDir_,
                                     "--user", user_, "--password", password_};
    if (certs) {
        args.insert(args.end(), {"--cert", certs->serverCert, "--key", certs->serverKey});
    }
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());

    peer_ = std::make_unique<PeerProcess>(args);
}

SmtpTestServer::~SmtpTestServer()
{
    Stop();
}

void SmtpTestServer::Stop()
{
    if (peer_)
        peer_->Stop();
}

std::vector<SmtpTestServer::SavedMessage> SmtpTestServer::Messages() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(outDir_, ec))
        if (e.path().extension() == ".eml")
            names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    std::vector<SavedMessage> out;
    for (const auto& n : names) {
        const std::string base = n.substr(0, n.size() - 4);
        out.push_back({ReadFileBytes(n), ReadFileBytes(base + ".json")});
    }
    return out;
}

std::vector<SmtpTestServer::SavedMessage> SmtpTestServer::WaitForMessages(size_t count, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto messages = Messages();
    while (messages.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        messages = Messages();
    }
    return messages;
}

QJsonObject ParseMail(const std::string& rawMessage, const std::string& attachmentOut)
{
    TempDir dir;
    const std::string file = dir.Write("message.eml", rawMessage);
    std::string out;
    std::string command = "/usr/bin/python3 '" + TestSupportScript("parse_mail.py") + "' '" + file + "'";
    if (!attachmentOut.empty())
        command += " '" + attachmentOut + "'";
    if (RunCommand(command, &out) != 0)
        throw std::runtime_error("parse_mail.py failed: " + out);
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}
