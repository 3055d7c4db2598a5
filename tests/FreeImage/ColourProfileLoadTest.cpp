// Pictures with a colour profile of their own (an Adobe RGB photo, a phone's
// Display P3 one) load as the sRGB colours they stand for, and nothing
// written from them afterwards carries a profile a browser would apply again.
#include <gtest/gtest.h>

#include <QBuffer>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/icm/EmbeddedProfile.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/ColourPictures.h"

namespace {

std::vector<uint8_t> ProfileIn(const QByteArray& bytes)
{
    return EmbeddedProfile(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

std::vector<uint8_t> ProfileIn(TMemoryStream& stream)
{
    return EmbeddedProfile(static_cast<const uint8_t*>(stream.Memory()), size_t(stream.GetSize()));
}

bool Load(TFreeWinBitmap& bitmap, const QByteArray& bytes)
{
    return bitmap.LoadFromMemory(reinterpret_cast<const BYTE*>(bytes.constData()), DWORD(bytes.size()));
}

}  // namespace

TEST(ColourProfileLoad, PicturesWithAProfileLoadAsTheSrgbColoursTheyStandFor)
{
    const struct {
        TestSpace space;
        const char* name;
    } spaces[] = {{TestSpace::AdobeRgb, "Adobe RGB"}, {TestSpace::DisplayP3, "Display P3"}};
    const struct {
        const char* format;
        FREE_IMAGE_FORMAT written;
        int tolerance;  // JPEG's own rounding comes on top
    } formats[] = {{"png", FIF_PNG, 1}, {"tiff", FIF_TIFF, 1}, {"jpeg", FIF_JPEG, 3}};
    for (const auto& space : spaces)
        for (const auto& format : formats)
            for (const QRgb value : {qRgb(200, 60, 40), qRgb(40, 160, 90), qRgb(128, 128, 128)}) {
                SCOPED_TRACE(std::string(space.name) + " " + format.format + " " + ColourText(value));
                const QByteArray file = FlatPictureIn(space.space, value, format.format);
                ASSERT_EQ(ProfileIn(file), ProfileOf(space.space)) << "the writer embeds the profile";
                TFreeWinBitmap bitmap;
                ASSERT_TRUE(Load(bitmap, file));
                const QRgb shown = Shown(bitmap).pixel(10, 10);
                const QRgb expected = InSrgb(space.space, value);
                EXPECT_LE(ColourDistance(shown, expected), format.tolerance)
                    << ColourText(shown) << " for " << ColourText(expected);

                TMemoryStream written;
                ASSERT_TRUE(bitmap.SaveToStream(format.written, written));
                EXPECT_TRUE(ProfileIn(written).empty()) << "the sRGB pixels are written without the old profile";
            }
}

TEST(ColourProfileLoad, PicturesWithoutAProfileKeepTheirValues)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(qRgb(200, 60, 40));
    for (const char* format : {"png", "tiff"}) {
        SCOPED_TRACE(format);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, format));
        ASSERT_TRUE(ProfileIn(bytes).empty());
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(Load(bitmap, bytes));
        EXPECT_EQ(Shown(bitmap).pixel(3, 3), qRgb(200, 60, 40));
    }
}

TEST(ColourProfileLoad, AProfileSplitOverSegmentsInAnyOrderIsJoinedByNumber)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb(200, 60, 40));
    const std::vector<uint8_t> profile = ProfileOf(TestSpace::AdobeRgb);
    const size_t part = profile.size() / 3 + 1;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(Load(bitmap, JpegWithProfileParts(image, profile, part, {3, 1, 2})));
    EXPECT_LE(ColourDistance(Shown(bitmap).pixel(8, 8), InSrgb(TestSpace::AdobeRgb, qRgb(200, 60, 40))), 3);
}
