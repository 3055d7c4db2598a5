#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "FreeImage/FreeBitmap.h"
#include "model/FileElements.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/TempDir.h"

namespace {

std::string Md5Sum(const std::string& path)
{
    std::string out;
    EXPECT_EQ(RunCommand("md5sum '" + path + "'", &out), 0) << out;
    std::string hex = out.substr(0, 32);
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return std::toupper(c); });
    return hex;
}

} // namespace

TEST(FileElements, FileElementCarriesHashOnlyForReadableContent)
{
    TempDir dir;
    const std::string full = dir.Write("cv.pdf", "%PDF-1.4 some bytes");
    const std::string empty = dir.Write("empty.pdf", "");
    const struct {
        std::string path;
        bool hashed;
    } cases[] = {
        {full, true},
        {"", false},
        {empty, false},
        {dir / "missing.pdf", false},
        {dir.Path().string(), false},
    };
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Details");
    root.AddChild("First");
    for (const auto& c : cases) {
        IXMLNode element = AddFileElement(root, "CVFile", c.path);
        ASSERT_FALSE(element.IsNull()) << c.path;
        EXPECT_EQ(element.NodeName(), "CVFile");
        EXPECT_EQ(element.Text(), c.path);
        EXPECT_EQ(element.HasAttribute("Hash"), c.hashed) << c.path;
        if (c.hashed) {
            EXPECT_EQ(element.GetAttribute("Hash").value_or(""), Md5Sum(c.path));
        }
    }
    // Appended after what was there, in call order.
    const auto children = root.ChildNodes();
    ASSERT_EQ(children.size(), 6u);
    EXPECT_EQ(children.front().NodeName(), "First");
    EXPECT_EQ(children[1].Text(), full);

    // The written document carries the path and hash as they are.
    doc.SetNodeAutoIndent(false);
    EXPECT_NE(doc.SaveToXML().find("<CVFile Hash=\"" + Md5Sum(full) + "\">" + full + "</CVFile>"),
              std::string::npos);
}

TEST(FileElements, PictureElementAlwaysCarriesTheHash)
{
    Options::Instance()->SetPictureSize(7);
    TempDir dir;
    const std::string path = dir / "art.png";
    ASSERT_TRUE(TFreeBitmap(FIT_BITMAP, 4, 4, 24).Save(path));

    Portfolio portfolio;
    Picture fresh(&portfolio);
    fresh.SetFileName("C:\\Art\\never loaded.jpg");
    Picture loaded(&portfolio);
    ASSERT_TRUE(loaded.LoadFromFile(path));

    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Picture");
    IXMLNode a = AddPictureFileElement(root, "PictureFile", &fresh);
    ASSERT_FALSE(a.IsNull());
    EXPECT_EQ(a.Text(), "C:\\Art\\never loaded.jpg");
    EXPECT_EQ(a.GetAttribute("Hash"), std::optional<std::string>(""));

    IXMLNode b = AddPictureFileElement(root, "PictureFile", &loaded);
    EXPECT_EQ(b.Text(), path);
    EXPECT_EQ(b.GetAttribute("Hash").value_or(""), Md5Sum(path));
}

TEST(FileElements, NoElementGivesNullNode)
{
    Portfolio portfolio;
    Picture picture(&portfolio);
    TXMLDocument doc;
    IXMLNode root = doc.AddChild("Root");
    EXPECT_TRUE(AddFileElement(IXMLNode(), "CVFile", "").IsNull());
    EXPECT_TRUE(AddPictureFileElement(IXMLNode(), "PictureFile", &picture).IsNull());
    EXPECT_TRUE(AddFileElement(root, "bad name", "").IsNull());
    EXPECT_FALSE(root.HasChildNodes());
}
