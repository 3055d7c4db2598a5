#include "app/TForm1.h"

#include "app/FormBackground.h"
#include "app/EmailThread.h"
#include "app/ExportThread.h"
#include "app/PreviewThread.h"
#include "app/TForm12.h"
#include "app/TForm16.h"
#include "app/TForm4.h"
#include "app/TForm5.h"
#include "app/TForm6.h"
#include "model/Options.h"
#include "model/Portfolio.h"
#include "output/FileDialog.h"
#include "output/Form1.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "output/PortfolioGenerator.h"
#include "ui_TForm1.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>

TForm1* Form1 = nullptr;

namespace {

const char* const kTitle = "Velmora Voravev 2.0";
const char* const kTitleSeparator = " - ";

} // namespace

TForm1::TForm1(QWidget* owner) : QMainWindow(owner), ui_(std::make_unique<Ui::TForm1>())
{
    // Message boxes and job windows of the start-up below already belong
    // to this window.
    Form1 = this;
    RegisterForm1(this);

    ui_->setupUi(this);
    UseFormBackground(this);
    setAutoFillBackground(true);

    // The tool bar's pictures: the desktop style's standard icons.
    const struct {
        QAction* action;
        QStyle::StandardPixmap icon;
    } icons[] = {
        {ui_->ToolButton1, QStyle::SP_DialogSaveButton}, {ui_->ToolButton2, QStyle::SP_DialogOpenButton},
        {ui_->ToolButton6, QStyle::SP_FileDialogInfoView}, {ui_->ToolButton8, QStyle::SP_FileDialogDetailedView},
        {ui_->ToolButton4, QStyle::SP_MediaPlay},        {ui_->ToolButton5, QStyle::SP_DriveCDIcon},
        {ui_->ToolButton10, QStyle::SP_FileIcon},          {ui_->ToolButton9, QStyle::SP_ArrowForward},
    };
    for (const auto& entry : icons)
        entry.action->setIcon(style()->standardIcon(entry.icon));
    ui_->ToolBar1->setStyleSheet(
        "QToolButton { min-width: 75px; min-height: 63px; }"
        "QToolButton:hover { background: #FFD9AA; }");

    connect(ui_->ToolButton6, &QAction::triggered, this, &TForm1::ToolButton6Click);
    connect(ui_->ToolButton4, &QAction::triggered, this, &TForm1::ToolButton4Click);
    connect(ui_->ToolButton9, &QAction::triggered, this, &TForm1::ToolButton9Click);
    connect(ui_->ToolButton10, &QAction::triggered, this, &TForm1::ToolButton10Click);
    connect(ui_->ExportasPDF1, &QAction::triggered, this, &TForm1::ExportasPDF1Click);
    connect(ui_->ToolButton8, &QAction::triggered, this, &TForm1::ToolButton8Click);
    connect(ui_->Options1, &QAction::triggered, this, &TForm1::Options1Click);
    connect(ui_->About2, &QAction::triggered, this, &TForm1::About2Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    SaveDialog2 = std::make_unique<TSaveDialog>();
    SaveDialog2->Title = "Export your portfolio as a PDF file...";
    SaveDialog2->DefaultExt = "pdf";
    SaveDialog2->Filter = "PDF (.pdf)|*.pdf";
    SaveDialog2->OverwritePrompt = true;
    SaveDialog2->InitialDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();

    SetUpStrip();
    options_ = Options::Instance();
    NewPortfolio();
}

TForm1::~TForm1()
{
    if (Form16)
        Form16->DropJob();
    // Each job is asked to stop and deleted in turn; deleting waits for its
    // end, and waiting on the main thread runs the calls it hands over, so a
    // job blocked in one ends too. They go before the portfolio they read.
    for (std::unique_ptr<ProgressThread>& job : jobs_) {
        job->Terminate();
        job.reset();
    }
    jobs_.clear();
    if (Form1 == this) {
        Form1 = nullptr;
        RegisterForm1(nullptr);
    }
}

void TForm1::NewPortfolio()
{
    // A waiting e-mail job must never send the portfolio that goes now.
    if (Form16)
        Form16->DropJob();
    portfolio_.reset();
    UpdateCaption("");
    portfolio_ = std::make_unique<Portfolio>();
    RebuildStrip();
}

void TForm1::UpdateCaption(const std::string& fileName)
{
    std::string caption = kTitle;
    if (!fileName.empty())
        caption += kTitleSeparator + fileName;
    setWindowTitle(QString::fromStdString(caption));
}

void TForm1::ToolButton6Click()
{
    TForm5 dialog(this);
    dialog.ShowDetails(portfolio_.get());
}

void TForm1::ToolButton8Click()
{
    if (Form6)
        ShowModal(*Form6);
}

void TForm1::Options1Click()
{
    TForm12 dialog(this);
    ShowModal(dialog);
}

void TForm1::About2Click()
{
    if (Form4)
        ShowModal(*Form4);
}

bool TForm1::HasArtworks(const char* action)
{
    if (portfolio_->GetPictureCount() > 0)
        return true;
    MessageBoxA(this, std::string("You must add in some artworks before you can ") + action + " your portfolio.",
                "Ooops!", MB_OK | MB_ICONINFORMATION);
    return false;
}

void TForm1::ToolButton4Click()
{
    if (HasArtworks("preview"))
        jobs_.push_back(std::make_unique<PreviewThread>(portfolio_.get(), PortfolioGenerator::kHtml, false));
}

void TForm1::ToolButton9Click()
{
    if (HasArtworks("e-mail"))
        jobs_.push_back(std::make_unique<EmailThread>(portfolio_.get(), false));
}

void TForm1::ToolButton10Click()
{
    ExportPortfolio();
}

void TForm1::ExportasPDF1Click()
{
    ExportPortfolio();
}

void TForm1::ExportPortfolio()
{
    if (!HasArtworks("export") || !SaveDialog2->Execute(this))
        return;
    jobs_.push_back(std::make_unique<ExportThread>(portfolio_.get(), SaveDialog2->FileName, false));
}
