// TSmoothImageListBox: painting, in layers: background, items (fills,
// captions, thumbnails and splitters, the zoomed item), header, footer, top
// layer, and with ZoomOnTop the zoomed item above everything.
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <memory>

#include "controls/GDIPFill.h"
#include "controls/GPImage.h"
#include "controls/MarkupRenderer.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "controls/Utf16.h"

namespace {

bool Rounded(const TGDIPFill* fill) { return fill->RoundingType() != rtNone && fill->Rounding() > 0; }


TRect ToTRect(const TGPRectF& r)
{
    return TRect{int(r.X), int(r.Y), int(r.X + r.Width), int(r.Y + r.Height)};
}

// Turns a location a quarter, as text running downwards needs it.
TSmoothImageListBoxLocation QuarterTurn(TSmoothImageListBoxLocation location)
{
    switch (location) {
    case cpTopLeft: return cpTopRight;
    case cpTopCenter: return cpCenterRight;
    case cpTopRight: return cpBottomRight;
    case cpCenterLeft: return cpTopCenter;
    case cpCenterRight: return cpBottomCenter;
    case cpBottomLeft: return cpTopLeft;
    case cpBottomCenter: return cpCenterLeft;
    case cpBottomRight: return cpBottomLeft;
    default: return location;
    }
}

}  // namespace

void TSmoothImageListBox::paintEvent(QPaintEvent*)
{
    // While the items update nothing is painted: the parent shows through.
    if (ItemsUpdating())
        return;
    QPainter painter(this);
    Guarded([&] { Paint(painter); });
}

void TSmoothImageListBox::Paint(QPainter& painter)
{
    {
        TGPGraphics g(&painter);
        DrawBackGround(&g);
    }
    if (!(FRows != 0 && FColumns != 0 && FItems->Count() == 0) && ItemsInitialized) {
        // The clip ends with the items, also when a handler throws.
        struct Saved {
            QPainter& p;
            explicit Saved(QPainter& painter) : p(painter) { p.save(); }
            ~Saved() { p.restore(); }
        } saved(painter);
        const TRect ir = InsideRect();
        const int s = ShadowOffset();
        painter.setClipRect(QRect(QPoint(ir.Left + 1, ir.Top + 1), QPoint(ir.Right - 1 - s, ir.Bottom - 1 - s)),
                            Qt::IntersectClip);
        {
            TGPGraphics g(&painter);
            DrawItems(&g);
        }
    }
    {
        TGPGraphics g(&painter);
        DrawHeader(&g);
    }
    {
        TGPGraphics g(&painter);
        DrawFooter(&g);
    }
    {
        TGPGraphics g(&painter);
        DrawTopLayerItems(&g);
    }
    if (FZoomOnTop) {
        TGPGraphics g(&painter);
        DrawZoomedItems(&g);
    }
}

void TSmoothImageListBox::DrawBackGround(TGPGraphics* g)
{
    if (FTransparent)
        return;
    if (Rounded(FFill.get()))
        g->SetSmoothingMode(SmoothingModeAntiAlias);
    TRect r = InsideRect();
    if (FFill->BorderColor() == colors::clNone || FFill->BorderWidth() == 0) {
        r.Right += 1;
        r.Bottom += 1;
    }
    FFill->Fill(g, TGPRectF{float(r.Left), float(r.Top), float(r.Right - r.Left), float(r.Bottom - r.Top)});
    g->SetSmoothingMode(SmoothingModeDefault);
}

void TSmoothImageListBox::DrawItems(TGPGraphics* g)
{
    if ((FRows == 0 && FColumns == 0) || FDisplayList->Count() == 0 || FItems->Count() == 0)
        return;
    TSmoothImageListBoxItemAppearance* ap = FItemAppearance.get();
    const float hs = float(ap->HoverSize());
    auto hovered = [&](const TSmoothImageListBoxItem* item) {
        return FHover && item->Index() == FHoverItemIndex;
    };
    auto cellOf = [&](const TSmoothImageListBoxDisplayListItem* e) {
        TGPRectF r = e->Rect();
        if (hovered(e->Item)) {
            r.X -= hs / 2;
            r.Y -= hs / 2;
            r.Width += hs;
            r.Height += hs;
        }
        return r;
    };
    auto shown = [&](const TSmoothImageListBoxDisplayListItem* e) {
        return e->Item && e->Item->Visible() && e->Rect().Width > 0 && e->Rect().Height > 0 &&
               GetItemIsVisible(cellOf(e));
    };

    // Only the entries that can meet the area are looked at: a frame costs
    // the same with ten items or ten thousand.
    int from = 0, end = 0;
    EntriesInView(from, end);

    // Fills, from the cached cell bitmaps.
    for (int i = from; i < end; ++i) {
        const auto* e = FDisplayList->GetItem(i);
        if (e->Kind() != ikItem || !shown(e))
            continue;
        TSmoothImageListBoxItem* item = e->Item;
        TGDIPFill* fill;
        TGPBitmap* bitmap;
        if (!item->Enabled()) {
            fill = ap->DisabledFill();
            bitmap = ap->DisabledFillBitmap();
        } else if ((!FMultiSelect && item->Index() == FSelectedItemIndex) || (FMultiSelect && item->Selected())) {
            fill = ap->SelectedFill();
            bitmap = ap->SelectedFillBitmap();
        } else if (hovered(item)) {
            fill = ap->HoverFill();
            bitmap = ap->HoverFillBitmap();
        } else {
            fill = ap->Fill();
            bitmap = ap->FillBitmap();
        }
        const TGPRectF r = cellOf(e);
        if (Rounded(fill))
            g->SetSmoothingMode(SmoothingModeAntiAlias);
        if (bitmap)
            g->DrawImage(bitmap, r);
        if (item->Enabled() && item->Index() == FFocusedItemIndex)
            ap->DrawFocusRect(fill, g, TGPRectF{r.X + 1, r.Y + 1, r.Width - 3, r.Height - 3});
        g->SetSmoothingMode(SmoothingModeDefault);
    }

    // Captions.
    if (ap->TextVisible()) {
        for (int i = from; i < end; ++i) {
            const auto* e = FDisplayList->GetItem(i);
            if (e->Kind() != ikItem || !shown(e))
                continue;
            TSmoothImageListBoxItem* item = e->Item;
            const TGPRectF tr = GetItemTextRect(cellOf(e));
            if (tr.Width <= 0 || tr.Height <= 0)
                continue;
            const TSmoothImageListBoxHTMLText* caption = item->Caption();
            std::string text;
            if (item->Status() != stLoaded || caption->Text().empty()) {
                if (FDefaultHTMLText->Text().empty())
                    continue;
                caption = FDefaultHTMLText.get();
                text = caption->Text();
            } else {
                text = caption->Text();
                if (!MarkText.empty())
                    text = HighlightText(text, MarkText, MarkTag, MarkCase);
            }
            if (OnItemGetDisplayText)
                OnItemGetDisplayText(this, item->Index(), text);
            RenderHTMLText(g, *caption, text, tr, false);
        }
    }

    // Thumbnails and splitters.
    if (ap->ImageVisible()) {
        TSmoothImageListBoxSplitter* splitter = ap->Splitter();
        TSmoothImageListBoxHTMLText splitterCaption(nullptr);
        splitterCaption.SuppressChange = true;
        splitterCaption.SetLocation(splitter->TextLocation());
        splitterCaption.SetFont(*splitter->TextFont());
        for (int i = from; i < end; ++i) {
            const auto* e = FDisplayList->GetItem(i);
            TSmoothImageListBoxItem* item = e->Item;
            if (!item || !GetItemIsVisible(e->Rect()))
                continue;
            if (e->Kind() == ikItem) {
                if (!item->Visible() || e->Rect().Width <= 0 || e->Rect().Height <= 0 || item->Zoomed)
                    continue;
                DrawingItemIndex = item->Index();
                item->Draw(g, e->Rect(), false);
                DrawingItemIndex = -1;
            } else {
                splitterCaption.SetText(item->SplitterText());
                if (Rounded(splitter->Fill()))
                    g->SetSmoothingMode(SmoothingModeAntiAlias);
                item->DrawSplitter(g, &splitterCaption, e->Rect());
                g->SetSmoothingMode(SmoothingModeDefault);
            }
        }
        if (!FZoomOnTop)
            DrawZoomedItems(g);
    }
}

void TSmoothImageListBox::DrawZoomedItems(TGPGraphics* g)
{
    // The walk over every entry is left out while no item has been zoomed
    // since the last walk found none.
    if (!FItemAppearance->ImageVisible() || !ZoomSeen)
        return;
    bool any = false;
    for (int i = 0; i < FDisplayList->Count(); ++i) {
        const auto* e = FDisplayList->GetItem(i);
        if (e->Kind() != ikItem || !e->Item || !e->Item->Zoomed)
            continue;
        any = true;
        DrawingItemIndex = e->Item->Index();
        e->Item->Draw(g, e->Rect(), true);
        DrawingItemIndex = -1;
    }
    ZoomSeen = any;
}

namespace {

// The caption's rectangle in the bar: measured, placed, and moved out of
// the navigator's way when both sit at one location.
struct BarLayout {
    TGPRectF caption{};
    TGPRectF navigator{};
};

BarLayout LayoutBar(TGPGraphics* g, TSmoothImageListBoxBar* bar)
{
    BarLayout out;
    const TGPRectF r = bar->GetRect();
    std::unique_ptr<TGPFont> font(g->MakeFont(*bar->Font()));
    TGPRectF size{};
    g->MeasureString(ToUtf16(bar->Caption()), -1, font.get(), TGPRectF{0, 0, 10000, 10000}, &size);
    float x = 0, y = 0;
    if (bar->CaptionLocation() == cpCustom) {
        x = float(bar->CaptionLeft());
        y = float(bar->CaptionTop());
    } else {
        GetLocationOffset(x, y, r, int(std::ceil(size.Width)), int(std::ceil(size.Height)), bar->CaptionLocation());
    }
    out.caption = TGPRectF{x, y, size.Width, size.Height};
    TSmoothImageListBoxNavigator* nav = bar->Navigator();
    if (nav->Visible()) {
        out.navigator = nav->GetNavigatorRect(r, bar->CaptionLocation(), out.caption);
        if (nav->Location() == bar->CaptionLocation()) {
            const auto l = bar->CaptionLocation();
            if (l == cpTopRight || l == cpCenterRight || l == cpBottomRight)
                out.caption.X = out.navigator.X - 5 - out.caption.Width;
            else
                out.caption.X = out.navigator.X + out.navigator.Width + 5;
        }
    }
    return out;
}

void DrawBar(TGPGraphics* g, TSmoothImageListBoxBar* bar, int pressed, int hovered)
{
    if (!bar->Visible())
        return;
    g->SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
    if (Rounded(bar->Fill()))
        g->SetSmoothingMode(SmoothingModeAntiAlias);
    bar->Fill()->Fill(g, bar->GetRect());
    const BarLayout layout = LayoutBar(g, bar);
    if (!bar->Caption().empty()) {
        std::unique_ptr<TGPFont> font(g->MakeFont(*bar->Font()));
        TGPSolidBrush brush(MakeColor(255, bar->Font()->Color()));
        g->DrawString(ToUtf16(bar->Caption()), -1, font.get(), TGPPointF{layout.caption.X, layout.caption.Y}, &brush);
    }
    if (bar->Navigator()->Visible())
        bar->Navigator()->Draw(g, layout.navigator, pressed, hovered);
    g->SetSmoothingMode(SmoothingModeDefault);
}

}  // namespace

void TSmoothImageListBox::DrawHeader(TGPGraphics* g) { DrawBar(g, FHeader.get(), HeaderDownButton, HeaderHoverButton); }

void TSmoothImageListBox::DrawFooter(TGPGraphics* g) { DrawBar(g, FFooter.get(), FooterDownButton, FooterHoverButton); }

void TSmoothImageListBox::GetBarRects(TSmoothImageListBoxBar* bar, TGPRectF& caption, TGPRectF& navigator)
{
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&scratch);
    TGPGraphics g(&p);
    const BarLayout layout = LayoutBar(&g, bar);
    caption = layout.caption;
    navigator = layout.navigator;
}

void TSmoothImageListBox::DrawTopLayerItems(TGPGraphics* g)
{
    const TGPRectF area = GetDisplayRectangle();
    for (int i = 0; i < FTopLayerItems->Count(); ++i)
        FTopLayerItems->GetItem(i)->Draw(g, area);
}

void TSmoothImageListBox::DrawDefaultImage(TGPGraphics* g, int, const TGPRectF& cell)
{
    if (!DefaultImageBitmap)
        return;
    const int bw = int(DefaultImageBitmap->GetWidth());
    const int bh = int(DefaultImageBitmap->GetHeight());
    if (bw <= 0 || bh <= 0)
        return;
    const TGPRectF area = GetItemImageRect(cell);
    int w = 0, h = 0;
    GetAspectSize(w, h, int(area.Width), int(area.Height), bw, bh);
    g->DrawImage(DefaultImageBitmap.get(), TGPRectF{(cell.Width - w) / 2 + cell.X, (cell.Height - h) / 2 + cell.Y,
                                                    float(w), float(h)});
}

// ---- Cell geometry --------------------------------------------------------------------

namespace {

// The image and the text area share a cell: each gives up the band the other
// takes at the side it is aligned to.
void LeaveRoomAboveOrBelow(TGPRectF& r, TAlign other, float otherHeight)
{
    if (other == alTop) {
        r.Y += otherHeight;
        r.Height -= otherHeight;
    } else if (other == alBottom) {
        r.Height -= otherHeight;
    }
}

void LeaveRoomBeside(TGPRectF& r, TAlign other, float otherWidth, float otherHeight)
{
    LeaveRoomAboveOrBelow(r, other, otherHeight);
    if (other == alLeft) {
        r.X += otherWidth;
        r.Width -= otherWidth;
    } else if (other == alRight) {
        r.Width -= otherWidth;
    }
}

} // namespace

TGPRectF TSmoothImageListBox::GetItemImageRect(const TGPRectF& c)
{
    TSmoothImageListBoxItemAppearance* ap = FItemAppearance.get();
    const TMargins* m = ap->ImageMargin();
    const TMargins* tm = ap->TextMargin();
    const float iw = ap->ImageVisible() ? float(ap->ImageWidth()) : 0;
    const float ih = ap->ImageVisible() ? float(ap->ImageHeight()) : 0;
    const float tw = ap->TextVisible() ? float(ap->TextWidth()) : 0;
    const float th = ap->TextVisible() ? float(ap->TextHeight()) : 0;
    const float ttw = ap->TextVisible() ? tm->Left() + tw + tm->Right() : 0;
    const float tth = ap->TextVisible() ? tm->Top() + th + tm->Bottom() : 0;
    TGPRectF r{c.X + m->Left(), c.Y + m->Top(), c.Width - m->Left() - m->Right() - 1,
               c.Height - m->Top() - m->Bottom() - 1};
    const TAlign ta = ap->TextAlign();
    switch (ap->ImageAlign()) {
    case alNone:
    case alCustom:
        r = TGPRectF{r.X + ap->ImageLeft(), r.Y + ap->ImageTop(), iw, ih};
        break;
    case alTop:
        r.Height = ih;
        break;
    case alBottom:
        r.Y = r.Y + r.Height - ih;
        r.Height = ih;
        break;
    case alLeft:
    case alRight:
        if (ap->ImageAlign() == alRight)
            r.X = r.X + r.Width - iw;
        r.Width = iw;
        LeaveRoomAboveOrBelow(r, ta, tth);
        break;
    case alClient:
        LeaveRoomBeside(r, ta, ttw, tth);
        break;
    }
    return r;
}

TGPRectF TSmoothImageListBox::GetItemTextRect(const TGPRectF& c)
{
    TSmoothImageListBoxItemAppearance* ap = FItemAppearance.get();
    const TMargins* m = ap->TextMargin();
    const TMargins* im = ap->ImageMargin();
    const float tw = ap->TextVisible() ? float(ap->TextWidth()) : 0;
    const float th = ap->TextVisible() ? float(ap->TextHeight()) : 0;
    const float iw = ap->ImageVisible() ? float(ap->ImageWidth()) : 0;
    const float ih = ap->ImageVisible() ? float(ap->ImageHeight()) : 0;
    const float tiw = ap->ImageVisible() ? im->Left() + iw + im->Right() : 0;
    const float tih = ap->ImageVisible() ? im->Top() + ih + im->Bottom() : 0;
    TGPRectF r{c.X + m->Left(), c.Y + m->Top(), c.Width - m->Left() - m->Right() - 1,
               c.Height - m->Top() - m->Bottom() - 1};
    const TAlign ia = ap->ImageAlign();
    switch (ap->TextAlign()) {
    case alNone:
    case alCustom:
        r = TGPRectF{r.X + ap->TextLeft(), r.Y + ap->TextTop(), tw, th};
        break;
    case alTop:
        r.Height = th;
        if (ia == alTop)
            r.Y += tih;
        break;
    case alBottom:
        r.Y = r.Y + r.Height - th - (ia == alBottom ? tih : 0);
        r.Height = th;
        break;
    case alLeft:
        r.Width = tw;
        LeaveRoomAboveOrBelow(r, ia, tih);
        if (ia == alLeft)
            r.X += tiw;
        break;
    case alRight:
        r.X = r.X + r.Width - tw;
        r.Width = tw;
        LeaveRoomAboveOrBelow(r, ia, tih);
        if (ia == alRight)
            r.X -= tiw;
        break;
    case alClient:
        LeaveRoomBeside(r, ia, tiw, tih);
        break;
    }
    return r;
}

// ---- Captions --------------------------------------------------------------------------

MarkupParams TSmoothImageListBox::CaptionParams(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text,
                                                const std::string& str, const TGPRectF& r) const
{
    MarkupParams p;
    p.Graphics = g;
    p.Font = text.Font();
    p.Text = str;
    p.R = ToTRect(r);
    p.Images = FImages;
    p.Container = FPictureContainer;
    p.ShadowOffset = text.ShadowOffset();
    p.ShadowColor = text.ShadowColor();
    p.URLColor = text.URLColor();
    p.CheckOnly = true;
    return p;
}

std::string TSmoothImageListBox::RenderHTMLText(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text,
                                                const std::string& str, const TGPRectF& r, bool checkOnly, int x,
                                                int y)
{
    MarkupParams p = CaptionParams(g, text, str, r);
    MarkupResult measured;
    RenderMarkup(p, measured);
    float w = float(measured.XSize + 2), h = float(measured.YSize + 2);
    float px = 0, py = 0;
    if (text.Location() == cpCustom) {
        px = float(text.Left());
        py = float(text.Top());
    }
    GetLocationOffset(px, py, r, int(w), int(h), text.Location());
    w = std::min(w, r.Width);
    h = std::min(h, r.Height);
    p.R = TRect{int(px), int(py), int(px + w), int(py + h)};
    p.CheckOnly = checkOnly;
    p.XPos = x;
    p.YPos = y;
    MarkupResult result;
    if (RenderMarkup(p, result))
        return result.Anchor;
    return {};
}

void TSmoothImageListBox::DrawHTMLText(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r)
{
    RenderHTMLText(g, text, text.Text(), r, false);
}

TGPRectF TSmoothImageListBox::GetHTMLTextRect(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text,
                                              const TGPRectF& r)
{
    MarkupResult measured;
    RenderMarkup(CaptionParams(g, text, text.Text(), r), measured);
    const int w = measured.XSize, h = measured.YSize;
    float x = 0, y = 0;
    if (text.Location() == cpCustom) {
        x = float(text.Left());
        y = float(text.Top());
    }
    GetLocationOffset(x, y, r, w, h, text.Location());
    return TGPRectF{x, y, float(w), float(h)};
}

std::string TSmoothImageListBox::GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text)
{
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    TGPGraphics g(&painter);
    MarkupParams p = CaptionParams(&g, text, text.Text(), TGPRectF{0, 0, 10000, 10000});
    // Only the text: no highlight, no pictures.
    p.Images = nullptr;
    p.Container = nullptr;
    MarkupResult result;
    RenderMarkup(p, result);
    return result.StrippedText;
}

TGPRectF TSmoothImageListBox::GetTextRect(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text,
                                          const TGPRectF& r)
{
    std::unique_ptr<TGPFont> font(g->MakeFont(text.Font()));
    TGPStringFormat format(StringFormatFlagsDirectionVertical);
    TGPRectF size{};
    g->MeasureString(ToUtf16(text.Text()), -1, font.get(), TGPRectF{0, 0, 10000, 10000}, &format, &size);
    TSmoothImageListBoxLocation location = text.Location();
    if (FRows != 0 && FColumns == 0)
        location = QuarterTurn(location);
    float x = 0, y = 0;
    if (location == cpCustom) {
        x = float(text.Left());
        y = float(text.Top());
    }
    GetLocationOffset(x, y, r, int(std::ceil(size.Width)), int(std::ceil(size.Height)), location);
    return TGPRectF{x, y, size.Width, size.Height};
}

void TSmoothImageListBox::DrawText(TGPGraphics* g, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r)
{
    g->SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
    const TGPRectF tr = GetTextRect(g, text, r);
    std::unique_ptr<TGPFont> font(g->MakeFont(text.Font()));
    TGPStringFormat format(StringFormatFlagsDirectionVertical);
    TGPSolidBrush brush(MakeColor(255, text.Font().Color()));
    g->DrawString(ToUtf16(text.Text()), -1, font.get(), tr, &format, &brush);
}
