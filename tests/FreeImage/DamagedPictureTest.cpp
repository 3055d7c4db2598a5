// Pictures that are damaged or come in a form of their own: a JPEG or TIFF
// cut short is refused like any file that does not decode, and bitmaps with
// a later info header load as the chooser's reader shows them.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include "FreeImage/FreeWinBitmap.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/BmpFile.h"
#include "tests/support/ColourPictures.h"

namespace {

bool Load(TFreeWinBitmap& bitmap, const QByteArray& bytes)
{
    return bitmap.LoadFromMemory(reinterpret_cast<const BYTE*>(bytes.constData()), DWORD(bytes.size()));
}

// An uncompressed TIFF with its directory first, as scanners and editors
// write it, so that a cut leaves the header readable and strips missing.
QByteArray TiffDirectoryFirst()
{
    constexpr uint32_t kWidth = 64, kHeight = 64, kRowsPerStrip = 8, kStrips = kHeight / kRowsPerStrip;
    constexpr uint32_t kEntries = 9, kDirectory = 8;
    constexpr uint32_t kBits = kDirectory + 2 + kEntries * 12 + 4;
    constexpr uint32_t kOffsets = kBits + 6, kCounts = kOffsets + kStrips * 4, kPixels = kCounts + kStrips * 4;
    constexpr uint32_t kStripBytes = kWidth * 3 * kRowsPerStrip;
    std::string tiff = "II";
    PutLE(tiff, 42, 2);
    PutLE(tiff, kDirectory, 4);
    PutLE(tiff, kEntries, 2);
    const auto entry = [&tiff](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        PutLE(tiff, tag, 2);
        PutLE(tiff, type, 2);
        PutLE(tiff, count, 4);
        PutLE(tiff, value, 4);
    };
    entry(256, 4, 1, kWidth);
    entry(257, 4, 1, kHeight);
    entry(258, 3, 3, kBits);
    entry(259, 3, 1, 1);  // no compression
    entry(262, 3, 1, 2);  // RGB
    entry(273, 4, kStrips, kOffsets);
    entry(277, 3, 1, 3);
    entry(278, 4, 1, kRowsPerStrip);
    entry(279, 4, kStrips, kCounts);
    PutLE(tiff, 0, 4);
    for (int i = 0; i < 3; ++i)
        PutLE(tiff, 8, 2);
    for (uint32_t i = 0; i < kStrips; ++i)
        PutLE(tiff, kPixels + i * kStripBytes, 4);
    for (uint32_t i = 0; i < kStrips; ++i)
        PutLE(tiff, kStripBytes, 4);
    for (uint32_t i = 0; i < kWidth * kHeight; ++i)
        tiff += std::string{char(i), char(i >> 6), char(90)};
    return QByteArray(tiff.data(), qsizetype(tiff.size()));
}

// The picture's pixels as straight (not premultiplied) ARGB, top row first.
QImage Argb(const TFreeBitmap& bitmap)
{
    QImage out(bitmap.GetWidth(), bitmap.GetHeight(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const unsigned row = unsigned(out.height() - 1 - y);
            RGBQUAD c{};
            if (bitmap.GetBitsPerPixel() <= 8) {
                BYTE index = 0;
                bitmap.GetPixelIndex(unsigned(x), row, &index);
                c = bitmap.GetPalette()[index];
                c.rgbReserved = 255;
            } else {
                bitmap.GetPixelColor(unsigned(x), row, &c);
                if (bitmap.GetBitsPerPixel() != 32)
                    c.rgbReserved = 255;
            }
            out.setPixel(x, y, qRgba(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved));
        }
    return out;
}

QImage ReadByQt(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

QByteArray AsBytes(const std::string& bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

}  // namespace

TEST(DamagedPicture, APictureCutShortIsRefusedAndAWholeOneLoads)
{
    for (const char* kind : {"baseline JPEG", "progressive JPEG", "TIFF"}) {
        SCOPED_TRACE(kind);
        const QByteArray whole = kind[0] == 'T' ? TiffDirectoryFirst() : PhotoLikeJpeg(QSize(320, 240), kind[0] == 'p');
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(Load(bitmap, whole));
        // Bytes after the end are no damage: many writers pad.
        EXPECT_TRUE(Load(bitmap, whole + QByteArray(100, 'x')));
        for (const double share : {0.5, 0.9}) {
            SCOPED_TRACE(share);
            EXPECT_FALSE(Load(bitmap, whole.left(qsizetype(whole.size() * share))));
            EXPECT_FALSE(bitmap.IsValid());
        }
    }
}

TEST(DamagedPicture, BitmapsWithALaterInfoHeaderLoadAsTheChooserShowsThem)
{
    // Blue, green, red, alpha per pixel.
    const std::string bgra = Bytes({0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0,  //
                                    40, 60, 200, 255, 10, 20, 30, 64, 255, 255, 255, 255});
    const std::string bgr = Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,  //
                                   40, 60, 200, 10, 20, 30, 255, 255, 255, 0, 0, 0});
    // 5-6-5 bits: red, green, blue, then white, black, grey; rows padded to 8 bytes.
    const std::string rgb565 = Bytes({0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0,  //
                                      0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0, 0});
    const std::string palette = Bytes({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 40, 60, 200, 0});
    const std::string indices = Bytes({0, 1, 2, 0, 3, 2, 1, 0});
    const QByteArray fields565 = AsBytes(LaterBmp(124, 16, 3, "", rgb565, false, 0, 0xF800, 0x07E0, 0x001F));
    const struct {
        const char* name;
        QByteArray file;
        // Qt reads no version 2 or 3 header: the same pixels under the
        // newest header show what they are.
        QByteArray shownAs;
    } rows[] = {
        {"version 5, 32 bits with alpha", AsBytes(LaterBmp(124, 32, 3, "", bgra, false)), {}},
        {"version 4, 32 bits with alpha, top down", AsBytes(LaterBmp(108, 32, 3, "", bgra, true)), {}},
        {"version 5, 32 bits, no alpha mask", AsBytes(LaterBmp(124, 32, 3, "", bgra, false, 0)), {}},
        {"version 5, 32 bits, plain", AsBytes(LaterBmp(124, 32, 0, "", bgra, false)), {}},
        {"version 5, 24 bits", AsBytes(LaterBmp(124, 24, 0, "", bgr, false)), {}},
        {"version 5, 16-bit fields", fields565, {}},
        {"version 3, 16-bit fields", AsBytes(LaterBmp(56, 16, 3, "", rgb565, false, 0, 0xF800, 0x07E0, 0x001F)),
         fields565},
        {"version 2, 24 bits", AsBytes(LaterBmp(52, 24, 0, "", bgr, false)), AsBytes(LaterBmp(124, 24, 0, "", bgr, false))},
        {"version 5, palette", AsBytes(LaterBmp(124, 8, 0, palette, indices, false)), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QImage expected = ReadByQt(row.shownAs.isEmpty() ? row.file : row.shownAs);
        ASSERT_FALSE(expected.isNull());
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(Load(bitmap, row.file));
        const QImage loaded = Argb(bitmap);
        ASSERT_EQ(loaded.size(), expected.size());
        // Five bits widen to eight by a shift in one reader and by scaling
        // in the other: 0x1F is 0xF8 or 0xFF.
        const int tolerance = bitmap.GetBitsPerPixel() == 16 ? 7 : 0;
        for (int y = 0; y < loaded.height(); ++y)
            for (int x = 0; x < loaded.width(); ++x) {
                const QRgb got = loaded.pixel(x, y), want = expected.pixel(x, y);
                EXPECT_TRUE(qAlpha(got) == qAlpha(want) && std::abs(qRed(got) - qRed(want)) <= tolerance &&
                            std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
                            std::abs(qBlue(got) - qBlue(want)) <= tolerance)
                    << x << "," << y << ": " << std::hex << got << " for " << want;
            }
        TFreeBitmap::Header header;
        ASSERT_TRUE(TFreeBitmap::ReadHeader(reinterpret_cast<const BYTE*>(row.file.constData()),
                                            DWORD(row.file.size()), header));
        EXPECT_EQ(header.width, 3);
        EXPECT_EQ(header.height, 2);
    }
}
