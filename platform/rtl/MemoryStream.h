#pragma once
#include <string>
#include <vector>

#include "platform/rtl/Stream.h"

// A growable stream over one contiguous block of memory.
class TMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }

    // The block itself; valid until the size changes.
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }

    void Clear();
    // Replaces the content with the whole file; throws EFOpenError / EReadError.
    void LoadFromFile(const std::string& path);
    // Replaces the file with the whole content (the old file survives a
    // failure); throws EWriteError.
    void SaveToFile(const std::string& path) const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

    // Hands the content over without copying (size and position become 0).
    std::vector<uint8_t> Release();
    void Swap(TMemoryStream& other) noexcept;

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};
