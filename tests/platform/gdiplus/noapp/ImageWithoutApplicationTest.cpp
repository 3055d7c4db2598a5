// The image calls run in processes that have no application object (the
// image add-on is loaded by foreign programs); this program has none either.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include "platform/gdiplus/GdiPlusFlat.h"
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"

TEST(ImageWithoutApplication, DecodesCompositesAndConverts)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);

    QImage source(3, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(255, 0, 0, 255));
    source.setPixel(1, 0, qRgba(0, 0, 0, 0));
    source.setPixel(2, 0, qRgba(0, 0, 255, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(source));

    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(DecodeImageBytes(png, &bitmap), Ok);
    GUID raw;
    EXPECT_EQ(GdipGetImageRawFormat(bitmap, &raw), Ok);
    EXPECT_EQ(raw, ImageFormatPNG);

    const std::size_t before = ScreenBitmapCount();
    HBITMAP screen = kNullBitmap;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(bitmap, &screen, 0xFFFFFFFFu), Ok);
    const QImage back = GetScreenBitmap(screen);
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(back.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(back.pixel(2, 0), qRgb(0, 0, 255));
    EXPECT_TRUE(DeleteObject(screen));
    EXPECT_EQ(ScreenBitmapCount(), before);

    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    GdiplusShutdown(token);
    EXPECT_FALSE(GdiplusIsRunning());
}

TEST(ImageWithoutApplication, DrawsShapesButFindsNoFonts)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(10, 10, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipGetImageGraphicsContext(bitmap, &graphics), Ok);
    GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFF336699u, &brush);
    EXPECT_EQ(GdipFillRectangleI(graphics, brush, 2, 2, 4, 4), Ok);
    GpFontFamily* family = nullptr;
    EXPECT_EQ(GdipCreateFontFamilyFromName(u"Arial", nullptr, &family), GdiplusNotInitialized);
    EXPECT_EQ(family, nullptr);
    GdipDeleteBrush(brush);
    EXPECT_EQ(GdipDeleteGraphics(graphics), Ok);
    ARGB inside = 0, outside = 1;
    GdipBitmapGetPixel(bitmap, 5, 5, &inside);
    GdipBitmapGetPixel(bitmap, 6, 6, &outside);
    EXPECT_EQ(inside, 0xFF336699u);
    EXPECT_EQ(outside, 0u);
    GdipDisposeImage(bitmap);
    GdiplusShutdown(token);
}
