#include "services/BurnThread.h"

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "output/HTMLGenerator.h"
#include "output/MessageBox.h"
#include "platform/rtl/Exception.h"
#include "services/Burner.h"
#include "services/TForm3.h"

BurnThread::BurnThread(TForm3* dialog, Portfolio* portfolio, bool CreateSuspended)
    : TThread(CreateSuspended), portfolio_(portfolio), dialog_(dialog)
{
}

BurnThread::~BurnThread()
{
    // The burn runs to its end; Execute uses this object's members until
    // then. A job whose start has not come round must not be started here.
    Terminate();
    if (Started())
        WaitFor();
}

void BurnThread::SetStatus(const std::string& text)
{
    status_ = text;
    Synchronize([this] {
        const QString caption = QString::fromStdString(status_);
        if (dialog_->Label1->text() != caption) {
            dialog_->SetStatusText(caption);
            dialog_->Label1->repaint();
        }
    });
}

void BurnThread::SetProgress(int position, int maximum)
{
    position_ = position;
    maximum_ = maximum;
    Synchronize([this] {
        if (dialog_->BarMaximum() != maximum_)
            dialog_->SetBarMaximum(maximum_);
        dialog_->SetBarPosition(position_);
    });
}

void BurnThread::ShowDialog()
{
    Synchronize([this] {
        dialog_->show();
        dialog_->raise();
    });
}

void BurnThread::Execute()
{
    std::unique_ptr<Burner> burner;
    std::unique_ptr<HTMLGenerator> generator;
    try {
        burner = std::make_unique<Burner>(this);
        ShowDialog();
        SetStatus("Please Wait....");
        if (burner->RecorderCount() == 0)
            throw Exception("No CD burners are present.");
        if (!burner->SelectRecorder(0))
            throw Exception("");
        if (!burner->CheckMedia())
            throw Exception("");
        SetStatus("Generating Portfolio...");
        generator = std::make_unique<HTMLGenerator>(portfolio_);
        if (!generator->Generate())
            throw Exception(generator->FailureText());
        if (!burner->Burn(generator->GetOutputFolder()))
            throw Exception("");
        SetStatus("Finished. Your Disk was created successfully.");
        // The dialog stays up until the user closes it.
        Synchronize([this] { dialog_->Button1->setEnabled(true); });
    } catch (const std::exception& e) {
        ReportFailure(e.what(), burner ? burner->GetText() : std::string());
    } catch (...) {
        ReportFailure("", burner ? burner->GetText() : std::string());
    }
    // The generator's folder goes with it, whatever happened.
    generator.reset();
    burner.reset();
}

void BurnThread::ReportFailure(const std::string& message, const std::string& burnerText)
{
    std::string text = message.empty() ? burnerText : message;
    // An empty box would tell the user nothing.
    if (text.empty())
        text = Burner::ErrorText(IMAPI_E_GENERIC);
    // The window says what failed too: the box goes, the window stays.
    SetStatus("Error: " + text);
    SyncMessageBox(text, "Oooops!", MB_OK | MB_ICONERROR, dialog_);
    // Read and hidden on the main thread, where the dialog lives.
    Synchronize([this] {
        if (dialog_->isVisible())
            dialog_->hide();
    });
}
