#pragma once
// The laid-out cells of the thumbnail strip: one entry per item or group
// splitter shown, in item order, filled by the strip's relayout.
#include <memory>
#include <vector>

#include "controls/GPValues.h"

class TSmoothImageListBoxItem;
class TSmoothImageListBoxDisplayList;

enum TSmoothImageListBoxItemKind : int { ikItem, ikSplitter };

class TSmoothImageListBoxDisplayListItem {
public:
    explicit TSmoothImageListBoxDisplayListItem(const TSmoothImageListBoxDisplayList* list = nullptr) : list_(list) {}

    // Where the entry is shown: its cell shifted by the scroll offset.
    TGPRectF Rect() const;
    void SetRect(const TGPRectF& shown);
    // The cell as laid out, before scrolling: a scroll moves no entry.
    TGPRectF Cell{};
    TSmoothImageListBoxItem* Item = nullptr;

    TSmoothImageListBoxItemKind Kind() const { return kind_; }
    void SetKind(TSmoothImageListBoxItemKind value);
    void Changed() {}

private:
    const TSmoothImageListBoxDisplayList* list_;
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
    // How many entries show an item (not a splitter); counted again only
    // after the entries changed, not on every paint.
    int ItemEntryCount() const;
    // Drops every entry that shows the item (it is being destroyed).
    void RemoveItem(const TSmoothImageListBoxItem* item);

    // The scroll offset the cells are shown at (subtracted from them).
    float OffsetX() const { return offsetX_; }
    float OffsetY() const { return offsetY_; }
    void SetOffset(float x, float y)
    {
        offsetX_ = x;
        offsetY_ = y;
    }
    // The first entry whose cell begins less than reach before start along
    // the scroll direction (X with horizontal, else Y), in shown
    // coordinates; Count() when none. With reach the largest extent of a
    // cell, nothing before it reaches start: cells begin in list order
    // along that direction.
    int FirstReaching(float start, float reach, bool horizontal) const;

private:
    friend class TSmoothImageListBoxDisplayListItem;
    float offsetX_ = 0;
    float offsetY_ = 0;
    mutable int itemEntries_ = -1;  // -1: to be counted
    std::vector<std::unique_ptr<TSmoothImageListBoxDisplayListItem>> entries_;
};
