#include "output/PDFGenerator.h"

#include "platform/rtl/StringReplace.h"

#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "output/HTMLGenerator.h"
#include "platform/com/ComRuntime.h"
#include "platform/pdf/PDFInterfaces.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/shell/PrivateCopy.h"
#include "platform/shell/Process.h"
#include "platform/shell/Shell.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::mutex viewerMutex;
std::string viewerCommand;

// Copies handed to a viewer launcher, which returns before the viewer opens them.
const char kViewedArea[] = "Viewed";

std::string PageFileName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "Data/%03d.html", index);
    return name;
}

// Failures that end a run; the job reports its own status text.
struct RunFailure {
    std::string message;
};

// The runtime is initialised per thread and counted, so a job thread that
// did it already keeps its own initialisation.
struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

struct FreeBlock {
    void operator()(char* block) const { std::free(block); }
};

// "the page of artwork 3 ("Title")", as a failure names it.
std::string ArtworkPageName(Portfolio* portfolio, int index)
{
    const Picture* picture = portfolio->GetPicture(index);
    const std::string title = picture ? picture->GetTitle(true) : std::string();
    return "the page of artwork " + std::to_string(index + 1) + (title.empty() ? "" : " (\"" + title + "\")");
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

PDFGenerator::PDFGenerator(Portfolio* portfolio) : PortfolioGenerator(portfolio)
{
    kind_ = kPdf;
    std::lock_guard lock(viewerMutex);
    if (viewerCommand.empty())
        viewerCommand = Options::Instance()->GetPdfViewerCommand();
}

PDFGenerator::~PDFGenerator() = default;

std::string PDFGenerator::GetViewerCommand()
{
    std::lock_guard lock(viewerMutex);
    return viewerCommand;
}

void PDFGenerator::SetViewerCommand(const std::string& command)
{
    std::lock_guard lock(viewerMutex);
    viewerCommand = command;
}

bool PDFGenerator::Generate()
{
    Portfolio* portfolio = GetPortfolio();
    if (!portfolio)
        return false;
    Portfolio::RestoreWorkingFolder();

    ComScope com;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(WideFromUtf8(kPDFDocumentProgID).c_str(), &clsid)))
        return SetErrorText("The PDF document component is not registered.");
    // Released before the inner generator goes, and before the runtime scope.
    CComPtr<IPDFDocument> document;
    const HRESULT created =
        CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IPDFDocument, reinterpret_cast<void**>(&document));
    if (FAILED(created) || !document)
        return SetErrorText(created == REGDB_E_CLASSNOTREG ? "The PDF document component is not registered."
                                                           : "The PDF document component could not be loaded.");
    std::unique_ptr<HTMLGenerator> inner;

    bool result = false;
    try {
        inner = std::make_unique<HTMLGenerator>(portfolio);
        inner->SetStopCheck([this] { return StopRequested(); });
        const int count = portfolio->GetPictureCount();
        const bool useStatement = portfolio->GetUseStatementFile();
        const bool useCV = portfolio->GetUseCVFile();
        SetStepCount(count + (useStatement ? 1 : 0) + (useCV ? 1 : 0) + 3);

        inner->SetForPdf(true);
        if (!inner->Generate())
            throw RunFailure{StopRequested() ? GetErrorText() : inner->FailureText()};
        StepProgress();

        if (!SetupDocument(document.Get()))
            throw RunFailure{"Failed to initialize the pdf."};

        if (FAILED(document->BeginDocument()))
            throw RunFailure{"Failed to begin the pdf."};
        StepProgress();

        if (useStatement) {
            AttachDocument(document.Get(), portfolio->GetStatementData(), portfolio->GetStatementFile(),
                           "Statement File");
            StepProgress();
        }
        if (useCV) {
            AttachDocument(document.Get(), portfolio->GetCVData(), portfolio->GetCVFile(), "CV File");
            StepProgress();
        }

        const std::string innerFolder = inner->GetOutputFolder();
        // A page the component could not draw would leave a blank or partial
        // page in a file that is then exported or sent as if complete.
        auto drawOnCurrentPage = [&](const char* text, const std::string& base, const std::string& what) {
            CComPtr<IPDFPage> page;
            document->GetCurrentPage(&page);
            if (!page)
                return;
            page->SetPageOption2(2);
            page->SetPageOption1(0);
            const std::u16string html = RenderHtmlPage(document.Get(), text);
            CComBSTR htmlText(html.c_str());
            CComBSTR baseText(base);
            if (FAILED(page->DrawHtml(htmlText, -1, -1, -1, -1, kDrawHtmlShrinkToFit, baseText)))
                throw RunFailure{"Failed to draw " + what + "."};
        };

        std::uint32_t size = 0;
        std::unique_ptr<char, FreeBlock> front(LoadFromDisk(innerFolder + "portfolio.html", size));
        if (front)
            drawOnCurrentPage(front.get(), innerFolder, "the front page");
        front.reset();
        StepProgress();

        // The artwork pages link one level up, to the folders Images and Data.
        const std::string pageBase = innerFolder + "Data/";
        for (int i = 0; i < count; ++i) {
            // A page can take seconds to draw: a stop is looked at before each.
            if (StopRequested())
                throw RunFailure{GetErrorText()};
            std::unique_ptr<char, FreeBlock> text(LoadFromDisk(innerFolder + PageFileName(i), size));
            if (text) {
                // Drawing on the page before would put two artworks on it.
                if (FAILED(document->AddPage()))
                    throw RunFailure{"Failed to add a page."};
                drawOnCurrentPage(text.get(), pageBase, ArtworkPageName(portfolio, i));
            }
            StepProgress();
        }

        if (StopRequested())
            throw RunFailure{GetErrorText()};
        if (FAILED(document->EndDocument()))
            throw RunFailure{"Failed to write the pdf."};
        StepProgress();
        result = true;
    } catch (const RunFailure& failure) {
        result = SetErrorText(failure.message);
    } catch (const std::exception& error) {
        result = SetErrorText(error.what());
    } catch (...) {
        result = false;
    }
    document.Reset();
    inner.reset();
    return result;
}

bool PDFGenerator::SetupDocument(IPDFDocument* document)
{
    if (!document)
        return false;
    try {
        CComBSTR output(GetOutputFolder() + GetOutputFileName());
        document->SetOutputFile(output);
        document->SetDocumentOption1(0);
        document->SetDocumentOption2(1);
        document->SetDocumentOption5(0);
        document->SetDocumentOption6(1);
        document->SetDocumentOption10(1);
        document->SetDocumentOption11(0);
        document->SetDocumentOption7(0);
        document->SetDocumentOption9(0);
        document->SetDocumentOption4(1);
        document->SetDocumentOption8(1);
        document->SetDocumentOption3(1);
        document->SetCompression(Options::Instance()->GetPdfCompression());

        CComPtr<IPDFDocumentInfo> info;
        document->GetDocumentInfo(&info);
        if (!info)
            return false;
        const std::string name = GetPortfolio()->GetName(true);
        info->SetAuthor(CComBSTR(name));
        info->SetTitle(CComBSTR("The Portfolio of " + name));
        return true;
    } catch (...) {
        return false;
    }
}

bool PDFGenerator::AttachDocument(IPDFDocument* document, TMemoryStream* data, const std::string& path,
                                  const std::string& description)
{
    try {
        if (!document || !data || data->GetSize() <= 0)
            return false;
        const std::string name = SafeFileName(path);
        if (name.empty())
            return false;
        const std::string copy = HTMLGenerator::UniqueName(name, ownFiles_);
        if (!SaveStreamToFolder(data, copy, RootPattern))
            return false;
        ownFiles_.push_back(copy);
        CComBSTR file(GetOutputFolder() + copy);
        CComBSTR text(description);
        return SUCCEEDED(document->AttachFile(file, text));
    } catch (...) {
        return false;
    }
}

std::u16string PDFGenerator::RenderHtmlPage(IPDFDocument* document, const char* text)
{
    if (!text)
        return {};
    std::string page = text;
    if (document) {
        int32_t height = 0;
        int32_t width = 0;
        document->GetPageHeight(&height);
        document->GetPageWidth(&width);
        StringReplaceAll(page, "%PDF_PAGE_HEIGHT%", std::to_string(height));
        StringReplaceAll(page, "%PDF_PAGE_WIDTH%", std::to_string(width));
    }
    return WideFromUtf8(page);
}

std::vector<std::string> PDFGenerator::SplitCommand(const std::string& command)
{
    return SplitCommandWords(command, "\"'");
}

bool PDFGenerator::IsLauncher(const std::string& program)
{
    const std::string name = ExtractFileName(program);
    for (const char* launcher : {"xdg-open", "gio", "gnome-open", "kde-open", "kde-open5", "exo-open", "kfmclient"})
        if (name == launcher)
            return true;
    return false;
}

std::string PDFGenerator::GetViewedFolder()
{
    const std::string root = GetUserCacheFolder();
    return root.empty() ? std::string() : root + "/VelmoraVoravev/" + kViewedArea + "/";
}

bool PDFGenerator::ShowResult()
{
    const std::string file = GetOutputFolder() + GetOutputFileName();
    std::vector<std::string> args = SplitCommand(GetViewerCommand());
    if (args.empty())
        return false;
    const bool launcher = IsLauncher(args.front());
    std::string shown = file;
    if (launcher) {
        // The launcher is gone before the viewer opens the file, and this
        // generator deletes its folder as soon as the job ends.
        shown = MakePrivateCopy(file, kViewedArea, GetOutputFileName());
        if (shown.empty())
            return false;
    }
    args.push_back(shown);
    int status = 0;
    if (!RunAndWait(args, &status)) {
        if (launcher)
            DeleteFolderTree(WithoutTrailingSlash(ExtractFilePath(shown)));
        return false;
    }
    // A launcher's status tells whether a viewer took the file; a viewer's
    // own status after the user closed it means nothing here.
    if (launcher && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        DeleteFolderTree(WithoutTrailingSlash(ExtractFilePath(shown)));
        return false;
    }
    return true;
}
