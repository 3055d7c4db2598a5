#include "zip/TZADirArray.h"

#include "zip/EZAException.h"
#include "zip/TZAHashedStringList.h"
#include "zip/WideUtils.h"

TZADirArray::TZADirArray() : names_(std::make_unique<TZAHashedStringList>()) {}

TZADirArray::~TZADirArray() = default;

void TZADirArray::SetCount(int n)
{
    if (n < 0)
        throw EZAException(1);
    if (n == 0) {
        items_.clear();
        items_.shrink_to_fit();
        capacity_ = 0;
        count_ = 0;
        names_->Clear();
        return;
    }
    if (n > capacity_) {
        growth_ = std::min(growth_ * 2, kMaximumGrowth);
        capacity_ = capacity_ + growth_ > n ? capacity_ + growth_ : n;
        // Room only: an item is made when a slot comes into use, not ten
        // thousand at a time ahead of it.
        items_.reserve(static_cast<size_t>(capacity_));
    }
    // Slots coming into use start empty; those that fall off the end go.
    items_.resize(static_cast<size_t>(n));
    // Names of items that fall off the end leave the index with them.
    while (names_->Count() > n)
        names_->Delete(names_->Count() - 1);
    count_ = n;
}

void TZADirArray::Clear()
{
    items_.clear();
    count_ = 0;
    names_->Clear();
}

TDirItem TZADirArray::GetItem(int i) const
{
    if (i < 0 || i >= count_)
        throw EZAException(2);
    return items_[i];
}

TDirItem& TZADirArray::ItemAt(int i)
{
    if (i < 0 || i >= count_)
        throw EZAException(3);
    return items_[i];
}

const TDirItem& TZADirArray::ItemAt(int i) const
{
    if (i < 0 || i >= count_)
        throw EZAException(3);
    return items_[i];
}

void TZADirArray::SetItem(int i, const TDirItem& item)
{
    if (i < 0 || i >= count_)
        throw EZAException(1);
    const std::u16string key = WideLowerCase(item.FileName);
    if (i >= names_->Count()) {
        if (names_->Count() != i)
            throw EZAException(58);
        names_->Add(key);
    } else {
        names_->Replace(i, key);
    }
    items_[i] = item;
}

void TZADirArray::Delete(int i)
{
    if (i < 0 || i >= count_)
        throw EZAException(4);
    if (i < names_->Count()) {
        names_->Delete(i);
    } else {
        const int at = names_->IndexOf(WideLowerCase(items_[i].FileName));
        if (at >= 0)
            names_->Delete(at);
    }
    items_.erase(items_.begin() + i);
    --count_;
}

void TZADirArray::Assign(const TZADirArray& other)
{
    Clear();
    SetCount(other.count_);
    for (int i = 0; i < other.count_; ++i)
        SetItem(i, other.items_[i]);
}

bool TZADirArray::FindName(const std::u16string& name, int& index) const
{
    index = names_->IndexOf(WideLowerCase(name));
    return index >= 0 && index < count_;
}

bool TZADirArray::FindItemName(const std::u16string& name, int& index) const
{
    if (!FindName(name, index))
        return false;
    if (items_[index].FileName != name)
        for (int i = 0; i < count_; ++i)
            if (items_[i].FileName == name) {
                index = i;
                break;
            }
    return true;
}

void TZADirArray::RenameItem(int i, const std::u16string& newName)
{
    TDirItem& item = ItemAt(i);
    const int at = names_->IndexOf(WideLowerCase(item.FileName));
    if (at < 0)
        names_->Add(WideLowerCase(newName));
    else if (at == i)
        names_->Replace(i, WideLowerCase(newName));
    else
        throw EZAException(59);
    item.FileName = newName;
}
