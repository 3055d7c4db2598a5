#pragma once
// The objects behind the handles of platform/ipc (internal to the layer).
#include "platform/ipc/Ipc.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

struct IpcObject {
    virtual ~IpcObject() = default;
};

// errno of a failed system call as the layer's error code.
DWORD ErrorFromErrno(int error);
// Records the error for GetLastError and returns false.
bool Fail(DWORD error);

// The short name inside "\\.\pipe\<name>", or empty when the text is not a
// pipe name or the name could not be a file name.
std::string PipeShortName(const std::string& pipeName);
// The address of the socket at path, for bind and connect. A path longer
// than an address holds (a long home or host name) is reached through a
// descriptor of its folder, "/proc/self/fd/<n>/<name>", kept open as long
// as this object.
class SocketName {
public:
    explicit SocketName(const std::string& path);
    ~SocketName();
    SocketName(const SocketName&) = delete;
    SocketName& operator=(const SocketName&) = delete;

    // False when even the short form does not fit or the folder cannot be
    // opened; errno tells why.
    bool Valid() const { return valid_; }
    const struct sockaddr* Address() const;
    unsigned Length() const;

private:
    struct sockaddr_un address_{};
    int folderFd_ = -1;
    bool valid_ = false;
};
// Whether this process holds the mutex of that name through a handle.
bool MutexHeldHere(const std::string& name);
// Creates the folder of the named objects when missing and checks it.
bool ForceIpcFolder();

// A bound socket shared by the instance handles of one pipe name.
struct PipeListener {
    ~PipeListener();
    int fd = -1;
    int stopFd = -1; // an eventfd, readable once the pipe is shut down
    std::string path;
    unsigned long long device = 0, inode = 0;
};

struct PipeInstance : IpcObject {
    ~PipeInstance() override;
    std::shared_ptr<PipeListener> listener;
    int fd = -1;
    bool hasDeadline = false;
    std::chrono::steady_clock::time_point deadline;
};

struct PipeClient : IpcObject {
    ~PipeClient() override;
    int fd = -1;
};
