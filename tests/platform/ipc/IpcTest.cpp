#include "platform/ipc/Ipc.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kName = "VelmoraAlbumDesignerPro";
const std::string kPipe = "\\\\.\\pipe\\" + kName;

// What one connection brought: the text and how the reading ended.
struct Received {
    std::string text;
    DWORD endError = 0;
};

// Reads a connection as the program's server does, in 2047-byte pieces.
Received ReadAll(HANDLE instance)
{
    Received received;
    char buffer[2048];
    DWORD n = 0;
    while (ReadFile(instance, buffer, 2047, &n, nullptr))
        received.text.append(buffer, n);
    received.endError = GetLastError();
    return received;
}

// A server loop on a thread of its own: one instance per connection, each
// read with a deadline, until the pipe is shut down.
class TestServer {
public:
    explicit TestServer(DWORD deadlineMs = 30000)
    {
        thread_ = std::thread([this, deadlineMs] {
            for (;;) {
                if (stopping_) {
                    Record({"", ERROR_OPERATION_ABORTED}, true);
                    return;
                }
                HANDLE instance = CreateNamedPipeA(kPipe, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_WAIT, 255,
                                                   2048, 2048, 10000, nullptr);
                if (!instance) {
                    Record({"", GetLastError()}, true);
                    return;
                }
                Ready();
                if (!ConnectNamedPipe(instance, nullptr)) {
                    const DWORD error = GetLastError();
                    CloseHandle(instance);
                    Record({"", error}, true);
                    return;
                }
                SetNamedPipeConnectionDeadline(instance, deadlineMs);
                Record(ReadAll(instance), false);
                CloseHandle(instance);
            }
        });
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(60), [this] { return ready_ || ended_; });
    }

    ~TestServer() { Stop(); }

    // The thread may be about to bind again, between two connections:
    // shut down until it has seen it.
    void Stop()
    {
        stopping_ = true;
        DWORD error;
        while (thread_.joinable() && !Ended(&error)) {
            ShutdownNamedPipe(kPipe);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (thread_.joinable())
            thread_.join();
        ShutdownNamedPipe(kPipe);
    }

    bool WaitFor(size_t count, std::vector<Received>* out, int timeoutMs = 60000)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ok = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return received_.size() >= count || ended_; });
        *out = received_;
        return ok && received_.size() >= count;
    }

    bool Ended(DWORD* error)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        *error = endError_;
        return ended_;
    }

private:
    void Ready()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_ = true;
        changed_.notify_all();
    }

    void Record(const Received& received, bool end)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (end) {
            ended_ = true;
            endError_ = received.endError;
        } else {
            received_.push_back(received);
        }
        changed_.notify_all();
    }

    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false, ended_ = false;
    DWORD endError_ = 0;
    std::vector<Received> received_;
};

bool Send(const std::string& text, DWORD* error = nullptr)
{
    HANDLE client = CreateFileA(kPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!client) {
        if (error)
            *error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(client, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(client);
    return ok;
}

// The machine's short name, as the folder of the named objects carries it.
std::string ShortHostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return std::string(name, ::strcspn(name, "."));
}

bool WriteProcFile(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Gives the calling process (a single-threaded fork) a host name of its
// own, in a UTS namespace entered as root or through a user namespace.
bool UseHostName(const std::string& host)
{
    if (::geteuid() != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER) != 0 || !WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    return ::unshare(CLONE_NEWUTS) == 0 && ::sethostname(host.data(), host.size()) == 0;
}

// Every test gets a cache folder (where the named objects live) of its own.
class IpcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_CACHE_HOME"))
            saved_ = old;
        ::setenv("XDG_CACHE_HOME", runtime_.Path().c_str(), 1);
    }
    void TearDown() override { ::setenv("XDG_CACHE_HOME", saved_.c_str(), 1); }

    fs::path ExpectedFolder() const { return runtime_.Path() / "VelmoraVoravev" / ("instance-" + ShortHostName()); }

    std::vector<std::string> Helper(bool pipe) const
    {
        std::vector<std::string> args{IPC_HOLDER_HELPER, kName};
        if (pipe)
            args.push_back("pipe");
        return args;
    }

    TempDir runtime_;
    std::string saved_;
};

mode_t ModeOf(const std::string& path)
{
    struct stat st{};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST_F(IpcTest, TheMutexIsOwnedOnceAndFreedByClosing)
{
    EXPECT_EQ(GetIpcFolder(), ExpectedFolder().string() + "/");
    HANDLE first = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(ModeOf(GetIpcFolder()), 0700u);
    EXPECT_EQ(ModeOf(MutexLockPath(kName)), 0600u);

    HANDLE second = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(second));

    EXPECT_TRUE(CloseHandle(first));
    HANDLE third = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(third);

    for (const std::string& bad : {std::string(), std::string("a/b"), std::string("a\\b"), std::string("..")}) {
        EXPECT_EQ(CreateMutexA(nullptr, true, bad), nullptr) << bad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << bad;
    }
}

TEST_F(IpcTest, AFolderThatIsNotOursIsNeverUsed)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path& folder, const fs::path& elsewhere)> plant;
    };
    const Case cases[] = {
        {"a link where our folder goes",
         [](const fs::path& folder, const fs::path& elsewhere) { fs::create_directory_symlink(elsewhere, folder); }},
        // Once open, someone may have put a lock or socket of theirs in it:
        // it is not tightened and used.
        {"our folder open to others",
         [](const fs::path& folder, const fs::path&) {
             fs::create_directory(folder);
             ::chmod(folder.c_str(), 0777);
         }},
        {"a folder of another user",
         [](const fs::path& folder, const fs::path&) {
             fs::create_directory(folder);
             ::chmod(folder.c_str(), 0700);
             if (::geteuid() == 0)
                 ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
             else
                 ::chmod(folder.c_str(), 0770);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir elsewhere;
        fs::remove_all(ExpectedFolder());
        fs::create_directories(ExpectedFolder().parent_path());
        c.plant(ExpectedFolder(), elsewhere.Path());
        EXPECT_EQ(CreateMutexA(nullptr, true, kName), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_EQ(CreateNamedPipeA(kPipe, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE, 255, 2048, 2048, 10000, nullptr),
                  nullptr);
        EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
        EXPECT_TRUE(fs::is_empty(ExpectedFolder())) << "nothing made in it";
    }
}

// However the program is started, one user on one machine has one lock: a
// start from a desktop session and one from a plain terminal (no runtime
// folder) meet, and a folder another user made in the temp folder under
// our old name changes nothing.
TEST_F(IpcTest, TheLockIsFoundWithAndWithoutARuntimeFolderAndNotInTheTempFolder)
{
    TempDir temp;
    ::chmod(temp.Path().c_str(), 01777);
    const std::string savedTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    const std::string savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    ::setenv("TMPDIR", temp.Path().c_str(), 1);
    const std::string squatted = (temp.Path() / (kName + "-" + std::to_string(::geteuid()))).string();
    if (::geteuid() == 0) {
        // The other user makes it first, open to everybody.
        MakeFolderAsOtherUser(squatted, 0777);
    }

    ::unsetenv("XDG_RUNTIME_DIR");
    HANDLE first = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(first, nullptr) << GetLastError();
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ::setenv("XDG_RUNTIME_DIR", temp.Path().c_str(), 1);
    HANDLE second = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(second, nullptr) << GetLastError();
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(second);
    CloseHandle(first);
    if (::geteuid() == 0)
        EXPECT_TRUE(fs::is_empty(squatted));

    ::setenv("TMPDIR", savedTmp.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
}

// A home deep in the file system and the longest host name a machine can
// have make a socket path far beyond what a socket address holds; a second
// start still reaches the first.
TEST_F(IpcTest, ALongCacheFolderAndHostNameStillHandOver)
{
    std::string cache = runtime_.Path().string();
    while (cache.size() < 200)
        cache += "/" + std::string(std::min<size_t>(50, 200 - cache.size() - 1), 'c');
    ASSERT_EQ(cache.size(), 200u);
    fs::create_directories(cache);
    std::string host = "studio-workstation-in-the-east-wing-of-the-old-print-works";
    host.resize(63, 'x');

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!UseHostName(host))
            ::_exit(77);
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        if (NamedPipeSocketPath(kPipe).size() <= sizeof(sockaddr_un::sun_path) ||
            GetIpcFolder().find(host) == std::string::npos)
            ::_exit(2);
        // The first start: holds the lock and serves the pipe.
        ChildProcess first({IPC_HOLDER_HELPER, kName, "serve"});
        std::string line;
        if (!first.ReadLine(&line) || line != "owned")
            ::_exit(3);
        if (!first.ReadLine(&line) || line != "listening")
            ::_exit(4);
        // The second start finds the lock taken and hands its message over.
        HANDLE lock = CreateMutexA(nullptr, true, kName);
        if (!lock || GetLastError() != ERROR_ALREADY_EXISTS)
            ::_exit(5);
        CloseHandle(lock);
        if (!Send("<message>handed over</message>"))
            ::_exit(6);
        if (!first.ReadLine(&line) || line != "received <message>handed over</message>")
            ::_exit(7);
        first.CloseInput();
        ::_exit(first.Wait() == 0 ? 0 : 8);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no host name of our own (no UTS namespace)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the step that failed";
}

TEST_F(IpcTest, OfTwoProcessesRacingForTheLockExactlyOneWins)
{
    ChildProcess a(Helper(false)), b(Helper(false));
    std::string lineA, lineB;
    ASSERT_TRUE(a.ReadLine(&lineA));
    ASSERT_TRUE(b.ReadLine(&lineB));
    EXPECT_EQ((lineA == "owned") + (lineB == "owned"), 1) << lineA << " / " << lineB;
    EXPECT_EQ((lineA == "exists") + (lineB == "exists"), 1) << lineA << " / " << lineB;

    HANDLE here = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(here, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(here);
    a.CloseInput();
    b.CloseInput();
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
}

TEST_F(IpcTest, AKilledHolderFreesTheLockAndItsSocketIsReplacedOnlyUnderTheLock)
{
    ChildProcess holder(Helper(true));
    std::string line;
    ASSERT_TRUE(holder.ReadLine(&line));
    ASSERT_EQ(line, "owned");
    ASSERT_TRUE(holder.ReadLine(&line));
    ASSERT_EQ(line, "listening");
    holder.Kill(SIGKILL);
    const int status = holder.Wait();
    ASSERT_TRUE(WIFSIGNALED(status));

    // The socket file stays behind, refusing.
    const std::string socket = NamedPipeSocketPath(kPipe);
    ASSERT_TRUE(fs::is_socket(socket));
    DWORD error = 0;
    EXPECT_FALSE(Send("x", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    // Without the lock nobody may take the name over.
    EXPECT_EQ(CreateNamedPipeA(kPipe, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE, 255, 2048, 2048, 10000, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE lock = CreateMutexA(nullptr, true, kName);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    {
        TestServer server;
        ASSERT_TRUE(Send("after the crash"));
        std::vector<Received> got;
        ASSERT_TRUE(server.WaitFor(1, &got));
        EXPECT_EQ(got[0].text, "after the crash");
        EXPECT_EQ(ModeOf(socket), 0600u);
    }
    // Shutting down removes our socket.
    EXPECT_FALSE(fs::exists(socket));
    CloseHandle(lock);
}

TEST_F(IpcTest, ALongMessageArrivesWholeAndEndsWithTheClientsEnd)
{
    TestServer server;
    std::string message;
    for (int i = 0; message.size() < 5000; ++i)
        message += "<file>/home/ada/pictures/" + std::to_string(i) + ".png</file>";
    message.resize(5000);
    ASSERT_TRUE(Send(message));
    ASSERT_TRUE(Send("second"));
    std::vector<Received> got;
    ASSERT_TRUE(server.WaitFor(2, &got));
    EXPECT_EQ(got[0].text, message);
    EXPECT_EQ(got[0].endError, ERROR_BROKEN_PIPE);
    EXPECT_EQ(got[1].text, "second");
}

TEST_F(IpcTest, AStalledClientDoesNotHoldUpTheNextBeyondTheDeadline)
{
    TestServer server(300);
    HANDLE stalled = CreateFileA(kPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(stalled, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(stalled, "<?xml", 5, &written, nullptr));
    ASSERT_TRUE(Send("whole"));
    std::vector<Received> got;
    ASSERT_TRUE(server.WaitFor(2, &got));
    EXPECT_EQ(got[0].text, "<?xml");
    EXPECT_EQ(got[0].endError, ERROR_SEM_TIMEOUT);
    EXPECT_EQ(got[1].text, "whole");
    EXPECT_EQ(got[1].endError, ERROR_BROKEN_PIPE);
    CloseHandle(stalled);
}

TEST_F(IpcTest, ShuttingDownWakesAServerWaitingForAClient)
{
    TestServer server;
    server.Stop();
    DWORD error = 0;
    ASSERT_TRUE(server.Ended(&error));
    EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
    EXPECT_FALSE(fs::exists(NamedPipeSocketPath(kPipe)));
}

TEST_F(IpcTest, ClientsWithoutAServer)
{
    DWORD error = 0;
    EXPECT_FALSE(Send("x", &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(WaitNamedPipeA(kPipe, 120));
    EXPECT_EQ(GetLastError(), ERROR_SEM_TIMEOUT);

    for (const std::string& bad : {std::string("VelmoraAlbumDesignerPro"), std::string("\\\\.\\pipe\\"),
                                   std::string("\\\\.\\pipe\\a/b"), std::string("\\\\.\\pipe\\..")}) {
        EXPECT_EQ(CreateFileA(bad, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), nullptr) << bad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << bad;
        EXPECT_EQ(CreateNamedPipeA(bad, PIPE_ACCESS_INBOUND, 0, 255, 2048, 2048, 0, nullptr), nullptr) << bad;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << bad;
    }
}

// As root, a forked child becomes user 65534 and talks to our socket with
// the folder and socket opened to everybody: it is dropped unheard, and our
// own client, which checks the server's user, refuses a server of another.
TEST_F(IpcTest, AClientOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TestServer server;
    ASSERT_EQ(::chmod(runtime_.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(ExpectedFolder().parent_path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(GetIpcFolder().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(NamedPipeSocketPath(kPipe).c_str(), 0777), 0);
    const std::string path = NamedPipeSocketPath(kPipe);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        int code = 0;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            code |= 1; // the open modes must let it in, or the test shows nothing
        static const char intruder[] = "intruder";
        [[maybe_unused]] const ssize_t w = ::send(fd, intruder, sizeof intruder - 1, MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char c;
        ::recv(fd, &c, 1, 0); // the server hangs up
        ::close(fd);
        HANDLE ours = CreateFileA(kPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (ours || GetLastError() != ERROR_ACCESS_DENIED)
            code |= 2;
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    ASSERT_TRUE(Send("friend"));
    std::vector<Received> got;
    ASSERT_TRUE(server.WaitFor(1, &got));
    EXPECT_EQ(got[0].text, "friend");
    EXPECT_EQ(got.size(), 1u);
}

} // namespace
