#include "FreeImage/FreeBitmap.h"

#include <QImage>

#include <cstddef>
#include <memory>

namespace {

// The filter the library uses wherever ShrinkSmooth does not apply.
constexpr FREE_IMAGE_FILTER kShrinkFilter = FILTER_BICUBIC;

// The 32-bit copy the scaler reads is made in memory the thread keeps for
// its next picture, up to this size (a camera picture decoded at half
// scale): fresh memory costs a page fault per page, more than the copy.
constexpr size_t kKeptCopyBytes = size_t{16} << 20;

// Room for `bytes` bytes of the copy, left as it was (the copy fills it
// whole): the thread's kept memory, or `own`.
uchar* CopyRoom(size_t bytes, std::unique_ptr<uchar[]>& own)
{
    thread_local std::unique_ptr<uchar[]> kept;
    thread_local size_t keptSize = 0;
    if (bytes > kKeptCopyBytes) {
        own.reset(new uchar[bytes]);
        return own.get();
    }
    if (keptSize < bytes) {
        kept.reset(new uchar[bytes]);
        keptSize = bytes;
    }
    return kept.get();
}

} // namespace

bool TFreeBitmap::ShrinkSmooth(int newWidth, int newHeight)
{
    if (!dib_)
        return false;
    const int w = int(FreeImage_GetWidth(dib_));
    const int h = int(FreeImage_GetHeight(dib_));
    if (FreeImage_GetImageType(dib_) != FIT_BITMAP || FreeImage_GetBPP(dib_) != 24 || newWidth < 1 ||
        newHeight < 1 || newWidth > w || newHeight > h)
        return Rescale(newWidth, newHeight, kShrinkFilter);
    // Each result pixel averages the source area it covers, weighted by how
    // much of each source pixel falls in it (Qt's smooth scaling, as its
    // image reader shrinks a picture): a good shrink, several times faster
    // than the library's bicubic filter on a camera's picture. The scaler
    // takes 32-bit rows top down; the conversion turns the bitmap's
    // bottom-up rows over on the way.
    std::unique_ptr<uchar[]> own;
    QImage top(CopyRoom(size_t(w) * size_t(h) * 4, own), w, h, qsizetype(w) * 4, QImage::Format_RGB32);
    if (top.isNull())
        return false;
    for (int y = 0; y < h; ++y) {
        const BYTE* in = FreeImage_GetScanLine(dib_, h - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(top.scanLine(y));
        for (int x = 0; x < w; ++x, in += 3)
            out[x] = qRgb(in[FI_RGBA_RED], in[FI_RGBA_GREEN], in[FI_RGBA_BLUE]);
    }
    const QImage small = top.scaled(newWidth, newHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    top = QImage();
    if (small.size() != QSize(newWidth, newHeight))
        return false;
    FIBITMAP* result =
        FreeImage_Allocate(newWidth, newHeight, 24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    if (!result)
        return false;
    for (int y = 0; y < newHeight; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(small.constScanLine(y));
        BYTE* out = FreeImage_GetScanLine(result, newHeight - 1 - y);
        for (int x = 0; x < newWidth; ++x, out += 3) {
            out[FI_RGBA_RED] = BYTE(qRed(in[x]));
            out[FI_RGBA_GREEN] = BYTE(qGreen(in[x]));
            out[FI_RGBA_BLUE] = BYTE(qBlue(in[x]));
        }
    }
    // What the library's rescaling keeps of the picture, this keeps too.
    FreeImage_CloneMetadata(result, dib_);
    return Replace(result);
}
