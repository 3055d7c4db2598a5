#include "zip/StringFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/rtl/Base64.h"

namespace {

// The control and punctuation characters that hexadecimal text may carry.
#define HEX_PUNCTUATION "()[]{},;:-_/\\*+\"'\t\n\r"

std::string UuAlphabet()
{
    std::string a = "`";
    for (char c = 0x21; c <= 0x5F; ++c)
        a += c;
    return a;
}

// Values of the first 64 characters of an alphabet; -1 for the others.
struct ValueTable {
    int values[256];
    explicit ValueTable(std::string_view alphabet)
    {
        std::fill(std::begin(values), std::end(values), -1);
        for (size_t i = 0; i < alphabet.size() && i < 64; ++i)
            values[static_cast<uint8_t>(alphabet[i])] = static_cast<int>(i);
    }
    int operator[](char c) const { return values[static_cast<uint8_t>(c)]; }
};

constexpr int kMaxLineBytes = 45;

// Walks UU/XX text line by line: a count character, then 4 characters per
// 3 bytes (rounded up). Characters outside the alphabet are skipped. Calls
// `line(count, values)` for each complete line; returns false when the text
// ends inside a line or a count is too large.
template <class OnLine>
bool WalkLines(const char* text, size_t length, const ValueTable& table, OnLine line)
{
    size_t i = 0;
    auto next = [&](int& value) {
        while (i < length) {
            int v = table[text[i++]];
            if (v >= 0) {
                value = v;
                return true;
            }
        }
        return false;
    };
    int count = 0;
    while (next(count)) {
        if (count > kMaxLineBytes)
            return false;
        int values[60];
        int needed = (count + 2) / 3 * 4;
        for (int k = 0; k < needed; ++k)
            if (!next(values[k]))
                return false;
        line(count, values);
    }
    return true;
}

struct Registry {
    std::mutex lock;
    std::vector<const TStringFormat*> formats = {
        &TStringFormat::Instance(),      &TStringFormat_HEX::Instance(), &TStringFormat_HEXL::Instance(),
        &TStringFormat_MIME64::Instance(), &TStringFormat_UU::Instance(),  &TStringFormat_XX::Instance(),
    };
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}

std::string Printf(const char* pattern, const std::string& value)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, value.c_str());
    return buffer;
}

const TStringFormat& FormatOrThrow(int identifier)
{
    const TStringFormat* format = FindStringFormat(identifier);
    if (format == nullptr) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "String Format \"%d\" not exists.", identifier);
        throw EStringFormat(buffer);
    }
    return *format;
}

}  // namespace

// ---- copy ----------------------------------------------------------------

std::string TStringFormat::Decode(const char* text, size_t length) const { return std::string(text, length); }

std::string TStringFormat::Encode(const uint8_t* bytes, size_t length) const
{
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

std::string TStringFormat::DisplayName() const { return "copy Input to Output"; }
int TStringFormat::Identifier() const { return kFormatCopy; }
bool TStringFormat::Accepts(const char*, size_t, bool) const { return true; }

const TStringFormat& TStringFormat::Instance()
{
    static const TStringFormat format;
    return format;
}

// ---- hexadecimal -----------------------------------------------------------

std::string TStringFormat_HEX::Decode(const char* text, size_t length) const
{
    std::string out;
    int high = -1;
    bool prefixSeen = false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c == 'X' || c == 'x' || c == '$') {
            // The first prefix ("0x1A", "$1A") throws away what came before it.
            if (!prefixSeen) {
                prefixSeen = true;
                out.clear();
                high = -1;
            }
            continue;
        }
        if (nibble < 0)
            continue;
        if (high < 0) {
            high = nibble;
        } else {
            out += static_cast<char>((high << 4) | nibble);
            high = -1;
        }
    }
    return out;
}

std::string TStringFormat_HEX::Encode(const uint8_t* bytes, size_t length) const
{
    std::string_view digits = Alphabet();
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string TStringFormat_HEX::DisplayName() const { return "Hexadecimal"; }
int TStringFormat_HEX::Identifier() const { return kFormatHEX; }

bool TStringFormat_HEX::Accepts(const char* data, size_t length, bool isText) const
{
    if (!isText)
        return true;
    std::string_view alphabet = Alphabet(), separators = Separators();
    for (size_t i = 0; i < length; ++i)
        if (alphabet.find(data[i]) == std::string_view::npos && separators.find(data[i]) == std::string_view::npos)
            return false;
    return true;
}

std::string_view TStringFormat_HEX::Alphabet() const { return "0123456789ABCDEFX$"; }
std::string_view TStringFormat_HEX::Separators() const { return " abcdefhHx" HEX_PUNCTUATION; }

const TStringFormat_HEX& TStringFormat_HEX::Instance()
{
    static const TStringFormat_HEX format;
    return format;
}

std::string TStringFormat_HEXL::DisplayName() const { return "Hexadecimal lowercase"; }
int TStringFormat_HEXL::Identifier() const { return kFormatHEXL; }
std::string_view TStringFormat_HEXL::Alphabet() const { return "0123456789abcdefX$"; }
std::string_view TStringFormat_HEXL::Separators() const { return " ABCDEFhHx" HEX_PUNCTUATION; }

const TStringFormat_HEXL& TStringFormat_HEXL::Instance()
{
    static const TStringFormat_HEXL format;
    return format;
}

// ---- base64 ------------------------------------------------------------------

std::string TStringFormat_MIME64::Decode(const char* text, size_t length) const
{
    static const ValueTable table(Instance().Alphabet());
    std::string chars;
    for (size_t i = 0; i < length; ++i)
        if (table[text[i]] >= 0 || text[i] == '=')
            chars += text[i];
    chars.append((4 - chars.size() % 4) % 4, '=');

    std::string out;
    for (size_t g = 0; g < chars.size(); g += 4) {
        uint32_t bits = 0;
        int present = 0;
        for (int k = 0; k < 4; ++k) {
            int v = table[chars[g + k]];
            if (v >= 0)
                ++present;
            bits = (bits << 6) | uint32_t(v < 0 ? 0 : v);
        }
        // Every "=" shortens the group; n characters carry n - 1 bytes.
        for (int k = 0; k < present - 1; ++k)
            out += static_cast<char>(bits >> (16 - 8 * k));
    }
    return out;
}

std::string TStringFormat_MIME64::Encode(const uint8_t* bytes, size_t length) const
{
    return Base64Encode(bytes, length);
}

std::string TStringFormat_MIME64::DisplayName() const { return "MIME Base 64"; }
int TStringFormat_MIME64::Identifier() const { return kFormatMIME64; }

std::string_view TStringFormat_MIME64::Alphabet() const
{
    return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
}

std::string_view TStringFormat_MIME64::Separators() const { return " $()[]{},;:-_\\*\"'\t\n\r"; }

const TStringFormat_MIME64& TStringFormat_MIME64::Instance()
{
    static const TStringFormat_MIME64 format;
    return format;
}

// ---- UU and XX ---------------------------------------------------------------

std::string TStringFormat_UU::Decode(const char* text, size_t length) const
{
    ValueTable table(Alphabet());
    std::string out;
    // A text cut inside a line keeps the lines before it.
    WalkLines(text, length, table, [&](int count, const int* values) {
        for (int g = 0, done = 0; done < count; g += 4) {
            uint32_t bits = (uint32_t(values[g]) << 18) | (uint32_t(values[g + 1]) << 12) |
                            (uint32_t(values[g + 2]) << 6) | uint32_t(values[g + 3]);
            for (int k = 0; k < 3 && done < count; ++k, ++done)
                out += static_cast<char>(bits >> (16 - 8 * k));
        }
    });
    return out;
}

std::string TStringFormat_UU::Encode(const uint8_t* bytes, size_t length) const
{
    std::string_view alphabet = Alphabet();
    std::string out;
    for (size_t at = 0; at < length; at += kMaxLineBytes) {
        size_t count = std::min<size_t>(kMaxLineBytes, length - at);
        out += alphabet[count];
        for (size_t g = 0; g < count; g += 3) {
            uint32_t bits = uint32_t(bytes[at + g]) << 16;
            if (g + 1 < count)
                bits |= uint32_t(bytes[at + g + 1]) << 8;
            if (g + 2 < count)
                bits |= bytes[at + g + 2];
            for (int k = 0; k < 4; ++k)
                out += alphabet[(bits >> (18 - 6 * k)) & 63];
        }
    }
    return out;
}

std::string TStringFormat_UU::DisplayName() const { return "UU Coding"; }
int TStringFormat_UU::Identifier() const { return kFormatUU; }

bool TStringFormat_UU::Accepts(const char* data, size_t length, bool isText) const
{
    if (!isText)
        return true;
    if (!TStringFormat_HEX::Accepts(data, length, isText))
        return false;
    return WalkLines(data, length, ValueTable(Alphabet()), [](int, const int*) {});
}

std::string_view TStringFormat_UU::Alphabet() const
{
    static const std::string alphabet = UuAlphabet();
    return alphabet;
}

std::string_view TStringFormat_UU::Separators() const { return " \t\n\r"; }

const TStringFormat_UU& TStringFormat_UU::Instance()
{
    static const TStringFormat_UU format;
    return format;
}

std::string TStringFormat_XX::DisplayName() const { return "XX Coding"; }
int TStringFormat_XX::Identifier() const { return kFormatXX; }

std::string_view TStringFormat_XX::Alphabet() const
{
    return "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}

std::string_view TStringFormat_XX::Separators() const { return " \"()[];'\t\n\r"; }

const TStringFormat_XX& TStringFormat_XX::Instance()
{
    static const TStringFormat_XX format;
    return format;
}

// ---- registry and conversions --------------------------------------------------

void RegisterStringFormat(const TStringFormat* format)
{
    if (format == nullptr)
        return;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (std::find(r.formats.begin(), r.formats.end(), format) == r.formats.end())
        r.formats.push_back(format);
}

void UnregisterStringFormat(const TStringFormat* format)
{
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.formats.erase(std::remove(r.formats.begin(), r.formats.end(), format), r.formats.end());
}

const TStringFormat* FindStringFormat(int identifier)
{
    if (identifier == kFormatDefault)
        identifier = kFormatMIME64;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const TStringFormat* format : r.formats)
        if (format->Identifier() == identifier)
            return format;
    return nullptr;
}

std::string FormatToText(const void* bytes, ptrdiff_t length, int identifier)
{
    if (bytes != nullptr && length < 0)
        length = static_cast<ptrdiff_t>(std::strlen(static_cast<const char*>(bytes)));
    if (bytes == nullptr || length <= 0 || identifier == kFormatNone)
        return std::string();
    const TStringFormat& format = FormatOrThrow(identifier);
    const auto* data = static_cast<const char*>(bytes);
    if (!format.Accepts(data, static_cast<size_t>(length), false))
        throw EStringFormat(Printf("Input can not be convert to %s Format.", format.DisplayName()));
    return format.Encode(reinterpret_cast<const uint8_t*>(data), static_cast<size_t>(length));
}

std::string TextToFormat(const char* text, ptrdiff_t length, int identifier)
{
    if (text != nullptr && length < 0)
        length = static_cast<ptrdiff_t>(std::strlen(text));
    if (text == nullptr || length <= 0 || identifier == kFormatNone)
        return std::string();
    const TStringFormat& format = FormatOrThrow(identifier);
    if (!format.Accepts(text, static_cast<size_t>(length), true))
        throw EStringFormat(Printf("Input is not an valid %s Format.", format.DisplayName()));
    return format.Decode(text, static_cast<size_t>(length));
}
