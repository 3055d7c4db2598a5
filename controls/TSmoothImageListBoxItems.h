#pragma once
// The thumbnail strip's items. Changes of the collection's structure keep
// the strip's loader thread away: every BeginUpdate stops it, and the last
// EndUpdate relayouts, repaints and starts it again; Add, Insert, Delete,
// Move, Clear and Sort outside an update bracket themselves.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

class IListBoxHost;
class TSmoothImageListBoxItem;

class TSmoothImageListBoxItems {
public:
    explicit TSmoothImageListBoxItems(IListBoxHost* owner);
    // Frees the items without calling the owner (which is going away); the
    // owner stops its loader thread first.
    virtual ~TSmoothImageListBoxItems();
    TSmoothImageListBoxItems(const TSmoothImageListBoxItems&) = delete;
    TSmoothImageListBoxItems& operator=(const TSmoothImageListBoxItems&) = delete;

    IListBoxHost* GetOwner() const { return owner_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // Null for an index outside the collection.
    TSmoothImageListBoxItem* GetItem(int index) const;
    TSmoothImageListBoxItem* operator[](int index) const { return GetItem(index); }
    // Assigns the value into the existing item at the index.
    void SetItem(int index, const TSmoothImageListBoxItem& value);
    // Replaces every item by a copy of the source's.
    void Assign(const TSmoothImageListBoxItems& source);

    TSmoothImageListBoxItem* Add();
    // An index outside 0..Count appends.
    TSmoothImageListBoxItem* Insert(int index);
    // An index outside the collection does nothing.
    void Delete(int index);
    void Clear();
    // Moves the item at `from` to `to` (clamped into the collection).
    void Move(int from, int to);

    virtual void BeginUpdate();
    virtual void EndUpdate();
    // The loader thread reads it while it runs.
    int UpdateCount() const { return updateCount_.load(); }
    bool Updating() const { return updateCount_.load() > 0; }

    // Orders by caption text without markup, a-z compared in upper case.
    void Sort();
    void QuickSort(int l, int r);
    virtual int Compare(const TSmoothImageListBoxItem* item1, const TSmoothImageListBoxItem* item2) const;
    // The first item whose caption text (with its markup) equals the text
    // exactly; -1 when none.
    int Find(const std::string& text) const;

    int CountSelected() const;
    bool HasSplitters() const;
    bool HasItems() const;
    // Indices after `index` of the next splitter or plain item; -1 when none.
    int FirstSplitter() const { return NextSplitter(-1); }
    int NextSplitter(int index) const;
    int FirstItem() const { return NextItem(-1); }
    int NextItem(int index) const;
    // Indices outside the collection are skipped.
    void Select(const std::vector<int>& indices);
    void SelectAll();
    void UnSelectAll();

    // Published; nothing in the strip fires it.
    std::function<void()> OnChange;

    // True while the destructor frees the items.
    bool Destroying() const { return destroying_; }

private:
    friend class TSmoothImageListBoxItem;
    // The item's constructor and destructor.
    void Attach(TSmoothImageListBoxItem* item);
    void Detach(TSmoothImageListBoxItem* item);
    // Tells the items from `from` on where they stand.
    void Renumber(int from);

    IListBoxHost* owner_;
    std::vector<TSmoothImageListBoxItem*> items_;  // owned
    std::atomic<int> updateCount_{0};
    bool destroying_ = false;
};
