#include "controls/GDIPPictureContainer.h"

#include <QString>
#include <algorithm>

namespace {

// Major and minor in the high word, release and build in the low one.
constexpr uint32_t kVersionNumber = 0x01000000;

}  // namespace

void TPictureItem::Assign(const TPictureItem& source)
{
    if (&source == this)
        return;
    Name = source.Name;
    Tag = source.Tag;
    picture_->Assign(source.Picture());
}

TPictureItem* TPictureCollection::Add()
{
    items_.push_back(std::make_unique<TPictureItem>());
    return items_.back().get();
}

TPictureItem* TPictureCollection::Insert(int index)
{
    index = std::clamp(index, 0, Count());
    return items_.insert(items_.begin() + index, std::make_unique<TPictureItem>())->get();
}

TPictureItem* TPictureCollection::Items(int index) const
{
    return index >= 0 && index < Count() ? items_[size_t(index)].get() : nullptr;
}

void TPictureCollection::SetItems(int index, const TPictureItem& value)
{
    if (TPictureItem* item = Items(index))
        item->Assign(value);
}

TGDIPPicture* TGDIPPictureContainer::FindPicture(const std::string& name) const
{
    const QString wanted = QString::fromStdString(name).toUpper();
    for (int i = 0; i < items_.Count(); ++i)
        if (QString::fromStdString(items_.Items(i)->Name).toUpper() == wanted)
            return items_.Items(i)->Picture();
    return nullptr;
}

std::string TGDIPPictureContainer::Version() const
{
    const uint32_t v = kVersionNumber;
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) +
           "." + std::to_string(v & 0xFF);
}

TGDIPPicture* TGDIPPictureCache::AddPicture()
{
    pictures_.push_back(std::make_unique<TGDIPPicture>());
    return pictures_.back().get();
}

TGDIPPicture* TGDIPPictureCache::GetPicture(int index) const
{
    return index >= 0 && index < Count() ? pictures_[size_t(index)].get() : nullptr;
}

void TGDIPPictureCache::SetPicture(int index, const TGDIPPicture* picture)
{
    if (TGDIPPicture* target = GetPicture(index))
        target->Assign(picture);
}

TGDIPPicture* TGDIPPictureCache::FindPicture(const std::string& id) const
{
    for (const auto& picture : pictures_)
        if (picture->ID == id)
            return picture.get();
    return nullptr;
}
