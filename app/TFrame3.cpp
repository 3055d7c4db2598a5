#include "app/TFrame3.h"

#include "app/EmailImageList.h"
#include "app/TButtonGroup.h"
#include "app/TForm17.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "platform/registry/RegistryIniFile.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"
#include "ui_TFrame3.h"

#include <QDialog>
#include <QMenu>

namespace {

const char* const kAddEntry = "Add a New Account...";

Emailer* FindAccount(const QString& caption)
{
    return EmailerFactory::Instance()->FindAccount(caption.toStdString());
}

} // namespace

TFrame3::TFrame3(QWidget* owner, bool manageMode, IEmailWizard* wizard)
    : QWidget(owner), ui_(std::make_unique<Ui::TFrame3>()), manageMode_(manageMode), wizard_(wizard)
{
    ui_->setupUi(this);
    Label1 = ui_->Label1;
    ButtonGroup1 = ui_->ButtonGroup1;
    ButtonGroup1->SetImages(&EmailImageList());
    ButtonGroup1->SetButtonHeight(48);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    EditAccount1 = PopupMenu1->addAction("Edit Account");
    EditAccount1->setObjectName("EditAccount1");
    DeleteAccount1 = PopupMenu1->addAction("Delete Account");
    DeleteAccount1->setObjectName("DeleteAccount1");
    hisismyDefaultAccount1 = PopupMenu1->addAction("My Default Account");
    hisismyDefaultAccount1->setObjectName("hisismyDefaultAccount1");
    hisismyDefaultAccount1->setCheckable(true);
    ButtonGroup1->SetPopupMenu(PopupMenu1);

    connect(ButtonGroup1, &TButtonGroup::ButtonClicked, this, &TFrame3::ButtonGroup1ButtonClicked);
    ButtonGroup1->OnContextPopup = [this](const QPoint& pos, bool& handled) { ButtonGroup1ContextPopup(pos, handled); };
    connect(EditAccount1, &QAction::triggered, this, &TFrame3::EditAccount1Click);
    connect(DeleteAccount1, &QAction::triggered, this, &TFrame3::DeleteAccount1Click);
    connect(hisismyDefaultAccount1, &QAction::triggered, this, &TFrame3::hisismyDefaultAccount1Click);
}

TFrame3::~TFrame3() = default;

void TFrame3::FillAccountList()
{
    EmailerFactory* factory = EmailerFactory::Instance();
    ButtonGroup1->BeginUpdate();
    ButtonGroup1->Clear();
    // Each entry goes to the top as it is added: the newest account first,
    // the add entry last.
    ButtonGroup1->Move(ButtonGroup1->Add(kAddEntry, 0), 0);
    for (int i = 0; i < factory->Count(); ++i)
        ButtonGroup1->Move(ButtonGroup1->Add(QString::fromStdString(factory->GetAccountName(i)),
                                             factory->GetAccountKind(i)),
                           0);
    ButtonGroup1->EndUpdate();
}

void TFrame3::ButtonGroup1ButtonClicked(int index)
{
    const TButtonGroup::Item* item = ButtonGroup1->At(index);
    if (!item)
        return;
    // A copy: the dialogs below rebuild the buttons.
    const QString caption = item->Caption;
    if (caption == kAddEntry) {
        if (Form17 && Form17->ShowAdd() == mrOk)
            FillAccountList();
        return;
    }
    Emailer* account = FindAccount(caption);
    if (!account)
        return;
    if (!manageMode_) {
        if (!wizard_)
            return;
        wizard_->SelectAccount(account);
        if (account->UsesComposeForm()) {
            wizard_->FillComposePage();
            return;
        }
        QDialog* window = wizard_->WizardWindow();
        window->hide();
        if (wizard_->SendNow())
            window->setResult(mrOk);
        else
            window->show();
        return;
    }
    if (account->IsEditable())
        EditAccount(caption);
    else
        MessageBoxA(this, "Please use " + account->GetTypeName() + " to edit this account", "Unable To Edit",
                    MB_OK | MB_ICONINFORMATION);
}

void TFrame3::EditAccount(const QString& caption)
{
    if (!Form17)
        return;
    const int result = Form17->ShowEdit(caption.toStdString());
    // An account that went meanwhile leaves the list too.
    if (result == mrOk || !FindAccount(caption))
        FillAccountList();
}

void TFrame3::ButtonGroup1ContextPopup(const QPoint& pos, bool& handled)
{
    handled = true;
    selected_.clear();
    const TButtonGroup::Item* item = ButtonGroup1->At(ButtonGroup1->IndexAt(pos));
    if (!item || item->Caption == kAddEntry)
        return;
    selected_ = item->Caption;
    Emailer* account = FindAccount(selected_);
    if (!account)
        return;
    handled = false;
    EditAccount1->setText("Edit " + selected_);
    DeleteAccount1->setText("Delete " + selected_);
    hisismyDefaultAccount1->setChecked(account->GetIsDefault());
    EditAccount1->setEnabled(account->IsEditable());
    DeleteAccount1->setEnabled(account->IsEditable());
}

void TFrame3::EditAccount1Click()
{
    if (!selected_.isEmpty())
        EditAccount(selected_);
}

void TFrame3::DeleteAccount1Click()
{
    Emailer* account = FindAccount(selected_);
    if (!account || !account->IsEditable())
        return;
    const std::string name = selected_.toStdString();
    if (MessageBoxA(this, "Are you sure you want to delete this account?", "Delete Account - " + name,
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (EmailerFactory::Instance()->DeleteAccount(name))
        FillAccountList();
    else
        MessageBoxA(this, "The account could not be deleted.", "Oooops!", MB_OK | MB_ICONERROR);
}

void TFrame3::hisismyDefaultAccount1Click(bool checked)
{
    Emailer* account = FindAccount(selected_);
    if (!account)
        return;
    // The item's check mark has already turned: checked now means it was
    // clear, so this account becomes the only default.
    EmailerFactory* factory = EmailerFactory::Instance();
    factory->SetDefault(account, checked);
    // Every flag may have changed; written at once so a crash keeps the choice.
    for (int i = 0; i < factory->Count(); ++i)
        factory->GetAccount(i)->Save();
}
