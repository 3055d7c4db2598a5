#pragma once
#include <cstdint>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Abstract byte stream with a position, after the class library's stream.
class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(int64_t newSize) = 0;

    virtual int64_t GetSize();
    int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

    // Read or write exactly count bytes, or throw EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Copies count bytes from source's current position (count 0: the whole
    // source from its start). Returns the number of bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};
