#include "platform/rtl/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFile(const std::string& path, int64_t maxBytes, int64_t& size)
{
    size = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else if (!S_ISREG(info.st_mode))
        error = ENODEV;
    else if (info.st_size > maxBytes)
        error = EFBIG;
    // Back to blocking reads: on a regular file the flag changes nothing,
    // but the descriptor may be handed to code that expects it clear.
    else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    size = static_cast<int64_t>(info.st_size);
    return fd;
}

std::string RefusalReason(int error)
{
    switch (error) {
    case EISDIR: return "Is a directory";
    case ENODEV: return "Not a regular file";
    case EFBIG: return "File too large";
    default: return std::strerror(error);
    }
}

bool CanReadRegularFile(const std::string& path)
{
    int64_t size = 0;
    const int fd = path.empty() ? -1 : OpenRegularFile(path, kNoSizeLimit, size);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
