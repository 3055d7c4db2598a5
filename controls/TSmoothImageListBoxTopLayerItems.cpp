#include "controls/TSmoothImageListBoxTopLayerItems.h"

#include <algorithm>

#include "controls/IListBoxHost.h"
#include "controls/TSmoothImageListBoxHTMLText.h"

TSmoothImageListBoxTopLayerItem::TSmoothImageListBoxTopLayerItem(TSmoothImageListBoxTopLayerItems* collection)
    : collection_(collection),
      htmlText_(std::make_unique<TSmoothImageListBoxHTMLText>(collection->owner_)),
      fill_(std::make_unique<TGDIPFill>())
{
    collection_->items_.push_back(this);
    htmlText_->OnChange = [this] { HTMLTextChanged(); };
    fill_->OnChange = [this](TGDIPFill*) { FillChanged(); };
    Changed();
}

TSmoothImageListBoxTopLayerItem::~TSmoothImageListBoxTopLayerItem()
{
    htmlText_.reset();
    fill_.reset();
    Changed();
    auto& items = collection_->items_;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
}

int TSmoothImageListBoxTopLayerItem::Index() const
{
    const auto& items = collection_->items_;
    return int(std::find(items.begin(), items.end(), this) - items.begin());
}

void TSmoothImageListBoxTopLayerItem::SetHTMLText(const TSmoothImageListBoxHTMLText* value)
{
    if (value && value != htmlText_.get()) {
        htmlText_->Assign(*value);
        Changed();
    }
}

void TSmoothImageListBoxTopLayerItem::SetFill(const TGDIPFill* value)
{
    if (AssignFillQuietly(*fill_, value))
        Changed();
}

void TSmoothImageListBoxTopLayerItem::Assign(const TSmoothImageListBoxTopLayerItem& source)
{
    if (&source == this)
        return;
    htmlText_->Assign(*source.htmlText_);
    fVisible = source.fVisible;
    fTop = source.fTop;
    fLeft = source.fLeft;
    fHeight = source.fHeight;
    fWidth = source.fWidth;
    AssignFillQuietly(*fill_, source.fill_.get());
    fAlign = source.fAlign;
    Changed();
}

void TSmoothImageListBoxTopLayerItem::Changed()
{
    if (IListBoxHost* owner = collection_->owner_)
        owner->Changed();
}

TGPRectF TSmoothImageListBoxTopLayerItem::GetBoxRect(const TGPRectF& a) const
{
    const float w = float(fWidth), h = float(fHeight);
    switch (fAlign) {
    case alTop: return TGPRectF{a.X, a.Y, a.Width, h};
    case alBottom: return TGPRectF{a.X, a.Y + a.Height - h, a.Width, h};
    case alLeft: return TGPRectF{a.X, a.Y, w, a.Height};
    case alRight: return TGPRectF{a.X + a.Width - w, a.Y, w, a.Height};
    case alClient: return a;
    case alCustom: return TGPRectF{a.X + float(fLeft), a.Y + float(fTop), w, h};
    case alNone: break;
    }
    return TGPRectF{};
}

void TSmoothImageListBoxTopLayerItem::Draw(TGPGraphics* graphics, const TGPRectF& area)
{
    // alNone places no box: such an item shows nothing.
    if (!fVisible || fAlign == alNone)
        return;
    if (fill_->RoundingType() != rtNone && fill_->Rounding() > 0)
        graphics->SetSmoothingMode(SmoothingModeAntiAlias);
    TGPRectF box = GetBoxRect(area);
    if (fill_->BorderColor() == colors::clNone || fill_->BorderWidth() == 0)
        box.Height += 1;
    fill_->Fill(graphics, box);
    collection_->owner_->DrawHTMLText(graphics, *htmlText_, box);
    graphics->SetSmoothingMode(SmoothingModeDefault);
}

TSmoothImageListBoxTopLayerItems::TSmoothImageListBoxTopLayerItems(IListBoxHost* owner) : owner_(owner) {}

TSmoothImageListBoxTopLayerItems::~TSmoothImageListBoxTopLayerItems()
{
    // Items are gone before the list box: nothing to repaint any more.
    owner_ = nullptr;
    Clear();
}

TSmoothImageListBoxTopLayerItem* TSmoothImageListBoxTopLayerItems::Add()
{
    return new TSmoothImageListBoxTopLayerItem(this);
}

TSmoothImageListBoxTopLayerItem* TSmoothImageListBoxTopLayerItems::Insert(int index)
{
    auto* item = new TSmoothImageListBoxTopLayerItem(this);
    items_.pop_back();
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    return item;
}

void TSmoothImageListBoxTopLayerItems::Delete(int index)
{
    if (index >= 0 && index < Count())
        delete items_[size_t(index)];
}

void TSmoothImageListBoxTopLayerItems::Clear()
{
    while (!items_.empty())
        delete items_.back();
}

TSmoothImageListBoxTopLayerItem* TSmoothImageListBoxTopLayerItems::GetItem(int index) const
{
    return index >= 0 && index < Count() ? items_[size_t(index)] : nullptr;
}

void TSmoothImageListBoxTopLayerItems::SetItem(int index, const TSmoothImageListBoxTopLayerItem* value)
{
    if (TSmoothImageListBoxTopLayerItem* item = GetItem(index); item && value)
        item->Assign(*value);
}

void TSmoothImageListBoxTopLayerItems::Assign(const TSmoothImageListBoxTopLayerItems& source)
{
    if (&source == this)
        return;
    Clear();
    for (const TSmoothImageListBoxTopLayerItem* item : source.items_)
        Add()->Assign(*item);
}
