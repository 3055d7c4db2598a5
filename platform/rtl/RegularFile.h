#pragma once
// Opening files that a user or a received file names. Such a name may lead
// to a FIFO (whose open waits for a writer that never comes), to a device
// such as /dev/zero (which reads forever) or to a folder. These open without
// waiting, take only a regular file, and refuse one larger than the limit
// that applies to what it is read for.
#include <cstdint>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/FileDescriptor.h"

inline constexpr int64_t kNoSizeLimit = std::numeric_limits<int64_t>::max();

// Opens path with `flags` (the access mode and any others) only when it is a
// regular file: the kind is looked up before the open, the open neither
// waits nor takes a terminal, and what it opened must be the file that was
// looked up. The descriptor is close-on-exec and blocking unless flags ask
// for O_NONBLOCK; `info` describes the open file. -1 when refused, with errno
// set: what stat() or open() gave, EISDIR for a folder, ENODEV for any other
// kind of file that is no regular one, EAGAIN when the name was given to
// another file between the look-up and the open.
int OpenOnlyRegularFile(const std::string& path, int flags, struct stat& info);

// A descriptor open for reading (blocking, close-on-exec) and the file's size
// in `size`; -1 when refused, with errno set: what open() gave, EISDIR for a
// folder, ENODEV for any other kind of file that is no regular one, EFBIG for
// a file over `maxBytes`.
int OpenRegularFile(const std::string& path, int64_t maxBytes, int64_t& size);

// Why OpenRegularFile refused, for a message: "Is a directory",
// "Not a regular file", "File too large" or the system's text.
std::string RefusalReason(int error);

enum class ReadResult { Read, Refused, Short };

// The whole file into `bytes` (any container with resize and data), read as
// OpenRegularFile opens it and only as far as the size it had then. Refused
// leaves errno as OpenRegularFile set it; Short means the file ended early
// or could not be read. A failed allocation throws, the file closed.
template <class Bytes>
ReadResult ReadRegularFile(const std::string& path, int64_t maxBytes, Bytes& bytes)
{
    int64_t size = 0;
    const int fd = OpenRegularFile(path, maxBytes, size);
    if (fd < 0)
        return ReadResult::Refused;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    bytes.resize(static_cast<decltype(bytes.size())>(size));
    return FdReadAll(fd, bytes.data(), size) ? ReadResult::Read : ReadResult::Short;
}

// True when the path names a regular file this process can open for reading
// (checked by opening it as above, and closing it again).
bool CanReadRegularFile(const std::string& path);
