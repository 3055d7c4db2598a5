#include "platform/rtl/MemoryStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/SeekTarget.h"

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    if (count <= 0 || position_ >= GetSize())
        return 0;
    const int64_t n = std::min(count, GetSize() - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    const int64_t end = position_ + count;
    const int64_t size = GetSize();
    if (end > size) {
        data_.resize(static_cast<size_t>(end));
        // A write past the end leaves a gap that reads back as zeros.
        if (position_ > size)
            std::memset(data_.data() + size, 0, static_cast<size_t>(position_ - size));
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = SeekTarget(position_, GetSize(), offset, origin);
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    const size_t size = data_.size();
    data_.resize(static_cast<size_t>(std::max<int64_t>(0, newSize)));
    if (data_.size() > size)
        std::memset(data_.data() + size, 0, data_.size() - size);
    position_ = std::min(position_, GetSize());
}

void TMemoryStream::Reserve(int64_t capacity)
{
    if (capacity > 0)
        data_.reserve(static_cast<size_t>(capacity));
}

void TMemoryStream::Clear()
{
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path, int64_t maxBytes)
{
    decltype(data_) data;
    const ReadResult result = ReadRegularFile(path, maxBytes, data);
    if (result == ReadResult::Refused)
        throw EFOpenError("Cannot open file \"" + path + "\". " + RefusalReason(errno));
    if (result == ReadResult::Short)
        throw EReadError("Stream read error");
    data_.swap(data);
    position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const
{
    std::string error;
    if (!SafeWriteFile(path, data_.data(), data_.size(), &error))
        throw EWriteError("Cannot write file \"" + path + "\". " + error);
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
    stream.SetPosition(0);
    const int64_t size = stream.GetSize();
    decltype(data_) data(static_cast<size_t>(size));
    if (size > 0)
        stream.ReadBuffer(data.data(), size);
    data_.swap(data);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) const
{
    if (!data_.empty())
        stream.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TMemoryStream::Swap(TMemoryStream& other) noexcept
{
    data_.swap(other.data_);
    std::swap(position_, other.position_);
}
