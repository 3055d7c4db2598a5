// What the decoders get of a received picture: its pixels' data and the
// little that changes them, no metadata for their readers, and nothing at
// all when the file would cost far more work than its picture.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <string>
#include <vector>

#include "platform/icm/JpegSegments.h"
#include "platform/picture/DecoderInput.h"
#include "tests/support/HostilePictures.h"

using hostile::PngChunk;
using hostile::Segment;

namespace {

std::string Bytes(const TDecoderInput& input)
{
    return std::string(reinterpret_cast<const char*>(input.Data()), input.Size());
}

TDecoderInput Input(const std::string& file)
{
    return TDecoderInput(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

QImage Decoded(const std::string& file, int page = 0)
{
    QByteArray bytes(file.data(), qsizetype(file.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (page > 0 && !reader.jumpToImage(page))
        return QImage();
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

std::string Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

QImage Gradient()
{
    QImage image(40, 24, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 10, 255 - x * 3));
    return image;
}

std::vector<int> Markers(const std::string& jpeg)
{
    std::vector<int> markers;
    WalkJpegSegments(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(),
                     [&](uint8_t marker, const uint8_t*, size_t) {
                         markers.push_back(marker);
                         return true;
                     });
    return markers;
}

std::vector<std::string> ChunkTypes(const std::string& png)
{
    std::vector<std::string> types;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                                uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
        types.push_back(png.substr(at + 4, 4));
        at += 12 + length;
    }
    return types;
}

}  // namespace

TEST(DecoderInput, JpegKeepsOnlyWhatTheDecoderNeeds)
{
    const std::string plain = Encoded(Gradient(), "JPEG");
    // Metadata of every kind a camera, a phone or an editor writes, in front
    // of the frame, between the tables and after the end.
    std::string file = plain.substr(0, 2) + Segment(0xE1, std::string("Exif\0\0II*\0\x08\0\0\0\0\0", 16)) +
                       Segment(0xE2, std::string("ICC_PROFILE\0\1\1", 14) + std::string(128, 'p')) +
                       Segment(0xED, "Photoshop 3.0") + Segment(0xEE, std::string("Adobe\0\x64\0\0\0\0\1", 12)) +
                       Segment(0xFE, "a comment") + plain.substr(2);
    const size_t sos = file.find("\xFF\xDA");
    file.insert(sos, Segment(0xE1, "http://ns.adobe.com/xap/1.0/"));
    file += "trailing bytes";

    const TDecoderInput input = Input(file);
    ASSERT_EQ(input.Refusal(), "");
    std::vector<int> expected;
    for (int marker : Markers(plain))
        if (marker != 0xE1 && marker != 0xE2 && marker != 0xED && marker != 0xFE)
            expected.push_back(marker);
    expected.insert(expected.begin(), 0xEE);  // the Adobe segment, where the file has it
    const std::string kept = Bytes(input);
    EXPECT_EQ(Markers(kept), expected);
    EXPECT_EQ(kept.substr(kept.size() - 2), "\xFF\xD9");
    const QImage original = Decoded(plain);
    ASSERT_FALSE(original.isNull());
    EXPECT_EQ(Decoded(kept), original);
}

TEST(DecoderInput, JpegCutInsideAScanReachesTheDecoderCutAsItIs)
{
    const std::string plain = Encoded(Gradient(), "JPEG");
    const std::string cut = plain.substr(0, plain.size() - 40);
    const std::string kept = Bytes(Input(cut));
    EXPECT_EQ(kept.substr(kept.size() - 30), cut.substr(cut.size() - 30));
    EXPECT_FALSE(JpegReachesItsEnd(reinterpret_cast<const uint8_t*>(kept.data()), kept.size()));
}

TEST(DecoderInput, ProgressiveScansAreBounded)
{
    // Two scans of the picture itself, then empty ones.
    struct Case {
        int extra;
        bool refused;
    };
    for (const Case c : {Case{0, false}, Case{TDecoderInput::kMaxJpegScans - 2, false},
                         Case{TDecoderInput::kMaxJpegScans - 1, true}, Case{10000, true}}) {
        SCOPED_TRACE(c.extra);
        const std::string file = hostile::EmptyScansJpeg(64, 48, c.extra);
        const TDecoderInput input = Input(file);
        if (c.refused) {
            EXPECT_NE(input.Refusal().find("scans"), std::string::npos) << input.Refusal();
            continue;
        }
        EXPECT_EQ(input.Refusal(), "");
        const QImage decoded = Decoded(Bytes(input));
        ASSERT_EQ(decoded.size(), QSize(64, 48));
        EXPECT_EQ(decoded.pixel(10, 10), qRgb(128, 128, 128));
    }
}

TEST(DecoderInput, PngLosesItsTextExifAndProfileChunks)
{
    std::string header;
    hostile::Put32(header, 3);
    hostile::Put32(header, 2);
    header += std::string{8, 3, 0, 0, 0};  // 8-bit palette
    std::string gamma;
    hostile::Put32(gamma, 45455);
    const std::string idat = hostile::Deflated(std::string{0, 0, 1, 2, 0, 2, 1, 0});
    const std::string file =
        "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", header) + PngChunk("tEXt", std::string("Title\0a", 7)) +
        PngChunk("gAMA", gamma) + PngChunk("iCCP", std::string("p\0\0", 3) + hostile::Deflated("profile")) +
        PngChunk("PLTE", std::string{char(255), 0, 0, 0, char(255), 0, 0, 0, char(255)}) +
        PngChunk("tRNS", std::string{0}) + PngChunk("zTXt", std::string("Comment\0\0", 9) + hostile::Deflated("x")) +
        PngChunk("iTXt", std::string("Description\0\0\0\0\0words", 21)) + PngChunk("eXIf", "MM\0*") +
        PngChunk("prVt", "private") + PngChunk("IDAT", idat) + PngChunk("tEXt", std::string("Late\0b", 6)) +
        PngChunk("IEND", "") + PngChunk("tEXt", std::string("After\0c", 7));

    const std::string kept = Bytes(Input(file));
    EXPECT_EQ(ChunkTypes(kept), (std::vector<std::string>{"IHDR", "gAMA", "PLTE", "tRNS", "IDAT", "IEND"}));
    const QImage decoded = QImage::fromData(QByteArray(kept.data(), qsizetype(kept.size())));
    ASSERT_EQ(decoded.size(), QSize(3, 2));
    EXPECT_EQ(qAlpha(decoded.pixel(0, 0)), 0) << "tRNS kept";
    EXPECT_EQ(decoded.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_TRUE(decoded.textKeys().isEmpty());

    // A chunk that runs past the file's end ends what the decoder gets,
    // which then has no picture to decode.
    const std::string cut = file.substr(0, file.find("IDAT") + 10);
    const std::string keptOfCut = Bytes(Input(cut));
    EXPECT_EQ(ChunkTypes(keptOfCut), (std::vector<std::string>{"IHDR", "gAMA", "PLTE", "tRNS"}));
    EXPECT_TRUE(Decoded(keptOfCut).isNull());
}

namespace {

// A little-endian TIFF of pages of 2 x 2 grey pixels (shade i * 60 for page
// i), each directory also naming orientation 6 and the metadata the
// decoders must not see: an EXIF and a GPS directory, XMP, IPTC and
// Photoshop blocks.
std::string MetadataTiff(int pages)
{
    const auto le = [](std::string& out, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out += char((value >> (8 * i)) & 0xFF);
    };
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    std::string out = "II";
    le(out, 42, 2);
    le(out, 8, 4);
    // A shared EXIF directory and a block the metadata entries point at.
    const uint32_t kEntries = 15, kDirectory = 2 + kEntries * 12 + 4, kPixels = 4;
    for (int page = 0; page < pages; ++page) {
        const uint32_t at = 8 + uint32_t(page) * (kDirectory + kPixels);
        const uint32_t pixels = at + kDirectory;
        const uint32_t exif = 8 + uint32_t(pages) * (kDirectory + kPixels);
        const Entry entries[kEntries] = {
            {256, 3, 1, 2},          {257, 3, 1, 2},        {258, 3, 1, 8},      {259, 3, 1, 1},
            {262, 3, 1, 1},          {273, 4, 1, pixels},   {274, 3, 1, 6},      {277, 3, 1, 1},
            {278, 3, 1, 2},          {279, 4, 1, kPixels},  {700, 1, 18, exif},  {33723, 7, 18, exif},
            {34377, 7, 18, exif},    {34665, 4, 1, exif},   {34853, 4, 1, exif}};
        le(out, kEntries, 2);
        for (const Entry& e : entries) {
            le(out, e.tag, 2);
            le(out, e.type, 2);
            le(out, e.count, 4);
            le(out, e.value, e.type == 3 ? 2 : 4);
            if (e.type == 3)
                le(out, 0, 2);
        }
        le(out, page + 1 < pages ? pixels + kPixels : 0, 4);
        out += std::string(kPixels, char(page * 60));
    }
    // An EXIF directory with one entry.
    le(out, 1, 2);
    le(out, 0x9003, 2);
    le(out, 2, 2);
    le(out, 4, 4);
    out += "abc";
    out += '\0';
    le(out, 0, 4);
    return out;
}

// The tags of each directory, in file order.
std::vector<std::vector<int>> TiffTags(const std::string& tiff)
{
    const auto u16 = [&](size_t at) { return int(uint8_t(tiff[at]) | uint8_t(tiff[at + 1]) << 8); };
    const auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    std::vector<std::vector<int>> pages;
    for (uint32_t at = u32(4); at != 0 && pages.size() < 10; at = u32(at + 2 + 12 * u16(at))) {
        pages.emplace_back();
        for (int i = 0; i < u16(at); ++i)
            pages.back().push_back(u16(at + 2 + 12 * size_t(i)));
    }
    return pages;
}

}  // namespace

TEST(DecoderInput, TiffLosesItsMetadataEntriesOnEveryPage)
{
    const std::string file = MetadataTiff(3);
    const TDecoderInput input = Input(file);
    ASSERT_EQ(input.Refusal(), "");
    const std::string kept = Bytes(input);
    ASSERT_EQ(kept.size(), file.size());
    const std::vector<int> pageTags = {256, 257, 258, 259, 262, 273, 274, 277, 278, 279};
    EXPECT_EQ(TiffTags(kept), (std::vector<std::vector<int>>(3, pageTags)));
    for (int page = 0; page < 3; ++page) {
        SCOPED_TRACE(page);
        const QImage decoded = Decoded(kept, page);
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.pixel(0, 0), qRgb(page * 60, page * 60, page * 60));
    }
    // A TIFF as an editor writes it decodes as before.
    const std::string written = Encoded(Gradient(), "TIFF");
    EXPECT_EQ(Decoded(Bytes(Input(written))), Decoded(written));
}

TEST(DecoderInput, TiffTilesFarLargerThanThePictureAreRefused)
{
    struct Case {
        unsigned side, tile;
        bool refused;
    };
    for (const Case c : {Case{16, 65536, true}, Case{16, 16384, true}, Case{16, 8192, false},
                         Case{16, 256, false}, Case{16, 4096, false}, Case{5000, 8192, false},
                         Case{300, 4096, false}}) {
        SCOPED_TRACE(std::to_string(c.side) + " in " + std::to_string(c.tile));
        const TDecoderInput input = Input(hostile::TileTiff(c.side, c.tile, 64));
        EXPECT_EQ(!input.Refusal().empty(), c.refused) << input.Refusal();
        if (c.refused)
            EXPECT_NE(input.Refusal().find("tiles"), std::string::npos);
    }
}

// A directory that locates fewer strips than its picture is cut into has
// lost rows: the decoder would take the memory for all of them, then fail
// on each one missing.
TEST(DecoderInput, TiffLocatingTooFewStripsIsRefused)
{
    struct Case {
        uint32_t height, rowsPerStrip;
        bool refused;
    };
    for (const Case c : {Case{2752530, 18, true}, Case{36, 18, true}, Case{18, 18, false}, Case{2752530, 0, false},
                         Case{10, 4000, false}}) {
        SCOPED_TRACE(std::to_string(c.height) + " rows in strips of " + std::to_string(c.rowsPerStrip));
        const TDecoderInput input = Input(hostile::OneStripTiff(24, c.height, c.rowsPerStrip));
        EXPECT_EQ(!input.Refusal().empty(), c.refused) << input.Refusal();
        if (c.refused)
            EXPECT_NE(input.Refusal().find("damaged"), std::string::npos);
    }
}

TEST(DecoderInput, OtherFormatsReachTheDecoderAsTheyAre)
{
    // One white pixel as a GIF.
    const std::string gif = std::string("GIF89a\1\0\1\0\x80\0\0\xff\xff\xff\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0;", 35);
    for (const std::string& file : {gif, Encoded(Gradient(), "BMP")}) {
        SCOPED_TRACE(file.substr(0, 3));
        ASSERT_FALSE(Decoded(file).isNull());
        const TDecoderInput input = Input(file);
        EXPECT_EQ(input.Data(), reinterpret_cast<const uint8_t*>(file.data()));
        EXPECT_EQ(input.Size(), file.size());
    }
}
