#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryIniFile.h"
#include "services/Smtp.h"
#include "tests/platform/registry/RegistryFixture.h"
#include "tests/support/TempDir.h"

namespace {

class EmailerRegistryTest : public RegistryTest {
protected:
    TRegistryIniFile Store() { return TRegistryIniFile(Emailer::RegistryKey()); }
};

} // namespace

TEST_F(EmailerRegistryTest, SaveAndLoadRoundTripKeepsThePasswordOutOfTheHive)
{
    const std::string password = "p4ss wörd\\\"=";
    {
        SMTP a;
        a.SetFromAddress("artist@example.org");
        a.SetUserName("artist");
        a.SetPassword(password);
        a.SetServerName("smtp.example.org");
        a.SetServerPort(587);
        a.SetSecurityType(2);
        a.SetIsDefault(true);
        EXPECT_EQ(a.Save(), nullptr);
    }
    const std::string hive = ReadFileBytes(HivePath());
    EXPECT_NE(hive.find("artist@example.org"), std::string::npos);
    EXPECT_EQ(hive.find("p4ss"), std::string::npos);

    auto store = Store();
    EXPECT_EQ(store.ReadString("artist@example.org", "", ""), "SMTP");
    EXPECT_EQ(store.ReadString("artist@example.org", "IsDefault", ""), "1");

    SMTP b;
    EXPECT_EQ(b.Load("artist@example.org"), nullptr);
    EXPECT_EQ(b.GetFromAddress(), "artist@example.org");
    EXPECT_EQ(b.GetUserName(), "artist");
    EXPECT_EQ(b.GetPassword(), password);
    EXPECT_EQ(b.GetServerName(), "smtp.example.org");
    EXPECT_EQ(b.GetServerPort(), 587);
    EXPECT_EQ(b.GetSecurityType(), 2);
    EXPECT_EQ(b.GetTimeout(), 1000);
    EXPECT_TRUE(b.GetIsDefault());
}

TEST_F(EmailerRegistryTest, EmptySectionLoadsDefaultsWithAServerThatNeverResolves)
{
    auto store = Store();
    store.WriteString("bare@example.org", "", "SMTP");
    SMTP a;
    a.Load("bare@example.org");
    EXPECT_EQ(a.GetUserName(), "");
    EXPECT_EQ(a.GetPassword(), "");
    EXPECT_EQ(a.GetFromAddress(), "");
    EXPECT_FALSE(a.GetIsDefault());
    EXPECT_EQ(a.GetServerPort(), 25);
    EXPECT_EQ(a.GetSecurityType(), 0);
    EXPECT_EQ(std::string(SMTP::PlaceholderServer).substr(std::string(SMTP::PlaceholderServer).size() - 8), ".invalid");
    EXPECT_EQ(a.GetServerName(), SMTP::PlaceholderServer);

    // Given a password, the placeholder still sends it nowhere.
    a.SetUserName("u");
    a.SetPassword("p");
    a.SetRecipient("x@example.org");
    EXPECT_FALSE(a.Send());
    EXPECT_NE(a.GetText().find("resolve"), std::string::npos) << a.GetText();
}

TEST_F(EmailerRegistryTest, IsDefaultReadsAsIntegerAndIsWrittenBackAsText)
{
    struct Case {
        const char* what;
        int kind; // 0 missing, 1 DWORD, 2 string
        int dword;
        const char* text;
        bool expected;
    } cases[] = {
        {"DWORD 1", 1, 1, "", true},
        {"DWORD 0", 1, 0, "", false},
        {"string 1", 2, 0, "1", true},
        {"string 0", 2, 0, "0", false},
        {"string 7", 2, 0, "7", true},
        {"missing", 0, 0, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string section = "d@example.org";
        {
            TRegistry reg;
            reg.SetRootKey(HKEY_CURRENT_USER);
            ASSERT_TRUE(reg.OpenKey("\\" + Emailer::RegistryKey() + "\\" + section, true));
            if (reg.ValueExists("IsDefault"))
                reg.DeleteValue("IsDefault");
            if (c.kind == 1)
                reg.WriteInteger("IsDefault", c.dword);
            if (c.kind == 2)
                reg.WriteString("IsDefault", c.text);
        }
        SMTP a;
        a.Load(section);
        EXPECT_EQ(a.GetIsDefault(), c.expected);
        a.Save();
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + Emailer::RegistryKey() + "\\" + section));
        EXPECT_EQ(reg.GetDataType("IsDefault"), TRegDataType::rdString);
        EXPECT_EQ(reg.ReadString("IsDefault"), c.expected ? "1" : "0");
    }
}

TEST_F(EmailerRegistryTest, DomainAndDisplayName)
{
    struct Case {
        std::string from, domain, display;
    } cases[] = {
        {"artist@example.org", "example.org", "artist@example.org"},
        {"a@b@c.org", "b@c.org", "a@b@c.org"},
        {"no-at-sign", "", "no-at-sign"},
        {"trailing@", "", "trailing@"},
        {"", "", "SMTP"},
    };
    for (const auto& c : cases) {
        SMTP a;
        a.SetFromAddress(c.from);
        EXPECT_EQ(a.GetDomain(), c.domain) << c.from;
        EXPECT_EQ(a.GetDisplayName(), c.display) << c.from;
    }
}

TEST_F(EmailerRegistryTest, EmptyServerIsDerivedFromTheDomain)
{
    struct Case {
        std::string from, server;
    } cases[] = {{"artist@example.org", "mail.example.org"}, {"nodomain", "mail."}};
    for (const auto& c : cases) {
        SMTP a;
        a.SetFromAddress(c.from);
        a.Save();
        EXPECT_EQ(Store().ReadString(c.from, "ServerName", "?"), c.server);
    }
    // SetUserName derives it too, but never replaces a server already set.
    SMTP b;
    b.SetFromAddress("b@example.net");
    b.SetUserName("b");
    EXPECT_EQ(b.GetServerName(), "mail.example.net");
    b.SetServerName("smtp.example.net");
    b.SetUserName("c");
    EXPECT_EQ(b.GetServerName(), "smtp.example.net");
}

TEST_F(EmailerRegistryTest, DeleteErasesOnlyItsOwnSection)
{
    for (const char* from : {"one@example.org", "two@example.org"}) {
        SMTP a;
        a.SetFromAddress(from);
        a.Save();
    }
    SMTP one;
    one.Load("one@example.org");
    EXPECT_TRUE(one.DeleteFromRegistry());
    EXPECT_EQ(Store().ReadSections(), std::vector<std::string>{"two@example.org"});
}

TEST_F(EmailerRegistryTest, AccountWithoutFromAddressUsesTheSectionItCameFrom)
{
    auto store = Store();
    store.WriteString("kept@example.org", "", "SMTP");
    store.WriteString("other@example.org", "", "SMTP");

    SMTP loaded; // the section has no "FromAddress"
    loaded.Load("kept@example.org");
    ASSERT_EQ(loaded.GetFromAddress(), "");
    loaded.SetUserName("someone");
    loaded.Save();
    EXPECT_EQ(store.ReadString("kept@example.org", "UserName", ""), "someone");
    EXPECT_EQ(store.ReadSections(), (std::vector<std::string>{"kept@example.org", "other@example.org"}));
    EXPECT_TRUE(loaded.DeleteFromRegistry());
    EXPECT_EQ(store.ReadSections(), std::vector<std::string>{"other@example.org"});

    // Neither a from address nor a section: nothing is written or erased.
    SMTP fresh;
    fresh.SetUserName("nobody");
    EXPECT_EQ(fresh.Save(), nullptr);
    EXPECT_FALSE(fresh.DeleteFromRegistry());
    EXPECT_EQ(store.ReadSections(), std::vector<std::string>{"other@example.org"});
    EXPECT_EQ(store.ReadString("", "UserName", "none"), "none");
}

TEST_F(EmailerRegistryTest, PasswordScrambling)
{
    for (const std::string& p : std::vector<std::string>{"", "a", "secret", "pässwörd with \"quotes\"", std::string(300, 'z')}) {
        const std::string s = Emailer::ScramblePassword(p);
        EXPECT_EQ(Emailer::UnscramblePassword(s), p);
        if (!p.empty()) {
            EXPECT_EQ(s.find(p), std::string::npos);
        }
        for (unsigned char c : s)
            EXPECT_TRUE(c >= 0x20 && c < 0x7f);
    }
    // A stored text that was not made by the scrambler gives no password.
    EXPECT_EQ(Emailer::UnscramblePassword("plain text!"), "");
}

TEST_F(EmailerRegistryTest, FailedRegistryWriteRaisesFromSave)
{
    TempDir dir;
    const std::string blocker = dir.Write("file", "x");
    setenv("VELMORA_REGISTRY_DIR", (blocker + "/registry").c_str(), 1);
    SMTP a;
    a.SetFromAddress("a@example.org");
    EXPECT_THROW(a.Save(), std::exception);
}

TEST_F(EmailerRegistryTest, DefaultMessage)
{
    SMTP a;
    EXPECT_EQ(a.GetSubject(), "My Portfolio");
    const std::string site = VELMORA_WEB_SITE;
    EXPECT_EQ(a.GetBody(), "Hello\r\n\r\nPlease find attached a copy of my portfolio.\r\n\r\n\r\n"
                           "Created and sent using the Velmora Voravev" +
                               (site.empty() ? std::string() : " (" + site + ")") + ".\r\n");
    EXPECT_EQ(a.GetAccountKind(), 1);
    EXPECT_TRUE(a.UsesComposeForm());
    EXPECT_TRUE(a.CanSend());
    EXPECT_TRUE(a.IsEditable());
}
