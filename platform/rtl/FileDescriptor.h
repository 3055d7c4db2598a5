#pragma once
// Reading and seeking on an open file descriptor, shared by the file streams.
#include <cstdint>

#include "platform/rtl/Stream.h"

// Up to count bytes (a read cut by a signal is retried); 0 on error or at the end.
int64_t FdRead(int fd, void* buffer, int64_t count);
// Exactly count bytes; false when the file ends or fails first.
bool FdReadAll(int fd, void* buffer, int64_t count);
// The new position, or -1.
int64_t FdSeek(int fd, int64_t offset, TSeekOrigin origin);
