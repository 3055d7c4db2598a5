#pragma once
// Pictures on screen: the image's screen bitmap (transparent pictures laid
// over white) turned into a QPixmap, or encoded for controls that take a
// picture file. Main thread only.
#include <QPixmap>

class TFreeWinBitmap;
class TStream;

// A pixmap of the image's screen bitmap; the handle lives only for the copy.
// Null without an image.
QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap);

// The screen bitmap as a BMP file written at the stream's position, for the
// strip's thumbnails; false without an image.
bool SaveScreenImage(const TFreeWinBitmap& bitmap, TStream& stream);
