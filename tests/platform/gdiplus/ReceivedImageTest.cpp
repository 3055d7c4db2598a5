// The drawing layer's readers (the image add-on's way in) get what the
// picture library's decoders get: no metadata, and nothing at all of a file
// whose decode would cost far more than its pixels.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>

#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "platform/gdiplus/GpImage.h"
#include "tests/platform/gdiplus/LayerStarted.h"
#include "tests/support/HostilePictures.h"

namespace {

using ReceivedImage = LayerStarted;

QByteArray Bytes(const std::string& file)
{
    return QByteArray(file.data(), qsizetype(file.size()));
}

std::string Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes.toStdString();
}

}  // namespace

TEST_F(ReceivedImage, ReadersSeeNoTextOrComments)
{
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    image.setText("Title", "an artwork");
    const std::string jpeg = Encoded(image, "jpeg");
    const std::string withComment = jpeg.substr(0, 2) + hostile::Segment(0xFE, "a comment") + jpeg.substr(2);
    for (const std::string& file : {Encoded(image, "png"), withComment}) {
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(DecodeImageBytes(Bytes(file), &bitmap), Ok);
        EXPECT_TRUE(bitmap->image.textKeys().isEmpty()) << bitmap->image.textKeys().join(",").toStdString();
        EXPECT_EQ(bitmap->image.width(), 6);
        GdipDisposeImage(bitmap);
    }
}

TEST_F(ReceivedImage, CostlyFilesAreRefusedAndDamagedExifIsHarmless)
{
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(DecodeImageBytes(Bytes(hostile::EmptyScansJpeg(64, 48, 200)), &bitmap), UnknownImageFormat);
    EXPECT_EQ(DecodeImageBytes(Bytes(hostile::TileTiff(16, 65536, 4096)), &bitmap), UnknownImageFormat);
    EXPECT_EQ(bitmap, nullptr);
    ASSERT_EQ(DecodeImageBytes(Bytes(hostile::BrokenExifJpeg(hostile::EmptyScansJpeg(64, 48, 0))), &bitmap), Ok);
    EXPECT_EQ(bitmap->image.width(), 64);
    GdipDisposeImage(bitmap);
}
