#include <gtest/gtest.h>

#include <array>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/TempDir.h"

namespace {

// A wrapper holding the corner image, loaded from a PNG made here.
class Edit : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = dir_ / "corners.png";
        ASSERT_TRUE(CornerImage().save(QString::fromStdString(path), "PNG"));
        ASSERT_TRUE(bitmap_.Load(path));
    }

    TempDir dir_;
    TFreeWinBitmap bitmap_;
};

// Installs a dib made by the test into a wrapper, through a BMP stream.
bool Adopt(TFreeWinBitmap& bitmap, FIBITMAP* dib)
{
    FIMEMORY* memory = FreeImage_OpenMemory();
    const bool saved = FreeImage_SaveToMemory(FIF_BMP, dib, memory, 0);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory, &data, &size);
    TMemoryStream stream;
    stream.WriteBuffer(data, size);
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(dib);
    stream.SetPosition(0);
    return saved && bitmap.LoadFromStream(stream);
}

}  // namespace

TEST_F(Edit, RotateNinetyTurnsCounterClockwise)
{
    ASSERT_TRUE(bitmap_.Rotate(90.0));
    EXPECT_EQ(bitmap_.GetWidth(), 3);
    EXPECT_EQ(bitmap_.GetHeight(), 4);
    // Turning left: the top-right corner comes to the top-left, and so on.
    EXPECT_EQ(CornersOf(Shown(bitmap_)), (Corners{kTopRight, kBottomRight, kTopLeft, kBottomLeft}));
}

TEST_F(Edit, Flips)
{
    struct Case {
        const char* name;
        bool (TFreeBitmap::*flip)();
        Corners expected;
    };
    const Case cases[] = {
        {"horizontal", &TFreeBitmap::FlipHorizontal, {kTopRight, kTopLeft, kBottomRight, kBottomLeft}},
        {"vertical", &TFreeBitmap::FlipVertical, {kBottomLeft, kBottomRight, kTopLeft, kTopRight}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(dir_ / "corners.png"));
        int changes = 0;
        bitmap.OnChange = [&](TFreeBitmap*) { ++changes; };
        ASSERT_TRUE((bitmap.*c.flip)());
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(bitmap.GetWidth(), 4);
        EXPECT_EQ(CornersOf(Shown(bitmap)), c.expected);
    }
}

TEST_F(Edit, CropCopiesTheRectangleFromTheTopLeft)
{
    TFreeWinBitmap sub;
    ASSERT_TRUE(bitmap_.CopySubImage(2, 0, 4, 2, &sub));  // right and bottom exclusive
    EXPECT_EQ(sub.GetWidth(), 2);
    EXPECT_EQ(sub.GetHeight(), 2);
    const QImage shown = Shown(sub);
    EXPECT_EQ(shown.pixel(1, 0), kTopRight);
    EXPECT_EQ(shown.pixel(0, 0), kFill);
    EXPECT_EQ(shown.pixel(1, 1), kFill);
    // The source is left alone.
    EXPECT_EQ(bitmap_.GetWidth(), 4);
    EXPECT_EQ(CornersOf(Shown(bitmap_)), (Corners{kTopLeft, kTopRight, kBottomLeft, kBottomRight}));
}

TEST_F(Edit, CropOutsideTheImageFailsAndLeavesTheDestinationEmpty)
{
    for (const auto& [l, t, r, b] : {std::array{0, 0, 5, 3}, std::array{-1, 0, 2, 2},
                                     std::array{0, 0, 4, 4}}) {
        SCOPED_TRACE(testing::Message() << l << "," << t << "," << r << "," << b);
        TFreeWinBitmap sub;
        ASSERT_TRUE(sub.Load(dir_ / "corners.png"));
        EXPECT_FALSE(bitmap_.CopySubImage(l, t, r, b, &sub));
        EXPECT_FALSE(sub.IsValid());
    }
    EXPECT_FALSE(TFreeWinBitmap().CopySubImage(0, 0, 1, 1, &bitmap_));
    EXPECT_TRUE(bitmap_.IsValid()) << "an empty source must not clear the destination";
}

TEST_F(Edit, RescaleChangesTheSize)
{
    ASSERT_TRUE(bitmap_.Rescale(8, 6, FILTER_BICUBIC));
    EXPECT_EQ(bitmap_.GetWidth(), 8);
    EXPECT_EQ(bitmap_.GetHeight(), 6);

    TFreeWinBitmap dest;
    ASSERT_TRUE(bitmap_.Rescale(2, 3, FILTER_BOX, &dest));
    EXPECT_EQ(dest.GetWidth(), 2);
    EXPECT_EQ(dest.GetHeight(), 3);
    EXPECT_EQ(bitmap_.GetWidth(), 8) << "with a destination the source keeps its size";

    EXPECT_FALSE(bitmap_.Rescale(0, 5, FILTER_BICUBIC));
    EXPECT_EQ(bitmap_.GetWidth(), 8);
    EXPECT_FALSE(TFreeWinBitmap().Rescale(2, 2, FILTER_BICUBIC));
}

TEST(PictureRescale, FourBitColourStaysColour)
{
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(Adopt(bitmap, FourBitColourDib()));
    ASSERT_EQ(bitmap.GetBitsPerPixel(), 4);
    ASSERT_TRUE(bitmap.Rescale(8, 4, FILTER_BOX));
    EXPECT_EQ(bitmap.GetWidth(), 8);
    EXPECT_EQ(bitmap.GetBitsPerPixel(), 24);
    const QImage shown = Shown(bitmap);
    EXPECT_EQ(shown.pixel(3, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(3, 3), qRgb(0, 0, 255));
}

TEST(PictureRescale, BlackAndWhiteBecomesGrey)
{
    FIBITMAP* mono = FreeImage_Allocate(8, 2, 1);
    RGBQUAD* palette = FreeImage_GetPalette(mono);
    palette[0] = RGBQUAD{0, 0, 0, 0};
    palette[1] = RGBQUAD{255, 255, 255, 0};
    for (unsigned x = 0; x < 8; ++x) {
        BYTE white = 1;
        FreeImage_SetPixelIndex(mono, x, 1, &white);
    }
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(Adopt(bitmap, mono));
    ASSERT_EQ(bitmap.GetBitsPerPixel(), 1);
    ASSERT_TRUE(bitmap.Rescale(4, 2, FILTER_BOX));
    EXPECT_TRUE(bitmap.IsGrayScale());
    const QImage shown = Shown(bitmap);
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(0, 1), qRgb(0, 0, 0));
}

TEST(PictureRotate, NarrowDepthsAreWidenedNotRefused)
{
    struct Case {
        const char* name;
        FIBITMAP* (*make)();
        int bpp;
    };
    const Case cases[] = {
        {"4-bit palette", &FourBitColourDib, 4},
        {"16-bit 565", [] {
             FIBITMAP* c4 = FourBitColourDib();
             FIBITMAP* c24 = FreeImage_ConvertTo24Bits(c4);
             FIBITMAP* c16 = FreeImage_ConvertTo16Bits565(c24);
             FreeImage_Unload(c4);
             FreeImage_Unload(c24);
             return c16;
         }, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(Adopt(bitmap, c.make()));
        ASSERT_EQ(bitmap.GetBitsPerPixel(), c.bpp);
        ASSERT_TRUE(bitmap.Rotate(90.0));
        EXPECT_EQ(bitmap.GetWidth(), 2);
        EXPECT_EQ(bitmap.GetHeight(), 4);
        // The red top row turns into the left column.
        const QImage shown = Shown(bitmap);
        EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(shown.pixel(0, 3), qRgb(255, 0, 0));
        EXPECT_EQ(shown.pixel(1, 0), qRgb(0, 0, 255));
    }
}

TEST(PictureEdit, EveryOperationRefusesAnEmptyPicture)
{
    TFreeWinBitmap empty;
    EXPECT_FALSE(empty.Rotate(90.0));
    EXPECT_FALSE(empty.FlipHorizontal());
    EXPECT_FALSE(empty.FlipVertical());
    EXPECT_FALSE(empty.CanSave(FIF_BMP));
    EXPECT_EQ(empty.CopyToBitmapH(), kNullBitmap);
}

TEST_F(Edit, ScreenBitmapStartsAtTheTopLeftAndBelongsToTheCaller)
{
    const std::size_t before = ScreenBitmapCount();
    const HBITMAP first = bitmap_.CopyToBitmapH();
    const HBITMAP second = bitmap_.CopyToBitmapH();
    ASSERT_NE(first, kNullBitmap);
    EXPECT_NE(first, second);
    EXPECT_EQ(ScreenBitmapCount(), before + 2);

    const QImage image = GetScreenBitmap(first);
    ASSERT_EQ(image.width(), 4);
    ASSERT_EQ(image.height(), 3);
    EXPECT_EQ(image.pixel(0, 0), kTopLeft);
    // The library counts rows from the bottom; the screen bitmap from the top.
    RGBQUAD libraryTopLeft{};
    ASSERT_TRUE(bitmap_.GetPixelColor(0, 2, &libraryTopLeft));
    EXPECT_EQ(image.pixel(0, 0),
              qRgb(libraryTopLeft.rgbRed, libraryTopLeft.rgbGreen, libraryTopLeft.rgbBlue));

    // Changing the picture afterwards does not change a bitmap already made.
    ASSERT_TRUE(bitmap_.FlipVertical());
    EXPECT_EQ(GetScreenBitmap(first).pixel(0, 0), kTopLeft);
    EXPECT_EQ(GetScreenBitmap(bitmap_.CopyToBitmapH()).pixel(0, 0), kBottomLeft);

    EXPECT_TRUE(DeleteObject(first));
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_EQ(ScreenBitmapCount(), before + 1);
}

TEST(PictureScreenBitmap, TransparentPixelsShowOverWhite)
{
    QImage translucent(1, 1, QImage::Format_ARGB32);
    translucent.setPixel(0, 0, qRgba(10, 20, 30, 0));
    TempDir dir;
    const std::string path = dir / "t.png";
    ASSERT_TRUE(translucent.save(QString::fromStdString(path), "PNG"));
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(path));
    EXPECT_EQ(Shown(bitmap).pixel(0, 0), qRgb(255, 255, 255));
}
