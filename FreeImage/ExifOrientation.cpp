#include "FreeImage/ExifOrientation.h"

#include <cstring>
#include <vector>

#include "platform/icm/JpegSegments.h"

namespace {

constexpr WORD kOrientationTag = 0x0112;
constexpr WORD kShortType = 3;

// Replaces `dib` by `turned` when there is one; the caller keeps `dib` otherwise.
bool Take(FIBITMAP*& dib, FIBITMAP* turned)
{
    if (!turned)
        return false;
    FreeImage_Unload(dib);
    dib = turned;
    return true;
}

// Turning by a quarter works on 1, 8, 24 and 32 bits per pixel only.
bool RotateQuarter(FIBITMAP*& dib, double degreesCounterClockwise)
{
    if (FIBITMAP* turned = FreeImage_Rotate(dib, degreesCounterClockwise, nullptr))
        return Take(dib, turned);
    FIBITMAP* wide = FreeImage_IsTransparent(dib) ? FreeImage_ConvertTo32Bits(dib) : FreeImage_ConvertTo24Bits(dib);
    if (!wide)
        return false;
    FIBITMAP* turned = FreeImage_Rotate(wide, degreesCounterClockwise, nullptr);
    if (turned)
        FreeImage_CloneMetadata(turned, dib);
    FreeImage_Unload(wide);
    return Take(dib, turned);
}

bool Apply(FIBITMAP*& dib, int orientation)
{
    switch (orientation) {
    case 2: return FreeImage_FlipHorizontal(dib) != FALSE;
    case 3: return RotateQuarter(dib, 180.0);
    case 4: return FreeImage_FlipVertical(dib) != FALSE;
    case 5: return RotateQuarter(dib, -90.0) && FreeImage_FlipHorizontal(dib);  // transpose
    case 6: return RotateQuarter(dib, -90.0);
    case 7: return RotateQuarter(dib, -90.0) && FreeImage_FlipVertical(dib);  // transverse
    case 8: return RotateQuarter(dib, 90.0);
    default: return true;
    }
}

void MarkUpright(FIBITMAP* dib)
{
    FITAG* tag = nullptr;
    if (FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) && tag &&
        FreeImage_GetTagType(tag) == FIDT_SHORT && FreeImage_GetTagCount(tag) >= 1) {
        FITAG* upright = FreeImage_CloneTag(tag);
        const WORD one = 1;
        if (upright && FreeImage_SetTagCount(upright, 1) && FreeImage_SetTagLength(upright, sizeof one) &&
            FreeImage_SetTagValue(upright, &one))
            FreeImage_SetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", upright);
        if (upright)
            FreeImage_DeleteTag(upright);
    }
    tag = nullptr;
    FIMETADATA* search = FreeImage_FindFirstMetadata(FIMD_EXIF_RAW, dib, &tag);
    if (!search)
        return;
    FreeImage_FindCloseMetadata(search);
    const auto* value = static_cast<const BYTE*>(FreeImage_GetTagValue(tag));
    const DWORD length = FreeImage_GetTagLength(tag);
    if (!value || length == 0)
        return;
    std::vector<BYTE> block(value, value + length);
    if (!ClearRawExifOrientation(block.data(), block.size()))
        return;
    FITAG* upright = FreeImage_CloneTag(tag);
    if (!upright)
        return;
    if (FreeImage_SetTagValue(upright, block.data()))
        FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, FreeImage_GetTagKey(upright), upright);
    FreeImage_DeleteTag(upright);
}

}  // namespace

int ExifOrientation(FIBITMAP* dib)
{
    FITAG* tag = nullptr;
    if (!dib || !FreeImage_GetMetadata(FIMD_EXIF_MAIN, dib, "Orientation", &tag) || !tag ||
        FreeImage_GetTagType(tag) != FIDT_SHORT || FreeImage_GetTagCount(tag) < 1)
        return 1;
    const WORD value = *static_cast<const WORD*>(FreeImage_GetTagValue(tag));
    return value >= 1 && value <= 8 ? value : 1;
}

FIBITMAP* TurnUpright(FIBITMAP* dib, int fileOrientation)
{
    if (!dib)
        return nullptr;
    const int exif = ExifOrientation(dib);
    const int orientation = exif != 1 ? exif : fileOrientation;
    Apply(dib, orientation);
    MarkUpright(dib);
    return dib;
}

namespace {

// Where the orientation entry's value lies in a TIFF structure (a raw EXIF
// block is one, behind its "Exif\0\0" prefix), and its byte order.
struct OrientationEntry {
    size_t value = 0;  // offset of the entry's value; 0 when there is none
    bool motorola = false;
};

OrientationEntry FindOrientationEntry(const BYTE* block, size_t size)
{
    size_t base = 0;
    if (size >= 6 && std::memcmp(block, "Exif\0\0", 6) == 0)
        base = 6;
    if (size - base < 8)
        return {};
    const BYTE* tiff = block + base;
    const size_t length = size - base;
    OrientationEntry found;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        found.motorola = true;
    else if (tiff[0] != 'I' || tiff[1] != 'I')
        return {};
    const auto word = [&](size_t at) -> unsigned {
        return found.motorola ? (tiff[at] << 8) | tiff[at + 1] : tiff[at] | (tiff[at + 1] << 8);
    };
    const auto dword = [&](size_t at) -> size_t {
        return found.motorola ? (size_t(word(at)) << 16) | word(at + 2) : word(at) | (size_t(word(at + 2)) << 16);
    };
    const size_t ifd = dword(4);
    if (ifd > length || length - ifd < 2)
        return {};
    const unsigned entries = word(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const size_t entry = ifd + 2 + size_t(i) * 12;
        if (entry > length || length - entry < 12)
            return {};
        if (word(entry) != kOrientationTag)
            continue;
        if (word(entry + 2) != kShortType)
            return {};
        found.value = base + entry + 8;
        return found;
    }
    return {};
}

}  // namespace

int TiffOrientation(const BYTE* data, size_t size)
{
    const OrientationEntry entry = FindOrientationEntry(data, size);
    if (entry.value == 0)
        return 1;
    const int value = entry.motorola ? (data[entry.value] << 8) | data[entry.value + 1]
                                     : data[entry.value] | (data[entry.value + 1] << 8);
    return value >= 1 && value <= 8 ? value : 1;
}

int JpegOrientation(const BYTE* data, size_t size)
{
    int orientation = 1;
    WalkJpegSegments(data, size, [&](uint8_t marker, const uint8_t* payload, size_t length) {
        if (marker == 0xDA)
            return false;
        if (marker != 0xE1 || length < 6 || std::memcmp(payload, "Exif\0\0", 6) != 0)
            return true;
        // The first EXIF segment counts, as for every reader of the tag.
        orientation = TiffOrientation(payload, length);
        return false;
    });
    return orientation;
}

bool ClearRawExifOrientation(BYTE* block, size_t size)
{
    const OrientationEntry entry = FindOrientationEntry(block, size);
    if (entry.value == 0)
        return false;
    block[entry.value] = entry.motorola ? 0 : 1;
    block[entry.value + 1] = entry.motorola ? 1 : 0;
    return true;
}
