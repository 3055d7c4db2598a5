#include "controls/Font.h"

#include "platform/gdiplus/SysColors.h"

namespace {
constexpr int kPixelsPerInch = 96;
}

TFont& TFont::operator=(const TFont& other)
{
    if (this == &other || *this == other)
        return *this;
    name_ = other.name_;
    height_ = other.height_;
    style_ = other.style_;
    color_ = other.color_;
    Changed();
    return *this;
}

void TFont::SetName(const std::string& name)
{
    if (name.empty() || name == name_)
        return;
    name_ = name;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, kPixelsPerInch);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, kPixelsPerInch, 72));
}

void TFont::SetHeight(int pixels)
{
    if (pixels == height_)
        return;
    height_ = pixels;
    Changed();
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

void TFont::Changed()
{
    if (OnChange)
        OnChange();
}
