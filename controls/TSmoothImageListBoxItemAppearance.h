#pragma once
// The strip's cell grid: cell size and spacing, where image and text sit in
// a cell, four fills with a pre-rendered bitmap each, the hover growth, the
// splitter look and the focus outline.
#include <functional>
#include <memory>

#include "controls/GDIPFill.h"
#include "controls/GPImage.h"
#include "controls/ListBoxProperty.h"
#include "controls/Margins.h"
#include "controls/TSmoothImageListBoxSplitter.h"

class IListBoxHost;

enum TImageStretch : int { isAlways, isShrinkOnly };

class TSmoothImageListBoxItemAppearance {
public:
    explicit TSmoothImageListBoxItemAppearance(IListBoxHost* owner);
    ~TSmoothImageListBoxItemAppearance();
    TSmoothImageListBoxItemAppearance(const TSmoothImageListBoxItemAppearance&) = delete;
    TSmoothImageListBoxItemAppearance& operator=(const TSmoothImageListBoxItemAppearance&) = delete;

    VELMORA_LISTBOX_PROPERTY(bool, AutoSize, false)
    VELMORA_LISTBOX_PROPERTY(bool, AspectRatio, true)
    VELMORA_LISTBOX_PROPERTY(bool, ImageVisible, true)
    VELMORA_LISTBOX_PROPERTY(TAlign, ImageAlign, alClient)
    VELMORA_LISTBOX_PROPERTY(int, ImageLeft, 10)
    VELMORA_LISTBOX_PROPERTY(int, ImageTop, 10)
    VELMORA_LISTBOX_PROPERTY(int, ImageWidth, 50)
    VELMORA_LISTBOX_PROPERTY(int, ImageHeight, 50)
    VELMORA_LISTBOX_PROPERTY(bool, TextVisible, false)
    VELMORA_LISTBOX_PROPERTY(TAlign, TextAlign, alBottom)
    VELMORA_LISTBOX_PROPERTY(int, TextLeft, 10)
    VELMORA_LISTBOX_PROPERTY(int, TextTop, 10)
    VELMORA_LISTBOX_PROPERTY(int, TextWidth, 10)
    VELMORA_LISTBOX_PROPERTY(int, TextHeight, 10)
    VELMORA_LISTBOX_PROPERTY(int, HoverSize, 0)
    VELMORA_LISTBOX_PROPERTY(TImageStretch, Stretch, isAlways)

public:
    // Cell size: relayout (unless the items are updating), reload check,
    // re-rendered caches, repaint.
    int ItemWidth() const { return itemWidth_; }
    void SetItemWidth(int value);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);
    // Gaps: relayout (also while updating), repaint.
    int ItemHorizontalSpacing() const { return itemHorizontalSpacing_; }
    void SetItemHorizontalSpacing(int value);
    int ItemVerticalSpacing() const { return itemVerticalSpacing_; }
    void SetItemVerticalSpacing(int value);

    TMargins* ImageMargin() const { return imageMargin_.get(); }
    void SetImageMargin(const TMargins* value);
    TMargins* TextMargin() const { return textMargin_.get(); }
    void SetTextMargin(const TMargins* value);

    // The owned fills; setting one assigns into it and re-renders its cache.
    TGDIPFill* Fill() const { return fill_.get(); }
    void SetFill(const TGDIPFill* value);
    TGDIPFill* SelectedFill() const { return selectedFill_.get(); }
    void SetSelectedFill(const TGDIPFill* value);
    TGDIPFill* DisabledFill() const { return disabledFill_.get(); }
    void SetDisabledFill(const TGDIPFill* value);
    TGDIPFill* HoverFill() const { return hoverFill_.get(); }
    void SetHoverFill(const TGDIPFill* value);

    TSmoothImageListBoxSplitter* Splitter() const { return splitter_.get(); }
    void SetSplitter(const TSmoothImageListBoxSplitter* value);

    std::function<void()> OnChange;  // published; never fired

    // The pre-rendered cell backgrounds (column width × row height, 32-bit
    // ARGB), absent until first rendered.
    TGPBitmap* FillBitmap() const { return fillBitmap_.get(); }
    TGPBitmap* SelectedFillBitmap() const { return selectedFillBitmap_.get(); }
    TGPBitmap* DisabledFillBitmap() const { return disabledFillBitmap_.get(); }
    TGPBitmap* HoverFillBitmap() const { return hoverFillBitmap_.get(); }

    // Everything but ImageAlign and TextAlign, then Changed.
    void Assign(const TSmoothImageListBoxItemAppearance& source);
    // Repaints the list box.
    void Changed();
    // Re-renders the four caches: normal, disabled, selected, hover.
    void InitFills();

    // The cell size in use: ItemWidth/ItemHeight, or smaller with AutoSize
    // so that Columns/Rows cells fit; never below 1.
    int GetColumnWidth() const;
    int GetRowHeight() const;

    // Puts loaded thumbnails that the grown image area has outgrown back for
    // loading.
    void CheckItemWidth();
    void CheckItemHeight();

    // The dotted focus outline of a cell, drawn only while the list box has
    // the focus, is a tab stop and shows focus.
    void DrawFocusRect(TGDIPFill* fill, TGPGraphics* graphics, const TGPRectF& rect) const;

private:
    void FillChanged();
    void SelectedFillChanged();
    void DisabledFillChanged();
    void HoveredFillChanged();
    void MarginChanged() { Changed(); }
    void SplitterChanged() { Changed(); }
    void RenderCache(TGDIPFill* fill, std::unique_ptr<TGPBitmap>& cache);
    void CheckReload(bool widths);

    IListBoxHost* owner_;
    int itemWidth_ = 70;
    int itemHeight_ = 70;
    int itemVerticalSpacing_ = 10;
    int itemHorizontalSpacing_ = 10;
    std::unique_ptr<TMargins> imageMargin_;
    std::unique_ptr<TMargins> textMargin_;
    std::unique_ptr<TGDIPFill> fill_;
    std::unique_ptr<TGDIPFill> selectedFill_;
    std::unique_ptr<TGDIPFill> disabledFill_;
    std::unique_ptr<TGDIPFill> hoverFill_;
    std::unique_ptr<TSmoothImageListBoxSplitter> splitter_;
    std::unique_ptr<TGPBitmap> fillBitmap_;
    std::unique_ptr<TGPBitmap> selectedFillBitmap_;
    std::unique_ptr<TGPBitmap> disabledFillBitmap_;
    std::unique_ptr<TGPBitmap> hoverFillBitmap_;
};
