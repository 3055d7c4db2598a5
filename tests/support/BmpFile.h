#pragma once
// Bitmap files built byte by byte, for tests that need a header a writer
// would not make (run-length, huge sizes) or pixels of their own choosing.
#include <cstdint>
#include <string>

// Appends value as `size` little-endian bytes.
inline void PutLE(std::string& out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

// A bitmap's file and info headers (40-byte info header); the palette and
// the pixels at offset are the caller's.
inline std::string BmpHeaders(uint32_t w, uint32_t h, int bits, uint32_t compression, uint32_t offset,
                              uint32_t imageSize, uint32_t colours)
{
    std::string bmp = "BM";
    PutLE(bmp, offset + imageSize, 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, offset, 4);
    PutLE(bmp, 40, 4);
    PutLE(bmp, w, 4);
    PutLE(bmp, h, 4);
    PutLE(bmp, 1, 2);
    PutLE(bmp, uint32_t(bits), 2);
    PutLE(bmp, compression, 4);
    PutLE(bmp, imageSize, 4);
    PutLE(bmp, 2835, 4);
    PutLE(bmp, 2835, 4);
    PutLE(bmp, colours, 4);
    PutLE(bmp, 0, 4);
    return bmp;
}
