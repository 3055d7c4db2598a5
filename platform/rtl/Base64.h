#pragma once
// The program's base64 codec (standard alphabet, "=" padding).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One unbroken line: 4 characters per 3 bytes, rounded up, no line breaks.
std::string Base64Encode(const void* data, size_t size);
inline std::string Base64Encode(std::string_view bytes) { return Base64Encode(bytes.data(), bytes.size()); }

// Decodes text that may be broken into lines by CR LF or LF. Padding may be
// left out at the very end. Any other character outside the alphabet, "="
// before the end, or a length that no byte sequence encodes to is bad input:
// the result is false, `out` is left as it was and `error` (when given) says
// what is wrong and where.
bool Base64Decode(std::string_view text, std::vector<uint8_t>& out, std::string* error = nullptr);

// The alphabet and the value of one character of it (-1 outside it), for
// formats that embed base64 runs in other text.
extern const char kBase64Alphabet[65];
int Base64Value(char32_t c);
