#include "tests/support/BoundedChild.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A "Vm...:" figure of /proc/self/status, in kB.
int64_t StatusKb(const char* field)
{
    FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return 0;
    char line[256];
    int64_t value = 0;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            value = std::strtoll(line + length + 1, nullptr, 10);
    std::fclose(status);
    return value;
}

}  // namespace

BoundedResult RunBounded(const std::function<int()>& work, int64_t extraBytes, int seconds)
{
    BoundedResult result;
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return result;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return result;
    }
    if (pid == 0) {
        ::close(channel[0]);
        const int64_t startKb = StatusKb("VmRSS");
        const rlimit cap{rlim_t(StatusKb("VmSize") * 1024 + extraBytes), rlim_t(StatusKb("VmSize") * 1024 + extraBytes)};
        ::setrlimit(RLIMIT_AS, &cap);
        int value = -1;
        try {
            value = work();
        } catch (...) {
            value = -2;
        }
        char text[64];
        const int length = std::snprintf(text, sizeof text, "%d %lld\n", value,
                                         static_cast<long long>(StatusKb("VmHWM") - startKb));
        [[maybe_unused]] const ssize_t written = ::write(channel[1], text, size_t(length));
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd wait{channel[0], POLLIN, 0};
        if (::poll(&wait, 1, int(left.count())) <= 0)
            continue;
        char buffer[64];
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, size_t(got));
    }
    ::close(channel[0]);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    long long grew = 0;
    if (!text.empty() && std::sscanf(text.c_str(), "%d %lld", &result.value, &grew) == 2) {
        result.finished = true;
        result.grewKb = grew;
    }
    return result;
}

SpecialFiles MakeSpecialFiles(const std::string& folder, const std::string& extension)
{
    SpecialFiles files{folder + "/folder" + extension, folder + "/fifo" + extension, folder + "/zero" + extension};
    std::filesystem::create_directories(files.folder);
    ::mkfifo(files.fifo.c_str(), 0600);
    std::filesystem::create_symlink("/dev/zero", files.zero);
    return files;
}

void ExpectSpecialFilesRefused(const std::string& folder, const std::string& extension,
                               const std::function<bool(const std::string& path)>& load)
{
    const SpecialFiles files = MakeSpecialFiles(folder, extension);
    for (const std::string& path : {files.fifo, files.zero, files.folder}) {
        const BoundedResult result = RunBounded([&] { return load(path) ? 1 : 0; }, int64_t{1} << 30, 20);
        EXPECT_TRUE(result.finished) << path << ": still waiting at the deadline";
        EXPECT_EQ(result.value, 0) << path << ": taken for a file";
        EXPECT_LT(result.grewKb, 64 * 1024) << path << ": memory grew by " << result.grewKb << " kB";
    }
}
