#include "zip/TZAHashedStringList.h"

#include <algorithm>

#include "zip/WideUtils.h"

TZAStringHash::TZAStringHash(uint32_t bucketCount) : buckets_(std::max<uint32_t>(bucketCount, 1), nullptr) {}

TZAStringHash::~TZAStringHash() { Clear(); }

uint32_t TZAStringHash::HashOf(const std::u16string& key) const {
    uint32_t h = 0;
    for (char16_t c : key)
        h = ((h << 2) | (h >> 30)) ^ uint32_t(c);
    return h;
}

THashItem** TZAStringHash::BucketFor(const std::u16string& key) {
    return &buckets_[HashOf(key) % buckets_.size()];
}

void TZAStringHash::Add(const std::u16string& key, int32_t value) {
    THashItem** bucket = BucketFor(key);
    *bucket = new THashItem{*bucket, key, value};
}

THashItem* TZAStringHash::Find(const std::u16string& key) const {
    for (THashItem* item = buckets_[HashOf(key) % buckets_.size()]; item; item = item->Next) {
        if (item->Key == key)
            return item;
    }
    return nullptr;
}

void TZAStringHash::Remove(const std::u16string& key) {
    for (THashItem** link = BucketFor(key); *link; link = &(*link)->Next) {
        if ((*link)->Key == key) {
            THashItem* item = *link;
            *link = item->Next;
            delete item;
            return;
        }
    }
}

void TZAStringHash::Remove(const std::u16string& key, int32_t value) {
    for (THashItem** link = BucketFor(key); *link; link = &(*link)->Next) {
        if ((*link)->Key == key && (*link)->Value == value) {
            THashItem* item = *link;
            *link = item->Next;
            delete item;
            return;
        }
    }
}

int32_t TZAStringHash::ValueOf(const std::u16string& key) const {
    THashItem* item = Find(key);
    return item ? item->Value : -1;
}

void TZAStringHash::Clear() {
    for (THashItem*& head : buckets_) {
        while (head) {
            THashItem* next = head->Next;
            delete head;
            head = next;
        }
    }
}

std::u16string TZAHashedStringList::KeyOf(const std::u16string& s) const {
    return CaseSensitive() ? s : WideLowerCase(s);
}

void TZAHashedStringList::EntriesMoved() {
    if (ownChange_)
        return;
    stringIndexValid_ = false;
    nameIndexValid_ = false;
}

int TZAHashedStringList::Add(const std::u16string& s) {
    int before = Count();
    ownChange_ = true;
    int index;
    try {
        index = TUniStringList::Add(s);
    } catch (...) {
        ownChange_ = false;
        throw;
    }
    ownChange_ = false;
    nameIndexValid_ = false;
    if (Count() == before)
        return index; // a duplicate the list ignored
    if (index != Count() - 1) {
        // Inserted in the middle of a sorted list: every later index moved.
        stringIndexValid_ = false;
        return index;
    }
    if (stringIndex_ && stringIndexValid_) {
        stringIndex_->Add(KeyOf(s), index);
        if (static_cast<uint64_t>(Count()) > 5ull * stringIndex_->BucketCount()) {
            stringIndex_.reset();
            stringIndexValid_ = false;
        }
    }
    return index;
}

void TZAHashedStringList::Replace(int index, const std::u16string& s) {
    std::u16string old = Get(index);
    ownChange_ = true;
    try {
        TUniStringList::Put(index, s);
    } catch (...) {
        ownChange_ = false;
        throw;
    }
    ownChange_ = false;
    nameIndexValid_ = false;
    if (stringIndex_ && stringIndexValid_) {
        // Remove exactly this entry's key: a duplicate elsewhere keeps its own.
        stringIndex_->Remove(KeyOf(old), index);
        stringIndex_->Add(KeyOf(s), index);
    }
}

void TZAHashedStringList::Clear() {
    ownChange_ = true;
    TUniStringList::Clear();
    ownChange_ = false;
    if (stringIndex_)
        stringIndex_->Clear();
    stringIndexValid_ = true;
    nameIndexValid_ = false;
}

void TZAHashedStringList::Delete(int index) {
    TUniStringList::Delete(index);
    stringIndexValid_ = false;
    nameIndexValid_ = false;
}

void TZAHashedStringList::UpdateStringIndex() {
    if (!stringIndex_) {
        stringIndex_ = std::make_unique<TZAStringHash>(static_cast<uint32_t>(std::max(Count(), 1000)));
        stringIndexValid_ = false;
    }
    if (stringIndexValid_)
        return;
    stringIndex_->Clear();
    for (int i = 0; i < Count(); ++i)
        stringIndex_->Add(KeyOf(Get(i)), i);
    stringIndexValid_ = true;
}

void TZAHashedStringList::UpdateNameIndex() {
    if (nameIndexValid_)
        return;
    if (!nameIndex_)
        nameIndex_ = std::make_unique<TZAStringHash>(256);
    else
        nameIndex_->Clear();
    for (int i = 0; i < Count(); ++i) {
        std::u16string entry = Get(i);
        size_t eq = entry.find(u'=');
        if (eq != std::u16string::npos)
            nameIndex_->Add(KeyOf(entry.substr(0, eq)), i);
    }
    nameIndexValid_ = true;
}

int TZAHashedStringList::IndexOf(const std::u16string& s) {
    UpdateStringIndex();
    return stringIndex_->ValueOf(KeyOf(s));
}

int TZAHashedStringList::IndexOfName(const std::u16string& name) {
    UpdateNameIndex();
    return nameIndex_->ValueOf(KeyOf(name));
}
