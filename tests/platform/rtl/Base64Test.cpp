#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Base64.h"
#include "tests/support/TempDir.h"

namespace {

std::string Decoded(const std::string& text, bool* ok = nullptr, std::string* error = nullptr)
{
    std::vector<uint8_t> out;
    bool result = Base64Decode(text, out, error);
    if (ok != nullptr)
        *ok = result;
    return std::string(out.begin(), out.end());
}

}  // namespace

TEST(Base64, EncodesRfc4648VectorsOnOneLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Decoded(encoded), plain);
    }
    std::string big(1000, 'x');
    std::string text = Base64Encode(big);
    EXPECT_EQ(text.size(), 1336u);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, AllByteValuesRoundTripAndMatchTheSystemTool)
{
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 256 * 3 + 1; ++i)
        bytes += static_cast<char>(i * 37);
    std::string path = dir.Write("data.bin", bytes);
    std::string tool;
    ASSERT_EQ(RunCommand("base64 -w0 '" + path + "'", &tool), 0);
    EXPECT_EQ(Base64Encode(bytes), tool);
    EXPECT_EQ(Decoded(tool), bytes);

    // The system tool breaks lines every 76 characters with LF.
    ASSERT_EQ(RunCommand("base64 '" + path + "'", &tool), 0);
    ASSERT_NE(tool.find('\n'), std::string::npos);
    EXPECT_EQ(Decoded(tool), bytes);
}

TEST(Base64, DecodesAcrossLineBreaks)
{
    const char* texts[] = {"Zm9v\r\nYmFy", "Zm9v\nYmFy\n", "Zm\r\n9vYm\nFy\r\n", "\r\nZm9vYmFy"};
    for (const char* text : texts) {
        bool ok = false;
        EXPECT_EQ(Decoded(text, &ok), "foobar") << text;
        EXPECT_TRUE(ok) << text;
    }
    bool ok = false;
    EXPECT_EQ(Decoded("Zm9vYg=\r\n=", &ok), "foob");
    EXPECT_TRUE(ok);
    // Padding may be left out at the very end.
    EXPECT_EQ(Decoded("YQ", &ok), "a");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Decoded("YWI", &ok), "ab");
    EXPECT_TRUE(ok);
}

TEST(Base64, RejectsBadInputAndKeepsTheOutput)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Zm9v YmFy", "unexpected character at offset 4"},
        {"Zm9v\tYmFy", "unexpected character at offset 4"},
        {"Zm9v\rYmFy", "carriage return without line feed at offset 4"},
        {"Zm9v-_", "unexpected character at offset 4"},
        {"Z", "truncated"},
        {"Zm9vY", "truncated"},
        {"=Zm9", "misplaced padding at offset 0"},
        {"Zg=", "incomplete padding"},
        {"Zg===", "misplaced padding at offset 4"},
        {"Zg==Zm9v", "data after padding at offset 4"},
        {"Zm9=v", "data after padding at offset 4"},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<uint8_t> out = {42};
        std::string error;
        EXPECT_FALSE(Base64Decode(text, out, &error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << text << " gave: " << error;
        EXPECT_EQ(out, std::vector<uint8_t>{42}) << text;
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(Base64Decode("!", out));  // no error text asked for
}
