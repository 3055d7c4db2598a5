#pragma once
// Reads a multi-volume set as one stream: position 0 is the start of the
// first volume given, and reading runs on into the volumes after it, each
// one asked for through the archiver when it is reached.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/rtl/Stream.h"

class TZABaseArchiver;

class TZAVolumeReader : public TStream {
public:
    TZAVolumeReader(TZABaseArchiver& archiver, int32_t firstVolume, int32_t lastVolume);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    // The volumes met so far; while later ones remain unread, the set is
    // taken to reach as far as any reader may ask.
    int64_t GetSize() override;

private:
    // The stream of volume first + index, its size learned on the way.
    TStream* Volume(size_t index);

    TZABaseArchiver& archiver_;
    int32_t first_;
    int32_t last_;
    int64_t position_ = 0;
    std::vector<int64_t> sizes_;  // sizes of the volumes met, from first_ on
};
