// States of the e-mail wizard and of the jobs' progress window at the end
// of a run.
#include "app/TForm16.h"
#include "app/TFrame4.h"
#include "app/render/RenderStates.h"
#include "output/TForm15.h"
#include "services/EmailerFactory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

namespace {

const bool accountPage = RegisterRenderState("TForm16-1-account-page", [] {
    EmailerFactory* factory = EmailerFactory::Instance();
    for (const char* address : {"ann@example.org", "bob@gmail.com"})
        if (!factory->FindAccount(address))
            factory->AddAccount(address, "secret");
    Form16->ShowAccountPage(nullptr);
    return static_cast<QWidget*>(Form16);
});

const bool messagePage = RegisterRenderState("TForm16-2-message-page", [] {
    Form16->ShowComposePage(nullptr);
    TFrame4* page = Form16->MessageFrame();
    page->Edit1->setText("ann@example.org");
    page->Edit2->setText("gallery@example.com");
    page->Edit3->setText("My Portfolio");
    page->Memo1->setPlainText("Dear curator,\n\nplease find my portfolio attached.\n\nAnn");
    return static_cast<QWidget*>(Form16);
});

const bool finished = RegisterRenderState("TForm15-finished", [] {
    TForm15* form = ShowJobWindowState<TForm15>("Finished. Your portfolio was exported successfully.", 10, 10, true);
    form->setWindowTitle("Export...");
    return static_cast<QWidget*>(form);
});

} // namespace
