#include "platform/imapi/DiscMaster.h"

#include <cstdint>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include <chrono>
#include <map>
#include <utility>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscRecorder.h"
#include "platform/imapi/JolietDiscMaster.h"
#include "platform/imapi/RecorderEnumerator.h"

namespace imapi {
namespace {

// Owns the libburn objects of one recording.
struct Recording {
    burn::burn_disc* disc = nullptr;
    burn::burn_session* session = nullptr;
    burn::burn_track* track = nullptr;
    burn::burn_source* source = nullptr;
    burn::burn_write_opts* opts = nullptr;

    ~Recording()
    {
        if (opts)
            burn::burn_write_opts_free(opts);
        if (track)
            burn::burn_track_free(track);
        if (session)
            burn::burn_session_free(session);
        if (disc)
            burn::burn_disc_free(disc);
        if (source)
            burn::burn_source_free(source);
    }
};

class DiscMaster final : public IDiscMaster, public RefCounted<DiscMaster> {
public:
    ~DiscMaster() { Close(); }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IDiscMaster>(iid, object, {IID_IUnknown, IID_IDiscMaster});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }

    HRESULT Open() override
    {
        if (open_)
            return IMAPI_E_ALREADYOPEN;
        if (!StartBurnLibraries())
            return IMAPI_E_GENERIC;
        open_ = true;
        return S_OK;
    }

    HRESULT SetActiveDiscMasterFormat(REFIID iid, void** format) override
    {
        if (!format)
            return E_POINTER;
        *format = nullptr;
        if (!open_)
            return IMAPI_E_NOTOPENED;
        if (!(iid == IID_IJolietDiscMaster))
            return E_NOINTERFACE;
        if (!joliet_) {
            joliet_ = CComPtr<JolietDiscMaster>(new JolietDiscMaster());
            joliet_->Release(); // the smart pointer holds the only reference
        }
        return joliet_->QueryInterface(iid, format);
    }

    HRESULT EnumDiscRecorders(IEnumDiscRecorders** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!open_)
            return IMAPI_E_NOTOPENED;
        std::vector<CComPtr<IDiscRecorder>> recorders;
        for (RecorderSlot& slot : FindRecorders()) {
            auto* recorder = new DiscRecorder(std::move(slot));
            recorders.emplace_back(recorder);
            recorder->Release();
        }
        *out = new RecorderEnumerator(std::move(recorders));
        return S_OK;
    }

    HRESULT SetActiveDiscRecorder(IDiscRecorder* recorder) override
    {
        if (!open_)
            return IMAPI_E_NOTOPENED;
        if (!recorder)
            return E_POINTER;
        DiscRecorder* own = nullptr;
        if (FAILED(recorder->QueryInterface(IID_DiscRecorderImpl, reinterpret_cast<void**>(&own))) || !own)
            return E_INVALIDARG;
        recorder_ = CComPtr<DiscRecorder>(own);
        own->Release();
        return S_OK;
    }

    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) override
    {
        if (!events || !cookie)
            return E_POINTER;
        if (!open_)
            return IMAPI_E_NOTOPENED;
        *cookie = nextCookie_++;
        sinks_.emplace(*cookie, CComPtr<IDiscMasterProgressEvents>(events));
        return S_OK;
    }

    HRESULT ProgressUnadvise(UINT_PTR cookie) override
    {
        if (!open_)
            return IMAPI_E_NOTOPENED;
        return sinks_.erase(cookie) ? S_OK : E_INVALIDARG;
    }

    HRESULT RecordDisc(int simulate, int ejectAfterBurn) override
    {
        if (!open_)
            return IMAPI_E_NOTOPENED;
        if (!joliet_)
            return IMAPI_E_NOACTIVEFORMAT;
        if (!recorder_)
            return IMAPI_E_NOACTIVERECORDER;
        GrabbedDrive* drive = nullptr;
        if (const HRESULT hr = recorder_->BeginUse(&drive); FAILED(hr))
            return hr;
        bool wrote = false;
        const HRESULT hr = Record(*drive, simulate != 0, &wrote);
        recorder_->EndUse(wrote && ejectAfterBurn);
        Notify([hr](IDiscMasterProgressEvents* sink) { sink->NotifyBurnComplete(hr); });
        return hr;
    }

    HRESULT Close() override
    {
        if (!open_)
            return S_OK;
        sinks_.clear();
        recorder_.Reset();
        joliet_.Reset();
        open_ = false;
        return S_OK;
    }

private:
    template <class Call>
    void Notify(Call call)
    {
        // A sink may unadvise itself from its callback.
        auto sinks = sinks_;
        for (auto& [cookie, sink] : sinks)
            call(sink.Get());
    }

    HRESULT Record(GrabbedDrive& grabbed, bool simulate, bool* wrote)
    {
        burn::burn_drive* drive = grabbed.drive;
        const int status = SettledDiscStatus(drive);
        if (!grabbed.imageFile) {
            if (status == burn::BURN_DISC_EMPTY || status == burn::BURN_DISC_UNREADY)
                return IMAPI_E_MEDIUM_NOTPRESENT;
            int profile = 0;
            char name[80] = {};
            burn::burn_disc_get_profile(drive, &profile, name);
            if (status != burn::BURN_DISC_BLANK || profile < 0x08 || profile > 0x0A)
                return IMAPI_E_MEDIUM_INVALIDTYPE;
        } else if (!simulate) {
            // A burn starts from a blank disc: an older, longer image must not
            // leave its tail behind the new one.
            const std::string path = grabbed.address.substr(6);
            if (::truncate(path.c_str(), 0) != 0 && errno != ENOENT)
                return IMAPI_E_DEVICE_NOTACCESSIBLE;
        }

        Recording rec;
        rec.source = reinterpret_cast<burn::burn_source*>(joliet_->CreateImageSource());
        if (!rec.source)
            return IMAPI_E_GENERIC;
        rec.disc = burn::burn_disc_create();
        rec.session = burn::burn_session_create();
        rec.track = burn::burn_track_create();
        burn::burn_track_define_data(rec.track, 0, 0, 0, BURN_MODE1);
        if (burn::burn_track_set_source(rec.track, rec.source) != burn::BURN_SOURCE_OK
            || !burn::burn_session_add_track(rec.session, rec.track, BURN_POS_END)
            || !burn::burn_disc_add_session(rec.disc, rec.session, BURN_POS_END)) {
            rec.source->cancel(rec.source);
            return IMAPI_E_GENERIC;
        }
        rec.opts = burn::burn_write_opts_new(drive);
        burn::burn_write_opts_set_perform_opc(rec.opts, 0);
        burn::burn_write_opts_set_multi(rec.opts, 0);
        burn::burn_write_opts_set_underrun_proof(rec.opts, 1);
        burn::burn_write_opts_set_simulate(rec.opts, simulate ? 1 : 0);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn::burn_write_opts_auto_write_type(rec.opts, rec.disc, reasons, 0) == burn::BURN_WRITE_NONE) {
            rec.source->cancel(rec.source);
            return IMAPI_E_MEDIUM_INVALIDTYPE;
        }

        const off_t size = rec.source->get_size(rec.source);
        if (size > burn::burn_disc_available_space(drive, rec.opts)) {
            rec.source->cancel(rec.source);
            return IMAPI_E_DISCFULL;
        }

        Notify([](IDiscMasterProgressEvents* sink) { sink->NotifyPreparingBurn(0); });
        burn::burn_disc_write(rec.opts, rec.disc);
        *wrote = true;
        const std::pair<int, int> last = WatchWrite(drive);
        if (!burn::burn_drive_wrote_well(drive))
            return IMAPI_E_GENERIC;
        // A small image can be written between two looks at the drive: the
        // sinks hear of the end in any case.
        const LONG blocks = static_cast<LONG>((size + 2047) / 2048);
        if (last != std::make_pair(blocks, blocks))
            Notify([blocks](IDiscMasterProgressEvents* sink) { sink->NotifyBlockProgress(blocks, blocks); });
        return S_OK;
    }

    // Reports the blocks written until the drive is idle again; the last
    // report made.
    std::pair<int, int> WatchWrite(burn::burn_drive* drive)
    {
        using namespace std::chrono_literals;
        burn::burn_progress progress{};
        while (burn::burn_drive_get_status(drive, nullptr) == burn::BURN_DRIVE_SPAWNING)
            std::this_thread::sleep_for(5ms);
        int lastSector = -1, lastTotal = -1;
        bool closing = false;
        for (;;) {
            const burn::burn_drive_status state = burn::burn_drive_get_status(drive, &progress);
            if (state == burn::BURN_DRIVE_IDLE)
                break;
            if (state == burn::BURN_DRIVE_WRITING && progress.sectors > 0
                && (progress.sector != lastSector || progress.sectors != lastTotal)) {
                lastSector = progress.sector;
                lastTotal = progress.sectors;
                Notify([&](IDiscMasterProgressEvents* sink) { sink->NotifyBlockProgress(lastSector, lastTotal); });
            }
            if (!closing
                && (state == burn::BURN_DRIVE_CLOSING_SESSION || state == burn::BURN_DRIVE_CLOSING_TRACK)) {
                closing = true;
                Notify([](IDiscMasterProgressEvents* sink) { sink->NotifyClosingDisc(0); });
            }
            std::this_thread::sleep_for(50ms);
        }
        return {lastSector, lastTotal};
    }

    bool open_ = false;
    CComPtr<JolietDiscMaster> joliet_;
    CComPtr<DiscRecorder> recorder_;
    std::map<UINT_PTR, CComPtr<IDiscMasterProgressEvents>> sinks_;
    UINT_PTR nextCookie_ = 1;
};

} // namespace
} // namespace imapi

HRESULT RegisterDiscMasterClass()
{
    static const HRESULT registered = [] {
        auto* factory = new TClassFactory<imapi::DiscMaster>();
        DWORD cookie = 0;
        const HRESULT hr = CoRegisterClassObject(CLSID_MSDiscMasterObj, factory,
            CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        factory->Release();
        return hr;
    }();
    return registered;
}
