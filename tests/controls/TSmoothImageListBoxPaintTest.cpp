// What the list box paints, rendered offscreen and probed at pixels the
// layout rules place: the main window's strip of 1024 x 172 with cells of
// 143 x 110 at x = 10 + 153 i, y = 10, under a 35-pixel footer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "controls/GDIPPicture.h"
#include "controls/TSmoothImageListBoxTopLayerItems.h"
#include "tests/controls/ListBoxProbe.h"
#include "tests/controls/ThreadCounter.h"
#include "controls/render/MainWindowStrip.h"

using namespace strip_setup;

namespace {

const QRgb kGap = qRgb(0xF2, 0xF2, 0xF2);
const QRgb kNormalBorder = qRgb(0xFF, 0xCC, 0x00);
const QRgb kSelectedBorder = qRgb(0xFF, 0x66, 0x00);
const QRgb kHoverBorder = qRgb(0xFF, 0x99, 0x00);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kParent = qRgb(0x12, 0x34, 0x56);

int CellX(int i) { return 10 + 153 * i; }

struct StripPaint : ::testing::Test {
    void SetUp() override
    {
        parent.resize(1024, 172);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, QColor(kParent));
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        box = new ProbeListBox(&parent);
        ConfigureAsMainWindowStrip(*box);
        box->setGeometry(0, 0, 1024, 172);
        AddColouredItems(*box, {Qt::red, Qt::blue, Qt::green, Qt::yellow, Qt::cyan});
    }
    QImage RenderParent() { return Render(parent); }

    QWidget parent;
    ProbeListBox* box = nullptr;
};

}  // namespace

TEST_F(StripPaint, GapsCellsBordersAndThumbnails)
{
    const QImage image = RenderParent();
    // Gaps and the margin left of the first cell show the background fill.
    EXPECT_EQ(image.pixel(5, 60), kGap);
    EXPECT_EQ(image.pixel(CellX(1) - 5, 60), kGap);
    // Item 0 is selected, the others normal.
    EXPECT_TRUE(HasColourNear(image, CellX(0), 60, 1, kSelectedBorder));
    EXPECT_TRUE(HasColourNear(image, CellX(1), 60, 1, kNormalBorder));
    EXPECT_FALSE(HasColourNear(image, CellX(1), 60, 1, kSelectedBorder));
    // A white cell around a thumbnail fitted into the image area (136 x 103
    // at 3 pixels in): 136 x 102, centred.
    EXPECT_EQ(image.pixel(CellX(1) + 2, 60), kWhite);
    EXPECT_EQ(image.pixel(CellX(1) + 71, 65), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(CellX(2) + 71, 65), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(CellX(1) + 4, 15), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(CellX(1) + 71, 10 + 3 + 103 + 1), kWhite);
}

TEST_F(StripPaint, HoveredCellGrowsFivePixelsEachSide)
{
    const QImage before = RenderParent();
    EXPECT_EQ(before.pixel(CellX(2) - 4, 60), kGap);
    box->FHoverItemIndex = 2;
    const QImage image = RenderParent();
    EXPECT_TRUE(HasColourNear(image, CellX(2) - 5, 60, 1, kHoverBorder));
    EXPECT_TRUE(HasColourNear(image, CellX(2) + 143 + 4, 60, 1, kHoverBorder));
    EXPECT_TRUE(HasColourNear(image, CellX(2) + 71, 5, 1, kHoverBorder));
    EXPECT_EQ(image.pixel(CellX(2) - 3, 60), kWhite);
    // Hover off: the same index draws a plain cell.
    box->SetHover(false);
    const QImage off = RenderParent();
    EXPECT_EQ(off.pixel(CellX(2) - 4, 60), kGap);
    EXPECT_TRUE(HasColourNear(off, CellX(2), 60, 1, kNormalBorder));
}

// The dotted focus outline sits 1 pixel inside the focused cell, and only
// while the control has the focus (and shows it).
TEST_F(StripPaint, FocusDotsOnlyWithFocus)
{
    box->FFocusedItemIndex = 1;
    const QImage without = RenderParent();
    box->FHasFocus = true;
    const QImage with = RenderParent();
    int changed = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) {
                ++changed;
                // On the outline (x + 1, y + 1, w - 3, h - 3) of cell 1.
                const bool onVertical = (x == CellX(1) + 1 || x == CellX(1) + 1 + 140) && y >= 11 && y <= 11 + 107;
                const bool onHorizontal = (y == 11 || y == 11 + 107) && x >= CellX(1) + 1 && x <= CellX(1) + 141;
                EXPECT_TRUE(onVertical || onHorizontal) << x << "," << y;
            }
    EXPECT_GT(changed, 100);
    box->SetShowFocus(false);
    EXPECT_EQ(RenderParent(), without);
}

TEST_F(StripPaint, ZoomedItemCoversTheStripAndTopLayerUnlessOnTop)
{
    TSmoothImageListBoxTopLayerItem* top = box->TopLayerItems()->Add();
    top->SetLeft(800);
    top->SetTop(20);
    top->SetWidth(100);
    top->SetHeight(50);
    PlainFill(top->Fill(), 0x00FF00, colors::clNone);  // green (BGR)
    RenderParent();
    box->DoZoom(1);
    for (int i = 0; i < 1000 && box->AnimateZoom; ++i)
        box->Tick();
    ASSERT_FALSE(box->AnimateZoom);

    QImage image = RenderParent();
    // The blue picture fills the items area over its neighbours' cells...
    EXPECT_EQ(image.pixel(CellX(0) + 71, 65), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(CellX(4) + 71, 65), qRgb(0, 0, 255));
    // ...under the top layer, and the footer stays.
    EXPECT_EQ(image.pixel(850, 45), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(5, 160), kGap);

    box->SetZoomOnTop(true);
    image = RenderParent();
    EXPECT_EQ(image.pixel(850, 45), qRgb(0, 0, 255));
}

TEST_F(StripPaint, ParentShowsThroughWhileUpdatingAndInGapsWhenTransparent)
{
    box->Items()->BeginUpdate();
    QImage image = RenderParent();
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            ASSERT_EQ(image.pixel(x, y), kParent) << x << "," << y;
    box->Items()->EndUpdate();
    EXPECT_EQ(RenderParent().pixel(5, 60), kGap);

    box->SetTransparent(true);
    image = RenderParent();
    EXPECT_EQ(image.pixel(5, 60), kParent);
    EXPECT_EQ(image.pixel(CellX(1) - 5, 60), kParent);
    EXPECT_TRUE(HasColourNear(image, CellX(1), 60, 1, kNormalBorder));
    EXPECT_EQ(image.pixel(CellX(1) + 71, 65), qRgb(0, 0, 255));
}

namespace {

bool Contains(const TGPRectF& r, int x, int y, int slack)
{
    return x >= r.X - slack && x < r.X + r.Width + slack && y >= r.Y - slack && y < r.Y + r.Height + slack;
}

}  // namespace

// The footer's caption is drawn as ink inside the rectangle the bar's
// rules give it, clear of the navigator; at the navigator's own location it
// ends 5 pixels before it.
TEST_F(StripPaint, FooterCaptionBesideTheNavigator)
{
    struct Case {
        const char* name;
        TSmoothImageListBoxLocation location;
    };
    for (const Case& c : {Case{"centred", cpCenterCenter}, Case{"at the navigator's location", cpCenterRight},
                          Case{"left", cpCenterLeft}}) {
        SCOPED_TRACE(c.name);
        box->Footer()->SetCaption("3 pictures in the portfolio");
        box->Footer()->SetCaptionLocation(c.location);
        TGPRectF caption, navigator;
        box->GetBarRects(box->Footer(), caption, navigator);
        ASSERT_GT(caption.Width, 20);
        EXPECT_TRUE(caption.X + caption.Width <= navigator.X || caption.X >= navigator.X + navigator.Width);
        if (c.location == cpCenterRight) {
            EXPECT_NEAR(caption.X + caption.Width, navigator.X - 5, 0.5);
        }

        const QImage image = RenderParent();
        int inkInCaption = 0;
        for (int y = 137; y < 172; ++y)
            for (int x = 0; x < 1024; ++x) {
                if (qGray(image.pixel(x, y)) > 110)
                    continue;
                if (Contains(caption, x, y, 2))
                    ++inkInCaption;
                else
                    EXPECT_TRUE(Contains(navigator, x, y, 2)) << "ink at " << x << "," << y;
            }
        EXPECT_GT(inkInCaption, 40);
    }
}

// Captions: the default caption stands in for items without one, the
// display-text event may rewrite a caption, and a highlighted word is drawn
// with the renderer's highlight.
TEST_F(StripPaint, CaptionsThroughTheDisplayTextEvent)
{
    box->ItemAppearance()->SetTextVisible(true);
    box->ItemAppearance()->SetTextHeight(20);
    box->DefaultHTMLText()->SetText("");
    const QImage plain = RenderParent();
    std::vector<int> asked;
    box->Items()->GetItem(1)->Caption()->SetText("Blue");
    box->OnItemGetDisplayText = [&](QObject*, int index, std::string& text) {
        asked.push_back(index);
        if (index == 1)
            text = "<b>Shown</b>";
    };
    const QImage image = RenderParent();
    EXPECT_EQ(asked, std::vector<int>{1});
    // The text box lies along the cell's bottom: (x + 3, 10 + 110 - 3 - 1 - 20, 136, 20).
    int ink = 0;
    for (int y = 10 + 110 - 24; y < 10 + 110 - 4; ++y)
        for (int x = CellX(1) + 3; x < CellX(1) + 139; ++x)
            if (image.pixel(x, y) != plain.pixel(x, y))
                ++ink;
    EXPECT_GT(ink, 20);
    // Nothing changed outside the cell.
    for (int y = 0; y < 172; ++y)
        for (int x : {CellX(0) + 71, CellX(2) + 71})
            EXPECT_EQ(image.pixel(x, y), plain.pixel(x, y));
    // A handler that throws ends that paint, not the program.
    box->OnItemGetDisplayText = [](QObject*, int, std::string&) { throw std::runtime_error("handler failed"); };
    EXPECT_NO_THROW(RenderParent());
}

// Items without a thumbnail show the default picture, fitted into the image
// area and centred in the cell; the control keeps only the fitted bitmap.
TEST_F(StripPaint, DefaultImageForItemsWithoutThumbnail)
{
    box->Items()->Add();  // item 5: no picture
    TGDIPPicture picture;
    QImage purple(200, 100, QImage::Format_RGB32);
    purple.fill(QColor(128, 0, 128));
    picture.Assign(&purple);
    box->SetDefaultImage(picture);
    EXPECT_TRUE(box->DefaultImage()->Empty());

    QImage image = RenderParent();
    const int cx = CellX(5) + 71;
    EXPECT_EQ(image.pixel(cx, 65), qRgb(128, 0, 128));
    // 200 x 100 fitted into 136 x 103: 136 x 68, centred in the cell.
    EXPECT_EQ(image.pixel(cx, 10 + 55 - 30), qRgb(128, 0, 128));
    EXPECT_EQ(image.pixel(cx, 10 + 55 - 38), kWhite);
    // Items with their own thumbnail are not covered.
    EXPECT_EQ(image.pixel(CellX(1) + 71, 65), qRgb(0, 0, 255));

    // An empty picture leaves the default bitmap as it was.
    TGDIPPicture empty;
    box->SetDefaultImage(empty);
    EXPECT_EQ(RenderParent().pixel(cx, 65), qRgb(128, 0, 128));
}

// The items end one pixel before the background's shadow: the clip runs to
// the coordinate ir.Right - 1 - shadow (with a 1-pixel border, 1016), not
// to a width of that size.
TEST_F(StripPaint, ItemsAreClippedBeforeTheShadow)
{
    box->Fill()->SetBorderColor(colors::clGray);
    box->Fill()->SetBorderWidth(1);
    box->Fill()->SetShadowColor(colors::clGray);
    box->Fill()->SetShadowOffset(5);
    ASSERT_EQ(box->InsideRect().Right, 1022);
    box->Items()->BeginUpdate();
    for (int i = 0; i < 5; ++i)
        SetPicture(box->Items()->Add(), Qt::red);
    box->Items()->EndUpdate();
    box->WaitForThumbnails();
    const QImage image = RenderParent();
    // Cell 6 spans x 929..1071 from y 11.
    EXPECT_EQ(image.pixel(1016, 13), kWhite);
    EXPECT_NE(image.pixel(1017, 13), kWhite);
}

TEST_F(StripPaint, AFrameIsPaintedOnThisThreadAlone)
{
    // On a busy machine every hand-over to helper threads and wait for
    // them costs a trip through the scheduler, per cell and frame.
    QImage frame(1024, 172, QImage::Format_ARGB32_Premultiplied);
    box->render(&frame);  // fonts and caches are made once, first
    const long before = ThreadCounter("status", "voluntary_ctxt_switches");
    ASSERT_GE(before, 0);
    constexpr int kFrames = 40;
    for (int i = 0; i < kFrames; ++i)
        box->render(&frame);
    EXPECT_LT(ThreadCounter("status", "voluntary_ctxt_switches") - before, kFrames / 4);
}
