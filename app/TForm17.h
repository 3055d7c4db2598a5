#pragma once
// TForm17 (unit EmailAccountForm): the add/edit e-mail account dialog,
// modal, made at start-up and reused. Adding makes the account of the
// provider the address belongs to; the advanced fields override its user
// name, server, port and security, "Default..." keeping the provider's.
// Test tries the typed values on a throw-away account. Main thread only.
#include <QDialog>
#include <memory>
#include <string>

class Emailer;
class QButtonGroup;
class QLineEdit;

namespace Ui {
class TForm17;
}

class TForm17 : public QDialog {
    Q_OBJECT

public:
    explicit TForm17(QWidget* owner = nullptr);
    ~TForm17() override;

    // Prepare and show modally; the modal result.
    int ShowAdd();
    int ShowEdit(const std::string& name);
    // The preparation alone, without showing (the window renderer uses it).
    void PrepareAdd();
    // False, after telling the user, when no account has that name.
    bool PrepareEdit(const std::string& name);

public slots:
    void Edit1Change();
    void Edit3Change();
    void Edit4Change();
    void Edit5Change();
    void Button2Click();
    void Button3Click();
    void Button4Click();

private:
    void UpdateState();
    void StylePlaceholder(QLineEdit* edit);
    void ToggleAdvanced();
    void TestAccount();
    void AddAccount();
    void UpdateAccount();
    // The fields' values on an account of the SMTP family; "Default..."
    // leaves a value as it is. With none of the three buttons checked the
    // security stays too.
    void ApplyAdvanced(Emailer* account) const;
    // Shows the account's user name, server, port and security.
    void ShowAdvanced(const Emailer* account);
    void SetSecurity(int type);
    // The checked button: 0, 1, 2; -1 when none is.
    int CheckedSecurity() const;
    QString Address() const;

    std::unique_ptr<Ui::TForm17> ui_;
    QButtonGroup* security_ = nullptr;
    bool adding_ = true;
    bool advancedOpen_ = true;
};

// The account dialog for the rest of the run.
extern TForm17* Form17;
