#include <gtest/gtest.h>

#include <thread>

#include "model/Options.h"
#include "platform/registry/RegistryIniFile.h"
#include "services/EmailerFactory.h"
#include "services/ProviderPresets.h"
#include "services/Smtp.h"
#include "tests/platform/registry/RegistryFixture.h"
#include "tests/support/DesktopMailProgram.h"

#include <cstdlib>
#include <filesystem>

namespace {

class EmailerFactoryTest : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        NameDesktopMailProgram("Acme Mail");
        // Sections as an earlier run left them, named in another order than
        // they were written.
        Section("f@aol.com", "AOL");
        store_.WriteInteger("f@aol.com", "ServerPort", 2525);
        Section("b@gmail.com", "GMail");
        Section("a@example.org", "SMTP");
        Section("c@example.org", "");
        Section("d@example.org", "Unknown");
        Section("e@mail.com", MailCom::TypeName());
    }
    void TearDown() override
    {
        EmailerFactory::FreeInstance();
        RegistryTest::TearDown();
    }
    void Section(const std::string& name, const std::string& type)
    {
        store_.WriteString(name, "", type);
        store_.WriteString(name, "FromAddress", name);
    }

    TRegistryIniFile store_{Emailer::RegistryKey()};
};

} // namespace

TEST_F(EmailerFactoryTest, LoadsTheMailClientFirstThenTheSectionsWithTheirTypes)
{
    auto* f = EmailerFactory::Instance();
    struct Row {
        std::string name, type;
        int kind;
    } expected[] = {
        {"Acme Mail", "Acme Mail", 1},
        {"a@example.org", "SMTP", 1},
        {"b@gmail.com", "GMail", 2},
        {"c@example.org", "SMTP", 1},
        {"d@example.org", "SMTP", 1},
        {"e@mail.com", MailCom::TypeName(), 7},
        {"f@aol.com", "AOL", 4},
    };
    ASSERT_EQ(f->Count(), 7);
    for (int i = 0; i < f->Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(f->GetAccountName(i), expected[i].name);
        EXPECT_EQ(f->GetAccount(i)->GetTypeName(), expected[i].type);
        EXPECT_EQ(f->GetAccountKind(i), expected[i].kind);
    }
    EXPECT_FALSE(f->GetAccount(0)->IsEditable());
    EXPECT_EQ(dynamic_cast<SMTP*>(f->FindAccount("f@aol.com"))->GetServerPort(), 2525);

    for (int outside : {-1, f->Count(), 1000}) {
        EXPECT_EQ(f->GetAccountName(outside), "Unknown Account");
        EXPECT_EQ(f->GetAccountKind(outside), 1);
        EXPECT_EQ(f->GetAccount(outside), nullptr);
    }
}

TEST_F(EmailerFactoryTest, WithoutAMailProgramOnTheDesktopTheMailClientIsNotListed)
{
    TRegistry().DeleteKey("\\Software\\Clients");
    // A desktop whose mailto handler is unset.
    TempDir bin;
    const std::string xdgMime = bin.Write("xdg-mime", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(xdgMime, std::filesystem::perms::owner_all);
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.Path().string() + ":" + oldPath).c_str(), 1);
    auto* f = EmailerFactory::Instance();
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_EQ(f->Count(), 6);
    EXPECT_EQ(f->GetAccountName(0), "a@example.org");
    for (int i = 0; i < f->Count(); ++i)
        EXPECT_TRUE(f->GetAccount(i)->IsEditable()) << f->GetAccountName(i);
}

TEST_F(EmailerFactoryTest, AddAccountLowerCasesAndRefusesDuplicatesAndNonAddresses)
{
    auto* f = EmailerFactory::Instance();
    const int before = f->Count();
    Emailer* added = f->AddAccount("New.Painter@GMail.com", "pw");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->GetDisplayName(), "new.painter@gmail.com");
    EXPECT_EQ(added->GetTypeName(), "GMail");
    EXPECT_EQ(added->GetUserName(), "new.painter@gmail.com");
    EXPECT_EQ(f->Count(), before + 1);
    EXPECT_EQ(f->GetAccount(before), added);
    // Saved at once, the password scrambled.
    EXPECT_EQ(store_.ReadString("new.painter@gmail.com", "", ""), "GMail");
    EXPECT_EQ(Emailer::UnscramblePassword(store_.ReadString("new.painter@gmail.com", "Password", "")), "pw");

    Emailer* generic = f->AddAccount("Someone@Example.NET", "pw");
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(dynamic_cast<SMTP*>(generic)->GetServerName(), "mail.example.net");

    for (const char* refused : {"NEW.PAINTER@gmail.com", "new.painter@gmail.com", "a@example.org", "no-at-sign.org",
                                "nodot@example", "back\\slash@example.org", "tab\t@example.org"})
        EXPECT_EQ(f->AddAccount(refused, "pw"), nullptr) << refused;
    EXPECT_EQ(f->Count(), before + 2);
}

TEST_F(EmailerFactoryTest, DefaultFlags)
{
    auto* f = EmailerFactory::Instance();
    EXPECT_FALSE(f->HasDefault());
    EXPECT_EQ(f->GetDefault(), nullptr);
    Emailer* gmail = f->FindAccount("b@gmail.com");
    f->SetDefault(gmail, true);
    EXPECT_EQ(f->GetDefault(), gmail);
    f->SetDefault(nullptr, true);
    EXPECT_EQ(f->GetDefault(), gmail);
    f->SetDefault(f->GetAccount(0), true);
    EXPECT_EQ(f->GetDefault(), f->GetAccount(0));
    EXPECT_FALSE(gmail->GetIsDefault());
    f->SetDefault(gmail, false);
    EXPECT_FALSE(f->HasDefault());
}

TEST_F(EmailerFactoryTest, DeleteAccountErasesOnlyItsOwnSection)
{
    auto* f = EmailerFactory::Instance();
    const int before = f->Count();
    EXPECT_TRUE(f->DeleteAccount("b@gmail.com"));
    EXPECT_EQ(f->FindAccount("b@gmail.com"), nullptr);
    EXPECT_EQ(f->Count(), before - 1);
    EXPECT_EQ(store_.ReadSections(), (std::vector<std::string>{"a@example.org", "c@example.org", "d@example.org",
                                                               "e@mail.com", "f@aol.com"}));

    // The mail client's account has no section: the erase fails, it stays.
    const std::string client = f->GetAccountName(0);
    EXPECT_FALSE(f->DeleteAccount(client));
    EXPECT_EQ(f->GetAccountName(0), client);
    EXPECT_FALSE(f->DeleteAccount("nobody@example.org"));
    EXPECT_EQ(f->Count(), before - 1);
    EXPECT_EQ(store_.ReadSections().size(), 5u);
}

TEST_F(EmailerFactoryTest, FreeInstanceWritesEveryAccountAndTheMailClientFlag)
{
    auto* f = EmailerFactory::Instance();
    f->SetDefault(f->GetAccount(0), true);
    f->FindAccount("a@example.org")->SetUserName("changed");
    f->FindAccount("e@mail.com")->SetPassword("later");
    EmailerFactory::FreeInstance();

    TRegistryIniFile settings(Options::SettingsKey);
    EXPECT_EQ(settings.ReadString("Email", "IsSimpleMAPIDefault", ""), "1");
    EXPECT_EQ(store_.ReadString("a@example.org", "UserName", ""), "changed");
    EXPECT_EQ(Emailer::UnscramblePassword(store_.ReadString("e@mail.com", "Password", "")), "later");
    EXPECT_EQ(store_.ReadString("f@aol.com", "ServerName", ""), "smtp.aol.com");

    // Read back by the next run.
    auto* next = EmailerFactory::Instance();
    EXPECT_NE(next->GetDefault(), nullptr);
    EXPECT_EQ(next->GetDefault(), next->GetAccount(0));
}

TEST_F(EmailerFactoryTest, TwoThreadsGetOneList)
{
    EmailerFactory* seen[2] = {};
    std::thread a([&] { seen[0] = EmailerFactory::Instance(); });
    std::thread b([&] { seen[1] = EmailerFactory::Instance(); });
    a.join();
    b.join();
    EXPECT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], EmailerFactory::Instance());
}

TEST(EmailerFactoryEmptyTest, EmptyRegistryHoldsOnlyTheMailClient)
{
    TempDir dir;
    const std::string old = std::getenv("VELMORA_REGISTRY_DIR");
    setenv("VELMORA_REGISTRY_DIR", dir.Path().c_str(), 1);
    NameDesktopMailProgram("Acme Mail");
    auto* f = EmailerFactory::Instance();
    EXPECT_EQ(f->Count(), 1);
    EXPECT_EQ(f->GetAccountName(0), "Acme Mail");
    EmailerFactory::FreeInstance();
    setenv("VELMORA_REGISTRY_DIR", old.c_str(), 1);
}
