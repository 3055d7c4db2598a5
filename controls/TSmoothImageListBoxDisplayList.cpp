#include "controls/TSmoothImageListBoxDisplayList.h"

#include <algorithm>

TGPRectF TSmoothImageListBoxDisplayListItem::Rect() const
{
    if (!list_)
        return Cell;
    return TGPRectF{Cell.X - list_->OffsetX(), Cell.Y - list_->OffsetY(), Cell.Width, Cell.Height};
}

void TSmoothImageListBoxDisplayListItem::SetRect(const TGPRectF& shown)
{
    Cell = shown;
    if (list_) {
        Cell.X += list_->OffsetX();
        Cell.Y += list_->OffsetY();
    }
}

void TSmoothImageListBoxDisplayListItem::SetKind(TSmoothImageListBoxItemKind value)
{
    if (kind_ == value)
        return;
    kind_ = value;
    if (list_)
        list_->itemEntries_ = -1;
    Changed();
}

int TSmoothImageListBoxDisplayList::ItemEntryCount() const
{
    if (itemEntries_ < 0)
        itemEntries_ = int(std::count_if(entries_.begin(), entries_.end(),
                                         [](const auto& e) { return e->Kind() == ikItem; }));
    return itemEntries_;
}

int TSmoothImageListBoxDisplayList::FirstReaching(float start, float reach, bool horizontal) const
{
    const float from = start + (horizontal ? offsetX_ : offsetY_) - reach;
    const auto it = std::partition_point(entries_.begin(), entries_.end(),
                                         [&](const auto& e) { return (horizontal ? e->Cell.X : e->Cell.Y) <= from; });
    return int(it - entries_.begin());
}

TSmoothImageListBoxDisplayListItem* TSmoothImageListBoxDisplayList::AddItem()
{
    entries_.push_back(std::make_unique<TSmoothImageListBoxDisplayListItem>(this));
    itemEntries_ = -1;
    return entries_.back().get();
}

TSmoothImageListBoxDisplayListItem* TSmoothImageListBoxDisplayList::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return entries_[static_cast<size_t>(index)].get();
}

void TSmoothImageListBoxDisplayList::DeleteItem(int index)
{
    if (index >= 0 && index < Count())
        entries_.erase(entries_.begin() + index);
    itemEntries_ = -1;
}

void TSmoothImageListBoxDisplayList::Clear()
{
    while (!entries_.empty())
        entries_.pop_back();
    itemEntries_ = -1;
}

void TSmoothImageListBoxDisplayList::RemoveItem(const TSmoothImageListBoxItem* item)
{
    std::erase_if(entries_, [item](const auto& entry) { return entry->Item == item; });
    itemEntries_ = -1;
}
