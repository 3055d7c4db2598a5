#pragma once
// Pictures on screen: the image's screen bitmap (transparent pictures laid
// over white) as an image or a QPixmap. ScreenImage may run on any thread;
// pixmaps are made on the main thread only.
#include <QImage>
#include <QPixmap>

class TFreeWinBitmap;

// The screen bitmap; null without an image.
QImage ScreenImage(const TFreeWinBitmap& bitmap);

// A pixmap of the image's screen bitmap; the handle lives only for the copy.
// Null without an image.
QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap);

