#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/RegularFile.h"
#include "platform/rtl/Stream.h"

// A growable stream over one contiguous block of memory.
class TMemoryStream : public TStream {
    // Bytes about to be written over need no zeroing first: growing a block
    // of many megabytes would otherwise touch all of it twice.
    template <typename T>
    struct UninitializedAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = UninitializedAllocator<U>;
        };
        UninitializedAllocator() = default;
        template <typename U>
        UninitializedAllocator(const UninitializedAllocator<U>&) noexcept
        {
        }
        template <typename U>
        void construct(U* p) noexcept
        {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args)
        {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };

public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }

    // The block itself; valid until the size changes.
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }

    // Makes room for `capacity` bytes at once, for a writer that knows how
    // much is coming; the size stays as it is.
    void Reserve(int64_t capacity);
    void Clear();
    // Replaces the content with the whole file, which must be a regular file
    // of at most maxBytes (see RegularFile.h); throws EFOpenError / EReadError.
    void LoadFromFile(const std::string& path, int64_t maxBytes = kNoSizeLimit);
    // Replaces the file with the whole content (the old file survives a
    // failure); throws EWriteError.
    void SaveToFile(const std::string& path) const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

    void Swap(TMemoryStream& other) noexcept;

private:
    std::vector<uint8_t, UninitializedAllocator<uint8_t>> data_;
    int64_t position_ = 0;
};
