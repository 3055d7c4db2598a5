#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Memory for an item's data that is filled before it is read (deflated
// on the way in, inflated on the way out): it grows without zeroing, keeps
// its size for the next item, and is sized once for an item done whole.
class TZAByteBuffer {
public:
    uint8_t* Data() { return bytes_.get(); }
    size_t Size() const { return size_; }
    void Clear() { size_ = 0; }
    // Room for `more` bytes behind Size(), uninitialised; the bytes up to
    // Size() stay, the pointer is valid until the next call.
    uint8_t* Room(size_t more);
    // Counts `count` bytes put at Room() as part of the data.
    void Grow(size_t count) { size_ += count; }

private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> bytes_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

// Buffers of items already written out, for the next items of the same
// commit or extraction: a worker fills memory that is already mapped
// instead of faulting in fresh zeroed pages for every item.
class TZABufferPool {
public:
    std::unique_ptr<TZAByteBuffer> Take();
    void Give(std::unique_ptr<TZAByteBuffer> buffer);

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<TZAByteBuffer>> free_;
};

// A buffer of a pool for the life of one item, given back when the item
// ends; without a pool, a buffer of its own.
class TZAPooledBuffer {
public:
    explicit TZAPooledBuffer(std::shared_ptr<TZABufferPool> pool = nullptr);
    ~TZAPooledBuffer();
    TZAPooledBuffer(const TZAPooledBuffer&) = delete;
    TZAPooledBuffer& operator=(const TZAPooledBuffer&) = delete;

    TZAByteBuffer* operator->() const { return buffer_.get(); }
    TZAByteBuffer& operator*() const { return *buffer_; }

private:
    std::shared_ptr<TZABufferPool> pool_;
    std::unique_ptr<TZAByteBuffer> buffer_;
};
