#include <gtest/gtest.h>

#include "platform/rtl/StringReplace.h"

TEST(StringReplaceAll, ReplacedTextIsNotScannedAgain)
{
    struct Case {
        const char* text;
        const char* from;
        const char* to;
        const char* expected;
    };
    const Case cases[] = {
        {"a%X%b%X%", "%X%", "1", "a1b1"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"%A%%A%", "%A%", "%A%%A%", "%A%%A%%A%%A%"},
        {"none here", "%X%", "y", "none here"},
        {"abc", "", "y", "abc"},
        {"&break;&break;", "&break;", "<br/>", "<br/><br/>"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        StringReplaceAll(text, c.from, c.to);
        EXPECT_EQ(text, c.expected) << c.text << " / " << c.from;
    }
}
