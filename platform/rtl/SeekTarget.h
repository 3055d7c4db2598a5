#pragma once
// Where a seek of a stream held in memory lands: never before the start,
// past the end where the caller asks.
#include <algorithm>
#include <cstdint>

#include "platform/rtl/Stream.h"

inline int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin)
{
    const int64_t base = origin == TSeekOrigin::soCurrent ? position : origin == TSeekOrigin::soEnd ? size : 0;
    return std::max<int64_t>(0, base + offset);
}
