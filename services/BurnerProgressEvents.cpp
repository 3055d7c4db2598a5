#include "services/BurnerProgressEvents.h"

#include <new>

#include "services/BurnThread.h"

HRESULT BurnerProgressEvents::CreateInstance(IDiscMasterProgressEvents** out)
{
    if (!out)
        return E_POINTER;
    auto* events = new (std::nothrow) BurnerProgressEvents();
    if (!events) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = events->QueryInterface(IID_IDiscMasterProgressEvents, reinterpret_cast<void**>(out));
    if (FAILED(hr))
        delete events;
    return hr;
}

HRESULT BurnerProgressEvents::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDiscMasterProgressEvents) {
        *object = static_cast<IDiscMasterProgressEvents*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG BurnerProgressEvents::AddRef() { return ++refs_; }

ULONG BurnerProgressEvents::Release()
{
    ULONG count = refs_.load();
    do {
        if (count == 0)
            return 0;
    } while (!refs_.compare_exchange_weak(count, count - 1));
    if (count == 1)
        delete this;
    return count - 1;
}

HRESULT BurnerProgressEvents::NotifyBlockProgress(LONG completed, LONG total)
{
    if (BurnThread* owner = owner_.load()) {
        owner->SetStatus("Burning Portfolio...");
        owner->SetProgress(completed, total);
    }
    return S_OK;
}

HRESULT BurnerProgressEvents::QueryCancel(int*) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyPnPActivity() { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyAddProgress(LONG, LONG) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyTrackProgress(LONG, LONG) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyPreparingBurn(LONG) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyClosingDisc(LONG) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyBurnComplete(HRESULT) { return E_NOTIMPL; }
HRESULT BurnerProgressEvents::NotifyEraseComplete(HRESULT) { return E_NOTIMPL; }
