// TSmoothImageListBox: placing items into cells, the scroll range, the
// scroll bar, the wheel and the scroll and zoom animation.
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "controls/GDIPFill.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxSplitter.h"
#include "controls/TImageLoaderThread.h"
#include "platform/gdiplus/GpObjects.h"
#include "platform/thread/Thread.h"

namespace {

// Moves current one step towards target: by speed, at least one pixel.
// False when it was there already.
bool StepTowards(int& current, int target, float speed)
{
    if (current > target - 1 && current < target + 1) {
        current = target;
        return false;
    }
    const double step = std::max(double(speed), 1.0);
    if (current < target)
        current = std::min(target, RoundHalfEven(current + step));
    else
        current = std::max(target, RoundHalfEven(current - step));
    return true;
}

bool StepRect(TSmoothImageListBoxItem* item, const TGPRect& target)
{
    TGPRect& r = item->ImageRect;
    bool moved = false;
    moved |= StepTowards(r.X, target.X, std::abs(r.X - target.X) / 1.5f);
    moved |= StepTowards(r.Y, target.Y, std::abs(r.Y - target.Y) / 1.5f);
    moved |= StepTowards(r.Width, target.Width, std::abs(r.Width - target.Width) / 1.5f);
    moved |= StepTowards(r.Height, target.Height, std::abs(r.Height - target.Height) / 1.5f);
    return moved;
}

}  // namespace

int TSmoothImageListBox::BorderWidth() const
{
    if (FTransparent || FFill->BorderColor() == colors::clNone)
        return 0;
    return FFill->BorderWidth();
}

int TSmoothImageListBox::ShadowOffset() const
{
    if (FTransparent || FFill->ShadowColor() == colors::clNone)
        return 0;
    return FFill->ShadowOffset();
}

int TSmoothImageListBox::ScrollBarThickness() const
{
    if (!FShowScrollBar)
        return 0;
    return FScrollBar->orientation() == Qt::Vertical ? FScrollBar->width() : FScrollBar->height();
}

TRect TSmoothImageListBox::InsideRect() const
{
    TRect r{0, 0, width() - 1, height() - 1};
    if (FFill->BorderColor() != colors::clNone && !FTransparent) {
        const int bw = FFill->BorderWidth();
        const int d = bw == 1 ? 1 : (bw + 1) / 2;
        r.Left += d;
        r.Top += d;
        r.Right -= d;
        r.Bottom -= d;
    }
    return r;
}

namespace {
int BarBorder(const TSmoothImageListBoxBar* bar)
{
    if (!bar->Visible() || bar->Fill()->BorderColor() == colors::clNone)
        return 0;
    return bar->Fill()->BorderWidth();
}
}  // namespace

TGPRectF TSmoothImageListBox::GetDisplayRectangle() const
{
    const TRect ir = InsideRect();
    const int hb = BarBorder(FHeader.get());
    const int fb = BarBorder(FFooter.get());
    const int sb = ScrollBarThickness();
    const int s = ShadowOffset();
    const int hh = FHeader->GetHeight();
    const int fh = FFooter->GetHeight();
    TGPRectF r;
    r.X = float(ir.Left);
    r.Y = float(ir.Top + hh + hb);
    if (FRows > 0) {
        r.Width = float(ir.Right - ir.Left - s);
        r.Height = float(ir.Bottom - ir.Top - fh - fb - hb - s - hh - sb);
    } else {
        r.Width = float(ir.Right - ir.Left - s - sb);
        r.Height = float(ir.Bottom - ir.Top - fh - fb - hb - s - hh);
    }
    return r;
}

bool TSmoothImageListBox::GetItemIsVisible(const TGPRectF& r) const
{
    return r.Y + r.Height > 0 && r.Y < float(height()) && r.X + r.Width > 0 && r.X < float(width());
}

void TSmoothImageListBox::EntriesInView(int& first, int& end) const
{
    // A cell reaches at most its size plus the hover growth before or past
    // where it begins; a splitter bar may be longer than a cell.
    const bool strip = FRows > 0;
    const float hover = float(FItemAppearance->HoverSize());
    const float cell = strip ? float(FItemAppearance->GetColumnWidth()) : float(FItemAppearance->GetRowHeight());
    const float reach = std::max(cell, float(FItemAppearance->Splitter()->Size())) + hover + 1;
    const float size = strip ? float(width()) : float(height());
    first = FDisplayList->FirstReaching(0, reach, strip);
    end = FDisplayList->FirstReaching(size + reach, 0, strip);
}

int TSmoothImageListBox::FirstVisibleEntry() const
{
    int from = 0, end = 0;
    EntriesInView(from, end);
    for (int i = from; i < end; ++i) {
        const auto* e = FDisplayList->GetItem(i);
        if (e->Item && e->Kind() == ikItem && GetItemIsVisible(e->Rect()) && e->Item->Enabled() &&
            !e->Item->Splitter())
            return i;
    }
    return -1;
}

int TSmoothImageListBox::LastVisibleEntry() const
{
    int from = 0, end = 0;
    EntriesInView(from, end);
    for (int i = end - 1; i >= from; --i) {
        const auto* e = FDisplayList->GetItem(i);
        if (e->Item && e->Kind() == ikItem && GetItemIsVisible(e->Rect()) && e->Item->Enabled() &&
            !e->Item->Splitter())
            return i;
    }
    return -1;
}

int TSmoothImageListBox::GetFirstVisibleItem()
{
    const int i = FirstVisibleEntry();
    return i < 0 ? 0 : FDisplayList->GetItem(i)->Item->Index();
}

int TSmoothImageListBox::GetLastVisibleItem()
{
    const int i = LastVisibleEntry();
    return i < 0 ? 0 : FDisplayList->GetItem(i)->Item->Index();
}

// The distinct runs of Y (rows) or X (columns) along the list, counted by
// the relayout: a scroll moves every cell alike.
int TSmoothImageListBox::GetRowCount() const
{
    return LaidOutRows;
}

int TSmoothImageListBox::GetColumnCount() const
{
    return LaidOutColumns;
}

// The cells were shifted by the offset of the last layout (LayoutPosition),
// which Position may have left since: the range is measured from that.
int TSmoothImageListBox::GetFullSize()
{
    const int s = ShadowOffset();
    const int n = FDisplayList->Count();
    if (FRows == 0) {
        int v = 0;
        if (n > 0)
            v = RoundHalfEven(FItemAppearance->GetRowHeight() + FDisplayList->GetItem(n - 1)->Rect().Y + LayoutPosition +
                              FItemAppearance->ItemVerticalSpacing());
        return std::max(0, FFooter->GetHeight() + v - height() + s);
    }
    if (FColumns == 0) {
        int v = 0;
        if (n > 0)
            v = RoundHalfEven(FItemAppearance->GetColumnWidth() + FDisplayList->GetItem(n - 1)->Rect().X + LayoutPosition +
                              FItemAppearance->ItemHorizontalSpacing());
        return std::max(0, s + v - width());
    }
    return 0;
}

int TSmoothImageListBox::GetPosition()
{
    if (DesignPreview)
        return 0;
    const int full = GetFullSize();
    Position = std::clamp(Position, -50, full + 50);
    if (full == 0) {
        Position = 0;
        if (FRows == 0)
            PositionTo = 0;
        return 0;
    }
    const int lines = FRows == 0 ? GetRowCount() : GetColumnCount();
    if (lines == 1) {
        Position = 0;
        return 0;
    }
    return Position;
}

int TSmoothImageListBox::GetPositionTo()
{
    if (DesignPreview)
        return 0;
    PositionTo = std::clamp(PositionTo, 0, std::max(0, GetFullSize()));
    return PositionTo;
}

void TSmoothImageListBox::InitListBoxItems()
{
    if (Destroying)
        return;
    Q_ASSERT_X(TThread::IsMainThread(), "TSmoothImageListBox", "driven from another thread");
    ItemsInitialized = false;
    if ((FRows != 0 && FColumns != 0) || FItems->Count() == 0) {
        // Nothing is laid out: no entry may keep pointing at a deleted item.
        FDisplayList->Clear();
        LaidOutRows = LaidOutColumns = 0;
        SetScrollBarPosition();
        return;
    }
    const TRect ir = InsideRect();
    const int b = BorderWidth();
    const int s = ShadowOffset();
    const TSmoothImageListBoxSplitter* splitter = FItemAppearance->Splitter();
    const float sp = float(splitter->Spacing());
    const float ss = float(splitter->Size());
    const int sb = ScrollBarThickness();
    const float hs = float(FItemAppearance->ItemHorizontalSpacing());
    const float vs = float(FItemAppearance->ItemVerticalSpacing());
    const float cw = float(FItemAppearance->GetColumnWidth());
    const float rh = float(FItemAppearance->GetRowHeight());
    const float hh = float(FHeader->GetHeight());
    const float fh = float(FFooter->GetHeight());
    const int position = GetPosition();
    LayoutPosition = position;

    float startX, startY;
    if (FRows == 0) {
        startY = hh + vs + b - position;
        startX = hs + b;
    } else {
        startY = hh + vs + b;
        startX = hs + b - position;
    }
    float x = startX, y = startY;
    int r = 0, c = 0;
    FDisplayList->Clear();
    // Cells are kept unshifted: a scroll only moves this offset.
    FDisplayList->SetOffset(FRows > 0 ? float(position) : 0.0f, FRows > 0 ? 0.0f : float(position));
    for (int i = 0; i < FItems->Count(); ++i) {
        TSmoothImageListBoxItem* item = FItems->GetItem(i);
        if (item->Splitter()) {
            auto* e = FDisplayList->AddItem();
            e->Item = item;
            e->SetKind(ikSplitter);
            if (FRows > 0) {
                x = r < 1 ? x + sp : x + cw + hs + sp;
                y = startY;
                e->SetRect({x - ss / 2 - (hs + sp) / 2, hh + b, ss, float(ir.Bottom - s - b - ir.Top) - fh - hh - sb});
                r = 0;
            } else {
                y = c < 1 ? y + sp : y + rh + vs + sp;
                x = startX;
                e->SetRect({float(b), y - ss / 2 - (vs + sp) / 2, float(ir.Right - s - b - ir.Left - sb), ss});
                c = 0;
            }
            item->Cell = e->Cell;
        } else if (item->Visible() && !item->Collapsed) {
            auto* e = FDisplayList->AddItem();
            e->Item = item;
            e->SetKind(ikItem);
            e->SetRect({x, y, cw, rh});
            item->Cell = e->Cell;
            if (FRows > 0) {
                y += rh + vs;
                if (++r == FRows) {
                    r = 0;
                    y = startY;
                    x += cw + hs;
                }
            } else {
                x += cw + hs;
                // With Columns 0 too, one column downwards.
                if (++c >= std::max(FColumns, 1)) {
                    c = 0;
                    x = startX;
                    y += rh + vs;
                }
            }
        }
    }
    LaidOutRows = LaidOutColumns = 0;
    for (int i = 0; i < FDisplayList->Count(); ++i) {
        const TGPRectF& cell = FDisplayList->GetItem(i)->Cell;
        const TGPRectF* before = i > 0 ? &FDisplayList->GetItem(i - 1)->Cell : nullptr;
        LaidOutRows += !before || cell.Y != before->Y;
        LaidOutColumns += !before || cell.X != before->X;
    }
    ItemsInitialized = true;
    FLoadRestart = true;
    FLoadStartIndex = GetFirstVisibleItem();
    SetScrollBarPosition();
    ScheduleLoads();
}

void TSmoothImageListBox::ScrollLayout()
{
    if (Destroying)
        return;
    if (!ItemsInitialized) {
        InitListBoxItems();
        return;
    }
    const int position = GetPosition();
    LayoutPosition = position;
    FDisplayList->SetOffset(FRows > 0 ? float(position) : 0.0f, FRows > 0 ? 0.0f : float(position));
    FLoadRestart = true;
    FLoadStartIndex = GetFirstVisibleItem();
    SetScrollBarPosition();
    ScheduleLoads();
}

void TSmoothImageListBox::ScrollToItem(int index)
{
    const TSmoothImageListBoxDisplayListItem* entry = nullptr;
    for (int i = 0; i < FDisplayList->Count(); ++i) {
        auto* e = FDisplayList->GetItem(i);
        if (e->Item && e->Item->Index() == index) {
            entry = e;
            break;
        }
    }
    if (!entry)
        return;
    if (FRows != 0 && FColumns != 0)
        return;
    PositionTo = RoundHalfEven(FRows > 0 ? entry->Rect().X : entry->Rect().Y);
    Position = std::min(GetFullSize(), std::max(0, PositionTo + Position));
    PositionTo = Position;
    ScrollLayout();
    Changed();
}

void TSmoothImageListBox::ScrollBarScroll(int position)
{
    if (AnyItemZoomed())
        return;
    Position = PositionTo = position;
    ScrollLayout();
    Changed();
}

void TSmoothImageListBox::SetScrollBarPosition()
{
    if (Destroying)
        return;
    const TRect ir = InsideRect();
    const int s = ShadowOffset();
    const int hh = FHeader->GetHeight();
    const int fh = FFooter->GetHeight();
    const bool filled = FDisplayList->Count() > 0 && FItems->Count() > 0;
    const bool grid = FRows == 0;
    const bool visible = FShowScrollBar && filled && (grid ? FColumns > 0 : FColumns == 0);
    const int thickness = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FScrollBar);
    const QSignalBlocker block(FScrollBar);
    if (grid) {
        FScrollBar->setOrientation(Qt::Vertical);
        FScrollBar->setGeometry(ir.Right - thickness - BorderWidth(), ir.Top + hh, thickness,
                                std::max(0, ir.Bottom - ir.Top - s - hh - fh));
        FScrollBar->setPageStep(FItemAppearance->ItemHeight());
    } else {
        FScrollBar->setOrientation(Qt::Horizontal);
        FScrollBar->setGeometry(ir.Left + 1, ir.Bottom - fh - s - thickness, std::max(0, ir.Right - ir.Left - s - 1),
                                thickness);
        FScrollBar->setPageStep(FItemAppearance->ItemWidth());
    }
    FScrollBar->setRange(0, GetFullSize());
    FScrollBar->setValue(GetPosition());
    FScrollBar->setVisible(visible);
    if (OnScroll)
        OnScroll(this, FScrollBar->value());
}

void TSmoothImageListBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Guarded([this] { Resize(); });
}

void TSmoothImageListBox::Resize()
{
    AnimateZoom = true;
    WakeTimer();
    FItemAppearance->InitFills();
    InitListBoxItems();
    FItemAppearance->CheckItemWidth();
    FItemAppearance->CheckItemHeight();
    FLoadRestart = true;
    FLoadStartIndex = GetFirstVisibleItem();
    ScheduleLoads();
    if (OnResize)
        OnResize(this);
}

void TSmoothImageListBox::wheelEvent(QWheelEvent* event)
{
    // Touchpads send many small deltas: act per whole notch of 120.
    const QPoint d = event->angleDelta();
    WheelDelta += d.y() != 0 ? d.y() : d.x();
    event->accept();
    while (std::abs(WheelDelta) >= 120) {
        const bool forward = WheelDelta > 0;
        WheelDelta += forward ? -120 : 120;
        ScrollSpeed = float(FAnimationFactor);
        const int step = FRows == 0 ? FItemAppearance->GetRowHeight() : FItemAppearance->GetColumnWidth();
        PositionTo += forward ? -step : step;
        AnimateScroll = true;
    }
}

void TSmoothImageListBox::DoZoom(int index)
{
    bool anyZoomed = false;
    for (int i = 0; i < FItems->Count(); ++i) {
        TSmoothImageListBoxItem* item = FItems->GetItem(i);
        if (!item->Zoomed)
            continue;
        anyZoomed = true;
        bool allow = true;
        if (OnItemZoomOut)
            OnItemZoomOut(this, i, allow);
        if (allow)
            item->ZoomingOut = true;
    }
    if (!anyZoomed) {
        const int idx = index == -1 ? FSelectedItemIndex : index;
        if (idx < 0 || idx >= FItems->Count()) {
            Changed();
            return;
        }
        TSmoothImageListBoxItem* item = FItems->GetItem(idx);
        bool allow = true;
        if (item->Enabled() && OnItemZoomIn)
            OnItemZoomIn(this, idx, allow);
        if (!item->Enabled() || !allow || !item->Thumbnail || item->Thumbnail->GetWidth() == 0 || item->Thumbnail->GetHeight() == 0) {
            Changed();
            return;
        }
        item->Zoomed = true;
        ZoomSeen = true;
        if (FHasLocations && float(item->Thumbnail->GetWidth()) < item->SourceWidth &&
            float(item->Thumbnail->GetHeight()) < item->SourceHeight) {
            // The cell-sized thumbnail would be blown up: load the file at its own size.
            item->SetStatus(stInitialized);
            FLoadRestart = true;
            FLoadStartIndex = idx;
            ScheduleLoads();
        }
    }
    AnimateZoom = true;
    WakeTimer();
    Changed();
}

void TSmoothImageListBox::Tick()
{
    if (Destroying)
        return;
    if (!DesignPreview && !(FRows != 0 && FColumns != 0) && FItems->Count() > 0) {
        if (AnimateScroll) {
            const int target = GetPositionTo();
            const int first = FirstVisibleEntry();
            if (first >= 0) {
                int from = 0, end = 0;
                EntriesInView(from, end);
                int n = 0;
                for (int i = first; i < end; ++i)
                    if (GetItemIsVisible(FDisplayList->GetItem(i)->Rect()))
                        ++n;
                const int last = std::min(FDisplayList->Count() - 1, first + n);
                // Items still waiting for their thumbnails: get there quickly.
                for (int i = std::max(0, first); i <= last; ++i) {
                    auto* e = FDisplayList->GetItem(i);
                    if (e->Item && e->Item->Status() == stInitialized)
                        ScrollSpeed = 0.5f;
                }
            }
            const float divisor = std::max(std::abs(ScrollSpeed) * float(FAnimationFactor), 1.0f);
            const float speed = float(std::abs(target - Position)) / divisor;
            const bool wasAnimating = Animating;
            Animating = StepTowards(Position, target, speed);
            if (Animating) {
                ScrollLayout();
                Changed();
            } else if (wasAnimating && FThreadLoading == tlOnDemandAfterAnimation) {
                // What scrolled into view is wanted now.
                FLoadRestart = true;
                FLoadStartIndex = GetFirstVisibleItem();
                ScheduleLoads();
            }
        }
        if (AnimateZoom)
            StepZoom();
    }
    if (++LookupTicks >= 100) {
        LookupText.clear();
        LookupTicks = 0;
    }
    // Ticks of nothing would only wake the program: sleep until input or a zoom.
    if (FTimer->isActive() && Idle())
        FTimer->stop();
}

void TSmoothImageListBox::StepZoom()
{
    const TRect ir = InsideRect();
    const int hh = FHeader->GetHeight();
    const int fh = FFooter->GetHeight();
    bool any = false;
    for (int i = 0; i < FDisplayList->Count() && AnimateZoom; ++i) {
        auto* e = FDisplayList->GetItem(i);
        TSmoothImageListBoxItem* item = e->Item;
        if (!item || e->Kind() != ikItem)
            continue;
        any = any || item->Zoomed;
        if (item->ZoomingOut) {
            if (!StepRect(item, item->TargetImageRect)) {
                AnimateZoom = false;
                item->Zoomed = false;
                item->ZoomingOut = false;
                Changed();
                if (OnItemZoomedOut)
                    OnItemZoomedOut(this, item->Index());
            } else {
                Changed();
            }
        } else if (item->Zoomed && item->Status() == stLoaded) {
            int w, h;
            if (FRows > 0) {
                w = ir.Right - ir.Left;
                h = ir.Bottom - ir.Top - hh - fh - ScrollBarThickness();
            } else {
                w = ir.Right - ir.Left - ScrollBarThickness();
                h = ir.Bottom - ir.Top - hh - fh;
            }
            int tw = w, th = h;
            if (FZoomMode == zmAspectRatio)
                GetAspectSize(tw, th, w, h, RoundHalfEven(item->SourceWidth),
                              RoundHalfEven(item->SourceHeight));
            const TGPRect target{ir.Left + RoundHalfEven((w - tw) / 2.0), ir.Top + hh + RoundHalfEven((h - th) / 2.0),
                                 tw, th};
            if (!StepRect(item, target)) {
                AnimateZoom = false;
                if (OnItemZoomedIn)
                    OnItemZoomedIn(this, item->Index());
            } else {
                Changed();
            }
        }
    }
    // A resize arms the zoom for a zoomed item to follow; with none there is nothing to step.
    if (!any)
        AnimateZoom = false;
}

void TSmoothImageListBox::GetAspectSize(int& w, int& h, int bw, int bh, int iw, int ih)
{
    FitAspectSize(FItemAppearance->AspectRatio(), FItemAppearance->Stretch() == isShrinkOnly, w, h, bw, bh, iw, ih);
}

void TSmoothImageListBox::FitAspectSize(bool aspectRatio, bool shrinkOnly, int& w, int& h, int bw, int bh, int iw,
                                        int ih)
{
    if (!aspectRatio) {
        w = bw;
        h = bh;
        return;
    }
    if (bw <= 0 || bh <= 0 || iw <= 0 || ih <= 0) {
        w = h = 0;
        return;
    }
    if (iw < bw && ih < bh && shrinkOnly) {
        w = iw;
        h = ih;
        return;
    }
    // Integer multiply-divide rounding halves away from zero, as MulDiv does.
    auto mulDiv = [](int a, int b, int c) { return int(std::llround(double(int64_t(a) * b) / c)); };
    if (double(bw) / bh <= double(iw) / ih) {
        w = bw;
        h = mulDiv(bw, ih, iw);
    } else {
        h = bh;
        w = mulDiv(bh, iw, ih);
    }
}
