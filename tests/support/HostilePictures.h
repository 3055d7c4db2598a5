#pragma once
// Pictures that cost far more than their pixels, built byte by byte for the
// tests and the benchmarks: a progressive JPEG of many scans that hold
// nothing, a PNG of many compressed text chunks, a JPEG whose EXIF
// directory claims more entries than it holds, a TIFF whose one tile is far
// larger than its picture. Each is otherwise a valid file.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

inline void Put16(std::string& out, unsigned value)
{
    out += char((value >> 8) & 0xFF);
    out += char(value & 0xFF);
}

inline void Put32(std::string& out, uint32_t value)
{
    Put16(out, value >> 16);
    Put16(out, value & 0xFFFF);
}

inline std::string Segment(uint8_t marker, const std::string& payload)
{
    std::string out = {char(0xFF), char(marker)};
    Put16(out, unsigned(payload.size() + 2));
    return out + payload;
}

// Entropy-coded bits, most significant first, with the 0xFF stuffing and
// the padding with ones a JPEG scan needs.
class ScanBits {
public:
    void Add(unsigned value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = uint8_t(byte_ << 1 | ((value >> i) & 1));
            if (++filled_ == 8)
                Flush();
        }
    }
    std::string Done()
    {
        while (filled_ != 0)
            Add(1, 1);
        return bytes_;
    }

private:
    void Flush()
    {
        bytes_ += char(byte_);
        if (byte_ == 0xFF)
            bytes_ += '\0';
        byte_ = 0;
        filled_ = 0;
    }
    std::string bytes_;
    uint8_t byte_ = 0;
    int filled_ = 0;
};

// A grey progressive JPEG, mid-grey all over: a DC scan and an AC scan that
// code every block as zero, then `extraScans` more AC scans that do the same
// again. Every scan costs the decoder a walk over all blocks while the file
// grows by 11 bytes a scan for a small picture.
inline std::string EmptyScansJpeg(unsigned width, unsigned height, int extraScans)
{
    std::string out = {char(0xFF), char(0xD8)};
    out += Segment(0xDB, std::string(1, '\0') + std::string(64, '\1'));
    std::string frame = {8};
    Put16(frame, height);
    Put16(frame, width);
    frame += std::string{1, 1, 0x11, 0};
    out += Segment(0xC2, frame);
    // DC: one code, "0", for a difference of zero.
    std::string dc = {0x00, 1};
    dc += std::string(15, '\0');
    dc += '\0';
    out += Segment(0xC4, dc);
    // AC: end-of-band runs of 2^r blocks (plus r bits), r = 0..14, as
    // 4-bit codes 0000 .. 1110.
    std::string ac = {0x10};
    ac += std::string(3, '\0') + char(15) + std::string(12, '\0');
    for (int r = 0; r <= 14; ++r)
        ac += char(r << 4);
    out += Segment(0xC4, ac);

    const uint64_t blocks = uint64_t((width + 7) / 8) * ((height + 7) / 8);
    ScanBits dcBits;
    for (uint64_t i = 0; i < blocks; ++i)
        dcBits.Add(0, 1);
    out += Segment(0xDA, std::string{1, 1, 0x00, 0, 0, 0}) + dcBits.Done();
    ScanBits acBits;
    for (uint64_t left = blocks; left > 0;) {
        const uint64_t run = left < 32767 ? left : 32767;
        int r = 0;
        while ((uint64_t{2} << r) <= run)
            ++r;
        acBits.Add(unsigned(r), 4);
        acBits.Add(unsigned(run - (uint64_t{1} << r)), r);
        left -= run;
    }
    const std::string acScan = Segment(0xDA, std::string{1, 1, 0x00, 1, 63, 0}) + acBits.Done();
    for (int i = 0; i <= extraScans; ++i)
        out += acScan;
    return out + std::string{char(0xFF), char(0xD9)};
}

// The JPEG with an EXIF segment after its start marker whose first
// directory claims 65,535 entries and holds two.
inline std::string BrokenExifJpeg(const std::string& jpeg)
{
    std::string tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, char(0xFF), char(0xFF)};
    // Orientation 6, and an EXIF directory pointer back at the same place.
    tiff += std::string{0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0};
    tiff += std::string{0x69, char(0x87), 4, 0, 1, 0, 0, 0, 8, 0, 0, 0};
    return jpeg.substr(0, 2) + Segment(0xE1, std::string("Exif\0\0", 6) + tiff) + jpeg.substr(2);
}

inline std::string PngChunk(const char* type, const std::string& data)
{
    std::string out;
    Put32(out, uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    Put32(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
    return out;
}

inline std::string Deflated(const std::string& data, int level = 9)
{
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
              uLong(data.size()), level);
    out.resize(size);
    return out;
}

// A grey PNG of the given size carrying `chunks` zTXt chunks, each
// inflating to `textBytes` bytes.
inline std::string TextChunksPng(unsigned width, unsigned height, int chunks, size_t textBytes)
{
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32(header, width);
    Put32(header, height);
    header += std::string{8, 0, 0, 0, 0};
    out += PngChunk("IHDR", header);
    const std::string text = std::string("Comment\0\0", 9) + Deflated(std::string(textBytes, 'a'));
    for (int i = 0; i < chunks; ++i)
        out += PngChunk("zTXt", text);
    std::string rows;
    for (unsigned y = 0; y < height; ++y)
        rows += '\0' + std::string(width, char(0x80));
    out += PngChunk("IDAT", Deflated(rows));
    return out + PngChunk("IEND", "");
}

// A little-endian TIFF of `side` x `side` grey pixels stored in one tile of
// tile x tile pixels: `dataBytes` zeros deflated (the whole tile when that
// is tile * tile).
inline std::string TileTiff(unsigned side, unsigned tile, size_t dataBytes)
{
    // Fast rather than small: a tile of hundreds of megabytes is deflated.
    const std::string data = Deflated(std::string(dataBytes, '\0'), 1);
    const auto le = [](std::string& out, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out += char((value >> (8 * i)) & 0xFF);
    };
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const uint32_t count = 10;
    const uint32_t dataAt = 8 + 2 + 12 * count + 4;
    const Entry entries[count] = {{256, 4, side}, {257, 4, side},  {258, 3, 8},      {259, 3, 8},
                                  {262, 3, 1},    {277, 3, 1},     {322, 4, tile},   {323, 4, tile},
                                  {324, 4, dataAt}, {325, 4, uint32_t(data.size())}};
    std::string out = "II";
    le(out, 42, 2);
    le(out, 8, 4);
    le(out, count, 2);
    for (const Entry& e : entries) {
        le(out, e.tag, 2);
        le(out, e.type, 2);
        le(out, 1, 4);
        le(out, e.value, e.type == 3 ? 2 : 4);
        if (e.type == 3)
            le(out, 0, 2);
    }
    le(out, 0, 4);
    return out + data;
}

// A little-endian TIFF of width x height grey pixels whose directory
// locates one strip of `rowsPerStrip` rows (the whole picture when 0), its
// data missing.
inline std::string OneStripTiff(uint32_t width, uint32_t height, uint32_t rowsPerStrip)
{
    const auto le = [](std::string& out, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out += char((value >> (8 * i)) & 0xFF);
    };
    std::vector<std::pair<uint16_t, uint32_t>> entries = {{256, width}, {257, height}, {258, 8}, {259, 1},
                                                          {262, 1},     {273, 200},    {277, 1}};
    if (rowsPerStrip > 0)
        entries.push_back({278, rowsPerStrip});
    entries.push_back({279, width * (rowsPerStrip ? rowsPerStrip : height)});
    std::string out = "II";
    le(out, 42, 2);
    le(out, 8, 4);
    le(out, uint32_t(entries.size()), 2);
    for (const auto& [tag, value] : entries) {
        le(out, tag, 2);
        le(out, 4, 2);
        le(out, 1, 4);
        le(out, value, 4);
    }
    le(out, 0, 4);
    return out;
}

}  // namespace hostile
