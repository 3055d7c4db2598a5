#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <atomic>
#include <thread>
#include <vector>

#include <QPainter>

#include "platform/gdiplus/GdiPlusFlat.h"
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "tests/platform/gdiplus/LayerStarted.h"

namespace {

QByteArray Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

}  // namespace

TEST(GdiplusStartup, RefusesBadRequests)
{
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    GdiplusStartupOutput output;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 2;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = 1;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), InvalidParameter) << "the hooks have nowhere to go";
    EXPECT_FALSE(GdiplusIsRunning());

    ASSERT_EQ(GdiplusStartup(&token, &input, &output), Ok);
    ASSERT_NE(output.NotificationHook, nullptr);
    ULONG_PTR hookToken = 0;
    EXPECT_EQ(output.NotificationHook(&hookToken), Ok);
    output.NotificationUnhook(hookToken);
    GdiplusShutdown(token);
    EXPECT_FALSE(GdiplusIsRunning());
}

TEST(GdiplusStartup, RunsUntilEveryStartIsShutDown)
{
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat32bppARGB, nullptr, &bitmap), GdiplusNotInitialized);
    EXPECT_EQ(bitmap, nullptr);

    GdiplusStartupInput input;
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    GdiplusShutdown(first);  // a second shut-down of one token ends nothing more
    GdiplusShutdown(0xBADu);
    EXPECT_TRUE(GdiplusIsRunning());
    ASSERT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GdiplusShutdown(second);
    EXPECT_FALSE(GdiplusIsRunning());
    // Objects outlive the layer's run; only new ones are refused.
    ARGB pixel = 1;
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 0, 0, &pixel), Ok);
    EXPECT_EQ(pixel, 0u);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST(GdiplusStartup, EightThreadsStartAndStopAtOnce)
{
    constexpr int kThreads = 8;
    const std::size_t before = ScreenBitmapCount();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &failures] {
            for (int round = 0; round < 50; ++round) {
                ULONG_PTR token = 0;
                GdiplusStartupInput input;
                if (GdiplusStartup(&token, &input, nullptr) != Ok) {
                    ++failures;
                    continue;
                }
                GpBitmap* bitmap = nullptr;
                HBITMAP screen = kNullBitmap;
                ARGB colour = 0xFF000000u | static_cast<ARGB>(t * 16 + round % 16);
                if (GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok ||
                    GdipBitmapSetPixel(bitmap, 1, 1, colour) != Ok ||
                    GdipCreateHBITMAPFromBitmap(bitmap, &screen, 0xFFFFFFFFu) != Ok ||
                    GetScreenBitmap(screen).pixel(1, 1) != colour)
                    ++failures;
                DeleteObject(screen);
                GdipDisposeImage(bitmap);
                GdiplusShutdown(token);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_FALSE(GdiplusIsRunning());
    EXPECT_EQ(ScreenBitmapCount(), before);

    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat24bppRGB, nullptr, &bitmap), Ok);
    GdipDisposeImage(bitmap);
    GdiplusShutdown(token);
}

using ImageObject = LayerStarted;

TEST_F(ImageObject, BitmapFromSizeIsZeroFilledAndRefusesEmptySizes)
{
    struct Case {
        INT width, height;
        PixelFormat format;
        GpStatus expected;
    };
    const Case cases[] = {
        {3, 2, PixelFormat32bppARGB, Ok},      {3, 2, PixelFormat24bppRGB, Ok},
        {3, 2, PixelFormat8bppIndexed, Ok},    {0, 2, PixelFormat32bppARGB, InvalidParameter},
        {3, -1, PixelFormat32bppARGB, InvalidParameter}, {3, 2, 0x12345, InvalidParameter},
    };
    for (const Case& c : cases) {
        GpBitmap* bitmap = nullptr;
        EXPECT_EQ(GdipCreateBitmapFromScan0(c.width, c.height, 0, c.format, nullptr, &bitmap), c.expected)
            << c.width << "x" << c.height << " format " << std::hex << c.format;
        if (c.expected != Ok) {
            EXPECT_EQ(bitmap, nullptr);
            continue;
        }
        UINT w = 0, h = 0;
        PixelFormat format = 0;
        GUID raw;
        GdipGetImageWidth(bitmap, &w);
        GdipGetImageHeight(bitmap, &h);
        GdipGetImagePixelFormat(bitmap, &format);
        GdipGetImageRawFormat(bitmap, &raw);
        EXPECT_EQ(w, UINT(c.width));
        EXPECT_EQ(h, UINT(c.height));
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(raw, ImageFormatMemoryBMP);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                ARGB pixel = 1;
                EXPECT_EQ(GdipBitmapGetPixel(bitmap, x, y, &pixel), Ok);
                EXPECT_EQ(pixel & 0x00FFFFFFu, 0u);
                if (c.format == PixelFormat32bppARGB) {
                    EXPECT_EQ(pixel, 0u) << "zero-filled means transparent black";
                }
            }
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

TEST_F(ImageObject, BitmapOverCallerMemoryWritesIntoIt)
{
    // 2 pixels wide, 32-bit ARGB: blue, green, red, alpha in memory, rows 12 bytes apart.
    std::vector<BYTE> memory(24, 0);
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 12, PixelFormat32bppARGB, memory.data(), &bitmap), Ok);
    EXPECT_EQ(GdipBitmapSetPixel(bitmap, 1, 1, 0x80112233u), Ok);
    EXPECT_EQ(memory[12 + 4], 0x33);
    EXPECT_EQ(memory[12 + 5], 0x22);
    EXPECT_EQ(memory[12 + 6], 0x11);
    EXPECT_EQ(memory[12 + 7], 0x80);
    GdipDisposeImage(bitmap);

    GpBitmap* tooNarrow = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromScan0(4, 2, 12, PixelFormat32bppARGB, memory.data(), &tooNarrow),
              InvalidParameter);
}

TEST_F(ImageObject, PixelAccessChecksItsArguments)
{
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    ARGB pixel = 0;
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 2, 0, &pixel), InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(bitmap, 0, -1, &pixel), InvalidParameter);
    EXPECT_EQ(GdipBitmapSetPixel(bitmap, 0, 2, 0), InvalidParameter);
    EXPECT_EQ(GdipBitmapGetPixel(nullptr, 0, 0, &pixel), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(nullptr), InvalidParameter);
    GdipDisposeImage(bitmap);

    GpBitmap* indexed = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(2, 2, 0, PixelFormat8bppIndexed, nullptr, &indexed), Ok);
    EXPECT_EQ(GdipBitmapSetPixel(indexed, 0, 0, 0xFFFF0000u), InvalidParameter);
    GdipDisposeImage(indexed);
}

TEST_F(ImageObject, ScreenBitmapShowsTransparencyAsTheBackground)
{
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(3, 1, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GdipBitmapSetPixel(bitmap, 0, 0, 0xFF102030u);  // opaque: kept
    GdipBitmapSetPixel(bitmap, 1, 0, 0x00FFFFFFu);  // transparent: background
    GdipBitmapSetPixel(bitmap, 2, 0, 0x80FF0000u);  // half: a mix

    const std::size_t before = ScreenBitmapCount();
    HBITMAP screen = kNullBitmap;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(bitmap, &screen, 0xFF0000FFu), Ok);
    EXPECT_EQ(ScreenBitmapCount(), before + 1);
    const QImage back = GetScreenBitmap(screen);
    ASSERT_EQ(back.size(), QSize(3, 1));
    EXPECT_EQ(back.pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(back.pixel(1, 0), 0xFF0000FFu);
    const QColor mixed = back.pixelColor(2, 0);
    EXPECT_EQ(mixed.alpha(), 255);
    EXPECT_NEAR(mixed.red(), 128, 2);
    EXPECT_NEAR(mixed.blue(), 127, 2);
    EXPECT_TRUE(DeleteObject(screen));
    EXPECT_EQ(ScreenBitmapCount(), before);

    EXPECT_EQ(GdipCreateHBITMAPFromBitmap(nullptr, &screen, 0), InvalidParameter);
    EXPECT_EQ(screen, kNullBitmap);
    GdipDisposeImage(bitmap);
}

TEST_F(ImageObject, DecodesBytesAndReportsTheirFormat)
{
    QImage rgb(4, 3, QImage::Format_RGB32);
    rgb.fill(qRgb(10, 200, 30));
    QImage alpha(4, 3, QImage::Format_ARGB32);
    alpha.fill(qRgba(10, 200, 30, 100));
    struct Case {
        QByteArray bytes;
        GUID raw;
        bool hasAlpha;
    };
    const Case cases[] = {
        {Encode(alpha, "png"), ImageFormatPNG, true},
        {Encode(rgb, "bmp"), ImageFormatBMP, false},
        {Encode(rgb, "jpeg"), ImageFormatJPEG, false},
        {Encode(rgb, "tiff"), ImageFormatTIFF, false},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.isEmpty());
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(DecodeImageBytes(c.bytes, &bitmap), Ok);
        GUID raw;
        PixelFormat format = 0;
        UINT width = 0;
        GdipGetImageRawFormat(bitmap, &raw);
        GdipGetImagePixelFormat(bitmap, &format);
        GdipGetImageWidth(bitmap, &width);
        EXPECT_EQ(raw, c.raw) << GuidToString(c.raw);
        EXPECT_EQ(format, c.hasAlpha ? PixelFormat32bppARGB : PixelFormat24bppRGB) << std::hex << format;
        EXPECT_EQ(width, 4u);
        ARGB pixel = 0;
        GdipBitmapGetPixel(bitmap, 1, 1, &pixel);
        EXPECT_NEAR(int((pixel >> 8) & 0xFF), 200, 4);
        GdipDisposeImage(bitmap);
    }

    GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
    EXPECT_EQ(DecodeImageBytes(QByteArray("not an image at all"), &bitmap), UnknownImageFormat);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(DecodeImageBytes(QByteArray(), &bitmap), UnknownImageFormat);

    // A picture too large for the reader is a lack of memory, not a bad file.
    const int saved = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);  // 1 MB
    EXPECT_EQ(DecodeImageBytes(Encode(QImage(1024, 1024, QImage::Format_RGB32), "png"), &bitmap), OutOfMemory);
    QImageReader::setAllocationLimit(saved);
}

using GraphicsOnPainter = LayerStarted;

TEST_F(GraphicsOnPainter, HandsThePainterBackAsItWas)
{
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::red, 3));
    painter.translate(2, 3);
    painter.setClipRect(QRect(0, 0, 10, 10));
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(&painter, &graphics), Ok);
    GdipSetClipRect(graphics, 5, 5, 50, 50, CombineModeIntersect);
    HDC dc = nullptr;
    ASSERT_EQ(GdipGetDC(graphics, &dc), Ok);
    EXPECT_EQ(dc, &painter);
    // While the caller holds the painter the graphics refuses to draw.
    EXPECT_EQ(GdipGraphicsClear(graphics, 0xFF000000u), ObjectBusy);
    EXPECT_EQ(GdipReleaseDC(graphics, nullptr), InvalidParameter);
    EXPECT_EQ(GdipReleaseDC(graphics, dc), Ok);
    EXPECT_EQ(GdipGraphicsClear(graphics, 0xFF000000u), Ok);
    EXPECT_EQ(GdipDeleteGraphics(graphics), Ok);
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));
    EXPECT_EQ(painter.transform(), QTransform::fromTranslate(2, 3));
    EXPECT_EQ(painter.clipBoundingRect(), QRectF(0, 0, 10, 10));
    painter.end();
    // Cleared: the intersection of the painter's clip and the graphics' one,
    // both in the painter's translated coordinates.
    EXPECT_EQ(image.pixel(2 + 7, 3 + 7), 0xFF000000u);
    EXPECT_EQ(image.pixel(2 + 4, 3 + 7), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(2 + 10, 3 + 7), 0xFFFFFFFFu);
    GpGraphics* none = nullptr;
    EXPECT_EQ(GdipCreateFromHDC(&painter, &none), InvalidParameter) << "an ended painter draws nothing";
}
