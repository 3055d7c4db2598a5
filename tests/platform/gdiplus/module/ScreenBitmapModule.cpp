// A loadable module that makes and reads screen bitmaps with its own copy of
// the layer, as the image add-on and the PDF module do.
#include <QColor>
#include <QImage>

#include "platform/gdiplus/ScreenBitmap.h"

extern "C" __attribute__((visibility("default"))) uint32_t ModuleCreateBitmap(uint32_t argb)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.fill(QColor::fromRgba(argb));
    return CreateScreenBitmap(image);
}

extern "C" __attribute__((visibility("default"))) uint32_t ModuleReadPixel(uint32_t bitmap)
{
    const QImage image = GetScreenBitmap(bitmap);
    return image.isNull() ? 0 : image.pixel(0, 0);
}

extern "C" __attribute__((visibility("default"))) bool ModuleDeleteBitmap(uint32_t bitmap)
{
    return DeleteObject(bitmap);
}
