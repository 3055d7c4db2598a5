#include "platform/pdf/PdfImage.h"

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>

#include "platform/rtl/RegularFile.h"

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void FreeBytes(void* data) { delete static_cast<std::string*>(data); }

void SetUniqueId(cairo_surface_t* surface, const std::string& text)
{
    auto* id = new std::string(text);
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_UNIQUE_ID,
            reinterpret_cast<const unsigned char*>(id->data()), id->size(), FreeBytes, id)
        != CAIRO_STATUS_SUCCESS)
        delete id;
}

std::atomic<int> liveSurfaces{0};
const cairo_user_data_key_t kLiveKey{};

void SurfaceGone(void*) { --liveSurfaces; }

// What tells a picture file apart within one document, whichever surface
// holds it at the time: taken from the file open as fd, which is what was
// read, not from whatever the path names by now.
std::string FileIdentity(int fd, const std::string& path, int jpegQuality)
{
    std::string id = "velmora-file-" + std::to_string(jpegQuality) + "-";
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0)
        id += std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":"
            + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "-";
    return id + path;
}

bool HasTransparency(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if ((line[x] >> 24) != 0xFF)
                return true;
    }
    return false;
}

cairo_surface_t* SurfaceFromImage(const QImage& source, cairo_format_t format)
{
    const QImage image = source.convertToFormat(
        format == CAIRO_FORMAT_ARGB32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    cairo_surface_t* surface = cairo_image_surface_create(format, image.width(), image.height());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(data + size_t(y) * stride, image.constScanLine(y), size_t(image.width()) * 4);
    cairo_surface_mark_dirty(surface);
    return surface;
}

void IgnoreMessage(j_common_ptr) {}

// Whether every quantisation table of the JPEG is at least as coarse as the
// ones libjpeg makes at quality: encoding it again at that quality would
// lose more and save nothing.
bool NoFinerThanQuality(const jpeg_decompress_struct& file, int quality)
{
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    bool coarse = true;
    for (int c = 0; c < file.num_components && coarse; ++c) {
        const int number = file.comp_info[c].quant_tbl_no;
        const JQUANT_TBL* own = number >= 0 && number < NUM_QUANT_TBLS ? file.quant_tbl_ptrs[number] : nullptr;
        const JQUANT_TBL* made = info.quant_tbl_ptrs[c == 0 ? 0 : 1];
        if (!own || !made)
            coarse = false;
        for (int k = 0; k < DCTSIZE2 && coarse; ++k)
            coarse = own->quantval[k] >= made->quantval[k];
    }
    jpeg_destroy_compress(&info);
    return coarse;
}

// A surface holding the JPEG's own bytes as its JPEG data; nullptr unless
// the JPEG is a baseline 8-bit YCbCr or grey one (what the pages are written
// as, and what every viewer shows alike), decodes without a fault, and is no
// finer than quality. The PDF draws the JPEG data into the place the surface
// is painted at, whatever the surface's own size, and uses its pixels only
// for drawing it cannot express itself: they are the picture decoded at an
// eighth of its size each way. A full-size copy would cost a decode and,
// when cairo lets go of its snapshot of the surface, a copy of every pixel.
cairo_surface_t* SurfaceKeepingJpeg(std::string* bytes, int quality)
{
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnJpegError;
    error.mgr.output_message = IgnoreMessage;
    cairo_surface_t* volatile surface = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        if (surface)
            cairo_surface_destroy(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size());
    const bool plain = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && info.data_precision == 8 && !info.arith_code
        && !info.progressive_mode
        && ((info.num_components == 3 && info.jpeg_color_space == JCS_YCbCr)
            || (info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE));
    if (!plain || !NoFinerThanQuality(info, quality)) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    info.out_color_space = JCS_EXT_BGRX;
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    surface = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        std::longjmp(error.jump, 1);
    cairo_surface_flush(surface);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + size_t(info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    // A warning means data missing or damaged, which a viewer may show
    // otherwise than these pixels.
    if (info.err->num_warnings > 0)
        std::longjmp(error.jump, 1);
    jpeg_destroy_decompress(&info);
    cairo_surface_mark_dirty(surface);
    auto* data = new std::string(std::move(*bytes));
    if (cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(data->data()),
            data->size(), FreeBytes, data)
        != CAIRO_STATUS_SUCCESS) {
        delete data;
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

// The bytes of a file already opened as a regular file of the given size,
// when it has at most limit bytes; the reader reading it keeps its place.
bool ReadWholeFile(QFile& file, qint64 size, qint64 limit, std::string* bytes)
{
    if (!file.isOpen() || size > limit)
        return false;
    const qint64 place = file.pos();
    bytes->resize(static_cast<size_t>(size));
    const bool whole = file.seek(0) && file.read(bytes->data(), size) == size;
    file.seek(place);
    return whole;
}

} // namespace

std::string EncodeJpeg(const QImage& source, int quality)
{
    if (source.isNull())
        return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnJpegError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

cairo_surface_t* CreatePdfImageSurface(const QImage& source, int jpegQuality, bool forceJpeg)
{
    if (source.isNull())
        return nullptr;
    QImage image = source;
    const bool transparent = HasTransparency(image);
    if (jpegQuality < 0 || (transparent && !forceJpeg))
        return SurfaceFromImage(image, transparent ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24);
    if (transparent) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto* src = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
            auto* dst = reinterpret_cast<uint32_t*>(flat.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const uint32_t a = src[x] >> 24;
                auto mix = [&](int shift) {
                    const uint32_t c = (src[x] >> shift) & 0xFF;
                    return ((c * a + 255 * (255 - a)) / 255) << shift;
                };
                dst[x] = 0xFF000000u | mix(16) | mix(8) | mix(0);
            }
        }
        image = flat;
    }
    // The pixels the viewer sees are the decoded JPEG, so keep the surface's
    // own pixels equal to them for any fallback rendering.
    auto* jpeg = new std::string(EncodeJpeg(image, jpegQuality));
    if (jpeg->empty()) {
        delete jpeg;
        return SurfaceFromImage(image, CAIRO_FORMAT_RGB24);
    }
    QImage decoded;
    decoded.loadFromData(reinterpret_cast<const uchar*>(jpeg->data()), static_cast<int>(jpeg->size()), "JPEG");
    cairo_surface_t* surface = SurfaceFromImage(decoded.isNull() ? image : decoded, CAIRO_FORMAT_RGB24);
    if (!surface) {
        delete jpeg;
        return nullptr;
    }
    cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(jpeg->data()),
        jpeg->size(), FreeBytes, jpeg);
    // Lets cairo store a picture drawn on several pages only once.
    static std::atomic<unsigned long> nextId{1};
    SetUniqueId(surface, "velmora-img-" + std::to_string(nextId++));
    return surface;
}

PdfImageCache::~PdfImageCache() { Clear(); }

void PdfImageCache::Clear()
{
    std::lock_guard lock(mutex_);
    for (auto& [key, entry] : surfaces_)
        if (entry.surface)
            cairo_surface_destroy(entry.surface);
    surfaces_.clear();
}

QSize PdfImageCache::DrawnSize(QSize stored)
{
    if (stored.isEmpty())
        return stored;
    const double w = stored.width(), h = stored.height();
    double scale = 1.0;
    if (w * h > double(kMaxDrawnPixels))
        scale = std::sqrt(double(kMaxDrawnPixels) / (w * h));
    scale = std::min({scale, kMaxDrawnSide / w, kMaxDrawnSide / h});
    if (scale >= 1.0)
        return stored;
    return QSize(std::clamp(int(w * scale), 1, kMaxDrawnSide), std::clamp(int(h * scale), 1, kMaxDrawnSide));
}

int PdfImageCache::LiveSurfaces() { return liveSurfaces.load(); }

cairo_surface_t* PdfImageCache::Get(const std::string& path, int jpegQuality, QSize* naturalSize)
{
    std::lock_guard lock(mutex_);
    const auto key = std::make_pair(path, jpegQuality);
    auto it = surfaces_.find(key);
    if (it == surfaces_.end()) {
        // Pages name their pictures, and a page may come from a received
        // template: only a regular file of bounded size is read, without
        // waiting on a FIFO.
        QFile file;
        int64_t fileSize = 0;
        if (const int fd = OpenRegularFile(path, kMaxFileBytes, fileSize); fd >= 0)
            if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
                ::close(fd);
        QImageReader reader(&file);
        reader.setAutoTransform(true);
        Entry entry;
        const QSize stored = reader.size();
        if (stored.isValid() && DrawnSize(stored) != stored)
            reader.setScaledSize(DrawnSize(stored));
        // A JPEG that needs no change goes into the document as it is, which
        // saves decoding it twice and encoding it again.
        std::string bytes;
        if (jpegQuality >= 0 && reader.format() == "jpeg" && stored.isValid() && DrawnSize(stored) == stored
            && reader.transformation() == QImageIOHandler::TransformationNone
            && ReadWholeFile(file, fileSize, kMaxKeptJpegBytes, &bytes)) {
            entry.surface = SurfaceKeepingJpeg(&bytes, std::clamp(jpegQuality, 1, 100));
            if (entry.surface)
                entry.natural = stored;
        }
        if (!entry.surface) {
            QImage image = reader.read();
            // A reader that could not tell the size beforehand.
            if (!image.isNull() && DrawnSize(image.size()) != image.size())
                image = image.scaled(DrawnSize(image.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (!image.isNull()) {
                entry.surface = CreatePdfImageSurface(image, jpegQuality);
                // A picture turned by its orientation tag lays out turned.
                if (!stored.isValid())
                    entry.natural = image.size();
                else if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
                    entry.natural = stored.transposed();
                else
                    entry.natural = stored;
            }
        }
        if (entry.surface) {
            ++liveSurfaces;
            cairo_surface_set_user_data(entry.surface, &kLiveKey, &liveSurfaces, SurfaceGone);
            SetUniqueId(entry.surface, FileIdentity(file.handle(), path, jpegQuality));
        }
        it = surfaces_.emplace(key, entry).first;
    }
    if (naturalSize)
        *naturalSize = it->second.natural;
    return it->second.surface;
}
