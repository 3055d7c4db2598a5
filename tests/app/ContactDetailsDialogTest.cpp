#include "app/TForm5.h"
#include "app/TOpenPictureDialog.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

std::string Bytes(TMemoryStream* stream)
{
    return std::string(reinterpret_cast<const char*>(stream->Memory()), static_cast<size_t>(stream->GetSize()));
}

template <class T>
T* Child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void SetName(QWidget* dialog, const QString& name)
{
    auto* edit = Child<QLineEdit>(dialog, "Edit1");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, name);
}

void Press(QWidget* dialog, const char* button)
{
    QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
}

class ContactDetailsDialogTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        std::filesystem::remove(Portfolio::DetailsFilePath());
        MakeForms();
    }

    void TearDown() override
    {
        std::filesystem::remove(Portfolio::DetailsFilePath());
        WindowTest::TearDown();
    }

    // Opens the dialog from the main window's tool button; `step` handles it
    // and must close it; `more` answers what it opens meanwhile.
    void ContactInfo(ModalDriver::Step step, const std::function<void(ModalDriver&)>& more = {})
    {
        ModalDriver driver;
        driver.Then(std::move(step));
        if (more)
            more(driver);
        auto* button = form1_->findChild<QAction*>("ToolButton6");
        ASSERT_NE(button, nullptr);
        button->trigger();
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        seen_ = driver.Seen();
    }

    std::string SavedDetails() { return ReadFileBytes(Portfolio::DetailsFilePath()); }

    TempDir files_;
    std::vector<SeenModal> seen_;
};

TEST_F(ContactDetailsDialogTest, ShowsThePlainTextsAndWritesNothingUntilOk)
{
    Portfolio* portfolio = CurrentPortfolio();
    portfolio->SetName("Ada & <Co>");
    portfolio->SetAddress("1 Lane\r\nTown & Shire\r\n<North>");
    portfolio->SetEmail("ada@example.org");
    portfolio->ClearModified();

    ContactInfo([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Your Contact Info");
        EXPECT_EQ(Child<QLineEdit>(dialog, "Edit1")->text(), "Ada & <Co>");
        EXPECT_EQ(Child<QPlainTextEdit>(dialog, "Memo1")->toPlainText(), "1 Lane\nTown & Shire\n<North>");
        EXPECT_EQ(Child<QToolButton>(dialog, "ToolButton1")->text(), "Click to attach a file...");
        EXPECT_FALSE(Child<QToolButton>(dialog, "ToolButton1")->isEnabled());
        QTest::keyClicks(Child<QLineEdit>(dialog, "Edit2"), "555 0100");
        Press(dialog, "Button2");
    });
    EXPECT_FALSE(portfolio->IsModified());
    EXPECT_EQ(portfolio->GetPhone(true), "");

    // OK without a change keeps the document unmodified, line breaks included.
    ContactInfo([](QWidget* dialog) { Press(dialog, "Button1"); });
    EXPECT_FALSE(portfolio->IsModified());
    EXPECT_EQ(portfolio->GetAddress(true), "1 Lane\r\nTown & Shire\r\n<North>");

    ContactInfo([](QWidget* dialog) {
        QTest::keyClicks(Child<QLineEdit>(dialog, "Edit2"), "555 0100");
        Press(dialog, "Button1");
    });
    EXPECT_TRUE(portfolio->IsModified());
    EXPECT_EQ(portfolio->GetPhone(true), "555 0100");
}

TEST_F(ContactDetailsDialogTest, AnEmptyNameIsRefusedAndNothingApplied)
{
    CurrentPortfolio()->SetName("Ada");
    CurrentPortfolio()->ClearModified();
    ContactInfo(
        [](QWidget* dialog) {
            SetName(dialog, "");
            QTest::keyClicks(Child<QLineEdit>(dialog, "Edit3"), "x@example.org");
            Press(dialog, "Button1");
            EXPECT_TRUE(dialog->isVisible());
            Press(dialog, "Button2");
        },
        [](ModalDriver& driver) { driver.Press(QMessageBox::Ok); });
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_EQ(seen_[1].text, "Please enter your name.");
    EXPECT_EQ(seen_[1].title, "Oooops!");
    EXPECT_EQ(seen_[1].icon, QMessageBox::Critical);
    EXPECT_EQ(CurrentPortfolio()->GetName(true), "Ada");
    EXPECT_EQ(CurrentPortfolio()->GetEmail(true), "");
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    EXPECT_FALSE(Portfolio::HasSavedDetails());
}

TEST_F(ContactDetailsDialogTest, TheFirstRealNameBecomesTheDefaultsAndOnlySaveAsDefaultRewritesThem)
{
    const auto okWithName = [this](const QString& name) {
        ContactInfo([name](QWidget* dialog) {
            SetName(dialog, name);
            Press(dialog, "Button1");
        });
    };
    okWithName("Jane Doe");
    EXPECT_FALSE(Portfolio::HasSavedDetails());

    okWithName("jane doe");
    ASSERT_TRUE(Portfolio::HasSavedDetails());
    const std::string first = SavedDetails();
    EXPECT_NE(first.find("jane doe"), std::string::npos);

    okWithName("Someone Else");
    EXPECT_EQ(SavedDetails(), first);
    EXPECT_EQ(CurrentPortfolio()->GetName(true), "Someone Else");

    // Save as Default applies and stores, and the dialog stays open.
    ContactInfo([](QWidget* dialog) {
        SetName(dialog, "Third Name");
        Press(dialog, "Button3");
        EXPECT_TRUE(dialog->isVisible());
        Press(dialog, "Button2");
    });
    EXPECT_NE(SavedDetails().find("Third Name"), std::string::npos);
    EXPECT_EQ(CurrentPortfolio()->GetName(true), "Third Name");
    Portfolio fresh;
    EXPECT_EQ(fresh.GetName(true), "Third Name");
}

TEST_F(ContactDetailsDialogTest, SaveAsDefaultThatCannotWriteSaysSoAndKeepsTheDialogOpen)
{
    // A folder where the details file belongs: nothing can be renamed over it.
    std::filesystem::create_directories(Portfolio::DetailsFilePath());
    ContactInfo(
        [](QWidget* dialog) {
            SetName(dialog, "Ada Lovelace");
            Press(dialog, "Button3");
            EXPECT_TRUE(dialog->isVisible());
            Press(dialog, "Button2");
        },
        [](ModalDriver& driver) { driver.Press(QMessageBox::Ok); });
    std::filesystem::remove_all(Portfolio::DetailsFilePath());
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_EQ(seen_[1].title, "Oooops!");
    EXPECT_EQ(seen_[1].icon, QMessageBox::Critical);
    EXPECT_EQ(seen_[1].text.rfind("Your details could not be saved as the default details:\n", 0), 0u) << seen_[1].text;
    // The reason names the file that could not be written.
    EXPECT_NE(seen_[1].text.find(Portfolio::DetailsFilePath()), std::string::npos) << seen_[1].text;
    EXPECT_FALSE(Portfolio::HasSavedDetails());
}

TEST_F(ContactDetailsDialogTest, UntickingTheCvKeepsItsFileAndClearsOnlyTheFlag)
{
    Portfolio* portfolio = CurrentPortfolio();
    const std::string cv = files_.Write("cv.doc", "my cv");
    ASSERT_TRUE(portfolio->AttachCVFile(cv));
    portfolio->SetUseCVFile(true);
    portfolio->SetName("Ada");
    ContactInfo([](QWidget* dialog) {
        auto* box = Child<QCheckBox>(dialog, "CheckBox1");
        auto* button = Child<QToolButton>(dialog, "ToolButton1");
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(button->text(), "cv.doc");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(button->isEnabled());
        EXPECT_EQ(button->text(), "cv.doc");
        Press(dialog, "Button1");
    });
    EXPECT_FALSE(portfolio->GetUseCVFile());
    EXPECT_EQ(portfolio->GetCVFile(), cv);
    EXPECT_EQ(Bytes(portfolio->GetCVData()), "my cv");
}

TEST_F(ContactDetailsDialogTest, PickedFilesAreReadOnOkOnlyAndAnUnreadableOneKeepsTheDialogOpen)
{
    Portfolio* portfolio = CurrentPortfolio();
    portfolio->SetName("Ada");
    QImage face(40, 30, QImage::Format_RGB32);
    face.fill(Qt::red);
    const std::string picture = files_ / "face.bmp";
    ASSERT_TRUE(face.save(QString::fromStdString(picture)));
    const std::string cv = files_.Write("vita.doc", "curriculum");

    // Picked, then cancelled: nothing reaches the portfolio.
    ContactInfo(
        [](QWidget* dialog) {
            QTest::mouseClick(Child<QCheckBox>(dialog, "CheckBox3"), Qt::LeftButton, {}, QPoint(6, 10));
            QTest::mouseClick(Child<QToolButton>(dialog, "ToolButton2"), Qt::LeftButton);
            EXPECT_EQ(Child<QToolButton>(dialog, "ToolButton2")->text(), "face.bmp");
            Press(dialog, "Button2");
        },
        [&](ModalDriver& driver) { driver.ChooseFile(QString::fromStdString(picture)); });
    EXPECT_EQ(seen_.at(1).title, "Please select a picture...");
    EXPECT_EQ(portfolio->GetPictureFile(), "");
    EXPECT_EQ(portfolio->GetPictureData()->GetSize(), 0);

    // A picked file gone before OK: an error, the dialog stays, nothing applied.
    ContactInfo(
        [&](QWidget* dialog) {
            QTest::mouseClick(Child<QCheckBox>(dialog, "CheckBox1"), Qt::LeftButton, {}, QPoint(6, 10));
            QTest::mouseClick(Child<QToolButton>(dialog, "ToolButton1"), Qt::LeftButton);
            std::filesystem::rename(cv, cv + ".away");
            QTest::keyClicks(Child<QLineEdit>(dialog, "Edit2"), "555");
            Press(dialog, "Button1");
            EXPECT_TRUE(dialog->isVisible());
            std::filesystem::rename(cv + ".away", cv);
            Press(dialog, "Button1");
        },
        [&](ModalDriver& driver) {
            driver.ChooseFile(QString::fromStdString(cv));
            driver.Then([portfolio](QWidget* box) {
                EXPECT_EQ(portfolio->GetPhone(true), "");
                static_cast<QMessageBox*>(box)->accept();
            });
        });
    ASSERT_EQ(seen_.size(), 3u);
    EXPECT_EQ(seen_[1].title, "Please select a CV file...");
    EXPECT_EQ(seen_[2].title, "Oooops!");
    EXPECT_EQ(portfolio->GetPhone(true), "555");
    EXPECT_TRUE(portfolio->GetUseCVFile());
    EXPECT_EQ(portfolio->GetCVFile(), cv);
    EXPECT_EQ(Bytes(portfolio->GetCVData()), "curriculum");
}

TEST_F(ContactDetailsDialogTest, AStoredPathOfAReceivedPortfolioNeverPullsInTheLocalFile)
{
    // The sender's CV path names a file that exists here with other bytes.
    const std::string cv = files_.Write("cv.doc", "sent bytes");
    const std::string pfo = files_ / "received.pfo";
    {
        Portfolio sent;
        sent.SetName("Sender");
        ASSERT_TRUE(sent.AttachCVFile(cv));
        sent.SetUseCVFile(true);
        sent.SetFileName(pfo);
        ASSERT_TRUE(sent.Save());
    }
    files_.Write("cv.doc", "a private key of this machine");

    Portfolio* portfolio = CurrentPortfolio();
    portfolio->SetFileName(pfo);
    ASSERT_TRUE(portfolio->Load());
    ASSERT_EQ(Bytes(portfolio->GetCVData()), "sent bytes");
    ContactInfo([](QWidget* dialog) { Press(dialog, "Button1"); });
    EXPECT_EQ(Bytes(portfolio->GetCVData()), "sent bytes");
}

// Runs the event loop until the condition holds or 20 s have passed.
template <class Condition>
bool WaitFor(Condition condition)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

QColor CentreOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST(OpenPictureDialog, PreviewsTheSelectedPictureAndShowsThumbnails)
{
    TempDir folder;
    const auto make = [&](const char* name, Qt::GlobalColor colour) {
        QImage image(300, 150, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = QString::fromStdString(folder / name);
        EXPECT_TRUE(image.save(path));
        return path;
    };
    const QString blue = make("blue.bmp", Qt::blue);
    const QString yellow = make("yellow.bmp", Qt::yellow);

    TOpenPictureDialog dialog;
    dialog.ThumbnailView = true;
    dialog.Filter = "Picture Files (*.jpg, *.jpeg, *.bmp)|*.jpg;*.jpeg;*.bmp";
    dialog.FileName = blue.toStdString();
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        auto* files = static_cast<QFileDialog*>(modal);
        auto* list = files->findChild<QListView*>("listView");
        auto* preview = files->findChild<QLabel*>("PicturePreview");
        auto* model = files->findChild<QFileSystemModel*>();
        if (list && preview && model) {
            EXPECT_EQ(list->viewMode(), QListView::IconMode);
            const QPixmap icon =
                files->iconProvider()->icon(QFileInfo(yellow)).pixmap(TOpenPictureDialog::kThumbnailSize);
            EXPECT_EQ(icon.width(), TOpenPictureDialog::kThumbnailSize.width());
            EXPECT_EQ(CentreOf(icon), QColor(Qt::yellow));

            // The preset file is previewed at once, scaled into the pane.
            EXPECT_EQ(preview->pixmap().size(), QSize(180, 90));
            EXPECT_EQ(CentreOf(preview->pixmap()), QColor(Qt::blue));

            // A click on another file previews that one.
            EXPECT_TRUE(WaitFor([&] { return model->index(yellow).isValid() && list->visualRect(model->index(yellow)).isValid(); }));
            const QModelIndex item = model->index(yellow);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
            EXPECT_TRUE(WaitFor([&] { return CentreOf(preview->pixmap()) == QColor(Qt::yellow); }));
        } else {
            ADD_FAILURE() << "list, preview or model missing";
        }
        static_cast<QDialog*>(files)->accept();
    });
    ASSERT_TRUE(dialog.Execute());
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(dialog.FileName, yellow.toStdString());
}

} // namespace
