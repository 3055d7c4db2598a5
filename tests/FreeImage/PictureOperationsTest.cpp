// The picture wrapper's other operations, each run once on the corner image
// and judged by a pixel or a property.
#include <gtest/gtest.h>

#include <QPainter>
#include <cstdio>
#include <functional>
#include <numeric>
#include <set>

#include "FreeImage/FreeMemoryIO.h"
#include "FreeImage/FreeWinBitmap.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/TempDir.h"

namespace {

const Corners kCorners{kTopLeft, kTopRight, kBottomLeft, kBottomRight};

// The colour of pixel (x, y), y counted from the top.
QRgb At(const TFreeWinBitmap& bitmap, int x, int y)
{
    return Shown(bitmap).pixel(x, y) | 0xFF000000u;
}

void LoadCorners(TFreeWinBitmap& bitmap, const TempDir& dir)
{
    const std::string path = dir / "corners.png";
    ASSERT_TRUE(CornerImage().save(QString::fromStdString(path), "PNG"));
    ASSERT_TRUE(bitmap.Load(path));
    ASSERT_EQ(bitmap.GetBitsPerPixel(), 24);
}

// An 8-bit grey image of the corner image's size, all one value.
void FillGrey(TFreeBitmap& bitmap, BYTE value)
{
    ASSERT_TRUE(bitmap.SetSize(FIT_BITMAP, 4, 3, 8));
    for (int y = 0; y < 3; ++y)
        std::memset(bitmap.GetScanLine(y), value, 4);
}

struct TCase {
    const char* name;
    std::function<bool(TFreeWinBitmap&)> run;
    std::function<void(TFreeWinBitmap&)> check;
};

} // namespace

TEST(PictureOperations, EachOperationOnASmallImage)
{
    TempDir dir;
    const TCase cases[] = {
        {"AccessPixels", [](TFreeWinBitmap& b) { return b.AccessPixels() == b.GetScanLine(0); },
         [](TFreeWinBitmap&) {}},
        {"AdjustBrightness", [](TFreeWinBitmap& b) { return b.AdjustBrightness(50); },
         [](TFreeWinBitmap& b) { EXPECT_GT(qRed(At(b, 1, 1)), 40); }},
        {"AdjustContrast", [](TFreeWinBitmap& b) { return b.AdjustContrast(50); },
         [](TFreeWinBitmap& b) { EXPECT_LT(qRed(At(b, 1, 1)), 40); }},
        {"AdjustGamma", [](TFreeWinBitmap& b) { return b.AdjustGamma(2.0); },
         [](TFreeWinBitmap& b) { EXPECT_GT(qRed(At(b, 1, 1)), 40); }},
        {"AdjustCurve",
         [](TFreeWinBitmap& b) {
             BYTE table[256];
             for (int i = 0; i < 256; ++i)
                 table[i] = BYTE(255 - i);
             return b.AdjustCurve(table, FICC_RGB);
         },
         [](TFreeWinBitmap& b) { EXPECT_EQ(At(b, 1, 1), qRgb(215, 215, 215)); }},
        {"Invert", [](TFreeWinBitmap& b) { return b.Invert(); },
         [](TFreeWinBitmap& b) { EXPECT_EQ(At(b, 0, 0), qRgb(0, 255, 255)); }},
        {"ColorQuantize", [](TFreeWinBitmap& b) { return b.ColorQuantize(FIQ_WUQUANT); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 8);
             EXPECT_EQ(b.GetPaletteSize(), 256u * 4);
             EXPECT_EQ(CornersOf(Shown(b)), kCorners);
         }},
        {"Dither", [](TFreeWinBitmap& b) { return b.Dither(FID_FS); },
         [](TFreeWinBitmap& b) { EXPECT_EQ(b.GetBitsPerPixel(), 1); }},
        {"Threshold", [](TFreeWinBitmap& b) { return b.Threshold(128); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 1);
             EXPECT_EQ(At(b, 3, 2), qRgb(255, 255, 255));
             EXPECT_EQ(At(b, 1, 1), qRgb(0, 0, 0));
         }},
        {"ConvertTo4Bits", [](TFreeWinBitmap& b) { return b.ConvertTo4Bits(); },
         [](TFreeWinBitmap& b) { EXPECT_EQ(b.GetBitsPerPixel(), 4); }},
        {"ConvertTo8Bits", [](TFreeWinBitmap& b) { return b.ConvertTo8Bits(); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 8);
             BYTE index = 0;
             EXPECT_TRUE(b.GetPixelIndex(3, 0, &index));  // bottom right, white
             EXPECT_EQ(index, 255);
             BYTE black = 0;
             EXPECT_TRUE(b.SetPixelIndex(3, 0, &black));
             EXPECT_EQ(At(b, 3, 2), qRgb(0, 0, 0));
         }},
        {"ConvertTo16Bits555", [](TFreeWinBitmap& b) { return b.ConvertTo16Bits555(); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 16);
             EXPECT_EQ(CornersOf(Shown(b)), kCorners);
         }},
        {"ConvertTo16Bits565", [](TFreeWinBitmap& b) { return b.ConvertTo16Bits565(); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 16);
             EXPECT_EQ(CornersOf(Shown(b)), kCorners);
         }},
        {"ConvertTo32Bits", [](TFreeWinBitmap& b) { return b.ConvertTo32Bits(); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetBitsPerPixel(), 32);
             EXPECT_EQ(CornersOf(Shown(b)), kCorners);
         }},
        {"ConvertToRGBF then ToneMapping",
         [](TFreeWinBitmap& b) {
             return b.ConvertToRGBF() && b.GetImageType() == FIT_RGBF && b.ToneMapping(FITMO_REINHARD05);
         },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetImageType(), FIT_BITMAP);
             EXPECT_EQ(b.GetBitsPerPixel(), 24);
             EXPECT_GT(qRed(At(b, 0, 0)), qGreen(At(b, 0, 0)));
         }},
        {"ConvertToType then ConvertToStandardType",
         [](TFreeWinBitmap& b) {
             return b.ConvertToType(FIT_UINT16, true) && b.GetImageType() == FIT_UINT16 &&
                    b.ConvertToStandardType(true);
         },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetImageType(), FIT_BITMAP);
             EXPECT_EQ(b.GetBitsPerPixel(), 8);
             EXPECT_EQ(At(b, 3, 2), qRgb(255, 255, 255));
         }},
        {"RotateEx", [](TFreeWinBitmap& b) { return b.RotateEx(0, 1, 0, 0, 0, false); },
         [](TFreeWinBitmap& b) {
             // Shifted one pixel to the right: the old top-left is now one in.
             EXPECT_EQ(b.GetWidth(), 4);
             EXPECT_EQ(At(b, 1, 0), kTopLeft);
         }},
        {"SetPixelColor",
         [](TFreeWinBitmap& b) {
             RGBQUAD green{0, 255, 0, 0};
             return b.SetPixelColor(1, 1, &green);
         },
         [](TFreeWinBitmap& b) { EXPECT_EQ(At(b, 1, 1), qRgb(0, 255, 0)); }},
        {"GetChannel",
         [](TFreeWinBitmap& b) {
             TFreeWinBitmap red;
             if (!b.GetChannel(red, FICC_RED))
                 return false;
             b.Assign(&red);
             return true;
         },
         [](TFreeWinBitmap& b) {
             EXPECT_TRUE(b.IsGrayScale());
             EXPECT_EQ(At(b, 0, 0), qRgb(255, 255, 255));  // red had full red
             EXPECT_EQ(At(b, 0, 2), qRgb(0, 0, 0));        // blue had none
         }},
        {"SplitChannels and CombineChannels",
         [](TFreeWinBitmap& b) {
             TFreeWinBitmap red, green, blue, combined;
             if (!b.SplitChannels(red, green, blue) || !combined.CombineChannels(red, green, blue))
                 return false;
             b.Clear();
             b.Assign(&combined);
             return true;
         },
         [](TFreeWinBitmap& b) { EXPECT_EQ(CornersOf(Shown(b)), kCorners); }},
        {"SetChannel",
         [](TFreeWinBitmap& b) {
             TFreeWinBitmap zeros;
             FillGrey(zeros, 0);
             return b.SetChannel(zeros, FICC_RED);
         },
         [](TFreeWinBitmap& b) { EXPECT_EQ(At(b, 0, 0), qRgb(0, 0, 0)); }},
        {"PasteSubImage",
         [](TFreeWinBitmap& b) {
             TFreeWinBitmap piece;
             if (!b.CopySubImage(3, 2, 4, 3, &piece))  // the white bottom-right pixel
                 return false;
             return b.PasteSubImage(piece, 1, 1);
         },
         [](TFreeWinBitmap& b) { EXPECT_EQ(At(b, 1, 1), qRgb(255, 255, 255)); }},
        {"Resolution",
         [](TFreeWinBitmap& b) {
             b.SetHorizontalResolution(118.11);
             b.SetVerticalResolution(39.37);
             return true;
         },
         [](TFreeWinBitmap& b) {
             EXPECT_DOUBLE_EQ(b.GetHorizontalResolution(), 118.11);
             EXPECT_DOUBLE_EQ(b.GetVerticalResolution(), 39.37);
             EXPECT_EQ(b.GetInfoHeader()->biXPelsPerMeter, 11811);
         }},
        {"FileBkColor",
         [](TFreeWinBitmap& b) {
             RGBQUAD colour{1, 2, 3, 0};
             return !b.HasFileBkColor() && b.SetFileBkColor(&colour);
         },
         [](TFreeWinBitmap& b) {
             RGBQUAD colour{};
             EXPECT_TRUE(b.HasFileBkColor());
             EXPECT_TRUE(b.GetFileBkColor(&colour));
             EXPECT_EQ(colour.rgbRed, 3);
         }},
        {"Transparency",
         [](TFreeWinBitmap& b) {
             if (!b.ConvertTo8Bits())
                 return false;
             BYTE table[2] = {0, 255};
             b.SetTransparencyTable(table, 2);
             return true;
         },
         [](TFreeWinBitmap& b) {
             EXPECT_TRUE(b.IsTransparent());
             EXPECT_EQ(b.GetTransparencyCount(), 2u);
             EXPECT_EQ(b.GetTransparencyTable()[0], 0);
         }},
        {"Layout",
         [](TFreeWinBitmap& b) { return b.GetInfo() && b.GetInfoHeader(); },
         [](TFreeWinBitmap& b) {
             EXPECT_EQ(b.GetInfoHeader()->biWidth, 4);
             EXPECT_EQ(b.GetLine(), 12u);
             EXPECT_EQ(b.GetScanWidth(), 12u);
             EXPECT_GE(b.GetImageSize(), 36u);
             EXPECT_EQ(b.GetColorsUsed(), 0u);
             EXPECT_EQ(b.GetPalette(), nullptr);
             EXPECT_EQ(b.GetScanLine(3), nullptr);
             DWORD histogram[256] = {};
             EXPECT_TRUE(b.GetHistogram(histogram, FICC_RED));
             EXPECT_EQ(std::accumulate(histogram, histogram + 256, 0u), 12u);
             EXPECT_EQ(histogram[40], 8u);
         }},
        {"SetDib", [](TFreeWinBitmap& b) { return b.SetDib(FreeImage_Allocate(7, 5, 24)); },
         [](TFreeWinBitmap& b) { EXPECT_EQ(b.GetWidth(), 7); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFreeWinBitmap bitmap;
        LoadCorners(bitmap, dir);
        int changes = 0;
        bitmap.OnChange = [&](TFreeBitmap*) { ++changes; };
        ASSERT_TRUE(c.run(bitmap));
        c.check(bitmap);
        // Reading, and setting single pixels or colours, are no edits of
        // the picture; everything else notifies.
        const std::set<std::string> quiet = {"AccessPixels", "Layout", "SetPixelColor", "FileBkColor"};
        EXPECT_EQ(changes > 0, !quiet.count(c.name));
    }
}

TEST(PictureOperations, EmptyPicturesAndNarrowDepthsAreRefused)
{
    TFreeWinBitmap empty, other;
    EXPECT_FALSE(empty.Invert());
    EXPECT_FALSE(empty.ConvertTo8Bits());
    EXPECT_FALSE(empty.GetChannel(other, FICC_RED));
    EXPECT_EQ(empty.AccessPixels(), nullptr);
    EXPECT_TRUE(empty.CopyToHandle().empty());

    // RotateEx takes no image below 8 bits per pixel.
    TFreeWinBitmap four;
    ASSERT_TRUE(four.SetDib(FourBitColourDib()));
    EXPECT_FALSE(four.RotateEx(10, 0, 0, 0, 0, false));
    EXPECT_EQ(four.GetBitsPerPixel(), 4);

    // A failed channel extraction fails even when the destination had an image.
    TFreeWinBitmap grey;
    FillGrey(grey, 9);
    TFreeWinBitmap holder;
    FillGrey(holder, 1);
    EXPECT_FALSE(grey.GetChannel(holder, FICC_RED));

    // Assigning nothing empties; assigning itself keeps the image.
    grey.Assign(&grey);
    EXPECT_TRUE(grey.IsValid());
    grey.Assign(nullptr);
    EXPECT_FALSE(grey.IsValid());
}

TEST(PictureOperations, OtherLoadAndSaveForms)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    LoadCorners(bitmap, dir);

    // UTF-16 names.
    const std::u16string wide = QString::fromStdString(dir / "картина.png").toStdU16String();
    ASSERT_TRUE(bitmap.SaveU(wide, 0));
    TFreeWinBitmap fromWide;
    ASSERT_TRUE(fromWide.LoadU(wide, 0));
    EXPECT_EQ(CornersOf(Shown(fromWide)), kCorners);

    // The caller's I/O callbacks over a C file.
    FreeImageIO io{};
    io.read_proc = [](void* buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        return unsigned(std::fread(buffer, size, count, static_cast<FILE*>(h)));
    };
    io.write_proc = [](void* buffer, unsigned size, unsigned count, fi_handle h) -> unsigned {
        return unsigned(std::fwrite(buffer, size, count, static_cast<FILE*>(h)));
    };
    io.seek_proc = [](fi_handle h, long offset, int origin) { return std::fseek(static_cast<FILE*>(h), offset, origin); };
    io.tell_proc = [](fi_handle h) { return std::ftell(static_cast<FILE*>(h)); };
    const std::string handlePath = dir / "handle.bmp";
    FILE* out = std::fopen(handlePath.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(bitmap.SaveToHandle(FIF_BMP, &io, out, 0));
    std::fclose(out);
    FILE* in = std::fopen(handlePath.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    TFreeWinBitmap fromHandle;
    EXPECT_TRUE(fromHandle.LoadFromHandle(&io, in, 0));
    std::fclose(in);
    EXPECT_EQ(CornersOf(Shown(fromHandle)), kCorners);

    // The library's memory streams.
    TFreeMemoryIO memory;
    ASSERT_TRUE(bitmap.SaveToMemory(FIF_PNG, memory, 0));
    memory.Seek(0, SEEK_SET);
    TFreeWinBitmap fromMemory;
    ASSERT_TRUE(fromMemory.LoadFromMemory(memory, 0));
    EXPECT_EQ(CornersOf(Shown(fromMemory)), kCorners);
    EXPECT_FALSE(bitmap.SaveToMemory(FIF_UNKNOWN, memory, 0));
}

TEST(PictureOperations, PackedBitmapsScreenBitmapsAndDrawing)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    LoadCorners(bitmap, dir);

    for (bool eightBits : {false, true}) {
        SCOPED_TRACE(eightBits);
        TFreeWinBitmap source;
        source.Assign(&bitmap);
        if (eightBits) {
            ASSERT_TRUE(source.ColorQuantize(FIQ_WUQUANT));
        }
        const std::vector<BYTE> packed = source.CopyToHandle();
        ASSERT_EQ(packed.size(), 40 + source.GetPaletteSize() + source.GetScanWidth() * 3);
        TFreeWinBitmap copy;
        ASSERT_TRUE(copy.CopyFromHandle(packed.data(), packed.size()));
        EXPECT_EQ(copy.GetBitsPerPixel(), source.GetBitsPerPixel());
        EXPECT_EQ(CornersOf(Shown(copy)), kCorners);
        // Data cut short is refused, and the image stays.
        EXPECT_FALSE(copy.CopyFromHandle(packed.data(), packed.size() - 1));
        EXPECT_FALSE(copy.CopyFromHandle(packed.data(), 39));
        EXPECT_TRUE(copy.IsValid());
    }

    // Images of other sample kinds say so in the packed header.
    TFreeWinBitmap floats;
    floats.Assign(&bitmap);
    ASSERT_TRUE(floats.ConvertToRGBF());
    const std::vector<BYTE> packed = floats.CopyToHandle();
    TFreeWinBitmap floatCopy;
    ASSERT_TRUE(floatCopy.CopyFromHandle(packed.data(), packed.size()));
    EXPECT_EQ(floatCopy.GetImageType(), FIT_RGBF);

    const HBITMAP screen = bitmap.CopyToBitmapH();
    TFreeWinBitmap fromScreen;
    ASSERT_TRUE(fromScreen.CopyFromBitmap(screen));
    DeleteObject(screen);
    EXPECT_EQ(fromScreen.GetBitsPerPixel(), 32);
    EXPECT_EQ(CornersOf(Shown(fromScreen)), kCorners);
    EXPECT_FALSE(fromScreen.CopyFromBitmap(kNullBitmap));

    // Drawn stretched to twice the size, without smoothing.
    QImage canvas(8, 6, QImage::Format_ARGB32);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        EXPECT_TRUE(bitmap.Draw(painter, QRect(0, 0, 8, 6)));
        TFreeWinBitmap empty;
        EXPECT_FALSE(empty.Draw(painter, QRect(0, 0, 8, 6)));
    }
    EXPECT_EQ(CornersOf(canvas), kCorners);
    EXPECT_EQ(canvas.pixel(1, 1) | 0xFF000000u, kTopLeft);
    EXPECT_EQ(canvas.pixel(3, 3) | 0xFF000000u, kFill);
}
