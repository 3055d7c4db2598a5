#pragma once
// TFrame3 (unit EmailAccountFrame): the list of e-mail accounts, newest
// first, with "Add a New Account..." at the bottom. In manage mode (the
// options dialog) a click edits an account and a context menu edits,
// deletes or makes it the default; in send mode (the e-mail wizard) a click
// chooses the account to send with. Changes go to the registry at once.
// Main thread only.
#include <QWidget>
#include <memory>

class Emailer;
class QAction;
class QDialog;
class QLabel;
class QMenu;
class TButtonGroup;

namespace Ui {
class TFrame3;
}

// What a send-mode list needs of the e-mail wizard that hosts it.
class IEmailWizard {
public:
    virtual ~IEmailWizard() = default;
    // Hands the chosen account to the e-mail job.
    virtual void SelectAccount(Emailer* account) = 0;
    // Generates and sends at once (accounts without a compose form); false
    // when that failed.
    virtual bool SendNow() = 0;
    // Goes on to the message page (accounts with a compose form).
    virtual void FillComposePage() = 0;
    // The wizard's window, which the list hides while SendNow runs.
    virtual QDialog* WizardWindow() = 0;
};

class TFrame3 : public QWidget {
    Q_OBJECT

public:
    // manageMode false: send mode, where clicks go to the wizard.
    TFrame3(QWidget* owner, bool manageMode, IEmailWizard* wizard = nullptr);
    ~TFrame3() override;

    // Rebuilds the buttons from the account list.
    void FillAccountList();

    QLabel* Label1 = nullptr;
    TButtonGroup* ButtonGroup1 = nullptr;
    QMenu* PopupMenu1 = nullptr;

public slots:
    void ButtonGroup1ButtonClicked(int index);
    void ButtonGroup1ContextPopup(const QPoint& pos, bool& handled);
    void EditAccount1Click();
    void DeleteAccount1Click();
    void hisismyDefaultAccount1Click(bool checked);

private:
    void EditAccount(const QString& caption);

    std::unique_ptr<Ui::TFrame3> ui_;
    bool manageMode_ = false;
    IEmailWizard* wizard_ = nullptr;
    // The caption of the entry under the last right-click (empty: none).
    QString selected_;
    QAction* EditAccount1 = nullptr;
    QAction* DeleteAccount1 = nullptr;
    QAction* hisismyDefaultAccount1 = nullptr;
};
