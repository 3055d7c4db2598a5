#include "platform/gdiplus/GdiPlusImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <new>

#include "platform/gdiplus/GdiPlusStartup.h"
#include "platform/gdiplus/SrgbImage.h"
#include "platform/icm/JpegSegments.h"
#include "platform/picture/DecoderInput.h"

PixelFormat PixelFormatOfQImage(QImage::Format format)
{
    switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return PixelFormat1bppIndexed;
    case QImage::Format_Indexed8:
        return PixelFormat8bppIndexed;
    case QImage::Format_Grayscale16:
        return PixelFormat16bppGrayScale;
    case QImage::Format_RGB555:
        return PixelFormat16bppRGB555;
    case QImage::Format_RGB16:
        return PixelFormat16bppRGB565;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return PixelFormat24bppRGB;
    case QImage::Format_RGB32:
    case QImage::Format_RGBX8888:
        return PixelFormat32bppRGB;
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBA8888_Premultiplied:
        return PixelFormat32bppPARGB;
    case QImage::Format_RGBX64:
        return PixelFormat48bppRGB;
    case QImage::Format_RGBA64:
        return PixelFormat64bppARGB;
    case QImage::Format_RGBA64_Premultiplied:
        return PixelFormat64bppPARGB;
    default:
        return PixelFormat32bppARGB;
    }
}

QImage::Format QImageFormatOfPixelFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat1bppIndexed:
        return QImage::Format_Mono;
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
        return QImage::Format_Indexed8;
    case PixelFormat16bppGrayScale:
        return QImage::Format_Grayscale16;
    case PixelFormat16bppRGB555:
        return QImage::Format_RGB555;
    case PixelFormat16bppRGB565:
        return QImage::Format_RGB16;
    case PixelFormat16bppARGB1555:
        return QImage::Format_ARGB32;
    case PixelFormat24bppRGB:
        // Blue, green, red in memory, as callers handing us a buffer expect.
        return QImage::Format_BGR888;
    case PixelFormat32bppRGB:
        return QImage::Format_RGB32;
    case PixelFormat32bppARGB:
        return QImage::Format_ARGB32;
    case PixelFormat32bppPARGB:
        return QImage::Format_ARGB32_Premultiplied;
    case PixelFormat48bppRGB:
        return QImage::Format_RGBX64;
    case PixelFormat64bppARGB:
        return QImage::Format_RGBA64;
    case PixelFormat64bppPARGB:
        return QImage::Format_RGBA64_Premultiplied;
    default:
        return QImage::Format_Invalid;
    }
}

GpBitmap* NewBitmapObject(QImage image, const GUID& rawFormat)
{
    auto* bitmap = new (std::nothrow) GpBitmap;
    if (!bitmap)
        return nullptr;
    bitmap->pixelFormat = PixelFormatOfQImage(image.format());
    bitmap->image = std::move(image);
    bitmap->rawFormat = rawFormat;
    return bitmap;
}

namespace {

// The indexed formats start with a grey ramp, so a zero-filled bitmap is black.
void GiveDefaultPalette(QImage& image, PixelFormat format)
{
    if (!IsIndexedPixelFormat(format))
        return;
    const int colours = 1 << GetPixelFormatSize(format);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i) {
        const int grey = colours == 1 ? 0 : i * 255 / (colours - 1);
        table.append(qRgb(grey, grey, grey));
    }
    image.setColorTable(table);
}

}  // namespace

GpStatus GdipDisposeImage(GpImage* image)
{
    if (!image)
        return InvalidParameter;
    if (image->busy)
        return ObjectBusy;
    delete image;
    return Ok;
}

GpStatus GdipCloneImage(GpImage* image, GpImage** clone)
{
    if (!image || !clone)
        return InvalidParameter;
    auto* copy = new (std::nothrow) GpBitmap;
    if (!copy)
        return OutOfMemory;
    copy->image = image->image.copy();
    copy->pixelFormat = image->pixelFormat;
    copy->rawFormat = image->rawFormat;
    copy->encoded = image->encoded;
    copy->readerFormat = image->readerFormat;
    copy->frameCount = image->frameCount;
    copy->activeFrame = image->activeFrame;
    *clone = copy;
    return Ok;
}

GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (width <= 0 || height <= 0)
        return InvalidParameter;
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    const QImage::Format qformat = QImageFormatOfPixelFormat(format);
    if (qformat == QImage::Format_Invalid)
        return InvalidParameter;
    QImage image;
    if (scan0) {
        // Formats whose memory layout Qt cannot share are refused rather than
        // drawn into a copy the caller would never see.
        const bool layoutMatches = format != PixelFormat4bppIndexed && format != PixelFormat16bppARGB1555 &&
                                   format != PixelFormat48bppRGB && format != PixelFormat64bppARGB &&
                                   format != PixelFormat64bppPARGB;
        if (!layoutMatches)
            return NotImplemented;
        const qsizetype minimumStride = (qsizetype(width) * GetPixelFormatSize(format) + 7) / 8;
        if (stride < minimumStride)
            return InvalidParameter;
        image = QImage(scan0, width, height, stride, qformat);
    } else {
        image = QImage(width, height, qformat);
        if (image.isNull())
            return OutOfMemory;
        image.fill(0);
    }
    if (image.isNull())
        return OutOfMemory;
    GiveDefaultPalette(image, format);
    GpBitmap* made = NewBitmapObject(std::move(image), ImageFormatMemoryBMP);
    if (!made)
        return OutOfMemory;
    made->pixelFormat = format;
    *bitmap = made;
    return Ok;
}

GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbmReturn, ARGB background)
{
    if (!hbmReturn)
        return InvalidParameter;
    *hbmReturn = kNullBitmap;
    if (!bitmap || bitmap->image.isNull())
        return InvalidParameter;
    QImage composed(bitmap->image.size(), QImage::Format_ARGB32_Premultiplied);
    if (composed.isNull())
        return OutOfMemory;
    composed.fill(QColor::fromRgba(background));
    {
        QPainter painter(&composed);
        painter.drawImage(0, 0, bitmap->image);
    }
    const HBITMAP handle = CreateScreenBitmap(composed);
    if (handle == kNullBitmap)
        return OutOfMemory;
    *hbmReturn = handle;
    return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width)
{
    if (!image || !width)
        return InvalidParameter;
    *width = static_cast<UINT>(image->image.width());
    return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height)
{
    if (!image || !height)
        return InvalidParameter;
    *height = static_cast<UINT>(image->image.height());
    return Ok;
}

GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format)
{
    if (!image || !format)
        return InvalidParameter;
    *format = image->pixelFormat;
    return Ok;
}

GpStatus GdipGetImageRawFormat(GpImage* image, GUID* format)
{
    if (!image || !format)
        return InvalidParameter;
    *format = image->rawFormat;
    return Ok;
}

GpStatus GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color)
{
    if (!bitmap || !color || !bitmap->image.valid(x, y))
        return InvalidParameter;
    *color = bitmap->image.pixelColor(x, y).rgba();
    return Ok;
}

GpStatus GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color)
{
    if (!bitmap || !bitmap->image.valid(x, y))
        return InvalidParameter;
    // Indexed pixels would need a palette search; they are not set.
    if (IsIndexedPixelFormat(bitmap->pixelFormat))
        return InvalidParameter;
    bitmap->image.setPixelColor(x, y, QColor::fromRgba(color));
    return Ok;
}

namespace {

GUID RawFormatOfReader(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    if (lower == "png")
        return ImageFormatPNG;
    if (lower == "jpeg" || lower == "jpg")
        return ImageFormatJPEG;
    if (lower == "gif")
        return ImageFormatGIF;
    if (lower == "bmp" || lower == "dib")
        return ImageFormatBMP;
    if (lower == "tif" || lower == "tiff")
        return ImageFormatTIFF;
    if (lower == "ico" || lower == "cur")
        return ImageFormatIcon;
    return ImageFormatUndefined;
}

// The format callers see for a decoded file, from what the reader says the
// file holds: colour without alpha is 24-bit, grey is 8-bit indexed.
PixelFormat PixelFormatOfSource(QImage::Format sourceFormat, const QImage& decoded)
{
    switch (sourceFormat) {
    case QImage::Format_Invalid:
        return PixelFormatOfQImage(decoded.format());
    case QImage::Format_RGB32:
    case QImage::Format_RGB888:
        return PixelFormat24bppRGB;
    case QImage::Format_Grayscale8:
        return PixelFormat8bppIndexed;
    default:
        return PixelFormatOfQImage(sourceFormat);
    }
}

}  // namespace

QByteArray BytesForDecoder(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const TDecoderInput input(data, size_t(bytes.size()));
    if (!input.Refusal().empty())
        return QByteArray();
    if (input.Data() == data)
        return bytes;
    return QByteArray(reinterpret_cast<const char*>(input.Data()), qsizetype(input.Size()));
}

GpStatus DecodeImageBytes(const QByteArray& bytes, GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    // The colour profile and the check for a JPEG cut short read the file
    // itself; the reader gets what decoding needs.
    const QByteArray forDecoder = BytesForDecoder(bytes);
    if (forDecoder.isNull())
        return UnknownImageFormat;
    QBuffer buffer;
    buffer.setData(forDecoder);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    // The TIFF reader counts one page only once the pixel format has been
    // asked for, so the count comes first.
    const int count = reader.imageCount();
    const QImage::Format sourceFormat = reader.imageFormat();
    const QSize size = reader.size();
    // A JPEG cut short would come out with grey rows in place of the lost ones.
    if (format == "jpeg" && !JpegReachesItsEnd(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())))
        return UnknownImageFormat;
    QImage image = reader.read();
    if (image.isNull()) {
        // Qt's reader refuses pictures above its allocation limit; say so
        // rather than calling a valid file unreadable.
        const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
        if (!format.isEmpty() && size.isValid() && limit > 0 && qint64(size.width()) * size.height() * 4 > limit)
            return OutOfMemory;
        return UnknownImageFormat;
    }
    ImageToSrgb(image, bytes);
    const PixelFormat pixelFormat = PixelFormatOfSource(sourceFormat, image);
    GpBitmap* made = NewBitmapObject(std::move(image), RawFormatOfReader(format));
    if (!made)
        return OutOfMemory;
    made->pixelFormat = pixelFormat;
    made->encoded = bytes;
    made->readerFormat = format;
    made->frameCount = count > 0 ? static_cast<UINT>(count) : 1;
    made->activeFrame = 0;
    *bitmap = made;
    return Ok;
}
