#include "zip/TUniFileStream.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/Exception.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"

TUniFileStream::TUniFileStream(const std::u16string& fileName, unsigned mode)
    : fileName_(fileName) {
    if (mode == kCreateMode) {
        fd_ = WideCreateFile(fileName);
        if (fd_ < 0) {
            int err = errno;
            throw EFCreateError("Cannot create file \"" + WideToUTF8(WideFullName(fileName)) +
                                "\". " + WideToUTF8(WideSystemMessage(err)));
        }
    } else {
        fd_ = WideOpenFile(fileName, mode);
        if (fd_ < 0) {
            int err = errno;
            throw EFOpenError("Cannot open file \"" + WideToUTF8(WideFullName(fileName)) +
                              "\". " + WideToUTF8(WideSystemMessage(err)));
        }
    }
}

TUniFileStream::~TUniFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

int64_t TUniFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (position_ >= 0)
        position_ += done;
    return done;
}

int64_t TUniFileStream::Write(const void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done,
                            static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (position_ >= 0)
        position_ += done;
    return done;
}

int64_t TUniFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (position_ >= 0 && ((origin == TSeekOrigin::soCurrent && offset == 0) ||
                           (origin == TSeekOrigin::soBeginning && offset == position_)))
        return position_;
    int whence = origin == TSeekOrigin::soCurrent ? SEEK_CUR
                 : origin == TSeekOrigin::soEnd   ? SEEK_END
                                                  : SEEK_SET;
    off_t r = ::lseek(fd_, offset, whence);
    position_ = r < 0 ? -1 : r;
    return position_;
}

int64_t TUniFileStream::GetSize() {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
        return st.st_size;
    return TStream::GetSize();
}

void TUniFileStream::SetSize(int64_t newSize) {
    if (::ftruncate(fd_, newSize) != 0)
        throw EWriteError("Cannot resize file \"" + WideToUTF8(fileName_) + "\". " +
                          WideToUTF8(WideSystemMessage(errno)));
    if (GetPosition() > newSize)
        Seek(newSize, TSeekOrigin::soBeginning);
}

bool TUniFileStream::Flush() { return ::fsync(fd_) == 0; }
