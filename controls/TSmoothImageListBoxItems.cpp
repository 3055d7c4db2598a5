#include "controls/TSmoothImageListBoxItems.h"

#include <algorithm>

#include "controls/IListBoxHost.h"
#include "controls/MarkupRenderer.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"

namespace {
// Brackets a change of the collection's structure in an update of its own
// when the caller has none, so that the loader thread is stopped during it
// and the relayout follows once.
class StructureChange {
public:
    explicit StructureChange(TSmoothImageListBoxItems& items) : items_(items), own_(!items.Updating())
    {
        if (own_)
            items_.BeginUpdate();
    }
    ~StructureChange()
    {
        if (own_)
            items_.EndUpdate();
    }
    StructureChange(const StructureChange&) = delete;
    StructureChange& operator=(const StructureChange&) = delete;

private:
    TSmoothImageListBoxItems& items_;
    bool own_;
};
}  // namespace

TSmoothImageListBoxItems::TSmoothImageListBoxItems(IListBoxHost* owner) : owner_(owner) {}

TSmoothImageListBoxItems::~TSmoothImageListBoxItems()
{
    destroying_ = true;
    while (!items_.empty())
        delete items_.back();
}

TSmoothImageListBoxItem* TSmoothImageListBoxItems::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return items_[static_cast<size_t>(index)];
}

void TSmoothImageListBoxItems::SetItem(int index, const TSmoothImageListBoxItem& value)
{
    if (TSmoothImageListBoxItem* item = GetItem(index))
        item->Assign(value);
}

void TSmoothImageListBoxItems::Assign(const TSmoothImageListBoxItems& source)
{
    if (&source == this)
        return;
    BeginUpdate();
    Clear();
    for (const TSmoothImageListBoxItem* item : source.items_)
        Add()->Assign(*item);
    EndUpdate();
}

TSmoothImageListBoxItem* TSmoothImageListBoxItems::Add()
{
    StructureChange change(*this);
    return new TSmoothImageListBoxItem(this);
}

TSmoothImageListBoxItem* TSmoothImageListBoxItems::Insert(int index)
{
    StructureChange change(*this);
    auto* item = new TSmoothImageListBoxItem(this);
    if (index >= 0 && index < Count() - 1)
        Move(Count() - 1, index);
    return item;
}

void TSmoothImageListBoxItems::Delete(int index)
{
    TSmoothImageListBoxItem* item = GetItem(index);
    if (!item)
        return;
    StructureChange change(*this);
    delete item;
}

void TSmoothImageListBoxItems::Clear()
{
    if (items_.empty())
        return;
    StructureChange change(*this);
    if (owner_)
        owner_->DisplayList()->Clear();
    while (!items_.empty())
        delete items_.back();
}

void TSmoothImageListBoxItems::Move(int from, int to)
{
    if (from < 0 || from >= Count())
        return;
    to = std::clamp(to, 0, Count() - 1);
    if (from == to)
        return;
    StructureChange change(*this);
    TSmoothImageListBoxItem* item = items_[static_cast<size_t>(from)];
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, item);
    Renumber(std::min(from, to));
}

void TSmoothImageListBoxItems::BeginUpdate()
{
    ++updateCount_;
    if (owner_)
        owner_->StopThread();
}

void TSmoothImageListBoxItems::EndUpdate()
{
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ > 0 || !owner_)
        return;
    owner_->InitListBoxItems();
    owner_->Changed();
    owner_->StartThread();
}

void TSmoothImageListBoxItems::Sort()
{
    // Entries are exchanged directly: the loader thread must not run. The
    // relayout follows at the end of the (caller's or own) update, also for
    // a collection too short to sort.
    StructureChange change(*this);
    if (Count() > 1)
        QuickSort(0, Count() - 1);
}

void TSmoothImageListBoxItems::QuickSort(int l, int r)
{
    if (l < 0 || r >= Count())
        return;
    int i;
    do {
        i = l;
        int j = r;
        int p = (l + r) / 2;
        while (i <= j) {
            while (Compare(items_[i], items_[p]) < 0)
                ++i;
            while (Compare(items_[j], items_[p]) > 0)
                --j;
            if (i <= j) {
                std::swap(items_[i], items_[j]);
                items_[i]->index_ = i;
                items_[j]->index_ = j;
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        }
        if (l < j)
            QuickSort(l, j);
        l = i;
    } while (i < r);
}

namespace {
// Upper case for a to z only: other bytes (UTF-8 letters among them) stay.
std::string UpperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}
}  // namespace

int TSmoothImageListBoxItems::Compare(const TSmoothImageListBoxItem* item1, const TSmoothImageListBoxItem* item2) const
{
    const auto plain = [this](const TSmoothImageListBoxItem* item) {
        return UpperAscii(owner_ ? owner_->GetStrippedHTMLText(*item->Caption()) : StripTags(item->Caption()->Text()));
    };
    const std::string s1 = plain(item1);
    const std::string s2 = plain(item2);
    // std::string compares as unsigned bytes.
    const int c = s1.compare(s2);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int TSmoothImageListBoxItems::Find(const std::string& text) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[i]->Caption()->Text() == text)
            return i;
    return -1;
}

int TSmoothImageListBoxItems::CountSelected() const
{
    return static_cast<int>(std::count_if(items_.begin(), items_.end(), [](auto* item) { return item->Selected(); }));
}

bool TSmoothImageListBoxItems::HasSplitters() const
{
    return std::any_of(items_.begin(), items_.end(), [](auto* item) { return item->Splitter(); });
}

bool TSmoothImageListBoxItems::HasItems() const
{
    return std::any_of(items_.begin(), items_.end(), [](auto* item) { return !item->Splitter(); });
}

int TSmoothImageListBoxItems::NextSplitter(int index) const
{
    for (int i = std::max(index + 1, 0); i < Count(); ++i)
        if (items_[i]->Splitter())
            return i;
    return -1;
}

int TSmoothImageListBoxItems::NextItem(int index) const
{
    for (int i = std::max(index + 1, 0); i < Count(); ++i)
        if (!items_[i]->Splitter())
            return i;
    return -1;
}

void TSmoothImageListBoxItems::Select(const std::vector<int>& indices)
{
    BeginUpdate();
    for (int index : indices)
        if (TSmoothImageListBoxItem* item = GetItem(index))
            item->SetSelected(true);
    EndUpdate();
}

void TSmoothImageListBoxItems::SelectAll()
{
    BeginUpdate();
    for (TSmoothImageListBoxItem* item : items_)
        item->SetSelected(true);
    EndUpdate();
}

void TSmoothImageListBoxItems::UnSelectAll()
{
    BeginUpdate();
    for (TSmoothImageListBoxItem* item : items_)
        item->SetSelected(false);
    EndUpdate();
}

void TSmoothImageListBoxItems::Attach(TSmoothImageListBoxItem* item)
{
    items_.push_back(item);
    item->index_ = Count() - 1;
}

void TSmoothImageListBoxItems::Detach(TSmoothImageListBoxItem* item)
{
    const int index = item->index_;
    if (index >= 0 && index < Count() && items_[static_cast<size_t>(index)] == item) {
        items_.erase(items_.begin() + index);
        Renumber(index);
    }
    item->index_ = -1;
}

void TSmoothImageListBoxItems::Renumber(int from)
{
    for (int i = std::max(from, 0); i < Count(); ++i)
        items_[static_cast<size_t>(i)]->index_ = i;
}
