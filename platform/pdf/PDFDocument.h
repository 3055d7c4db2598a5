#pragma once
// The document component behind "Quorvex.PDFDocument". Pages are written in
// order: drawing goes to the current (last) page, AddPage closes it and
// starts the next. The document is kept in memory until EndDocument writes
// the file; pictures only while their page is being drawn.
#include <cairo.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComModule.h"
#include "platform/pdf/PDFInterfaces.h"
#include "platform/pdf/PdfFileWriter.h"
#include "platform/pdf/PdfImage.h"

// IDispatch methods for classes used early-bound only: no type information,
// no late-bound calls.
#define VELMORA_NO_LATE_BINDING                                                                                    \
    HRESULT GetTypeInfoCount(uint32_t* count) override                                                            \
    {                                                                                                              \
        if (!count)                                                                                                \
            return E_POINTER;                                                                                      \
        *count = 0;                                                                                                \
        return S_OK;                                                                                               \
    }                                                                                                              \
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }                                \
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, uint32_t, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }      \
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override           \
    {                                                                                                              \
        return DISP_E_MEMBERNOTFOUND;                                                                              \
    }

class CPDFDocument final : public IPDFDocument, public RefCounted<CPDFDocument> {
public:
    CPDFDocument();
    ~CPDFDocument();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    VELMORA_NO_LATE_BINDING

    HRESULT BeginDocument() override;
    HRESULT EndDocument() override;
    HRESULT GetCurrentPage(IPDFPage** page) override;
    HRESULT GetPageHeight(int32_t* height) override;
    HRESULT GetPageWidth(int32_t* width) override;
    HRESULT SetDocumentOption1(int32_t v) override { return SetOption(1, v); }
    HRESULT SetOutputFile(BSTR path) override;
    HRESULT GetDocumentInfo(IPDFDocumentInfo** info) override;
    HRESULT SetDocumentOption2(int32_t v) override { return SetOption(2, v); }
    HRESULT SetCompression(int32_t quality) override;
    HRESULT AddPage() override;
    HRESULT SetDocumentOption3(int32_t v) override { return SetOption(3, v); }
    HRESULT SetDocumentOption4(int32_t v) override { return SetOption(4, v); }
    HRESULT SetDocumentOption5(int32_t v) override { return SetOption(5, v); }
    HRESULT SetDocumentOption6(int32_t v) override { return SetOption(6, v); }
    HRESULT SetDocumentOption7(int32_t v) override { return SetOption(7, v); }
    HRESULT SetDocumentOption8(int32_t v) override { return SetOption(8, v); }
    HRESULT SetDocumentOption9(int32_t v) override { return SetOption(9, v); }
    HRESULT SetDocumentOption10(int32_t v) override { return SetOption(10, v); }
    HRESULT SetDocumentOption11(int32_t v) override { return SetOption(11, v); }
    HRESULT AttachFile(BSTR path, BSTR description) override;
#define VELMORA_RESERVED(n) \
    HRESULT Reserved##n() override { return E_NOTIMPL; }
    VELMORA_RESERVED(28) VELMORA_RESERVED(29) VELMORA_RESERVED(30) VELMORA_RESERVED(31) VELMORA_RESERVED(32)
    VELMORA_RESERVED(33) VELMORA_RESERVED(34) VELMORA_RESERVED(35) VELMORA_RESERVED(36) VELMORA_RESERVED(37)
    VELMORA_RESERVED(38) VELMORA_RESERVED(39) VELMORA_RESERVED(40) VELMORA_RESERVED(41) VELMORA_RESERVED(42)
    VELMORA_RESERVED(43) VELMORA_RESERVED(44) VELMORA_RESERVED(45) VELMORA_RESERVED(46) VELMORA_RESERVED(47)
    VELMORA_RESERVED(48) VELMORA_RESERVED(49) VELMORA_RESERVED(50) VELMORA_RESERVED(51) VELMORA_RESERVED(52)
    VELMORA_RESERVED(53) VELMORA_RESERVED(54) VELMORA_RESERVED(55) VELMORA_RESERVED(56) VELMORA_RESERVED(57)
    VELMORA_RESERVED(58) VELMORA_RESERVED(59) VELMORA_RESERVED(60) VELMORA_RESERVED(61) VELMORA_RESERVED(62)
    VELMORA_RESERVED(63) VELMORA_RESERVED(64) VELMORA_RESERVED(65) VELMORA_RESERVED(66)
#undef VELMORA_RESERVED
    HRESULT AddImageFromHBitmap(uint32_t bitmap, int32_t compression, int32_t* index) override;

    // Used by the page and information objects.
    HRESULT DrawHtmlOnPage(int page, const std::string& html, int x, int y, int w, int h, int fit,
        const std::string& base);
    void SetAuthor(std::string author);
    void SetTitle(std::string title);

    // Images added through AddImageFromHBitmap.
    size_t ImageCount() const;

private:
    HRESULT SetOption(int n, int32_t value);
    void DropSurface();

    mutable std::mutex mutex_;
    std::array<int32_t, 12> options_{};
    std::string outputFile_;
    std::string author_, title_;
    int quality_ = 80;
    std::vector<PdfAttachment> attachments_;
    std::vector<cairo_surface_t*> addedImages_;
    PdfImageCache images_;
    // The document being written: cairo streams it into pdf_.
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::string pdf_;
    int pageCount_ = 0;
    // The folder the pages of this document may read files from.
    std::string root_;
    bool failed_ = false;
    std::string lastError_;
};
