#include "imgaddon/ImageLoader.h"

#include <string_view>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusImageFile.h"
#include "platform/gdiplus/GdiPlusStartup.h"

namespace {

// Transparent pixels come out white.
constexpr ARGB kOpaqueWhite = 0xFFFFFFFF;

// The drawing layer runs for one call only, so no state of it outlives the
// call (the add-on lives in other programs).
class DrawingLayerSession {
public:
    DrawingLayerSession()
    {
        GdiplusStartupInput input;
        input.GdiplusVersion = 1;
        input.DebugEventCallback = nullptr;
        input.SuppressBackgroundThread = 0;
        started_ = GdiplusStartup(&token_, &input, nullptr) == Ok;
    }
    ~DrawingLayerSession()
    {
        if (started_)
            GdiplusShutdown(token_);
    }
    DrawingLayerSession(const DrawingLayerSession&) = delete;
    DrawingLayerSession& operator=(const DrawingLayerSession&) = delete;
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

// One decoded file, disposed of with the object.
class FileImage {
public:
    explicit FileImage(BSTR fileName)
    {
        // A name with a zero inside would open another, shorter name.
        if (fileName && std::u16string_view(fileName).size() == SysStringLen(fileName))
            GdipCreateBitmapFromFile(fileName, &bitmap_);
    }
    ~FileImage()
    {
        if (bitmap_)
            GdipDisposeImage(bitmap_);
    }
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    GpBitmap* Bitmap() const { return bitmap_; }

    // The file's first frame dimension and its frame count (0 when unknown).
    UINT FrameCount(GUID* dimension) const
    {
        UINT dimensions = 0;
        if (!bitmap_ || GdipImageGetFrameDimensionsCount(bitmap_, &dimensions) != Ok || dimensions == 0)
            return 0;
        std::vector<GUID> list(dimensions);
        UINT count = 0;
        if (GdipImageGetFrameDimensionsList(bitmap_, list.data(), dimensions) != Ok
            || GdipImageGetFrameCount(bitmap_, &list[0], &count) != Ok)
            return 0;
        if (dimension)
            *dimension = list[0];
        return count;
    }

private:
    GpBitmap* bitmap_ = nullptr;
};

// Deletes a screen bitmap on every way out.
class ScreenBitmapHolder {
public:
    ~ScreenBitmapHolder()
    {
        if (handle != kNullBitmap)
            DeleteObject(handle);
    }
    HBITMAP handle = kNullBitmap;
};

// The file (or the given frame of it) as a screen bitmap over white.
// frame < 0 keeps the file's first frame.
HBITMAP LoadScreenBitmap(BSTR fileName, int64_t frame)
{
    DrawingLayerSession session;
    if (!session.Started())
        return kNullBitmap;
    FileImage file(fileName);
    if (!file.Bitmap())
        return kNullBitmap;
    if (frame >= 0) {
        GUID dimension;
        if (static_cast<uint64_t>(frame) >= file.FrameCount(&dimension)
            || GdipImageSelectActiveFrame(file.Bitmap(), &dimension, static_cast<UINT>(frame)) != Ok)
            return kNullBitmap;
    }
    HBITMAP bitmap = kNullBitmap;
    if (GdipCreateHBITMAPFromBitmap(file.Bitmap(), &bitmap, kOpaqueWhite) != Ok)
        return kNullBitmap;
    return bitmap;
}

const TypeInterfaceDesc& Description() { return *QuorvexImgAddonTypeLib().Find(IID_IImageLoader); }

} // namespace

CImageLoader::CImageLoader(IUnknown* outer) : ComAggregatable(outer) {}

CImageLoader::~CImageLoader() = default;

void* CImageLoader::FindInterface(REFIID iid)
{
    if (iid == IID_IImageLoader || iid == IID_IDispatch)
        return static_cast<IImageLoader*>(this);
    return nullptr;
}

HRESULT CImageLoader::GetTypeInfoCount(uint32_t* count)
{
    if (!count)
        return E_POINTER;
    // Names and calls go through the description; there is no ITypeInfo.
    *count = 0;
    return S_OK;
}

HRESULT CImageLoader::GetTypeInfo(uint32_t, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CImageLoader::GetIDsOfNames(REFIID iid, OLECHAR** names, uint32_t count, LCID, DISPID* ids)
{
    if (!(iid == GUID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    try {
        return DispGetIDsOfNames(Description(), names, count, ids);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CImageLoader::Invoke(DISPID id, REFIID iid, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
    EXCEPINFO*, uint32_t* argError)
{
    try {
        return InvokeMethod(id, iid, flags, params, result, argError);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// A failing method's HRESULT is the call's; its result (-1 for the image
// methods) is still handed back.
HRESULT CImageLoader::InvokeMethod(DISPID id, REFIID iid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
    uint32_t* argError)
{
    if (!(iid == GUID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const TypeMethodDesc* method = Description().Find(id);
    if (!method)
        return DISP_E_MEMBERNOTFOUND;
    DispArgs args;
    HRESULT hr = DispGetArgs(*method, flags, params, &args, argError);
    if (FAILED(hr))
        return hr;
    int32_t out = 0;
    bool hasResult = true;
    const auto compression = [&](size_t i) { return static_cast<TImageCompression>(args[i].lVal); };
    switch (id) {
    case DISPID_ConnectToPDFLibrary:
        // The argument holds the IPDFDocument pointer it was asked for.
        hr = ConnectToPDFLibrary(static_cast<IPDFDocument*>(static_cast<void*>(args[0].punkVal)));
        hasResult = false;
        break;
    case DISPID_DisconnectFromPDFLibrary:
        hr = DisconnectFromPDFLibrary();
        hasResult = false;
        break;
    case DISPID_AddImageFromFileNameEx:
        hr = AddImageFromFileNameEx(args[0].bstrVal, compression(1), &out);
        break;
    case DISPID_AddTIFFImageFromFileName:
        hr = AddTIFFImageFromFileName(args[0].bstrVal, args[1].ulVal, compression(2), &out);
        break;
    case DISPID_GetImagePagesCount:
        hr = GetImagePagesCount(args[0].bstrVal, &out);
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result) {
        VariantClear(result);
        if (hasResult) {
            result->vt = VT_I4;
            result->lVal = out;
        }
    }
    return hr;
}

HRESULT CImageLoader::ConnectToPDFLibrary(IPDFDocument* PDFDocument)
{
    document_ = CComPtr<IPDFDocument>(PDFDocument);
    return S_OK;
}

HRESULT CImageLoader::DisconnectFromPDFLibrary()
{
    document_.Reset();
    return S_OK;
}

HRESULT CImageLoader::AddImageFromFileNameEx(BSTR FileName, TImageCompression ImageCompression, int32_t* Img)
{
    return AddImage(FileName, -1, ImageCompression, Img);
}

HRESULT CImageLoader::AddTIFFImageFromFileName(BSTR FileName, uint32_t PageIndex, TImageCompression ImageCompression,
    int32_t* Img)
{
    return AddImage(FileName, PageIndex, ImageCompression, Img);
}

HRESULT CImageLoader::AddImage(BSTR fileName, int64_t frame, TImageCompression compression, int32_t* img)
{
    if (!img)
        return E_POINTER;
    *img = -1;
    try {
        // Held for the call: the document may be disconnected from inside it.
        const CComPtr<IPDFDocument> document = document_;
        if (!document)
            return E_FAIL;
        ScreenBitmapHolder bitmap;
        bitmap.handle = LoadScreenBitmap(fileName, frame);
        if (bitmap.handle == kNullBitmap)
            return E_FAIL;
        int32_t index = 0;
        if (FAILED(document->AddImageFromHBitmap(bitmap.handle, compression, &index)))
            return E_FAIL;
        *img = index;
        return S_OK;
    } catch (...) {
        *img = -1;
        return E_FAIL;
    }
}

HRESULT CImageLoader::GetImagePagesCount(BSTR FileName, int32_t* PagesCount)
{
    if (!PagesCount)
        return E_POINTER;
    *PagesCount = 0;
    try {
        DrawingLayerSession session;
        if (session.Started()) {
            FileImage file(FileName);
            *PagesCount = static_cast<int32_t>(file.FrameCount(nullptr));
        }
    } catch (...) {
        *PagesCount = 0;
    }
    return S_OK;
}
