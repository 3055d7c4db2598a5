// One strip item against a fake strip: its thumbnail made from a picture,
// its drawing, its values and the caption text object.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <memory>
#include <string>

#include "controls/GDIPPicture.h"
#include "controls/TSmoothImageListBoxHTMLText.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItemAppearance.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/controls/FakeListBoxHost.h"

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// A BMP file of one colour in a stream, as the main window hands pictures
// to the strip.
TMemoryStream BmpStream(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, "bmp").write(image));
    TMemoryStream stream;
    stream.WriteBuffer(bytes.constData(), bytes.size());
    stream.SetPosition(0);
    return stream;
}

// The main window's strip: 143 × 110 cells, the image area the cell less a
// 3-pixel margin (136 × 103 at 3, 3), hovered cells 10 pixels larger.
class Item : public ::testing::Test {
protected:
    Item()
    {
        host.ItemAppearance()->SetItemWidth(143);
        host.ItemAppearance()->SetItemHeight(110);
        host.ItemAppearance()->SetHoverSize(10);
        item = host.Items()->Add();
        host.ClearCalls();
    }

    void LoadBmp(int w, int h, QRgb colour = kRed)
    {
        TMemoryStream stream = BmpStream(w, h, colour);
        item->Image()->LoadFromStream(&stream);
    }

    FakeListBoxHost host;
    TSmoothImageListBoxItem* item = nullptr;
};

}  // namespace

TEST_F(Item, ANewItemShowsTheDefaultImage)
{
    EXPECT_EQ(item->Status(), stLoaded);
    EXPECT_TRUE(item->Image()->Empty());
    EXPECT_EQ(item->Thumbnail, nullptr);
    DrawingSurface surface(200, 150);
    item->Draw(&surface.G(), MakeRect(10, 10, 143, 110), false);
    EXPECT_EQ(host.Calls(), (std::vector<std::string>{"DrawDefaultImage 0"}));
}

TEST_F(Item, ABmpStreamBecomesACellSizedThumbnailAndThePictureIsDropped)
{
    struct Case {
        int w, h;
        int thumbW, thumbH;  // fitted into the 136 × 103 image area
    };
    const Case cases[] = {
        {200, 100, 136, 68},   // wide: the area's width
        {80, 100, 82, 103},    // tall: the area's height, 103 × 80 / 100 rounded
        {40, 30, 136, 102},    // small pictures grow to the area
    };
    for (const Case& c : cases) {
        host.ClearCalls();
        host.SetHasLocations(true);
        LoadBmp(c.w, c.h);
        EXPECT_TRUE(item->Image()->Empty()) << c.w;
        EXPECT_EQ(item->Status(), stLoaded);
        ASSERT_NE(item->Thumbnail, nullptr);
        EXPECT_EQ(item->Thumbnail->GetWidth(), unsigned(c.thumbW)) << c.w;
        EXPECT_EQ(item->Thumbnail->GetHeight(), unsigned(c.thumbH)) << c.w;
        EXPECT_EQ(item->Thumbnail->GetPixelFormat(), PixelFormat32bppARGB);
        ARGB pixel = 0;
        item->Thumbnail->GetPixel(c.thumbW / 2, c.thumbH / 2, &pixel);
        EXPECT_EQ(pixel, MakeColor(255, 255, 0, 0));
        EXPECT_EQ(item->GetOriginalImageWidth(), c.w);
        EXPECT_EQ(item->GetOriginalImageHeight(), c.h);
        EXPECT_EQ(item->LargestThumbWidth, 136);
        EXPECT_EQ(item->LargestThumbHeight, 103);
        EXPECT_FALSE(host.HasLocations());
        // One relayout: dropping the picture does not make the thumbnail
        // again.
        EXPECT_EQ(host.CountOf("InitListBoxItems"), 1) << c.w;
    }
}

TEST_F(Item, ADesignerKeepsThePicture)
{
    host.Designing = true;
    LoadBmp(200, 100);
    EXPECT_FALSE(item->Image()->Empty());
    ASSERT_NE(item->Thumbnail, nullptr);
    EXPECT_EQ(item->Thumbnail->GetWidth(), 136u);
}

TEST_F(Item, ThumbnailInsideAnUpdateWaitsForTheRelayout)
{
    host.Items()->BeginUpdate();
    LoadBmp(200, 100);
    EXPECT_NE(item->Thumbnail, nullptr);
    EXPECT_EQ(host.CountOf("InitListBoxItems"), 0);
    host.Items()->EndUpdate();
    EXPECT_EQ(host.CountOf("InitListBoxItems"), 1);
}

TEST_F(Item, DrawCentresTheThumbnailInTheImageArea)
{
    LoadBmp(200, 100);
    DrawingSurface surface(200, 150);
    // Cell at 10, 10: area 13, 13, 136 × 103; the 136 × 68 thumbnail at
    // y = 13 + (103 - 68) / 2 = 30.5, which rounds to the even 30.
    item->Draw(&surface.G(), MakeRect(10, 10, 143, 110), false);
    const QImage& image = surface.Finish();
    EXPECT_EQ(item->ImageRect.X, 13);
    EXPECT_EQ(item->ImageRect.Y, 30);
    EXPECT_EQ(item->ImageRect.Width, 136);
    EXPECT_EQ(item->ImageRect.Height, 68);
    EXPECT_TRUE(Near(image.pixel(13, 30), kRed));
    EXPECT_TRUE(Near(image.pixel(148, 97), kRed));
    EXPECT_TRUE(Near(image.pixel(12, 60), kWhite));
    EXPECT_TRUE(Near(image.pixel(80, 29), kWhite));
    EXPECT_TRUE(Near(image.pixel(80, 98), kWhite));
    EXPECT_TRUE(Near(image.pixel(149, 60), kWhite));
    EXPECT_EQ(host.CountOf("DrawDefaultImage 0"), 0);
}

TEST_F(Item, AHoveredItemDrawsLargerAndAZoomedOneLeavesItsRectangleToTheStrip)
{
    LoadBmp(200, 100);
    host.HoverIndex = 0;
    DrawingSurface surface(200, 150);
    // The cell grows to 5, 5, 153 × 120: area 8, 8, 146 × 113; 146 × 73 at
    // y = 8 + 20.
    item->Draw(&surface.G(), MakeRect(10, 10, 143, 110), false);
    EXPECT_EQ(item->ImageRect.X, 8);
    EXPECT_EQ(item->ImageRect.Y, 28);
    EXPECT_EQ(item->ImageRect.Width, 146);
    EXPECT_EQ(item->ImageRect.Height, 73);
    const QImage& image = surface.Finish();
    EXPECT_TRUE(Near(image.pixel(8, 28), kRed));
    EXPECT_TRUE(Near(image.pixel(153, 100), kRed));

    host.HoverOn = false;  // hover display off: no growth
    item->ImageRect = {1, 2, 30, 15};
    DrawingSurface zoomed(200, 150);
    item->Draw(&zoomed.G(), MakeRect(10, 10, 143, 110), true);
    EXPECT_EQ(item->ImageRect.X, 1);
    EXPECT_EQ(item->ImageRect.Width, 30);
    EXPECT_EQ(item->TargetImageRect.X, 13);
    EXPECT_EQ(item->TargetImageRect.Y, 30);
    EXPECT_TRUE(Near(zoomed.Finish().pixel(10, 8), kRed));
}

TEST_F(Item, NothingIsDrawnForAnInvisibleItemOrAnAreaWithoutRoom)
{
    LoadBmp(200, 100);
    host.ClearCalls();
    DrawingSurface surface(200, 150);
    item->SetVisible(false);
    host.ClearCalls();
    item->Draw(&surface.G(), MakeRect(10, 10, 143, 110), false);
    item->SetVisible(true);
    host.ImageRect = [](const TGPRectF& cell) { return MakeRect(cell.X, cell.Y, 0, cell.Height); };
    item->Draw(&surface.G(), MakeRect(10, 10, 143, 110), false);
    const QImage& image = surface.Finish();
    for (int y = 0; y < image.height(); y += 5)
        for (int x = 0; x < image.width(); x += 5)
            ASSERT_TRUE(Near(image.pixel(x, y), kWhite)) << x << "," << y;
    EXPECT_EQ(host.CountOf("DrawDefaultImage 0"), 0);
}

TEST_F(Item, SetImageCopiesTheCallersPicture)
{
    host.Designing = true;  // the item keeps its copy to compare
    auto outside = std::make_unique<TGDIPPicture>();
    TMemoryStream stream = BmpStream(60, 40, kRed);
    outside->LoadFromStream(&stream);
    item->SetImage(outside.get());
    EXPECT_NE(item->Image(), outside.get());
    // The caller frees its own picture; the item's stays whole (the
    // sanitizer build checks that nothing reads the freed one).
    outside.reset();
    ASSERT_FALSE(item->Image()->Empty());
    EXPECT_TRUE(item->Image()->GetImageSizes());
    EXPECT_EQ(item->Image()->Width(), 60);
    ASSERT_NE(item->Thumbnail, nullptr);
    EXPECT_EQ(item->Thumbnail->GetWidth(), 136u);

    // Null empties the item's picture but keeps the thumbnail.
    item->SetImage(nullptr);
    EXPECT_TRUE(item->Image()->Empty());
    EXPECT_NE(item->Thumbnail, nullptr);
}

TEST_F(Item, SettersCompareAndRelayout)
{
    item->SetHint("a");
    item->SetHint("a");
    item->SetFileName("x.jpg");
    item->SetEnabled(true);  // unchanged
    EXPECT_EQ(host.CountOf("InitListBoxItems"), 2);
    EXPECT_EQ(host.CountOf("Changed"), 2);
}

TEST_F(Item, ALocationWaitsForTheLoader)
{
    item->SetLocation("/pictures/a.png");
    EXPECT_EQ(item->Status(), stInitialized);
    EXPECT_TRUE(host.HasLocations());
    item->SetStatus(stLoaded);
    item->SetLocation("/pictures/a.png");
    EXPECT_EQ(item->Status(), stLoaded);
}

TEST_F(Item, CaptionSetterCopiesTheText)
{
    TSmoothImageListBoxHTMLText caption(&host);
    caption.SetText("<b>Title</b>");
    caption.SetLocation(cpCenterCenter);
    host.ClearCalls();
    item->SetCaption(&caption);
    EXPECT_NE(item->Caption(), &caption);
    EXPECT_EQ(item->Caption()->Text(), "<b>Title</b>");
    EXPECT_EQ(item->Caption()->Location(), cpCenterCenter);
    // The caption repaints, the item relayouts.
    EXPECT_EQ(host.Calls(), (std::vector<std::string>{"Changed", "InitListBoxItems", "Changed"}));
}

TEST_F(Item, AssignCopiesAllButTheLocation)
{
    TSmoothImageListBoxItem* source = host.Items()->Add();
    source->SetTag(42);
    source->SetHint("hint");
    source->SetSplitter(true);
    source->SetSplitterText("Group");
    source->SetEnabled(false);
    source->SetSelected(true);
    source->SetFileName("a.png");
    source->SetFileSize(1234);
    source->SetFileDate(45000.5);
    source->SetLocation("/pictures/a.png");
    source->Caption()->SetText("Caption");
    item->Assign(*source);
    EXPECT_EQ(item->Tag(), 42);
    EXPECT_EQ(item->Hint(), "hint");
    EXPECT_TRUE(item->Splitter());
    EXPECT_EQ(item->SplitterText(), "Group");
    EXPECT_FALSE(item->Enabled());
    EXPECT_TRUE(item->Selected());
    EXPECT_EQ(item->FileName(), "a.png");
    EXPECT_EQ(item->FileSize(), 1234);
    EXPECT_EQ(item->FileDate(), 45000.5);
    EXPECT_EQ(item->Caption()->Text(), "Caption");
    EXPECT_EQ(item->Location(), "");
}

TEST(HTMLText, SettersRepaintOnlyOnAChange)
{
    FakeListBoxHost host;
    TSmoothImageListBoxHTMLText text(&host);
    int fired = 0;
    text.OnChange = [&] { ++fired; };
    text.SetText("abc");
    text.SetText("abc");
    text.SetShadowOffset(5);  // its initial value
    text.SetURLColor(colors::clRed);
    text.Font().SetColor(colors::clRed);
    TFont same = text.Font();
    text.SetFont(same);
    EXPECT_EQ(host.CountOf("Changed"), 3);
    // Owners run their own handler; the text never fires it.
    EXPECT_EQ(fired, 0);

    text.SuppressChange = true;
    text.SetText("def");
    EXPECT_EQ(host.CountOf("Changed"), 3);
}

TEST(HTMLText, AssignCopiesEveryValueAndRepaintsOnce)
{
    FakeListBoxHost host;
    TSmoothImageListBoxHTMLText source(nullptr);
    source.SetText("x");
    source.SetLocation(cpCustom);
    source.SetLeft(4);
    source.SetTop(6);
    source.SetURLColor(colors::clGreen);
    source.SetShadowColor(colors::clNavy);
    source.SetShadowOffset(2);
    source.Font().SetName("Tahoma");
    TSmoothImageListBoxHTMLText target(&host);
    target.Assign(source);
    EXPECT_EQ(target.Text(), "x");
    EXPECT_EQ(target.Location(), cpCustom);
    EXPECT_EQ(target.Left(), 4);
    EXPECT_EQ(target.Top(), 6);
    EXPECT_EQ(target.URLColor(), colors::clGreen);
    EXPECT_EQ(target.ShadowColor(), colors::clNavy);
    EXPECT_EQ(target.ShadowOffset(), 2);
    EXPECT_EQ(target.Font().Name(), "Tahoma");
    EXPECT_EQ(host.CountOf("Changed"), 1);
}
