#include "app/TForm2.h"
#include "output/ModalResult.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QImageWriter>
#include <QPainter>
#include <QLabel>
#include <QListView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

template <class T>
T* Child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The colour at the centre of the picture's current image.
QColor CentreColour(const Picture* picture)
{
    const QImage image = PictureImage(picture);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

class ArtworkDialogTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MakeForms();
        form2_ = std::make_unique<TForm2>(form1_.get());
        Form2 = form2_.get();
        red_ = MakeImage("red.png", 60, 40, Qt::red);
        green_ = MakeImage("green.png", 30, 50, Qt::green);
        CurrentPortfolio()->ClearModified();
        bitmapsAtStart_ = ScreenBitmapCount();
    }

    void TearDown() override
    {
        EXPECT_EQ(ScreenBitmapCount(), bitmapsAtStart_);
        Form2 = nullptr;
        form2_.reset();
        WindowTest::TearDown();
    }

    QString MakeImage(const char* name, int width, int height, Qt::GlobalColor colour)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = QString::fromStdString(files_ / name);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    // An artwork of the portfolio made from the red file and turned once.
    Picture* TurnedArtwork()
    {
        auto* picture = new Picture(CurrentPortfolio());
        EXPECT_TRUE(picture->LoadFromFile(red_.toStdString()));
        picture->SetTitle("Red");
        EXPECT_TRUE(picture->Rotate());
        CurrentPortfolio()->AddPicture(picture);
        CurrentPortfolio()->ClearModified();
        return picture;
    }

    static void Title(QWidget* dialog, const QString& text)
    {
        auto* edit = Child<QLineEdit>(dialog, "Edit1");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static void Press(QWidget* dialog, const char* button)
    {
        QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
    }

    static void ClickPreview(QWidget* dialog)
    {
        QTest::mouseClick(Child<QLabel>(dialog, "Image2"), Qt::LeftButton);
    }

    TempDir files_;
    QString red_;
    QString green_;
    std::unique_ptr<TForm2> form2_;
    size_t bitmapsAtStart_ = 0;
};

TEST_F(ArtworkDialogTest, CancellingTheChooserEndsTheAddWithoutTheDialog)
{
    ModalDriver driver;
    driver.Reject();
    EXPECT_EQ(Form2->AddArtwork(), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].className, "QFileDialog");
    EXPECT_EQ(driver.Seen()[0].title, "Please select an image file...");
    EXPECT_EQ(Form2->GetPicture(), nullptr);
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
}

// Adding opens the chooser before the artwork dialog shows: the chooser
// then belongs to the main window, which the user sees, so that it stands
// over it rather than at the screen's corner for a window not yet shown.
TEST_F(ArtworkDialogTest, TheChooserOfAnAdditionStandsOverTheMainWindow)
{
    form1_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form1_.get()));
    ModalDriver driver;
    driver.Then([this](QWidget* chooser) {
        EXPECT_EQ(chooser->parentWidget(), form1_.get());
        const QPoint middle = chooser->frameGeometry().center();
        EXPECT_LT((middle - form1_->frameGeometry().center()).manhattanLength(), 4)
            << "chooser at " << middle.x() << "," << middle.y();
        static_cast<QDialog*>(chooser)->reject();
    });
    EXPECT_EQ(Form2->AddArtwork(), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
}

TEST_F(ArtworkDialogTest, AddingAsksForATitleAndGivesTheCallerTheNewArtwork)
{
    ModalDriver driver;
    driver.ChooseFile(red_);
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Add Artwork");
        // The chosen file is previewed.
        const QPixmap preview = Child<QLabel>(dialog, "Image2")->pixmap();
        EXPECT_EQ(preview.size(), QSize(60, 40));
        EXPECT_EQ(preview.toImage().pixelColor(30, 20), QColor(Qt::red));
        QTest::keyClicks(Child<QLineEdit>(dialog, "Edit2"), "Oil on canvas");
        QTest::keyClicks(Child<QLineEdit>(dialog, "Edit3"), "60 x 40 cm");
        Press(dialog, "Button2");
        EXPECT_TRUE(dialog->isVisible());
        Title(dialog, "Dawn & <Dusk>");
        auto* memo = Child<QPlainTextEdit>(dialog, "Memo1");
        QTest::keyClicks(memo, "first");
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, "second");
        Press(dialog, "Button2");
    });
    driver.Press(QMessageBox::Ok);
    EXPECT_EQ(Form2->AddArtwork(), mrOk);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(2).text, "You must give a title to this artwork.");
    EXPECT_EQ(driver.Seen().at(2).title, "Oooops!");
    EXPECT_EQ(driver.Seen().at(2).icon, QMessageBox::Critical);

    std::unique_ptr<Picture> added(Form2->GetPicture());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->GetOwner(), CurrentPortfolio());
    EXPECT_EQ(added->GetTitle(true), "Dawn & <Dusk>");
    EXPECT_EQ(added->GetMedia(true), "Oil on canvas");
    EXPECT_EQ(added->GetDimensions(true), "60 x 40 cm");
    EXPECT_EQ(added->GetDescription(false), "first&break;second");
    EXPECT_EQ(added->GetFileName(), red_.toStdString());
    ASSERT_NE(added->GetBitmap(), nullptr);
    EXPECT_EQ(CentreColour(added.get()), QColor(Qt::red));
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
}

struct LeaveCase {
    const char* label;
    std::function<void(QWidget*)> leave;
};

class LeavingAnAdd : public ArtworkDialogTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(LeavingAnAdd, EndsTheNewArtworkAndLeavesThePortfolioUnmodified)
{
    ModalDriver driver;
    driver.ChooseFile(red_);
    driver.Then([](QWidget* dialog) {
        Title(dialog, "Gone");
        GetParam().leave(dialog);
    });
    EXPECT_EQ(Form2->AddArtwork(), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(Form2->GetPicture(), nullptr);
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeavingAnAdd,
    ::testing::Values(LeaveCase{"CancelButton", [](QWidget* d) { QTest::mouseClick(Child<QPushButton>(d, "Button1"), Qt::LeftButton); }},
                      LeaveCase{"Escape", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }},
                      LeaveCase{"CloseBox", [](QWidget* d) { d->close(); }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ArtworkDialogTest, EditingShowsTheCurrentImageAndCancelKeepsEverythingEvenAfterANewFile)
{
    Picture* picture = TurnedArtwork();
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit Artwork - Red");
        EXPECT_EQ(Child<QLineEdit>(dialog, "Edit1")->text(), "Red");
        // Turned, so taller than wide.
        EXPECT_EQ(Child<QLabel>(dialog, "Image2")->pixmap().size(), QSize(40, 60));
        ClickPreview(dialog);
        EXPECT_EQ(Child<QLabel>(dialog, "Image2")->pixmap().size(), QSize(30, 50));
        Title(dialog, "Other");
        Press(dialog, "Button1");
    });
    driver.ChooseFile(green_);
    EXPECT_EQ(Form2->EditArtwork(picture), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(picture->GetTitle(true), "Red");
    EXPECT_EQ(picture->GetFileName(), red_.toStdString());
    EXPECT_EQ(picture->GetBitmap()->GetWidth(), 40u);
    EXPECT_EQ(CentreColour(picture), QColor(Qt::red));
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
}

TEST_F(ArtworkDialogTest, EditingOkKeepsTheTurnedImageUnlessANewFileWasChosen)
{
    Picture* picture = TurnedArtwork();
    {
        ModalDriver driver;
        driver.Then([](QWidget* dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "Edit2"), "Ink");
            Press(dialog, "Button2");
        });
        EXPECT_EQ(Form2->EditArtwork(picture), mrOk);
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
    }
    EXPECT_EQ(picture->GetMedia(true), "Ink");
    EXPECT_EQ(picture->GetBitmap()->GetWidth(), 40u);
    EXPECT_EQ(picture->GetBitmap()->GetHeight(), 60u);
    EXPECT_TRUE(CurrentPortfolio()->IsModified());

    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        QTest::mouseClick(Child<QWidget>(dialog, "Shape1"), Qt::LeftButton, {}, QPoint(1, 1));
        Press(dialog, "Button2");
    });
    driver.ChooseFile(green_);
    EXPECT_EQ(Form2->EditArtwork(picture), mrOk);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(picture->GetFileName(), green_.toStdString());
    EXPECT_EQ(picture->GetBitmap()->GetWidth(), 30u);
    EXPECT_EQ(picture->GetBitmap()->GetHeight(), 50u);
    EXPECT_EQ(CentreColour(picture), QColor(Qt::green));
}

TEST_F(ArtworkDialogTest, AnArtworkWithoutAnImageFileIsRefused)
{
    auto* picture = new Picture(CurrentPortfolio());
    picture->SetTitle("Lost");
    CurrentPortfolio()->AddPicture(picture);
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        Press(dialog, "Button2");
        EXPECT_TRUE(dialog->isVisible());
        Press(dialog, "Button1");
    });
    driver.Press(QMessageBox::Ok);
    EXPECT_EQ(Form2->EditArtwork(picture), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(1).text, "You must select an image for this artwork.");
    EXPECT_EQ(driver.Seen().at(1).title, "Oooops!");
    EXPECT_EQ(Form2->EditArtwork(nullptr), mrCancel);
}

// The chooser as a user meets it: it lists TIFF scans, shows a one-bit
// picture in its colours, opens where the last picture was chosen, and the
// dialog previews a camera portrait upright and a transparent picture over
// white, as the artwork will look.
TEST_F(ArtworkDialogTest, TheChooserListsEveryFormatAndPreviewsPicturesAsTheyWillLook)
{
    const std::string folder = files_ / "scans";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    ASSERT_TRUE(WriteCameraPhotos(folder));
    QImage scan(20, 10, QImage::Format_RGB32);
    scan.fill(Qt::green);
    ASSERT_TRUE(scan.save(QString::fromStdString(folder + "/scan.tif"), "TIFF"));
    QImage oneBit(200, 100, QImage::Format_Mono);
    oneBit.setColorTable({qRgb(220, 20, 20), qRgb(20, 20, 220)});
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            oneBit.setPixel(x, y, x < 100 ? 0 : 1);
    const QString oneBitPath = QString::fromStdString(folder + "/one-bit.png");
    ASSERT_TRUE(oneBit.save(oneBitPath, "PNG"));
    QImage clear(40, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const QString clearPath = QString::fromStdString(folder + "/clear.png");
    ASSERT_TRUE(clear.save(clearPath, "PNG"));

    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* chooser = static_cast<QFileDialog*>(modal);
        chooser->setDirectory(QString::fromStdString(folder));
        auto* list = chooser->findChild<QListView*>("listView");
        ASSERT_NE(list, nullptr);
        const auto listed = [list] {
            QStringList names;
            for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row)
                names << list->model()->index(row, 0, list->rootIndex()).data().toString();
            return names;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed().contains("one-bit.png"); }, 10000));
        EXPECT_TRUE(listed().contains("scan.tif")) << listed().join(", ").toStdString();

        const QImage icon = chooser->iconProvider()->icon(QFileInfo(oneBitPath)).pixmap(96, 96).toImage();
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixelColor(icon.width() / 4, icon.height() / 2).name(), QColor(220, 20, 20).name());
        EXPECT_EQ(icon.pixelColor(icon.width() * 3 / 4, icon.height() / 2).name(), QColor(20, 20, 220).name());

        chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(folder + "/o6.jpg"));
        static_cast<QDialog*>(chooser)->accept();
    });
    driver.Then([](QWidget* dialog) {
        EXPECT_EQ(UprightProblem(Child<QLabel>(dialog, "Image2")->pixmap().toImage()), "");
        Press(dialog, "Button1");
    });
    EXPECT_EQ(Form2->AddArtwork(), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();

    ModalDriver again;
    again.Then([&](QWidget* modal) {
        auto* chooser = static_cast<QFileDialog*>(modal);
        EXPECT_EQ(chooser->directory().absolutePath().toStdString(), folder);
        chooser->findChild<QLineEdit*>("fileNameEdit")->setText(clearPath);
        static_cast<QDialog*>(chooser)->accept();
    });
    again.Then([](QWidget* dialog) {
        const QImage preview = Child<QLabel>(dialog, "Image2")->pixmap().toImage();
        ASSERT_FALSE(preview.isNull());
        EXPECT_EQ(preview.pixelColor(20, 10), QColor(Qt::white));
        Press(dialog, "Button1");
    });
    EXPECT_EQ(Form2->AddArtwork(), mrCancel);
    ASSERT_TRUE(again.AllDone()) << again.Report();
}

// An artwork from a received portfolio may name a file that is now a FIFO:
// choosing a new picture for it opens the chooser at once instead of
// waiting for a writer that never comes.
TEST_F(ArtworkDialogTest, AStoredFileThatIsNowAFifoDoesNotHoldTheChooser)
{
    const std::string fifo = files_ / "moved.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Picture* picture = TurnedArtwork();
    picture->SetFileName(fifo);
    CurrentPortfolio()->ClearModified();

    // Should the window wait on the FIFO after all, a writer comes and goes
    // now and then, so that the test ends and reports it.
    std::atomic<bool> finished{false}, released{false};
    std::thread watchdog([&] {
        const auto start = std::chrono::steady_clock::now();
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
                continue;
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                released = true;
                ::close(fd);
            }
        }
    });
    ModalDriver driver;
    driver.Then([](QWidget* dialog) {
        ClickPreview(dialog);
        Press(dialog, "Button1");
    });
    driver.Reject();
    EXPECT_EQ(Form2->EditArtwork(picture), mrCancel);
    finished = true;
    watchdog.join();
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(1).className, "QFileDialog");
    EXPECT_FALSE(released) << "the window waited on the FIFO";
}

} // namespace

namespace {

TEST_F(ArtworkDialogTest, AChosenFileThatIsNoPictureIsRefusedAndTheArtworkKeepsItsImage)
{
    const std::string text = files_.Write("notes.jpg", "words, not pixels");
    const std::string whole = ReadFileBytes(red_.toStdString());
    const std::string cut = files_.Write("cut.png", whole.substr(0, whole.size() / 2));
    for (const std::string& bad : {text, cut}) {
        SCOPED_TRACE(bad);
        const std::string message = "The file \"" + bad + "\" could not be read as a picture: " +
                                    (bad == cut ? "it is damaged or cut short."
                                                : "it is not a picture in a format the program reads (JPEG, PNG, "
                                                  "GIF, BMP or TIFF).");
        {
            // Adding: no artwork comes, and the dialog does not open.
            ModalDriver driver;
            driver.ChooseFile(QString::fromStdString(bad)).Press(QMessageBox::Ok);
            EXPECT_EQ(Form2->AddArtwork(), mrCancel);
            ASSERT_TRUE(driver.AllDone()) << driver.Report();
            ASSERT_EQ(driver.Seen().size(), 2u);
            EXPECT_EQ(driver.Seen()[1].text, message);
            EXPECT_EQ(driver.Seen()[1].title, "Oooops!");
            EXPECT_EQ(Form2->GetPicture(), nullptr);
            EXPECT_FALSE(CurrentPortfolio()->IsModified());
        }
        // Editing: the preview and, after OK, the artwork keep the image
        // they had.
        Picture* picture = TurnedArtwork();
        ModalDriver driver;
        driver.Then([](QWidget* dialog) {
            const QImage before = Child<QLabel>(dialog, "Image2")->pixmap().toImage();
            ClickPreview(dialog);
            EXPECT_EQ(Child<QLabel>(dialog, "Image2")->pixmap().toImage(), before);
            Press(dialog, "Button2");
        });
        driver.ChooseFile(QString::fromStdString(bad)).Press(QMessageBox::Ok);
        EXPECT_EQ(Form2->EditArtwork(picture), mrOk);
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        EXPECT_EQ(driver.Seen().at(2).text, message);
        EXPECT_EQ(picture->GetFileName(), red_.toStdString());
        EXPECT_EQ(PictureImage(picture).size(), QSize(40, 60));
        EXPECT_FALSE(CurrentPortfolio()->IsModified());
    }
}

TEST_F(ArtworkDialogTest, AChosenFileSpoiltBeforeOkKeepsTheDialogOpenAndTheArtworkUnchanged)
{
    const std::string later = files_ / "later.png";
    std::filesystem::copy_file(green_.toStdString(), later);
    Picture* picture = TurnedArtwork();
    ModalDriver driver;
    driver.Then([&](QWidget* dialog) {
        ClickPreview(dialog);
        files_.Write("later.png", "no longer a picture");
        Title(dialog, "Renamed");
        Press(dialog, "Button2");
        EXPECT_TRUE(dialog->isVisible());
        Press(dialog, "Button1");
    });
    driver.ChooseFile(QString::fromStdString(later)).Press(QMessageBox::Ok);
    EXPECT_EQ(Form2->EditArtwork(picture), mrCancel);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(2).text,
              "The file \"" + later +
                  "\" could not be read as a picture: it is not a picture in a format the program reads (JPEG, PNG, "
                  "GIF, BMP or TIFF).");
    EXPECT_EQ(picture->GetTitle(true), "Red");
    EXPECT_EQ(picture->GetFileName(), red_.toStdString());
    EXPECT_EQ(PictureImage(picture).size(), QSize(40, 60));
}

// A camera picture of 12 MP, previewed from the chosen file and from the
// artwork's picture in memory: fitted into the preview, upright, with its
// transparent parts over white.
TEST_F(ArtworkDialogTest, PreviewsATwelveMegapixelPictureFittedUprightAndOverWhite)
{
    // Upright, the picture is a portrait in four coloured quarters; the
    // camera stores it on its side with an EXIF turn, as cameras do.
    const QColor quarters[] = {QColor(220, 30, 30), QColor(30, 200, 30), QColor(30, 30, 220), QColor(230, 220, 20)};
    QImage upright(3000, 4000, QImage::Format_RGB32);
    {
        QPainter p(&upright);
        p.fillRect(0, 0, 1500, 2000, quarters[0]);
        p.fillRect(1500, 0, 1500, 2000, quarters[1]);
        p.fillRect(0, 2000, 1500, 2000, quarters[2]);
        p.fillRect(1500, 2000, 1500, 2000, quarters[3]);
    }
    const QString camera = QString::fromStdString(files_ / "IMG_0001.JPG");
    {
        QImageWriter writer(camera, "jpeg");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        ASSERT_TRUE(writer.write(upright.transformed(QTransform().rotate(-90))));
    }
    // Left half clear, right half blue.
    QImage clear(4000, 3000, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QPainter(&clear).fillRect(2000, 0, 2000, 3000, QColor(20, 40, 200));
    const QString cutout = QString::fromStdString(files_ / "cutout.png");
    ASSERT_TRUE(clear.save(cutout, "PNG"));

    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
               std::abs(a.blue() - b.blue()) < 40;
    };
    // What the preview shows, checked where it must be one colour.
    const auto previewProblem = [&](QWidget* dialog, const QString& file) -> std::string {
        const QLabel* image2 = Child<QLabel>(dialog, "Image2");
        const QImage shown = image2->pixmap().toImage();
        if (shown.isNull())
            return "no preview";
        const QSize box = image2->size();
        if (shown.width() > box.width() || shown.height() > box.height() ||
            (shown.width() != box.width() && shown.height() != box.height()))
            return "not fitted: " + std::to_string(shown.width()) + "x" + std::to_string(shown.height());
        const int w = shown.width();
        const int h = shown.height();
        const bool portrait = file == camera;
        if (portrait != (h > w))
            return "on its side";
        const struct {
            int x, y;
            QColor colour;
        } spots[] = {
            {w / 4, h / 4, portrait ? quarters[0] : QColor(Qt::white)},
            {w * 3 / 4, h / 4, portrait ? quarters[1] : QColor(20, 40, 200)},
            {w / 4, h * 3 / 4, portrait ? quarters[2] : QColor(Qt::white)},
            {w * 3 / 4, h * 3 / 4, portrait ? quarters[3] : QColor(20, 40, 200)},
        };
        for (const auto& spot : spots)
            if (!near(shown.pixelColor(spot.x, spot.y), spot.colour))
                return "at " + std::to_string(spot.x) + "," + std::to_string(spot.y) + ": " +
                       shown.pixelColor(spot.x, spot.y).name().toStdString() + " for " +
                       spot.colour.name().toStdString();
        return "";
    };

    for (const QString& file : {camera, cutout}) {
        SCOPED_TRACE(file.toStdString());
        // Chosen for a new artwork.
        ModalDriver adding;
        adding.ChooseFile(file);
        adding.Then([&](QWidget* dialog) {
            EXPECT_EQ(previewProblem(dialog, file), "");
            Press(dialog, "Button1");
        });
        EXPECT_EQ(Form2->AddArtwork(), mrCancel);
        ASSERT_TRUE(adding.AllDone()) << adding.Report();

        // An artwork of the portfolio at its full size, edited.
        const int pictureSize = Options::Instance()->GetPictureSize();
        Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
        auto* picture = new Picture(CurrentPortfolio());
        ASSERT_TRUE(picture->LoadFromFile(file.toStdString()));
        Options::Instance()->SetPictureSize(pictureSize);
        ASSERT_EQ(picture->GetBitmap()->GetWidth() * picture->GetBitmap()->GetHeight(), 12'000'000);
        picture->SetTitle("Large");
        CurrentPortfolio()->AddPicture(picture);
        ModalDriver editing;
        editing.Then([&](QWidget* dialog) {
            EXPECT_EQ(previewProblem(dialog, file), "");
            Press(dialog, "Button1");
        });
        EXPECT_EQ(Form2->EditArtwork(picture), mrCancel);
        ASSERT_TRUE(editing.AllDone()) << editing.Report();
    }
}

} // namespace
