#include "controls/render/SheetListBoxHost.h"

#include <QString>
#include <algorithm>
#include <memory>

#include "controls/MarkupRenderer.h"
#include "controls/SmoothGDIP.h"
#include "controls/TImageLoaderThread.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/Utf16.h"

namespace {

MarkupParams Params(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TRect& r, bool measure)
{
    MarkupParams p;
    p.Graphics = graphics;
    p.Font = text.Font();
    p.Text = text.Text();
    p.R = r;
    p.URLColor = text.URLColor();
    p.ShadowColor = text.ShadowColor();
    p.ShadowOffset = text.ShadowOffset();
    p.CheckOnly = measure;
    return p;
}

TRect ToRect(const TGPRectF& r)
{
    return TRect{int(r.X), int(r.Y), int(r.X + r.Width), int(r.Y + r.Height)};
}

TGPRectF Place(const TGPRectF& r, float w, float h, TSmoothImageListBoxLocation location, int left, int top)
{
    float x = float(left), y = float(top);
    GetLocationOffset(x, y, r, int(w), int(h), location);
    return TGPRectF{x, y, std::min(w, r.Width), std::min(h, r.Height)};
}

}  // namespace

SheetListBoxHost::SheetListBoxHost()
{
    Appearance.InitFills();
}

void SheetListBoxHost::SetItemEntries(int n)
{
    List.Clear();
    for (int i = 0; i < n; ++i)
        List.AddItem()->SetKind(ikItem);
}

TGPRectF SheetListBoxHost::GetItemImageRect(const TGPRectF& cell)
{
    const TMargins* m = Appearance.ImageMargin();
    return TGPRectF{cell.X + float(m->Left()), cell.Y + float(m->Top()), cell.Width - float(m->Left() + m->Right() + 1),
                    cell.Height - float(m->Top() + m->Bottom() + 1)};
}

void SheetListBoxHost::GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                                     int imageHeight)
{
    const double scale = std::min(double(boxWidth) / std::max(imageWidth, 1), double(boxHeight) / std::max(imageHeight, 1));
    width = int(imageWidth * scale);
    height = int(imageHeight * scale);
}

std::string SheetListBoxHost::GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text)
{
    return StripTags(text.Text());
}

TGPRectF SheetListBoxHost::GetHTMLTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                                           const TGPRectF& r)
{
    MarkupResult result;
    RenderMarkup(Params(graphics, text, ToRect(r), true), result);
    return Place(r, float(result.XSize + 2), float(result.YSize + 2), text.Location(), text.Left(), text.Top());
}

// Strip splitters are upright bars: their text runs downwards, placed by
// the location turned a quarter.
TGPRectF SheetListBoxHost::GetTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                                       const TGPRectF& r)
{
    std::unique_ptr<TGPFont> font(graphics->MakeFont(text.Font()));
    TGPStringFormat format(StringFormatFlagsDirectionVertical);
    TGPRectF box{};
    graphics->MeasureString(ToUtf16(text.Text()), -1, font.get(), TGPRectF{0, 0, 1000, 1000}, &format, &box);
    return Place(r, box.Width, box.Height, TurnLocation(text.Location()), text.Left(), text.Top());
}

void SheetListBoxHost::DrawText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r)
{
    std::unique_ptr<TGPFont> font(graphics->MakeFont(text.Font()));
    // The splitter hands a rectangle 2 pixels shorter than measured: the
    // text must neither wrap nor be cut there.
    TGPStringFormat format(StringFormatFlagsDirectionVertical | StringFormatFlagsNoWrap | StringFormatFlagsNoClip);
    TGPSolidBrush brush(MakeColor(255, text.Font().Color()));
    graphics->DrawString(ToUtf16(text.Text()), -1, font.get(), r, &format, &brush);
}

void SheetListBoxHost::DrawHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                                    const TGPRectF& r)
{
    const TGPRectF placed = GetHTMLTextRect(graphics, text, r);
    MarkupResult result;
    RenderMarkup(Params(graphics, text, ToRect(placed), false), result);
}

void SheetListBoxHost::DrawBar(TGPGraphics* graphics, TSmoothImageListBoxBar& bar, int hovered, int pressed)
{
    if (!bar.Visible())
        return;
    const TGPRectF r = bar.GetRect();
    bar.Fill()->Fill(graphics, r);
    TSmoothImageListBoxNavigator* navigator = bar.Navigator();
    const float w = float(graphics->TextWidth(bar.Caption(), *bar.Font()));
    const float h = float(graphics->TextHeight(bar.Caption(), *bar.Font()));
    TGPRectF caption = Place(r, w, h, bar.CaptionLocation(), bar.CaptionLeft(), bar.CaptionTop());
    const TGPRectF block = navigator->GetNavigatorRect(r, bar.CaptionLocation(), caption);
    if (navigator->Visible() && navigator->Location() == bar.CaptionLocation()) {
        const TSmoothImageListBoxLocation l = bar.CaptionLocation();
        caption.X = (l == cpTopRight || l == cpCenterRight || l == cpBottomRight) ? block.X - 5 - w
                                                                                   : block.X + block.Width + 5;
    }
    TRect textRect = ToRect(TGPRectF{caption.X, caption.Y, w + 2, h + 2});
    graphics->DrawText(bar.Caption(), -1, textRect, *bar.Font(), 0);
    if (navigator->Visible())
        navigator->Draw(graphics, block, pressed, hovered);
}

void SheetListBoxHost::QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job)
{
    MakeThumbnailNow(*this, item, std::move(job));
}
