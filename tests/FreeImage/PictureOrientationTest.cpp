// Camera photos are turned upright once, at load, and what is written again
// says it is upright; transparent pictures show over white.
#include <gtest/gtest.h>

#include <QImageReader>

#include "FreeImage/ExifOrientation.h"
#include "FreeImage/FreeWinBitmap.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/TempDir.h"

namespace {

// What a browser or PDF renderer shows of a JPEG: the file turned as its
// EXIF orientation says.
QImage AsViewersShowIt(const std::string& path)
{
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    return reader.read();
}

}  // namespace

TEST(PictureOrientation, EveryOrientationLoadsUprightAndIsWrittenUpright)
{
    TempDir dir;
    ASSERT_TRUE(WriteCameraPhotos(dir.Path().string()));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const std::string photo = dir / ("o" + std::to_string(orientation) + ".jpg");
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(photo));
        EXPECT_EQ(UprightProblem(Shown(bitmap)), "");

        // Written again (as the pages' images are), read by a viewer that
        // applies the tag, and by us once more: upright every time.
        const std::string written = dir / ("written" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(bitmap.Save(written));
        EXPECT_EQ(UprightProblem(AsViewersShowIt(written)), "");
        QImageReader reader(QString::fromStdString(written));
        EXPECT_EQ(reader.transformation(), QImageIOHandler::TransformationNone);
        TFreeWinBitmap again;
        ASSERT_TRUE(again.Load(written));
        EXPECT_EQ(UprightProblem(Shown(again)), "");

        // Turned by hand and written, it comes out as turned, not turned twice.
        ASSERT_TRUE(bitmap.Rotate(180.0));
        ASSERT_TRUE(bitmap.Save(written));
        const QImage turned = AsViewersShowIt(written);
        EXPECT_EQ(UprightProblem(turned.mirrored(true, true)), "");
    }
}

// A TIFF names its orientation in a tag of its own, which viewers apply too.
TEST(PictureOrientation, TiffOrientationTagIsAppliedAtLoad)
{
    TempDir dir;
    ASSERT_TRUE(WriteCameraPhotos(dir.Path().string()));
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(dir / "o6.tif"));
    EXPECT_EQ(UprightProblem(Shown(bitmap)), "");
    EXPECT_EQ(UprightProblem(AsViewersShowIt(dir / "o6.tif")), "") << "the fixture";
}

TEST(PictureOrientation, RawExifOrientationIsClearedInEitherByteOrder)
{
    // "Exif\0\0", a TIFF header, one directory with one orientation entry.
    const auto block = [](bool motorola) {
        std::vector<BYTE> b = {'E', 'x', 'i', 'f', 0, 0};
        const auto put = [&](unsigned value, int size) {
            for (int i = 0; i < size; ++i) {
                const int shift = motorola ? 8 * (size - 1 - i) : 8 * i;
                b.push_back(BYTE((value >> shift) & 0xFF));
            }
        };
        b.push_back(motorola ? 'M' : 'I');
        b.push_back(motorola ? 'M' : 'I');
        put(42, 2);
        put(8, 4);
        put(1, 2);
        put(0x0112, 2);
        put(3, 2);
        put(1, 4);
        put(6, 2);
        put(0, 2);
        put(0, 4);
        return b;
    };
    for (const bool motorola : {false, true}) {
        SCOPED_TRACE(motorola ? "big-endian" : "little-endian");
        std::vector<BYTE> b = block(motorola);
        ASSERT_TRUE(ClearRawExifOrientation(b.data(), b.size()));
        EXPECT_EQ(b, [&] {
            std::vector<BYTE> expected = block(motorola);
            expected[6 + 8 + 2 + 8] = motorola ? 0 : 1;
            expected[6 + 8 + 2 + 9] = motorola ? 1 : 0;
            return expected;
        }());
        // Cut short anywhere, the block is left alone.
        for (size_t length = 0; length < b.size() - 4; ++length) {
            std::vector<BYTE> cut(b.begin(), b.begin() + long(length));
            EXPECT_FALSE(ClearRawExifOrientation(cut.data(), cut.size())) << length;
        }
    }
}

TEST(PictureTransparency, TransparentPixelsShowOverWhite)
{
    TempDir dir;
    QImage drawing(6, 2, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);  // transparent black
    drawing.setPixel(0, 0, qRgba(0, 0, 0, 255));          // black "text"
    drawing.setPixel(1, 0, qRgba(0, 0, 255, 128));        // half-transparent blue
    drawing.setPixel(2, 0, qRgba(255, 0, 0, 255));        // opaque red
    const std::string path = dir / "drawing.png";
    ASSERT_TRUE(drawing.save(QString::fromStdString(path), "PNG"));

    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(path));
    const QImage shown = Shown(bitmap);
    EXPECT_EQ(shown.pixel(0, 0) | 0xFF000000u, qRgb(0, 0, 0));
    const QRgb half = shown.pixel(1, 0);
    EXPECT_NEAR(qRed(half), 127, 2);
    EXPECT_NEAR(qGreen(half), 127, 2);
    EXPECT_EQ(qBlue(half), 255);
    EXPECT_EQ(shown.pixel(2, 0) | 0xFF000000u, qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(5, 1) | 0xFF000000u, qRgb(255, 255, 255));
}
