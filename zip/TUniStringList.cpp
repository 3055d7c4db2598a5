#include "zip/TUniStringList.h"

#include <cerrno>
#include <cstdio>

#include "zip/TUniFileStream.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"

namespace {

[[noreturn]] void IndexError(int index) {
    char text[64];
    std::snprintf(text, sizeof text, "List index out of bounds (%d)", index);
    throw EStringListError(text);
}

} // namespace

int TUniStrings::Add(const std::u16string& s) {
    int index = Count();
    Insert(index, s);
    return index;
}

int TUniStrings::AddObject(const std::u16string& s, void* object) {
    int index = Add(s);
    if (index >= 0 && index < Count())
        PutObject(index, object);
    return index;
}

int TUniStrings::IndexOf(const std::u16string& s) {
    for (int i = 0; i < Count(); ++i) {
        if (WideSameText(Get(i), s))
            return i;
    }
    return -1;
}

int TUniStrings::IndexOfName(const std::u16string& name) {
    for (int i = 0; i < Count(); ++i) {
        std::u16string entry = Get(i);
        size_t eq = entry.find(u'=');
        if (eq != std::u16string::npos && WideSameText(std::u16string_view(entry).substr(0, eq), name))
            return i;
    }
    return -1;
}

std::u16string TUniStrings::Name(int index) const {
    std::u16string entry = Get(index);
    size_t eq = entry.find(u'=');
    return eq == std::u16string::npos ? std::u16string() : entry.substr(0, eq);
}

std::u16string TUniStrings::ValueFromIndex(int index) const {
    std::u16string entry = Get(index);
    size_t eq = entry.find(u'=');
    return eq == std::u16string::npos ? std::u16string() : entry.substr(eq + 1);
}

std::u16string TUniStrings::Text() const {
    std::u16string out;
    for (int i = 0; i < Count(); ++i) {
        out += Get(i);
        out += u"\r\n";
    }
    return out;
}

void TUniStrings::SetText(const std::u16string& text) {
    Clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n')
            ++start;
    }
}

TUniTextFormat TUniStrings::DetectFormat(TStream& stream) {
    int64_t start = stream.GetPosition();
    unsigned char mark[3] = {0, 0, 0};
    int64_t got = stream.Read(mark, 3);
    if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        stream.SetPosition(start + 2);
        return TUniTextFormat::tfUTF16LE;
    }
    if (got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF) {
        stream.SetPosition(start + 2);
        return TUniTextFormat::tfUTF16BE;
    }
    if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
        return TUniTextFormat::tfUTF8;
    stream.SetPosition(start);
    return TUniTextFormat::tfAnsi;
}

void TUniStrings::LoadFromStream(TStream& stream, bool detect) {
    TUniTextFormat format = detect ? DetectFormat(stream) : TUniTextFormat::tfUTF16LE;
    int64_t remaining = stream.GetSize() - stream.GetPosition();
    std::string bytes(remaining > 0 ? static_cast<size_t>(remaining) : 0, '\0');
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    std::u16string text;
    switch (format) {
    case TUniTextFormat::tfUTF16LE:
    case TUniTextFormat::tfUTF16BE: {
        bool big = format == TUniTextFormat::tfUTF16BE;
        text.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
            auto lo = static_cast<unsigned char>(bytes[big ? i + 1 : i]);
            auto hi = static_cast<unsigned char>(bytes[big ? i : i + 1]);
            text += char16_t(lo | (hi << 8));
        }
        break;
    }
    case TUniTextFormat::tfUTF8:
        text = UTF8ToWide(bytes);
        break;
    case TUniTextFormat::tfAnsi:
        text = CodePageToWide(bytes, DefaultCodePage());
        break;
    }
    SetText(text);
}

void TUniStrings::LoadFromFile(const std::u16string& fileName) {
    TUniFileStream stream(fileName, 0x20);
    stream.SetPosition(0);
    LoadFromStream(stream, true);
}

void TUniStrings::SaveToStream(TStream& stream, bool withBOM) const {
    std::u16string text = Text();
    std::string bytes;
    bytes.reserve(2 + text.size() * 2);
    if (withBOM)
        bytes += "\xFF\xFE";
    for (char16_t c : text) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TUniStrings::SaveToFile(const std::u16string& fileName) const {
    std::u16string temp = WideCreateTempFile(WidePathOf(fileName), WideNameOf(fileName));
    if (temp.empty())
        throw EFCreateError("Cannot create file \"" + WideToUTF8(WideFullName(fileName)) + "\". " +
                            WideToUTF8(WideSystemMessage(errno)));
    try {
        {
            TUniFileStream stream(temp, 2);
            SaveToStream(stream, true);
            if (!stream.Flush())
                throw EWriteError("Cannot write file \"" + WideToUTF8(temp) + "\"");
        }
        if (!WideReplaceFile(temp, fileName))
            throw EFCreateError("Cannot create file \"" + WideToUTF8(WideFullName(fileName)) +
                                "\". " + WideToUTF8(WideSystemMessage(errno)));
    } catch (...) {
        WideRemoveFile(temp);
        throw;
    }
}

// ---- TUniStringList ----

void TUniStringList::Changing() {
    if (OnChanging)
        OnChanging();
}

void TUniStringList::Changed() {
    if (OnChange)
        OnChange();
}

void TUniStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        IndexError(index);
}

std::u16string TUniStringList::Get(int index) const {
    CheckIndex(index);
    return items_[index].text;
}

void* TUniStringList::GetObject(int index) const {
    CheckIndex(index);
    return items_[index].object;
}

void TUniStringList::Put(int index, const std::u16string& s) {
    CheckIndex(index);
    Changing();
    items_[index].text = s;
    EntriesMoved();
    Changed();
}

void TUniStringList::PutObject(int index, void* object) {
    CheckIndex(index);
    Changing();
    items_[index].object = object;
    Changed();
}

void TUniStringList::Grow() {
    size_t cap = items_.capacity();
    size_t delta = cap > 64 ? cap / 4 : cap > 8 ? 16 : 4;
    items_.reserve(cap + delta);
}

void TUniStringList::InsertItem(int index, const std::u16string& s, void* object) {
    Changing();
    if (items_.size() == items_.capacity())
        Grow();
    items_.insert(items_.begin() + index, Item{s, object});
    if (index != Count() - 1)
        EntriesMoved();
    Changed();
}

void TUniStringList::Insert(int index, const std::u16string& s) {
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        IndexError(index);
    InsertItem(index, s, nullptr);
}

void TUniStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    items_.erase(items_.begin() + index);
    EntriesMoved();
    Changed();
}

void TUniStringList::Clear() {
    if (items_.empty())
        return;
    Changing();
    std::vector<Item>().swap(items_);
    EntriesMoved();
    Changed();
}

int TUniStringList::Add(const std::u16string& s) {
    int index;
    if (!sorted_) {
        index = Count();
    } else if (Find(s, index)) {
        switch (duplicates_) {
        case TDuplicates::dupIgnore:
            return index;
        case TDuplicates::dupError:
            throw EStringListError("String list does not allow duplicates");
        case TDuplicates::dupAccept:
            break;
        }
    }
    InsertItem(index, s, nullptr);
    return index;
}

int TUniStringList::IndexOf(const std::u16string& s) {
    if (!sorted_) {
        for (int i = 0; i < Count(); ++i) {
            if (CompareStrings(items_[i].text, s) == 0)
                return i;
        }
        return -1;
    }
    int index;
    return Find(s, index) ? index : -1;
}

int TUniStringList::IndexOfName(const std::u16string& name) {
    if (!sorted_)
        return TUniStrings::IndexOfName(name);
    std::u16string key = name + u"=";
    int index;
    Find(key, index);
    if (index < Count()) {
        const std::u16string& entry = items_[index].text;
        if (entry.size() >= key.size() &&
            CompareStrings(entry.substr(0, key.size()), key) == 0)
            return index;
    }
    return -1;
}

void TUniStringList::Exchange(int a, int b) {
    if (sorted_)
        throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(a);
    CheckIndex(b);
    Changing();
    std::swap(items_[a], items_[b]);
    EntriesMoved();
    Changed();
}

int TUniStringList::CompareStrings(const std::u16string& a, const std::u16string& b) const {
    return caseSensitive_ ? WideCompareStr(a, b) : WideCompareText(a, b);
}

bool TUniStringList::Find(const std::u16string& s, int& index) const {
    bool found = false;
    int lo = 0;
    int hi = Count() - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareStrings(items_[mid].text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != TDuplicates::dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TUniStringList::QuickSort(int left, int right, const TCompare& compare) {
    while (left < right) {
        int i = left;
        int j = right;
        int pivot = left + (right - left) / 2;
        do {
            while (compare(*this, i, pivot) < 0)
                ++i;
            while (compare(*this, j, pivot) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(items_[i], items_[j]);
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSort(left, j, compare);
        left = i;
    }
}

void TUniStringList::CustomSort(const TCompare& compare) {
    if (sorted_ || Count() < 2)
        return;
    Changing();
    QuickSort(0, Count() - 1, compare);
    EntriesMoved();
    Changed();
}

void TUniStringList::Sort() {
    if (sorted_ || Count() < 2)
        return;
    Changing();
    QuickSort(0, Count() - 1, [](TUniStringList& list, int a, int b) {
        return list.CompareStrings(list.items_[a].text, list.items_[b].text);
    });
    EntriesMoved();
    Changed();
}

void TUniStringList::SetSorted(bool sorted) {
    if (sorted == sorted_)
        return;
    if (sorted) {
        Sort();
    }
    sorted_ = sorted;
}

void TUniStringList::SetCaseSensitive(bool caseSensitive) {
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (sorted_) {
        sorted_ = false;
        Sort();
        sorted_ = true;
    }
    EntriesMoved();
}
