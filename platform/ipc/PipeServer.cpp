#include "platform/ipc/Ipc.h"

#include "platform/ipc/IpcObject.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::mutex listenersMutex;
std::map<std::string, std::shared_ptr<PipeListener>>& Listeners()
{
    static std::map<std::string, std::shared_ptr<PipeListener>> listeners;
    return listeners;
}

// Binds and listens; a socket file in the way is replaced only when the
// caller may (it holds the instance mutex), and only when it is a socket.
std::shared_ptr<PipeListener> Listen(const std::string& name)
{
    auto listener = std::make_shared<PipeListener>();
    listener->path = GetIpcFolder() + name + ".pipe";
    const SocketName address(listener->path);
    if (!address.Valid()) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    listener->fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    listener->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (listener->fd < 0 || listener->stopFd < 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    if (::bind(listener->fd, address.Address(), address.Length()) != 0) {
        if (errno != EADDRINUSE) {
            Fail(ErrorFromErrno(errno));
            return nullptr;
        }
        struct stat st{};
        if (!MutexHeldHere(name) || ::lstat(listener->path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
            ::unlink(listener->path.c_str()) != 0 ||
            ::bind(listener->fd, address.Address(), address.Length()) != 0) {
            Fail(ERROR_ACCESS_DENIED);
            return nullptr;
        }
    }
    struct stat st{};
    if (::chmod(listener->path.c_str(), 0600) != 0 || ::lstat(listener->path.c_str(), &st) != 0 ||
        ::listen(listener->fd, SOMAXCONN) != 0) {
        Fail(ErrorFromErrno(errno));
        ::unlink(listener->path.c_str());
        return nullptr;
    }
    listener->device = st.st_dev;
    listener->inode = st.st_ino;
    return listener;
}

enum class Ready { Data, Stopped, TimedOut, Failed };

// Waits until fd is readable, the pipe is stopped or the deadline passes.
Ready WaitReadable(int fd, int stopFd, const PipeInstance* instance)
{
    for (;;) {
        int timeout = -1;
        if (instance && instance->hasDeadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                instance->deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return Ready::TimedOut;
            timeout = static_cast<int>(std::min<long long>(left.count() + 1, 1 << 30));
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Ready::Failed;
        }
        if (fds[1].revents != 0)
            return Ready::Stopped;
        if (fds[0].revents != 0)
            return Ready::Data;
    }
}

PipeInstance* Instance(HANDLE handle)
{
    return dynamic_cast<PipeInstance*>(handle);
}

} // namespace

PipeListener::~PipeListener()
{
    if (fd >= 0)
        ::close(fd);
    if (stopFd >= 0)
        ::close(stopFd);
}

PipeInstance::~PipeInstance()
{
    if (fd >= 0)
        ::close(fd);
}

HANDLE CreateNamedPipeA(const std::string& pipeName, DWORD openMode, DWORD pipeMode, DWORD /*maxInstances*/,
                        DWORD /*outBufferSize*/, DWORD /*inBufferSize*/, DWORD /*defaultTimeOut*/,
                        const void* /*securityAttributes*/)
{
    const std::string name = PipeShortName(pipeName);
    if (name.empty()) {
        Fail(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (openMode != PIPE_ACCESS_INBOUND || (pipeMode & 1) != 0) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ForceIpcFolder()) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(listenersMutex);
    std::shared_ptr<PipeListener>& listener = Listeners()[name];
    if (!listener) {
        listener = Listen(name);
        if (!listener) {
            Listeners().erase(name);
            return nullptr;
        }
    }
    auto* instance = new PipeInstance;
    instance->listener = listener;
    SetLastError(ERROR_SUCCESS);
    return instance;
}

bool ConnectNamedPipe(HANDLE handle, void* /*overlapped*/)
{
    PipeInstance* instance = Instance(handle);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (instance->fd >= 0)
        return Fail(ERROR_PIPE_CONNECTED);
    const PipeListener& listener = *instance->listener;
    for (;;) {
        switch (WaitReadable(listener.fd, listener.stopFd, nullptr)) {
        case Ready::Stopped:
            return Fail(ERROR_OPERATION_ABORTED);
        case Ready::Failed:
        case Ready::TimedOut:
            return Fail(ErrorFromErrno(errno));
        case Ready::Data:
            break;
        }
        // Another instance's thread may have taken the connection first.
        const int fd = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED)
                continue;
            return Fail(ErrorFromErrno(errno));
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
            // Not ours: dropped before a byte of it is read.
            ::close(fd);
            continue;
        }
        instance->fd = fd;
        SetLastError(ERROR_SUCCESS);
        return true;
    }
}

bool SetNamedPipeConnectionDeadline(HANDLE handle, DWORD milliseconds)
{
    PipeInstance* instance = Instance(handle);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    instance->hasDeadline = true;
    instance->deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool ReadFile(HANDLE handle, void* buffer, DWORD size, DWORD* bytesRead, void* /*overlapped*/)
{
    if (bytesRead)
        *bytesRead = 0;
    PipeInstance* instance = Instance(handle);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (instance->fd < 0)
        return Fail(ERROR_BROKEN_PIPE);
    for (;;) {
        switch (WaitReadable(instance->fd, instance->listener->stopFd, instance)) {
        case Ready::Stopped:
            return Fail(ERROR_OPERATION_ABORTED);
        case Ready::TimedOut:
            return Fail(ERROR_SEM_TIMEOUT);
        case Ready::Failed:
            return Fail(ErrorFromErrno(errno));
        case Ready::Data:
            break;
        }
        const ssize_t n = ::recv(instance->fd, buffer, size, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            return Fail(errno == ECONNRESET ? ERROR_BROKEN_PIPE : ErrorFromErrno(errno));
        }
        if (n == 0)
            return Fail(ERROR_BROKEN_PIPE);
        if (bytesRead)
            *bytesRead = static_cast<DWORD>(n);
        SetLastError(ERROR_SUCCESS);
        return true;
    }
}

void ShutdownNamedPipe(const std::string& pipeName)
{
    std::shared_ptr<PipeListener> listener;
    {
        const std::lock_guard<std::mutex> lock(listenersMutex);
        const auto found = Listeners().find(PipeShortName(pipeName));
        if (found == Listeners().end())
            return;
        listener = found->second;
        Listeners().erase(found);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(listener->stopFd, &one, sizeof one);
    ::shutdown(listener->fd, SHUT_RDWR);
    // A later instance may have replaced the file; that one is not ours.
    struct stat st{};
    if (::lstat(listener->path.c_str(), &st) == 0 && st.st_dev == listener->device && st.st_ino == listener->inode)
        ::unlink(listener->path.c_str());
}
