#include "app/TFrame2.h"

#include "app/FormBackground.h"
#include "app/EditText.h"
#include "app/TForm1.h"
#include "model/Portfolio.h"
#include "output/FileDialog.h"
#include "output/MessageBox.h"
#include "ui_TFrame2.h"

#include <QSignalBlocker>
#include <QStyle>

TFrame2* Frame2 = nullptr;

TFrame2::TFrame2(QWidget* owner) : QWidget(owner), ui_(std::make_unique<Ui::TFrame2>())
{
    ui_->setupUi(this);
    UseFormBackground(this);
    setAutoFillBackground(true);
    ui_->Image1->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(72, 72));
    ui_->ToolButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ui_->ToolBar1->setStyleSheet("QToolButton:hover { background: #FFD9AA; }");
    ui_->ToolButton1->setEnabled(false);

    connect(ui_->Edit1, &QLineEdit::textChanged, this, &TFrame2::Edit1Change);
    connect(ui_->Memo1, &QPlainTextEdit::textChanged, this, &TFrame2::Memo1Change);
    connect(ui_->CheckBox1, &QCheckBox::toggled, this, &TFrame2::CheckBox1Click);
    connect(ui_->ToolButton1, &QToolButton::clicked, this, &TFrame2::ToolButton1Click);
}

TFrame2::~TFrame2()
{
    if (Frame2 == this)
        Frame2 = nullptr;
}

Portfolio* TFrame2::CurrentPortfolio()
{
    portfolio_ = Form1 ? Form1->GetPortfolio() : nullptr;
    return portfolio_;
}

void TFrame2::ShowStatement()
{
    Portfolio* portfolio = CurrentPortfolio();
    if (!portfolio)
        return;
    // Filling the page must not write: the memo hands line ends back in
    // its own form.
    const QSignalBlocker e1(ui_->Edit1), m1(ui_->Memo1), c1(ui_->CheckBox1);
    ui_->Edit1->setText(ToEditText(portfolio->GetStatementTitle(true)));
    ui_->Memo1->setPlainText(ToEditText(portfolio->GetStatementText(true)));
    ui_->CheckBox1->setChecked(portfolio->GetUseStatementFile());
    ui_->ToolButton1->setText(AttachCaption(portfolio->GetStatementFile()));
    ui_->ToolButton1->setEnabled(ui_->CheckBox1->isChecked());
}

void TFrame2::Edit1Change()
{
    if (Portfolio* portfolio = CurrentPortfolio())
        portfolio->SetStatementTitle(ui_->Edit1->text().toStdString());
}

void TFrame2::Memo1Change()
{
    if (Portfolio* portfolio = CurrentPortfolio())
        portfolio->SetStatementText(ui_->Memo1->toPlainText().toStdString());
}

void TFrame2::CheckBox1Click()
{
    Portfolio* portfolio = CurrentPortfolio();
    if (!portfolio)
        return;
    portfolio->SetUseStatementFile(ui_->CheckBox1->isChecked());
    ui_->ToolButton1->setEnabled(ui_->CheckBox1->isChecked());
}

void TFrame2::ToolButton1Click()
{
    Portfolio* portfolio = CurrentPortfolio();
    if (!portfolio)
        return;
    TOpenDialog dialog;
    dialog.Title = "Please select a statement file...";
    dialog.Filter = "Document Files (*.doc, *.docx, *.wps)|*.doc;*.docx;*.wps";
    if (portfolio->GetUseStatementFile())
        dialog.FileName = portfolio->GetStatementFile();
    if (!dialog.Execute(this))
        return;
    if (!portfolio->AttachStatementFile(dialog.FileName))
        MessageBoxA(this, "The file could not be read:\n" + dialog.FileName, "Oooops!", MB_OK | MB_ICONERROR);
    ui_->ToolButton1->setText(AttachCaption(portfolio->GetStatementFile()));
}
