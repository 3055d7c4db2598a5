#include <gtest/gtest.h>

#include <sstream>

#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxSplitter.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/FakeListBoxHost.h"
#include "tests/controls/RectText.h"

namespace {

std::string Text(const std::vector<TSplitterPiece>& pieces)
{
    std::ostringstream out;
    for (const TSplitterPiece& p : pieces)
        out << "[" << p.Start << "," << p.End << "]";
    return out.str();
}

}  // namespace

// A splitter cell from 0 to 200 along its axis. The text sits where its
// location puts it (left 0..40, centre 80..120, right 160..200); the expander
// likewise (left 0..20, centre 90..110, right 180..200), or moved out of the
// text's way where both share a location.
TEST(SplitterPieces, LeaveGapsForTextAndExpander)
{
    struct Case {
        TSmoothImageListBoxLocation text, expander;
        float ts, te, es, ee;
        const char* pieces;
    } cases[] = {
        // Neither in the centre row: one piece over the whole cell.
        {cpTopLeft, cpBottomRight, 0, 40, 180, 200, "[0,200]"},
        {cpTopCenter, cpCenterLeft, 80, 120, 0, 20, "[20,200]"},
        {cpCustom, cpCenterCenter, 5, 15, 90, 110, "[0,90][110,200]"},
        {cpBottomLeft, cpCenterRight, 0, 40, 180, 200, "[0,180]"},
        {cpCenterLeft, cpTopLeft, 0, 40, 0, 20, "[40,200]"},
        // Expander pushed behind the text: the touching stretch has no length.
        {cpCenterLeft, cpCenterLeft, 0, 40, 40, 60, "[60,200]"},
        {cpCenterLeft, cpCenterCenter, 0, 40, 90, 110, "[40,90][110,200]"},
        {cpCenterLeft, cpCenterRight, 0, 40, 180, 200, "[40,180]"},
        {cpCenterCenter, cpBottomCenter, 80, 120, 90, 110, "[0,80][120,200]"},
        {cpCenterCenter, cpCenterLeft, 80, 120, 0, 20, "[20,80][120,200]"},
        {cpCenterCenter, cpCenterCenter, 80, 120, 120, 140, "[0,80][140,200]"},
        {cpCenterCenter, cpCenterRight, 80, 120, 180, 200, "[0,80][120,180]"},
        {cpCenterRight, cpTopRight, 160, 200, 180, 200, "[0,160]"},
        {cpCenterRight, cpCenterLeft, 160, 200, 0, 20, "[20,160]"},
        {cpCenterRight, cpCenterCenter, 160, 200, 90, 110, "[0,90][110,160]"},
        {cpCenterRight, cpCenterRight, 160, 200, 140, 160, "[0,140]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pieces, Text(SplitterPieces(c.text, c.expander, 0, 200, c.ts, c.te, c.es, c.ee)))
            << "text " << c.text << ", expander " << c.expander;
}

namespace {

bool Dark(QRgb p)
{
    return qRed(p) < 140 && qGreen(p) < 140 && qBlue(p) < 140;
}

// Any dark pixel in the 3 × 3 block around (x, y).
bool DarkNear(const QImage& image, float x, float y)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Dark(image.pixel(int(x) + dx, int(y) + dy)))
                return true;
    return false;
}

// A grid strip (Columns 3) or an upright strip (Rows 1) with a plain
// splitter fill of one colour and no border.
class SplitterFixture : public ::testing::Test {
protected:
    SplitterFixture()
    {
        s().Fill()->SetColor(0x00C000);
        s().Fill()->SetColorTo(colors::clNone);
        s().Fill()->SetGradientType(gtSolid);
        s().SetSpacing(10);
        Grid();
    }
    TSmoothImageListBoxSplitter& s() { return *host.ItemAppearance()->Splitter(); }
    void Grid()
    {
        host.RowsValue = 0;
        host.ColumnsValue = 3;
    }
    void Strip()
    {
        host.RowsValue = 1;
        host.ColumnsValue = 0;
    }

    FakeListBoxHost host;
    TSmoothImageListBoxHTMLText caption{&host};
};

}  // namespace

TEST_F(SplitterFixture, RectanglesInGridAndStrip)
{
    s().SetExpanderLeft(7);
    s().SetExpanderTop(9);
    const TGPRectF cell = MakeRect(100, 50, 200, 30);
    // Grid: a horizontal bar reaching half the spacing above and below.
    const TGPRectF r = *s().GetRect(cell);
    EXPECT_EQ("102,45 196x40", RectText(r));
    struct Case {
        TSmoothImageListBoxLocation location;
        const char* grid;   // in the grid rectangle above
        const char* strip;  // in the strip rectangle below, location turned a quarter
    } cases[] = {
        {cpCenterRight, "278,55 20x20", "105,228 20x20"},   // strip: bottom centre
        {cpTopLeft, "102,45 20x20", "115,52 20x20"},        // strip: top right
        {cpCenterLeft, "102,55 20x20", "105,52 20x20"},     // strip: top centre
        {cpBottomCenter, "190,65 20x20", "95,140 20x20"},   // strip: centre left
        {cpCenterCenter, "190,55 20x20", "105,140 20x20"},
        {cpCustom, "7,9 20x20", "7,9 20x20"},
    };
    Strip();
    const TGPRectF tall = *s().GetRect(MakeRect(100, 50, 30, 200));
    // Strip: an upright bar reaching half the spacing left and right.
    EXPECT_EQ("95,52 40x196", RectText(tall));
    for (const Case& c : cases) {
        s().SetExpanderLocation(c.location);
        Grid();
        EXPECT_EQ(c.grid, RectText(s().GetExpanderRect(r))) << c.location;
        Strip();
        EXPECT_EQ(c.strip, RectText(s().GetExpanderRect(tall))) << c.location;
    }
    host.RowsValue = 2;
    host.ColumnsValue = 2;
    EXPECT_FALSE(s().GetRect(cell).has_value());
}

TEST_F(SplitterFixture, ExpanderMovesOutOfTheTextsWayOnlyWhenTheyShareALocation)
{
    const TGPRectF text = MakeRect(102, 45, 50, 20);
    struct Case {
        bool strip;
        TSmoothImageListBoxLocation location;
        const char* moved;
    } cases[] = {
        {false, cpCenterLeft, "152,45 196x40"},    // behind the text
        {false, cpTopRight, "102,45 146x40"},      // before it
        {false, cpCenterCenter, "102,45 266x40"},  // centred further right
        {true, cpBottomLeft, "102,65 196x40"},     // the same down the strip
        {true, cpCenterRight, "102,45 196x20"},
        {true, cpTopCenter, "102,45 196x80"},
        {false, cpCustom, "102,45 196x40"},
    };
    for (const Case& c : cases) {
        c.strip ? Strip() : Grid();
        s().SetTextLocation(c.location);
        s().SetExpanderLocation(c.location);
        TGPRectF r = MakeRect(102, 45, 196, 40);
        s().ExpanderTextRect(text, r);
        EXPECT_EQ(c.moved, RectText(r)) << c.location;
    }
    s().SetExpanderLocation(cpCenterRight);
    s().SetTextLocation(cpCenterLeft);
    TGPRectF r = MakeRect(102, 45, 196, 40);
    s().ExpanderTextRect(text, r);
    EXPECT_EQ("102,45 196x40", RectText(r));
}

TEST_F(SplitterFixture, ThickSplitterFillsItsCellThinOneLeavesAGapForItsText)
{
    const QRgb green = qRgb(0, 0xC0, 0);
    // The text measures 40 × 12 at the left of the splitter rectangle.
    host.TextRect = [](const TSmoothImageListBoxHTMLText&, const TGPRectF& r) {
        return MakeRect(r.X, r.Y + 14, 40, 12);
    };
    caption.SetText("Group");
    {
        DrawingSurface d(220, 60);
        s().DrawSplitter(&d.G(), &caption, MakeRect(10, 10, 200, 40), false, -1, -1);
        const QImage& image = d.Finish();
        EXPECT_PRED3(Near, green, image.pixel(20, 20), 8);  // under the text's place too
        EXPECT_PRED3(Near, green, image.pixel(200, 45), 8);
        EXPECT_EQ(1, host.CountOf("DrawHTMLText"));
    }
    s().SetSize(1);
    s().SetTextLocation(cpCenterLeft);
    s().SetExpanderLocation(cpTopRight);
    {
        DrawingSurface d(220, 60);
        s().DrawSplitter(&d.G(), &caption, MakeRect(10, 10, 200, 40), false, -1, -1);
        const QImage& image = d.Finish();
        // The text runs from x 12 (10 + 2, less 2 toward its start) to 52.
        EXPECT_PRED3(Near, qRgb(255, 255, 255), image.pixel(30, 20), 8);
        EXPECT_PRED3(Near, green, image.pixel(60, 20), 8);
        EXPECT_PRED3(Near, green, image.pixel(205, 45), 8);
    }
}

TEST_F(SplitterFixture, StripSplitterDrawsItsTextPlain)
{
    Strip();
    DrawingSurface d(100, 220);
    s().DrawSplitter(&d.G(), &caption, MakeRect(10, 10, 30, 200), false, -1, -1);
    d.Finish();
    EXPECT_EQ(1, host.CountOf("DrawText"));
    EXPECT_EQ(0, host.CountOf("DrawHTMLText"));
}

TEST_F(SplitterFixture, WithRowsAndColumnsSetNoTextNoExpanderAndAThinSplitterPaintsNothing)
{
    host.RowsValue = 2;
    host.ColumnsValue = 2;
    s().SetExpander(true);
    s().SetExpanderColor(colors::clRed);
    for (int size : {3, 1}) {
        s().SetSize(size);
        host.ClearCalls();
        DrawingSurface d(220, 60);
        s().DrawSplitter(&d.G(), &caption, MakeRect(10, 10, 200, 40), false, -1, 0);
        const QImage& image = d.Finish();
        const QRgb expected = size == 3 ? qRgb(0, 0xC0, 0) : qRgb(255, 255, 255);
        for (int x = 12; x < 208; x += 4)
            for (int y = 12; y < 48; y += 4)
                ASSERT_PRED3(Near, expected, image.pixel(x, y), 8) << size << " at " << x << "," << y;
        EXPECT_EQ(0, host.CountOf("DrawText") + host.CountOf("DrawHTMLText"));
    }
}

TEST_F(SplitterFixture, ExpanderColourFollowsItsState)
{
    s().SetExpanderShape(nsRect);
    s().SetExpanderSize(30);
    s().SetExpanderColor(0x00A000);
    s().SetExpanderHoverColor(colors::clBlue);
    s().SetExpanderDownColor(colors::clRed);
    struct Case {
        int hover, down;
        TColor colour;
    } cases[] = {{-1, -1, 0x00A000}, {0, -1, colors::clBlue}, {-1, 0, colors::clRed}, {0, 0, colors::clRed}};
    for (const Case& c : cases) {
        DrawingSurface d(60, 60);
        s().DrawExpander(&d.G(), MakeRect(10, 10, 30, 30), false, c.hover, c.down);
        const QImage& image = d.Finish();
        // Near the top the face is the colour lightened by 60 %.
        const TColor light = BlendColor(c.colour, 60);
        EXPECT_PRED3(Near, qRgb(GetRValue(light), GetGValue(light), GetBValue(light)), image.pixel(25, 12), 24)
            << "hover " << c.hover << ", down " << c.down;
    }
}

// The chevron's tip: pointing down or up in a grid, right or left in a strip,
// by the item's collapse; drawn on a face of clNone, so nothing but the
// chevron shows.
TEST_F(SplitterFixture, ExpanderChevronPointsByModeAndCollapse)
{
    s().SetExpanderSize(30);
    s().SetExpanderColor(colors::clNone);
    const float x = 10, y = 10, w = 30;
    struct Case {
        bool strip, collapsed;
        float tipX, tipY, openX, openY;
    } cases[] = {
        {false, true, x + w / 2, y + 2 * w / 3, x + w / 2, y + w / 3},   // down
        {false, false, x + w / 2, y + w / 3, x + w / 2, y + 2 * w / 3},  // up
        {true, true, x + 2 * w / 3, y + w / 2, x + w / 3, y + w / 2},    // right
        {true, false, x + w / 3, y + w / 2, x + 2 * w / 3, y + w / 2},   // left
    };
    for (const Case& c : cases) {
        c.strip ? Strip() : Grid();
        DrawingSurface d(60, 60);
        s().DrawExpander(&d.G(), MakeRect(x, y, w, w), c.collapsed, -1, -1);
        const QImage& image = d.Finish();
        EXPECT_TRUE(DarkNear(image, c.tipX, c.tipY)) << c.strip << c.collapsed;
        EXPECT_FALSE(DarkNear(image, c.openX, c.openY)) << c.strip << c.collapsed;
        // No face and no border: the square's corners and edges stay white.
        for (auto [px, py] : {std::pair{x + 3, y + 3}, {x + w - 3, y + w - 3}, {x, y + w / 2}, {x + w / 2, y + w}})
            EXPECT_PRED3(Near, qRgb(255, 255, 255), image.pixel(int(px), int(py)), 8) << px << "," << py;
    }
}

TEST_F(SplitterFixture, AssignCopiesEveryValueAndTheFillAndFont)
{
    FakeListBoxHost other;
    TSmoothImageListBoxSplitter source(&other);
    source.SetSpacing(4);
    source.SetSize(1);
    source.SetTextLocation(cpCenterCenter);
    source.SetExpander(true);
    source.SetExpanderDownColor(colors::clBlue);
    source.SetExpanderHoverColor(colors::clRed);
    source.SetExpanderShape(nsRect);
    source.SetExpanderLocation(cpCustom);
    source.SetExpanderLeft(3);
    source.Fill()->SetColor(0xB59285);
    source.TextFont()->SetName("Tahoma");
    host.ClearCalls();
    s().Assign(source);
    EXPECT_EQ(4, s().Spacing());
    EXPECT_EQ(1, s().Size());
    EXPECT_EQ(cpCenterCenter, s().TextLocation());
    EXPECT_TRUE(s().Expander());
    EXPECT_EQ(colors::clBlue, s().ExpanderDownColor());
    EXPECT_EQ(colors::clRed, s().ExpanderHoverColor());
    EXPECT_EQ(nsRect, s().ExpanderShape());
    EXPECT_EQ(cpCustom, s().ExpanderLocation());
    EXPECT_EQ(3, s().ExpanderLeft());
    EXPECT_EQ(TColor(0xB59285), s().Fill()->Color());
    EXPECT_EQ("Tahoma", s().TextFont()->Name());
    EXPECT_GE(host.CountOf("Changed"), 1);
}
