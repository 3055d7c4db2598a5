#pragma once
#include <cstddef>

// Fills the buffer from the kernel's random source; throws Exception when the
// source fails, so a salt or vector is never left predictable.
void FillRandomBytes(void* buffer, size_t size);
