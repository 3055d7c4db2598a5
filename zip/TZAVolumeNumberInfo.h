#pragma once
#include <cstdint>

// Which volume of a multi-volume set is meant: the first, the last, or one
// by number. A single-file archive is volume 0 and also the last.
class TZAVolumeNumberInfo {
public:
    enum TState : int32_t { vsFirst = 0, vsLast = 1, vsNumbered = 2, vsUnset = 3 };

    TZAVolumeNumberInfo() { Clear(); }
    void Clear()
    {
        State = vsUnset;
        VolumeNumber = -1;
        LastVolumeNumber = -1;
    }

    bool IsFirst() const { return VolumeNumber == 0; }
    void SetFirst(bool flag)
    {
        if (flag) {
            VolumeNumber = 0;
            State = vsFirst;
        }
    }
    bool IsLast() const { return LastVolumeNumber != -1 ? VolumeNumber == LastVolumeNumber : State == vsLast; }
    void SetLast(bool flag)
    {
        if (flag) {
            VolumeNumber = LastVolumeNumber;
            State = vsLast;
        }
    }
    void SetVolumeNumber(int32_t n)
    {
        State = vsNumbered;
        VolumeNumber = n;
    }
    bool SameVolume(const TZAVolumeNumberInfo& other) const
    {
        if (IsLast())
            return other.IsLast();
        if (IsFirst())
            return other.IsFirst();
        if (VolumeNumber < 0)
            return State == other.State;
        return VolumeNumber == other.VolumeNumber;
    }

    TState State = vsUnset;
    int32_t VolumeNumber = -1;
    int32_t LastVolumeNumber = -1;
};
