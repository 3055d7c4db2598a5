#include "controls/TSmoothImageListBoxNavigator.h"

#include "controls/GDIPFill.h"
#include "controls/IListBoxHost.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "platform/gdiplus/GpObjects.h"

void PaintListBoxButton(TGPGraphics* graphics, const TGPRectF& rect, TSmoothImageListBoxNavigatorButtonsShape shape,
                        int size, TColor borderColor, TColor color)
{
    if (color == colors::clNone)
        return;
    TGDIPFill fill;
    fill.SetGradientType(gtVertical);
    fill.SetGradientMirrorType(gtVertical);
    if (shape == nsRounded) {
        fill.SetRoundingType(rtBoth);
        fill.SetRounding(RoundHalfEven(size / 2.0));
    } else if (shape == nsRoundRect) {
        fill.SetRoundingType(rtBoth);
        fill.SetRounding(RoundHalfEven(size / 6.0));
    }
    fill.SetBorderColor(borderColor);
    fill.SetColor(BlendColor(color, 60));
    fill.SetColorTo(color);
    fill.SetColorMirror(color);
    fill.SetColorMirrorTo(BlendColor(color, 25));
    fill.Fill(graphics, rect);
}

TSmoothImageListBoxNavigator::TSmoothImageListBoxNavigator(IListBoxHost* owner) : owner_(owner) {}

void TSmoothImageListBoxNavigator::Assign(const TSmoothImageListBoxNavigator& source)
{
    if (&source == this)
        return;
    fVisible = source.fVisible;
    fColor = source.fColor;
    fHintNext = source.fHintNext;
    fHintPrevious = source.fHintPrevious;
    fHintNextPage = source.fHintNextPage;
    fHintPreviousPage = source.fHintPreviousPage;
    fDisabledColor = source.fDisabledColor;
    fHoverColor = source.fHoverColor;
    fDownColor = source.fDownColor;
    fBorderColor = source.fBorderColor;
    fSize = source.fSize;
    fShape = source.fShape;
    fLocation = source.fLocation;
    fLeft = source.fLeft;
    fTop = source.fTop;
    Changed();
}

void TSmoothImageListBoxNavigator::Changed()
{
    if (owner_)
        owner_->Changed();
}

TGPRectF TSmoothImageListBoxNavigator::GetNavigatorRect(const TGPRectF& bar, TSmoothImageListBoxLocation captionLocation,
                                                        const TGPRectF& caption) const
{
    const int w = (fSize + 3) * 4, h = fSize;
    if (fLocation == cpCustom)
        return TGPRectF{float(fLeft), float(fTop), float(w), float(h)};
    float x = 0, y = 0;
    GetLocationOffset(x, y, bar, w, h, fLocation);
    const bool centreRow = fLocation == cpCenterLeft || fLocation == cpCenterCenter || fLocation == cpCenterRight;
    if (centreRow && captionLocation == fLocation)
        x = bar.X + (bar.Width - caption.Width - 5 - float(w)) / 2;
    switch (fLocation) {
    case cpTopLeft: x += 3; y += 3; break;
    case cpTopCenter: case cpTopRight: y += 3; break;
    case cpCenterLeft: x += 3; break;
    case cpBottomLeft: x += 3; y -= 3; break;
    case cpBottomCenter: case cpBottomRight: y -= 3; break;
    default: break;
    }
    return TGPRectF{x, y, float(w), float(h)};
}

TGPRectF TSmoothImageListBoxNavigator::GetNavigatorButtonRect(const TGPRectF& block, int button) const
{
    return TGPRectF{block.X + float((fSize + 3) * button), block.Y, float(fSize), float(fSize)};
}

TColor TSmoothImageListBoxNavigator::ButtonColor(int button, int pressed, int hovered) const
{
    const TSmoothImageListBoxDisplayList* list = owner_->DisplayList();
    const int items = list ? list->ItemEntryCount() : 0;
    const int selected = owner_->SelectedItemIndex();
    if (items < 2 || selected == -1)
        return fDisabledColor;
    const bool usable = (button <= 1 && selected >= 1) || (button >= 2 && selected < items - 1);
    if (!usable)
        return fDisabledColor;
    if (button == hovered)
        return fHoverColor;
    return button != pressed ? fColor : fDownColor;
}

void TSmoothImageListBoxNavigator::Draw(TGPGraphics* graphics, const TGPRectF& block, int pressed, int hovered) const
{
    graphics->SetSmoothingMode(fShape == nsRect ? SmoothingModeDefault : SmoothingModeAntiAlias);
    TGPPen pen(MakeColor(255, 0, 0, 0), 1.0f);
    for (int i = 0; i < 4; ++i) {
        const TGPRectF r = GetNavigatorButtonRect(block, i);
        PaintListBoxButton(graphics, r, fShape, fSize, fBorderColor, ButtonColor(i, pressed, hovered));

        const float x = r.X, y = r.Y, w = r.Width, h = r.Height;
        auto line = [&](float x1, float y1, float x2, float y2) { graphics->DrawLine(&pen, x1, y1, x2, y2); };
        // A chevron whose tip is at tipX, opening toward openX.
        auto chevron = [&](float openX, float tipX) {
            line(openX, y + h / 3, tipX, y + h / 2);
            line(openX, y + 2 * h / 3, tipX, y + h / 2);
        };
        switch (i) {
        case 0:
            chevron(x + 2 * w / 4, x + w / 4);
            chevron(x + 3 * w / 4, x + 2 * w / 4);
            break;
        case 1: chevron(x + 2 * w / 3, x + w / 3); break;
        case 2: chevron(x + w / 3, x + 2 * w / 3); break;
        default:
            chevron(x + w / 4, x + 2 * w / 4);
            chevron(x + 2 * w / 4, x + 3 * w / 4);
            break;
        }
    }
}
