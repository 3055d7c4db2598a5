#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

namespace {

std::string Bytes(TMemoryStream* stream)
{
    return std::string(reinterpret_cast<const char*>(stream->Memory()), static_cast<size_t>(stream->GetSize()));
}

// Every test starts without saved artist details, whatever ran before.
class PortfolioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Portfolio::DetailsFilePath(), ignored);
    }
};

} // namespace

TEST(PortfolioEscape, EscapeTable)
{
    const struct {
        const char* plain;
        const char* escaped;
    } cases[] = {
        {"", ""},
        {"plain text, 'quoted'", "plain text, 'quoted'"},
        {"Ann & Bo", "Ann &amp; Bo"},
        {"a\r\nb", "a&break;b"},
        {"a\nb", "a&break;b"},
        {"a\rb", "a\rb"},             // a CR without LF passes
        {"\r\r\n", "\r&break;"},
        {"\n\r\n\n", "&break;&break;&break;"},
        {"<b>\"hi\"</b>", "&lt;b&gt;&quot;hi&quot;&lt;/b&gt;"},
        {"&amp;", "&amp;amp;"},       // an existing entity gets its ampersand escaped again
        {"&break;", "&amp;break;"},
        {"Zoë 日本", "Zoë 日本"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Portfolio::Escape(c.plain), c.escaped) << "plain: " << c.plain;
}

TEST(PortfolioEscape, UnescapeTable)
{
    const struct {
        const char* escaped;
        const char* plain;
    } cases[] = {
        {"a&amp;b", "a&b"},
        {"&lt;&gt;&quot;", "<>\""},
        {"a&break;b", "a\r\nb"},
        // One pass: what an entity turns into is not read again.
        {"&amp;lt;", "&lt;"},
        {"&amp;break;", "&break;"},
        {"&amp;amp;", "&amp;"},
        // Only the five entities, exactly as written.
        {"&LT;", "&LT;"},
        {"&Break;", "&Break;"},
        {"&apos;&#38;", "&apos;&#38;"},
        {"&lt", "&lt"},
        {"&", "&"},
        {"&&lt;", "&<"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Portfolio::Unescape(c.escaped), c.plain) << "escaped: " << c.escaped;
}

TEST(PortfolioEscape, RoundTripGivesTextBackAsTyped)
{
    const char* texts[] = {
        "", "&lt;", "&gt;", "&quot;", "&break;", "&amp;", "&amp;lt;", "&&&", "x & y < z > \"w\"",
        "line 1\r\nline 2", "a\rb", "trailing &", "&lt;&break;&amp;&quot;&gt;",
    };
    for (const char* text : texts)
        EXPECT_EQ(Portfolio::Unescape(Portfolio::Escape(text)), text) << "text: " << text;
    // A lone LF is stored as a line break and comes back as CR LF.
    EXPECT_EQ(Portfolio::Unescape(Portfolio::Escape("a\nb\n")), "a\r\nb\r\n");
}

TEST_F(PortfolioTest, NewPortfolioWithoutSavedDetails)
{
    Portfolio p;
    EXPECT_FALSE(p.IsModified());
    EXPECT_EQ(p.GetName(false), "");
    EXPECT_EQ(p.GetWebsiteAddress(false), "");
    EXPECT_EQ(p.GetStatementTitle(false), "Statement");
    EXPECT_EQ(p.GetPictureCount(), 0);
    for (TMemoryStream* s : {p.GetStatementData(), p.GetCVData(), p.GetPictureData()}) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetSize(), 0);
    }
    EXPECT_EQ(p.GetTemplate(), TemplateLibrary::Instance()->GetDefaultTemplate());
    EXPECT_FALSE(p.HasContactDetails());
}

TEST_F(PortfolioTest, GettersGiveStoredOrPlainText)
{
    Portfolio p;
    p.SetAddress("1 Main St\nTown & <Country>");
    EXPECT_EQ(p.GetAddress(false), "1 Main St&break;Town &amp; &lt;Country&gt;");
    EXPECT_EQ(p.GetAddress(true), "1 Main St\r\nTown & <Country>");
}

TEST_F(PortfolioTest, WebsiteAddressDropsEveryHttpScheme)
{
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {
        {"HTTP://Example.com", "Example.com"},
        {"hTtP://a.b/c", "a.b/c"},
        {"a.com/x?u=http://b.com", "a.com/x?u=b.com"},
        {"http://a.comhttp://b.com", "a.comb.com"},
        {"hthttp://tp://x.org", "x.org"},   // removal that forms a new scheme
        {"https://secure.org", "https://secure.org"},
        {"http://a.com/?q=1&r=2", "a.com/?q=1&amp;r=2"},
    };
    for (const auto& c : cases) {
        Portfolio p;
        p.SetWebsiteAddress(c.typed);
        EXPECT_EQ(p.GetWebsiteAddress(false), c.stored) << "typed: " << c.typed;
    }
}

TEST_F(PortfolioTest, ModifiedFlagRules)
{
    TempDir dir;
    const std::string cv = dir.Write("cv.pdf", "%PDF-cv");
    using Step = std::function<void(Portfolio&)>;
    const Step nothing = [](Portfolio&) {};
    const struct {
        const char* what;
        Step setup;
        Step action;
        bool modified;
    } cases[] = {
        {"same name after escaping", [](Portfolio& p) { p.SetName("A & B\r\nC"); },
         [](Portfolio& p) { p.SetName("A & B\nC"); }, false},
        {"different name", nothing, [](Portfolio& p) { p.SetName("Ann"); }, true},
        {"same web site without scheme", [](Portfolio& p) { p.SetWebsiteAddress("a.com"); },
         [](Portfolio& p) { p.SetWebsiteAddress("http://a.com"); }, false},
        {"statement title unchanged", nothing, [](Portfolio& p) { p.SetStatementTitle("Statement"); }, false},
        {"statement text", nothing, [](Portfolio& p) { p.SetStatementText("x"); }, true},
        {"file name", nothing, [](Portfolio& p) { p.SetFileName("/tmp/a.pfo"); }, false},
        {"same path", [](Portfolio& p) { p.SetCVFile("/a"); }, [](Portfolio& p) { p.SetCVFile("/a"); }, false},
        {"other path", nothing, [](Portfolio& p) { p.SetStatementFile("/b"); }, true},
        {"flag unchanged", nothing, [](Portfolio& p) { p.SetUseCVFile(false); }, false},
        {"flag changed", nothing, [](Portfolio& p) { p.SetUsePictureFile(true); }, true},
        {"same template", nothing, [](Portfolio& p) { p.SetTemplate(p.GetTemplate()); }, false},
        {"clear an empty list", nothing, [](Portfolio& p) { p.ClearPictures(); }, true},
        {"add null", nothing, [](Portfolio& p) { p.AddPicture(nullptr); }, false},
        {"new picture", nothing, [](Portfolio& p) { p.AddPicture(new Picture(&p)); }, true},
        {"picture not in the list moved", nothing,
         [](Portfolio& p) {
             Picture stray(&p);
             p.ClearModified();
             p.MoveUp(&stray);
             p.MoveDown(&stray);
             p.RemovePicture(&stray);
         },
         false},
        {"same picture title", [](Portfolio& p) { p.AddPicture(new Picture(&p)); p.GetPicture(0)->SetTitle("T&"); },
         [](Portfolio& p) { p.GetPicture(0)->SetTitle("T&"); }, false},
        {"same picture ID", [](Portfolio& p) { p.AddPicture(new Picture(&p)); },
         [](Portfolio& p) { p.GetPicture(0)->SetID(p.GetPicture(0)->GetID()); }, true},
        {"same picture path", [](Portfolio& p) { p.AddPicture(new Picture(&p)); },
         [](Portfolio& p) { p.GetPicture(0)->SetFileName(""); }, true},
        {"edit without image", [](Portfolio& p) { p.AddPicture(new Picture(&p)); },
         [](Portfolio& p) { p.GetPicture(0)->Rotate(); }, false},
        {"failed attach", nothing, [](Portfolio& p) { p.AttachCVFile("/no/such/file"); }, false},
        {"attach", nothing, [&](Portfolio& p) { p.AttachCVFile(cv); }, true},
        {"getters", [](Portfolio& p) { p.SetName("x"); },
         [](Portfolio& p) { p.GetName(true); p.GetFileName(true); p.HasContactDetails(); }, false},
    };
    for (const auto& c : cases) {
        Portfolio p;
        c.setup(p);
        p.ClearModified();
        c.action(p);
        EXPECT_EQ(p.IsModified(), c.modified) << c.what;
    }
}

TEST_F(PortfolioTest, PictureListAtItsEdges)
{
    Portfolio p;
    auto* a = new Picture(&p);
    auto* b = new Picture(&p);
    auto* c = new Picture(&p);
    EXPECT_EQ(p.AddPicture(a), 1);
    EXPECT_EQ(p.AddPicture(b), 2);
    EXPECT_EQ(p.AddPicture(c), 3);
    EXPECT_EQ(p.AddPicture(nullptr), 3);

    p.ClearModified();
    EXPECT_EQ(p.AddPicture(b), 3) << "a listed picture is not added twice";
    EXPECT_FALSE(p.MoveUp(a));
    EXPECT_FALSE(p.MoveDown(c));
    EXPECT_FALSE(p.IsModified());

    EXPECT_EQ(p.GetPicture(-1), nullptr);
    EXPECT_EQ(p.GetPicture(3), nullptr);

    EXPECT_TRUE(p.MoveUp(c));     // a c b
    EXPECT_TRUE(p.IsModified());
    EXPECT_TRUE(p.MoveDown(a));   // c a b
    EXPECT_EQ(p.GetPicture(0), c);
    EXPECT_EQ(p.GetPicture(1), a);
    EXPECT_EQ(p.GetPicture(2), b);

    p.RemovePicture(a);           // c b
    EXPECT_EQ(p.GetPictureCount(), 2);
    EXPECT_EQ(p.GetPicture(0), c);
    EXPECT_EQ(p.GetPicture(1), b);
    EXPECT_FALSE(p.MoveUp(c));
    EXPECT_FALSE(p.MoveDown(b));

    p.ClearPictures();
    EXPECT_EQ(p.GetPictureCount(), 0);
    EXPECT_EQ(p.GetPicture(0), nullptr);
}

TEST_F(PortfolioTest, FileNameSplitsAtEitherSeparator)
{
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\Art\\My Portfolio.pfo", "My Portfolio.pfo"},
        {"/home/ann/work/p.pfo", "p.pfo"},
        {"D:\\mixed/dir\\x.pfo", "x.pfo"},
        {"plain.pfo", "plain.pfo"},
        {"", ""},
    };
    for (const auto& c : cases) {
        Portfolio p;
        p.SetFileName(c.path);
        EXPECT_EQ(p.GetFileName(true), c.name);
        EXPECT_EQ(p.GetFileName(false), c.path);
    }
}

TEST_F(PortfolioTest, ContactDetailsIgnoreTheName)
{
    Portfolio p;
    p.SetName("Ann");
    EXPECT_FALSE(p.HasContactDetails());
    p.SetUsePictureFile(true);
    EXPECT_TRUE(p.HasContactDetails());
    p.SetUsePictureFile(false);
    p.SetEmail("a@b.c");
    EXPECT_TRUE(p.HasContactDetails());
}

TEST_F(PortfolioTest, AttachReadsBytesAndFailureChangesNothing)
{
    TempDir dir;
    const std::string first = dir.Write("statement.rtf", std::string("{\\rtf1 a\0b}", 11));
    Portfolio p;
    p.SetUseStatementFile(false);
    ASSERT_TRUE(p.AttachStatementFile(first));
    EXPECT_EQ(Bytes(p.GetStatementData()), ReadFileBytes(first));
    EXPECT_EQ(p.GetStatementFile(), first);
    EXPECT_FALSE(p.GetUseStatementFile()) << "attaching does not switch the attachment on";

    const struct {
        const char* what;
        std::string path;
    } failures[] = {
        {"missing file", dir / "gone.rtf"},
        {"folder", dir.Path().string()},
        {"empty path", ""},
    };
    for (const auto& f : failures) {
        EXPECT_FALSE(p.AttachStatementFile(f.path)) << f.what;
        EXPECT_EQ(Bytes(p.GetStatementData()), ReadFileBytes(first)) << f.what;
        EXPECT_EQ(p.GetStatementFile(), first) << f.what;
    }

    // Each of the three attachments fills its own stream.
    const std::string cv = dir.Write("cv.pdf", "CV");
    const std::string photo = dir.Write("me.jpg", "JPEG");
    ASSERT_TRUE(p.AttachCVFile(cv));
    ASSERT_TRUE(p.AttachPictureFile(photo));
    EXPECT_EQ(Bytes(p.GetCVData()), "CV");
    EXPECT_EQ(Bytes(p.GetPictureData()), "JPEG");
    EXPECT_EQ(p.GetPictureFile(), photo);

    // A shorter file replaces all of the old content.
    const std::string shorter = dir.Write("short.rtf", "x");
    ASSERT_TRUE(p.AttachStatementFile(shorter));
    EXPECT_EQ(Bytes(p.GetStatementData()), "x");
}

TEST_F(PortfolioTest, AttachmentsRefuseSpecialFilesAtOnce)
{
    TempDir dir;
    const struct {
        const char* what;
        bool (Portfolio::*attach)(const std::string&);
    } attachments[] = {{"statement", &Portfolio::AttachStatementFile},
                       {"cv", &Portfolio::AttachCVFile},
                       {"picture", &Portfolio::AttachPictureFile}};
    for (const auto& a : attachments) {
        SCOPED_TRACE(a.what);
        ExpectSpecialFilesRefused(dir / a.what, ".doc", [&](const std::string& path) {
            Portfolio p;
            return (p.*a.attach)(path);
        });
    }
}
