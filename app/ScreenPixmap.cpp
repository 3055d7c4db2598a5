#include "app/ScreenPixmap.h"

#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap)
{
    const HBITMAP handle = bitmap.CopyToBitmapH();
    if (handle == kNullBitmap)
        return {};
    QPixmap pixmap = QPixmap::fromImage(GetScreenBitmap(handle));
    DeleteObject(handle);
    return pixmap;
}
