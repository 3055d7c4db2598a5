#include "platform/resources/Resources.h"

#include <gtest/gtest.h>
#include <string>

namespace {
std::string Text(std::span<const unsigned char> bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
} // namespace

TEST(Resources, FindsItemsByNameAndTypeWithoutRegardToCase)
{
    const std::string expected("first line\n\0second\xff", 19);
    EXPECT_EQ(expected, Text(FindResource("TestItem", "RC_DATA")));
    EXPECT_EQ(expected, Text(FindResource("TESTITEM", "rc_data")));
    EXPECT_EQ("other type", Text(FindResource("testitem", "Other")));
}

TEST(Resources, MissingItemsAreEmpty)
{
    EXPECT_TRUE(FindResource("NoSuchItem", "RC_DATA").empty());
    EXPECT_TRUE(FindResource("TestItem", "RCDATA").empty());
    EXPECT_TRUE(FindResource("", "").empty());
    EXPECT_TRUE(FindResource(".hidden", "RC_DATA").empty());
    EXPECT_TRUE(FindResource("Empty", "RC_DATA").empty());
}
