#include "controls/TSmoothImageListBoxItemAppearance.h"

#include <algorithm>

#include "controls/GPImage.h"
#include "controls/IListBoxHost.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "platform/gdiplus/GpObjects.h"

namespace {

bool ItemsUpdating(IListBoxHost* host)
{
    return host->Items() && host->Items()->UpdateCount() > 0;
}

int BarHeight(const TSmoothImageListBoxBar* bar)
{
    return bar ? bar->GetHeight() : 0;
}

}  // namespace

TSmoothImageListBoxItemAppearance::TSmoothImageListBoxItemAppearance(IListBoxHost* owner)
    : owner_(owner),
      imageMargin_(std::make_unique<TMargins>()),
      textMargin_(std::make_unique<TMargins>()),
      fill_(std::make_unique<TGDIPFill>()),
      selectedFill_(std::make_unique<TGDIPFill>()),
      disabledFill_(std::make_unique<TGDIPFill>()),
      hoverFill_(std::make_unique<TGDIPFill>()),
      splitter_(std::make_unique<TSmoothImageListBoxSplitter>(owner))
{
    fill_->OnChange = [this](TGDIPFill*) { FillChanged(); };
    selectedFill_->OnChange = [this](TGDIPFill*) { SelectedFillChanged(); };
    disabledFill_->OnChange = [this](TGDIPFill*) { DisabledFillChanged(); };
    hoverFill_->OnChange = [this](TGDIPFill*) { HoveredFillChanged(); };
    imageMargin_->OnChange = [this] { MarginChanged(); };
    textMargin_->OnChange = [this] { MarginChanged(); };
    splitter_->OnChange = [this] { SplitterChanged(); };
}

TSmoothImageListBoxItemAppearance::~TSmoothImageListBoxItemAppearance() = default;

void TSmoothImageListBoxItemAppearance::SetItemWidth(int value)
{
    if (itemWidth_ == value)
        return;
    itemWidth_ = value;
    if (!ItemsUpdating(owner_))
        owner_->InitListBoxItems();
    CheckItemWidth();
    InitFills();
    Changed();
}

void TSmoothImageListBoxItemAppearance::SetItemHeight(int value)
{
    if (itemHeight_ == value)
        return;
    itemHeight_ = value;
    if (!ItemsUpdating(owner_))
        owner_->InitListBoxItems();
    CheckItemHeight();
    InitFills();
    Changed();
}

void TSmoothImageListBoxItemAppearance::SetItemHorizontalSpacing(int value)
{
    if (itemHorizontalSpacing_ == value)
        return;
    itemHorizontalSpacing_ = value;
    owner_->InitListBoxItems();
    Changed();
}

void TSmoothImageListBoxItemAppearance::SetItemVerticalSpacing(int value)
{
    if (itemVerticalSpacing_ == value)
        return;
    itemVerticalSpacing_ = value;
    owner_->InitListBoxItems();
    Changed();
}

void TSmoothImageListBoxItemAppearance::SetImageMargin(const TMargins* value)
{
    if (value && value != imageMargin_.get()) {
        imageMargin_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxItemAppearance::SetTextMargin(const TMargins* value)
{
    if (value && value != textMargin_.get()) {
        textMargin_->Assign(*value);
        Changed();
    }
}

// The owned fill takes the values quietly and its cache is rendered once.
void TSmoothImageListBoxItemAppearance::SetFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*fill_, value))
        FillChanged();
}

void TSmoothImageListBoxItemAppearance::SetSelectedFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*selectedFill_, value))
        SelectedFillChanged();
}

void TSmoothImageListBoxItemAppearance::SetDisabledFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*disabledFill_, value))
        DisabledFillChanged();
}

void TSmoothImageListBoxItemAppearance::SetHoverFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*hoverFill_, value))
        HoveredFillChanged();
}

void TSmoothImageListBoxItemAppearance::SetSplitter(const TSmoothImageListBoxSplitter* value)
{
    if (value && value != splitter_.get()) {
        splitter_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxItemAppearance::Assign(const TSmoothImageListBoxItemAppearance& source)
{
    if (&source == this)
        return;
    fImageTop = source.fImageTop;
    fImageLeft = source.fImageLeft;
    fImageWidth = source.fImageWidth;
    fImageHeight = source.fImageHeight;
    fTextTop = source.fTextTop;
    fTextLeft = source.fTextLeft;
    fTextWidth = source.fTextWidth;
    fTextHeight = source.fTextHeight;
    imageMargin_->Assign(*source.imageMargin_);
    textMargin_->Assign(*source.textMargin_);
    itemHeight_ = source.itemHeight_;
    itemWidth_ = source.itemWidth_;
    AssignFillQuietly(*fill_, source.fill_.get());
    AssignFillQuietly(*selectedFill_, source.selectedFill_.get());
    AssignFillQuietly(*disabledFill_, source.disabledFill_.get());
    AssignFillQuietly(*hoverFill_, source.hoverFill_.get());
    itemHorizontalSpacing_ = source.itemHorizontalSpacing_;
    itemVerticalSpacing_ = source.itemVerticalSpacing_;
    splitter_->Assign(*source.splitter_);
    fHoverSize = source.fHoverSize;
    fAutoSize = source.fAutoSize;
    fTextVisible = source.fTextVisible;
    fImageVisible = source.fImageVisible;
    fAspectRatio = source.fAspectRatio;
    fStretch = source.fStretch;
    InitFills();
    Changed();
}

void TSmoothImageListBoxItemAppearance::Changed()
{
    if (owner_)
        owner_->Changed();
}

void TSmoothImageListBoxItemAppearance::InitFills()
{
    RenderCache(fill_.get(), fillBitmap_);
    RenderCache(disabledFill_.get(), disabledFillBitmap_);
    RenderCache(selectedFill_.get(), selectedFillBitmap_);
    RenderCache(hoverFill_.get(), hoverFillBitmap_);
}

void TSmoothImageListBoxItemAppearance::FillChanged()
{
    RenderCache(fill_.get(), fillBitmap_);
}

void TSmoothImageListBoxItemAppearance::SelectedFillChanged()
{
    RenderCache(selectedFill_.get(), selectedFillBitmap_);
}

void TSmoothImageListBoxItemAppearance::DisabledFillChanged()
{
    RenderCache(disabledFill_.get(), disabledFillBitmap_);
}

void TSmoothImageListBoxItemAppearance::HoveredFillChanged()
{
    RenderCache(hoverFill_.get(), hoverFillBitmap_);
}

void TSmoothImageListBoxItemAppearance::RenderCache(TGDIPFill* fill, std::unique_ptr<TGPBitmap>& cache)
{
    cache.reset();
    const int w = GetColumnWidth(), h = GetRowHeight();
    cache = std::make_unique<TGPBitmap>(w, h, PixelFormat32bppARGB);
    {
        TGPGraphics graphics(cache.get());
        // The normal fill decides the smoothing of all four caches.
        if (fill_->RoundingType() != rtNone && fill_->Rounding() > 0)
            graphics.SetSmoothingMode(SmoothingModeAntiAlias);
        fill->Fill(&graphics, TGPRectF{0, 0, float(w - 1), float(h - 1)});
    }
    // Every visible cell draws one of these each frame.
    if (auto premultiplied = NewDrawingBitmap(cache->NativeBitmap()->image))
        cache = std::move(premultiplied);
    Changed();
}

// AutoSize only ever shrinks cells; a window too small for one pixel per
// cell still gives cells of 1, so that bitmaps and layout stay sound.
int TSmoothImageListBoxItemAppearance::GetColumnWidth() const
{
    int result = itemWidth_;
    if (fAutoSize) {
        const TRect r = owner_->InsideRect();
        const int available = r.Right - r.Left - owner_->ShadowOffset() - owner_->ScrollBarThickness() -
                              itemHorizontalSpacing_;
        const int columns = owner_->Columns();
        if (columns > 0) {
            const int w = RoundHalfEven(double(available - itemHorizontalSpacing_ * columns) / columns);
            if (itemWidth_ > w)
                result = w;
        }
    }
    return std::max(result, 1);
}

int TSmoothImageListBoxItemAppearance::GetRowHeight() const
{
    int result = itemHeight_;
    if (fAutoSize) {
        const TRect r = owner_->InsideRect();
        const int available = r.Bottom - r.Top - owner_->ShadowOffset() - BarHeight(owner_->Header()) -
                              BarHeight(owner_->Footer()) - owner_->ScrollBarThickness() - itemVerticalSpacing_;
        const int rows = owner_->Rows();
        if (rows > 0) {
            const int h = RoundHalfEven(double(available - itemVerticalSpacing_ * rows) / rows);
            if (itemHeight_ > h)
                result = h;
        }
    }
    return std::max(result, 1);
}

void TSmoothImageListBoxItemAppearance::CheckItemWidth()
{
    CheckReload(true);
}

void TSmoothImageListBoxItemAppearance::CheckItemHeight()
{
    CheckReload(false);
}

void TSmoothImageListBoxItemAppearance::CheckReload(bool widths)
{
    if (!owner_->HasLocations())
        return;
    const TGPRectF area =
        owner_->GetItemImageRect(TGPRectF{0, 0, float(GetColumnWidth()), float(GetRowHeight())});
    const double a = widths ? area.Width : area.Height;
    // In double precision: 90 × 1.3 in single precision falls below 117.
    constexpr double kGrowth = 1.3;
    const TSmoothImageListBoxDisplayList* list = owner_->DisplayList();
    for (int i = 0; list && i < list->Count(); ++i) {
        TSmoothImageListBoxItem* item = list->GetItem(i)->Item;
        if (!item || item->Status() != stLoaded)
            continue;
        const double largest = widths ? item->LargestThumbWidth : item->LargestThumbHeight;
        const double source = widths ? item->SourceWidth : item->SourceHeight;
        if (largest * kGrowth < a && a <= source) {
            item->SetStatus(stInitialized);
            owner_->SetLoadRestart(true);
        }
    }
    if (owner_->LoadRestart())
        owner_->SetLoadStartIndex(owner_->GetFirstVisibleItem());
}

void TSmoothImageListBoxItemAppearance::DrawFocusRect(TGDIPFill* fill, TGPGraphics* graphics,
                                                      const TGPRectF& rect) const
{
    if (!owner_->HasFocus() || !owner_->TabStop() || !owner_->ShowFocus())
        return;
    std::unique_ptr<TGPGraphicsPath> path(
        CreateRoundRectPath(rect, fill->Rounding() - fill->BorderWidth(), fill->RoundingType(), false));
    graphics->SetSmoothingMode(SmoothingModeNone);
    TGPPen pen(MakeColor(255, owner_->FocusColor()), 1.0f);
    pen.SetDashStyle(DashStyleDot);
    graphics->DrawPath(&pen, path.get());
}
