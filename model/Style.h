#pragma once
// One CSS rule of a page template: a selector, a label for the template
// editor, eight presentation properties and a free CSS tail, all as text.
// Empty text means "not set" for every field.
#include <cstdint>
#include <string>

#include "platform/xml/XMLNode.h"

class Style {
public:
    explicit Style(const std::string& name);
    ~Style() = default;

    // Colour values use the GUI colour layout (red in the low byte); the
    // stored text form is "0x%08X" of red-green-blue, which is what CSS wants.
    void SetBackgroundColor(std::uint32_t color);
    void SetFontColor(std::uint32_t color);
    // False when the field is empty, does not convert, or out is null;
    // out is then left alone.
    bool GetBackgroundColor(std::uint32_t* out) const;
    bool GetFontColor(std::uint32_t* out) const;

    // The rule text for a page at `prefix` ("\" for the front page, "\Data\"
    // for artwork pages); empty when Name is empty. A value that does not
    // convert (hand-edited or imported file) drops only its own declaration.
    // Every "<" of the fields comes out as the CSS escape "\3C ", so no
    // field can end the page's style element, and an address that leaves
    // the portfolio folder is taken out (KeepAddressesInside). The
    // background is named as its file is, cut to what a file system takes.
    std::string ToCss(const std::string& prefix) const;

    void SaveToXml(IXMLNode parent) const;
    // False (and nothing changed) when the element's "Name" is not ours.
    bool LoadFromXml(const IXMLNode& element);
    // Copies everything but Name; false for null.
    bool CopyFrom(const Style* other);

    std::string Name;
    std::string FriendlyName;
    std::string FontFamily;
    std::string FontSize;
    std::string FontColor;
    std::string FontStyle;
    std::string TextAlign;
    std::string BackgroundColor;
    std::string BackgroundImage;
    std::string BackgroundRepeat;
    std::string AppendCss;
};
