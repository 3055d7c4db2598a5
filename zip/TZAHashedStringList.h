#pragma once
// A wide string list with hash indexes: IndexOf and IndexOfName find an
// entry without walking the list. The archive directory keeps its item names
// here.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/TUniStringList.h"

struct THashItem {
    THashItem* Next = nullptr;
    std::u16string Key;
    int32_t Value = 0;
};

class TZAStringHash {
public:
    explicit TZAStringHash(uint32_t bucketCount);
    virtual ~TZAStringHash();
    TZAStringHash(const TZAStringHash&) = delete;
    TZAStringHash& operator=(const TZAStringHash&) = delete;

    // Rotate left by 2, then xor, per UTF-16 unit.
    virtual uint32_t HashOf(const std::u16string& key) const;
    // New item at the head of its bucket, so the latest of equal keys wins.
    void Add(const std::u16string& key, int32_t value);
    THashItem* Find(const std::u16string& key) const;
    void Remove(const std::u16string& key);
    // Removes the item with this key and exactly this value.
    void Remove(const std::u16string& key, int32_t value);
    int32_t ValueOf(const std::u16string& key) const;
    void Clear();
    uint32_t BucketCount() const { return static_cast<uint32_t>(buckets_.size()); }

private:
    THashItem** BucketFor(const std::u16string& key);
    std::vector<THashItem*> buckets_;
};

class TZAHashedStringList : public TUniStringList {
public:
    TZAHashedStringList() = default;
    ~TZAHashedStringList() override = default;

    int Add(const std::u16string& s) override;
    void Clear() override;
    void Delete(int index) override;
    int IndexOf(const std::u16string& s) override;
    int IndexOfName(const std::u16string& name) override;
    void Put(int index, const std::u16string& s) override { Replace(index, s); }
    void Replace(int index, const std::u16string& s);

    // For inspection: the string index's bucket count (0 when there is none).
    uint32_t StringIndexBuckets() const { return stringIndex_ ? stringIndex_->BucketCount() : 0; }

protected:
    void EntriesMoved() override;

private:
    std::u16string KeyOf(const std::u16string& s) const;
    void UpdateStringIndex();
    void UpdateNameIndex();

    std::unique_ptr<TZAStringHash> stringIndex_;
    std::unique_ptr<TZAStringHash> nameIndex_;
    bool stringIndexValid_ = true;
    bool nameIndexValid_ = false;
    // Set while this class changes entries itself and keeps the indexes right.
    bool ownChange_ = false;
};
