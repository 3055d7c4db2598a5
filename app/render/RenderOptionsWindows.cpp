// States of the options dialog, the account list, the account dialog and
// the About box.
#include "app/TButtonGroup.h"
#include "app/TForm12.h"
#include "app/TForm17.h"
#include "app/TForm4.h"
#include "app/TFrame3.h"
#include "app/render/RenderStates.h"
#include "services/EmailerFactory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

// Three accounts beside the mail client's: a generic one and two presets.
void MakeThreeAccounts()
{
    EmailerFactory* factory = EmailerFactory::Instance();
    for (const char* address : {"ann@example.org", "bob@gmail.com", "cleo@mail.com"})
        if (!factory->FindAccount(address))
            factory->AddAccount(address, "secret");
}

QWidget* OptionsPage(int page)
{
    // The last one is left to process exit: widgets must not outlive the
    // application object in a static's destructor.
    static TForm12* dialog = nullptr;
    MakeThreeAccounts();
    delete dialog;
    dialog = new TForm12();
    dialog->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(page);
    return dialog;
}

const bool general = RegisterRenderState("TForm12-1-general", [] { return OptionsPage(0); });
const bool portfolio = RegisterRenderState("TForm12-2-portfolio", [] { return OptionsPage(1); });
const bool templates = RegisterRenderState("TForm12-3-templates", [] { return OptionsPage(2); });
const bool email = RegisterRenderState("TForm12-4-email", [] { return OptionsPage(3); });

QWidget* AccountList(bool manage)
{
    static TFrame3* frame = nullptr;
    MakeThreeAccounts();
    delete frame;
    frame = new TFrame3(nullptr, manage);
    frame->Label1->setText(manage ? "Right click on an account for more options."
                                  : "Please select an e-mail account to use...");
    frame->FillAccountList();
    frame->resize(385, 280);
    return frame;
}

const bool manageMode = RegisterRenderState("TFrame3-manage", [] { return AccountList(true); });
const bool sendMode = RegisterRenderState("TFrame3-send", [] { return AccountList(false); });

void SetAdvanced(bool open)
{
    auto* button = Form17->findChild<QPushButton*>("Button4");
    if ((button->text() == "Advanced >>") == open)
        button->click();
}

QWidget* AddState(bool advanced, const char* address)
{
    Form17->PrepareAdd();
    Form17->findChild<QLineEdit*>("Edit1")->setText(address);
    SetAdvanced(advanced);
    return Form17;
}

QWidget* EditState(bool advanced)
{
    MakeThreeAccounts();
    Form17->PrepareEdit("bob@gmail.com");
    SetAdvanced(advanced);
    return Form17;
}

const bool addClosed = RegisterRenderState("TForm17-add-advanced-closed", [] { return AddState(false, ""); });
const bool addOpen =
    RegisterRenderState("TForm17-add-advanced-open", [] { return AddState(true, "dana@yahoo.com"); });
const bool editClosed = RegisterRenderState("TForm17-edit-advanced-closed", [] { return EditState(false); });
const bool editOpen = RegisterRenderState("TForm17-edit-advanced-open", [] { return EditState(true); });

const bool about = RegisterRenderState("TForm4", [] { return static_cast<QWidget*>(Form4); });

} // namespace
