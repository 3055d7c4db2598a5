#include "app/PreviewThread.h"

#include "output/HTMLGenerator.h"
#include "output/MessageBox.h"
#include "output/TForm15.h"
#include "output/PDFGenerator.h"
#include "platform/com/ComRuntime.h"
#include "platform/rtl/Exception.h"

#include <exception>

namespace {

std::unique_ptr<PortfolioGenerator> MakeGenerator(Portfolio* portfolio, int kind)
{
    switch (kind) {
    case PortfolioGenerator::kHtml:
        return std::make_unique<HTMLGenerator>(portfolio);
    case PortfolioGenerator::kPdf:
        return std::make_unique<PDFGenerator>(portfolio);
    default:
        throw Exception("Invalid Generator Type");
    }
}

} // namespace

PreviewThread::PreviewThread(Portfolio* portfolio, int kind, bool CreateSuspended)
    : ProgressThread("Preview...", CreateSuspended), portfolio_(portfolio),
      generator_(MakeGenerator(portfolio, kind))
{
}

PreviewThread::~PreviewThread()
{
    // Execute uses the generator: it must have ended before the generator goes.
    Terminate();
    if (Started())
        WaitFor();
}

void PreviewThread::Execute()
{
    CoInitialize(nullptr);
    const bool html = generator_->GetKind() == PortfolioGenerator::kHtml;
    try {
        ShowProgressForm();
        SetStatus("Generating Portfolio...");
        generator_->SetProgressSink(this);
        if (generator_->Generate()) {
            HideProgressForm();
            // The preview window lives on the main thread and is shown
            // modally there; the PDF viewer is a process this thread waits for.
            if (html)
                Synchronize([this] { generator_->ShowResult(); });
            else
                generator_->ShowResult();
        } else {
            ReportGenerationFailure(generator_->GetErrorText());
            EnableCloseButton();
        }
    } catch (const std::exception& error) {
        SyncMessageBox(std::string("An exception occurred trying to preview the portfolio.\n") + error.what(),
                       "Oooops!", MB_OK | MB_ICONERROR, ProgressForm());
        HideProgressForm();
    }
    CoUninitialize();
    if (html)
        generator_.reset();
}
