#pragma once
// A small white image with a painter on it, for drawing through the wrappers
// and probing pixels.
#include <QImage>
#include <QPainter>
#include <memory>

#include "controls/SmoothGDIP.h"
#include "platform/rtl/Exception.h"

class DrawingSurface {
public:
    explicit DrawingSurface(int width = 120, int height = 50, QRgb fill = qRgb(255, 255, 255))
        : image_(width, height, QImage::Format_ARGB32)
    {
        image_.fill(fill);
        painter_ = std::make_unique<QPainter>(&image_);
        graphics_ = std::make_unique<TGPGraphics>(painter_.get());
    }
    TGPGraphics& G() { return *graphics_; }
    QPainter& Painter() { return *painter_; }
    // Ends drawing and hands back the pixels.
    const QImage& Finish()
    {
        graphics_.reset();
        painter_.reset();
        return image_;
    }

private:
    QImage image_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<TGPGraphics> graphics_;
};

inline bool Near(QRgb a, QRgb b, int tolerance = 8)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}
