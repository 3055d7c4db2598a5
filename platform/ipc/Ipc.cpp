#include "platform/ipc/Ipc.h"

#include "platform/ipc/IpcObject.h"
#include "platform/shell/Shell.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

// The folder of the program's named objects; the generators' working folder
// shares the name when there is no runtime folder.
const char kFolderName[] = "VelmoraAlbumDesignerPro";

thread_local DWORD lastError = ERROR_SUCCESS;

} // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD error)
{
    lastError = error;
}

bool Fail(DWORD error)
{
    lastError = error;
    return false;
}

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
    case ECONNREFUSED:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EPIPE:
    case ECONNRESET:
        return ERROR_NO_DATA;
    case EAGAIN:
        return ERROR_PIPE_BUSY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool CloseHandle(HANDLE handle)
{
    if (!handle)
        return Fail(ERROR_INVALID_HANDLE);
    delete handle;
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::string GetIpcFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        std::string folder = runtime;
        if (folder.back() != '/')
            folder += '/';
        return folder + kFolderName + "/";
    }
    return GetUserTempFolder(kFolderName);
}

bool ForceIpcFolder()
{
    return ForcePrivateFolder(GetIpcFolder());
}

std::string MutexLockPath(const std::string& name)
{
    return GetIpcFolder() + name + ".lock";
}

std::string NamedPipeSocketPath(const std::string& pipeName)
{
    return GetIpcFolder() + PipeShortName(pipeName) + ".pipe";
}

std::string PipeShortName(const std::string& pipeName)
{
    static const std::string prefix = "\\\\.\\pipe\\";
    if (pipeName.size() <= prefix.size() || pipeName.compare(0, prefix.size(), prefix) != 0)
        return {};
    std::string name = pipeName.substr(prefix.size());
    if (name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos ||
        name.find('\0') != std::string::npos)
        return {};
    return name;
}

bool SocketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}
