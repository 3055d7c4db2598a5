#include "output/HTMLGenerator.h"

#include "platform/rtl/PercentEncode.h"
#include "platform/rtl/StringReplace.h"

#include "FreeImage/FreeMemoryIO.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "output/PageText.h"
#include "output/TForm10.h"
#include "output/UniqueNames.h"
#include "platform/rtl/ControlGroup.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/WriteFailure.h"
#include "platform/thread/Thread.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cctype>
#include <exception>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unordered_set>

namespace {

// Uncomments the block: its markers go, what stood between them stays.
void SwitchOn(PageText& text, const std::string& block)
{
    text.Remove("<!--%" + block + "_BEGIN%");
    text.Remove("%" + block + "_END%//-->");
}

// The PDF generator fills the page size into the whole page after this
// one is done; a "%" of a text goes in as its character reference there,
// so that no text can be filled in again.
std::string ForPage(std::string text, bool forPdf)
{
    if (forPdf)
        StringReplaceAll(text, "%", "&#37;");
    return text;
}

// Fields that keep their line breaks.
std::string WithLineBreaks(std::string text, bool forPdf)
{
    StringReplaceAll(text, "&break;", "<br/>");
    return ForPage(std::move(text), forPdf);
}

// Fields shown on one line: a stored line break must not show as "&break;".
std::string OneLine(std::string text, bool forPdf)
{
    StringReplaceAll(text, "&break;", " ");
    return ForPage(std::move(text), forPdf);
}

std::string PageName(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "%03d.html", number);
    return name;
}

// How the front page names an attached document: the link picture's text
// and what follows "view my CV" (no program for a kind nobody can tell).
struct DocumentKind {
    const char* name;
    const char* viewedAs;
};

DocumentKind KindOfDocument(const std::string& fileName)
{
    const std::string::size_type dot = fileName.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "pdf")
        return {"PDF document.", " as a PDF document"};
    if (extension == "doc" || extension == "docx")
        return {"Word document.", " as a Word document"};
    return {"Document.", ""};
}

// Fills the link to an attached document: its file and how it is named.
void FillDocumentLink(PageText& text, const std::string& placeholder, const std::string& fileName,
                      const std::string& link)
{
    const DocumentKind kind = KindOfDocument(fileName);
    text.Replace("%" + placeholder + "_KIND%", kind.name);
    text.Replace("%" + placeholder + "_PROGRAM%", kind.viewedAs);
    text.Replace("%" + placeholder + "%", link);
}

bool IsAutorunFile(const std::string& name)
{
    return name == "autorun.inf" || name == "autorun.exe" || name == "autorun.ico";
}

std::size_t StreamSize(TMemoryStream* stream)
{
    return stream ? static_cast<std::size_t>(stream->GetSize()) : 0;
}

// Formats every browser shows in a page.
bool BrowsersShow(FREE_IMAGE_FORMAT format)
{
    return format == FIF_JPEG || format == FIF_PNG || format == FIF_GIF || format == FIF_BMP || format == FIF_WEBP;
}

// The file an artwork is written to: its source file's name when browsers
// show that format and it can hold the image, that name made a ".png" when
// the format cannot hold it (a GIF edited into full colour). Formats that
// browsers do not show (TIFF, or none) become JPEG, or PNG for an image
// with transparency or one JPEG cannot hold.
std::string ImageFileName(const Picture& picture)
{
    std::string name = SafeFileName(picture.GetFileName());
    if (name.empty())
        name = "artwork";
    const TFreeWinBitmap* image = picture.GetBitmap();
    const FREE_IMAGE_FORMAT format = TFreeBitmap::FormatFromFileName(name);
    if (BrowsersShow(format))
        return image && image->CanSave(format) ? name : ChangeFileExt(name, ".png");
    const bool jpeg = image && !image->IsTransparent() && image->CanSave(FIF_JPEG);
    return ChangeFileExt(name, jpeg ? ".jpg" : ".png");
}

} // namespace

HTMLGenerator::HTMLGenerator(Portfolio* portfolio) : PortfolioGenerator(portfolio)
{
    kind_ = kHtml;
}

HTMLGenerator::~HTMLGenerator() = default;

std::string HTMLGenerator::ArtworkStyle(int width, int height, int* blockWidth)
{
    char style[64];
    int block = 600;
    if (width > height) {
        if (width >= 600) {
            std::snprintf(style, sizeof style, "width:600px;");
        } else {
            std::snprintf(style, sizeof style, "width:%dpx;", width);
            block = width;
        }
    } else if (height >= 600) {
        std::snprintf(style, sizeof style, "height:600px;");
        block = static_cast<int>(width * (600.0 / height) + 0.5);
        if (block == 0)
            block = 600;
    } else {
        std::snprintf(style, sizeof style, "height:%dpx;", height);
    }
    if (blockWidth)
        *blockWidth = block;
    return style;
}

std::string HTMLGenerator::LinkName(const std::string& fileName)
{
    return PercentEncodeSegment(fileName);
}

std::string HTMLGenerator::UniqueName(const std::string& name, const std::vector<std::string>& taken)
{
    UniqueNames names;
    for (const std::string& t : taken)
        names.Add(t);
    return names.Take(name);
}

// Decides the names of the files in the folder Data: the template's files
// keep their own names (already cut to what a file system takes, as the
// pages name them), the pages theirs,
// and each attachment its own unless one of those has it.
void HTMLGenerator::PlanAttachments()
{
    Portfolio* portfolio = GetPortfolio();
    statementName_.clear();
    cvName_.clear();
    pictureName_.clear();
    staticNames_.clear();
    UniqueNames taken;
    std::unordered_set<std::string> own;
    if (Template* tpl = portfolio->GetTemplate())
        for (int i = 0; i < tpl->GetStaticFileCount(); ++i) {
            const StaticFile* file = tpl->GetStaticFile(i);
            std::string name = file ? file->GetName() : std::string();
            if (file && !IsAutorunFile(name)) {
                // Two long names of the template's own may cut to one: the
                // later file gets a name of its own instead of replacing the
                // first, which is the one the pages name.
                if (!file->IsBuiltin() && own.contains(name))
                    name = taken.Take(name);
                else
                    taken.Add(name);
                if (!file->IsBuiltin())
                    own.insert(name);
            }
            staticNames_.push_back(std::move(name));
        }
    for (int i = 0; i < portfolio->GetPictureCount(); ++i)
        taken.Add(PageName(i));

    auto plan = [&](bool use, TMemoryStream* data, const std::string& path, std::string& out) {
        if (!use || StreamSize(data) == 0)
            return;
        const std::string name = SafeFileName(path);
        if (name.empty())
            return;
        out = taken.Take(name);
    };
    plan(portfolio->GetUseStatementFile(), portfolio->GetStatementData(), portfolio->GetStatementFile(),
         statementName_);
    plan(portfolio->GetUseCVFile(), portfolio->GetCVData(), portfolio->GetCVFile(), cvName_);
    plan(portfolio->GetUsePictureFile(), portfolio->GetPictureData(), portfolio->GetPictureFile(),
         pictureName_);
    planned_ = true;
}

std::string HTMLGenerator::FillCommon(const std::string& page)
{
    PageText text(page);
    FillCommon(text);
    return text.Text();
}

void HTMLGenerator::FillCommon(PageText& text)
{
    if (!planned_)
        PlanAttachments();
    Portfolio* portfolio = GetPortfolio();

    if (forPdf_) {
        text.Remove("<!--%PDF_SAFE%");
        text.Remove("%PDF_SAFE%//-->");
    } else {
        text.Remove("<!--%HTML_SAFE%");
        text.Remove("%HTML_SAFE%//-->");
    }

    const std::string name = OneLine(portfolio->GetName(false), forPdf_);
    // The shipped pages put the name after the year; with no name the line
    // ends at the year rather than at a stray comma.
    if (name.empty())
        text.Replace(", %ARTISTNAME%.", ".");
    text.Replace("%ARTISTNAME%", name);

    const std::string address = WithLineBreaks(portfolio->GetAddress(false), forPdf_);
    const std::string phone = OneLine(portfolio->GetPhone(false), forPdf_);
    const std::string email = OneLine(portfolio->GetEmail(false), forPdf_);
    const std::string website = OneLine(portfolio->GetWebsiteAddress(false), forPdf_);
    const bool picture = !pictureName_.empty();
    // A "Contact" heading only when something stands under it.
    if (picture || !address.empty() || !phone.empty() || !email.empty() || !website.empty()) {
        SwitchOn(text, "CONTACT");
        if (picture) {
            SwitchOn(text, "ARTISTPICTURE");
            text.Replace("%ARTISTPICTURE%", LinkName(pictureName_));
        }
        if (!address.empty()) {
            SwitchOn(text, "ARTISTADDRESS");
            text.Replace("%ARTISTADDRESS%", address);
        }
        if (!phone.empty()) {
            SwitchOn(text, "ARTISTPHONE");
            text.Replace("%ARTISTPHONE%", phone);
        }
        if (!email.empty()) {
            SwitchOn(text, "ARTISTMAIL");
            text.Replace("%ARTISTMAIL%", email);
        }
        if (!website.empty()) {
            SwitchOn(text, "ARTISTWEBSITE");
            text.Replace("%ARTISTWEBSITE%", website);
        }
    }

    Options* options = Options::Instance();
    if (options->GetIncludeCopyright()) {
        SwitchOn(text, "PORTFOLIOCOPYRIGHT");
        text.Replace("%PORTFOLIOYEAR%", GetYearText());
    }
    if (options->GetIncludeDate()) {
        SwitchOn(text, "PORTFOLIODATE");
        text.Replace("%PORTFOLIODATE%", GetDateText());
    }

    const std::string statement = portfolio->GetStatementText(false);
    if (!statement.empty()) {
        SwitchOn(text, "STATEMENTTEXT");
        text.Replace("%STATEMENTTITLE%", OneLine(portfolio->GetStatementTitle(false), forPdf_));
        text.Replace("%STATEMENTTEXT%", WithLineBreaks(statement, forPdf_));
    }

    if (!statementName_.empty()) {
        if (forPdf_) {
            SwitchOn(text, "PDF_STATEMENT");
        } else {
            SwitchOn(text, "HTML_STATEMENT");
            FillDocumentLink(text, "ARTISTSTATEMENT", statementName_, LinkName(statementName_));
        }
    }
    if (!cvName_.empty()) {
        if (forPdf_) {
            SwitchOn(text, "PDF_CV");
        } else {
            SwitchOn(text, "HTML_CV");
            FillDocumentLink(text, "ARTISTCV", cvName_, LinkName(cvName_));
        }
    }
}

std::string HTMLGenerator::FillPage(const std::string& page, Picture* picture)
{
    const TFreeWinBitmap* image = picture ? picture->GetBitmap() : nullptr;
    const int width = image ? image->GetWidth() : 0;
    const int height = image ? image->GetHeight() : 0;
    int blockWidth = 600;
    PageText text(page);
    text.Replace("%ARTWORK_STYLE%", ArtworkStyle(width, height, &blockWidth));
    text.Replace("%ARTWORK_WIDTH%", std::to_string(blockWidth));

    FillCommon(text);

    if (picture) {
        text.Replace("%IMAGETITLE%", OneLine(picture->GetTitle(false), forPdf_));
        text.Replace("%IMAGEMEDIA%", OneLine(picture->GetMedia(false), forPdf_));
        text.Replace("%IMAGEDIMENSIONS%", OneLine(picture->GetDimensions(false), forPdf_));
        const std::string description = picture->GetDescription(false);
        if (!description.empty()) {
            SwitchOn(text, "DESCRIPTION");
            text.Replace("%DESCRIPTION%", WithLineBreaks(description, forPdf_));
        }
    }

    const int count = GetPortfolio()->GetPictureCount();
    text.Replace("%PREVPAGE%", pageCounter_ == 0 ? "portfolio.html" : "Data/" + PageName(pageCounter_ - 1));
    text.Replace("%NEXTPAGE%",
               pageCounter_ + 1 >= count ? "portfolio.html" : "Data/" + PageName(pageCounter_ + 1));

    std::string file;
    if (pageCounter_ >= 0 && pageCounter_ < static_cast<int>(imageNames_.size()))
        file = imageNames_[pageCounter_];
    else if (picture)
        file = SafeFileName(picture->GetFileName());
    text.Replace("%IMAGEFILE%", LinkName(file));
    return text.Text();
}

bool HTMLGenerator::Generate()
{
    pageCounter_ = 0;
    Portfolio* portfolio = GetPortfolio();
    Template* tpl = portfolio ? portfolio->GetTemplate() : nullptr;
    if (!tpl)
        return SetErrorText("The portfolio has no template: choose one, then try again.");
    Portfolio::RestoreWorkingFolder();

    const std::string folder = GetOutputFolder();
    for (const char* sub : {"Images", "Data"})
        if (::mkdir((folder + sub).c_str(), 0755) != 0)
            return FailOnFile("Failed to create the folder", folder + sub);

    const int count = portfolio->GetPictureCount();
    SetStepCount(count + 2);

    // Every artwork needs an image to be laid out and shown.
    imageNames_.clear();
    imageNames_.reserve(count);
    UniqueNames images;
    for (int i = 0; i < count; ++i) {
        const Picture* picture = portfolio->GetPicture(i);
        if (!picture || !picture->GetBitmap() || !picture->GetBitmap()->IsValid()) {
            const std::string title = picture ? picture->GetTitle(true) : std::string();
            return SetErrorText("Artwork " + std::to_string(i + 1) + (title.empty() ? "" : " (\"" + title + "\")") +
                                " has no picture. Give it one or remove it, then try again.");
        }
        imageNames_.push_back(images.Take(ImageFileName(*picture)));
    }

    PlanAttachments();
    struct Attachment {
        TMemoryStream* data;
        const std::string& name;
    };
    const Attachment attachments[] = {{portfolio->GetStatementData(), statementName_},
                                      {portfolio->GetCVData(), cvName_},
                                      {portfolio->GetPictureData(), pictureName_}};
    for (const Attachment& a : attachments)
        if (!a.name.empty() && !SaveStreamToFolder(a.data, a.name, DataPattern))
            return false;
    StepProgress();

    for (int i = 0; i < tpl->GetStaticFileCount(); ++i) {
        StaticFile* file = tpl->GetStaticFile(i);
        if (!file)
            continue;
        const std::string& name = staticNames_[i];
        // Names that cannot be a file of their own are not written at all.
        if (SafeFileName(name).empty())
            continue;
        TMemoryStream stream;
        if (file->GetSize() > 0)
            stream.WriteBuffer(file->GetData(), file->GetSize());
        if (!SaveStreamToFolder(&stream, name, IsAutorunFile(name) ? RootPattern : DataPattern))
            return false;
    }
    StepProgress();

    if (StopRequested())
        return false;
    const std::string front = FillCommon(tpl->GetMainPageHtml("\\"));
    if (!WriteOutputFile(folder + "portfolio.html", front.data(), front.size()))
        return false;

    if (!WriteArtworks(tpl->GetArtworkPageHtml("\\Data\\"), images))
        return false;
    StepProgress();
    return true;
}

namespace {

// Encodes the picture in the format its name asks for and writes it as a new
// file. False, with writeError the system's error code when the write failed
// and 0 when the format refused the picture.
bool WritePicture(const TFreeBitmap& bitmap, const std::string& path, int flags, int& writeError)
{
    writeError = 0;
    const FREE_IMAGE_FORMAT format = TFreeBitmap::FormatFromFileName(path);
    TFreeMemoryIO memory;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!bitmap.SaveToMemory(format, memory, flags) || !memory.Acquire(&data, &size))
        return false;
    writeError = PortfolioGenerator::WriteNewFile(path, data, size);
    return writeError == 0;
}

} // namespace

// Encodes the artwork images on several cores while this thread writes the
// pages in order. Which image goes to which name is settled beforehand, so
// the folder is the same whatever the number of cores.
bool HTMLGenerator::WriteArtworks(const std::string& skeleton, UniqueNames& names)
{
    Portfolio* portfolio = GetPortfolio();
    const int count = portfolio->GetPictureCount();
    if (count == 0)
        return true;
    const std::string images = GetOutputFolder() + "Images/";
    // The PDF stores a JPEG that is already at its quality as it is: written
    // at that quality here, an artwork is encoded once, not twice.
    const int jpegFlags = forPdf_ ? std::clamp(Options::Instance()->GetPdfCompression(), 1, 100) : 0;
    auto flagsFor = [&](const std::string& name) {
        return TFreeBitmap::FormatFromFileName(name) == FIF_JPEG ? jpegFlags : 0;
    };

    enum class State { Pending, Written, Failed };
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::vector<State> states;
        std::vector<int> writeErrors;
        std::vector<std::exception_ptr> errors;
        std::atomic<int> next{0};
        std::atomic<bool> stop{false};
    } shared;
    shared.states.assign(count, State::Pending);
    shared.writeErrors.assign(count, 0);
    shared.errors.assign(count, nullptr);

    auto worker = [&] {
        for (;;) {
            const int i = shared.next.fetch_add(1);
            if (i >= count || shared.stop.load())
                return;
            State state = State::Failed;
            int writeError = 0;
            std::exception_ptr error;
            try {
                if (WritePicture(*portfolio->GetPicture(i)->GetBitmap(), images + imageNames_[i],
                                 flagsFor(imageNames_[i]), writeError))
                    state = State::Written;
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard lock(shared.mutex);
            shared.states[i] = state;
            shared.writeErrors[i] = writeError;
            shared.errors[i] = error;
            shared.done.notify_all();
        }
    };

    const unsigned cores = unsigned(UsableProcessors());
    const int threads = static_cast<int>(std::min<unsigned>(cores, static_cast<unsigned>(count)));
    std::vector<std::thread> pool;
    pool.reserve(threads);
    struct Joiner {
        std::vector<std::thread>& pool;
        std::atomic<bool>& stop;
        ~Joiner()
        {
            stop.store(true);
            for (std::thread& t : pool)
                t.join();
        }
    } joiner{pool, shared.stop};
    for (int t = 0; t < threads; ++t)
        pool.emplace_back(worker);

    for (int i = 0; i < count; ++i) {
        // Workers still encoding finish their picture; the joiner waits for them.
        if (StopRequested())
            return false;
        State state;
        int writeError = 0;
        std::exception_ptr error;
        {
            std::unique_lock lock(shared.mutex);
            shared.done.wait(lock, [&] { return shared.states[i] != State::Pending; });
            state = shared.states[i];
            writeError = shared.writeErrors[i];
            error = shared.errors[i];
        }
        if (error)
            std::rethrow_exception(error);
        std::string written = images + imageNames_[i];
        bool ok = state == State::Written;
        if (!ok && writeError == 0) {
            // The format of the name refused this image after all (JPEG
            // holds no side over 65,500 pixels): PNG takes any image, under a
            // name no other artwork uses.
            std::string png = names.Take(ChangeFileExt(imageNames_[i], ".png"));
            written = images + png;
            ok = WritePicture(*portfolio->GetPicture(i)->GetBitmap(), written, 0, writeError);
            if (ok)
                imageNames_[i] = std::move(png);
        }
        if (!ok) {
            const std::string title = portfolio->GetPicture(i)->GetTitle(true);
            // Without a system error the image library refused it, and gives no reason.
            return SetErrorText("Failed to write the picture of artwork " + std::to_string(i + 1) +
                                (title.empty() ? "" : " (\"" + title + "\")") + ". " +
                                (writeError ? WriteFailureText(written, writeError)
                                            : "The picture could not be encoded as \"" + written + "\"."));
        }
        pageCounter_ = i;
        const std::string page = FillPage(skeleton, portfolio->GetPicture(i));
        if (!WriteOutputFile(GetOutputFolder() + "Data/" + PageName(i), page.data(), page.size()))
            return false;
        pageCounter_ = i + 1;
        StepProgress();
    }
    return true;
}

bool HTMLGenerator::ShowResult()
{
    const std::string folder = GetOutputFolder();
    auto show = [&folder] {
        // The application keeps one preview window for the whole run; a
        // window of our own stands in where there is none.
        TForm10* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TForm10*>(widget)) {
                window = form;
                break;
            }
        std::unique_ptr<TForm10> own;
        if (!window) {
            own = std::make_unique<TForm10>();
            window = own.get();
        }
        window->ShowPortfolio(folder);
    };
    TThread::Synchronize(show);
    return true;
}
