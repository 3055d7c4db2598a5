#pragma once
// The image add-on's module object: its class factory, made on the first
// request and kept for the life of the module, its lock count (objects and
// server locks, see ComModule) and its registration.
#include <mutex>

#include "platform/com/Unknown.h"

class CQuorvexImgAddonModule {
public:
    CQuorvexImgAddonModule() = default;
    CQuorvexImgAddonModule(const CQuorvexImgAddonModule&) = delete;
    CQuorvexImgAddonModule& operator=(const CQuorvexImgAddonModule&) = delete;
    ~CQuorvexImgAddonModule();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
    HRESULT CanUnloadNow() const;
    // Application entry, class entries, then the type library; the first
    // failure is answered, after the later steps were still tried.
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

private:
    std::mutex factoryLock_;
    IClassFactory* factory_ = nullptr;
};
