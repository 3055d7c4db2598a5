#pragma once
// The four buttons of a header or footer bar that move the selection by a
// page or by an item: 0 previous page, 1 previous item, 2 next item, 3 next
// page, from the left.
#include <functional>
#include <string>

#include "controls/DrawingHelpers.h"
#include "controls/ListBoxProperty.h"

class IListBoxHost;
class TGPGraphics;

// The shapes of the navigator's and the splitter expanders' buttons.
enum TSmoothImageListBoxNavigatorButtonsShape : int { nsRounded, nsRoundRect, nsRect };

// One push button of a navigator or a splitter expander: a gradient face from
// the colour lightened by 60 % to the colour, mirrored below to 25 %,
// rounded by the shape, with a border. A colour of clNone paints nothing.
void PaintListBoxButton(TGPGraphics* graphics, const TGPRectF& rect, TSmoothImageListBoxNavigatorButtonsShape shape,
                        int size, TColor borderColor, TColor color);

class TSmoothImageListBoxNavigator {
public:
    explicit TSmoothImageListBoxNavigator(IListBoxHost* owner);
    TSmoothImageListBoxNavigator(const TSmoothImageListBoxNavigator&) = delete;
    TSmoothImageListBoxNavigator& operator=(const TSmoothImageListBoxNavigator&) = delete;

    VELMORA_LISTBOX_PROPERTY(bool, Visible, false)
    VELMORA_LISTBOX_PROPERTY(TColor, Color, colors::clGray)
    VELMORA_LISTBOX_PROPERTY(std::string, HintNext, "Next Item")
    VELMORA_LISTBOX_PROPERTY(std::string, HintPrevious, "Previous Item")
    VELMORA_LISTBOX_PROPERTY(std::string, HintNextPage, "Next Page")
    VELMORA_LISTBOX_PROPERTY(std::string, HintPreviousPage, "Previous Page")
    VELMORA_LISTBOX_PROPERTY(TColor, DisabledColor, colors::clGray)
    VELMORA_LISTBOX_PROPERTY(TColor, HoverColor, colors::clBlue)
    VELMORA_LISTBOX_PROPERTY(TColor, DownColor, colors::clRed)
    VELMORA_LISTBOX_PROPERTY(TColor, BorderColor, colors::clGray)
    VELMORA_LISTBOX_PROPERTY(int, Size, 20)
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxNavigatorButtonsShape, Shape, nsRoundRect)
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxLocation, Location, cpCenterRight)
    VELMORA_LISTBOX_PROPERTY(int, Left, 0)
    VELMORA_LISTBOX_PROPERTY(int, Top, 0)

public:
    std::function<void()> OnChange;  // published; never fired

    // Every published value, then Changed.
    void Assign(const TSmoothImageListBoxNavigator& source);
    // Repaints the list box.
    void Changed();

    // The button block in the bar rectangle, given where the bar's caption
    // sits and the caption's rectangle.
    TGPRectF GetNavigatorRect(const TGPRectF& bar, TSmoothImageListBoxLocation captionLocation,
                              const TGPRectF& caption) const;
    // Button i (0..3) of the block.
    TGPRectF GetNavigatorButtonRect(const TGPRectF& block, int button) const;
    // Paints the four buttons; pressed and hovered are button numbers or -1.
    void Draw(TGPGraphics* graphics, const TGPRectF& block, int pressed, int hovered) const;
    // The colour button i is painted in (before lightening).
    TColor ButtonColor(int button, int pressed, int hovered) const;

private:
    IListBoxHost* owner_;
};
