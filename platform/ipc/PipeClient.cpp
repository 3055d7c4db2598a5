#include "platform/ipc/Ipc.h"

#include "platform/ipc/IpcObject.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

PipeClient::~PipeClient()
{
    if (fd >= 0) {
        // The end of the message for the server.
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

HANDLE CreateFileA(const std::string& pipeName, DWORD access, DWORD /*shareMode*/,
                   const void* /*securityAttributes*/, DWORD creation, DWORD /*flags*/, HANDLE /*templateFile*/)
{
    const std::string name = PipeShortName(pipeName);
    if (name.empty()) {
        Fail(ERROR_INVALID_NAME);
        return nullptr;
    }
    if (access != GENERIC_WRITE || creation != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const SocketName address(NamedPipeSocketPath(pipeName));
    if (!address.Valid()) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    auto client = std::make_unique<PipeClient>();
    // Non-blocking, so a server whose queue is full reads as busy rather
    // than holding us; writes block again afterwards.
    client->fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (client->fd < 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    if (::connect(client->fd, address.Address(), address.Length()) != 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    // The folder keeps others out; this keeps us from talking to a server
    // of another user should the folder ever be someone else's.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(client->fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
        Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const int flagsNow = ::fcntl(client->fd, F_GETFL);
    if (flagsNow < 0 || ::fcntl(client->fd, F_SETFL, flagsNow & ~O_NONBLOCK) != 0) {
        Fail(ErrorFromErrno(errno));
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return client.release();
}

bool WaitNamedPipeA(const std::string& pipeName, DWORD timeOut)
{
    if (PipeShortName(pipeName).empty())
        return Fail(ERROR_INVALID_NAME);
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(timeOut);
    const auto step = std::chrono::milliseconds(50);
    const std::string path = NamedPipeSocketPath(pipeName);
    for (;;) {
        const auto left = deadline - clock::now();
        if (left <= clock::duration::zero())
            return Fail(ERROR_SEM_TIMEOUT);
        std::this_thread::sleep_for(std::min<clock::duration>(step, left));
        struct stat st{};
        if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            SetLastError(ERROR_SUCCESS);
            return true;
        }
    }
}

bool WriteFile(HANDLE handle, const void* data, DWORD size, DWORD* written, void* /*overlapped*/)
{
    if (written)
        *written = 0;
    auto* client = dynamic_cast<PipeClient*>(handle);
    if (!client)
        return Fail(ERROR_INVALID_HANDLE);
    const char* bytes = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::send(client->fd, bytes + done, size - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Fail(ErrorFromErrno(errno));
        }
        done += static_cast<DWORD>(n);
        if (written)
            *written = done;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}
