#include "app/TForm5.h"

#include "app/FormBackground.h"
#include "app/EditText.h"
#include "app/TOpenPictureDialog.h"
#include "model/Portfolio.h"
#include "output/FileDialog.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "platform/rtl/RegularFile.h"
#include "ui_TForm5.h"

#include <QSignalBlocker>
#include <QStyle>

namespace {

const char* const kNameAsShipped = "Jane Doe";

bool CanRead(const std::string& path)
{
    return CanReadRegularFile(path);
}

} // namespace

TForm5::TForm5(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm5>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    UseFormBackground(this);
    setAutoFillBackground(true);
    for (QToolButton* button : {ui_->ToolButton1, ui_->ToolButton2})
        button->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    setStyleSheet("QToolButton:hover { background: #FFD9AA; }");

    connect(ui_->CheckBox1, &QCheckBox::toggled, this, &TForm5::CheckBox1Click);
    connect(ui_->CheckBox3, &QCheckBox::toggled, this, &TForm5::CheckBox3Click);
    connect(ui_->ToolButton1, &QToolButton::clicked, this, &TForm5::ToolButton1Click);
    connect(ui_->ToolButton2, &QToolButton::clicked, this, &TForm5::ToolButton2Click);
    connect(ui_->Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
}

TForm5::~TForm5() = default;

int TForm5::ShowDetails(Portfolio* portfolio)
{
    if (!portfolio)
        return mrCancel;
    LoadDetails(portfolio);
    ui_->Edit1->setFocus();
    return ShowModal(*this);
}

void TForm5::LoadDetails(Portfolio* portfolio)
{
    portfolio_ = portfolio;
    {
        const QSignalBlocker c1(ui_->CheckBox1), c3(ui_->CheckBox3);
        ui_->Edit1->setText(ToEditText(portfolio->GetName(true)));
        ui_->Edit2->setText(ToEditText(portfolio->GetPhone(true)));
        ui_->Edit3->setText(ToEditText(portfolio->GetEmail(true)));
        ui_->Edit4->setText(ToEditText(portfolio->GetWebsiteAddress(true)));
        ui_->Memo1->setPlainText(ToEditText(portfolio->GetAddress(true)));

        ui_->CheckBox1->setChecked(portfolio->GetUseCVFile());
        cvFile_ = portfolio->GetCVFile();
        cvPicked_ = false;
        ui_->ToolButton1->setText(AttachCaption(cvFile_));
        ui_->ToolButton1->setEnabled(ui_->CheckBox1->isChecked());

        ui_->CheckBox3->setChecked(portfolio->GetUsePictureFile());
        pictureFile_ = portfolio->GetPictureFile();
        picturePicked_ = false;
        ui_->ToolButton2->setText(AttachCaption(pictureFile_));
        ui_->ToolButton2->setEnabled(ui_->CheckBox3->isChecked());
    }
}

bool TForm5::ApplyDetails()
{
    if (!portfolio_)
        return false;
    const auto refuse = [this](const std::string& path) {
        MessageBoxA(this, "The file could not be read:\n" + path, "Oooops!", MB_OK | MB_ICONERROR);
        return false;
    };
    // Both files are checked before anything changes, so a refused file
    // leaves the portfolio as it was and the dialog open to pick another.
    if (picturePicked_ && !CanRead(pictureFile_))
        return refuse(pictureFile_);
    if (cvPicked_ && !CanRead(cvFile_))
        return refuse(cvFile_);
    portfolio_->SetName(ui_->Edit1->text().toStdString());
    portfolio_->SetPhone(ui_->Edit2->text().toStdString());
    portfolio_->SetEmail(ui_->Edit3->text().toStdString());
    portfolio_->SetWebsiteAddress(ui_->Edit4->text().toStdString());
    portfolio_->SetAddress(ui_->Memo1->toPlainText().toStdString());
    portfolio_->SetUsePictureFile(ui_->CheckBox3->isChecked());
    if (picturePicked_) {
        if (!portfolio_->AttachPictureFile(pictureFile_))
            return refuse(pictureFile_);
        picturePicked_ = false;
    }
    portfolio_->SetUseCVFile(ui_->CheckBox1->isChecked());
    if (cvPicked_) {
        if (!portfolio_->AttachCVFile(cvFile_))
            return refuse(cvFile_);
        cvPicked_ = false;
    }
    return true;
}

void TForm5::CheckBox1Click()
{
    ui_->ToolButton1->setEnabled(ui_->CheckBox1->isChecked());
}

void TForm5::CheckBox3Click()
{
    ui_->ToolButton2->setEnabled(ui_->CheckBox3->isChecked());
}

void TForm5::ToolButton1Click()
{
    TOpenDialog dialog;
    dialog.Title = "Please select a CV file...";
    dialog.Filter = "Document Files (*.doc, *.docx, *.wps)|*.doc;*.docx;*.wps";
    if (CanRead(cvFile_))
        dialog.FileName = cvFile_;
    if (!dialog.Execute(this))
        return;
    cvFile_ = dialog.FileName;
    cvPicked_ = true;
    ui_->ToolButton1->setText(AttachCaption(cvFile_));
}

void TForm5::ToolButton2Click()
{
    TOpenPictureDialog dialog;
    dialog.Title = "Please select a picture...";
    dialog.Filter = "Picture Files (*.jpg, *.jpeg, *.bmp)|*.jpg;*.jpeg;*.bmp";
    if (CanRead(pictureFile_))
        dialog.FileName = pictureFile_;
    if (!dialog.Execute(this))
        return;
    pictureFile_ = dialog.FileName;
    picturePicked_ = true;
    ui_->ToolButton2->setText(AttachCaption(pictureFile_));
}

void TForm5::Button1Click()
{
    if (ui_->Edit1->text().isEmpty()) {
        MessageBoxA(this, "Please enter your name.", "Oooops!", MB_OK | MB_ICONERROR);
        return;
    }
    if (!ApplyDetails())
        return;
    // The first details typed become the defaults by themselves; the name
    // the program ships with is no one's details.
    if (portfolio_ && !Portfolio::HasSavedDetails() && ui_->Edit1->text() != kNameAsShipped)
        portfolio_->SaveDetails();
    done(mrOk);
}

void TForm5::Button3Click()
{
    if (!portfolio_ || !ApplyDetails())
        return;
    std::string error;
    if (!portfolio_->SaveDetails(&error))
        MessageBoxA(this, "Your details could not be saved as the default details:\n" + error, "Oooops!",
                    MB_OK | MB_ICONERROR);
}
