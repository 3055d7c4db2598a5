#pragma once
// Pictures on screen: the image's screen bitmap turned into a QPixmap.
// Main thread only.
#include <QPixmap>

class TFreeWinBitmap;

// A pixmap of the image's screen bitmap; the handle lives only for the copy.
// Null without an image.
QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap);
