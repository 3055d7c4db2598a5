#include "controls/TImageLoaderThread.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cmath>

#include "controls/GDIPPicture.h"
#include "controls/GPGraphics.h"

bool GetFileImageSize(const std::string& fileName, uint16_t& width, uint16_t& height)
{
    using Reader = void (*)(const std::string&, uint32_t&, uint32_t&);
    static const struct {
        const char* extension;
        Reader read;
    } readers[] = {{"JPG", GetJPGSize},   {"JPEG", GetJPGSize}, {"PNG", GetPNGSize}, {"BMP", GetBMPSize},
                   {"TIFF", GetTifSize}, {"GIF", GetGIFSize},   {"ICO", GetICOSize}};

    width = 0;
    height = 0;
    const QString extension = QFileInfo(QString::fromStdString(fileName)).suffix().toUpper();
    for (const auto& reader : readers) {
        if (extension != QLatin1String(reader.extension))
            continue;
        uint32_t w = 0, h = 0;
        reader.read(fileName, w, h);
        width = static_cast<uint16_t>(w);
        height = static_cast<uint16_t>(h);
        return true;
    }
    return false;
}

TThumbnailResult MakeFileThumbnail(const TThumbnailJob& job)
{
    TThumbnailResult result;
    uint16_t w0 = 0, h0 = 0;
    GetFileImageSize(job.Location, w0, h0);
    // A header that names a height but no width is not tried.
    if (w0 == 0 && h0 != 0) {
        result.Outcome = TThumbnailResult::NoSize;
        return result;
    }

    TGPImage image(QString::fromStdString(job.Location).toStdU16String(), false);
    if (image.GetLastStatus() != Ok || image.GetWidth() == 0 || image.GetHeight() == 0)
        return result;  // Failed

    // Extensions without a header reader (".TIF") come back 0 x 0: the
    // decoded image knows its size.
    int sourceWidth = w0, sourceHeight = h0;
    if (sourceWidth == 0 && sourceHeight == 0) {
        sourceWidth = static_cast<int>(image.GetWidth());
        sourceHeight = static_cast<int>(image.GetHeight());
    }
    result.SourceWidth = static_cast<float>(sourceWidth);
    result.SourceHeight = static_cast<float>(sourceHeight);
    result.TargetWidth = job.Zoomed ? sourceWidth : job.AreaWidth;
    result.TargetHeight = job.Zoomed ? sourceHeight : job.AreaHeight;
    result.PixelFormatValue = static_cast<int>(image.GetPixelFormat());
    result.PixelDepth = static_cast<int>(image.GetPixelDepth());
    result.HasPalette = image.HasPalette();
    result.HasAlpha = image.HasAlphaChannel();

    int w = 0, h = 0;
    if (job.Fit)
        job.Fit(w, h, result.TargetHeight, result.TargetWidth, sourceHeight, sourceWidth);
    result.Outcome = TThumbnailResult::Loaded;
    // An empty fit leaves the item without a picture; it shows the default
    // image, as an item whose thumbnail has no size does.
    if (w <= 0 || h <= 0)
        return result;

    // Always 32-bit, whatever the source: drawing into an indexed or
    // 16-bit bitmap fails.
    auto thumbnail = std::make_unique<TGPBitmap>(w, h, PixelFormat32bppARGB);
    if (thumbnail->GetLastStatus() != Ok) {
        result.Outcome = TThumbnailResult::Failed;
        return result;
    }
    {
        TGPGraphics graphics(thumbnail.get());
        if (graphics.DrawImageRect(&image, 0, 0, w, h) != Ok) {
            result.Outcome = TThumbnailResult::Failed;
            return result;
        }
    }
    result.Thumbnail = std::move(thumbnail);
    return result;
}
