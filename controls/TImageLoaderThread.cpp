#include "controls/TImageLoaderThread.h"

#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <chrono>
#include <thread>

#include "controls/GDIPPicture.h"
#include "controls/GPGraphics.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/Utf16.h"
#include "platform/gdiplus/GpObjects.h"

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
    width = static_cast<uint16_t>(w);
    height = static_cast<uint16_t>(h);
    return true;
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

    TGPImage image(ToUtf16(job.Location), false);
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

TImageLoaderThread::TImageLoaderThread(TSmoothImageListBox* listBox) : TThread(false), ListBox(listBox)
{
    SetPriority(tpLowest);
}

TImageLoaderThread::~TImageLoaderThread()
{
    // Execute uses the members below: it must have ended before they go.
    Terminate();
    WaitFor();
}

void TImageLoaderThread::Execute()
{
    bool run = false;
    Synchronize([&] { run = ShouldRun(); });
    while (run && !Terminated()) {
        TThumbnailJob job;
        TPick pick = TPick::End;
        Synchronize([&] { pick = PickNext(job); });
        if (pick == TPick::End)
            break;
        if (pick == TPick::Pause) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        TThumbnailResult result = MakeFileThumbnail(job);
        Synchronize([&] { Store(result); });
    }
}

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
        return ListBox->GetItemIsVisible(item.CellRect);
    case tlOnDemandAfterAnimation:
        return ListBox->GetItemIsVisible(item.CellRect) && !ListBox->IsAnimating();
    }
    return false;
}

TImageLoaderThread::TPick TImageLoaderThread::PickNext(TThumbnailJob& job)
{
    if (Terminated())
        return TPick::End;
    TSmoothImageListBoxItems* items = ListBox->Items();
    if (items->Updating())
        return TPick::Pause;

    // A pass walks the items from its start index. One that finds nothing
    // pauses the worker; after one that loaded, the next begins at once.
    for (;;) {
        if (PassIndex < 0) {
            PassIndex = 0;
            if (ListBox->LoadRestart()) {
                PassIndex = std::max(0, ListBox->LoadStartIndex());
                ListBox->SetLoadRestart(false);
            }
            PassCount = items->Count();
            LoadedInPass = false;
        }
        while (PassIndex >= 0 && PassIndex < PassCount) {
            if (ListBox->LoadRestart()) {
                PassIndex = -1;  // begin again where the list box asks
                break;
            }
            const int index = PassIndex++;
            TSmoothImageListBoxItem* item = items->GetItem(index);
            // No need to skip the item being painted: painting runs on this
            // thread too, never while a pick runs.
            if (item && item->Status() == stInitialized && Wanted(*item)) {
                Begin(*item, job);
                return TPick::Load;
            }
        }
        if (PassIndex < 0)
            continue;
        PassIndex = -1;
        if (!LoadedInPass)
            return TPick::Pause;
    }
}

void TImageLoaderThread::Begin(TSmoothImageListBoxItem& item, TThumbnailJob& job)
{
    TSmoothImageListBoxItemAppearance* appearance = ListBox->ItemAppearance();
    const TGPRectF area = ListBox->GetItemImageRect(
        TGPRectF{0, 0, float(appearance->GetColumnWidth()), float(appearance->GetRowHeight())});
    item.Thumbnail.reset();
    LoadedInPass = true;
    item.SetStatus(stStarted);
    Current = &item;
    CurrentLocation = item.Location();

    job.Location = item.Location();
    job.Zoomed = item.Zoomed;
    job.AreaWidth = RoundHalfEven(area.Width);
    job.AreaHeight = RoundHalfEven(area.Height);
    // The worker fits with the rule of the moment, by value: the appearance
    // belongs to this thread.
    const bool aspectRatio = appearance->AspectRatio();
    const bool shrinkOnly = appearance->Stretch() == isShrinkOnly;
    job.Fit = [aspectRatio, shrinkOnly](int& w, int& h, int boxHeight, int boxWidth, int imageHeight,
                                        int imageWidth) {
        TSmoothImageListBox::FitAspectSize(aspectRatio, shrinkOnly, w, h, boxWidth, boxHeight, imageWidth,
                                           imageHeight);
    };
}

void TImageLoaderThread::Store(TThumbnailResult& result)
{
    TSmoothImageListBoxItem* item = Current;
    Current = nullptr;
    if (!item)
        return;
    // Every structural change stops this thread first, so the item still
    // exists; it may have been given a new Location, or put back for
    // loading at a new size, while the worker read the old file.
    TSmoothImageListBoxItems* items = ListBox->Items();
    bool present = false;
    for (int i = 0; i < items->Count() && !present; ++i)
        present = items->GetItem(i) == item;
    if (!present || item->Status() != stStarted || item->Location() != CurrentLocation)
        return;
    // A file that could not be read stays stStarted and is not tried again
    // until the item is put back for loading.
    if (result.Outcome != TThumbnailResult::Loaded)
        return;

    item->SourceWidth = result.SourceWidth;
    item->SourceHeight = result.SourceHeight;
    item->Thumbnail = std::move(result.Thumbnail);
    item->ImagePixelFormat = result.PixelFormatValue;
    item->ImagePixelDepth = result.PixelDepth;
    item->ImageHasPalette = result.HasPalette;
    item->ImageHasAlpha = result.HasAlpha;
    item->LargestThumbWidth = std::max(item->LargestThumbWidth, result.TargetWidth);
    item->LargestThumbHeight = std::max(item->LargestThumbHeight, result.TargetHeight);
    item->SetStatus(stLoaded);
    if (ListBox->GetItemIsVisible(item->CellRect))
        ListBox->Changed();
}
