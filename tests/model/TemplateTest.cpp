#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "model/Options.h"
#include "model/Template.h"
#include "platform/xml/XMLDocument.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

namespace {

const char* const kBuiltinNames[] = {"autorun.inf", "autorun.ico", "Word.png", "ForwardOn.png",
                                     "ForwardOff.png", "BackwardOn.png", "BackwardOff.png"};

// "TWFu" is base64 of "Man".
const char* const kTemplateXml = R"(<Template Version="2.0">
  <Name>Paper</Name>
  <Builtin>false</Builtin>
  <Layout>Wide</Layout>
  <Styles>
    <Style><Name>.background</Name><BackgroundImage>paper.png</BackgroundImage><BackgroundRepeat>Tile</BackgroundRepeat></Style>
    <!-- a comment between styles is not a style -->
    <Style><Name>.title</Name><FontSize>24</FontSize><FontColor>0x00336699</FontColor></Style>
    <Other><Name>.ignored</Name></Other>
  </Styles>
  <Files>
    <StaticFile Name="paper.png" Encoding="base64" Type="Background">TWFu</StaticFile>
    <StaticFile Name="../escape.png" Encoding="base64" Type="Background">TWFu</StaticFile>
    <StaticFile/>
  </Files>
</Template>)";

std::unique_ptr<Template> FromXml(const std::string& xml, const std::string& name = "Paper")
{
    TXMLDocument document;
    document.LoadFromXML(xml);
    auto item = std::make_unique<Template>(name);
    EXPECT_TRUE(item->LoadFromXml(document.DocumentElement()));
    return item;
}

std::string Bytes(const StaticFile* file)
{
    return std::string(reinterpret_cast<const char*>(file->GetData()), file->GetSize());
}

void ExpectBuiltinsFirst(const Template& item)
{
    ASSERT_GE(item.GetStaticFileCount(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(item.GetStaticFile(i)->IsBuiltin()) << i;
        EXPECT_EQ(item.GetStaticFile(i)->GetName(), kBuiltinNames[i]);
        EXPECT_GT(item.GetStaticFile(i)->GetSize(), 0u) << kBuiltinNames[i];
    }
}

// ---------------------------------------------------------------- skeletons

struct Markers {
    std::map<std::string, int> placeholders;
    std::map<std::string, int> blocks;   // named blocks, counted by their openings
    std::map<std::string, int> safe;     // HTML_SAFE / PDF_SAFE pairs
};

// Reads every marker of a skeleton and checks on the way that each
// commented block ends with its own closing marker and nothing else.
Markers Inventory(const std::string& page)
{
    Markers found;
    std::map<std::string, int> openSafe;
    const std::regex token("%([A-Z_]+)%");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), token); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        const auto at = static_cast<std::size_t>(it->position());
        const auto end = at + it->length();
        const bool opens = at >= 4 && page.compare(at - 4, 4, "<!--") == 0;
        const bool closes = page.compare(end, 5, "//-->") == 0;
        auto endsWith = [&](const std::string& suffix) {
            return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
        };
        if (name == "HTML_SAFE" || name == "PDF_SAFE") {
            if (opens) {
                EXPECT_FALSE(closes);
                ++openSafe[name];
                const auto close = page.find("-->", end);
                EXPECT_EQ(close, page.find("%" + name + "%//-->", end) + name.size() + 4) << "at " << at;
            } else {
                EXPECT_TRUE(closes) << name << " at " << at;
                if (--openSafe[name] == 0)
                    ++found.safe[name];
            }
        } else if (endsWith("_BEGIN")) {
            const std::string block = name.substr(0, name.size() - 6);
            EXPECT_TRUE(opens) << name;
            ++found.blocks[block];
            const std::string closing = "%" + block + "_END%//-->";
            const auto close = page.find(closing, end);
            EXPECT_NE(close, std::string::npos) << block;
            if (close == std::string::npos)
                continue;
            // a block left off must be one comment: no other comment inside it
            EXPECT_EQ(page.find("-->", end), close + closing.size() - 3) << block;
            EXPECT_EQ(page.substr(end, close - end).find("<!--"), std::string::npos) << block;
        } else if (endsWith("_END")) {
            EXPECT_TRUE(closes) << name;
        } else {
            ++found.placeholders[name];
        }
    }
    return found;
}

void ExpectPageForm(const std::string& page)
{
    ASSERT_FALSE(page.empty());
    for (std::size_t i = 0; i < page.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(page[i]), 0x80u) << "at " << i;
        if (page[i] == '\n') {
            ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << "bare LF at " << i;
        }
        if (page[i] == '\r') {
            ASSERT_TRUE(i + 1 < page.size() && page[i + 1] == '\n') << "bare CR at " << i;
        }
    }
    EXPECT_NE(page.back(), '\n');
    EXPECT_NE(page.find('\t'), std::string::npos);
    EXPECT_EQ(page.rfind("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"", 0), 0u);
    EXPECT_NE(page.find("<html xmlns=\"http://www.w3.org/1999/xhtml\">"), std::string::npos);
    EXPECT_NE(page.find("content=\"text/html; charset=utf-8\""), std::string::npos);
    EXPECT_NE(page.find("<title>%ARTISTNAME%</title>"), std::string::npos);
    for (const char* function : {"MM_swapImgRestore", "MM_preloadImages", "MM_findObj", "MM_swapImage"})
        EXPECT_NE(page.find(std::string("function ") + function + "("), std::string::npos) << function;
    EXPECT_NE(page.find("<style type=\"text/css\">\r\n<!--"), std::string::npos);
    EXPECT_NE(page.find("<body onload=\"MM_preloadImages("), std::string::npos);
    EXPECT_NE(page.find("style=\"min-height:100vh;\""), std::string::npos);
    EXPECT_NE(page.find("style=\"height:%PDF_PAGE_HEIGHT%px;width:%PDF_PAGE_WIDTH%px;\""), std::string::npos);
    for (const char* cls : {"background", "spacer", "title", "content", "text", "footer"})
        EXPECT_NE(page.find(std::string("class=\"") + cls + "\""), std::string::npos) << cls;
    EXPECT_NE(page.find("width=\"600\""), std::string::npos);
    EXPECT_NE(page.find("width=\"48\""), std::string::npos);
    EXPECT_NE(page.find("class=\"footer\" style=\"width:600px;"), std::string::npos);
    EXPECT_NE(page.find("class=\"title\" style=\"width:600px;"), std::string::npos);
}

TEST(Skeletons, FrontPageMarkersAndLinks)
{
    const std::string page = Options::Instance()->GetResourceText("P1");
    ExpectPageForm(page);
    const Markers m = Inventory(page);
    const std::map<std::string, int> placeholders = {
        {"ARTISTNAME", 3},      {"STYLES", 1},          {"PDF_PAGE_HEIGHT", 1}, {"PDF_PAGE_WIDTH", 1},
        {"STATEMENTTITLE", 1},  {"STATEMENTTEXT", 1},   {"ARTISTSTATEMENT", 1}, {"ARTISTCV", 1},
        {"ARTISTPICTURE", 1},   {"ARTISTPHONE", 1},     {"ARTISTMAIL", 1},      {"ARTISTWEBSITE", 1},
        {"ARTISTADDRESS", 1},   {"PORTFOLIODATE", 1},   {"PORTFOLIOYEAR", 1},
        {"ARTISTSTATEMENT_KIND", 1}, {"ARTISTSTATEMENT_PROGRAM", 1}, {"ARTISTCV_KIND", 1}, {"ARTISTCV_PROGRAM", 1},
    };
    EXPECT_EQ(m.placeholders, placeholders);
    const std::map<std::string, int> blocks = {
        {"STATEMENTTEXT", 1}, {"HTML_STATEMENT", 1}, {"PDF_STATEMENT", 1}, {"HTML_CV", 1},
        {"PDF_CV", 1},        {"CONTACT", 1},        {"ARTISTPICTURE", 2}, {"ARTISTPHONE", 1},
        {"ARTISTMAIL", 1},    {"ARTISTWEBSITE", 1},  {"ARTISTADDRESS", 1}, {"PORTFOLIODATE", 1},
        {"PORTFOLIOCOPYRIGHT", 1},
    };
    EXPECT_EQ(m.blocks, blocks);
    EXPECT_EQ(m.safe, (std::map<std::string, int>{{"HTML_SAFE", 2}, {"PDF_SAFE", 2}}));

    for (const char* text : {"href=\"./Data/%ARTISTSTATEMENT%\" target=\"_blank\"", "href=\"./Data/%ARTISTCV%\"",
                             "src=\"Data/Word.png\" width=\"32\" height=\"32\"", "alt=\"%ARTISTCV_KIND%\"",
                             "Please click here to view my statement%ARTISTSTATEMENT_PROGRAM%.",
                             "Please click here to view my CV%ARTISTCV_PROGRAM%.",
                             "You can find a copy of my Statement attached inside this PDF file.",
                             "You can find a copy of my CV attached inside this PDF file.",
                             "<h2 class=\"heading\">Statement File</h2>", ">Curriculum Vitae File<", ">Contact<",
                             "src=\"Data/%ARTISTPICTURE%\" alt=\"Artists Photo\" width=\"250\"",
                             "class=\"text\" style=\"margin-top:15px;\"", "width=\"65%\"", "Phone:", "E-Mail:",
                             "Website:", "Address:", "href=\"Data/000.html\"", "name=\"ForwardButton\"",
                             "src=\"Data/ForwardOff.png\"", "'Data/ForwardOn.png'", "alt=\"Next Page...\"",
                             "Portfolio Created %PORTFOLIODATE%.", "Copyright &copy; %PORTFOLIOYEAR%, %ARTISTNAME%."})
        EXPECT_NE(page.find(text), std::string::npos) << text;
    EXPECT_EQ(page.find("resize_image"), std::string::npos);
}

TEST(Skeletons, ArtworkPageMarkersAndLinks)
{
    const std::string page = Options::Instance()->GetResourceText("P2");
    ExpectPageForm(page);
    const Markers m = Inventory(page);
    const std::map<std::string, int> placeholders = {
        {"ARTISTNAME", 3},    {"STYLES", 1},           {"PDF_PAGE_HEIGHT", 1}, {"PDF_PAGE_WIDTH", 1},
        {"PREVPAGE", 1},      {"ARTWORK_WIDTH", 1},    {"ARTWORK_STYLE", 2},   {"IMAGEFILE", 3},
        {"IMAGETITLE", 1},    {"IMAGEMEDIA", 1},       {"IMAGEDIMENSIONS", 1}, {"DESCRIPTION", 1},
        {"NEXTPAGE", 1},      {"PORTFOLIODATE", 1},    {"PORTFOLIOYEAR", 1},
    };
    EXPECT_EQ(m.placeholders, placeholders);
    EXPECT_EQ(m.blocks, (std::map<std::string, int>{{"DESCRIPTION", 1}, {"PORTFOLIODATE", 1}, {"PORTFOLIOCOPYRIGHT", 1}}));
    EXPECT_EQ(m.safe, (std::map<std::string, int>{{"HTML_SAFE", 5}, {"PDF_SAFE", 5}}));

    for (const char* text : {"function resize_image(", "class=\"artwork\"", "class=\"artwork\" style=\"width:%ARTWORK_WIDTH%px;",
                             "href=\"../%PREVPAGE%\"", "name=\"BackButton\"", "src=\"../Data/BackwardOff.png\"",
                             "'../Data/BackwardOn.png'", "alt=\"Previous Page...\"", "href=\"../%NEXTPAGE%\"",
                             "src=\"../Data/ForwardOff.png\"", "'../Data/ForwardOn.png'", "alt=\"Next Page...\"",
                             "<a href=\"../Images/%IMAGEFILE%\" target=\"_blank\"><img src=\"../Images/%IMAGEFILE%\" name=\"artimage\"",
                             "style=\"%ARTWORK_STYLE%\"", "alt=\"Click to open the image...\"", "onload=\"resize_image()\"",
                             "alt=\"\"", "%IMAGETITLE%<br />%IMAGEMEDIA%<br />%IMAGEDIMENSIONS%",
                             "<p class=\"text\" style=\"width:600px;\">%DESCRIPTION%</p>"})
        EXPECT_NE(page.find(text), std::string::npos) << text;
    // the table "text" opens once for each kind of output, identically
    const std::string table = "<table id=\"text\" width=\"600\"";
    const auto first = page.find("<!--%HTML_SAFE%" + table);
    const auto second = page.find("<!--%PDF_SAFE%" + table);
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    const auto lineOf = [&](std::size_t at, const std::string& marker) {
        const auto from = at + marker.size() + 4;
        return page.substr(from, page.find('%', from) - from);
    };
    EXPECT_EQ(lineOf(first, "%HTML_SAFE%"), lineOf(second, "%PDF_SAFE%"));
}

// ---------------------------------------------------------------- template

TEST(TemplateModel, NewTemplateIsEmptyAndNotBuiltin)
{
    Template item("Fresh");
    EXPECT_EQ(item.GetName(), "Fresh");
    EXPECT_FALSE(item.IsBuiltin());
    EXPECT_EQ(item.GetLayout(), "Default");
    EXPECT_EQ(item.GetStyleCount(), 0);
    EXPECT_EQ(item.GetStaticFileCount(), 0);
    EXPECT_EQ(item.GetStyle(0), nullptr);
    EXPECT_EQ(item.GetStaticFile(-1), nullptr);

    // Only %STYLES% is the template's to fill.
    const std::string page = item.GetMainPageHtml("\\");
    EXPECT_EQ(page.find("%STYLES%"), std::string::npos);
    EXPECT_NE(page.find("%ARTISTNAME%"), std::string::npos);
    EXPECT_NE(page.find("<!--%CONTACT_BEGIN%"), std::string::npos);
    EXPECT_EQ(page.size(), Options::Instance()->GetResourceText("P1").size() - 8);
}

TEST(TemplateModel, LoadsStylesAndFilesBuiltinsFirst)
{
    auto item = FromXml(kTemplateXml);
    EXPECT_FALSE(item->IsBuiltin());
    EXPECT_EQ(item->GetLayout(), "Wide");
    ASSERT_EQ(item->GetStyleCount(), 2);
    EXPECT_EQ(item->GetStyle(1)->Name, ".title");
    ASSERT_EQ(item->GetStaticFileCount(), 8); // the unsafe and the empty file are dropped
    ExpectBuiltinsFirst(*item);
    EXPECT_EQ(item->GetStaticFile(7)->GetName(), "paper.png");
    EXPECT_EQ(Bytes(item->GetStaticFile(7)), "Man");
    EXPECT_EQ(item->FindStaticFile("paper.png"), item->GetStaticFile(7));
    EXPECT_EQ(item->FindStyle(".title"), item->GetStyle(1));
    EXPECT_EQ(item->FindStyle(".TITLE"), nullptr);

    EXPECT_EQ(item->BuildCss("\\"), ".background { background:url(\"Data/paper.png\");background-repeat:repeat; }\r\n"
                                    ".title { font-size:1.50em;color:#336699; }\r\n");
    EXPECT_NE(item->GetArtworkPageHtml("\\Data\\").find(".background { background:url(\"paper.png\");"),
              std::string::npos);
    EXPECT_NE(item->GetMainPageHtml("\\").find("<!--\r\nbody { margin:0; padding:0; }\r\n.background { "),
              std::string::npos);
}

TEST(TemplateModel, SaveWritesOnlyItsOwnFilesAndReadsBackTheSame)
{
    auto item = FromXml(kTemplateXml);
    TXMLDocument document;
    IXMLNode root = document.AddChild("Templates");
    item->SaveToXml(root);
    IXMLNode element = root.ChildNode("Template");
    EXPECT_EQ(element.GetAttribute("Version").value_or(""), "2.0");
    std::vector<std::string> order;
    for (const auto& child : element.ChildNodes())
        order.push_back(child.NodeName());
    EXPECT_EQ(order, (std::vector<std::string>{"Name", "Builtin", "Layout", "Styles", "Files"}));
    EXPECT_EQ(element.ChildNode("Builtin").Text(), "false");
    ASSERT_EQ(element.ChildNode("Files").ChildNodes().size(), 1u);

    TXMLDocument reread;
    reread.LoadFromXML(document.SaveToXML());
    auto again = std::make_unique<Template>("Paper");
    ASSERT_TRUE(again->LoadFromXml(reread.DocumentElement().ChildNode("Template")));
    EXPECT_EQ(again->GetStaticFileCount(), 8);
    ExpectBuiltinsFirst(*again);
    EXPECT_EQ(again->BuildCss("\\"), item->BuildCss("\\"));
    EXPECT_EQ(again->GetLayout(), "Wide");
}

TEST(TemplateModel, BuiltinFlagAndMissingParts)
{
    const struct {
        const char* xml;
        bool builtin;
        int styles;
        int files;
    } cases[] = {
        {"<Template><Name>Paper</Name></Template>", true, 0, 7},
        {"<Template><Name>Paper</Name><Builtin>false</Builtin><Files>"
         "<StaticFile Name=\"a.png\" Encoding=\"base64\" Type=\"Background\">TWFu</StaticFile></Files></Template>",
         false, 0, 8},
        {"<Template><Name>Paper</Name><Builtin>true</Builtin><Styles><Style><Name>p</Name></Style></Styles></Template>",
         true, 1, 7},
    };
    for (const auto& c : cases) {
        auto item = FromXml(c.xml);
        EXPECT_EQ(item->IsBuiltin(), c.builtin) << c.xml;
        EXPECT_EQ(item->GetStyleCount(), c.styles) << c.xml;
        EXPECT_EQ(item->GetStaticFileCount(), c.files) << c.xml;
        EXPECT_EQ(item->GetLayout(), "") << c.xml;
    }
}

TEST(TemplateModel, ElementOfAnotherNameChangesNothing)
{
    auto item = FromXml(kTemplateXml);
    TXMLDocument other;
    other.LoadFromXML("<Template><Name>Other</Name><Styles/></Template>");
    EXPECT_FALSE(item->LoadFromXml(other.DocumentElement()));
    EXPECT_EQ(item->GetStyleCount(), 2);
    EXPECT_EQ(item->GetStaticFileCount(), 8);
    EXPECT_EQ(item->GetLayout(), "Wide");
}

TEST(TemplateModel, CopyIsDeepAndKeepsNameAndFlag)
{
    auto source = FromXml(kTemplateXml);
    Template copy("Copy");
    EXPECT_FALSE(copy.CopyFrom(nullptr));
    EXPECT_EQ(copy.GetStaticFileCount(), 0);
    ASSERT_TRUE(copy.CopyFrom(source.get()));
    EXPECT_EQ(copy.GetName(), "Copy");
    EXPECT_FALSE(copy.IsBuiltin());
    EXPECT_EQ(copy.GetLayout(), "Wide");
    ASSERT_EQ(copy.GetStaticFileCount(), 8);
    ExpectBuiltinsFirst(copy);
    EXPECT_EQ(copy.BuildCss("\\"), source->BuildCss("\\"));

    copy.GetStyle(1)->FontSize = "96";
    EXPECT_EQ(source->GetStyle(1)->FontSize, "24");
    EXPECT_NE(copy.GetStaticFile(7), source->GetStaticFile(7));

    // copying again replaces, it does not pile up
    ASSERT_TRUE(copy.CopyFrom(source.get()));
    EXPECT_EQ(copy.GetStaticFileCount(), 8);
    EXPECT_EQ(copy.GetStyleCount(), 2);
}

TEST(TemplateModel, InsertStylesFillsEveryPlaceAndNothingElse)
{
    auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>p</Name>"
                        "<AppendCss>/* %STYLES% */</AppendCss></Style></Styles></Template>");
    EXPECT_EQ(item->InsertStyles("a%STYLES%b%STYLES%", "\\"),
              "ap { /* %STYLES% */ }\r\nbp { /* %STYLES% */ }\r\n");
    EXPECT_EQ(item->InsertStyles("no marker %STYLE%", "\\"), "no marker %STYLE%");
}

// ---------------------------------------------------------- page background

TEST(TemplateBackground, WithoutBackgroundStyle)
{
    auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>.title</Name></Style></Styles></Template>");
    EXPECT_EQ(item->GetBackgroundColor(), 0xFFFFFFu);
    EXPECT_EQ(item->GetBackgroundRepeat(), "None");
    EXPECT_EQ(item->GetBackgroundImage(), "");
    item->SetBackgroundColor(0x123456);
    item->SetBackgroundRepeat("Tile");
    TempDir dir;
    EXPECT_FALSE(item->SetBackgroundImage(dir.Write("a.png", "png")));
    EXPECT_EQ(item->GetStaticFileCount(), 7);
    EXPECT_EQ(item->BuildCss("\\"), ".title {  }\r\n");
}

TEST(TemplateBackground, ColourAndRepeat)
{
    auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>.background</Name></Style></Styles></Template>");
    EXPECT_EQ(item->GetBackgroundRepeat(), "");
    EXPECT_EQ(item->GetBackgroundColor(), 0xFFFFFFu);
    item->SetBackgroundColor(255);
    EXPECT_EQ(item->FindStyle(".background")->BackgroundColor, "0x00FF0000");
    EXPECT_EQ(item->GetBackgroundColor(), 255u);
    item->SetBackgroundRepeat("Vertical");
    EXPECT_EQ(item->GetBackgroundRepeat(), "Vertical");
    // an image the template has no file for is not reported
    item->FindStyle(".background")->BackgroundImage = "gone.png";
    EXPECT_EQ(item->GetBackgroundImage(), "");
}

TEST(TemplateBackground, SetImage)
{
    TempDir dir;
    const auto first = dir.Write("paper.png", "first image");
    const auto second = dir.Write("canvas.jpg", "second image");
    auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>.background</Name>"
                        "<BackgroundColor>0x00FFEEDD</BackgroundColor></Style></Styles></Template>");
    Style* background = item->FindStyle(".background");

    // the first image adds a file of its own and clears the colour
    ASSERT_TRUE(item->SetBackgroundImage(first));
    EXPECT_EQ(background->BackgroundImage, "paper.png");
    EXPECT_EQ(background->BackgroundColor, "");
    ASSERT_EQ(item->GetStaticFileCount(), 8);
    EXPECT_EQ(item->GetStaticFile(7)->GetType(), "Background");
    EXPECT_FALSE(item->GetStaticFile(7)->IsBuiltin());
    EXPECT_EQ(item->GetBackgroundImage(), "paper.png");

    // a second image takes over that file: renamed, new bytes
    ASSERT_TRUE(item->SetBackgroundImage(second));
    ASSERT_EQ(item->GetStaticFileCount(), 8);
    EXPECT_EQ(item->GetStaticFile(7)->GetName(), "canvas.jpg");
    EXPECT_EQ(Bytes(item->GetStaticFile(7)), "second image");
    EXPECT_EQ(item->GetBackgroundImage(), "canvas.jpg");

    // a file that cannot be read changes nothing
    for (const std::string& bad : {dir / "missing.png", dir.Write("empty.png", "")}) {
        EXPECT_FALSE(item->SetBackgroundImage(bad)) << bad;
        EXPECT_EQ(background->BackgroundImage, "canvas.jpg");
        ASSERT_EQ(item->GetStaticFileCount(), 8);
        EXPECT_EQ(Bytes(item->GetStaticFile(7)), "second image");
    }

    // an empty path clears image and colour; the file stays
    background->BackgroundColor = "0x00000000";
    ASSERT_TRUE(item->SetBackgroundImage(""));
    EXPECT_EQ(background->BackgroundImage, "");
    EXPECT_EQ(background->BackgroundColor, "");
    EXPECT_EQ(item->GetStaticFileCount(), 8);
}

TEST(TemplateBackground, SpecialFilesAreRefusedAtOnce)
{
    TempDir dir;
    ExpectSpecialFilesRefused(dir.Path().string(), ".png", [](const std::string& path) {
        auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>.background</Name>"
                            "</Style></Styles></Template>");
        return item->SetBackgroundImage(path);
    });
}

TEST(TemplateBackground, BuiltinFileIsNeverReused)
{
    TempDir dir;
    auto item = FromXml("<Template><Name>Paper</Name><Styles><Style><Name>.background</Name>"
                        "<BackgroundImage>Word.png</BackgroundImage></Style></Styles></Template>");
    const std::string icon = Bytes(item->FindStaticFile("Word.png"));
    ASSERT_TRUE(item->SetBackgroundImage(dir.Write("dots.png", "dots")));
    EXPECT_EQ(Bytes(item->FindStaticFile("Word.png")), icon);
    ASSERT_EQ(item->GetStaticFileCount(), 8);
    EXPECT_EQ(item->GetStaticFile(7)->GetName(), "dots.png");
    EXPECT_FALSE(item->GetStaticFile(7)->IsBuiltin());
}

} // namespace
