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

// Selects the entry whose text is exactly `text`, else `fallback` (no
// selection when neither is listed).
void SelectText(QComboBox* box, const std::string& text, const char* fallback)
{
    int index = box->findText(QString::fromStdString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        index = box->findText(QString::fromLatin1(fallback), Qt::MatchExactly | Qt::MatchCaseSensitive);
    box->setCurrentIndex(index);
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
    SelectText(ui_->ComboBox2, style->FontFamily, "Arial");
    SelectText(ui_->ComboBox3, style->FontSize, "16");
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

void TFrame5::ApplyElement()
{
    Style* style = SelectedStyle();
    if (!style)
        return;
    if (HasSelection(ui_->ComboBox2))
        style->FontFamily = Selected(ui_->ComboBox2);
    if (HasSelection(ui_->ComboBox3))
        style->FontSize = Selected(ui_->ComboBox3);
    if (HasSelection(ui_->ComboBox4))
        style->FontStyle = Selected(ui_->ComboBox4);
    style->SetFontColor(ui_->Shape1->BrushColor());
    if (ui_->CheckBox2->isChecked())
        style->SetBackgroundColor(ui_->Shape2->BrushColor());
    else
        style->BackgroundColor.clear();
    if (HasSelection(ui_->ComboBox6))
        style->TextAlign = Selected(ui_->ComboBox6);
    // The repeat box is editable: typed text that names no entry is not a choice.
    const int repeat = ui_->ComboBox5->findText(ui_->ComboBox5->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (repeat >= 0)
        template_->SetBackgroundRepeat(ui_->ComboBox5->itemText(repeat).toStdString());
    template_->SetBackgroundColor(ui_->CheckBox1->isChecked() ? ui_->Shape3->BrushColor() : kNoColor);
}

void TFrame5::ComboBox1Change()
{
    LoadElement();
}

void TFrame5::ComboBox2Change() { ApplyElement(); }
void TFrame5::ComboBox3Change() { ApplyElement(); }
void TFrame5::ComboBox4Change() { ApplyElement(); }
void TFrame5::ComboBox5Change() { ApplyElement(); }
void TFrame5::ComboBox6Change() { ApplyElement(); }

void TFrame5::CheckBox1Click()
{
    if (!template_)
        return;
    const bool checked = ui_->CheckBox1->isChecked();
    EnableBackground(checked);
    if (!checked) {
        imageName_.clear();
        template_->SetBackgroundImage("");
        const QSignalBlocker b5(ui_->ComboBox5);
        ui_->ComboBox5->setCurrentIndex(ui_->ComboBox5->findText("Tile"));
        ui_->ToolButton1->setText(kAttachCaption);
    }
    ApplyElement();
}

void TFrame5::CheckBox2Click()
{
    ui_->Shape2->setEnabled(ui_->CheckBox2->isChecked());
    ApplyElement();
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
    if (button == Qt::LeftButton && PickColor(ui_->Shape1))
        ApplyElement();
}

void TFrame5::Shape2MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton && PickColor(ui_->Shape2))
        ApplyElement();
}

void TFrame5::Shape3MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton && PickColor(ui_->Shape3))
        ApplyElement();
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
}
