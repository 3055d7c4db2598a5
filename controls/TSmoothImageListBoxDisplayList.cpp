#include "controls/TSmoothImageListBoxDisplayList.h"

#include <algorithm>

TSmoothImageListBoxDisplayListItem* TSmoothImageListBoxDisplayList::AddItem()
{
    entries_.push_back(std::make_unique<TSmoothImageListBoxDisplayListItem>());
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
}

void TSmoothImageListBoxDisplayList::Clear()
{
    while (!entries_.empty())
        entries_.pop_back();
}

void TSmoothImageListBoxDisplayList::RemoveItem(const TSmoothImageListBoxItem* item)
{
    std::erase_if(entries_, [item](const auto& entry) { return entry->Item == item; });
}
