// Header, footer and navigator against a fake strip: rectangles, the
// navigator's placement and buttons, the button colours and Assign.
#include <gtest/gtest.h>

#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/FakeListBoxHost.h"
#include "tests/controls/RectText.h"

namespace {

QRgb Rgb(TColor c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

QRgb Mix(QRgb a, QRgb b, double t)
{
    auto m = [t](int x, int y) { return int(x + (y - x) * t + 0.5); };
    return qRgb(m(qRed(a), qRed(b)), m(qGreen(a), qGreen(b)), m(qBlue(a), qBlue(b)));
}

}  // namespace

TEST(Bars, RectanglesSitAtTheInsideEdgesLessTheShadow)
{
    FakeListBoxHost host;
    host.Inside = TRect{10, 20, 610, 470};
    host.Shadow = 4;
    host.Footer()->SetHeight(35);
    EXPECT_EQ("10,20 596x50", RectText(host.Header()->GetRect()));
    EXPECT_EQ("10,431 596x35", RectText(host.Footer()->GetRect()));
}

TEST(Bars, HiddenBarTakesNoRoomAndBothRelayoutOnHeightAndVisibility)
{
    FakeListBoxHost host;
    for (TSmoothImageListBoxBar* bar : {static_cast<TSmoothImageListBoxBar*>(host.Header()),
                                        static_cast<TSmoothImageListBoxBar*>(host.Footer())}) {
        host.ClearCalls();
        bar->SetHeight(35);
        EXPECT_EQ(1, host.CountOf("InitListBoxItems"));
        EXPECT_EQ(35, bar->GetHeight());
        bar->SetVisible(false);
        EXPECT_EQ(2, host.CountOf("InitListBoxItems"));
        EXPECT_EQ(0, bar->GetHeight());
        EXPECT_EQ(35, bar->Height());
        host.ClearCalls();
        bar->SetHeight(35);
        bar->SetVisible(false);
        bar->SetCaption("");
        EXPECT_TRUE(host.Calls().empty());
    }
}

TEST(Navigator, BlockIsPlacedByLocationWithPaddingAndTheCentringRule)
{
    FakeListBoxHost host;
    TSmoothImageListBoxNavigator& n = *host.Footer()->Navigator();
    n.SetSize(20);  // block 92 × 20
    n.SetLeft(7);
    n.SetTop(9);
    const TGPRectF bar = MakeRect(10, 100, 400, 40);
    const TGPRectF caption = MakeRect(0, 0, 60, 14);
    struct Case {
        TSmoothImageListBoxLocation location, captionLocation;
        const char* block;
    } cases[] = {
        {cpTopLeft, cpCenterCenter, "13,103 92x20"},
        {cpTopCenter, cpCenterCenter, "164,103 92x20"},
        {cpTopRight, cpTopRight, "318,103 92x20"},  // no centring outside the centre row
        {cpCenterLeft, cpCenterCenter, "13,110 92x20"},
        {cpCenterCenter, cpCenterLeft, "164,110 92x20"},
        {cpCenterRight, cpCenterLeft, "318,110 92x20"},
        {cpBottomLeft, cpCenterCenter, "13,117 92x20"},
        {cpBottomCenter, cpCenterCenter, "164,117 92x20"},
        {cpBottomRight, cpCenterCenter, "318,117 92x20"},
        {cpCustom, cpCustom, "7,9 92x20"},
        // Caption and block share the place: the block stands in the middle
        // of what the caption leaves, counted from the bar's left:
        // 10 + (400 - 60 - 5 - 92) / 2
        {cpCenterRight, cpCenterRight, "131.5,110 92x20"},
        {cpCenterCenter, cpCenterCenter, "131.5,110 92x20"},
        {cpCenterLeft, cpCenterLeft, "134.5,110 92x20"},
    };
    for (const Case& c : cases) {
        n.SetLocation(c.location);
        EXPECT_EQ(c.block, RectText(n.GetNavigatorRect(bar, c.captionLocation, caption))) << c.location;
    }
    const TGPRectF block = MakeRect(13, 103, 92, 20);
    EXPECT_EQ("13,103 20x20", RectText(n.GetNavigatorButtonRect(block, 0)));
    EXPECT_EQ("82,103 20x20", RectText(n.GetNavigatorButtonRect(block, 3)));
}

// Each button's upper half runs from its colour lightened by 60 % down to
// the colour itself; probed a quarter of the way.
TEST(Navigator, ButtonColoursFollowSelectionHoverAndPress)
{
    constexpr TColor kGreen = 0x00A000, kGray = colors::clGray, kBlue = colors::clBlue, kRed = colors::clRed;
    struct Case {
        int items, splitters, selected, hovered, pressed;
        TColor colours[4];
    } cases[] = {
        {1, 0, 0, -1, -1, {kGray, kGray, kGray, kGray}},        // one item: nowhere to go
        {1, 2, 0, -1, -1, {kGray, kGray, kGray, kGray}},        // splitters are no items
        {5, 0, -1, 2, -1, {kGray, kGray, kGray, kGray}},        // no selection
        {5, 0, 0, -1, -1, {kGray, kGray, kGreen, kGreen}},      // first selected
        {5, 0, 4, -1, -1, {kGreen, kGreen, kGray, kGray}},      // last selected
        {5, 0, 2, 1, 1, {kGreen, kBlue, kGreen, kGreen}},       // hover beats pressed
        {5, 0, 2, -1, 3, {kGreen, kGreen, kGreen, kRed}},       // pressed
        {5, 0, 0, 0, 0, {kGray, kGray, kGreen, kGreen}},        // a disabled button ignores the mouse
    };
    for (const Case& c : cases) {
        FakeListBoxHost host;
        TSmoothImageListBoxNavigator n(&host);
        n.SetShape(nsRect);
        n.SetColor(kGreen);
        n.SetBorderColor(colors::clBlack);
        for (int i = 0; i < c.items; ++i)
            host.DisplayList()->AddItem()->SetKind(ikItem);
        for (int i = 0; i < c.splitters; ++i)
            host.DisplayList()->AddItem()->SetKind(ikSplitter);
        host.SelectedIndex = c.selected;
        DrawingSurface s(120, 40);
        const TGPRectF block = MakeRect(4, 4, 92, 20);
        n.Draw(&s.G(), block, c.pressed, c.hovered);
        const QImage& image = s.Finish();
        for (int b = 0; b < 4; ++b) {
            const TGPRectF r = n.GetNavigatorButtonRect(block, b);
            const QRgb k = Rgb(c.colours[b]);
            const QRgb expected = Mix(Rgb(BlendColor(c.colours[b], 60)), k, 0.25);
            EXPECT_PRED3(Near, expected, image.pixel(int(r.X + 10), int(r.Y + 3)), 24)
                << "button " << b << ", selected " << c.selected << ", hovered " << c.hovered;
        }
    }
}

TEST(Bars, HeaderAssignKeepsItsNavigatorFooterAssignCopiesIt)
{
    FakeListBoxHost from, to;
    for (TSmoothImageListBoxBar* bar : {static_cast<TSmoothImageListBoxBar*>(from.Header()),
                                        static_cast<TSmoothImageListBoxBar*>(from.Footer())}) {
        bar->SetCaption("Status <b>text</b>");
        bar->SetCaptionLocation(cpCustom);
        bar->SetCaptionLeft(4);
        bar->SetHeight(35);
        bar->Fill()->SetColor(0x123456);
        bar->Font()->SetName("Tahoma");
        bar->Navigator()->SetSize(25);
        bar->Navigator()->SetShape(nsRounded);
    }
    to.Header()->Assign(*from.Header());
    to.Footer()->Assign(*from.Footer());
    for (TSmoothImageListBoxBar* bar : {static_cast<TSmoothImageListBoxBar*>(to.Header()),
                                        static_cast<TSmoothImageListBoxBar*>(to.Footer())}) {
        EXPECT_EQ("Status <b>text</b>", bar->Caption());
        EXPECT_EQ(cpCustom, bar->CaptionLocation());
        EXPECT_EQ(4, bar->CaptionLeft());
        EXPECT_EQ(35, bar->Height());
        EXPECT_EQ(TColor(0x123456), bar->Fill()->Color());
        EXPECT_EQ("Tahoma", bar->Font()->Name());
    }
    EXPECT_EQ(20, to.Header()->Navigator()->Size());
    EXPECT_EQ(nsRoundRect, to.Header()->Navigator()->Shape());
    EXPECT_EQ(25, to.Footer()->Navigator()->Size());
    EXPECT_EQ(nsRounded, to.Footer()->Navigator()->Shape());
    EXPECT_TRUE(to.Footer()->Navigator()->Visible());
    EXPECT_FALSE(to.Header()->Navigator()->Visible());
}
