#include "app/TForm13.h"
#include "app/TForm2.h"
#include "app/TFrame1.h"
#include "app/TFrame2.h"
#include "controls/GPImage.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxBar.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "output/ModalResult.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

namespace {

// The four corner colours, top left, top right, bottom left, bottom right.
std::vector<QColor> Corners(const QImage& image)
{
    const int r = image.width() - 1;
    const int b = image.height() - 1;
    return {image.pixelColor(0, 0), image.pixelColor(r, 0), image.pixelColor(0, b), image.pixelColor(r, b)};
}

class MainWindowStripTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MakeForms();
        form2_ = std::make_unique<TForm2>(form1_.get());
        Form2 = form2_.get();
        form13_ = std::make_unique<TForm13>(form1_.get());
        Form13 = form13_.get();
        form1_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form1_.get()));
        strip_ = form1_->SmoothImageListBox1;
        ASSERT_NE(strip_, nullptr);
        bitmapsAtStart_ = ScreenBitmapCount();
    }

    void TearDown() override
    {
        EXPECT_EQ(ScreenBitmapCount(), bitmapsAtStart_);
        Form13 = nullptr;
        form13_.reset();
        Form2 = nullptr;
        form2_.reset();
        WindowTest::TearDown();
    }

    QString SaveImage(const QImage& image, const std::string& name)
    {
        const std::string path = files_ / name;
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return QString::fromStdString(path);
    }

    // An artwork added as the program adds one: to the strip, then to the portfolio.
    Picture* AddArtwork(const std::string& title, const QImage& image)
    {
        auto* picture = new Picture(CurrentPortfolio());
        picture->SetTitle(title);
        EXPECT_TRUE(picture->LoadFromFile(SaveImage(image, title + ".png").toStdString()));
        EXPECT_TRUE(form1_->AddPictureToStrip(picture));
        CurrentPortfolio()->AddPicture(picture);
        return picture;
    }

    static QImage Plain(QColor colour, int width = 40, int height = 30)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    QPoint Centre(int index) const
    {
        const TGPRectF r = strip_->Items()->GetItem(index)->CellRect();
        return QPoint(int(r.X + r.Width / 2), int(r.Y + r.Height / 2));
    }

    // Clicks the item, as the user chooses a page.
    void Select(int index) { QTest::mouseClick(strip_, Qt::LeftButton, {}, Centre(index)); }
    // Clicks the strip's empty space right of its items.
    void SelectNothing()
    {
        const TGPRectF last = strip_->Items()->GetItem(Count() - 1)->CellRect();
        ASSERT_LT(last.X + last.Width + 20, strip_->width());
        QTest::mouseClick(strip_, Qt::LeftButton, {}, QPoint(strip_->width() - 10, int(last.Y + last.Height / 2)));
        ASSERT_EQ(strip_->SelectedItemIndex(), -1);
    }

    int Count() const { return strip_->Items()->Count(); }

    Picture* ItemPicture(int index) const
    {
        return reinterpret_cast<Picture*>(strip_->Items()->GetItem(index)->Tag());
    }

    // The strip's artworks and the portfolio's, in order.
    void ExpectSameOrder()
    {
        ASSERT_EQ(Count(), CurrentPortfolio()->GetPictureCount() + 2);
        for (int i = 0; i < CurrentPortfolio()->GetPictureCount(); ++i)
            EXPECT_EQ(ItemPicture(i + 1), CurrentPortfolio()->GetPicture(i)) << i;
    }

    template <class T>
    static T* Child(QWidget* parent, const char* name)
    {
        T* widget = parent ? parent->findChild<T*>(name) : nullptr;
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QToolButton* Button(const char* name) { return Child<QToolButton>(Frame1, name); }
    void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    QImage Shown() { return Child<QLabel>(Frame1, "Image1")->pixmap().toImage(); }
    QWidget* Page() { return Child<QWidget>(form1_.get(), "Panel2")->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly); }

    void PressDelete() { QTest::keyClick(strip_, Qt::Key_Delete); }

    TempDir files_;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm13> form13_;
    TSmoothImageListBox* strip_ = nullptr;
    size_t bitmapsAtStart_ = 0;
};

TEST_F(MainWindowStripTest, ANewPortfolioHasTheStatementAndAddArtworkItemsWithTheStatementShown)
{
    ASSERT_EQ(Count(), 2);
    EXPECT_EQ(strip_->SelectedItemIndex(), 0);
    EXPECT_EQ(strip_->Footer()->Caption(), "Statement");
    ASSERT_NE(Frame2, nullptr);
    EXPECT_TRUE(Frame2->isVisible());
    // Both show the program's own 133 x 93 pictures.
    strip_->WaitForThumbnails();
    for (int i : {0, 1}) {
        TGPBitmap* thumbnail = strip_->Items()->GetItem(i)->Thumbnail.get();
        ASSERT_NE(thumbnail, nullptr);
        ASSERT_GT(thumbnail->GetHeight(), 0u);
        EXPECT_NEAR(double(thumbnail->GetWidth()) / thumbnail->GetHeight(), 133.0 / 93, 0.03) << i;
    }
}

TEST_F(MainWindowStripTest, ArtworksGoBeforeAddArtworkInOrderAndShowTheirPage)
{
    Picture* a = AddArtwork("Dawn & Dusk", Plain(Qt::red));
    Picture* b = AddArtwork("Noon", Plain(Qt::blue, 30, 40));
    ExpectSameOrder();
    // Adding does not change the selection.
    EXPECT_EQ(strip_->SelectedItemIndex(), 0);
    a->SetMedia("Oil <on> canvas");
    a->SetDimensions("60 x 40 cm");

    Select(1);
    ASSERT_NE(Frame1, nullptr);
    EXPECT_TRUE(Frame1->isVisible());
    EXPECT_FALSE(Frame2->isVisible());
    EXPECT_EQ(strip_->Footer()->Caption(), "Dawn & Dusk, Oil <on> canvas, 60 x 40 cm");
    EXPECT_EQ(Shown().pixelColor(20, 15), QColor(Qt::red));
    Select(2);
    EXPECT_EQ(strip_->Footer()->Caption(), "Noon");
    EXPECT_EQ(Shown().size(), QSize(30, 40));
    (void)b;

    // Back to the statement; the artwork page stays for its next turn.
    Select(0);
    EXPECT_TRUE(Frame2->isVisible());
    EXPECT_FALSE(Frame1->isVisible());
    EXPECT_EQ(strip_->Footer()->Caption(), "Statement");
}

TEST_F(MainWindowStripTest, MoveButtonsFollowTheSelectionAndKeepStripAndPortfolioInOrder)
{
    struct Case {
        int artworks;
        int selected;
        bool left;
        bool right;
    };
    const Case cases[] = {
        {1, 1, false, false},
        {2, 1, false, true}, {2, 2, true, false},
        {3, 1, false, true}, {3, 2, true, true}, {3, 3, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.selected) + " of " + std::to_string(c.artworks));
        // Nothing to keep: New goes on without its save question.
        CurrentPortfolio()->ClearModified();
        form1_->NewPortfolio();
        for (int i = 0; i < c.artworks; ++i)
            AddArtwork("A" + std::to_string(i), Plain(QColor(40 * i, 80, 120)));
        Select(c.selected);
        EXPECT_EQ(Button("ToolButton3")->isEnabled(), c.left);
        EXPECT_EQ(Button("ToolButton4")->isEnabled(), c.right);
        Picture* moved = ItemPicture(c.selected);
        if (c.left) {
            Click("ToolButton3");
            EXPECT_EQ(strip_->SelectedItemIndex(), c.selected - 1);
            EXPECT_EQ(ItemPicture(c.selected - 1), moved);
            ExpectSameOrder();
            Click("ToolButton4");
            EXPECT_EQ(strip_->SelectedItemIndex(), c.selected);
            EXPECT_EQ(ItemPicture(c.selected), moved);
        }
        if (c.right) {
            Click("ToolButton4");
            EXPECT_EQ(strip_->SelectedItemIndex(), c.selected + 1);
            EXPECT_EQ(ItemPicture(c.selected + 1), moved);
            EXPECT_TRUE(Button("ToolButton3")->isEnabled());
        }
        ExpectSameOrder();
    }
}

TEST_F(MainWindowStripTest, RotateFlipAndMirrorTurnThePictureTheShownImageAndTheThumbnail)
{
    // 2 x 3: red, green on top; blue, yellow at the bottom; grey between.
    QImage image(2, 3, QImage::Format_RGB32);
    image.fill(Qt::gray);
    image.setPixelColor(0, 0, Qt::red);
    image.setPixelColor(1, 0, Qt::green);
    image.setPixelColor(0, 2, Qt::blue);
    image.setPixelColor(1, 2, Qt::yellow);
    Picture* picture = AddArtwork("Four", image);
    Select(1);
    const QColor R(Qt::red), G(Qt::green), B(Qt::blue), Y(Qt::yellow);

    struct Step {
        const char* button;
        QSize size;
        std::vector<QColor> corners;
    };
    const Step steps[] = {
        // A quarter turn to the left: the right column becomes the top row.
        {"ToolButton6", {3, 2}, {G, Y, R, B}},
        {"ToolButton8", {3, 2}, {R, B, G, Y}},
        {"ToolButton7", {3, 2}, {B, R, Y, G}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        CurrentPortfolio()->ClearModified();
        Click(step.button);
        EXPECT_TRUE(CurrentPortfolio()->IsModified());
        const QImage now = PictureImage(picture);
        EXPECT_EQ(now.size(), step.size);
        EXPECT_EQ(Corners(now), step.corners);
        EXPECT_EQ(Shown().size(), step.size);
        EXPECT_EQ(Corners(Shown()), step.corners);
    }
    // The thumbnail was made again: it is wider than high now.
    strip_->WaitForThumbnails();
    TGPBitmap* thumbnail = strip_->Items()->GetItem(1)->Thumbnail.get();
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_GT(thumbnail->GetWidth(), thumbnail->GetHeight());
}

TEST_F(MainWindowStripTest, CropThroughThePageShowsTheCroppedPicture)
{
    QImage image(800, 400, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 400; ++y)
        for (int x = 400; x < 800; ++x)
            image.setPixelColor(x, y, Qt::green);
    Picture* picture = AddArtwork("Halves", image);
    Select(1);
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        auto* left = dialog->findChild<QScrollBar*>("ScrollBar3");
        left->setFocus();
        for (int i = 0; i < 250; ++i)
            QTest::keyClick(left, Qt::Key_Right);
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    Click("ToolButton9");
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(PictureImage(picture).size(), QSize(300, 400));
    EXPECT_EQ(Shown().size(), QSize(300, 400).scaled(Shown().size(), Qt::KeepAspectRatio));
    EXPECT_EQ(Shown().pixelColor(Shown().width() / 2, Shown().height() / 2), QColor(Qt::green));
}

TEST_F(MainWindowStripTest, AnArtworkWithoutAnImageShowsNoneAndCropsNothing)
{
    AddArtwork("Pictured", Plain(Qt::red));
    auto* blank = new Picture(CurrentPortfolio());
    blank->SetTitle("Lost file");
    ASSERT_TRUE(form1_->AddPictureToStrip(blank));
    CurrentPortfolio()->AddPicture(blank);
    Select(1);
    EXPECT_FALSE(Shown().isNull());
    Select(2);
    EXPECT_EQ(strip_->Footer()->Caption(), "Lost file");
    // The page does not keep the previous artwork's picture.
    EXPECT_TRUE(Shown().isNull());
    ModalDriver driver;  // no step: a crop dialog would be unexpected
    for (const char* name : {"ToolButton9", "ToolButton6", "ToolButton8", "ToolButton7"})
        Click(name);
    QApplication::processEvents();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(blank->GetBitmap(), nullptr);
}

TEST_F(MainWindowStripTest, DeletingTheFirstArtworkShowsTheStatement)
{
    Picture* first = AddArtwork("First", Plain(Qt::red));
    AddArtwork("Second", Plain(Qt::blue));
    Select(1);
    ModalDriver no;
    no.Press(QMessageBox::No);
    Click("ToolButton2");
    ASSERT_TRUE(no.AllDone()) << no.Report();
    EXPECT_EQ(no.Seen().at(0).title, "Delete Picture - First");
    EXPECT_EQ(no.Seen().at(0).text, "Are you sure you want to delete this picture?");
    EXPECT_EQ(ItemPicture(1), first);

    ModalDriver yes;
    yes.Press(QMessageBox::Yes);
    PressDelete();
    ASSERT_TRUE(yes.AllDone()) << yes.Report();
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 1);
    ExpectSameOrder();
    EXPECT_EQ(strip_->SelectedItemIndex(), 0);
    EXPECT_TRUE(Frame2->isVisible());
    EXPECT_EQ(strip_->Footer()->Caption(), "Statement");
}

TEST_F(MainWindowStripTest, DeleteDoesNothingOnTheStatementAddArtworkOrNoSelection)
{
    AddArtwork("Kept", Plain(Qt::red));
    ModalDriver driver;  // no step: a question would be unexpected
    for (int index : {0, 2, -1}) {
        SCOPED_TRACE(index);
        strip_->SetSelectedItemIndex(index);
        PressDelete();
        EXPECT_FALSE(form1_->DeleteSelectedPicture());
    }
    QApplication::processEvents();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 1);
    EXPECT_EQ(Count(), 3);
}

TEST_F(MainWindowStripTest, NoSelectionLeavesThePageAndItsButtonsDoNothing)
{
    Picture* picture = AddArtwork("Still", Plain(Qt::red));
    Select(1);
    CurrentPortfolio()->ClearModified();
    SelectNothing();
    EXPECT_TRUE(Frame1->isVisible());
    ModalDriver driver;
    for (const char* name : {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4", "ToolButton6",
                             "ToolButton8", "ToolButton7", "ToolButton9"})
        if (Button(name)->isEnabled())
            Click(name);
    QApplication::processEvents();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    EXPECT_EQ(PictureImage(picture).size(), QSize(40, 30));
}

TEST_F(MainWindowStripTest, AddArtworkInsertsTheNewArtworkBeforeItAndShowsItsPage)
{
    AddArtwork("Old", Plain(Qt::red));
    const QString file = SaveImage(Plain(Qt::blue, 50, 20), "new.png");
    ModalDriver driver;
    driver.ChooseFile(file);
    driver.Then([](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("Edit1"), "Fresh");
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    Select(2);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    ASSERT_EQ(Count(), 4);
    ExpectSameOrder();
    EXPECT_EQ(ItemPicture(2)->GetTitle(true), "Fresh");
    EXPECT_EQ(strip_->SelectedItemIndex(), 2);
    EXPECT_TRUE(Frame1->isVisible());
    EXPECT_EQ(strip_->Footer()->Caption(), "Fresh");
    EXPECT_EQ(Shown().size(), QSize(50, 20));

    // A cancelled chooser adds nothing and leaves "Add Artwork" selected.
    ModalDriver cancelled;
    cancelled.Reject();
    Select(3);
    ASSERT_TRUE(cancelled.AllDone()) << cancelled.Report();
    EXPECT_EQ(Count(), 4);
    EXPECT_EQ(strip_->SelectedItemIndex(), 3);
}

TEST_F(MainWindowStripTest, DoubleClickAndTheEditButtonEditTheArtwork)
{
    AddArtwork("Before", Plain(Qt::red));
    Select(1);
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit Artwork - Before");
        auto* title = dialog->findChild<QLineEdit*>("Edit1");
        title->selectAll();
        QTest::keyClicks(title, "After");
        QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    QTest::mouseDClick(strip_, Qt::LeftButton, {}, Centre(1));
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(strip_->Footer()->Caption(), "After");

    ModalDriver edit;
    edit.Reject();
    Click("ToolButton1");
    ASSERT_TRUE(edit.AllDone()) << edit.Report();
    EXPECT_EQ(ItemPicture(1)->GetTitle(true), "After");
}

TEST_F(MainWindowStripTest, NewPortfolioEmptiesTheStrip)
{
    AddArtwork("One", Plain(Qt::red));
    AddArtwork("Two", Plain(Qt::blue));
    Select(2);
    CurrentPortfolio()->ClearModified();
    form1_->NewPortfolio();
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(strip_->SelectedItemIndex(), 0);
    EXPECT_TRUE(Frame2->isVisible());
}

TEST_F(MainWindowStripTest, TheFooterShowsTheSelectedPagesCaption)
{
    AddArtwork("Morning Field", Plain(Qt::red));
    // The footer's text, left of its navigator.
    auto footerText = [this] {
        QApplication::processEvents();
        const QImage shot = strip_->grab().toImage();
        return shot.copy(0, shot.height() - 35, shot.width() - 130, 35);
    };
    auto darkPixels = [](const QImage& image) {
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 100;
        return dark;
    };
    const QImage statement = footerText();
    Select(1);
    const QImage artwork = footerText();
    EXPECT_GT(darkPixels(statement), 0);
    EXPECT_GT(darkPixels(artwork), 0);
    EXPECT_NE(statement, artwork);
}

// A drawing with transparent parts shows over white on its page and in its
// thumbnail, so its black lines stay visible.
TEST_F(MainWindowStripTest, TransparentPartsShowOverWhiteOnThePageAndInTheThumbnail)
{
    QImage drawing(40, 30, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x)
            drawing.setPixelColor(x, y, Qt::black);
    AddArtwork("Drawing", drawing);
    Select(1);
    const QImage page = Shown();
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.pixelColor(5, 15), QColor(Qt::black));
    EXPECT_EQ(page.pixelColor(35, 15), QColor(Qt::white));

    TGPBitmap* thumbnail = strip_->Items()->GetItem(1)->Thumbnail.get();
    ASSERT_NE(thumbnail, nullptr);
    const int w = int(thumbnail->GetWidth()), h = int(thumbnail->GetHeight());
    ARGB left = 0;
    ASSERT_EQ(thumbnail->GetPixel(w / 8, h / 2, &left), Ok);
    EXPECT_LT(QColor::fromRgb(left).lightness(), 40) << std::hex << left;
    // White all over the transparent half: no checkerboard, no black.
    for (int y = 1; y < h - 1; ++y)
        for (int x = w * 5 / 8; x < w - 1; ++x) {
            ARGB right = 0;
            ASSERT_EQ(thumbnail->GetPixel(x, y, &right), Ok);
            ASSERT_GT(QColor::fromRgb(right).lightness(), 250) << x << "," << y << " " << std::hex << right;
        }
}

// A portrait taken with the camera on its side shows upright on its page
// and in its thumbnail.
TEST_F(MainWindowStripTest, CameraPhotosShowUprightOnThePageAndInTheThumbnail)
{
    ASSERT_TRUE(WriteCameraPhotos(files_.Path().string()));
    for (const int orientation : {3, 6, 8}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        auto* picture = new Picture(CurrentPortfolio());
        ASSERT_TRUE(picture->LoadFromFile(files_ / ("o" + std::to_string(orientation) + ".jpg")));
        ASSERT_TRUE(form1_->AddPictureToStrip(picture));
        CurrentPortfolio()->AddPicture(picture);
        const int index = Count() - 2;
        Select(index);
        EXPECT_EQ(UprightProblem(Shown()), "");
        TGPBitmap* thumbnail = strip_->Items()->GetItem(index)->Thumbnail.get();
        ASSERT_NE(thumbnail, nullptr);
        EXPECT_GT(thumbnail->GetWidth(), thumbnail->GetHeight());
    }
}

}  // namespace
