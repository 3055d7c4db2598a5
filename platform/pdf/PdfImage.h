#pragma once
// Pictures as cairo surfaces ready for a PDF surface: opaque pictures carry
// their JPEG encoding (cairo then stores the JPEG bytes as they are),
// pictures with transparency carry none and are stored losslessly.
#include <cairo.h>

#include <map>
#include <mutex>
#include <string>

#include <QImage>
#include <QSize>

// JPEG bytes of an image at quality 0..100 (alpha is dropped); empty on
// failure.
std::string EncodeJpeg(const QImage& image, int quality);

// A new surface for the image (nullptr for a null image). jpegQuality < 0
// stores the image losslessly; otherwise opaque images get JPEG data at that
// quality and images with transparency stay lossless unless forceJpeg, which
// flattens them onto white first.
cairo_surface_t* CreatePdfImageSurface(const QImage& image, int jpegQuality, bool forceJpeg = false);

// Pictures loaded from files for one document, by path and quality.
class PdfImageCache {
public:
    PdfImageCache() = default;
    PdfImageCache(const PdfImageCache&) = delete;
    PdfImageCache& operator=(const PdfImageCache&) = delete;
    ~PdfImageCache();
    // Borrowed surface, or nullptr when the file is missing, not a picture,
    // not a regular file or larger than kMaxFileBytes.
    // A picture of more than kMaxDrawnPixels is decoded that much smaller
    // (no page shows more, and Qt's reader would refuse the largest ones);
    // *naturalSize, when given, receives its size in the file all the same,
    // which is what the page lays out.
    cairo_surface_t* Get(const std::string& path, int jpegQuality, QSize* naturalSize = nullptr);

    static constexpr qint64 kMaxDrawnPixels = 16'000'000;
    static constexpr int64_t kMaxFileBytes = int64_t{1} << 30;

private:
    struct Entry {
        cairo_surface_t* surface = nullptr;
        QSize natural;
    };
    std::mutex mutex_;
    std::map<std::pair<std::string, int>, Entry> surfaces_;
};
