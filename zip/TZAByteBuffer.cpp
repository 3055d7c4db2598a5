#include "zip/TZAByteBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Buffers of a huge page or more (an artwork's bitmap, deflated or
// inflated) are laid out in huge pages where the system offers them: the
// first use of such a buffer then takes a few page faults instead of
// thousands.
constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void TZAByteBuffer::Free::operator()(uint8_t* p) const { std::free(p); }

uint8_t* TZAByteBuffer::Room(size_t more)
{
    if (capacity_ - size_ < more) {
        size_t capacity = std::max(size_ + more, capacity_ + capacity_ / 2);
        const bool huge = capacity >= kHugePage;
        if (huge)
            capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
        auto* grown = static_cast<uint8_t*>(huge ? std::aligned_alloc(kHugePage, capacity) : std::malloc(capacity));
        if (!grown)
            throw std::bad_alloc();
        if (huge)
            ::madvise(grown, capacity, MADV_HUGEPAGE);
        if (size_ > 0)
            std::memcpy(grown, bytes_.get(), size_);
        bytes_.reset(grown);
        capacity_ = capacity;
    }
    return bytes_.get() + size_;
}

std::unique_ptr<TZAByteBuffer> TZABufferPool::Take()
{
    std::lock_guard lock(mutex_);
    if (free_.empty())
        return std::make_unique<TZAByteBuffer>();
    std::unique_ptr<TZAByteBuffer> buffer = std::move(free_.back());
    free_.pop_back();
    buffer->Clear();
    return buffer;
}

void TZABufferPool::Give(std::unique_ptr<TZAByteBuffer> buffer)
{
    if (!buffer)
        return;
    std::lock_guard lock(mutex_);
    free_.push_back(std::move(buffer));
}

TZAPooledBuffer::TZAPooledBuffer(std::shared_ptr<TZABufferPool> pool)
    : pool_(std::move(pool)), buffer_(pool_ ? pool_->Take() : std::make_unique<TZAByteBuffer>())
{
}

TZAPooledBuffer::~TZAPooledBuffer()
{
    if (pool_)
        pool_->Give(std::move(buffer_));
}
