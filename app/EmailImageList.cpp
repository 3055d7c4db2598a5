#include "app/EmailImageList.h"

#include "platform/resources/Resources.h"

#include <string>

const QList<QPixmap>& EmailImageList()
{
    static const QList<QPixmap> images = [] {
        QList<QPixmap> list;
        for (int kind = 0; kind < 8; ++kind) {
            const auto bytes = FindResource("EMAIL" + std::to_string(kind) + "_PNG", "PNG");
            QPixmap image;
            image.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "PNG");
            list.append(image);
        }
        return list;
    }();
    return images;
}
