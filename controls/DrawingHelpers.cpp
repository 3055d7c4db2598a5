#include "controls/DrawingHelpers.h"

#include <algorithm>

#include "platform/gdiplus/GpObjects.h"

namespace {

void AddOutline(TGPGraphicsPath& path, const TGPRectF& rect, int radius, TFillRoundingType type)
{
    const float x = rect.X, y = rect.Y, rt = rect.X + rect.Width, bt = rect.Y + rect.Height;
    if (radius <= 0)
        type = rtNone;  // a negative radius would turn the arcs inside out
    const float r = float(radius), d = 2 * r;
    switch (type) {
    case rtNone:
        path.AddLine(x, y, rt, y);
        path.AddLine(rt, y, rt, bt);
        path.AddLine(rt, bt, x, bt);
        path.AddLine(x, bt, x, y);
        break;
    case rtTop:
        path.AddArc(x, y, d, d, 180, 90);
        path.AddLine(x + r, y, rt - r, y);
        path.AddArc(rt - d, y, d, d, 270, 90);
        path.AddLine(rt, y + r, rt, bt);
        path.AddLine(rt, bt, x, bt);
        path.AddLine(x, bt, x, y + r);
        break;
    case rtBottom:
        path.AddLine(x, y, rt, y);
        path.AddLine(rt, y, rt, bt - r);
        path.AddArc(rt - d, bt - d, d, d, 0, 90);
        path.AddLine(rt - r, bt, x + r, bt);
        path.AddArc(x, bt - d, d, d, 90, 90);
        path.AddLine(x, bt - r, x, y);
        break;
    case rtBoth:
        path.AddArc(x, y, d, d, 180, 90);
        path.AddLine(x + r, y, rt - r, y);
        path.AddArc(rt - d, y, d, d, 270, 90);
        path.AddLine(rt, y + r, rt, bt - r);
        path.AddArc(rt - d, bt - d, d, d, 0, 90);
        path.AddLine(rt - r, bt, x + r, bt);
        path.AddArc(x, bt - d, d, d, 90, 90);
        path.AddLine(x, bt - r, x, y + r);
        break;
    case rtLeft:
        path.AddArc(x, y, d, d, 180, 90);
        path.AddLine(x + r, y, rt - r, y);
        path.AddLine(rt, y, rt, bt);
        path.AddLine(rt - r, bt, x + r, bt);
        path.AddArc(x, bt - d, d, d, 90, 90);
        path.AddLine(x, bt - r, x, y + r);
        break;
    case rtRight:
        path.AddLine(x, y, rt - r, y);
        path.AddArc(rt - d, y, d, d, 270, 90);
        path.AddLine(rt, y + r, rt, bt - r);
        path.AddArc(rt - d, bt - d, d, d, 0, 90);
        path.AddLine(rt, bt, x, bt);
        path.AddLine(x, bt - r, x, y + r);
        break;
    }
}

}  // namespace

TGPGraphicsPath* CreateRoundRectangle(const TGPRectF& r, int radius, TFillRoundingType roundingType, bool)
{
    auto* path = new TGPGraphicsPath(FillModeAlternate);
    AddOutline(*path, r, radius, roundingType);
    path->CloseFigure();
    return path;
}

TGPGraphicsPath* CreateRoundRectPath(const TGPRectF& r, int radius, TFillRoundingType roundingType, bool)
{
    auto* path = new TGPGraphicsPath(FillModeAlternate);
    if (roundingType != rtLeft && roundingType != rtRight)
        AddOutline(*path, r, radius, roundingType);
    path->CloseFigure();
    return path;
}

void GetLocationOffset(float& x, float& y, const TGPRectF& r, int w, int h, TSmoothImageListBoxLocation location)
{
    const float freeW = float(RoundHalfEven(r.Width) - w);
    const float freeH = float(RoundHalfEven(r.Height) - h);
    float left = 0, top = 0;
    switch (location) {
    case cpTopLeft: break;
    case cpTopCenter: left = freeW / 2; break;
    case cpTopRight: left = freeW; break;
    case cpCenterLeft: top = freeH / 2; break;
    case cpCenterCenter: left = freeW / 2; top = freeH / 2; break;
    case cpCenterRight: left = freeW; top = freeH / 2; break;
    case cpBottomLeft: top = freeH; break;
    case cpBottomCenter: left = freeW / 2; top = freeH; break;
    case cpBottomRight: left = freeW; top = freeH; break;
    case cpCustom: left = x; top = y; break;
    }
    x = left + r.X;
    y = top + r.Y;
}

TColor BlendColor(TColor color, uint8_t percentage)
{
    const int32_t rgb = ColorToRGB(color);
    auto lighten = [percentage](int c) { return std::min(255, c + MulDiv(255 - c, percentage, 100)); };
    return RGB(lighten(GetRValue(rgb)), lighten(GetGValue(rgb)), lighten(GetBValue(rgb)));
}
