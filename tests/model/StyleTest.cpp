#include <gtest/gtest.h>

#include "model/Style.h"
#include "platform/xml/XMLDocument.h"

namespace {

struct CssCase {
    const char* label;
    void (*setup)(Style&);
    const char* prefix;
    const char* expected;
};

const CssCase cssCases[] = {
    {"only a name", [](Style&) {}, "\\", ".title {  }\r\n"},
    {"every field, front page",
     [](Style& s) {
         s.FriendlyName = "Label is never written";
         s.FontFamily = "Georgia, serif";
         s.FontSize = "13";
         s.FontColor = "0x00FF0000";
         s.FontStyle = "Bold";
         s.TextAlign = "Center";
         s.BackgroundColor = "0x000000FF";
         s.BackgroundImage = "paper.jpg";
         s.BackgroundRepeat = "Horizontal";
         s.AppendCss = "padding:4px;";
     },
     "\\",
     ".title { font-family:Georgia, serif;font-size:0.81em;color:#FF0000;"
     "font-style:normal;font-weight:bold;text-align:center;background:url(\"Data/paper.jpg\");"
     "background-repeat:repeat-x;background-color:#0000FF;padding:4px; }\r\n"},
    {"artwork page url has no folder",
     [](Style& s) { s.BackgroundImage = "paper.jpg"; }, "\\Data\\",
     ".title { background:url(\"paper.jpg\"); }\r\n"},
    {"other prefix: no image, repeat and colour stay",
     [](Style& s) {
         s.BackgroundImage = "paper.jpg";
         s.BackgroundRepeat = "Tile";
         s.BackgroundColor = "0x00102030";
     },
     "/", ".title { background-repeat:repeat;background-color:#102030; }\r\n"},
    {"styles and repeats compare exactly",
     [](Style& s) {
         s.FontStyle = "bold";
         s.BackgroundRepeat = "tile";
         s.TextAlign = "JUSTIFY";
     },
     "\\", ".title { text-align:justify; }\r\n"},
    {"normal and italic",
     [](Style& s) {
         s.FontStyle = "Italic";
         s.BackgroundRepeat = "Normal";
     },
     "\\", ".title { font-style:italic;font-weight:normal;background-repeat:no-repeat; }\r\n"},
    {"vertical repeat, normal style",
     [](Style& s) {
         s.FontStyle = "Normal";
         s.BackgroundRepeat = "Vertical";
     },
     "\\", ".title { font-style:normal;font-weight:normal;background-repeat:repeat-y; }\r\n"},
    // Hand-edited or imported values that do not convert lose only their
    // own declaration; the page still gets the rest of the rule.
    {"bad font size and colours are left out",
     [](Style& s) {
         s.FontFamily = "Arial";
         s.FontSize = "large";
         s.FontColor = "red";
         s.BackgroundColor = "0xZZ";
         s.TextAlign = "Left";
     },
     "\\", ".title { font-family:Arial;text-align:left; }\r\n"},
    {"decimal colour text and the top byte",
     [](Style& s) {
         s.FontColor = "16711680";      // 0xFF0000
         s.BackgroundColor = "0xFF00FF00"; // top byte ignored
     },
     "\\", ".title { color:#FF0000;background-color:#00FF00; }\r\n"},
    {"fractional size in either separator",
     [](Style& s) { s.FontSize = "12,5"; }, "\\", ".title { font-size:0.78em; }\r\n"},
    // An imported template's fields go into the page's style element: no
    // "<" may end it and start markup or script.
    {"tag openers in any field are escaped",
     [](Style& s) {
         s.FontFamily = "Arial</style><script>alert(1)</script>";
         s.BackgroundImage = "x</STYLE>.png";
         s.AppendCss = "color:red}</style ><img src=x onerror=alert(2)>";
     },
     "\\", ".title { font-family:Arial\\3C /style>\\3C script>alert(1)\\3C /script>;"
           "background:url(\"Data/x\\3C /STYLE>.png\");color:red}\\3C /style >\\3C img src=x onerror=alert(2)> }\r\n"},
    {"quote in an image name cannot end the url",
     [](Style& s) { s.BackgroundImage = "a\"b.png"; }, "\\Data\\",
     ".title { background:url(\"a\\\"b.png\"); }\r\n"},
};

TEST(StyleCss, GoldenRules)
{
    for (const auto& c : cssCases) {
        Style style(".title");
        c.setup(style);
        EXPECT_EQ(style.ToCss(c.prefix), c.expected) << c.label;
    }
}

// A received template's CSS may name any file of the machine or of the
// web; a page keeps only the addresses of its own portfolio folder, in
// every spelling a browser reads.
TEST(StyleCss, AddressesLeavingThePortfolioAreTakenOut)
{
    struct Case {
        const char* appendCss;
        const char* prefix;
        const char* expected; // what stands after ".t { "
    };
    const Case cases[] = {
        {"background:url(/home/u/private.png) no-repeat;", "\\", "background:none no-repeat;"},
        {"background:url( 'file:///home/u/p.png' );", "\\", "background:none;"},
        {"background:url(\"http://tracker.example/p.gif\");", "\\", "background:none;"},
        {"background:URL(C:\\Users\\p.png);", "\\", "background:none;"},
        {"background:url(../p.png);", "\\", "background:none;"},
        {"background:url(../../p.png);", "\\Data\\", "background:none;"},
        {"background:url(Data/../../p.png);", "\\", "background:none;"},
        {"background:url(%2e%2e/p.png);", "\\", "background:none;"},
        {"background:url(.%2E/p.png);", "\\", "background:none;"},
        {"background:url(..%2fp.png);", "\\", "background:none;"},
        {"background:\\75 rl(/etc/x.png);", "\\", "background:none;"},
        {"background:u\\72l(\\2f etc/x.png);", "\\", "background:none;"},
        {"background:url(\"\\2f etc/x.png\");", "\\", "background:none;"},
        {"background:-webkit-image-set(\"/etc/x.png\" 1x);", "\\", "background:none;"},
        {"background:image-set(url(Data/a.png) 1x, \"/etc/x.png\" 2x);", "\\", "background:none;"},
        {"} @import url(/dev/zero); .u { color:red;", "\\", "}  .u { color:red;"},
        {"} @import \"file:///tmp/fifo\" screen; .u {", "\\", "}  .u {"},
        {"} @IMPORT '/dev/zero'", "\\", "}"},
        {"} @\\69mport url(/dev/zero); .u {", "\\", "}  .u {"},
        // What stays inside the folder is kept as written.
        {"background:url(Data/a.png);", "\\", "background:url(Data/a.png);"},
        {"background:url(../Images/a.png);", "\\Data\\", "background:url(../Images/a.png);"},
        {"background:url( \"a b.png\" );", "\\Data\\", "background:url( \"a b.png\" );"},
        {"background:url(data:image/png;base64,AAAA);", "\\", "background:url(data:image/png;base64,AAAA);"},
        {"} @import url(Data/extra.css); .u {", "\\", "} @import url(Data/extra.css); .u {"},
        {"content:\"/\"; font-family:\"../x\";", "\\", "content:\"/\"; font-family:\"../x\";"},
        {"/* url(/etc/x) */ color:red;", "\\", "/* url(/etc/x) */ color:red;"},
        {"background:myurl(/x);", "\\", "background:myurl(/x);"},
    };
    for (const Case& c : cases) {
        Style style(".t");
        style.AppendCss = c.appendCss;
        EXPECT_EQ(style.ToCss(c.prefix), std::string(".t { ") + c.expected + " }\r\n")
            << c.appendCss << " on " << c.prefix;
    }
    // The background field is a file name: one that climbs out goes too.
    Style style(".t");
    style.BackgroundImage = "../../../home/u/private.png";
    EXPECT_EQ(style.ToCss("\\Data\\"), ".t { background:none; }\r\n");
}

// A template made elsewhere may name its background longer than a file
// system takes: the page names it as the file is written, cut.
TEST(StyleCss, LongBackgroundNameIsCutAsItsFile)
{
    const std::string name = std::string(296, 'b') + ".png";
    Style style(".background");
    style.BackgroundImage = name;
    const std::string cut = std::string(251, 'b') + ".png";
    EXPECT_EQ(style.ToCss("\\Data\\"), ".background { background:url(\"" + cut + "\"); }\r\n");

    TXMLDocument document;
    style.SaveToXml(document.AddChild("Styles"));
    Style loaded(".background");
    ASSERT_TRUE(loaded.LoadFromXml(document.DocumentElement().ChildNode("Style")));
    EXPECT_EQ(loaded.BackgroundImage, cut);
}

TEST(StyleCss, FontSizesRoundTiesToEven)
{
    const std::pair<const char*, const char*> sizes[] = {
        {"10", "0.62em"}, {"12", "0.75em"}, {"13", "0.81em"}, {"14", "0.88em"}, {"16", "1.00em"},
        {"18", "1.12em"}, {"24", "1.50em"}, {"6", "0.38em"},  {"96", "6.00em"}, {"22", "1.38em"},
    };
    for (const auto& [size, em] : sizes) {
        Style style("p");
        style.FontSize = size;
        EXPECT_EQ(style.ToCss("\\"), std::string("p { font-size:") + em + "; }\r\n") << size;
    }
}

TEST(StyleCss, EmptyNameGivesNothing)
{
    Style style("");
    style.FontFamily = "Arial";
    style.BackgroundColor = "0x00FFFFFF";
    EXPECT_EQ(style.ToCss("\\"), "");
}

TEST(StyleColor, StoredFormSwapsRedAndBlue)
{
    Style style(".text");
    style.SetFontColor(255); // pure red in the GUI layout
    EXPECT_EQ(style.FontColor, "0x00FF0000");
    std::uint32_t color = 0;
    ASSERT_TRUE(style.GetFontColor(&color));
    EXPECT_EQ(color, 255u);
    EXPECT_EQ(style.ToCss("\\"), ".text { color:#FF0000; }\r\n");

    style.SetBackgroundColor(0x80123456u); // a system colour code: the top byte goes
    EXPECT_EQ(style.BackgroundColor, "0x00563412");
    ASSERT_TRUE(style.GetBackgroundColor(&color));
    EXPECT_EQ(color, 0x123456u);
}

TEST(StyleColor, GettersRefuseWithoutTouchingTheOutValue)
{
    Style style(".text");
    std::uint32_t color = 77;
    EXPECT_FALSE(style.GetFontColor(&color));
    EXPECT_FALSE(style.GetBackgroundColor(&color));
    style.FontColor = "not a colour";
    EXPECT_FALSE(style.GetFontColor(&color));
    EXPECT_EQ(color, 77u);
    style.FontColor = "0x000000FF";
    EXPECT_FALSE(style.GetFontColor(nullptr));
    ASSERT_TRUE(style.GetFontColor(&color));
    EXPECT_EQ(color, 0xFF0000u);
}

TEST(StyleXml, RoundTripKeepsEveryField)
{
    Style style(".heading");
    style.FriendlyName = "Headings & titles";
    style.FontFamily = "'Palatino Linotype', serif";
    style.FontSize = "18";
    style.FontColor = "0x008C4A2F";
    style.FontStyle = "Italic";
    style.TextAlign = "Right";
    style.BackgroundColor = "0x00FFFFFF";
    style.BackgroundImage = "paper <1>.png";
    style.BackgroundRepeat = "Tile";
    style.AppendCss = "margin:0 0 8px 0;";

    TXMLDocument document;
    IXMLNode root = document.AddChild("Styles");
    style.SaveToXml(root);
    TXMLDocument reread;
    reread.LoadFromXML(document.SaveToXML());
    IXMLNode element = reread.DocumentElement().ChildNode("Style");
    ASSERT_FALSE(element.IsNull());

    Style loaded(".heading");
    ASSERT_TRUE(loaded.LoadFromXml(element));
    EXPECT_EQ(loaded.ToCss("\\"), style.ToCss("\\"));
    EXPECT_EQ(loaded.FriendlyName, style.FriendlyName);
    EXPECT_EQ(loaded.BackgroundImage, style.BackgroundImage);
}

TEST(StyleXml, EmptyFieldsWriteOnlyTheName)
{
    Style style(".spacer");
    TXMLDocument document;
    IXMLNode root = document.AddChild("Styles");
    style.SaveToXml(root);
    Style("").SaveToXml(root); // no selector: nothing to write

    const auto children = root.ChildNodes();
    ASSERT_EQ(children.size(), 1u);
    const auto fields = children[0].ChildNodes();
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].NodeName(), "Name");

    Style loaded(".spacer");
    loaded.FontFamily = "stale";
    ASSERT_TRUE(loaded.LoadFromXml(children[0]));
    EXPECT_EQ(loaded.FontFamily, ""); // a field the writer left out reads back empty
}

TEST(StyleXml, OtherNameIsRefusedAndNothingChanges)
{
    TXMLDocument document;
    document.LoadFromXML("<Style><Name>.footer</Name><FontSize>10</FontSize></Style>");
    Style style(".Footer");
    style.FontSize = "12";
    EXPECT_FALSE(style.LoadFromXml(document.DocumentElement()));
    EXPECT_EQ(style.FontSize, "12");
}

TEST(StyleCopy, KeepsTheTargetSelector)
{
    Style source(".title");
    source.FontFamily = "Arial";
    source.AppendCss = "x:y;";
    Style target(".footer");
    target.TextAlign = "Left";
    EXPECT_FALSE(target.CopyFrom(nullptr));
    EXPECT_EQ(target.TextAlign, "Left");
    ASSERT_TRUE(target.CopyFrom(&source));
    EXPECT_EQ(target.Name, ".footer");
    EXPECT_EQ(target.ToCss("\\"), ".footer { font-family:Arial;x:y; }\r\n");
}

} // namespace
