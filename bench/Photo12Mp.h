#pragma once
// A 12-megapixel photo as a camera's JPEG: 4000 x 3000 of smooth gradients
// and fine detail, encoded at good quality.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "FreeImage/FreeBitmap.h"
#include "FreeImage/FreeMemoryIO.h"

inline std::vector<BYTE> Photo12Mp()
{
    constexpr unsigned kWidth = 4000, kHeight = 3000;
    TFreeBitmap bitmap(FIT_BITMAP, kWidth, kHeight, 24);
    for (unsigned y = 0; y < kHeight; ++y) {
        BYTE* row = bitmap.GetScanLine(int(y));
        for (unsigned x = 0; x < kWidth; ++x) {
            row[x * 3] = BYTE(x * 255 / kWidth);
            row[x * 3 + 1] = BYTE(y * 255 / kHeight);
            row[x * 3 + 2] = BYTE((x ^ y) & 255);
        }
    }
    TFreeMemoryIO memory;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!bitmap.SaveToMemory(FIF_JPEG, memory, JPEG_QUALITYGOOD) || !memory.Acquire(&data, &size)) {
        std::fprintf(stderr, "cannot encode the photo\n");
        std::exit(1);
    }
    return std::vector<BYTE>(data, data + size);
}
