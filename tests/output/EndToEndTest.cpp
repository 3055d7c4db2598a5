// A portfolio from start to finish: built in memory, saved as a ".pfo" file,
// opened into a new portfolio after its source files are gone, and turned
// into the folder of pages and into a PDF by the real PDF component. What
// comes out is read back with poppler's and qpdf's tools, so a loss anywhere
// on the way (a text, an artwork's pixels, an attachment's bytes) shows.
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/TempDir.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const kArtist = "Ana & Bo <Studio>";
// Binary bytes, so an attachment that went through a text conversion shows.
const std::string kStatementBytes("statement\0\xFF\r\n bytes", 20);
const std::string kCVBytes("%PDF-1.4 cv\0\x01", 13);

struct Artwork {
    const char* file;
    const char* title;
    QColor colour;
};
const Artwork kArtworks[] = {
    {"Red Field.png", "Red Field", QColor(220, 20, 20)},
    {"Harbour.png", "Harbour at Dusk", QColor(20, 20, 220)},
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string Shell(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
    return out;
}

// Share of the image's pixels close to the colour.
double ShareOf(const QImage& image, const QColor& colour)
{
    long near = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++near;
        }
    return double(near) / double(image.width() * image.height());
}

TEST(EndToEndTest, SavedPortfolioOpensAndBecomesPagesAndAPdf)
{
    TempRoot root;
    TempDir work;
    Shell(std::string(REGSVR_TOOL) + " /s '" + QUORVEX_PDF_MODULE + "'");
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (library->GetCount() == 0)
        library->Load();
    Template* chosen = library->FindTemplate("Midnight");
    ASSERT_NE(chosen, nullptr);
    ASSERT_NE(chosen, library->GetDefaultTemplate()) << "the saved name must be what brings the template back";

    const std::string path = work / "My Portfolio.pfo";
    {
        TempDir sources;
        Portfolio made;
        made.SetTemplate(chosen);
        made.SetName(kArtist);
        made.SetPhone("+44 20 7946 0000");
        made.SetEmail("ana@example.org");
        made.SetAddress("1 Quay Street\r\nLondon");
        made.SetWebsiteAddress("www.example.org");
        made.SetStatementTitle("About my work");
        made.SetStatementText("I paint rivers at night.");
        ASSERT_TRUE(made.AttachStatementFile(sources.Write("My Statement.doc", kStatementBytes)));
        made.SetUseStatementFile(true);
        ASSERT_TRUE(made.AttachCVFile(sources.Write("CV 2024.pdf", kCVBytes)));
        made.SetUseCVFile(true);
        for (const Artwork& artwork : kArtworks) {
            QImage image(320, 240, QImage::Format_RGB32);
            image.fill(artwork.colour);
            const std::string file = sources / artwork.file;
            ASSERT_TRUE(image.save(QString::fromStdString(file), "PNG"));
            auto picture = std::make_unique<Picture>(&made);
            ASSERT_TRUE(picture->LoadFromFile(file));
            picture->SetTitle(artwork.title);
            picture->SetMedia("Oil on canvas");
            picture->SetDimensions("40 x 30 cm");
            made.AddPicture(picture.release());
        }
        made.SetFileName(path);
        ASSERT_TRUE(made.Save());
        EXPECT_FALSE(made.IsModified());
    }
    // The sources are gone with their folder: from here on everything comes
    // from the portfolio file.

    Portfolio opened;
    opened.SetFileName(path);
    ASSERT_TRUE(opened.Load());
    EXPECT_FALSE(opened.IsModified());
    EXPECT_EQ(opened.GetTemplate(), chosen);
    ASSERT_EQ(opened.GetPictureCount(), 2);
    EXPECT_EQ(opened.GetStatementFile(), "My Statement.doc");
    EXPECT_EQ(opened.GetCVFile(), "CV 2024.pdf");

    HTMLGenerator html(&opened);
    ASSERT_TRUE(html.Generate());
    const std::string folder = html.GetOutputFolder();
    const std::string front = ReadFileBytes(folder + "portfolio.html");
    for (const char* part : {"Ana &amp; Bo &lt;Studio&gt;", "ana@example.org", "+44 20 7946 0000",
                             "1 Quay Street<br/>London", "About my work", "I paint rivers at night.",
                             "href=\"./Data/My%20Statement.doc\"", "href=\"./Data/CV%202024.pdf\""})
        EXPECT_TRUE(Has(front, part)) << part;
    EXPECT_EQ(ReadFileBytes(folder + "Data/My Statement.doc"), kStatementBytes);
    EXPECT_EQ(ReadFileBytes(folder + "Data/CV 2024.pdf"), kCVBytes);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kArtworks[i].title);
        char page[32];
        std::snprintf(page, sizeof page, "Data/%03d.html", i);
        EXPECT_TRUE(Has(ReadFileBytes(folder + page), kArtworks[i].title));
        const QImage image(QString::fromStdString(folder + "Images/" + kArtworks[i].file));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(320, 240));
        EXPECT_GT(ShareOf(image, kArtworks[i].colour), 0.99);
    }
    EXPECT_FALSE(fs::exists(folder + "Data/002.html"));

    PDFGenerator pdf(&opened);
    ASSERT_TRUE(pdf.Generate());
    const std::string file = pdf.GetOutputFolder() + PDFGenerator::GetOutputFileName();
    const std::string info = Shell("pdfinfo -enc UTF-8 '" + file + "'");
    auto field = [&](const std::string& name) {
        std::smatch m;
        return std::regex_search(info, m, std::regex(name + R"(:\s+([^\n]*))")) ? m[1].str() : "(none)";
    };
    EXPECT_EQ(field("Pages"), "3");
    EXPECT_EQ(field("Author"), kArtist);
    EXPECT_EQ(field("Title"), std::string("The Portfolio of ") + kArtist);

    const std::string text = Shell("pdftotext -enc UTF-8 '" + file + "' -");
    for (const char* part : {kArtist, "ana@example.org", "I paint rivers at night.", kArtworks[0].title,
                             kArtworks[1].title})
        EXPECT_TRUE(Has(text, part)) << part << "\n" << text;
    // Each artwork's page shows that artwork and not the other.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kArtworks[i].title);
        const std::string page = std::to_string(i + 2);
        EXPECT_TRUE(Has(Shell("pdftotext -enc UTF-8 -f " + page + " -l " + page + " '" + file + "' -"),
                        kArtworks[i].title));
        Shell("pdftoppm -r 48 -f " + page + " -l " + page + " -singlefile -png '" + file + "' '" +
              (work / ("page" + page)) + "'");
        const QImage shown(QString::fromStdString(work / ("page" + page + ".png")));
        ASSERT_FALSE(shown.isNull());
        EXPECT_GT(ShareOf(shown, kArtworks[i].colour), 0.01);
        EXPECT_EQ(ShareOf(shown, kArtworks[1 - i].colour), 0.0);
    }

    // The statement and the CV ride inside the PDF with the bytes that were
    // saved, under the names the portfolio file kept.
    const std::string list = Shell("qpdf --list-attachments '" + file + "'");
    EXPECT_TRUE(Has(list, "My Statement.doc ->")) << list;
    EXPECT_TRUE(Has(list, "CV 2024.pdf ->")) << list;
    Shell("qpdf --show-attachment='My Statement.doc' '" + file + "' > '" + (work / "statement.out") + "'");
    EXPECT_EQ(ReadFileBytes(work / "statement.out"), kStatementBytes);
    Shell("qpdf --show-attachment='CV 2024.pdf' '" + file + "' > '" + (work / "cv.out") + "'");
    EXPECT_EQ(ReadFileBytes(work / "cv.out"), kCVBytes);
}

} // namespace
