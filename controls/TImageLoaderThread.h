#pragma once
// The thumbnail loader of the list box: makes the thumbnails of items that
// name an image file in their Location, and of items handed a picture.
//
// The choosing runs on the GUI thread, when something changes that can make
// an item wanted (a relayout, a scroll, a finished thumbnail, the end of an
// animation): the loader walks the items as a pass, marks what it takes
// stStarted and queues it, as values, for the list box's worker threads
// (TThumbnailWorkers), which decode each file once, scaled to the cell. A
// finished thumbnail is stored on the GUI thread (the list box's
// StoreThumbnails). Nothing polls: with nothing to load, nothing runs.
//
// Created by the list box's StartThread and dropped by its StopThread (at
// every BeginUpdate of the items): dropping it takes back the jobs no worker
// has begun; one being made still comes back and is stored if the item
// still wants it.
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/GPImage.h"

class IListBoxHost;
class TMemoryStream;
class TSmoothImageListBox;
class TSmoothImageListBoxItem;

// Pixel size from the file's header, picked by the extension (".JPG",
// ".JPEG", ".PNG", ".BMP", ".TIFF", ".GIF", ".ICO", in any case). Any other
// extension gives false and 0 x 0; a known one gives true and what its
// reader found (0 x 0 for a file it cannot read).
bool GetFileImageSize(const std::string& fileName, uint16_t& width, uint16_t& height);

// What a worker needs to make one thumbnail, copied on the GUI thread. The
// source is the first of Image, Bytes and Location that is set.
struct TThumbnailJob {
    QImage Image;                           // decoded pixels
    std::shared_ptr<TMemoryStream> Bytes;   // an encoded picture
    std::string Location;                   // an image file
    // Zoomed items get a thumbnail of the source's own size.
    bool Zoomed = false;
    // The image area of a cell.
    int AreaWidth = 0;
    int AreaHeight = 0;
    // Fits a source size into a box (out width, out height, box height, box
    // width, image height, image width); must not read the list box.
    std::function<void(int&, int&, int, int, int, int)> Fit;
};

// What it made.
struct TThumbnailResult {
    enum TOutcome {
        Loaded,     // Thumbnail holds the scaled image
        NoSize,     // the header gave a width of 0 and a height above 0: not tried
        Failed      // the file could not be opened or decoded
    };
    TOutcome Outcome = Failed;
    std::unique_ptr<TGPBitmap> Thumbnail;  // 32-bit ARGB
    // The source as shown: upright by its EXIF orientation.
    float SourceWidth = 0;
    float SourceHeight = 0;
    // The target size the thumbnail was fitted into.
    int TargetWidth = 0;
    int TargetHeight = 0;
    // Of the source image.
    int PixelFormatValue = 0;
    int PixelDepth = 0;
    bool HasPalette = false;
    bool HasAlpha = false;
};

// Decodes the source once, at the size it is shown (JPEG scales while it
// decodes), upright by its EXIF orientation; safe on any thread.
TThumbnailResult MakeThumbnail(const TThumbnailJob& job);

// Makes the item's thumbnail at once, on the calling thread, fitted into a
// cell's image area by the host's rules: for hosts without workers.
void MakeThumbnailNow(IListBoxHost& host, TSmoothImageListBoxItem& item, TThumbnailJob&& job);

class TImageLoaderThread {
public:
    explicit TImageLoaderThread(TSmoothImageListBox* listBox);
    // Takes back the jobs no worker has begun; their items are loaded again
    // by the next loader.
    ~TImageLoaderThread();
    TImageLoaderThread(const TImageLoaderThread&) = delete;
    TImageLoaderThread& operator=(const TImageLoaderThread&) = delete;

    // Queues what is wanted now, keeping the workers busy without burying
    // them; the rest waits for the next call. GUI thread.
    void Schedule();

private:
    // Whether the list box has anything for a loader at all.
    bool ShouldRun() const;
    // Whether the loading mode wants the item now.
    bool Wanted(const TSmoothImageListBoxItem& item) const;
    // Whether the item's cell lies beyond the items area along the scroll
    // direction: every later item does too.
    bool PastView(const TSmoothImageListBoxItem& item) const;
    void Begin(TSmoothImageListBoxItem& item);

    TSmoothImageListBox* ListBox;
    int PassIndex = -1;  // next index of the running pass; -1: none runs
    int PassCount = 0;   // the count taken when the pass began
    bool FirstPass = true;
    bool FollowUp = false;  // a pass from the first item is still owed
};
