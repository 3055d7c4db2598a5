#include "platform/com/BStr.h"

#include <cstdlib>
#include <cstring>

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length)
{
    if (length > (UINT32_MAX - 8) / 2)
        return nullptr;
    auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    const uint32_t bytes = length * sizeof(OLECHAR);
    std::memcpy(block, &bytes, sizeof bytes);
    auto* str = reinterpret_cast<BSTR>(block + sizeof(uint32_t));
    if (text)
        std::memcpy(str, text, bytes);
    else
        std::memset(str, 0, bytes);
    str[length] = 0;
    return str;
}

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<char*>(text) - sizeof(uint32_t));
}

uint32_t SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes;
}

uint32_t SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

std::u16string WideFromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else {
            const int extra = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
            if (extra > 0 && i + extra < s.size() + 1 && s.size() - i > size_t(extra)) {
                char32_t v = c & (0x3F >> extra);
                bool ok = true;
                for (int k = 1; ok && k <= extra; ++k) {
                    const auto cc = static_cast<unsigned char>(s[i + k]);
                    ok = (cc & 0xC0) == 0x80;
                    v = (v << 6) | (cc & 0x3F);
                }
                const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
                if (ok && v >= minimum && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    cp = v;
                    len = size_t(extra) + 1;
                }
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string Utf8FromWide(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string Utf8FromWide(const char16_t* text)
{
    return text ? Utf8FromWide(std::u16string_view(text)) : std::string();
}

BSTR SysAllocStringUtf8(std::string_view text)
{
    const std::u16string wide = WideFromUtf8(text);
    return SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
}
