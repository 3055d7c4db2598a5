#pragma once
// One drive of the recorder list. The object only names the drive; it holds
// the drive from OpenExclusive to Close (or to its end). Used on one thread
// at a time.
#include <string>

#include "platform/com/ComModule.h"
#include "platform/imapi/BurnLibraries.h"
#include "platform/imapi/Imapi.h"

namespace imapi {

// Answered only by this component's recorders, so the disc master can tell
// them from others.
inline constexpr IID IID_DiscRecorderImpl = MakeGuid("{3F0E9C52-7A61-4B8D-9E24-6C15D0A8B7F3}");

class DiscRecorder final : public IDiscRecorder, public RefCounted<DiscRecorder> {
public:
    explicit DiscRecorder(RecorderSlot slot);
    ~DiscRecorder();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    HRESULT GetRecorderType(LONG* type) override;
    HRESULT GetPath(BSTR* path) override;
    HRESULT OpenExclusive() override;
    HRESULT QueryMediaType(LONG* type, LONG* flags) override;
    HRESULT QueryMediaInfo(BYTE* sessions, BYTE* lastTrack, ULONG* startAddress, ULONG* nextWritable,
        ULONG* freeBlocks) override;
    HRESULT Close() override;

    // For the disc master's recording: the drive held by OpenExclusive, or
    // taken now and let go by EndUse.
    HRESULT BeginUse(GrabbedDrive** drive);
    void EndUse(bool eject);

private:
    RecorderSlot slot_;
    GrabbedDrive grabbed_;
    bool openedByCaller_ = false;
};

} // namespace imapi
