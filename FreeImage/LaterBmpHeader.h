#pragma once
// Bitmaps from today's editors and screenshot tools carry a later version of
// the info header (52, 56, 108 or 124 bytes, with colour masks, alpha mask
// and colour space), which our picture library refuses as a whole; only the
// 40-byte header of old is taken. Such a file is handed over with its header
// cut back to that form: the fields they share, the masks after it when the
// pixels are bit fields, the palette and pixels as they were.
#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct TLaterBmpHeader {
    int64_t width = 0;
    int64_t height = 0;  // rows, whichever way they run
    int bitsPerPixel = 0;
    // 32-bit bit fields without an alpha mask: the fourth byte means nothing.
    bool opaque = false;
};

// The header of a bitmap with a later info header whose pixels the library
// can decode once the header is cut back; nullopt for any other file (an
// old header, embedded JPEG or PNG data, 32-bit masks in another order, a
// head too short).
std::optional<TLaterBmpHeader> ReadLaterBmpHeader(const BYTE* data, size_t size);

// The whole file with its header cut back. Only for a file ReadLaterBmpHeader
// takes.
std::vector<BYTE> WithOldBmpHeader(const BYTE* data, size_t size);
