// The list box's properties, owned parts, Assign, folder import, marks and
// splitter operations.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QScrollBar>

#include "controls/TSmoothImageListBoxDisplayList.h"
#include "tests/controls/ListBoxProbe.h"
#include "controls/render/MainWindowStrip.h"
#include "tests/support/TempDir.h"

using namespace strip_setup;

TEST(ListBox, ConstructedWithItsDefaults)
{
    TSmoothImageListBox box;
    EXPECT_EQ(box.Version(), "1.1.6.1");
    EXPECT_EQ(box.width(), 600);
    EXPECT_EQ(box.height(), 450);
    EXPECT_EQ(box.Rows(), 3);
    EXPECT_EQ(box.Columns(), 0);
    EXPECT_EQ(box.AnimationFactor(), 4);
    EXPECT_EQ(box.SelectedItemIndex(), -1);
    EXPECT_EQ(box.ThreadLoading(), tlOnDemandAfterAnimation);
    EXPECT_TRUE(box.ZoomOnDblClick());
    EXPECT_TRUE(box.ShowScrollBar());
    EXPECT_TRUE(box.Hover());
    EXPECT_TRUE(box.TabStop());
    EXPECT_EQ(box.HoverItemIndex(), -1);
    EXPECT_EQ(box.GetThemeID(), "TSmoothImageListBox");
    EXPECT_FALSE(box.ScrollBar()->isVisible());
}

// Assign copies settings and parts by value: the target keeps owning its own.
TEST(ListBox, AssignCopiesSettingsButNotTheAppearance)
{
    TSmoothImageListBox source, target;
    source.SetColumns(4);
    source.SetAnimationFactor(9);
    source.SetZoomMode(zmAspectRatio);
    source.SetMultiSelect(true);
    source.SetFocusColor(0x123456);
    source.Footer()->SetCaption("footer text");
    source.Footer()->SetHeight(77);
    source.ItemAppearance()->SetItemWidth(333);
    AddColouredItems(source, {Qt::red, Qt::blue});
    source.Items()->GetItem(1)->Caption()->SetText("second");
    source.SetSelectedItemIndex(1);
    TSmoothImageListBoxFooter* ownFooter = target.Footer();

    target.Assign(source);
    EXPECT_EQ(target.Columns(), 4);
    EXPECT_EQ(target.Rows(), 0);
    EXPECT_EQ(target.AnimationFactor(), 9);
    EXPECT_EQ(target.ZoomMode(), zmAspectRatio);
    EXPECT_TRUE(target.MultiSelect());
    EXPECT_EQ(target.FocusColor(), TColor(0x123456));
    EXPECT_EQ(target.SelectedItemIndex(), 1);
    EXPECT_EQ(target.Footer(), ownFooter);
    EXPECT_EQ(target.Footer()->Caption(), "footer text");
    EXPECT_EQ(target.Footer()->Height(), 77);
    ASSERT_EQ(target.Items()->Count(), 2);
    EXPECT_EQ(target.Items()->GetItem(1)->Caption()->Text(), "second");
    EXPECT_EQ(target.ItemAppearance()->ItemWidth(), 70);
    // The copied items are laid out in the target.
    EXPECT_EQ(target.DisplayList()->Count(), 2);
}

TEST(ListBox, SortedOrdersItemsByTheirPlainCaption)
{
    TSmoothImageListBox box;
    box.Items()->BeginUpdate();
    for (const char* caption : {"<b>pear</b>", "Apple", "fig"})
        box.Items()->Add()->Caption()->SetText(caption);
    box.Items()->EndUpdate();
    box.SetSorted(true);
    EXPECT_EQ(box.Items()->GetItem(0)->Caption()->Text(), "Apple");
    EXPECT_EQ(box.Items()->GetItem(1)->Caption()->Text(), "fig");
    EXPECT_EQ(box.Items()->GetItem(2)->Caption()->Text(), "<b>pear</b>");
    // The cells follow the new order.
    EXPECT_EQ(box.DisplayList()->GetItem(0)->Item, box.Items()->GetItem(0));
}

TEST(ListBox, HighlightAndMarkSetTheCaptionMark)
{
    ProbeListBox box;
    box.Highlight(true, "sun");
    EXPECT_EQ(box.MarkTag, "hi");
    EXPECT_EQ(box.MarkText, "sun");
    box.Mark(false, "moon");
    EXPECT_EQ(box.MarkTag, "e");
    EXPECT_EQ(box.MarkText, "moon");
    box.UnMark();
    EXPECT_EQ(box.MarkTag, "");
    EXPECT_EQ(box.MarkText, "");
}

TEST(ListBox, CollapseAllHidesTheGroupsAndExpandAllShowsThem)
{
    TSmoothImageListBox box;
    box.SetRows(0);
    box.SetColumns(2);
    box.Items()->BeginUpdate();
    for (int i = 0; i < 6; ++i)
        box.Items()->Add()->SetSplitter(i == 0 || i == 3);
    box.Items()->EndUpdate();
    ASSERT_EQ(box.DisplayList()->Count(), 6);
    box.CollapseAll();
    EXPECT_EQ(box.DisplayList()->Count(), 2);  // the two splitters
    box.ExpandAll();
    EXPECT_EQ(box.DisplayList()->Count(), 6);
}

TEST(ListBox, DeletingTheLastItemLeavesNoCellBehind)
{
    TSmoothImageListBox box;
    box.Items()->Add();
    ASSERT_EQ(box.DisplayList()->Count(), 1);
    box.Items()->Delete(0);
    EXPECT_EQ(box.DisplayList()->Count(), 0);
    // Painting afterwards touches no freed item.
    Render(box);
}

// The loader runs once the window exists, stops for every items update and
// starts again at its end.
TEST(ListBox, LoaderThreadFollowsWindowAndUpdates)
{
    TSmoothImageListBox box;
    box.Items()->Add();
    EXPECT_FALSE(box.ThreadRunning());
    box.show();
    EXPECT_TRUE(box.ThreadRunning());
    box.SetLoadRestart(true);
    box.SetLoadStartIndex(5);
    box.Items()->BeginUpdate();
    EXPECT_FALSE(box.ThreadRunning());
    EXPECT_FALSE(box.LoadRestart());
    EXPECT_EQ(box.LoadStartIndex(), 0);
    box.Items()->Add();
    box.Items()->EndUpdate();
    EXPECT_TRUE(box.ThreadRunning());
}

namespace {

void WriteImage(const std::string& path, const char* format, QColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(path), format));
}

struct FolderImport : ::testing::Test {
    void SetUp() override
    {
        WriteImage(dir / "b.png", "PNG", Qt::red);
        WriteImage(dir / "a.jpg", "JPEG", Qt::blue);
        WriteImage(dir / ".hidden.png", "PNG", Qt::green);
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir / "sub.png")));
        dir.Write("notes.txt", "not a picture");
    }
    TempDir dir;
};

}  // namespace

TEST_F(FolderImport, ImagesMakeThumbnailsAndSkipFolders)
{
    TSmoothImageListBox box;
    box.AddImagesFromFolder(dir / "*.png", true);
    box.WaitForThumbnails();
    ASSERT_EQ(box.Items()->Count(), 2);  // b.png and .hidden.png, not the folder
    std::vector<std::string> names;
    for (int i = 0; i < 2; ++i) {
        TSmoothImageListBoxItem* item = box.Items()->GetItem(i);
        names.push_back(item->FileName());
        EXPECT_EQ(item->Caption()->Text(), item->FileName());
        EXPECT_EQ(item->Caption()->Location(), cpCenterCenter);
        EXPECT_EQ(item->Status(), stLoaded);
        ASSERT_TRUE(item->Thumbnail);
        EXPECT_GT(item->Thumbnail->GetWidth(), 0u);
        EXPECT_GT(item->FileSize(), 0);
        EXPECT_GT(item->FileDate(), 40000.0);  // a date after 2009
    }
    EXPECT_EQ(names, (std::vector<std::string>{".hidden.png", "b.png"}));
    EXPECT_TRUE(box.ItemAppearance()->TextVisible());
    EXPECT_EQ(box.DisplayList()->Count(), 2);
}

TEST_F(FolderImport, LocationsWaitForTheLoader)
{
    TSmoothImageListBox box;
    box.AddImageLocationsFromFolder(dir / "*", false);
    // Three pictures and the text file; the folder is skipped.
    ASSERT_EQ(box.Items()->Count(), 4);
    EXPECT_TRUE(box.HasLocations());
    EXPECT_FALSE(box.ItemAppearance()->TextVisible());
    for (int i = 0; i < 4; ++i) {
        TSmoothImageListBoxItem* item = box.Items()->GetItem(i);
        EXPECT_EQ(item->Location(), dir / item->FileName());
        EXPECT_EQ(item->Status(), stInitialized);
        EXPECT_EQ(item->Caption()->Text(), "");
    }
}

TEST_F(FolderImport, AMissingFolderAddsNothing)
{
    TSmoothImageListBox box;
    box.AddImagesFromFolder(dir / "missing/*.png", false);
    box.AddImageLocationsFromFolder(dir / "missing/*.png", false);
    EXPECT_EQ(box.Items()->Count(), 0);
    EXPECT_FALSE(box.HasLocations());
}

// A form finds its strip by type and name, as the main window's tests do.
TEST(ListBox, FoundOnItsFormByTypeAndName)
{
    QWidget form;
    auto* box = new TSmoothImageListBox(&form);
    box->setObjectName("ImageListBox1");
    EXPECT_EQ(form.findChild<TSmoothImageListBox*>("ImageListBox1"), box);
}
