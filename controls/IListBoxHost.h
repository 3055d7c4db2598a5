#pragma once
// What the parts of the thumbnail strip (items, caption texts, appearance,
// bars, splitters, top layer) ask of the strip that owns them. The strip
// implements it; tests hand the parts a fake, so the parts can be built and
// checked before and apart from the widget.
#include <string>

#include "controls/Colors.h"
#include "controls/GPValues.h"

class TGPGraphics;
class TSmoothImageListBoxItems;
class TSmoothImageListBoxItemAppearance;
class TSmoothImageListBoxHeader;
class TSmoothImageListBoxFooter;
class TSmoothImageListBoxDisplayList;
class TSmoothImageListBoxHTMLText;
class TSmoothImageListBoxItem;
struct TThumbnailJob;

class IListBoxHost {
public:
    virtual ~IListBoxHost() = default;

    // Relayout: rebuilds the display list from the items.
    virtual void InitListBoxItems() = 0;
    // Repaint (invalidates the window). The loader thread calls it too.
    virtual void Changed() = 0;

    // The thumbnail loader: StopThread waits until it has ended and leaves
    // LoadRestart off and LoadStartIndex 0.
    virtual void StartThread() = 0;
    virtual void StopThread() = 0;
    // Has the item's thumbnail made from the source the job names, fitted
    // into the image area of a cell: gives the item a new LoadToken and hands
    // the made thumbnail to its TakeThumbnail when it comes (the strip:
    // later, from its workers).
    virtual void QueueThumbnail(TSmoothImageListBoxItem& item, TThumbnailJob&& job) = 0;
    // Items were given file locations to load.
    virtual bool HasLocations() const = 0;
    virtual void SetHasLocations(bool value) = 0;
    // The loader's request to begin its scan again, at LoadStartIndex.
    virtual bool LoadRestart() const = 0;
    virtual void SetLoadRestart(bool value) = 0;
    virtual int LoadStartIndex() const = 0;
    virtual void SetLoadStartIndex(int value) = 0;

    // The owned parts.
    virtual TSmoothImageListBoxItems* Items() = 0;
    virtual TSmoothImageListBoxItemAppearance* ItemAppearance() = 0;
    virtual TSmoothImageListBoxHeader* Header() = 0;
    virtual TSmoothImageListBoxFooter* Footer() = 0;
    // The laid-out cells of the last relayout.
    virtual TSmoothImageListBoxDisplayList* DisplayList() = 0;

    // Geometry: the client area less the outer border, the background
    // fill's shadow offset (0 without shadow), and the scroll bar's
    // thickness across its direction (its height when horizontal, its width
    // when vertical; 0 when hidden).
    virtual TRect InsideRect() const = 0;
    virtual int ShadowOffset() const = 0;
    virtual int ScrollBarThickness() const = 0;
    // Rows > 0 with Columns 0: a horizontal strip; Columns > 0 with Rows 0:
    // a vertical grid; both non-zero: nothing is laid out.
    virtual int Rows() const = 0;
    virtual int Columns() const = 0;
    // The first display index of an enabled item in view (0 when none).
    virtual int GetFirstVisibleItem() = 0;

    // The image area inside a cell rectangle.
    virtual TGPRectF GetItemImageRect(const TGPRectF& cell) = 0;
    // Fits an image size into a box by the appearance's AspectRatio and
    // Stretch rules.
    virtual void GetAspectSize(int& width, int& height, int boxWidth, int boxHeight, int imageWidth,
                               int imageHeight) = 0;
    // Paints the strip's default picture for the item at index in rect.
    virtual void DrawDefaultImage(TGPGraphics* graphics, int itemIndex, const TGPRectF& rect) = 0;

    // Caption texts: the text without markup; the rectangle the markup
    // needs, placed in r; the plain (vertical, in a strip) text's rectangle;
    // drawing either into r at the text object's location.
    virtual std::string GetStrippedHTMLText(const TSmoothImageListBoxHTMLText& text) = 0;
    virtual TGPRectF GetHTMLTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                                     const TGPRectF& r) = 0;
    virtual TGPRectF GetTextRect(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                                 const TGPRectF& r) = 0;
    virtual void DrawText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text, const TGPRectF& r) = 0;
    virtual void DrawHTMLText(TGPGraphics* graphics, const TSmoothImageListBoxHTMLText& text,
                              const TGPRectF& r) = 0;

    // The strip's state as the parts read it.
    virtual int HoverItemIndex() const = 0;  // -1: none
    virtual bool Hover() const = 0;           // hovered cells are shown
    virtual int SelectedItemIndex() const = 0;
    virtual bool HasFocus() const = 0;
    virtual bool TabStop() const = 0;
    virtual bool ShowFocus() const = 0;
    virtual TColor FocusColor() const = 0;
    // Inside a form designer pictures are kept beside their thumbnails.
    virtual bool IsDesigning() const = 0;
};
