#include "imgaddon/QuorvexImgAddon.h"

namespace {

constexpr GUID LIBID_stdole2 = MakeGuid("{00020430-0000-0000-C000-000000000046}");

constexpr const char* kCompressionRemark =
    " The image is stored in the document with the given ImageCompression.";

TypeLibDesc MakeTypeLib()
{
    const TypeParamDesc fileName{"FileName", VT_BSTR};
    const TypeParamDesc compression{"ImageCompression", VT_I4, GUID_TImageCompression};
    const TypeParamDesc img{"Img", VT_I4, GUID_NULL, true};

    TypeInterfaceDesc loader;
    loader.iid = IID_IImageLoader;
    loader.name = "IImageLoader";
    loader.help = "ImageLoader object interface. This object interface is used to load and add PNG, GIF, TIFF images "
                  "into PDF document";
    loader.methods = {
        {DISPID_ConnectToPDFLibrary, "ConnectToPDFLibrary",
            "Connects to IPDFDocument (PDFDocument object) instance and initializes Quorvex Image Addon. Call this "
            "method before loading any images.",
            {{"PDFDocument", VT_DISPATCH, IID_IPDFDocument}}},
        {DISPID_DisconnectFromPDFLibrary, "DisconnectFromPDFLibrary",
            "Disconnects from IPDFDocument (PDFDocument object) instance and deinitializes image addon.", {}},
        {DISPID_AddImageFromFileNameEx, "AddImageFromFileNameEx",
            std::string("Loads image from PNG, TIFF, GIF image to PDFDocument instance.") + kCompressionRemark
                + " GIF and TIFF images give only their first frame.",
            {fileName, compression, img}},
        {DISPID_AddTIFFImageFromFileName, "AddTIFFImageFromFileName",
            std::string("Loads selected frame from TIFF or GIF image into PDFDocument instance.") + kCompressionRemark,
            {fileName, {"PageIndex", VT_UI4}, compression, img}},
        {DISPID_GetImagePagesCount, "GetImagePagesCount",
            "Returns number of available frames in TIFF or GIF images. Use AddTIFFImageFromFileName to add a chosen "
            "frame.",
            {fileName, {"PagesCount", VT_I4, GUID_NULL, true}}},
    };

    TypeLibDesc lib;
    lib.libid = LIBID_QuorvexImgAddon;
    lib.name = "QuorvexImgAddon";
    lib.majorVersion = 1;
    lib.minorVersion = 0;
    lib.imports = {LIBID_stdole2, LIBID_QuorvexPDF};
    lib.interfaces = {loader};
    return lib;
}

} // namespace

const TypeLibDesc& QuorvexImgAddonTypeLib()
{
    static const TypeLibDesc lib = MakeTypeLib();
    return lib;
}
