#pragma once
// Binary-to-text formats for the cipher framework's string operations,
// found by numeric identifier in a process-wide registry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/Exception.h"

class EStringFormat : public Exception {
public:
    using Exception::Exception;
};

enum : int {
    kFormatNone = 0,
    kFormatDefault = -1,  // stands for kFormatMIME64
    kFormatCopy = 1,
    kFormatHEX = 16,
    kFormatHEXL = 1016,
    kFormatMIME64 = 4196,
    kFormatUU = 21845,
    kFormatXX = 22616,
};

// The base format copies its input unchanged. Formats hold no state: the
// registry keeps one shared instance of each.
class TStringFormat {
public:
    virtual ~TStringFormat() = default;
    // Text to bytes.
    virtual std::string Decode(const char* text, size_t length) const;
    // Bytes to text.
    virtual std::string Encode(const uint8_t* bytes, size_t length) const;
    virtual std::string DisplayName() const;
    virtual int Identifier() const;
    // Bytes are always accepted for encoding; a text for decoding only when
    // it is made of the format's characters (and, for line formats, lines).
    virtual bool Accepts(const char* data, size_t length, bool isText) const;

    static const TStringFormat& Instance();
};

class TStringFormat_HEX : public TStringFormat {
public:
    std::string Decode(const char* text, size_t length) const override;
    std::string Encode(const uint8_t* bytes, size_t length) const override;
    std::string DisplayName() const override;
    int Identifier() const override;
    bool Accepts(const char* data, size_t length, bool isText) const override;
    // The digits (or code characters) first, then any prefix or padding ones.
    virtual std::string_view Alphabet() const;
    static const TStringFormat_HEX& Instance();

protected:
    // Characters that are accepted and skipped on input.
    virtual std::string_view Separators() const;
};

class TStringFormat_HEXL : public TStringFormat_HEX {
public:
    std::string DisplayName() const override;
    int Identifier() const override;
    std::string_view Alphabet() const override;
    static const TStringFormat_HEXL& Instance();

protected:
    std::string_view Separators() const override;
};

class TStringFormat_MIME64 : public TStringFormat_HEX {
public:
    std::string Decode(const char* text, size_t length) const override;
    std::string Encode(const uint8_t* bytes, size_t length) const override;
    std::string DisplayName() const override;
    int Identifier() const override;
    std::string_view Alphabet() const override;
    static const TStringFormat_MIME64& Instance();

protected:
    std::string_view Separators() const override;
};

class TStringFormat_UU : public TStringFormat_HEX {
public:
    std::string Decode(const char* text, size_t length) const override;
    std::string Encode(const uint8_t* bytes, size_t length) const override;
    std::string DisplayName() const override;
    int Identifier() const override;
    bool Accepts(const char* data, size_t length, bool isText) const override;
    std::string_view Alphabet() const override;
    static const TStringFormat_UU& Instance();

protected:
    std::string_view Separators() const override;
};

class TStringFormat_XX : public TStringFormat_UU {
public:
    std::string DisplayName() const override;
    int Identifier() const override;
    std::string_view Alphabet() const override;
    static const TStringFormat_XX& Instance();

protected:
    std::string_view Separators() const override;
};

// The six formats above are registered from the start; a format registered
// later is found after them. Unregistering removes every entry of it.
void RegisterStringFormat(const TStringFormat* format);
void UnregisterStringFormat(const TStringFormat* format);
// First registered format with the identifier; kFormatDefault finds MIME64.
const TStringFormat* FindStringFormat(int identifier);

// Bytes to text. Empty for no input or identifier 0; a negative length
// means the input ends at its first zero byte. Throws EStringFormat.
std::string FormatToText(const void* bytes, ptrdiff_t length, int identifier);
inline std::string FormatToText(std::string_view bytes, int identifier)
{
    return FormatToText(bytes.data(), static_cast<ptrdiff_t>(bytes.size()), identifier);
}
// Text to bytes, with the same rules. Throws EStringFormat.
std::string TextToFormat(const char* text, ptrdiff_t length, int identifier);
inline std::string TextToFormat(std::string_view text, int identifier)
{
    return TextToFormat(text.data(), static_cast<ptrdiff_t>(text.size()), identifier);
}
