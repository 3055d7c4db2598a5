#pragma once
// The laid-out cells of the thumbnail strip: one entry per item or group
// splitter shown, in item order, filled by the strip's relayout.
#include <memory>
#include <vector>

#include "controls/GPValues.h"

class TSmoothImageListBoxItem;

enum TSmoothImageListBoxItemKind : int { ikItem, ikSplitter };

class TSmoothImageListBoxDisplayListItem {
public:
    TGPRectF Rect{};  // already shifted by the scroll offset
    TSmoothImageListBoxItem* Item = nullptr;

    TSmoothImageListBoxItemKind Kind() const { return kind_; }
    void SetKind(TSmoothImageListBoxItemKind value)
    {
        if (kind_ != value) {
            kind_ = value;
            Changed();
        }
    }
    void Changed() {}

private:
    TSmoothImageListBoxItemKind kind_ = ikItem;
};

class TSmoothImageListBoxDisplayList {
public:
    // A new empty entry at the end.
    TSmoothImageListBoxDisplayListItem* AddItem();
    // Null for an index outside the list.
    TSmoothImageListBoxDisplayListItem* GetItem(int index) const;
    // An index outside the list does nothing.
    void DeleteItem(int index);
    void Clear();
    int Count() const { return static_cast<int>(entries_.size()); }
    // Drops every entry that shows the item (it is being destroyed).
    void RemoveItem(const TSmoothImageListBoxItem* item);

private:
    std::vector<std::unique_ptr<TSmoothImageListBoxDisplayListItem>> entries_;
};
