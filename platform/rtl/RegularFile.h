#pragma once
// Opening files that a user or a received file names. Such a name may lead
// to a FIFO (whose open waits for a writer that never comes), to a device
// such as /dev/zero (which reads forever) or to a folder. These open without
// waiting, take only a regular file, and refuse one larger than the limit
// that applies to what it is read for.
#include <cstdint>
#include <limits>
#include <string>

inline constexpr int64_t kNoSizeLimit = std::numeric_limits<int64_t>::max();

// A descriptor open for reading (blocking, close-on-exec) and the file's size
// in `size`; -1 when refused, with errno set: what open() gave, EISDIR for a
// folder, ENODEV for any other kind of file that is no regular one, EFBIG for
// a file over `maxBytes`.
int OpenRegularFile(const std::string& path, int64_t maxBytes, int64_t& size);

// Why OpenRegularFile refused, for a message: "Is a directory",
// "Not a regular file", "File too large" or the system's text.
std::string RefusalReason(int error);

// True when the path names a regular file this process can open for reading
// (checked by opening it as above, and closing it again).
bool CanReadRegularFile(const std::string& path);
