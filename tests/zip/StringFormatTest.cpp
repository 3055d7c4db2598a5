#include <gtest/gtest.h>

#include <string>

#include "tests/support/TempDir.h"
#include "zip/StringFormat.h"

namespace {

std::string AllBytes(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<char>(i * 13 + 7);
    return s;
}

std::string ThrownMessage(const std::function<void()>& call)
{
    try {
        call();
    } catch (const EStringFormat& e) {
        return e.Message();
    }
    return "(nothing thrown)";
}

}  // namespace

TEST(StringFormat, KnownEncodings)
{
    const struct {
        int id;
        std::string bytes, text;
    } cases[] = {
        {kFormatHEX, "\x1A\xFF", "1AFF"},
        {kFormatHEXL, "\x1A\xFF", "1aff"},
        {kFormatMIME64, "abc", "YWJj"},
        {kFormatMIME64, "a", "YQ=="},
        {kFormatDefault, "ab", "YWI="},
        {kFormatUU, "Cat", "#0V%T"},
        {kFormatCopy, std::string("a\0b", 3), std::string("a\0b", 3)},
        // A zero byte is 0 in UU (grave accent) and in XX ("+").
        {kFormatUU, std::string("\0", 1), "!````"},
        {kFormatXX, std::string("\0", 1), "-++++"},
        {kFormatXX, "Cat", "1Eq3o"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatToText(c.bytes, c.id), c.text) << c.id;
        EXPECT_EQ(TextToFormat(c.text, c.id), c.bytes) << c.id;
    }
}

TEST(StringFormat, RoundTripsOfEveryFormatAcrossLineLengths)
{
    for (int id : {kFormatCopy, kFormatHEX, kFormatHEXL, kFormatMIME64, kFormatUU, kFormatXX}) {
        for (size_t n : {1u, 2u, 3u, 44u, 45u, 46u, 90u, 91u, 256u, 1000u}) {
            std::string bytes = AllBytes(n);
            std::string text = FormatToText(bytes, id);
            EXPECT_EQ(TextToFormat(text, id), bytes) << "format " << id << " length " << n;
        }
    }
}

TEST(StringFormat, UuLinesMatchTheSystemEncoder)
{
    // The body lines of `uuencode` output use a grave accent for zero, as we do.
    TempDir dir;
    std::string bytes = AllBytes(100);
    std::string path = dir.Write("in.bin", bytes);
    std::string out;
    if (RunCommand("python3 -c \"import binascii,sys; d=open(sys.argv[1],'rb').read(); "
                   "sys.stdout.write(''.join(binascii.b2a_uu(d[i:i+45], backtick=True).decode()"
                   " for i in range(0,len(d),45)))\" '" + path + "'", &out) != 0)
        GTEST_SKIP() << "python3 not available";
    std::string joined;
    for (char c : out)
        if (c != '\n')
            joined += c;
    EXPECT_EQ(FormatToText(bytes, kFormatUU), joined);
    // The encoder's own line breaks are skipped on decoding.
    EXPECT_EQ(TextToFormat(out, kFormatUU), bytes);
}

TEST(StringFormat, LenientDecoding)
{
    const struct {
        int id;
        std::string text, bytes;
    } cases[] = {
        {kFormatHEX, "1a ff", "\x1A\xFF"},
        {kFormatHEX, "$1AFF", "\x1A\xFF"},
        {kFormatHEX, "0x1aff", "\x1A\xFF"},
        {kFormatHEXL, "0X1AFF", "\x1A\xFF"},
        {kFormatHEX, "12X34", "\x34"},
        {kFormatHEX, "$12$34", "\x12\x34"},  // only the first prefix discards
        {kFormatHEX, "1A F", "\x1A"},        // an odd last digit is dropped
        {kFormatHEX, "{1A, FF}", "\x1A\xFF"},
        {kFormatMIME64, "YQ", "a"},
        {kFormatMIME64, "YW\r\nJj", "abc"},
        {kFormatMIME64, "YQ==YWJj", "aabc"},
        {kFormatUU, "#0V%T\r\n", "Cat"},
        {kFormatUU, "#0V %T", "Cat"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToFormat(c.text, c.id), c.bytes) << c.text;
}

TEST(StringFormat, ErrorsAndEmptyResults)
{
    EXPECT_EQ(FormatToText("abc", kFormatNone), "");
    EXPECT_EQ(FormatToText("", kFormatHEX), "");
    EXPECT_EQ(TextToFormat("", 99), "");  // no input: nothing to convert
    EXPECT_EQ(FormatToText("ab\0cd", -1, kFormatHEX), "6162");

    EXPECT_EQ(ThrownMessage([] { FormatToText("abc", 99); }), "String Format \"99\" not exists.");
    EXPECT_EQ(ThrownMessage([] { TextToFormat("abc", 99); }), "String Format \"99\" not exists.");
    const struct {
        int id;
        std::string text, message;
    } bad[] = {
        {kFormatHEX, "1G", "Input is not an valid Hexadecimal Format."},
        {kFormatHEXL, "zz", "Input is not an valid Hexadecimal lowercase Format."},
        {kFormatMIME64, "YQ!=", "Input is not an valid MIME Base 64 Format."},
        {kFormatUU, "#0V%", "Input is not an valid UU Coding Format."},         // ends inside a line
        {kFormatUU, "a", "Input is not an valid UU Coding Format."},           // not in the table
        {kFormatUU, "N", "Input is not an valid UU Coding Format."},           // count 46
        {kFormatXX, "1Ek3m!", "Input is not an valid XX Coding Format."},
        {kFormatXX, "1Ek3", "Input is not an valid XX Coding Format."},
    };
    for (const auto& b : bad)
        EXPECT_EQ(ThrownMessage([&] { TextToFormat(b.text, b.id); }), b.message) << b.text;
}

TEST(StringFormat, RegistryFindsFirstAndForgetsUnregistered)
{
    class Shouting : public TStringFormat {
    public:
        std::string Encode(const uint8_t* bytes, size_t length) const override
        {
            std::string s(reinterpret_cast<const char*>(bytes), length);
            for (char& c : s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return s;
        }
        int Identifier() const override { return 777; }
        std::string DisplayName() const override { return "Shouting"; }
    } shouting;
    EXPECT_EQ(FindStringFormat(777), nullptr);
    RegisterStringFormat(&shouting);
    EXPECT_EQ(FormatToText("hi", 777), "HI");
    UnregisterStringFormat(&shouting);
    EXPECT_EQ(FindStringFormat(777), nullptr);
    EXPECT_EQ(FindStringFormat(kFormatDefault), &TStringFormat_MIME64::Instance());
    EXPECT_EQ(FindStringFormat(kFormatXX)->DisplayName(), "XX Coding");
}
