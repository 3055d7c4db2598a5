#include "tests/services/FakeDiscMaster.h"

#include <map>

#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"

namespace {

FakeScript g_script;

template <class Derived>
struct Counted : RefCounted<Derived> {
    Counted() { ++g_script.liveObjects; }
    ~Counted() { --g_script.liveObjects; }
};

class Recorder final : public IDiscRecorder, public Counted<Recorder> {
public:
    explicit Recorder(int index) : index_(index) {}
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IDiscRecorder>(iid, object, {IID_IUnknown, IID_IDiscRecorder});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT GetRecorderType(LONG* type) override
    {
        *type = RECORDER_CDRW;
        return S_OK;
    }
    HRESULT GetPath(BSTR* path) override
    {
        *path = SysAllocStringUtf8("fake:" + std::to_string(index_));
        return S_OK;
    }
    HRESULT OpenExclusive() override
    {
        ++g_script.recorderOpens;
        return Spec().open;
    }
    HRESULT QueryMediaType(LONG* type, LONG* flags) override
    {
        if (!Spec().queryThrows.empty())
            throw std::runtime_error(Spec().queryThrows == "-" ? "" : Spec().queryThrows);
        *type = Spec().type;
        *flags = Spec().flags;
        return S_OK;
    }
    HRESULT QueryMediaInfo(BYTE*, BYTE*, ULONG*, ULONG*, ULONG*) override { return S_OK; }
    HRESULT Close() override
    {
        ++g_script.recorderCloses;
        return S_OK;
    }
    int Index() const { return index_; }

private:
    const FakeRecorder& Spec() const { return g_script.recorders.at(index_); }
    int index_;
};

class Enumerator final : public IEnumDiscRecorders, public Counted<Enumerator> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IEnumDiscRecorders>(iid, object, {IID_IUnknown, IID_IEnumDiscRecorders});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT Next(ULONG count, IDiscRecorder** out, ULONG* fetched) override
    {
        ++lists_;
        const size_t available = g_script.recordersVanish && lists_ > 1 ? 0 : g_script.recorders.size();
        ULONG n = 0;
        while (n < count && next_ < available)
            out[n++] = new Recorder(static_cast<int>(next_++));
        *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }

private:
    size_t next_ = 0;
    int lists_ = 0;
};

class Joliet final : public IJolietDiscMaster, public Counted<Joliet> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IJolietDiscMaster>(iid, object, {IID_IUnknown, IID_IJolietDiscMaster});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT AddData(const OLECHAR* folder, LONG) override
    {
        g_script.folder = folder;
        return g_script.addData;
    }
};

class Master final : public IDiscMaster, public Counted<Master> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IDiscMaster>(iid, object, {IID_IUnknown, IID_IDiscMaster});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT Open() override { return g_script.open; }
    HRESULT SetActiveDiscMasterFormat(REFIID, void** format) override
    {
        if (++g_script.formatCalls > 1 && g_script.format != S_OK)
            return g_script.format;
        *format = static_cast<IJolietDiscMaster*>(new Joliet());
        return S_OK;
    }
    HRESULT EnumDiscRecorders(IEnumDiscRecorders** out) override
    {
        if (g_script.enumerate != S_OK)
            return g_script.enumerate;
        *out = new Enumerator();
        return S_OK;
    }
    HRESULT SetActiveDiscRecorder(IDiscRecorder* recorder) override
    {
        if (g_script.setRecorder != S_OK)
            return g_script.setRecorder;
        g_script.activeRecorder = recorder ? static_cast<Recorder*>(recorder)->Index() : -1;
        return S_OK;
    }
    HRESULT ProgressAdvise(IDiscMasterProgressEvents* events, UINT_PTR* cookie) override
    {
        if (g_script.advise != S_OK)
            return g_script.advise;
        *cookie = next_;
        sinks_[next_++] = CComPtr<IDiscMasterProgressEvents>(events);
        ++g_script.liveSinks;
        return S_OK;
    }
    HRESULT ProgressUnadvise(UINT_PTR cookie) override
    {
        if (g_script.unadvise != S_OK)
            return g_script.unadvise;
        if (!sinks_.erase(cookie))
            return E_INVALIDARG;
        --g_script.liveSinks;
        return S_OK;
    }
    HRESULT RecordDisc(int simulate, int eject) override
    {
        g_script.records.emplace_back(simulate, eject);
        for (auto [done, total] : g_script.progress)
            for (auto& [cookie, sink] : sinks_)
                sink->NotifyBlockProgress(done, total);
        return g_script.record;
    }
    HRESULT Close() override
    {
        ++g_script.masterCloses;
        return S_OK;
    }

private:
    std::map<UINT_PTR, CComPtr<IDiscMasterProgressEvents>> sinks_;
    UINT_PTR next_ = 1;
};

class Factory final : public IClassFactory, public RefCounted<Factory> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IClassFactory>(iid, object, {IID_IUnknown, IID_IClassFactory});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (g_script.create != S_OK)
            return g_script.create;
        auto* master = new Master();
        const HRESULT hr = master->QueryInterface(iid, object);
        master->Release();
        return hr;
    }
    HRESULT LockServer(int) override { return S_OK; }
};

} // namespace

FakeScript& Fake() { return g_script; }

FakeDiscMasterClass::FakeDiscMasterClass()
{
    g_script = FakeScript{};
    auto* factory = new Factory();
    CoRegisterClassObject(CLSID_MSDiscMasterObj, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    factory->Release();
}

FakeDiscMasterClass::~FakeDiscMasterClass() { CoRevokeClassObject(cookie_); }
