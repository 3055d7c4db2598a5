#pragma once
#include <cstdint>

enum TZAVolumeSize : uint8_t {
    vsAutoDetect, vsCustom, vs1_44MB, vs100MB, vs200MB, vs250MB, vs600MB, vs650MB, vs700MB, vs4700MB
};

// Size limits and naming of the volumes of a multi-volume archive.
class TZASpanningOptions {
public:
    static constexpr int64_t kMinimumCustomVolumeSize = 65536;

    bool AdvancedNaming = false;
    int64_t FirstVolumeSize = 0;
    TZAVolumeSize VolumeSize = vsAutoDetect;
    bool Unpublished = false;

    int64_t GetCustomVolumeSize() const { return customVolumeSize_; }
    void SetCustomVolumeSize(int64_t value)
    {
        customVolumeSize_ = value < kMinimumCustomVolumeSize ? kMinimumCustomVolumeSize : value;
    }

    // The size limit of a volume in bytes; -1 when none is known.
    int64_t GetVolumeSize(bool firstVolume) const
    {
        if (firstVolume && FirstVolumeSize > 0)
            return FirstVolumeSize;
        switch (VolumeSize) {
        case vsCustom: return customVolumeSize_;
        case vs1_44MB: return 1457664;
        case vs100MB: return 104857600;
        case vs200MB: return 209715200;
        case vs250MB: return 262144000;
        case vs600MB: return 629145600;
        case vs650MB: return 681574400;
        case vs700MB: return 734003200;
        case vs4700MB: return 4928307200LL;
        case vsAutoDetect: break;
        }
        return -1;
    }

    void Assign(const TZASpanningOptions& other)
    {
        AdvancedNaming = other.AdvancedNaming;
        FirstVolumeSize = other.FirstVolumeSize;
        VolumeSize = other.VolumeSize;
        customVolumeSize_ = other.customVolumeSize_;
        Unpublished = other.Unpublished;
    }

private:
    int64_t customVolumeSize_ = 0;
};
