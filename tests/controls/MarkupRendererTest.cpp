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

// Offsets, indents, picture sizes and nesting taken from a received caption
// can be anything: the sizes it measures stay sane, and it is drawn and
// hit-tested without overflowing (the sanitizer build checks the sums).
TEST_F(MarkupLayout, HostileSizesAndNestingStayBounded)
{
    TImageList images;
    QImage red(6, 6, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    images.Add(red);
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    const std::string hostile[] = {
        "<OFS \"2147483647\">x<OFS \"2147483647\">y",
        "<OFS \"-2147483647\">x",
        "<P INDENT=\"2147483647\">x</P>",
        "<P INDENT=\"-2147483647\">x y z</P>",
        "<IMG SRC=\"IDX:0\" WIDTH=\"2000000000\"><IMG SRC=\"IDX:0\" WIDTH=\"2000000000\">x",
        "<IMG SRC=\"IDX:0\" WIDTH=\"-2000000000\" HEIGHT=\"-5\">x",
        repeat("<IMG SRC=\"IDX:0\" HEIGHT=\"2000000000\"><BR>", 4),
        repeat("<UL>", 200000) + "<LI>x" + repeat("</UL>", 200000),
        repeat("<B>", 200000) + "x" + repeat("<BR>", 3),
    };
    auto measure = [&](const std::string& text) {
        MarkupParams p;
        p.Graphics = &surface.G();
        p.Text = text;
        p.R = TRect{0, 0, 400, 200};
        p.Images = &images;
        p.CheckOnly = true;
        MarkupResult r;
        RenderMarkup(p, r);
        return r;
    };
    // More of the same never measures smaller, as a sum that overflowed would.
    const std::string wide = "<IMG SRC=\"IDX:0\" WIDTH=\"2000000000\">",
                      tall = "<IMG SRC=\"IDX:0\" HEIGHT=\"2000000000\"><BR>";
    const std::pair<std::string, std::string> wider[] = {
        {wide, wide + wide},
        {"<OFS \"2147483647\">", "<OFS \"2147483647\">x"},
        {"<P INDENT=\"2147483647\">", "<P INDENT=\"2147483647\">x"},
    };
    for (const auto& [less, more] : wider)
        EXPECT_GE(measure(more).XSize, measure(less).XSize) << more;
    EXPECT_GE(measure(repeat(tall, 4)).YSize, measure(tall).YSize);

    for (const std::string& text : hostile) {
        for (bool draw : {false, true}) {
            for (bool wrap : {false, true}) {
                MarkupParams p;
                p.Graphics = &surface.G();
                p.Font.SetSize(10);
                p.Text = text;
                p.R = TRect{0, 0, 400, 200};
                p.Images = &images;
                p.CheckOnly = !draw;
                p.WordWrap = wrap;
                p.XPos = 5;
                p.YPos = 5;
                MarkupResult r;
                RenderMarkup(p, r);
                const std::string shown = text.substr(0, 40);
                EXPECT_GE(r.XSize, 0) << shown;
                EXPECT_LE(r.XSize, 1 << 26) << shown;
                EXPECT_GT(r.YSize, 0) << shown;
                EXPECT_LT(r.YSize, INT32_MAX / 2) << shown;
            }
        }
    }
}

TEST_F(MarkupLayout, ClosingTagsRestoreWhatTheirOwnOpeningTagChanged)
{
    // Interleaved and repeated tags over line breaks: each closing tag
    // undoes its latest opening tag of the same name, whatever lies between.
    const int plain = Render("www").XSize, bold = Render("<B>www</B>").XSize;
    ASSERT_LT(plain, bold);
    EXPECT_EQ(bold, Render("<B><B>www</B></B>").XSize);
    EXPECT_EQ(bold, Render("<B><B>a</B><BR>www</B>").XSize);
    EXPECT_EQ(plain, Render("<B><B>a</B>b</B><BR>www").XSize);
    EXPECT_EQ(plain, Render("<B><I>a</B><BR>www").XSize);
    EXPECT_EQ(bold, Render("<B><I>a</B><BR></I>www").XSize) << "</I> brings back the bold that <I> found";
    EXPECT_EQ(plain, Render("</B></B><B>a</B><BR>www").XSize) << "unmatched closing tags change nothing";
}

TEST_F(MarkupLayout, RuleIsDrawnBelowTheDescendersOfItsLine)
{
    MarkupParams p;
    p.Graphics = &surface.G();
    p.Font.SetName("DejaVu Sans");
    p.Font.SetSize(14);
    p.Font.SetColor(colors::clRed);
    p.Text = "gjpqy<HR>";
    p.R = TRect{0, 0, 400, 200};
    MarkupResult r;
    RenderMarkup(p, r);
    const QImage& out = surface.Finish();
    // The rule: the first row that is dark all across; the text is red.
    int rule = -1, lowestText = -1;
    for (int y = 0; y < out.height() && rule < 0; ++y) {
        bool across = true;
        for (int x = 0; x < 400 && across; x += 7)
            across = qRed(out.pixel(x, y)) < 100 && qGreen(out.pixel(x, y)) < 100;
        if (across)
            rule = y;
    }
    ASSERT_GE(rule, 0) << "no rule drawn";
    for (int y = 0; y < rule + 6; ++y)
        for (int x = 0; x < 100; ++x) {
            const QRgb c = out.pixel(x, y);
            if (qRed(c) > 150 && qGreen(c) < 150)
                lowestText = y;
        }
    ASSERT_GE(lowestText, 0);
    EXPECT_LT(lowestText, rule) << "the rule crosses the descenders";
    EXPECT_GT(r.YSize, rule) << "the rule's room is measured";
}

TEST(MarkupStrings, HighlightAroundUnclosedTagsAndAtTheEnds)
{
    struct Case {
        const char* markup;
        const char* search;
        const char* result;
    } cases[] = {
        {"a<b", "b", "a<<HI>b</HI>"},
        {"<B>x</B>y<", "y<", "<B>x</B><HI>y<</HI>"},
        {"ab<I>ab</I>", "ab", "<HI>ab</HI><I><HI>ab</HI></I>"},
        {"<B>xyz</B>", "xyz", "<B><HI>xyz</HI></B>"},
        {"x", "xx", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, HighlightText(c.markup, c.search, "HI", false)) << c.markup << " / " << c.search;
}
