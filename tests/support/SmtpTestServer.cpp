#include "tests/support/SmtpTestServer.h"

#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    stdinFd_ = toChild[1];

    // The first line is "PORT <n>"; a server that has not said it within a
    // minute is not coming.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fromChild[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[256];
        const ssize_t n = read(fromChild[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    close(fromChild[0]);
    if (line.rfind("PORT ", 0) != 0) {
        Stop();
        throw std::runtime_error("smtp_server.py did not report its port: " + line);
    }
    port_ = std::atoi(line.c_str() + 5);
}

SmtpTestServer::~SmtpTestServer()
{
    Stop();
}

void SmtpTestServer::Stop()
{
    if (stdinFd_ >= 0) {
        close(stdinFd_);
        stdinFd_ = -1;
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
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
