// The e-mail job and the e-mail wizard as the user meets them: the E-Mail
// button, the wizard's pages, the real SMTP test server and the recording
// mail client hook, the real PDF component.
#include "app/EmailThread.h"
#include "app/TForm16.h"
#include "app/TFrame4.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"
#include "services/Smtp.h"
#include "tests/app/JobTestSupport.h"
#include "tests/output/JobWindowChecks.h"
#include "tests/support/DesktopMailProgram.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/SmtpTestServer.h"

#include <QAction>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class EmailWizardTest : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        NameDesktopMailProgram();
        EmailerFactory::FreeInstance();
        form16_ = std::make_unique<TForm16>();
        Form16 = form16_.get();
        AddArtworks(CurrentPortfolio(), 1);
        form1_->show();
    }
    void TearDown() override
    {
        form6_.reset();
        Form6 = nullptr;
        form1_.reset();
        form16_.reset();
        Form16 = nullptr;
        EmailerFactory::FreeInstance();
        JobTest::TearDown();
    }

    QPushButton* Button(const char* name) { return form16_->findChild<QPushButton*>(name); }
    TFrame4* Message() { return form16_->MessageFrame(); }
    bool OnAccountPage() { return form16_->AccountFrame()->isVisible() && !Message()->isVisible(); }
    bool OnMessagePage() { return Message()->isVisible() && !form16_->AccountFrame()->isVisible(); }

    // An SMTP account for the test server, made the default.
    Emailer* SmtpAccount(const SmtpTestServer& server, const std::string& password)
    {
        EmailerFactory* accounts = EmailerFactory::Instance();
        Emailer* found = accounts->FindAccount("me@example.org");
        auto* account = static_cast<SMTP*>(found ? found : accounts->AddAccount("me@example.org", password));
        EXPECT_NE(account, nullptr);
        account->SetPassword(password);
        account->SetServerName("127.0.0.1");
        account->SetServerPort(server.Port());
        account->SetSecurityType(0);
        account->SetUserName(server.User());
        EmailerFactory::Instance()->SetDefault(account, true);
        return account;
    }

    // Clicks E-Mail and waits until the job has run its course.
    EmailThread* ClickEmail()
    {
        form1_->findChild<QAction*>("ToolButton9")->trigger();
        auto* job = dynamic_cast<EmailThread*>(LastJob());
        EXPECT_NE(job, nullptr);
        if (job) {
            EXPECT_TRUE(WaitUntil([job] { return job->Finished(); }));
        }
        QApplication::processEvents();
        return job;
    }

    void Compose(const QString& to, const QString& subject, const QString& body)
    {
        Message()->Edit2->setText("");
        QTest::keyClicks(Message()->Edit2, to);
        Message()->Edit3->setText("");
        QTest::keyClicks(Message()->Edit3, subject);
        Message()->Memo1->setPlainText(body);
    }

    std::unique_ptr<TForm16> form16_;
};

TEST_F(EmailWizardTest, WithoutArtworksNothingStarts)
{
    ModalDriver driver;
    // The artwork made the portfolio modified: New asks first.
    driver.Press(QMessageBox::No).Press(QMessageBox::Ok);
    form1_->NewPortfolio();
    form1_->findChild<QAction*>("ToolButton9")->trigger();
    ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
    EXPECT_EQ(driver.Seen()[1].text, "You must add in some artworks before you can e-mail your portfolio.");
    EXPECT_EQ(driver.Seen()[1].title, "Oooops!");
    EXPECT_TRUE(form1_->Jobs().empty());
}

TEST_F(EmailWizardTest, TheDefaultAccountDecidesWhereTheJobGoes)
{
    // The mail client account hands its message to this hook of xdg-email.
    TempDir hook;
    const std::string script = hook.Write("xdg-email-hook.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$HOOK_OUT\"\n");
    ::chmod(script.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (hook.Path().string() + ":" + oldPath).c_str(), 1);
    ::setenv("HOOK_OUT", (hook / "uri").c_str(), 1);

    SmtpTestServer server("auth");
    const struct {
        const char* name;
        int defaultAccount;  // -1: none, 0: the mail client, 1: SMTP
    } rows[] = {{"no default", -1}, {"SMTP default", 1}, {"mail client default", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EmailerFactory::FreeInstance();
        EmailerFactory* accounts = EmailerFactory::Instance();
        Emailer* smtp = SmtpAccount(server, server.Password());
        accounts->SetDefault(smtp, false);
        if (row.defaultAccount == 0)
            accounts->SetDefault(accounts->GetAccount(0), true);
        if (row.defaultAccount == 1)
            accounts->SetDefault(smtp, true);
        form16_->hide();

        EmailThread* job = ClickEmail();
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(job->Title(), "E-Mail...");
        switch (row.defaultAccount) {
        case -1:
            EXPECT_TRUE(form16_->isVisible());
            EXPECT_TRUE(OnAccountPage());
            EXPECT_FALSE(Button("Button2")->isVisible());
            EXPECT_EQ(form16_->AccountFrame()->Label1->text(), "Please select an e-mail account to use...");
            EXPECT_EQ(form16_->Job(), job);
            EXPECT_EQ(job->GetAccount(), nullptr);
            break;
        case 1:
            EXPECT_TRUE(form16_->isVisible());
            EXPECT_TRUE(OnMessagePage());
            EXPECT_TRUE(Button("Button2")->isVisible());
            EXPECT_EQ(Button("Button1")->text(), "&Cancel");
            EXPECT_EQ(Message()->Edit1->text(), "me@example.org");
            EXPECT_FALSE(Message()->Edit1->isEnabled());
            EXPECT_EQ(Message()->Edit3->text(), "My Portfolio");
            EXPECT_EQ(job->GetAccount(), smtp);
            break;
        case 0: {
            EXPECT_FALSE(form16_->isVisible());
            EXPECT_EQ(StatusOf(job), "The message was handed to your mail program.");
            const std::string uri = ReadFileBytes(hook / "uri");
            EXPECT_NE(uri.find("portfolio.pdf"), std::string::npos) << uri;
            break;
        }
        }
        QTest::mouseClick(Button("Button1"), Qt::LeftButton);
        job->HideProgressForm();
    }
    ::setenv("PATH", oldPath.c_str(), 1);
    ::unsetenv("HOOK_OUT");
    EXPECT_EQ(server.Messages().size(), 0u) << "nothing is sent before Send";
}

TEST_F(EmailWizardTest, SendDeliversTheTypedMessageWithThePdf)
{
    SmtpTestServer server("auth");
    SmtpAccount(server, server.Password());
    EmailThread* job = ClickEmail();
    ASSERT_TRUE(OnMessagePage());

    Compose("gallery@example.com", "Works 2024", "Dear curator,\nplease find my portfolio attached.");
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);
    EXPECT_EQ(StatusOf(job), "Success. Your E-Mail has been sent.");
    EXPECT_TRUE(job->ProgressForm()->Button1->isEnabled());
    EXPECT_EQ(Button("Button1")->text(), "&Finish");

    const auto messages = server.WaitForMessages(1);
    ASSERT_EQ(messages.size(), 1u);
    TempDir out;
    const QJsonObject mail = ParseMail(messages[0].raw, out / "attachment.pdf");
    EXPECT_EQ(mail["to"].toArray(), QJsonArray({"gallery@example.com"}));
    EXPECT_EQ(mail["subject"].toString(), "Works 2024");
    EXPECT_TRUE(mail["body"].toString().contains("please find my portfolio attached.")) << mail["body"].toString().toStdString();
    EXPECT_EQ(mail["filename"].toString(), "portfolio.pdf");
    const std::string info = Shell("pdfinfo '" + (out / "attachment.pdf") + "'");
    EXPECT_NE(info.find("Pages:"), std::string::npos) << info;

    // Sending again keeps only the newest output.
    const std::string first = job->GetOutputFolder();
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);
    EXPECT_EQ(server.WaitForMessages(2).size(), 2u);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(job->GetOutputFolder()));
    EXPECT_EQ(OutputFolders(), 1);

    QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
    QTest::mouseClick(Button("Button1"), Qt::LeftButton);
    EXPECT_FALSE(form16_->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return form1_->isEnabled(); }));
}

TEST_F(EmailWizardTest, RefusedLoginEndsWithTheAccountsErrorAndAUsableWindow)
{
    SmtpTestServer server("auth");
    Emailer* account = SmtpAccount(server, "wrong password");
    EmailThread* job = ClickEmail();
    Compose("gallery@example.com", "Works", "Hello");
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);

    ASSERT_FALSE(account->GetText().empty());
    EXPECT_EQ(StatusOf(job), "Failure. " + account->GetText());
    ExpectWholeStatusShown(*job->ProgressForm());
    EXPECT_EQ(Button("Button1")->text(), "&Cancel");
    ASSERT_TRUE(job->ProgressForm()->Button1->isEnabled());
    QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return form1_->isEnabled(); }));
    EXPECT_EQ(server.Messages().size(), 0u);
}

TEST_F(EmailWizardTest, TheProgramKeepsRunningWhileASilentServerHoldsTheSend)
{
    SmtpTestServer server("silent");
    Emailer* account = SmtpAccount(server, server.Password());
    EmailThread* job = ClickEmail();
    Compose("gallery@example.com", "Works", "Hello");

    // A timer of the main thread: it ticks only while the main thread is free.
    int ticksWhileSending = 0;
    bool wizardUsable = true, mainWindowUsable = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (StatusOf(job) != "Please Wait, Sending E-Mail...")
            return;
        wizardUsable &= form16_->isEnabled();
        mainWindowUsable &= form1_->isEnabled();
        // The server has held the send long enough: it goes away, which
        // ends the send at once.
        if (++ticksWhileSending == 10)
            server.Stop();
    });
    timer.start(20);
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);
    timer.stop();

    EXPECT_GE(ticksWhileSending, 10) << "the main thread was blocked during the send";
    EXPECT_FALSE(wizardUsable) << "a second Send must not start meanwhile";
    EXPECT_FALSE(mainWindowUsable);
    EXPECT_EQ(StatusOf(job), "Failure. " + account->GetText());
    EXPECT_EQ(job->ProgressForm()->ProgressBar1->value(), 0);
    ExpectWholeStatusShown(*job->ProgressForm());
    EXPECT_TRUE(form16_->isEnabled());
    EXPECT_EQ(Button("Button1")->text(), "&Cancel");
    QTest::mouseClick(job->ProgressForm()->Button1, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return form1_->isEnabled(); }));
}

TEST_F(EmailWizardTest, SendChecksTheMessageFirst)
{
    SmtpTestServer server("auth");
    Emailer* account = SmtpAccount(server, server.Password());
    ClickEmail();
    const struct {
        const char *to, *subject, *body, *refusal;
    } rows[] = {
        {"ab.c", "Works", "Hello", "Please enter a valid 'To' E-Mail address."},
        {"a@bc", "Works", "Hello", "Please enter a valid 'To' E-Mail address."},
        {"a@b.c", "", "Hello", "Please enter a subject."},
        {"a@b.c", "Works", "", "Please enter a message body."},
        {"a@b.c", "Works", "   ", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.to) + "|" + row.subject + "|" + row.body);
        Compose(row.to, row.subject, row.body);
        ModalDriver driver;
        if (row.refusal)
            driver.Press(QMessageBox::Ok);
        QTest::mouseClick(Button("Button2"), Qt::LeftButton);
        ASSERT_TRUE(driver.WaitAllDone()) << driver.Report();
        if (row.refusal) {
            EXPECT_EQ(driver.Seen()[0].text, row.refusal);
            EXPECT_EQ(driver.Seen()[0].title, "Oooops!");
            EXPECT_EQ(driver.Seen()[0].icon, QMessageBox::Information);
            EXPECT_EQ(account->GetRecipient(), "") << "nothing is taken over before the checks pass";
        } else {
            EXPECT_EQ(account->GetRecipient(), "a@b.c");
            EXPECT_EQ(account->GetBody(), "   ");
            EXPECT_EQ(server.WaitForMessages(1).size(), 1u);
        }
    }
}

TEST_F(EmailWizardTest, NewPortfolioDropsTheWaitingJob)
{
    SmtpTestServer server("auth");
    SmtpAccount(server, server.Password());
    EmailThread* job = ClickEmail();
    ASSERT_TRUE(form16_->isVisible());
    ASSERT_EQ(form16_->Job(), job);

    ModalDriver driver;
    driver.Press(QMessageBox::No);
    form1_->NewPortfolio();
    ASSERT_TRUE(driver.AllDone()) << driver.Report();
    EXPECT_FALSE(form16_->isVisible());
    EXPECT_EQ(form16_->Job(), nullptr);
    Compose("gallery@example.com", "Works", "Hello");
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);
    EXPECT_EQ(OutputFolders(), 0);
    EXPECT_EQ(server.Messages().size(), 0u);
}

TEST_F(EmailWizardTest, AVanishedAccountBringsTheAccountPageBack)
{
    SmtpTestServer server("auth");
    SmtpAccount(server, server.Password());
    ClickEmail();
    ASSERT_TRUE(OnMessagePage());
    ASSERT_TRUE(EmailerFactory::Instance()->DeleteAccount("me@example.org"));
    Compose("gallery@example.com", "Works", "Hello");
    QTest::mouseClick(Button("Button2"), Qt::LeftButton);
    EXPECT_TRUE(OnAccountPage());
    EXPECT_EQ(OutputFolders(), 0);
}

} // namespace
