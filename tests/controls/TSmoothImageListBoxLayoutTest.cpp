// The list box's layout, scroll range, wheel and scroll and zoom animation,
// checked against the numbers the layout rules give.
#include <gtest/gtest.h>

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "controls/TSmoothImageListBoxDisplayList.h"
#include "tests/controls/ListBoxProbe.h"
#include "tests/controls/ThreadCounter.h"
#include "controls/render/MainWindowStrip.h"

using namespace strip_setup;

namespace {

struct Cell {
    float x, y;
};

std::vector<Cell> Cells(TSmoothImageListBox& box)
{
    std::vector<Cell> cells;
    for (int i = 0; i < box.DisplayList()->Count(); ++i)
        cells.push_back({box.DisplayList()->GetItem(i)->Rect().X, box.DisplayList()->GetItem(i)->Rect().Y});
    return cells;
}

void AddItems(TSmoothImageListBox& box, int count)
{
    box.Items()->BeginUpdate();
    for (int i = 0; i < count; ++i)
        box.Items()->Add();
    box.Items()->EndUpdate();
}

void SendWheel(QWidget& widget, int delta)
{
    QWheelEvent event(QPointF(10, 10), widget.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

}  // namespace

// Cells of 70 x 70 with gaps of 10, under a visible 50-pixel header.
TEST(ListBoxLayout, CellsFollowRowsColumnsAndPosition)
{
    struct Case {
        const char* name;
        int rows, columns, count, position;
        std::vector<Cell> expected;
    };
    const Case cases[] = {
        {"strip of one row", 1, 0, 3, 0, {{10, 60}, {90, 60}, {170, 60}}},
        {"strip of two rows", 2, 0, 5, 0, {{10, 60}, {10, 140}, {90, 60}, {90, 140}, {170, 60}}},
        {"grid of three columns", 0, 3, 5, 0, {{10, 60}, {90, 60}, {170, 60}, {10, 140}, {90, 140}}},
        {"both zero: one column downwards", 0, 0, 3, 0, {{10, 60}, {10, 140}, {10, 220}}},
        {"strip scrolled by 25", 1, 0, 12, 25, {{-15, 60}, {65, 60}, {145, 60}}},
        {"grid scrolled by 30", 0, 1, 8, 30, {{10, 30}, {10, 110}, {10, 190}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeListBox box;
        box.SetRows(c.rows);
        box.SetColumns(c.columns);
        box.SetRows(c.rows);
        if (c.columns)
            box.SetColumns(c.columns);
        box.resize(600, 450);
        AddItems(box, c.count);
        box.Position = c.position;
        box.InitListBoxItems();
        const auto cells = Cells(box);
        ASSERT_GE(cells.size(), c.expected.size());
        EXPECT_EQ(int(cells.size()), c.count);
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_FLOAT_EQ(cells[i].x, c.expected[i].x) << "cell " << i;
            EXPECT_FLOAT_EQ(cells[i].y, c.expected[i].y) << "cell " << i;
        }
    }
}

TEST(ListBoxLayout, RowsAndColumnsExcludeEachOther)
{
    TSmoothImageListBox box;
    box.SetRows(1);
    box.SetColumns(3);
    EXPECT_EQ(box.Rows(), 0);
    EXPECT_EQ(box.Columns(), 3);
    box.SetRows(2);
    EXPECT_EQ(box.Rows(), 2);
    EXPECT_EQ(box.Columns(), 0);
}

TEST(ListBoxLayout, FullSizeAndOverscrollClamping)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    AddItems(box, 20);
    // 20 cells of 143 with gaps of 10: the last ends at 10 + 19 * 153 + 143 + 10.
    const int full = 10 + 19 * 153 + 143 + 10 - 1024;
    EXPECT_EQ(box.GetFullSize(), full);

    box.Position = -80;
    EXPECT_EQ(box.GetPosition(), -50);
    box.Position = full + 100;
    EXPECT_EQ(box.GetPosition(), full + 50);
    box.PositionTo = -10;
    EXPECT_EQ(box.GetPositionTo(), 0);
    box.PositionTo = full + 10;
    EXPECT_EQ(box.GetPositionTo(), full);
}

TEST(ListBoxLayout, StripThatFitsNeverScrolls)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    AddItems(box, 3);
    EXPECT_EQ(box.GetFullSize(), 0);
    box.Position = 40;
    EXPECT_EQ(box.GetPosition(), 0);
    EXPECT_EQ(box.Position, 0);
}

// Two columns of a strip whose first column has scrolled to X = 0 are still
// two: such a strip must not be pinned to position 0.
TEST(ListBoxLayout, ColumnCountIncludesAColumnAtZero)
{
    ProbeListBox box;
    box.SetRows(8);
    box.Header()->SetVisible(false);
    box.Footer()->SetVisible(false);
    box.SetShowScrollBar(false);
    box.resize(100, 800);
    AddItems(box, 15);
    ASSERT_EQ(box.GetColumnCount(), 2);
    ASSERT_EQ(box.GetFullSize(), 70);
    box.Position = 10;
    box.InitListBoxItems();
    ASSERT_FLOAT_EQ(box.DisplayList()->GetItem(0)->Rect().X, 0);
    EXPECT_EQ(box.GetColumnCount(), 2);
    EXPECT_EQ(box.GetPosition(), 10);
}

TEST(ListBoxLayout, SingleColumnStripIsPinned)
{
    ProbeListBox box;
    box.SetRows(8);
    box.resize(50, 800);  // narrower than a cell: scrollable, yet one column
    AddItems(box, 3);
    ASSERT_GT(box.GetFullSize(), 0);
    box.Position = 20;
    EXPECT_EQ(box.GetPosition(), 0);
}

TEST(ListBoxLayout, ScrollToItemPutsTheCellAtTheLeadingEdge)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    AddItems(box, 20);
    box.ScrollToItem(5);
    EXPECT_EQ(box.Position, 10 + 5 * 153);
    EXPECT_EQ(box.PositionTo, box.Position);
    EXPECT_FLOAT_EQ(box.DisplayList()->GetItem(5)->Rect().X, 0);
    // An item without a cell (invisible) moves nothing.
    box.Items()->GetItem(7)->SetVisible(false);
    box.ScrollToItem(7);
    EXPECT_EQ(box.Position, 10 + 5 * 153);
}

// One wheel notch back with AnimationFactor 4 (divisor 16): 400 pixels
// shrink by 25 in the first tick and by a sixteenth of the rest after, in
// steps of at least one pixel, ending exactly on the target.
TEST(ListBoxAnimation, WheelScrollsGeometricallyOntoTheTarget)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.ItemAppearance()->SetItemWidth(400);
    box.resize(1024, 172);
    AddItems(box, 10);
    ASSERT_EQ(box.AnimationFactor(), 4);
    SendWheel(box, -120);
    EXPECT_EQ(box.PositionTo, 400);
    EXPECT_TRUE(box.AnimateScroll);

    std::vector<int> distances{400 - box.Position};
    for (int tick = 0; tick < 500 && box.Position != 400; ++tick) {
        box.Tick();
        distances.push_back(400 - box.Position);
    }
    ASSERT_EQ(box.Position, 400);
    EXPECT_EQ(distances[1], 375);
    for (size_t i = 1; i < distances.size(); ++i) {
        const int d = distances[i - 1];
        const int expected = std::max(0, d - std::max(1, int(std::lround(d / 16.0))));
        EXPECT_NEAR(distances[i], expected, 1) << "tick " << i;
        EXPECT_LT(distances[i], d);
    }
    // The last steps are single pixels.
    const size_t n = distances.size();
    ASSERT_GE(n, 3u);
    EXPECT_EQ(distances[n - 2] - distances[n - 1], 1);
    EXPECT_EQ(distances[n - 3] - distances[n - 2], 1);
    // The cells followed.
    EXPECT_FLOAT_EQ(box.DisplayList()->GetItem(1)->Rect().X, 10 + 410 - 400);
    box.Tick();
    EXPECT_FALSE(box.Animating);
}

TEST(ListBoxAnimation, WheelActsPerWholeNotch)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    AddItems(box, 30);
    SendWheel(box, -40);
    SendWheel(box, -40);
    EXPECT_EQ(box.PositionTo, 0);  // two thirds of a notch: nothing yet
    SendWheel(box, -40);
    EXPECT_EQ(box.PositionTo, 143);
    SendWheel(box, 240);  // two notches forward
    EXPECT_EQ(box.PositionTo, 143 - 2 * 143);
    EXPECT_EQ(box.GetPositionTo(), 0);
}

TEST(ListBoxAnimation, LookupTextIsClearedAfterAHundredTicks)
{
    ProbeListBox box;
    AddItems(box, 2);
    box.LookupText = "AB";
    for (int i = 0; i < 99; ++i)
        box.Tick();
    EXPECT_EQ(box.LookupText, "AB");
    box.Tick();
    EXPECT_EQ(box.LookupText, "");
}

namespace {

struct ZoomFixture : ::testing::Test {
    void SetUp() override
    {
        ConfigureAsMainWindowStrip(box);
        box.resize(1024, 172);
        AddColouredItems(box, {Qt::red, Qt::blue, Qt::green});
        box.OnItemZoomedIn = [this](QObject*, int index) { zoomedIn.push_back(index); };
        box.OnItemZoomedOut = [this](QObject*, int index) { zoomedOut.push_back(index); };
        // A first paint places every thumbnail.
        Render(box);
    }
    int RunZoom()
    {
        int ticks = 0;
        while (box.AnimateZoom && ticks < 1000) {
            box.Tick();
            ++ticks;
        }
        return ticks;
    }
    ProbeListBox box;
    std::vector<int> zoomedIn, zoomedOut;
};

}  // namespace

TEST_F(ZoomFixture, ZoomInReachesTheItemsAreaAndFiresOnce)
{
    TSmoothImageListBoxItem* item = box.Items()->GetItem(1);
    const TGPRect resting = item->ImageRect;
    ASSERT_GT(resting.Width, 0);
    box.DoZoom(1);
    EXPECT_TRUE(item->Zoomed);
    EXPECT_LT(RunZoom(), 1000);
    // Full screen: the client less the footer.
    const TRect ir = box.InsideRect();
    EXPECT_EQ(item->ImageRect.X, ir.Left);
    EXPECT_EQ(item->ImageRect.Y, ir.Top);
    EXPECT_EQ(item->ImageRect.Width, ir.Right - ir.Left);
    EXPECT_EQ(item->ImageRect.Height, ir.Bottom - ir.Top - 35);
    EXPECT_EQ(zoomedIn, std::vector<int>{1});
    for (int i = 0; i < 20; ++i)
        box.Tick();
    EXPECT_EQ(zoomedIn.size(), 1u);

    box.DoZoom(-1);
    EXPECT_TRUE(item->ZoomingOut);
    EXPECT_LT(RunZoom(), 1000);
    EXPECT_FALSE(item->Zoomed);
    EXPECT_FALSE(item->ZoomingOut);
    EXPECT_EQ(item->ImageRect.X, item->TargetImageRect.X);
    EXPECT_EQ(item->ImageRect.Width, item->TargetImageRect.Width);
    EXPECT_EQ(zoomedOut, std::vector<int>{1});
}

// A zoomed picture follows the control when it is resized.
TEST_F(ZoomFixture, ZoomFollowsAResize)
{
    TSmoothImageListBoxItem* item = box.Items()->GetItem(0);
    box.DoZoom(0);
    RunZoom();
    // A hidden widget gets its resize event when shown: deliver it now.
    const QSize old = box.size();
    box.resize(800, 300);
    QResizeEvent event(box.size(), old);
    QApplication::sendEvent(&box, &event);
    EXPECT_TRUE(box.AnimateZoom);
    EXPECT_LT(RunZoom(), 1000);
    EXPECT_EQ(item->ImageRect.Width, 799);
    EXPECT_EQ(item->ImageRect.Height, 299 - 35);
    EXPECT_EQ(zoomedIn.size(), 2u);
}

// With an outer border the zoomed picture starts at the inside edge, not at 0.
TEST_F(ZoomFixture, ZoomStartsAtTheInsideEdgeWithABorder)
{
    box.Fill()->SetBorderColor(colors::clBlack);
    box.Fill()->SetBorderWidth(3);
    const TRect ir = box.InsideRect();
    ASSERT_EQ(ir.Left, 2);
    TSmoothImageListBoxItem* item = box.Items()->GetItem(2);
    box.DoZoom(2);
    RunZoom();
    EXPECT_EQ(item->ImageRect.X, 2);
    EXPECT_EQ(item->ImageRect.Y, 2);
    EXPECT_EQ(item->ImageRect.Width, ir.Right - ir.Left);
}

TEST_F(ZoomFixture, AspectRatioZoomKeepsThePictureShape)
{
    box.SetZoomMode(zmAspectRatio);
    TSmoothImageListBoxItem* item = box.Items()->GetItem(0);
    box.DoZoom(0);
    RunZoom();
    // 400 x 300 into 1023 x 136: the height decides.
    EXPECT_EQ(item->ImageRect.Height, 136);
    EXPECT_EQ(item->ImageRect.Width, 181);
    const TRect ir = box.InsideRect();
    EXPECT_EQ(item->ImageRect.X, ir.Left + (1023 - 181 + 1) / 2);
}

TEST_F(ZoomFixture, RefusedOrImpossibleZoomsChangeNothing)
{
    box.OnItemZoomIn = [](QObject*, int index, bool& allow) { allow = index != 0; };
    box.DoZoom(0);
    EXPECT_FALSE(box.Items()->GetItem(0)->Zoomed);
    box.Items()->GetItem(2)->SetEnabled(false);
    box.DoZoom(2);
    EXPECT_FALSE(box.Items()->GetItem(2)->Zoomed);
    box.DoZoom(7);
    box.DoZoom(-1);  // the selection is item 0, refused
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(box.Items()->GetItem(i)->Zoomed);
    // An item without a picture has no thumbnail to zoom.
    box.Items()->Add();
    box.DoZoom(3);
    EXPECT_FALSE(box.Items()->GetItem(3)->Zoomed);
}

TEST(ListBoxProperties, UnchangedSelectionDoesNotRepaint)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    AddItems(box, 3);
    box.show();
    ASSERT_TRUE(WaitUntil([&] { return box.paints > 0; }));
    QApplication::processEvents();
    box.paints = 0;
    box.SetSelectedItemIndex(0);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(box.paints, 0);
    box.SetSelectedItemIndex(1);
    EXPECT_TRUE(WaitUntil([&] { return box.paints > 0; }));
}

// The scroll bar follows the layout without firing its own handler, and the
// user's moves on it scroll the grid and report the new position.
TEST(ListBoxScrollBar, PlacedByTheLayoutAndMovedByTheUser)
{
    ProbeListBox box;
    box.SetRows(0);
    box.SetColumns(3);
    box.resize(600, 450);
    std::vector<int> reported;
    box.OnScroll = [&](QObject*, int position) { reported.push_back(position); };
    AddItems(box, 60);
    QScrollBar* bar = box.ScrollBar();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->orientation(), Qt::Vertical);
    EXPECT_EQ(bar->maximum(), box.GetFullSize());
    EXPECT_EQ(bar->geometry().right(), box.InsideRect().Right - 1);
    EXPECT_EQ(bar->geometry().top(), 50);  // under the header
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 0);

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(box.Position, 20);
    EXPECT_EQ(box.PositionTo, 20);
    EXPECT_EQ(reported.back(), 20);
    EXPECT_FLOAT_EQ(box.DisplayList()->GetItem(0)->Rect().Y, 60 - 20);

    // A scroll step of the animation moves the bar along, firing nothing back.
    box.PositionTo = 300;
    box.AnimateScroll = true;
    box.ScrollSpeed = 4;
    box.Tick();
    EXPECT_EQ(bar->value(), box.Position);
    EXPECT_EQ(reported.back(), box.Position);
    EXPECT_EQ(box.PositionTo, 300);

    // A strip lays the bar along its bottom, above the footer.
    box.SetRows(1);
    EXPECT_EQ(bar->orientation(), Qt::Horizontal);
    EXPECT_EQ(bar->geometry().bottom(), box.InsideRect().Bottom - 50 - 1);
    box.SetShowScrollBar(false);
    EXPECT_TRUE(bar->isHidden());
}

// Shown, the timer scrolls by itself and sleeps once nothing moves; input
// wakes it; hidden, it rests.
TEST(ListBoxAnimation, TheTimerAnimatesWhileShownAndSleepsWhenIdle)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    AddColouredItems(box, std::vector<QColor>(30, Qt::red));
    box.show();
    QTimer* timer = box.findChild<QTimer*>();
    ASSERT_TRUE(timer);
    EXPECT_TRUE(WaitUntil([&] { return !timer->isActive(); }));

    SendWheel(box, -120);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(WaitUntil([&] { return box.Position == 143; }));
    EXPECT_TRUE(WaitUntil([&] { return !timer->isActive(); }));

    // A zoom started by the program wakes it too, and it runs to the end.
    std::vector<int> zoomed;
    box.OnItemZoomedIn = [&](QObject*, int index) { zoomed.push_back(index); };
    box.DoZoom(1);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(WaitUntil([&] { return !zoomed.empty(); }));
    box.DoZoom(-1);
    EXPECT_TRUE(WaitUntil([&] { return !box.Items()->GetItem(1)->Zoomed; }));

    box.hide();
    EXPECT_FALSE(timer->isActive());
    SendWheel(box, -120);
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(box.Position, 143);
    box.show();
    EXPECT_TRUE(WaitUntil([&] { return box.Position == 286; }));
}

// A scroll step moves the cells as a whole: the laid-out entries stay, and
// they are shown where a fresh layout at the new position puts them, in a
// strip and in a grid.
TEST(ListBoxLayout, AScrollMovesTheLaidOutCellsWithoutLayingThemOutAgain)
{
    for (const bool strip : {true, false}) {
        SCOPED_TRACE(strip ? "strip" : "grid");
        ProbeListBox box;
        ConfigureAsMainWindowStrip(box);
        if (!strip)
            box.SetColumns(4);
        box.resize(strip ? 1024 : 640, strip ? 172 : 400);
        AddItems(box, 300);
        std::vector<const TSmoothImageListBoxDisplayListItem*> entries;
        std::vector<TGPRectF> laidOut;
        for (int i = 0; i < box.DisplayList()->Count(); ++i) {
            entries.push_back(box.DisplayList()->GetItem(i));
            laidOut.push_back(box.DisplayList()->GetItem(i)->Cell);
        }
        for (int notch = 0; notch < 3; ++notch)
            SendWheel(box, -120);
        for (int tick = 0; tick < 10; ++tick)
            box.Tick();
        ASSERT_GT(box.Position, 0);
        ASSERT_EQ(box.DisplayList()->Count(), int(entries.size()));
        std::vector<TGPRectF> shown;
        for (int i = 0; i < box.DisplayList()->Count(); ++i) {
            EXPECT_EQ(box.DisplayList()->GetItem(i), entries[i]) << i;
            EXPECT_EQ(box.DisplayList()->GetItem(i)->Cell.X, laidOut[i].X) << i;
            EXPECT_EQ(box.DisplayList()->GetItem(i)->Cell.Y, laidOut[i].Y) << i;
            shown.push_back(box.DisplayList()->GetItem(i)->Rect());
        }
        // What is in view, and where the loader begins, as after a relayout.
        const int first = box.GetFirstVisibleItem(), last = box.GetLastVisibleItem();
        EXPECT_GT(first, 0);
        box.InitListBoxItems();
        EXPECT_EQ(box.GetFirstVisibleItem(), first);
        EXPECT_EQ(box.GetLastVisibleItem(), last);
        for (int i = 0; i < box.DisplayList()->Count(); ++i) {
            const TGPRectF fresh = box.DisplayList()->GetItem(i)->Rect();
            EXPECT_EQ(fresh.X, shown[i].X) << i;
            EXPECT_EQ(fresh.Y, shown[i].Y) << i;
            EXPECT_EQ(box.Items()->GetItem(i)->CellRect().X, fresh.X) << i;
        }
    }
}

// Each scroll step hands the loader the items now in view; nothing in
// that may ask the system again for what does not change, such as the
// number of cores (a file read per step).
TEST(ListBoxAnimation, ScrollStepsReadNoFiles)
{
    ProbeListBox box;
    ConfigureAsMainWindowStrip(box);
    box.resize(1024, 172);
    box.show();
    AddItems(box, 200);
    for (int i = 0; i < 20; ++i)
        SendWheel(box, -120);
    box.Tick();
    const long before = ThreadCounter("io", "syscr");
    ASSERT_GE(before, 0);
    constexpr int kSteps = 40;
    for (int i = 0; i < kSteps; ++i)
        box.Tick();
    EXPECT_TRUE(box.Animating);
    // The second look at the counter is itself one read or two.
    EXPECT_LT(ThreadCounter("io", "syscr") - before, 5);
}
