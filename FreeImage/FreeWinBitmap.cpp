#include "FreeImage/FreeWinBitmap.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstring>

TFreeWinBitmap::TFreeWinBitmap(FREE_IMAGE_TYPE imageType, int width, int height, int bpp)
    : TFreeBitmap(imageType, width, height, bpp)
{
}

namespace {

// An opaque screen image of a library image of any kind, top row first;
// null when it cannot be made. A transparent image is laid over white, as a
// page with no background of its own shows it: its transparent pixels hold
// colours nobody meant to be seen (mostly black, which would swallow black
// lines and text).
QImage OpaqueImageOf(FIBITMAP* dib)
{
    const bool transparent = FreeImage_IsTransparent(dib) != FALSE;
    FIBITMAP* standard = nullptr;
    if (FreeImage_GetImageType(dib) != FIT_BITMAP) {
        standard = FreeImage_ConvertToStandardType(dib, TRUE);
        if (!standard)
            return QImage();
    }
    FIBITMAP* pixels = FreeImage_ConvertTo32Bits(standard ? standard : dib);
    if (standard)
        FreeImage_Unload(standard);
    if (!pixels)
        return QImage();

    const int width = static_cast<int>(FreeImage_GetWidth(pixels));
    const int height = static_cast<int>(FreeImage_GetHeight(pixels));
    QImage image(width, height, QImage::Format_ARGB32);
    if (!image.isNull()) {
        // The library keeps the bottom row first; a screen bitmap starts at the top.
        for (int y = 0; y < height; ++y) {
            const BYTE* in = FreeImage_GetScanLine(pixels, height - 1 - y);
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x, in += 4) {
                if (!transparent) {
                    out[x] = qRgb(in[FI_RGBA_RED], in[FI_RGBA_GREEN], in[FI_RGBA_BLUE]);
                    continue;
                }
                const int alpha = in[FI_RGBA_ALPHA];
                const auto overWhite = [alpha](int c) { return (c * alpha + 255 * (255 - alpha) + 127) / 255; };
                out[x] = qRgb(overWhite(in[FI_RGBA_RED]), overWhite(in[FI_RGBA_GREEN]), overWhite(in[FI_RGBA_BLUE]));
            }
        }
    }
    FreeImage_Unload(pixels);
    return image;
}

constexpr size_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr DWORD kBitFields = 3;  // colour masks follow the header

}  // namespace

HBITMAP TFreeWinBitmap::CopyToBitmapH() const
{
    if (!dib_)
        return kNullBitmap;
    const QImage image = OpaqueImageOf(dib_);
    return image.isNull() ? kNullBitmap : CreateScreenBitmap(image);
}

bool TFreeWinBitmap::Draw(QPainter& painter, const QRect& rect) const
{
    if (!dib_)
        return false;
    FIBITMAP* display = nullptr;
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib_);
    if (type == FIT_BITMAP) {
        if (FreeImage_IsTransparent(dib_) || FreeImage_HasBackgroundColor(dib_))
            display = FreeImage_Composite(dib_, FALSE, nullptr, nullptr);
    } else if (type == FIT_COMPLEX) {
        if (FIBITMAP* magnitude = FreeImage_GetComplexChannel(dib_, FICC_MAG)) {
            display = FreeImage_ConvertToStandardType(magnitude, TRUE);
            FreeImage_Unload(magnitude);
        }
        if (!display)
            return false;
    }
    const QImage image = OpaqueImageOf(display ? display : dib_);
    if (display)
        FreeImage_Unload(display);
    if (image.isNull())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect, image);
    painter.restore();
    return true;
}

std::vector<BYTE> TFreeWinBitmap::CopyToHandle() const
{
    if (!dib_)
        return {};
    const size_t paletteSize = GetPaletteSize();
    const size_t bitsSize = size_t(FreeImage_GetPitch(dib_)) * FreeImage_GetHeight(dib_);
    std::vector<BYTE> packed(kInfoHeaderSize + paletteSize + bitsSize, 0);
    BITMAPINFOHEADER header = *FreeImage_GetInfoHeader(dib_);
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib_);
    if (type != FIT_BITMAP)
        header.biCompression = type + 255;
    std::memcpy(packed.data(), &header, kInfoHeaderSize);
    if (paletteSize)
        std::memcpy(packed.data() + kInfoHeaderSize, FreeImage_GetPalette(dib_), paletteSize);
    std::memcpy(packed.data() + kInfoHeaderSize + paletteSize, FreeImage_GetBits(dib_), bitsSize);
    return packed;
}

bool TFreeWinBitmap::CopyFromHandle(const BYTE* data, size_t size)
{
    if (!data || size < kInfoHeaderSize)
        return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, kInfoHeaderSize);
    if (header.biWidth <= 0 || header.biHeight <= 0 || header.biBitCount == 0)
        return false;
    FREE_IMAGE_TYPE type = FIT_BITMAP;
    if (header.biCompression >= 2 + 255 && header.biCompression <= 12 + 255)
        type = static_cast<FREE_IMAGE_TYPE>(header.biCompression - 255);
    size_t at = kInfoHeaderSize;
    unsigned masks[3] = {0, 0, 0};
    if (header.biCompression == kBitFields) {
        if (size < at + sizeof masks)
            return false;
        std::memcpy(masks, data + at, sizeof masks);
        at += sizeof masks;
    }
    FIBITMAP* fresh = FreeImage_AllocateT(type, header.biWidth, header.biHeight, header.biBitCount, masks[0],
                                          masks[1], masks[2]);
    if (!fresh)
        return false;
    const size_t paletteSize = size_t(FreeImage_GetColorsUsed(fresh)) * sizeof(RGBQUAD);
    const size_t bitsSize = size_t(FreeImage_GetPitch(fresh)) * FreeImage_GetHeight(fresh);
    if (size - at < paletteSize + bitsSize) {
        FreeImage_Unload(fresh);
        return false;
    }
    if (paletteSize)
        std::memcpy(FreeImage_GetPalette(fresh), data + at, paletteSize);
    std::memcpy(FreeImage_GetBits(fresh), data + at + paletteSize, bitsSize);
    FreeImage_SetDotsPerMeterX(fresh, header.biXPelsPerMeter > 0 ? unsigned(header.biXPelsPerMeter) : 0);
    FreeImage_SetDotsPerMeterY(fresh, header.biYPelsPerMeter > 0 ? unsigned(header.biYPelsPerMeter) : 0);
    return Replace(fresh);
}

bool TFreeWinBitmap::CopyFromBitmap(HBITMAP bitmap)
{
    const QImage source = GetScreenBitmap(bitmap);
    if (source.isNull())
        return false;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    FIBITMAP* fresh = FreeImage_Allocate(image.width(), image.height(), 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK,
                                         FI_RGBA_BLUE_MASK);
    if (!fresh)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        BYTE* out = FreeImage_GetScanLine(fresh, image.height() - 1 - y);
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, out += 4) {
            out[FI_RGBA_RED] = BYTE(qRed(in[x]));
            out[FI_RGBA_GREEN] = BYTE(qGreen(in[x]));
            out[FI_RGBA_BLUE] = BYTE(qBlue(in[x]));
            out[FI_RGBA_ALPHA] = BYTE(qAlpha(in[x]));
        }
    }
    return Replace(fresh);
}
