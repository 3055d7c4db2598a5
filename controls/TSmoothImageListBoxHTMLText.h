#pragma once
// A caption in the strip's markup with its font, placement and link and
// shadow colours: each item's caption, the strip's default caption, a
// top-layer box's text and the text of splitters.
#include <functional>
#include <string>

#include "controls/Colors.h"
#include "controls/DrawingHelpers.h"
#include "controls/Font.h"

class IListBoxHost;

class TSmoothImageListBoxHTMLText {
public:
    // The owner may be null (a text drawn by nobody repaints nothing).
    explicit TSmoothImageListBoxHTMLText(IListBoxHost* owner);
    TSmoothImageListBoxHTMLText(const TSmoothImageListBoxHTMLText&) = delete;
    TSmoothImageListBoxHTMLText& operator=(const TSmoothImageListBoxHTMLText&) = delete;

    // Copies text, colours, shadow, font and placement; then repaints.
    void Assign(const TSmoothImageListBoxHTMLText& source);

    const std::string& Text() const { return text_; }
    void SetText(const std::string& value);
    TSmoothImageListBoxLocation Location() const { return location_; }
    void SetLocation(TSmoothImageListBoxLocation value);
    int Top() const { return top_; }
    void SetTop(int value);
    int Left() const { return left_; }
    void SetLeft(int value);
    TColor URLColor() const { return urlColor_; }
    void SetURLColor(TColor value);
    TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(TColor value);
    int ShadowOffset() const { return shadowOffset_; }
    void SetShadowOffset(int value);
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
    std::string text_;
    TSmoothImageListBoxLocation location_ = cpTopLeft;
    int top_ = 0;
    int left_ = 0;
    TColor urlColor_ = colors::clBlue;
    TColor shadowColor_ = colors::clGray;
    int shadowOffset_ = 5;
    TFont font_;
};
