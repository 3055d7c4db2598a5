#pragma once
// Writing data CDs: the disc master component, its Joliet format, its
// recorders and the progress callbacks a caller hands it. The component is
// built into the program (see DiscMaster.h); callers create it with
// CoCreateInstance(CLSID_MSDiscMasterObj, ..., IID_IDiscMaster, ...).
//
// Only the operations the program uses are declared.
#include <cstdint>

#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_MSDiscMasterObj = MakeGuid("{520CCA63-51A5-11D3-9144-00104BA11C5E}");
inline constexpr IID IID_IDiscMaster = MakeGuid("{520CCA62-51A5-11D3-9144-00104BA11C5E}");
inline constexpr IID IID_IJolietDiscMaster = MakeGuid("{E3BC42CE-4E5C-11D3-9144-00104BA11C5E}");
inline constexpr IID IID_IDiscMasterProgressEvents = MakeGuid("{EC9E51C1-4E5D-11D3-9144-00104BA11C5E}");
inline constexpr IID IID_IDiscRecorder = MakeGuid("{B60C49C7-2DE1-4338-9F83-53C6BBFC2C35}");
inline constexpr IID IID_IEnumDiscRecorders = MakeGuid("{87C765CC-ED11-4285-ADE0-4DF1A5E5DFCE}");
inline constexpr IID IID_IStorage = MakeGuid("{0000000B-0000-0000-C000-000000000046}");

using UINT_PTR = uintptr_t;
using BYTE = uint8_t;

inline constexpr HRESULT IMAPI_S_PROPERTIESIGNORED = MakeHResult(0x00040200u);
inline constexpr HRESULT IMAPI_E_NOTOPENED = MakeHResult(0x8004020Bu);
inline constexpr HRESULT IMAPI_E_NOTINITIALIZED = MakeHResult(0x8004020Cu);
inline constexpr HRESULT IMAPI_E_USERABORT = MakeHResult(0x8004020Du);
inline constexpr HRESULT IMAPI_E_GENERIC = MakeHResult(0x8004020Eu);
inline constexpr HRESULT IMAPI_E_MEDIUM_NOTPRESENT = MakeHResult(0x8004020Fu);
inline constexpr HRESULT IMAPI_E_MEDIUM_INVALIDTYPE = MakeHResult(0x80040210u);
inline constexpr HRESULT IMAPI_E_DEVICE_NOPROPERTIES = MakeHResult(0x80040211u);
inline constexpr HRESULT IMAPI_E_DEVICE_NOTACCESSIBLE = MakeHResult(0x80040212u);
inline constexpr HRESULT IMAPI_E_DEVICE_NOTPRESENT = MakeHResult(0x80040213u);
inline constexpr HRESULT IMAPI_E_DEVICE_INVALIDTYPE = MakeHResult(0x80040214u);
inline constexpr HRESULT IMAPI_E_INITIALIZE_WRITE = MakeHResult(0x80040215u);
inline constexpr HRESULT IMAPI_E_INITIALIZE_ENDWRITE = MakeHResult(0x80040216u);
inline constexpr HRESULT IMAPI_E_FILESYSTEM = MakeHResult(0x80040217u);
inline constexpr HRESULT IMAPI_E_FILEACCESS = MakeHResult(0x80040218u);
inline constexpr HRESULT IMAPI_E_DISCINFO = MakeHResult(0x80040219u);
inline constexpr HRESULT IMAPI_E_TRACKNOTOPEN = MakeHResult(0x8004021Au);
inline constexpr HRESULT IMAPI_E_TRACKOPEN = MakeHResult(0x8004021Bu);
inline constexpr HRESULT IMAPI_E_DISCFULL = MakeHResult(0x8004021Cu);
inline constexpr HRESULT IMAPI_E_BADJOLIETNAME = MakeHResult(0x8004021Du);
inline constexpr HRESULT IMAPI_E_INVALIDIMAGE = MakeHResult(0x8004021Eu);
inline constexpr HRESULT IMAPI_E_NOACTIVEFORMAT = MakeHResult(0x8004021Fu);
inline constexpr HRESULT IMAPI_E_NOACTIVERECORDER = MakeHResult(0x80040220u);
inline constexpr HRESULT IMAPI_E_WRONGFORMAT = MakeHResult(0x80040221u);
inline constexpr HRESULT IMAPI_E_ALREADYOPEN = MakeHResult(0x80040222u);
inline constexpr HRESULT IMAPI_E_WRONGDISC = MakeHResult(0x80040223u);
inline constexpr HRESULT IMAPI_E_FILEEXISTS = MakeHResult(0x80040224u);
inline constexpr HRESULT IMAPI_E_STASHINUSE = MakeHResult(0x80040225u);
inline constexpr HRESULT IMAPI_E_DEVICE_STILL_IN_USE = MakeHResult(0x80040226u);
inline constexpr HRESULT IMAPI_E_LOSS_OF_STREAMING = MakeHResult(0x80040227u);
inline constexpr HRESULT IMAPI_E_COMPRESSEDSTASH = MakeHResult(0x80040228u);
inline constexpr HRESULT IMAPI_E_ENCRYPTEDSTASH = MakeHResult(0x80040229u);
inline constexpr HRESULT IMAPI_E_NOTENOUGHDISKFORSTASH = MakeHResult(0x8004022Au);
inline constexpr HRESULT IMAPI_E_REMOVABLESTASH = MakeHResult(0x8004022Bu);

// What AddData answers when the folder it was given cannot be read at all
// (as opposed to something inside it).
inline constexpr HRESULT STG_E_PATHNOTFOUND = MakeHResult(0x80030003u);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005u);

// Media types and flags of IDiscRecorder::QueryMediaType.
enum : LONG {
    MEDIA_CDDA_CDROM = 1,
    MEDIA_CD_ROM_XA = 2,
    MEDIA_CD_I = 3,
    MEDIA_CD_EXTRA = 4,
    MEDIA_CD_OTHER = 5,
    MEDIA_SPECIAL = 6,
};
enum : LONG {
    MEDIA_BLANK = 0x1,
    MEDIA_RW = 0x2,
    MEDIA_WRITABLE = 0x4,
    MEDIA_FORMAT_UNUSABLE_BY_IMAPI = 0x8,
};
// Recorder types of IDiscRecorder::GetRecorderType.
enum : LONG {
    RECORDER_CDR = 0x1,
    RECORDER_CDRW = 0x2,
};

// Called by the disc master while it works, on the thread that called it.
struct IDiscMasterProgressEvents : IUnknown {
    virtual HRESULT QueryCancel(int* cancel) = 0;
    virtual HRESULT NotifyPnPActivity() = 0;
    virtual HRESULT NotifyAddProgress(LONG completedSteps, LONG totalSteps) = 0;
    virtual HRESULT NotifyBlockProgress(LONG completed, LONG total) = 0;
    virtual HRESULT NotifyTrackProgress(LONG currentTrack, LONG totalTracks) = 0;
    virtual HRESULT NotifyPreparingBurn(LONG estimatedSeconds) = 0;
    virtual HRESULT NotifyClosingDisc(LONG estimatedSeconds) = 0;
    virtual HRESULT NotifyBurnComplete(HRESULT status) = 0;
    virtual HRESULT NotifyEraseComplete(HRESULT status) = 0;

protected:
    ~IDiscMasterProgressEvents() = default;
};

struct IDiscRecorder : IUnknown {
    // RECORDER_CDR or RECORDER_CDRW.
    virtual HRESULT GetRecorderType(LONG* type) = 0;
    // The drive's address: a device such as "/dev/sr0", or "stdio:" and the
    // path of an image file.
    virtual HRESULT GetPath(BSTR* path) = 0;
    // Takes the drive for this process. IMAPI_E_DEVICE_NOTACCESSIBLE while
    // another recorder object or program holds it, IMAPI_E_DEVICE_NOTPRESENT
    // when it is gone.
    virtual HRESULT OpenExclusive() = 0;
    // Type 0 and flags 0 for an empty or unready drive; MEDIA_WRITABLE only
    // for a blank CD (or an image file); MEDIA_FORMAT_UNUSABLE_BY_IMAPI for
    // DVD and BD media. IMAPI_E_NOTOPENED unless opened exclusively.
    virtual HRESULT QueryMediaType(LONG* type, LONG* flags) = 0;
    virtual HRESULT QueryMediaInfo(BYTE* sessions, BYTE* lastTrack, ULONG* startAddress, ULONG* nextWritable,
        ULONG* freeBlocks) = 0;
    // Lets go of the drive; S_OK also when it was not held.
    virtual HRESULT Close() = 0;

protected:
    ~IDiscRecorder() = default;
};

struct IEnumDiscRecorders : IUnknown {
    // Hands out up to count recorders (each with a reference for the
    // caller); S_FALSE when fewer than count were left.
    virtual HRESULT Next(ULONG count, IDiscRecorder** recorders, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumDiscRecorders() = default;
};

struct IJolietDiscMaster : IUnknown {
    // Stages the files and folders inside folder (a full path) at the root
    // of the disc. The disc stores names as they are; a name longer than 103
    // UTF-16 characters, not valid UTF-8, or holding a character the Joliet
    // format cannot store (control characters and * / : ; ? \) gives
    // IMAPI_E_BADJOLIETNAME rather than a changed name. A name already
    // staged gives IMAPI_E_FILEEXISTS unless overwrite is set.
    // STG_E_PATHNOTFOUND or STG_E_ACCESSDENIED when the folder itself is
    // missing, not a folder, or unreadable.
    virtual HRESULT AddData(const OLECHAR* folder, LONG overwrite) = 0;

protected:
    ~IJolietDiscMaster() = default;
};

struct IDiscMaster : IUnknown {
    // IMAPI_E_ALREADYOPEN when this object is open already. Every other call
    // but Close answers IMAPI_E_NOTOPENED before Open.
    virtual HRESULT Open() = 0;
    // Only IID_IJolietDiscMaster is known (E_NOINTERFACE for others); asking
    // again hands out the same format object with its staged data.
    virtual HRESULT SetActiveDiscMasterFormat(REFIID iid, void** format) = 0;
    // The image-file drives first (see AddPseudoDrive in DiscMaster.h), then
    // the CD writers found on the system.
    virtual HRESULT EnumDiscRecorders(IEnumDiscRecorders** recorders) = 0;
    // E_INVALIDARG for a recorder that is not this component's.
    virtual HRESULT SetActiveDiscRecorder(IDiscRecorder* recorder) = 0;
    virtual HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) = 0;
    virtual HRESULT ProgressUnadvise(UINT_PTR cookie) = 0;
    // Writes the staged data to the disc in the active recorder as one closed
    // session and returns when it is written. IMAPI_E_MEDIUM_NOTPRESENT,
    // IMAPI_E_MEDIUM_INVALIDTYPE (not a blank CD), IMAPI_E_DISCFULL (checked
    // before anything is written), IMAPI_E_DEVICE_NOTACCESSIBLE, or
    // IMAPI_E_GENERIC when the drive reports a failed write. An image file is
    // written anew from its start. A real drive ejects the disc when asked.
    virtual HRESULT RecordDisc(int simulate, int ejectAfterBurn) = 0;
    virtual HRESULT Close() = 0;

protected:
    ~IDiscMaster() = default;
};
