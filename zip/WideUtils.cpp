#include "zip/WideUtils.h"

#include "platform/rtl/Base64.h"

#include <array>
#include <vector>

namespace {

const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// One 8-bit page: bytes to UTF-16 and back (0 in toByte means "no place",
// except for U+0000 itself).
struct CodePageTable {
    std::array<char16_t, 256> toWide{};
    std::vector<uint8_t> toByte = std::vector<uint8_t>(65536, 0);
    std::vector<bool> has = std::vector<bool>(65536, false);

    explicit CodePageTable(const char16_t* high, int highStart) {
        for (int b = 0; b < 256; ++b)
            toWide[b] = b < highStart ? char16_t(b) : high[b - highStart];
        for (int b = 255; b >= 0; --b) {
            toByte[toWide[b]] = uint8_t(b);
            has[toWide[b]] = true;
        }
    }
};

const CodePageTable& Cp1252() {
    static const CodePageTable table = [] {
        // Above 0x9F the page is Latin-1.
        static char16_t high[128];
        for (int i = 0; i < 32; ++i)
            high[i] = kCp1252High[i];
        for (int i = 32; i < 128; ++i)
            high[i] = char16_t(0x80 + i);
        return CodePageTable(high, 0x80);
    }();
    return table;
}

const CodePageTable& Cp437() {
    static const CodePageTable table(kCp437High, 0x80);
    return table;
}

const CodePageTable& TableFor(unsigned codePage) {
    return codePage == CP_OEM_437 ? Cp437() : Cp1252();
}

// Case tables. Lower is built from the upper/lower pairs of the covered
// blocks, then the extra simple foldings of characters that are already
// lower case (micro sign, long s, final sigma, Greek symbol forms).
struct CaseTables {
    std::vector<char16_t> lower = std::vector<char16_t>(65536);
    std::vector<char16_t> upper = std::vector<char16_t>(65536);

    void Pair(char32_t up, char32_t low) {
        lower[up] = char16_t(low);
        if (upper[low] == low)
            upper[low] = char16_t(up);
    }
    void Range(char32_t first, char32_t last, int delta) {
        for (char32_t c = first; c <= last; ++c)
            Pair(c, c + delta);
    }
    // Alternating pairs: upper at first, first + 2, ...; lower right after.
    void Alternating(char32_t first, char32_t last) {
        for (char32_t c = first; c + 1 <= last; c += 2)
            Pair(c, c + 1);
    }

    CaseTables() {
        for (int c = 0; c < 65536; ++c) {
            lower[c] = char16_t(c);
            upper[c] = char16_t(c);
        }
        Range('A', 'Z', 32);
        Range(0xC0, 0xD6, 32);
        Range(0xD8, 0xDE, 32);
        // Latin Extended-A
        Alternating(0x100, 0x12F);
        Pair(0x130, 'i');
        Alternating(0x132, 0x137);
        Alternating(0x139, 0x148);
        Alternating(0x14A, 0x177);
        Pair(0x178, 0xFF);
        Alternating(0x179, 0x17E);
        // Greek
        Alternating(0x370, 0x373);
        Pair(0x376, 0x377);
        Pair(0x37F, 0x3F3);
        Pair(0x386, 0x3AC);
        Range(0x388, 0x38A, 37);
        Pair(0x38C, 0x3CC);
        Range(0x38E, 0x38F, 63);
        Range(0x391, 0x3A1, 32);
        Range(0x3A3, 0x3AB, 32);
        Pair(0x3CF, 0x3D7);
        Alternating(0x3D8, 0x3EF);
        Pair(0x3F4, 0x3B8);
        Pair(0x3F7, 0x3F8);
        Pair(0x3F9, 0x3F2);
        Pair(0x3FA, 0x3FB);
        Range(0x3FD, 0x3FF, -130);
        // Cyrillic
        Range(0x400, 0x40F, 80);
        Range(0x410, 0x42F, 32);
        Alternating(0x460, 0x481);
        Alternating(0x48A, 0x4BF);
        Pair(0x4C0, 0x4CF);
        Alternating(0x4C1, 0x4CE);
        Alternating(0x4D0, 0x52F);
        // Foldings of lower-case letters onto their usual form.
        lower[0xB5] = 0x3BC;
        lower[0x17F] = 's';
        lower[0x3C2] = 0x3C3;
        lower[0x3D0] = 0x3B2;
        lower[0x3D1] = 0x3B8;
        lower[0x3D5] = 0x3C6;
        lower[0x3D6] = 0x3C0;
        lower[0x3F0] = 0x3BA;
        lower[0x3F1] = 0x3C1;
        lower[0x3F5] = 0x3B5;
    }
};

const CaseTables& Cases() {
    static const CaseTables tables;
    return tables;
}

void AppendUTF8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void AppendUTF16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += char16_t(cp);
    } else {
        cp -= 0x10000;
        out += char16_t(0xD800 + (cp >> 10));
        out += char16_t(0xDC00 + (cp & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at s[i]; returns false (and the length to skip)
// for a malformed one.
bool DecodeUTF8(std::string_view s, size_t i, char32_t& cp, size_t& len) {
    unsigned char b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        len = 1;
        return true;
    }
    size_t need;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        need = 1;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        need = 2;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        need = 3;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        len = 1;
        return false;
    }
    size_t j = 1;
    for (; j <= need; ++j) {
        if (i + j >= s.size())
            break;
        unsigned char b = static_cast<unsigned char>(s[i + j]);
        if ((b & 0xC0) != 0x80)
            break;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (j <= need) {
        len = j;
        return false;
    }
    len = need + 1;
    return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

bool Utf7Direct(char16_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    if (c == '\t' || c == '\r' || c == '\n' || c == ' ')
        return true;
    return c < 0x80 && std::u16string_view(u"'(),-./:?!\"#$%&*;<=>@[]^_`{|}").find(c) !=
                           std::u16string_view::npos;
}

bool IsWordBoundaryChar(char16_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0xBF) || c == 0xD7 || c == 0xF7)
        return true;
    if (c < 0x80)
        return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    return (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F);
}

bool MatchFrom(std::u16string_view name, size_t n, std::u16string_view mask, size_t m,
               bool ignoreCase) {
    for (;;) {
        if (mask.substr(m) == u"*")
            return true;
        if (n == name.size())
            return m == mask.size();
        if (m == mask.size())
            return false;
        char16_t mc = mask[m];
        if (mc == '*') {
            for (size_t k = n; k < name.size(); ++k) {
                if (MatchFrom(name, k, mask, m + 1, ignoreCase))
                    return true;
            }
            return false;
        }
        if (mc != '?') {
            char16_t nc = name[n];
            if (ignoreCase) {
                mc = WideCharUpper(WideCharLower(mc));
                nc = WideCharUpper(WideCharLower(nc));
            }
            if (mc != nc)
                return false;
        }
        ++n;
        ++m;
    }
}

std::vector<std::u16string_view> SplitFolders(std::u16string_view folder) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    while (start < folder.size()) {
        size_t slash = folder.find(u'/', start);
        if (slash == std::u16string_view::npos) {
            parts.push_back(folder.substr(start));
            break;
        }
        parts.push_back(folder.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

} // namespace

unsigned DefaultCodePage() { return CP_ANSI_1252; }

std::string WideToUTF8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUTF8(out, c);
    }
    return out;
}

std::u16string UTF8ToWide(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t len;
        if (DecodeUTF8(s, i, cp, len))
            AppendUTF16(out, cp);
        else
            out += char16_t(0xFFFD);
        i += len;
    }
    return out;
}

bool IsValidUTF8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t len;
        if (!DecodeUTF8(s, i, cp, len))
            return false;
        i += len;
    }
    return true;
}

std::string WideToCodePage(std::u16string_view s, unsigned codePage) {
    if (codePage == CP_UTF7)
        return WideToUTF7(s);
    if (codePage == CP_UTF8)
        return WideToUTF8(s);
    const CodePageTable& table = TableFor(codePage);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (table.has[c]) {
            out += char(table.toByte[c]);
        } else {
            out += '?';
            // A surrogate pair is one character and so one "?".
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
                s[i + 1] <= 0xDFFF)
                ++i;
        }
    }
    return out;
}

std::u16string CodePageToWide(std::string_view s, unsigned codePage) {
    if (codePage == CP_UTF7)
        return UTF7ToWide(s);
    if (codePage == CP_UTF8)
        return UTF8ToWide(s);
    const CodePageTable& table = TableFor(codePage);
    std::u16string out;
    out.reserve(s.size());
    for (char c : s)
        out += table.toWide[static_cast<unsigned char>(c)];
    return out;
}

bool CodePageCanHold(std::u16string_view s, unsigned codePage) {
    if (codePage == CP_UTF7 || codePage == CP_UTF8)
        return true;
    const CodePageTable& table = TableFor(codePage);
    for (char16_t c : s) {
        if (!table.has[c])
            return false;
    }
    return true;
}

std::string WideToAnsi(std::u16string_view s) { return WideToCodePage(s, CP_ANSI_1252); }
std::u16string AnsiToWide(std::string_view s) { return CodePageToWide(s, CP_ANSI_1252); }
std::string WideToOem(std::u16string_view s) { return WideToCodePage(s, CP_OEM_437); }
std::u16string OemToWide(std::string_view s) { return CodePageToWide(s, CP_OEM_437); }

std::string WideToUTF7(std::u16string_view s) {
    std::string out;
    bool shifted = false;
    uint32_t bits = 0;
    int bitCount = 0;
    auto flush = [&] {
        if (bitCount > 0)
            out += kBase64Alphabet[(bits << (6 - bitCount)) & 0x3F];
        bits = 0;
        bitCount = 0;
    };
    for (char16_t c : s) {
        if (Utf7Direct(c)) {
            if (shifted) {
                flush();
                if (Base64Value(c) >= 0 || c == '-')
                    out += '-';
                shifted = false;
            }
            out += char(c);
        } else if (c == '+' && !shifted) {
            out += "+-";
        } else {
            if (!shifted) {
                out += '+';
                shifted = true;
            }
            bits = (bits << 16) | c;
            bitCount += 16;
            while (bitCount >= 6) {
                bitCount -= 6;
                out += kBase64Alphabet[(bits >> bitCount) & 0x3F];
            }
            bits &= (1u << bitCount) - 1;
        }
    }
    if (shifted)
        flush();
    return out;
}

std::u16string UTF7ToWide(std::string_view s) {
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b > 127)
            throw EUniGeneralError("Invalid UTF7");
        if (b != '+') {
            out += char16_t(b);
            ++i;
            continue;
        }
        if (i + 1 < s.size() && s[i + 1] == '-') {
            out += u'+';
            i += 2;
            continue;
        }
        ++i;
        uint32_t bits = 0;
        int bitCount = 0;
        bool produced = false;
        while (i < s.size()) {
            unsigned char r = static_cast<unsigned char>(s[i]);
            if (r > 127)
                throw EUniGeneralError("Invalid UTF7");
            int v = Base64Value(r);
            if (v < 0)
                break;
            bits = (bits << 6) | unsigned(v);
            bitCount += 6;
            if (bitCount >= 16) {
                bitCount -= 16;
                out += char16_t((bits >> bitCount) & 0xFFFF);
                bits &= (1u << bitCount) - 1;
                produced = true;
            }
            ++i;
        }
        if (!produced || (bits & ((1u << bitCount) - 1)) != 0)
            throw EUniGeneralError("Invalid UTF7");
        if (i < s.size() && s[i] == '-')
            ++i;
    }
    return out;
}

char16_t WideCharLower(char16_t c) { return Cases().lower[c]; }
char16_t WideCharUpper(char16_t c) { return Cases().upper[c]; }

std::u16string WideLowerCase(std::u16string_view s) {
    const CaseTables& t = Cases();
    std::u16string out(s);
    for (char16_t& c : out)
        c = t.lower[c];
    return out;
}

std::u16string WideUpperCase(std::u16string_view s) {
    const CaseTables& t = Cases();
    std::u16string out(s);
    for (char16_t& c : out)
        c = t.upper[c];
    return out;
}

int WideCompareStr(std::u16string_view a, std::u16string_view b) {
    int r = a.compare(b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int WideCompareText(std::u16string_view a, std::u16string_view b) {
    const CaseTables& t = Cases();
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = t.lower[a[i]];
        char16_t y = t.lower[b[i]];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool WideSameText(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && WideCompareText(a, b) == 0;
}

std::u16string WidePathOf(std::u16string_view name) {
    size_t p = name.rfind(u'/');
    return p == std::u16string_view::npos ? std::u16string() : std::u16string(name.substr(0, p + 1));
}

std::u16string WideNameOf(std::u16string_view name) {
    size_t p = name.rfind(u'/');
    return std::u16string(p == std::u16string_view::npos ? name : name.substr(p + 1));
}

std::u16string WideExtensionOf(std::u16string_view name) {
    size_t dot = name.rfind(u'.');
    size_t slash = name.rfind(u'/');
    if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash))
        return std::u16string();
    return std::u16string(name.substr(dot));
}

std::u16string WideDriveOf(std::u16string_view) { return std::u16string(); }

std::u16string WideFolderOf(std::u16string_view name) {
    std::u16string path = WidePathOf(name);
    std::u16string drive = WideDriveOf(name);
    return path.substr(std::min(drive.size(), path.size()));
}

std::u16string WideRelativePath(std::u16string_view baseName, std::u16string_view destName) {
    std::u16string baseFolder = WideFolderOf(baseName);
    std::u16string destFolder = WideFolderOf(destName);
    bool baseAbsolute = !baseFolder.empty() && baseFolder[0] == '/';
    bool destAbsolute = !destFolder.empty() && destFolder[0] == '/';
    if (baseAbsolute != destAbsolute)
        return std::u16string(destName);
    auto base = SplitFolders(baseFolder);
    auto dest = SplitFolders(destFolder);
    size_t common = 0;
    while (common < base.size() && common < dest.size() && base[common] == dest[common])
        ++common;
    std::u16string out;
    for (size_t i = common; i < base.size(); ++i)
        out += u"../";
    for (size_t i = common; i < dest.size(); ++i) {
        out += dest[i];
        out += u'/';
    }
    return out + WideNameOf(destName);
}

size_t WideLastDelimiterIndex(std::u16string_view delimiters, std::u16string_view s) {
    for (size_t i = s.size(); i > 0; --i) {
        if (delimiters.find(s[i - 1]) != std::u16string_view::npos)
            return i;
    }
    return 0;
}

std::u16string WideReplace(std::u16string_view s, std::u16string_view oldPattern,
                           std::u16string_view newPattern, unsigned flags, bool wholeWord) {
    if (oldPattern.empty())
        return std::u16string(s);
    bool ignoreCase = flags & rfIgnoreCase;
    std::u16string hay = ignoreCase ? WideUpperCase(WideLowerCase(s)) : std::u16string(s);
    std::u16string needle =
        ignoreCase ? WideUpperCase(WideLowerCase(oldPattern)) : std::u16string(oldPattern);
    std::u16string out;
    size_t pos = 0;
    size_t from = 0;
    while (from <= hay.size()) {
        size_t hit = hay.find(needle, from);
        if (hit == std::u16string::npos)
            break;
        size_t end = hit + needle.size();
        if (wholeWord) {
            bool before = hit == 0 || IsWordBoundaryChar(s[hit - 1]);
            bool after = end == s.size() || IsWordBoundaryChar(s[end]);
            if (!before || !after) {
                from = hit + 1;
                continue;
            }
        }
        out.append(s.substr(pos, hit - pos));
        out.append(newPattern);
        pos = end;
        from = end;
        if (!(flags & rfReplaceAll))
            break;
    }
    out.append(s.substr(pos));
    return out;
}

bool MaskMatches(std::u16string_view name, std::u16string_view mask, bool ignoreCase) {
    if (mask == u"*.*")
        return true;
    return MatchFrom(name, 0, mask, 0, ignoreCase);
}
