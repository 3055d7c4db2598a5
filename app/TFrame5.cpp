#include "app/TFrame5.h"

#include "model/Style.h"
#include "model/Template.h"
#include "output/FileDialog.h"
#include "output/WinColor.h"
#include "platform/rtl/RegularFile.h"
#include "ui_TFrame5.h"

#include <QColorDialog>
#include <QFontDatabase>
#include <QSignalBlocker>
#include <QStyle>

namespace {

const char* const kAttachCaption = "Click to attach a file...";
const std::uint32_t kNoColor = 0xFFFFFF;
const std::uint32_t kBlack = 0x000000;
// Marks the entry that holds a style's own value where the list has none.
const int kOwnValueRole = Qt::UserRole + 1;

int FindEntry(const QComboBox* box, const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i).compare(text, cs) == 0)
            return i;
    return -1;
}

void DropOwnValue(QComboBox* box)
{
    for (int i = box->count() - 1; i >= 0; --i)
        if (box->itemData(i, kOwnValueRole).toBool())
            box->removeItem(i);
}

// Shows a value the list does not offer as an entry of its own at `at`, so
// that the box tells what the style holds; the next element takes it away.
void ShowOwnValue(QComboBox* box, const QString& text, int at)
{
    box->insertItem(at, text);
    box->setItemData(at, true, kOwnValueRole);
    box->setItemData(at, text, Qt::ToolTipRole);
    box->setCurrentIndex(at);
}

// Selects the entry whose text is exactly `text`, else `fallback` (no
// selection when neither is listed).
void SelectText(QComboBox* box, const std::string& text, const char* fallback)
{
    int index = FindEntry(box, QString::fromStdString(text));
    if (index < 0)
        index = FindEntry(box, QString::fromLatin1(fallback));
    box->setCurrentIndex(index);
}

// The families of a CSS font-family value, unquoted, in their order.
QStringList CssFamilies(const std::string& value)
{
    QStringList families;
    for (QString part : QString::fromStdString(value).split(',')) {
        part = part.trimmed();
        if (part.size() >= 2 && (part.front() == '\'' || part.front() == '"') && part.back() == part.front())
            part = part.mid(1, part.size() - 2).trimmed();
        if (!part.isEmpty())
            families << part;
    }
    return families;
}

// The font box shows the style's family, or the first family of its list
// that is installed (CSS names match without regard to case), or else the
// value itself.
void ShowFontFamily(QComboBox* box, const std::string& value)
{
    if (value.empty()) {
        SelectText(box, value, "Arial");
        return;
    }
    int index = FindEntry(box, QString::fromStdString(value));
    for (const QString& family : CssFamilies(value)) {
        if (index >= 0)
            break;
        index = FindEntry(box, family, Qt::CaseInsensitive);
    }
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        ShowOwnValue(box, QString::fromStdString(value), 0);
}

// The size box shows the style's size, a size the list does not offer in
// its place among the others.
void ShowFontSize(QComboBox* box, const std::string& value)
{
    const QString text = QString::fromStdString(value);
    if (value.empty() || FindEntry(box, text) >= 0) {
        SelectText(box, value, "16");
        return;
    }
    bool numeric = false;
    const double size = text.toDouble(&numeric);
    int at = box->count();
    if (numeric)
        for (int i = 0; i < box->count(); ++i)
            if (box->itemText(i).toDouble() > size) {
                at = i;
                break;
            }
    ShowOwnValue(box, text, at);
}

bool HasSelection(const QComboBox* box)
{
    return box->currentIndex() >= 0;
}

std::string Selected(const QComboBox* box)
{
    return box->currentText().toStdString();
}

} // namespace

TFrame5::TFrame5(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::TFrame5>())
{
    ui_->setupUi(this);
    ui_->ToolButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ui_->ToolBar1->setStyleSheet("QToolButton:hover { background: #FFD9AF; }");
    ui_->ComboBox5->setEditable(true);
    ui_->ComboBox5->setInsertPolicy(QComboBox::NoInsert);

    ui_->ToolButton1->setText(kAttachCaption);
    ui_->CheckBox1->setChecked(false);
    ui_->ToolButton1->setEnabled(ui_->CheckBox1->isChecked());

    // Family names, not faces: the value becomes a CSS font-family, where
    // "DejaVu Sans Bold" would match nothing. Fontconfig's generic aliases
    // ("Sans Serif") name no font a page could ask for.
    for (const QString& family : QFontDatabase::families())
        if (!QFontDatabase::isPrivateFamily(family) && QFontDatabase::hasFamily(family))
            fontNames_ << family;
    fontNames_.sort(Qt::CaseInsensitive);
    fontNames_.removeDuplicates();
    ui_->ComboBox2->addItems(fontNames_);

    for (int size = 6; size <= 16; ++size)
        ui_->ComboBox3->addItem(QString::number(size));
    for (int size = 18; size <= 28; size += 2)
        ui_->ComboBox3->addItem(QString::number(size));
    for (int size = 32; size <= 96; size += 4)
        ui_->ComboBox3->addItem(QString::number(size));

    ui_->ComboBox4->setCurrentIndex(-1);
    ui_->ComboBox5->setCurrentIndex(0);
    ui_->ComboBox6->setCurrentIndex(0);
    ui_->ComboBox1->setCurrentIndex(-1);
    ui_->ComboBox2->setCurrentIndex(-1);
    ui_->ComboBox3->setCurrentIndex(-1);

    // Programmatic changes run under signal blockers, so these report only
    // what the user does.
    connect(ui_->ComboBox1, &QComboBox::currentIndexChanged, this, &TFrame5::ComboBox1Change);
    connect(ui_->ComboBox2, &QComboBox::currentIndexChanged, this, &TFrame5::ComboBox2Change);
    connect(ui_->ComboBox3, &QComboBox::currentIndexChanged, this, &TFrame5::ComboBox3Change);
    connect(ui_->ComboBox4, &QComboBox::currentIndexChanged, this, &TFrame5::ComboBox4Change);
    connect(ui_->ComboBox5, &QComboBox::currentTextChanged, this, &TFrame5::ComboBox5Change);
    connect(ui_->ComboBox6, &QComboBox::currentIndexChanged, this, &TFrame5::ComboBox6Change);
    connect(ui_->CheckBox1, &QCheckBox::clicked, this, &TFrame5::CheckBox1Click);
    connect(ui_->CheckBox2, &QCheckBox::clicked, this, &TFrame5::CheckBox2Click);
    connect(ui_->Shape1, &TShape::MouseDown, this, &TFrame5::Shape1MouseDown);
    connect(ui_->Shape2, &TShape::MouseDown, this, &TFrame5::Shape2MouseDown);
    connect(ui_->Shape3, &TShape::MouseDown, this, &TFrame5::Shape3MouseDown);
    connect(ui_->ToolButton1, &QToolButton::clicked, this, &TFrame5::ToolButton1Click);

    EnableBackground(false);
}

TFrame5::~TFrame5() = default;

void TFrame5::EnableBackground(bool enabled)
{
    ui_->ToolButton1->setEnabled(enabled);
    ui_->ComboBox5->setEnabled(enabled);
    ui_->Shape3->setEnabled(enabled);
}

Style* TFrame5::SelectedStyle() const
{
    if (!template_ || ui_->ComboBox1->currentIndex() < 0)
        return nullptr;
    return static_cast<Style*>(ui_->ComboBox1->currentData().value<void*>());
}

void TFrame5::SetTemplate(Template* value)
{
    if (value == template_)
        return;
    template_ = value;
    if (!template_)
        return;

    const QSignalBlocker b1(ui_->ComboBox1), b5(ui_->ComboBox5), c1(ui_->CheckBox1);
    imageName_ = template_->GetBackgroundImage();
    const std::uint32_t background = template_->GetBackgroundColor();
    if (imageName_.empty() && background == kNoColor) {
        ui_->ToolButton1->setText(kAttachCaption);
        // The swatch must not keep the previous template's colour: ticking
        // the box would write it into this one.
        ui_->Shape3->SetBrushColor(kNoColor);
        ui_->CheckBox1->setChecked(false);
    } else {
        ui_->ToolButton1->setText(imageName_.empty() ? QString(kAttachCaption) : QString::fromStdString(imageName_));
        ui_->Shape3->SetBrushColor(background);
        ui_->CheckBox1->setChecked(true);
    }
    SelectText(ui_->ComboBox5, template_->GetBackgroundRepeat(), "Tile");
    EnableBackground(ui_->CheckBox1->isChecked());

    ui_->ComboBox1->clear();
    for (int i = 0; i < template_->GetStyleCount(); ++i) {
        Style* style = template_->GetStyle(i);
        if (style && !style->FriendlyName.empty())
            ui_->ComboBox1->addItem(QString::fromStdString(style->FriendlyName),
                                    QVariant::fromValue(static_cast<void*>(style)));
    }
    ui_->ComboBox1->setCurrentIndex(ui_->ComboBox1->count() > 0 ? 0 : -1);
    LoadElement();
}

void TFrame5::LoadElement()
{
    Style* style = SelectedStyle();
    if (!style)
        return;
    const QSignalBlocker b2(ui_->ComboBox2), b3(ui_->ComboBox3), b4(ui_->ComboBox4), b6(ui_->ComboBox6),
        c2(ui_->CheckBox2);
    DropOwnValue(ui_->ComboBox2);
    DropOwnValue(ui_->ComboBox3);
    ShowFontFamily(ui_->ComboBox2, style->FontFamily);
    ShowFontSize(ui_->ComboBox3, style->FontSize);
    SelectText(ui_->ComboBox4, style->FontStyle, "Normal");
    SelectText(ui_->ComboBox6, style->TextAlign, "Left");
    std::uint32_t color = kBlack;
    ui_->Shape1->SetBrushColor(style->GetFontColor(&color) ? color : kBlack);
    if (style->GetBackgroundColor(&color)) {
        ui_->CheckBox2->setChecked(true);
        ui_->Shape2->setEnabled(true);
        ui_->Shape2->SetBrushColor(color);
    } else {
        ui_->CheckBox2->setChecked(false);
        ui_->Shape2->SetBrushColor(kNoColor);
        ui_->Shape2->setEnabled(false);
    }
}

// Each control writes only its own property: a value the box merely shows
// (a size it does not list, the installed family of a font list) stays in
// the style as it was until the user picks another.

void TFrame5::WriteTextField(std::string Style::*field, const QComboBox* box)
{
    if (Style* style = SelectedStyle(); style && HasSelection(box))
        style->*field = Selected(box);
}

void TFrame5::WriteElementBackground()
{
    Style* style = SelectedStyle();
    if (!style)
        return;
    if (ui_->CheckBox2->isChecked())
        style->SetBackgroundColor(ui_->Shape2->BrushColor());
    else
        style->BackgroundColor.clear();
}

void TFrame5::WritePageBackgroundColor()
{
    if (template_)
        template_->SetBackgroundColor(ui_->CheckBox1->isChecked() ? ui_->Shape3->BrushColor() : kNoColor);
}

void TFrame5::ComboBox1Change()
{
    LoadElement();
}

void TFrame5::ComboBox2Change() { WriteTextField(&Style::FontFamily, ui_->ComboBox2); }
void TFrame5::ComboBox3Change() { WriteTextField(&Style::FontSize, ui_->ComboBox3); }
void TFrame5::ComboBox4Change() { WriteTextField(&Style::FontStyle, ui_->ComboBox4); }
void TFrame5::ComboBox6Change() { WriteTextField(&Style::TextAlign, ui_->ComboBox6); }

void TFrame5::ComboBox5Change()
{
    if (!template_)
        return;
    // The repeat box is editable: typed text that names no entry is not a choice.
    const int repeat = FindEntry(ui_->ComboBox5, ui_->ComboBox5->currentText());
    if (repeat >= 0)
        template_->SetBackgroundRepeat(ui_->ComboBox5->itemText(repeat).toStdString());
}

void TFrame5::CheckBox1Click()
{
    if (!template_)
        return;
    const bool checked = ui_->CheckBox1->isChecked();
    EnableBackground(checked);
    if (!checked) {
        imageName_.clear();
        template_->SetBackgroundImage("");
        template_->SetBackgroundRepeat("Tile");
        const QSignalBlocker b5(ui_->ComboBox5);
        ui_->ComboBox5->setCurrentIndex(ui_->ComboBox5->findText("Tile"));
        ui_->ToolButton1->setText(kAttachCaption);
    }
    WritePageBackgroundColor();
}

void TFrame5::CheckBox2Click()
{
    ui_->Shape2->setEnabled(ui_->CheckBox2->isChecked());
    WriteElementBackground();
}

bool TFrame5::PickColor(TShape* shape)
{
    QColorDialog dialog(ColorFromWin(shape->BrushColor()), this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    shape->SetBrushColor(WinFromColor(dialog.selectedColor()));
    return true;
}

void TFrame5::Shape1MouseDown(Qt::MouseButton button)
{
    Style* style = SelectedStyle();
    if (style && button == Qt::LeftButton && PickColor(ui_->Shape1))
        style->SetFontColor(ui_->Shape1->BrushColor());
}

void TFrame5::Shape2MouseDown(Qt::MouseButton button)
{
    if (SelectedStyle() && button == Qt::LeftButton && PickColor(ui_->Shape2))
        WriteElementBackground();
}

void TFrame5::Shape3MouseDown(Qt::MouseButton button)
{
    if (template_ && button == Qt::LeftButton && PickColor(ui_->Shape3))
        WritePageBackgroundColor();
}

void TFrame5::ToolButton1Click()
{
    if (!SelectedStyle())
        return;
    TOpenDialog dialog;
    dialog.Title = "Select a background image...";
    dialog.Filter = "All Image Files|*.jpg;*.jpeg;*.png;*.gif;*.bmp|JPEG Images|*.jpg;*.jpeg|PNG Images|"
                    "*.png|GIF Images|*.gif|BMP Images|*.bmp";
    if (CanReadRegularFile(imageName_))
        dialog.FileName = imageName_;
    if (!dialog.Execute(this))
        return;
    if (!template_->SetBackgroundImage(dialog.FileName))
        return;
    imageName_ = template_->GetBackgroundImage();
    ui_->ToolButton1->setText(QString::fromStdString(imageName_));
    // The template drops its colour with a new image; the swatch still shows
    // it, and the page keeps what the user sees.
    if (ui_->Shape3->BrushColor() != kNoColor)
        WritePageBackgroundColor();
}
