// Picture files becoming artworks, as a start with files and a later start's
// hand-over add them: read on workers under the progress window, in their
// order, and files that are no picture named in one message instead of
// becoming artworks without an image.
#include "app/NamedPipeClient.h"
#include "controls/GPImage.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "output/TForm15.h"
#include "platform/gdiplus/GpImage.h"
#include "tests/app/JobTestSupport.h"
#include "tests/app/SingleInstanceTestSupport.h"
#include "tests/support/BmpFile.h"
#include "tests/support/HostilePictures.h"
#include "tests/support/ModalDriver.h"

#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

#include <cstdio>
#include <filesystem>

#include <sys/stat.h>

namespace {

class AddingArtworksTest : public PrivateSettingsWindowTest {
protected:
    void SetUp() override
    {
        PrivateSettingsWindowTest::SetUp();
        ASSERT_TRUE(WaitUntilServing());
    }

    std::string SaveImage(const std::string& name, QColor colour, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        const std::string path = files_ / name;
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        return path;
    }

    // Adds the files as a start with them does, or as a later start hands
    // them over, and waits until all are in.
    void Add(bool handOver, const std::vector<std::string>& files)
    {
        if (handOver) {
            // A request brings the window forward last, once the addition
            // has begun.
            form1_->hide();
            {
                NamedPipeClient client;
                ASSERT_TRUE(client.Send(NamedPipeClient::AddArtworksMessage(files)));
            }
            ASSERT_TRUE(WaitUntil([this] { return form1_->isVisible(); }));
        } else {
            form1_.reset();
            form1_ = std::make_unique<TForm1>(files);
        }
        ASSERT_TRUE(WaitUntil([this] { return !form1_->AddingArtworks(); }));
    }

    // Runs the body once for files given at start and once for files handed
    // over to a fresh running window.
    template <typename Body>
    void OnEitherPath(Body body)
    {
        for (const bool handOver : {false, true}) {
            SCOPED_TRACE(handOver ? "hand-over" : "command line");
            if (handOver) {
                form1_.reset();
                MakeForms();
                ASSERT_TRUE(WaitUntilServing());
            }
            body(handOver);
            if (HasFatalFailure())
                return;
        }
    }

    TSmoothImageListBoxItem* Item(int index) { return form1_->SmoothImageListBox1->Items()->GetItem(index); }

    // The progress window the addition used.
    static TForm15* AddingWindow()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TForm15*>(window); form && form->windowTitle() == "Adding Artworks...")
                return form;
        return nullptr;
    }

    TempDir files_;
};

TEST_F(AddingArtworksTest, AStartWithPicturesShowsTheWindowFirstThenEveryArtworkInOrderWithItsThumbnail)
{
    const struct {
        QColor colour;
        int width, height;
    } pictures[] = {{Qt::red, 400, 200}, {Qt::green, 90, 300}, {Qt::blue, 40, 30},
                    {Qt::yellow, 1200, 900}, {Qt::magenta, 300, 300}, {Qt::cyan, 640, 64}};
    std::vector<std::string> files;
    for (const auto& picture : pictures)
        files.push_back(SaveImage("p" + std::to_string(files.size()) + ".png", picture.colour, picture.width,
                                  picture.height));

    form1_.reset();
    form1_ = std::make_unique<TForm1>(files);
    // Nothing is decoded before the window can show.
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_TRUE(form1_->AddingArtworks());
    form1_->show();
    ASSERT_TRUE(WaitUntil([this] { return !form1_->AddingArtworks(); }));

    ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), 6);
    ASSERT_EQ(form1_->SmoothImageListBox1->Items()->Count(), 8);
    const TGPRectF area = form1_->SmoothImageListBox1->GetItemImageRect(
        MakeRect(0, 0, float(Item(1)->CellRect().Width), float(Item(1)->CellRect().Height)));
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        Picture* artwork = CurrentPortfolio()->GetPicture(i);
        EXPECT_EQ(artwork->GetFileName(), files[i]);
        EXPECT_EQ(artwork->GetTitle(true), "New Artwork");
        EXPECT_EQ(form1_->StripPicture(i + 1), artwork);
        // The thumbnail is the picture fitted into the item's image area,
        // proportions kept, in the picture's colour.
        TGPBitmap* thumbnail = Item(i + 1)->Thumbnail.get();
        ASSERT_NE(thumbnail, nullptr);
        const QImage& pixels = thumbnail->NativeBitmap()->image;
        const double aspect = double(pictures[i].width) / pictures[i].height;
        EXPECT_NEAR(double(pixels.width()) / pixels.height(), aspect, aspect * 0.1);
        EXPECT_TRUE(pixels.width() == int(area.Width) || pixels.height() == int(area.Height))
            << pixels.width() << " x " << pixels.height();
        EXPECT_EQ(pixels.pixelColor(pixels.width() / 2, pixels.height() / 2), pictures[i].colour);
        EXPECT_EQ(Item(i + 1)->SourceWidth, float(artwork->GetBitmap()->GetWidth()));
    }
    // The progress window counted them and let the window go again.
    TForm15* progress = AddingWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(progress->ProgressBar1->value(), 6);
    EXPECT_EQ(progress->ProgressBar1->maximum(), 6);
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_EQ(form1_->SmoothImageListBox1->SelectedItemIndex(), 0);
}

TEST_F(AddingArtworksTest, FilesThatAreNoPictureBecomeNoArtworkAndOneMessageNamesThemOnEitherPath)
{
    const std::string red = SaveImage("red.png", Qt::red, 64, 48);
    const std::string blue = SaveImage("blue.jpg", Qt::blue, 64, 48);
    const std::string text = files_.Write("notes.jpg", "a text file with a picture's name");
    const std::string whole = ReadFileBytes(SaveImage("cut.png", Qt::green, 300, 200));
    const std::string cut = files_.Write("cut.png", whole.substr(0, whole.size() / 2));
    const std::string missing = files_ / "missing.png";
    // Reading a FIFO would block until someone writes to it.
    const std::string fifo = files_ / "fifo.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = files_.Path().string();
    // A header that promises more pixels than any picture may have.
    const std::string huge = files_.Write("huge.bmp", BmpHeaders(20000, 20000, 24, 0, 54, 0, 0) + std::string(64, '\0'));

    OnEitherPath([&](bool handOver) {
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        Add(handOver, {red, text, cut, missing, fifo, folder, huge, blue});
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].title, "Oooops!");
        EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Critical);
        // Each says why, in the user's words.
        EXPECT_EQ(driver.Seen()[0].text,
                  "These files could not be read as pictures:\n" + text +
                      ": it is not a picture in a format the program reads (JPEG, PNG, GIF, BMP or TIFF)\n" + cut +
                      ": it is damaged or cut short\n" + missing + ": it does not exist\n" + fifo +
                      ": it is a special file (a device, pipe or socket), not a picture file\n" + folder +
                      ": it is a folder\n" + huge +
                      ": its picture of 20000 x 20000 pixels is larger than the 100 million pixels a picture may "
                      "have");

        // The other files are in, in their order, each with its image.
        Portfolio* portfolio = CurrentPortfolio();
        ASSERT_EQ(portfolio->GetPictureCount(), 2);
        ASSERT_EQ(form1_->SmoothImageListBox1->Items()->Count(), 4);
        EXPECT_EQ(portfolio->GetPicture(0)->GetFileName(), red);
        EXPECT_EQ(portfolio->GetPicture(1)->GetFileName(), blue);
        for (int i = 0; i < 2; ++i) {
            EXPECT_NE(portfolio->GetPicture(i)->GetBitmap(), nullptr);
            EXPECT_EQ(form1_->StripPicture(i + 1), portfolio->GetPicture(i));
        }
    });
}

// Files the picture filter refuses before any decoder sees them are named
// with the filter's own cause, not as damaged or unreadable.
TEST_F(AddingArtworksTest, PicturesThatWouldCostFarMoreThanTheirPixelsAreNamedWithTheirCause)
{
    const std::string good = SaveImage("good.png", Qt::red, 64, 48);
    const struct {
        const char* name;
        std::string bytes;
        std::string cause;
    } refused[] = {
        {"scans.jpg", hostile::EmptyScansJpeg(64, 48, 10000),
         "it is a progressive JPEG of more than 100 scans, more than the program reads; no camera or editor writes "
         "so many"},
        {"tile.tif", hostile::TileTiff(16, 65536, size_t{1} << 20),
         "its tiles would need far more memory than the picture itself (tiles of 65536 x 65536 pixels for a "
         "picture of 16 x 16)"},
        {"strips.tif", hostile::OneStripTiff(64, 48, 1),
         "it is damaged: its file locates only 1 of the parts its picture is stored in"},
    };
    std::vector<std::string> files{good};
    std::string expected = "These files could not be read as pictures:";
    for (const auto& file : refused) {
        files.push_back(files_.Write(file.name, file.bytes));
        expected += "\n" + files.back() + ": " + file.cause;
    }

    OnEitherPath([&](bool handOver) {
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        Add(handOver, files);
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].text, expected);
        ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), 1);
        EXPECT_EQ(CurrentPortfolio()->GetPicture(0)->GetFileName(), good);
        EXPECT_NE(CurrentPortfolio()->GetPicture(0)->GetBitmap(), nullptr);
    });
}

TEST_F(AddingArtworksTest, ASingleUnreadableFileIsNamedAloneAndLeavesThePortfolioUnchanged)
{
    const std::string missing = files_ / "gone.jpg";
    for (const bool handOver : {false, true}) {
        SCOPED_TRACE(handOver ? "hand-over" : "command line");
        if (handOver)
            CurrentPortfolio()->ClearModified();
        ModalDriver driver;
        driver.Press(QMessageBox::Ok);
        Add(handOver, {missing});
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        EXPECT_EQ(driver.Seen().at(0).text,
                  "The file \"" + missing + "\" could not be read as a picture: it does not exist.");
        EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
        EXPECT_FALSE(CurrentPortfolio()->IsModified());
    }
}

TEST_F(AddingArtworksTest, AHandOverDuringAnAdditionWaitsAndItsArtworksComeAfter)
{
    std::vector<std::string> first;
    for (int i = 0; i < 8; ++i)
        first.push_back(SaveImage("first" + std::to_string(i) + ".jpg", Qt::red, 1600, 1200));
    const std::string later = SaveImage("later.png", Qt::blue, 16, 16);
    {
        NamedPipeClient client;
        ASSERT_TRUE(client.Send(NamedPipeClient::AddArtworksMessage(first)));
    }
    {
        NamedPipeClient client;
        ASSERT_TRUE(client.Send(NamedPipeClient::AddArtworksMessage({later})));
    }
    ASSERT_TRUE(WaitUntil([this] { return CurrentPortfolio()->GetPictureCount() == 9 && !form1_->AddingArtworks(); }));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(CurrentPortfolio()->GetPicture(i)->GetFileName(), first[i]) << i;
    EXPECT_EQ(CurrentPortfolio()->GetPicture(8)->GetFileName(), later);
}

TEST_F(AddingArtworksTest, AnOpenedPortfolioShowsEveryArtworksThumbnail)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    std::string path = files_ / "three.pfo";
    {
        Portfolio portfolio;
        for (const QColor& colour : colours) {
            auto* picture = new Picture(&portfolio);
            ASSERT_TRUE(picture->LoadFromFile(SaveImage(colour.name().toStdString() + ".png", colour, 50, 40)));
            portfolio.AddPicture(picture);
        }
        portfolio.SetFileName(path);
        ASSERT_TRUE(portfolio.Save());
    }
    ASSERT_TRUE(form1_->OpenPortfolio(path));
    ASSERT_EQ(form1_->SmoothImageListBox1->Items()->Count(), 5);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        TGPBitmap* thumbnail = Item(i + 1)->Thumbnail.get();
        ASSERT_NE(thumbnail, nullptr);
        const QImage& pixels = thumbnail->NativeBitmap()->image;
        EXPECT_EQ(pixels.pixelColor(pixels.width() / 2, pixels.height() / 2), colours[i]);
    }
}

TEST_F(AddingArtworksTest, CancelStopsTheAdditionAndKeepsWhatCameIn)
{
    // Enough photo-sized pictures that the addition is still under way when
    // the first artwork is in.
    QImage photo(2400, 1600, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(x % 256, y % 256, (x * y) % 251);
    }
    const std::string first = files_ / "photo000.jpg";
    ASSERT_TRUE(photo.save(QString::fromStdString(first), "JPEG", 90));
    const int count = 150;
    std::vector<std::string> files{first};
    for (int i = 1; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%03d.jpg", i);
        files.push_back(files_ / name);
        std::filesystem::copy_file(first, files.back());
    }

    ModalDriver driver;  // no message may follow a cancel
    form1_.reset();
    form1_ = std::make_unique<TForm1>(files);
    form1_->show();
    ASSERT_TRUE(WaitUntil([this] { return CurrentPortfolio()->GetPictureCount() >= 1; }));
    TForm15* window = AddingWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->isVisible());
    EXPECT_FALSE(form1_->isEnabled());
    QPushButton* cancel = window->Button2;
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(cancel->isEnabled());
    EXPECT_EQ(cancel->text(), "C&ancel");
    // Pressed on the window where the button shows, as a user does.
    const QPoint at = cancel->geometry().center();
    ASSERT_EQ(window->childAt(at), cancel);
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    const int atCancel = CurrentPortfolio()->GetPictureCount();

    ASSERT_TRUE(WaitUntil([window] { return !window->isVisible(); }));
    EXPECT_TRUE(form1_->isEnabled());
    const int kept = CurrentPortfolio()->GetPictureCount();
    EXPECT_GE(kept, atCancel);
    EXPECT_LT(kept, count);
    // Pictures still being read when it stopped are dropped, not added later.
    ASSERT_TRUE(WaitUntil([this] { return !form1_->AddingArtworks(); }));
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), kept);
    EXPECT_EQ(form1_->SmoothImageListBox1->Items()->Count(), kept + 2);
    for (int i = 0; i < kept; ++i)
        EXPECT_EQ(CurrentPortfolio()->GetPicture(i)->GetFileName(), files[i]) << i;
    EXPECT_TRUE(CurrentPortfolio()->IsModified());
    QApplication::processEvents();
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(driver.Seen().empty());
}

} // namespace
