#pragma once
// A list box whose private state tests may read and set, and pixel helpers
// for rendered list boxes.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <functional>
#include <thread>
#include <QWidget>
#include <cstdlib>

#include "controls/TSmoothImageListBox.h"

class ProbeListBox : public TSmoothImageListBox {
public:
    using TSmoothImageListBox::TSmoothImageListBox;
    using TSmoothImageListBox::AnimateScroll;
    using TSmoothImageListBox::AnimateZoom;
    using TSmoothImageListBox::Animating;
    using TSmoothImageListBox::FHasFocus;
    using TSmoothImageListBox::FFocusedItemIndex;
    using TSmoothImageListBox::FHoverItemIndex;
    using TSmoothImageListBox::LookupText;
    using TSmoothImageListBox::MarkTag;
    using TSmoothImageListBox::MarkText;
    using TSmoothImageListBox::Position;
    using TSmoothImageListBox::PositionTo;
    using TSmoothImageListBox::ScrollSpeed;

    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        TSmoothImageListBox::paintEvent(event);
    }
};

// The widget drawn into an image of its size.
inline QImage Render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

inline bool Near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Whether a pixel of about that colour lies within radius of (x, y).
inline bool HasColourNear(const QImage& image, int x, int y, int radius, QRgb colour, int tolerance = 24)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height() &&
                Near(image.pixel(px, py), colour, tolerance))
                return true;
        }
    return false;
}

// Runs the event loop until done holds or the deadline passes; returns done().
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
