#pragma once
// Wide string lists of the archive library: TUniStrings (text, file and
// stream I/O over any list of UTF-16 lines) and TUniStringList (the stored,
// optionally sorted list).
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Stream.h"

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

enum class TUniTextFormat { tfAnsi, tfUTF8, tfUTF16LE, tfUTF16BE };

class TUniStrings {
public:
    virtual ~TUniStrings() = default;

    virtual int Count() const = 0;
    virtual std::u16string Get(int index) const = 0;
    virtual void Put(int index, const std::u16string& s) = 0;
    virtual void* GetObject(int index) const = 0;
    virtual void PutObject(int index, void* object) = 0;
    virtual void Insert(int index, const std::u16string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    virtual int Add(const std::u16string& s);
    int AddObject(const std::u16string& s, void* object);
    virtual int IndexOf(const std::u16string& s);
    // Index of the first entry "name=..." (or -1).
    virtual int IndexOfName(const std::u16string& name);
    std::u16string Strings(int index) const { return Get(index); }
    // The part of entry index after its first "=".
    std::u16string ValueFromIndex(int index) const;
    std::u16string Name(int index) const;

    // Lines joined with CR LF after each; setting splits at CR LF, LF or CR.
    std::u16string Text() const;
    void SetText(const std::u16string& text);

    // Reads the byte-order mark at the stream's position: consumed when
    // found; without one the position is restored and the text is 8-bit.
    static TUniTextFormat DetectFormat(TStream& stream);

    // Loads the stream's text from its position on; with detect, the format
    // follows the byte-order mark, else the text is UTF-16 little-endian.
    void LoadFromStream(TStream& stream, bool detect = true);
    void LoadFromFile(const std::u16string& fileName);
    // Writes the text as UTF-16 little-endian, optionally behind FF FE.
    void SaveToStream(TStream& stream, bool withBOM = true) const;
    // Written to a temporary name beside the file and renamed over it.
    void SaveToFile(const std::u16string& fileName) const;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TUniStringList : public TUniStrings {
public:
    using TCompare = std::function<int(TUniStringList& list, int a, int b)>;

    int Count() const override { return static_cast<int>(items_.size()); }
    std::u16string Get(int index) const override;
    void Put(int index, const std::u16string& s) override;
    void* GetObject(int index) const override;
    void PutObject(int index, void* object) override;
    void Insert(int index, const std::u16string& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::u16string& s) override;
    int IndexOf(const std::u16string& s) override;
    int IndexOfName(const std::u16string& name) override;

    void Exchange(int a, int b);
    // Binary search of a sorted list; index is the match or the insertion
    // position. With dupAccept the first of equal entries is returned.
    bool Find(const std::u16string& s, int& index) const;
    void Sort();
    void CustomSort(const TCompare& compare);
    int CompareStrings(const std::u16string& a, const std::u16string& b) const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);
    int Capacity() const { return static_cast<int>(items_.capacity()); }

    std::function<void()> OnChange;
    std::function<void()> OnChanging;

protected:
    void Changing();
    void Changed();
    // Called after any change that moves or rewrites entries other than a
    // plain append, so that derived indexes can drop what they know.
    virtual void EntriesMoved() {}
    void CheckIndex(int index) const;
    void InsertItem(int index, const std::u16string& s, void* object);

private:
    struct Item {
        std::u16string text;
        void* object = nullptr;
    };
    void Grow();
    void QuickSort(int left, int right, const TCompare& compare);

    std::vector<Item> items_;
    bool sorted_ = false;
    TDuplicates duplicates_ = TDuplicates::dupIgnore;
    bool caseSensitive_ = false;
};
