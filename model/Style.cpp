#include "model/Style.h"

#include "model/CssAddresses.h"
#include "model/XmlHelpers.h"
#include "platform/rtl/FileName.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>

namespace {

// Integer text as the colour fields hold it: "0x" or "$" then hex digits,
// or plain decimal; an optional sign; nothing else around it.
std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFFFFFFull)
        return std::nullopt;
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

// A decimal number in either separator; the program's own files only hold
// whole numbers, but a hand-edited one may hold "12.5" or "12,5".
std::optional<double> ParseNumber(std::string text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.erase(0, 1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    for (char& c : text)
        if (c == ',')
            c = '.';
    if (!text.empty() && text.front() == '+')
        text.erase(0, 1);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                     std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Red and blue trade places between the GUI layout and the stored form.
std::uint32_t SwapRedBlue(std::uint32_t c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::string StoredColor(std::uint32_t color)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", SwapRedBlue(color & 0xFFFFFF));
    return buf;
}

bool ReadColor(const std::string& text, std::uint32_t* out)
{
    if (text.empty() || !out)
        return false;
    auto value = ParseInteger(text);
    if (!value)
        return false;
    *out = SwapRedBlue(static_cast<std::uint32_t>(*value) & 0xFFFFFF);
    return true;
}

// "#RRGGBB" of a stored colour text, or nothing when it does not convert.
std::optional<std::string> CssColor(const std::string& text)
{
    auto value = ParseInteger(text);
    if (!value)
        return std::nullopt;
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(*value & 0xFFFFFF));
    return std::string(buf);
}

// Keeps a file name from ending the quoted url early.
std::string CssQuoted(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n' || c == '\r') {
            out += c == '\n' ? "\\a " : "\\d ";
        } else {
            out += c;
        }
    }
    return out;
}

// The rule goes inside the page's style element, which any "</style"
// would end, letting the rest of an imported template's text run as markup
// and script. CSS reads the escape as the same character wherever "<" may
// stand (strings, selectors), so nothing a sound style means is lost.
std::string WithoutTagOpeners(const std::string& css)
{
    std::string out;
    out.reserve(css.size());
    for (char c : css) {
        if (c == '<')
            out += "\\3C ";
        else
            out += c;
    }
    return out;
}

} // namespace

Style::Style(const std::string& name) : Name(name) {}

void Style::SetBackgroundColor(std::uint32_t color) { BackgroundColor = StoredColor(color); }
void Style::SetFontColor(std::uint32_t color) { FontColor = StoredColor(color); }
bool Style::GetBackgroundColor(std::uint32_t* out) const { return ReadColor(BackgroundColor, out); }
bool Style::GetFontColor(std::uint32_t* out) const { return ReadColor(FontColor, out); }

std::string Style::ToCss(const std::string& prefix) const
{
    if (Name.empty())
        return {};
    std::string css = Name + " { ";
    if (!FontFamily.empty())
        css += "font-family:" + FontFamily + ";";
    if (!FontSize.empty()) {
        if (auto size = ParseNumber(FontSize)) {
            // to_chars rounds like printf("%.2f") in the C locale, ties to even
            char buf[64];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *size * 0.0625,
                                           std::chars_format::fixed, 2);
            if (ec == std::errc())
                css += "font-size:" + std::string(buf, end) + "em;";
        }
    }
    if (!FontColor.empty()) {
        if (auto color = CssColor(FontColor))
            css += "color:" + *color + ";";
    }
    if (FontStyle == "Normal")
        css += "font-style:normal;font-weight:normal;";
    else if (FontStyle == "Bold")
        css += "font-style:normal;font-weight:bold;";
    else if (FontStyle == "Italic")
        css += "font-style:italic;font-weight:normal;";
    if (!TextAlign.empty()) {
        std::string lower = TextAlign;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        css += "text-align:" + lower + ";";
    }
    if (!BackgroundImage.empty()) {
        // The file went into the folder under its cut name.
        const std::string file = CssQuoted(FitFileName(BackgroundImage));
        if (prefix == "\\")
            css += "background:url(\"Data/" + file + "\");";
        else if (prefix == "\\Data\\")
            css += "background:url(\"" + file + "\");";
    }
    if (BackgroundRepeat == "Normal")
        css += "background-repeat:no-repeat;";
    else if (BackgroundRepeat == "Tile")
        css += "background-repeat:repeat;";
    else if (BackgroundRepeat == "Horizontal")
        css += "background-repeat:repeat-x;";
    else if (BackgroundRepeat == "Vertical")
        css += "background-repeat:repeat-y;";
    if (!BackgroundColor.empty()) {
        if (auto color = CssColor(BackgroundColor))
            css += "background-color:" + *color + ";";
    }
    css += AppendCss;
    css += " }\r\n";
    // Artwork pages sit in the folder Data, one level under the portfolio.
    return WithoutTagOpeners(KeepAddressesInside(css, prefix == "\\Data\\" ? 1 : 0));
}

bool Style::CopyFrom(const Style* other)
{
    if (!other)
        return false;
    FriendlyName = other->FriendlyName;
    FontFamily = other->FontFamily;
    FontSize = other->FontSize;
    FontColor = other->FontColor;
    FontStyle = other->FontStyle;
    TextAlign = other->TextAlign;
    BackgroundColor = other->BackgroundColor;
    BackgroundImage = other->BackgroundImage;
    BackgroundRepeat = other->BackgroundRepeat;
    AppendCss = other->AppendCss;
    return true;
}

void Style::SaveToXml(IXMLNode parent) const
{
    if (Name.empty() || parent.IsNull())
        return;
    IXMLNode element = parent.AddChild("Style");
    element.AddChild("Name").SetText(Name);
    const std::pair<const char*, const std::string*> fields[] = {
        {"FriendlyName", &FriendlyName},       {"FontFamily", &FontFamily},
        {"FontSize", &FontSize},               {"FontColor", &FontColor},
        {"FontStyle", &FontStyle},             {"TextAlign", &TextAlign},
        {"BackgroundColor", &BackgroundColor}, {"BackgroundImage", &BackgroundImage},
        {"BackgroundRepeat", &BackgroundRepeat}, {"AppendCss", &AppendCss},
    };
    for (const auto& [tag, value] : fields)
        if (!value->empty())
            element.AddChild(tag).SetText(*value);
}

bool Style::LoadFromXml(const IXMLNode& element)
{
    if (GetChildValue(element, "Name") != Name)
        return false;
    FriendlyName = GetChildValue(element, "FriendlyName");
    FontFamily = GetChildValue(element, "FontFamily");
    FontSize = GetChildValue(element, "FontSize");
    FontColor = GetChildValue(element, "FontColor");
    FontStyle = GetChildValue(element, "FontStyle");
    TextAlign = GetChildValue(element, "TextAlign");
    BackgroundColor = GetChildValue(element, "BackgroundColor");
    BackgroundImage = GetChildValue(element, "BackgroundImage");
    // Names the template's file, whose name is cut the same way.
    if (!BackgroundImage.empty())
        BackgroundImage = FitFileName(BackgroundImage);
    BackgroundRepeat = GetChildValue(element, "BackgroundRepeat");
    AppendCss = GetChildValue(element, "AppendCss");
    return true;
}
