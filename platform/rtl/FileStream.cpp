#include "platform/rtl/FileStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/Exception.h"
#include "platform/rtl/FileDescriptor.h"

TFileStream::TFileStream(const std::string& path, unsigned mode) : path_(path)
{
    if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
        return;
    }
    int flags = O_CLOEXEC;
    switch (mode & 0x3) {
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    fd_ = ::open(path.c_str(), flags);
    if (fd_ < 0)
        throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFOpenError("Cannot open file \"" + path + "\". Is a directory");
    }
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    return FdRead(fd_, buffer, count);
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::write(fd_, buffer, static_cast<size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    return FdSeek(fd_, offset, origin);
}

void TFileStream::SetSize(int64_t newSize)
{
    if (::ftruncate(fd_, newSize) != 0)
        throw EWriteError("Cannot resize file \"" + path_ + "\". " + std::strerror(errno));
    if (GetPosition() > newSize)
        Seek(newSize, TSeekOrigin::soBeginning);
}

bool TFileStream::Flush()
{
    return ::fsync(fd_) == 0;
}
