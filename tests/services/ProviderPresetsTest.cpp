#include <gtest/gtest.h>

#include "platform/registry/RegistryIniFile.h"
#include "services/EmailerFactory.h"
#include "services/ProviderPresets.h"
#include "tests/platform/registry/RegistryFixture.h"

TEST(ProviderPresetsTest, DetectProvider)
{
    struct Case {
        std::string address;
        bool isAddress;
        std::string type;
        int kind;
    } cases[] = {
        {"someone@gmail.com", true, "GMail", 2},
        {"someone@googlemail.com", true, "", 1},
        {"someone@yahoo.co.uk", true, "Yahoo", 3},
        {"someone@aol.com", true, "AOL", 4},
        {"someone@live.de", true, "Live", 5},
        {"someone@hotmail.com", true, "Live", 5},
        {"someone@outlook.com", true, "Live", 5},
        {"someone@aim.com", true, "AIM", 6},
        {"someone@mail.com", true, MailCom::TypeName(), 7},
        {"someone@techie.com", true, MailCom::TypeName(), 7},
        {"someone@email.com", true, MailCom::TypeName(), 7},
        {"Some.One@GMAIL.COM", true, "GMail", 2},
        // Both fragments: the first provider in the test order wins.
        {"x@gmail.aol.com", true, "GMail", 2},
        {"x@aol.y@gmail.com", true, "GMail", 2},
        {"x@hotmail.aim.net", true, "Live", 5},
        {"someone@example.org", true, "", 1},
        {"first.last@localhost", true, "", 1}, // the only dot before the at-sign
        {"someone.example.org", false, "", 1},
        {"someone@example", false, "", 1},
        {"", false, "", 1},
    };
    for (const auto& c : cases) {
        std::string type = "stale";
        int kind = 99;
        EXPECT_EQ(EmailerFactory::DetectProvider(c.address, type, kind), c.isAddress) << c.address;
        EXPECT_EQ(type, c.type) << c.address;
        EXPECT_EQ(kind, c.kind) << c.address;
    }
}

TEST(ProviderPresetsTest, AolAndAimTakeTheUserNameFromTheFromAddress)
{
    for (const std::string type : {"AOL", "AIM"}) {
        SCOPED_TRACE(type);
        auto a = EmailerFactory::CreateAccount(type);
        a->SetFromAddress("painter@aol.com");
        a->SetUserName("ignored");
        EXPECT_EQ(a->GetUserName(), "painter");
        auto b = EmailerFactory::CreateAccount(type);
        b->SetUserName("given");
        EXPECT_EQ(b->GetUserName(), "given");
    }
    auto gmail = EmailerFactory::CreateAccount("GMail");
    gmail->SetFromAddress("painter@gmail.com");
    gmail->SetUserName("painter@gmail.com");
    EXPECT_EQ(gmail->GetUserName(), "painter@gmail.com");
}

TEST(ProviderPresetsTest, CreateAccount)
{
    struct Case {
        std::string type;
        std::string created;
        int kind, port, security;
        std::string server;
    } cases[] = {
        {"SMTP", "SMTP", 1, 25, 0, ""},
        {"", "SMTP", 1, 25, 0, ""},
        {"Unknown", "SMTP", 1, 25, 0, ""},
        {"gmail", "SMTP", 1, 25, 0, ""},
        {"GMail", "GMail", 2, 587, 1, "smtp.gmail.com"},
        {"Yahoo", "Yahoo", 3, 25, 0, "smtp.mail.yahoo.com"},
        {"AOL", "AOL", 4, 25, 0, "smtp.aol.com"},
        {"Live", "Live", 5, 587, 1, "smtp-mail.outlook.com"},
        {"AIM", "AIM", 6, 25, 0, "smtp.aim.com"},
        {MailCom::TypeName(), MailCom::TypeName(), 7, 25, 0, "smtp.mail.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        auto a = EmailerFactory::CreateAccount(c.type);
        auto* smtp = dynamic_cast<SMTP*>(a.get());
        ASSERT_NE(smtp, nullptr);
        EXPECT_EQ(a->GetTypeName(), c.created);
        EXPECT_EQ(a->GetAccountKind(), c.kind);
        EXPECT_EQ(smtp->GetServerPort(), c.port);
        EXPECT_EQ(smtp->GetSecurityType(), c.security);
        EXPECT_EQ(smtp->GetServerName(), c.server);
        EXPECT_TRUE(a->UsesComposeForm());
    }
    // The sixth type name is its own.
    for (const char* other : {"SMTP", "GMail", "Yahoo", "AOL", "Live", "AIM", ""})
        EXPECT_NE(std::string(MailCom::TypeName()), other);
}

class ProviderPresetsRegistryTest : public RegistryTest {};

TEST_F(ProviderPresetsRegistryTest, StoredValuesOverrideThePreset)
{
    TRegistryIniFile store(Emailer::RegistryKey());
    store.WriteString("me@gmail.com", "", "GMail");
    store.WriteString("me@gmail.com", "FromAddress", "me@gmail.com");
    store.WriteInteger("me@gmail.com", "ServerPort", 465);
    auto a = EmailerFactory::CreateAccount("GMail");
    EXPECT_EQ(a->Load("me@gmail.com"), nullptr);
    auto* smtp = dynamic_cast<SMTP*>(a.get());
    EXPECT_EQ(smtp->GetServerPort(), 465);
    // Values the section lacks keep the preset's.
    EXPECT_EQ(smtp->GetSecurityType(), 1);
    EXPECT_EQ(smtp->GetServerName(), "smtp.gmail.com");
    EXPECT_EQ(a->Save(), nullptr);
    EXPECT_EQ(store.ReadString("me@gmail.com", "", ""), "GMail");
    EXPECT_EQ(store.ReadInteger("me@gmail.com", "ServerPort", 0), 465);
}
