#include "platform/com/Guid.h"

#include <cstdio>
#include <cstring>

#include "platform/com/BStr.h"

std::string GuidToString(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
        g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::u16string StringFromGUID(const GUID& guid) { return WideFromUtf8(GuidToString(guid)); }

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    if (!text)
        return CO_E_CLASSSTRING;
    const std::string narrow = Utf8FromWide(text);
    // Only the braced form names a class identifier; bare digits may be a ProgID.
    if (narrow.size() != 38 || !ParseGuid(narrow, clsid))
        return CO_E_CLASSSTRING;
    return S_OK;
}

HRESULT IIDFromString(const char16_t* text, IID* iid)
{
    if (!iid)
        return E_POINTER;
    return CLSIDFromString(text, iid) == S_OK ? S_OK : E_INVALIDARG;
}

size_t GuidHash::operator()(const GUID& g) const noexcept
{
    uint64_t a = 0, b = 0;
    std::memcpy(&a, &g, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
    return static_cast<size_t>(a * 0x9E3779B97F4A7C15ull ^ b);
}
