#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model/Portfolio.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"

namespace {

std::string Bytes(TMemoryStream* stream)
{
    return std::string(reinterpret_cast<const char*>(stream->Memory()), static_cast<size_t>(stream->GetSize()));
}

class ArtistDetailsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = Portfolio::DetailsFilePath();
        ASSERT_FALSE(path_.empty());
        Remove();
    }
    void TearDown() override { Remove(); }

    void Remove()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    void WriteDetails(const std::string& xml)
    {
        std::ofstream(path_, std::ios::binary) << xml;
    }

    std::string path_;
};

} // namespace

TEST_F(ArtistDetailsTest, SavedDetailsPrefillANewPortfolio)
{
    TempDir dir;
    const std::string cv = dir.Write("cv.pdf", "%PDF cv bytes");
    const std::string photo = dir.Write("me.jpg", "jpeg bytes");
    {
        Portfolio p;
        p.SetName("Ann & Bo\nSmith");
        p.SetPhone("+1 <555>");
        p.SetEmail("ann@example.org");
        p.SetAddress("1 Main St\r\n\"Town\"");
        p.SetWebsiteAddress("http://ann.example");
        p.SetPictureFile(photo);
        p.SetUsePictureFile(true);
        p.SetCVFile(cv);
        p.SetUseCVFile(false);
        p.SetStatementTitle("About me");
        p.SetStatementText("not part of the details");
        ASSERT_TRUE(p.SaveDetails());
    }
    ASSERT_TRUE(Portfolio::HasSavedDetails());

    Portfolio q;
    EXPECT_FALSE(q.IsModified());
    EXPECT_EQ(q.GetName(false), "Ann &amp; Bo&break;Smith");
    EXPECT_EQ(q.GetName(true), "Ann & Bo\r\nSmith");
    EXPECT_EQ(q.GetPhone(true), "+1 <555>");
    EXPECT_EQ(q.GetEmail(true), "ann@example.org");
    EXPECT_EQ(q.GetAddress(true), "1 Main St\r\n\"Town\"");
    EXPECT_EQ(q.GetWebsiteAddress(false), "ann.example");
    EXPECT_EQ(q.GetPictureFile(), photo);
    EXPECT_TRUE(q.GetUsePictureFile());
    EXPECT_EQ(q.GetCVFile(), cv);
    EXPECT_FALSE(q.GetUseCVFile());
    // The files named by the details are attached again when they are there.
    EXPECT_EQ(Bytes(q.GetCVData()), "%PDF cv bytes");
    EXPECT_EQ(Bytes(q.GetPictureData()), "jpeg bytes");
    // The statement is not part of the details.
    EXPECT_EQ(q.GetStatementTitle(false), "Statement");
    EXPECT_EQ(q.GetStatementText(false), "");
}

TEST_F(ArtistDetailsTest, FileIsReadableByAnotherXmlReader)
{
    Portfolio p;
    p.SetName("Ann & Bo\nSmith");
    p.SetUseCVFile(true);
    ASSERT_TRUE(p.SaveDetails());

    const std::string script =
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.parse(sys.argv[1]).getroot()\n"
        "print(r.tag, r.get('Version'))\n"
        "print(','.join(c.tag for c in r))\n"
        "print(r.find('Name').text)\n"
        "print(r.find('UseCVFile').text, r.find('UsePictureFile').text)\n";
    TempDir dir;
    const std::string scriptPath = dir.Write("read.py", script);
    std::string out;
    ASSERT_EQ(RunCommand("/usr/bin/python3 " + scriptPath + " '" + path_ + "'", &out), 0) << out;
    EXPECT_EQ(out,
              "Details 2.0\n"
              "Name,Phone,Email,Address,WebsiteAddress,PictureFile,UsePictureFile,CVFile,UseCVFile\n"
              "Ann &amp; Bo&break;Smith\n"
              "true false\n");
}

TEST_F(ArtistDetailsTest, MissingFile)
{
    EXPECT_FALSE(Portfolio::HasSavedDetails());
    Portfolio p;
    EXPECT_FALSE(p.IsModified());
    EXPECT_EQ(p.GetName(false), "");
    EXPECT_EQ(p.GetCVFile(), "");
    EXPECT_FALSE(p.LoadSavedDetails());
}

TEST_F(ArtistDetailsTest, MalformedFileChangesNothing)
{
    Portfolio p;
    p.SetName("Kept");
    p.SetCVFile("/kept.pdf");
    p.ClearModified();
    WriteDetails("<?xml version=\"1.0\"?>\n<Details Version=\"2.0\"><Name>Lost</Name><CVFile>x</Details");
    EXPECT_FALSE(Portfolio::HasSavedDetails());
    EXPECT_FALSE(p.LoadSavedDetails());
    EXPECT_EQ(p.GetName(false), "Kept");
    EXPECT_EQ(p.GetCVFile(), "/kept.pdf");
    EXPECT_FALSE(p.IsModified());

    Portfolio fresh;
    EXPECT_EQ(fresh.GetName(false), "");
}

TEST_F(ArtistDetailsTest, WellFormedFileWithoutDetailsRootChangesNothing)
{
    WriteDetails("<?xml version=\"1.0\"?>\n<Other><Name>Not me</Name></Other>\n");
    EXPECT_TRUE(Portfolio::HasSavedDetails());
    Portfolio p;
    p.SetName("Kept");
    EXPECT_TRUE(p.LoadSavedDetails());
    EXPECT_EQ(p.GetName(false), "Kept");
}

TEST_F(ArtistDetailsTest, EmptyDetailsElementCountsAsSaved)
{
    WriteDetails("<?xml version=\"1.0\"?>\n<Details Version=\"2.0\"/>\n");
    EXPECT_TRUE(Portfolio::HasSavedDetails());
    Portfolio p;
    EXPECT_EQ(p.GetName(false), "");
    EXPECT_EQ(p.GetPictureFile(), "");
    EXPECT_FALSE(p.GetUsePictureFile());
    EXPECT_FALSE(p.GetUseCVFile());
    EXPECT_FALSE(p.IsModified());
}

TEST_F(ArtistDetailsTest, FlagValues)
{
    const struct {
        const char* element;   // the UsePictureFile element, or nothing
        bool expected;
    } cases[] = {
        {"", false},
        {"<UsePictureFile/>", false},
        {"<UsePictureFile>true</UsePictureFile>", true},
        {"<UsePictureFile>TRUE</UsePictureFile>", true},
        {"<UsePictureFile>false</UsePictureFile>", false},
        {"<UsePictureFile>1</UsePictureFile>", true},
        {"<UsePictureFile>yes</UsePictureFile>", false},
    };
    for (const auto& c : cases) {
        WriteDetails(std::string("<Details Version=\"2.0\">") + c.element + "</Details>");
        Portfolio p;
        EXPECT_EQ(p.GetUsePictureFile(), c.expected) << c.element;
    }
}

TEST_F(ArtistDetailsTest, HandEditedTextIsBroughtIntoStoredForm)
{
    // The file keeps the escaped form; a raw "<" or a lone "&" typed into it
    // by hand must still reach the pages escaped.
    WriteDetails("<Details Version=\"2.0\"><Name>a &lt; b &amp; c &amp;amp; d</Name>"
                 "<Address>x&#13;&#10;y</Address></Details>");
    Portfolio p;
    EXPECT_EQ(p.GetName(false), "a &lt; b &amp; c &amp; d");
    EXPECT_EQ(p.GetName(true), "a < b & c & d");
    EXPECT_EQ(p.GetAddress(false), "x&break;y");
}

TEST_F(ArtistDetailsTest, UnwritableTargetReportsFalse)
{
    // A folder standing where the file belongs cannot be replaced.
    std::filesystem::create_directories(std::filesystem::path(path_) / "inside");
    Portfolio p;
    p.SetName("Ann");
    EXPECT_FALSE(p.SaveDetails());
    EXPECT_TRUE(std::filesystem::is_directory(path_));
}

TEST_F(ArtistDetailsTest, SaveReplacesAnOlderFile)
{
    Portfolio p;
    p.SetName("First");
    ASSERT_TRUE(p.SaveDetails());
    p.SetName("Second");
    ASSERT_TRUE(p.SaveDetails());
    Portfolio q;
    EXPECT_EQ(q.GetName(false), "Second");
    // Nothing is left beside the file.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path_).parent_path()))
        entries += e.path().filename().string().rfind("details.xml", 0) == 0 ? 1 : 0;
    EXPECT_EQ(entries, 1);
}
