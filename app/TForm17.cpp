#include "app/TForm17.h"

#include "app/DisabledWindow.h"
#include "app/EmailImageList.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "output/TForm15.h"
#include "platform/registry/RegistryIniFile.h"
#include "platform/thread/RunOnWorker.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"
#include "services/Smtp.h"
#include "ui_TForm17.h"

#include <QApplication>
#include <QButtonGroup>

TForm17* Form17 = nullptr;

namespace {

const char* const kDefault = "Default...";
const int kAdvancedHeight = 150;
const char* const kOops = "Oooops!";
const char* const kTestFailed = "Test Failed";

// A port from a field: 1 to 65535, else nothing.
bool ParsePort(const QString& text, int& port)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

// Restores the cursor however the test ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

TForm17::TForm17(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm17>())
{
    ui_->setupUi(this);
    // No border icons: the buttons close the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(size());

    security_ = new QButtonGroup(this);
    security_->addButton(ui_->RadioButton1, 0);
    security_->addButton(ui_->RadioButton2, 1);
    security_->addButton(ui_->RadioButton3, 2);

    connect(ui_->Edit1, &QLineEdit::textChanged, this, &TForm17::Edit1Change);
    connect(ui_->Edit3, &QLineEdit::textChanged, this, &TForm17::Edit3Change);
    connect(ui_->Edit4, &QLineEdit::textChanged, this, &TForm17::Edit4Change);
    connect(ui_->Edit5, &QLineEdit::textChanged, this, &TForm17::Edit5Change);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm17::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm17::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm17::Button4Click);
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::reject);
}

TForm17::~TForm17()
{
    if (Form17 == this)
        Form17 = nullptr;
}

QString TForm17::Address() const
{
    // Spaces around an address are typing slips, never part of it.
    return ui_->Edit1->text().trimmed();
}

void TForm17::PrepareAdd()
{
    adding_ = true;
    setWindowTitle("Add E-Mail Account");
    ui_->Button2->setText("&Add");
    ui_->Button2->setEnabled(false);
    ui_->Edit1->clear();
    ui_->Edit1->setEnabled(true);
    ui_->Edit2->clear();
    for (QLineEdit* edit : {ui_->Edit3, ui_->Edit4, ui_->Edit5}) {
        edit->setText(kDefault);
        StylePlaceholder(edit);
    }
    // No button chosen: the provider's security applies unless the user picks one.
    SetSecurity(-1);
    ui_->Panel1->setEnabled(true);
    UpdateState();
    if (advancedOpen_)
        ToggleAdvanced();
    ui_->Edit1->setFocus();
}

int TForm17::ShowAdd()
{
    PrepareAdd();
    return ShowModal(*this);
}

bool TForm17::PrepareEdit(const std::string& name)
{
    adding_ = false;
    setWindowTitle(QString::fromStdString("Edit E-Mail Account - " + name));
    const Emailer* account = EmailerFactory::Instance()->FindAccount(name);
    if (!account) {
        MessageBoxA(this, "The account '" + name + "' no longer exists.", kOops, MB_OK | MB_ICONERROR);
        return false;
    }
    ui_->Button2->setText("&Update");
    ui_->Edit1->setText(QString::fromStdString(account->GetFromAddress()));
    // The address names the account; it cannot change.
    ui_->Edit1->setEnabled(false);
    ui_->Edit2->setText(QString::fromStdString(account->GetPassword()));
    ShowAdvanced(account);
    ui_->Panel1->setEnabled(dynamic_cast<const SMTP*>(account) != nullptr);
    UpdateState();
    if (advancedOpen_)
        ToggleAdvanced();
    ui_->Edit2->setFocus();
    return true;
}

int TForm17::ShowEdit(const std::string& name)
{
    if (!PrepareEdit(name))
        return mrCancel;
    return ShowModal(*this);
}

void TForm17::ShowAdvanced(const Emailer* account)
{
    ui_->Edit3->setText(QString::fromStdString(account->GetUserName()));
    if (const auto* smtp = dynamic_cast<const SMTP*>(account)) {
        ui_->Edit4->setText(QString::fromStdString(smtp->GetServerName()));
        ui_->Edit5->setText(QString::number(smtp->GetServerPort()));
        const int type = smtp->GetSecurityType();
        SetSecurity(type == 1 || type == 2 ? type : 0);
    }
}

void TForm17::SetSecurity(int type)
{
    if (type < 0) {
        // An exclusive group always keeps one button checked.
        security_->setExclusive(false);
        for (QAbstractButton* button : security_->buttons())
            button->setChecked(false);
        security_->setExclusive(true);
        return;
    }
    if (QAbstractButton* button = security_->button(type))
        button->setChecked(true);
}

int TForm17::CheckedSecurity() const
{
    return security_->checkedId();
}

void TForm17::Edit1Change()
{
    UpdateState();
}

void TForm17::Edit3Change()
{
    StylePlaceholder(ui_->Edit3);
}

void TForm17::Edit4Change()
{
    StylePlaceholder(ui_->Edit4);
}

void TForm17::Edit5Change()
{
    StylePlaceholder(ui_->Edit5);
}

void TForm17::Button4Click()
{
    ToggleAdvanced();
}

void TForm17::UpdateState()
{
    std::string typeName;
    int kind = 1;
    const bool valid = EmailerFactory::DetectProvider(ui_->Edit1->text().toStdString(), typeName, kind);
    ui_->Button2->setEnabled(valid);
    const QList<QPixmap>& images = EmailImageList();
    ui_->Image1->setPixmap(kind >= 0 && kind < images.size() ? images.at(kind) : QPixmap());
    const QString type = QString::fromStdString(typeName);
    if (adding_)
        setWindowTitle(type.isEmpty() ? QString("Add E-Mail Account") : "Add " + type + " Account");
    else
        setWindowTitle((type.isEmpty() ? QString("Edit E-Mail Account - ") : "Edit " + type + " Account - ") +
                       ui_->Edit1->text());
}

void TForm17::StylePlaceholder(QLineEdit* edit)
{
    const bool placeholder = edit->text() == kDefault;
    const QColor colour = placeholder ? QColor(0xC0, 0xC0, 0xC0) : QColor(Qt::black);
    QPalette colours = edit->palette();
    if (colours.color(QPalette::Text) != colour) {
        colours.setColor(QPalette::Text, colour);
        edit->setPalette(colours);
    }
    QFont font = edit->font();
    if (font.italic() != placeholder) {
        font.setItalic(placeholder);
        edit->setFont(font);
    }
}

void TForm17::ToggleAdvanced()
{
    const int step = advancedOpen_ ? -kAdvancedHeight : kAdvancedHeight;
    setFixedSize(width(), height() + step);
    for (QWidget* moved : {static_cast<QWidget*>(ui_->Button1), static_cast<QWidget*>(ui_->Button2),
                           static_cast<QWidget*>(ui_->Bevel1)})
        moved->move(moved->x(), moved->y() + step);
    const bool open = !advancedOpen_;
    ui_->Button4->setText(open ? "Advanced <<" : "Advanced >>");
    ui_->Panel1->setVisible(open);
    ui_->Panel1->setEnabled(open);
    advancedOpen_ = open;
}

void TForm17::ApplyAdvanced(Emailer* account) const
{
    auto* smtp = dynamic_cast<SMTP*>(account);
    if (!smtp)
        return;
    if (ui_->Edit4->text() != kDefault)
        smtp->SetServerName(ui_->Edit4->text().toStdString());
    int port = 0;
    if (ui_->Edit5->text() != kDefault && ParsePort(ui_->Edit5->text(), port))
        smtp->SetServerPort(port);
    // A chosen button applies with any port field: the test uses it so, and
    // the saved account must be the one that was tested.
    const int security = CheckedSecurity();
    if (security >= 0)
        smtp->SetSecurityType(security);
}

void TForm17::Button2Click()
{
    if (adding_)
        AddAccount();
    else
        UpdateAccount();
}

void TForm17::AddAccount()
{
    EmailerFactory* factory = EmailerFactory::Instance();
    const std::string address = Address().toLower().toStdString();
    if (factory->FindAccount(address)) {
        MessageBoxA(this, "An account with this E-Mail address already exists.", kOops, MB_OK | MB_ICONERROR);
        return;
    }
    Emailer* account = factory->AddAccount(address, ui_->Edit2->text().toStdString());
    if (!account) {
        MessageBoxA(this, "Your E-Mail address is not valid.", kOops, MB_OK | MB_ICONERROR);
        return;
    }
    if (ui_->Edit3->text() != kDefault)
        account->SetUserName(ui_->Edit3->text().toStdString());
    ApplyAdvanced(account);
    account->Save();
    if (!factory->HasDefault() &&
        MessageBoxA(this,
                    "Would you like to set the account '" + account->GetDisplayName() +
                        "' as the default E-Mail account to use in future? You can always change this setting "
                        "at a later stage in the Options.",
                    "Set as the default E-Mail account?", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        factory->SetDefault(account, true);
        account->Save();
    }
    done(mrOk);
}

void TForm17::UpdateAccount()
{
    const std::string address = Address().toStdString();
    Emailer* account = EmailerFactory::Instance()->FindAccount(address);
    if (!account) {
        // Saving would bring a deleted account's section back.
        MessageBoxA(this, "The account '" + address + "' no longer exists.", kOops, MB_OK | MB_ICONERROR);
        done(mrCancel);
        return;
    }
    account->SetPassword(ui_->Edit2->text().toStdString());
    // "Default..." asks for the provider's user name, which follows from the address.
    account->SetUserName(ui_->Edit3->text() == kDefault ? address : ui_->Edit3->text().toStdString());
    if (dynamic_cast<SMTP*>(account) && CheckedSecurity() < 0)
        SetSecurity(0);
    ApplyAdvanced(account);
    account->Save();
    done(mrOk);
}

void TForm17::Button3Click()
{
    TestAccount();
}

void TForm17::TestAccount()
{
    const std::string address = Address().toStdString();
    std::string typeName;
    int kind = 1;
    if (!EmailerFactory::DetectProvider(address, typeName, kind)) {
        MessageBoxA(this, "Your E-Mail address is not valid.", kTestFailed, MB_OK | MB_ICONERROR);
        return;
    }
    if (ui_->Edit2->text().isEmpty()) {
        MessageBoxA(this, "Your password has not been set.", kTestFailed, MB_OK | MB_ICONERROR);
        return;
    }
    // Never one of the stored accounts: the test leaves them and the registry alone.
    std::unique_ptr<Emailer> trial = EmailerFactory::CreateAccount(typeName);
    if (!trial) {
        MessageBoxA(this, "Failed to create account object.", kTestFailed, MB_OK | MB_ICONERROR);
        return;
    }
    trial->SetFromAddress(address);
    trial->SetPassword(ui_->Edit2->text().toStdString());
    trial->SetUserName(ui_->Edit3->text() == kDefault ? address : ui_->Edit3->text().toStdString());
    ApplyAdvanced(trial.get());

    // A server that never answers keeps the test waiting for its time-out:
    // the windows stay live meanwhile, with the progress window saying why.
    bool ok = false;
    {
        WaitCursor wait;
        TForm15 progress(this);
        progress.setWindowTitle("Test...");
        progress.show();
        progress.SetStatusText("Please Wait, Testing the Connection...");
        DisabledWindow disabled(this);
        RunOnWorker([&] { ok = trial->TestConnection(); });
    }
    if (!ok)
        MessageBoxA(this, trial->GetText(), kTestFailed, MB_OK | MB_ICONERROR);
    // The values the test used, so the user sees what the defaults came to.
    ShowAdvanced(trial.get());
    trial.reset();
    if (ok)
        MessageBoxA(this, "Success! The account details appear to be correct.", "Test Success",
                    MB_OK | MB_ICONINFORMATION);
}
