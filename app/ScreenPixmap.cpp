#include "app/ScreenPixmap.h"

#include <QBuffer>
#include <QImage>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/rtl/Stream.h"

namespace {

QImage ScreenImage(const TFreeWinBitmap& bitmap)
{
    const HBITMAP handle = bitmap.CopyToBitmapH();
    if (handle == kNullBitmap)
        return {};
    QImage image = GetScreenBitmap(handle);
    DeleteObject(handle);
    return image;
}

}  // namespace

QPixmap ScreenPixmap(const TFreeWinBitmap& bitmap)
{
    const QImage image = ScreenImage(bitmap);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

bool SaveScreenImage(const TFreeWinBitmap& bitmap, TStream& stream)
{
    const QImage image = ScreenImage(bitmap);
    QBuffer encoded;
    if (image.isNull() || !encoded.open(QIODevice::WriteOnly) || !image.save(&encoded, "BMP"))
        return false;
    stream.WriteBuffer(encoded.data().constData(), encoded.data().size());
    return true;
}
