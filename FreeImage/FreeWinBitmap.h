#pragma once
#include "FreeImage/FreeBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

// A picture that can also be shown on screen.
class TFreeWinBitmap : public TFreeBitmap {
public:
    explicit TFreeWinBitmap(FREE_IMAGE_TYPE imageType = FIT_BITMAP, int width = 0, int height = 0,
                            int bpp = 0);

    // A new screen bitmap of the whole image, top row first, opaque (a screen
    // bitmap carries no transparency). The caller owns it and frees it with
    // DeleteObject. kNullBitmap when there is no image or it cannot be made.
    HBITMAP CopyToBitmapH() const;
};
