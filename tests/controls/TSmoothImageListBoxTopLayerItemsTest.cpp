// The top layer against a fake strip: boxes by alignment, their painting
// and the collection.
#include <gtest/gtest.h>

#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/FakeListBoxHost.h"
#include "tests/controls/RectText.h"

// The items area does not start at the origin, so a box that subtracted the
// area's position from its width would show.
TEST(TopLayer, BoxesByAlignInsideTheItemsArea)
{
    FakeListBoxHost host;
    TSmoothImageListBoxTopLayerItems layer(&host);
    TSmoothImageListBoxTopLayerItem* item = layer.Add();
    item->SetWidth(70);
    item->SetHeight(40);
    item->SetLeft(10);
    item->SetTop(5);
    const TGPRectF area = MakeRect(20, 30, 300, 200);
    struct Case {
        TAlign align;
        const char* box;
    } cases[] = {
        {alTop, "20,30 300x40"},     {alBottom, "20,190 300x40"}, {alLeft, "20,30 70x200"},
        {alRight, "250,30 70x200"},  {alClient, "20,30 300x200"}, {alCustom, "30,35 70x40"},
    };
    for (const Case& c : cases) {
        item->SetAlign(c.align);
        EXPECT_EQ(c.box, RectText(item->GetBoxRect(area))) << c.align;
    }
}

TEST(TopLayer, DrawsFillAndTextOnlyWhenVisibleAndPlaced)
{
    FakeListBoxHost host;
    TSmoothImageListBoxTopLayerItems layer(&host);
    TSmoothImageListBoxTopLayerItem* item = layer.Add();
    item->Fill()->SetColor(colors::clRed);
    item->Fill()->SetColorTo(colors::clNone);
    item->Fill()->SetGradientType(gtSolid);
    item->HTMLText()->SetText("<b>Note</b>");
    item->SetWidth(20);
    item->SetHeight(10);
    item->SetLeft(10);
    item->SetTop(5);
    const TGPRectF area = MakeRect(20, 20, 60, 40);
    struct Case {
        bool visible;
        TAlign align;
        bool drawn;
    } cases[] = {{true, alCustom, true}, {false, alCustom, false}, {true, alNone, false}};
    for (const Case& c : cases) {
        item->SetVisible(c.visible);
        item->SetAlign(c.align);
        host.ClearCalls();
        DrawingSurface s(100, 80);
        item->Draw(&s.G(), area);
        const QImage& image = s.Finish();
        EXPECT_EQ(c.drawn ? 1 : 0, host.CountOf("DrawHTMLText"));
        const QRgb inside = image.pixel(35, 30);
        EXPECT_EQ(c.drawn, Near(inside, qRgb(255, 0, 0))) << c.visible << " " << c.align;
        if (c.drawn) {
            // Without a border the box grows by one pixel in height: rows 25 to 35.
            EXPECT_PRED3(Near, qRgb(255, 0, 0), image.pixel(35, 35), 8);
            EXPECT_PRED3(Near, qRgb(255, 255, 255), image.pixel(35, 37), 8);
            EXPECT_PRED3(Near, qRgb(255, 255, 255), image.pixel(52, 30), 8);
        }
    }
}

TEST(TopLayer, CollectionAddsInsertsDeletesAndRepaints)
{
    FakeListBoxHost host;
    TSmoothImageListBoxTopLayerItems layer(&host);
    host.ClearCalls();
    TSmoothImageListBoxTopLayerItem* a = layer.Add();
    TSmoothImageListBoxTopLayerItem* b = layer.Add();
    EXPECT_EQ(2, host.CountOf("Changed"));
    TSmoothImageListBoxTopLayerItem* first = layer.Insert(0);
    EXPECT_EQ(3, layer.Count());
    EXPECT_EQ(first, layer.GetItem(0));
    EXPECT_EQ(1, a->Index());
    EXPECT_EQ(2, b->Index());
    EXPECT_EQ(nullptr, layer.GetItem(3));
    EXPECT_EQ(nullptr, layer.GetItem(-1));
    host.ClearCalls();
    layer.Delete(1);
    EXPECT_EQ(2, layer.Count());
    EXPECT_EQ(b, layer.GetItem(1));
    EXPECT_EQ(1, host.CountOf("Changed"));
    layer.Delete(5);  // outside: nothing
    EXPECT_EQ(2, layer.Count());
    host.ClearCalls();
    b->HTMLText()->SetText("changed");
    b->Fill()->SetColor(colors::clBlue);
    EXPECT_EQ(2, host.CountOf("Changed"));
    delete first;  // an item leaves its collection when freed
    EXPECT_EQ(1, layer.Count());
    EXPECT_EQ(0, b->Index());
}

TEST(TopLayer, AssignCopiesAllButTheApplicationValues)
{
    FakeListBoxHost host;
    TSmoothImageListBoxTopLayerItems from(&host), to(&host);
    TSmoothImageListBoxTopLayerItem* source = from.Add();
    source->SetAlign(alRight);
    source->SetWidth(33);
    source->SetVisible(false);
    source->SetLeft(4);
    source->HTMLText()->SetText("Hello");
    source->Fill()->SetColor(0x102030);
    source->Tag = 7;
    to.Add();
    to.Add();
    to.Assign(from);
    ASSERT_EQ(1, to.Count());
    TSmoothImageListBoxTopLayerItem* copy = to.GetItem(0);
    EXPECT_EQ(alRight, copy->Align());
    EXPECT_EQ(33, copy->Width());
    EXPECT_FALSE(copy->Visible());
    EXPECT_EQ(4, copy->Left());
    EXPECT_EQ("Hello", copy->HTMLText()->Text());
    EXPECT_EQ(TColor(0x102030), copy->Fill()->Color());
    EXPECT_EQ(0, copy->Tag);
}
