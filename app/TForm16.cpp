#include "app/TForm16.h"

#include "app/DisabledWindow.h"
#include "app/FormBackground.h"
#include "app/EmailThread.h"
#include "app/TFrame4.h"
#include "output/MessageBox.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"
#include "ui_TForm16.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>

#include <exception>

TForm16* Form16 = nullptr;

TForm16::TForm16(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm16>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    UseFormBackground(this);
    setAutoFillBackground(true);

    // Made here, placed into Panel1 only when their page is shown.
    frame3_ = new TFrame3(nullptr, false, this);
    frame4_ = new TFrame4(nullptr);

    connect(ui_->Button1, &QPushButton::clicked, this, &TForm16::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm16::Button2Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm16::~TForm16()
{
    // The page not shown has no parent to delete it.
    ShowPage(nullptr);
    delete frame3_;
    delete frame4_;
    if (Form16 == this)
        Form16 = nullptr;
}

void TForm16::ShowPage(QWidget* page)
{
    for (QWidget* frame : {static_cast<QWidget*>(frame3_), static_cast<QWidget*>(frame4_)})
        if (frame != page && frame->parentWidget()) {
            ui_->Panel1->layout()->removeWidget(frame);
            frame->hide();
            frame->setParent(nullptr);
        }
    if (page && page->parentWidget() != ui_->Panel1) {
        page->setParent(ui_->Panel1);
        ui_->Panel1->layout()->addWidget(page);
        page->show();
    }
}

void TForm16::ShowAccountPage(EmailThread* job)
{
    job_ = job;
    ui_->Button1->setText("&Cancel");
    ui_->Button2->setEnabled(false);
    ui_->Button2->setVisible(false);
    frame3_->Label1->setText("Please select an e-mail account to use...");
    EmailerFactory::Instance()->RefreshMailClient();
    frame3_->FillAccountList();
    ShowPage(frame3_);
    SelectAccount(nullptr);
    show();
    raise();
}

void TForm16::ShowComposePage(EmailThread* job)
{
    ui_->Button1->setText("&Cancel");
    job_ = job;
    FillComposePage();
    show();
    raise();
}

void TForm16::DropJob()
{
    job_ = nullptr;
    hide();
}

void TForm16::FillComposePage()
{
    ui_->Button2->setEnabled(true);
    ui_->Button2->setVisible(true);
    if (Emailer* account = job_ ? job_->GetAccount() : nullptr) {
        frame4_->Edit1->setText(QString::fromStdString(account->GetFromAddress()));
        frame4_->Edit2->setText(QString::fromStdString(account->GetRecipient()));
        frame4_->Edit3->setText(QString::fromStdString(account->GetSubject()));
        frame4_->Memo1->setPlainText(QString::fromStdString(account->GetBody()));
    }
    ShowPage(frame4_);
}

void TForm16::SelectAccount(Emailer* account)
{
    if (job_)
        job_->SetAccount(account);
}

bool TForm16::SendNow()
{
    if (!job_)
        return false;
    // The windows stay live while the job sends: one Send at a time.
    DisabledWindow disabled(this);
    return job_->SendPortfolio();
}

void TForm16::Button1Click()
{
    hide();
}

void TForm16::Button2Click()
{
    if (!job_)
        return;
    Emailer* account = job_->GetAccount();
    if (!account) {
        // The account was deleted while the wizard waited: choose again.
        ShowAccountPage(job_);
        return;
    }
    try {
        const std::string to = frame4_->Edit2->text().toStdString();
        std::string typeName;
        int kind = 0;
        if (!EmailerFactory::DetectProvider(to, typeName, kind)) {
            MessageBoxA(this, "Please enter a valid 'To' E-Mail address.", "Oooops!", MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (frame4_->Edit3->text().isEmpty()) {
            MessageBoxA(this, "Please enter a subject.", "Oooops!", MB_OK | MB_ICONINFORMATION);
            return;
        }
        if (frame4_->Memo1->toPlainText().isEmpty()) {
            MessageBoxA(this, "Please enter a message body.", "Oooops!", MB_OK | MB_ICONINFORMATION);
            return;
        }
        account->SetRecipient(to);
        account->SetSubject(frame4_->Edit3->text().toStdString());
        account->SetBody(frame4_->Memo1->toPlainText().toStdString());
        if (SendNow())
            ui_->Button1->setText("&Finish");
    } catch (const std::exception&) {
        MessageBoxA(this, "An error occurred trying to send your E-Mail.", "Oooops!", MB_OK | MB_ICONINFORMATION);
    }
}
