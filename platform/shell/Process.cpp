#include "platform/shell/Process.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

StartResult Failure(int error)
{
    StartResult r;
    r.systemError = error;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        r.error = StartError::NotFound;
        break;
    case EACCES:
    case EPERM:
        r.error = StartError::NotPermitted;
        break;
    case ENOEXEC:
    case EISDIR:
        r.error = StartError::NotExecutable;
        break;
    default:
        r.error = StartError::Other;
    }
    return r;
}

StartResult Spawn(const std::vector<std::string>& args, bool detached, pid_t* pid)
{
    if (args.empty() || args.front().empty())
        return Failure(ENOENT);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return Failure(ENOMEM);
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return Failure(ENOMEM);
    }
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (detached)
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    // posix_spawnp has no shell fallback for files without "#!" (ENOEXEC),
    // which is what we want: nothing here ever runs through /bin/sh.
    const int error = posix_spawnp(pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? StartResult{} : Failure(error);
}

// Nobody waits for it otherwise, and it would stay a zombie until we exit.
void ReapInBackground(pid_t pid)
{
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace

std::string StartResult::Message(const std::string& program) const
{
    std::string quoted(1, '"');
    quoted.append(program).push_back('"');
    switch (error) {
    case StartError::None:
        return {};
    case StartError::NotFound:
        return "The program " + quoted + " was not found.";
    case StartError::NotPermitted:
        return "You are not permitted to run " + quoted + ".";
    case StartError::NotExecutable:
        return quoted + " is not a program that can be run.";
    case StartError::Other:
        break;
    }
    return quoted + " could not be started: " + std::strerror(systemError) + ".";
}

StartResult RunAndWait(const std::vector<std::string>& args, int* waitStatus)
{
    return RunAndWaitUnless(args, {}, waitStatus, nullptr);
}

StartResult RunAndWaitUnless(const std::vector<std::string>& args, const std::function<bool()>& stop,
                             int* waitStatus, bool* abandoned)
{
    if (abandoned)
        *abandoned = false;
    pid_t pid = 0;
    const StartResult started = Spawn(args, false, &pid);
    if (!started)
        return started;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, stop ? WNOHANG : 0);
        if (done == pid)
            break;
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return Failure(errno);
        }
        if (stop()) {
            ReapInBackground(pid);
            if (abandoned)
                *abandoned = true;
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (waitStatus)
        *waitStatus = status;
    return {};
}

StartResult StartDetached(const std::vector<std::string>& args, int* pidOut)
{
    pid_t pid = 0;
    const StartResult started = Spawn(args, true, &pid);
    if (!started)
        return started;
    if (pidOut)
        *pidOut = pid;
    ReapInBackground(pid);
    return {};
}

std::vector<std::string> SplitCommandWords(const std::string& command, const std::string& quotes)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : command) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (quotes.find(c) != std::string::npos) {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string FindProgram(const std::string& name)
{
    auto runnable = [](const std::string& path) {
        struct stat st{};
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return runnable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        // An empty entry is the current folder.
        std::string candidate = end > start ? list.substr(start, end - start) : std::string(".");
        candidate.append("/").append(name);
        if (runnable(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

StartResult OpenWebAddress(const std::string& address)
{
    auto hasScheme = [&](const char* scheme) {
        const size_t n = std::strlen(scheme);
        return address.size() > n && strncasecmp(address.c_str(), scheme, n) == 0;
    };
    if (!hasScheme("http://") && !hasScheme("https://"))
        return Failure(EINVAL);
    return StartDetached({"xdg-open", address});
}
