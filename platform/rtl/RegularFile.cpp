#include "platform/rtl/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// EISDIR for a folder, ENODEV for any other kind that is no regular file.
int KindRefusal(mode_t mode)
{
    if (S_ISDIR(mode))
        return EISDIR;
    return S_ISREG(mode) ? 0 : ENODEV;
}

} // namespace

int OpenOnlyRegularFile(const std::string& path, int flags, struct stat& info)
{
    // The kind is known before any open: opening a device can act by
    // itself (a watchdog is armed by it), a FIFO's open waits for a writer.
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    if (const int refusal = KindRefusal(info.st_mode); refusal != 0) {
        errno = refusal;
        return -1;
    }
    // Without waiting and without taking a terminal, for the case that
    // another file took the name after the look-up.
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened {};
    int error = ::fstat(fd, &opened) != 0 ? errno : KindRefusal(opened.st_mode);
    if (error == 0 && (opened.st_dev != info.st_dev || opened.st_ino != info.st_ino))
        error = EAGAIN; // the name was given to another file meanwhile
    // Back to blocking reads unless asked otherwise: on a regular file the
    // flag changes nothing, but the descriptor may be handed to code that
    // expects it clear.
    if (error == 0 && (flags & O_NONBLOCK) == 0) {
        if (const int now = ::fcntl(fd, F_GETFL); now < 0 || ::fcntl(fd, F_SETFL, now & ~O_NONBLOCK) != 0)
            error = errno;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    info = opened;
    return fd;
}

int OpenRegularFile(const std::string& path, int64_t maxBytes, int64_t& size)
{
    size = 0;
    struct stat info {};
    const int fd = OpenOnlyRegularFile(path, O_RDONLY, info);
    if (fd < 0)
        return -1;
    if (info.st_size > maxBytes) {
        ::close(fd);
        errno = EFBIG;
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
