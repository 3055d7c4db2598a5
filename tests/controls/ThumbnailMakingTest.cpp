// The worker's half of the thumbnail loader: a file read and scaled into a
// 32-bit image, with nothing of the list box involved.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "controls/GPGraphics.h"
#include "controls/TImageLoaderThread.h"
#include "tests/controls/LoaderFixtures.h"

namespace {

// Plain aspect fit, enough to see that the worker hands the fit the sizes in
// the list box's argument order.
void Fit(int& w, int& h, int boxHeight, int boxWidth, int imageHeight, int imageWidth)
{
    const double k = std::min(double(boxWidth) / imageWidth, double(boxHeight) / imageHeight);
    w = int(std::lround(imageWidth * k));
    h = int(std::lround(imageHeight * k));
}

QImage Pixels(TGPBitmap& bitmap)
{
    QImage image(int(bitmap.GetWidth()), int(bitmap.GetHeight()), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            ARGB c = 0;
            bitmap.GetPixel(x, y, &c);
            image.setPixel(x, y, c);
        }
    return image;
}

bool Reddish(QRgb c) { return qRed(c) > 200 && qBlue(c) < 60 && qAlpha(c) == 255; }
bool Bluish(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qAlpha(c) == 255; }

TThumbnailJob Job(const std::string& path, bool zoomed = false)
{
    TThumbnailJob job;
    job.Location = path;
    job.Zoomed = zoomed;
    job.AreaWidth = 143;
    job.AreaHeight = 100;
    job.Fit = Fit;
    return job;
}

}  // namespace

TEST(ThumbnailMaking, EveryKindOfFileIsFittedIntoTheAreaTheRightWayRound)
{
    for (const char* name : {"split.png", "split.jpg", "split.bmp", "split.tif", "split.gif", "split8.png"}) {
        SCOPED_TRACE(name);
        TThumbnailResult r = MakeFileThumbnail(Job(LoaderFixtures() / name));
        ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
        ASSERT_TRUE(r.Thumbnail);
        EXPECT_EQ(r.Thumbnail->GetPixelFormat(), PixelFormat32bppARGB);
        EXPECT_EQ(r.Thumbnail->GetWidth(), 143u);
        EXPECT_EQ(r.Thumbnail->GetHeight(), 72u);
        EXPECT_EQ(r.SourceWidth, 200.0f);
        EXPECT_EQ(r.SourceHeight, 100.0f);
        EXPECT_EQ(r.TargetWidth, 143);
        EXPECT_EQ(r.TargetHeight, 100);
        const QImage pixels = Pixels(*r.Thumbnail);
        EXPECT_TRUE(Reddish(pixels.pixel(30, 36))) << std::hex << pixels.pixel(30, 36);
        EXPECT_TRUE(Bluish(pixels.pixel(112, 36))) << std::hex << pixels.pixel(112, 36);
        // The palette of an indexed source is reported, yet the thumbnail is
        // 32-bit: drawing into an indexed bitmap would fail.
        if (std::string(name) == "split8.png") {
            EXPECT_TRUE(r.HasPalette);
        }
    }
}

TEST(ThumbnailMaking, ZoomedItemGetsTheSourceSize)
{
    TThumbnailResult r = MakeFileThumbnail(Job(LoaderFixtures() / "split.jpg", true));
    ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
    EXPECT_EQ(r.Thumbnail->GetWidth(), 200u);
    EXPECT_EQ(r.Thumbnail->GetHeight(), 100u);
    EXPECT_EQ(r.TargetWidth, 200);
    EXPECT_EQ(r.TargetHeight, 100);
}

TEST(ThumbnailMaking, UnreadableFilesFailAndAHeaderWithoutWidthIsNotTried)
{
    const TempDir dir;
    // A PNG header naming 0 x 5; the rest would decode to nothing anyway.
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\0\0\0\0\x05\x08\x02\0\0\0", 29);
    png.append(4, '\0');
    EXPECT_EQ(MakeFileThumbnail(Job(dir.Write("nowidth.png", png))).Outcome, TThumbnailResult::NoSize);
    EXPECT_EQ(MakeFileThumbnail(Job(dir / "missing.png")).Outcome, TThumbnailResult::Failed);
    EXPECT_EQ(MakeFileThumbnail(Job(dir.Write("garbage.jpg", "no picture at all"))).Outcome,
              TThumbnailResult::Failed);
}

TEST(ThumbnailMaking, HeaderSizeIsPickedByTheExtension)
{
    const TempDir dir;
    const std::string png = ReadFileBytes(LoaderFixtures() / "split.png");
    const struct {
        const char* name;
        bool known;
        int width;
    } cases[] = {{"a.png", true, 200}, {"b.PnG", true, 200}, {"c.tif", false, 0}, {"d.gif", true, 0},
                 {"e.webp", false, 0}, {"noextension", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint16_t w = 1, h = 1;
        // PNG bytes under every name: only the name picks the reader.
        EXPECT_EQ(GetFileImageSize(dir.Write(c.name, png), w, h), c.known);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.width ? 100 : 0);
    }
}
