#include "platform/pdf/PdfImage.h"

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
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
    auto* id = new std::string("velmora-img-" + std::to_string(nextId++));
    cairo_surface_set_mime_data(surface, CAIRO_MIME_TYPE_UNIQUE_ID, reinterpret_cast<const unsigned char*>(id->data()),
        id->size(), FreeBytes, id);
    return surface;
}

PdfImageCache::~PdfImageCache()
{
    for (auto& [key, entry] : surfaces_)
        if (entry.surface)
            cairo_surface_destroy(entry.surface);
}

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
        if (stored.isValid() && qint64(stored.width()) * stored.height() > kMaxDrawnPixels) {
            const double scale = std::sqrt(double(kMaxDrawnPixels) / (double(stored.width()) * stored.height()));
            reader.setScaledSize(QSize(std::max(1, int(stored.width() * scale)), std::max(1, int(stored.height() * scale))));
        }
        const QImage image = reader.read();
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
        it = surfaces_.emplace(key, entry).first;
    }
    if (naturalSize)
        *naturalSize = it->second.natural;
    return it->second.surface;
}
