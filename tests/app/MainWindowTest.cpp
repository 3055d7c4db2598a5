#include "output/Form1.h"

#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"

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

} // namespace
