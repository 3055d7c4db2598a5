// Entry points of the PDF document module.
#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"
#include "platform/pdf/PDFDocument.h"

namespace {

ClassRegistration Registration()
{
    ClassRegistration r;
    r.clsid = CLSID_PDFDocument;
    r.description = "PDFDocument Class";
    r.progId = kPDFDocumentProgIDVersioned;
    r.versionIndependentProgId = kPDFDocumentProgID;
    r.threadingModel = "Both";
    return r;
}

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObjectFor<CPDFDocument>(CLSID_PDFDocument, clsid, iid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return ComModule::CanUnloadNow(); }

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer()
{
    const std::string path = ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (path.empty())
        return E_UNEXPECTED;
    return RegisterInprocServer(Registration(), path);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer()
{
    return UnregisterInprocServer(Registration());
}
