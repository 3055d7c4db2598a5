#pragma once
// Flat calls on images and bitmaps. None needs a QGuiApplication.
#include <QByteArray>

#include "platform/gdiplus/GdiPlusTypes.h"
#include "platform/gdiplus/GpImage.h"
#include "platform/gdiplus/ScreenBitmap.h"

GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipCloneImage(GpImage* image, GpImage** clone);

// With a null `scan0` the bitmap owns zero-filled pixels (stride is then
// ignored); otherwise it draws straight into the caller's buffer, which must
// outlive it. A width or height of 0 or less is InvalidParameter.
GpStatus GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap);

// Composites the bitmap over `background` into a new screen bitmap, so pixels
// that are transparent come out as the background colour.
GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbmReturn, ARGB background);

GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
GpStatus GdipGetImageRawFormat(GpImage* image, GUID* format);

GpStatus GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color);
GpStatus GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color);

// Decodes encoded image bytes (any format Qt reads) into a new bitmap holding
// the first frame; the bytes are kept for frame selection.
// GdiplusNotInitialized while the layer is stopped, UnknownImageFormat for
// bytes nothing decodes.
GpStatus DecodeImageBytes(const QByteArray& bytes, GpBitmap** bitmap);

// What Qt's readers are given of encoded bytes: no metadata their own
// readers would parse, nothing that would cost far more work than the
// picture (see TDecoderInput). Null when the picture is refused outright.
QByteArray BytesForDecoder(const QByteArray& bytes);

// Reads and decodes a whole file (UTF-16 name) as DecodeImageBytes does;
// FileNotFound when there is no such file. Only a regular file is read, and
// one whose size alone is over what decoding may take is refused
// (OutOfMemory); a FIFO, device or folder is Win32Error.
GpStatus DecodeImageFile(const WCHAR* filename, GpBitmap** bitmap);
