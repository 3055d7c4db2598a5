#pragma once
// The PDF document component's interfaces. Their vtable layout is a contract
// with callers in other modules, including ones that call a method by its
// vtable position: positions 0 to 6 are IUnknown's and IDispatch's, the
// document's own methods follow in declaration order. Each method is
// preceded by VELMORA_PDF_SLOT, which numbers it, so the positions that
// outside callers rely on are checked when this header compiles.
#include <cstdint>

#include "platform/com/Unknown.h"

inline constexpr GUID LIBID_QuorvexPDF = MakeGuid("{4B2870B8-E0C6-4FB2-9499-2BBA8CE1A4EF}");
inline constexpr GUID IID_IPDFDocument = MakeGuid("{6B34E5B0-773C-48B9-AB80-EEB90174AE83}");
inline constexpr GUID IID_IPDFPage = MakeGuid("{2C5E41B7-3F08-4D6A-9E21-7B4C0D8A5F13}");
inline constexpr GUID IID_IPDFDocumentInfo = MakeGuid("{9A1D6E44-5B27-4C80-8F3E-61D2B7A90C45}");
inline constexpr GUID CLSID_PDFDocument = MakeGuid("{D3F2A871-6C4B-4E19-A5D0-3B8E7C2F9146}");
// The image-compression enumeration's type.
inline constexpr GUID GUID_TImageCompression = MakeGuid("{3E6018AE-6016-4F49-8370-9FDE4ECBD24C}");

inline constexpr const char* kPDFDocumentProgID = "Quorvex.PDFDocument";
inline constexpr const char* kPDFDocumentProgIDVersioned = "Quorvex.PDFDocument.1";

// How an added image is stored in the file.
enum TImageCompression : int32_t {
    // JPEG at the document's quality when the image is opaque, else lossless.
    icAuto = 0,
    // JPEG at the document's quality; transparency is flattened onto white.
    icJPEG = 1,
    // Lossless (deflate), keeping transparency.
    icFlate = 2,
};

// The page size: A4 at 96 pixels per inch, in pixels.
inline constexpr int32_t kPDFPageWidthPx = 794;
inline constexpr int32_t kPDFPageHeightPx = 1123;

// The last argument of DrawHtml.
enum : int32_t {
    // Draw at natural size, clipped to the box.
    kDrawHtmlClip = 0,
    // Shrink a layout larger than the box until it fits.
    kDrawHtmlShrinkToFit = 1,
};

#define VELMORA_PDF_SLOT(name) static constexpr int kSlot##name = 7 + (__COUNTER__ - kCounterBase - 1)

struct IPDFDocumentInfo : IDispatch {
    static constexpr int kCounterBase = __COUNTER__;
    VELMORA_PDF_SLOT(SetAuthor);
    virtual HRESULT SetAuthor(BSTR author) = 0;
    VELMORA_PDF_SLOT(SetTitle);
    virtual HRESULT SetTitle(BSTR title) = 0;

protected:
    ~IPDFDocumentInfo() = default;
};

struct IPDFPage : IDispatch {
    static constexpr int kCounterBase = __COUNTER__;
    VELMORA_PDF_SLOT(SetPageOption1);
    virtual HRESULT SetPageOption1(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetPageOption2);
    virtual HRESULT SetPageOption2(int32_t value) = 0;
    // Lays out one HTML page and draws it into the box (x, y, width, height
    // in pixels; -1 for each gives the whole page). Relative links, images
    // and style sheets resolve against baseFolder. Files are read only from
    // inside the folder of the document's first page (baseFolder then, or
    // this one when it lies outside that).
    VELMORA_PDF_SLOT(DrawHtml);
    virtual HRESULT DrawHtml(BSTR html, int32_t x, int32_t y, int32_t width, int32_t height, int32_t fit,
        BSTR baseFolder) = 0;

protected:
    ~IPDFPage() = default;
};

struct IPDFDocument : IDispatch {
    static constexpr int kCounterBase = __COUNTER__;
    VELMORA_PDF_SLOT(BeginDocument);
    virtual HRESULT BeginDocument() = 0;
    // Writes the file set with SetOutputFile; a negative result when it
    // could not be written (an older file of that name is then untouched).
    VELMORA_PDF_SLOT(EndDocument);
    virtual HRESULT EndDocument() = 0;
    VELMORA_PDF_SLOT(GetCurrentPage);
    virtual HRESULT GetCurrentPage(IPDFPage** page) = 0;
    VELMORA_PDF_SLOT(GetPageHeight);
    virtual HRESULT GetPageHeight(int32_t* height) = 0;
    VELMORA_PDF_SLOT(GetPageWidth);
    virtual HRESULT GetPageWidth(int32_t* width) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption1);
    virtual HRESULT SetDocumentOption1(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetOutputFile);
    virtual HRESULT SetOutputFile(BSTR path) = 0;
    VELMORA_PDF_SLOT(GetDocumentInfo);
    virtual HRESULT GetDocumentInfo(IPDFDocumentInfo** info) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption2);
    virtual HRESULT SetDocumentOption2(int32_t value) = 0;
    // JPEG quality of opaque images, 0 (smallest) to 100 (best).
    VELMORA_PDF_SLOT(SetCompression);
    virtual HRESULT SetCompression(int32_t quality) = 0;
    VELMORA_PDF_SLOT(AddPage);
    virtual HRESULT AddPage() = 0;
    VELMORA_PDF_SLOT(SetDocumentOption3);
    virtual HRESULT SetDocumentOption3(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption4);
    virtual HRESULT SetDocumentOption4(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption5);
    virtual HRESULT SetDocumentOption5(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption6);
    virtual HRESULT SetDocumentOption6(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption7);
    virtual HRESULT SetDocumentOption7(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption8);
    virtual HRESULT SetDocumentOption8(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption9);
    virtual HRESULT SetDocumentOption9(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption10);
    virtual HRESULT SetDocumentOption10(int32_t value) = 0;
    VELMORA_PDF_SLOT(SetDocumentOption11);
    virtual HRESULT SetDocumentOption11(int32_t value) = 0;
    // Embeds the file's bytes as they are now, with a description.
    VELMORA_PDF_SLOT(AttachFile);
    virtual HRESULT AttachFile(BSTR path, BSTR description) = 0;
    // Positions kept free so that the bitmap method below stays where callers
    // expect it; they answer E_NOTIMPL.
    VELMORA_PDF_SLOT(Reserved28);
    virtual HRESULT Reserved28() = 0;
    VELMORA_PDF_SLOT(Reserved29);
    virtual HRESULT Reserved29() = 0;
    VELMORA_PDF_SLOT(Reserved30);
    virtual HRESULT Reserved30() = 0;
    VELMORA_PDF_SLOT(Reserved31);
    virtual HRESULT Reserved31() = 0;
    VELMORA_PDF_SLOT(Reserved32);
    virtual HRESULT Reserved32() = 0;
    VELMORA_PDF_SLOT(Reserved33);
    virtual HRESULT Reserved33() = 0;
    VELMORA_PDF_SLOT(Reserved34);
    virtual HRESULT Reserved34() = 0;
    VELMORA_PDF_SLOT(Reserved35);
    virtual HRESULT Reserved35() = 0;
    VELMORA_PDF_SLOT(Reserved36);
    virtual HRESULT Reserved36() = 0;
    VELMORA_PDF_SLOT(Reserved37);
    virtual HRESULT Reserved37() = 0;
    VELMORA_PDF_SLOT(Reserved38);
    virtual HRESULT Reserved38() = 0;
    VELMORA_PDF_SLOT(Reserved39);
    virtual HRESULT Reserved39() = 0;
    VELMORA_PDF_SLOT(Reserved40);
    virtual HRESULT Reserved40() = 0;
    VELMORA_PDF_SLOT(Reserved41);
    virtual HRESULT Reserved41() = 0;
    VELMORA_PDF_SLOT(Reserved42);
    virtual HRESULT Reserved42() = 0;
    VELMORA_PDF_SLOT(Reserved43);
    virtual HRESULT Reserved43() = 0;
    VELMORA_PDF_SLOT(Reserved44);
    virtual HRESULT Reserved44() = 0;
    VELMORA_PDF_SLOT(Reserved45);
    virtual HRESULT Reserved45() = 0;
    VELMORA_PDF_SLOT(Reserved46);
    virtual HRESULT Reserved46() = 0;
    VELMORA_PDF_SLOT(Reserved47);
    virtual HRESULT Reserved47() = 0;
    VELMORA_PDF_SLOT(Reserved48);
    virtual HRESULT Reserved48() = 0;
    VELMORA_PDF_SLOT(Reserved49);
    virtual HRESULT Reserved49() = 0;
    VELMORA_PDF_SLOT(Reserved50);
    virtual HRESULT Reserved50() = 0;
    VELMORA_PDF_SLOT(Reserved51);
    virtual HRESULT Reserved51() = 0;
    VELMORA_PDF_SLOT(Reserved52);
    virtual HRESULT Reserved52() = 0;
    VELMORA_PDF_SLOT(Reserved53);
    virtual HRESULT Reserved53() = 0;
    VELMORA_PDF_SLOT(Reserved54);
    virtual HRESULT Reserved54() = 0;
    VELMORA_PDF_SLOT(Reserved55);
    virtual HRESULT Reserved55() = 0;
    VELMORA_PDF_SLOT(Reserved56);
    virtual HRESULT Reserved56() = 0;
    VELMORA_PDF_SLOT(Reserved57);
    virtual HRESULT Reserved57() = 0;
    VELMORA_PDF_SLOT(Reserved58);
    virtual HRESULT Reserved58() = 0;
    VELMORA_PDF_SLOT(Reserved59);
    virtual HRESULT Reserved59() = 0;
    VELMORA_PDF_SLOT(Reserved60);
    virtual HRESULT Reserved60() = 0;
    VELMORA_PDF_SLOT(Reserved61);
    virtual HRESULT Reserved61() = 0;
    VELMORA_PDF_SLOT(Reserved62);
    virtual HRESULT Reserved62() = 0;
    VELMORA_PDF_SLOT(Reserved63);
    virtual HRESULT Reserved63() = 0;
    VELMORA_PDF_SLOT(Reserved64);
    virtual HRESULT Reserved64() = 0;
    VELMORA_PDF_SLOT(Reserved65);
    virtual HRESULT Reserved65() = 0;
    VELMORA_PDF_SLOT(Reserved66);
    virtual HRESULT Reserved66() = 0;
    // Adds a copy of a screen bitmap's pixels (a handle of the process-wide
    // bitmap table), stored as the TImageCompression value says; *index
    // receives the new image's index.
    VELMORA_PDF_SLOT(AddImageFromHBitmap);
    virtual HRESULT AddImageFromHBitmap(uint32_t bitmap, int32_t compression, int32_t* index) = 0;

protected:
    ~IPDFDocument() = default;
};

static_assert(IPDFDocument::kSlotBeginDocument == 7);
static_assert(IPDFDocument::kSlotAttachFile == 27);
static_assert(IPDFDocument::kSlotAddImageFromHBitmap == 67, "the image add-on calls vtable position 67");
static_assert(IPDFPage::kSlotDrawHtml == 9);
static_assert(IPDFDocumentInfo::kSlotSetTitle == 8);

#undef VELMORA_PDF_SLOT
