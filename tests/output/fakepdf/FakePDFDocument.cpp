// A recording stand-in for the PDF document component, registered under the
// same ProgID. Every call is appended as one line to calls.log in the folder
// named by VELMORA_FAKE_PDF_DIR; drawn pages go to draw-<n>.html there and
// the bytes of attached files, as read at the call, to attach-<n>.
//
// VELMORA_FAKE_PDF_FAIL lists calls that answer a failure, separated by
// commas: a method name ("EndDocument", "AttachFile", "BeginDocument",
// "AddPage", "GetDocumentInfo") or a method and the number of its call
// ("DrawHtml#2", "GetCurrentPage#3": that call hands out no page).
// VELMORA_FAKE_PDF_REMOVE names a file, relative to the base folder of the
// first DrawHtml, that is deleted during that call.
#include "platform/com/ComModule.h"
#include "platform/com/ComRuntime.h"
#include "platform/pdf/PDFInterfaces.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

inline constexpr CLSID CLSID_FakePDFDocument = MakeGuid("{7E5A3C19-2B84-4D6F-A0E1-93C8B4F2D657}");

std::string Folder()
{
    const char* dir = std::getenv("VELMORA_FAKE_PDF_DIR");
    return dir ? dir : "";
}

void Log(const std::string& line)
{
    const std::string dir = Folder();
    if (dir.empty())
        return;
    std::ofstream out(dir + "/calls.log", std::ios::app | std::ios::binary);
    out << line << '\n';
}

bool Fails(const std::string& call, int number)
{
    const char* list = std::getenv("VELMORA_FAKE_PDF_FAIL");
    if (!list)
        return false;
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ','))
        if (item == call || item == call + "#" + std::to_string(number))
            return true;
    return false;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Text(BSTR text) { return Utf8FromWide(text); }

#define FAKE_NO_LATE_BINDING                                                                                       \
    HRESULT GetTypeInfoCount(uint32_t* count) override                                                            \
    {                                                                                                              \
        *count = 0;                                                                                                \
        return S_OK;                                                                                               \
    }                                                                                                              \
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }                                \
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }      \
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override           \
    {                                                                                                              \
        return DISP_E_MEMBERNOTFOUND;                                                                              \
    }

class FakeDocument;

class FakeInfo final : public IPDFDocumentInfo, public RefCounted<FakeInfo> {
public:
    ~FakeInfo() { Log("~Info"); }
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IPDFDocumentInfo>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFDocumentInfo});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    FAKE_NO_LATE_BINDING
    HRESULT SetAuthor(BSTR author) override
    {
        Log("SetAuthor " + Text(author));
        return S_OK;
    }
    HRESULT SetTitle(BSTR title) override
    {
        Log("SetTitle " + Text(title));
        return S_OK;
    }
};

class FakePage final : public IPDFPage, public RefCounted<FakePage> {
public:
    explicit FakePage(FakeDocument* document);
    ~FakePage();
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IPDFPage>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFPage});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    FAKE_NO_LATE_BINDING
    HRESULT SetPageOption1(int32_t value) override
    {
        Log("SetPageOption1 " + std::to_string(value));
        return S_OK;
    }
    HRESULT SetPageOption2(int32_t value) override
    {
        Log("SetPageOption2 " + std::to_string(value));
        return S_OK;
    }
    HRESULT DrawHtml(BSTR html, int32_t x, int32_t y, int32_t width, int32_t height, int32_t fit,
        BSTR baseFolder) override;

private:
    FakeDocument* document_;
};

class FakeDocument final : public IPDFDocument, public RefCounted<FakeDocument> {
public:
    FakeDocument() { Log("Create"); }
    ~FakeDocument() { Log("~Document"); }
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IPDFDocument>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFDocument});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    FAKE_NO_LATE_BINDING

    HRESULT Call(const std::string& name, const std::string& args = "")
    {
        const int number = ++counts_[name];
        Log(args.empty() ? name : name + " " + args);
        return Fails(name, number) ? E_FAIL : S_OK;
    }

    HRESULT BeginDocument() override { return Call("BeginDocument"); }
    HRESULT EndDocument() override
    {
        const HRESULT hr = Call("EndDocument");
        if (SUCCEEDED(hr))
            WriteFile(output_, "%PDF-1.4\n% fake\n");
        return hr;
    }
    HRESULT GetCurrentPage(IPDFPage** page) override
    {
        *page = nullptr;
        const int number = counts_["GetCurrentPage"] + 1;
        Call("GetCurrentPage");
        if (Fails("GetCurrentPage", number))
            return S_OK;
        *page = new FakePage(this);
        return S_OK;
    }
    HRESULT GetPageHeight(int32_t* height) override
    {
        Call("GetPageHeight");
        *height = 1111;
        return S_OK;
    }
    HRESULT GetPageWidth(int32_t* width) override
    {
        Call("GetPageWidth");
        *width = 777;
        return S_OK;
    }
    HRESULT SetDocumentOption1(int32_t v) override { return Option(1, v); }
    HRESULT SetOutputFile(BSTR path) override
    {
        output_ = Text(path);
        return Call("SetOutputFile", output_);
    }
    HRESULT GetDocumentInfo(IPDFDocumentInfo** info) override
    {
        *info = nullptr;
        const HRESULT hr = Call("GetDocumentInfo");
        if (FAILED(hr))
            return hr;
        *info = new FakeInfo();
        return S_OK;
    }
    HRESULT SetDocumentOption2(int32_t v) override { return Option(2, v); }
    HRESULT SetCompression(int32_t quality) override { return Call("SetCompression", std::to_string(quality)); }
    HRESULT AddPage() override { return Call("AddPage"); }
    HRESULT SetDocumentOption3(int32_t v) override { return Option(3, v); }
    HRESULT SetDocumentOption4(int32_t v) override { return Option(4, v); }
    HRESULT SetDocumentOption5(int32_t v) override { return Option(5, v); }
    HRESULT SetDocumentOption6(int32_t v) override { return Option(6, v); }
    HRESULT SetDocumentOption7(int32_t v) override { return Option(7, v); }
    HRESULT SetDocumentOption8(int32_t v) override { return Option(8, v); }
    HRESULT SetDocumentOption9(int32_t v) override { return Option(9, v); }
    HRESULT SetDocumentOption10(int32_t v) override { return Option(10, v); }
    HRESULT SetDocumentOption11(int32_t v) override { return Option(11, v); }
    HRESULT AttachFile(BSTR path, BSTR description) override
    {
        const int number = counts_["AttachFile"] + 1;
        const std::string file = Text(path);
        WriteFile(Folder() + "/attach-" + std::to_string(number), ReadFile(file));
        return Call("AttachFile", file + " | " + Text(description));
    }
#define FAKE_RESERVED(n) \
    HRESULT Reserved##n() override { return E_NOTIMPL; }
    FAKE_RESERVED(28) FAKE_RESERVED(29) FAKE_RESERVED(30) FAKE_RESERVED(31) FAKE_RESERVED(32) FAKE_RESERVED(33)
    FAKE_RESERVED(34) FAKE_RESERVED(35) FAKE_RESERVED(36) FAKE_RESERVED(37) FAKE_RESERVED(38) FAKE_RESERVED(39)
    FAKE_RESERVED(40) FAKE_RESERVED(41) FAKE_RESERVED(42) FAKE_RESERVED(43) FAKE_RESERVED(44) FAKE_RESERVED(45)
    FAKE_RESERVED(46) FAKE_RESERVED(47) FAKE_RESERVED(48) FAKE_RESERVED(49) FAKE_RESERVED(50) FAKE_RESERVED(51)
    FAKE_RESERVED(52) FAKE_RESERVED(53) FAKE_RESERVED(54) FAKE_RESERVED(55) FAKE_RESERVED(56) FAKE_RESERVED(57)
    FAKE_RESERVED(58) FAKE_RESERVED(59) FAKE_RESERVED(60) FAKE_RESERVED(61) FAKE_RESERVED(62) FAKE_RESERVED(63)
    FAKE_RESERVED(64) FAKE_RESERVED(65) FAKE_RESERVED(66)
#undef FAKE_RESERVED
    HRESULT AddImageFromHBitmap(uint32_t, int32_t, int32_t*) override { return E_NOTIMPL; }

    int NextDrawing() { return ++drawings_; }

private:
    HRESULT Option(int n, int32_t value)
    {
        return Call("SetDocumentOption" + std::to_string(n), std::to_string(value));
    }

    std::map<std::string, int> counts_;
    std::string output_;
    int drawings_ = 0;
};

FakePage::FakePage(FakeDocument* document) : document_(document)
{
    document_->AddRef();
}

FakePage::~FakePage()
{
    Log("~Page");
    document_->Release();
}

HRESULT FakePage::DrawHtml(BSTR html, int32_t x, int32_t y, int32_t width, int32_t height, int32_t fit,
    BSTR baseFolder)
{
    const int number = document_->NextDrawing();
    const std::string base = Text(baseFolder);
    WriteFile(Folder() + "/draw-" + std::to_string(number) + ".html", Text(html));
    if (number == 1)
        if (const char* remove = std::getenv("VELMORA_FAKE_PDF_REMOVE"); remove && *remove)
            std::remove((base + remove).c_str());
    char args[96];
    std::snprintf(args, sizeof args, "%d %d %d %d %d ", x, y, width, height, fit);
    return document_->Call("DrawHtml", args + base);
}

ClassRegistration Registration()
{
    return {CLSID_FakePDFDocument, "Recording PDF document", kPDFDocumentProgIDVersioned, kPDFDocumentProgID,
        "Apartment"};
}

} // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetClassObjectFor<FakeDocument>(CLSID_FakePDFDocument, clsid, iid, object);
}
extern "C" HRESULT DllCanUnloadNow() { return ComModule::CanUnloadNow(); }
extern "C" HRESULT DllRegisterServer()
{
    return RegisterInprocServer(Registration(), ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
}
extern "C" HRESULT DllUnregisterServer() { return UnregisterInprocServer(Registration()); }
