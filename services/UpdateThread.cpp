#include "services/UpdateThread.h"

#include "model/Options.h"
#include "output/Form1Commands.h"
#include "output/MessageBox.h"
#include "platform/rtl/DateTime.h"
#include "services/TForm7.h"
#include "services/Updater.h"

#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

namespace {

// Days that must have passed since the last check before a silent job checks.
constexpr double kSilentIntervalDays = 2;
constexpr int kPollMs = 100;

} // namespace

const char* const UpdateThread::ProductName = "VelmoraAlbumDesignerPro";

UpdateThread::UpdateThread(bool silent, bool CreateSuspended)
    : TThread(CreateSuspended),
      // Not owned by the main window: the job deletes its window itself,
      // and the main window may go first.
      window_(new TForm7(nullptr)),
      silent_(silent)
{
    updater_ = new Updater(Updater::DescriptionAddress(), ProductName, OwnMajor, OwnMinor);
    updater_->SetStopRequest([this] { return Terminated(); });
    OnTerminate = [this] { ThreadTerminated(); };
}

UpdateThread::~UpdateThread()
{
    // Execute uses the window and the updater: stop it before they go. A job
    // whose start has not come round yet must not be started here.
    Terminate();
    if (Started())
        WaitFor();
    ThreadTerminated();
}

void UpdateThread::ThreadTerminated()
{
    if (window_) {
        if (!silent_ && window_->isVisible())
            window_->hide();
        delete window_;
        window_ = nullptr;
    }
    delete updater_;
    updater_ = nullptr;
}

void UpdateThread::SetStatus(const std::string& text)
{
    status_ = text;
    Synchronize([this] {
        const QString shown = QString::fromStdString(status_);
        if (window_ && !silent_ && window_->Label1->text() != shown) {
            window_->SetStatusText(shown);
            window_->Label1->repaint();
        }
    });
}

void UpdateThread::SetProgress(int position, int maximum)
{
    position_ = position;
    maximum_ = maximum;
    Synchronize([this] {
        if (!window_ || silent_)
            return;
        if (window_->BarMaximum() != maximum_)
            window_->SetBarMaximum(maximum_);
        window_->SetBarPosition(position_);
    });
}

void UpdateThread::SetStatusAndProgress(const std::string& text, int position, int maximum)
{
    SetStatus(text);
    SetProgress(position, maximum);
}

void UpdateThread::ShowWindow()
{
    Synchronize([this] {
        if (window_ && !silent_) {
            window_->show();
            window_->raise();
        }
    });
}

void UpdateThread::Pause(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Terminated() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void UpdateThread::Execute()
{
    if (silent_) {
        // A clock set back (a negative difference) waits too.
        double lastCheck = 0;
        Synchronize([&] { lastCheck = Options::Instance()->GetLastUpdateCheck(); });
        const double days = std::trunc(Now() - lastCheck);
        if (days <= kSilentIntervalDays)
            return;
    }
    Synchronize([] { Form1SetCheckForUpdatesEnabled(false); });
    ShowWindow();

    bool ended = false;
    try {
        SetProgress(0, 1);
        SetStatus("Please Wait...");
        SetStatus("Checking for Updates...");
        ended = RunUpdate();
    } catch (const std::exception&) {
        SetStatus("An error occurred during the update.");
    }

    // A full bar beside an error would read as done.
    SetProgress(ended ? 1 : 0, 1);
    Synchronize([this] {
        if (window_ && !silent_)
            window_->Button1->setEnabled(true);
        Form1SetCheckForUpdatesEnabled(true);
    });
    if (quitRequested_) {
        // The main window is going away with everything in it; nobody is
        // left to click Finish.
        Synchronize([] {
            Options::Instance()->SetLastUpdateCheck();
            Form1RequestQuit(0);
        });
        return;
    }
    if (!silent_) {
        for (bool visible = true; visible && !Terminated();) {
            Synchronize([&] { visible = window_ && window_->isVisible(); });
            if (visible)
                Pause(kPollMs);
        }
    }
    Synchronize([] { Options::Instance()->SetLastUpdateCheck(); });
}

bool UpdateThread::RunUpdate()
{
    Updater& updater = *updater_;
    if (!updater.CheckForUpdates()) {
        SetStatus("Error: " + updater.GetError());
        return false;
    }
    if (!updater.IsUpdateAvailable()) {
        SetStatus("There are no new updates available.");
        return true;
    }
    SetStatus("Update Available...");
    if (!Updater::MayInstall()) {
        SetStatus("Error: " + Updater::RootRefusal());
        return false;
    }

    int answer = IDNO;
    Synchronize([&] {
        // Over the update window while it is shown: it stays on top and
        // would cover a box placed over the main window.
        QWidget* owner = window_ && window_->isVisible() ? window_ : nullptr;
        answer = MessageBoxA(owner, "An update is available, do you wish to download it now?", "Software Update",
                             MB_YESNO | MB_ICONQUESTION);
    });
    if (answer != IDYES) {
        SetStatus("Finished. Update not downloaded.");
        return true;
    }
    if (silent_) {
        silent_ = false;
        ShowWindow();
        // The window starts empty; it shows from here on what the job has.
        SetProgress(0, 1);
    }

    SetStatus("Downloading Update, please wait...");
    if (!updater.DownloadAll(this)) {
        SetStatus("Error: " + updater.GetError());
        return false;
    }

    const bool restart = updater.NeedsRestart();
    if (restart) {
        bool saved = true;
        // One call on the main thread: the portfolio cannot change between
        // the test and the save.
        Synchronize([&] {
            if (Form1IsPortfolioModified()) {
                SetStatus("Restart Required. Please save your portfolio before update...");
                saved = Form1SavePortfolio();
            }
        });
        if (!saved) {
            SetStatus("Update cancelled. Your portfolio was not saved.");
            return false;
        }
    }

    SetStatus(restart ? "Applying Update. A restart will occur..." : "Applying Update. Please wait...");
    Pause(1500);
    if (!updater.ApplyUpdates()) {
        SetStatus("Error: " + updater.GetError());
        return false;
    }
    if (restart) {
        SetStatus("Success. The program will now restart for the changes to take effect.");
        quitRequested_ = true;
        return true;
    }
    SetStatus("Finished. Update applied successfully.");
    return true;
}
