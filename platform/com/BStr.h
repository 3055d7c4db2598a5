#pragma once
// Length-prefixed UTF-16 strings as COM passes them. A BSTR points at the
// first character; the byte length is stored just before it and a zero
// terminator after it. Every module allocates and frees them the same way
// (malloc), so one module may free a string another made. A null BSTR is
// the empty string.
#include <cstdint>
#include <string>
#include <string_view>

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
// Frees a string; null is allowed.
void SysFreeString(BSTR text);
// Length in characters (0 for null).
uint32_t SysStringLen(BSTR text);
uint32_t SysStringByteLen(BSTR text);

// Conversions between the program's UTF-8 text and UTF-16. Invalid input
// bytes become U+FFFD, unpaired surrogates too.
std::u16string WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::u16string_view text);
// A zero-terminated UTF-16 text (null gives "").
std::string Utf8FromWide(const char16_t* text);

BSTR SysAllocStringUtf8(std::string_view text);

// Owns one BSTR.
class CComBSTR {
public:
    CComBSTR() = default;
    explicit CComBSTR(std::string_view utf8) : str_(SysAllocStringUtf8(utf8)) {}
    explicit CComBSTR(const char16_t* text) : str_(SysAllocString(text)) {}
    CComBSTR(const CComBSTR& other) : str_(SysAllocStringLen(other.str_, SysStringLen(other.str_))) {}
    CComBSTR& operator=(const CComBSTR& other)
    {
        if (this != &other) {
            SysFreeString(str_);
            str_ = SysAllocStringLen(other.str_, SysStringLen(other.str_));
        }
        return *this;
    }
    ~CComBSTR() { SysFreeString(str_); }
    operator BSTR() const { return str_; }
    BSTR* operator&() { return &str_; }
    uint32_t Length() const { return SysStringLen(str_); }
    std::string Utf8() const { return Utf8FromWide(str_); }

private:
    BSTR str_ = nullptr;
};
