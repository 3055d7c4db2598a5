#include "app/WinMain.h"
#include "output/Form1.h"
#include "output/TForm10.h"

#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QWebEngineProfile>

namespace {

class MainWindowTest : public WindowTest {};

TEST_F(MainWindowTest, IsTheRegisteredMainWindowAndHoldsANewPortfolio)
{
    MakeForms();
    EXPECT_EQ(Form1, form1_.get());
    EXPECT_EQ(Form1Window(), form1_.get());
    Portfolio* first = Form1->GetPortfolio();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->IsModified());
    EXPECT_EQ(first->GetTemplate(), Library()->GetDefaultTemplate());
    EXPECT_EQ(form1_->windowTitle(), "Velmora Voravev 2.0");

    first->SetName("Ada");
    ModalDriver driver;
    driver.Press(QMessageBox::No);
    Form1->NewPortfolio();
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    ASSERT_NE(Form1->GetPortfolio(), nullptr);
    EXPECT_EQ(Form1->GetPortfolio()->GetName(true), "");
    EXPECT_FALSE(Form1->GetPortfolio()->IsModified());

    form6_.reset();
    Form6 = nullptr;
    form1_.reset();
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(Form1Window(), nullptr);
}

// The preview's web engine holds the main thread for most of a second while
// it starts: the program's window is painted first, and the engine comes up
// on its own afterwards, without anyone asking for a preview.
TEST_F(MainWindowTest, IsPaintedBeforeThePreviewsWebEngineStarts)
{
    const auto engineStarted = [] { return Form10 && Form10->findChild<QWebEngineProfile*>() != nullptr; };
    Options::Instance()->SetShowWelcome(false);
    Options::Instance()->SetCheckForUpdates(false);
    CreateForms({});
    ASSERT_NE(Form10, nullptr);
    EXPECT_FALSE(engineStarted());

    struct PaintWatch : QObject {
        std::function<bool()> started;
        bool painted = false;
        bool startedFirst = false;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && !painted) {
                painted = true;
                startedFirst = started();
            }
            return QObject::eventFilter(watched, event);
        }
    } watch;
    watch.started = engineStarted;
    Form1->installEventFilter(&watch);
    Form1->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.painted; }, 10000));
    EXPECT_FALSE(watch.startedFirst);
    EXPECT_TRUE(QTest::qWaitFor(engineStarted, 30000));
    Form1->removeEventFilter(&watch);
    DestroyForms();
}

} // namespace
