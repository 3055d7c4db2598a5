#include "platform/gdiplus/SrgbImage.h"

#include <QColorSpace>

#include "platform/icm/EmbeddedProfile.h"
#include "platform/icm/SrgbTransform.h"

void ImageToSrgb(QImage& image, const std::vector<uint8_t>& profile)
{
    if (image.isNull())
        return;
    image.setColorSpace(QColorSpace());
    if (profile.empty())
        return;
    if (image.format() == QImage::Format_Indexed8) {
        const TSrgbTransform transform(profile, TSrgbTransform::TLayout::Bgra8);
        if (!transform.IsValid())
            return;
        // A colour table entry is 0xAARRGGBB: blue, green, red, alpha in memory.
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "colour table entries in blue-green-red order");
        QList<QRgb> table = image.colorTable();
        transform.Convert(reinterpret_cast<uint8_t*>(table.data()), size_t(table.size()));
        image.setColorTable(table);
        return;
    }
    if (image.format() == QImage::Format_Grayscale8) {
        const TSrgbTransform transform(profile, TSrgbTransform::TLayout::Grey8);
        transform.ConvertRows(image.bits(), size_t(image.width()), size_t(image.height()), image.bytesPerLine());
        return;
    }
    const TSrgbTransform transform(profile, TSrgbTransform::TLayout::Bgra8);
    if (!transform.IsValid())
        return;
    // 0xAARRGGBB words, as for the colour table.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    transform.ConvertRows(image.bits(), size_t(image.width()), size_t(image.height()), image.bytesPerLine());
}

void ImageToSrgb(QImage& image, const QByteArray& encoded, unsigned page)
{
    if (image.isNull())
        return;
    ImageToSrgb(image, EmbeddedProfile(reinterpret_cast<const uint8_t*>(encoded.constData()),
                                       size_t(encoded.size()), page));
}

void ImageToSrgbByItsColorSpace(QImage& image)
{
    if (image.isNull())
        return;
    const QByteArray icc = image.colorSpace().iccProfile();
    ImageToSrgb(image, std::vector<uint8_t>(icc.begin(), icc.end()));
}
