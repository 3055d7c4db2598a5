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

// The preview's web engine holds the main thread while it starts: a start
// of the program, its window painted and the event loop idle, leaves it
// down for the first preview to bring up (the preview tests show that).
TEST_F(MainWindowTest, LeavesThePreviewsWebEngineToTheFirstPreview)
{
    const auto engineStarted = [] { return Form10 && Form10->findChild<QWebEngineProfile*>() != nullptr; };
    Options::Instance()->SetShowWelcome(false);
    Options::Instance()->SetCheckForUpdates(false);
    CreateForms({});
    ASSERT_NE(Form10, nullptr);
    Form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
    QTest::qWait(1000);
    EXPECT_FALSE(engineStarted());
    EXPECT_FALSE(Form10->BrowserStarted());
    DestroyForms();
}

} // namespace
