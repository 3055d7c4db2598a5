// A bitmap file read from the image's own memory must be, byte for byte, the
// file the copying writer makes: it is what a portfolio stores and what
// every reader of older files expects.
#include <gtest/gtest.h>

#include <string>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/PrefixedBlockStream.h"

namespace {

std::string Copied(TFreeBitmap& bitmap)
{
    TMemoryStream copy;
    EXPECT_TRUE(bitmap.SaveToStream(FIF_BMP, copy, 0));
    return std::string(reinterpret_cast<const char*>(copy.Memory()), size_t(copy.GetSize()));
}

std::string Referenced(TPrefixedBlockStream& stream)
{
    std::string bytes(size_t(stream.GetSize()), '\0');
    stream.SetPosition(0);
    EXPECT_EQ(stream.Read(bytes.data(), stream.GetSize()), stream.GetSize());
    return bytes;
}

}  // namespace

TEST(BmpReferencing, SameFileAsTheCopyWithPixelsReadWhereTheyLie)
{
    struct Case {
        int bpp;
        unsigned red, green, blue;
    } cases[] = {{1, 0, 0, 0},  {4, 0, 0, 0},  {8, 0, 0, 0}, {16, 0x7C00, 0x03E0, 0x001F},
                 {16, 0xF800, 0x07E0, 0x001F}, {24, 0, 0, 0}, {32, 0, 0, 0}};
    for (const Case& c : cases) {
        // Odd widths give rows with padding at their end.
        for (int width : {1, 3, 37}) {
            SCOPED_TRACE(std::to_string(c.bpp) + " bpp, " + std::to_string(width) + " wide");
            TFreeWinBitmap bitmap;
            ASSERT_TRUE(bitmap.SetSize(FIT_BITMAP, width, 5, c.bpp, c.red, c.green, c.blue));
            for (int y = 0; y < 5; ++y) {
                BYTE* line = bitmap.GetScanLine(y);
                const int bytes = (width * c.bpp + 7) / 8;
                for (int x = 0; x < bytes; ++x)
                    line[x] = BYTE(x * 31 + y * 7 + c.bpp);
            }
            if (RGBQUAD* palette = bitmap.GetPalette())
                for (unsigned i = 0; i < bitmap.GetPaletteSize() / sizeof(RGBQUAD); ++i)
                    palette[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};

            TPrefixedBlockStream referenced;
            ASSERT_TRUE(bitmap.SaveBmpReferencing(referenced));
            EXPECT_EQ(Referenced(referenced), Copied(bitmap));
            // The pixels are the image's rows, bottom row first as the
            // library holds them; only the headers were copied.
            EXPECT_EQ(referenced.Block(), bitmap.GetScanLine(0));
            EXPECT_LE(referenced.Prefix().size(), 14u + 124u + 256u * 4u);
        }
    }
}

TEST(BmpReferencing, NothingWithoutAnImage)
{
    TFreeWinBitmap empty;
    TPrefixedBlockStream stream;
    EXPECT_FALSE(empty.SaveBmpReferencing(stream));
    EXPECT_EQ(stream.GetSize(), 0);
}
