#include "FreeImage/LaterBmpHeader.h"

#include <cstring>

namespace {

constexpr size_t kFileHeader = 14;
constexpr uint32_t kOldInfoHeader = 40;
constexpr uint32_t kBitFields = 3, kAlphaBitFields = 6;

uint32_t Dword(const BYTE* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutDword(BYTE* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = BYTE(value >> (8 * i));
}

bool IsLaterInfoHeader(uint32_t size)
{
    return size == 52 || size == 56 || size == 108 || size == 124;
}

bool HasMasks(uint32_t compression)
{
    return compression == kBitFields || compression == kAlphaBitFields;
}

}  // namespace

std::optional<TLaterBmpHeader> ReadLaterBmpHeader(const BYTE* data, size_t size)
{
    if (!data || size < kFileHeader + 4 || data[0] != 'B' || data[1] != 'M')
        return std::nullopt;
    const BYTE* info = data + kFileHeader;
    const uint32_t infoSize = Dword(info);
    if (!IsLaterInfoHeader(infoSize) || size < kFileHeader + infoSize || Dword(data + 10) < kFileHeader + infoSize)
        return std::nullopt;
    const int32_t width = int32_t(Dword(info + 4));
    const int32_t height = int32_t(Dword(info + 8));
    const int bits = info[14] | info[15] << 8;
    const uint32_t compression = Dword(info + 16);
    if (width <= 0 || height == 0 || height == INT32_MIN || compression > kAlphaBitFields || compression == 4 ||
        compression == 5)
        return std::nullopt;
    const uint32_t alphaMask = infoSize >= 56 ? Dword(info + 52) : 0;
    if (bits == 32 && HasMasks(compression)) {
        // The library reads 32-bit pixels as blue, green, red, alpha whatever
        // the masks say; other orders would come out with swapped colours.
        if (Dword(info + 40) != 0x00FF0000 || Dword(info + 44) != 0x0000FF00 || Dword(info + 48) != 0x000000FF ||
            (alphaMask != 0 && alphaMask != 0xFF000000))
            return std::nullopt;
    }
    TLaterBmpHeader header;
    header.width = width;
    header.height = height < 0 ? -int64_t(height) : height;
    header.bitsPerPixel = bits;
    // As the chooser's reader takes them: plain 32-bit pixels keep their
    // fourth byte as alpha, bit fields have alpha only with an alpha mask.
    header.opaque = bits == 32 && HasMasks(compression) && alphaMask == 0;
    return header;
}

std::vector<BYTE> WithOldBmpHeader(const BYTE* data, size_t size)
{
    const BYTE* info = data + kFileHeader;
    const uint32_t infoSize = Dword(info);
    const uint32_t compression = Dword(info + 16);
    const uint32_t masks = HasMasks(compression) ? 12 : 0;
    const size_t rest = kFileHeader + infoSize;
    std::vector<BYTE> out;
    out.reserve(size - infoSize + kOldInfoHeader + masks);
    out.insert(out.end(), data, info);
    out.insert(out.end(), info, info + kOldInfoHeader);
    out.insert(out.end(), info + kOldInfoHeader, info + kOldInfoHeader + masks);
    out.insert(out.end(), data + rest, data + size);
    BYTE* head = out.data();
    const uint32_t shift = infoSize - kOldInfoHeader - masks;
    PutDword(head + 2, uint32_t(out.size()));
    PutDword(head + 10, Dword(data + 10) - shift);
    PutDword(head + kFileHeader, kOldInfoHeader);
    if (masks)
        PutDword(head + kFileHeader + 16, kBitFields);
    return out;
}
