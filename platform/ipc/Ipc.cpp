#include "platform/ipc/Ipc.h"

#include "platform/ipc/IpcObject.h"
#include "platform/shell/Shell.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

// The program's folder in the user's cache folder, and the leading part of
// the name of its named objects' folder there.
const char kAppFolder[] = "VelmoraVoravev";
const char kFolderPrefix[] = "instance-";

// The host's name as one file-name part: a home shared between machines
// gets one instance per machine, as sockets and locks do not cross them.
std::string HostKey()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !name[0])
        return "localhost";
    std::string key(name, ::strcspn(name, "."));
    if (key.empty())
        return "localhost";
    for (char& c : key)
        if (c == '/' || c == '\\')
            c = '_';
    return key;
}

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
    const std::string cache = GetUserCacheFolder();
    if (cache.empty())
        return {};
    return cache + "/" + kAppFolder + "/" + kFolderPrefix + HostKey() + "/";
}

bool ForceIpcFolder()
{
    const std::string folder = GetIpcFolder();
    if (folder.empty())
        return false;
    const std::string cache = GetUserCacheFolder();
    if (!ForceDirectories(cache, 0700) || !ForcePrivateFolder(cache + "/" + kAppFolder))
        return false;
    // Made here when missing; one that is there must already be a private
    // folder of ours: whoever could enter it could have planted a lock or a
    // socket in it, so it is never tightened and used.
    std::string path = folder.substr(0, folder.size() - 1);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0077) == 0;
}

std::string MutexLockPath(const std::string& name)
{
    const std::string folder = GetIpcFolder();
    return folder.empty() ? folder : folder + name + ".lock";
}

std::string NamedPipeSocketPath(const std::string& pipeName)
{
    const std::string folder = GetIpcFolder();
    return folder.empty() ? folder : folder + PipeShortName(pipeName) + ".pipe";
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

SocketName::SocketName(const std::string& path)
{
    address_.sun_family = AF_UNIX;
    if (path.empty() || path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return;
    }
    std::string name = path;
    if (path.size() >= sizeof address_.sun_path) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) {
            errno = ENAMETOOLONG;
            return;
        }
        folderFd_ = ::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folderFd_ < 0)
            return;
        name = "/proc/self/fd/" + std::to_string(folderFd_) + path.substr(slash);
        if (name.size() >= sizeof address_.sun_path) {
            errno = ENAMETOOLONG;
            return;
        }
    }
    std::memcpy(address_.sun_path, name.c_str(), name.size() + 1);
    valid_ = true;
}

SocketName::~SocketName()
{
    if (folderFd_ >= 0)
        ::close(folderFd_);
}

const sockaddr* SocketName::Address() const
{
    return reinterpret_cast<const sockaddr*>(&address_);
}

unsigned SocketName::Length() const
{
    return sizeof address_;
}
