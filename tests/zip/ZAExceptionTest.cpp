#include <gtest/gtest.h>

#include <string>

#include "zip/EZAException.h"

namespace {

std::string Suffix(int code) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " - Native error: %05d", code);
    return buf;
}

TEST(EZAExceptionTest, EveryCodeMapsToItsText) {
    // A sample across the table, including shared texts and the code that
    // alone reaches text 12.
    const struct {
        int code;
        int text;
        const char* message;
    } cases[] = {
        {0, 0, "Unknown error"},
        {4, 1, "Index out of bounds"},
        {5, 2, "Invalid compression mode. Mode must be in [0-9] range"},
        {8, 4, "Invalid size or check sum of file or unsupported compression format"},
        {13, 7, "Archive is not open"},
        {26, 13, "Cannot proceed when update is not ended. Preceding EndUpdate call is required."},
        {33, 12, "Cannot open file \"%s\""},
        {34, 17, "Invalid compressed size, rfs.size = %d, count = %d"},
        {37, 20, "Archive is open. You should close it beore performing this operation."},
        {48, 27, "Archive is damaged. Open failed"},
        {55, 32, "Deflate64 compression method is not supported"},
        {57, 27, "Archive is damaged. Open failed"},
        {59, 34, "Hashed list of file names is invalid"},
        {61, 36, "File name is too long: \r\n\"%s\""},
        {62, 37, "Multiple transactions are not supported for multi-volume archives"},
    };
    for (const auto& c : cases) {
        EZAException e(c.code);
        EXPECT_EQ(e.ErrorCode, c.text) << c.code;
        EXPECT_EQ(e.NativeError, c.code);
        EXPECT_EQ(e.Message(), std::string(c.message) + Suffix(c.code)) << c.code;
    }
    // Every code 0..62 has its own pair, and every text is reached.
    bool reached[EZAException::kTextCount] = {};
    for (int code = 0; code <= 62; ++code) {
        int text = EZAException::TextIndexOf(code);
        ASSERT_GE(text, 0);
        ASSERT_LT(text, EZAException::kTextCount);
        reached[text] = true;
        EXPECT_FALSE(EZAException::Text(text).empty());
    }
    for (int text = 0; text < EZAException::kTextCount; ++text)
        EXPECT_TRUE(reached[text]) << text;
}

TEST(EZAExceptionTest, UnknownCodesAndWideCodes) {
    EXPECT_EQ(EZAException(63).Message(), "Unknown error - Native error: 00063");
    EXPECT_EQ(EZAException(63).ErrorCode, 0);
    EXPECT_EQ(EZAException(123456).Message(), "Unknown error - Native error: 123456");
}

TEST(EZAExceptionTest, PlainConstructorKeepsPlaceholders) {
    EXPECT_EQ(EZAException(11).Message(), "File \"%s\" not found - Native error: 00011");
}

TEST(EZAExceptionTest, FormattingConstructorAndComponentPrefix) {
    EZAException e(12, {"pics/a.jpg"}, "Archiver1");
    EXPECT_EQ(e.Message(), "Archiver1: File \"pics/a.jpg\" not found - Native error: 00012");
    EZAException sizes(34, {10, 20});
    EXPECT_EQ(sizes.Message(),
              "Invalid compressed size, rfs.size = 10, count = 20 - Native error: 00034");
    EZAException wide(61, {std::u16string(u"\u00e9t\u00e9.txt")});
    EXPECT_EQ(wide.Message(),
              "File name is too long: \r\n\"\xC3\xA9t\xC3\xA9.txt\" - Native error: 00061");
    // An empty component name adds nothing; a missing argument leaves the
    // placeholder rather than reading past the list.
    EXPECT_EQ(EZAException(13, "").Message(), "Archive is not open - Native error: 00013");
    EXPECT_EQ(EZAException(34, {7}).Message(),
              "Invalid compressed size, rfs.size = 7, count = %d - Native error: 00034");
}

TEST(EZAExceptionTest, CaughtAsLibraryException) {
    try {
        throw EZAException(13);
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("00013"), std::string::npos);
    }
}

} // namespace
