// Images and bitmaps through the wrappers: formats, saving, screen bitmaps,
// colour keys, and the colour helpers.
#include <gtest/gtest.h>

#include <QImageReader>

#include "controls/Utf16.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/support/TempDir.h"

namespace {

// A 3 × 2 bitmap: opaque red, transparent, half-transparent blue; green row.
void Paint(TGPBitmap& bitmap)
{
    bitmap.SetPixel(0, 0, 0xFFFF0000u);
    bitmap.SetPixel(1, 0, 0x00000000u);
    bitmap.SetPixel(2, 0, 0x800000FFu);
    for (int x = 0; x < 3; ++x)
        bitmap.SetPixel(x, 1, 0xFF00FF00u);
}

}  // namespace

TEST(GPImage, SavedPngReloadsWithTheSamePixels)
{
    TempDir dir;
    TGPBitmap bitmap(3, 2);
    ASSERT_EQ(bitmap.GetLastStatus(), Ok);
    Paint(bitmap);
    CLSID png;
    ASSERT_TRUE(GetCLSID(itPNG, &png));
    CLSID gif;
    EXPECT_FALSE(GetCLSID(itGIF, &gif)) << "no GIF encoder";
    const std::string path = dir / "saved.png";
    ASSERT_EQ(bitmap.Save(ToUtf16(path), png), Ok);

    // Another reader agrees on what was written.
    QImageReader reader(QString::fromStdString(path));
    EXPECT_EQ(reader.format(), "png");
    const QImage check = reader.read().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(check.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(check.pixel(1, 0)), 0);

    TGPImage loaded(ToUtf16(path));
    ASSERT_EQ(loaded.GetLastStatus(), Ok);
    EXPECT_EQ(loaded.GetFormat(), ifPNG);
    EXPECT_EQ(loaded.GetWidth(), 3u);
    EXPECT_EQ(loaded.GetHeight(), 2u);
    EXPECT_TRUE(loaded.HasAlphaChannel());
    EXPECT_FALSE(loaded.HasPalette());
    EXPECT_EQ(loaded.GetPixelDepth(), 32u);
    TMemoryStream stream;
    stream.LoadFromFile(path);
    TGPBitmap* again = TGPBitmap::FromStream(&stream);
    ARGB pixel = 0;
    for (auto [x, y, want] : {std::tuple{0, 0, 0xFFFF0000u}, {2, 0, 0x800000FFu}, {1, 1, 0xFF00FF00u}}) {
        EXPECT_EQ(again->GetPixel(x, y, &pixel), Ok);
        EXPECT_EQ(pixel, want) << x << "," << y;
    }
    EXPECT_EQ(again->GetPixel(1, 0, &pixel), Ok);
    EXPECT_EQ(pixel >> 24, 0u);
    delete again;

    // Multi-frame saving is not available; a missing image to add is a caller error.
    EXPECT_EQ(bitmap.SaveAdd(nullptr, nullptr), InvalidParameter);
    EncoderParameters params{};
    EXPECT_EQ(bitmap.SaveAdd(&loaded, &params), NotImplemented);
}

TEST(GPImage, FailedSaveKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.Write("keep.png", "old content");
    TGPBitmap bitmap(2, 2);
    CLSID unknown = MakeGuid("{00000000-0000-0000-0000-000000000001}");
    EXPECT_NE(bitmap.Save(ToUtf16(path), unknown), Ok);
    EXPECT_EQ(ReadFileBytes(path), "old content");
    EXPECT_NE(bitmap.Save(ToUtf16(dir / "no/such/folder/x.png"), unknown), Ok);
}

TEST(GPImage, MissingAndDamagedFilesFail)
{
    TempDir dir;
    TGPImage missing(ToUtf16(dir / "nothing.png"));
    EXPECT_EQ(missing.GetLastStatus(), FileNotFound);
    EXPECT_EQ(missing.GetWidth(), 0u);
    TGPImage damaged(ToUtf16(dir.Write("bad.png", "\x89PNG garbage")));
    EXPECT_EQ(damaged.GetLastStatus(), UnknownImageFormat);
}

TEST(GPImage, ScreenBitmapRoundTrip)
{
    TGPBitmap bitmap(3, 2);
    Paint(bitmap);
    const std::size_t before = ScreenBitmapCount();
    HBITMAP screen = kNullBitmap;
    ASSERT_EQ(bitmap.GetHBITMAP(MakeColor(255, 255, 255, 255), &screen), Ok);
    EXPECT_EQ(ScreenBitmapCount(), before + 1);
    const QImage back = GetScreenBitmap(screen);
    EXPECT_EQ(back.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(back.pixel(1, 0), 0xFFFFFFFFu) << "transparent comes back as the background";
    EXPECT_EQ(back.pixel(1, 1), 0xFF00FF00u);
    EXPECT_TRUE(DeleteObject(screen));
    EXPECT_EQ(ScreenBitmapCount(), before);
}

TEST(GPImage, GraphicsOnBitmapsButNotOnIndexedOnes)
{
    TGPBitmap indexed(4, 4, PixelFormat8bppIndexed);
    TGPGraphics onIndexed(&indexed);
    EXPECT_EQ(onIndexed.GetLastStatus(), OutOfMemory);
    EXPECT_EQ(onIndexed.GetNativeGraphics(), nullptr);

    TGPBitmap bitmap(4, 4);
    ARGB pixel = 0;
    {
        TGPGraphics g(&bitmap);
        ASSERT_EQ(g.GetLastStatus(), Ok);
        EXPECT_EQ(g.Clear(MakeColor(255, 1, 2, 3)), Ok);
        TGPGraphics second(&bitmap);
        EXPECT_EQ(second.GetLastStatus(), ObjectBusy);
    }
    bitmap.GetPixel(3, 3, &pixel);
    EXPECT_EQ(pixel, 0xFF010203u);
    TGPGraphics none(static_cast<TGPImage*>(nullptr));
    EXPECT_EQ(none.GetNativeGraphics(), nullptr);
    EXPECT_EQ(none.GetLastStatus(), Ok);
}

TEST(GPImage, ColourKeyedDrawLeavesKeyedPixelsTransparent)
{
    TGPBitmap source(4, 1);
    source.SetPixel(0, 0, 0xFF00FF00u);  // keyed
    source.SetPixel(1, 0, 0xFF10F010u);  // keyed: inside the range
    source.SetPixel(2, 0, 0xFFFF0000u);
    source.SetPixel(3, 0, 0xFF00FF00u);
    TGPImageAttributes attributes;
    ASSERT_EQ(attributes.SetColorKey(0xFF00E000u, 0xFF20FF20u), Ok);

    TGPBitmap target(4, 1);
    {
        TGPGraphics g(&target);
        EXPECT_EQ(g.DrawImage(&source, TGPRectF{0, 0, 4, 1}, 0, 0, 4, 1, UnitPixel, &attributes), Ok);
    }
    ARGB pixel = 1;
    for (int x : {0, 1, 3}) {
        target.GetPixel(x, 0, &pixel);
        EXPECT_EQ(pixel >> 24, 0u) << x;
    }
    target.GetPixel(2, 0, &pixel);
    EXPECT_EQ(pixel, 0xFFFF0000u);
    // The source itself is untouched.
    source.GetPixel(0, 0, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);
}

TEST(GPImage, AttributesRecolourACopy)
{
    TGPImageAttributes attributes;
    ColorMatrix grey{};
    for (int c = 0; c < 3; ++c) {
        grey.m[0][c] = 0.299f;
        grey.m[1][c] = 0.587f;
        grey.m[2][c] = 0.114f;
    }
    grey.m[3][3] = 1;
    grey.m[4][4] = 1;
    attributes.SetColorMatrix(grey);
    const ColorMap swap{0xFF0000FFu, 0xFFFFFF00u};
    attributes.SetRemapTable(1, &swap, ColorAdjustTypeBitmap);
    ColorPalette palette{0, 1, {0xFFFF0000u}};
    EXPECT_EQ(attributes.GetAdjustedPalette(&palette, ColorAdjustTypeDefault), Ok);
    EXPECT_EQ(palette.Entries[0], 0xFF4C4C4Cu);
    palette.Entries[0] = 0xFF0000FFu;
    attributes.GetAdjustedPalette(&palette, ColorAdjustTypeBitmap);
    EXPECT_EQ(palette.Entries[0], 0xFFFFFF00u) << "the bitmap's own settings replace the default ones";
    EXPECT_EQ(attributes.GetAdjustedPalette(&palette, ColorAdjustTypeAny), InvalidParameter);
    TGPImageAttributes* clone = attributes.Clone();
    EXPECT_EQ(clone->GetLastStatus(), InvalidParameter) << "the clone carries the kept failure";
    delete clone;
}

TEST(GPImage, StreamOfAPictureLoadsAsABitmap)
{
    QImage picture(5, 4, QImage::Format_RGB32);
    picture.fill(qRgb(12, 34, 56));
    auto stream = CreateStream(picture);
    TGPBitmap bitmap(stream.get());
    ASSERT_EQ(bitmap.GetLastStatus(), Ok);
    EXPECT_EQ(bitmap.GetFormat(), ifBMP);
    ARGB pixel = 0;
    bitmap.GetPixel(4, 3, &pixel);
    EXPECT_EQ(pixel, 0xFF0C2238u);
    EXPECT_THROW(CreateStream(QImage()), Exception);
}

TEST(GPImage, RotateFlipTurnsClockwise)
{
    TGPBitmap bitmap(2, 1);
    bitmap.SetPixel(0, 0, 0xFFFF0000u);
    bitmap.SetPixel(1, 0, 0xFF0000FFu);
    ASSERT_EQ(bitmap.RotateFlip(Rotate90FlipNone), Ok);
    EXPECT_EQ(bitmap.GetWidth(), 1u);
    EXPECT_EQ(bitmap.GetHeight(), 2u);
    ARGB top = 0;
    bitmap.GetPixel(0, 0, &top);
    EXPECT_EQ(top, 0xFFFF0000u);
    bitmap.RotateFlip(Rotate90FlipX);  // now 2 × 1 again, mirrored
    bitmap.GetPixel(0, 0, &top);
    EXPECT_EQ(top, 0xFFFF0000u);
}

TEST(GPColor, ColourHelpers)
{
    EXPECT_EQ(ColorToARGB(colors::clBtnFace), 0xFFF0F0F0u);
    EXPECT_EQ(ColorToARGB(colors::clHighlight), 0xFF0078D7u);
    EXPECT_EQ(ColorToARGB(colors::clRed), 0xFFFF0000u);
    EXPECT_EQ(MakeColor(128, colors::clBlue), 0x800000FFu);
    EXPECT_EQ(MakeColor(1, 2, 3), 0xFF010203u);
    EXPECT_EQ(GetRed(0x80112233u), 0x11);
    EXPECT_EQ(GetAlpha(0x80112233u), 0x80);
    EXPECT_EQ(ColorToRGB(colors::clWindow), 0xFFFFFF);

    struct Case {
        int a, b, c, want;
    };
    for (const Case& c : {Case{10, 96, 72, 13}, Case{-13, 72, 96, -10}, Case{5, 3, 2, 8}, Case{-5, 3, 2, -8},
                          Case{1, 1, 0, -1}, Case{0x7FFFFFFF, 2, 1, -1}})
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
    for (auto [value, want] : {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.6, 3}})
        EXPECT_EQ(RoundHalfEven(value), want) << value;
}

TEST(GPImage, EveryEncoderWritesWhatItsFormatReads)
{
    TGPBitmap bitmap(24, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            bitmap.SetPixel(x, y, MakeColor(255, uint8_t(x * 10), uint8_t(y * 15), uint8_t((x * y) % 256)));
    const std::pair<TImageType, TGPImageFormat> kinds[] = {
        {itPNG, ifPNG}, {itBMP, ifBMP}, {itJPEG, ifJPEG}, {itTIFF, ifTIFF}};
    for (auto [type, format] : kinds) {
        CLSID encoder;
        ASSERT_TRUE(GetCLSID(type, &encoder)) << type;
        TMemoryStream stream;
        ASSERT_EQ(bitmap.Save(&stream, encoder), Ok) << type;
        stream.SetPosition(0);
        TGPImage back(&stream);
        ASSERT_EQ(back.GetLastStatus(), Ok) << type;
        EXPECT_EQ(back.GetFormat(), format);
        EXPECT_EQ(back.GetWidth(), 24u);
    }
    // The quality parameter reaches the JPEG writer.
    CLSID jpeg;
    GetCLSID(itJPEG, &jpeg);
    TMemoryStream low, high;
    bitmap.Save(&low, jpeg, &GetEncoderQualityParameters(5)->params);
    bitmap.Save(&high, jpeg, &GetEncoderQualityParameters(300)->params);
    EXPECT_LT(low.GetSize(), high.GetSize());
    EXPECT_EQ(GetEncoderQualityParameters(300)->quality, 100u);
}

TEST(GPImage, WholePixelPlacesCopyPixelsAndFractionalOnesStaySmooth)
{
    // Half-transparent and opaque pixels, drawn over a coloured ground.
    TGPBitmap bitmap(6, 4, PixelFormat32bppARGB);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            bitmap.SetPixel(x, y, (x + y) % 2 ? 0x80FF0000u : 0xFF0000FFu);
    const QImage pixels = bitmap.NativeBitmap()->image;
    auto drawn = [&](float x, float y, float w, float h) {
        DrawingSurface s(20, 12, qRgb(0, 200, 0));
        s.G().SetInterpolationMode(InterpolationModeHighQualityBicubic);
        EXPECT_EQ(Ok, s.G().DrawImage(&bitmap, x, y, w, h));
        return s.Finish().copy();
    };
    QImage expected(20, 12, QImage::Format_ARGB32);
    expected.fill(qRgb(0, 200, 0));
    {
        QPainter p(&expected);
        p.drawImage(QPoint(3, 5), pixels);
    }
    EXPECT_EQ(expected, drawn(3, 5, 6, 4));
    // Half a pixel off, neighbours are mixed: no pixel of the picture is
    // copied as it is at the first column.
    const QImage shifted = drawn(3.5f, 5, 6, 4);
    EXPECT_NE(expected, shifted);
    EXPECT_FALSE(Near(expected.pixel(4, 5), shifted.pixel(4, 5), 20)) << std::hex << shifted.pixel(4, 5);
}
