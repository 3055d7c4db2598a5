#include "platform/registry/RegistryIniFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/platform/registry/RegistryFixture.h"

using ::testing::ElementsAre;

namespace {
const char* const kKey = "Software\\Ini Test";
}

TEST_F(RegistryTest, IniMissingValuesGiveTheDefaults)
{
    TRegistryIniFile ini(kKey);
    EXPECT_EQ("def", ini.ReadString("S", "none", "def"));
    EXPECT_EQ(42, ini.ReadInteger("S", "none", 42));
    EXPECT_TRUE(ini.ReadBool("S", "none", true));
    EXPECT_FALSE(ini.ReadBool("S", "none", false));
    EXPECT_DOUBLE_EQ(1.5, ini.ReadDateTime("S", "none", 1.5));
    EXPECT_FALSE(ini.SectionExists("S"));
    EXPECT_FALSE(ini.ValueExists("S", "none"));
}

TEST_F(RegistryTest, IniRoundTripsEveryType)
{
    {
        TRegistryIniFile ini(kKey);
        ini.WriteString("S", "str", "text");
        ini.WriteString("S", "", "section default");
        ini.WriteInteger("S", "int", -17);
        ini.WriteBool("S", "yes", true);
        ini.WriteBool("S", "no", false);
        ini.WriteDateTime("S", "when", 45000.125);
    }
    TRegistryIniFile ini(kKey, KEY_READ);
    EXPECT_EQ("text", ini.ReadString("S", "str", ""));
    EXPECT_EQ("section default", ini.ReadString("S", "", ""));
    EXPECT_EQ(-17, ini.ReadInteger("S", "int", 0));
    EXPECT_TRUE(ini.ReadBool("S", "yes", false));
    EXPECT_FALSE(ini.ReadBool("S", "no", true));
    EXPECT_DOUBLE_EQ(45000.125, ini.ReadDateTime("S", "when", 0));
    EXPECT_TRUE(ini.SectionExists("S"));
    EXPECT_TRUE(ini.ValueExists("S", "int"));
    EXPECT_THAT(ini.ReadSection("S"), ElementsAre("str", "", "int", "yes", "no", "when"));
    // Bools are integers in the file, readable by the integer reader.
    EXPECT_EQ(1, ini.ReadInteger("S", "yes", 0));
    EXPECT_NE(std::string::npos, ReadFileBytes(HivePath()).find("\"yes\"=dword:00000001"));
}

TEST_F(RegistryTest, IniIntegersFromEitherForm)
{
    TRegistryIniFile ini(kKey);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kKey + "\\S", true));
    reg.WriteString("asText", "1");
    reg.WriteInteger("asDword", 1);
    reg.WriteString("garbage", "12abc");
    reg.WriteBinaryData("blob", "1234", 4);
    EXPECT_TRUE(ini.ReadBool("S", "asText", false));
    EXPECT_TRUE(ini.ReadBool("S", "asDword", false));
    EXPECT_EQ(7, ini.ReadInteger("S", "garbage", 7));
    EXPECT_EQ(7, ini.ReadInteger("S", "blob", 7));
    // An integer that exists as text stays text; otherwise it becomes a DWORD.
    ini.WriteInteger("S", "asText", 25);
    ini.WriteInteger("S", "asDword", 25);
    EXPECT_EQ(TRegDataType::rdString, reg.GetDataType("asText"));
    EXPECT_EQ("25", reg.ReadString("asText"));
    EXPECT_EQ(TRegDataType::rdInteger, reg.GetDataType("asDword"));
    EXPECT_EQ(25, ini.ReadInteger("S", "asText", 0));
}

TEST_F(RegistryTest, IniDateTimeFromTextIgnoresTheLocale)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kKey + "\\S", true));
    reg.WriteString("point", "45000.5");
    reg.WriteString("comma", "45000,5");
    TRegistryIniFile ini(kKey);
    EXPECT_DOUBLE_EQ(45000.5, ini.ReadDateTime("S", "point", 0));
    EXPECT_DOUBLE_EQ(-1, ini.ReadDateTime("S", "comma", -1));
}

TEST_F(RegistryTest, IniDeleteAndEraseAndSections)
{
    TRegistryIniFile ini(kKey);
    ini.WriteString("one", "a", "1");
    ini.WriteString("one", "b", "2");
    ini.WriteString("Two", "a", "1");
    TRegistry sub;
    ASSERT_TRUE(sub.OpenKey(std::string("\\") + kKey + "\\Two\\Nested", true));
    EXPECT_THAT(ini.ReadSections(), ElementsAre("one", "Two"));
    ini.DeleteKey("one", "a");
    EXPECT_FALSE(ini.ValueExists("one", "a"));
    EXPECT_TRUE(ini.ValueExists("one", "b"));
    ini.EraseSection("two");
    EXPECT_FALSE(ini.SectionExists("Two"));
    EXPECT_THAT(ini.ReadSections(), ElementsAre("one"));
    ini.EraseSection("never there"); // nothing to do, no error
}

TEST_F(RegistryTest, ErasingANamelessSectionLeavesTheStoreAlone)
{
    // An account whose address went missing has the section name "": erasing
    // it must not take the store's own key with every other section.
    TRegistryIniFile ini(std::string(kKey) + "\\");
    ini.WriteString("", "flag", "1");
    ini.WriteString("kept@example.com", "a", "1");
    for (const std::string section : {"", "\\", "\\\\"})
        EXPECT_THROW(ini.EraseSection(section), ERegistryException) << section;
    EXPECT_THAT(ini.ReadSections(), ElementsAre("kept@example.com"));
    EXPECT_EQ("1", ini.ReadString("", "flag", ""));
}

TEST_F(RegistryTest, ReadOnlyIniDoesNotCreateItsKey)
{
    TRegistryIniFile ini("Software\\Not Created", KEY_READ);
    EXPECT_EQ("d", ini.ReadString("", "x", "d"));
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("\\Software\\Not Created"));
    TRegistryIniFile writable("Software\\Created");
    EXPECT_TRUE(reg.KeyExists("\\Software\\Created"));
}
