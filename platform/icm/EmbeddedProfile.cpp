#include "platform/icm/EmbeddedProfile.h"

#include "platform/icm/JpegSegments.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

std::vector<uint8_t> FromJpeg(const uint8_t* data, size_t size)
{
    static constexpr char kTag[] = "ICC_PROFILE";  // with its NUL: 12 bytes
    constexpr size_t kTagSize = sizeof kTag;
    // Segment number -> its part; every segment names the same count.
    std::map<unsigned, std::pair<const uint8_t*, size_t>> parts;
    unsigned count = 0;
    bool consistent = true;
    WalkJpegSegments(data, size, [&](uint8_t marker, const uint8_t* payload, size_t payloadSize) {
        // Profiles come before the image data.
        if (marker == 0xDA)
            return false;
        if (marker != 0xE2 || payloadSize <= kTagSize + 2 || std::memcmp(payload, kTag, kTagSize) != 0)
            return true;
        const unsigned number = payload[kTagSize];
        const unsigned total = payload[kTagSize + 1];
        if (number == 0 || total == 0 || number > total || (count && total != count) || parts.count(number)) {
            consistent = false;
            return false;
        }
        count = total;
        parts[number] = {payload + kTagSize + 2, payloadSize - kTagSize - 2};
        return true;
    });
    if (!consistent || count == 0 || parts.size() != count)
        return {};
    std::vector<uint8_t> profile;
    for (const auto& [number, part] : parts)
        profile.insert(profile.end(), part.first, part.first + part.second);
    return profile;
}

// Inflates a zlib stream, giving up once it would pass the bound: a few
// bytes of deflate data can expand a thousandfold.
std::vector<uint8_t> Inflated(const uint8_t* data, size_t size)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return {};
    std::vector<uint8_t> out;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(std::min<size_t>(size, UINT32_MAX));
    int status = Z_OK;
    while (status == Z_OK) {
        if (out.size() >= kMaxEmbeddedProfileBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        const size_t done = out.size();
        out.resize(std::min(kMaxEmbeddedProfileBytes, std::max<size_t>(done * 2, 65536)));
        stream.next_out = out.data() + done;
        stream.avail_out = uInt(out.size() - done);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(out.size() - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in > 0)
            status = Z_OK;  // only the output was full
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return {};
    return out;
}

std::vector<uint8_t> FromPng(const uint8_t* data, size_t size)
{
    size_t at = 8;
    while (at + 12 <= size) {
        const size_t length = BigEndian32(data + at);
        const uint8_t* type = data + at + 4;
        if (length > size - at - 12)
            return {};
        const uint8_t* chunk = data + at + 8;
        // The profile must come before the image data.
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            break;
        if (std::memcmp(type, "iCCP", 4) == 0) {
            // Name (1..79 bytes), NUL, compression method 0, zlib data.
            const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(chunk, 0, std::min<size_t>(length, 80)));
            if (!nul || nul == chunk || size_t(nul - chunk) + 2 > length || nul[1] != 0)
                return {};
            const size_t skip = size_t(nul - chunk) + 2;
            return Inflated(chunk + skip, length - skip);
        }
        at += 12 + length;
    }
    return {};
}

std::vector<uint8_t> FromTiff(const uint8_t* data, size_t size, unsigned page)
{
    const bool little = data[0] == 'I';
    const auto u16 = [&](size_t at) -> uint32_t {
        return little ? uint32_t(data[at] | data[at + 1] << 8) : uint32_t(data[at] << 8 | data[at + 1]);
    };
    const auto u32 = [&](size_t at) -> uint32_t {
        return little ? uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
                            uint32_t(data[at + 3]) << 24
                      : BigEndian32(data + at);
    };
    if (size < 8 || u16(2) != 42)
        return {};
    size_t directory = u32(4);
    // A chain of directories can loop back on itself; a file has no more
    // pages than directories fit in it.
    for (size_t seen = 0; seen <= page; ++seen) {
        if (directory < 8 || directory > size - 2 || seen > size / 14)
            return {};
        const size_t entries = u16(directory);
        if (entries * 12 + 6 > size - directory)
            return {};
        if (seen < page) {
            directory = u32(directory + 2 + entries * 12);
            continue;
        }
        for (size_t i = 0; i < entries; ++i) {
            const size_t entry = directory + 2 + i * 12;
            if (u16(entry) != 34675)
                continue;
            const uint32_t type = u16(entry + 2);
            const size_t count = u32(entry + 4);
            // UNDEFINED or BYTE, one byte each; a profile never fits in the
            // entry itself (it has a 128-byte header).
            if ((type != 7 && type != 1) || count <= 4 || count > kMaxEmbeddedProfileBytes)
                return {};
            const size_t offset = u32(entry + 8);
            if (offset > size || count > size - offset)
                return {};
            return std::vector<uint8_t>(data + offset, data + offset + count);
        }
        return {};
    }
    return {};
}

std::vector<uint8_t> FromBmp(const uint8_t* data, size_t size)
{
    constexpr size_t kInfo = 14;
    constexpr size_t kVersion5 = 124;
    const auto u32 = [data](size_t at) {
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
               uint32_t(data[at + 3]) << 24;
    };
    // Only the newest info header can embed a profile ("MBED"); a linked
    // one names a file elsewhere, which is never read.
    if (size < kInfo + kVersion5 || u32(kInfo) != kVersion5 || u32(kInfo + 56) != 0x4D424544)
        return {};
    const size_t offset = kInfo + size_t(u32(kInfo + 112));
    const size_t length = u32(kInfo + 116);
    if (offset > size || length > size - offset || length > kMaxEmbeddedProfileBytes)
        return {};
    return std::vector<uint8_t>(data + offset, data + offset + length);
}

}  // namespace

std::vector<uint8_t> EmbeddedProfile(const uint8_t* data, size_t size, unsigned page)
{
    if (!data || size < 8)
        return {};
    std::vector<uint8_t> profile;
    if (data[0] == 0xFF && data[1] == 0xD8)
        profile = FromJpeg(data, size);
    else if (std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        profile = FromPng(data, size);
    else if ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))
        profile = FromTiff(data, size, page);
    else if (data[0] == 'B' && data[1] == 'M')
        profile = FromBmp(data, size);
    if (profile.size() > kMaxEmbeddedProfileBytes)
        return {};
    return profile;
}
