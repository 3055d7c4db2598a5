#include "platform/shell/RunFolder.h"

#include "platform/shell/Shell.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kLockName[] = ".run.lock";
// A folder mkdtemp has just made has no lock yet: only one that stayed
// without a lock this long is taken for abandoned.
constexpr std::time_t kUnlockedGraceSeconds = 60;

std::mutex runMutex;
struct RunState {
    // A run that ends normally takes its folder with it; a forked child that
    // shares the state does not.
    ~RunState()
    {
        if (!folder.empty() && owner == ::getpid())
            DeleteFolderTree(folder.substr(0, folder.size() - 1));
        if (lockFd >= 0)
            ::close(lockFd);
    }
    std::string temp;   // the temp folder the run folder was made in
    std::string folder; // ending in "/"
    int lockFd = -1;
    pid_t owner = 0;
};
RunState& State()
{
    static RunState state;
    return state;
}

std::string UserPrefix(const std::string& key)
{
    return key + "-" + std::to_string(::geteuid());
}

bool IsOwnRealFolder(const std::string& path, struct stat* out = nullptr)
{
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if (out)
        *out = st;
    return true;
}

// Takes the lock of a run folder without waiting; -1 when a living run
// holds it or the folder has no lock file.
int TryLock(const std::string& folder)
{
    const int fd = ::open((folder + "/" + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool MakeRunFolder(RunState& state, const std::string& temp, const std::string& key)
{
    std::string pattern = temp + UserPrefix(key) + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return false;
    const int fd = ::open((pattern + "/" + kLockName).c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // The caller reports this reason, not one of the clean-up's.
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        DeleteFolderTree(pattern);
        errno = error;
        return false;
    }
    if (state.lockFd >= 0)
        ::close(state.lockFd);
    state.temp = temp;
    state.folder = pattern + "/";
    state.lockFd = fd;
    state.owner = ::getpid();
    return true;
}

bool IsHexName(std::string_view name, std::size_t length)
{
    if (name.size() != length)
        return false;
    for (char c : name)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

} // namespace

std::string GetRunFolder(const std::string& key)
{
    const std::lock_guard<std::mutex> lock(runMutex);
    RunState& state = State();
    const std::string temp = GetTempFolder();
    const bool usable = !state.folder.empty() && state.temp == temp &&
                        IsOwnRealFolder(state.folder.substr(0, state.folder.size() - 1));
    if (!usable && !MakeRunFolder(state, temp, key))
        return {};
    return state.folder;
}

int RemoveAbandonedRunFolders(const std::string& key)
{
    const std::string temp = GetTempFolder();
    const std::string prefix = UserPrefix(key);
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    for (const std::string& name : Entries(temp)) {
        const std::string path = temp + name;
        struct stat st{};
        if (name == prefix) {
            // The fixed folder of older versions: only their numbered output
            // folders go; their lock and socket may still be in use.
            if (!IsOwnRealFolder(path))
                continue;
            for (const std::string& inner : Entries(path))
                if (IsHexName(inner, 8) && IsOwnRealFolder(path + "/" + inner) && DeleteFolderTree(path + "/" + inner))
                    ++removed;
            continue;
        }
        if (name.size() != prefix.size() + 7 || name.compare(0, prefix.size() + 1, prefix + "-") != 0 ||
            !IsOwnRealFolder(path, &st))
            continue;
        const int fd = TryLock(path);
        if (fd < 0) {
            const bool hasLock = ::faccessat(AT_FDCWD, (path + "/" + kLockName).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
            if (hasLock || now - st.st_mtime < kUnlockedGraceSeconds)
                continue;
        }
        if (DeleteFolderTree(path))
            ++removed;
        if (fd >= 0)
            ::close(fd);
    }
    return removed;
}
