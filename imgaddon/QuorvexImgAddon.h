#pragma once
// The image add-on's identifiers and its automation interface. The vtable
// order of IImageLoader is a contract with callers that bind early.
#include <cstdint>

#include "platform/com/TypeLib.h"
#include "platform/pdf/PDFInterfaces.h"

inline constexpr GUID LIBID_QuorvexImgAddon = MakeGuid("{148F5BFE-DEAE-48CA-9C1B-6576384A3A2B}");
inline constexpr IID IID_IImageLoader = MakeGuid("{53EF529B-4CB9-4022-B505-1BA04760BF46}");
inline constexpr CLSID CLSID_ImageLoader = MakeGuid("{F01E1362-5B4D-4CC1-B22E-AE6C76D5F6DB}");

enum : DISPID {
    DISPID_ConnectToPDFLibrary = 1,
    DISPID_DisconnectFromPDFLibrary = 2,
    DISPID_AddImageFromFileNameEx = 3,
    DISPID_AddTIFFImageFromFileName = 4,
    DISPID_GetImagePagesCount = 5,
};

struct IImageLoader : IDispatch {
    // Holds the document until it is disconnected, replaced or the loader
    // goes; null disconnects.
    virtual HRESULT ConnectToPDFLibrary(IPDFDocument* PDFDocument) = 0;
    virtual HRESULT DisconnectFromPDFLibrary() = 0;
    // Adds the file's (first) image to the document; *Img receives its index,
    // or -1 with E_FAIL.
    virtual HRESULT AddImageFromFileNameEx(BSTR FileName, TImageCompression ImageCompression, int32_t* Img) = 0;
    // Adds one frame, counted along the file's first frame dimension (the
    // pages of a TIFF, the frames of a GIF).
    virtual HRESULT AddTIFFImageFromFileName(BSTR FileName, uint32_t PageIndex, TImageCompression ImageCompression,
        int32_t* Img) = 0;
    // Frames along the file's first frame dimension; 0 for a file that
    // cannot be read. Always S_OK.
    virtual HRESULT GetImagePagesCount(BSTR FileName, int32_t* PagesCount) = 0;

protected:
    ~IImageLoader() = default;
};

// The type library "QuorvexImgAddon" 1.0.
const TypeLibDesc& QuorvexImgAddonTypeLib();
