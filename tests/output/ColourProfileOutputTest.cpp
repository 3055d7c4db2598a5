// A picture with a colour profile of its own, from import to pages and PDF:
// the program's windows, the artwork page as Chromium draws it and the PDF
// page as poppler draws it all show the colour Chromium shows for the
// original file, before the portfolio is saved and after it is opened again.
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include "model/Options.h"
#include "model/Portfolio.h"
#include "tests/output/GeneratorTestSupport.h"
#include "tests/output/PageDrawings.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr QRgb kStored = qRgb(200, 60, 40);

QRgb Middle(const QImage& image)
{
    return image.isNull() ? qRgb(0, 0, 0) : image.pixel(image.width() / 2, image.height() / 2);
}

bool FilledWith(const QImage& drawn, QRgb colour)
{
    return !drawn.isNull() && ColourDistance(Middle(drawn), colour) <= 40;
}

class ColourProfileOutputTest : public ::testing::TestWithParam<TestSpace> {};

TEST_P(ColourProfileOutputTest, PagesAndPdfShowTheColourBrowsersShowForTheOriginal)
{
    const TestSpace space = GetParam();
    TempRoot root;
    TempDir work;
    ASSERT_EQ(RunCommand(std::string(REGSVR_TOOL) + " /s '" + QUORVEX_PDF_MODULE + "'"), 0);
    Options::Instance()->SetPictureSize(7);
    const std::string photo = work / "photo.jpg";
    const QByteArray bytes = FlatPictureIn(space, kStored, "jpeg", QSize(160, 120));
    std::ofstream(photo, std::ios::binary).write(bytes.constData(), bytes.size());

    // Chromium applies the original's profile itself: that is the colour
    // every output must show.
    const std::string original = work / "original.html";
    std::ofstream(original) << "<html><body><img id=\"artimage\" src=\"photo.jpg\"></body></html>";
    const QRgb expected = Middle(DrawnByChromium(original, [](const QImage& d) { return FilledWith(d, kStored); }));
    ASSERT_LE(ColourDistance(expected, InSrgb(space, kStored)), 3)
        << "Chromium shows " << ColourText(expected) << ", not the converted colour " << ColourText(InSrgb(space, kStored));

    Portfolio made;
    Portfolio opened;
    ASSERT_TRUE(SavedAndOpened(photo, work / "Colours.pfo", made, opened));

    for (Portfolio* portfolio : {&made, &opened}) {
        SCOPED_TRACE(portfolio == &made ? "before save" : "after open");
        const QRgb shown = Middle(PictureImage(portfolio->GetPicture(0)));
        EXPECT_LE(ColourDistance(shown, expected), 2) << "window " << ColourText(shown) << " for " << ColourText(expected);

        HTMLGenerator html(portfolio);
        ASSERT_TRUE(html.Generate());
        const QRgb page = Middle(DrawnByChromium(html.GetOutputFolder() + "Data/000.html",
                                                 [](const QImage& d) { return FilledWith(d, kStored); }));
        EXPECT_LE(ColourDistance(page, expected), 2) << "HTML " << ColourText(page) << " for " << ColourText(expected);

        PDFGenerator pdf(portfolio);
        ASSERT_TRUE(pdf.Generate());
        const std::string file = pdf.GetOutputFolder() + PDFGenerator::GetOutputFileName();
        std::string out;
        ASSERT_EQ(RunCommand("pdftoppm -r 72 -f 2 -l 2 -singlefile -png '" + file + "' '" + (work / "page") + "' 2>&1", &out), 0)
            << out;
        const QRgb printed = Middle(PhotoOn(QImage(QString::fromStdString(work / "page.png"))));
        EXPECT_LE(ColourDistance(printed, expected), 2) << "PDF " << ColourText(printed) << " for " << ColourText(expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Spaces, ColourProfileOutputTest, ::testing::Values(TestSpace::AdobeRgb, TestSpace::DisplayP3),
                         [](const auto& info) { return info.param == TestSpace::AdobeRgb ? "AdobeRgb" : "DisplayP3"; });

}  // namespace
