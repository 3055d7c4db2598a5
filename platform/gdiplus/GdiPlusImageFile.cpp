#include "platform/gdiplus/GdiPlusImageFile.h"

#include <QBuffer>
#include <QImageReader>
#include <new>

#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "platform/gdiplus/SrgbImage.h"

namespace {

GUID DimensionOf(const GpImage& image)
{
    if (image.rawFormat == ImageFormatGIF)
        return FrameDimensionTime;
    if (image.rawFormat == ImageFormatIcon)
        return FrameDimensionResolution;
    return FrameDimensionPage;
}

// Frame `index` of the encoded bytes. Readers that cannot jump (GIF) are
// read frame by frame, which also composes each frame over the ones before
// it as an animation shows them.
QImage DecodeFrame(const QByteArray& file, const QByteArray& format, UINT index)
{
    const QByteArray encoded = BytesForDecoder(file);
    if (encoded.isNull())
        return QImage();
    {
        QBuffer buffer;
        buffer.setData(encoded);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        if (reader.jumpToImage(static_cast<int>(index)))
            return reader.read();
    }
    QBuffer buffer;
    buffer.setData(encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage frame;
    for (UINT i = 0; i <= index; ++i) {
        frame = reader.read();
        if (frame.isNull())
            return QImage();
    }
    return frame;
}

} // namespace

GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = nullptr;
    if (!filename || !*filename)
        return InvalidParameter;
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    return DecodeImageFile(filename, bitmap);
}

GpStatus GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count)
{
    if (!image || !count)
        return InvalidParameter;
    *count = 1;
    return Ok;
}

GpStatus GdipImageGetFrameDimensionsList(GpImage* image, GUID* dimensionIDs, UINT count)
{
    if (!image || !dimensionIDs || count != 1)
        return InvalidParameter;
    dimensionIDs[0] = DimensionOf(*image);
    return Ok;
}

GpStatus GdipImageGetFrameCount(GpImage* image, const GUID* dimensionID, UINT* count)
{
    if (!image || !dimensionID || !count || !(*dimensionID == DimensionOf(*image)))
        return InvalidParameter;
    *count = image->frameCount;
    return Ok;
}

GpStatus GdipImageSelectActiveFrame(GpImage* image, const GUID* dimensionID, UINT frameIndex)
{
    if (!image || !dimensionID || !(*dimensionID == DimensionOf(*image)) || frameIndex >= image->frameCount)
        return InvalidParameter;
    if (image->busy)
        return ObjectBusy;
    if (frameIndex == image->activeFrame)
        return Ok;
    try {
        QImage frame = DecodeFrame(image->encoded, image->readerFormat, frameIndex);
        if (frame.isNull())
            return UnknownImageFormat;
        ImageToSrgb(frame, image->encoded, frameIndex);
        image->pixelFormat = PixelFormatOfQImage(frame.format());
        image->image = std::move(frame);
        image->activeFrame = frameIndex;
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}
