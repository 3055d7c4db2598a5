#include "platform/shell/PrivateCopy.h"
#include "platform/shell/Process.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

bool WaitFor(const std::function<bool()>& condition, int seconds = 30)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

TEST(ProcessTest, StartTable)
{
    TempDir dir;
    const std::string noExec = dir.Write("no-exec", "#!/bin/sh\nexit 0\n");
    ::chmod(noExec.c_str(), 0644);
    const std::string noShebang = dir.Write("no-shebang", "exit 3\n");
    ::chmod(noShebang.c_str(), 0755);
    const std::string script = dir.Write("script", "#!/bin/sh\nexit 5\n");
    ::chmod(script.c_str(), 0755);

    struct Case {
        const char* what;
        std::vector<std::string> args;
        StartError error;
        int exitCode;
    } cases[] = {
        {"exit status by path", {"/bin/sh", "-c", "exit 7"}, StartError::None, 7},
        {"exit status through PATH", {"sh", "-c", "exit 0"}, StartError::None, 0},
        {"script with #!", {script}, StartError::None, 5},
        {"missing path", {dir / "missing"}, StartError::NotFound, 0},
        {"missing in PATH", {"velmora-no-such-program"}, StartError::NotFound, 0},
        {"empty", {}, StartError::NotFound, 0},
        {"without execute permission", {noExec}, StartError::NotPermitted, 0},
        {"script without #!", {noShebang}, StartError::NotExecutable, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int status = -1;
        const StartResult r = RunAndWait(c.args, &status);
        EXPECT_EQ(r.error, c.error) << r.Message(c.args.empty() ? "" : c.args[0]);
        if (c.error == StartError::None) {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
            EXPECT_EQ(r.Message("x"), "");
        } else {
            EXPECT_NE(r.Message("x"), "");
        }
    }
}

TEST(ProcessTest, ArgumentsReachTheChildUnchangedAndOnlyStandardStreamsAreInherited)
{
    TempDir dir;
    const std::string out = dir / "argument";
    const std::string tricky = "$(touch " + (dir / "x") + "); `touch " + (dir / "y") + "` 'q' \"d\" *";
    ASSERT_TRUE(RunAndWait({"/usr/bin/python3", "-c",
                            "import sys; open(sys.argv[1], 'w').write(sys.argv[2])", out, tricky}));
    EXPECT_EQ(ReadFileBytes(out), tricky);
    EXPECT_FALSE(fs::exists(dir / "x"));
    EXPECT_FALSE(fs::exists(dir / "y"));

    // A descriptor left open without close-on-exec stays ours.
    const int leaked = ::dup2(::open("/dev/null", O_RDONLY), 57);
    ASSERT_EQ(leaked, 57);
    const std::string fds = dir / "fds";
    ASSERT_TRUE(RunAndWait({"/usr/bin/python3", "-c",
                            "import os, sys; open(sys.argv[1], 'w').write(' '.join(os.listdir('/proc/self/fd')))",
                            fds}));
    ::close(leaked);
    const std::string list = " " + ReadFileBytes(fds) + " ";
    EXPECT_NE(list.find(" 0 "), std::string::npos) << list;
    EXPECT_EQ(list.find(" 57 "), std::string::npos) << list;
}

TEST(ProcessTest, DetachedChildRunsInItsOwnSessionAndIsReaped)
{
    TempDir dir;
    const std::string out = dir / "session";
    int pid = 0;
    ASSERT_TRUE(StartDetached({"/bin/sh", "-c", "echo $$ $(cut -d' ' -f6 /proc/$$/stat) > \"$1.tmp\"; mv \"$1.tmp\" \"$1\"",
                               "sh", out},
                              &pid));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out); }));
    int reportedPid = 0, session = 0;
    ASSERT_EQ(std::sscanf(ReadFileBytes(out).c_str(), "%d %d", &reportedPid, &session), 2);
    EXPECT_EQ(reportedPid, pid);
    EXPECT_EQ(session, pid);
    EXPECT_NE(session, ::getsid(0));
    // Reaped: no zombie is left behind under our name.
    EXPECT_TRUE(WaitFor([&] { return !fs::exists("/proc/" + std::to_string(pid)); }));

    EXPECT_EQ(StartDetached({"velmora-no-such-program"}).error, StartError::NotFound);
}

TEST(ProcessTest, AWaitThatIsStoppedLeavesTheChildRunningAndReapsItLater)
{
    TempDir dir;
    const std::string release = dir / "release";
    const std::string ended = dir / "ended";
    // Runs until the test lets it go, then leaves a mark.
    const std::vector<std::string> args = {
        "/bin/sh", "-c", "while [ ! -e \"$1\" ]; do sleep 0.05; done; echo $$ > \"$2\"", "sh", release, ended};

    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    bool abandoned = false;
    int status = 12345;
    ASSERT_TRUE(RunAndWaitUnless(args, [&] { return stop.load(); }, &status, &abandoned));
    stopper.join();
    EXPECT_TRUE(abandoned);
    EXPECT_EQ(status, 12345);
    EXPECT_FALSE(fs::exists(ended));

    ::close(::open(release.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(ended) && !ReadFileBytes(ended).empty(); }));
    const std::string pid = std::to_string(std::atoi(ReadFileBytes(ended).c_str()));
    EXPECT_TRUE(WaitFor([&] { return !fs::exists("/proc/" + pid); }));

    // Not stopped: the wait ends with the child and gives its status.
    ASSERT_TRUE(RunAndWaitUnless({"/bin/sh", "-c", "exit 4"}, [] { return false; }, &status, &abandoned));
    EXPECT_FALSE(abandoned);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

TEST(ProcessTest, FindProgram)
{
    EXPECT_EQ(FindProgram("sh").empty(), false);
    EXPECT_EQ(FindProgram("/bin/sh"), "/bin/sh");
    EXPECT_EQ(FindProgram("velmora-no-such-program"), "");
    EXPECT_EQ(FindProgram("/etc/passwd"), "");
}

TEST(PrivateCopyTest, CopiesIntoAPrivateFolderAndPrunesOldCopies)
{
    TempDir source;
    const std::string file = source.Write("Portfolio Ü.pdf", "%PDF bytes");
    int error = 0;
    const std::string copy = MakePrivateCopy(file, "TestArea", {}, &error);
    ASSERT_FALSE(copy.empty()) << error;
    EXPECT_EQ(fs::path(copy).filename(), "Portfolio Ü.pdf");
    EXPECT_EQ(ReadFileBytes(copy), "%PDF bytes");
    const std::string area = PrivateCacheFolder("TestArea");
    EXPECT_EQ(copy.rfind(area, 0), 0u);
    struct stat st{};
    ASSERT_EQ(::stat(area.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A copy from two days ago goes when the next one is made; today's stays.
    const std::string oldFolder = fs::path(copy).parent_path().string();
    const utimbuf twoDaysAgo{time(nullptr) - 2 * 24 * 3600, time(nullptr) - 2 * 24 * 3600};
    ASSERT_EQ(::utime(oldFolder.c_str(), &twoDaysAgo), 0);
    const std::string second = MakePrivateCopy(file, "TestArea", "renamed.pdf");
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(fs::path(second).filename(), "renamed.pdf");
    EXPECT_FALSE(fs::exists(oldFolder));
    EXPECT_TRUE(fs::exists(second));

    EXPECT_EQ(MakePrivateCopy(source / "missing.pdf", "TestArea", {}, &error), "");
    EXPECT_EQ(error, ENOENT);
}

// A recording xdg-open first on PATH: it writes its arguments, one a line.
TEST(ProcessTest, OpenWebAddressHandsOnlyWebAddressesToXdgOpen)
{
    TempDir dir;
    const std::string log = dir / "opened";
    const std::string hook = dir.Write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + log + ".tmp\"\nmv \"" +
                                                       log + ".tmp\" \"" + log + "\"\n");
    ASSERT_EQ(::chmod(hook.c_str(), 0755), 0);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (dir.Path().string() + ":" + oldPath).c_str(), 1);

    struct Case {
        const char* address;
        bool opened;
    } cases[] = {
        {"https://maker.example/about?a=1&b=2", true},
        {"HTTP://maker.example/", true},
        {"-https://maker.example/", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"https://", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        fs::remove(log);
        const StartResult result = OpenWebAddress(c.address);
        EXPECT_EQ(static_cast<bool>(result), c.opened);
        if (c.opened) {
            ASSERT_TRUE(WaitFor([&] { return fs::exists(log); }));
            EXPECT_EQ(ReadFileBytes(log), std::string(c.address) + "\n");
        } else {
            EXPECT_FALSE(result.Message("xdg-open").empty());
        }
    }
    // Refused addresses started nothing.
    EXPECT_FALSE(fs::exists(log));

    setenv("PATH", dir.Path().c_str(), 1);
    ::unlink(hook.c_str());
    EXPECT_EQ(OpenWebAddress("https://maker.example/").error, StartError::NotFound);
    setenv("PATH", oldPath.c_str(), 1);
}
