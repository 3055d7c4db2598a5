#include "zip/TUniFileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/Exception.h"
#include "platform/rtl/RegularFile.h"
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
        fd_ = WideOpenFile(fileName, mode, &sizeAtOpen_);
        if (fd_ < 0) {
            int err = errno;
            throw EFOpenError("Cannot open file \"" + WideToUTF8(WideFullName(fileName)) + "\". " +
                              RefusalReason(err));
        }
    }
    // A file this stream opened or created (always a regular one) starts at
    // the beginning.
    position_ = 0;
}

TUniFileStream::~TUniFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

namespace {

// The read-ahead window, and the reads smaller than kSmallRead that fill
// it first; larger ones go straight to the reader's buffer.
constexpr int64_t kReadAhead = 64 << 10;
constexpr int64_t kSmallRead = kReadAhead / 4;

}  // namespace

int64_t TUniFileStream::ReadAt(int64_t offset, void* buffer, int64_t count) const {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && done == 0)
            return -1;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TUniFileStream::ReadFile(char* buffer, int64_t count, bool mayTurnSequential) {
    if (!sequential_ && position_ >= 0) {
        const int64_t n = ReadAt(position_, buffer, count);
        if (n >= 0 || errno != ESPIPE)
            return std::max<int64_t>(n, 0);
        // Read in sequence from here on, where the descriptor stands.
        sequential_ = true;
        position_ = -1;
        if (!mayTurnSequential)
            return -1;
    }
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TUniFileStream::Read(void* buffer, int64_t count) {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    if (position_ >= 0 && aheadLength_ > 0 && position_ >= aheadStart_ && position_ < aheadStart_ + aheadLength_) {
        done = std::min(count, aheadStart_ + aheadLength_ - position_);
        std::memcpy(out, ahead_.get() + (position_ - aheadStart_), static_cast<size_t>(done));
        position_ += done;
    }
    // A read that takes the rest of the file as it was opened, as of a
    // small file read whole, has nothing to gain from a window.
    const bool restOfFile = sizeAtOpen_ >= 0 && sizeAtOpen_ - position_ <= count - done;
    if (done < count && count - done < kSmallRead && position_ >= 0 && !sequential_ && !restOfFile) {
        if (!ahead_)
            ahead_.reset(new char[size_t(kReadAhead)]);
        const int64_t got = ReadFile(ahead_.get(), kReadAhead, false);
        if (got >= 0) {
            aheadStart_ = position_;
            aheadLength_ = got;
            const int64_t n = std::min(got, count - done);
            std::memcpy(out + done, ahead_.get(), static_cast<size_t>(n));
            position_ += n;
            return done + n;
        }
    }
    if (done < count) {
        const int64_t n = ReadFile(out + done, count - done, true);
        if (position_ >= 0)
            position_ += n;
        done += n;
    }
    return done;
}

int64_t TUniFileStream::Write(const void* buffer, int64_t count) {
    DropReadAhead();
    int64_t done = 0;
    while (done < count) {
        const char* from = static_cast<const char*>(buffer) + done;
        const size_t n0 = static_cast<size_t>(count - done);
        ssize_t n = sequential_ || position_ < 0 ? ::write(fd_, from, n0) : ::pwrite(fd_, from, n0, position_ + done);
        if (n < 0 && errno == ESPIPE && !sequential_) {
            sequential_ = true;
            position_ = -1;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            writeError_ = n < 0 ? errno : 0;
            break;
        }
        done += n;
    }
    if (position_ >= 0)
        position_ += done;
    return done;
}

int64_t TUniFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    // Reads and writes name their position, so the descriptor's own offset
    // need not follow: a seek within the file is only noted.
    if (position_ >= 0 && !sequential_) {
        const int64_t target = origin == TSeekOrigin::soCurrent     ? position_ + offset
                               : origin == TSeekOrigin::soBeginning ? offset
                                                                    : -1;
        if (target >= 0) {
            position_ = target;
            return position_;
        }
    }
    int whence = origin == TSeekOrigin::soCurrent ? SEEK_CUR
                 : origin == TSeekOrigin::soEnd   ? SEEK_END
                                                  : SEEK_SET;
    if (whence == SEEK_CUR && position_ >= 0) {
        whence = SEEK_SET;
        offset += position_;
    }
    // A refused seek leaves the position where it was.
    const off_t r = ::lseek(fd_, offset, whence);
    if (r < 0)
        return -1;
    position_ = r;
    return position_;
}

int64_t TUniFileStream::GetSize() {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
        return st.st_size;
    return TStream::GetSize();
}

void TUniFileStream::SetSize(int64_t newSize) {
    DropReadAhead();
    if (::ftruncate(fd_, newSize) != 0)
        throw EWriteError("Cannot resize file \"" + WideToUTF8(fileName_) + "\". " +
                          WideToUTF8(WideSystemMessage(errno)));
    if (GetPosition() > newSize)
        Seek(newSize, TSeekOrigin::soBeginning);
}

bool TUniFileStream::Flush() { return ::fsync(fd_) == 0; }
