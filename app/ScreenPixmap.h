#pragma once
// Pictures on screen: the image's screen bitmap (transparent pictures laid
// over white) as an image or a QPixmap, whole or shrunk to the size shown.
// The images may be made on any thread; pixmaps on the main thread only.
#include <QImage>
#include <QPixmap>
#include <QSize>

class QIODevice;
class TFreeWinBitmap;

// The screen bitmap; null without an image.
QImage ScreenImage(const TFreeWinBitmap& bitmap);

// A pixmap of the image's screen bitmap; the handle lives only for the copy.
// Null without an image.
QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap);


// The screen bitmap of the picture scaled to width x height with the box
// filter, which averages every source pixel under a screen pixel: no
// aliasing however far a camera picture shrinks, and the cheapest of the
// library's filters. Null without an image.
QImage ScaledScreenImage(TFreeWinBitmap& picture, int width, int height);

// The picture shrunk to fit into box, proportions kept, never enlarged.
QImage FittedScreenImage(TFreeWinBitmap& picture, const QSize& box);

// The picture file read no larger than box, proportions kept, turned
// upright as the artwork will be, over white; a JPEG is decoded straight at
// that size. Null when the reader knows no picture there. Only a regular
// file is opened: a FIFO or a device never blocks the caller.
QImage ReadFittedScreenImage(const QString& path, const QSize& box);
// The same from an open device.
QImage ReadFittedScreenImage(QIODevice& device, const QSize& box);
