#include "app/EmailImageList.h"
#include "output/ModalResult.h"
#include "tests/app/AccountTestSupport.h"
#include "tests/support/ModalDriver.h"

#include <QDialog>
#include <QPushButton>

namespace {

using AccountListTest = AccountWindowTest;

TEST_F(AccountListTest, ShowsTheNewestAccountFirstAndTheAddEntryLastWithTheirIcons)
{
    Add("a@example.org");
    Add("b@gmail.com");
    Add("c@example.org");
    ShowFrame(true);
    const std::vector<std::string> expected = {"c@example.org", "b@gmail.com", "a@example.org", MailClientName(),
                                               "Add a New Account..."};
    EXPECT_EQ(Captions(), expected);
    const std::vector<int> kinds = {1, 2, 1, 1, 0};
    for (size_t i = 0; i < kinds.size(); ++i)
        EXPECT_EQ(frame_->ButtonGroup1->At(static_cast<int>(i))->ImageIndex, kinds[i]) << expected[i];

    // Every entry is a full-width button of 48 pixels, stacked without gaps.
    const QRect first = frame_->ButtonGroup1->ItemRect(0);
    EXPECT_EQ(first.height(), 48);
    EXPECT_EQ(first.width(), frame_->ButtonGroup1->viewport()->width());
    EXPECT_EQ(frame_->ButtonGroup1->ItemRect(1).top(), first.bottom() + 1);

    // The icon is drawn: the button's left part holds the kind's picture.
    const QImage shown = frame_->ButtonGroup1->Button(1)->grab().toImage();
    const QImage icon = EmailImageList().at(2).toImage().convertToFormat(QImage::Format_ARGB32);
    const QPoint at(8, (48 - icon.height()) / 2);
    const QRgb centre = icon.pixel(icon.width() / 2, 10);  // an opaque pixel of the envelope's edge
    ASSERT_EQ(qAlpha(centre), 255);
    EXPECT_EQ(shown.pixel(at + QPoint(icon.width() / 2, 10)) & 0xFFFFFF, centre & 0xFFFFFF);
}

TEST_F(AccountListTest, ContextMenuOpensOnlyOverAnAccountAndShowsWhatItMayDo)
{
    Emailer* mine = Add("me@example.org");
    Add("other@example.org");
    Factory()->SetDefault(mine, true);
    ShowFrame(true);

    struct Row {
        std::string what;
        std::function<void()> click;
        bool menu;
        bool editable;
        bool checked;
        std::string name;
    } rows[] = {
        {"add entry", [&] { RightClickEntry("Add a New Account..."); }, false, false, false, ""},
        {"empty space below the entries",
         [&] {
             const QRect last = frame_->ButtonGroup1->ItemRect(frame_->ButtonGroup1->Count() - 1);
             RightClickAt(QPoint(last.center().x(), last.bottom() + 20));
         },
         false, false, false, ""},
        {"mail client", [&] { RightClickEntry(MailClientName()); }, true, false, false, MailClientName()},
        {"default account", [&] { RightClickEntry("me@example.org"); }, true, true, true, "me@example.org"},
        {"other account", [&] { RightClickEntry("other@example.org"); }, true, true, false, "other@example.org"},
    };
    ASSERT_LT(frame_->ButtonGroup1->ItemRect(frame_->ButtonGroup1->Count() - 1).bottom() + 20,
              frame_->ButtonGroup1->viewport()->height());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        frame_->PopupMenu1->hide();
        row.click();
        ASSERT_EQ(MenuShown(), row.menu);
        if (!row.menu)
            continue;
        EXPECT_EQ(MenuItem("EditAccount1")->text().toStdString(), "Edit " + row.name);
        EXPECT_EQ(MenuItem("DeleteAccount1")->text().toStdString(), "Delete " + row.name);
        EXPECT_EQ(MenuItem("EditAccount1")->isEnabled(), row.editable);
        EXPECT_EQ(MenuItem("DeleteAccount1")->isEnabled(), row.editable);
        EXPECT_TRUE(MenuItem("hisismyDefaultAccount1")->isEnabled());
        EXPECT_EQ(MenuItem("hisismyDefaultAccount1")->isChecked(), row.checked);
    }
    frame_->PopupMenu1->hide();
}

TEST_F(AccountListTest, MyDefaultAccountMakesTheOnlyDefaultOrClearsItAndIsSavedAtOnce)
{
    Emailer* first = Add("first@example.org");
    Add("second@example.org");
    Factory()->SetDefault(first, true);
    first->Save();
    ShowFrame(true);

    RightClickEntry("second@example.org");
    ChooseMenuItem("hisismyDefaultAccount1");
    EXPECT_EQ(Factory()->GetDefault(), Factory()->FindAccount("second@example.org"));
    EXPECT_EQ(Stored("second@example.org", "IsDefault"), "1");
    EXPECT_EQ(Stored("first@example.org", "IsDefault"), "0");

    // On the default account the item is checked and clears the default.
    RightClickEntry("second@example.org");
    ASSERT_TRUE(MenuItem("hisismyDefaultAccount1")->isChecked());
    ChooseMenuItem("hisismyDefaultAccount1");
    EXPECT_FALSE(Factory()->HasDefault());
    EXPECT_EQ(Stored("second@example.org", "IsDefault"), "0");
    EXPECT_EQ(Stored("first@example.org", "IsDefault"), "0");
    // The list itself does not change.
    EXPECT_EQ(Captions().front(), "second@example.org");
}

TEST_F(AccountListTest, DeleteAsksAndRemovesTheAccountOnlyOnYes)
{
    Add("keep@example.org");
    Add("gone@example.org");
    ShowFrame(true);
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "yes" : "no");
        ModalDriver driver;
        driver.Press(answer);
        RightClickEntry("gone@example.org");
        ChooseMenuItem("DeleteAccount1");
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].title, "Delete Account - gone@example.org");
        EXPECT_EQ(driver.Seen()[0].text, "Are you sure you want to delete this account?");
        EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Question);
        const bool deleted = answer == QMessageBox::Yes;
        EXPECT_EQ(Factory()->FindAccount("gone@example.org") == nullptr, deleted);
        EXPECT_EQ(SectionExists("gone@example.org"), !deleted);
        EXPECT_EQ(Captions().front(), deleted ? "keep@example.org" : "gone@example.org");
    }
    EXPECT_TRUE(SectionExists("keep@example.org"));
}

TEST_F(AccountListTest, ManageModeClicksEditAnAccountButRefuseTheMailClient)
{
    Add("me@example.org", "old");
    ShowFrame(true);

    ModalDriver refused;
    refused.Press(QMessageBox::Ok);
    ClickEntry(MailClientName());
    ASSERT_TRUE(refused.WaitAllDone()) << refused.Report();
    ASSERT_EQ(refused.Seen().size(), 1u);
    EXPECT_EQ(refused.Seen()[0].text, "Please use " + MailClientName() + " to edit this account");
    EXPECT_EQ(refused.Seen()[0].title, "Unable To Edit");
    EXPECT_EQ(refused.Seen()[0].icon, QMessageBox::Information);

    ModalDriver edit;
    edit.Then([](QWidget* modal) {
        ASSERT_EQ(modal, Form17);
        auto* password = modal->findChild<QLineEdit*>("Edit2");
        EXPECT_EQ(password->text(), "old");
        password->selectAll();
        QTest::keyClicks(password, "new one");
        QTest::mouseClick(modal->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    ClickEntry("me@example.org");
    ASSERT_TRUE(edit.WaitAllDone()) << edit.Report();
    EXPECT_EQ(edit.Seen()[0].title, "Edit E-Mail Account - me@example.org");
    EXPECT_EQ(Factory()->FindAccount("me@example.org")->GetPassword(), "new one");
    EXPECT_EQ(Emailer::UnscramblePassword(Stored("me@example.org", "Password")), "new one");
}

TEST_F(AccountListTest, AddEntryAddsTheAccountToTheTopOfTheList)
{
    Add("old@example.org");
    ShowFrame(true);
    ModalDriver driver;
    driver.Then([](QWidget* modal) {
        QTest::keyClicks(modal->findChild<QLineEdit*>("Edit1"), "new@example.org");
        QTest::keyClicks(modal->findChild<QLineEdit*>("Edit2"), "pw");
        QTest::mouseClick(modal->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    driver.Press(QMessageBox::No);  // not the default
    ClickEntry("Add a New Account...");
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(Captions().front(), "new@example.org");
    EXPECT_EQ(Captions().back(), "Add a New Account...");
}

// The e-mail wizard as a send-mode list sees it.
class RecordingWizard : public IEmailWizard {
public:
    void SelectAccount(Emailer* account) override
    {
        calls.push_back("select " + account->GetDisplayName());
    }
    bool SendNow() override
    {
        calls.push_back(std::string("send, wizard ") + (window.isVisible() ? "shown" : "hidden"));
        return sendWorks;
    }
    void FillComposePage() override { calls.push_back("compose"); }
    QDialog* WizardWindow() override { return &window; }

    QDialog window;
    bool sendWorks = true;
    std::vector<std::string> calls;
};

TEST_F(AccountListTest, SendModeHandsTheChosenAccountToTheWizard)
{
    Add("me@example.org");
    RecordingWizard wizard;
    ShowFrame(false, &wizard);
    const std::string client = MailClientName();

    struct Row {
        std::string entry;
        bool sendWorks;
        std::vector<std::string> calls;
        bool shownAfter;
        int result;
    } rows[] = {
        {"me@example.org", true, {"select me@example.org", "compose"}, true, 0},
        {client, true, {"select " + client, "send, wizard hidden"}, false, mrOk},
        {client, false, {"select " + client, "send, wizard hidden"}, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry + (row.sendWorks ? " sent" : " failed"));
        wizard.calls.clear();
        wizard.sendWorks = row.sendWorks;
        wizard.window.setResult(0);
        wizard.window.show();
        ClickEntry(row.entry);
        EXPECT_EQ(wizard.calls, row.calls);
        EXPECT_EQ(wizard.window.isVisible(), row.shownAfter);
        EXPECT_EQ(wizard.window.result(), row.result);
    }
}

} // namespace
