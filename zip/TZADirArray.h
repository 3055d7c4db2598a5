#pragma once
// The growable item array of an open archive with its name index: entry i
// of the index is item i's name in wide lower case, so lookups by name do
// not depend on letter case.
#include <memory>
#include <string>
#include <vector>

#include "zip/TDirItem.h"

class TZAHashedStringList;

class TZADirArray {
public:
    TZADirArray();
    ~TZADirArray();
    TZADirArray(const TZADirArray&) = delete;
    TZADirArray& operator=(const TZADirArray&) = delete;

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    // Grows or shrinks the array; slots that come into use start empty.
    void SetCount(int n);
    void Clear();

    TDirItem GetItem(int i) const;  // code 2 out of range
    TDirItem& ItemAt(int i);        // code 3 out of range
    const TDirItem& ItemAt(int i) const;
    void SetItem(int i, const TDirItem& item);  // code 1; 58 for a broken index
    void Delete(int i);                         // code 4
    void Assign(const TZADirArray& other);
    bool FindName(const std::u16string& name, int& index) const;
    // Like FindName, but an item whose name matches exactly is preferred:
    // archives made on case-sensitive systems may hold "a.txt" beside
    // "A.txt", which share one key of the index.
    bool FindItemName(const std::u16string& name, int& index) const;
    void RenameItem(int i, const std::u16string& newName);  // code 59

    static constexpr int kInitialGrowth = 500;
    static constexpr int kMaximumGrowth = 10000;

private:
    std::vector<TDirItem> items_;
    std::unique_ptr<TZAHashedStringList> names_;
    int growth_ = kInitialGrowth;
    int capacity_ = 0;
    int count_ = 0;
};
