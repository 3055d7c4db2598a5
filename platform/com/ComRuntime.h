#pragma once
// Creating components. In-process servers are shared libraries registered in
// the classes-root hive:
//
//   HKEY_CLASSES_ROOT\CLSID\{clsid}                 @="description"
//   HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32  @="/abs/path/module.so"
//                                                   "ThreadingModel"="Apartment"
//   HKEY_CLASSES_ROOT\CLSID\{clsid}\ProgID          @="Vendor.Class.1"
//   HKEY_CLASSES_ROOT\Vendor.Class.1\CLSID          @="{clsid}"
//   HKEY_CLASSES_ROOT\Vendor.Class\CLSID            @="{clsid}"
//   HKEY_CLASSES_ROOT\Vendor.Class\CurVer           @="Vendor.Class.1"
//
// A module exports, with C linkage, DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer. Loaded modules stay loaded for
// the rest of the process.
#include <string>

#include "platform/com/Unknown.h"

enum : DWORD {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_ALL = 0x17,
};

enum : DWORD {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
};

// Per thread and counted: the first call on a thread answers S_OK, later ones
// S_FALSE; each needs a matching CoUninitialize.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
// Whether the calling thread has initialised the runtime.
bool CoIsInitialized();
// The same count under the names the OLE calls use.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();

enum : DWORD {
    REGCLS_SINGLEUSE = 0,
    REGCLS_MULTIPLEUSE = 1,
};

// The process's own table of class objects, looked up before the hive: a
// component built into the program is created by CoCreateInstance without
// being installed anywhere. The table holds a reference to the object until
// it is revoked. Of several registrations for one class the latest answers,
// so a test can put a class in place of another and revoke it again.
// E_INVALIDARG for a null object or cookie pointer or an empty context.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* classObject, DWORD context, DWORD flags, DWORD* cookie);
// E_INVALIDARG for a cookie that is not registered (or revoked already).
HRESULT CoRevokeClassObject(DWORD cookie);

// A braced GUID is taken as it is; otherwise the ProgID's class is looked up
// (following CurVer of a version-independent ProgID). CO_E_CLASSSTRING when
// the ProgID is not registered.
HRESULT CLSIDFromProgID(const OLECHAR* progId, CLSID* clsid);
// The ProgID registered for a class.
HRESULT ProgIDFromCLSID(REFCLSID clsid, std::u16string* progId);

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** object);
// CO_E_NOTINITIALIZED on a thread that did not initialise; REGDB_E_CLASSNOTREG
// for a class neither in the process table (for the context asked) nor in the
// hive, or one only in the hive asked for without in-process servers;
// CO_E_DLLNOTFOUND / CO_E_ERRORINDLL when the module cannot be loaded or has
// no class-object entry.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// The module path registered for a class ("" when none).
std::string InprocServerPath(REFCLSID clsid);

// Registration helpers for a server module's DllRegisterServer /
// DllUnregisterServer.
struct ClassRegistration {
    CLSID clsid;
    std::string description;
    std::string progId; // versioned, may be empty
    std::string versionIndependentProgId; // may be empty
    std::string threadingModel = "Apartment";
    // Written under the class key when set: the "AppID" value, the TypeLib
    // sub-key and an empty Programmable sub-key (automation objects).
    GUID appId = GUID_NULL;
    GUID typeLib = GUID_NULL;
    bool programmable = false;
};
// Writes the keys shown above; the class key is first deleted with its
// subtree, so nothing of an older registration stays behind.
// REGDB_E_WRITEREGDB when the hive cannot be written.
HRESULT RegisterInprocServer(const ClassRegistration& reg, const std::string& modulePath);
// Removes the class key and the ProgID keys that still name this class.
HRESULT UnregisterInprocServer(const ClassRegistration& reg);

// A module's application identifier:
//   HKEY_CLASSES_ROOT\AppID\{appid}          @="name"
//   HKEY_CLASSES_ROOT\AppID\moduleFileName   "AppID"="{appid}"
HRESULT RegisterAppId(const GUID& appId, const std::string& name, const std::string& moduleFileName);
// Removes both keys; the AppID key itself stays.
HRESULT UnregisterAppId(const GUID& appId, const std::string& moduleFileName);

// Absolute path of the module (shared library or program) that holds the
// given address.
std::string ModulePathOf(const void* addressInModule);

// Signatures of the module exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
