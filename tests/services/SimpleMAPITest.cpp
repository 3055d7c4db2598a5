#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "model/Options.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/shell/PrivateCopy.h"
#include "services/SimpleMAPI.h"
#include "tests/platform/registry/RegistryFixture.h"

namespace fs = std::filesystem;

namespace {

std::string PercentDecode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The parameters of a "mailto:?a=b&c=d" URI, decoded.
std::map<std::string, std::string> MailtoParameters(const std::string& uri)
{
    std::map<std::string, std::string> out;
    const auto q = uri.find('?');
    if (uri.rfind("mailto:", 0) != 0 || q == std::string::npos)
        return out;
    std::string rest = uri.substr(q + 1);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('&', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string pair = rest.substr(start, end - start);
        const auto eq = pair.find('=');
        out[pair.substr(0, eq)] = eq == std::string::npos ? "" : PercentDecode(pair.substr(eq + 1));
        start = end + 1;
    }
    return out;
}

// The real xdg-email, with a hook first on PATH that records the mailto URI
// it is given and exits with the code the test chooses.
class SimpleMAPITest : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        oldPath_ = std::getenv("PATH");
        const std::string hook = hookDir_.Write("xdg-email-hook.sh",
                                                "#!/bin/sh\nprintf '%s' \"$1\" > \"$HOOK_OUT\"\nexit \"${HOOK_EXIT:-0}\"\n");
        fs::permissions(hook, fs::perms::owner_all);
        setenv("PATH", (hookDir_.Path().string() + ":" + oldPath_).c_str(), 1);
        setenv("HOOK_OUT", (hookDir_ / "uri").c_str(), 1);
        setenv("HOOK_EXIT", "0", 1);
        attachment_ = files_.Write("portfolio.pdf", std::string("%PDF-1.4\n\0\xff binary", 18));
    }
    void TearDown() override
    {
        setenv("PATH", oldPath_.c_str(), 1);
        unsetenv("HOOK_OUT");
        unsetenv("HOOK_EXIT");
        RegistryTest::TearDown();
    }
    std::string Uri() const { return ReadFileBytes(hookDir_ / "uri"); }

    TempDir hookDir_, files_;
    std::string oldPath_, attachment_;
};

} // namespace

TEST_F(SimpleMAPITest, HandsSubjectBodyAndAPrivateCopyToTheMailClient)
{
    SimpleMAPI a;
    EXPECT_EQ(a.GetTypeName(), Options::Instance()->GetDefaultMailClient());
    EXPECT_EQ(a.GetDisplayName(), a.GetTypeName());
    EXPECT_FALSE(a.IsEditable());
    EXPECT_FALSE(a.UsesComposeForm());
    a.SetSubject("Portfolio & Skizzen – Ölbilder");
    a.SetBody("Hello\r\n\r\nsee attached; 100% mine\r\n");
    a.SetAttachment(attachment_);
    ASSERT_TRUE(a.Send()) << a.GetText();
    EXPECT_EQ(a.GetText(), "");
    EXPECT_EQ(a.SentText(), "The message was handed to your mail program.");

    auto p = MailtoParameters(Uri());
    EXPECT_EQ(p["subject"], "Portfolio & Skizzen – Ölbilder");
    // One line end per line: no CR of ours doubled by the tool.
    EXPECT_EQ(p["body"].find("\r\r"), std::string::npos) << p["body"];
    EXPECT_EQ(p["body"].rfind("Hello\r\n\r\nsee attached; 100% mine", 0), 0u) << p["body"];
    const std::string copy = p["attach"];
    EXPECT_NE(copy, attachment_);
    EXPECT_EQ(fs::path(copy).filename(), "portfolio.pdf");
    EXPECT_EQ(copy.rfind(PrivateCacheFolder("Mail"), 0), 0u) << copy;
    // The client reads the file after the job has deleted its own.
    fs::remove(attachment_);
    EXPECT_EQ(ReadFileBytes(copy), std::string("%PDF-1.4\n\0\xff binary", 18));
}

TEST_F(SimpleMAPITest, EmptySubjectAndBodyAreLeftOut)
{
    SimpleMAPI a;
    a.SetSubject("");
    a.SetBody("");
    a.SetAttachment(attachment_);
    ASSERT_TRUE(a.Send()) << a.GetText();
    const auto p = MailtoParameters(Uri());
    EXPECT_EQ(p.count("subject"), 0u) << Uri();
    EXPECT_EQ(p.count("body"), 0u) << Uri();
    EXPECT_EQ(p.count("attach"), 1u) << Uri();
}

TEST_F(SimpleMAPITest, FailuresSayWhatWentWrongInTheUsersTerms)
{
    // A desktop that names no mail program: xdg-email itself answers 3.
    TempDir noClient;
    const std::string stub = noClient.Write("xdg-email", "#!/bin/sh\necho 'xdg-email: no method available' >&2\nexit 3\n");
    fs::permissions(stub, fs::perms::owner_all);
    struct Case {
        const char* what;
        const char* hookExit;
        bool missingAttachment;
        bool noMailProgram;
        std::string text;
    } cases[] = {
        {"the mail program fails", "3", false, false,
            "Your mail program could not be started (xdg-email failed). Please check the default e-mail program in "
            "your desktop's settings."},
        {"the attachment is missing", "0", true, false, "The file to attach was not found: " + (files_ / "missing.pdf")},
        {"no mail program is set up", "0", false, true,
            "No mail program is set up. Please choose a default e-mail program in your desktop's settings."},
    };
    auto copies = [] {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(PrivateCacheFolder("Mail")))
            ++n;
        return n;
    };
    const size_t before = copies();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("HOOK_EXIT", c.hookExit, 1);
        if (c.noMailProgram)
            setenv("PATH", (noClient.Path().string() + ":" + oldPath_).c_str(), 1);
        SimpleMAPI a;
        a.SetAttachment(c.missingAttachment ? files_ / "missing.pdf" : attachment_);
        EXPECT_FALSE(a.Send());
        EXPECT_EQ(a.GetText(), c.text);
        setenv("PATH", (hookDir_.Path().string() + ":" + oldPath_).c_str(), 1);
    }
    // Copies of failed hand-overs do not pile up.
    EXPECT_EQ(copies(), before);
}

TEST_F(SimpleMAPITest, WithoutXdgEmailOnPathTheUserIsToldWhatToInstall)
{
    setenv("PATH", hookDir_.Path().c_str(), 1);
    SimpleMAPI a;
    a.SetAttachment(attachment_);
    EXPECT_FALSE(a.Send());
    EXPECT_EQ(a.GetText(), "No mail program can be started: xdg-email is not installed (Debian package xdg-utils).");
}

TEST_F(SimpleMAPITest, LoadAndSaveTouchOnlyTheDefaultFlag)
{
    TRegistryIniFile accounts(Emailer::RegistryKey());
    accounts.WriteString("a@example.org", "", "SMTP");
    accounts.WriteString("a@example.org", "IsDefault", "1");
    const std::string before = ReadFileBytes(HivePath());

    SimpleMAPI a;
    a.Load("a@example.org");
    EXPECT_FALSE(a.GetIsDefault());
    a.SetIsDefault(true);
    EXPECT_EQ(a.Save(), nullptr);
    TRegistryIniFile settings(Options::SettingsKey);
    EXPECT_EQ(settings.ReadString("Email", "IsSimpleMAPIDefault", ""), "1");
    EXPECT_EQ(settings.ReadSection("Email"), std::vector<std::string>{"IsSimpleMAPIDefault"});
    EXPECT_EQ(accounts.ReadString("a@example.org", "IsDefault", ""), "1");
    EXPECT_FALSE(a.DeleteFromRegistry());
    EXPECT_EQ(accounts.ReadSections(), std::vector<std::string>{"a@example.org"});

    SimpleMAPI b;
    b.Load("");
    EXPECT_TRUE(b.GetIsDefault());
}
