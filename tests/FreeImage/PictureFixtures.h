#pragma once
// Small pictures made at test time, and a way to look at a wrapper's pixels
// top row first.
#include <FreeImage.h>

#include <QColor>
#include <QImage>
#include <string>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

// 4 x 3 pixels, dark grey, with a marked colour in each corner.
inline const QRgb kTopLeft = qRgb(255, 0, 0);
inline const QRgb kTopRight = qRgb(0, 255, 0);
inline const QRgb kBottomLeft = qRgb(0, 0, 255);
inline const QRgb kBottomRight = qRgb(255, 255, 255);
inline const QRgb kFill = qRgb(40, 40, 40);

inline QImage CornerImage()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(kFill);
    image.setPixel(0, 0, kTopLeft);
    image.setPixel(3, 0, kTopRight);
    image.setPixel(0, 2, kBottomLeft);
    image.setPixel(3, 2, kBottomRight);
    return image;
}

// What the wrapper shows on screen: its pixels with the top row first.
inline QImage Shown(const TFreeWinBitmap& bitmap)
{
    const HBITMAP handle = bitmap.CopyToBitmapH();
    QImage image = GetScreenBitmap(handle);
    DeleteObject(handle);
    return image;
}

// Corners of an image as (top-left, top-right, bottom-left, bottom-right).
struct Corners {
    QRgb topLeft, topRight, bottomLeft, bottomRight;
    bool operator==(const Corners&) const = default;
};

inline Corners CornersOf(const QImage& image)
{
    const int r = image.width() - 1, b = image.height() - 1;
    return {image.pixel(0, 0) | 0xFF000000u, image.pixel(r, 0) | 0xFF000000u,
            image.pixel(0, b) | 0xFF000000u, image.pixel(r, b) | 0xFF000000u};
}

inline void PrintTo(const Corners& c, std::ostream* os)
{
    *os << std::hex << "{" << c.topLeft << ", " << c.topRight << ", " << c.bottomLeft << ", "
        << c.bottomRight << "}";
}

// A 4-bit palette image of 4 x 2 pixels: top row red, bottom row blue.
inline FIBITMAP* FourBitColourDib()
{
    FIBITMAP* dib = FreeImage_Allocate(4, 2, 4);
    RGBQUAD* palette = FreeImage_GetPalette(dib);
    palette[1] = RGBQUAD{0, 0, 255, 0};  // blue, green, red order: red
    palette[2] = RGBQUAD{255, 0, 0, 0};  // blue
    for (unsigned x = 0; x < 4; ++x) {
        BYTE red = 1, blue = 2;
        FreeImage_SetPixelIndex(dib, x, 1, &red);   // library row 1 = top
        FreeImage_SetPixelIndex(dib, x, 0, &blue);  // library row 0 = bottom
    }
    return dib;
}
