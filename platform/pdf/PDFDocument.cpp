#include "platform/pdf/PDFDocument.h"

#include <cairo-pdf.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/pdf/HtmlPageRenderer.h"
#include "platform/rtl/FileName.h"

namespace {

// Points per pixel at 96 pixels per inch.
constexpr double kPointsPerPixel = 72.0 / 96.0;

std::string Text(BSTR s) { return Utf8FromWide(static_cast<const char16_t*>(s)); }

class CPDFPage final : public IPDFPage, public RefCounted<CPDFPage> {
public:
    CPDFPage(CPDFDocument* doc, int index) : doc_(doc), index_(index) {}
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IPDFPage>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFPage});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    VELMORA_NO_LATE_BINDING

    HRESULT SetPageOption1(int32_t v) override
    {
        options_[0] = v;
        return S_OK;
    }
    HRESULT SetPageOption2(int32_t v) override
    {
        options_[1] = v;
        return S_OK;
    }
    HRESULT DrawHtml(BSTR html, int32_t x, int32_t y, int32_t w, int32_t h, int32_t fit, BSTR base) override
    {
        if (!html)
            return E_INVALIDARG;
        return doc_->DrawHtmlOnPage(index_, Text(html), x, y, w, h, fit, Text(base));
    }

private:
    CComPtr<CPDFDocument> doc_;
    int index_;
    int32_t options_[2] = {};
};

class CPDFDocumentInfo final : public IPDFDocumentInfo, public RefCounted<CPDFDocumentInfo> {
public:
    explicit CPDFDocumentInfo(CPDFDocument* doc) : doc_(doc) {}
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return QueryInterfaceImpl<IPDFDocumentInfo>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFDocumentInfo});
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
    VELMORA_NO_LATE_BINDING

    HRESULT SetAuthor(BSTR author) override
    {
        doc_->SetAuthor(Text(author));
        return S_OK;
    }
    HRESULT SetTitle(BSTR title) override
    {
        doc_->SetTitle(Text(title));
        return S_OK;
    }

private:
    CComPtr<CPDFDocument> doc_;
};

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

CPDFDocument::CPDFDocument() = default;

CPDFDocument::~CPDFDocument()
{
    DropSurface();
    for (cairo_surface_t* s : addedImages_)
        if (s)
            cairo_surface_destroy(s);
}

void CPDFDocument::DropSurface()
{
    if (cr_)
        cairo_destroy(cr_);
    if (surface_)
        cairo_surface_destroy(surface_);
    cr_ = nullptr;
    surface_ = nullptr;
}

HRESULT CPDFDocument::QueryInterface(REFIID iid, void** object)
{
    return QueryInterfaceImpl<IPDFDocument>(iid, object, {IID_IUnknown, IID_IDispatch, IID_IPDFDocument});
}

HRESULT CPDFDocument::SetOption(int n, int32_t value)
{
    std::lock_guard lock(mutex_);
    options_[static_cast<size_t>(n)] = value;
    return S_OK;
}

HRESULT CPDFDocument::BeginDocument()
{
    std::lock_guard lock(mutex_);
    DropSurface();
    images_.Clear();
    pdf_.clear();
    failed_ = false;
    lastError_.clear();
    root_.clear();
    surface_ = cairo_pdf_surface_create_for_stream(
        AppendToString, &pdf_, kPDFPageWidthPx * kPointsPerPixel, kPDFPageHeightPx * kPointsPerPixel);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        DropSurface();
        return E_OUTOFMEMORY;
    }
    cairo_pdf_surface_restrict_to_version(surface_, CAIRO_PDF_VERSION_1_5);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, kPointsPerPixel, kPointsPerPixel);
    pageCount_ = 1;
    return S_OK;
}

HRESULT CPDFDocument::AddPage()
{
    std::lock_guard lock(mutex_);
    if (!cr_)
        return E_UNEXPECTED;
    cairo_show_page(cr_);
    // The page and its pictures are in the stream now: only the pages to
    // come need pictures, which keeps one page's in memory at a time.
    images_.Clear();
    ++pageCount_;
    return S_OK;
}

HRESULT CPDFDocument::GetCurrentPage(IPDFPage** page)
{
    if (!page)
        return E_POINTER;
    *page = nullptr;
    std::lock_guard lock(mutex_);
    if (!cr_)
        return E_UNEXPECTED;
    *page = new CPDFPage(this, pageCount_ - 1);
    return S_OK;
}

HRESULT CPDFDocument::GetPageHeight(int32_t* height)
{
    if (!height)
        return E_POINTER;
    *height = kPDFPageHeightPx;
    return S_OK;
}

HRESULT CPDFDocument::GetPageWidth(int32_t* width)
{
    if (!width)
        return E_POINTER;
    *width = kPDFPageWidthPx;
    return S_OK;
}

HRESULT CPDFDocument::SetOutputFile(BSTR path)
{
    std::lock_guard lock(mutex_);
    outputFile_ = Text(path);
    return outputFile_.empty() ? E_INVALIDARG : S_OK;
}

HRESULT CPDFDocument::GetDocumentInfo(IPDFDocumentInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = new CPDFDocumentInfo(this);
    return S_OK;
}

HRESULT CPDFDocument::SetCompression(int32_t quality)
{
    if (quality < 0 || quality > 100)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    quality_ = quality;
    return S_OK;
}

HRESULT CPDFDocument::AttachFile(BSTR path, BSTR description)
{
    const std::string file = Text(path);
    std::error_code ec;
    // A folder opens like a file here but reads nothing; it must not become
    // an empty attachment reported as embedded.
    if (file.empty() || !std::filesystem::is_regular_file(file, ec))
        return STG_E_FILENOTFOUND;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return STG_E_FILENOTFOUND;
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
    // Only the end of the file may stop the reading: a read error would
    // leave a truncated copy.
    if (in.bad() || !in.eof())
        return STG_E_READFAULT;
    std::lock_guard lock(mutex_);
    attachments_.push_back(PdfAttachment{ExtractFileName(file), Text(description), std::move(bytes)});
    return S_OK;
}

HRESULT CPDFDocument::AddImageFromHBitmap(uint32_t bitmap, int32_t compression, int32_t* index)
{
    if (!index)
        return E_POINTER;
    if (compression != icAuto && compression != icJPEG && compression != icFlate)
        return E_INVALIDARG;
    // A deep copy: the caller deletes the bitmap as soon as this returns.
    const QImage image = GetScreenBitmap(bitmap).copy();
    if (image.isNull())
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    cairo_surface_t* surface = CreatePdfImageSurface(image, compression == icFlate ? -1 : quality_, compression == icJPEG);
    if (!surface)
        return E_OUTOFMEMORY;
    addedImages_.push_back(surface);
    *index = static_cast<int32_t>(addedImages_.size() - 1);
    return S_OK;
}

size_t CPDFDocument::ImageCount() const
{
    std::lock_guard lock(mutex_);
    return addedImages_.size();
}

void CPDFDocument::SetAuthor(std::string author)
{
    std::lock_guard lock(mutex_);
    author_ = std::move(author);
}

void CPDFDocument::SetTitle(std::string title)
{
    std::lock_guard lock(mutex_);
    title_ = std::move(title);
}

HRESULT CPDFDocument::DrawHtmlOnPage(int page, const std::string& html, int x, int y, int w, int h, int fit,
    const std::string& base)
{
    std::lock_guard lock(mutex_);
    if (!cr_)
        return E_UNEXPECTED;
    // A page that AddPage has closed cannot be drawn on any more.
    if (page != pageCount_ - 1)
        return E_UNEXPECTED;
    HtmlDrawBox box;
    box.x = x < 0 ? 0 : x;
    box.y = y < 0 ? 0 : y;
    box.width = w < 0 ? kPDFPageWidthPx - box.x : w;
    box.height = h < 0 ? kPDFPageHeightPx - box.y : h;
    if (box.width <= 0 || box.height <= 0)
        return E_INVALIDARG;
    // A document draws one folder of pages, the base of its first page;
    // pages drawn later from a folder inside it (the artwork pages, one
    // level down) reach the whole of it, and no page reaches beyond it.
    const std::string folder =
        NormaliseBaseFolder(std::filesystem::path(NormaliseBaseFolder(base)).lexically_normal().string());
    if (root_.empty() || folder.compare(0, root_.size(), root_) != 0)
        root_ = folder;
    const HtmlDrawResult r =
        DrawHtmlPage(cr_, html, base, root_, box, fit == kDrawHtmlShrinkToFit, quality_, images_);
    if (!r.ok) {
        lastError_ = r.error;
        if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS)
            failed_ = true;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CPDFDocument::EndDocument()
{
    std::lock_guard lock(mutex_);
    if (!cr_)
        return E_UNEXPECTED;
    cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_surface_finish(surface_);
    const cairo_status_t status = cairo_surface_status(surface_);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    images_.Clear();
    // The files belong to this document only: a next document made with the
    // same object must not carry them along.
    const std::vector<PdfAttachment> attachments = std::move(attachments_);
    attachments_.clear();
    if (status != CAIRO_STATUS_SUCCESS || failed_) {
        pdf_.clear();
        return E_FAIL;
    }
    std::string error;
    const bool written = WritePdfFile(pdf_, author_, title_, attachments, outputFile_, &error);
    pdf_.clear();
    if (!written) {
        lastError_ = error;
        return STG_E_WRITEFAULT;
    }
    return S_OK;
}
