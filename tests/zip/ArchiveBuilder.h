#pragma once
// Builds small stored archives in memory with the directory manager as the
// writer, so that tests can damage them byte by byte.
#include <zlib.h>

#include <string>
#include <vector>

#include "tests/zip/DirTestSupport.h"

class TArchiveBuilder {
public:
    explicit TArchiveBuilder(std::string prefix = {}) : bytes_(std::move(prefix)) {}

    void Add(const std::u16string& name, const std::string& data, bool folder = false, uint16_t flags = 0)
    {
        TDirItem item;
        item.VersionMadeBy = item.VersionNeeded = 0x0014;
        item.Flags = flags;
        item.Method = 0;
        item.Crc32 = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
        item.CompressedSize = item.UncompressedSize = static_cast<uint32_t>(data.size());
        item.ExternalAttributes = folder ? 0x10 : 0x20;
        item.LocalHeaderOffset = static_cast<uint32_t>(bytes_.size() - offsetBase_);
        item.FileName = name;
        const std::string stored = EncodeItemName(name, flags, true);
        TLocalFileHeader local;
        local.VersionNeeded = item.VersionNeeded;
        local.Flags = flags;
        local.Crc32 = item.Crc32;
        local.CompressedSize = local.UncompressedSize = item.CompressedSize;
        local.NameLength = static_cast<uint16_t>(stored.size());
        uint8_t raw[TLocalFileHeader::kSize];
        local.Encode(raw);
        bytes_.append(reinterpret_cast<char*>(raw), sizeof raw);
        bytes_ += stored;
        bytes_ += data;
        items_.push_back(item);
    }

    // Offsets are written as if the archive started here (data in front of
    // it added afterwards, as a stub glued in front of a finished archive).
    void OffsetsFromHere() { offsetBase_ = bytes_.size(); }

    std::string Finish(const std::string& comment = {})
    {
        auto stream = StreamOf(bytes_);
        TTestOwner owner;
        TZADirManager manager(stream.get(), &owner, true);
        manager.Items.SetCount(int(items_.size()));
        for (size_t i = 0; i < items_.size(); ++i)
            manager.Items.SetItem(int(i), items_[i]);
        manager.Comment = comment;
        manager.SaveCentralDirectory(nullptr, true);
        return BytesOf(*stream);
    }

private:
    std::string bytes_;
    size_t offsetBase_ = 0;
    std::vector<TDirItem> items_;
};

// Loads an archive held in memory; returns the manager's items through m.
inline void LoadBytes(const std::string& bytes, TTestOwner& owner, std::unique_ptr<TMemoryStream>& stream,
                      std::unique_ptr<TZADirManager>& manager)
{
    stream = StreamOf(bytes);
    manager = std::make_unique<TZADirManager>(stream.get(), &owner, false);
    manager->LoadCentralDirectory();
}
