// States of the main window and the templates dialog.
#include "app/TForm1.h"
#include "app/TForm6.h"
#include "app/render/RenderStates.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"

#include <QPushButton>

namespace {

const bool mainWindow = RegisterRenderState("TForm1-new-portfolio", [] { return static_cast<QWidget*>(Form1); });

// The dialog shows the portfolio's template; a shipped one keeps the editor shut.
const bool editorClosed = RegisterRenderState("TForm6-editor-closed", [] {
    TemplateLibrary* library = TemplateLibrary::Instance();
    Form1->GetPortfolio()->SetTemplate(library->GetDefaultTemplate());
    Form6->show();
    return static_cast<QWidget*>(Form6);
});

const bool editorOpen = RegisterRenderState("TForm6-editor-open", [] {
    TemplateLibrary* library = TemplateLibrary::Instance();
    Template* mine = library->FindTemplate("My Template");
    if (!mine)
        mine = library->CopyTemplate("My Template", library->GetDefaultTemplate());
    Form1->GetPortfolio()->SetTemplate(mine);
    Form6->show();
    auto* edit = Form6->findChild<QPushButton*>("Button1");
    if (edit->text() == "Edit >>")
        edit->click();
    return static_cast<QWidget*>(Form6);
});

} // namespace
