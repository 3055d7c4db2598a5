#pragma once
// A read-only stream over a few bytes of its own followed by a block of
// memory that belongs to someone else: a file whose body already lies in
// memory as the file holds it (a bitmap's pixels) is read, hashed and
// compressed from where it lies instead of from a copy. The block must stay
// unchanged and alive for as long as the stream is read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/rtl/Stream.h"

class TPrefixedBlockStream : public TStream {
public:
    TPrefixedBlockStream() = default;
    TPrefixedBlockStream(std::vector<uint8_t> prefix, const uint8_t* block, size_t blockSize);

    int64_t Read(void* buffer, int64_t count) override;
    // Read-only: both throw EWriteError.
    int64_t Write(const void* buffer, int64_t count) override;
    void SetSize(int64_t newSize) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override { return int64_t(prefix_.size() + blockSize_); }

    const std::vector<uint8_t>& Prefix() const { return prefix_; }
    const uint8_t* Block() const { return block_; }
    size_t BlockSize() const { return blockSize_; }

private:
    std::vector<uint8_t> prefix_;
    const uint8_t* block_ = nullptr;
    size_t blockSize_ = 0;
    int64_t position_ = 0;
};
