#pragma once
// Pictures as cairo surfaces ready for a PDF surface: opaque pictures carry
// their JPEG encoding (cairo then stores the JPEG bytes as they are),
// pictures with transparency carry none and are stored losslessly.
#include <cairo.h>

#include <map>
#include <mutex>
#include <string>

#include <QImage>

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
    // Borrowed surface, or nullptr when the file is missing or not a picture.
    cairo_surface_t* Get(const std::string& path, int jpegQuality);

private:
    std::mutex mutex_;
    std::map<std::pair<std::string, int>, cairo_surface_t*> surfaces_;
};
