#include "platform/ipc/Ipc.h"

#include "platform/ipc/IpcObject.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex heldMutex;
std::multiset<std::string>& HeldNames()
{
    static std::multiset<std::string> names;
    return names;
}

struct MutexObject : IpcObject {
    ~MutexObject() override
    {
        if (owned) {
            const std::lock_guard<std::mutex> lock(heldMutex);
            HeldNames().erase(HeldNames().find(name));
        }
        // Closing the last descriptor of the open file lets go of the lock.
        if (fd >= 0)
            ::close(fd);
    }
    std::string name;
    int fd = -1;
    bool owned = false;
};

bool ValidMutexName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

} // namespace

bool MutexHeldHere(const std::string& name)
{
    const std::lock_guard<std::mutex> lock(heldMutex);
    return HeldNames().count(name) != 0;
}

HANDLE CreateMutexA(const void* /*securityAttributes*/, bool initialOwner, const std::string& name)
{
    if (!initialOwner) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ValidMutexName(name)) {
        Fail(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (!ForceIpcFolder()) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::string path = MutexLockPath(name);
    auto mutex = std::make_unique<MutexObject>();
    mutex->name = name;
    mutex->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (mutex->fd < 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    struct stat st{};
    if (::fstat(mutex->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int locked;
    do
        locked = ::flock(mutex->fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        if (errno != EWOULDBLOCK) {
            Fail(ErrorFromErrno(errno));
            return nullptr;
        }
        SetLastError(ERROR_ALREADY_EXISTS);
        return mutex.release();
    }
    mutex->owned = true;
    {
        const std::lock_guard<std::mutex> lock(heldMutex);
        HeldNames().insert(name);
    }
    SetLastError(ERROR_SUCCESS);
    return mutex.release();
}
