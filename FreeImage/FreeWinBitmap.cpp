#include "FreeImage/FreeWinBitmap.h"

#include <QImage>

TFreeWinBitmap::TFreeWinBitmap(FREE_IMAGE_TYPE imageType, int width, int height, int bpp)
    : TFreeBitmap(imageType, width, height, bpp)
{
}

HBITMAP TFreeWinBitmap::CopyToBitmapH() const
{
    if (!dib_)
        return kNullBitmap;

    FIBITMAP* standard = nullptr;
    if (FreeImage_GetImageType(dib_) != FIT_BITMAP) {
        standard = FreeImage_ConvertToStandardType(dib_, TRUE);
        if (!standard)
            return kNullBitmap;
    }
    FIBITMAP* pixels = FreeImage_ConvertTo32Bits(standard ? standard : dib_);
    if (standard)
        FreeImage_Unload(standard);
    if (!pixels)
        return kNullBitmap;

    const int width = static_cast<int>(FreeImage_GetWidth(pixels));
    const int height = static_cast<int>(FreeImage_GetHeight(pixels));
    QImage image(width, height, QImage::Format_ARGB32);
    if (!image.isNull()) {
        // The library keeps the bottom row first; a screen bitmap starts at the top.
        for (int y = 0; y < height; ++y) {
            const BYTE* in = FreeImage_GetScanLine(pixels, height - 1 - y);
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x, in += 4)
                out[x] = qRgb(in[FI_RGBA_RED], in[FI_RGBA_GREEN], in[FI_RGBA_BLUE]);
        }
    }
    FreeImage_Unload(pixels);
    return image.isNull() ? kNullBitmap : CreateScreenBitmap(image);
}
