// The PDF generator against a recording document registered in the test
// hive under the component's ProgID, and against the real component with the
// files checked by poppler and qpdf tools.
#include "output/PDFGenerator.h"
#include "output/HTMLGenerator.h"
#include "output/ProgressThread.h"
#include "output/TForm15.h"
#include "output/Form1.h"
#include "output/TForm10.h"

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "model/Style.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "platform/com/ComRuntime.h"
#include "platform/pdf/PDFInterfaces.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QBuffer>
#include <QTimer>
#include <QWebEngineView>
#include <QLabel>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kArtist = "Ana & Bo <Studio>";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int Count(const std::vector<std::string>& lines, const std::string& prefix)
{
    int n = 0;
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0)
            ++n;
    return n;
}

void Register(const char* module, bool unregister = false)
{
    std::string out;
    ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + (unregister ? " /u" : "") + " /s '" + module + "' 2>&1", &out), 0)
        << out;
}

// Sets an environment variable for the object's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            had_ = true;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// A picture whose JPEG size depends strongly on the quality.
std::string NoisyImage(const TempDir& dir, const std::string& name, int w, int h, int seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = static_cast<int>(rng() % 80);
            image.setPixel(x, y, qRgb((x + v) % 256, (y + 2 * v) % 256, (x + y + v) % 256));
        }
    const std::string path = dir / name;
    EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
    return path;
}

Template* ShippedTemplate(const std::string& name)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (library->GetCount() == 0)
        library->Load();
    return library->FindTemplate(name);
}

const char* const kTitles[] = {"Red Field", "Harbour at Dusk", "Blue Study", "Quiet Morning"};

// The fixture portfolio: contact details, a statement text and file, a CV,
// and artworks with captions.
struct FixturePortfolio {
    TempDir sources;
    Portfolio portfolio;

    explicit FixturePortfolio(int artworks, const std::string& templateName = "Gallery White")
    {
        portfolio.SetTemplate(ShippedTemplate(templateName));
        portfolio.SetName(kArtist);
        portfolio.SetEmail("ana@example.org");
        portfolio.SetStatementText("I paint rivers at night.");
        EXPECT_TRUE(portfolio.AttachStatementFile(sources.Write("docs/My Statement.doc", "statement bytes")));
        portfolio.SetUseStatementFile(true);
        EXPECT_TRUE(portfolio.AttachCVFile(sources.Write("docs/CV 2024.pdf", "cv bytes")));
        portfolio.SetUseCVFile(true);
        for (int i = 0; i < artworks; ++i) {
            auto picture = std::make_unique<Picture>(&portfolio);
            EXPECT_TRUE(picture->LoadFromFile(NoisyImage(sources, "art" + std::to_string(i) + ".png", 240, 180, i)));
            picture->SetTitle(kTitles[i % 4]);
            picture->SetMedia("Oil on canvas");
            picture->SetDimensions("40 x 30 cm");
            portfolio.AddPicture(picture.release());
        }
    }
};

class IdleJob : public ProgressThread {
public:
    IdleJob() : ProgressThread("Export...", true) {}

protected:
    void Execute() override {}
};

// Drives the generator against the recording document. The recording and
// the progress the job's window shows go into one log, in the order they
// happen.
class PDFGeneratorFakeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Register(FAKE_PDF_MODULE);
        Options::Instance()->SetPdfCompression(37);
    }

    void AppendLog(const std::string& line)
    {
        std::ofstream out(log_ / "calls.log", std::ios::app);
        out << line << '\n';
    }
    std::vector<std::string> Log() const { return Lines(ReadFileBytes(log_ / "calls.log")); }

    // Runs Generate with a progress window attached; the fake's behaviour
    // is set by fail and remove.
    bool Run(PDFGenerator& generator, const std::string& fail = "", const std::string& remove = "")
    {
        ScopedEnv dir("VELMORA_FAKE_PDF_DIR", log_.Path().string());
        ScopedEnv failing("VELMORA_FAKE_PDF_FAIL", fail);
        ScopedEnv removing("VELMORA_FAKE_PDF_REMOVE", remove);
        IdleJob job;
        TForm15* form = job.ProgressForm();
        QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
            AppendLog("progress " + std::to_string(value) + "/" + std::to_string(form->BarMaximum()));
        });
        generator.SetProgressSink(&job);
        const bool ok = generator.Generate();
        generator.SetProgressSink(nullptr);
        return ok;
    }

    // The log with the generator's folder written as <out> and the inner
    // generator's (the base folder of the first page drawn) as <inner>.
    std::vector<std::string> Normalised(const PDFGenerator& generator, std::string* inner = nullptr)
    {
        std::vector<std::string> lines = Log();
        const std::string drawPrefix = "DrawHtml -1 -1 -1 -1 1 ";
        std::string innerFolder;
        for (const std::string& line : lines)
            if (line.rfind(drawPrefix, 0) == 0) {
                innerFolder = line.substr(drawPrefix.size());
                break;
            }
        if (inner)
            *inner = innerFolder;
        const std::string out = generator.GetOutputFolder();
        for (std::string& line : lines) {
            if (!innerFolder.empty() && line.find(innerFolder) != std::string::npos)
                line.replace(line.find(innerFolder), innerFolder.size(), "<inner>");
            if (line.find(out) != std::string::npos)
                line.replace(line.find(out), out.size(), "<out>");
        }
        return lines;
    }

    // What stands in the working folder besides the generator's own folder.
    std::vector<std::string> Leftovers(const PDFGenerator& generator) const
    {
        std::vector<std::string> names;
        const fs::path own = fs::path(generator.GetOutputFolder()).parent_path();
        for (const auto& entry : fs::directory_iterator(root_.Working()))
            if (entry.path() != own && entry.is_directory())
                names.push_back(entry.path().filename().string());
        return names;
    }

    TempRoot root_;
    TempDir log_;
};

TEST_F(PDFGeneratorFakeTest, CallsOptionsProgressAndReleasesInOrder)
{
    FixturePortfolio f(2);
    PDFGenerator generator(&f.portfolio);
    EXPECT_EQ(generator.GetKind(), PortfolioGenerator::kPdf);
    ASSERT_TRUE(Run(generator));

    std::string inner;
    const std::vector<std::string> page = {"GetCurrentPage", "SetPageOption2 2", "SetPageOption1 0", "GetPageHeight",
                                           "GetPageWidth"};
    std::vector<std::string> expected = {
        "Create",
        "progress 1/6",
        "SetOutputFile <out>portfolio.pdf",
        "SetDocumentOption1 0",
        "SetDocumentOption2 1",
        "SetDocumentOption5 0",
        "SetDocumentOption6 1",
        "SetDocumentOption10 1",
        "SetDocumentOption11 0",
        "SetDocumentOption7 0",
        "SetDocumentOption9 0",
        "SetDocumentOption4 1",
        "SetDocumentOption8 1",
        "SetDocumentOption3 1",
        "SetCompression 37",
        "GetDocumentInfo",
        // The plain name, although the pages hold it escaped.
        "SetAuthor Ana & Bo <Studio>",
        "SetTitle The Portfolio of Ana & Bo <Studio>",
        "~Info",
        "BeginDocument",
        "progress 2/6",
        "AttachFile <out>My Statement.doc | Statement File",
        "progress 3/6",
        "AttachFile <out>CV 2024.pdf | CV File",
        "progress 4/6",
    };
    // The front page goes on the page BeginDocument made.
    expected.insert(expected.end(), page.begin(), page.end());
    expected.insert(expected.end(), {"DrawHtml -1 -1 -1 -1 1 <inner>", "~Page", "progress 5/6", "AddPage"});
    expected.insert(expected.end(), page.begin(), page.end());
    expected.insert(expected.end(), {"DrawHtml -1 -1 -1 -1 1 <inner>Data/", "~Page", "progress 6/6", "AddPage"});
    expected.insert(expected.end(), page.begin(), page.end());
    // 2 + 1 + 1 + 3 steps declared: the last artwork and EndDocument make
    // steps 7 and 8, past the full bar.
    expected.insert(expected.end(), {"DrawHtml -1 -1 -1 -1 1 <inner>Data/", "~Page", "EndDocument", "~Document"});
    EXPECT_EQ(Normalised(generator, &inner), expected);

    // The inner pages were rendered from their own folder, which is gone.
    ASSERT_FALSE(inner.empty());
    EXPECT_NE(inner, generator.GetOutputFolder());
    EXPECT_FALSE(fs::exists(inner));
    EXPECT_TRUE(Leftovers(generator).empty());

    const std::string front = ReadFileBytes(log_ / "draw-1.html");
    EXPECT_TRUE(Has(front, "height:1111px;width:777px;")) << "page size comes from the document";
    EXPECT_FALSE(Has(front, "%PDF_PAGE_"));
    EXPECT_TRUE(Has(front, "Ana &amp; Bo &lt;Studio&gt;"));
    EXPECT_TRUE(Has(front, "attached inside this PDF"));
    EXPECT_TRUE(Has(ReadFileBytes(log_ / "draw-2.html"), "Red Field"));
    EXPECT_TRUE(Has(ReadFileBytes(log_ / "draw-3.html"), "Harbour at Dusk"));

    // Attached from copies beside the PDF, holding the portfolio's bytes.
    EXPECT_EQ(ReadFileBytes(log_ / "attach-1"), "statement bytes");
    EXPECT_EQ(ReadFileBytes(log_ / "attach-2"), "cv bytes");
    EXPECT_EQ(ReadFileBytes(generator.GetOutputFolder() + "My Statement.doc"), "statement bytes");
    EXPECT_TRUE(fs::exists(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName()));
}

TEST_F(PDFGeneratorFakeTest, StepsFollowPicturesStatementAndCV)
{
    struct Case {
        int pictures;
        bool useStatement;
        bool statementHasData;
        bool useCV;
        int attachments;
    };
    const Case cases[] = {
        {0, false, false, false, 0},
        {2, true, true, false, 1},
        // Flagged but empty: nothing attached or copied, the step still counts.
        {1, true, false, true, 1},
        {3, true, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.pictures) + " pictures, statement " + std::to_string(c.useStatement) +
                     "/" + std::to_string(c.statementHasData) + ", CV " + std::to_string(c.useCV));
        fs::remove(log_ / "calls.log");
        FixturePortfolio f(c.pictures);
        if (!c.statementHasData)
            f.portfolio.GetStatementData()->Clear();
        f.portfolio.SetUseStatementFile(c.useStatement);
        f.portfolio.SetUseCVFile(c.useCV);
        PDFGenerator generator(&f.portfolio);
        ASSERT_TRUE(Run(generator));

        const int declared = c.pictures + c.useStatement + c.useCV + 3;
        std::vector<std::string> progress;
        for (const std::string& line : Log())
            if (line.rfind("progress ", 0) == 0)
                progress.push_back(line);
        std::vector<std::string> expected;
        for (int step = 1; step <= declared - 1; ++step)
            expected.push_back("progress " + std::to_string(step) + "/" + std::to_string(declared - 1));
        EXPECT_EQ(progress, expected);

        const std::vector<std::string> log = Log();
        EXPECT_EQ(Count(log, "AttachFile"), c.attachments);
        EXPECT_EQ(Count(log, "DrawHtml"), c.pictures + 1);
        EXPECT_EQ(Count(log, "AddPage"), c.pictures);
        EXPECT_EQ(fs::exists(generator.GetOutputFolder() + "My Statement.doc"), c.useStatement && c.statementHasData);
    }
}

TEST_F(PDFGeneratorFakeTest, MissingPageFileAndMissingPageAreSkipped)
{
    {
        SCOPED_TRACE("the page file of picture 1 disappears");
        FixturePortfolio f(3);
        PDFGenerator generator(&f.portfolio);
        ASSERT_TRUE(Run(generator, "", "Data/001.html"));
        const std::vector<std::string> log = Log();
        EXPECT_EQ(Count(log, "AddPage"), 2);
        EXPECT_EQ(Count(log, "DrawHtml"), 3);
        EXPECT_EQ(Count(log, "EndDocument"), 1);
        EXPECT_TRUE(Has(ReadFileBytes(log_ / "draw-2.html"), "Red Field"));
        EXPECT_TRUE(Has(ReadFileBytes(log_ / "draw-3.html"), "Blue Study"));
        // Still declared + 1 steps, so the bar ends full.
        EXPECT_EQ(log[log.size() - 1], "~Document");
        EXPECT_EQ(Count(log, "progress 7/7"), 1);
    }
    {
        SCOPED_TRACE("the document hands out no page for picture 0");
        fs::remove(log_ / "calls.log");
        FixturePortfolio f(2);
        PDFGenerator generator(&f.portfolio);
        ASSERT_TRUE(Run(generator, "GetCurrentPage#2"));
        const std::vector<std::string> log = Log();
        EXPECT_EQ(Count(log, "DrawHtml"), 2);
        EXPECT_EQ(Count(log, "~Page"), 2);
        EXPECT_TRUE(Has(ReadFileBytes(log_ / "draw-2.html"), "Harbour at Dusk"));
        EXPECT_EQ(Count(log, "EndDocument"), 1);
    }
}

TEST_F(PDFGeneratorFakeTest, FailuresOfTheDocument)
{
    struct Case {
        const char* fail;
        bool result;
        const char* absent; // a call that must not have been made
    };
    const Case cases[] = {
        {"EndDocument", false, nullptr},
        {"DrawHtml#2", false, "EndDocument"},
        {"DrawHtml#1", false, "AddPage"},
        {"GetDocumentInfo", false, "BeginDocument"},
        {"BeginDocument", false, "DrawHtml"},
        {"AddPage#1", false, "EndDocument"},
        // A refused attachment is not worth losing the portfolio for.
        {"AttachFile", true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fail);
        fs::remove(log_ / "calls.log");
        FixturePortfolio f(2);
        PDFGenerator generator(&f.portfolio);
        EXPECT_EQ(Run(generator, c.fail), c.result);
        const std::vector<std::string> log = Log();
        if (c.absent) {
            EXPECT_EQ(Count(log, c.absent), 0);
        }
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "~Document") << "the document is released";
        EXPECT_EQ(Count(log, "~Page"), Count(log, "GetCurrentPage"));
        EXPECT_TRUE(Leftovers(generator).empty()) << "the inner folder is deleted";
    }
}

// The user is told which page to look at.
TEST_F(PDFGeneratorFakeTest, PageThatCannotBeDrawnIsNamed)
{
    const std::pair<const char*, const char*> cases[] = {
        {"DrawHtml#1", "Failed to draw the front page."},
        {"DrawHtml#3", "Failed to draw the page of artwork 2 (\"Harbour at Dusk\")."},
    };
    for (const auto& [fail, text] : cases) {
        SCOPED_TRACE(fail);
        FixturePortfolio f(3);
        PDFGenerator generator(&f.portfolio);
        EXPECT_FALSE(Run(generator, fail));
        EXPECT_EQ(generator.GetErrorText(), text);
    }
}

TEST_F(PDFGeneratorFakeTest, WithoutTheLibraryNothingIsGenerated)
{
    enum class Broken { NotRegistered, ModuleMissing };
    for (Broken broken : {Broken::NotRegistered, Broken::ModuleMissing}) {
        SCOPED_TRACE(broken == Broken::NotRegistered ? "not registered" : "module missing");
        Register(FAKE_PDF_MODULE, true);
        if (broken == Broken::ModuleMissing) {
            ClassRegistration reg{MakeGuid("{0C9E8F61-4A2D-4B7E-9D15-6E3F2A8B4C70}"), "Gone", "",
                                  kPDFDocumentProgID};
            ASSERT_EQ(RegisterInprocServer(reg, (root_.Path() / "no-such-module.so").string()), S_OK);
        }
        fs::remove(log_ / "calls.log");
        FixturePortfolio f(2);
        auto generator = std::make_unique<PDFGenerator>(&f.portfolio);
        const std::string own = fs::path(generator->GetOutputFolder()).parent_path().filename().string();
        EXPECT_FALSE(Run(*generator));
        EXPECT_TRUE(Log().empty()) << "no progress, no document";

        // No inner generator was made: the next folder number follows ours.
        HTMLGenerator next(&f.portfolio);
        const std::string after = fs::path(next.GetOutputFolder()).parent_path().filename().string();
        EXPECT_EQ(std::stoul(after, nullptr, 16), std::stoul(own, nullptr, 16) + 1);
    }
}

// ShowResult with viewers made of shell scripts.
class PDFGeneratorViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = PDFGenerator::GetViewerCommand();
        generator_ = std::make_unique<PDFGenerator>(&portfolio_);
        pdf_ = generator_->GetOutputFolder() + PDFGenerator::GetOutputFileName();
        std::ofstream(pdf_) << "%PDF-1.4 portfolio";
    }
    void TearDown() override { PDFGenerator::SetViewerCommand(old_); }

    std::string Script(const std::string& relative, const std::string& body)
    {
        const std::string path = tools_ / relative;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "#!/bin/sh\n" << body;
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    TempRoot root_;
    TempDir tools_;
    Portfolio portfolio_;
    std::unique_ptr<PDFGenerator> generator_;
    std::string pdf_;
    std::string old_;
};

TEST_F(PDFGeneratorViewerTest, FirstGeneratorTakesTheViewerFromTheSettings)
{
    PDFGenerator::SetViewerCommand("");
    PDFGenerator another(&portfolio_);
    EXPECT_EQ(PDFGenerator::GetViewerCommand(), Options::Instance()->GetPdfViewerCommand());
    EXPECT_FALSE(PDFGenerator::GetViewerCommand().empty());
}

TEST_F(PDFGeneratorViewerTest, ViewerGetsThePathAsOneArgumentAndIsWaitedFor)
{
    const std::string out = tools_ / "out";
    // The file must still be there when the viewer looks, and the generator
    // must not return before the viewer has ended.
    const std::string viewer = Script("my viewer/view $1.sh",
                                      "printf '%s\\n' \"$@\" > '" + out + ".args'\n"
                                      "[ -f \"$3\" ] && echo present > '" + out + ".seen'\n"
                                      "sleep 0.3\n"
                                      "echo done > '" + out + ".done'\n");
    PDFGenerator::SetViewerCommand("\"" + viewer + "\" --page 1");
    ASSERT_TRUE(generator_->ShowResult());
    EXPECT_EQ(ReadFileBytes(out + ".args"), "--page\n1\n" + pdf_ + "\n");
    EXPECT_EQ(ReadFileBytes(out + ".seen"), "present\n");
    EXPECT_EQ(ReadFileBytes(out + ".done"), "done\n");
}

TEST_F(PDFGeneratorViewerTest, LauncherGetsAPrivateCopyThatOutlivesTheGenerator)
{
    const std::string out = tools_ / "opened";
    Script("bin/xdg-open", "printf '%s' \"$1\" > '" + out + "'\nexit \"${FAKE_OPEN_STATUS:-0}\"\n");
    ScopedEnv path("PATH", (tools_.Path() / "bin").string() + ":" + std::getenv("PATH"));
    PDFGenerator::SetViewerCommand("xdg-open");

    ASSERT_TRUE(generator_->ShowResult());
    const std::string copy = ReadFileBytes(out);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(copy.rfind(PDFGenerator::GetViewedFolder(), 0), 0u) << copy;
    generator_.reset();
    EXPECT_EQ(ReadFileBytes(copy), "%PDF-1.4 portfolio");
    struct stat st{};
    ASSERT_EQ(::stat(fs::path(copy).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);

    // A launcher that found no viewer: failure, and no copy left behind.
    generator_ = std::make_unique<PDFGenerator>(&portfolio_);
    std::ofstream(generator_->GetOutputFolder() + PDFGenerator::GetOutputFileName()) << "%PDF-1.4 second";
    ScopedEnv status("FAKE_OPEN_STATUS", "3");
    EXPECT_FALSE(generator_->ShowResult());
    const std::string second = ReadFileBytes(out);
    EXPECT_NE(second, copy);
    EXPECT_FALSE(fs::exists(fs::path(second).parent_path()));
    EXPECT_TRUE(fs::exists(copy)) << "an earlier copy may still be open";
}

TEST_F(PDFGeneratorViewerTest, NoViewerOrOneThatCannotStart)
{
    for (const std::string& command : {std::string(), std::string("   "), "'" + (tools_ / "no such viewer") + "'"}) {
        SCOPED_TRACE(command);
        PDFGenerator::SetViewerCommand(command);
        EXPECT_FALSE(generator_->ShowResult());
    }
}

// The real component, found through the test hive.
class PDFGeneratorComponentTest : public ::testing::Test {
protected:
    void SetUp() override { Register(QUORVEX_PDF_MODULE); }

    std::string Shell(const std::string& command)
    {
        std::string out;
        EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
        return out;
    }

    // Total size in bytes of the JPEG images pdfimages lists.
    double JpegBytes(const std::string& file)
    {
        double total = 0;
        int images = 0;
        for (const std::string& line : Lines(Shell("pdfimages -list '" + file + "'"))) {
            std::stringstream row(line);
            std::vector<std::string> cells;
            for (std::string cell; row >> cell;)
                cells.push_back(cell);
            // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
            if (cells.size() != 16 || cells[2] != "image" || cells[8] != "jpeg")
                continue;
            const std::string& size = cells[14];
            const double scale = size.back() == 'K' ? 1024.0 : size.back() == 'M' ? 1048576.0 : 1.0;
            total += std::stod(size.substr(0, size.size() - 1)) * scale;
            ++images;
        }
        EXPECT_GT(images, 0) << file;
        return total;
    }

    TempRoot root_;
    TempDir out_;
};

TEST_F(PDFGeneratorComponentTest, FixturePortfolioBecomesACompletePdf)
{
    FixturePortfolio f(3, "Midnight");
    Options::Instance()->SetPdfCompression(80);
    PDFGenerator generator(&f.portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
    ASSERT_TRUE(fs::exists(file));

    const std::string info = Shell("pdfinfo -enc UTF-8 '" + file + "'");
    auto field = [&](const std::string& name) {
        std::smatch m;
        return std::regex_search(info, m, std::regex(name + R"(:\s+([^\n]*))")) ? m[1].str() : "(none)";
    };
    EXPECT_EQ(field("Pages"), "4");
    EXPECT_EQ(field("Author"), kArtist);
    EXPECT_EQ(field("Title"), std::string("The Portfolio of ") + kArtist);

    const std::string list = Shell("qpdf --list-attachments --verbose '" + file + "'");
    EXPECT_TRUE(Has(list, "My Statement.doc ->")) << list;
    EXPECT_TRUE(Has(list, "description: Statement File")) << list;
    EXPECT_TRUE(Has(list, "CV 2024.pdf ->")) << list;
    EXPECT_TRUE(Has(list, "description: CV File")) << list;
    Shell("qpdf --show-attachment='CV 2024.pdf' '" + file + "' > '" + (out_ / "cv.out") + "'");
    EXPECT_EQ(ReadFileBytes(out_ / "cv.out"), "cv bytes");

    const std::string text = Shell("pdftotext -enc UTF-8 '" + file + "' -");
    EXPECT_TRUE(Has(text, kArtist)) << text;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Has(text, kTitles[i])) << kTitles[i] << "\n" << text;

    // The template's page colour fills the front page up to its corner.
    const std::uint32_t colour = f.portfolio.GetTemplate()->GetBackgroundColor();
    const QColor expected(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    ASSERT_NE(expected, QColor(Qt::white));
    Shell("pdftoppm -r 96 -f 1 -l 1 -png '" + file + "' '" + (out_ / "front") + "'");
    const QImage front(QString::fromStdString(out_ / "front-1.png"));
    ASSERT_FALSE(front.isNull());
    for (QPoint at : {QPoint(5, 5), QPoint(front.width() - 6, front.height() - 6)})
        EXPECT_EQ(QColor(front.pixel(at)).name(), expected.name()) << at.x() << "," << at.y();
}

// Lines of a page as pdftotext lays them out, blanks squeezed.
std::vector<std::string> LaidOutLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::string line : Lines(text)) {
        line = std::regex_replace(line, std::regex("\\s+"), " ");
        if (line.find_first_not_of(' ') != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

// The line holding part, or empty.
std::string LineWith(const std::vector<std::string>& lines, const std::string& part)
{
    for (const std::string& line : lines)
        if (Has(line, part))
            return line;
    return {};
}

TEST_F(PDFGeneratorComponentTest, CaptionAndAddressLinesStayApartInEveryTemplate)
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (library->GetCount() == 0)
        library->Load();
    FixturePortfolio f(1);
    f.portfolio.SetAddress("1 Quay Street\r\nLondon");
    for (int t = 0; t < library->GetCount(); ++t) {
        Template* chosen = library->GetTemplate(t);
        SCOPED_TRACE(chosen->GetName());
        f.portfolio.SetTemplate(chosen);
        PDFGenerator generator(&f.portfolio);
        ASSERT_TRUE(generator.Generate());
        const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
        const auto front = LaidOutLines(Shell("pdftotext -layout -enc UTF-8 -f 1 -l 1 '" + file + "' -"));
        const auto page = LaidOutLines(Shell("pdftotext -layout -enc UTF-8 -f 2 -l 2 '" + file + "' -"));
        const std::string title = LineWith(page, kTitles[0]);
        ASSERT_FALSE(title.empty());
        EXPECT_FALSE(Has(title, "Oil on canvas")) << title;
        EXPECT_FALSE(LineWith(page, "Oil on canvas").empty());
        EXPECT_FALSE(Has(LineWith(page, "Oil on canvas"), "40 x 30 cm"));
        EXPECT_FALSE(LineWith(page, "40 x 30 cm").empty());
        const std::string street = LineWith(front, "1 Quay Street");
        ASSERT_FALSE(street.empty());
        EXPECT_FALSE(Has(street, "London")) << street;
        EXPECT_FALSE(LineWith(front, "London").empty());
    }
}

TEST_F(PDFGeneratorComponentTest, AttachmentsWithNamesTooLongOrAlikeAreAllEmbedded)
{
    FixturePortfolio f(1);
    // 90 letters of three bytes each: legal on Windows, 270 bytes here.
    std::string longName;
    for (int i = 0; i < 90; ++i)
        longName += "\xE5\xB1\xB1";
    f.portfolio.SetStatementFile("C:\\docs\\" + longName + ".doc");
    // Both documents under one name: neither copy may replace the other.
    f.portfolio.SetCVFile("D:\\" + longName + ".doc");
    PDFGenerator generator(&f.portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
    std::vector<std::string> names;
    for (const std::string& line : Lines(Shell("qpdf --list-attachments '" + file + "'")))
        if (const size_t arrow = line.find(" -> "); arrow != std::string::npos)
            names.push_back(line.substr(0, arrow));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0], names[1]);
    std::vector<std::string> contents;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 255u);
        EXPECT_EQ(fs::path(name).extension(), ".doc");
        Shell("qpdf --show-attachment='" + name + "' '" + file + "' > '" + (out_ / "attached.out") + "'");
        contents.push_back(ReadFileBytes(out_ / "attached.out"));
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"cv bytes", "statement bytes"}));
}

TEST_F(PDFGeneratorComponentTest, TextsHoldingThePageSizePlaceholdersShowAsTyped)
{
    FixturePortfolio f(1);
    f.portfolio.SetName("Ana 100% %PDF_PAGE_WIDTH%");
    f.portfolio.GetPicture(0)->SetTitle("%PDF_PAGE_HEIGHT% at 50%");
    PDFGenerator generator(&f.portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string text =
        Shell("pdftotext -enc UTF-8 '" + generator.GetOutputFolder() + PDFGenerator::GetOutputFileName() + "' -");
    EXPECT_TRUE(Has(text, "Ana 100% %PDF_PAGE_WIDTH%")) << text;
    EXPECT_TRUE(Has(text, "%PDF_PAGE_HEIGHT% at 50%")) << text;
}

// Qt's reader refuses pictures above its allocation limit: such an artwork
// is drawn from a smaller decode rather than left off its page.
TEST_F(PDFGeneratorComponentTest, ArtworkLargerThanTheReaderTakesIsDrawn)
{
    FixturePortfolio f(0);
    auto picture = std::make_unique<Picture>(&f.portfolio);
    {
        QImage huge(6000, 6000, QImage::Format_RGB32);
        huge.fill(QColor(0, 140, 140));
        const std::string path = f.sources / "huge.bmp";
        ASSERT_TRUE(huge.save(QString::fromStdString(path), "BMP"));
        // Kept at its size, as with the "don't resize" setting.
        const int setting = Options::Instance()->GetPictureSize();
        Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
        const bool loaded = picture->LoadFromFile(path);
        Options::Instance()->SetPictureSize(setting);
        ASSERT_TRUE(loaded);
        picture->SetFileName("huge.png");
    }
    f.portfolio.AddPicture(picture.release());
    PDFGenerator generator(&f.portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
    Shell("pdftoppm -r 48 -f 2 -l 2 -singlefile -png '" + file + "' '" + (out_ / "huge") + "'");
    const QImage page(QString::fromStdString(out_ / "huge.png"));
    ASSERT_FALSE(page.isNull());
    // The artwork is a 600-pixel square in the middle of the page.
    const QColor centre = page.pixelColor(page.width() / 2, page.height() / 3);
    EXPECT_LT(std::abs(centre.red() - 0) + std::abs(centre.green() - 140) + std::abs(centre.blue() - 140), 30)
        << centre.name().toStdString();
}

// cairo makes no image with a side over 32,767 pixels, and JPEG holds none
// over 65,500: panoramas kept at their size are drawn from a copy narrow
// enough, in their own proportions.
TEST_F(PDFGeneratorComponentTest, PanoramaWiderThanTheDrawingLibraryTakesIsDrawn)
{
    const QSize sizes[] = {{40000, 300}, {70000, 1000}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        FixturePortfolio f(0);
        auto picture = std::make_unique<Picture>(&f.portfolio);
        {
            QImage panorama(size, QImage::Format_RGB32);
            panorama.fill(QColor(200, 90, 20));
            const std::string path = f.sources / "panorama.png";
            ASSERT_TRUE(panorama.save(QString::fromStdString(path), "PNG"));
            const int setting = Options::Instance()->GetPictureSize();
            Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
            const bool loaded = picture->LoadFromFile(path);
            Options::Instance()->SetPictureSize(setting);
            ASSERT_TRUE(loaded);
            ASSERT_EQ(picture->GetBitmap()->GetWidth(), size.width());
        }
        f.portfolio.AddPicture(picture.release());
        PDFGenerator generator(&f.portfolio);
        ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
        const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
        const std::string info = Shell("pdfinfo '" + file + "'");
        EXPECT_TRUE(std::regex_search(info, std::regex(R"(\nPages:\s+2\n)"))) << info;
        std::smatch m;
        const std::string list = Shell("pdfimages -f 2 -l 2 -list '" + file + "'");
        ASSERT_TRUE(std::regex_search(list, m, std::regex(R"(\n\s*2\s+\d+\s+image\s+(\d+)\s+(\d+))"))) << list;
        const int width = std::stoi(m[1]), height = std::stoi(m[2]);
        EXPECT_LE(width, 32767);
        EXPECT_GE(width, 32000);
        EXPECT_NEAR(double(width) / height, double(size.width()) / size.height(), 0.01 * size.width() / size.height());
    }
}

// A picture file of the page that does not decode fails the run: the page
// must not quietly come out without it.
TEST_F(PDFGeneratorComponentTest, PictureTheComponentCannotReadFailsTheRun)
{
    FixturePortfolio f(1);
    Template broken("Broken background");
    broken.CopyFrom(f.portfolio.GetTemplate());
    const std::string damaged = f.sources.Write("damaged.png", std::string("\x89PNG\r\n\x1a\n", 8) + "not a picture");
    ASSERT_TRUE(broken.SetBackgroundImage(damaged));
    f.portfolio.SetTemplate(&broken);
    {
        PDFGenerator generator(&f.portfolio);
        EXPECT_FALSE(generator.Generate());
    }
    // The same portfolio with the template's own background is fine.
    f.portfolio.SetTemplate(ShippedTemplate("Gallery White"));
    PDFGenerator generator(&f.portfolio);
    EXPECT_TRUE(generator.Generate());
}

// A received template's CSS may name any file of the machine: a device, a
// FIFO, a huge file, a sheet importing itself or the user's own pictures.
// Each gives a PDF in bounded time and memory (the generation runs in a
// capped child process), holding only the artwork's picture.
TEST_F(PDFGeneratorComponentTest, ReceivedTemplateCssReachesNothingOutsideThePortfolio)
{
    TempDir outside;
    QImage privatePicture(300, 300, QImage::Format_RGB32);
    privatePicture.fill(QColor(255, 0, 255));
    const std::string secret = outside / "private.png";
    ASSERT_TRUE(privatePicture.save(QString::fromStdString(secret)));
    const std::string fifo = outside / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = outside.Write("big.css", "");
    ASSERT_EQ(::truncate(big.c_str(), int64_t{2} << 30), 0);
    const std::string loop = "@import url(loop.css); @import url(Data/loop.css); .x { color: red; }";

    struct Case {
        const char* what;
        std::string appendCss;
    };
    const std::vector<Case> cases = {
        {"nothing outside", "padding:1px;"},
        {"device as import", "} @import url(/dev/zero); .x {"},
        {"FIFO as import", "} @import url(file://" + fifo + "); .x {"},
        {"2 GiB file as import", "} @import '" + big + "'; .x {"},
        {"template sheet importing itself", "} @import url(loop.css); @import url(Data/loop.css); .x {"},
        {"private picture", "background-image:url(" + secret + ");"},
        {"private picture by file URL", "background-image:url(file://" + secret + ");"},
        {"FIFO as picture", "background-image:url(\"file://" + fifo + "\");"},
    };
    TempDir templates;
    // Page, width and height of each picture of the first case's document,
    // which names nothing outside.
    std::vector<std::string> expected;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        ReceivedTemplate received(templates, "Received " + std::to_string(i), c.appendCss, "",
                                  {{"loop.css", loop}});
        ASSERT_NE(received.Get(), nullptr);
        FixturePortfolio f(1);
        f.portfolio.SetTemplate(received.Get());
        const std::string file = out_ / ("case" + std::to_string(i) + ".pdf");
        const BoundedResult result = RunBounded(
            [&] {
                PDFGenerator generator(&f.portfolio);
                if (!generator.Generate())
                    return 1;
                fs::copy_file(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName(), file);
                return 0;
            },
            int64_t{2} << 30, 120);
        ASSERT_TRUE(result.finished) << "crashed, ran out of memory or still waiting at the deadline";
        ASSERT_EQ(result.value, 0);
        EXPECT_LT(result.grewKb, 512 * 1024) << "memory grew by " << result.grewKb << " kB";
        std::vector<std::string> pictures;
        for (const std::string& line : Lines(Shell("pdfimages -list '" + file + "'"))) {
            std::smatch m;
            if (std::regex_search(line, m, std::regex(R"(^\s*(\d+)\s+\d+\s+image\s+(\d+)\s+(\d+))")))
                pictures.push_back(m[1].str() + " " + m[2].str() + "x" + m[3].str());
        }
        if (i == 0) {
            expected = pictures;
            EXPECT_NE(std::find(expected.begin(), expected.end(), "2 240x180"), expected.end());
        }
        EXPECT_EQ(pictures, expected);
        // Backgrounds are drawn as patterns, which pdfimages does not list.
        for (int page : {1, 2}) {
            const std::string number = std::to_string(page);
            Shell("pdftoppm -r 48 -f " + number + " -l " + number + " -singlefile -png '" + file + "' '" +
                  (out_ / "shown") + "'");
            const QImage shown(QString::fromStdString(out_ / "shown.png"));
            ASSERT_FALSE(shown.isNull());
            for (int y = 0; y < shown.height(); y += 4)
                for (int x = 0; x < shown.width(); x += 4) {
                    const QColor c(shown.pixel(x, y));
                    ASSERT_GT(255 - c.red() + c.green() + 255 - c.blue(), 24)
                        << "the private picture on page " << page << " at " << x << "," << y;
                }
        }
    }
}

// A template made on a system that takes longer names may name its
// background over 255 bytes: the file is written cut, and the pages name
// it as written, so the background shows.
TEST_F(PDFGeneratorComponentTest, BackgroundWithANameTooLongShows)
{
    QImage teal(40, 40, QImage::Format_RGB32);
    teal.fill(QColor(0, 128, 128));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(teal.save(&buffer, "PNG"));
    }
    const std::string name = std::string(296, 'p') + ".png";
    TempDir templates;
    ReceivedTemplate received(templates, "Long Background", "", name, {{name, png.toStdString()}});
    ASSERT_NE(received.Get(), nullptr);
    FixturePortfolio f(1);
    f.portfolio.SetTemplate(received.Get());
    PDFGenerator generator(&f.portfolio);
    ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
    const std::string file = generator.GetOutputFolder() + PDFGenerator::GetOutputFileName();
    for (int page : {1, 2}) {
        const std::string stem = out_ / ("page" + std::to_string(page));
        Shell("pdftoppm -r 48 -f " + std::to_string(page) + " -l " + std::to_string(page) + " -singlefile -png '" +
              file + "' '" + stem + "'");
        const QImage shown(QString::fromStdString(stem + ".png"));
        ASSERT_FALSE(shown.isNull());
        // The picture went through JPEG: near, not exact.
        const QColor corner(shown.pixel(3, 3));
        EXPECT_LT(std::abs(corner.red() - 0) + std::abs(corner.green() - 128) + std::abs(corner.blue() - 128), 12)
            << "page " << page << ": " << corner.name().toStdString();
    }
}

// Artwork images sit away from the page's corner: they once came out blank
// when the component placed images at twice their offset.
TEST_F(PDFGeneratorComponentTest, ArtworkImagesAreJpegAndFollowTheSetting)
{
    FixturePortfolio f(2);
    auto generate = [&](int setting) {
        Options::Instance()->SetPdfCompression(setting);
        PDFGenerator generator(&f.portfolio);
        EXPECT_TRUE(generator.Generate());
        const std::string copy = out_ / ("q" + std::to_string(setting) + ".pdf");
        fs::copy_file(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName(), copy);
        return copy;
    };
    const std::string file = generate(80);
    const std::string images = Shell("pdfimages -list '" + file + "'");
    for (int page = 2; page <= 3; ++page)
        EXPECT_TRUE(std::regex_search(images, std::regex("\\n\\s*" + std::to_string(page) + R"(\s+\d+\s+image.*jpeg)")))
            << "page " << page << "\n" << images;

    const double high = JpegBytes(generate(95));
    const double middle = JpegBytes(generate(60));
    const double low = JpegBytes(generate(10));
    EXPECT_LT(middle, high);
    EXPECT_LT(low, middle);
}

TEST_F(PDFGeneratorComponentTest, TwoJobsAtOnce)
{
    FixturePortfolio f(3);
    Options::Instance()->SetPdfCompression(80);
    PDFGenerator first(&f.portfolio);
    PDFGenerator second(&f.portfolio);
    bool firstOk = false;
    bool secondOk = false;
    std::thread a([&] { firstOk = first.Generate(); });
    std::thread b([&] { secondOk = second.Generate(); });
    a.join();
    b.join();
    ASSERT_TRUE(firstOk);
    ASSERT_TRUE(secondOk);
    for (const PDFGenerator* generator : {&first, &second}) {
        const std::string file = generator->GetOutputFolder() + PDFGenerator::GetOutputFileName();
        const std::string text = Shell("pdftotext -enc UTF-8 '" + file + "' -");
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(Has(text, kTitles[i])) << file;
        EXPECT_TRUE(Has(Shell("pdfinfo '" + file + "'"), "Pages:           4"));
    }
}

} // namespace

// A job the way the program runs one: on its worker thread, with its
// progress window, the HTML generator showing its result in the preview
// window through a synchronised call onto the main thread, then the PDF
// generator with the real component.
class PreviewAndExportJob : public ProgressThread {
public:
    explicit PreviewAndExportJob(Portfolio* portfolio) : ProgressThread("Preview...", true), portfolio_(portfolio) {}
    ~PreviewAndExportJob() override
    {
        Terminate();
        WaitFor();
    }

    bool generated = false;
    bool shown = false;
    std::string folder;
    bool exported = false;
    std::string pdf;

protected:
    void Execute() override
    {
        ShowProgressForm();
        SetStatus("Generating Portfolio...");
        {
            HTMLGenerator html(portfolio_);
            html.SetProgressSink(this);
            generated = html.Generate();
            folder = html.GetOutputFolder();
            shown = generated && html.ShowResult();
        }
        PDFGenerator generator(portfolio_);
        generator.SetProgressSink(this);
        exported = generator.Generate();
        if (exported) {
            pdf = (fs::path(std::getenv("TMPDIR")) / "exported.pdf").string();
            fs::copy_file(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName(), pdf,
                          fs::copy_options::overwrite_existing);
        }
        SetStatus("Finished.");
        HideProgressForm();
    }

private:
    Portfolio* portfolio_;
};

TEST_F(PDFGeneratorComponentTest, JobThreadPreviewsThePagesAndExportsThePdf)
{
    FixturePortfolio f(2, "Midnight");
    QWidget mainWindow;
    mainWindow.show();
    RegisterForm1(&mainWindow);
    PreviewAndExportJob job(&f.portfolio);

    // The user looks at the preview and closes it.
    QUrl previewed;
    bool mainWindowDisabled = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* preview = qobject_cast<TForm10*>(widget);
                preview && preview->isVisible() && !preview->WebBrowser1->url().isEmpty()) {
                previewed = preview->WebBrowser1->url();
                mainWindowDisabled = !mainWindow.isEnabled();
                preview->accept();
            }
    });
    driver.start(50);
    job.Start();
    job.WaitFor();
    driver.stop();
    RegisterForm1(nullptr);

    EXPECT_TRUE(job.generated);
    EXPECT_TRUE(job.shown);
    EXPECT_EQ(previewed, TForm10::PortfolioAddress(job.folder));
    EXPECT_TRUE(mainWindowDisabled) << "the progress window keeps the main window disabled";
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(job.ProgressForm()->Label1->text(), "Finished.");
    ASSERT_TRUE(job.exported);
    const std::string info = Shell("pdfinfo '" + job.pdf + "'");
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+3\\n"))) << info;
}
