#include "imgaddon/QuorvexImgAddonModule.h"

#include "imgaddon/ImageLoader.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/RegistryScript.h"

namespace {

// The registry texts keep the spelling of the add-on's published entries
// (ProgIDs, application and class names, identifiers in mixed case).
constexpr const char* kAppIdText = "{3E0C0114-EA2F-4b9c-9A52-FB51F0845B30}";

// The application entry.
RegScript AppIdScript()
{
    using K = RegScriptKey;
    return {
        {K::NoRemove, "AppID", {},
            {
                {K::Normal, "%APPID%", {{"", "QuorvexImgAddon"}}, {}},
                {K::Normal, "QuorvexImgAddon.DLL", {{"AppID", "%APPID%"}}, {}},
            }},
    };
}

// The ImageLoader class.
RegScript ImageLoaderScript()
{
    using K = RegScriptKey;
    const std::string clsid = "{F01E1362-5B4D-4cc1-B22E-AE6C76D5F6DB}";
    return {
        {K::Normal, "QuorvexImgAddon.ImageLoader.1", {{"", "ImageLoader Class"}},
            {{K::Normal, "CLSID", {{"", clsid}}, {}}}},
        {K::Normal, "QuorvexImgAddon.ImageLoader", {{"", "ImageLoader Class"}},
            {
                {K::Normal, "CLSID", {{"", clsid}}, {}},
                {K::Normal, "CurVer", {{"", "QuorvexImgAddon.ImageLoader.1"}}, {}},
            }},
        {K::NoRemove, "CLSID", {},
            {{K::ForceRemove, clsid, {{"", "ImageLoader Class"}, {"AppID", "%APPID%"}},
                {
                    {K::Normal, "ProgID", {{"", "QuorvexImgAddon.ImageLoader.1"}}, {}},
                    {K::Normal, "VersionIndependentProgID", {{"", "QuorvexImgAddon.ImageLoader"}}, {}},
                    {K::ForceRemove, "Programmable", {}, {}},
                    {K::Normal, "InprocServer32", {{"", "%MODULE%"}, {"ThreadingModel", "Apartment"}}, {}},
                    {K::Normal, "TypeLib", {{"", "{148F5BFE-DEAE-48ca-9C1B-6576384A3A2B}"}}, {}},
                }}}},
    };
}

std::string ModulePath()
{
    return ModulePathOf(reinterpret_cast<const void*>(&ImageLoaderScript));
}

HRESULT FirstFailure(HRESULT sofar, HRESULT next) { return FAILED(sofar) ? sofar : next; }

} // namespace

CQuorvexImgAddonModule::~CQuorvexImgAddonModule()
{
    if (factory_)
        factory_->Release();
}

HRESULT CQuorvexImgAddonModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_ImageLoader))
        return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = nullptr;
    {
        std::lock_guard lock(factoryLock_);
        if (!factory_)
            factory_ = new (std::nothrow) TClassFactory<CImageLoader>();
        factory = factory_;
    }
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->QueryInterface(iid, object);
}

HRESULT CQuorvexImgAddonModule::CanUnloadNow() const { return ComModule::CanUnloadNow(); }

HRESULT CQuorvexImgAddonModule::RegisterServer()
{
    const std::string path = ModulePath();
    if (path.empty())
        return E_UNEXPECTED;
    HRESULT hr = RegistryScriptRegister(AppIdScript(), {{"APPID", kAppIdText}});
    hr = FirstFailure(hr, RegistryScriptRegister(ImageLoaderScript(), {{"APPID", kAppIdText}, {"MODULE", path}}));
    return FirstFailure(hr, RegisterTypeLib(QuorvexImgAddonTypeLib(), path));
}

HRESULT CQuorvexImgAddonModule::UnregisterServer()
{
    HRESULT hr = RegistryScriptUnregister(ImageLoaderScript(), {{"APPID", kAppIdText}, {"MODULE", ModulePath()}});
    hr = FirstFailure(hr, UnRegisterTypeLib(QuorvexImgAddonTypeLib()));
    return FirstFailure(hr, RegistryScriptUnregister(AppIdScript(), {{"APPID", kAppIdText}}));
}
