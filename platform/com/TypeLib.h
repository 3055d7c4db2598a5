#pragma once
// A small description of a module's type library: its automation
// interfaces, their methods with DISPIDs, parameters and help strings. A
// server keeps one as a constant; it is registered with the module and
// drives the late-bound half of dual interfaces (Dispatch.h).
//
// Registration writes, under HKEY_CLASSES_ROOT:
//
//   TypeLib\{libid}\1.0                   @="name"
//   TypeLib\{libid}\1.0\FLAGS             @="0"
//   TypeLib\{libid}\1.0\HELPDIR           @="/folder/of/module"
//   TypeLib\{libid}\1.0\0\linux           @="/folder/of/module/module.so"
//   Interface\{iid}                        @="IName"
//   Interface\{iid}\ProxyStubClsid32       @="{00020424-0000-0000-C000-000000000046}"
//   Interface\{iid}\TypeLib                @="{libid}" "Version"="1.0"
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/Unknown.h"

struct TypeParamDesc {
    std::string name;
    VARTYPE type = VT_I4;
    // For VT_UNKNOWN / VT_DISPATCH: the interface the argument is asked for;
    // for an enumeration passed as VT_I4: the enumeration's type.
    GUID typeGuid = GUID_NULL;
    // The method's [out, retval] result; it is not passed as an argument.
    bool retval = false;
};

struct TypeMethodDesc {
    DISPID id = 0;
    std::string name;
    std::string help;
    std::vector<TypeParamDesc> params;
};

struct TypeInterfaceDesc {
    IID iid;
    std::string name;
    std::string help;
    bool dual = true;
    std::vector<TypeMethodDesc> methods;

    const TypeMethodDesc* Find(DISPID id) const;
};

struct TypeLibDesc {
    GUID libid;
    std::string name;
    uint16_t majorVersion = 1;
    uint16_t minorVersion = 0;
    // Libraries whose types this one uses.
    std::vector<GUID> imports;
    std::vector<TypeInterfaceDesc> interfaces;

    const TypeInterfaceDesc* Find(REFIID iid) const;
};

// REGDB_E_WRITEREGDB when the hive cannot be written.
HRESULT RegisterTypeLib(const TypeLibDesc& lib, const std::string& modulePath);
// Removes this version of the library (the library key too when no other
// version is left) and the interface keys that name it.
HRESULT UnRegisterTypeLib(const TypeLibDesc& lib);
// The module registered for a library version ("" when none).
std::string QueryPathOfRegTypeLib(const GUID& libid, uint16_t majorVersion, uint16_t minorVersion);
