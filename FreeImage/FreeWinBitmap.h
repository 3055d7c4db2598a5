#pragma once
#include <cstddef>
#include <vector>

#include "FreeImage/FreeBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

class QPainter;
class QRect;

// A picture that can also be shown on screen.
class TFreeWinBitmap : public TFreeBitmap {
public:
    explicit TFreeWinBitmap(FREE_IMAGE_TYPE imageType = FIT_BITMAP, int width = 0, int height = 0,
                            int bpp = 0);

    // A new screen bitmap of the whole image, top row first, opaque (a screen
    // bitmap carries no transparency). The caller owns it and frees it with
    // DeleteObject. kNullBitmap when there is no image or it cannot be made.
    HBITMAP CopyToBitmapH() const;

    // Draws the whole image stretched into rect, pixel for pixel without
    // smoothing; a transparent image over the library's checkerboard, other
    // sample kinds scaled to standard grey or colour. False without an image.
    bool Draw(QPainter& painter, const QRect& rect) const;

    // The image as a packed device-independent bitmap: the 40-byte info
    // header, the palette and the pixel rows. Images of other sample kinds
    // say so in the header's compression field (their type + 255). Empty
    // without an image.
    std::vector<BYTE> CopyToHandle() const;
    // Rebuilds the image from a packed bitmap as CopyToHandle makes it (bit
    // fields masks after the header when the compression says so). False,
    // image kept, for data that is short or describes no image.
    bool CopyFromHandle(const BYTE* data, size_t size);
    // Takes a screen bitmap's pixels as a 32-bit image.
    bool CopyFromBitmap(HBITMAP bitmap);
};
