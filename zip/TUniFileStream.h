#pragma once
#include <memory>
#include <string>

#include "platform/rtl/Stream.h"

// A file stream opened on a UTF-16 name. Mode 0xFFFF creates (or truncates)
// the file; other modes open an existing one (see WideOpenFile). Raises
// EFCreateError / EFOpenError with the full name and the system's reason.
class TUniFileStream : public TStream {
public:
    TUniFileStream(const std::u16string& fileName, unsigned mode);
    // Takes over a handle already open on fileName for reading and writing;
    // Position is where the handle stands when the opener knows it (a file
    // it has just created: 0), else -1.
    struct TAdopt {
        int Handle;
        int64_t Position = -1;
    };
    TUniFileStream(const std::u16string& fileName, TAdopt handle)
        : fileName_(fileName), fd_(handle.Handle), position_(handle.Position)
    {
    }
    ~TUniFileStream() override;
    TUniFileStream(const TUniFileStream&) = delete;
    TUniFileStream& operator=(const TUniFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    // The file's size from the system, without moving the position.
    int64_t GetSize() override;

    // The file's size as the system gave it when this stream opened the
    // file; -1 for a created or adopted file. Spares a reader that takes the
    // file whole a second look-up.
    int64_t SizeAtOpen() const { return sizeAtOpen_; }

    // Reads up to count bytes at offset straight from the file, touching
    // nothing of the stream's own state, so other threads may read beside
    // it; the bytes read, or -1 (errno set) when the first read fails.
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const;

    bool Flush();
    int Handle() const { return fd_; }
    const std::u16string& FileName() const { return fileName_; }
    // The system's error code of the last write that fell short; 0 when
    // none did.
    int LastWriteError() const { return writeError_; }

private:
    // Reads count bytes at the position into buffer straight from the file;
    // -1 when the descriptor turns out to have no positions and the caller
    // did not allow reading it in sequence instead.
    int64_t ReadFile(char* buffer, int64_t count, bool mayTurnSequential);
    void DropReadAhead() { aheadLength_ = 0; }

    std::u16string fileName_;
    int fd_ = -1;
    int writeError_ = 0;
    // Where reads and writes go; -1 until known. While it is known, reads
    // and writes name it themselves and seeks cost no system call: the
    // archiver moves about its file around every record.
    int64_t position_ = -1;
    int64_t sizeAtOpen_ = -1;
    // A descriptor that cannot be read or written at a position (a pipe) is
    // read and written in sequence.
    bool sequential_ = false;
    // Bytes read ahead of a small read, at aheadStart_: reading an archive's
    // many small records and items takes a system call per window, not two
    // per record. Any write or resize through this stream drops them.
    std::unique_ptr<char[]> ahead_;
    int64_t aheadStart_ = 0;
    int64_t aheadLength_ = 0;
};
