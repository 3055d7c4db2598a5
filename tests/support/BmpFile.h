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

// A bitmap with an info header of `infoSize` bytes (52, 56, 108 or 124)
// over 3 x 2 pixels: the caller's palette and pixel rows, bottom row first unless
// topDown; masks red, green, blue, alpha as given.
inline std::string LaterBmp(uint32_t infoSize, int bits, uint32_t compression, const std::string& palette,
                            const std::string& rows, bool topDown, uint32_t alphaMask = 0xFF000000,
                            uint32_t red = 0x00FF0000, uint32_t green = 0x0000FF00, uint32_t blue = 0x000000FF)
{
    std::string info;
    PutLE(info, infoSize, 4);
    PutLE(info, 3, 4);
    PutLE(info, topDown ? uint32_t(-2) : 2u, 4);
    PutLE(info, 1, 2);
    PutLE(info, uint32_t(bits), 2);
    PutLE(info, compression, 4);
    PutLE(info, uint32_t(rows.size()), 4);
    PutLE(info, 2835, 4);
    PutLE(info, 2835, 4);
    PutLE(info, uint32_t(palette.size() / 4), 4);
    PutLE(info, 0, 4);
    PutLE(info, red, 4);
    PutLE(info, green, 4);
    PutLE(info, blue, 4);
    PutLE(info, alphaMask, 4);
    PutLE(info, 0x73524742, 4);  // "sRGB" colour space
    info.resize(infoSize, '\0');
    std::string bmp = "BM";
    const uint32_t offset = 14 + infoSize + uint32_t(palette.size());
    PutLE(bmp, offset + uint32_t(rows.size()), 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, offset, 4);
    bmp += info + palette + rows;
    return bmp;
}
