#include "app/TForm6.h"

#include "app/FormBackground.h"
#include "app/TForm1.h"
#include "app/TFrame5.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/MessageBox.h"
#include "ui_TForm6.h"

#include <QInputDialog>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

TForm6* Form6 = nullptr;

namespace {

const int kEditorHeight = 261;
const char* const kCreateNew = "Create New Template...";
const char* const kNamePrompt = "Please enter the new template's name...";

// Characters a template name may not hold; the name ends up in file and
// style-sheet contexts. Code points, so the pound sign goes as one.
const char16_t kRemoved[] = u"!\"\u00A3$%^&*()_+-={}[]:@;'<>?,./~#|\\";

QString CleanTemplateName(QString name)
{
    for (const char16_t* c = kRemoved; *c; ++c)
        name.remove(QChar(*c));
    return name;
}

Portfolio* CurrentPortfolio()
{
    return Form1 ? Form1->GetPortfolio() : nullptr;
}

// "Copy of N", then "Copy 1 of N" to "Copy 127 of N": the first free one,
// or the last when all are taken.
std::string CopySuggestion(const std::string& name)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    std::string candidate;
    for (int i = 0; i < 128; ++i) {
        candidate = i == 0 ? "Copy of " + name : "Copy " + std::to_string(i) + " of " + name;
        if (!library->FindTemplate(candidate))
            break;
    }
    return candidate;
}

} // namespace

TForm6::TForm6(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm6>())
{
    ui_->setupUi(this);
    // A title bar without a close box: OK closes the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    UseFormBackground(this);
    ui_->Image6->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(64, 64));
    ui_->Image6->setAlignment(Qt::AlignCenter);

    connect(ui_->ComboBox1, &QComboBox::activated, this, &TForm6::ComboBox1Change);
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm6::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm6::Button4Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &QDialog::accept);

    frame_ = std::make_unique<TFrame5>();
    editorOpen_ = true;
    ToggleEditor();
}

TForm6::~TForm6()
{
    // The frame may sit in Panel1; it goes before the panel deletes its children.
    frame_.reset();
}

void TForm6::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

Template* TForm6::TemplateAt(int index) const
{
    if (index < 0 || index >= ui_->ComboBox1->count())
        return nullptr;
    return static_cast<Template*>(ui_->ComboBox1->itemData(index).value<void*>());
}

void TForm6::FillTemplateList()
{
    const QSignalBlocker blocker(ui_->ComboBox1);
    ui_->ComboBox1->clear();
    TemplateLibrary* library = TemplateLibrary::Instance();
    for (int i = 0; i < library->GetCount(); ++i)
        if (Template* item = library->GetTemplate(i))
            ui_->ComboBox1->addItem(QString::fromStdString(item->GetName()),
                                    QVariant::fromValue(static_cast<void*>(item)));
    ui_->ComboBox1->addItem(kCreateNew, QVariant::fromValue(static_cast<void*>(nullptr)));
}

int TForm6::PortfolioTemplateIndex() const
{
    Portfolio* portfolio = CurrentPortfolio();
    Template* current = portfolio ? portfolio->GetTemplate() : nullptr;
    for (int i = 0; current && i < ui_->ComboBox1->count() - 1; ++i)
        if (TemplateAt(i) == current)
            return i;
    return -1;
}

void TForm6::FormShow()
{
    FillTemplateList();
    const int index = std::max(PortfolioTemplateIndex(), 0);
    const QSignalBlocker blocker(ui_->ComboBox1);
    ui_->ComboBox1->setCurrentIndex(index);
    SelectTemplate(TemplateAt(index));
}

void TForm6::SelectTemplate(Template* value)
{
    if (!value)
        return;
    if (Portfolio* portfolio = CurrentPortfolio())
        portfolio->SetTemplate(value);
    const bool user = !value->IsBuiltin();
    ui_->Button1->setEnabled(user);
    if (!user && editorOpen_)
        ToggleEditor();
    ui_->Button3->setEnabled(user);
    ui_->Button4->setEnabled(true);
    frame_->SetTemplate(user ? value : nullptr);
}

void TForm6::ShowPortfolioTemplate()
{
    const int index = PortfolioTemplateIndex();
    const QSignalBlocker blocker(ui_->ComboBox1);
    if (index >= 0)
        ui_->ComboBox1->setCurrentIndex(index);
}

void TForm6::SelectNewTemplate(Template* created)
{
    FillTemplateList();
    const QSignalBlocker blocker(ui_->ComboBox1);
    ui_->ComboBox1->setCurrentIndex(ui_->ComboBox1->count() - 2);
    SelectTemplate(created);
}

void TForm6::ComboBox1Change(int index)
{
    if (index < ui_->ComboBox1->count() - 1) {
        SelectTemplate(TemplateAt(index));
        return;
    }
    const std::string name = AskTemplateName(kCreateNew, kNamePrompt, "");
    if (name.empty()) {
        ShowPortfolioTemplate();
        return;
    }
    if (Template* created = TemplateLibrary::Instance()->AddTemplate(name)) {
        SelectNewTemplate(created);
        return;
    }
    MessageBoxA(this, "Failed to create the new template.", kCreateNew, MB_OK | MB_ICONWARNING);
    ShowPortfolioTemplate();
}

std::string TForm6::AskTemplateName(const std::string& caption, const std::string& prompt, const std::string& value)
{
    for (;;) {
        QInputDialog input(this);
        input.setWindowTitle(QString::fromStdString(caption));
        input.setLabelText(QString::fromStdString(prompt));
        input.setTextValue(QString::fromStdString(value));
        // Cancel creates nothing: returning the suggestion would create the
        // copy anyway, and with every suggestion taken never end the prompt.
        if (input.exec() != QDialog::Accepted)
            return "";
        const QString typed = input.textValue();
        if (typed.isEmpty())
            return "";
        const QString cleaned = CleanTemplateName(typed);
        // A name of spaces only would show as an empty entry in the list.
        if (cleaned.trimmed().isEmpty())
            continue;
        const std::string name = cleaned.toStdString();
        if (!TemplateLibrary::Instance()->FindTemplate(name))
            return name;
    }
}

void TForm6::Button4Click()
{
    Template* source = TemplateAt(ui_->ComboBox1->currentIndex());
    if (!source)
        return;
    const std::string name = AskTemplateName("Copy Template...", kNamePrompt, CopySuggestion(source->GetName()));
    if (name.empty())
        return;
    if (Template* copy = TemplateLibrary::Instance()->CopyTemplate(name, source))
        SelectNewTemplate(copy);
}

void TForm6::Button3Click()
{
    if (MessageBoxA(this, "Are you sure you wish to delete this template?", "Delete Template...",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    Template* doomed = TemplateAt(ui_->ComboBox1->currentIndex());
    if (!doomed || doomed->IsBuiltin())
        return;
    TemplateLibrary* library = TemplateLibrary::Instance();
    Portfolio* portfolio = CurrentPortfolio();
    if (portfolio && portfolio->GetTemplate() == doomed) {
        // The portfolio must always use a live template: the first other one,
        // a shipped one first. Without another the template stays.
        Template* replacement = nullptr;
        for (bool builtin : {true, false}) {
            for (int i = 0; i < library->GetCount() && !replacement; ++i) {
                Template* candidate = library->GetTemplate(i);
                if (candidate && candidate != doomed && candidate->IsBuiltin() == builtin)
                    replacement = candidate;
            }
        }
        if (!replacement)
            return;
        portfolio->SetTemplate(replacement);
    }
    // The editor must never look at a deleted template.
    if (frame_->GetTemplate() == doomed)
        frame_->SetTemplate(nullptr);
    library->RemoveTemplate(doomed);
    FormShow();
}

void TForm6::Button1Click()
{
    ToggleEditor();
}

void TForm6::ToggleEditor()
{
    const int step = editorOpen_ ? -kEditorHeight : kEditorHeight;
    setFixedSize(width(), height() + step);
    ui_->Button2->move(ui_->Button2->x(), ui_->Button2->y() + step);
    ui_->Bevel2->move(ui_->Bevel2->x(), ui_->Bevel2->y() + step);
    if (editorOpen_) {
        ui_->Button1->setText("Edit >>");
        frame_->hide();
        frame_->setParent(nullptr);
        ui_->Panel1->hide();
        ui_->Panel1->setEnabled(false);
    } else {
        ui_->Button1->setText("Edit <<");
        frame_->setParent(ui_->Panel1);
        frame_->move(0, 0);
        frame_->show();
        ui_->Panel1->show();
        ui_->Panel1->setEnabled(true);
    }
    editorOpen_ = !editorOpen_;
}
