#include "platform/rtl/PrefixedBlockStream.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/Exception.h"
#include "platform/rtl/SeekTarget.h"

TPrefixedBlockStream::TPrefixedBlockStream(std::vector<uint8_t> prefix, const uint8_t* block, size_t blockSize)
    : prefix_(std::move(prefix)), block_(block), blockSize_(block ? blockSize : 0)
{
}

int64_t TPrefixedBlockStream::Read(void* buffer, int64_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && position_ < GetSize()) {
        const int64_t prefixSize = int64_t(prefix_.size());
        const bool inPrefix = position_ < prefixSize;
        const uint8_t* from = inPrefix ? prefix_.data() + position_ : block_ + (position_ - prefixSize);
        const int64_t left = inPrefix ? prefixSize - position_ : GetSize() - position_;
        const int64_t n = std::min(count - done, left);
        std::memcpy(out + done, from, size_t(n));
        done += n;
        position_ += n;
    }
    return done;
}

int64_t TPrefixedBlockStream::Write(const void*, int64_t)
{
    throw EWriteError("The stream is read-only");
}

void TPrefixedBlockStream::SetSize(int64_t)
{
    throw EWriteError("The stream is read-only");
}

int64_t TPrefixedBlockStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = SeekTarget(position_, GetSize(), offset, origin);
    return position_;
}
