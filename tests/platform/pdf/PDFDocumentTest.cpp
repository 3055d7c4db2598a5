// The PDF document module driven through its interfaces, the way the PDF
// generator and the image add-on use it, with the files checked by poppler
// and qpdf tools; directly where a test counts the pictures it holds.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include <QColor>
#include <QImage>

#include "platform/com/ComRuntime.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "platform/pdf/HtmlPageRenderer.h"
#include "platform/pdf/PDFDocument.h"
#include "platform/pdf/PDFInterfaces.h"
#include "platform/pdf/PdfImage.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

namespace {

const char* const kArtist = "Alinta Marrow & Sons \xE2\x80\x93 Studio";

// A noisy picture: JPEG quality changes its encoded size a lot.
QImage NoisyPicture(int w, int h, bool alpha)
{
    QImage img(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = static_cast<int>(rng() % 64);
            img.setPixel(x, y, qRgba((x + v) % 256, (y * 2 + v) % 256, (x + y + v) % 256, alpha ? (x % 2 ? 128 : 255) : 255));
        }
    return img;
}

std::string Shell(const std::string& cmd)
{
    std::string out;
    EXPECT_EQ(RunCommand(cmd + " 2>&1", &out), 0) << cmd << "\n" << out;
    return out;
}

// True when the page, drawn at 48 dpi, shows the colour anywhere (every
// fourth pixel looked at); the PDF's pictures drawn as backgrounds are
// patterns, which pdfimages does not list.
bool PageShows(const std::string& file, int page, QColor colour, const std::string& work)
{
    const std::string number = std::to_string(page);
    Shell("pdftoppm -r 48 -f " + number + " -l " + number + " -singlefile -png '" + file + "' '" + work + "'");
    const QImage shown(QString::fromStdString(work + ".png"));
    EXPECT_FALSE(shown.isNull());
    for (int y = 0; y < shown.height(); y += 4)
        for (int x = 0; x < shown.width(); x += 4) {
            const QColor c(shown.pixel(x, y));
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                    + std::abs(c.blue() - colour.blue()) < 24)
                return true;
        }
    return false;
}

class PDFDocumentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string out;
        ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s " + QUORVEX_PDF_MODULE + " 2>&1", &out), 0) << out;
    }

    void SetUp() override
    {
        CoInitialize(nullptr);
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(u"Quorvex.PDFDocument", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IPDFDocument, reinterpret_cast<void**>(&doc_)),
            S_OK);
        MakeSite();
    }
    void TearDown() override
    {
        if (doc_)
            doc_->Release();
        CoUninitialize();
    }

    // A small page folder as the HTML generator lays it out: the page, a
    // picture in Images/, a linked page in Data/.
    void MakeSite()
    {
        std::filesystem::create_directories(site_.Path() / "Images");
        std::filesystem::create_directories(site_.Path() / "Data");
        ASSERT_TRUE(NoisyPicture(400, 300, false).save(QString::fromStdString(site_ / "Images/photo.png")));
        ASSERT_TRUE(NoisyPicture(64, 64, true).save(QString::fromStdString(site_ / "Images/glass.png")));
        site_.Write("Data/000.html", "<html><body>next</body></html>");
    }

    static std::string Page(const std::string& body, const std::string& extraCss = "")
    {
        return "<html><head><title>t</title><style type=\"text/css\">\n<!--\n"
               ".background { background-color: #3366CC; }\n"
               ".title { color: #FFFFFF; font-size: 28px; }\n"
            + extraCss + "\n-->\n</style></head><body>"
               "<div class=\"background\" style=\"height:1123px;width:794px;\">"
            + body + "</div></body></html>";
    }

    HRESULT Draw(const std::string& html, const std::string& base)
    {
        CComPtr<IPDFPage> page;
        HRESULT hr = doc_->GetCurrentPage(&page);
        if (FAILED(hr) || !page)
            return E_FAIL;
        page->SetPageOption2(2);
        page->SetPageOption1(0);
        return page->DrawHtml(CComBSTR(html), -1, -1, -1, -1, 1, CComBSTR(base));
    }

    // One page with the picture at the given quality; the picture's stored
    // size as pdfimages reports it.
    std::string WriteWithQuality(int quality, const std::string& name, const std::string& picture = "Images/photo.png")
    {
        IPDFDocument* d = nullptr;
        CLSID clsid;
        CLSIDFromProgID(u"Quorvex.PDFDocument", &clsid);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IPDFDocument, reinterpret_cast<void**>(&d)), S_OK);
        const std::string file = out_ / name;
        d->SetOutputFile(CComBSTR(file));
        d->SetCompression(quality);
        d->BeginDocument();
        CComPtr<IPDFPage> page;
        d->GetCurrentPage(&page);
        EXPECT_EQ(page->DrawHtml(CComBSTR(Page("<img src=\"" + picture + "\">")), -1, -1, -1, -1, 1,
                      CComBSTR(site_.Path().string())),
            S_OK);
        page.Reset();
        EXPECT_EQ(d->EndDocument(), S_OK);
        d->Release();
        return file;
    }

    IPDFDocument* doc_ = nullptr;
    TempDir site_;
    TempDir out_;
};

TEST_F(PDFDocumentTest, WritesPagesTextInformationAndAttachments)
{
    const std::string file = out_ / "portfolio.pdf";
    const std::string statement = out_.Write("statement.txt", "I paint rivers.");
    const std::string cv = out_.Write("cv.doc", std::string("\xD0\xCF\x11\xE0 binary\0cv", 14));
    ASSERT_EQ(doc_->SetOutputFile(CComBSTR(file)), S_OK);
    ASSERT_EQ(doc_->SetCompression(80), S_OK);
    {
        CComPtr<IPDFDocumentInfo> info;
        ASSERT_EQ(doc_->GetDocumentInfo(&info), S_OK);
        info->SetAuthor(CComBSTR(kArtist));
        info->SetTitle(CComBSTR(std::string("The Portfolio of ") + kArtist));
    }
    ASSERT_EQ(doc_->BeginDocument(), S_OK);
    ASSERT_EQ(doc_->AttachFile(CComBSTR(statement), CComBSTR("Statement File")), S_OK);
    ASSERT_EQ(doc_->AttachFile(CComBSTR(cv), CComBSTR("CV File")), S_OK);
    // Attachments hold the bytes as they were at the call.
    out_.Write("statement.txt", "changed later");

    // The base folder comes with the generator's backslashes.
    const std::string base = site_.Path().string() + "\\";
    ASSERT_EQ(Draw(Page("<div class=\"title\">Alinta Marrow</div><p>Front page</p>"
                        "<a href=\"Data/000.html\">First artwork</a>"),
                  base),
        S_OK);
    ASSERT_EQ(doc_->AddPage(), S_OK);
    ASSERT_EQ(Draw(Page("<div class=\"title\">River at Dusk</div><img src=\"../Images/photo.png\">"), base + "Data\\"),
        S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);

    const std::string info = Shell("pdfinfo -enc UTF-8 '" + file + "'");
    auto field = [&](const std::string& name) {
        std::smatch m;
        return std::regex_search(info, m, std::regex(name + R"(:\s+([^\n]*))")) ? m[1].str() : std::string("(none)");
    };
    EXPECT_EQ(field("Pages"), "2");
    EXPECT_EQ(field("Author"), kArtist);
    EXPECT_EQ(field("Title"), std::string("The Portfolio of ") + kArtist);
    EXPECT_NE(info.find("A4"), std::string::npos) << info;

    const std::string text = Shell("pdftotext -enc UTF-8 '" + file + "' -");
    for (const char* words : {"Alinta Marrow", "Front page", "First artwork", "River at Dusk"})
        EXPECT_NE(text.find(words), std::string::npos) << words << "\n" << text;
    EXPECT_NE(Shell("pdffonts '" + file + "'").find(" yes yes "), std::string::npos) << "fonts embedded as subsets";

    const std::string list = Shell("qpdf --list-attachments --verbose '" + file + "'");
    EXPECT_NE(list.find("statement.txt ->"), std::string::npos) << list;
    EXPECT_NE(list.find("description: Statement File"), std::string::npos) << list;
    EXPECT_NE(list.find("cv.doc ->"), std::string::npos) << list;
    EXPECT_NE(list.find("description: CV File"), std::string::npos) << list;
    Shell("qpdf --show-attachment=statement.txt '" + file + "' > '" + (out_ / "st.out") + "'");
    EXPECT_EQ(ReadFileBytes(out_ / "st.out"), "I paint rivers.");
    Shell("qpdf --show-attachment=cv.doc '" + file + "' > '" + (out_ / "cv.out") + "'");
    EXPECT_EQ(ReadFileBytes(out_ / "cv.out"), std::string("\xD0\xCF\x11\xE0 binary\0cv", 14));

    // The relative link resolves inside the base folder.
    const std::string qdf = Shell("qpdf --qdf --object-streams=disable '" + file + "' -");
    EXPECT_NE(qdf.find("/URI (file://" + site_.Path().string() + "/Data/000.html)"), std::string::npos);

    // The picture on page 2 comes from ../Images, resolved against Data/.
    const std::string images = Shell("pdfimages -list '" + file + "'");
    EXPECT_NE(images.find("   400   300"), std::string::npos) << images;
}

TEST_F(PDFDocumentTest, NextDocumentOfTheSameObjectHasNoneOfTheFormerAttachments)
{
    const std::string cv = out_.Write("cv.txt", "private");
    doc_->SetOutputFile(CComBSTR(out_ / "first.pdf"));
    doc_->BeginDocument();
    ASSERT_EQ(doc_->AttachFile(CComBSTR(cv), CComBSTR("CV File")), S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    doc_->SetOutputFile(CComBSTR(out_ / "second.pdf"));
    doc_->BeginDocument();
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    EXPECT_NE(Shell("qpdf --list-attachments '" + (out_ / "first.pdf") + "'").find("cv.txt"), std::string::npos);
    EXPECT_EQ(Shell("qpdf --list-attachments '" + (out_ / "second.pdf") + "'").find("cv.txt"), std::string::npos);
}

TEST_F(PDFDocumentTest, FirstStyleRuleSurvivesCommentMarkersAndPageIsFilled)
{
    const std::string file = out_ / "bg.pdf";
    doc_->SetOutputFile(CComBSTR(file));
    doc_->BeginDocument();
    ASSERT_EQ(Draw(Page("<div class=\"title\">x</div>"), site_.Path().string()), S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    Shell("pdftoppm -r 96 -f 1 -l 1 -png '" + file + "' '" + (out_ / "page") + "'");
    QImage png(QString::fromStdString(out_ / "page-1.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_NEAR(png.width(), 794, 1);
    EXPECT_NEAR(png.height(), 1123, 1);
    for (QPoint at : {QPoint(5, 5), QPoint(400, 600), QPoint(785, 1115)})
        EXPECT_EQ(QColor(png.pixel(at)).name().toStdString(), "#3366cc") << at.x() << "," << at.y();
}

TEST_F(PDFDocumentTest, LargerLayoutShrinksToFitThePage)
{
    const std::string file = out_ / "wide.pdf";
    doc_->SetOutputFile(CComBSTR(file));
    doc_->BeginDocument();
    // Twice the page width: blue left half, red right half.
    ASSERT_EQ(Draw("<html><body><div style=\"width:1588px;height:400px\">"
                   "<div style=\"float:left;width:794px;height:400px;background-color:#0000ff\"></div>"
                   "<div style=\"float:left;width:794px;height:400px;background-color:#ff0000\"></div>"
                   "</div></body></html>",
                  site_.Path().string()),
        S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    Shell("pdftoppm -r 96 -f 1 -l 1 -png '" + file + "' '" + (out_ / "wide") + "'");
    QImage png(QString::fromStdString(out_ / "wide-1.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(QColor(png.pixel(100, 100)).name().toStdString(), "#0000ff");
    EXPECT_EQ(QColor(png.pixel(700, 100)).name().toStdString(), "#ff0000") << "the right half is on the page";
}

TEST_F(PDFDocumentTest, JpegSizeFollowsTheCompressionSetting)
{
    auto jpegBytes = [&](int quality) {
        const std::string file = WriteWithQuality(quality, "q" + std::to_string(quality) + ".pdf");
        const std::string list = Shell("pdfimages -list '" + file + "'");
        // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
        std::smatch m;
        const std::regex row(R"(\n\s*1\s+\d+\s+image\s+400\s+300\s+rgb\s+3\s+8\s+(\w+)\s+\w+\s+\d+\s+\d+\s+\d+\s+\d+\s+([\d.]+)([KMB]))");
        EXPECT_TRUE(std::regex_search(list, m, row)) << list;
        if (m.empty())
            return 0.0;
        EXPECT_EQ(m[1].str(), "jpeg");
        const double scale = m[3] == "M" ? 1024 * 1024 : m[3] == "K" ? 1024 : 1;
        return std::stod(m[2]) * scale;
    };
    const double high = jpegBytes(95), mid = jpegBytes(60), low = jpegBytes(10);
    EXPECT_GT(high, mid);
    EXPECT_GT(mid, low);
}

// A JPEG already as coarse as the document's quality goes in as it is:
// encoding it again would lose more and save nothing. A finer one is
// encoded at the document's quality.
TEST_F(PDFDocumentTest, JpegNoFinerThanTheQualityIsStoredAsItIs)
{
    const QImage picture = NoisyPicture(400, 300, false);
    const std::string jpeg = site_ / "Images/photo.jpg";
    for (const auto& [fileQuality, kept] : {std::pair{50, true}, std::pair{80, true}, std::pair{95, false}}) {
        SCOPED_TRACE(fileQuality);
        ASSERT_TRUE(picture.save(QString::fromStdString(jpeg), "JPG", fileQuality));
        const std::string name = "j" + std::to_string(fileQuality);
        const std::string file = WriteWithQuality(80, name + ".pdf", "Images/photo.jpg");
        Shell("pdfimages -j '" + file + "' '" + (out_ / name) + "'");
        const std::string stored = ReadFileBytes(out_ / (name + "-000.jpg"));
        ASSERT_FALSE(stored.empty());
        EXPECT_EQ(stored == ReadFileBytes(jpeg), kept);
        if (!kept) {
            EXPECT_LT(stored.size(), ReadFileBytes(jpeg).size());
        }
        const QImage shown = QImage::fromData(QByteArray::fromStdString(stored), "JPG");
        EXPECT_EQ(shown.size(), picture.size());
    }

    // Drawn in its place at its size: a plain picture on the blue page.
    QImage plain(400, 300, QImage::Format_RGB32);
    plain.fill(QColor(200, 60, 30));
    ASSERT_TRUE(plain.save(QString::fromStdString(jpeg), "JPG", 50));
    const std::string file = WriteWithQuality(80, "placed.pdf", "Images/photo.jpg");
    Shell("pdftoppm -r 96 -f 1 -l 1 -singlefile -png '" + file + "' '" + (out_ / "placed") + "'");
    const QImage page(QString::fromStdString(out_ / "placed.png"));
    ASSERT_FALSE(page.isNull());
    auto near = [&](QPoint at, QColor colour) {
        const QColor seen = page.pixelColor(at);
        return std::abs(seen.red() - colour.red()) + std::abs(seen.green() - colour.green())
            + std::abs(seen.blue() - colour.blue()) < 40;
    };
    for (QPoint at : {QPoint(4, 4), QPoint(200, 150), QPoint(395, 295)})
        EXPECT_TRUE(near(at, QColor(200, 60, 30))) << at.x() << "," << at.y();
    for (QPoint at : {QPoint(406, 150), QPoint(200, 306), QPoint(600, 600)})
        EXPECT_TRUE(near(at, QColor(0x33, 0x66, 0xCC))) << at.x() << "," << at.y();
}

TEST_F(PDFDocumentTest, TransparentPicturesStayLossless)
{
    const std::string file = out_ / "glass.pdf";
    doc_->SetOutputFile(CComBSTR(file));
    doc_->BeginDocument();
    ASSERT_EQ(Draw(Page("<img src=\"Images/glass.png\">"), site_.Path().string()), S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    const std::string list = Shell("pdfimages -list '" + file + "'");
    EXPECT_NE(list.find("smask"), std::string::npos) << list;
    EXPECT_EQ(list.find("jpeg"), std::string::npos) << list;
}

TEST_F(PDFDocumentTest, EndDocumentFailsWhenTheFileCannotBeWritten)
{
    // A folder that does not exist, and a folder without write permission
    // holding an older file that must survive.
    const std::string missing = out_ / "no/such/folder/x.pdf";
    doc_->SetOutputFile(CComBSTR(missing));
    doc_->BeginDocument();
    ASSERT_EQ(Draw(Page("x"), site_.Path().string()), S_OK);
    EXPECT_LT(doc_->EndDocument(), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));

    if (geteuid() != 0) {
        std::filesystem::create_directories(out_.Path() / "locked");
        const std::string old = out_.Write("locked/x.pdf", "old");
        chmod((out_ / "locked").c_str(), 0500);
        doc_->SetOutputFile(CComBSTR(old));
        doc_->BeginDocument();
        EXPECT_LT(doc_->EndDocument(), 0);
        chmod((out_ / "locked").c_str(), 0700);
        EXPECT_EQ(ReadFileBytes(old), "old");
    }
    // A file in the way of the folder.
    out_.Write("plain", "file");
    doc_->SetOutputFile(CComBSTR(out_ / "plain/x.pdf"));
    doc_->BeginDocument();
    EXPECT_LT(doc_->EndDocument(), 0);
    EXPECT_LT(doc_->AttachFile(CComBSTR(out_ / "absent.txt"), CComBSTR("d")), 0);
    EXPECT_LT(doc_->AttachFile(CComBSTR(out_.Path().string()), CComBSTR("d")), 0) << "a folder is no file";
}

TEST_F(PDFDocumentTest, EarlierPageCannotBeDrawnAfterAddPage)
{
    doc_->SetOutputFile(CComBSTR(out_ / "order.pdf"));
    doc_->BeginDocument();
    CComPtr<IPDFPage> first;
    ASSERT_EQ(doc_->GetCurrentPage(&first), S_OK);
    doc_->AddPage();
    EXPECT_LT(first->DrawHtml(CComBSTR("<p>late</p>"), -1, -1, -1, -1, 1, CComBSTR("/")), 0);
    int32_t w = 0, h = 0;
    doc_->GetPageWidth(&w);
    doc_->GetPageHeight(&h);
    EXPECT_EQ(w, 794);
    EXPECT_EQ(h, 1123);
}

TEST_F(PDFDocumentTest, BitmapMethodAtPosition67CopiesThePixels)
{
    // Called as the image add-on does: by vtable position, with a 32-bit
    // handle of the screen-bitmap table.
    using Method = HRESULT (*)(IPDFDocument*, uint32_t, int32_t, int32_t*);
    auto method = reinterpret_cast<Method*>(*reinterpret_cast<void***>(doc_))[67];
    QImage img(50, 40, QImage::Format_ARGB32);
    img.fill(qRgb(10, 200, 30));
    for (int32_t compression : {int32_t(icAuto), int32_t(icJPEG), int32_t(icFlate)}) {
        HBITMAP bmp = CreateScreenBitmap(img);
        int32_t index = -7;
        EXPECT_EQ(method(doc_, bmp, compression, &index), S_OK);
        EXPECT_EQ(index, compression) << "indexes count up from 0";
        DeleteObject(bmp);
    }
    int32_t index = 0;
    EXPECT_LT(method(doc_, kNullBitmap, icAuto, &index), 0);
    HBITMAP bmp = CreateScreenBitmap(img);
    EXPECT_LT(method(doc_, bmp, 99, &index), 0) << "unknown compression value";
    DeleteObject(bmp);
    EXPECT_LT(method(doc_, bmp, icAuto, &index), 0) << "deleted handle";
}

// A document of many large pictures holds one page's pictures at a time,
// yet a picture on every page (a template's decoration) is stored once.
TEST_F(PDFDocumentTest, PicturesAreLetGoOncePageIsShownAndStoredOnce)
{
    ASSERT_TRUE(NoisyPicture(64, 64, false).save(QString::fromStdString(site_ / "Images/ground.jpg")));
    ASSERT_TRUE(NoisyPicture(32, 32, true).save(QString::fromStdString(site_ / "Images/mark.png")));
    const int before = PdfImageCache::LiveSurfaces();
    CComPtr<CPDFDocument> doc(new CPDFDocument);
    const std::string file = out_ / "pages.pdf";
    ASSERT_EQ(doc->SetOutputFile(CComBSTR(file)), S_OK);
    ASSERT_EQ(doc->BeginDocument(), S_OK);
    const int pages = 4;
    for (int i = 0; i < pages; ++i) {
        const std::string name = "art" + std::to_string(i) + ".jpg";
        ASSERT_TRUE(NoisyPicture(300 + i, 200, false).save(QString::fromStdString(site_ / ("Images/" + name))));
        if (i > 0) {
            ASSERT_EQ(doc->AddPage(), S_OK);
        }
        const std::string body = "<img src=\"Images/ground.jpg\"><img src=\"Images/mark.png\"><img src=\"Images/"
            + name + "\">";
        ASSERT_EQ(doc->DrawHtmlOnPage(i, Page(body), -1, -1, -1, -1, kDrawHtmlShrinkToFit, site_.Path().string()),
            S_OK);
        EXPECT_LE(PdfImageCache::LiveSurfaces() - before, 3) << "page " << i + 1;
    }
    ASSERT_EQ(doc->EndDocument(), S_OK);
    EXPECT_EQ(PdfImageCache::LiveSurfaces(), before);

    // page num type width height color comp bpc enc interp object ...
    std::map<std::string, std::set<std::string>> objects; // by size
    std::set<std::string> pagesWithGround;
    std::istringstream list(Shell("pdfimages -list '" + file + "'"));
    for (std::string line; std::getline(list, line);) {
        std::istringstream row(line);
        std::vector<std::string> cells;
        for (std::string cell; row >> cell;)
            cells.push_back(cell);
        if (cells.size() < 11 || cells[2] != "image")
            continue;
        objects[cells[3] + "x" + cells[4]].insert(cells[10]);
        if (cells[3] == "64")
            pagesWithGround.insert(cells[0]);
    }
    EXPECT_EQ(pagesWithGround.size(), size_t(pages));
    EXPECT_EQ(objects["64x64"].size(), 1u) << "the background is stored once";
    EXPECT_EQ(objects["32x32"].size(), 1u) << "the transparent mark is stored once";
    for (int i = 0; i < pages; ++i)
        EXPECT_EQ(objects[std::to_string(300 + i) + "x200"].size(), 1u);
}

// Pictures too large to draw are drawn from a copy in their own proportions
// with no side over what cairo takes and no more pixels than a page needs.
TEST(PdfImageCacheTest, DrawnSizeKeepsProportionsWithinBothLimits)
{
    const QSize sizes[] = {{4000, 3000}, {32767, 400}, {40000, 300}, {300, 40000}, {70000, 1000}, {6000, 6000},
        {200000, 100}};
    for (const QSize stored : sizes) {
        SCOPED_TRACE(std::to_string(stored.width()) + "x" + std::to_string(stored.height()));
        const QSize drawn = PdfImageCache::DrawnSize(stored);
        const bool fits = qint64(stored.width()) * stored.height() <= PdfImageCache::kMaxDrawnPixels
            && stored.width() <= PdfImageCache::kMaxDrawnSide && stored.height() <= PdfImageCache::kMaxDrawnSide;
        if (fits) {
            EXPECT_EQ(drawn, stored);
            continue;
        }
        EXPECT_LE(drawn.width(), PdfImageCache::kMaxDrawnSide);
        EXPECT_LE(drawn.height(), PdfImageCache::kMaxDrawnSide);
        EXPECT_LE(qint64(drawn.width()) * drawn.height(), PdfImageCache::kMaxDrawnPixels);
        EXPECT_GE(drawn.width(), 1);
        EXPECT_GE(drawn.height(), 1);
        // As large as the limits allow, not smaller.
        EXPECT_TRUE(std::max(drawn.width(), drawn.height()) >= PdfImageCache::kMaxDrawnSide - 1
            || qint64(drawn.width() + 1) * (drawn.height() + 1) > PdfImageCache::kMaxDrawnPixels);
        EXPECT_NEAR(double(drawn.width()) / drawn.height(), double(stored.width()) / stored.height(),
            0.01 * stored.width() / stored.height() + 1.0 / drawn.height() * stored.width() / stored.height());
    }
}

} // namespace

// The files a page's style sheets and pictures may name come from received
// templates. Each form below draws in a child process capped in memory and
// time: the page comes out whole, without anything from outside its folder,
// without waiting on a FIFO and without reading a device or a huge file.
TEST_F(PDFDocumentTest, PageReadsOnlyRegularFilesOfBoundedSizeInsideItsFolder)
{
    TempDir outside;
    QImage privatePicture(300, 300, QImage::Format_RGB32);
    privatePicture.fill(QColor(255, 0, 255));
    const std::string secret = outside / "private.png";
    ASSERT_TRUE(privatePicture.save(QString::fromStdString(secret)));
    const std::string fifo = outside / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // From the site's folder to the private picture, by climbing.
    const std::string climb = std::filesystem::relative(secret, site_.Path()).string();
    ASSERT_EQ(climb.rfind("../", 0), 0u) << climb;

    // The same kinds inside the folder, where only the type or size refuses them.
    ASSERT_EQ(::mkfifo((site_ / "Data/pipe.css").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((site_ / "Images/pipe.png").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", site_ / "Data/zero.css");
    const std::string big = site_.Write("Data/big.css", "");
    ASSERT_EQ(::truncate(big.c_str(), int64_t{2} << 30), 0);
    site_.Write("Data/loop.css", "@import url(loop.css); .x { color: red; }");
    // Every sheet imports the next one twice: 2^24 imports when followed.
    for (int i = 0; i < 24; ++i) {
        const std::string next = "fan" + std::to_string(i + 1) + ".css";
        site_.Write("Data/fan" + std::to_string(i) + ".css", "@import url(" + next + "); @import url(" + next + ");");
    }

    struct Case {
        const char* what;
        std::string css;
    };
    const std::vector<Case> cases = {
        {"device as import", "@import url(/dev/zero);"},
        {"FIFO as import by file URL", "@import url(file://" + fifo + ");"},
        {"FIFO inside the folder as import", "@import url(Data/pipe.css);"},
        {"link to a device inside the folder", "@import url(\"Data/zero.css\");"},
        {"2 GiB sheet", "@import url(Data/big.css);"},
        {"sheet importing itself", "@import url(Data/loop.css);"},
        {"imports fanning out", "@import url(Data/fan0.css);"},
        {"private picture by absolute path", ".background { background-image: url(" + secret + "); }"},
        {"private picture by file URL", ".background { background-image: url(file://" + secret + "); }"},
        {"private picture by climbing", ".background { background-image: url(" + climb + "); }"},
        {"private picture by escaped climbing",
         ".background { background-image: url(%2e%2e/" + climb.substr(3) + "); }"},
        {"FIFO as picture", ".background { background-image: url(file://" + fifo + "); }"},
        {"FIFO inside the folder as picture", ".background { background-image: url(Images/pipe.png); }"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::string file = out_ / ("case" + std::to_string(i) + ".pdf");
        const BoundedResult result = RunBounded(
            [&] {
                doc_->SetOutputFile(CComBSTR(file));
                if (doc_->BeginDocument() != S_OK)
                    return 1;
                if (Draw(Page("<div class=\"title\">Alinta Marrow</div>", c.css), site_.Path().string()) != S_OK)
                    return 2;
                return doc_->EndDocument() == S_OK ? 0 : 3;
            },
            int64_t{1} << 30, 60);
        ASSERT_TRUE(result.finished) << "crashed, ran out of memory or still waiting at the deadline";
        EXPECT_EQ(result.value, 0);
        EXPECT_LT(result.grewKb, 256 * 1024) << "memory grew by " << result.grewKb << " kB";
        const std::string images = Shell("pdfimages -list '" + file + "'");
        EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 2) << "the page holds a picture:\n" << images;
        EXPECT_FALSE(PageShows(file, 1, QColor(255, 0, 255), out_ / "shown"));
        EXPECT_NE(Shell("pdftotext '" + file + "' -").find("Alinta Marrow"), std::string::npos);
    }
}

// A sheet inside the folder still works, with its own pictures and imports
// resolved from its own folder, and the artwork pages one level down still
// reach the pictures of the folder they belong to.
TEST_F(PDFDocumentTest, SheetsAndPicturesInsideTheFolderAreUsed)
{
    QImage green(50, 50, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    ASSERT_TRUE(green.save(QString::fromStdString(site_ / "Data/green.png")));
    site_.Write("Data/outer.css", "@import url(inner.css);");
    site_.Write("Data/inner.css", ".background { background-image: url(green.png); }");
    const std::string file = out_ / "inside.pdf";
    ASSERT_EQ(doc_->SetOutputFile(CComBSTR(file)), S_OK);
    ASSERT_EQ(doc_->BeginDocument(), S_OK);
    ASSERT_EQ(Draw(Page("x", "@import url(Data/outer.css);"), site_.Path().string()), S_OK);
    ASSERT_EQ(doc_->AddPage(), S_OK);
    ASSERT_EQ(Draw(Page("<img src=\"../Images/photo.png\">"), site_ / "Data"), S_OK);
    ASSERT_EQ(doc_->EndDocument(), S_OK);
    EXPECT_TRUE(PageShows(file, 1, QColor(0, 160, 0), out_ / "front"));
    const std::string images = Shell("pdfimages -list '" + file + "'");
    EXPECT_TRUE(std::regex_search(images, std::regex(R"(\n\s*2\s+\d+\s+image\s+400\s+300)"))) << images;
}

TEST(ConfinedPageFile, OnlyAddressesThatStayInsideTheRoot)
{
    const std::string root = "/run/site/";
    struct Case {
        const char* address;
        const char* base;
        const char* expected;
    };
    const Case cases[] = {
        {"Images/a.png", "/run/site/", "/run/site/Images/a.png"},
        {"../Images/a.png", "/run/site/Data/", "/run/site/Images/a.png"},
        {"a%20b.png?x#y", "/run/site/Data", "/run/site/Data/a b.png"},
        {"..\\Images\\a.png", "/run/site/Data/", "/run/site/Images/a.png"},
        {"file:///run/site/Data/a.png", "/run/site/", "/run/site/Data/a.png"},
        {"/run/site/Data/a.png", "/run/site/", ""},
        {"/etc/passwd", "/run/site/", ""},
        {"\\etc\\passwd", "/run/site/", ""},
        {"file:///etc/passwd", "/run/site/", ""},
        {"file:///run/site/../other/a.png", "/run/site/", ""},
        {"../../etc/passwd", "/run/site/Data/", ""},
        {"%2e%2e/%2e%2e/etc/passwd", "/run/site/Data/", ""},
        {"../site-other/a.png", "/run/site/", ""},
        {"a.png%00/../../../etc/passwd", "/run/site/", ""},
        {"a.png%00", "/run/site/", ""},
        {"http://example.org/a.png", "/run/site/", ""},
        {"data:image/png;base64,AAAA", "/run/site/", ""},
        {".", "/run/site/", ""},
        {"", "/run/site/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConfinedPageFile(c.address, c.base, root), c.expected) << c.address << " from " << c.base;
}
