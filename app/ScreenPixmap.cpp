#include "app/ScreenPixmap.h"

#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"

QImage ScreenImage(const TFreeWinBitmap& bitmap)
{
    const HBITMAP handle = bitmap.CopyToBitmapH();
    if (handle == kNullBitmap)
        return {};
    QImage image = GetScreenBitmap(handle);
    DeleteObject(handle);
    return image;
}

QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap)
{
    const QImage image = ScreenImage(bitmap);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}
