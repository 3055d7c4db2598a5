#pragma once
// Loads a picture with a one-colour PNG of the given size.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "controls/GDIPPicture.h"

inline void LoadPng(TGDIPPicture& picture, int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.constData(), bytes.size());
    picture.LoadFromStream(&stream);
}
