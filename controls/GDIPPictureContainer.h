#pragma once
// Named pictures that controls refer to by name, and a plain list of
// pictures.
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "controls/GDIPPicture.h"

class TPictureItem {
public:
    TPictureItem() = default;
    TPictureItem(const TPictureItem&) = delete;
    TPictureItem& operator=(const TPictureItem&) = delete;

    TGDIPPicture* Picture() const { return picture_.get(); }
    // Copies the given picture into the item's own.
    void SetPicture(const TGDIPPicture* picture) { picture_->Assign(picture); }
    // Copies name, tag and picture.
    void Assign(const TPictureItem& source);

    std::string Name;
    int Tag = 0;

private:
    std::unique_ptr<TGDIPPicture> picture_ = std::make_unique<TGDIPPicture>();
};

class TPictureCollection {
public:
    explicit TPictureCollection(QObject* owner) : owner_(owner) {}
    QObject* Owner() const { return owner_; }

    TPictureItem* Add();
    // A new item at the index (clamped to the list).
    TPictureItem* Insert(int index);
    int Count() const { return int(items_.size()); }
    // Null outside the list.
    TPictureItem* Items(int index) const;
    void SetItems(int index, const TPictureItem& value);
    void Clear() { items_.clear(); }

private:
    QObject* owner_;
    std::vector<std::unique_ptr<TPictureItem>> items_;
};

class TGDIPPictureContainer : public QObject {
    Q_OBJECT
public:
    explicit TGDIPPictureContainer(QObject* parent = nullptr) : QObject(parent), items_(this) {}

    TPictureCollection& Items() { return items_; }
    // The first item whose name matches regardless of case; null when none.
    TGDIPPicture* FindPicture(const std::string& name) const;
    std::string Version() const;
    void SetVersion(const std::string&) {}

private:
    TPictureCollection items_;
};

// Owns the pictures it lists.
class TGDIPPictureCache {
public:
    TGDIPPictureCache() = default;
    ~TGDIPPictureCache() { ClearPictures(); }
    TGDIPPictureCache(const TGDIPPictureCache&) = delete;
    TGDIPPictureCache& operator=(const TGDIPPictureCache&) = delete;

    TGDIPPicture* AddPicture();
    int Count() const { return int(pictures_.size()); }
    TGDIPPicture* GetPicture(int index) const;
    // Copies the picture into the one at the index.
    void SetPicture(int index, const TGDIPPicture* picture);
    // The first picture whose ID equals the text exactly; null when none.
    TGDIPPicture* FindPicture(const std::string& id) const;
    void ClearPictures() { pictures_.clear(); }

private:
    std::vector<std::unique_ptr<TGDIPPicture>> pictures_;
};
