#include "model/XmlHelpers.h"

#include <optional>
#include <string_view>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EqualsIgnoringCase(std::string_view text, std::string_view word)
{
    if (text.size() != word.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

std::optional<bool> TextToBool(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (EqualsIgnoringCase(text, "true"))
        return true;
    if (EqualsIgnoringCase(text, "false"))
        return false;

    // An integer of any length: only whether a digit is non-zero matters, so
    // no number is too long to convert.
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    bool nonZero = false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        nonZero = nonZero || c != '0';
    }
    return nonZero;
}

} // namespace

std::string GetChildValue(const IXMLNode& node, const std::string& name)
{
    return node.ChildValue(name).value_or(std::string());
}

bool GetChildBool(const IXMLNode& node, const std::string& name, bool defaultValue)
{
    const XMLValue value = node.ChildValue(name);
    if (!value)
        return defaultValue;
    return TextToBool(*value).value_or(defaultValue);
}
