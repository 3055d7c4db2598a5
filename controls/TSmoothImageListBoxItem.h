#pragma once
// One entry of the thumbnail strip: a picture shown as a cell-sized
// thumbnail with a markup caption, a hint, a tag and file facts; or, with
// Splitter set, a group splitter with a text and an optional expander.
#include <QImage>
#include <atomic>
#include <memory>
#include <string>

#include "controls/GDIPPicture.h"
#include "controls/GPImage.h"
#include "controls/GPValues.h"
#include "controls/ListBoxProperty.h"

class IListBoxHost;
class TGPGraphics;
class TSmoothImageListBoxItems;
class TSmoothImageListBoxHTMLText;
struct TThumbnailJob;
struct TThumbnailResult;

enum TSmoothImageListBoxSplitterState : int { stCollapsed, stExpanded };

// Where the item's thumbnail stands: a new item needs nothing (stLoaded); a
// Location waits for the loader thread (stInitialized, then stStarted).
enum TImageThreadStatus : int { stNone, stInitialized, stStarted, stLoaded };

class TSmoothImageListBoxItem {
public:
    // Appends itself to the collection, which owns it from then on; deleting
    // the item removes it from the collection and from the display list.
    explicit TSmoothImageListBoxItem(TSmoothImageListBoxItems* collection);
    virtual ~TSmoothImageListBoxItem();
    TSmoothImageListBoxItem(const TSmoothImageListBoxItem&) = delete;
    TSmoothImageListBoxItem& operator=(const TSmoothImageListBoxItem&) = delete;

    // Copies picture, caption, texts, flags and file facts (not Location).
    void Assign(const TSmoothImageListBoxItem& source);
    // Relayout and repaint, unless the collection is updating.
    void Changed();

    TSmoothImageListBoxItems* Collection() const { return collection_; }
    IListBoxHost* Owner() const;
    int Index() const { return index_; }
    // Moves the item to the position in its collection.
    void SetIndex(int value);

    TSmoothImageListBoxSplitterState SplitterState() const { return splitterState_; }
    // Collapsing or expanding a splitter hides or shows the items up to the
    // next splitter.
    void SetSplitterState(TSmoothImageListBoxSplitterState value);
    // The image file the loader thread makes the thumbnail from.
    const std::string& Location() const { return location_; }
    void SetLocation(const std::string& value);
    // The item's own picture; setting copies the given one into it. Loading
    // it hands the encoded bytes to the strip's workers, which make the
    // thumbnail; at run time the picture is emptied at once.
    TGDIPPicture* Image() const { return image_.get(); }
    void SetImage(const TGDIPPicture* value);
    // Hands the item a picture that is decoded already; the workers scale it
    // into the thumbnail. A null image changes nothing.
    void SetDecodedImage(const QImage& image);
    TSmoothImageListBoxHTMLText* Caption() const { return caption_.get(); }
    // Copies the given caption into the item's own.
    void SetCaption(const TSmoothImageListBoxHTMLText* value);

    VELMORA_LISTBOX_PROPERTY(bool, Visible, true)
    VELMORA_LISTBOX_PROPERTY(int, FileSize, 0)
    VELMORA_LISTBOX_PROPERTY(double, FileDate, 0)
    VELMORA_LISTBOX_PROPERTY(std::string, FileName, std::string())
    VELMORA_LISTBOX_PROPERTY(bool, Splitter, false)
    // Wide enough for the application's object pointer.
    VELMORA_LISTBOX_PROPERTY(intptr_t, Tag, 0)
    VELMORA_LISTBOX_PROPERTY(std::string, SplitterText, std::string())
    VELMORA_LISTBOX_PROPERTY(bool, Enabled, true)
    VELMORA_LISTBOX_PROPERTY(std::string, Hint, std::string())
    VELMORA_LISTBOX_PROPERTY(bool, Selected, false)

public:
    // Paints the thumbnail centred in the cell's image area (the strip's
    // default picture when there is none); Zoom: the strip animates the image
    // rectangle itself.
    void Draw(TGPGraphics* graphics, TGPRectF rect, bool zoom);
    // Splitter items.
    void DrawSplitter(TGPGraphics* graphics, TSmoothImageListBoxHTMLText* caption, const TGPRectF& rect);
    void ExpanderTextRect(TGPGraphics* graphics, const TGPRectF& textRect, TGPRectF& splitterRect);
    void DrawExpander(TGPGraphics* graphics, const TGPRectF& rect, int hover, int down);

    // Has the thumbnail made from the picture; at run time the picture is
    // then emptied so that only the thumbnail stays in memory.
    void ImageChanged();
    // Takes a made thumbnail (GUI thread): stLoaded with it; a file that
    // could not be read leaves the item stStarted, a picture that could not
    // be decoded stLoaded without a thumbnail.
    void TakeThumbnail(TThumbnailResult& result);
    void CaptionChanged() { Changed(); }

    TGPRectF GetImageRectangle() const;
    int GetOriginalImageWidth() const;
    int GetOriginalImageHeight() const;

    // State kept for the strip and its loader thread.
    TImageThreadStatus Status() const { return status_.load(); }
    void SetStatus(TImageThreadStatus value) { status_.store(value); }
    bool Collapsed = false;         // hidden under a collapsed splitter
    int ExpanderHover = -1;         // the expander is under the mouse when not -1
    int ExpanderDown = -1;          // pressed when not -1
    bool Zoomed = false;
    bool ZoomingOut = false;
    TGPRect ImageRect{};            // where the thumbnail is drawn (animated while zooming)
    TGPRect TargetImageRect{};      // where the last drawing pass placed it
    std::unique_ptr<TGPBitmap> Thumbnail;
    int LargestThumbWidth = 0;      // the greatest target a thumbnail was made for
    int LargestThumbHeight = 0;
    float SourceWidth = 0;          // the picture's or file's own size
    float SourceHeight = 0;
    TGPRectF Cell{};                // as the last relayout placed the item, before scrolling
    // Where the cell is shown now.
    TGPRectF CellRect() const;
    // Set while a thumbnail is being made for the item; a job whose token
    // is no longer the item's is dropped.
    std::shared_ptr<TSmoothImageListBoxItem*> LoadToken;
    int ImagePixelFormat = 0;
    int ImagePixelDepth = 0;
    bool ImageHasPalette = false;
    bool ImageHasAlpha = false;

private:
    bool Updating() const;
    void QueueThumbnail(TThumbnailJob&& job);

    friend class TSmoothImageListBoxItems;

    TSmoothImageListBoxItems* collection_;
    int index_ = -1;  // kept by the collection
    TSmoothImageListBoxSplitterState splitterState_ = stExpanded;
    std::unique_ptr<TGDIPPicture> image_;
    std::string location_;
    std::unique_ptr<TSmoothImageListBoxHTMLText> caption_;
    std::atomic<TImageThreadStatus> status_{stLoaded};
    bool inImageChanged_ = false;
};
