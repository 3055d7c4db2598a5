#include "platform/picture/DecoderInput.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "platform/icm/JpegSegments.h"

namespace {

bool StartsWith(const uint8_t* payload, size_t size, const char* tag, size_t tagSize)
{
    return size >= tagSize && std::memcmp(payload, tag, tagSize) == 0;
}

// The segments a JPEG decoder needs for the pixels: frame headers (SOF0 to
// SOF15), Huffman and arithmetic tables, quantisation tables, the restart
// interval and the scans; JFIF for the density, Adobe for how the colour
// components are stored.
bool DecoderNeeds(uint8_t marker, const uint8_t* payload, size_t size)
{
    if (marker >= 0xC0 && marker <= 0xCF)
        return true;
    switch (marker) {
    case 0xDA:  // start of scan
    case 0xDB:  // quantisation tables
    case 0xDD:  // restart interval
        return true;
    case 0xE0:
        return StartsWith(payload, size, "JFIF\0", 5);
    case 0xEE:
        return StartsWith(payload, size, "Adobe", 5);
    default:
        return false;
    }
}

uint32_t BigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Ancillary PNG chunks that change the pixels a decoder makes or what the
// picture says of its size; every other ancillary chunk is metadata.
bool PngDecoderNeeds(const uint8_t* type)
{
    // Critical chunks (an upper-case first letter) stay, known or not: a
    // decoder refuses those it does not know, as it must.
    if ((type[0] & 0x20) == 0)
        return true;
    for (const char* kept : {"tRNS", "gAMA", "bKGD", "pHYs"})
        if (std::memcmp(type, kept, 4) == 0)
            return true;
    return false;
}

// Directory entries that lead the picture library to its metadata readers.
bool TiffMetadataTag(uint32_t tag)
{
    switch (tag) {
    case 700:    // XMP
    case 33723:  // IPTC
    case 34377:  // Photoshop image resources
    case 34665:  // EXIF directory
    case 34853:  // GPS directory
    case 37724:  // Photoshop layers
    case 40965:  // EXIF interoperability directory
        return true;
    default:
        return false;
    }
}

// A TIFF file's directories, classic (2-byte entry counts, 12-byte entries,
// 4-byte offsets) or BigTIFF (8, 20 and 8), in either byte order.
class TiffLayout {
public:
    TiffLayout(uint8_t* data, size_t size) : data_(data), size_(size) {}

    // False when the header is none of the two.
    bool ReadHeader()
    {
        if (size_ < 8 || !((data_[0] == 'I' && data_[1] == 'I') || (data_[0] == 'M' && data_[1] == 'M')))
            return false;
        little_ = data_[0] == 'I';
        const uint64_t magic = Read(2, 2);
        if (magic == 42) {
            big_ = false;
            first_ = Read(4, 4);
            return true;
        }
        if (magic == 43 && size_ >= 16 && Read(4, 2) == 8 && Read(6, 2) == 0) {
            big_ = true;
            first_ = Read(8, 8);
            return true;
        }
        return false;
    }

    uint64_t First() const { return first_; }
    size_t CountBytes() const { return big_ ? 8 : 2; }
    size_t EntryBytes() const { return big_ ? 20 : 12; }
    size_t OffsetBytes() const { return big_ ? 8 : 4; }

    uint64_t Read(size_t at, size_t bytes) const
    {
        uint64_t value = 0;
        for (size_t i = 0; i < bytes; ++i) {
            const uint64_t byte = data_[at + i];
            value |= little_ ? byte << (8 * i) : byte << (8 * (bytes - 1 - i));
        }
        return value;
    }
    void Write(size_t at, size_t bytes, uint64_t value)
    {
        for (size_t i = 0; i < bytes; ++i)
            data_[at + i] = uint8_t(little_ ? value >> (8 * i) : value >> (8 * (bytes - 1 - i)));
    }

    // The first value of the entry at `entry` when it is a SHORT, LONG or
    // LONG8 the file holds; nothing otherwise.
    bool FirstValue(size_t entry, uint64_t& value) const
    {
        const uint64_t type = Read(entry + 2, 2);
        const size_t bytes = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
        const uint64_t count = Read(entry + 4, OffsetBytes());
        if (bytes == 0 || count == 0)
            return false;
        const size_t field = entry + 4 + OffsetBytes();
        // Values that fit in the entry's last field lie there.
        if (count <= OffsetBytes() / bytes) {
            value = Read(field, bytes);
            return true;
        }
        const uint64_t at = Read(field, OffsetBytes());
        if (at > size_ || size_ - at < bytes)
            return false;
        value = Read(size_t(at), bytes);
        return true;
    }

private:
    uint8_t* data_;
    size_t size_;
    bool little_ = true;
    bool big_ = false;
    uint64_t first_ = 0;
};

// What a directory says of its picture and how its pixels are stored.
struct TiffShape {
    uint64_t width = 0, height = 0;
    uint64_t tileWidth = 0, tileLength = 0;
    uint64_t bitsPerSample = 1, samplesPerPixel = 1;
    uint64_t rowsPerStrip = UINT32_MAX;
    bool separatePlanes = false;
    // How many strips or tiles the directory locates (0: it names none).
    uint64_t located = 0;

    // Bytes of the picture, and of every tile decoded, as the decoder
    // allocates them; doubles, since a hostile entry can name 2^64.
    double PictureBytes() const { return double(width) * double(height) * PixelBytes(); }
    double TiledBytes() const
    {
        const auto covered = [](uint64_t length, uint64_t tile) {
            return std::ceil(double(length) / double(tile)) * double(tile);
        };
        return covered(width, tileWidth) * covered(height, tileLength) * PixelBytes();
    }
    bool Tiled() const { return tileWidth > 0 && tileLength > 0; }
    // Strips or tiles the picture is cut into; doubles, as above.
    double Pieces() const
    {
        const double planes = separatePlanes ? double(samplesPerPixel) : 1.0;
        if (Tiled())
            return std::ceil(double(width) / double(tileWidth)) * std::ceil(double(height) / double(tileLength)) *
                   planes;
        const double rows = double(std::max<uint64_t>(std::min(rowsPerStrip, height), 1));
        return std::ceil(double(height) / rows) * planes;
    }

private:
    double PixelBytes() const { return double(bitsPerSample) * double(samplesPerPixel) / 8.0; }
};

}  // namespace

TDecoderInput::TDecoderInput(const uint8_t* data, size_t size) : data_(data), size_(size)
{
    if (!data || size < 8)
        return;
    if (data[0] == 0xFF && data[1] == 0xD8)
        FromJpeg();
    else if (std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        FromPng();
    else if ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))
        FromTiff();
}

void TDecoderInput::FromJpeg()
{
    std::vector<uint8_t> out{0xFF, 0xD8};
    out.reserve(size_);
    // The entropy-coded data of the scan last kept, up to the next marker.
    const uint8_t* scan = nullptr;
    int scans = 0;
    size_t end = 0;
    const TJpegWalk walk = WalkJpegSegments(
        data_, size_,
        [&](uint8_t marker, const uint8_t* payload, size_t size) {
            const uint8_t* segment = payload - 4;
            if (scan) {
                out.insert(out.end(), scan, segment);
                scan = nullptr;
            }
            if (!DecoderNeeds(marker, payload, size))
                return true;
            if (marker == 0xDA && ++scans > kMaxJpegScans)
                return false;
            out.insert(out.end(), segment, payload + size);
            if (marker == 0xDA)
                scan = payload + size;
            return true;
        },
        &end);
    if (walk == TJpegWalk::Stopped) {
        refusal_ = "it is a progressive JPEG of more than " + std::to_string(kMaxJpegScans) +
                   " scans, more than the program reads; no camera or editor writes so many";
        return;
    }
    if (walk == TJpegWalk::ReachedEnd) {
        if (scan)
            out.insert(out.end(), scan, data_ + end);
        out.insert(out.end(), {0xFF, 0xD9});
    } else if (scan) {
        // Cut short inside a scan: the decoder sees it cut as it is.
        out.insert(out.end(), scan, data_ + size_);
    }
    copy_ = std::move(out);
}

void TDecoderInput::FromPng()
{
    std::vector<uint8_t> out(data_, data_ + 8);
    out.reserve(size_);
    size_t at = 8;
    // A chunk that overruns the file ends what the decoder gets: it then
    // finds the file cut short, as it is.
    while (at + 12 <= size_) {
        const size_t length = BigEndian32(data_ + at);
        if (length > size_ - at - 12)
            break;
        const uint8_t* type = data_ + at + 4;
        const size_t whole = 12 + length;
        if (PngDecoderNeeds(type))
            out.insert(out.end(), data_ + at, data_ + at + whole);
        at += whole;
        if (std::memcmp(type, "IEND", 4) == 0)
            break;
    }
    copy_ = std::move(out);
}

void TDecoderInput::FromTiff()
{
    std::vector<uint8_t> out(data_, data_ + size_);
    TiffLayout tiff(out.data(), out.size());
    if (!tiff.ReadHeader())
        return;
    std::set<uint64_t> seen;
    for (uint64_t directory = tiff.First(); directory != 0; ) {
        // A chain that loops, or leaves the file, ends there for the
        // decoder too.
        if (!seen.insert(directory).second || directory > size_ || size_ - directory < tiff.CountBytes())
            break;
        const size_t start = size_t(directory);
        const uint64_t entries = tiff.Read(start, tiff.CountBytes());
        const size_t first = start + tiff.CountBytes();
        if (entries > (size_ - first) / tiff.EntryBytes() ||
            size_ - first - entries * tiff.EntryBytes() < tiff.OffsetBytes())
            break;
        const size_t nextAt = first + size_t(entries) * tiff.EntryBytes();
        const uint64_t next = tiff.Read(nextAt, tiff.OffsetBytes());

        TiffShape shape;
        size_t kept = 0;
        for (uint64_t i = 0; i < entries; ++i) {
            const size_t entry = first + size_t(i) * tiff.EntryBytes();
            const uint64_t tag = tiff.Read(entry, 2);
            if (TiffMetadataTag(uint32_t(tag)))
                continue;
            uint64_t value = 0;
            if (tiff.FirstValue(entry, value)) {
                switch (tag) {
                case 256: shape.width = value; break;
                case 257: shape.height = value; break;
                case 258: shape.bitsPerSample = value; break;
                case 277: shape.samplesPerPixel = value; break;
                case 278: shape.rowsPerStrip = value; break;
                case 284: shape.separatePlanes = value == 2; break;
                case 322: shape.tileWidth = value; break;
                case 323: shape.tileLength = value; break;
                default: break;
                }
            }
            if (tag == 273 || tag == 324)
                shape.located = tiff.Read(entry + 4, tiff.OffsetBytes());
            // Entries hold file offsets, never offsets of their own place,
            // so they move down over the ones left out as they are.
            const size_t to = first + kept * tiff.EntryBytes();
            if (to != entry)
                std::memmove(out.data() + to, out.data() + entry, tiff.EntryBytes());
            ++kept;
        }
        if (kept != entries) {
            tiff.Write(start, tiff.CountBytes(), kept);
            tiff.Write(first + kept * tiff.EntryBytes(), tiff.OffsetBytes(), next);
        }
        // Strips are cut to the picture's height by the decoder; tiles are
        // taken at the size the file names, each in one allocation.
        if (shape.Tiled() && shape.TiledBytes() > 4 * shape.PictureBytes() + double(kTileSlackBytes)) {
            refusal_ = "its tiles would need far more memory than the picture itself (tiles of " +
                       std::to_string(shape.tileWidth) + " x " + std::to_string(shape.tileLength) +
                       " pixels for a picture of " + std::to_string(shape.width) + " x " +
                       std::to_string(shape.height) + ")";
            return;
        }
        // A picture whose directory locates fewer pieces than it is cut
        // into has lost rows; the decoder would take the memory for all of
        // them and then fail on every piece it cannot find.
        if (shape.located > 0 && double(shape.located) < shape.Pieces()) {
            refusal_ = "it is damaged: its file locates only " + std::to_string(shape.located) +
                       " of the parts its picture is stored in";
            return;
        }
        directory = next;
    }
    copy_ = std::move(out);
}
