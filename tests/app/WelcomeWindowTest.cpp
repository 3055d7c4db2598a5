#include "app/TForm11.h"

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/Form1.h"
#include "tests/app/SingleInstanceTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>

namespace {

class WelcomeWindowTest : public PrivateSettingsWindowTest {
protected:
    void TearDown() override
    {
        welcome_.reset();
        PrivateSettingsWindowTest::TearDown();
    }

    TForm11* ShowWelcome()
    {
        welcome_ = std::make_unique<TForm11>();
        welcome_->show();
        return welcome_.get();
    }

    template <class T>
    T* Find(const char* name)
    {
        T* widget = welcome_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    static void SetRecentFiles(const std::string (&paths)[4])
    {
        Options* options = Options::Instance();
        options->SetRecentFile0(paths[0]);
        options->SetRecentFile1(paths[1]);
        options->SetRecentFile2(paths[2]);
        options->SetRecentFile3(paths[3]);
    }

    std::unique_ptr<TForm11> welcome_;
};

TEST_F(WelcomeWindowTest, AStartWithoutArgumentsShowsItWhileTheSettingIsOn)
{
    TempDir files;
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::green);
    const std::string picture = files / "green.png";
    ASSERT_TRUE(image.save(QString::fromStdString(picture)));
    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        bool setting;
        bool shown;
    } const rows[] = {
        {"no arguments, setting on", {}, true, true},
        {"no arguments, setting off", {}, false, false},
        {"a picture file, setting on", {picture}, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form1_.reset();
        Options::Instance()->SetShowWelcome(row.setting);
        form1_ = std::make_unique<TForm1>(row.arguments);
        TForm11* welcome = form1_->WelcomeWindow();
        EXPECT_EQ(welcome != nullptr && welcome->isVisible(), row.shown);
        EXPECT_EQ(form1_->isEnabled(), !row.shown);
        if (welcome) {
            // It takes clicks although it holds the main window disabled,
            // and closing it frees the main window.
            EXPECT_TRUE(welcome->isEnabled());
            QTest::mouseClick(welcome->findChild<QPushButton*>("Button1"), Qt::LeftButton);
            EXPECT_FALSE(welcome->isVisible());
            EXPECT_TRUE(form1_->isEnabled());
        }
    }
}

TEST_F(WelcomeWindowTest, RecentLabelsShowTheFileNamesOfTheRecentPortfolios)
{
    SetRecentFiles({"/home/ada/Portfolios/Spring Show.pfo", "", "/srv/art/<b>Sketches & Notes<i>.pfo",
                    "Loose.pfo"});
    ShowWelcome();
    struct Row {
        const char* label;
        bool visible;
        QString caption;
        QString tooltip;
    } const rows[] = {
        {"Label5", true, "Spring Show.pfo", "/home/ada/Portfolios/Spring Show.pfo"},
        {"Label6", false, "", ""},
        // Shown as typed, never as markup.
        {"Label7", true, "<b>Sketches & Notes<i>.pfo", "/srv/art/<b>Sketches & Notes<i>.pfo"},
        {"Label8", true, "Loose.pfo", "Loose.pfo"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        QLabel* label = Find<QLabel>(row.label);
        EXPECT_EQ(label->isVisible(), row.visible);
        EXPECT_EQ(label->text(), row.caption);
        EXPECT_EQ(label->toolTip(), row.tooltip);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

TEST_F(WelcomeWindowTest, TheFirstRecentEntryIsNeverEmpty)
{
    SetRecentFiles({"", "", "", ""});
    ShowWelcome();
    QLabel* first = Find<QLabel>("Label5");
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->text().toStdString(), Options::SampleFileName);
    EXPECT_EQ(first->toolTip().toStdString(), Options::Instance()->GetRecentFile0());
    for (const char* name : {"Label6", "Label7", "Label8"})
        EXPECT_FALSE(Find<QLabel>(name)->isVisible()) << name;
}

TEST_F(WelcomeWindowTest, TheSamplePortfolioOfAFreshStartOpens)
{
    // Where the build places it beside the program, as an installer does.
    SetRecentFiles({"", "", "", ""});
    const std::string sample = Options::Instance()->GetRecentFile0();
    ASSERT_TRUE(std::filesystem::is_regular_file(sample)) << sample;
    ShowWelcome();
    ModalDriver driver;  // no window may come: the file opens
    QTest::mouseClick(Find<QLabel>("Label5"), Qt::LeftButton);
    EXPECT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(driver.Seen().empty());
    EXPECT_FALSE(welcome_->isVisible());

    Portfolio* opened = CurrentPortfolio();
    EXPECT_EQ(form1_->windowTitle().toStdString(), std::string("Velmora Voravev 2.0 - ") + Options::SampleFileName);
    EXPECT_NE(opened->GetName(true), "");
    EXPECT_NE(opened->GetStatementText(true), "");
    ASSERT_GE(opened->GetPictureCount(), 3);
    ASSERT_LE(opened->GetPictureCount(), 4);
    for (int i = 0; i < opened->GetPictureCount(); ++i) {
        SCOPED_TRACE(i);
        const Picture* artwork = opened->GetPicture(i);
        EXPECT_NE(artwork->GetTitle(true), "");
        ASSERT_NE(artwork->GetBitmap(), nullptr);
        EXPECT_GT(artwork->GetBitmap()->GetWidth(), 100);
    }
    EXPECT_NE(opened->GetTemplate(), nullptr);
    EXPECT_EQ(Options::Instance()->GetRecentFile0(), sample);
}

TEST_F(WelcomeWindowTest, TheSampleOpensAsTheUsersOwnCopyAndIsNeverWritten)
{
    SetRecentFiles({"", "", "", ""});
    const std::string sample = Options::Instance()->GetRecentFile0();
    const std::string shipped = ReadFileBytes(sample);
    ASSERT_FALSE(shipped.empty()) << sample;
    ShowWelcome();
    QTest::mouseClick(Find<QLabel>("Label5"), Qt::LeftButton);
    ASSERT_FALSE(welcome_->isVisible());
    ASSERT_GE(CurrentPortfolio()->GetPictureCount(), 3);
    CurrentPortfolio()->SetName("Mine now");

    // Save asks where, as for a new portfolio, and the copy goes there.
    TempDir files;
    const std::string mine = files / "mine.pfo";
    {
        ModalDriver driver;
        driver.ChooseFile(QString::fromStdString(mine));
        form1_->findChild<QAction*>("Save1")->trigger();
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].className, "QFileDialog");
    }
    EXPECT_EQ(ReadFileBytes(sample), shipped);
    ASSERT_TRUE(std::filesystem::is_regular_file(mine));
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), mine);
    EXPECT_EQ(form1_->windowTitle().toStdString(), "Velmora Voravev 2.0 - mine.pfo");

    // The copy opens with what the user changed; the sample is as shipped.
    Portfolio copy;
    copy.SetFileName(mine);
    ASSERT_TRUE(copy.Load());
    EXPECT_EQ(copy.GetName(false), "Mine now");
    EXPECT_EQ(copy.GetPictureCount(), CurrentPortfolio()->GetPictureCount());

    // Opened again through the recent list, it is still a copy.
    form1_->findChild<QAction*>("MRUFile11")->trigger();
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");
    EXPECT_NE(CurrentPortfolio()->GetName(false), "Mine now");
}

TEST_F(WelcomeWindowTest, TheCheckBoxStoresTheSettingAtOnce)
{
    Options::Instance()->SetShowWelcome(true);
    ShowWelcome();
    QCheckBox* box = Find<QCheckBox>("CheckBox1");
    ASSERT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton);
    welcome_.reset();
    // A fresh settings object reads what was stored.
    Options::FreeInstance();
    EXPECT_FALSE(Options::Instance()->GetShowWelcome());

    ShowWelcome();
    box = Find<QCheckBox>("CheckBox1");
    EXPECT_FALSE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton);
    welcome_.reset();
    Options::FreeInstance();
    EXPECT_TRUE(Options::Instance()->GetShowWelcome());
}

TEST_F(WelcomeWindowTest, StartingANewPortfolioHidesTheWindowAndFreesTheMainWindow)
{
    // A file name marks the portfolio without making it modified.
    CurrentPortfolio()->SetFileName("/home/ada/first.pfo");
    ShowWelcome();
    EXPECT_FALSE(form1_->isEnabled());
    QTest::mouseClick(Find<QLabel>("Label2"), Qt::LeftButton);
    EXPECT_FALSE(welcome_->isVisible());
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");

    // The picture beside it does the same.
    CurrentPortfolio()->SetFileName("/home/ada/second.pfo");
    welcome_->show();
    EXPECT_FALSE(form1_->isEnabled());
    QTest::mouseClick(Find<QLabel>("Image1"), Qt::LeftButton);
    EXPECT_FALSE(welcome_->isVisible());
    EXPECT_TRUE(form1_->isEnabled());
    EXPECT_EQ(CurrentPortfolio()->GetFileName(false), "");
}

TEST_F(WelcomeWindowTest, TheMainWindowIsEnabledOnlyWhenEveryHolderLetsGo)
{
    int progressWindow = 0;
    for (const bool welcomeFirst : {true, false}) {
        SCOPED_TRACE(welcomeFirst ? "welcome lets go first" : "other lets go first");
        ShowWelcome();
        DisableForm1By(&progressWindow);
        EXPECT_FALSE(form1_->isEnabled());
        if (welcomeFirst) {
            QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
            EXPECT_FALSE(welcome_->isVisible());
            EXPECT_FALSE(form1_->isEnabled());
            EnableForm1By(&progressWindow);
        } else {
            EnableForm1By(&progressWindow);
            EXPECT_FALSE(form1_->isEnabled());
            QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
        }
        EXPECT_TRUE(form1_->isEnabled());
    }
    // Destroyed while shown, it lets go too.
    ShowWelcome();
    EXPECT_FALSE(form1_->isEnabled());
    welcome_.reset();
    EXPECT_TRUE(form1_->isEnabled());
}

} // namespace
