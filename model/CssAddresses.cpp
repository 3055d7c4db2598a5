#include "model/CssAddresses.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

bool IsNameChar(unsigned char c)
{
    return std::isalnum(c) || c == '-' || c == '_' || c >= 0x80;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

void AppendUtf8(std::string& out, unsigned value)
{
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        value = 0xFFFD;
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A reader of one sheet that copies what it passes over.
class Scanner {
public:
    Scanner(const std::string& css, int levelsUp) : css_(css), levelsUp_(levelsUp) {}

    std::string Run()
    {
        std::string out;
        out.reserve(css_.size());
        size_t i = 0;
        while (i < css_.size()) {
            const char c = css_[i];
            size_t end = i + 1;
            if (c == '/' && At(i + 1) == '*') {
                end = SkipComment(i);
            } else if (c == '"' || c == '\'') {
                std::string value;
                end = ReadString(i, value);
            } else if (c == '@') {
                std::string name;
                end = ReadName(i + 1, name);
                if (Lower(name) == "import") {
                    bool inside = true;
                    const size_t after = ReadImportTarget(end, inside);
                    if (!inside) {
                        i = SkipStatement(after);
                        continue;
                    }
                    end = after;
                }
            } else if (IsNameChar(static_cast<unsigned char>(c)) || (c == '\\' && At(i + 1) != '\n')) {
                std::string name;
                end = std::max(ReadName(i, name), i + 1);
                if (At(end) == '(') {
                    const std::string function = Lower(name);
                    bool inside = true;
                    if (function == "url") {
                        std::string value;
                        end = ReadUrl(end + 1, value);
                        inside = StaysInside(value);
                    } else if (TakesStringAddresses(function)) {
                        end = ReadFunction(end + 1, inside);
                    }
                    if (!inside) {
                        out += "none";
                        i = end;
                        continue;
                    }
                }
            }
            out.append(css_, i, end - i);
            i = end;
        }
        return out;
    }

private:
    char At(size_t i) const { return i < css_.size() ? css_[i] : '\0'; }

    size_t SkipComment(size_t i) const
    {
        const size_t close = css_.find("*/", i + 2);
        return close == std::string::npos ? css_.size() : close + 2;
    }

    size_t SkipSpace(size_t i) const
    {
        for (;;) {
            while (i < css_.size() && IsSpace(css_[i]))
                ++i;
            if (At(i) == '/' && At(i + 1) == '*')
                i = SkipComment(i);
            else
                return i;
        }
    }

    // An escape at i ("\"): its character goes to out; returns where it ends.
    size_t ReadEscape(size_t i, std::string& out) const
    {
        ++i;
        if (i >= css_.size())
            return i;
        if (std::isxdigit(static_cast<unsigned char>(css_[i]))) {
            unsigned value = 0;
            size_t j = i;
            while (j < css_.size() && j - i < 6 && std::isxdigit(static_cast<unsigned char>(css_[j])))
                value = value * 16 + static_cast<unsigned>(HexValue(css_[j++]));
            if (At(j) == '\r' && At(j + 1) == '\n')
                j += 2;
            else if (IsSpace(At(j)))
                ++j;
            AppendUtf8(out, value);
            return j;
        }
        out += css_[i];
        return i + 1;
    }

    size_t ReadName(size_t i, std::string& name) const
    {
        while (i < css_.size()) {
            if (css_[i] == '\\' && At(i + 1) != '\n' && i + 1 < css_.size())
                i = ReadEscape(i, name);
            else if (IsNameChar(static_cast<unsigned char>(css_[i])))
                name += css_[i++];
            else
                break;
        }
        return i;
    }

    // A string at i (its quote): the value it holds; returns where it ends.
    size_t ReadString(size_t i, std::string& value) const
    {
        const char quote = css_[i++];
        while (i < css_.size() && css_[i] != quote) {
            if (css_[i] == '\n')
                return i;
            if (css_[i] == '\\') {
                if (At(i + 1) == '\n')
                    i += 2;
                else
                    i = ReadEscape(i, value);
            } else {
                value += css_[i++];
            }
        }
        return i < css_.size() ? i + 1 : i;
    }

    // The argument of "url(" from i, just after the parenthesis; returns
    // where the address ends, after its ")".
    size_t ReadUrl(size_t i, std::string& value) const
    {
        i = SkipSpace(i);
        if (At(i) == '"' || At(i) == '\'')
            i = ReadString(i, value);
        else
            while (i < css_.size() && css_[i] != ')' && !IsSpace(css_[i])) {
                if (css_[i] == '\\')
                    i = ReadEscape(i, value);
                else
                    value += css_[i++];
            }
        // Whatever stands before the ")" makes a bad address, which a
        // reader skips as a whole.
        while (i < css_.size() && css_[i] != ')')
            ++i;
        return i < css_.size() ? i + 1 : i;
    }

    // From i, just after "@import": its string or url(); inside is false
    // when that address leaves the folder. Returns where the address ends.
    size_t ReadImportTarget(size_t i, bool& inside) const
    {
        i = SkipSpace(i);
        std::string value;
        if (At(i) == '"' || At(i) == '\'') {
            i = ReadString(i, value);
        } else {
            std::string name;
            const size_t end = ReadName(i, name);
            if (Lower(name) != "url" || At(end) != '(')
                return i;
            i = ReadUrl(end + 1, value);
        }
        inside = StaysInside(value);
        return i;
    }

    // Past the ";" that ends a statement begun before i, or up to the "}"
    // of the block it stands in.
    size_t SkipStatement(size_t i) const
    {
        while (i < css_.size()) {
            const char c = css_[i];
            if (c == ';')
                return i + 1;
            if (c == '}')
                return i;
            if (c == '"' || c == '\'') {
                std::string value;
                i = ReadString(i, value);
            } else if (c == '/' && At(i + 1) == '*') {
                i = SkipComment(i);
            } else {
                ++i;
            }
        }
        return i;
    }

    static bool TakesStringAddresses(const std::string& function)
    {
        const std::string_view name(function);
        return name == "image" || (name.size() >= 9 && name.substr(name.size() - 9) == "image-set");
    }

    // The arguments of a function whose strings are addresses, from just
    // after its "("; inside is false when one of them leaves the folder.
    // Returns where the function ends, after its ")".
    size_t ReadFunction(size_t i, bool& inside) const
    {
        int depth = 1;
        while (i < css_.size() && depth > 0) {
            const char c = css_[i];
            if (c == '/' && At(i + 1) == '*') {
                i = SkipComment(i);
            } else if (c == '"' || c == '\'') {
                std::string value;
                i = ReadString(i, value);
                inside = inside && StaysInside(value);
            } else if (IsNameChar(static_cast<unsigned char>(c)) || c == '\\') {
                std::string name;
                const size_t end = ReadName(i, name);
                if (end == i) {
                    ++i;
                } else if (At(end) == '(' && Lower(name) == "url") {
                    std::string value;
                    i = ReadUrl(end + 1, value);
                    inside = inside && StaysInside(value);
                } else {
                    i = end;
                }
            } else {
                if (c == '(')
                    ++depth;
                else if (c == ')')
                    --depth;
                ++i;
            }
        }
        return i;
    }

    bool StaysInside(std::string address) const
    {
        size_t start = 0;
        while (start < address.size() && IsSpace(address[start]))
            ++start;
        address.erase(0, start);
        while (!address.empty() && IsSpace(address.back()))
            address.pop_back();
        if (address.empty() || address.front() == '#')
            return true;
        for (char& c : address)
            if (c == '\\')
                c = '/';
        if (address.front() == '/')
            return false;
        // A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
        const size_t colon = address.find(':');
        if (colon != std::string::npos && std::isalpha(static_cast<unsigned char>(address.front()))) {
            bool scheme = true;
            for (size_t k = 1; k < colon && scheme; ++k)
                scheme = std::isalnum(static_cast<unsigned char>(address[k])) || address[k] == '+'
                    || address[k] == '-' || address[k] == '.';
            if (scheme)
                return Lower(address.substr(0, colon)) == "data";
        }
        if (const size_t cut = address.find_first_of("?#"); cut != std::string::npos)
            address.erase(cut);
        // Browsers take "%2e%2e" for "..": every escape is read before the
        // path is walked, so an escaped separator counts as one too.
        std::string path;
        for (size_t k = 0; k < address.size(); ++k) {
            if (address[k] == '%' && k + 2 < address.size() && std::isxdigit(static_cast<unsigned char>(address[k + 1]))
                && std::isxdigit(static_cast<unsigned char>(address[k + 2]))) {
                path += static_cast<char>(HexValue(address[k + 1]) * 16 + HexValue(address[k + 2]));
                k += 2;
            } else {
                path += address[k];
            }
        }
        std::replace(path.begin(), path.end(), '\\', '/');
        int depth = 0;
        size_t from = 0;
        while (from <= path.size()) {
            size_t to = path.find('/', from);
            if (to == std::string::npos)
                to = path.size();
            const std::string_view segment(path.data() + from, to - from);
            if (segment == "..") {
                if (--depth < -levelsUp_)
                    return false;
            } else if (!segment.empty() && segment != ".") {
                ++depth;
            }
            from = to + 1;
        }
        return true;
    }

    const std::string& css_;
    const int levelsUp_;
};

} // namespace

std::string KeepAddressesInside(const std::string& css, int levelsUp)
{
    return Scanner(css, levelsUp).Run();
}
