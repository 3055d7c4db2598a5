// A camera portrait from import to pages and PDF: upright as Chromium draws
// the artwork page and as poppler draws the PDF page, before the portfolio
// is saved and after it is opened again.
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/TempDir.h"

#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
    return out;
}

// The artwork as the program's windows show it.
QImage PictureImage(Picture* picture)
{
    const HBITMAP handle = picture->GetBitmap()->CopyToBitmapH();
    QImage image = GetScreenBitmap(handle).copy();
    DeleteObject(handle);
    return image;
}

// The artwork as Chromium draws it on its page.
QImage DrawnByChromium(const std::string& page)
{
    QWebEngineView view;
    view.resize(1000, 1400);
    view.show();
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.load(QUrl::fromLocalFile(QString::fromStdString(page)));
    if (!QTest::qWaitFor([&] { return loaded; }, 30000))
        return {};
    QVariantList box;
    view.page()->runJavaScript(
        "(() => { const i = document.getElementById('artimage');"
        " if (!i || !i.complete) return [];"
        " const r = i.getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()",
        [&](const QVariant& v) { box = v.toList(); });
    if (!QTest::qWaitFor([&] { return box.size() == 4; }, 30000))
        return {};
    const QRect rect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt());
    QImage drawn;
    // Painting may trail the load: wait until the picture's box is filled.
    QTest::qWaitFor(
        [&] {
            drawn = view.grab().toImage().copy(rect);
            return UprightProblem(drawn).empty();
        },
        10000);
    return drawn;
}

// The part of a page image that holds the photo's four colours.
QImage PhotoOn(const QImage& page)
{
    QRect found;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            const bool saturated = std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 120;
            if (saturated)
                found |= QRect(x, y, 1, 1);
        }
    return found.isEmpty() ? QImage() : page.copy(found);
}

class CameraPhotoOutputTest : public ::testing::TestWithParam<int> {};

TEST_P(CameraPhotoOutputTest, PortraitIsUprightInPagesAndPdfBeforeSaveAndAfterOpen)
{
    const int orientation = GetParam();
    TempRoot root;
    TempDir work;
    ASSERT_TRUE(WriteCameraPhotos(work.Path().string()));
    Shell(std::string(REGSVR_TOOL) + " /s '" + QUORVEX_PDF_MODULE + "'");
    Options::Instance()->SetPictureSize(7);
    const std::string photo = work / ("o" + std::to_string(orientation) + ".jpg");

    Portfolio made;
    made.SetName("Ana");
    auto picture = std::make_unique<Picture>(&made);
    ASSERT_TRUE(picture->LoadFromFile(photo));
    picture->SetTitle("Portrait");
    made.AddPicture(picture.release());
    const std::string path = work / "Portraits.pfo";
    made.SetFileName(path);
    ASSERT_TRUE(made.Save());

    Portfolio opened;
    opened.SetFileName(path);
    ASSERT_TRUE(opened.Load());
    ASSERT_EQ(opened.GetPictureCount(), 1);

    for (Portfolio* portfolio : {&made, &opened}) {
        SCOPED_TRACE(portfolio == &made ? "before save" : "after open");
        EXPECT_EQ(UprightProblem(PictureImage(portfolio->GetPicture(0))), "");

        HTMLGenerator html(portfolio);
        ASSERT_TRUE(html.Generate());
        const std::string folder = html.GetOutputFolder();
        QImageReader written(QString::fromStdString(folder + "Images/o" + std::to_string(orientation) + ".jpg"));
        EXPECT_EQ(written.transformation(), QImageIOHandler::TransformationNone);
        EXPECT_EQ(UprightProblem(DrawnByChromium(folder + "Data/000.html")), "");

        PDFGenerator pdf(portfolio);
        ASSERT_TRUE(pdf.Generate());
        const std::string file = pdf.GetOutputFolder() + PDFGenerator::GetOutputFileName();
        Shell("pdftoppm -r 72 -f 2 -l 2 -singlefile -png '" + file + "' '" + (work / "page") + "'");
        EXPECT_EQ(UprightProblem(PhotoOn(QImage(QString::fromStdString(work / "page.png")))), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, CameraPhotoOutputTest, ::testing::Values(3, 6, 8));

}  // namespace
