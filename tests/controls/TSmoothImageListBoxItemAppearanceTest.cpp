// The cell grid against a fake strip: the cell size AutoSize gives, the
// reload check, the pre-rendered fills and the focus outline.
#include <gtest/gtest.h>

#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/FakeListBoxHost.h"

namespace {

QRgb PixelOf(TGPBitmap* bitmap, int x, int y)
{
    ARGB c = 0;
    EXPECT_EQ(Ok, bitmap->GetPixel(x, y, &c));
    return qRgba(GetRed(c), GetGreen(c), GetBlue(c), GetAlpha(c));
}

class Appearance : public ::testing::Test {
protected:
    Appearance() { host.ClearCalls(); }
    TSmoothImageListBoxItemAppearance& A() { return *host.ItemAppearance(); }

    FakeListBoxHost host;
};

}  // namespace

TEST_F(Appearance, AutoSizeOnlyShrinksCellsAndNeverBelowOnePixel)
{
    struct Case {
        bool autoSize;
        int columns, insideWidth, shadow, scrollBar;
        int width;
    } cases[] = {
        {false, 3, 100, 0, 0, 143},  // off: ItemWidth however narrow the window
        {true, 0, 100, 0, 0, 143},   // no column count to fit
        {true, 3, 2000, 0, 0, 143},  // a wide window never grows cells
        // (300 - 10 spacing - 3 × 10) / 3 = 86.67
        {true, 3, 300, 0, 0, 87},
        // Shadow and scroll bar take their room: (300 - 4 - 16 - 10 - 30) / 3 = 80
        {true, 3, 300, 4, 16, 80},
        // Halves round to even: (231 - 30) / 2 = 100.5, (233 - 30) / 2 = 101.5
        {true, 2, 231, 0, 0, 100},
        {true, 2, 233, 0, 0, 102},
        {true, 3, 20, 0, 0, 1},  // a tiny window still gives 1-pixel cells
    };
    A().SetItemWidth(143);
    for (const Case& c : cases) {
        A().SetAutoSize(c.autoSize);
        host.ColumnsValue = c.columns;
        host.RowsValue = c.columns == 0 ? 1 : 0;
        host.Inside = TRect{0, 0, c.insideWidth, 450};
        host.Shadow = c.shadow;
        host.ScrollBar = c.scrollBar;
        EXPECT_EQ(c.width, A().GetColumnWidth()) << c.columns << " columns in " << c.insideWidth;
    }
}

TEST_F(Appearance, AutoSizeRowHeightLeavesRoomForVisibleBars)
{
    A().SetItemHeight(130);
    A().SetAutoSize(true);
    host.RowsValue = 2;
    host.ColumnsValue = 0;
    host.Inside = TRect{0, 0, 600, 300};
    // Both bars visible at 50: (300 - 50 - 50 - 10 - 2 × 10) / 2 = 85
    EXPECT_EQ(85, A().GetRowHeight());
    // A hidden header gives its room back; the footer's 35 still counts:
    // (300 - 35 - 10 - 20) / 2 = 117.5, rounded to even.
    host.Header()->SetVisible(false);
    host.Footer()->SetHeight(35);
    EXPECT_EQ(118, A().GetRowHeight());
    host.Inside = TRect{0, 0, 600, 1000};
    EXPECT_EQ(130, A().GetRowHeight());
    host.Inside = TRect{0, 0, 600, 40};
    EXPECT_EQ(1, A().GetRowHeight());
}

// A thumbnail is made for an image area of 100; the cell, and with it the
// area, grows.
TEST_F(Appearance, ReloadsThumbnailsOnlyWhenTheAreaOutgrowsThemByMoreThanAThird)
{
    struct Case {
        bool hasLocations;
        int largest;
        float source;
        int newWidth;
        bool reload;
    } cases[] = {
        {true, 100, 400, 130, false},
        {true, 100, 400, 131, true},
        {true, 100, 130, 131, false},  // the source has nothing more to give
        {true, 100, 131, 131, true},
        {false, 100, 400, 200, false},  // no file locations: nothing to reload from
        // 90 × 1.3 is 117 exactly in double precision (single gives 116.99...).
        {true, 90, 400, 117, false},
    };
    for (const Case& c : cases) {
        FakeListBoxHost h;
        h.ImageRect = [](const TGPRectF& cell) { return cell; };  // the area is the cell
        h.FirstVisible = 2;
        h.ColumnsValue = 3;
        h.ItemAppearance()->SetItemWidth(100);
        TSmoothImageListBoxItem* item = h.Items()->Add();
        TSmoothImageListBoxItem* other = h.Items()->Add();
        other->LargestThumbWidth = 1000;
        other->SourceWidth = 2000;
        h.FillDisplayList();
        item->LargestThumbWidth = c.largest;
        item->SourceWidth = c.source;
        h.SetHasLocations(c.hasLocations);
        h.SetLoadRestart(false);
        h.ItemAppearance()->SetItemWidth(c.newWidth);
        EXPECT_EQ(c.reload ? stInitialized : stLoaded, item->Status()) << c.largest << " → " << c.newWidth;
        EXPECT_EQ(stLoaded, other->Status());
        EXPECT_EQ(c.reload, h.LoadRestart());
        EXPECT_EQ(c.reload ? 2 : 0, h.LoadStartIndex());
    }
}

TEST_F(Appearance, ReloadCheckOnHeightsReadsHeights)
{
    host.ImageRect = [](const TGPRectF& cell) { return cell; };
    A().SetItemHeight(100);
    TSmoothImageListBoxItem* item = host.Items()->Add();
    host.FillDisplayList();
    item->LargestThumbWidth = 1000;  // widths would say: no reload
    item->LargestThumbHeight = 100;
    item->SourceHeight = 400;
    host.SetHasLocations(true);
    A().SetItemHeight(131);
    EXPECT_EQ(stInitialized, item->Status());
}

TEST_F(Appearance, CachesAreCellSizedAndFollowFillAndWidthChanges)
{
    A().SetItemWidth(60);
    A().SetItemHeight(40);
    TGDIPFill red;
    red.SetBorderColor(colors::clRed);
    A().SetFill(&red);
    TGPBitmap* cache = A().FillBitmap();
    ASSERT_NE(nullptr, cache);
    EXPECT_EQ(60u, cache->GetWidth());
    EXPECT_EQ(40u, cache->GetHeight());
    EXPECT_EQ(PixelFormat32bppARGB, cache->GetPixelFormat());
    EXPECT_PRED3(Near, qRgb(255, 0, 0), PixelOf(cache, 0, 20), 8);

    TGPBitmap* selected = A().SelectedFillBitmap();
    TGDIPFill blue;
    blue.SetBorderColor(colors::clBlue);
    A().SetFill(&blue);
    EXPECT_PRED3(Near, qRgb(0, 0, 255), PixelOf(A().FillBitmap(), 0, 20), 8);
    // Only the changed fill's cache was rendered again.
    EXPECT_EQ(selected, A().SelectedFillBitmap());

    A().SetItemWidth(90);
    for (TGPBitmap* c : {A().FillBitmap(), A().SelectedFillBitmap(), A().DisabledFillBitmap(), A().HoverFillBitmap()}) {
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(90u, c->GetWidth());
    }
    EXPECT_PRED3(Near, qRgb(0, 0, 255), PixelOf(A().FillBitmap(), 0, 20), 8);
    // The fill spans W - 1: the right border runs in the last but one column or
    // the last, and the cell's inside is the fill's gradient, not the border.
    const QRgb inside = PixelOf(A().FillBitmap(), 45, 20);
    EXPECT_FALSE(Near(qRgb(0, 0, 255), inside, 40));
}

TEST_F(Appearance, SpacingRelayoutsEvenWhileItemsUpdateButCellSizeWaits)
{
    host.Items()->BeginUpdate();
    host.ClearCalls();
    A().SetItemHorizontalSpacing(4);
    A().SetItemVerticalSpacing(4);
    EXPECT_EQ(2, host.CountOf("InitListBoxItems"));
    host.ClearCalls();
    A().SetItemWidth(99);
    A().SetItemHeight(99);
    EXPECT_EQ(0, host.CountOf("InitListBoxItems"));
    host.Items()->EndUpdate();
    host.ClearCalls();
    A().SetItemWidth(98);
    EXPECT_EQ(1, host.CountOf("InitListBoxItems"));
    host.ClearCalls();
    A().SetItemWidth(98);  // unchanged: nothing
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(Appearance, AssignCopiesAllButTheAlignments)
{
    FakeListBoxHost other;
    TSmoothImageListBoxItemAppearance& source = *other.ItemAppearance();
    source.SetItemWidth(143);
    source.SetItemHeight(110);
    source.SetHoverSize(10);
    source.SetImageAlign(alTop);
    source.SetTextAlign(alLeft);
    source.SetTextVisible(true);
    source.SetStretch(isShrinkOnly);
    source.ImageMargin()->SetLeft(7);
    source.SelectedFill()->SetBorderColor(0x0066FF);
    source.Splitter()->SetSpacing(4);
    A().Assign(source);
    EXPECT_EQ(143, A().ItemWidth());
    EXPECT_EQ(110, A().ItemHeight());
    EXPECT_EQ(10, A().HoverSize());
    EXPECT_TRUE(A().TextVisible());
    EXPECT_EQ(isShrinkOnly, A().Stretch());
    EXPECT_EQ(7, A().ImageMargin()->Left());
    EXPECT_EQ(TColor(0x0066FF), A().SelectedFill()->BorderColor());
    EXPECT_EQ(4, A().Splitter()->Spacing());
    EXPECT_EQ(alClient, A().ImageAlign());
    EXPECT_EQ(alBottom, A().TextAlign());
    // The caches follow the copied cell size.
    ASSERT_NE(nullptr, A().SelectedFillBitmap());
    EXPECT_EQ(143u, A().SelectedFillBitmap()->GetWidth());
    EXPECT_GE(host.CountOf("Changed"), 1);
}

TEST_F(Appearance, FocusOutlineOnlyWithFocusTabStopAndShowFocus)
{
    struct Case {
        bool focus, tabStop, showFocus;
    } cases[] = {{true, true, true}, {false, true, true}, {true, false, true}, {true, true, false}};
    TGDIPFill fill;
    host.Focus = colors::clRed;
    for (const Case& c : cases) {
        host.Focused = c.focus;
        host.TabStopOn = c.tabStop;
        host.ShowFocusOn = c.showFocus;
        DrawingSurface s(60, 60);
        A().DrawFocusRect(&fill, &s.G(), MakeRect(10, 10, 30, 30));
        const QImage& image = s.Finish();
        int red = 0, white = 0;
        // Along each side of the square the dots alternate with gaps.
        for (int i = 12; i < 38; ++i) {
            const QRgb top = image.pixel(i, 10), left = image.pixel(10, i), right = image.pixel(40, i),
                       bottom = image.pixel(i, 40);
            for (QRgb p : {top, left, right, bottom}) {
                red += Near(p, qRgb(255, 0, 0));
                white += Near(p, qRgb(255, 255, 255));
            }
            if (c.focus && c.tabStop && c.showFocus) {
                EXPECT_NE(Near(top, qRgb(255, 0, 0)), Near(image.pixel(i + 1, 10), qRgb(255, 0, 0))) << i;
            }
        }
        if (c.focus && c.tabStop && c.showFocus) {
            EXPECT_NEAR(52, red, 4);
            EXPECT_NEAR(52, white, 4);
        } else {
            EXPECT_EQ(0, red);
        }
    }
}
