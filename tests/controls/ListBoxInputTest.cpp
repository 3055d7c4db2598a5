// Keys, typed lookup and the mouse on the list control, with events sent as
// Qt delivers them and the press/release clock injected.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QToolTip>
#include <string>
#include <vector>

#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxNavigator.h"
#include "controls/render/MainWindowStrip.h"
#include "tests/controls/ListBoxProbe.h"

namespace {

class InputProbe : public ProbeListBox {
public:
    using ProbeListBox::ProbeListBox;
    using TSmoothImageListBox::ExpanderButton;
};

enum { VK_RETURN = 13, VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38,
       VK_RIGHT = 39, VK_DOWN = 40, VK_DELETE = 46 };

class ListBoxInput : public ::testing::Test {
protected:
    // The main window's strip of 143 x 110 cells, 600 wide: four cells in view.
    void SetUp() override
    {
        strip_setup::ConfigureAsMainWindowStrip(box);
        box.resize(600, 172);
        box.TickCount = [this] { return now; };
        Fill(10);
        box.OnItemClick = [this](QObject*, int i, Qt::MouseButton, Qt::KeyboardModifiers) {
            Record("click " + std::to_string(i));
        };
        box.OnItemSelect = [this](QObject*, int i) { Record("select " + std::to_string(i)); };
        box.OnItemMouseUp = [this](QObject*, int i) { Record("up " + std::to_string(i)); };
        box.OnItemMouseDown = [this](QObject*, int i) { Record("down " + std::to_string(i)); };
        // The pointer comes in before it moves over anything.
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(box.mapToGlobal(QPoint(1, 1))));
        QApplication::sendEvent(&box, &enter);
    }
    void Fill(int count)
    {
        box.Items()->Clear();
        strip_setup::AddColouredItems(box, std::vector<QColor>(count, QColor(90, 140, 200)), 40, 30);
    }
    void Record(const std::string& s) { log.push_back(s); }
    TSmoothImageListBoxItem* Item(int i) { return box.Items()->GetItem(i); }
    QPoint Centre(int i)
    {
        const TGPRectF r = Item(i)->CellRect();
        return QPoint(int(r.X + r.Width / 2), int(r.Y + r.Height / 2));
    }

    void Mouse(QEvent::Type type, QPoint p, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = {})
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(p), QPointF(box.mapToGlobal(p)), button, buttons, mods);
        QApplication::sendEvent(&box, &e);
    }
    void Press(QPoint p, Qt::KeyboardModifiers mods = {}) { Mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, mods); }
    void Drag(QPoint p) { Mouse(QEvent::MouseMove, p, Qt::LeftButton); }
    void Hover(QPoint p) { Mouse(QEvent::MouseMove, p, Qt::NoButton); }
    void Release(QPoint p, Qt::KeyboardModifiers mods = {}) { Mouse(QEvent::MouseButtonRelease, p, {}, mods); }
    void Click(QPoint p, Qt::KeyboardModifiers mods = {})
    {
        Press(p, mods);
        Release(p, mods);
    }
    void Key(int key, Qt::KeyboardModifiers mods = {}, const QString& text = {})
    {
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(&box, &e);
    }
    void Type(const QString& text) { Key(Qt::Key_A + (text.toUpper().at(0).unicode() - 'A'), {}, text); }
    QPoint FooterButtonCentre(int button)
    {
        TGPRectF caption{}, block{};
        box.GetBarRects(box.Footer(), caption, block);
        const TGPRectF r = box.Footer()->Navigator()->GetNavigatorButtonRect(block, button);
        return QPoint(int(r.X + r.Width / 2), int(r.Y + r.Height / 2));
    }

    InputProbe box;
    int64_t now = 1000;
    std::vector<std::string> log;
};

using Events = std::vector<std::string>;

}  // namespace

TEST_F(ListBoxInput, KeysMoveTheIndexByModeAndStopAtTheEdges)
{
    const struct Case {
        int rows, columns, key, from, to;
        bool handled;
    } cases[] = {
        // grid of 3 columns
        {0, 3, VK_LEFT, 0, -1, true}, {0, 3, VK_RIGHT, 9, 10, true}, {0, 3, VK_UP, 4, 1, true},
        {0, 3, VK_UP, 2, 2, true},    {0, 3, VK_DOWN, 6, 9, true},   {0, 3, VK_DOWN, 7, 7, true},
        {0, 3, VK_HOME, 5, 0, true},  {0, 3, VK_END, 2, 9, true},    {0, 3, VK_DELETE, 4, 4, false},
        // strip of 2 rows
        {2, 0, VK_LEFT, 3, 1, true},  {2, 0, VK_LEFT, 1, 1, true},   {2, 0, VK_RIGHT, 7, 9, true},
        {2, 0, VK_RIGHT, 8, 8, true}, {2, 0, VK_UP, 0, -1, true},    {2, 0, VK_DOWN, 9, 10, true},
        {2, 0, VK_END, 0, 9, true},   {2, 0, VK_RETURN, 3, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << "x" << c.columns << " key " << c.key << " from " << c.from);
        box.SetRows(c.rows);
        box.SetColumns(c.columns);
        int index = c.from;
        EXPECT_EQ(box.ProcessKeyDown(c.key, index), c.handled);
        EXPECT_EQ(index, c.to);
    }
    // Pages go to the first and last item in view.
    box.SetColumns(0);
    box.SetRows(1);
    int index = 5;
    box.ProcessKeyDown(VK_PRIOR, index);
    EXPECT_EQ(index, box.GetFirstVisibleItem());
    box.ProcessKeyDown(VK_NEXT, index);
    EXPECT_EQ(index, box.GetLastVisibleItem());
}

TEST_F(ListBoxInput, NavigationSkipsSplittersAndDisabledItemsAndStaysWhenNothingCanTakeIt)
{
    Item(1)->SetEnabled(false);
    Item(2)->SetSplitter(true);
    Item(9)->SetEnabled(false);
    box.SetSelectedItemIndex(0);
    Key(Qt::Key_Right);
    EXPECT_EQ(box.SelectedItemIndex(), 3);
    Key(Qt::Key_Left);
    EXPECT_EQ(box.SelectedItemIndex(), 0);
    Key(Qt::Key_End);  // the last item is disabled: nowhere to go
    EXPECT_EQ(box.SelectedItemIndex(), 0);

    // A grid in which only item 4 can take the selection: Up at the top
    // and Right at the end come back.
    box.SetColumns(3);
    for (int i = 0; i < 10; ++i)
        Item(i)->SetEnabled(i == 4);
    box.SetSelectedItemIndex(4);
    for (int key : {Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Home, Qt::Key_End}) {
        Key(key);
        EXPECT_EQ(box.SelectedItemIndex(), 4) << key;
    }
}

TEST_F(ListBoxInput, KeyDownHandlerSeesKeyCodesAndMaySwallowTheKey)
{
    std::vector<int> seen;
    box.OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
        seen.push_back(key);
        if (key == VK_RIGHT)
            key = 0;
    };
    box.SetSelectedItemIndex(0);
    Key(Qt::Key_Delete);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    EXPECT_EQ(seen, (std::vector<int>{VK_DELETE, VK_RIGHT, VK_DOWN}));
    // Right swallowed, Down moved; every key that reaches navigation
    // reports the selection, Delete too.
    EXPECT_EQ(box.SelectedItemIndex(), 1);
    EXPECT_EQ(log, (Events{"select 0", "select 1"}));
}

TEST_F(ListBoxInput, ShiftSelectsRangesInMultiSelect)
{
    box.SetMultiSelect(true);
    Click(Centre(2));
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(box.FFocusedItemIndex, 4);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Item(i)->Selected(), i >= 2 && i <= 4) << i;

    // With no selection a Shift-click only clears.
    box.SetSelectedItemIndex(-1);
    Click(Centre(1), Qt::ShiftModifier);
    EXPECT_EQ(box.SelectedItemIndex(), -1);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(Item(i)->Selected()) << i;
}

TEST_F(ListBoxInput, OnePixelIsStillAClickTwoMakeADrag)
{
    for (int moved : {1, 2}) {
        SCOPED_TRACE(moved);
        log.clear();
        box.SetSelectedItemIndex(0);
        const QPoint p = Centre(1);
        Press(p);
        Drag(p - QPoint(moved, 0));
        Release(p - QPoint(moved, 0));
        if (moved == 1) {
            EXPECT_EQ(box.SelectedItemIndex(), 1);
            EXPECT_EQ(log, (Events{"down 1", "click 1", "select 1", "up 1"}));
        } else {
            EXPECT_EQ(box.SelectedItemIndex(), 0);
            EXPECT_EQ(log, (Events{"down 1"}));
        }
    }
}

TEST_F(ListBoxInput, ClickOnEmptySpaceClearsTheSelectionWithoutItemEvents)
{
    box.SetSelectedItemIndex(3);
    const TGPRectF a = Item(0)->CellRect(), b = Item(1)->CellRect();
    const QPoint gap(int((a.X + a.Width + b.X) / 2), int(a.Y + a.Height / 2));
    ASSERT_EQ(box.FindItemOnXY(gap.x(), gap.y()), -1);
    Click(gap);
    EXPECT_EQ(box.SelectedItemIndex(), -1);
    EXPECT_TRUE(log.empty());
}

TEST_F(ListBoxInput, ClickOnADisabledItemReportsThePreviousSelection)
{
    Item(2)->SetEnabled(false);
    box.SetSelectedItemIndex(0);
    Click(Centre(2));
    EXPECT_EQ(box.SelectedItemIndex(), 0);
    EXPECT_EQ(log, (Events{"click 0", "select 0", "up 0"}));
}

TEST_F(ListBoxInput, AQuickFlickCarriesOnAndASlowOneDoesNot)
{
    Fill(40);
    for (const auto& [held, momentum] : {std::pair{100, 900}, std::pair{600, 0}}) {
        SCOPED_TRACE(held);
        box.ScrollToItem(0);
        const int start = box.GetPosition();
        now = 10000;
        Press(QPoint(500, 60));
        now += held;
        Drag(QPoint(200, 60));  // the content follows: 300 px on
        Release(QPoint(200, 60));
        const int before = box.PositionTo;
        EXPECT_EQ(before, start + 300);
        Hover(QPoint(200, 60));  // the flick is reckoned at the next move
        EXPECT_EQ(box.PositionTo - before, momentum);
    }
}

TEST_F(ListBoxInput, NavigatorButtonsMoveAndReportTheSelection)
{
    box.SetSelectedItemIndex(0);
    Click(FooterButtonCentre(1));  // previous: nothing before item 0
    EXPECT_EQ(box.SelectedItemIndex(), 0);
    EXPECT_EQ(log, (Events{"up 0"}));

    log.clear();
    Click(FooterButtonCentre(2));  // next
    EXPECT_EQ(box.SelectedItemIndex(), 1);
    EXPECT_EQ(log, (Events{"select 1", "up 1"}));

    log.clear();
    std::vector<TSmoothImageListBoxNavigationMode> asked;
    box.OnNavigate = [&](QObject*, TSmoothImageListBoxNavigationMode mode, bool& allow) {
        asked.push_back(mode);
        allow = false;
    };
    Click(FooterButtonCentre(3));  // refused: the click events of the selection still come
    EXPECT_EQ(asked, (std::vector<TSmoothImageListBoxNavigationMode>{nmNextPage}));
    EXPECT_EQ(box.SelectedItemIndex(), 1);
    EXPECT_EQ(log, (Events{"click 1", "select 1", "up 1"}));
}

TEST_F(ListBoxInput, DoubleClickFiresOnce)
{
    int doubles = 0;
    box.OnItemDblClick = [&](QObject*, int i) {
        ++doubles;
        EXPECT_EQ(i, 2);
    };
    const QPoint p = Centre(2);
    // As Qt delivers it: press, release, double click, release.
    Press(p);
    Release(p);
    Mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton);
    Release(p);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(box.SelectedItemIndex(), 2);
}

TEST_F(ListBoxInput, EachHoverHasOneEnterAndOneLeave)
{
    std::vector<std::string> hovers;
    box.OnItemMouseEnter = [&](QObject*, int i) { hovers.push_back("enter " + std::to_string(i)); };
    box.OnItemMouseLeave = [&](QObject*, int i) { hovers.push_back("leave " + std::to_string(i)); };
    Hover(Centre(1));
    Hover(Centre(1) + QPoint(5, 5));
    Hover(Centre(2));  // straight into the next cell
    const TGPRectF a = Item(2)->CellRect();
    Hover(QPoint(int(a.X + a.Width + 2), int(a.Y + a.Height / 2)));  // the gap after it
    Hover(Centre(1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&box, &leave);
    EXPECT_EQ(hovers, (std::vector<std::string>{"enter 1", "leave 1", "enter 2", "leave 2", "enter 1", "leave 1"}));
    EXPECT_EQ(box.FHoverItemIndex, -1);
}

TEST_F(ListBoxInput, HintsComeFromTheItemTheHandlerAndTheNavigator)
{
    box.show();
    Item(3)->SetHint("three");
    box.OnItemHint = [](QObject*, int i, std::string& hint) { hint += " of " + std::to_string(i); };
    Hover(Centre(3));
    EXPECT_EQ(QToolTip::text(), "three of 3");
    box.SetSelectedItemIndex(0);
    Hover(FooterButtonCentre(3));
    EXPECT_EQ(QToolTip::text(), "Next Page");
    Hover(FooterButtonCentre(1));
    EXPECT_EQ(QToolTip::text(), "Previous Item");
    QToolTip::hideText();
}

TEST_F(ListBoxInput, AClickOnACaptionLinkReportsItsAddress)
{
    box.ItemAppearance()->SetTextVisible(true);
    box.ItemAppearance()->SetTextHeight(30);
    Item(1)->Caption()->SetText("<a href=\"https://example.org/one\">one</a>");
    // Find the link's ink in the cell's text area.
    QPoint link(-1, -1);
    const TGPRectF cell = Item(1)->CellRect();
    for (int y = int(cell.Y); y < int(cell.Y + cell.Height) && link.x() < 0; y += 2)
        for (int x = int(cell.X); x < int(cell.X + cell.Width) && link.x() < 0; x += 2) {
            int index = -1;
            if (!box.GetAnchorAt(x, y, index).empty())
                link = QPoint(x, y);
        }
    ASSERT_GE(link.x(), 0);
    std::vector<std::pair<int, std::string>> clicks;
    box.OnItemAnchorClick = [&](QObject*, int i, const std::string& href) { clicks.emplace_back(i, href); };
    Hover(link);
    EXPECT_EQ(box.cursor().shape(), Qt::PointingHandCursor);
    Click(link);
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::string>>{{1, "https://example.org/one"}}));
    Hover(Centre(2));
    EXPECT_EQ(box.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ListBoxInput, AnExpanderClickCollapsesItsGroup)
{
    box.SetRows(0);
    box.SetColumns(3);
    box.ItemAppearance()->Splitter()->SetExpander(true);
    box.Items()->BeginUpdate();
    Item(0)->SetSplitter(true);
    Item(0)->SetSplitterText("Group");
    Item(4)->SetSplitter(true);
    box.Items()->EndUpdate();
    const TSmoothImageListBoxDisplayListItem* splitter = box.DisplayList()->GetItem(0);
    ASSERT_EQ(splitter->Kind(), ikSplitter);
    QPoint expander(-1, -1);
    const TGPRectF r = splitter->Rect();
    for (int y = int(r.Y) - 20; y < int(r.Y + r.Height) + 20 && expander.x() < 0; ++y)
        for (int x = int(r.X); x < int(r.X + r.Width) && expander.x() < 0; ++x)
            if (box.ExpanderButton(x, y, Item(0), r))
                expander = QPoint(x, y);
    ASSERT_GE(expander.x(), 0);
    Click(expander);
    EXPECT_EQ(Item(0)->SplitterState(), stCollapsed);
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(Item(i)->Collapsed, i < 4) << i;
}

TEST_F(ListBoxInput, TypedLookupFindsTheFirstCaptionStartingSoAndForgetsAMiss)
{
    const char* captions[] = {"apple", "<b>St</b>one", "straw", "Stem", "pear"};
    for (int i = 0; i < 5; ++i)
        Item(i)->Caption()->SetText(captions[i]);
    box.SetKeyBoardLookUp(true);
    for (const QString& first : {QString("s"), QString("S")}) {
        SCOPED_TRACE(first.toStdString());
        box.SetSelectedItemIndex(4);
        box.LookupText.clear();
        Type(first);
        Type("t");
        EXPECT_EQ(box.SelectedItemIndex(), 1);
        Type("r");
        EXPECT_EQ(box.SelectedItemIndex(), 2);
        EXPECT_EQ(box.LookupText, first.toStdString() + "tr");
        Type("x");
        EXPECT_EQ(box.LookupText, "");
        EXPECT_EQ(box.SelectedItemIndex(), 2);
    }
}

TEST_F(ListBoxInput, FocusComesAndGoesAndTabStillLeaves)
{
    QWidget window;
    box.setParent(&window);
    QWidget other(&window);
    other.setFocusPolicy(Qt::StrongFocus);
    other.move(0, 200);
    window.resize(600, 240);
    int enters = 0, exits = 0;
    box.OnEnter = [&](QObject*) { ++enters; };
    box.OnExit = [&](QObject*) { ++exits; };
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    box.setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.hasFocus(); }));
    EXPECT_TRUE(box.FHasFocus);
    Hover(Centre(1));
    EXPECT_EQ(box.FHoverItemIndex, 1);

    QTest::keyClick(&box, Qt::Key_Tab);
    EXPECT_TRUE(other.hasFocus());
    EXPECT_FALSE(box.FHasFocus);
    EXPECT_EQ(box.FHoverItemIndex, -1);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 1);
    box.setParent(nullptr);
}

TEST_F(ListBoxInput, KeysTheControlDoesNotUseGoOnToItsParent)
{
    struct Parent : QWidget {
        std::vector<int> keys;
        void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
    } parent;
    box.setParent(&parent);
    box.SetSelectedItemIndex(0);
    Key(Qt::Key_Escape, {}, "\x1b");
    Key(Qt::Key_Right);
    Key(Qt::Key_F5);
    EXPECT_EQ(parent.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_F5}));
    EXPECT_EQ(box.SelectedItemIndex(), 1);
    box.setParent(nullptr);
}
