#include "output/Form1.h"
#include "output/MessageBox.h"
#include "platform/thread/Thread.h"

#include "tests/support/ModalDriver.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct BoxCase {
    const char* name;
    unsigned style;
    QMessageBox::StandardButton press;
    int expected;
    QMessageBox::Icon icon;
    std::vector<std::string> buttons;
};

class MessageBoxStyles : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxStyles, ShowsTheStyleAndAnswersWithTheButtonPressed)
{
    const BoxCase& c = GetParam();
    ModalDriver driver;
    driver.Press(c.press);
    const int answer = MessageBoxA(nullptr, "Are you sure?", "Delete Template...", c.style);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(answer, c.expected);
    ASSERT_EQ(driver.Seen().size(), 1u);
    const SeenModal& seen = driver.Seen()[0];
    EXPECT_EQ(seen.title, "Delete Template...");
    EXPECT_EQ(seen.text, "Are you sure?");
    EXPECT_EQ(seen.icon, c.icon);
    // The order of the buttons is the desktop's.
    EXPECT_THAT(seen.buttons, ::testing::UnorderedElementsAreArray(c.buttons));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MessageBoxStyles,
    ::testing::Values(
        BoxCase{"OkError", MB_OK | MB_ICONERROR, QMessageBox::Ok, IDOK, QMessageBox::Critical, {"OK"}},
        BoxCase{"OkWarning", MB_OK | MB_ICONWARNING, QMessageBox::Ok, IDOK, QMessageBox::Warning, {"OK"}},
        BoxCase{"OkInformation", MB_OK | MB_ICONINFORMATION, QMessageBox::Ok, IDOK, QMessageBox::Information, {"OK"}},
        BoxCase{"YesNoYes", MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes, IDYES, QMessageBox::Question, {"Yes", "No"}},
        BoxCase{"YesNoNo", MB_YESNO | MB_ICONQUESTION, QMessageBox::No, IDNO, QMessageBox::Question, {"Yes", "No"}},
        BoxCase{"OkCancelCancel", MB_OKCANCEL, QMessageBox::Cancel, IDCANCEL, QMessageBox::NoIcon, {"OK", "Cancel"}},
        BoxCase{"YesNoCancelCancel", MB_YESNOCANCEL | MB_ICONQUESTION, QMessageBox::Cancel, IDCANCEL,
                QMessageBox::Question, {"Yes", "No", "Cancel"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBox, AYesNoQuestionClosedWithoutAnAnswerIsNotYes)
{
    ModalDriver driver;
    driver.Reject();
    const int answer = MessageBoxA(nullptr, "Delete?", "Delete Template...", MB_YESNO | MB_ICONQUESTION);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_NE(answer, IDYES);
    EXPECT_NE(answer, IDNO);
}

TEST(MessageBox, WithoutOwnerTheBoxBelongsToTheMainWindow)
{
    QWidget main;
    RegisterForm1(&main);
    QWidget* parent = nullptr;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        parent = modal->parentWidget();
        static_cast<QMessageBox*>(modal)->accept();
    });
    MessageBoxA(nullptr, "Hello", "Caption", MB_OK);
    RegisterForm1(nullptr);
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_EQ(parent, &main);
}

class BoxThread : public TThread {
public:
    BoxThread() : TThread(true) {}
    std::atomic<int> answer{0};

protected:
    void Execute() override
    {
        answer = SyncMessageBox("Failed to send the e-mail.", "Oooops!", MB_YESNO | MB_ICONERROR);
    }
};

TEST(MessageBox, AWorkerAsksThroughTheMainThread)
{
    ModalDriver driver;
    bool onMain = false;
    driver.Then([&](QWidget* modal) {
        onMain = TThread::IsMainThread();
        static_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    BoxThread thread;
    thread.Start();
    thread.WaitFor();
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_TRUE(onMain);
    EXPECT_EQ(thread.answer.load(), IDNO);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].title, "Oooops!");
    EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Critical);
}

} // namespace
