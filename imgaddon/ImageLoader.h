#pragma once
// The ImageLoader class: decodes PNG, GIF and TIFF files, or one frame of
// them, into screen bitmaps and hands them to a connected PDF document.
// Apartment threaded: the calls of one object arrive on one thread, so it
// takes no locks.
#include "imgaddon/QuorvexImgAddon.h"
#include "platform/com/ComModule.h"

class CImageLoader final : public IImageLoader, public ComAggregatable<CImageLoader> {
public:
    // outer: the object that aggregates this one, or null.
    explicit CImageLoader(IUnknown* outer);
    ~CImageLoader();

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return ControllingUnknown()->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return ControllingUnknown()->AddRef(); }
    ULONG Release() override { return ControllingUnknown()->Release(); }
    void* FindInterface(REFIID iid);

    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* excepInfo, uint32_t* argError) override;

    HRESULT ConnectToPDFLibrary(IPDFDocument* PDFDocument) override;
    HRESULT DisconnectFromPDFLibrary() override;
    HRESULT AddImageFromFileNameEx(BSTR FileName, TImageCompression ImageCompression, int32_t* Img) override;
    HRESULT AddTIFFImageFromFileName(BSTR FileName, uint32_t PageIndex, TImageCompression ImageCompression,
        int32_t* Img) override;
    HRESULT GetImagePagesCount(BSTR FileName, int32_t* PagesCount) override;

private:
    HRESULT InvokeMethod(DISPID id, REFIID iid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
        uint32_t* argError);
    // frame: the frame to add, or -1 for the file's current (first) one.
    HRESULT AddImage(BSTR fileName, int64_t frame, TImageCompression compression, int32_t* img);

    CComPtr<IPDFDocument> document_;
};
