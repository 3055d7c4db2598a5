#include "platform/rtl/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

int64_t FdRead(int fd, void* buffer, int64_t count)
{
    if (count <= 0 || fd < 0)
        return 0;
    ssize_t n;
    do {
        n = ::read(fd, buffer, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

bool FdReadAll(int fd, void* buffer, int64_t count)
{
    auto* at = static_cast<char*>(buffer);
    while (count > 0) {
        const int64_t got = FdRead(fd, at, count);
        if (got <= 0)
            return false;
        at += got;
        count -= got;
    }
    return true;
}

int64_t FdSeek(int fd, int64_t offset, TSeekOrigin origin)
{
    if (fd < 0)
        return -1;
    int whence = SEEK_SET;
    if (origin == TSeekOrigin::soCurrent)
        whence = SEEK_CUR;
    else if (origin == TSeekOrigin::soEnd)
        whence = SEEK_END;
    const off_t r = ::lseek(fd, offset, whence);
    return r < 0 ? -1 : r;
}
