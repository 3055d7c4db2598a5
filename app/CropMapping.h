#pragma once
// Where the crop dialog shows a picture and which picture edges its bars
// stand for. Pure functions, any thread.
#include <QSize>

// The edges of a crop in picture pixels: the region left <= x < right,
// top <= y < bottom. Crossed bars give left > right or top > bottom; they
// are passed on as they are, and the image library refuses an empty region.
struct CropEdges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const CropEdges&) const = default;
};

// The bar positions in display pixels: top and bottom run over the display
// height, left and right over the display width.
struct CropBars {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

// The size a picture is shown at in a square box: scaled down with its
// aspect kept so that its longer side fills the box, never enlarged. Each
// side is at least one pixel, so a sliver of a picture still has bars.
QSize CropDisplaySize(QSize picture, int box);

// The picture edges the bars stand for: position x picture side / display
// side in integers, so the ends of a bar are exactly 0 and the picture's
// width or height whatever the scale. Edges outside the picture are clamped.
CropEdges MapCropBars(const CropBars& bars, QSize picture, QSize display);

// True when the edges cut nothing away.
bool IsWholePicture(const CropEdges& edges, QSize picture);
