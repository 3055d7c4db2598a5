#pragma once
// What the directory manager needs of the archiver that owns it. The
// archiver component implements this; tests implement it with plain fields.
#include <cstdint>
#include <string>

#include "platform/rtl/Stream.h"
#include "zip/TZAOptions.h"
#include "zip/TZASpanningOptions.h"
#include "zip/TZAVolumeNumberInfo.h"

enum TZASpanningMode : uint8_t { smNone, smSpanning, smSplitting };

class TZADirOwner {
public:
    virtual ~TZADirOwner() = default;

    virtual TZAOptions& GetOptions() = 0;
    virtual TZASpanningMode GetSpanningMode() const = 0;
    virtual TZASpanningOptions& GetSpanningOptions() = 0;
    // The record of the volume the archiver has open.
    virtual TZAVolumeNumberInfo& GetVolumeInfo() = 0;
    // True: standard ZIP signatures; false: the alternate set.
    virtual bool UsesStandardSignatures() const = 0;
    // True while a damaged directory is to be rebuilt rather than refused.
    virtual bool IsTolerant() const = 0;
    virtual std::u16string GetSFXStub() const = 0;

    // Multi-volume seams. Makes the given volume current and returns its
    // stream, or null to keep the manager's stream (single-file archives).
    virtual TStream* OpenVolume(const TZAVolumeNumberInfo& volume) { return nullptr; }
    // Writes directory bytes; a multi-volume archiver spreads them over volumes.
    virtual void WriteDirectoryBytes(TStream& stream, const void* buffer, int64_t count)
    {
        stream.WriteBuffer(buffer, count);
    }
    // Makes room for a piece of the directory that must stay whole on one
    // volume; a multi-volume archiver moves on to the next volume when the
    // piece does not fit. Returns the stream to write the piece to.
    virtual TStream* PlaceDirectoryPiece(TStream& stream, int64_t count) { return &stream; }
    // Reads count bytes of a multi-volume set, starting at offset on the
    // given volume and running on into the volumes after it.
    virtual bool ReadVolumeBytes(int32_t volume, int64_t offset, void* buffer, int64_t count) { return false; }
};
