#include "app/ExportThread.h"

#include "output/MessageBox.h"
#include "output/TForm15.h"
#include "output/PDFGenerator.h"
#include "platform/com/ComRuntime.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/WriteFailure.h"

#include <exception>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

// Replaces destination with a copy of source; a failed copy keeps the old
// destination as it was and raises what failed.
void CopyOver(const std::string& source, const std::string& destination)
{
    std::ifstream in(source, std::ios::binary);
    if (!in)
        throw Exception("The generated document \"" + source + "\" could not be read.");
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Exception("The generated document \"" + source + "\" could not be read.");
    std::string why;
    try {
        TSafeFileStream file(destination);
        const int64_t size = int64_t(data.size());
        if (file.Write(data.data(), size) == size && file.Commit())
            return;
        why = WriteFailureText(destination, file.ErrorCode());
    } catch (const ESafeCreateError& error) {
        why = error.Code() ? WriteFailureText(destination, error.Code()) : error.Message();
    }
    throw Exception(why);
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
        const bool generated = generator->Generate();
        // Asked to stop (the program is ending): nothing goes beside the
        // user's files, and nobody is left to read a status.
        if (!Terminated()) {
            if (generated) {
                SetStatus("Exporting Portfolio...");
                const std::string source = generator->GetOutputFolder() + PDFGenerator::GetOutputFileName();
                CopyOver(source, destination_);
                SetStatus("Finished. Your portfolio was exported successfully.");
            } else {
                ReportGenerationFailure(generator->GetErrorText());
            }
            EnableCloseButton();
        }
    } catch (const std::exception& error) {
        // The cause names the file or folder; what to try follows from it.
        SyncMessageBox(std::string("The portfolio was not exported. ") + error.what() +
                           "\n\nChoose another folder, or make room on the disk, then export again.",
                       "Oooops!", MB_OK | MB_ICONERROR, ProgressForm());
        HideProgressForm();
    }
    generator.reset();
    CoUninitialize();
}
