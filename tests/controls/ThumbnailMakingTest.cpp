// The worker's half of the thumbnail loader: a file, encoded bytes or
// decoded pixels made into a 32-bit thumbnail, with nothing of the list box
// involved.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QObject>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "controls/GPGraphics.h"
#include "controls/TImageLoaderThread.h"
#include "controls/TThumbnailWorkers.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/controls/LoaderFixtures.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/TempDir.h"

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
        TThumbnailResult r = MakeThumbnail(Job(LoaderFixtures() / name));
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
    TThumbnailResult r = MakeThumbnail(Job(LoaderFixtures() / "split.jpg", true));
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
    EXPECT_EQ(MakeThumbnail(Job(dir.Write("nowidth.png", png))).Outcome, TThumbnailResult::NoSize);
    EXPECT_EQ(MakeThumbnail(Job(dir / "missing.png")).Outcome, TThumbnailResult::Failed);
    EXPECT_EQ(MakeThumbnail(Job(dir.Write("garbage.jpg", "no picture at all"))).Outcome,
              TThumbnailResult::Failed);
}

TEST(ThumbnailMaking, APictureWiderThanSixteenBitsStillGetsItsThumbnail)
{
    const TempDir dir;
    QImage wide(65536, 2, QImage::Format_RGB32);
    wide.fill(qRgb(255, 0, 0));
    const std::string path = dir / "wide.png";
    ASSERT_TRUE(wide.save(QString::fromStdString(path)));
    uint16_t w = 0, h = 0;
    EXPECT_TRUE(GetFileImageSize(path, w, h));
    EXPECT_EQ(w, UINT16_MAX);
    EXPECT_EQ(h, 2);
    const TThumbnailResult r = MakeThumbnail(Job(path));
    ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
    EXPECT_EQ(r.SourceWidth, 65536.0f);
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

namespace {

// 200 x 100, red above, blue below.
QImage RedOverBlue()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(qRgb(0, 0, 255));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 200; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image;
}

std::shared_ptr<TMemoryStream> Encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(QImageWriter(&buffer, format).write(image)) << format;
    auto stream = std::make_shared<TMemoryStream>();
    stream->WriteBuffer(bytes.constData(), bytes.size());
    return stream;
}

// The same BMP with its rows stored top-down (a negative height), as
// some writers store them.
std::shared_ptr<TMemoryStream> TopDownBmp(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::shared_ptr<TMemoryStream> bottomUp = Encoded(rgb, "bmp");
    std::string bytes(reinterpret_cast<const char*>(bottomUp->Memory()), size_t(bottomUp->GetSize()));
    uint32_t offset = 0;
    std::memcpy(&offset, bytes.data() + 10, 4);
    const size_t stride = (size_t(rgb.width()) * 3 + 3) / 4 * 4;
    std::string rows = bytes.substr(offset);
    for (int y = 0; y < rgb.height(); ++y)
        bytes.replace(offset + y * stride, stride, rows, (rgb.height() - 1 - y) * stride, stride);
    const int32_t height = -rgb.height();
    std::memcpy(bytes.data() + 22, &height, 4);
    auto stream = std::make_shared<TMemoryStream>();
    stream->WriteBuffer(bytes.data(), int64_t(bytes.size()));
    return stream;
}

bool Near(QRgb a, QRgb b) { return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qBlue(a) - qBlue(b)) < 40; }

}  // namespace

TEST(ThumbnailMaking, PicturesHandedOverComeOutTheRightWayUp)
{
    const QImage picture = RedOverBlue();
    struct Case {
        const char* name;
        TThumbnailJob job;
    } cases[] = {{"bmp 24-bit", {}}, {"bmp 24-bit top-down", {}}, {"bmp 32-bit", {}},
                 {"png", {}},        {"jpeg", {}},                {"decoded", {}}};
    cases[0].job.Bytes = Encoded(picture.convertToFormat(QImage::Format_RGB888), "bmp");
    cases[1].job.Bytes = TopDownBmp(picture);
    cases[2].job.Bytes = Encoded(picture.convertToFormat(QImage::Format_ARGB32), "bmp");
    cases[3].job.Bytes = Encoded(picture, "png");
    cases[4].job.Bytes = Encoded(picture, "jpeg");
    cases[5].job.Image = picture;
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.job.AreaWidth = 143;
        c.job.AreaHeight = 100;
        c.job.Fit = Fit;
        TThumbnailResult r = MakeThumbnail(c.job);
        ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
        ASSERT_TRUE(r.Thumbnail);
        EXPECT_EQ(r.Thumbnail->GetWidth(), 143u);
        EXPECT_EQ(r.Thumbnail->GetHeight(), 72u);
        EXPECT_EQ(r.SourceWidth, 200.0f);
        EXPECT_EQ(r.SourceHeight, 100.0f);
        const QImage pixels = Pixels(*r.Thumbnail);
        EXPECT_TRUE(Near(pixels.pixel(70, 10), qRgb(255, 0, 0))) << std::hex << pixels.pixel(70, 10);
        EXPECT_TRUE(Near(pixels.pixel(70, 60), qRgb(0, 0, 255))) << std::hex << pixels.pixel(70, 60);
    }
}

TEST(ThumbnailMaking, ACameraPictureIsTurnedUprightByItsOrientation)
{
    TThumbnailResult r = MakeThumbnail(Job(LoaderFixtures() / "turned.jpg"));
    ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
    // Stored 200 x 100 red | blue, shown a quarter turned: 100 x 200, red
    // above blue, fitted to the area's height.
    EXPECT_EQ(r.SourceWidth, 100.0f);
    EXPECT_EQ(r.SourceHeight, 200.0f);
    ASSERT_TRUE(r.Thumbnail);
    EXPECT_EQ(r.Thumbnail->GetWidth(), 50u);
    EXPECT_EQ(r.Thumbnail->GetHeight(), 100u);
    const QImage pixels = Pixels(*r.Thumbnail);
    EXPECT_TRUE(Reddish(pixels.pixel(25, 20))) << std::hex << pixels.pixel(25, 20);
    EXPECT_TRUE(Bluish(pixels.pixel(25, 80))) << std::hex << pixels.pixel(25, 80);
}

TEST(ThumbnailMaking, PicturesLargerThanTheReadersDefaultLimitStillGetOne)
{
    // 7000 x 6000 as a file and as the BMP the main window hands over.
    QImage huge(7000, 6000, QImage::Format_RGB888);
    huge.fill(qRgb(0, 0, 255));
    {
        QImage left = huge.copy(0, 0, 3500, 6000);
        left.fill(qRgb(255, 0, 0));
        QPainter(&huge).drawImage(0, 0, left);
    }
    TThumbnailJob bmp = Job("");
    bmp.Bytes = Encoded(huge, "bmp");
    huge = QImage();
    for (const TThumbnailJob& job : {Job(LoaderFixtures() / "huge.jpg"), bmp}) {
        SCOPED_TRACE(job.Bytes ? "bmp" : "jpeg");
        TThumbnailResult r = MakeThumbnail(job);
        ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
        ASSERT_TRUE(r.Thumbnail);
        EXPECT_EQ(r.SourceWidth, 7000.0f);
        EXPECT_EQ(r.Thumbnail->GetWidth(), 117u);
        EXPECT_EQ(r.Thumbnail->GetHeight(), 100u);
        const QImage pixels = Pixels(*r.Thumbnail);
        EXPECT_TRUE(Reddish(pixels.pixel(20, 50))) << std::hex << pixels.pixel(20, 50);
        EXPECT_TRUE(Bluish(pixels.pixel(100, 50))) << std::hex << pixels.pixel(100, 50);
    }
}

// A file with a colour profile of its own gets the thumbnail of the sRGB
// colours its artwork shows, from a file and from its bytes alike.
TEST(ThumbnailMaking, APictureWithAProfileShowsItsSrgbColours)
{
    const QRgb stored = qRgb(200, 60, 40);
    for (const TestSpace space : {TestSpace::AdobeRgb, TestSpace::DisplayP3})
        for (const char* format : {"png", "jpeg"}) {
            SCOPED_TRACE(std::string(format) + (space == TestSpace::AdobeRgb ? " Adobe RGB" : " Display P3"));
            const QByteArray file = FlatPictureIn(space, stored, format, QSize(200, 100));
            TempDir dir;
            const std::string path = dir.Write("photo", file.toStdString());
            TThumbnailJob fromFile = Job(path);
            TThumbnailJob fromBytes = Job("");
            fromBytes.Bytes = std::make_shared<TMemoryStream>();
            fromBytes.Bytes->WriteBuffer(file.constData(), file.size());
            for (const TThumbnailJob* job : {&fromFile, &fromBytes}) {
                TThumbnailResult r = MakeThumbnail(*job);
                ASSERT_EQ(r.Outcome, TThumbnailResult::Loaded);
                const QRgb shown = Pixels(*r.Thumbnail).pixel(70, 36);
                EXPECT_LE(ColourDistance(shown, InSrgb(space, stored)), 3)
                    << ColourText(shown) << " for " << ColourText(InSrgb(space, stored));
            }
        }
}

// A decoder that throws anything at all fails that one picture on the
// strip's worker; the worker and the program go on with the next one.
TEST(ThumbnailMaking, AnyExceptionFromTheDecoderFailsOnlyItsOwnPicture)
{
    QObject context;
    std::vector<TThumbnailResult::TOutcome> outcomes;
    TThumbnailWorkers workers(&context, [&](TThumbnailWorkers::TResults& results) {
        for (TThumbnailDone& done : results)
            outcomes.push_back(done.Result.Outcome);
    });
    auto token = std::make_shared<int>(0);
    TThumbnailJob throwing = Job(LoaderFixtures() / "split.png");
    throwing.Fit = [](int&, int&, int, int, int, int) { throw std::runtime_error("decoder gave up"); };
    TThumbnailJob odd = Job(LoaderFixtures() / "split.jpg");
    odd.Fit = [](int&, int&, int, int, int, int) { throw 42; };
    // One at a time: the worker that met the exception makes the next one.
    for (const TThumbnailJob& job : {throwing, odd, Job(LoaderFixtures() / "split.bmp")}) {
        workers.Queue({token, job});
        while (workers.Pending() > 0)
            workers.WaitForResult();
        workers.Drain();
    }
    EXPECT_EQ(outcomes, (std::vector<TThumbnailResult::TOutcome>{TThumbnailResult::Failed, TThumbnailResult::Failed,
                                                                  TThumbnailResult::Loaded}));
}
