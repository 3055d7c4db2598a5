#pragma once
// The thumbnail loader of the list box: makes the thumbnails of items that
// name an image file in their Location.
//
// The worker touches no widget and no item. Each round it asks the GUI
// thread (synchronised) for the next item to load; the GUI thread picks it,
// marks it stStarted and hands over what the worker needs as values. The
// worker reads and scales the file into an image of its own, and hands that
// to the GUI thread, which stores it in the item, marks it stLoaded and
// repaints the list box when the item is in view.
//
// Created by the list box's StartThread (GUI thread) and stopped by its
// StopThread with Terminate + WaitFor: the GUI-thread steps that WaitFor
// still runs find the stop request and change nothing but the one item they
// were handed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/GPImage.h"
#include "platform/thread/Thread.h"

class TSmoothImageListBox;
class TSmoothImageListBoxItem;

// Pixel size from the file's header, picked by the extension (".JPG",
// ".JPEG", ".PNG", ".BMP", ".TIFF", ".GIF", ".ICO", in any case). Any other
// extension gives false and 0 x 0; a known one gives true and what its
// reader found (0 x 0 for a file it cannot read).
bool GetFileImageSize(const std::string& fileName, uint16_t& width, uint16_t& height);

// What the worker needs to make one thumbnail, copied on the GUI thread.
struct TThumbnailJob {
    std::string Location;
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

// Reads the file and scales it; safe on any thread.
TThumbnailResult MakeFileThumbnail(const TThumbnailJob& job);

class TImageLoaderThread : public TThread {
public:
    // Starts running (at the lowest priority) once the GUI event loop gets to
    // it or the list box waits for it; the list box sets OnTerminate first.
    explicit TImageLoaderThread(TSmoothImageListBox* listBox);
    ~TImageLoaderThread() override;

protected:
    void Execute() override;

private:
    enum class TPick { Load, Pause, End };

    // GUI thread, all of them.
    // Whether the list box has anything for a loader at all.
    bool ShouldRun() const;
    // Whether the loading mode wants the item now.
    bool Wanted(const TSmoothImageListBoxItem& item) const;
    // The next item to load, marked stStarted and described in job.
    TPick PickNext(TThumbnailJob& job);
    void Begin(TSmoothImageListBoxItem& item, TThumbnailJob& job);
    // Stores what the worker made in the item it was made for.
    void Store(TThumbnailResult& result);

    TSmoothImageListBox* ListBox;

    // GUI thread only.
    int PassIndex = -1;  // next index of the running pass; -1: none runs
    int PassCount = 0;   // the count taken when the pass began
    bool LoadedInPass = false;
    TSmoothImageListBoxItem* Current = nullptr;  // in the worker's hands
    std::string CurrentLocation;
};
