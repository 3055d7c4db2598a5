// The add-on as a script or program uses it: registered with regsvr,
// created by its ProgID and connected to the real PDF document component,
// early-bound and late-bound.
#include "platform/com/Dispatch.h"
#include "tests/imgaddon/ImgAddonTestSupport.h"
#include "tests/support/ComTestHelpers.h"

namespace {

VARIANT Dispatch(IDispatch* d)
{
    VARIANT v;
    v.vt = VT_DISPATCH;
    v.pdispVal = d;
    return v;
}

class Server : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const char* module : {IMGADDON_MODULE, QUORVEX_PDF_MODULE}) {
            std::string out;
            ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s " + module, &out), 0) << out;
        }
    }
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(u"QuorvexImgAddon.ImageLoader", &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_ImageLoader);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IImageLoader, reinterpret_cast<void**>(&loader_)),
            S_OK);
        document_ = NewDocument();
        ASSERT_TRUE(document_);
    }
    void TearDown() override
    {
        loader_.Reset();
        document_.Reset();
        CoUninitialize();
    }

    static CComPtr<IPDFDocument> NewDocument()
    {
        CLSID clsid;
        CComPtr<IPDFDocument> doc;
        EXPECT_EQ(CLSIDFromProgID(u"Quorvex.PDFDocument", &clsid), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IPDFDocument, reinterpret_cast<void**>(&doc)), S_OK);
        return doc;
    }

    // The images the document holds: the next image added directly gets the
    // index after the last one.
    static int32_t ImagesIn(IPDFDocument* doc)
    {
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.fill(Qt::black);
        const HBITMAP bitmap = CreateScreenBitmap(pixel);
        int32_t index = -1;
        EXPECT_EQ(doc->AddImageFromHBitmap(bitmap, icFlate, &index), S_OK);
        DeleteObject(bitmap);
        return index;
    }

    static std::string Fixture(const std::string& name) { return Fixtures::Get().Path(name); }

    CComPtr<IImageLoader> loader_;
    CComPtr<IPDFDocument> document_;
};

TEST_F(Server, AddsImagesToTheRealDocument)
{
    ASSERT_EQ(loader_->ConnectToPDFLibrary(document_.Get()), S_OK);
    int32_t img = -1;
    EXPECT_EQ(loader_->AddImageFromFileNameEx(CComBSTR(Fixture("clear.png")), icFlate, &img), S_OK);
    EXPECT_EQ(img, 0);
    EXPECT_EQ(loader_->AddTIFFImageFromFileName(CComBSTR(Fixture("pages.tif")), 1, icJPEG, &img), S_OK);
    EXPECT_EQ(img, 1);
    EXPECT_EQ(loader_->AddTIFFImageFromFileName(CComBSTR(Fixture("frames.gif")), 2, icAuto, &img), S_OK);
    EXPECT_EQ(img, 2);

    // A compression value the component does not know.
    const size_t bitmaps = ScreenBitmapCount();
    EXPECT_EQ(loader_->AddImageFromFileNameEx(CComBSTR(Fixture("clear.png")), static_cast<TImageCompression>(99), &img),
        E_FAIL);
    EXPECT_EQ(img, -1);
    EXPECT_EQ(ScreenBitmapCount(), bitmaps);
    EXPECT_EQ(ImagesIn(document_.Get()), 3) << "the component holds the three images";
}

TEST_F(Server, CallerMayReleaseTheDocumentFirst)
{
    ASSERT_EQ(loader_->ConnectToPDFLibrary(document_.Get()), S_OK);
    document_.Reset();
    int32_t img = -1;
    EXPECT_EQ(loader_->AddImageFromFileNameEx(CComBSTR(Fixture("clear.png")), icAuto, &img), S_OK);
    EXPECT_EQ(img, 0);
    loader_.Reset();
    auto pdfCanUnload = reinterpret_cast<DllCanUnloadNowFn>(
        dlsym(dlopen(QUORVEX_PDF_MODULE, RTLD_NOW | RTLD_NOLOAD), "DllCanUnloadNow"));
    ASSERT_NE(pdfCanUnload, nullptr);
    EXPECT_EQ(pdfCanUnload(), S_OK) << "the document went with the loader";
}

TEST_F(Server, PDFDocumentStillRefusesAggregation)
{
    // Any object serves as the outer one: the call does not get far enough
    // to use it.
    void* inner = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_PDFDocument, loader_.Get(), CLSCTX_ALL, IID_IUnknown, &inner),
        CLASS_E_NOAGGREGATION);
    EXPECT_EQ(inner, nullptr);
}

TEST_F(Server, LateBoundCallsFindMethodsByNameAndConvertArguments)
{
    CComPtr<IDispatch> dispatch;
    ASSERT_EQ(loader_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    const char16_t* names[] = {u"connecttopdflibrary", u"DISCONNECTFROMPDFLIBRARY", u"AddImageFromFileNameEx",
        u"addTiffImageFromFileName", u"GetImagePagesCount"};
    for (DISPID expected = 1; expected <= 5; ++expected) {
        std::u16string name = names[expected - 1];
        OLECHAR* list[] = {name.data()};
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(GUID_NULL, list, 1, 0, &id), S_OK);
        EXPECT_EQ(id, expected);
    }
    std::u16string unknown = u"AddImage";
    OLECHAR* unknownList[] = {unknown.data()};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(GUID_NULL, unknownList, 1, 0, &id), DISP_E_UNKNOWNNAME);

    // ConnectToPDFLibrary(document), the document as a dispatch pointer.
    VARIANT doc = Dispatch(document_.Get());
    DISPPARAMS connect{&doc, nullptr, 1, 0};
    ASSERT_EQ(dispatch->Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &connect, nullptr, nullptr, nullptr), S_OK);

    // AddTIFFImageFromFileName(file, page, compression): arguments arrive
    // last first; scripts pass the page as a small integer or a double.
    for (VARIANT page : {I2(1), R8(1.0)}) {
        VARIANT args[] = {I4(icFlate), page, Bstr(Fixture("pages.tif"))};
        DISPPARAMS params{args, nullptr, 3, 0};
        VARIANT result;
        ASSERT_EQ(dispatch->Invoke(4, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_GE(result.lVal, 0);
        VariantClear(&args[2]);
    }
    VARIANT exArgs[] = {I4(icAuto), Bstr(Fixture("frames.gif"))};
    DISPPARAMS ex{exArgs, nullptr, 2, 0};
    VARIANT result;
    ASSERT_EQ(dispatch->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &ex, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 2) << "the third image";
    VariantClear(&exArgs[1]);

    VARIANT countArgs[] = {Bstr(Fixture("frames.gif"))};
    DISPPARAMS count{countArgs, nullptr, 1, 0};
    ASSERT_EQ(dispatch->Invoke(5, GUID_NULL, 0, DISPATCH_METHOD, &count, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 3);

    // A failure reaches the caller with -1 as the result.
    VARIANT missing[] = {I4(icAuto), I2(0), Bstr(Fixture("missing.tif"))};
    DISPPARAMS failing{missing, nullptr, 3, 0};
    EXPECT_EQ(dispatch->Invoke(4, GUID_NULL, 0, DISPATCH_METHOD, &failing, &result, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(result.lVal, -1);
    VariantClear(&missing[2]);

    // Calls that do not fit the description.
    uint32_t argError = 99;
    VARIANT text = Bstr("not a number");
    VARIANT wrong[] = {text, I2(0), Bstr(Fixture("pages.tif"))};
    DISPPARAMS wrongParams{wrong, nullptr, 3, 0};
    EXPECT_EQ(dispatch->Invoke(4, GUID_NULL, 0, DISPATCH_METHOD, &wrongParams, &result, nullptr, &argError),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u) << "the compression, last in the list";
    for (VARIANT& v : wrong)
        VariantClear(&v);
    EXPECT_EQ(dispatch->Invoke(6, GUID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
        DISP_E_UNKNOWNINTERFACE);

    DISPPARAMS none{};
    ASSERT_EQ(dispatch->Invoke(2, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    int32_t img = 0;
    EXPECT_EQ(loader_->AddImageFromFileNameEx(CComBSTR(Fixture("clear.png")), icAuto, &img), E_FAIL)
        << "disconnected late-bound";
    EXPECT_EQ(ImagesIn(document_.Get()), 3);
}

} // namespace
