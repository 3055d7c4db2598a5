#include "output/HTMLGenerator.h"
#include "output/ProgressThread.h"
#include "output/TForm10.h"
#include "output/TForm15.h"

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

Template* ShippedTemplate()
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (library->GetCount() == 0)
        library->Load();
    return library->FindTemplate("Gallery White");
}

// What a browser shows of a page: everything outside HTML comments.
std::string Shown(const std::string& html)
{
    std::string out;
    size_t pos = 0;
    while (true) {
        const size_t open = html.find("<!--", pos);
        out.append(html, pos, open == std::string::npos ? std::string::npos : open - pos);
        if (open == std::string::npos)
            break;
        const size_t close = html.find("-->", open + 4);
        if (close == std::string::npos)
            break;
        pos = close + 3;
    }
    return out;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string MakeImage(const TempDir& dir, const std::string& relative, int w, int h, QColor colour,
                      const char* format)
{
    const std::string path = dir / relative;
    fs::create_directories(fs::path(path).parent_path());
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(QString::fromStdString(path), format)) << path;
    return path;
}

Picture* AddArtwork(Portfolio& portfolio, const std::string& path, const std::string& title,
                    const std::string& description = "")
{
    auto picture = std::make_unique<Picture>(&portfolio);
    EXPECT_TRUE(picture->LoadFromFile(path)) << path;
    picture->SetTitle(title);
    picture->SetMedia("Oil on canvas");
    picture->SetDimensions("40 x 30 cm");
    picture->SetDescription(description);
    Picture* raw = picture.get();
    portfolio.AddPicture(picture.release());
    return raw;
}

// The fixture portfolio: contact details, a statement with a file, a CV,
// an artist picture, and three artworks, two of whose source files share a
// name.
struct Fixture {
    TempDir sources;
    Portfolio portfolio;

    Fixture()
    {
        portfolio.SetTemplate(ShippedTemplate());
        portfolio.SetName("Ana & Bo <Studio>");
        portfolio.SetPhone("+44 20 7946 0000");
        portfolio.SetEmail("ana@example.org");
        portfolio.SetAddress("1 Quay Street\nLondon");
        portfolio.SetWebsiteAddress("www.example.org");
        portfolio.SetStatementTitle("About my work");
        portfolio.SetStatementText("First line\nSecond line");
        EXPECT_TRUE(portfolio.AttachStatementFile(sources.Write("docs/My Statement.doc", "statement bytes")));
        portfolio.SetUseStatementFile(true);
        EXPECT_TRUE(portfolio.AttachCVFile(sources.Write("docs/CV 2024.pdf", "cv bytes")));
        portfolio.SetUseCVFile(true);
        EXPECT_TRUE(portfolio.AttachPictureFile(
            MakeImage(sources, "docs/Portrait Photo.jpg", 40, 50, QColor(200, 180, 160), "JPG")));
        portfolio.SetUsePictureFile(true);

        AddArtwork(portfolio, MakeImage(sources, "red/IMG_0001.JPG", 80, 60, Qt::red, "JPG"), "Red Field",
                   "Painted at night.\nTwo lines.");
        AddArtwork(portfolio, MakeImage(sources, "green/IMG_0001.JPG", 60, 80, Qt::green, "JPG"), "Green Field");
        AddArtwork(portfolio, MakeImage(sources, "Blue Study.png", 50, 50, Qt::blue, "PNG"), "Blue Study");

        Options::Instance()->SetIncludeCopyright(true);
        Options::Instance()->SetIncludeDate(true);
    }
};

// Dominant channel of the image file's centre pixel.
char DominantColour(const std::string& path)
{
    const QImage image(QString::fromStdString(path));
    if (image.isNull())
        return '?';
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
        return 'r';
    if (c.green() > 150 && c.red() < 100 && c.blue() < 100)
        return 'g';
    if (c.blue() > 150 && c.red() < 100 && c.green() < 100)
        return 'b';
    return '?';
}

class IdleJob : public ProgressThread {
public:
    IdleJob() : ProgressThread("Preview...", true) {}

protected:
    void Execute() override {}
};

class HTMLGeneratorModes : public ::testing::TestWithParam<bool> {};

} // namespace

TEST_P(HTMLGeneratorModes, FolderLayoutAndNamesTheLinksUse)
{
    TempRoot root;
    Fixture f;
    HTMLGenerator generator(&f.portfolio);
    generator.SetForPdf(GetParam());
    IdleJob job;
    generator.SetProgressSink(&job);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();

    for (const char* file : {"portfolio.html", "autorun.inf", "autorun.ico", "Data/000.html", "Data/001.html",
                             "Data/002.html", "Data/Word.png", "Data/ForwardOn.png", "Data/ForwardOff.png",
                             "Data/BackwardOn.png", "Data/BackwardOff.png"})
        EXPECT_TRUE(fs::is_regular_file(out + file)) << file;
    EXPECT_FALSE(fs::exists(out + "Data/003.html"));
    EXPECT_FALSE(fs::exists(out + "Data/autorun.inf"));

    // Attachments under their plain names, byte for byte.
    EXPECT_EQ(ReadFileBytes(out + "Data/My Statement.doc"), "statement bytes");
    EXPECT_EQ(ReadFileBytes(out + "Data/CV 2024.pdf"), "cv bytes");
    EXPECT_EQ(ReadFileBytes(out + "Data/Portrait Photo.jpg"), ReadFileBytes(f.sources / "docs/Portrait Photo.jpg"));

    // The two artworks named IMG_0001.JPG keep their own images.
    EXPECT_EQ(DominantColour(out + "Images/IMG_0001.JPG"), 'r');
    EXPECT_EQ(DominantColour(out + "Images/IMG_0001-2.JPG"), 'g');
    EXPECT_EQ(DominantColour(out + "Images/Blue Study.png"), 'b');
    int images = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(out + "Images"))
        ++images;
    EXPECT_EQ(images, 3);

    const std::string pages[] = {ReadFileBytes(out + "Data/000.html"), ReadFileBytes(out + "Data/001.html"),
                                 ReadFileBytes(out + "Data/002.html")};
    EXPECT_TRUE(Has(pages[0], "src=\"../Images/IMG_0001.JPG\"")) << Shown(pages[0]);
    EXPECT_TRUE(Has(pages[1], "src=\"../Images/IMG_0001-2.JPG\""));
    EXPECT_TRUE(Has(pages[2], "src=\"../Images/Blue%20Study.png\""));
    EXPECT_TRUE(Has(Shown(pages[0]), "Red Field<br />Oil on canvas<br />40 x 30 cm"));
    EXPECT_TRUE(Has(Shown(pages[0]), "Painted at night.<br/>Two lines."));
    EXPECT_FALSE(Has(Shown(pages[1]), "class=\"text\" style=\"width:600px;\""));
    // Landscape 80 x 60 is shown at its own width; portrait 60 x 80 at its
    // own height in a 600 wide block.
    EXPECT_TRUE(Has(pages[0], "style=\"width:80px;\""));
    EXPECT_TRUE(Has(pages[0], "width:80px;margin:0 auto;"));
    EXPECT_TRUE(Has(pages[1], "style=\"height:80px;\""));
    EXPECT_TRUE(Has(pages[1], "width:600px;margin:0 auto;"));

    // Declares 3 + 2 steps, makes 3 + 3: the bar ends full.
    EXPECT_EQ(job.ProgressForm()->BarMaximum(), 4);
    EXPECT_EQ(job.ProgressForm()->BarPosition(), 4);

    // A second run finds its folders made and changes nothing.
    EXPECT_FALSE(generator.Generate());

    // scripts/screenshot-portfolio.sh asks for a copy to look at.
    if (const char* keep = std::getenv("VELMORA_KEEP_PORTFOLIO")) {
        const fs::path copy = fs::path(keep) / (GetParam() ? "Pdf" : "Browser");
        fs::remove_all(copy);
        fs::copy(out, copy, fs::copy_options::recursive);
    }
}

TEST_P(HTMLGeneratorModes, NoPlaceholderOrMarkerIsLeftInWhatIsShown)
{
    TempRoot root;
    Fixture f;
    HTMLGenerator generator(&f.portfolio);
    generator.SetForPdf(GetParam());
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    const std::regex placeholder("%[A-Z_]+%");
    for (const char* file : {"portfolio.html", "Data/000.html", "Data/001.html", "Data/002.html"}) {
        SCOPED_TRACE(file);
        std::string shown = Shown(ReadFileBytes(out + file));
        if (GetParam()) {
            // The page size is the PDF generator's to fill.
            EXPECT_TRUE(Has(shown, "height:%PDF_PAGE_HEIGHT%px;width:%PDF_PAGE_WIDTH%px;"));
            shown = std::regex_replace(shown, std::regex("%PDF_PAGE_(HEIGHT|WIDTH)%"), "");
        }
        std::smatch m;
        EXPECT_FALSE(std::regex_search(shown, m, placeholder)) << m.str(0);
        EXPECT_FALSE(Has(shown, "_BEGIN%"));
        EXPECT_FALSE(Has(shown, "_END%"));
        EXPECT_FALSE(Has(shown, "&break;"));
        EXPECT_TRUE(Has(shown, "<title>Ana &amp; Bo &lt;Studio&gt;</title>"));
        EXPECT_TRUE(Has(shown, "Copyright &copy; " + generator.GetYearText() + ", Ana &amp; Bo &lt;Studio&gt;."));
        EXPECT_TRUE(Has(shown, "Portfolio Created " + generator.GetDateText() + "."));
        EXPECT_TRUE(Has(shown, "class=\"background\""));
    }
}

TEST_P(HTMLGeneratorModes, BrowserAndPdfPartsOfThePages)
{
    TempRoot root;
    Fixture f;
    HTMLGenerator generator(&f.portfolio);
    const bool pdf = GetParam();
    generator.SetForPdf(pdf);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    const std::string front = Shown(ReadFileBytes(out + "portfolio.html"));
    const std::string artwork = Shown(ReadFileBytes(out + "Data/000.html"));

    // Navigation, image links and document links belong to the browser.
    EXPECT_EQ(Has(front, "<a href=\"Data/000.html\""), !pdf);
    EXPECT_EQ(Has(front, "href=\"./Data/My%20Statement.doc\""), !pdf);
    EXPECT_EQ(Has(front, "href=\"./Data/CV%202024.pdf\""), !pdf);
    EXPECT_EQ(Has(artwork, "<a href=\"../Images/IMG_0001.JPG\" target=\"_blank\">"), !pdf);
    EXPECT_EQ(Has(artwork, "href=\"../Data/001.html\""), !pdf);
    EXPECT_EQ(Has(artwork, "min-height:100vh"), !pdf);
    // The PDF says where the documents went instead.
    EXPECT_EQ(Has(front, "You can find a copy of my Statement attached inside this PDF file."), pdf);
    EXPECT_EQ(Has(front, "You can find a copy of my CV attached inside this PDF file."), pdf);
    // Both show the artwork itself and the artist's picture.
    EXPECT_TRUE(Has(artwork, "<img src=\"../Images/IMG_0001.JPG\""));
    EXPECT_TRUE(Has(front, "<img src=\"Data/Portrait%20Photo.jpg\""));
    // Styles for the front page refer to files in Data; artwork pages sit in Data.
    EXPECT_EQ(generator.IsForPdf(), pdf);
}

INSTANTIATE_TEST_SUITE_P(BothModes, HTMLGeneratorModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pdf" : "Browser"; });

TEST(HTMLGeneratorTest, ArtworkSizing)
{
    struct Case {
        int w, h;
        const char* style;
        int block;
    };
    const Case cases[] = {
        {800, 600, "width:600px;", 600}, {400, 300, "width:400px;", 400},  {600, 1200, "height:600px;", 300},
        {1, 2000, "height:600px;", 600}, {600, 600, "height:600px;", 600}, {300, 500, "height:500px;", 600},
        {601, 600, "width:600px;", 600}, {599, 100, "width:599px;", 599},  {450, 601, "height:600px;", 449},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        int block = -1;
        EXPECT_EQ(HTMLGenerator::ArtworkStyle(c.w, c.h, &block), c.style);
        EXPECT_EQ(block, c.block);
    }
}

TEST(HTMLGeneratorTest, PreviousAndNextLinks)
{
    TempRoot root;
    TempDir sources;
    for (int count : {1, 3}) {
        SCOPED_TRACE(count);
        Portfolio portfolio;
        portfolio.SetTemplate(ShippedTemplate());
        for (int i = 0; i < count; ++i)
            AddArtwork(portfolio, MakeImage(sources, "a" + std::to_string(i) + ".png", 20, 10, Qt::gray, "PNG"),
                       "Work " + std::to_string(i));
        HTMLGenerator generator(&portfolio);
        ASSERT_TRUE(generator.Generate());
        const std::string out = generator.GetOutputFolder();
        std::vector<std::pair<std::string, std::string>> expected;
        if (count == 1)
            expected = {{"portfolio.html", "portfolio.html"}};
        else
            expected = {{"portfolio.html", "Data/001.html"},
                        {"Data/000.html", "Data/002.html"},
                        {"Data/001.html", "portfolio.html"}};
        for (int i = 0; i < count; ++i) {
            const std::string page = Shown(ReadFileBytes(out + "Data/00" + std::to_string(i) + ".html"));
            EXPECT_TRUE(Has(page, "<a href=\"../" + expected[i].first + "\" onmouseout=\"MM_swapImgRestore()\" "
                                  "onmouseover=\"MM_swapImage('BackButton'"))
                << "page " << i;
            EXPECT_TRUE(Has(page, "<a href=\"../" + expected[i].second + "\" onmouseout=\"MM_swapImgRestore()\" "
                                  "onmouseover=\"MM_swapImage('ForwardButton'"))
                << "page " << i;
        }
    }
}

TEST(HTMLGeneratorTest, BlocksAreSwitchedOnByTheirData)
{
    TempRoot root;
    TempDir sources;
    const std::string photo = MakeImage(sources, "me.png", 10, 10, Qt::gray, "PNG");
    const std::string doc = sources.Write("s.doc", "doc");
    const std::string empty = sources.Write("empty.doc", "");

    // Markers of each block as a browser would show them.
    const std::vector<std::pair<std::string, std::string>> blocks = {
        {"CONTACT", "<h2 class=\"heading\">Contact</h2>"},
        {"ARTISTPICTURE", "alt=\"Artists Photo\""},
        {"ARTISTPHONE", "Phone:"},
        {"ARTISTMAIL", "E-Mail:"},
        {"ARTISTWEBSITE", "Website:"},
        {"ARTISTADDRESS", "Address:"},
        {"STATEMENTTEXT", "<h2 class=\"heading\">Statement</h2>"},
        {"HTML_STATEMENT", "view my statement"},
        {"HTML_CV", "view my CV"},
        {"PORTFOLIOCOPYRIGHT", "Copyright &copy;"},
        {"PORTFOLIODATE", "Portfolio Created"},
    };
    struct Case {
        const char* label;
        std::function<void(Portfolio&)> set;
        bool copyright, date;
        std::set<std::string> on;
    };
    const std::vector<Case> cases = {
        {"name only", [](Portfolio&) {}, false, false, {}},
        {"picture only",
         [&](Portfolio& p) {
             p.AttachPictureFile(photo);
             p.SetUsePictureFile(true);
         },
         false, false, {"CONTACT", "ARTISTPICTURE"}},
        {"picture flagged but never attached", [](Portfolio& p) { p.SetUsePictureFile(true); }, false, false, {}},
        {"picture attached but not flagged", [&](Portfolio& p) { p.AttachPictureFile(photo); }, false, false, {}},
        {"phone", [](Portfolio& p) { p.SetPhone("123"); }, false, false, {"CONTACT", "ARTISTPHONE"}},
        {"mail and web site",
         [](Portfolio& p) {
             p.SetEmail("a@b.c");
             p.SetWebsiteAddress("example.org");
         },
         false, false, {"CONTACT", "ARTISTMAIL", "ARTISTWEBSITE"}},
        {"address", [](Portfolio& p) { p.SetAddress("1 Quay Street\r\nLondon"); }, false, false,
         {"CONTACT", "ARTISTADDRESS"}},
        {"statement text", [](Portfolio& p) { p.SetStatementText("Words"); }, false, false, {"STATEMENTTEXT"}},
        {"statement file flagged with no data",
         [&](Portfolio& p) {
             p.AttachStatementFile(empty);
             p.SetUseStatementFile(true);
         },
         false, false, {}},
        {"statement and CV files",
         [&](Portfolio& p) {
             p.AttachStatementFile(doc);
             p.SetUseStatementFile(true);
             p.AttachCVFile(doc);
             p.SetUseCVFile(true);
         },
         false, false, {"HTML_STATEMENT", "HTML_CV"}},
        {"copyright and date", [](Portfolio&) {}, true, true, {"PORTFOLIOCOPYRIGHT", "PORTFOLIODATE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Portfolio portfolio;
        portfolio.SetName("Ana");
        portfolio.SetPhone("");
        portfolio.SetEmail("");
        portfolio.SetAddress("");
        portfolio.SetWebsiteAddress("");
        portfolio.SetUsePictureFile(false);
        portfolio.SetUseCVFile(false);
        portfolio.SetTemplate(ShippedTemplate());
        c.set(portfolio);
        Options::Instance()->SetIncludeCopyright(c.copyright);
        Options::Instance()->SetIncludeDate(c.date);
        HTMLGenerator generator(&portfolio);
        ASSERT_TRUE(generator.Generate());
        const std::string out = generator.GetOutputFolder();
        const std::string front = Shown(ReadFileBytes(out + "portfolio.html"));
        for (const auto& [block, marker] : blocks)
            EXPECT_EQ(Has(front, marker), c.on.count(block) > 0) << block;
        if (c.on.count("ARTISTADDRESS")) {
            EXPECT_TRUE(Has(front, "1 Quay Street<br/>London"));
        }
        // A file is written exactly when its block links it.
        EXPECT_EQ(fs::exists(out + "Data/s.doc"), c.on.count("HTML_STATEMENT") > 0);
        EXPECT_EQ(fs::exists(out + "Data/me.png"), c.on.count("ARTISTPICTURE") > 0);
        EXPECT_FALSE(fs::exists(out + "Data/empty.doc"));
    }
}

TEST(HTMLGeneratorTest, ACopyrightWithoutANameEndsAtTheYear)
{
    TempRoot root;
    Portfolio portfolio;
    portfolio.SetName("");
    portfolio.SetTemplate(ShippedTemplate());
    Options::Instance()->SetIncludeCopyright(true);
    for (const bool pdf : {false, true}) {
        SCOPED_TRACE(pdf ? "PDF" : "HTML");
        HTMLGenerator generator(&portfolio);
        generator.SetForPdf(pdf);
        ASSERT_TRUE(generator.Generate());
        const std::string front = Shown(ReadFileBytes(generator.GetOutputFolder() + "portfolio.html"));
        EXPECT_TRUE(Has(front, "Copyright &copy; " + generator.GetYearText() + ".</div>"));
        EXPECT_FALSE(Has(front, ", .")) << front;
    }
}

TEST(HTMLGeneratorTest, TextsHoldingPlaceholdersShowAsTyped)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    portfolio.SetName("Me %STATEMENTTEXT% and %IMAGETITLE%");
    portfolio.SetPhone("%CONTACT_END%//");
    portfolio.SetStatementText("said %ARTISTNAME%");
    Picture* art = AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"),
                              "%DESCRIPTION%%NEXTPAGE%", "about %IMAGEMEDIA%");
    art->SetMedia("%IMAGEDIMENSIONS%");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    const std::string front = ReadFileBytes(out + "portfolio.html");
    const std::string page = ReadFileBytes(out + "Data/000.html");
    EXPECT_TRUE(Has(front, "<title>Me %STATEMENTTEXT% and %IMAGETITLE%</title>"));
    EXPECT_TRUE(Has(front, "said %ARTISTNAME%"));
    EXPECT_TRUE(Has(front, "%CONTACT_END%//"));
    EXPECT_TRUE(Has(page, "%DESCRIPTION%%NEXTPAGE%<br />%IMAGEDIMENSIONS%<br />40 x 30 cm"));
    EXPECT_TRUE(Has(page, "about %IMAGEMEDIA%"));

    // Each text goes in once, however many placeholders it holds.
    std::string name;
    for (int i = 0; i < 1000; ++i)
        name += "%STATEMENTTEXT%";
    portfolio.SetName(name);
    portfolio.SetStatementText(std::string(1000, 'x'));
    const std::string filled = generator.FillCommon(ShippedTemplate()->GetMainPageHtml("\\"));
    EXPECT_LT(filled.size(), ShippedTemplate()->GetMainPageHtml("\\").size() + 4 * name.size() + 2000);
}

TEST(HTMLGeneratorTest, HostileFileNamesStayInert)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    portfolio.SetName("<script>alert(1)</script>");
    const std::string hostile = "\"><svg onload=alert(1)>.png";
    Picture* art = AddArtwork(portfolio, MakeImage(sources, "x.png", 30, 20, Qt::red, "PNG"), "t");
    // As if read from a received portfolio file.
    art->SetFileName("C:\\Users\\x\\" + hostile);
    ASSERT_TRUE(portfolio.AttachStatementFile(sources.Write("s.doc", "doc")));
    portfolio.SetStatementFile("D:\\" + std::string("\" onmouseover=\"alert(2)\" x=\".doc"));
    portfolio.SetUseStatementFile(true);

    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    const std::string front = ReadFileBytes(out + "portfolio.html");
    const std::string page = ReadFileBytes(out + "Data/000.html");
    for (const std::string* html : {&front, &page}) {
        EXPECT_FALSE(Has(*html, "<svg"));
        EXPECT_FALSE(Has(*html, "onload=alert"));
        EXPECT_FALSE(Has(*html, "onmouseover=\"alert"));
        EXPECT_FALSE(Has(*html, "<script>alert"));
    }
    EXPECT_TRUE(Has(page, "src=\"../Images/%22%3E%3Csvg%20onload%3Dalert%281%29%3E.png\""));
    EXPECT_TRUE(Has(front, "href=\"./Data/%22%20onmouseover%3D%22alert%282%29%22%20x%3D%22.doc\""));
    // The files themselves keep their plain names.
    EXPECT_TRUE(fs::is_regular_file(out + "Images/" + hostile));
    EXPECT_EQ(ReadFileBytes(out + "Data/\" onmouseover=\"alert(2)\" x=\".doc"), "doc");
}

TEST(HTMLGeneratorTest, TheFrontPageNamesTheKindOfEachAttachedDocument)
{
    struct Row {
        const char* cv;
        const char* statement;
        const char* cvSentence;
        const char* cvPicture;
        const char* statementSentence;
    } const rows[] = {
        {"CV 2024.pdf", "notes.doc", "view my CV as a PDF document.", "alt=\"PDF document.\"",
         "view my statement as a Word document."},
        {"cv.doc", "notes.PDF", "view my CV as a Word document.", "alt=\"Word document.\"",
         "view my statement as a PDF document."},
        {"CV.DOCX", "notes.txt", "view my CV as a Word document.", "alt=\"Word document.\"",
         "view my statement."},
        {"cv.odt", "notes", "view my CV.", "alt=\"Document.\"", "view my statement."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cv);
        TempRoot root;
        TempDir sources;
        Portfolio portfolio;
        portfolio.SetTemplate(ShippedTemplate());
        AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::gray, "PNG"), "A");
        ASSERT_TRUE(portfolio.AttachCVFile(sources.Write(std::string("c/") + row.cv, "cv")));
        portfolio.SetUseCVFile(true);
        ASSERT_TRUE(portfolio.AttachStatementFile(sources.Write(std::string("s/") + row.statement, "st")));
        portfolio.SetUseStatementFile(true);

        HTMLGenerator generator(&portfolio);
        ASSERT_TRUE(generator.Generate());
        const std::string front = ReadFileBytes(generator.GetOutputFolder() + "portfolio.html");
        EXPECT_TRUE(Has(front, row.cvSentence)) << front;
        EXPECT_TRUE(Has(front, row.cvPicture));
        EXPECT_TRUE(Has(front, row.statementSentence));
        EXPECT_FALSE(Has(front, "Microsoft Word"));
        EXPECT_FALSE(Has(front, "_KIND%"));
        EXPECT_FALSE(Has(front, "_PROGRAM%"));
    }
}

TEST(HTMLGeneratorTest, AttachmentsThatClashAreRenamedAndLinkedSo)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::gray, "PNG"), "A");
    // Named like a template file, like a page, and like each other.
    ASSERT_TRUE(portfolio.AttachStatementFile(sources.Write("s/word.PNG", "statement")));
    portfolio.SetUseStatementFile(true);
    ASSERT_TRUE(portfolio.AttachCVFile(sources.Write("c/000.html", "cv")));
    portfolio.SetUseCVFile(true);
    ASSERT_TRUE(portfolio.AttachPictureFile(MakeImage(sources, "p/000.html", 10, 10, Qt::gray, "PNG")));
    portfolio.SetUsePictureFile(true);

    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    EXPECT_EQ(generator.GetStatementName(), "word-2.PNG");
    EXPECT_EQ(generator.GetCVName(), "000-2.html");
    EXPECT_EQ(generator.GetPictureName(), "000-3.html");
    EXPECT_EQ(ReadFileBytes(out + "Data/word-2.PNG"), "statement");
    EXPECT_EQ(ReadFileBytes(out + "Data/000-2.html"), "cv");
    // The template's icon and the page are untouched.
    const StaticFile* word = ShippedTemplate()->FindStaticFile("Word.png");
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(ReadFileBytes(out + "Data/Word.png"),
              std::string(reinterpret_cast<const char*>(word->GetData()), word->GetSize()));
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/000.html"), "<title>"));
    const std::string front = ReadFileBytes(out + "portfolio.html");
    EXPECT_TRUE(Has(front, "href=\"./Data/word-2.PNG\""));
    EXPECT_TRUE(Has(front, "href=\"./Data/000-2.html\""));
    EXPECT_TRUE(Has(front, "src=\"Data/000-3.html\""));
}

TEST(HTMLGeneratorTest, ImagesBrowsersCannotShowBecomeJpegOrPng)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    // GIF holds no 24-bit image; a name without extension has no format;
    // browsers show no TIFF, and a TIFF with transparency keeps it as PNG.
    Picture* gif = AddArtwork(portfolio, MakeImage(sources, "scan.png", 30, 20, Qt::red, "PNG"), "gif");
    gif->SetFileName("C:\\scans\\scan.gif");
    Picture* bare = AddArtwork(portfolio, MakeImage(sources, "raw.png", 30, 20, Qt::blue, "PNG"), "bare");
    bare->SetFileName("/home/u/raw");
    AddArtwork(portfolio, MakeImage(sources, "Field Study.tif", 30, 20, Qt::green, "TIFF"), "tiff");
    const std::string clear = sources / "Glass.tiff";
    {
        QImage image(30, 20, QImage::Format_ARGB32);
        image.fill(QColor(255, 0, 0, 80));
        ASSERT_TRUE(image.save(QString::fromStdString(clear), "TIFF"));
    }
    AddArtwork(portfolio, clear, "transparent");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    EXPECT_EQ(DominantColour(out + "Images/scan.png"), 'r');
    EXPECT_EQ(DominantColour(out + "Images/raw.jpg"), 'b');
    EXPECT_EQ(DominantColour(out + "Images/Field Study.jpg"), 'g');
    EXPECT_FALSE(fs::exists(out + "Images/scan.gif"));
    EXPECT_FALSE(fs::exists(out + "Images/Field Study.tif"));
    EXPECT_EQ(ReadFileBytes(out + "Images/Field Study.jpg").substr(0, 2), "\xFF\xD8");
    const QImage glass(QString::fromStdString(out + "Images/Glass.png"));
    ASSERT_FALSE(glass.isNull());
    EXPECT_TRUE(glass.hasAlphaChannel());
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/000.html"), "src=\"../Images/scan.png\""));
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/001.html"), "src=\"../Images/raw.jpg\""));
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/002.html"), "src=\"../Images/Field%20Study.jpg\""));
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/003.html"), "src=\"../Images/Glass.png\""));
}

// JPEG holds no side over 65,500 pixels: such a picture is written as PNG,
// under a name another artwork's JPEG does not have.
TEST(HTMLGeneratorTest, PanoramaTooWideForJpegBecomesPngUnderOneExtension)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    const std::string path = MakeImage(sources, "pano.png", 70000, 1000, Qt::red, "PNG");
    const int setting = Options::Instance()->GetPictureSize();
    Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
    Picture* panorama = AddArtwork(portfolio, path, "Panorama");
    Options::Instance()->SetPictureSize(setting);
    ASSERT_EQ(panorama->GetBitmap()->GetWidth(), 70000);
    panorama->SetFileName("C:\\pics\\Coast.jpg");
    Picture* other = AddArtwork(portfolio, MakeImage(sources, "small.png", 30, 20, Qt::blue, "PNG"), "Other");
    other->SetFileName("D:\\Coast.png");

    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
    const std::string out = generator.GetOutputFolder();
    const std::vector<std::string>& images = generator.GetImageNames();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1], "Coast.png");
    EXPECT_EQ(images[0], "Coast-2.png");
    EXPECT_EQ(ReadFileBytes(out + "Images/Coast-2.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(QImageReader(QString::fromStdString(out + "Images/Coast-2.png")).size(), QSize(70000, 1000));
    EXPECT_EQ(DominantColour(out + "Images/Coast.png"), 'b');
    EXPECT_TRUE(Has(ReadFileBytes(out + "Data/000.html"), "src=\"../Images/Coast-2.png\""));
}

TEST(HTMLGeneratorTest, NamesTooLongForTheFileSystemAreCutKeepingTheirExtension)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    // 90 letters of three bytes each: a legal name on Windows, 270 bytes here.
    std::string longName;
    for (int i = 0; i < 90; ++i)
        longName += "\xE5\xB1\xB1";
    Picture* a = AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "A");
    a->SetFileName("C:\\art\\" + longName + ".png");
    Picture* b = AddArtwork(portfolio, MakeImage(sources, "b.png", 20, 10, Qt::blue, "PNG"), "B");
    b->SetFileName("D:\\other\\" + longName + ".png");
    ASSERT_TRUE(portfolio.AttachStatementFile(sources.Write("s.doc", "statement")));
    portfolio.SetStatementFile("C:\\docs\\" + longName + ".doc");
    portfolio.SetUseStatementFile(true);

    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::string out = generator.GetOutputFolder();
    const std::vector<std::string>& images = generator.GetImageNames();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_NE(images[0], images[1]);
    for (const std::string& name : {images[0], images[1], generator.GetStatementName()}) {
        SCOPED_TRACE(name);
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(QString::fromUtf8(name.c_str()).toUtf8().toStdString() == name) << "cut inside a letter";
    }
    EXPECT_EQ(fs::path(images[0]).extension(), ".png");
    EXPECT_EQ(fs::path(generator.GetStatementName()).extension(), ".doc");
    EXPECT_EQ(DominantColour(out + "Images/" + images[0]), 'r');
    EXPECT_EQ(DominantColour(out + "Images/" + images[1]), 'b');
    EXPECT_EQ(ReadFileBytes(out + "Data/" + generator.GetStatementName()), "statement");
}

// Each failure says what failed: the artwork, the file or folder and the
// system's reason.
TEST(HTMLGeneratorTest, FailuresSayWhatFailed)
{
    TempRoot root;
    TempDir sources;
    struct Case {
        const char* what;
        std::function<void(Portfolio&)> make;
        // Readies the output folder before the run.
        std::function<void(const std::string& out)> prepare;
        std::function<std::string(const std::string& out)> expected;
    };
    const auto none = [](const std::string&) {};
    const Case cases[] = {
        {"no template", [](Portfolio& p) { p.SetTemplate(nullptr); }, none,
         [](const std::string&) { return std::string("The portfolio has no template: choose one, then try again."); }},
        {"an artwork without a picture, as older files hold",
         [&](Portfolio& p) {
             AddArtwork(p, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "Red Field");
             auto* empty = new Picture(&p);
             empty->SetTitle("Lost Study");
             p.AddPicture(empty);
         },
         none,
         [](const std::string&) {
             return std::string("Artwork 2 (\"Lost Study\") has no picture. Give it one or remove it, then try again.");
         }},
        {"a folder that cannot be made",
         [&](Portfolio& p) { AddArtwork(p, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "Red Field"); },
         [](const std::string& out) { std::fclose(std::fopen((out + "Data").c_str(), "w")); },
         [](const std::string& out) { return "Failed to create the folder \"" + out + "Data\": File exists."; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Portfolio portfolio;
        portfolio.SetTemplate(ShippedTemplate());
        c.make(portfolio);
        HTMLGenerator generator(&portfolio);
        const std::string out = generator.GetOutputFolder();
        c.prepare(out);
        EXPECT_FALSE(generator.Generate());
        EXPECT_EQ(generator.GetErrorText(), c.expected(out));
        EXPECT_EQ(generator.FailureText(), c.expected(out));
        EXPECT_FALSE(fs::exists(out + "portfolio.html"));
    }
    {
        // No artworks at all is a front page with its files.
        Portfolio portfolio;
        portfolio.SetTemplate(ShippedTemplate());
        HTMLGenerator generator(&portfolio);
        IdleJob job;
        generator.SetProgressSink(&job);
        EXPECT_TRUE(generator.Generate());
        EXPECT_TRUE(generator.GetErrorText().empty());
        EXPECT_TRUE(fs::exists(generator.GetOutputFolder() + "portfolio.html"));
        EXPECT_TRUE(fs::is_empty(generator.GetOutputFolder() + "Images"));
        EXPECT_EQ(job.ProgressForm()->BarMaximum(), 1);
        EXPECT_EQ(job.ProgressForm()->BarPosition(), 1);
    }
}

TEST(HTMLGeneratorTest, APictureThatFindsNoRoomNamesTheFullDisk)
{
    SmallDisk disk(1 << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    TempRoot root;
    TempDir sources;
    // Noise does not compress: the pages and template files fit, the picture does not.
    QImage noise(1000, 1000, QImage::Format_RGB32);
    std::mt19937 random(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random() | 0xFF000000u);
    const std::string path = sources / "static.png";
    ASSERT_TRUE(noise.save(QString::fromStdString(path), "PNG"));
    Portfolio portfolio;
    portfolio.SetTemplate(ShippedTemplate());
    AddArtwork(portfolio, path, "Static");
    HTMLGenerator generator(&portfolio);
    const std::string out = generator.GetOutputFolder();
    const std::string folder = out.substr(0, out.size() - 1);
    fs::remove(folder);
    fs::create_directory_symlink(disk.Path(), folder);

    EXPECT_FALSE(generator.Generate());
    const std::string told = "Failed to write the picture of artwork 1 (\"Static\"). The disk is full: the folder \"" +
                             out + "Images\" has no room left for \"";
    EXPECT_EQ(generator.GetErrorText().substr(0, told.size()), told) << generator.GetErrorText();
    EXPECT_FALSE(Has(generator.GetErrorText(), ".png.png")) << "no second try under another name";
    fs::remove(folder);
    fs::create_directory(folder);
}

// A template received from someone else may name its files longer than a
// file system takes: they are written cut, as artwork names are, and two
// that cut to one name stay two files.
TEST(HTMLGeneratorTest, TemplateFilesWithNamesTooLongAreWrittenCut)
{
    TempRoot root;
    TempDir sources;
    const std::string stem(300, 'n');
    // "hello" and "world" in base64.
    const std::string vtp = "<?xml version=\"1.0\"?><Templates><Template><Name>Long Names</Name>"
                            "<Builtin>false</Builtin><Layout>Default</Layout><Styles/><Files>"
                            "<StaticFile Name=\"" + stem + "a.css\" Encoding=\"base64\" Type=\"text/css\">aGVsbG8=</StaticFile>"
                            "<StaticFile Name=\"" + stem + "b.css\" Encoding=\"base64\" Type=\"text/css\">d29ybGQ=</StaticFile>"
                            "</Files></Template></Templates>";
    TemplateLibrary* library = TemplateLibrary::Instance();
    ASSERT_TRUE(library->Import(sources.Write("long.vtp", vtp)));
    Template* received = library->FindTemplate("Long Names");
    ASSERT_NE(received, nullptr);

    Portfolio portfolio;
    portfolio.SetTemplate(received);
    AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "A");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
    const std::string data = generator.GetOutputFolder() + "Data/";
    const std::string cut = stem.substr(0, 251);
    EXPECT_EQ(ReadFileBytes(data + cut + ".css"), "hello");
    EXPECT_EQ(ReadFileBytes(data + stem.substr(0, 249) + "-2.css"), "world");
    library->RemoveTemplate(received);
}

// A background named over 255 bytes is written cut, and every page names
// it as written: the address of each page leads to the template's bytes.
TEST(HTMLGeneratorTest, BackgroundWithANameTooLongIsNamedAsWritten)
{
    TempRoot root;
    TempDir sources;
    const std::string name = std::string(296, 'p') + ".png";
    ReceivedTemplate received(sources, "Long Background", "", name, {{name, "background bytes"}});
    ASSERT_NE(received.Get(), nullptr);
    Portfolio portfolio;
    portfolio.SetTemplate(received.Get());
    AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "A");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
    const std::string out = generator.GetOutputFolder();
    for (const std::string page : {"portfolio.html", "Data/000.html"}) {
        SCOPED_TRACE(page);
        const std::string html = ReadFileBytes(out + page);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(html, m, std::regex(R"re(\.background \{[^}]*url\("([^"]*)"\))re"))) << html;
        const fs::path file = fs::path(out + page).parent_path() / m[1].str();
        EXPECT_LE(file.filename().string().size(), 255u);
        EXPECT_EQ(ReadFileBytes(file.string()), "background bytes") << file;
    }
}

// The pages of a received template name no file outside their folder and
// nothing on the web: such addresses are taken out of its CSS.
TEST(HTMLGeneratorTest, ReceivedTemplateCssNamesNothingOutsideTheFolder)
{
    TempRoot root;
    TempDir sources;
    const std::string css = "background-image:url(/home/user/private.png);} @import url(file:///dev/zero); "
                            "@import \"../../secret.css\"; .x { background:url(http://tracker.example/p.gif);"
                            "list-style-image:url(Data/own.png);";
    ReceivedTemplate received(sources, "Far Reaching", css, "", {});
    ASSERT_NE(received.Get(), nullptr);
    Portfolio portfolio;
    portfolio.SetTemplate(received.Get());
    AddArtwork(portfolio, MakeImage(sources, "a.png", 20, 10, Qt::red, "PNG"), "A");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate()) << generator.GetErrorText();
    for (const std::string page : {"portfolio.html", "Data/000.html"}) {
        SCOPED_TRACE(page);
        const std::string html = ReadFileBytes(generator.GetOutputFolder() + page);
        for (const char* gone : {"private.png", "/dev/zero", "secret.css", "tracker.example"})
            EXPECT_FALSE(Has(html, gone)) << gone;
        EXPECT_TRUE(Has(html, "list-style-image:url(Data/own.png)"));
    }
}

TEST(HTMLGeneratorTest, PreviewWindowShowsTheGeneratedFolder)
{
    TempRoot root;
    Fixture f;
    Template* tpl = ShippedTemplate();
    const std::uint32_t old = tpl->GetBackgroundColor();
    // An unmistakable page colour (the GUI layout: red in the low byte).
    tpl->SetBackgroundColor(0x00408020);
    HTMLGenerator generator(&f.portfolio);
    const bool generated = generator.Generate();
    tpl->SetBackgroundColor(old);
    ASSERT_TRUE(generated);

    TForm10 window;
    bool loaded = false, loadOk = false, seen = false;
    QObject::connect(window.WebBrowser1, &QWebEngineView::loadFinished, [&](bool ok) {
        if (!loaded)
            loadOk = ok;
        loaded = true;
    });
    QImage shot;
    QElapsedTimer timer;
    timer.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (loaded) {
            shot = window.WebBrowser1->grab().toImage();
            // Left margin, below the title: background, not content.
            if (!shot.isNull() && shot.width() > 20 && shot.height() > 200 &&
                (shot.pixel(5, 200) & 0xFFFFFF) == 0x208040) {
                seen = true;
                window.accept();
            }
        }
        if (timer.elapsed() > 30000)
            window.reject();
    });
    poll.start(50);
    // Found among the application's windows, as the one kept for the run.
    EXPECT_TRUE(generator.ShowResult());
    poll.stop();
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(loadOk);
    EXPECT_TRUE(seen) << std::hex << (shot.isNull() ? 0u : shot.pixel(5, 200));
    EXPECT_EQ(window.WebBrowser1->url(), TForm10::PortfolioAddress(generator.GetOutputFolder()));
}

// What a browser makes of the pages: a dark template's colour reaches the
// bottom of a window taller than the page, and a TIFF artwork shows.
TEST(HTMLGeneratorTest, BrowserShowsTheArtworkAndTheBackgroundFillsTheWindow)
{
    TempRoot root;
    TempDir sources;
    Portfolio portfolio;
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (library->GetCount() == 0)
        library->Load();
    Template* dark = library->FindTemplate("Midnight");
    ASSERT_NE(dark, nullptr);
    portfolio.SetTemplate(dark);
    AddArtwork(portfolio, MakeImage(sources, "Scan.tif", 120, 90, Qt::red, "TIFF"), "Scan");
    HTMLGenerator generator(&portfolio);
    ASSERT_TRUE(generator.Generate());
    const std::uint32_t colour = dark->GetBackgroundColor();
    const QRgb expected = qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    ASSERT_NE(expected & 0xFFFFFF, 0xFFFFFFu);

    for (const char* page : {"portfolio.html", "Data/000.html"}) {
        SCOPED_TRACE(page);
        QWebEngineView view;
        view.resize(900, 1600);
        view.show();
        bool loaded = false;
        QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
        view.load(QUrl::fromLocalFile(QString::fromStdString(generator.GetOutputFolder() + page)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 30000));
        QImage shot;
        const bool filled = QTest::qWaitFor(
            [&] {
                shot = view.grab().toImage();
                return !shot.isNull() && shot.height() > 1500 &&
                       (shot.pixel(5, shot.height() - 5) & 0xFFFFFF) == (expected & 0xFFFFFF);
            },
            30000);
        EXPECT_TRUE(filled) << std::hex << (shot.isNull() ? 0u : shot.pixel(5, shot.height() - 5));
        if (std::string(page) == "Data/000.html") {
            int width = -1;
            view.page()->runJavaScript("document.getElementById('artimage').naturalWidth",
                                       [&](const QVariant& v) { width = v.toInt(); });
            EXPECT_TRUE(QTest::qWaitFor([&] { return width >= 0; }, 30000));
            EXPECT_EQ(width, 120);
        }
    }
}
