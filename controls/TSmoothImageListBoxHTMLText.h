#pragma once
// A caption in the strip's markup with its font, placement and link and
// shadow colours: each item's caption, the strip's default caption, a
// top-layer box's text and the text of splitters.
#include <functional>
#include <string>

#include "controls/Colors.h"
#include "controls/DrawingHelpers.h"
#include "controls/Font.h"
#include "controls/ListBoxProperty.h"

class IListBoxHost;

class TSmoothImageListBoxHTMLText {
public:
    // The owner may be null (a text drawn by nobody repaints nothing).
    explicit TSmoothImageListBoxHTMLText(IListBoxHost* owner);
    TSmoothImageListBoxHTMLText(const TSmoothImageListBoxHTMLText&) = delete;
    TSmoothImageListBoxHTMLText& operator=(const TSmoothImageListBoxHTMLText&) = delete;

    // Copies text, colours, shadow, font and placement; then repaints.
    void Assign(const TSmoothImageListBoxHTMLText& source);

    VELMORA_LISTBOX_PROPERTY(std::string, Text, std::string())
    // cpCustom places the text at Left, Top.
    VELMORA_LISTBOX_PROPERTY(TSmoothImageListBoxLocation, Location, cpTopLeft)
    VELMORA_LISTBOX_PROPERTY(int, Top, 0)
    VELMORA_LISTBOX_PROPERTY(int, Left, 0)
    VELMORA_LISTBOX_PROPERTY(TColor, URLColor, colors::clBlue)
    VELMORA_LISTBOX_PROPERTY(TColor, ShadowColor, colors::clGray)
    VELMORA_LISTBOX_PROPERTY(int, ShadowOffset, 5)

public:
    const TFont& Font() const { return font_; }
    TFont& Font() { return font_; }
    void SetFont(const TFont& value);

    // The strip sets it while it fills a temporary text for drawing, so
    // that filling repaints nothing.
    bool SuppressChange = false;

    // Repaints the owner unless suppressed.
    void Changed();
    void FontChanged() { Changed(); }

    // Never fired by the text itself: owners wire it and call their own
    // handler when they change the text (an item's SetCaption does).
    std::function<void()> OnChange;

private:
    IListBoxHost* owner_;
    TFont font_;
};
