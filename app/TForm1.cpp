#include "app/TForm1.h"

#include "app/AddArtworksThread.h"
#include "app/EmailThread.h"
#include "app/ExportThread.h"
#include "app/FormBackground.h"
#include "app/NamedPipeServer.h"
#include "app/PreviewThread.h"
#include "app/TForm11.h"
#include "app/TForm12.h"
#include "app/TForm16.h"
#include "app/TForm4.h"
#include "app/TForm5.h"
#include "app/TForm6.h"
#include "app/WinMain.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/FileDialog.h"
#include "output/Form1.h"
#include "output/MessageBox.h"
#include "output/ModalResult.h"
#include "output/PortfolioArchive.h"
#include "output/PortfolioGenerator.h"
#include "platform/rtl/RegularFile.h"
#include "platform/shell/Process.h"
#include "services/BurnThread.h"
#include "services/ProductAddresses.h"
#include "services/TForm3.h"
#include "services/UpdateThread.h"
#include "services/Updater.h"
#include "ui_TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <cerrno>
#include <exception>
#include <filesystem>

TForm1* Form1 = nullptr;

namespace {

const char* const kTitle = "Velmora Voravev 2.0";
const char* const kTitleSeparator = " - ";
const char* const kPortfolioFilter = "Portfolio Files (*.pfo)|*.pfo";
const char* const kSaveQuestion = "Do you want to save the current portfolio?";

// The part after the last "/"; portfolios named by a Windows path keep
// their "\" as part of the name.
std::string FileNamePart(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A menu caption showing the text as it is: "&" would mark a shortcut.
QString MenuCaption(const std::string& text)
{
    return QString::fromStdString(text).replace("&", "&&");
}

bool HasUpdateServer()
{
    return !Updater::DescriptionAddress().empty();
}

// The user's documents folder, or "" when the desktop names none that exists.
std::string DocumentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !folder.isEmpty() && QDir(folder).exists() ? folder.toStdString() : std::string();
}

} // namespace

TForm1::TForm1(const std::vector<std::string>& arguments, QWidget* owner)
    : QMainWindow(owner), ui_(std::make_unique<Ui::TForm1>())
{
    // Message boxes and job windows of the start-up below already belong
    // to this window.
    Form1 = this;
    RegisterForm1(this);
    RegisterForm1Commands(this);

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

    // The separator above the recent files shows only with them.
    N5 = ui_->F1->insertSeparator(ui_->MRUFile01);
    N5->setObjectName("N5");

    const struct {
        QAction* action;
        void (TForm1::*handler)();
    } handlers[] = {
        {ui_->New1, &TForm1::New1Click},
        {ui_->Load1, &TForm1::Load1Click},
        {ui_->Save1, &TForm1::Save1Click},
        {ui_->SaveAs1, &TForm1::SaveAs1Click},
        {ui_->ExportasPDF1, &TForm1::ExportasPDF1Click},
        {ui_->MRUFile01, &TForm1::MRUFile01Click},
        {ui_->MRUFile11, &TForm1::MRUFile11Click},
        {ui_->MRUFile21, &TForm1::MRUFile21Click},
        {ui_->MRUFile31, &TForm1::MRUFile31Click},
        {ui_->Exit1, &TForm1::Exit1Click},
        {ui_->Options1, &TForm1::Options1Click},
        {ui_->Tutorial1, &TForm1::Tutorial1Click},
        {ui_->CheckforUpdates1, &TForm1::CheckforUpdates1Click},
        {ui_->VisitWebsite1, &TForm1::VisitWebsite1Click},
        {ui_->Sendfeedback1, &TForm1::Sendfeedback1Click},
        {ui_->About2, &TForm1::About2Click},
        {ui_->ToolButton1, &TForm1::ToolButton1Click},
        {ui_->ToolButton2, &TForm1::ToolButton2Click},
        {ui_->ToolButton6, &TForm1::ToolButton6Click},
        {ui_->ToolButton8, &TForm1::ToolButton8Click},
        {ui_->ToolButton4, &TForm1::ToolButton4Click},
        {ui_->ToolButton5, &TForm1::ToolButton5Click},
        {ui_->ToolButton10, &TForm1::ToolButton10Click},
        {ui_->ToolButton9, &TForm1::ToolButton9Click},
    };
    for (const auto& entry : handlers)
        connect(entry.action, &QAction::triggered, this, entry.handler);

    // Pages the build names no address for are not offered.
    ui_->Tutorial1->setEnabled(*ProductAddresses::TutorialPage != '\0');
    ui_->VisitWebsite1->setEnabled(*ProductAddresses::WebSite != '\0');
    ui_->Sendfeedback1->setEnabled(*ProductAddresses::FeedbackPage != '\0');
    // A build without an update server has nothing to check against.
    ui_->CheckforUpdates1->setEnabled(HasUpdateServer());

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    OpenDialog1 = std::make_unique<TOpenDialog>();
    OpenDialog1->Title = "Open Portfolio";
    OpenDialog1->DefaultExt = "pfo";
    OpenDialog1->Filter = kPortfolioFilter;

    SaveDialog1 = std::make_unique<TSaveDialog>();
    SaveDialog1->Title = "Save Portfolio";
    SaveDialog1->DefaultExt = "pfo";
    SaveDialog1->Filter = kPortfolioFilter;
    SaveDialog1->OverwritePrompt = true;

    SaveDialog2 = std::make_unique<TSaveDialog>();
    SaveDialog2->Title = "Export your portfolio as a PDF file...";
    SaveDialog2->DefaultExt = "pdf";
    SaveDialog2->Filter = "PDF (.pdf)|*.pdf";
    SaveDialog2->OverwritePrompt = true;

    SetUpStrip();
    options_ = Options::Instance();
    UpdateRecentMenu();

    // Where the generators put their numbered output folders; a failure
    // shows when a job needs it.
    PortfolioGenerator::ForceWorkingFolder();

    const std::string documents = DocumentsFolder();
    if (!documents.empty()) {
        OpenDialog1->InitialDir = documents;
        SaveDialog1->InitialDir = documents;
        SaveDialog2->InitialDir = documents;
    }

    if (arguments.empty()) {
        NewPortfolio();
        // --- Single instance
        ShowWelcomeWindow();
        // --- end single instance
    } else if (arguments[0] == "/open") {
        OpenPortfolio(arguments.size() > 1 ? arguments[1] : std::string());
        // Cancelled: the window still holds a portfolio.
        if (!portfolio_)
            NewPortfolio();
    } else {
        NewPortfolio();
        // Runs once the window is up: the pictures come while it shows.
        AddArtworksFromFiles(arguments);
    }

    if (options_->GetCheckForUpdates())
        StartUpdateCheck(true);

    // --- Single instance: last, once the window can carry requests out.
    StartPipeServer();
    // --- end single instance
}

TForm1::~TForm1()
{
    // --- Single instance: no request may run while the window goes.
    StopPipeServer();
    // --- end single instance
    if (Form16)
        Form16->DropJob();
    // Every job is asked to stop, so they wind down together, then deleted
    // in turn; deleting waits for its end, and waiting on the main thread
    // runs the calls it hands over, so a job blocked in one ends too. They
    // go before the portfolio they read.
    for (std::unique_ptr<ProgressThread>& job : jobs_)
        job->Terminate();
    for (std::unique_ptr<ProgressThread>& job : jobs_)
        job.reset();
    jobs_.clear();
    for (std::unique_ptr<AddArtworksThread>& job : addJobs_)
        job->Terminate();
    addJobs_.clear();
    StopBackgroundJobs();
    if (Form1Commands() == this)
        RegisterForm1Commands(nullptr);
    if (Form1 == this) {
        Form1 = nullptr;
        RegisterForm1(nullptr);
    }
}

void TForm1::StopBackgroundJobs()
{
    // --- Single instance: requests open portfolios and read the settings.
    StopPipeServer();
    // --- end single instance
    // Deleting either waits for its end; the update job stops waiting on the
    // network, on a started file and on its Finish button when asked.
    if (burnJob_) {
        burnJob_.reset();
        ReportShutDownStep("burn job joined");
    }
    if (!updateJobs_.empty()) {
        for (std::unique_ptr<UpdateThread>& job : updateJobs_)
            job->Terminate();
        updateJobs_.clear();
        ReportShutDownStep("update jobs joined");
    }
}

bool TForm1::SaveIfWanted()
{
    if (!portfolio_ || !portfolio_->IsModified())
        return true;
    if (MessageBoxA(this, kSaveQuestion, "Save Portfolio", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return true;
    return SavePortfolio();
}

void TForm1::ReplacePortfolio(std::unique_ptr<Portfolio> portfolio)
{
    // A waiting e-mail job must never send the portfolio that goes now.
    if (Form16)
        Form16->DropJob();
    portfolio_ = std::move(portfolio);
}

void TForm1::NewPortfolio()
{
    if (!SaveIfWanted())
        return;
    ReplacePortfolio(nullptr);
    UpdateCaption("");
    ReplacePortfolio(std::make_unique<Portfolio>());
    RebuildStrip();
}

bool TForm1::OpenPortfolio(const std::string& fileName)
{
    const std::lock_guard<std::recursive_mutex> lock(portfolioMutex_);
    if (!SaveIfWanted())
        return false;
    std::string path = fileName;
    if (path.empty() && OpenDialog1->Execute(this))
        path = OpenDialog1->FileName;
    if (path.empty())
        return false;

    ReplacePortfolio(nullptr);
    auto loaded = std::make_unique<Portfolio>();
    loaded->SetFileName(path);
    std::string failure;
    const bool ok = loaded->Load(&failure);
    if (ok) {
        // The shipped sample sits among the program's files, which the user
        // may not write and an update replaces: what they make of it is a
        // copy of their own, saved where they choose, as a new portfolio is.
        std::error_code ignored;
        if (std::filesystem::equivalent(path, options_->GetSampleFile(), ignored))
            loaded->SetFileName("");
        ReplacePortfolio(std::move(loaded));
        RebuildStrip();
        UpdateCaption(FileNamePart(path));
        AddRecentFile(path);
        return true;
    }
    // What the reader filled in before it failed goes without the save
    // question: saving it could overwrite the file with partial data. The
    // new portfolio comes before the message, so that no page or strip item
    // shows a deleted artwork while the message is up.
    loaded.reset();
    NewPortfolio();
    // A file that is there but does not read is no case of a moved file;
    // one too large for this computer is neither, and stays in the list;
    // a FIFO, device or folder is refused as every received file is.
    std::error_code ignored;
    const std::filesystem::file_status found = std::filesystem::status(path, ignored);
    const std::string reason = !failure.empty()                          ? failure
                               : std::filesystem::is_regular_file(found) ? "The file is damaged or is not a portfolio file."
                               : std::filesystem::exists(found)
                                   ? RefusalReason(std::filesystem::is_directory(found) ? EISDIR : ENODEV) + "."
                                   : "Please check if this file still exists.";
    MessageBoxA(this, "Failed to open the file: " + FileNamePart(path) + "\n\n" + reason, "Error",
                MB_OK | MB_ICONWARNING);
    if (failure.empty())
        RemoveRecentFile(path);
    return false;
}

bool TForm1::SaveAs(const std::string& path)
{
    try {
        // A file this computer could not open again is written only when
        // the user says so: it may still open on a larger one.
        const int64_t need = PortfolioArchive::OpenNeed(*portfolio_);
        const int64_t budget = PortfolioArchive::MaxLoadSize();
        if (need > budget) {
            const std::string text =
                "The artworks of this portfolio take " + std::to_string((need + (1 << 20) - 1) >> 20) +
                " MiB of memory, more than this computer can open (" + std::to_string(budget >> 20) +
                " MiB): the saved file would not open here again. Fewer artworks, or artworks resized when they "
                "are added, make it smaller.\n\nSave it anyway?";
            if (MessageBoxA(this, text, "Warning", MB_YESNO | MB_ICONWARNING) != IDYES)
                return false;
        }
        portfolio_->SetFileName(path);
        std::string failure;
        if (portfolio_->Save(&failure)) {
            AddRecentFile(path);
            return true;
        }
        if (failure.empty())
            failure = "The file " + path + " could not be written.";
        MessageBoxA(this, "An error occurred trying to save the portfolio:\n" + failure, "Oooops!",
                    MB_OK | MB_ICONERROR);
    } catch (const std::exception& error) {
        MessageBoxA(this, std::string("An error occurred trying to save the portfolio:\n") + error.what(), "Oooops!",
                    MB_OK | MB_ICONERROR);
    }
    return false;
}

bool TForm1::SavePortfolio()
{
    if (!portfolio_)
        return false;
    const std::string previous = portfolio_->GetFileName(false);
    std::string path = previous;
    if (path.empty()) {
        if (!SaveDialog1->Execute(this))
            return false;
        path = SaveDialog1->FileName;
    }
    // A file that could not be written is not the portfolio's file: the
    // caption and later saves stay with the last one that was (or none).
    const bool saved = SaveAs(path);
    if (!saved)
        portfolio_->SetFileName(previous);
    UpdateCaption(portfolio_->GetFileName(true));
    return saved;
}

void TForm1::SaveAs1Click()
{
    if (!SaveDialog1->Execute(this))
        return;
    // A copy: the portfolio stays with its own file (or none), and still
    // differs from that file when it did before.
    const std::string previous = portfolio_->GetFileName(false);
    const bool wasModified = portfolio_->IsModified();
    SaveAs(SaveDialog1->FileName);
    portfolio_->SetFileName(previous);
    if (!previous.empty() && wasModified)
        portfolio_->SetModified();
}

void TForm1::New1Click()
{
    NewPortfolio();
}

void TForm1::Load1Click()
{
    OpenPortfolio("");
}

void TForm1::ToolButton2Click()
{
    OpenPortfolio("");
}

void TForm1::Save1Click()
{
    SavePortfolio();
}

void TForm1::ToolButton1Click()
{
    SavePortfolio();
}

namespace {

using RecentGetter = std::string (Options::*)();
using RecentSetter = void (Options::*)(const std::string&);
const RecentGetter kGetRecent[4] = {&Options::GetRecentFile0, &Options::GetRecentFile1, &Options::GetRecentFile2,
                                    &Options::GetRecentFile3};
const RecentSetter kSetRecent[4] = {&Options::SetRecentFile0, &Options::SetRecentFile1, &Options::SetRecentFile2,
                                    &Options::SetRecentFile3};

} // namespace

void TForm1::AddRecentFile(const std::string& path)
{
    if (path.empty())
        return;
    // A file among the first three keeps the order; the fourth comes to the top.
    for (int i = 0; i < 3; ++i)
        if ((options_->*kGetRecent[i])() == path)
            return;
    for (int i = 3; i > 0; --i)
        (options_->*kSetRecent[i])((options_->*kGetRecent[i - 1])());
    (options_->*kSetRecent[0])(path);
    UpdateRecentMenu();
}

void TForm1::RemoveRecentFile(const std::string& path)
{
    for (int i = 0; i < 4; ++i)
        if ((options_->*kGetRecent[i])() == path)
            (options_->*kSetRecent[i])("");
    UpdateRecentMenu();
}

void TForm1::UpdateRecentMenu()
{
    QAction* items[] = {ui_->MRUFile01, ui_->MRUFile11, ui_->MRUFile21, ui_->MRUFile31};
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        const QString caption = MenuCaption(FileNamePart((options_->*kGetRecent[i])()));
        items[i]->setText(caption);
        items[i]->setVisible(!caption.isEmpty());
        any = any || !caption.isEmpty();
    }
    N5->setVisible(any);
}

void TForm1::OpenRecentFile(int index)
{
    const std::string path = (options_->*kGetRecent[index])();
    if (!path.empty())
        OpenPortfolio(path);
}

void TForm1::MRUFile01Click()
{
    OpenRecentFile(0);
}

void TForm1::MRUFile11Click()
{
    OpenRecentFile(1);
}

void TForm1::MRUFile21Click()
{
    OpenRecentFile(2);
}

void TForm1::MRUFile31Click()
{
    OpenRecentFile(3);
}

void TForm1::UpdateCaption(const std::string& fileName)
{
    std::string caption = kTitle;
    if (!fileName.empty())
        caption += kTitleSeparator + fileName;
    setWindowTitle(QString::fromStdString(caption));
}

void TForm1::Exit1Click()
{
    if (!SaveIfWanted())
        return;
    ExitApplication();
}

void TForm1::ExitApplication()
{
    ReplacePortfolio(nullptr);
    RequestQuit(0);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // A disabled window still gets the window manager's close request.
    if (Form1HeldDisabled() || !SaveIfWanted()) {
        event->ignore();
        return;
    }
    event->accept();
    ReplacePortfolio(nullptr);
    RequestQuit(0);
}

void TForm1::RequestQuit(int exitCode)
{
    // The entry's shut-down runs once the event loop has ended.
    QuitMessageLoop(exitCode);
}

void TForm1::SetCheckForUpdatesEnabled(bool enabled)
{
    ui_->CheckforUpdates1->setEnabled(enabled && HasUpdateServer());
}

bool TForm1::IsPortfolioModified()
{
    return portfolio_ && portfolio_->IsModified();
}

void TForm1::StartUpdateCheck(bool silent)
{
    // Jobs that have ended go; the running ones stay until the shut-down.
    std::erase_if(updateJobs_, [](const std::unique_ptr<UpdateThread>& job) { return job->Finished(); });
    updateJobs_.push_back(std::make_unique<UpdateThread>(silent, false));
}

void TForm1::CheckforUpdates1Click()
{
    StartUpdateCheck(false);
}

void TForm1::ToolButton5Click()
{
    // Deleting a running burn waits for its end.
    burnJob_.reset();
    if (!Form3 || !portfolio_)
        return;
    burnJob_ = std::make_unique<BurnThread>(Form3, portfolio_.get(), true);
    burnJob_->Resume();
}

void TForm1::OpenHelpPage(const char* address)
{
    if (*address != '\0')
        OpenWebAddress(address);
}

void TForm1::Tutorial1Click()
{
    OpenHelpPage(ProductAddresses::TutorialPage);
}

void TForm1::VisitWebsite1Click()
{
    OpenHelpPage(ProductAddresses::WebSite);
}

void TForm1::Sendfeedback1Click()
{
    OpenHelpPage(ProductAddresses::FeedbackPage);
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
                "Oooops!", MB_OK | MB_ICONINFORMATION);
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
