#pragma once
// The objects behind the handles of platform/ipc (internal to the layer).
#include "platform/ipc/Ipc.h"

#include <chrono>
#include <memory>
#include <string>

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
// The socket address of path; false when the path is too long for one.
bool SocketAddress(const std::string& path, struct sockaddr_un& address);
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
