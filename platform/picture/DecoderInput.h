#pragma once
// What a picture decoder is given of a received file. The decoders read
// the pixels well enough, but the picture library's metadata readers (EXIF
// directories, text chunks, Photoshop blocks) and the work a few bytes can
// ask of a decoder (thousands of empty progressive scans, one tile of
// gigabytes behind a tiny picture) are not safe with hostile files. The
// program reads what it needs of a picture's metadata itself (orientation,
// colour profile) from the file's own bytes, so the decoders get only what
// the pixels need:
//   JPEG  SOI, frame headers, tables, scans, EOI; the JFIF and Adobe
//         segments (density, colour transform). No EXIF, XMP, ICC,
//         Photoshop or comment segments; at most kMaxJpegScans scans.
//   PNG   the critical chunks and the few ancillary ones that change the
//         pixels or their size (tRNS, gAMA, bKGD, pHYs); no text, EXIF or
//         profile chunks, nothing after IEND.
//   TIFF  every directory without its EXIF, GPS, XMP, IPTC and Photoshop
//         entries; refused when the tiles of a directory would decode to
//         far more than its picture (see kTileSlackBytes).
// Other formats pass as they are.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TDecoderInput {
public:
    // A camera or an encoder writes a few dozen scans at most; each scan
    // walks the whole picture again, so a file of empty scans costs time
    // without bytes.
    static constexpr int kMaxJpegScans = 100;
    // The tiles of a TIFF directory may cover up to four times its picture
    // (tiles larger than half the picture, cut at its edges) plus this
    // much: a small picture stored in the usual 256 or 512-pixel tiles
    // stays well within it.
    static constexpr uint64_t kTileSlackBytes = uint64_t{64} << 20;

    // Reads [data, data + size) and keeps what the decoder is to see; the
    // bytes must outlive the object when nothing had to be removed.
    TDecoderInput(const uint8_t* data, size_t size);

    // The bytes for the decoder: a filtered copy, or the file itself.
    const uint8_t* Data() const { return copy_.empty() ? data_ : copy_.data(); }
    size_t Size() const { return copy_.empty() ? size_ : copy_.size(); }
    // Why the picture is not to be decoded at all (empty when it may be),
    // in words a user can act on, as the end of a sentence ("it is ...").
    const std::string& Refusal() const { return refusal_; }

private:
    void FromJpeg();
    void FromPng();
    void FromTiff();

    const uint8_t* data_;
    size_t size_;
    std::vector<uint8_t> copy_;
    std::string refusal_;
};
