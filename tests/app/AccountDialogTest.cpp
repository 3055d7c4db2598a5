#include "app/EmailImageList.h"
#include "output/ModalResult.h"
#include "output/TForm15.h"
#include "services/ProviderPresets.h"
#include "tests/app/AccountTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/SmtpTestServer.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

const char kLoginFailed[] =
    "Authentication failed, please check your username, password and the secure connection type.";

class AccountDialogTest : public AccountWindowTest {
protected:
    // Runs ShowAdd (or ShowEdit of name) with the step answering the dialog.
    int RunDialog(ModalDriver& driver, const std::string& editName = "")
    {
        const int result = editName.empty() ? Form17->ShowAdd() : Form17->ShowEdit(editName);
        EXPECT_TRUE(driver.WaitAllDone()) << driver.Report();
        return result;
    }

    static QLineEdit* Edit(QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); }
    static void Type(QWidget* dialog, const char* name, const QString& text)
    {
        QLineEdit* edit = Edit(dialog, name);
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
    }
    static void Click(QWidget* dialog, const char* name)
    {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(name), Qt::LeftButton);
    }
    static void OpenAdvanced(QWidget* dialog)
    {
        auto* button = dialog->findChild<QPushButton*>("Button4");
        if (button->text() == "Advanced >>")
            QTest::mouseClick(button, Qt::LeftButton);
    }

    std::string HiveBytes() { return ReadFileBytes(HivePath()); }
};

bool SameImage(const QPixmap& a, const QPixmap& b)
{
    return !a.isNull() && a.toImage().convertToFormat(QImage::Format_ARGB32) ==
                              b.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(AccountDialogTest, TypingAnAddressShowsItsProvidersIconAndCaption)
{
    struct Row {
        QString typed;
        std::string caption;
        int icon;
        bool canAdd;
    } rows[] = {
        {"", "Add E-Mail Account", 1, false},
        {"me.example.org", "Add E-Mail Account", 1, false},
        {"me@example", "Add E-Mail Account", 1, false},
        {"me@example.org", "Add E-Mail Account", 1, true},
        {"Me@GMail.com", "Add GMail Account", 2, true},
        {"me@yahoo.co.uk", "Add Yahoo Account", 3, true},
        {"me@aol.com", "Add AOL Account", 4, true},
        {"me@hotmail.com", "Add Live Account", 5, true},
        {"me@aim.com", "Add AIM Account", 6, true},
        {"me@mail.com", std::string("Add ") + MailCom::TypeName() + " Account", 7, true},
    };
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.typed.toStdString());
            Type(modal, "Edit1", row.typed);
            EXPECT_EQ(modal->windowTitle().toStdString(), row.caption);
            EXPECT_TRUE(SameImage(modal->findChild<QLabel*>("Image1")->pixmap(), EmailImageList().at(row.icon)));
            EXPECT_EQ(modal->findChild<QPushButton*>("Button2")->isEnabled(), row.canAdd);
        }
        Click(modal, "Button1");
    });
    EXPECT_EQ(RunDialog(driver), mrCancel);
    EXPECT_EQ(Factory()->Count(), 1);  // the mail client's only
}

TEST_F(AccountDialogTest, DefaultFieldsAreGreyItalicTextUntilTheUserTypes)
{
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        OpenAdvanced(modal);
        for (const char* name : {"Edit3", "Edit4", "Edit5"}) {
            SCOPED_TRACE(name);
            QLineEdit* edit = Edit(modal, name);
            EXPECT_EQ(edit->text(), "Default...");
            EXPECT_TRUE(edit->placeholderText().isEmpty());
            EXPECT_TRUE(edit->font().italic());
            EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0xC0, 0xC0, 0xC0));
            Type(modal, name, "x");
            EXPECT_FALSE(edit->font().italic());
            EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
        }
        for (const char* name : {"RadioButton1", "RadioButton2", "RadioButton3"})
            EXPECT_FALSE(modal->findChild<QRadioButton*>(name)->isChecked()) << name;
        Click(modal, "Button1");
    });
    RunDialog(driver);
}

TEST_F(AccountDialogTest, AddingWithDefaultsKeepsThePresetAndOffersTheFirstAccountAsDefault)
{
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        Type(modal, "Edit1", "Me@GMail.com");
        Type(modal, "Edit2", "pw");
        Click(modal, "Button2");
    });
    driver.Press(QMessageBox::Yes);
    EXPECT_EQ(RunDialog(driver), mrOk);
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].title, "Set as the default E-Mail account?");
    EXPECT_EQ(driver.Seen()[1].text,
              "Would you like to set the account 'me@gmail.com' as the default E-Mail account to use in future? "
              "You can always change this setting at a later stage in the Options.");
    EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Question);

    auto* account = dynamic_cast<SMTP*>(Factory()->FindAccount("me@gmail.com"));
    ASSERT_NE(account, nullptr);
    GMail preset;
    EXPECT_EQ(account->GetTypeName(), "GMail");
    EXPECT_EQ(account->GetServerName(), preset.GetServerName());
    EXPECT_EQ(account->GetServerPort(), preset.GetServerPort());
    EXPECT_EQ(account->GetSecurityType(), preset.GetSecurityType());
    EXPECT_EQ(account->GetUserName(), "me@gmail.com");
    EXPECT_TRUE(account->GetIsDefault());
    EXPECT_EQ(Stored("me@gmail.com", "IsDefault"), "1");
    EXPECT_EQ(Stored("me@gmail.com", "ServerName"), preset.GetServerName());

    // With a default in place the next account is added without the question.
    ModalDriver second;
    second.Then([&](QWidget* modal) {
        Type(modal, "Edit1", "me@example.org");
        Type(modal, "Edit2", "pw");
        Click(modal, "Button2");
    });
    EXPECT_EQ(RunDialog(second), mrOk);
    EXPECT_EQ(second.Seen().size(), 1u);
    EXPECT_FALSE(Factory()->FindAccount("me@example.org")->GetIsDefault());
}

TEST_F(AccountDialogTest, AnAddressThatHasAnAccountIsRefusedAndTheDialogKeepsWhatWasTyped)
{
    Add("me@example.org", "original");
    const std::string before = HiveBytes();
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        Type(modal, "Edit1", "ME@example.org");
        Type(modal, "Edit2", "typed");
        Click(modal, "Button2");
        // Still open, with what the user typed.
        EXPECT_TRUE(modal->isVisible());
        EXPECT_EQ(Edit(modal, "Edit1")->text(), "ME@example.org");
        EXPECT_EQ(Edit(modal, "Edit2")->text(), "typed");
        Click(modal, "Button1");
    });
    driver.Press(QMessageBox::Ok);
    // The box comes while the first step waits in it, so the step ends after it.
    EXPECT_EQ(RunDialog(driver), mrCancel);
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].text, "An account with this E-Mail address already exists.");
    EXPECT_EQ(driver.Seen()[1].title, "Oooops!");
    EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Critical);
    EXPECT_EQ(Factory()->FindAccount("me@example.org")->GetPassword(), "original");
    EXPECT_EQ(HiveBytes(), before);
}

TEST_F(AccountDialogTest, PortFieldTakesOnlyWholeNumbersFrom1To65535AndAChosenSecurityApplies)
{
    const int presetPort = GMail().GetServerPort();
    struct Row {
        QString port;
        const char* security;  // radio button to click, or null
        int storedPort;
        int storedSecurity;
    } rows[] = {
        {"", nullptr, presetPort, 1},   {"x", nullptr, presetPort, 1},    {"0", nullptr, presetPort, 1},
        {"25", nullptr, 25, 1},         {"65536", nullptr, presetPort, 1}, {"65535", nullptr, 65535, 1},
        {"-25", nullptr, presetPort, 1}, {"465", "RadioButton1", 465, 0},  {"Default...", "RadioButton3", presetPort, 2},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.port.toStdString());
        const std::string address = "user" + std::to_string(++n) + "@gmail.com";
        ModalDriver driver;
        driver.Then([&](QWidget* modal) {
            OpenAdvanced(modal);
            Type(modal, "Edit1", QString::fromStdString(address));
            Type(modal, "Edit2", "pw");
            if (row.port != "Default...")
                Type(modal, "Edit5", row.port);
            if (row.security)
                Click(modal, row.security);
            Click(modal, "Button2");
        });
        driver.Press(QMessageBox::No);  // the default question of the first account
        Form17->ShowAdd();
        driver.WaitAllDone();
        auto* account = dynamic_cast<SMTP*>(Factory()->FindAccount(address));
        ASSERT_NE(account, nullptr);
        EXPECT_EQ(account->GetServerPort(), row.storedPort);
        EXPECT_EQ(account->GetSecurityType(), row.storedSecurity);
    }
}

TEST_F(AccountDialogTest, EditShowsTheAccountAndSavesTheChanges)
{
    auto* account = dynamic_cast<SMTP*>(Add("me@example.org", "old"));
    account->SetServerName("smtp.example.org");
    account->SetServerPort(2525);
    account->SetSecurityType(2);
    account->Save();

    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        OpenAdvanced(modal);
        EXPECT_EQ(modal->windowTitle(), "Edit E-Mail Account - me@example.org");
        EXPECT_FALSE(Edit(modal, "Edit1")->isEnabled());
        EXPECT_EQ(Edit(modal, "Edit2")->text(), "old");
        EXPECT_EQ(Edit(modal, "Edit3")->text(), "me@example.org");
        EXPECT_EQ(Edit(modal, "Edit4")->text(), "smtp.example.org");
        EXPECT_EQ(Edit(modal, "Edit5")->text(), "2525");
        EXPECT_TRUE(modal->findChild<QRadioButton*>("RadioButton3")->isChecked());
        EXPECT_EQ(modal->findChild<QPushButton*>("Button2")->text(), "&Update");
        Type(modal, "Edit2", "new");
        Type(modal, "Edit3", "login");
        Type(modal, "Edit4", "relay.example.org");
        Type(modal, "Edit5", "587");
        Click(modal, "RadioButton2");
        Click(modal, "Button2");
    });
    EXPECT_EQ(RunDialog(driver, "me@example.org"), mrOk);
    EXPECT_EQ(Stored("me@example.org", "UserName"), "login");
    EXPECT_EQ(Stored("me@example.org", "ServerName"), "relay.example.org");
    EXPECT_EQ(Emailer::UnscramblePassword(Stored("me@example.org", "Password")), "new");
    EXPECT_EQ(account->GetServerPort(), 587);
    EXPECT_EQ(account->GetSecurityType(), 1);
}

TEST_F(AccountDialogTest, EditingAnAccountThatWentMeanwhileSaysSoAndDoesNotBringItBack)
{
    Add("me@example.org");
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        ASSERT_TRUE(Factory()->DeleteAccount("me@example.org"));
        Type(modal, "Edit2", "new");
        Click(modal, "Button2");
    });
    driver.Press(QMessageBox::Ok);
    EXPECT_EQ(RunDialog(driver, "me@example.org"), mrCancel);
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].text, "The account 'me@example.org' no longer exists.");
    EXPECT_EQ(driver.Seen()[1].title, "Oooops!");
    EXPECT_FALSE(SectionExists("me@example.org"));
}

class AccountDialogSmtpTest : public AccountDialogTest {};

TEST_F(AccountDialogSmtpTest, TestLogsInWithTheTypedValuesShowsThemAndLeavesTheRegistryAlone)
{
    // The server's login is the full address, as "Default..." gives it.
    SmtpTestServer server("auth", nullptr, {"--user", "me@example.org", "--password", "right pw"});
    Add("other@example.org");
    const std::string before = HiveBytes();

    struct Row {
        const char* password;
        std::string title, text;
        QMessageBox::Icon icon;
    } rows[] = {
        {"right pw", "Test Success", "Success! The account details appear to be correct.", QMessageBox::Information},
        {"wrong pw", "Test Failed", kLoginFailed, QMessageBox::Critical},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.password);
        ModalDriver driver;
        driver.Then([&](QWidget* modal) {
            OpenAdvanced(modal);
            Type(modal, "Edit1", "me@example.org");
            Type(modal, "Edit2", row.password);
            Type(modal, "Edit4", "127.0.0.1");
            Type(modal, "Edit5", QString::number(server.Port()));
            Click(modal, "Button3");
            // The values the test used replace the defaults.
            EXPECT_EQ(Edit(modal, "Edit3")->text(), "me@example.org");
            EXPECT_FALSE(Edit(modal, "Edit3")->font().italic());
            EXPECT_EQ(Edit(modal, "Edit4")->text(), "127.0.0.1");
            EXPECT_EQ(Edit(modal, "Edit5")->text(), QString::number(server.Port()));
            EXPECT_TRUE(modal->findChild<QRadioButton*>("RadioButton1")->isChecked());
            Click(modal, "Button1");
        });
        driver.Press(QMessageBox::Ok);
        EXPECT_EQ(RunDialog(driver), mrCancel);
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].title, row.title);
        EXPECT_EQ(driver.Seen()[1].text, row.text);
        EXPECT_EQ(driver.Seen()[1].icon, row.icon);
    }
    EXPECT_EQ(Factory()->FindAccount("me@example.org"), nullptr);
    EXPECT_EQ(HiveBytes(), before);
}

TEST_F(AccountDialogSmtpTest, TheProgramKeepsRunningWhileASilentServerHoldsTheTest)
{
    SmtpTestServer server("silent");
    int ticksWhileTesting = 0;
    bool dialogUsable = true;
    std::string status;
    QTimer timer;
    ModalDriver driver;
    driver.Then([&](QWidget* modal) {
        // A timer of the main thread: it ticks only while the main thread is free.
        QObject::connect(&timer, &QTimer::timeout, [&, modal] {
            TForm15* progress = modal->findChild<TForm15*>();
            if (!progress || !progress->isVisible())
                return;
            status = progress->Label1->text().toStdString();
            dialogUsable &= modal->isEnabled();
            // The server has held the test long enough: it goes away.
            if (++ticksWhileTesting == 10)
                server.Stop();
        });
        OpenAdvanced(modal);
        Type(modal, "Edit1", "me@example.org");
        Type(modal, "Edit2", "pw");
        Type(modal, "Edit4", "127.0.0.1");
        Type(modal, "Edit5", QString::number(server.Port()));
        timer.start(20);
        Click(modal, "Button3");
        timer.stop();
        EXPECT_TRUE(modal->isEnabled());
        Click(modal, "Button1");
    });
    driver.Press(QMessageBox::Ok);
    EXPECT_EQ(RunDialog(driver), mrCancel);
    EXPECT_GE(ticksWhileTesting, 10) << "the main thread was blocked during the test";
    EXPECT_FALSE(dialogUsable) << "a second test must not start meanwhile";
    EXPECT_EQ(status, "Please Wait, Testing the Connection...");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].title, "Test Failed");
}

TEST_F(AccountDialogTest, TestRefusesAnInvalidAddressOrAnEmptyPasswordBeforeConnecting)
{
    struct Row {
        QString address, password;
        std::string text;
    } rows[] = {
        {"me.example.org", "pw", "Your E-Mail address is not valid."},
        {"me@example.org", "", "Your password has not been set."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        ModalDriver driver;
        driver.Then([&](QWidget* modal) {
            Type(modal, "Edit1", row.address);
            Type(modal, "Edit2", row.password);
            Click(modal, "Button3");
            // Nothing was tried, so the defaults stay.
            EXPECT_EQ(Edit(modal, "Edit4")->text(), "Default...");
            Click(modal, "Button1");
        });
        driver.Press(QMessageBox::Ok);
        RunDialog(driver);
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].title, "Test Failed");
        EXPECT_EQ(driver.Seen()[1].text, row.text);
        EXPECT_EQ(driver.Seen()[1].icon, QMessageBox::Critical);
    }
}

} // namespace
