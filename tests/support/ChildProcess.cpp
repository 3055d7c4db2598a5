#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The child's environment is made here: between fork and exec only
    // async-signal-safe calls are allowed.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& change : env)
            replaced = replaced || change.substr(0, change.find('=')) == name;
        if (!replaced)
            environment.push_back(text);
    }
    for (const std::string& change : env)
        if (change.find('=') != std::string::npos)
            environment.push_back(change);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
}

ChildProcess::~ChildProcess()
{
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0)
            ::close(fd);
}

bool ChildProcess::ReadLine(std::string* line, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        if (out_ < 0)
            return false;
        pollfd fd{out_, POLLIN, 0};
        const int n = ::poll(&fd, 1, MsLeft(deadline));
        if (n == 0)
            return false;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) {
            ::close(out_);
            out_ = -1;
            continue;
        }
        pending_.append(buffer, static_cast<size_t>(got));
    }
}

void ChildProcess::CloseInput()
{
    if (in_ >= 0)
        ::close(in_);
    in_ = -1;
}

void ChildProcess::Kill(int signal)
{
    if (!reaped_)
        ::kill(pid_, signal);
}

int ChildProcess::Wait(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reaped_) {
        // Drain standard error so a chatty child never blocks on it.
        if (err_ >= 0) {
            pollfd fd{err_, POLLIN, 0};
            if (::poll(&fd, 1, 0) > 0) {
                char buffer[4096];
                const ssize_t got = ::read(err_, buffer, sizeof buffer);
                if (got > 0)
                    errorText_.append(buffer, static_cast<size_t>(got));
            }
        }
        const pid_t done = ::waitpid(pid_, &status_, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            break;
        }
        if (MsLeft(deadline) == 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
}

std::string ChildProcess::ErrorOutput()
{
    if (err_ >= 0 && reaped_) {
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(err_, buffer, sizeof buffer)) > 0)
            errorText_.append(buffer, static_cast<size_t>(got));
    }
    return errorText_;
}
