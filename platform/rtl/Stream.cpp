#include "platform/rtl/Stream.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/Exception.h"

int64_t TStream::GetSize()
{
    const int64_t position = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Read(out + done, count - done);
        if (n <= 0)
            throw EReadError("Stream read error");
        done += n;
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Write(in + done, count - done);
        if (n <= 0)
            throw EWriteError("Stream write error");
        done += n;
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    constexpr int64_t kChunk = 1 << 20;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kChunk)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}
