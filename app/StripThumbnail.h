#pragma once
// The page strip's picture of an artwork: the decoded image scaled straight
// down to the size the strip draws it at. Nothing is encoded on the way, so
// a large picture costs one rescale, not a BMP copy and a second decode.
//
// The size is read from the strip on the main thread; Make may then run on
// any thread, so that many thumbnails can be made on workers at once.
#include <QImage>

class TFreeWinBitmap;
class TSmoothImageListBox;
class TSmoothImageListBoxItem;

class StripThumbnail {
public:
    // Main thread: the image area of the strip's cells and its fitting rules.
    explicit StripThumbnail(TSmoothImageListBox* strip);

    // Any thread, one picture per thread at a time: the picture fitted into
    // the image area, scaled down and drawn over white as the picture draws
    // itself everywhere on screen. Null for an empty picture.
    QImage Make(TFreeWinBitmap& picture) const;

    // Main thread: the item shows the thumbnail made of the picture (a null
    // thumbnail: the strip's default picture).
    void Show(TSmoothImageListBoxItem* item, const QImage& thumbnail, const TFreeWinBitmap* picture) const;

private:
    int width_ = 0;
    int height_ = 0;
    bool aspectRatio_ = true;
    bool shrinkOnly_ = false;
};
