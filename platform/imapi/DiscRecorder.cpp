#include "platform/imapi/DiscRecorder.h"

#include <cstdint>
#include <libburn/libburn.h>

#include <algorithm>
#include <limits>

namespace imapi {
namespace {

bool IsCdProfile(int profile) { return profile >= 0x08 && profile <= 0x0A; }

ULONG ClampToUlong(long long value)
{
    return static_cast<ULONG>(std::clamp<long long>(value, 0, std::numeric_limits<ULONG>::max()));
}

} // namespace

DiscRecorder::DiscRecorder(RecorderSlot slot) : slot_(std::move(slot)) {}

DiscRecorder::~DiscRecorder() { ReleaseDrive(&grabbed_, false); }

HRESULT DiscRecorder::QueryInterface(REFIID iid, void** object)
{
    if (object && iid == IID_DiscRecorderImpl) {
        *object = this;
        AddRef();
        return S_OK;
    }
    return QueryInterfaceImpl<IDiscRecorder>(iid, object, {IID_IUnknown, IID_IDiscRecorder});
}

HRESULT DiscRecorder::GetRecorderType(LONG* type)
{
    if (!type)
        return E_POINTER;
    *type = slot_.type;
    return S_OK;
}

HRESULT DiscRecorder::GetPath(BSTR* path)
{
    if (!path)
        return E_POINTER;
    *path = SysAllocStringUtf8(slot_.address);
    return *path ? S_OK : E_OUTOFMEMORY;
}

HRESULT DiscRecorder::OpenExclusive()
{
    if (grabbed_.drive) {
        openedByCaller_ = true;
        return S_OK;
    }
    const HRESULT hr = GrabDrive(slot_.address, &grabbed_);
    openedByCaller_ = SUCCEEDED(hr);
    return hr;
}

HRESULT DiscRecorder::QueryMediaType(LONG* type, LONG* flags)
{
    if (!type || !flags)
        return E_POINTER;
    *type = 0;
    *flags = 0;
    if (!grabbed_.drive)
        return IMAPI_E_NOTOPENED;
    const int status = SettledDiscStatus(grabbed_.drive);
    if (grabbed_.imageFile) {
        // An image file is written anew by every burn: always a blank disc.
        *type = MEDIA_CD_ROM_XA;
        *flags = MEDIA_BLANK | MEDIA_RW | MEDIA_WRITABLE;
        return S_OK;
    }
    if (status != burn::BURN_DISC_BLANK && status != burn::BURN_DISC_APPENDABLE && status != burn::BURN_DISC_FULL)
        return S_OK; // empty, unready or unusable: nothing to offer
    int profile = 0;
    char name[80] = {};
    burn::burn_disc_get_profile(grabbed_.drive, &profile, name);
    if (profile == 0)
        return S_OK;
    const bool blank = status == burn::BURN_DISC_BLANK;
    const LONG blankFlags = blank ? MEDIA_BLANK | MEDIA_WRITABLE : 0;
    if (IsCdProfile(profile)) {
        *type = MEDIA_CD_ROM_XA;
        // One closed session is all this component writes, so a disc that
        // has sessions already is not writable here.
        *flags = blankFlags | (profile == 0x0A ? MEDIA_RW : 0);
    } else {
        *type = MEDIA_SPECIAL;
        *flags = blankFlags | MEDIA_FORMAT_UNUSABLE_BY_IMAPI;
    }
    return S_OK;
}

HRESULT DiscRecorder::QueryMediaInfo(BYTE* sessions, BYTE* lastTrack, ULONG* startAddress, ULONG* nextWritable,
    ULONG* freeBlocks)
{
    if (!sessions || !lastTrack || !startAddress || !nextWritable || !freeBlocks)
        return E_POINTER;
    *sessions = *lastTrack = 0;
    *startAddress = *nextWritable = *freeBlocks = 0;
    if (!grabbed_.drive)
        return IMAPI_E_NOTOPENED;
    const int status = SettledDiscStatus(grabbed_.drive);
    if (status == burn::BURN_DISC_EMPTY)
        return IMAPI_E_MEDIUM_NOTPRESENT;
    if (burn::burn_disc* disc = burn::burn_drive_get_disc(grabbed_.drive)) {
        int sessionCount = 0;
        burn::burn_session** list = burn::burn_disc_get_sessions(disc, &sessionCount);
        int tracks = 0;
        for (int i = 0; i < sessionCount; ++i) {
            int n = 0;
            burn::burn_session_get_tracks(list[i], &n);
            tracks += n;
        }
        *sessions = static_cast<BYTE>(std::min(sessionCount, 255));
        *lastTrack = static_cast<BYTE>(std::min(tracks, 255));
        burn::burn_disc_free(disc);
    }
    if (status == burn::BURN_DISC_APPENDABLE) {
        int lba = 0, nwa = 0;
        if (burn::burn_disc_track_lba_nwa(grabbed_.drive, nullptr, 0, &lba, &nwa) > 0) {
            *startAddress = ClampToUlong(lba);
            *nextWritable = ClampToUlong(nwa);
        }
    }
    if (status == burn::BURN_DISC_BLANK || status == burn::BURN_DISC_APPENDABLE)
        *freeBlocks = ClampToUlong(burn::burn_disc_available_space(grabbed_.drive, nullptr) / 2048);
    return S_OK;
}

HRESULT DiscRecorder::Close()
{
    openedByCaller_ = false;
    ReleaseDrive(&grabbed_, false);
    return S_OK;
}

HRESULT DiscRecorder::BeginUse(GrabbedDrive** drive)
{
    if (!grabbed_.drive) {
        if (const HRESULT hr = GrabDrive(slot_.address, &grabbed_); FAILED(hr))
            return hr;
    }
    *drive = &grabbed_;
    return S_OK;
}

void DiscRecorder::EndUse(bool eject)
{
    // A drive the caller opened stays theirs, unless the disc goes out.
    if (!openedByCaller_ || (eject && !grabbed_.imageFile)) {
        openedByCaller_ = false;
        ReleaseDrive(&grabbed_, eject);
    }
}

} // namespace imapi
