#pragma once
// Fixed text boxes with a fill, drawn above the strip's items.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/GDIPFill.h"
#include "controls/ListBoxProperty.h"
#include "controls/Margins.h"

class IListBoxHost;
class TSmoothImageListBoxHTMLText;
class TSmoothImageListBoxTopLayerItems;

class TSmoothImageListBoxTopLayerItem {
public:
    // Adds itself at the end of the collection and repaints the list box.
    explicit TSmoothImageListBoxTopLayerItem(TSmoothImageListBoxTopLayerItems* collection);
    // Repaints the list box and leaves the collection.
    ~TSmoothImageListBoxTopLayerItem();
    TSmoothImageListBoxTopLayerItem(const TSmoothImageListBoxTopLayerItem&) = delete;
    TSmoothImageListBoxTopLayerItem& operator=(const TSmoothImageListBoxTopLayerItem&) = delete;

    VELMORA_LISTBOX_PROPERTY(bool, Visible, true)
    VELMORA_LISTBOX_PROPERTY(int, Top, 0)
    VELMORA_LISTBOX_PROPERTY(int, Left, 0)
    VELMORA_LISTBOX_PROPERTY(TAlign, Align, alCustom)
    VELMORA_LISTBOX_PROPERTY(int, Width, 100)
    VELMORA_LISTBOX_PROPERTY(int, Height, 100)

public:
    TSmoothImageListBoxHTMLText* HTMLText() const { return htmlText_.get(); }
    void SetHTMLText(const TSmoothImageListBoxHTMLText* value);
    TGDIPFill* Fill() const { return fill_.get(); }
    void SetFill(const TGDIPFill* value);
    // Application values, not copied by Assign.
    void* ItemObject = nullptr;
    intptr_t Tag = 0;

    TSmoothImageListBoxTopLayerItems* Collection() const { return collection_; }
    int Index() const;

    // Text, Visible, Top, Left, Height, Width, fill and Align; then Changed.
    void Assign(const TSmoothImageListBoxTopLayerItem& source);
    // Repaints the list box.
    void Changed();
    // The box this item covers in the items area (x, y, w, h); w and h are
    // the area's own size.
    TGPRectF GetBoxRect(const TGPRectF& area) const;
    // Paints the box and its text into the items area, when visible.
    void Draw(TGPGraphics* graphics, const TGPRectF& area);

private:
    void HTMLTextChanged() { Changed(); }
    void FillChanged() { Changed(); }

    TSmoothImageListBoxTopLayerItems* collection_;
    std::unique_ptr<TSmoothImageListBoxHTMLText> htmlText_;
    std::unique_ptr<TGDIPFill> fill_;
};

class TSmoothImageListBoxTopLayerItems {
public:
    explicit TSmoothImageListBoxTopLayerItems(IListBoxHost* owner);
    ~TSmoothImageListBoxTopLayerItems();
    TSmoothImageListBoxTopLayerItems(const TSmoothImageListBoxTopLayerItems&) = delete;
    TSmoothImageListBoxTopLayerItems& operator=(const TSmoothImageListBoxTopLayerItems&) = delete;

    TSmoothImageListBoxTopLayerItem* Add();
    // Index is clamped into 0..Count.
    TSmoothImageListBoxTopLayerItem* Insert(int index);
    // Frees the item; an index out of range does nothing.
    void Delete(int index);
    void Clear();
    int Count() const { return int(items_.size()); }
    // Null for an index out of range.
    TSmoothImageListBoxTopLayerItem* GetItem(int index) const;
    // Assigns the value into the existing item.
    void SetItem(int index, const TSmoothImageListBoxTopLayerItem* value);
    // Replaces the items by copies of the source's.
    void Assign(const TSmoothImageListBoxTopLayerItems& source);
    IListBoxHost* GetOwner() const { return owner_; }

    std::function<void()> OnChange;  // published; never fired

private:
    friend class TSmoothImageListBoxTopLayerItem;

    IListBoxHost* owner_;
    // Raw pointers: each item frees itself out of this list in its destructor.
    std::vector<TSmoothImageListBoxTopLayerItem*> items_;
};
