#pragma once
// One run over arbitrary bytes of what a received picture meets: the bytes
// kept for the decoders, the header read and its limits, the decode with
// its colour and orientation steps, and the same bytes through the drawing
// layer's readers (the image add-on's path). Shared by the fuzz target and
// the test that replays the inputs it once failed on. Nothing may crash,
// hang or throw; what the decoders get may hold no metadata segment or
// chunk, and a decoded picture keeps within the pixel limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QByteArray>

#include "FreeImage/FreeBitmap.h"
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "platform/icm/JpegSegments.h"
#include "platform/picture/DecoderInput.h"

// Aborts when the bytes kept for a decoder still hold what only a metadata
// reader would read.
inline void CheckDecoderInput(const TDecoderInput& input)
{
    const uint8_t* data = input.Data();
    const size_t size = input.Size();
    if (!input.Refusal().empty() || size < 8)
        return;
    if (data[0] == 0xFF && data[1] == 0xD8) {
        int scans = 0;
        WalkJpegSegments(data, size, [&](uint8_t marker, const uint8_t*, size_t) {
            if (marker == 0xE1 || marker == 0xE2 || marker == 0xED || marker == 0xFE)
                std::abort();
            if (marker == 0xDA && ++scans > TDecoderInput::kMaxJpegScans)
                std::abort();
            return true;
        });
    } else if (std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        for (size_t at = 8; at + 12 <= size;) {
            const size_t length = size_t(data[at]) << 24 | size_t(data[at + 1]) << 16 | size_t(data[at + 2]) << 8 |
                                  data[at + 3];
            const uint8_t* type = data + at + 4;
            for (const char* metadata : {"tEXt", "zTXt", "iTXt", "eXIf", "iCCP"})
                if (std::memcmp(type, metadata, 4) == 0)
                    std::abort();
            if (length > size - at - 12)
                break;
            at += 12 + length;
        }
    }
}

inline void RunPictureHarness(const uint8_t* data, size_t size)
{
    CheckDecoderInput(TDecoderInput(data, size));

    TFreeBitmap::Header header;
    if (TFreeBitmap::ReadHeader(data, DWORD(size), header))
        header.WithinLimits();
    TFreeBitmap bitmap;
    if (bitmap.LoadFromMemory(data, DWORD(size)) &&
        int64_t(bitmap.GetWidth()) * bitmap.GetHeight() > TFreeBitmap::kMaxPixels)
        std::abort();

    static ULONG_PTR token = [] {
        GdiplusStartupInput input;
        ULONG_PTR started = 0;
        GdiplusStartup(&started, &input, nullptr);
        return started;
    }();
    (void)token;
    GpBitmap* decoded = nullptr;
    if (DecodeImageBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &decoded) == Ok)
        GdipDisposeImage(decoded);
}
