#pragma once
// Wide-string (UTF-16) helpers of the archive library: conversions between
// UTF-16 and the 8-bit encodings that ZIP files carry, locale-free case
// mapping, path splitting, replacement and wildcard matching.
//
// Code pages are fixed tables so that names come out the same on every
// machine: the "ANSI" page is Windows-1252 and the "OEM" page is 437.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/Exception.h"

// Invalid UTF-7 input.
class EUniGeneralError : public Exception {
public:
    using Exception::Exception;
};

// A conversion ran out of output room.
class EUniInternalError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr unsigned CP_ANSI_1252 = 1252;
inline constexpr unsigned CP_OEM_437 = 437;
inline constexpr unsigned CP_UTF7 = 65000;
inline constexpr unsigned CP_UTF8 = 65001;

// The process's default ("ANSI") code page.
unsigned DefaultCodePage();

// UTF-16 <-> UTF-8. Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string WideToUTF8(std::u16string_view s);
std::u16string UTF8ToWide(std::string_view s);
// True when s is well-formed UTF-8.
bool IsValidUTF8(std::string_view s);

// Code-page conversions. 65000 is UTF-7, 65001 UTF-8, 1252 and 437 the fixed
// tables; any other page is treated as 1252. Characters the page cannot hold
// become "?".
std::string WideToCodePage(std::u16string_view s, unsigned codePage);
std::u16string CodePageToWide(std::string_view s, unsigned codePage);

std::string WideToAnsi(std::u16string_view s);
std::u16string AnsiToWide(std::string_view s);
std::string WideToOem(std::u16string_view s);
std::u16string OemToWide(std::string_view s);
// Whether every character of s has a place in the page (no "?" substitution).
bool CodePageCanHold(std::u16string_view s, unsigned codePage);

// UTF-7 (RFC 2152). Encoding passes the optional direct characters unencoded.
// Decoding raises EUniGeneralError("Invalid UTF7") on malformed input.
std::string WideToUTF7(std::u16string_view s);
std::u16string UTF7ToWide(std::string_view s);

// Locale-free case mapping of one UTF-16 unit. Lower case follows Unicode
// simple case folding for Latin-1, Latin Extended-A, Greek and Cyrillic, so
// two names equal when folded are the same name for every lookup.
char16_t WideCharLower(char16_t c);
char16_t WideCharUpper(char16_t c);
std::u16string WideLowerCase(std::u16string_view s);
std::u16string WideUpperCase(std::u16string_view s);
// Ordinal comparison (<0, 0, >0); the Text form ignores case as above.
int WideCompareStr(std::u16string_view a, std::u16string_view b);
int WideCompareText(std::u16string_view a, std::u16string_view b);
bool WideSameText(std::u16string_view a, std::u16string_view b);

// Path functions over file-system names: the only delimiter is "/"; there
// are no drives, so WideDriveOf is always empty.
std::u16string WidePathOf(std::u16string_view name);
std::u16string WideNameOf(std::u16string_view name);
std::u16string WideExtensionOf(std::u16string_view name);
std::u16string WideDriveOf(std::u16string_view name);
std::u16string WideFolderOf(std::u16string_view name);
// The path from the folder of baseName to destName ("../" per base folder
// that destName does not share).
std::u16string WideRelativePath(std::u16string_view baseName, std::u16string_view destName);
// 1-based index of the last character of s found in delimiters; 0 when none.
size_t WideLastDelimiterIndex(std::u16string_view delimiters, std::u16string_view s);

enum TWideReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
std::u16string WideReplace(std::u16string_view s, std::u16string_view oldPattern,
                           std::u16string_view newPattern, unsigned flags, bool wholeWord);

// Wildcard match: "*" any run, "?" one character; "*.*" matches every name.
bool MaskMatches(std::u16string_view name, std::u16string_view mask, bool ignoreCase);

// Handy literal conversion for callers that hold UTF-8.
inline std::u16string W(std::string_view utf8) { return UTF8ToWide(utf8); }
