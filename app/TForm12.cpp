#include "app/TForm12.h"

#include "app/FormBackground.h"
#include "app/TFrame3.h"
#include "model/Options.h"
#include "model/PictureSizes.h"
#include "model/TemplateLibrary.h"
#include "output/FileDialog.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "services/EmailerFactory.h"
#include "services/Updater.h"
#include "ui_TForm12.h"

#include <QStyle>
#include <QVBoxLayout>

namespace {

const char* const kTemplateFilter = "Velmora Template Files (*.vtp)|*.vtp";

} // namespace

TForm12::TForm12(QWidget* owner)
    : QDialog(owner), ui_(std::make_unique<Ui::TForm12>()), SaveDialog1(std::make_unique<TSaveDialog>()),
      OpenDialog1(std::make_unique<TOpenDialog>())
{
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    setFixedSize(size());
    UseFormBackground(this);
    ui_->Image1->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));

    SaveDialog1->Title = "Export Templates";
    SaveDialog1->Filter = kTemplateFilter;
    SaveDialog1->DefaultExt = "vtp";
    // An existing file is replaced only when the user says so.
    SaveDialog1->OverwritePrompt = true;
    OpenDialog1->Title = "Import Templates";
    OpenDialog1->Filter = kTemplateFilter;
    OpenDialog1->DefaultExt = "vtp";

    connect(ui_->TrackBar1, &QSlider::valueChanged, this, &TForm12::TrackBar1Change);
    connect(ui_->TrackBar2, &QSlider::valueChanged, this, &TForm12::TrackBar2Change);
    connect(ui_->Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->Button2, &QPushButton::clicked, this, &TForm12::Button2Click);
    connect(ui_->Button3, &QPushButton::clicked, this, &TForm12::Button3Click);
    connect(ui_->Button4, &QPushButton::clicked, this, &TForm12::Button4Click);

    options_ = Options::Instance();
    ui_->CheckBox1->setChecked(options_->GetShowWelcome());
    // A build without an update host cannot check: the box says so, as the
    // menu entry does, and the stored choice waits for a build that can.
    const bool updates = !Updater::DescriptionAddress().empty();
    ui_->CheckBox2->setEnabled(updates);
    ui_->CheckBox2->setChecked(updates && options_->GetCheckForUpdates());
    const bool organiser = options_->IsPicasaInstalled();
    ui_->CheckBox3->setEnabled(organiser);
    ui_->CheckBox3->setChecked(organiser && options_->GetPicasaIntegration());
    ui_->CheckBox4->setChecked(options_->GetIncludeDate());
    ui_->CheckBox5->setChecked(options_->GetIncludeCopyright());

    frame_ = new TFrame3(ui_->Panel1, true);
    QPalette white = frame_->palette();
    white.setColor(QPalette::Window, Qt::white);
    frame_->setPalette(white);
    frame_->setAutoFillBackground(true);
    frame_->Label1->setText("Right click on an account for more options.");
    EmailerFactory::Instance()->RefreshMailClient();
    frame_->FillAccountList();
    auto* host = new QVBoxLayout(ui_->Panel1);
    host->setContentsMargins(0, 0, 0, 0);
    host->addWidget(frame_);

    ui_->TrackBar1->setRange(0, 7);
    ui_->TrackBar1->setValue(options_->GetPictureSize());
    TrackBar1Change();
    ui_->TrackBar2->setRange(0, 100);
    ui_->TrackBar2->setTickInterval(10);
    ui_->TrackBar2->setValue(options_->GetPdfCompression());
    TrackBar2Change();
    ui_->PageControl1->setCurrentIndex(0);
}

TForm12::~TForm12() = default;

void TForm12::TrackBar1Change()
{
    const int position = ui_->TrackBar1->value();
    if (position >= 0 && position < kPictureSizeCount)
        ui_->Label6->setText(PictureSizes[position].caption);
}

void TForm12::TrackBar2Change()
{
    // The slider stores the setting; the caption tells the compression.
    ui_->Label11->setText(QString("Set compression to %1%").arg(100 - ui_->TrackBar2->value()));
}

void TForm12::Button2Click()
{
    options_->SetShowWelcome(ui_->CheckBox1->isChecked());
    if (ui_->CheckBox2->isEnabled())
        options_->SetCheckForUpdates(ui_->CheckBox2->isChecked());
    if (ui_->CheckBox3->isEnabled())
        options_->SetPicasaIntegration(ui_->CheckBox3->isChecked());
    options_->SetIncludeDate(ui_->CheckBox4->isChecked());
    options_->SetIncludeCopyright(ui_->CheckBox5->isChecked());
    options_->SetPictureSize(ui_->TrackBar1->value());
    options_->SetPdfCompression(ui_->TrackBar2->value());
    done(mrOk);
}

void TForm12::Button3Click()
{
    RunTemplateFile(*SaveDialog1, &TemplateLibrary::Save, "Successfully exported the templates.",
                    "Failed to export the templates. ", "Export Your Templates");
}

void TForm12::Button4Click()
{
    RunTemplateFile(*OpenDialog1, &TemplateLibrary::Import, "Successfully imported the templates.",
                    "Failed to import the templates. ", "Import New Templates");
}

void TForm12::RunTemplateFile(TFileDialog& dialog, bool (TemplateLibrary::*action)(const std::string&),
                              const char* succeeded, const char* failed, const char* caption)
{
    if (!dialog.Execute(this))
        return;
    TemplateLibrary* library = TemplateLibrary::Instance();
    if ((library->*action)(dialog.FileName))
        MessageBoxA(this, succeeded, caption, MB_OK | MB_ICONINFORMATION);
    else
        MessageBoxA(this, failed + library->GetText(), caption, MB_OK | MB_ICONWARNING);
}
