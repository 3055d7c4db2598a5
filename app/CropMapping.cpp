#include "app/CropMapping.h"

#include <algorithm>
#include <cstdint>

namespace {

// position * side / shown in 64 bits: a picture side times a bar position
// may not fit in an int.
int Scale(int position, int side, int shown)
{
    if (shown <= 0)
        return 0;
    return static_cast<int>(static_cast<int64_t>(position) * side / shown);
}

} // namespace

QSize CropDisplaySize(QSize picture, int box)
{
    const int w = picture.width();
    const int h = picture.height();
    if (w <= 0 || h <= 0)
        return {0, 0};
    if (w <= box && h <= box)
        return picture;
    if (h > w)
        return {std::max(1, Scale(w, box, h)), box};
    if (w > h)
        return {box, std::max(1, Scale(h, box, w))};
    return {box, box};
}

CropEdges MapCropBars(const CropBars& bars, QSize picture, QSize display)
{
    const int w = picture.width();
    const int h = picture.height();
    CropEdges edges;
    edges.top = std::max(0, Scale(bars.top, h, display.height()));
    edges.bottom = std::min(h, Scale(bars.bottom, h, display.height()));
    edges.left = std::max(0, Scale(bars.left, w, display.width()));
    edges.right = std::min(w, Scale(bars.right, w, display.width()));
    return edges;
}

bool IsWholePicture(const CropEdges& edges, QSize picture)
{
    return edges.left == 0 && edges.top == 0 && edges.right == picture.width() && edges.bottom == picture.height();
}
