// The strip's item collection against a fake strip: the hand-shake with the
// loader thread, structure changes, sorting and searching, selection and
// group collapsing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/TSmoothImageListBoxDisplayList.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "tests/controls/FakeListBoxHost.h"

namespace {

using Calls = std::vector<std::string>;

// The loader stopped first, relayout, repaint, loader started again.
const Calls kOwnUpdate{"StopThread", "InitListBoxItems", "Changed", "StartThread"};

class Items : public ::testing::Test {
protected:
    FakeListBoxHost host;
    TSmoothImageListBoxItems& items = *host.Items();

    // n items with captions "0".."n-1" and tags 100..; the log cleared.
    void AddItems(int n)
    {
        items.BeginUpdate();
        for (int i = 0; i < n; ++i) {
            TSmoothImageListBoxItem* item = items.Add();
            item->Caption()->SetText(std::to_string(i));
            item->SetTag(100 + i);
        }
        items.EndUpdate();
        host.ClearCalls();
    }
    // Every item knows where it stands.
    void ExpectIndicesMatch() const
    {
        for (int i = 0; i < items.Count(); ++i)
            EXPECT_EQ(items[i]->Index(), i);
    }
    std::vector<intptr_t> Tags() const
    {
        std::vector<intptr_t> tags;
        for (int i = 0; i < items.Count(); ++i)
            tags.push_back(items[i]->Tag());
        return tags;
    }
};

}  // namespace

TEST_F(Items, NestedUpdatesRelayoutAndStartTheLoaderOnlyAtTheLastEnd)
{
    items.BeginUpdate();
    items.BeginUpdate();
    EXPECT_EQ(host.Calls(), (Calls{"StopThread", "StopThread"}));
    items.EndUpdate();
    EXPECT_EQ(host.Calls(), (Calls{"StopThread", "StopThread"}));
    EXPECT_TRUE(items.Updating());
    items.EndUpdate();
    EXPECT_EQ(host.Calls(), (Calls{"StopThread", "StopThread", "InitListBoxItems", "Changed", "StartThread"}));

    // An unmatched end neither counts below zero nor restarts anything.
    host.ClearCalls();
    items.EndUpdate();
    EXPECT_TRUE(host.Calls().empty());
    items.BeginUpdate();
    EXPECT_TRUE(items.Updating());
}

TEST_F(Items, ChangesInsideAnUpdateWaitForItsEnd)
{
    AddItems(3);
    items.BeginUpdate();
    items.Add();
    items[0]->SetSelected(true);
    items.Delete(1);
    items.Move(0, 2);
    items.Sort();
    items.Clear();
    EXPECT_EQ(host.Calls(), (Calls{"StopThread"}));
    items.EndUpdate();
    EXPECT_EQ(host.Calls(), kOwnUpdate);
}

TEST_F(Items, StructureChangesOutsideAnUpdateStopTheLoaderAndRelayoutOnce)
{
    struct Case {
        const char* name;
        std::function<void(TSmoothImageListBoxItems&)> change;
    };
    const std::vector<Case> cases{
        {"Add", [](auto& c) { c.Add(); }},
        {"Insert", [](auto& c) { c.Insert(1); }},
        {"Delete", [](auto& c) { c.Delete(0); }},
        {"Move", [](auto& c) { c.Move(0, 2); }},
        {"Index", [](auto& c) { c[2]->SetIndex(0); }},
        {"Sort", [](auto& c) { c.Sort(); }},
        {"Clear", [](auto& c) { c.Clear(); }},
    };
    for (const Case& c : cases) {
        items.Clear();
        AddItems(3);
        c.change(items);
        EXPECT_EQ(host.Calls(), kOwnUpdate) << c.name;
        EXPECT_FALSE(items.Updating()) << c.name;
    }
}

TEST_F(Items, ClearOfAnEmptyCollectionCallsNothing)
{
    items.Clear();
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(Items, SortOfOneItemStillRelayouts)
{
    AddItems(1);
    items.Sort();
    EXPECT_EQ(host.Calls(), kOwnUpdate);
}

TEST_F(Items, InsertPlacesTheNewItemAtTheIndex)
{
    AddItems(3);
    TSmoothImageListBoxItem* item = items.Insert(1);
    item->SetTag(7);
    EXPECT_EQ(item->Index(), 1);
    EXPECT_EQ(Tags(), (std::vector<intptr_t>{100, 7, 101, 102}));
    items.Insert(99)->SetTag(8);
    EXPECT_EQ(Tags().back(), 8);
    ExpectIndicesMatch();
}

TEST_F(Items, MoveKeepsTagsWithTheirItems)
{
    AddItems(4);
    TSmoothImageListBoxItem* moved = items[0];
    items.Move(0, 2);
    EXPECT_EQ(Tags(), (std::vector<intptr_t>{101, 102, 100, 103}));
    EXPECT_EQ(items[2], moved);
    EXPECT_EQ(moved->Caption()->Text(), "0");
    // As the main window reorders: through the item's index.
    items[3]->SetIndex(0);
    EXPECT_EQ(Tags(), (std::vector<intptr_t>{103, 101, 102, 100}));
    ExpectIndicesMatch();
    // Out of range: clamped target, ignored source.
    items[0]->SetIndex(50);
    EXPECT_EQ(Tags(), (std::vector<intptr_t>{101, 102, 100, 103}));
    host.ClearCalls();
    items.Move(-1, 0);
    items.Move(4, 0);
    EXPECT_EQ(Tags(), (std::vector<intptr_t>{101, 102, 100, 103}));
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(Items, DeleteInsideAnUpdateLeavesNoDisplayEntryOfTheItem)
{
    AddItems(4);
    host.FillDisplayList();
    ASSERT_EQ(host.DisplayList()->Count(), 4);
    items.BeginUpdate();
    items.Delete(1);
    items.Delete(2);
    // What hit tests and the navigator do before the next relayout: every
    // entry's item must still be alive (the sanitizer build checks the
    // reads).
    TSmoothImageListBoxDisplayList& list = *host.DisplayList();
    ASSERT_EQ(list.Count(), 2);
    std::vector<std::string> captions;
    for (int i = 0; i < list.Count(); ++i)
        captions.push_back(list.GetItem(i)->Item->Caption()->Text());
    EXPECT_EQ(captions, (std::vector<std::string>{"0", "2"}));
    ExpectIndicesMatch();
    items.EndUpdate();
}

TEST_F(Items, DestroyingAnItemAsksTheLoaderToRestart)
{
    AddItems(2);
    items.Delete(0);
    // The own update's StopThread cleared it; the item set it after.
    EXPECT_TRUE(host.LoadRestart());
}

TEST_F(Items, ClearEmptiesTheDisplayList)
{
    AddItems(3);
    host.FillDisplayList();
    items.Clear();
    EXPECT_EQ(items.Count(), 0);
    EXPECT_EQ(host.DisplayList()->Count(), 0);
}

TEST_F(Items, CompareUpperCasesOnlyAToZAndIgnoresMarkup)
{
    struct Case {
        std::string a, b;
        int expected;
    };
    const std::vector<Case> cases{
        {"abc", "ABC", 0},
        {"<b>abc</b>", "ABC", 0},
        {"<font color=\"red\">b</font>", "a", 1},
        {"a", "b", -1},
        {"ab", "abc", -1},
        // UTF-8 letters compare by their bytes, in their own case.
        {"\xC3\xA9", "\xC3\x89", 1},
        {"\xC3\xA9", "\xC3\xA9", 0},
        // Bytes above 0x7F sort after ASCII.
        {"\xC3\xA9", "z", 1},
    };
    AddItems(2);
    for (const Case& c : cases) {
        items[0]->Caption()->SetText(c.a);
        items[1]->Caption()->SetText(c.b);
        EXPECT_EQ(items.Compare(items[0], items[1]), c.expected) << c.a << " / " << c.b;
        EXPECT_EQ(items.Compare(items[1], items[0]), -c.expected) << c.b << " / " << c.a;
    }
}

TEST_F(Items, SortOrdersByPlainCaptionAndKeepsTags)
{
    const std::vector<std::string> captions{"<b>pear</b>", "Apple", "banana", "apple2", "Cherry", "apple", "b"};
    items.BeginUpdate();
    for (size_t i = 0; i < captions.size(); ++i) {
        TSmoothImageListBoxItem* item = items.Add();
        item->Caption()->SetText(captions[i]);
        item->SetTag(static_cast<intptr_t>(i));
    }
    items.EndUpdate();
    items.Sort();
    std::vector<std::string> sorted;
    for (int i = 0; i < items.Count(); ++i)
        sorted.push_back(items[i]->Caption()->Text());
    // "Apple" and "apple" are equal; either may come first.
    ASSERT_EQ(sorted.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(sorted.begin() + 2, sorted.end()),
              (std::vector<std::string>{"apple2", "b", "banana", "Cherry", "<b>pear</b>"}));
    for (int i = 0; i < items.Count(); ++i)
        EXPECT_EQ(captions[static_cast<size_t>(items[i]->Tag())], items[i]->Caption()->Text());
    ExpectIndicesMatch();
}

TEST_F(Items, SortHandlesManyEqualAndReversedKeys)
{
    items.BeginUpdate();
    for (int i = 0; i < 200; ++i)
        items.Add()->Caption()->SetText(std::string(1, static_cast<char>('a' + (199 - i) % 5)) +
                                        std::to_string(1000 - i));
    items.EndUpdate();
    items.Sort();
    for (int i = 1; i < items.Count(); ++i)
        EXPECT_LE(items.Compare(items[i - 1], items[i]), 0) << i;
}

TEST_F(Items, FindIsExactWithMarkup)
{
    AddItems(3);
    items[1]->Caption()->SetText("<b>Blue</b>");
    items[2]->Caption()->SetText("Blue");
    EXPECT_EQ(items.Find("Blue"), 2);
    EXPECT_EQ(items.Find("<b>Blue</b>"), 1);
    EXPECT_EQ(items.Find("blue"), -1);
    EXPECT_EQ(items.Find(""), -1);
}

TEST_F(Items, SelectionHelpers)
{
    AddItems(4);
    items.Select({-1, 1, 3, 4});
    EXPECT_FALSE(items[0]->Selected());
    EXPECT_TRUE(items[1]->Selected());
    EXPECT_FALSE(items[2]->Selected());
    EXPECT_TRUE(items[3]->Selected());
    EXPECT_EQ(items.CountSelected(), 2);
    // One relayout for the whole selection.
    EXPECT_EQ(host.CountOf("InitListBoxItems"), 1);
    items.SelectAll();
    EXPECT_EQ(items.CountSelected(), 4);
    items.UnSelectAll();
    EXPECT_EQ(items.CountSelected(), 0);
}

TEST_F(Items, SplitterAndItemWalks)
{
    AddItems(5);
    items[1]->SetSplitter(true);
    items[3]->SetSplitter(true);
    EXPECT_TRUE(items.HasSplitters());
    EXPECT_TRUE(items.HasItems());
    EXPECT_EQ(items.FirstSplitter(), 1);
    EXPECT_EQ(items.NextSplitter(1), 3);
    EXPECT_EQ(items.NextSplitter(3), -1);
    EXPECT_EQ(items.FirstItem(), 0);
    EXPECT_EQ(items.NextItem(0), 2);
    EXPECT_EQ(items.NextItem(2), 4);
    EXPECT_EQ(items.NextItem(4), -1);
    items[0]->SetSplitter(true);
    items[2]->SetSplitter(true);
    items[4]->SetSplitter(true);
    EXPECT_FALSE(items.HasItems());
    EXPECT_EQ(items.FirstItem(), -1);
}

TEST_F(Items, CollapsingASplitterHidesItsGroupOnly)
{
    AddItems(6);
    items[1]->SetSplitter(true);
    items[4]->SetSplitter(true);
    host.ClearCalls();
    items[1]->SetSplitterState(stCollapsed);
    std::vector<bool> collapsed;
    for (int i = 0; i < items.Count(); ++i)
        collapsed.push_back(items[i]->Collapsed);
    EXPECT_EQ(collapsed, (std::vector<bool>{false, true, true, true, false, false}));
    EXPECT_EQ(host.CountOf("InitListBoxItems"), 1);
    host.FillDisplayList();
    EXPECT_EQ(host.DisplayList()->Count(), 4);  // 0, both splitters, 5

    items[1]->SetSplitterState(stExpanded);
    EXPECT_FALSE(items[2]->Collapsed);
    EXPECT_FALSE(items[3]->Collapsed);
}

TEST_F(Items, AssignCopiesEveryItem)
{
    AddItems(3);
    FakeListBoxHost other;
    other.Items()->Add()->SetTag(9);
    other.Items()->Assign(items);
    ASSERT_EQ(other.Items()->Count(), 3);
    EXPECT_EQ(other.Items()->GetItem(2)->Tag(), 102);
    EXPECT_EQ(other.Items()->GetItem(2)->Caption()->Text(), "2");
    EXPECT_NE(other.Items()->GetItem(2), items[2]);
}

TEST(ItemsDestruction, FreesItemsWithoutCallingTheOwner)
{
    // The strip frees its items while it is itself going away.
    FakeListBoxHost host;
    auto items = std::make_unique<TSmoothImageListBoxItems>(&host);
    items->Add();
    items->Add();
    host.ClearCalls();
    items.reset();
    EXPECT_TRUE(host.Calls().empty());
}
