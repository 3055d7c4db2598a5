#pragma once
// Byte buffers for keys and other secrets: their memory is cleared before it
// is handed back to the heap, also when a vector grows and moves its content.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

// Clears memory in a way the optimiser may not drop as a dead store.
inline void SecureZero(void* data, size_t size)
{
    if (data != nullptr && size != 0)
        explicit_bzero(data, size);
}

template <class T>
struct TWipingAllocator {
    using value_type = T;
    TWipingAllocator() noexcept = default;
    template <class U>
    TWipingAllocator(const TWipingAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, size_t n) noexcept
    {
        SecureZero(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const TWipingAllocator<U>&) const noexcept { return true; }
};

using TSecureBytes = std::vector<uint8_t, TWipingAllocator<uint8_t>>;
