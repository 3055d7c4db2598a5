#include "platform/com/TypeLib.h"

#include <cstdio>

#include "platform/registry/Registry.h"
#include "platform/rtl/FileName.h"

namespace {

// The proxy/stub class of automation-compatible interfaces.
constexpr GUID kOleAutomationProxyStub = MakeGuid("{00020424-0000-0000-C000-000000000046}");

std::string VersionKey(uint16_t major, uint16_t minor)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x.%x", major, minor);
    return buf;
}

std::string LibKey(const GUID& libid) { return "\\TypeLib\\" + GuidToString(libid); }

} // namespace

const TypeMethodDesc* TypeInterfaceDesc::Find(DISPID id) const
{
    for (const TypeMethodDesc& m : methods)
        if (m.id == id)
            return &m;
    return nullptr;
}

const TypeInterfaceDesc* TypeLibDesc::Find(REFIID iid) const
{
    for (const TypeInterfaceDesc& i : interfaces)
        if (i.iid == iid)
            return &i;
    return nullptr;
}

HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& modulePath)
{
    if (modulePath.empty())
        return E_INVALIDARG;
    const std::string version = VersionKey(lib.majorVersion, lib.minorVersion);
    const std::string versionKey = LibKey(lib.libid) + "\\" + version;
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        auto set = [&](const std::string& key, const std::string& name, const std::string& value) {
            if (!reg.OpenKey(key, true))
                throw ERegistryException("cannot create " + key);
            reg.WriteString(name, value);
            reg.CloseKey();
        };
        std::string folder = ExtractFilePath(modulePath);
        if (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        set(versionKey, "", lib.name);
        set(versionKey + "\\FLAGS", "", "0");
        set(versionKey + "\\HELPDIR", "", folder);
        set(versionKey + "\\0\\linux", "", modulePath);
        for (const TypeInterfaceDesc& i : lib.interfaces) {
            const std::string key = "\\Interface\\" + GuidToString(i.iid);
            set(key, "", i.name);
            set(key + "\\ProxyStubClsid32", "", GuidToString(kOleAutomationProxyStub));
            set(key + "\\TypeLib", "", GuidToString(lib.libid));
            set(key + "\\TypeLib", "Version", version);
        }
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

HRESULT UnRegisterTypeLib(const TypeLibDesc& lib)
{
    const std::string libKey = LibKey(lib.libid);
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        for (const TypeInterfaceDesc& i : lib.interfaces) {
            const std::string key = "\\Interface\\" + GuidToString(i.iid);
            // An interface that another library describes now is left alone.
            bool ours = false;
            if (reg.OpenKeyReadOnly(key + "\\TypeLib")) {
                ours = reg.ValueExists("") && reg.ReadString("") == GuidToString(lib.libid);
                reg.CloseKey();
            }
            if (ours)
                reg.DeleteKey(key);
        }
        reg.DeleteKey(libKey + "\\" + VersionKey(lib.majorVersion, lib.minorVersion));
        if (reg.OpenKeyReadOnly(libKey)) {
            const bool empty = !reg.HasSubKeys();
            reg.CloseKey();
            if (empty)
                reg.DeleteKey(libKey);
        }
    } catch (const Exception&) {
        return REGDB_E_WRITEREGDB;
    }
    return S_OK;
}

std::string QueryPathOfRegTypeLib(const GUID& libid, uint16_t majorVersion, uint16_t minorVersion)
{
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKeyReadOnly(LibKey(libid) + "\\" + VersionKey(majorVersion, minorVersion) + "\\0\\linux"))
            return {};
        return reg.ValueExists("") ? reg.ReadString("") : std::string();
    } catch (const Exception&) {
        return {};
    }
}
