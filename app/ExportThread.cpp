#include "app/ExportThread.h"

#include "output/MessageBox.h"
#include "output/TForm15.h"
#include "output/PDFGenerator.h"
#include "platform/com/ComRuntime.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"

#include <exception>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

// Replaces destination with a copy of source; a failed copy keeps the old
// destination as it was.
bool CopyOver(const std::string& source, const std::string& destination)
{
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return false;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    return SafeWriteFile(destination, data.data(), data.size());
}

} // namespace

ExportThread::ExportThread(Portfolio* portfolio, const std::string& destination, bool CreateSuspended)
    : ProgressThread("Export...", CreateSuspended), portfolio_(portfolio), destination_(destination)
{
}

ExportThread::~ExportThread()
{
    Terminate();
    if (Started())
        WaitFor();
}

void ExportThread::Execute()
{
    CoInitialize(nullptr);
    std::unique_ptr<PDFGenerator> generator;
    try {
        ShowProgressForm();
        SetStatus("Generating Portfolio...");
        generator = std::make_unique<PDFGenerator>(portfolio_);
        generator->SetProgressSink(this);
        if (generator->Generate()) {
            SetStatus("Exporting Portfolio...");
            const std::string source = generator->GetOutputFolder() + PDFGenerator::GetOutputFileName();
            if (!CopyOver(source, destination_))
                throw Exception("Failed to save the destination file '" + destination_ +
                                "'. Please make sure you have permission to access this file.");
            SetStatus("Finished. Your portfolio was exported successfully.");
        } else {
            ReportGenerationFailure(generator->GetFailure());
        }
        EnableCloseButton();
    } catch (const std::exception& error) {
        SyncMessageBox(std::string("An exception occurred trying to export the portfolio.\n") + error.what(),
                       "Oooops!", MB_OK | MB_ICONERROR, ProgressForm());
        HideProgressForm();
    }
    generator.reset();
    CoUninitialize();
}
