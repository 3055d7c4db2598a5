#pragma once
#include <string>

#include "platform/rtl/Stream.h"

// Open modes of TFileStream. fmCreate creates or truncates; the share flags
// are accepted for compatibility and mapped to advisory locks where it matters.
enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

// A stream over a file on disk. Throws EFOpenError / EFCreateError when the
// file cannot be opened or created.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& path, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;

    // Pushes written data to the disk (fsync).
    bool Flush();
    const std::string& FileName() const { return path_; }
    int Handle() const { return fd_; }

private:
    std::string path_;
    int fd_ = -1;
};
