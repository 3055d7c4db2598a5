#pragma once
// The look of the strip's group splitters, and the drawing of a splitter
// item and its expand/collapse button.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "controls/DrawingHelpers.h"
#include "controls/Font.h"
#include "controls/GDIPFill.h"
#include "controls/ListBoxProperty.h"
#include "controls/TSmoothImageListBoxNavigator.h"

class IListBoxHost;
class TSmoothImageListBoxHTMLText;

class TSmoothImageListBoxSplitter {
public:
    explicit TSmoothImageListBoxSplitter(IListBoxHost* owner);
    ~TSmoothImageListBoxSplitter();
    TSmoothImageListBoxSplitter(const TSmoothImageListBoxSplitter&) = delete;
    TSmoothImageListBoxSplitter& operator=(const TSmoothImageListBoxSplitter&) = delete;

    VELMORA_LISTBOX_PROPERTY(int, Spacing, 10)
    VELMORA_LISTBOX_PROPERTY(int, Size, 3)
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxLocation, TextLocation, cpCenterLeft)
    VELMORA_LISTBOX_PROPERTY(bool, Expander, false)
    VELMORA_LISTBOX_PROPERTY(TColor, ExpanderColor, colors::clGray)
    VELMORA_LISTBOX_PROPERTY(TColor, ExpanderBorderColor, colors::clBlack)
    VELMORA_LISTBOX_PROPERTY(TColor, ExpanderDownColor, colors::clRed)
    VELMORA_LISTBOX_PROPERTY(TColor, ExpanderHoverColor, colors::clBlue)
    VELMORA_LISTBOX_PROPERTY(int, ExpanderSize, 20)
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxNavigatorButtonsShape, ExpanderShape, nsRounded)
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxLocation, ExpanderLocation, cpCenterRight)
    VELMORA_LISTBOX_PROPERTY(int, ExpanderLeft, 0)
    VELMORA_LISTBOX_PROPERTY(int, ExpanderTop, 0)

public:
    TGDIPFill* Fill() const { return fill_.get(); }
    void SetFill(const TGDIPFill* value);
    TFont* TextFont() const { return textFont_.get(); }
    void SetTextFont(const TFont* value);

    std::function<void()> OnChange;  // published; never fired

    // Every published value but OnChange; the fill and font by assignment.
    void Assign(const TSmoothImageListBoxSplitter& source);
    // Repaints the list box.
    void Changed();

    // The splitter's rectangle for a cell: along the gap beside it in a
    // grid (Rows 0), across it in a strip (Columns 0); none when both are set.
    std::optional<TGPRectF> GetRect(const TGPRectF& cell) const;
    // The expander's square inside the splitter rectangle; in a strip the
    // location is turned a quarter.
    TGPRectF GetExpanderRect(const TGPRectF& splitter) const;
    // Moves the rectangle the expander is placed in out of the text's way
    // when text and expander share a location.
    void ExpanderTextRect(const TGPRectF& text, TGPRectF& splitter) const;

    // Paints a splitter item into its cell: the fill (whole, or in pieces
    // around a thin splitter's text and expander), the text through the
    // caption object, and the expander with the item's markers.
    void DrawSplitter(TGPGraphics* graphics, TSmoothImageListBoxHTMLText* caption, const TGPRectF& cell,
                      bool collapsed, int expanderHover, int expanderDown) const;
    // The expand/collapse button in the square at (x, y).
    void DrawExpander(TGPGraphics* graphics, const TGPRectF& rect, bool collapsed, int expanderHover,
                      int expanderDown) const;

private:
    void FillChanged() { Changed(); }
    void TextFontChanged() { Changed(); }

    IListBoxHost* owner_;
    std::unique_ptr<TGDIPFill> fill_;
    std::unique_ptr<TFont> textFont_;
};

// One stretch of a thin splitter's paint along its axis, from Start to End.
struct TSplitterPiece {
    float Start = 0, End = 0;
    friend bool operator==(const TSplitterPiece&, const TSplitterPiece&) = default;
};

// The stretches of a thin splitter that leave gaps for its text (ts..te) and
// its expander (es..ee) inside the cell's extent s0..s1 along the axis;
// stretches of no length are left out.
std::vector<TSplitterPiece> SplitterPieces(TSmoothImageListBoxLocation textLocation,
                                           TSmoothImageListBoxLocation expanderLocation, float s0, float s1,
                                           float ts, float te, float es, float ee);

// The location of an object turned a quarter, as strip-mode splitters place
// their vertical text and expander.
TSmoothImageListBoxLocation TurnLocation(TSmoothImageListBoxLocation location);
