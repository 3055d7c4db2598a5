#include "platform/com/ComRuntime.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/registry/Registry.h"

namespace {

thread_local int initCount = 0;

std::string ReadClassesRootDefault(const std::string& key)
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKeyReadOnly("\\" + key))
            return {};
        if (!reg.ValueExists("") || reg.GetDataType("") != TRegDataType::rdString)
            return {};
        return reg.ReadString("");
    } catch (const Exception&) {
        return {};
    }
}

std::string ClsidKey(REFCLSID clsid) { return "CLSID\\" + GuidToString(clsid); }

struct LoadedModule {
    void* handle = nullptr;
    DllGetClassObjectFn getClassObject = nullptr;
};

HRESULT LoadModule(const std::string& path, LoadedModule& out)
{
    static std::mutex mutex;
    static std::map<std::string, LoadedModule> modules;
    std::lock_guard lock(mutex);
    if (auto it = modules.find(path); it != modules.end()) {
        out = it->second;
        return S_OK;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return CO_E_DLLNOTFOUND;
    auto fn = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!fn) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    out = LoadedModule{handle, fn};
    modules.emplace(path, out);
    return S_OK;
}

struct ClassTableEntry {
    DWORD cookie;
    CLSID clsid;
    DWORD context;
    IUnknown* object;
};

std::mutex& ClassTableMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Never destroyed: objects that are still registered at exit belong to
// modules whose own statics may already be gone.
std::vector<ClassTableEntry>& ClassTable()
{
    static auto* table = new std::vector<ClassTableEntry>;
    return *table;
}

// The registered object for clsid with a reference added, or null.
IUnknown* FindClassObject(REFCLSID clsid, DWORD context)
{
    std::lock_guard lock(ClassTableMutex());
    auto& table = ClassTable();
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        if (it->clsid == clsid && (it->context & context)) {
            it->object->AddRef();
            return it->object;
        }
    return nullptr;
}

} // namespace

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD, DWORD* cookie)
{
    if (!classObject || !cookie || context == 0)
        return E_INVALIDARG;
    static DWORD nextCookie = 1;
    classObject->AddRef();
    std::lock_guard lock(ClassTableMutex());
    *cookie = nextCookie++;
    ClassTable().push_back(ClassTableEntry{*cookie, clsid, context, classObject});
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie)
{
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(ClassTableMutex());
        auto& table = ClassTable();
        for (auto it = table.begin(); it != table.end(); ++it)
            if (it->cookie == cookie) {
                object = it->object;
                table.erase(it);
                break;
            }
    }
    if (!object)
        return E_INVALIDARG;
    // Outside the lock: the last release may run code that creates objects.
    object->Release();
    return S_OK;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) { return initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize()
{
    if (initCount > 0)
        --initCount;
}

bool CoIsInitialized() { return initCount > 0; }

HRESULT OleInitialize(void*) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

void OleUninitialize() { CoUninitialize(); }

HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid)
{
    if (!clsid || !progId)
        return E_INVALIDARG;
    std::string name = Utf8FromWide(progId);
    if (name.empty() || name.find('\\') != std::string::npos)
        return CO_E_CLASSSTRING;
    if (name.front() == '{')
        return CLSIDFromString(progId, clsid);
    std::string text = ReadClassesRootDefault(name + "\\CLSID");
    if (text.empty()) {
        // A version-independent ProgID without a class of its own.
        const std::string cur = ReadClassesRootDefault(name + "\\CurVer");
        if (!cur.empty() && cur.find('\\') == std::string::npos)
            text = ReadClassesRootDefault(cur + "\\CLSID");
    }
    CLSID found;
    if (text.size() != 38 || !ParseGuid(text, &found))
        return CO_E_CLASSSTRING;
    *clsid = found;
    return S_OK;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, std::u16string* progId)
{
    if (!progId)
        return E_INVALIDARG;
    const std::string text = ReadClassesRootDefault(ClsidKey(clsid) + "\\ProgID");
    if (text.empty())
        return REGDB_E_CLASSNOTREG;
    *progId = WideFromUtf8(text);
    return S_OK;
}

std::string InprocServerPath(REFCLSID clsid) { return ReadClassesRootDefault(ClsidKey(clsid) + "\\InprocServer32"); }

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!CoIsInitialized())
        return CO_E_NOTINITIALIZED;
    if (IUnknown* registered = FindClassObject(clsid, context)) {
        const HRESULT hr = registered->QueryInterface(iid, object);
        registered->Release();
        return hr;
    }
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    const std::string path = InprocServerPath(clsid);
    if (path.empty())
        return REGDB_E_CLASSNOTREG;
    LoadedModule module;
    if (const HRESULT hr = LoadModule(path, module); FAILED(hr))
        return hr;
    return module.getClassObject(clsid, iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

HRESULT RegisterInprocServer(const ClassRegistration& r, const std::string& modulePath)
{
    if (modulePath.empty())
        return E_INVALIDARG;
    const std::string clsid = GuidToString(r.clsid);
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        auto setDefault = [&](const std::string& key, const std::string& value) {
            if (!reg.OpenKey("\\" + key, true))
                throw ERegistryException("cannot create " + key);
            reg.WriteString("", value);
            reg.CloseKey();
        };
        auto setValue = [&](const std::string& key, const std::string& name, const std::string& value) {
            if (!reg.OpenKey("\\" + key, true))
                throw ERegistryException("cannot create " + key);
            reg.WriteString(name, value);
            reg.CloseKey();
        };
        // Sub-keys of an older registration (another module, a type library
        // no longer shipped) must not survive under the new one.
        if (reg.KeyExists("\\CLSID\\" + clsid) && !reg.DeleteKey("\\CLSID\\" + clsid))
            throw ERegistryException("cannot replace CLSID\\" + clsid);
        setDefault("CLSID\\" + clsid, r.description);
        setDefault("CLSID\\" + clsid + "\\InprocServer32", modulePath);
        setValue("CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel", r.threadingModel);
        if (!(r.appId == GUID_NULL))
            setValue("CLSID\\" + clsid, "AppID", GuidToString(r.appId));
        if (!(r.typeLib == GUID_NULL))
            setDefault("CLSID\\" + clsid + "\\TypeLib", GuidToString(r.typeLib));
        if (r.programmable) {
            if (!reg.OpenKey("\\CLSID\\" + clsid + "\\Programmable", true))
                throw ERegistryException("cannot create Programmable");
            reg.CloseKey();
        }
        if (!r.progId.empty()) {
            setDefault("CLSID\\" + clsid + "\\ProgID", r.progId);
            setDefault(r.progId, r.description);
            setDefault(r.progId + "\\CLSID", clsid);
        }
        if (!r.versionIndependentProgId.empty()) {
            setDefault("CLSID\\" + clsid + "\\VersionIndependentProgID", r.versionIndependentProgId);
            setDefault(r.versionIndependentProgId, r.description);
            setDefault(r.versionIndependentProgId + "\\CLSID", clsid);
            if (!r.progId.empty())
                setDefault(r.versionIndependentProgId + "\\CurVer", r.progId);
        }
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

HRESULT UnregisterInprocServer(const ClassRegistration& r)
{
    const std::string clsid = GuidToString(r.clsid);
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        for (const std::string& progId : {r.progId, r.versionIndependentProgId}) {
            // Leave a ProgID alone that another class has taken over meanwhile.
            if (!progId.empty() && ReadClassesRootDefault(progId + "\\CLSID") == clsid)
                reg.DeleteKey("\\" + progId);
        }
        reg.DeleteKey("\\CLSID\\" + clsid);
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

HRESULT RegisterAppId(const GUID& appId, const std::string& name, const std::string& moduleFileName)
{
    if (moduleFileName.empty() || moduleFileName.find('\\') != std::string::npos)
        return E_INVALIDARG;
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKey("\\AppID\\" + GuidToString(appId), true))
            return REGDB_E_WRITEREGDB;
        reg.WriteString("", name);
        reg.CloseKey();
        if (!reg.OpenKey("\\AppID\\" + moduleFileName, true))
            return REGDB_E_WRITEREGDB;
        reg.WriteString("AppID", GuidToString(appId));
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

HRESULT UnregisterAppId(const GUID& appId, const std::string& moduleFileName)
{
    if (moduleFileName.empty() || moduleFileName.find('\\') != std::string::npos)
        return E_INVALIDARG;
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        reg.DeleteKey("\\AppID\\" + GuidToString(appId));
        // The module's entry may meanwhile name another application.
        if (reg.OpenKeyReadOnly("\\AppID\\" + moduleFileName) && reg.ValueExists("AppID")
            && reg.ReadString("AppID") == GuidToString(appId)) {
            reg.CloseKey();
            reg.DeleteKey("\\AppID\\" + moduleFileName);
        }
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved))
        return resolved;
    return info.dli_fname;
}
