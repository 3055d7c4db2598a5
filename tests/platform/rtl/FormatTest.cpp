#include "platform/rtl/Format.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    const char* format;
    std::vector<TFormatArg> args;
    const char* expected;
};

TEST(FormatTest, FormatsEachTypeWidthAndIndex)
{
    const FormatCase cases[] = {
        {"%.0f%%", {50.0}, "50%"},
        {"%.0f%%", {49.5}, "50%"},
        {"%.0f", {-0.4}, "0"},
        {"%.1f", {-0.25}, "-0.3"},
        {"%f", {3.14159}, "3.14"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%.0n", {-1234.0}, "-1,234"},
        {"%d", {int64_t{-42}}, "-42"},
        {"%.4d", {int64_t{-7}}, "-0007"},
        {"%5d|%-5d|", {int64_t{12}, int64_t{34}}, "   12|34   |"},
        {"%x", {int64_t{255}}, "FF"},
        {"%s and %s", {std::string("a"), std::string("b")}, "a and b"},
        {"%1:s %0:s %s", {std::string("x"), std::string("y")}, "y x y"},
        {"%.2s", {std::string("abcdef")}, "ab"},
        {"%*d", {int64_t{4}, int64_t{7}}, "   7"},
        {"%e", {12345.0}, "1.23450000000000E+004"},
        {"%.3e", {0.000123}, "1.23E-004"},
        {"%g", {0.5}, "0.5"},
        {"%g", {1e20}, "1E+020"},
        {"100%%", {}, "100%"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(Format(c.format, c.args), c.expected) << c.format;
}

TEST(FormatTest, MismatchOrMissingArgumentIsAnError)
{
    for (const char* format : {"%d", "%s", "%z", "%", "%f %f"}) {
        try {
            Format(format, {1.5});
            ADD_FAILURE() << format << " was accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("Format '") + format + "' invalid or incompatible with argument");
        }
    }
}

TEST(FormatTest, FormatFloatPictures)
{
    struct Case {
        const char* format;
        double value;
        const char* expected;
    } cases[] = {
        {"0", 0.4, "0"},
        {"0", -0.4, "0"},  // rounds to zero: no sign
        {"0", 2.5, "3"},
        {"0.00", 3.14159, "3.14"},
        {"#.##", 0.5, ".5"},
        {"#.##", 3.0, "3"},
        {"0.0#", 3.0, "3.0"},
        {"0.0#", 3.456, "3.46"},
        {"00", 7.0, "07"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", -1234.0, "-1,234"},
        {"0.00E+00", 12345.0, "1.23E+04"},
        {"0.0E-0", 0.00045, "4.5E-4"},
        {"0.0E+00", 9.99, "1.0E+01"},
        {"0;(0);'zero'", -5.0, "(5)"},
        {"0;(0);'zero'", 0.0, "zero"},
        {"0;;'zero'", -5.0, "-5"},
        {"'Value: '0.0' V'", 12.34, "Value: 12.3 V"},
        {"", 0.1, "0.1"},
        {"", 1234.5, "1234.5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFloat(c.format, c.value), c.expected) << c.format << " " << c.value;
}

TEST(FormatTest, FormatDateTimeTokens)
{
    // 2024-03-05 14:07:09.045, a Tuesday.
    const TDateTime t = 45356.0 + (14 * 3600 + 7 * 60 + 9.045) / 86400.0;
    struct Case {
        const char* format;
        const char* expected;
    } cases[] = {
        {"yyyy-mm-dd hh:nn:ss.zzz", "2024-03-05 14:07:09.045"},
        {"d/m/yy", "5/3/24"},
        {"ddd dddd mmm mmmm", "Tue Tuesday Mar March"},
        {"h:mm", "14:07"},  // m after an hour is the minute
        {"hh:mm:ss am/pm", "02:07:09 PM"},
        {"h a/p", "2 p"},
        {"'mm' \"dd\" mm", "mm dd 03"},
        {"ddddd", "03/05/2024"},
        {"dddddd", "Tuesday, March 5, 2024"},
        {"c", "03/05/2024 14:07:09"},
        {"t|tt", "14:07|14:07:09"},
        {"HH:NN", "14:07"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.format, t), c.expected) << c.format;
    EXPECT_EQ(FormatDateTime("c", 0.0), "12/30/1899");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd ddd", 2.0), "1900-01-01 Mon");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", 0.99999999999), "00:00:00");
}

}  // namespace
