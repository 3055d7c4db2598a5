#include "controls/TImageLoaderThread.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "controls/GDIPPicture.h"
#include "controls/IListBoxHost.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/TThumbnailWorkers.h"
#include "platform/gdiplus/GpImage.h"
#include "platform/gdiplus/GpObjects.h"
#include "platform/gdiplus/SrgbImage.h"
#include "platform/rtl/ControlGroup.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/RegularFile.h"

bool GetFileImageSize(const std::string& fileName, uint16_t& width, uint16_t& height)
{
    width = 0;
    height = 0;
    const QString extension = QFileInfo(QString::fromStdString(fileName)).suffix().toUpper();
    const ImageSizeReader read = FindImageSizeReader(extension.toStdString());
    if (!read)
        return false;
    uint32_t w = 0, h = 0;
    read(fileName, w, h);
    // Saturated rather than wrapped: a panorama 65,536 pixels wide must not
    // read as a width of 0, which would leave it without a thumbnail.
    width = static_cast<uint16_t>(std::min<uint32_t>(w, UINT16_MAX));
    height = static_cast<uint16_t>(std::min<uint32_t>(h, UINT16_MAX));
    return true;
}

namespace {

void SourceFacts(QImage::Format format, TThumbnailResult& result)
{
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    result.PixelFormatValue = static_cast<int>(PixelFormatOfQImage(format));
    result.PixelDepth = pixel.bitsPerPixel();
    result.HasPalette = format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
                        format == QImage::Format_MonoLSB;
    result.HasAlpha = pixel.alphaUsage() == QPixelFormat::UsesAlpha;
}

// Fits the shown source size into the target and sets what follows from it;
// false when the fit is empty (the item then shows the default image).
bool Fit(const TThumbnailJob& job, int sourceWidth, int sourceHeight, TThumbnailResult& result, QSize& fitted)
{
    result.SourceWidth = static_cast<float>(sourceWidth);
    result.SourceHeight = static_cast<float>(sourceHeight);
    result.TargetWidth = job.Zoomed ? sourceWidth : job.AreaWidth;
    result.TargetHeight = job.Zoomed ? sourceHeight : job.AreaHeight;
    int w = 0, h = 0;
    if (job.Fit)
        job.Fit(w, h, result.TargetHeight, result.TargetWidth, sourceHeight, sourceWidth);
    result.Outcome = TThumbnailResult::Loaded;
    fitted = QSize(w, h);
    return w > 0 && h > 0;
}

void Keep(QImage image, const QSize& fitted, TThumbnailResult& result)
{
    if (image.size() != fitted)
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.Thumbnail = NewDrawingBitmap(image);
    if (!result.Thumbnail)
        result.Outcome = TThumbnailResult::Failed;
}

void FromImage(const QImage& image, const TThumbnailJob& job, TThumbnailResult& result)
{
    SourceFacts(image.format(), result);
    QSize fitted;
    if (Fit(job, image.width(), image.height(), result, fitted))
        Keep(image, fitted, result);
}

// An uncompressed 24-bit BMP, as pictures are handed to the strip, seen in
// place: the reader would copy it whole first, and refuses one above its
// allocation limit. Rows run bottom-up in the file. Null for anything else.
// (The stream API has no const size.)
QImage BmpInPlace(TMemoryStream& bytes, bool& bottomUp)
{
    const uchar* p = bytes.Memory();
    const int64_t size = bytes.GetSize();
    auto u16 = [p](int at) { return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8; };
    auto u32 = [p, &u16](int at) { return u16(at) | u16(at + 2) << 16; };
    if (size < 54 || p[0] != 'B' || p[1] != 'M')
        return QImage();
    const uint32_t offset = u32(10);
    const auto width = int32_t(u32(18));
    const auto height = int32_t(u32(22));
    if (u32(14) < 40 || u16(28) != 24 || u32(30) != 0 || width <= 0 || height == 0 || height == INT32_MIN)
        return QImage();
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    const int64_t stride = (int64_t(width) * 24 + 31) / 32 * 4;
    if (int64_t(offset) + stride * rows > size || stride > INT32_MAX || rows > INT32_MAX)
        return QImage();
    bottomUp = height > 0;
    return QImage(p + offset, width, int(rows), stride, QImage::Format_BGR888);
}

void FromReader(QImageReader& reader, const TThumbnailJob& job, TThumbnailResult& result)
{
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return;  // Failed
    // A quarter turn by the EXIF orientation swaps the sides: the decoder
    // scales the picture as stored, before it is turned upright.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize shown = turned ? stored.transposed() : stored;
    SourceFacts(reader.imageFormat(), result);
    QSize fitted;
    if (!Fit(job, shown.width(), shown.height(), result, fitted))
        return;
    reader.setScaledSize(turned ? fitted.transposed() : fitted);
    QImage image = reader.read();
    if (image.isNull()) {
        result.Outcome = TThumbnailResult::Failed;
        return;
    }
    // In the colours the picture gets once it is an artwork.
    ImageToSrgbByItsColorSpace(image);
    Keep(image, fitted, result);
}

void FromBytes(const std::shared_ptr<TMemoryStream>& bytes, const TThumbnailJob& job, TThumbnailResult& result)
{
    bool bottomUp = false;
    const QImage bmp = BmpInPlace(*bytes, bottomUp);
    if (!bmp.isNull()) {
        SourceFacts(QImage::Format_RGB888, result);
        QSize fitted;
        if (Fit(job, bmp.width(), bmp.height(), result, fitted))
            Keep(bmp.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).mirrored(false, bottomUp),
                 fitted, result);
        return;
    }
    QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->Memory()), qsizetype(bytes->GetSize()));
    QBuffer buffer(&raw);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    FromReader(reader, job, result);
}

void FromFile(const TThumbnailJob& job, TThumbnailResult& result)
{
    uint16_t w0 = 0, h0 = 0;
    GetFileImageSize(job.Location, w0, h0);
    // A header that names a height but no width is not tried.
    if (w0 == 0 && h0 != 0) {
        result.Outcome = TThumbnailResult::NoSize;
        return;
    }
    // Opened without waiting, and only a plain file is read: a FIFO or a
    // device named as a picture would block or never end.
    struct stat st{};
    const int fd = OpenOnlyRegularFile(job.Location, O_RDONLY, st);
    if (fd < 0)
        return;  // Failed
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    QImageReader reader(&file);
    FromReader(reader, job, result);
}

}  // namespace

TThumbnailResult MakeThumbnail(const TThumbnailJob& job)
{
    TThumbnailResult result;
    try {
        if (!job.Image.isNull())
            FromImage(job.Image, job, result);
        else if (job.Bytes)
            FromBytes(job.Bytes, job, result);
        else
            FromFile(job, result);
    } catch (...) {
        // Out of memory, or a decoder that gave up in its own way: this one
        // picture failed (the item shows the default image), nothing else.
        result = TThumbnailResult();
    }
    return result;
}

void MakeThumbnailNow(IListBoxHost& host, TSmoothImageListBoxItem& item, TThumbnailJob&& job)
{
    TSmoothImageListBoxItemAppearance* appearance = host.ItemAppearance();
    const TGPRectF area = host.GetItemImageRect(
        TGPRectF{0, 0, float(appearance->GetColumnWidth()), float(appearance->GetRowHeight())});
    job.AreaWidth = RoundHalfEven(area.Width);
    job.AreaHeight = RoundHalfEven(area.Height);
    job.Fit = [&host](int& w, int& h, int boxHeight, int boxWidth, int imageHeight, int imageWidth) {
        host.GetAspectSize(w, h, boxWidth, boxHeight, imageWidth, imageHeight);
    };
    item.LoadToken = std::make_shared<TSmoothImageListBoxItem*>(&item);
    TThumbnailResult result = MakeThumbnail(job);
    item.TakeThumbnail(result);
}

// ---- choosing what to load (GUI thread) ----------------------------------------

namespace {
// Jobs out at a time: enough that no worker waits for the GUI thread to
// queue more while it is busy, few enough that with tlAll the items a
// scroll brings into view come soon (in view only, fewer are ever wanted).
int JobLimit()
{
    // Asked on every scroll step; the C library reads it from sysfs each time.
    static const int limit = 8 * UsableProcessors();
    return limit;
}
}  // namespace

TImageLoaderThread::TImageLoaderThread(TSmoothImageListBox* listBox) : ListBox(listBox) {}

TImageLoaderThread::~TImageLoaderThread() = default;

bool TImageLoaderThread::ShouldRun() const
{
    if (ListBox->IsDesignPreview() && ListBox->IsItemsInitialized())
        return false;
    if (ListBox->Rows() != 0 && ListBox->Columns() != 0)
        return false;
    return ListBox->Items()->Count() > 0;
}

bool TImageLoaderThread::Wanted(const TSmoothImageListBoxItem& item) const
{
    switch (ListBox->ThreadLoading()) {
    case tlAll:
        return true;
    case tlOnDemand:
        return ListBox->GetItemIsVisible(item.CellRect());
    case tlOnDemandAfterAnimation:
        return ListBox->GetItemIsVisible(item.CellRect()) && !ListBox->IsAnimating();
    }
    return false;
}

bool TImageLoaderThread::PastView(const TSmoothImageListBoxItem& item) const
{
    if (!ListBox->IsItemsInitialized() || item.Splitter() || !item.Visible() || item.Collapsed)
        return false;
    const TGPRectF r = item.CellRect();
    return ListBox->Rows() > 0 ? r.X >= float(ListBox->width()) : r.Y >= float(ListBox->height());
}

void TImageLoaderThread::Schedule()
{
    if (!ShouldRun())
        return;
    TSmoothImageListBoxItems* items = ListBox->Items();
    if (items->Updating())
        return;
    TThumbnailWorkers& workers = ListBox->Workers();
    const bool onDemand = ListBox->ThreadLoading() != tlAll;
    if (ListBox->ThreadLoading() == tlOnDemandAfterAnimation && ListBox->IsAnimating())
        return;
    // A pass walks the items from its start index. A change (the list box's
    // LoadRestart) begins a new one there; a pass that began further on is
    // followed by one from the start, unless only what is in view is
    // wanted: nothing before the first item in view is.
    if (ListBox->LoadRestart()) {
        FollowUp = FollowUp || PassIndex > 0;
        PassIndex = -1;
    }
    for (;;) {
        if (PassIndex < 0) {
            if (ListBox->LoadRestart()) {
                PassIndex = std::max(0, ListBox->LoadStartIndex());
                ListBox->SetLoadRestart(false);
                FollowUp = (FollowUp || PassIndex > 0) && !onDemand;
            } else if (FirstPass || FollowUp) {
                PassIndex = 0;
                FollowUp = false;
            } else {
                return;
            }
            FirstPass = false;
            PassCount = items->Count();
        }
        while (PassIndex < PassCount) {
            if (workers.Pending() >= JobLimit())
                return;  // the next finished thumbnail asks again
            TSmoothImageListBoxItem* item = items->GetItem(PassIndex);
            if (!item || (onDemand && PastView(*item)))
                break;
            ++PassIndex;
            if (item->Status() == stInitialized && !item->LoadToken && Wanted(*item))
                Begin(*item);
        }
        PassIndex = -1;
    }
}

void TImageLoaderThread::Begin(TSmoothImageListBoxItem& item)
{
    TThumbnailJob job;
    job.Location = item.Location();
    job.Zoomed = item.Zoomed;
    item.Thumbnail.reset();
    item.SetStatus(stStarted);
    ListBox->QueueThumbnail(item, std::move(job));
}
