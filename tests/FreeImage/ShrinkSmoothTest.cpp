// Shrinking a colour picture by area averaging, against the library's
// bicubic filter that every other image still goes through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "FreeImage/FreeWinBitmap.h"

namespace {

// A picture whose orientation shows: red rises to the right, green to the
// top, a blue block sits in the top-left corner, with fine stripes below.
void Paint(TFreeBitmap& bitmap)
{
    const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
    const int channels = bitmap.GetBitsPerPixel() / 8;
    for (int row = 0; row < h; ++row) {
        BYTE* p = bitmap.GetScanLine(row);  // bottom-up
        const int y = h - 1 - row;
        for (int x = 0; x < w; ++x, p += channels) {
            p[FI_RGBA_RED] = BYTE(x * 255 / (w - 1));
            p[FI_RGBA_GREEN] = BYTE(row * 255 / (h - 1));
            p[FI_RGBA_BLUE] = x < w / 5 && y < h / 5 ? 255 : (y > h / 2 && x % 4 < 2 ? 160 : 0);
            if (channels == 4)
                p[FI_RGBA_ALPHA] = BYTE(200 + x % 50);
        }
    }
}

// The pixel at (x, y), top-left origin.
const BYTE* At(const TFreeBitmap& bitmap, int x, int y)
{
    return bitmap.GetScanLine(bitmap.GetHeight() - 1 - y) + x * (bitmap.GetBitsPerPixel() / 8);
}

std::string Rows(const TFreeBitmap& bitmap)
{
    std::string rows;
    for (int row = 0; row < bitmap.GetHeight(); ++row)
        rows.append(reinterpret_cast<const char*>(bitmap.GetScanLine(row)), bitmap.GetLine());
    return rows;
}

}  // namespace

TEST(ShrinkSmooth, ShrinksAColourPictureAsTheBicubicFilterDoes)
{
    TFreeWinBitmap picture(FIT_BITMAP, 600, 400, 24);
    Paint(picture);
    picture.SetHorizontalResolution(300);
    picture.SetVerticalResolution(150);
    TFreeWinBitmap bicubic;
    ASSERT_TRUE(picture.Rescale(360, 240, FILTER_BICUBIC, &bicubic));
    ASSERT_TRUE(picture.ShrinkSmooth(360, 240));

    ASSERT_EQ(picture.GetWidth(), 360);
    ASSERT_EQ(picture.GetHeight(), 240);
    EXPECT_EQ(picture.GetBitsPerPixel(), 24);
    EXPECT_NEAR(picture.GetHorizontalResolution(), bicubic.GetHorizontalResolution(), 0.5);
    EXPECT_NEAR(picture.GetVerticalResolution(), bicubic.GetVerticalResolution(), 0.5);
    // Upright, colours in their channels: the blue block top left, red
    // rising to the right, green to the top.
    EXPECT_EQ(At(picture, 10, 10)[FI_RGBA_BLUE], 255);
    EXPECT_EQ(At(picture, 350, 10)[FI_RGBA_BLUE], 0);
    EXPECT_LT(At(picture, 5, 100)[FI_RGBA_RED], 10);
    EXPECT_GT(At(picture, 355, 100)[FI_RGBA_RED], 245);
    EXPECT_GT(At(picture, 200, 2)[FI_RGBA_GREEN], 245);
    EXPECT_LT(At(picture, 200, 237)[FI_RGBA_GREEN], 10);
    // Beside the bicubic result: the same picture, edges a little softer.
    long long total = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 360; ++x)
            for (int c = 0; c < 3; ++c)
                total += std::abs(int(At(picture, x, y)[c]) - int(At(bicubic, x, y)[c]));
    EXPECT_LT(double(total) / (360 * 240 * 3), 3.0);
}

// Images it does not shrink itself come out exactly as the bicubic filter
// makes them.
TEST(ShrinkSmooth, OtherImagesAndSizesGoThroughTheBicubicFilter)
{
    struct Case {
        const char* name;
        int bpp;
        int width;
        int height;
    } cases[] = {
        {"32-bit", 32, 120, 80},
        {"8-bit", 8, 120, 80},
        {"24-bit, wider", 24, 260, 80},
        {"24-bit, taller", 24, 120, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFreeWinBitmap picture(FIT_BITMAP, 200, 150, c.bpp);
        if (c.bpp >= 24)
            Paint(picture);
        else
            for (int row = 0; row < 150; ++row)
                std::memset(picture.GetScanLine(row), row, picture.GetLine());
        TFreeWinBitmap bicubic;
        ASSERT_TRUE(picture.Rescale(c.width, c.height, FILTER_BICUBIC, &bicubic));
        ASSERT_TRUE(picture.ShrinkSmooth(c.width, c.height));
        EXPECT_EQ(picture.GetWidth(), c.width);
        EXPECT_EQ(picture.GetBitsPerPixel(), bicubic.GetBitsPerPixel());
        EXPECT_TRUE(Rows(picture) == Rows(bicubic));
    }
    TFreeWinBitmap empty;
    EXPECT_FALSE(empty.ShrinkSmooth(10, 10));
    TFreeWinBitmap picture(FIT_BITMAP, 20, 20, 24);
    EXPECT_FALSE(picture.ShrinkSmooth(0, 10));
    EXPECT_EQ(picture.GetWidth(), 20);
}
