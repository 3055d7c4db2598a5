#include "app/ScreenPixmap.h"

#include "FreeImage/FreeWinBitmap.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/gdiplus/SrgbImage.h"
#include "platform/rtl/RegularFile.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <unistd.h>

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

namespace {

// The size shown in box: shrunk to fit it, never enlarged.
QSize ShrunkInto(const QSize& full, const QSize& box)
{
    return full.width() > box.width() || full.height() > box.height()
               ? full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
               : full;
}

} // namespace

QImage ScaledScreenImage(TFreeWinBitmap& picture, int width, int height)
{
    if (width == picture.GetWidth() && height == picture.GetHeight())
        return ScreenImage(picture);
    TFreeWinBitmap scaled;
    if (!picture.Rescale(width, height, FILTER_BOX, &scaled))
        return {};
    return ScreenImage(scaled);
}

QImage FittedScreenImage(TFreeWinBitmap& picture, const QSize& box)
{
    const QSize full(picture.GetWidth(), picture.GetHeight());
    if (full.isEmpty())
        return {};
    const QSize fitted = ShrunkInto(full, box);
    return ScaledScreenImage(picture, fitted.width(), fitted.height());
}

QImage ReadFittedScreenImage(const QString& path, const QSize& box)
{
    int64_t size = 0;
    const int fd = OpenRegularFile(QFile::encodeName(path).toStdString(), TFreeBitmap::kMaxFileBytes, size);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return ReadFittedScreenImage(file, box);
}

QImage ReadFittedScreenImage(QIODevice& device, const QSize& box)
{
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return {};
    // A quarter turn by the EXIF orientation swaps the sides: the decoder
    // scales the picture as stored, before it is turned upright.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize full = turned ? stored.transposed() : stored;
    const QSize fitted = ShrunkInto(full, box);
    // JPEG scales while decoding, fast and well. Other readers scale by
    // dropping pixels, and the PNG reader loses a one-bit picture's palette
    // on the way, so they are read whole and scaled smoothly afterwards.
    if (fitted != full && reader.format() == "jpeg")
        reader.setScaledSize(turned ? fitted.transposed() : fitted);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    // Shown in the colours the picture gets once it is an artwork.
    ImageToSrgbByItsColorSpace(image);
    QImage shown(image.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    {
        QPainter painter(&shown);
        painter.drawImage(0, 0, image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    if (shown.size() != fitted)
        shown = shown.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return shown;
}
