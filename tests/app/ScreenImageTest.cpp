// The screen images the chooser and the artwork dialog make straight from a
// file show a picture with a colour profile of its own in the sRGB colours
// its artwork gets.
#include <gtest/gtest.h>

#include "app/ScreenPixmap.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/TempDir.h"

TEST(ScreenImage, APictureWithAProfileIsShownInItsSrgbColours)
{
    const QRgb stored = qRgb(200, 60, 40);
    TempDir dir;
    for (const TestSpace space : {TestSpace::AdobeRgb, TestSpace::DisplayP3})
        for (const char* format : {"png", "jpeg", "tiff"}) {
            SCOPED_TRACE(std::string(format) + (space == TestSpace::AdobeRgb ? " Adobe RGB" : " Display P3"));
            const std::string path =
                dir.Write(std::string("photo.") + format, FlatPictureIn(space, stored, format, QSize(300, 200)).toStdString());
            const QImage shown = ReadFittedScreenImage(QString::fromStdString(path), QSize(90, 60));
            ASSERT_EQ(shown.size(), QSize(90, 60));
            const QRgb middle = shown.pixel(45, 30);
            EXPECT_LE(ColourDistance(middle, InSrgb(space, stored)), 3)
                << ColourText(middle) << " for " << ColourText(InSrgb(space, stored));
        }
}
