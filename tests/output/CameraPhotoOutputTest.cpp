// A camera portrait from import to pages and PDF: upright as Chromium draws
// the artwork page and as poppler draws the PDF page, before the portfolio
// is saved and after it is opened again.
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/output/PageDrawings.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/TempDir.h"

#include <QImageReader>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    EXPECT_EQ(RunCommand(command + " 2>&1", &out), 0) << command << "\n" << out;
    return out;
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
    Portfolio opened;
    ASSERT_TRUE(SavedAndOpened(photo, work / "Portraits.pfo", made, opened));

    for (Portfolio* portfolio : {&made, &opened}) {
        SCOPED_TRACE(portfolio == &made ? "before save" : "after open");
        EXPECT_EQ(UprightProblem(PictureImage(portfolio->GetPicture(0))), "");

        HTMLGenerator html(portfolio);
        ASSERT_TRUE(html.Generate());
        const std::string folder = html.GetOutputFolder();
        QImageReader written(QString::fromStdString(folder + "Images/o" + std::to_string(orientation) + ".jpg"));
        EXPECT_EQ(written.transformation(), QImageIOHandler::TransformationNone);
        EXPECT_EQ(UprightProblem(DrawnByChromium(folder + "Data/000.html", [](const QImage& drawn) { return UprightProblem(drawn).empty(); })), "");

        PDFGenerator pdf(portfolio);
        ASSERT_TRUE(pdf.Generate());
        const std::string file = pdf.GetOutputFolder() + PDFGenerator::GetOutputFileName();
        Shell("pdftoppm -r 72 -f 2 -l 2 -singlefile -png '" + file + "' '" + (work / "page") + "'");
        EXPECT_EQ(UprightProblem(PhotoOn(QImage(QString::fromStdString(work / "page.png")))), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Orientations, CameraPhotoOutputTest, ::testing::Values(3, 6, 8));

}  // namespace
