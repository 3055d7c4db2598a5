#include "controls/FillGDIP.h"

#include <cmath>

#include "controls/GDIPPicture.h"

namespace {

uint8_t Alpha(int opacity) { return uint8_t(std::clamp(opacity, 0, 255)); }

void FillWith(const TGDIPFillParameters& p, TGPBrush& brush)
{
    if (p.Fillpath)
        p.Graphics->FillPath(&brush, p.Path);
    else
        p.Graphics->FillRectangle(&brush, p.R);
}

}  // namespace

void FillGDIP(const TGDIPFillParameters& p)
{
    if (!p.Graphics || (p.Fillpath && !p.Path))
        return;
    const ARGB from = MakeColor(Alpha(p.OpacityFrom), p.ColorFrom);
    const ARGB to = MakeColor(Alpha(p.OpacityTo), p.ColorTo);
    // Gradients run over the rectangle grown by one on every side, so the
    // end colours are not reached exactly on the edge pixels.
    const TGPRectF grown = MakeRect(p.R.X - 1, p.R.Y - 1, p.R.Width + 2, p.R.Height + 2);
    switch (p.GT) {
    case gtSolid: {
        TGPSolidBrush brush(from);
        FillWith(p, brush);
        break;
    }
    case gtVertical:
    case gtHorizontal:
    case gtForwardDiagonal:
    case gtBackwardDiagonal: {
        const LinearGradientMode mode = p.GT == gtVertical     ? LinearGradientModeVertical
                                        : p.GT == gtHorizontal ? LinearGradientModeHorizontal
                                        : p.GT == gtForwardDiagonal ? LinearGradientModeForwardDiagonal
                                                                    : LinearGradientModeBackwardDiagonal;
        TGPLinearGradientBrush brush(grown, from, to, mode);
        brush.SetGammaCorrection(true);
        FillWith(p, brush);
        if (p.Mirror) {
            TGPSolidBrush seam(from);
            p.Graphics->FillRectangle(&seam, MakeRect(p.R.X, p.R.Y, p.R.Width, 1.f));
        }
        break;
    }
    case gtAngle: {
        TGPLinearGradientBrush brush(grown, from, to, float(p.Angle), true);
        brush.SetGammaCorrection(true);
        FillWith(p, brush);
        break;
    }
    case gtHatch: {
        TGPHatchBrush brush(p.Hatch, from, to);
        FillWith(p, brush);
        break;
    }
    case gtTexture:
        if (p.Picture) {
            if (p.Fillpath)
                p.Picture->FillPath(p.Graphics, p.Path);
            else
                p.Picture->FillRect(p.Graphics, p.R);
        }
        break;
    case gtRadial:
    case gtPath:
    case gtNone:
        break;
    }

    if (p.BorderColor != colors::clNone) {
        TGPPen pen(MakeColor(Alpha(p.OpacityFrom), p.BorderColor), float(p.BorderWidth));
        pen.SetDashStyle(p.BorderStyle);
        if (p.Fillpath)
            p.Graphics->DrawPath(&pen, p.Path);
        else
            p.Graphics->DrawRectangle(&pen, p.R);
    }
}

void ShadowGDIP(TGPGraphics* graphics, const TGPRectF& r)
{
    if (!graphics)
        return;
    TGPGraphicsPath path;
    path.AddRectangle(r);
    TGPPathGradientBrush brush(&path);
    brush.SetWrapMode(WrapModeClamp);
    const ARGB colours[3] = {MakeColor(0, 0, 0, 0), MakeColor(180, colors::clGray), MakeColor(180, colors::clGray)};
    const float positions[3] = {0.0f, 0.1f, 1.0f};
    brush.SetInterpolationColors(colours, positions, 3);
    graphics->FillPath(&brush, &path);
}

void ArrowGDIP(TGPGraphics* graphics, const TGPPointF& from, const TGPPointF& to, int headSize, TColor color,
               float scaleX, float scaleY)
{
    const float dx = to.X - from.X, dy = to.Y - from.Y;
    const float length = std::hypot(dx, dy);
    if (!graphics || length == 0 || headSize <= 0)
        return;
    // Unit vectors along the line and across it.
    const float ux = dx / length, uy = dy / length, nx = -uy, ny = ux;
    const float s = float(headSize);
    auto at = [&](float along, float across) {
        return TGPPointF{to.X + (ux * along + nx * across) * scaleX, to.Y + (uy * along + ny * across) * scaleY};
    };
    // Tip, one barb, the notch on the line, the other barb.
    const TGPPointF points[4] = {at(0, 0), at(-s, s / 2), at(-s * 0.7f, 0), at(-s, -s / 2)};
    TGPSolidBrush brush(MakeColor(255, color));
    graphics->FillPolygon(&brush, points, 4);
}
