// Entry points of the image add-on module.
#include "imgaddon/QuorvexImgAddonModule.h"

namespace {

CQuorvexImgAddonModule theModule;

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return theModule.GetClassObject(clsid, iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return theModule.CanUnloadNow(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() { return theModule.RegisterServer(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() { return theModule.UnregisterServer(); }
