#include "zip/TZAVolumeReader.h"

#include <algorithm>
#include <limits>

#include "zip/TZABaseArchiver.h"

TZAVolumeReader::TZAVolumeReader(TZABaseArchiver& archiver, int32_t firstVolume, int32_t lastVolume)
    : archiver_(archiver), first_(std::max(firstVolume, 0)), last_(std::max(lastVolume, first_))
{
}

TStream* TZAVolumeReader::Volume(size_t index)
{
    TZAVolumeNumberInfo info;
    info.LastVolumeNumber = last_;
    info.SetVolumeNumber(first_ + int32_t(index));
    TStream* stream = archiver_.OpenVolume(info);
    if (stream && index == sizes_.size())
        sizes_.push_back(stream->GetSize());
    return stream;
}

int64_t TZAVolumeReader::Read(void* buffer, int64_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    int64_t base = 0;
    size_t index = 0;
    while (done < count) {
        if (index == sizes_.size()) {
            if (first_ + int32_t(index) > last_ || !Volume(index))
                break;
        }
        const int64_t size = sizes_[index];
        if (position_ >= base + size) {
            base += size;
            ++index;
            continue;
        }
        TStream* stream = Volume(index);
        if (!stream)
            break;
        stream->SetPosition(position_ - base);
        const int64_t want = std::min(count - done, base + size - position_);
        const int64_t n = stream->Read(out + done, want);
        if (n <= 0)
            break;
        done += n;
        position_ += n;
    }
    return done;
}

int64_t TZAVolumeReader::Write(const void*, int64_t) { return 0; }

int64_t TZAVolumeReader::GetSize()
{
    int64_t known = 0;
    for (const int64_t s : sizes_)
        known += s;
    if (first_ + int32_t(sizes_.size()) > last_)
        return known;
    return std::numeric_limits<int64_t>::max() / 4;
}

int64_t TZAVolumeReader::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case TSeekOrigin::soBeginning: position_ = offset; break;
    case TSeekOrigin::soCurrent: position_ += offset; break;
    case TSeekOrigin::soEnd: position_ = GetSize() + offset; break;
    }
    if (position_ < 0)
        position_ = 0;
    return position_;
}

void TZAVolumeReader::SetSize(int64_t) {}
