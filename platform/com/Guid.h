#pragma once
// 128-bit identifiers of classes and interfaces, written as
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/HResult.h"

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend constexpr bool operator==(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace guid_detail {
constexpr int HexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}
constexpr uint64_t Hex(std::string_view s, bool& ok)
{
    uint64_t v = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0)
            ok = false;
        v = v * 16 + static_cast<uint64_t>(d < 0 ? 0 : d);
    }
    return v;
}
} // namespace guid_detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional); false on
// anything else, leaving *out untouched.
constexpr bool ParseGuid(std::string_view text, GUID* out)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}')
            return false;
        text = text.substr(1, 36);
    }
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return false;
    bool ok = true;
    GUID g;
    g.Data1 = static_cast<uint32_t>(guid_detail::Hex(text.substr(0, 8), ok));
    g.Data2 = static_cast<uint16_t>(guid_detail::Hex(text.substr(9, 4), ok));
    g.Data3 = static_cast<uint16_t>(guid_detail::Hex(text.substr(14, 4), ok));
    for (int i = 0; i < 2; ++i)
        g.Data4[i] = static_cast<uint8_t>(guid_detail::Hex(text.substr(19 + 2 * i, 2), ok));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<uint8_t>(guid_detail::Hex(text.substr(24 + 2 * i, 2), ok));
    if (!ok)
        return false;
    *out = g;
    return true;
}

// A GUID from a literal known at compile time; a malformed literal does not
// compile.
consteval GUID MakeGuid(std::string_view text)
{
    GUID g;
    if (!ParseGuid(text, &g))
        throw "malformed GUID literal";
    return g;
}

// "{6B34E5B0-773C-48B9-AB80-EEB90174AE83}": upper case, with braces.
std::string GuidToString(const GUID& guid);

// The platform's names for the same two operations; UTF-16 text as COM
// passes it.
std::u16string StringFromGUID(const GUID& guid);
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);
HRESULT IIDFromString(const char16_t* text, IID* iid);

struct GuidHash {
    size_t operator()(const GUID& g) const noexcept;
};
