#pragma once
#include <string>

#include "platform/rtl/Stream.h"

// A file stream opened on a UTF-16 name. Mode 0xFFFF creates (or truncates)
// the file; other modes open an existing one (see WideOpenFile). Raises
// EFCreateError / EFOpenError with the full name and the system's reason.
class TUniFileStream : public TStream {
public:
    TUniFileStream(const std::u16string& fileName, unsigned mode);
    // Takes over a handle already open on fileName for reading and writing.
    struct TAdopt {
        int Handle;
    };
    TUniFileStream(const std::u16string& fileName, TAdopt handle) : fileName_(fileName), fd_(handle.Handle) {}
    ~TUniFileStream() override;
    TUniFileStream(const TUniFileStream&) = delete;
    TUniFileStream& operator=(const TUniFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    // The file's size from the system, without moving the position.
    int64_t GetSize() override;

    bool Flush();
    int Handle() const { return fd_; }
    const std::u16string& FileName() const { return fileName_; }

private:
    std::u16string fileName_;
    int fd_ = -1;
    // Where reads and writes go, as this stream moved it; -1 until known.
    // The archiver asks for the position around every record it writes:
    // answered here, that is no system call.
    int64_t position_ = -1;
};
