// One user's whole mission through the real main window: a new portfolio,
// three artworks added through "Add Artwork" (one turned, one cropped),
// contact details, another template, a preview, a PDF export, saving and
// opening again, e-mailing it to an SMTP server and burning it to a disc
// image, each checked where it lands.
#include "app/TForm13.h"
#include "app/TForm16.h"
#include "app/TForm2.h"
#include "app/TFrame1.h"
#include "app/TFrame4.h"
#include "app/EmailThread.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "output/HTMLGenerator.h"
#include "output/TForm10.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/imapi/DiscMaster.h"
#include "services/BurnThread.h"
#include "services/EmailerFactory.h"
#include "services/Smtp.h"
#include "services/TForm3.h"
#include "tests/app/JobTestSupport.h"
#include "tests/platform/imapi/DiscImage.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/SmtpTestServer.h"
#include "tests/support/ChildProcess.h"
#include "output/PortfolioGenerator.h"
#include "platform/ipc/Ipc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QWebEngineView>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// What a portfolio holds that the user typed or chose, and its pictures.
struct Snapshot {
    std::string name, email, templateName;
    std::vector<std::string> titles;
    std::vector<QImage> images;
};

Snapshot Take(const Portfolio* portfolio)
{
    Snapshot s{portfolio->GetName(true), portfolio->GetEmail(true),
               portfolio->GetTemplate() ? portfolio->GetTemplate()->GetName() : std::string(), {}, {}};
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        s.titles.push_back(portfolio->GetPicture(i)->GetTitle(true));
        s.images.push_back(PictureImage(portfolio->GetPicture(i)).convertToFormat(QImage::Format_RGB32));
    }
    return s;
}

class MainWindowMissionTest : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        Options::Instance()->SetShowWelcome(false);
        EmailerFactory::FreeInstance();
        ASSERT_EQ(RegisterDiscMasterClass(), S_OK);
        form2_ = std::make_unique<TForm2>(form1_.get());
        Form2 = form2_.get();
        form13_ = std::make_unique<TForm13>(form1_.get());
        Form13 = form13_.get();
        form3_ = std::make_unique<TForm3>();
        Form3 = form3_.get();
        form16_ = std::make_unique<TForm16>();
        Form16 = form16_.get();
        form1_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form1_.get()));
        strip_ = form1_->SmoothImageListBox1;
    }

    void TearDown() override
    {
        // The artwork and crop dialogs are the main window's children: they go first.
        Form2 = nullptr;
        form2_.reset();
        Form13 = nullptr;
        form13_.reset();
        form1_.reset();
        Form16 = nullptr;
        form16_.reset();
        Form3 = nullptr;
        form3_.reset();
        EmailerFactory::FreeInstance();
        ::unsetenv("VELMORA_BURN_DRIVES");
        // The contact details' first OK saved them as the artist's defaults.
        fs::remove(Portfolio::DetailsFilePath());
        JobTest::TearDown();
    }

    void Trigger(const char* action) { form1_->findChild<QAction*>(action)->trigger(); }

    // Selects the strip item as a click on it does.
    void Select(int index)
    {
        strip_->SetSelectedItemIndex(index);
        strip_->OnItemSelect(strip_, index);
    }

    // "Add Artwork": the picture chooser, then the details dialog.
    void AddArtwork(const QImage& image, const std::string& title)
    {
        const std::string file = sources_ / (title + ".png");
        ASSERT_TRUE(image.save(QString::fromStdString(file)));
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(file)).Then([title](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>("Edit1"), QString::fromStdString(title));
            QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
        });
        Select(strip_->Items()->Count() - 1);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }

    void ClickPage(const char* button)
    {
        QTest::mouseClick(Frame1->findChild<QToolButton*>(button), Qt::LeftButton);
    }

    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm13> form13_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm16> form16_;
    TSmoothImageListBox* strip_ = nullptr;
};

TEST_F(MainWindowMissionTest, FromANewPortfolioToPdfEmailAndDisc)
{
    // Work left from before: New asks about it and, answered No, starts afresh.
    {
        QImage old(30, 20, QImage::Format_RGB32);
        old.fill(Qt::gray);
        const std::string file = sources_ / "Old Study.png";
        ASSERT_TRUE(old.save(QString::fromStdString(file)));
        form1_->AddArtworksFromFiles({file});
        ASSERT_TRUE(WaitUntil([this] { return !form1_->AddingArtworks(); }));
        CurrentPortfolio()->SetStatementText("An old statement");
        ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), 1);
        ModalDriver driver;
        driver.Press(QMessageBox::No);
        Trigger("New1");
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
        EXPECT_EQ(driver.Seen().at(0).text, "Do you want to save the current portfolio?");
    }
    ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_EQ(CurrentPortfolio()->GetStatementText(true), "");
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
    EXPECT_EQ(strip_->Items()->Count(), 2);
    EXPECT_EQ(form1_->windowTitle(), "Velmora Voravev 2.0");

    // Three artworks, each a picture of two halves: `left` and `right`.
    const char* const titles[] = {"Red Field", "Harbour at Dusk", "Noon"};
    const auto left = [](int i) { return QColor::fromHsv(i * 110, 220, 220); };
    const auto right = [](int i) { return QColor::fromHsv(i * 110 + 40, 220, 120); };
    for (int i = 0; i < 3; ++i) {
        QImage image(120, 80, QImage::Format_RGB32);
        image.fill(left(i));
        for (int y = 0; y < 80; ++y)
            for (int x = 60; x < 120; ++x)
                image.setPixelColor(x, y, right(i));
        AddArtwork(image, titles[i]);
    }
    ASSERT_EQ(CurrentPortfolio()->GetPictureCount(), 3);
    ASSERT_EQ(strip_->Items()->Count(), 5);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(CurrentPortfolio()->GetPicture(i)->GetTitle(true), titles[i]);

    // The first turned a quarter, counter-clockwise: its right half goes
    // to the top. The second cropped by 40 pixels from the left.
    Select(1);
    ClickPage("ToolButton6");
    const QImage turned = PictureImage(CurrentPortfolio()->GetPicture(0));
    ASSERT_EQ(turned.size(), QSize(80, 120));
    EXPECT_EQ(turned.pixelColor(40, 10).rgb(), right(0).rgb());
    EXPECT_EQ(turned.pixelColor(40, 110).rgb(), left(0).rgb());
    Select(2);
    {
        ModalDriver driver;
        driver.Then([](QWidget* dialog) {
            auto* leftEdge = dialog->findChild<QScrollBar*>("ScrollBar3");
            leftEdge->setFocus();
            for (int i = 0; i < 40; ++i)
                QTest::keyClick(leftEdge, Qt::Key_Right);
            QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
        });
        ClickPage("ToolButton9");
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
    }
    const QImage cropped = PictureImage(CurrentPortfolio()->GetPicture(1));
    ASSERT_EQ(cropped.size(), QSize(80, 80));
    EXPECT_EQ(cropped.pixelColor(0, 40).rgb(), left(1).rgb());
    EXPECT_EQ(cropped.pixelColor(19, 40).rgb(), left(1).rgb());
    EXPECT_EQ(cropped.pixelColor(20, 40).rgb(), right(1).rgb());

    // Contact details.
    {
        ModalDriver driver;
        driver.Then([](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("Edit1");
            name->clear();
            QTest::keyClicks(name, "Alinta Marrow");
            QTest::keyClicks(dialog->findChild<QLineEdit*>("Edit3"), "alinta@example.org");
            QTest::mouseClick(dialog->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        });
        Trigger("ToolButton6");
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
    }
    ASSERT_EQ(CurrentPortfolio()->GetName(true), "Alinta Marrow");

    // Another template.
    ASSERT_GT(Library()->GetCount(), 1);
    Template* other = Library()->GetTemplate(1) == CurrentPortfolio()->GetTemplate() ? Library()->GetTemplate(0)
                                                                                      : Library()->GetTemplate(1);
    {
        ModalDriver driver;
        driver.Then([other](QWidget* dialog) {
            ChooseEntry(dialog->findChild<QComboBox*>("ComboBox1"), QString::fromStdString(other->GetName()));
            QTest::mouseClick(dialog->findChild<QPushButton*>("Button2"), Qt::LeftButton);
        });
        Trigger("ToolButton8");
        ASSERT_TRUE(driver.AllDone()) << driver.Report();
    }
    ASSERT_EQ(CurrentPortfolio()->GetTemplate(), other);

    // Preview: the front page of this portfolio shows, with one page per
    // artwork beside it; the user closes the window.
    {
        bool loaded = false;
        std::string shownPage, shownTitle;
        int artworkPages = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* preview = qobject_cast<TForm10*>(widget);
                if (!preview || !preview->isVisible() || preview->property("watched").toBool())
                    continue;
                preview->setProperty("watched", true);
                QObject::connect(preview->WebBrowser1, &QWebEngineView::loadFinished, preview, [&, preview](bool ok) {
                    loaded = ok;
                    shownPage = preview->WebBrowser1->url().toLocalFile().toStdString();
                    shownTitle = preview->WebBrowser1->title().toStdString();
                    const fs::path data = fs::path(shownPage).parent_path() / "Data";
                    for (const char* page : {"000.html", "001.html", "002.html", "003.html"})
                        artworkPages += fs::exists(data / page) ? 1 : 0;
                    preview->accept();
                });
            }
        });
        closer.start(50);
        Trigger("ToolButton4");
        ProgressThread* job = LastJob();
        ASSERT_TRUE(WaitUntil([&] { return job->Finished(); }));
        job->WaitFor();
        EXPECT_TRUE(loaded);
        EXPECT_EQ(fs::path(shownPage).filename(), "portfolio.html");
        EXPECT_EQ(shownTitle, "Alinta Marrow");
        EXPECT_EQ(artworkPages, 3);
    }

    // Export to PDF.
    const std::string pdf = sources_ / "Alinta Marrow.pdf";
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(pdf));
        Trigger("ToolButton10");
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ProgressThread* job = LastJob();
        ASSERT_TRUE(WaitClosable(job));
        QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
    }
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Pages:"), std::string::npos);
    const std::string text = Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
    EXPECT_NE(text.find("Alinta Marrow"), std::string::npos) << text;
    for (const char* title : titles)
        EXPECT_NE(text.find(title), std::string::npos) << title << "\n" << text;

    // Save as a portfolio file, New, and open it again.
    const Snapshot before = Take(CurrentPortfolio());
    const std::string saved = sources_ / "mission.pfo";
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(saved));
        Trigger("Save1");
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }
    EXPECT_EQ(form1_->windowTitle(), "Velmora Voravev 2.0 - mission.pfo");
    Trigger("New1");
    EXPECT_EQ(CurrentPortfolio()->GetPictureCount(), 0);
    EXPECT_EQ(strip_->Items()->Count(), 2);
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(saved));
        Trigger("ToolButton2");
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    }
    const Snapshot after = Take(CurrentPortfolio());
    EXPECT_EQ(after.name, before.name);
    EXPECT_EQ(after.email, before.email);
    EXPECT_EQ(after.templateName, before.templateName);
    EXPECT_EQ(after.titles, before.titles);
    ASSERT_EQ(after.images.size(), before.images.size());
    for (size_t i = 0; i < before.images.size(); ++i)
        EXPECT_TRUE(after.images[i] == before.images[i]) << "artwork " << i;
    EXPECT_EQ(strip_->Items()->Count(), 5);

    // E-mail through the wizard to an SMTP server here.
    SmtpTestServer server("auth");
    {
        auto* account = static_cast<SMTP*>(EmailerFactory::Instance()->AddAccount("me@example.org", server.Password()));
        ASSERT_NE(account, nullptr);
        account->SetServerName("127.0.0.1");
        account->SetServerPort(server.Port());
        account->SetSecurityType(0);
        account->SetUserName(server.User());
        EmailerFactory::Instance()->SetDefault(account, true);
    }
    Trigger("ToolButton9");
    auto* mailJob = dynamic_cast<EmailThread*>(LastJob());
    ASSERT_NE(mailJob, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return mailJob->Finished() && form16_->MessageFrame()->isVisible(); }));
    TFrame4* message = form16_->MessageFrame();
    QTest::keyClicks(message->Edit2, "gallery@example.com");
    message->Edit3->setText("");
    QTest::keyClicks(message->Edit3, "Portfolio");
    QTest::mouseClick(form16_->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    const auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    TempDir mail;
    const QJsonObject parsed = ParseMail(messages[0].raw, mail / "attachment.pdf");
    EXPECT_EQ(parsed["to"].toArray(), QJsonArray{"gallery@example.com"});
    EXPECT_EQ(parsed["subject"].toString(), "Portfolio");
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(messages[0].info))["rcpt_tos"].toArray(),
              QJsonArray{"gallery@example.com"});
    EXPECT_EQ(parsed["filename"].toString(), "portfolio.pdf");
    EXPECT_NE(Shell("pdftotext -enc UTF-8 '" + (mail / "attachment.pdf") + "' -").find("Alinta Marrow"),
              std::string::npos);
    QTest::mouseClick(form16_->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    QTest::mouseClick(mailJob->ProgressForm()->Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return form1_->isEnabled(); }));

    // Burn to the disc image the drive list names; the disc holds the pages
    // the HTML output makes of this portfolio.
    const std::string image = sources_ / "disc.iso";
    ::setenv("VELMORA_BURN_DRIVES", image.c_str(), 1);
    Trigger("ToolButton5");
    ASSERT_NE(form1_->BurnJob(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return form1_->BurnJob()->Finished() && Form3->Button1->isEnabled(); }));
    EXPECT_EQ(Form3->Label1->text(), "Finished. Your Disk was created successfully.");
    QTest::mouseClick(Form3->Button1, Qt::LeftButton);
    const std::string disc = sources_ / "disc";
    ASSERT_EQ(ExtractDiscImage(image, disc), "");
    HTMLGenerator html(CurrentPortfolio());
    ASSERT_TRUE(html.Generate());
    EXPECT_EQ(DiffFolders(disc, html.GetOutputFolder()), "");

    // A second start of the real program with a picture file, while this
    // window plays the running instance: the file becomes a new artwork here
    // and the second start ends.
    const HANDLE lock = CreateMutexA(nullptr, true, PortfolioGenerator::ApplicationKey);
    ASSERT_NE(lock, nullptr);
    QImage later(40, 30, QImage::Format_RGB32);
    later.fill(Qt::darkCyan);
    const std::string laterFile = sources_ / "Later Study.png";
    ASSERT_TRUE(later.save(QString::fromStdString(laterFile)));
    const int count = CurrentPortfolio()->GetPictureCount();
    ChildProcess second({VELMORA_PROGRAM, laterFile}, {"QT_QPA_PLATFORM=offscreen"});
    const bool arrived = WaitUntil([&] { return CurrentPortfolio()->GetPictureCount() == count + 1; });
    const int status = second.Wait();
    CloseHandle(lock);
    ASSERT_TRUE(arrived) << second.ErrorOutput();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << second.ErrorOutput();
    EXPECT_EQ(CurrentPortfolio()->GetPicture(count)->GetTitle(true), "New Artwork");
    const QImage shown = PictureImage(CurrentPortfolio()->GetPicture(count));
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(shown.width() / 2, shown.height() / 2), QColor(Qt::darkCyan).rgb());
    ASSERT_EQ(strip_->Items()->Count(), count + 3);
    EXPECT_EQ(form1_->StripPicture(count + 1), CurrentPortfolio()->GetPicture(count));
}

} // namespace
