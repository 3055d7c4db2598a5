#include "platform/rtl/Base64.h"

const char kBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<int>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<int>(c - 'a') + 26;
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0') + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

namespace {

bool Fail(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
    return false;
}

}  // namespace

std::string Base64Encode(const void* data, size_t size)
{
    const auto* in = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
    }
    if (size - i == 1) {
        uint32_t v = uint32_t(in[i]) << 16;
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += "==";
    } else if (size - i == 2) {
        uint32_t v = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8);
        out += kBase64Alphabet[v >> 18];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::vector<uint8_t>& out, std::string* error)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int count = 0;    // characters of the current group
    int padding = 0;  // "=" seen; only more "=" and line breaks may follow
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n')
            continue;
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            return Fail(error, "Invalid base64 text: carriage return without line feed at offset " +
                                   std::to_string(i));
        }
        if (c == '=') {
            // "=" may only fill the third and fourth place of the last group.
            if (count + padding < 2 || count + padding >= 4)
                return Fail(error, "Invalid base64 text: misplaced padding at offset " + std::to_string(i));
            ++padding;
            continue;
        }
        int v = Base64Value(c);
        if (v < 0)
            return Fail(error, "Invalid base64 text: unexpected character at offset " + std::to_string(i));
        if (padding > 0)
            return Fail(error, "Invalid base64 text: data after padding at offset " + std::to_string(i));
        bits = (bits << 6) | uint32_t(v);
        if (++count == 4) {
            bytes.push_back(uint8_t(bits >> 16));
            bytes.push_back(uint8_t(bits >> 8));
            bytes.push_back(uint8_t(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1)
        return Fail(error, "Invalid base64 text: truncated (a single character in the last group)");
    if (padding > 0 && count + padding != 4)
        return Fail(error, "Invalid base64 text: incomplete padding");
    if (count == 2) {
        bytes.push_back(uint8_t(bits >> 4));
    } else if (count == 3) {
        bytes.push_back(uint8_t(bits >> 10));
        bytes.push_back(uint8_t(bits >> 2));
    }
    out.swap(bytes);
    return true;
}
