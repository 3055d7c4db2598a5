// Caption markup: the string functions, and layout judged by the stripped
// text, the measured size and hit results rather than by glyph pixels.
#include <gtest/gtest.h>

#include "controls/ImageList.h"
#include "controls/MarkupRenderer.h"
#include "tests/controls/DrawingFixture.h"

TEST(MarkupStrings, StripTagsAndVisiblePositions)
{
    const std::pair<const char*, const char*> strip[] = {
        {"<B>ab</B>", "ab"},          {"x<FONT COLOR=\"#FF0000\">y</FONT>", "xy"}, {"&amp;<I>x</I>", "&amp;x"},
        {"a < b", "a < b"},           {"a<b>c<d", "ac<d"},  {"<>", ""}, {"", ""},
    };
    for (const auto& [text, stripped] : strip)
        EXPECT_EQ(stripped, StripTags(text)) << text;

    struct Case {
        const char* text;
        int n, index;
    } visible[] = {
        {"<B>ab</B>", 1, 4}, {"<B>ab</B>", 2, 5}, {"<B>ab</B>", 3, 10}, {"<B>ab</B>", 4, 0},
        {"<B>ab</B>", 0, 0}, {"a<b", 3, 3},      {"", 1, 1},
    };
    for (const Case& c : visible)
        EXPECT_EQ(c.index, VisibleToTextIndex(c.text, c.n)) << c.text << " " << c.n;
}

TEST(MarkupStrings, HighlightMarksEveryOccurrenceInsideTheMarkup)
{
    struct Case {
        const char* markup;
        const char* search;
        bool caseSensitive;
        const char* result;
    } cases[] = {
        {"x<B>abc</B>", "b", false, "x<B>a<HI>b</HI>c</B>"},
        {"x<B>abc</B>", "B", false, "x<B>a<HI>b</HI>c</B>"},
        {"x<B>abc</B>", "B", true, "x<B>abc</B>"},
        {"abab", "ab", false, "<HI>ab</HI><HI>ab</HI>"},
        {"a<B>b</B>", "ab", false, "<HI>a<B>b</HI></B>"},
        {"aaa", "aa", false, "<HI>aa</HI>a"},
        {"abc", "", false, "abc"},  // an empty search marks nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, HighlightText(c.markup, c.search, "HI", c.caseSensitive)) << c.markup << " / " << c.search;

    int position = 0;
    EXPECT_EQ(5, FindVisibleText("abcabc", "BC", 2, position, false));
    EXPECT_EQ(5, position);
    EXPECT_EQ(0, FindVisibleText("abcabc", "BC", 2, position, true));
}

TEST(MarkupStrings, ColoursAndSmallHelpers)
{
    const std::pair<const char*, TColor> cases[] = {
        {"#FF0000", 0x0000FF}, {"#0000FF", 0xFF0000}, {"#ff8000", 0x0080FF}, {"#Ff8000", 0x0080FF},
        {"#FF00", 0},          {"#GG0000", 0},        {"#FF00001", 0},       {"clRed", 0x0000FF},
        {"CLNAVY", 0x800000},  {"clbtnface", colors::clBtnFace}, {"clinfobk", colors::clInfoBk},
        {"nonsense", 0},       {"", 0},
    };
    for (const auto& [name, colour] : cases)
        EXPECT_EQ(colour, TextToColor(name)) << name;

    EXPECT_EQ(4, IPos("lo", "HELLO"));
    EXPECT_EQ(0, IPos("", "x"));
    EXPECT_EQ(42, IStrToInt("42"));
    EXPECT_EQ(0, IStrToInt("4x"));
    std::string text = "a<br>b<BR>";
    EXPECT_TRUE(ReplaceOnce(text, "<BR>", "|"));
    EXPECT_EQ("a|b<BR>", text);
    EXPECT_EQ("a<BR>b<BR>", LineBreaksToBR("a\r\nb\r"));
    EXPECT_EQ("Name and <B>", RemoveFieldTagMarkers("<#Name> and <B>"));
    EXPECT_TRUE(IsDirectory("/"));
    EXPECT_FALSE(IsDirectory("/no/such/place"));
}

class MarkupLayout : public ::testing::Test {
protected:
    MarkupResult Render(const std::string& text, int width = 400, bool wrap = false, int x = -1, int y = -1)
    {
        MarkupParams p;
        p.Graphics = &surface.G();
        p.Font.SetName("Arial");
        p.Font.SetSize(10);
        p.Text = text;
        p.R = TRect{0, 0, width, 200};
        p.WordWrap = wrap;
        p.CheckOnly = true;
        p.XPos = x;
        p.YPos = y;
        MarkupResult r;
        RenderMarkup(p, r);
        return r;
    }
    DrawingSurface surface{400, 200};
};

TEST_F(MarkupLayout, EntitiesDecodeOnceToTheirCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a &amp; b", "a & b"},
        {"&lt;B&gt;x", "<B>x"},
        {"&amp;quot;", "&quot;"},
        {"&amp;lt;B&amp;gt;", "&lt;B&gt;"},
        {"&euro;&copy;", "\u20AC\u00A9"},
        {"a < b", "a < b"},
        {"x&unknown;", "x&unknown;"},
    };
    for (const auto& [markup, shown] : cases)
        EXPECT_EQ(shown, Render(markup).StrippedText) << markup;
    // "&lt;B&gt;" shows three plain characters: as wide as the same
    // characters with no tag to open, narrower than them in bold.
    EXPECT_EQ(Render("&lt;B&gt;x").XSize, Render("&lt;B&gt;x<I></I>").XSize);
    EXPECT_LT(Render("&lt;B&gt;wwwww").XSize, Render("<B>&lt;B&gt;wwwww</B>").XSize);
    EXPECT_EQ(Render("a & b").XSize, Render("a &amp; b").XSize);
}

TEST_F(MarkupLayout, SizesOfHiddenTextFontSizesAndLineBreaks)
{
    EXPECT_EQ(Render("ab").XSize, Render("ab<Z>cdefgh</Z>").XSize);
    EXPECT_EQ("ab", Render("ab<Z>cdefgh</Z>").StrippedText);

    const int oneLine = Render("a").YSize;
    EXPECT_EQ(oneLine, Render("").YSize) << "an empty text is one line";
    EXPECT_EQ(2 * (oneLine - 2) + 2, Render("a\r\nb").YSize) << "CR LF is one break";
    EXPECT_EQ(Render("a<BR>b").YSize, Render("a\r\nb").YSize);

    // SIZE 3 is 12 points; other numbers are points, kept to 1-500.
    MarkupParams p;
    p.Graphics = &surface.G();
    p.Font.SetName("Arial");
    p.Font.SetSize(12);
    p.Text = "wide text";
    p.R = TRect{0, 0, 400, 200};
    p.CheckOnly = true;
    MarkupResult twelve;
    RenderMarkup(p, twelve);
    EXPECT_EQ(twelve.XSize, Render("<FONT SIZE=\"3\">wide text</FONT>").XSize);
    p.Font.SetSize(20);
    MarkupResult twenty;
    RenderMarkup(p, twenty);
    EXPECT_EQ(twenty.XSize, Render("<FONT SIZE=\"20\">wide text</FONT>").XSize);
    EXPECT_EQ(Render("<FONT SIZE=\"500\">w</FONT>").XSize, Render("<FONT SIZE=\"100000\">w</FONT>").XSize);
    EXPECT_EQ(Render("<FONT SIZE=\"1\">w</FONT>").XSize, Render("<FONT SIZE=\"8\">w</FONT>").XSize);
}

TEST_F(MarkupLayout, LinksAreHitOnlyOnTheirText)
{
    const std::string text = "go <A HREF=\"http://example/x\">here</A> now";
    const int before = Render("go ").XSize, link = Render("here").XSize;
    const MarkupResult on = Render(text, 400, false, before + link / 2, 5);
    EXPECT_EQ(0, on.MouseLink);
    EXPECT_EQ("http://example/x", on.Anchor);
    EXPECT_EQ(1, on.HyperLinks);
    EXPECT_EQ("go here now", on.StrippedText);

    for (int x : {2, before + link + Render(" n").XSize})
        EXPECT_EQ(-1, Render(text, 400, false, x, 5).MouseLink) << x;
    EXPECT_EQ(-1, Render(text, 400, false, before + link / 2, 150).MouseLink) << "below the line";
}

TEST_F(MarkupLayout, WordWrapNeverMovesALinesFirstPieceDown)
{
    const int lineHeight = Render("a").YSize - 2;
    const MarkupResult tight = Render("extraordinarily tail", 30, true);
    EXPECT_EQ(2 * lineHeight + 2, tight.YSize) << "the long word stays on the first line";
    EXPECT_GT(tight.XSize, 30);

    const int fits = Render("aaaa ").XSize;
    EXPECT_EQ(2 * lineHeight + 2, Render("aaaa bbbb", fits + 2, true).YSize);
    EXPECT_EQ(lineHeight + 2, Render("aaaa bbbb", 400, true).YSize);
    // A piece joined to the previous one without a space stays with it.
    EXPECT_EQ(lineHeight + 2, Render("aaaa<B>bbbb</B>", fits + 2, true).YSize);
}

TEST_F(MarkupLayout, DrawsBackgroundsAndPictures)
{
    TImageList images;
    QImage red(6, 6, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    images.Add(red);
    MarkupParams p;
    p.Graphics = &surface.G();
    p.Font.SetSize(10);
    p.Text = "<BODY BGCOLOR=\"#00FF00\">x<IMG SRC=\"IDX:0\" ALT=\"a red square\"><IMG SRC=\"IDX:9\">";
    p.R = TRect{0, 0, 100, 40};
    const int x = Render("x").XSize;
    p.XPos = x + 2;
    p.YPos = Render("x").YSize - 2 - 3;
    p.Images = &images;
    MarkupResult r;
    RenderMarkup(p, r);
    EXPECT_EQ("a red square", r.Hint);
    EXPECT_EQ(x + 6, r.XSize) << "a missing picture takes no room";
    const QImage& out = surface.Finish();
    EXPECT_TRUE(Near(qRgb(0, 255, 0), out.pixel(90, 30)));
    EXPECT_TRUE(Near(qRgb(255, 0, 0), out.pixel(x + 2, p.YPos)));
}
