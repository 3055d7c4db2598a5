#pragma once
// TForm16 (unit EmailForm): the e-mail wizard, made at start-up and hidden
// between uses. An e-mail job opens it on the account page (no default
// account) or on the message page (the default account has a compose form);
// Send then validates the message and runs the job's generate-and-send on
// the main thread. Stays on top, has no close box. Main thread only.
#include "app/TFrame3.h"

#include <QDialog>
#include <memory>

class EmailThread;
class TFrame4;
class QPushButton;

namespace Ui {
class TForm16;
}

class TForm16 : public QDialog, public IEmailWizard {
    Q_OBJECT

public:
    explicit TForm16(QWidget* owner = nullptr);
    ~TForm16() override;

    void ShowAccountPage(EmailThread* job);
    void ShowComposePage(EmailThread* job);
    // Forgets the job and hides the wizard: its portfolio is about to go.
    void DropJob();
    EmailThread* Job() const { return job_; }

    // IEmailWizard
    void SelectAccount(Emailer* account) override;
    bool SendNow() override;
    void FillComposePage() override;
    QDialog* WizardWindow() override { return this; }

    TFrame3* AccountFrame() const { return frame3_; }
    TFrame4* MessageFrame() const { return frame4_; }

public slots:
    void Button1Click();
    void Button2Click();

private:
    void ShowPage(QWidget* page);

    std::unique_ptr<Ui::TForm16> ui_;
    EmailThread* job_ = nullptr;
    TFrame3* frame3_ = nullptr;
    TFrame4* frame4_ = nullptr;
};

// The wizard for the rest of the run (null before and after).
extern TForm16* Form16;
