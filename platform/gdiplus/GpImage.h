#pragma once
// The image object behind GpImage* / GpBitmap* handles.
//
// Pixels live in a QImage, which needs no QGuiApplication: image calls work in
// any process (the image add-on runs inside programs that have none).
// Multi-frame sources keep their encoded bytes so another frame can be decoded
// on request.
#include <QByteArray>
#include <QImage>

#include "platform/gdiplus/GdiPlusTypes.h"

struct GpImage {
    virtual ~GpImage() = default;

    QImage image;
    // The format reported to callers; follows `image` unless the source said
    // otherwise (a 4-bit file decodes into 8-bit pixels, for instance).
    PixelFormat pixelFormat = PixelFormat32bppARGB;
    GUID rawFormat = ImageFormatMemoryBMP;

    // Where the pixels came from, for frame selection: the encoded bytes, the
    // reader's format name, the frame count and the frame now in `image`.
    QByteArray encoded;
    QByteArray readerFormat;
    UINT frameCount = 1;
    UINT activeFrame = 0;

    // Set while a graphics draws into the image.
    bool busy = false;
};

struct GpBitmap : GpImage {};

// The pixel format callers see for pixels held in `format`.
PixelFormat PixelFormatOfQImage(QImage::Format format);

// The QImage format that holds pixels of `format`; Format_Invalid when none
// can (unknown or extended formats).
QImage::Format QImageFormatOfPixelFormat(PixelFormat format);

// Wraps decoded pixels into a new bitmap object with the given raw format.
GpBitmap* NewBitmapObject(QImage image, const GUID& rawFormat);
