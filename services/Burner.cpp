#include "services/Burner.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/com/ComRuntime.h"
#include "platform/imapi/JolietDiscMaster.h"
#include "platform/rtl/Exception.h"
#include "services/BurnerProgressEvents.h"

namespace {

// How many recorders one enumerator call fetches; a 33rd is never seen.
constexpr ULONG kMaxRecorders = 32;

// A failed step of Burn: its text followed by the code's text.
class BurnStepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Anything but S_OK fails, success codes such as S_FALSE included.
void Check(HRESULT hr, const char* text)
{
    if (hr != S_OK)
        throw BurnStepError(text + Burner::ErrorText(hr));
}

// Releases every reference of an enumerator batch.
void ReleaseAll(IDiscRecorder** recorders, ULONG count)
{
    for (ULONG i = 0; i < count; ++i)
        if (recorders[i])
            recorders[i]->Release();
}

// The first entry under folder, in the order the disc master stages them,
// whose name the disc cannot take, as "its path below folder" and why; empty
// when there is none.
std::string FirstBadName(const std::filesystem::path& folder, const std::string& below = {})
{
    std::error_code ec;
    std::vector<std::filesystem::path> entries;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        const std::string name = entry.filename().string();
        const std::string shown = below + name;
        const std::string problem = imapi::JolietDiscMaster::NameProblem(name);
        if (!problem.empty())
            return "The file \"" + shown + "\" cannot be put on a disc: its name " + problem + ".";
        if (std::filesystem::is_directory(entry, ec) && !std::filesystem::is_symlink(entry, ec)) {
            std::string found = FirstBadName(entry, shown + "/");
            if (!found.empty())
                return found;
        }
    }
    return {};
}

} // namespace

Burner::Burner(BurnThread* owner) : owner_(owner)
{
    OleInitialize(nullptr);
    try {
        HRESULT hr = CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_ALL, IID_IDiscMaster,
            reinterpret_cast<void**>(&discMaster_));
        if (hr != S_OK)
            throw Exception("The disc writer could not be started. " + ErrorText(hr));
        hr = discMaster_->Open();
        if (hr != S_OK) {
            if (hr == IMAPI_E_ALREADYOPEN)
                throw Exception("The disc writer is already in use by another program. " + ErrorText(hr));
            throw Exception("The disc writer could not be opened. " + ErrorText(hr));
        }
        discMaster_->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&jolietMaster_));
        if (discMaster_->EnumDiscRecorders(&recorders_) != S_OK || !recorders_)
            throw Exception("Failed to enumerate Disc Recorders.");
        IDiscRecorder* found[kMaxRecorders] = {};
        ULONG fetched = 0;
        recorders_->Reset();
        recorders_->Next(kMaxRecorders, found, &fetched);
        fetched = std::min(fetched, kMaxRecorders);
        recorderCount_ = static_cast<int>(fetched);
        ReleaseAll(found, fetched);
    } catch (...) {
        // No destructor runs for an object whose constructor throws.
        Release();
        throw;
    }
}

Burner::~Burner() { Release(); }

void Burner::Release()
{
    if (discMaster_)
        discMaster_->Close();
    progressSink_.Reset();
    recorder_.Reset();
    recorders_.Reset();
    jolietMaster_.Reset();
    discMaster_.Reset();
    OleUninitialize();
}

int Burner::RecorderCount()
{
    SetText("");
    return recorderCount_;
}

bool Burner::SelectRecorder(int index)
{
    SetText("");
    if (index < 0 || index >= recorderCount_) {
        SetText("Burner index out of range.");
        return false;
    }
    recorder_.Reset();
    IDiscRecorder* found[kMaxRecorders] = {};
    ULONG fetched = 0;
    recorders_->Reset();
    recorders_->Next(kMaxRecorders, found, &fetched);
    fetched = std::min(fetched, kMaxRecorders);
    const bool ok = fetched > 0 && static_cast<ULONG>(index) < fetched;
    if (ok)
        recorder_ = CComPtr<IDiscRecorder>(found[index]);
    ReleaseAll(found, fetched);
    if (!ok)
        SetText("Failed to set burner.");
    return ok;
}

bool Burner::CheckMedia()
{
    SetText("");
    if (!recorder_) {
        SetText(ErrorText(IMAPI_E_NOTINITIALIZED));
        return false;
    }
    LONG mediaType = 0;
    LONG mediaFlags = 0;
    HRESULT opened = S_OK;
    std::string failure;
    bool threw = false;
    try {
        opened = recorder_->OpenExclusive();
        if (opened == S_OK) {
            LONG recorderType = 0;
            recorder_->GetRecorderType(&recorderType);
            recorder_->QueryMediaType(&mediaType, &mediaFlags);
            BYTE sessions = 0, lastTrack = 0;
            ULONG start = 0, next = 0, free = 0;
            recorder_->QueryMediaInfo(&sessions, &lastTrack, &start, &next, &free);
        }
    } catch (const std::exception& e) {
        threw = true;
        failure = e.what();
    } catch (...) {
        threw = true;
    }
    recorder_->Close();

    // Every failure says why: the burn job shows this text as it is.
    if (threw) {
        SetText(failure.empty() ? ErrorText(IMAPI_E_GENERIC) : failure);
        return false;
    }
    if (opened != S_OK) {
        // A drive held by another program is not an empty drive.
        SetText(ErrorText(opened));
        return false;
    }
    if (mediaType == 0 && mediaFlags == 0) {
        SetText("No disk in the drive. Please insert a blank CD.");
        return false;
    }
    if (mediaFlags & MEDIA_FORMAT_UNUSABLE_BY_IMAPI) {
        SetText("DVD disks are not supported, please use writable CD disks.");
        return false;
    }
    if (mediaFlags & MEDIA_WRITABLE)
        return true;
    SetText("The disk is not writeable.");
    return false;
}

bool Burner::Burn(const std::string& folder)
{
    UINT_PTR cookie = 0;
    bool advised = false;
    try {
        SetText("");
        jolietMaster_.Reset();
        Check(discMaster_->SetActiveDiscMasterFormat(IID_IJolietDiscMaster, reinterpret_cast<void**>(&jolietMaster_)),
            "The disc writer could not be prepared for a data disc. ");
        progressSink_.Reset();
        Check(BurnerProgressEvents::CreateInstance(&progressSink_), "The disc writer could not be prepared. ");
        static_cast<BurnerProgressEvents*>(progressSink_.Get())->SetOwner(owner_);
        Check(discMaster_->ProgressAdvise(progressSink_.Get(), &cookie), "The disc writer could not be prepared. ");
        advised = true;
        Check(discMaster_->SetActiveDiscRecorder(recorder_.Get()), "The drive could not be chosen for writing. ");
        // The disc master reads the folder itself; a folder it cannot read
        // at all is reported as a bad folder name, anything inside it as a
        // failure to add.
        const HRESULT added = jolietMaster_->AddData(WideFromUtf8(folder).c_str(), 1);
        if (added == STG_E_PATHNOTFOUND || added == STG_E_ACCESSDENIED)
            Check(added, "The portfolio's folder could not be read for the disc. ");
        if (added == IMAPI_E_BADJOLIETNAME) {
            // The code alone does not say which file the user has to rename.
            const std::string bad = FirstBadName(folder);
            if (!bad.empty())
                throw BurnStepError("The portfolio's files could not be put on the disc. " + bad);
        }
        Check(added, "The portfolio's files could not be put on the disc. ");
        Check(discMaster_->RecordDisc(0, 1), "Writing the disc failed. ");
        advised = false;
        Check(discMaster_->ProgressUnadvise(cookie), "The disc writer could not be released after writing. ");
        progressSink_.Reset();
        return true;
    } catch (const std::exception& e) {
        SetText(e.what());
    } catch (...) {
        SetText(ErrorText(IMAPI_E_GENERIC));
    }
    // The sink must not hear of a later recording by this disc master.
    if (advised)
        discMaster_->ProgressUnadvise(cookie);
    return false;
}

std::string Burner::ErrorText(HRESULT code)
{
    switch (static_cast<uint32_t>(code)) {
    case 0x00040200: return "An unknown property was passed in a property set and it was ignored.";
    case 0x8004020B: return "A call to IDiscMaster::Open has not been made.";
    case 0x8004020C: return "A recorder object has not been initialized.";
    case 0x8004020D: return "The user canceled the operation.";
    case 0x8004020E: return "A generic error occurred.";
    case 0x8004020F: return "There is no disc in the device.";
    case 0x80040210: return "The media is not a type that can be used.";
    case 0x80040211: return "The recorder does not support any properties.";
    case 0x80040212: return "The device cannot be used or is already in use.";
    case 0x80040213: return "The device is not present or has been removed.";
    case 0x80040214: return "The recorder does not support an operation.";
    case 0x80040215: return "The drive interface could not be initialized for writing.";
    case 0x80040216: return "The drive interface could not be initialized for closing.";
    case 0x80040217:
        return "An error occurred while enabling/disabling file system access or during auto-insertion detection.";
    case 0x80040218: return "An error occurred while writing the image file.";
    case 0x80040219: return "An error occurred while trying to read disc data from the device.";
    case 0x8004021A: return "An audio track is not open for writing.";
    case 0x8004021B: return "An open audio track is already being staged.";
    case 0x8004021C: return "The disc cannot hold any more data.";
    case 0x8004021D: return "The application tried to add a badly named element to a disc.";
    case 0x8004021E:
        return "The staged image is not suitable for a burn. It has been corrupted or cleared and has no usable "
               "content.";
    case 0x8004021F:
        return "An active format master has not been selected using IDiscMaster::SetActiveDiscMasterFormat.";
    case 0x80040220:
        return "An active disc recorder has not been selected using IDiscMaster::SetActiveDiscRecorder.";
    case 0x80040221:
        return "A call to IJolietDiscMaster has been made when IRedbookDiscMaster is the active format, or vice "
               "versa. To use a different format, change the format and clear the image file contents.";
    case 0x80040222:
        return "A call to IDiscMaster::Open has already been made against this object by your application.";
    case 0x80040223: return "The IMAPI multi-session disc has been removed from the active recorder.";
    case 0x80040224: return "The file to add is already in the image file and the overwrite flag was not set.";
    case 0x80040225:
        return "Another application is already using the IMAPI stash file required to stage a disc image. Try again "
               "later.";
    case 0x80040226: return "Another application is already using this device, so IMAPI cannot access the device.";
    case 0x80040227: return "Content streaming was lost; a buffer under-run may have occurred.";
    case 0x80040228: return "The stash is located on a compressed volume and cannot be read.";
    case 0x80040229: return "The stash is located on an encrypted volume and cannot be read.";
    case 0x8004022A: return "There is not enough free space to create the stash file on the specified volume.";
    case 0x8004022B: return "The selected stash location is on a removable media.";
    }
    char text[64];
    std::snprintf(text, sizeof text, "An unknown IMAPI error (0x%08X) occurred.", static_cast<uint32_t>(code));
    return text;
}
