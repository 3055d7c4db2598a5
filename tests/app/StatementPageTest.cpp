#include "app/TFrame2.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TempDir.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

namespace {

class StatementPageTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        MakeForms();
        form1_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form1_.get()));
        ASSERT_NE(Frame2, nullptr);
        title_ = Find<QLineEdit>("Edit1");
        text_ = Find<QPlainTextEdit>("Memo1");
        attach_ = Find<QCheckBox>("CheckBox1");
        file_ = Find<QToolButton>("ToolButton1");
    }

    template <class T>
    T* Find(const char* name)
    {
        T* widget = Frame2->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void ClickBox() { QTest::mouseClick(attach_, Qt::LeftButton, {}, QPoint(6, attach_->height() / 2)); }

    QLineEdit* title_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* attach_ = nullptr;
    QToolButton* file_ = nullptr;
};

TEST_F(StatementPageTest, IsTheMainWindowsPageAndShowingItWritesNothing)
{
    EXPECT_TRUE(Frame2->isVisible());
    EXPECT_EQ(Frame2->parentWidget(), form1_->findChild<QWidget*>("Panel2"));
    EXPECT_EQ(title_->text(), "Statement");

    Portfolio* portfolio = CurrentPortfolio();
    portfolio->SetStatementTitle("Salt & <Light>");
    portfolio->SetStatementText("Line one & more\r\n<two>\r\n\r\nfour \"quoted\"");
    portfolio->ClearModified();
    Form1->ShowSelectedPage();
    EXPECT_EQ(title_->text(), "Salt & <Light>");
    EXPECT_EQ(text_->toPlainText(), "Line one & more\n<two>\n\nfour \"quoted\"");
    EXPECT_FALSE(portfolio->IsModified());
    EXPECT_EQ(portfolio->GetStatementText(true), "Line one & more\r\n<two>\r\n\r\nfour \"quoted\"");

    // A new portfolio refills the page.
    Form1->NewPortfolio();
    EXPECT_EQ(title_->text(), "Statement");
    EXPECT_EQ(text_->toPlainText(), "");
    EXPECT_FALSE(CurrentPortfolio()->IsModified());
}

TEST_F(StatementPageTest, WhatIsTypedIsInThePortfolioAtOnce)
{
    title_->selectAll();
    QTest::keyClicks(title_, "Why I paint");
    EXPECT_EQ(CurrentPortfolio()->GetStatementTitle(true), "Why I paint");
    EXPECT_TRUE(CurrentPortfolio()->IsModified());

    QTest::keyClicks(text_, "Colour & line");
    QTest::keyClick(text_, Qt::Key_Return);
    QTest::keyClicks(text_, "<light>");
    EXPECT_EQ(CurrentPortfolio()->GetStatementText(false), "Colour &amp; line&break;&lt;light&gt;");
}

TEST_F(StatementPageTest, TheBoxEnablesTheFileButtonAndUntickingKeepsTheFile)
{
    TempDir files;
    const std::string essay = files.Write("essay.doc", "essay bytes");
    EXPECT_EQ(file_->text(), "Click to attach a file...");
    EXPECT_FALSE(file_->isEnabled());

    ClickBox();
    EXPECT_TRUE(CurrentPortfolio()->GetUseStatementFile());
    ASSERT_TRUE(file_->isEnabled());

    ModalDriver driver;
    driver.ChooseFile(QString::fromStdString(essay));
    QTest::mouseClick(file_, Qt::LeftButton);
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen().at(0).title, "Please select a statement file...");
    EXPECT_EQ(file_->text(), "essay.doc");
    EXPECT_EQ(CurrentPortfolio()->GetStatementFile(), essay);
    EXPECT_EQ(CurrentPortfolio()->GetStatementData()->GetSize(), 11);

    ClickBox();
    EXPECT_FALSE(CurrentPortfolio()->GetUseStatementFile());
    EXPECT_FALSE(file_->isEnabled());
    EXPECT_EQ(file_->text(), "essay.doc");
    EXPECT_EQ(CurrentPortfolio()->GetStatementFile(), essay);
    EXPECT_EQ(CurrentPortfolio()->GetStatementData()->GetSize(), 11);
}

} // namespace
