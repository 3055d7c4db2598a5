// States of the main window and the templates dialog.
#include "app/TForm1.h"
#include "app/TForm6.h"
#include "app/TFrame5.h"
#include "app/render/RenderStates.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"

#include <QComboBox>
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

// The editor open on the user's copy of a shipped template.
QWidget* EditorOnCopy()
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    Template* mine = library->FindTemplate("My Template");
    if (!mine)
        mine = library->CopyTemplate("My Template", library->GetDefaultTemplate());
    Form1->GetPortfolio()->SetTemplate(mine);
    Form6->show();
    auto* edit = Form6->findChild<QPushButton*>("Button1");
    if (edit->text() == "Edit >>")
        edit->click();
    return Form6;
}

const bool editorOpen = RegisterRenderState("TForm6-editor-open", [] { return EditorOnCopy(); });

// The artist name's element: the style's own font list and size.
const bool editorArtistName = RegisterRenderState("TForm6-editor-artist-name", [] {
    QWidget* dialog = EditorOnCopy();
    auto* elements = dialog->findChild<TFrame5*>()->findChild<QComboBox*>("ComboBox1");
    elements->setCurrentIndex(elements->findText("Artist Name"));
    return dialog;
});

} // namespace
