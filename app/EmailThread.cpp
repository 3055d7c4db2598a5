#include "app/EmailThread.h"

#include "app/TForm16.h"
#include "output/MessageBox.h"
#include "output/TForm15.h"
#include "output/PDFGenerator.h"
#include "platform/com/ComRuntime.h"
#include "platform/thread/RunOnWorker.h"
#include "services/Emailer.h"
#include "services/EmailerFactory.h"

#include <exception>

namespace {

// COM for the calling thread for the length of a scope (counted, so nested
// scopes on one thread are fine).
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

} // namespace

EmailThread::EmailThread(Portfolio* portfolio, bool CreateSuspended)
    : ProgressThread("E-Mail...", CreateSuspended), portfolio_(portfolio)
{
}

EmailThread::~EmailThread()
{
    Terminate();
    if (Started())
        WaitFor();
}

Emailer* EmailThread::GetAccount() const
{
    return accountName_.empty() ? nullptr : EmailerFactory::Instance()->FindAccount(accountName_);
}

void EmailThread::SetAccount(Emailer* account)
{
    accountName_ = account ? account->GetDisplayName() : std::string();
}

std::string EmailThread::GetOutputFolder() const
{
    return generator_ ? generator_->GetOutputFolder() : std::string();
}

void EmailThread::Execute()
{
    ComScope com;
    try {
        EmailerFactory* accounts = EmailerFactory::Instance();
        if (accounts->HasDefault()) {
            Emailer* account = accounts->GetDefault();
            if (account) {
                SetAccount(account);
                if (account->UsesComposeForm())
                    OpenComposePage();
                else
                    SendPortfolio();
            }
        } else {
            OpenAccountPage();
        }
    } catch (const std::exception&) {
        SyncMessageBox("Failed to e-mail the portfolio.", "Oooops!", MB_OK | MB_ICONERROR, ProgressForm());
        HideProgressForm();
    }
}

void EmailThread::OpenComposePage()
{
    Synchronize([this] {
        if (Form16)
            Form16->ShowComposePage(this);
    });
}

void EmailThread::OpenAccountPage()
{
    Synchronize([this] {
        if (Form16)
            Form16->ShowAccountPage(this);
    });
}

bool EmailThread::SendPortfolio()
{
    Emailer* account = GetAccount();
    if (!account || !account->CanSend())
        return false;
    // From the wizard this is the main thread: a server that never answers,
    // or a mail program that keeps xdg-email waiting, must not freeze the
    // program, so the work goes to a worker of its own.
    bool result = false;
    RunOnWorker([&] { result = GenerateAndSend(account); });
    return result;
}

bool EmailThread::GenerateAndSend(Emailer* account)
{
    ComScope com;
    bool result = false;
    try {
        // The earlier send's PDF and folder are of no further use.
        generator_.reset();
        generator_ = std::make_unique<PDFGenerator>(portfolio_);
        ShowProgressForm();
        SetStatus("Please Wait, Generating Portfolio...");
        generator_->SetProgressSink(this);
        const bool generated = generator_->Generate();
        // The program is ending: nothing is sent and nobody reads a status.
        if (Terminated())
            return false;
        if (generated) {
            account->SetAttachment(generator_->GetOutputFolder() + PDFGenerator::GetOutputFileName());
            SetStatus("Please Wait, Sending E-Mail...");
            account->SetProgressSink(this);
            result = account->Send();
            // The account outlives the job.
            account->SetProgressSink(nullptr);
            if (!result)
                EmptyBar();
            SetStatus(result ? account->SentText() : "Failure. " + account->GetText());
        } else {
            ReportGenerationFailure(generator_->GetErrorText());
        }
        EnableCloseButton();
    } catch (...) {
        // Whoever called reports the error; the window must not keep the
        // main window disabled behind a Close button that cannot be pressed.
        account->SetProgressSink(nullptr);
        HideProgressForm();
        throw;
    }
    return result;
}
