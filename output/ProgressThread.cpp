#include "output/ProgressThread.h"

#include "output/TForm15.h"

#include <QLabel>
#include <QPushButton>

#include <exception>
#include <string>

ProgressThread::ProgressThread(const std::string& title, bool CreateSuspended)
    : TThread(CreateSuspended), progressForm_(new TForm15(nullptr)), title_(title)
{
    QObject::connect(progressForm_->Button2, &QPushButton::clicked, progressForm_, [this] {
        cancelled_ = true;
        progressForm_->Button2->setEnabled(false);
    });
    // A job that ends while its window still holds the main window disabled
    // would leave the program unusable: give the user the Close button.
    AfterExecute = [this] {
        // A job ended by an exception of any kind failed: its window says
        // so instead of showing the last step as if it were under way.
        if (const std::exception_ptr failure = FatalException()) {
            std::string cause;
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                cause = error.what();
            } catch (...) {
            }
            EmptyBar();
            SetStatus("Error: " + (cause.empty() ? std::string("The job ended unexpectedly.") : cause));
        }
        Synchronize([this] {
            if (progressForm_->isVisible() && !progressForm_->Button1->isEnabled())
                EnableCloseButton();
        });
    };
}

ProgressThread::~ProgressThread()
{
    // Stopped before the window goes: the worker may still hand it a call.
    // A job whose start has not come round yet must not be started here: its
    // own part, Execute included, is already destroyed.
    Terminate();
    if (Started())
        WaitFor();
    TForm15* form = progressForm_;
    progressForm_ = nullptr;
    Synchronize([form] { delete form; });
}

void ProgressThread::SetStatus(const std::string& text)
{
    statusText_ = text;
    Synchronize([this] { UpdateStatus(); });
}

void ProgressThread::SetProgress(int position, int maximum)
{
    if (position < 0 || position > maximum)
        return;
    position_ = position;
    maximum_ = maximum;
    Synchronize([this] { UpdateProgress(); });
}

void ProgressThread::ShowBusy()
{
    Synchronize([this] { progressForm_->SetBarBusy(); });
}

void ProgressThread::ReportGenerationFailure(const std::string& cause)
{
    EmptyBar();
    SetStatus("Error: " + (cause.empty() ? std::string("Failed to generate the portfolio.") : cause));
}

void ProgressThread::UpdateStatus()
{
    // Progress can be reported often; only a changed text costs a repaint.
    const QString text = QString::fromStdString(statusText_);
    if (progressForm_->Label1->text() == text)
        return;
    progressForm_->SetStatusText(text);
    progressForm_->Label1->repaint();
    progressForm_->raise();
}

void ProgressThread::UpdateProgress()
{
    bool changed = progressForm_->BarBusy();
    if (changed) {
        progressForm_->SetBarMaximum(maximum_);
        progressForm_->SetBarPosition(position_);
    }
    if (progressForm_->BarMaximum() != maximum_) {
        progressForm_->SetBarMaximum(maximum_);
        changed = true;
    }
    if (progressForm_->BarPosition() != position_) {
        progressForm_->SetBarPosition(position_);
        changed = true;
    }
    if (changed)
        progressForm_->raise();
}

void ProgressThread::ShowProgressForm()
{
    Synchronize([this] {
        progressForm_->setWindowTitle(QString::fromStdString(title_));
        progressForm_->show();
        progressForm_->repaint();
        progressForm_->raise();
    });
}

void ProgressThread::HideProgressForm()
{
    Synchronize([this] {
        if (progressForm_->isVisible())
            progressForm_->hide();
    });
}

void ProgressThread::OfferCancel()
{
    Synchronize([this] {
        progressForm_->Button2->setEnabled(true);
        progressForm_->Button2->show();
    });
}

void ProgressThread::EnableCloseButton()
{
    Synchronize([this] {
        progressForm_->Button1->setEnabled(true);
        // An ended job has nothing left to cancel.
        progressForm_->Button2->hide();
        progressForm_->repaint();
        progressForm_->raise();
    });
}
