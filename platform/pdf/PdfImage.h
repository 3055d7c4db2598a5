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

// Pictures loaded from files for the page being drawn, by path and quality.
// A picture drawn on several pages of one document is stored in it once all
// the same: its surface carries an identity made from its file.
class PdfImageCache {
public:
    PdfImageCache() = default;
    PdfImageCache(const PdfImageCache&) = delete;
    PdfImageCache& operator=(const PdfImageCache&) = delete;
    ~PdfImageCache();
    // Borrowed surface, or nullptr when the file is missing, not a picture,
    // not a regular file or larger than kMaxFileBytes.
    // A JPEG already as coarse as jpegQuality asks, with no orientation to
    // apply, is stored with its own bytes (and its surface is smaller than
    // the picture: paint it scaled to the place it fills); others are
    // encoded at jpegQuality.
    // A picture larger than DrawnSize allows is decoded that much smaller;
    // *naturalSize, when given, receives its size in the file all the same,
    // which is what the page lays out.
    cairo_surface_t* Get(const std::string& path, int jpegQuality, QSize* naturalSize = nullptr);
    // Lets go of every picture; the next Get decodes afresh. A page once
    // shown no longer needs them, and holding every page's pictures until
    // the document ends would hold them all at once.
    void Clear();

    // The size a picture of the given size is drawn from: the same, or
    // smaller in the same proportions when it has more than kMaxDrawnPixels
    // (no page shows more, and Qt's reader would refuse the largest ones) or
    // a side longer than kMaxDrawnSide (cairo makes no larger image).
    static QSize DrawnSize(QSize stored);
    // Surfaces the caches have made that are not yet destroyed, by cairo
    // as well as by the caches.
    static int LiveSurfaces();

    static constexpr qint64 kMaxDrawnPixels = 16'000'000;
    static constexpr int kMaxDrawnSide = 32767;
    // A JPEG file larger than this is encoded again rather than read whole.
    static constexpr qint64 kMaxKeptJpegBytes = 256LL << 20;
    static constexpr int64_t kMaxFileBytes = int64_t{1} << 30;

private:
    struct Entry {
        cairo_surface_t* surface = nullptr;
        QSize natural;
    };
    std::mutex mutex_;
    std::map<std::pair<std::string, int>, Entry> surfaces_;
};
