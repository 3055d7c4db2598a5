#pragma once
// A white sheet of the control renderer with a drawing surface on it and
// small grey labels.
#include <QImage>
#include <QPainter>
#include <memory>
#include <string>

#include "controls/GPGraphics.h"

inline constexpr int kSheetWidth = 760;

class Canvas {
public:
    explicit Canvas(int height) : image_(kSheetWidth, height, QImage::Format_ARGB32), painter_(&image_)
    {
        image_.fill(Qt::white);
        graphics_ = std::make_unique<TGPGraphics>(&painter_);
    }
    TGPGraphics& G() { return *graphics_; }
    void Label(int x, int y, const std::string& text)
    {
        TFont font;
        font.SetSize(8);
        font.SetColor(RGB(60, 60, 60));
        TRect r{x, y, x + 200, y + 14};
        graphics_->DrawText(text, -1, r, font, 0);
    }
    QImage Finish()
    {
        graphics_.reset();
        painter_.end();
        return image_;
    }

private:
    QImage image_;
    QPainter painter_;
    std::unique_ptr<TGPGraphics> graphics_;
};
