// The burn job and its dialog as the user meets them: real burns onto image
// files read back with xorriso, the real recorder scan, and the fake disc
// master for the failures a drive can give.
#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/Form1.h"
#include "platform/com/ComRuntime.h"
#include "platform/imapi/DiscMaster.h"
#include "services/BurnThread.h"
#include "services/TForm3.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/services/FakeDiscMaster.h"
#include "tests/platform/imapi/DiscImage.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowStacking.h"

namespace fs = std::filesystem;

namespace {

// Every text the status line was painted with, in order.
using Statuses = std::vector<std::string>;

class StatusWatcher : public QObject {
public:
    StatusWatcher(QLabel* label, Statuses* seen) : label_(label), seen_(seen)
    {
        if (seen_)
            label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const std::string text = label_->text().toStdString();
            if (seen_->empty() || seen_->back() != text)
                seen_->push_back(text);
        }
        return false;
    }

private:
    QLabel* label_;
    Statuses* seen_;
};

// What the driver saw of the box it answered.
struct BoxSeen {
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Shown windows that would cover the box, and whether it has the focus.
    std::vector<std::string> coveredBy;
    bool active = false;
    // The dialog at that moment.
    std::string status;
    bool dialogVisible = false;
    bool closeEnabled = true;
    int barMaximum = -1;
};

class BurnThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mainWindow.resize(400, 300);
        mainWindow.show();
        RegisterForm1(&mainWindow);
        ASSERT_EQ(RegisterDiscMasterClass(), S_OK);
        TemplateLibrary* library = TemplateLibrary::Instance();
        if (library->GetCount() == 0)
            library->Load();
        ASSERT_GT(library->GetCount(), 0);
    }
    void TearDown() override
    {
        RemovePseudoDrives();
        RegisterForm1(nullptr);
    }

    // A portfolio with an artist and one artwork.
    std::unique_ptr<Portfolio> MakePortfolio()
    {
        auto portfolio = std::make_unique<Portfolio>();
        portfolio->SetName("Alinta Marrow");
        const std::string image = sources / "Red Field.png";
        QImage pixels(64, 48, QImage::Format_RGB32);
        pixels.fill(QColor(200, 30, 30));
        EXPECT_TRUE(pixels.save(QString::fromStdString(image), "PNG"));
        auto picture = std::make_unique<Picture>(portfolio.get());
        EXPECT_TRUE(picture->LoadFromFile(image));
        picture->SetTitle("Red Field");
        portfolio->AddPicture(picture.release());
        return portfolio;
    }

    // Runs a job to its end; its one box, when one is expected, is answered
    // with OK.
    BoxSeen Run(Portfolio* portfolio, Statuses* statuses = nullptr, bool expectBox = true)
    {
        BoxSeen seen;
        ModalDriver driver;
        if (expectBox)
            driver.Then([&](QWidget* modal) {
                const SeenModal described = ModalDriver::Describe(modal);
                seen.title = described.title;
                seen.text = described.text;
                seen.icon = described.icon;
                seen.coveredBy = WindowsCovering(modal);
                seen.active = QApplication::activeWindow() == modal;
                seen.status = dialog.Label1->text().toStdString();
                seen.dialogVisible = dialog.isVisible();
                seen.closeEnabled = dialog.Button1->isEnabled();
                seen.barMaximum = dialog.BarMaximum();
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(described.buttons, std::vector<std::string>{"OK"});
                box->button(QMessageBox::Ok)->click();
            });
        StatusWatcher watcher(dialog.Label1, statuses);
        if (statuses) {
            // The status line paints at once only in a window already on the
            // screen; the offscreen one gets there through the event loop,
            // which the job's first statuses do not wait for.
            dialog.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        }
        BurnThread job(&dialog, portfolio, true);
        job.Start();
        job.WaitFor();
        EXPECT_EQ(job.FatalException(), nullptr) << "the job handles every failure itself";
        EXPECT_TRUE(driver.AllDone()) << driver.Report();
        return seen;
    }

    std::vector<std::string> GeneratorFolders() const
    {
        std::vector<std::string> left;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(temp.Working(), ec))
            if (entry.is_directory())
                left.push_back(entry.path().filename().string());
        return left;
    }

    TempRoot temp;
    TempDir sources;
    QWidget mainWindow;
    TForm3 dialog;
};

TEST_F(BurnThreadTest, BurnsThePortfolioOntoADisc)
{
    const std::string image = sources / "disc.iso";
    AddPseudoDrive(image);
    auto portfolio = MakePortfolio();
    Statuses statuses;
    Run(portfolio.get(), &statuses, false);
    // The dialog shows its own caption, three dots, until the job's first
    // status, four.
    EXPECT_EQ(statuses, (Statuses{"Please Wait...", "Please Wait....", "Generating Portfolio...",
                                "Burning Portfolio...", "Finished. Your Disk was created successfully."}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_GT(dialog.BarMaximum(), 0);
    EXPECT_EQ(dialog.BarPosition(), dialog.BarMaximum()) << "the bar ends at total of total";
    EXPECT_EQ(dialog.ProgressBar1->value(), dialog.ProgressBar1->maximum());
    EXPECT_TRUE(dialog.Button1->isEnabled());
    EXPECT_FALSE(mainWindow.isEnabled()) << "until the user closes the dialog";
    EXPECT_EQ(GeneratorFolders(), std::vector<std::string>{}) << "the generator's folder is gone";

    const std::string out = sources / "out";
    ASSERT_EQ(ExtractDiscImage(image, out), "");
    EXPECT_TRUE(fs::is_regular_file(fs::path(out) / "portfolio.html"));
    EXPECT_TRUE(fs::is_regular_file(fs::path(out) / "Data" / "000.html"));
    EXPECT_NE(ReadFileBytes(out + "/portfolio.html").find("Alinta Marrow"), std::string::npos);

    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(BurnThreadTest, AMachineWithoutBurnersIsToldSo)
{
    unsetenv("VELMORA_BURN_DRIVES");
    {
        // Only where the real scan finds no CD writer.
        CComPtr<IDiscMaster> master;
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_MSDiscMasterObj, nullptr, CLSCTX_ALL, IID_IDiscMaster,
                      reinterpret_cast<void**>(&master)),
            S_OK);
        master->Open();
        CComPtr<IEnumDiscRecorders> list;
        master->EnumDiscRecorders(&list);
        IDiscRecorder* found[1] = {};
        ULONG fetched = 0;
        list->Next(1, found, &fetched);
        if (fetched)
            found[0]->Release();
        master->Close();
        master.Reset();
        CoUninitialize();
        if (fetched)
            GTEST_SKIP() << "this machine has a CD writer";
    }
    auto portfolio = MakePortfolio();
    Statuses statuses;
    const BoxSeen box = Run(portfolio.get(), &statuses);
    EXPECT_EQ(box.title, "Oooops!");
    EXPECT_EQ(box.text, "No CD burners are present.");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.coveredBy, std::vector<std::string>{}) << "the user must see the box, not a stuck dialog";
    EXPECT_TRUE(box.active);
    // The window says what failed as well, not only that something did.
    EXPECT_EQ(box.status, "Error: No CD burners are present.");
    EXPECT_TRUE(box.dialogVisible);
    EXPECT_EQ(statuses, (Statuses{"Please Wait...", "Please Wait....", "Error: No CD burners are present."}));
    EXPECT_FALSE(dialog.isVisible()) << "the job hides its dialog after the box";
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(BurnThreadTest, ReportsWhatTheDriveSaysAndCleansUp)
{
    struct Case {
        const char* name;
        void (*script)(FakeScript&);
        const char* text;
        bool dialogShown;
    };
    const Case cases[] = {
        {"empty drive", [](FakeScript& s) { s.recorders = {{S_OK, 0, 0, ""}}; },
            "No disk in the drive. Please insert a blank CD.", true},
        {"disc master missing", [](FakeScript& s) { s.create = REGDB_E_CLASSNOTREG; },
            "The disc writer could not be started. An unknown IMAPI error (0x80040154) occurred.", false},
        {"full disc", [](FakeScript& s) {
             s.recorders.resize(1);
             s.record = IMAPI_E_DISCFULL;
         },
            "Writing the disc failed. The disc cannot hold any more data.", true},
    };
    auto portfolio = MakePortfolio();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDiscMasterClass fake;
        c.script(Fake());
        const BoxSeen box = Run(portfolio.get());
        EXPECT_EQ(box.title, "Oooops!");
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.dialogVisible, c.dialogShown) << "a burner that cannot be made leaves the dialog alone";
        EXPECT_EQ(box.coveredBy, std::vector<std::string>{}) << "the user must see the box, not a stuck dialog";
        EXPECT_TRUE(box.active);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(mainWindow.isEnabled());
        EXPECT_EQ(GeneratorFolders(), std::vector<std::string>{});
        EXPECT_EQ(Fake().liveObjects, 0);
    }
}

TEST_F(BurnThreadTest, APortfolioThatCannotBeGeneratedIsReported)
{
    FakeDiscMasterClass fake;
    Fake().recorders.resize(1);
    auto portfolio = MakePortfolio();
    portfolio->SetTemplate(nullptr);
    const BoxSeen box = Run(portfolio.get());
    EXPECT_EQ(box.text, "The portfolio has no template: choose one, then try again.");
    EXPECT_EQ(box.status, "Error: The portfolio has no template: choose one, then try again.");
    EXPECT_TRUE(Fake().records.empty()) << "nothing recorded";
    EXPECT_EQ(GeneratorFolders(), std::vector<std::string>{});
}

TEST_F(BurnThreadTest, ASecondBurnStartsWithAnEmptyBarAndCloseDisabled)
{
    FakeDiscMasterClass fake;
    Fake().recorders.resize(1);
    Fake().progress = {{5, 10}, {10, 10}};
    auto portfolio = MakePortfolio();
    Run(portfolio.get(), nullptr, false);
    ASSERT_TRUE(dialog.Button1->isEnabled());
    ASSERT_EQ(dialog.BarPosition(), 10);
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);

    Fake().recorders = {{S_OK, 0, 0, ""}}; // the next disc is missing
    const BoxSeen second = Run(portfolio.get());
    EXPECT_EQ(second.text, "No disk in the drive. Please insert a blank CD.");
    EXPECT_EQ(second.barMaximum, 0);
    EXPECT_FALSE(second.closeEnabled);
    EXPECT_EQ(dialog.ProgressBar1->value(), 0);
}

TEST_F(BurnThreadTest, DialogIgnoresEscapeAndTheWindowManagersClose)
{
    dialog.show();
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_EQ(dialog.windowTitle(), "Burning...");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    for (bool closeEnabled : {false, true}) {
        dialog.Button1->setEnabled(closeEnabled);
        dialog.close();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible()) << "Close enabled: " << closeEnabled;
    }
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

} // namespace
