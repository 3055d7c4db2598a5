#include "app/CropMapping.h"
#include "app/TForm13.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "output/ModalResult.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWindow>

namespace {

// ---- The mapping from bars to picture edges --------------------------------

struct UntouchedCase {
    int width;
    int height;
    QSize display;
};

TEST(CropMapping, UntouchedBarsCutNothingAwayAtAnyScale)
{
    const UntouchedCase cases[] = {
        {1200, 800, {400, 266}}, {800, 1200, {266, 400}}, {1600, 1067, {400, 266}}, {480, 320, {400, 266}},
        {1600, 800, {400, 200}}, {300, 200, {300, 200}},  {400, 400, {400, 400}},   {5000, 5000, {400, 400}},
        // A sliver keeps a bar of one pixel.
        {3, 2000, {1, 400}},
    };
    for (const UntouchedCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const QSize picture(c.width, c.height);
        const QSize display = CropDisplaySize(picture, 400);
        EXPECT_EQ(display, c.display);
        const CropBars untouched{0, display.height(), 0, display.width()};
        const CropEdges edges = MapCropBars(untouched, picture, display);
        EXPECT_EQ(edges, (CropEdges{0, 0, c.width, c.height}));
        EXPECT_TRUE(IsWholePicture(edges, picture));
    }
}

TEST(CropMapping, BarPositionsBecomePicturePixels)
{
    struct Case {
        const char* label;
        QSize picture;
        CropBars bars;
        CropEdges edges;
    };
    const Case cases[] = {
        // Shown at a quarter: 100 display pixels are 400 picture pixels.
        {"quarter", {1600, 800}, {100, 150, 100, 300}, {400, 400, 1200, 600}},
        {"unscaled", {300, 200}, {7, 190, 37, 299}, {37, 7, 299, 190}},
        {"a fifth", {2000, 1000}, {100, 200, 100, 400}, {500, 500, 2000, 1000}},
        // Crossed bars are handed on as they stand.
        {"crossed", {1600, 800}, {150, 50, 300, 100}, {1200, 600, 400, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const CropEdges edges = MapCropBars(c.bars, c.picture, CropDisplaySize(c.picture, 400));
        EXPECT_EQ(edges.left, c.edges.left);
        EXPECT_EQ(edges.top, c.edges.top);
        EXPECT_EQ(edges.right, c.edges.right);
        EXPECT_EQ(edges.bottom, c.edges.bottom);
        EXPECT_FALSE(IsWholePicture(edges, c.picture));
    }
}

TEST(CropMapping, BarsBeyondTheDisplayStayInsideThePicture)
{
    const QSize picture(1600, 800);
    const CropEdges edges = MapCropBars({-5, 260, -1, 410}, picture, {400, 200});
    EXPECT_EQ(edges, (CropEdges{0, 0, 1600, 800}));
}

// ---- The dialog ------------------------------------------------------------

// 800 x 400: red top left, green top right, blue bottom left, yellow bottom
// right.
QImage FourColours()
{
    QImage image(800, 400, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool right = x >= 400;
            const bool bottom = y >= 200;
            image.setPixelColor(x, y, bottom ? (right ? Qt::yellow : Qt::blue) : (right ? Qt::green : Qt::red));
        }
    return image;
}

bool IsEdgeColour(const QColor& colour)
{
    return colour == QColor(Qt::black) || colour == QColor(Qt::white);
}

class CropPictureFormTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MakeForms();
        form13_ = std::make_unique<TForm13>(form1_.get());
        Form13 = form13_.get();
        bitmapsAtStart_ = ScreenBitmapCount();
    }

    void TearDown() override
    {
        EXPECT_EQ(ScreenBitmapCount(), bitmapsAtStart_);
        Form13 = nullptr;
        form13_.reset();
        WindowTest::TearDown();
    }

    std::unique_ptr<Picture> MakePicture(const QImage& image, const char* title)
    {
        const std::string path = files_ / "picture.png";
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        auto picture = std::make_unique<Picture>(CurrentPortfolio());
        EXPECT_TRUE(picture->LoadFromFile(path));
        picture->SetTitle(title);
        return picture;
    }

    static QScrollBar* Bar(QWidget* dialog, const char* name)
    {
        auto* bar = dialog->findChild<QScrollBar*>(name);
        EXPECT_NE(bar, nullptr) << name;
        return bar;
    }

    // Moves the bar by keys, as a user does with the focus on it.
    static void Move(QWidget* dialog, const char* name, Qt::Key key, int steps)
    {
        QScrollBar* bar = Bar(dialog, name);
        bar->setFocus();
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(bar, key);
    }

    TempDir files_;
    std::unique_ptr<TForm13> form13_;
    size_t bitmapsAtStart_ = 0;
};

TEST_F(CropPictureFormTest, BarsMovedByKeysCropThePictureWhereTheRectangleShows)
{
    std::unique_ptr<Picture> picture = MakePicture(FourColours(), "Four & more");
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Crop Picture - Four & more");
        EXPECT_EQ(Bar(dialog, "ScrollBar1")->maximum(), 200);
        EXPECT_EQ(Bar(dialog, "ScrollBar4")->maximum(), 400);
        // Shown at half size: 50 display pixels are 100 picture pixels.
        Move(dialog, "ScrollBar1", Qt::Key_Down, 50);
        Move(dialog, "ScrollBar2", Qt::Key_Up, 25);
        Move(dialog, "ScrollBar3", Qt::Key_Right, 100);
        Move(dialog, "ScrollBar4", Qt::Key_Left, 50);
        EXPECT_EQ(Bar(dialog, "ScrollBar1")->value(), 50);
        EXPECT_EQ(Bar(dialog, "ScrollBar2")->value(), 175);
        EXPECT_EQ(Bar(dialog, "ScrollBar3")->value(), 100);
        EXPECT_EQ(Bar(dialog, "ScrollBar4")->value(), 350);

        // The 400 x 200 picture stands centred in the 400 x 400 box; the
        // rectangle runs along the kept region's inner border.
        const QImage shown = dialog->findChild<QLabel*>("Image1")->grab().toImage();
        ASSERT_EQ(shown.size(), QSize(400, 400));
        const int y0 = 100;
        for (int x : {101, 150, 200, 300, 348}) {
            SCOPED_TRACE(x);
            EXPECT_TRUE(IsEdgeColour(shown.pixelColor(x, y0 + 50)));
            EXPECT_TRUE(IsEdgeColour(shown.pixelColor(x, y0 + 174)));
            EXPECT_FALSE(IsEdgeColour(shown.pixelColor(x, y0 + 51)));
            EXPECT_FALSE(IsEdgeColour(shown.pixelColor(x, y0 + 49)));
        }
        for (int y : {y0 + 51, y0 + 100, y0 + 173}) {
            SCOPED_TRACE(y);
            EXPECT_TRUE(IsEdgeColour(shown.pixelColor(100, y)));
            EXPECT_TRUE(IsEdgeColour(shown.pixelColor(349, y)));
            EXPECT_FALSE(IsEdgeColour(shown.pixelColor(99, y)));
            EXPECT_FALSE(IsEdgeColour(shown.pixelColor(350, y)));
        }
        // Outside the rectangle the picture shows as it is.
        EXPECT_EQ(shown.pixelColor(20, y0 + 20), QColor(Qt::red));
        EXPECT_EQ(shown.pixelColor(380, y0 + 190), QColor(Qt::yellow));
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    ASSERT_EQ(Form13->CropPicture(picture.get()), mrOk);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(Form13->GetCropLeft(), 200);
    EXPECT_EQ(Form13->GetCropTop(), 100);
    EXPECT_EQ(Form13->GetCropRight(), 700);
    EXPECT_EQ(Form13->GetCropBottom(), 350);

    ASSERT_TRUE(picture->Crop(Form13->GetCropLeft(), Form13->GetCropTop(), Form13->GetCropRight(),
                              Form13->GetCropBottom()));
    const QImage cropped = PictureImage(picture.get());
    ASSERT_EQ(cropped.size(), QSize(500, 250));
    EXPECT_EQ(cropped.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cropped.pixelColor(499, 0), QColor(Qt::green));
    EXPECT_EQ(cropped.pixelColor(0, 249), QColor(Qt::blue));
    EXPECT_EQ(cropped.pixelColor(499, 249), QColor(Qt::yellow));
}

// Where the bar's thumb stands, in the bar's own pixels, as its style draws it.
QPoint ThumbCentre(QScrollBar* bar)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.sliderPosition = option.sliderValue = bar->value();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar).center();
}

// Four quarters as FourColours, at any size.
QImage Quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixelColor(x, y, bottom ? (right ? Qt::yellow : Qt::blue) : (right ? Qt::green : Qt::red));
        }
    return image;
}

// Presses, drags and releases on the dialog's window, as a pointer does: the
// window hands the press to whatever covers the point.
void DragOnWindow(QWidget* dialog, QPoint from, QPoint to)
{
    QWindow* window = dialog->windowHandle();
    ASSERT_NE(window, nullptr);
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    QTest::mouseMove(window, (from + to) / 2);
    QTest::mouseMove(window, to);
    QTest::mouseRelease(window, Qt::LeftButton, {}, to);
}

struct Shape {
    const char* label;
    QSize picture;
    QSize shown;
};

TEST_F(CropPictureFormTest, EachBarFollowsTheMouseOnTheWindowWhateverThePicturesShape)
{
    const Shape shapes[] = {
        {"landscape", {800, 400}, {400, 200}},
        {"portrait", {400, 800}, {200, 400}},
        {"square", {600, 600}, {400, 400}},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.label);
        std::unique_ptr<Picture> picture = MakePicture(Quarters(shape.picture.width(), shape.picture.height()), shape.label);
        CropBars moved{};
        ModalDriver driver;
        driver.Then([&](QWidget* dialog) {
            auto* image = dialog->findChild<QLabel*>("Image1");
            // The picture stands centred in the 400 x 400 box.
            const QPoint shown = image->mapTo(
                dialog, QPoint((400 - shape.shown.width()) / 2, (400 - shape.shown.height()) / 2));
            const struct {
                const char* bar;
                Qt::Orientation orientation;
                int drag;  // share of the picture's side, in percent
            } rows[] = {
                {"ScrollBar1", Qt::Vertical, 30},     // top edge, down
                {"ScrollBar2", Qt::Vertical, -25},    // bottom edge, up
                {"ScrollBar3", Qt::Horizontal, 30},   // left edge, to the right
                {"ScrollBar4", Qt::Horizontal, -20},  // right edge, to the left
            };
            for (const auto& row : rows) {
                SCOPED_TRACE(row.bar);
                QScrollBar* bar = Bar(dialog, row.bar);
                ASSERT_EQ(bar->orientation(), row.orientation);
                const bool vertical = row.orientation == Qt::Vertical;
                const int drag = (vertical ? shape.shown.height() : shape.shown.width()) * row.drag / 100;
                // Along the bar's own direction, in display pixels of the picture.
                const auto along = [&](QPoint inDialog) {
                    const QPoint p = inDialog - shown;
                    return vertical ? p.y() : p.x();
                };
                // Dragged in, then part of the way back: the second press
                // lands where the thumb stands beside the picture.
                for (const int by : {drag, -drag / 2}) {
                    SCOPED_TRACE(by);
                    const int start = bar->value();
                    const QPoint from = bar->mapTo(dialog, ThumbCentre(bar));
                    EXPECT_NEAR(along(from), start, 1);
                    // Nothing covers the thumb where the user presses.
                    EXPECT_EQ(dialog->childAt(from), bar);

                    const QPoint to = from + (vertical ? QPoint(0, by) : QPoint(by, 0));
                    DragOnWindow(dialog, from, to);
                    EXPECT_NEAR(bar->value(), start + by, 1);
                    EXPECT_NEAR(along(bar->mapTo(dialog, ThumbCentre(bar))), bar->value(), 1);
                    EXPECT_NEAR(along(to), bar->value(), 1);
                }
            }
            moved = {Bar(dialog, "ScrollBar1")->value(), Bar(dialog, "ScrollBar2")->value(),
                     Bar(dialog, "ScrollBar3")->value(), Bar(dialog, "ScrollBar4")->value()};

            // The rectangle stands where the thumbs do.
            const QImage grabbed = image->grab().toImage();
            const QPoint origin = image->mapFrom(dialog, shown);
            const int middleX = origin.x() + (moved.left + moved.right) / 2;
            const int middleY = origin.y() + (moved.top + moved.bottom) / 2;
            EXPECT_TRUE(IsEdgeColour(grabbed.pixelColor(middleX, origin.y() + moved.top)));
            EXPECT_TRUE(IsEdgeColour(grabbed.pixelColor(middleX, origin.y() + moved.bottom - 1)));
            EXPECT_TRUE(IsEdgeColour(grabbed.pixelColor(origin.x() + moved.left, middleY)));
            EXPECT_TRUE(IsEdgeColour(grabbed.pixelColor(origin.x() + moved.right - 1, middleY)));
            EXPECT_FALSE(IsEdgeColour(grabbed.pixelColor(middleX, origin.y() + moved.top - 2)));
            EXPECT_FALSE(IsEdgeColour(grabbed.pixelColor(origin.x() + moved.left - 2, middleY)));
            const QPushButton* apply = dialog->findChild<QPushButton*>("Button2");
            QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, {}, apply->geometry().center());
        });
        ASSERT_EQ(Form13->CropPicture(picture.get()), mrOk);
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        const CropEdges expected = MapCropBars(moved, shape.picture, shape.shown);
        EXPECT_GT(expected.left, 0);
        EXPECT_GT(expected.top, 0);
        EXPECT_LT(expected.right, shape.picture.width());
        EXPECT_LT(expected.bottom, shape.picture.height());
        EXPECT_EQ(Form13->GetCropTop(), expected.top);
        EXPECT_EQ(Form13->GetCropBottom(), expected.bottom);
        EXPECT_EQ(Form13->GetCropLeft(), expected.left);
        EXPECT_EQ(Form13->GetCropRight(), expected.right);
    }
}

TEST_F(CropPictureFormTest, ApplyWithUntouchedBarsIsACancel)
{
    // 1200 x 800 is shown at 400 x 266, where a float scale lost two rows.
    QImage image(1200, 800, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    std::unique_ptr<Picture> picture = MakePicture(image, "Whole");
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(Bar(dialog, "ScrollBar2")->value(), 266);
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    EXPECT_EQ(Form13->CropPicture(picture.get()), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(Form13->GetCropBottom(), 800);
    EXPECT_EQ(Form13->GetCropRight(), 1200);
}

TEST_F(CropPictureFormTest, SmallPicturesAreShownAsTheyAre)
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    std::unique_ptr<Picture> picture = MakePicture(image, "Small");
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(dialog->findChild<QLabel*>("Image1")->pixmap().size(), QSize(300, 200));
        EXPECT_EQ(Bar(dialog, "ScrollBar4")->maximum(), 300);
        Move(dialog, "ScrollBar3", Qt::Key_Right, 3);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(Form13->CropPicture(picture.get()), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
}

TEST_F(CropPictureFormTest, CrossedBarsCropBetweenThemAndMeetingBarsChangeNothing)
{
    std::unique_ptr<Picture> picture = MakePicture(FourColours(), "Crossed");
    ModalDriver driver;
    // The left bar past the right one: the region between them is kept.
    driver.Then([](QWidget* dialog) {
        Move(dialog, "ScrollBar3", Qt::Key_Right, 300);
        Move(dialog, "ScrollBar4", Qt::Key_Left, 300);
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    ASSERT_EQ(Form13->CropPicture(picture.get()), mrOk);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(Form13->GetCropLeft(), 600);
    EXPECT_EQ(Form13->GetCropRight(), 200);
    ASSERT_TRUE(picture->Crop(Form13->GetCropLeft(), Form13->GetCropTop(), Form13->GetCropRight(),
                              Form13->GetCropBottom()));
    QImage cropped = PictureImage(picture.get());
    ASSERT_EQ(cropped.size(), QSize(400, 400));
    EXPECT_EQ(cropped.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(cropped.pixelColor(399, 399), QColor(Qt::yellow));

    // Bars on one line leave nothing between them: the picture stays.
    ModalDriver meeting;
    meeting.Then([](QWidget* dialog) {
        Move(dialog, "ScrollBar1", Qt::Key_Down, 100);
        Move(dialog, "ScrollBar2", Qt::Key_Up, 300);
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    ASSERT_EQ(Form13->CropPicture(picture.get()), mrOk);
    ASSERT_TRUE(meeting.AllDone()) << meeting.Report();
    EXPECT_EQ(Form13->GetCropTop(), Form13->GetCropBottom());
    EXPECT_FALSE(picture->Crop(Form13->GetCropLeft(), Form13->GetCropTop(), Form13->GetCropRight(),
                               Form13->GetCropBottom()));
    EXPECT_EQ(PictureImage(picture.get()).size(), QSize(400, 400));
}

TEST_F(CropPictureFormTest, NoImageOrNoPictureIsACancelWithoutTheDialog)
{
    ModalDriver driver;  // no step: a dialog would be unexpected
    Picture empty(CurrentPortfolio());
    empty.SetTitle("Nothing");
    EXPECT_EQ(Form13->CropPicture(&empty), mrCancel);
    EXPECT_EQ(Form13->CropPicture(nullptr), mrCancel);
    QApplication::processEvents();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
}

} // namespace
