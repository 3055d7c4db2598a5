#include <gtest/gtest.h>

#include <FreeImage.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "platform/gdiplus/ScreenBitmap.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/CameraPhotos.h"
#include "tests/support/TempDir.h"

namespace {

// A w x h 24-bit picture encoded as BMP.
void WriteBmp(TMemoryStream& stream, int w, int h)
{
    TFreeBitmap bitmap(FIT_BITMAP, w, h, 24);
    ASSERT_TRUE(bitmap.IsValid());
    ASSERT_TRUE(bitmap.SaveToStream(FIF_BMP, stream));
    stream.SetPosition(0);
}

std::string WriteImageFile(const TempDir& dir, const std::string& name, int w, int h)
{
    TFreeBitmap bitmap(FIT_BITMAP, w, h, 24);
    const std::string path = dir / name;
    EXPECT_TRUE(bitmap.Save(path));
    return path;
}

// The picture as the windows show it, top row first.
QImage ScreenImage(const TFreeWinBitmap& bitmap)
{
    const HBITMAP handle = bitmap.CopyToBitmapH();
    QImage image = GetScreenBitmap(handle);
    DeleteObject(handle);
    return image;
}

std::string Md5Sum(const std::string& path)
{
    std::string out;
    EXPECT_EQ(RunCommand("md5sum '" + path + "'", &out), 0) << out;
    std::string hex = out.substr(0, 32);
    std::transform(hex.begin(), hex.end(), hex.begin(), [](unsigned char c) { return std::toupper(c); });
    return hex;
}

// Keeps imported pictures at their size unless a test chooses otherwise.
class PictureTest : public ::testing::Test {
protected:
    void SetUp() override { Options::Instance()->SetPictureSize(7); }
    void TearDown() override { Options::Instance()->SetPictureSize(7); }

    Portfolio portfolio_;
};

} // namespace

TEST(PictureSizes, TableMatchesTheSlider)
{
    const int sides[kPictureSizeCount] = {320, 480, 640, 800, 1024, 1200, 1600, -1};
    for (int i = 0; i < kPictureSizeCount; ++i)
        EXPECT_EQ(PictureSizes[i].maxSide, sides[i]) << i;
    EXPECT_STREQ(PictureSizes[0].caption, "Resize the image to 320 Pixels");
    EXPECT_STREQ(PictureSizes[7].caption, "Don't resize. Preserve the original size.");
}

TEST_F(PictureTest, ResizeTable)
{
    const struct {
        int w, h, maxSide;
        bool result;
        int newW, newH;
    } cases[] = {
        {3000, 2000, 1200, true, 1200, 800},
        {2000, 3001, 1200, true, 800, 1200},   // 799.73 + 0.5 is cut, not rounded up
        {500, 500, 320, true, 320, 320},
        {1, 5000, 320, true, 1, 320},          // the short side never drops below 1
        {5000, 1, 320, true, 320, 1},
        {320, 100, 320, true, 320, 100},       // the longer side equal to the maximum
        {300, 200, 320, false, 300, 200},      // never enlarged
        {400, 300, 0, false, 400, 300},
        {400, 300, -1, false, 400, 300},
        {1001, 3, 1000, true, 1000, 3},        // 2.997 + 0.5
    };
    for (const auto& c : cases) {
        TMemoryStream bmp;
        WriteBmp(bmp, c.w, c.h);
        Picture picture(&portfolio_);
        ASSERT_TRUE(picture.LoadFromStream(bmp));
        portfolio_.ClearModified();
        EXPECT_EQ(picture.Resize(c.maxSide), c.result) << c.w << "x" << c.h << " to " << c.maxSide;
        EXPECT_EQ(picture.GetBitmap()->GetWidth(), c.newW) << c.w << "x" << c.h << " to " << c.maxSide;
        EXPECT_EQ(picture.GetBitmap()->GetHeight(), c.newH) << c.w << "x" << c.h << " to " << c.maxSide;
        EXPECT_EQ(portfolio_.IsModified(), c.result);
    }
    Picture empty(&portfolio_);
    EXPECT_FALSE(empty.Resize(320));
}

TEST_F(PictureTest, ImportFollowsThePictureSizeSetting)
{
    TempDir dir;
    const std::string big = WriteImageFile(dir, "big.bmp", 1000, 800);
    const std::string small = WriteImageFile(dir, "small.bmp", 200, 100);
    const struct {
        const char* file;
        int setting;
        int w, h;
    } cases[] = {
        {"big.bmp", 0, 320, 256},
        {"big.bmp", 3, 800, 640},
        {"big.bmp", 7, 1000, 800},
        {"small.bmp", 0, 200, 100},
    };
    for (const auto& c : cases) {
        Options::Instance()->SetPictureSize(c.setting);
        Picture picture(&portfolio_);
        portfolio_.ClearModified();
        const std::string path = dir / c.file;
        ASSERT_TRUE(picture.LoadFromFile(path));
        EXPECT_EQ(picture.GetBitmap()->GetWidth(), c.w) << c.file << " " << c.setting;
        EXPECT_EQ(picture.GetBitmap()->GetHeight(), c.h) << c.file << " " << c.setting;
        EXPECT_EQ(picture.GetFileName(), path);
        EXPECT_EQ(picture.GetHash(), Md5Sum(path));
        EXPECT_TRUE(portfolio_.IsModified());
    }
}

TEST_F(PictureTest, FailedReloadKeepsTheOldPicture)
{
    TempDir dir;
    const std::string good = WriteImageFile(dir, "good.png", 40, 30);
    const std::string corrupt = dir.Write("corrupt.png", std::string("\x89PNG\r\n\x1a\nnot really", 18));
    const std::string empty = dir.Write("empty.png", "");

    Picture picture(&portfolio_);
    ASSERT_TRUE(picture.LoadFromFile(good));
    const std::string hash = picture.GetHash();
    ASSERT_EQ(hash.size(), 32u);

    for (const std::string& bad : {corrupt, empty, dir / "missing.png", dir.Path().string()}) {
        portfolio_.ClearModified();
        EXPECT_FALSE(picture.LoadFromFile(bad)) << bad;
        ASSERT_NE(picture.GetBitmap(), nullptr) << bad;
        EXPECT_EQ(picture.GetBitmap()->GetWidth(), 40) << bad;
        EXPECT_EQ(picture.GetFileName(), good) << bad;
        EXPECT_EQ(picture.GetHash(), hash) << bad;
        EXPECT_FALSE(portfolio_.IsModified()) << bad;
    }

    // The picture is still whole: it can be written for a portfolio file.
    TMemoryStream out;
    EXPECT_TRUE(picture.SaveToStream(out));

    // A failed first load leaves a picture without image.
    Picture fresh(&portfolio_);
    EXPECT_FALSE(fresh.LoadFromFile(corrupt));
    EXPECT_EQ(fresh.GetBitmap(), nullptr);
    EXPECT_EQ(fresh.GetFileName(), "");
}

TEST_F(PictureTest, StreamLoadRecordsTheDigestOfTheBytes)
{
    TempDir dir;
    TMemoryStream bmp;
    WriteBmp(bmp, 12, 7);
    bmp.SaveToFile(dir / "a.bmp");
    bmp.SetPosition(5);   // the whole stream counts, wherever it stands

    Picture picture(&portfolio_);
    picture.SetFileName("C:\\Art\\a.bmp");
    ASSERT_TRUE(picture.LoadFromStream(bmp));
    EXPECT_EQ(picture.GetHash(), Md5Sum(dir / "a.bmp"));
    EXPECT_EQ(picture.GetBitmap()->GetWidth(), 12);
    EXPECT_EQ(picture.GetFileName(), "C:\\Art\\a.bmp");

    TMemoryStream junk;
    junk.Write("BMjunk", 6);
    EXPECT_FALSE(picture.LoadFromStream(junk));
    EXPECT_EQ(picture.GetBitmap()->GetWidth(), 12);
    EXPECT_EQ(picture.GetHash(), Md5Sum(dir / "a.bmp"));

    TMemoryStream nothing;
    Picture empty(&portfolio_);
    EXPECT_FALSE(empty.LoadFromStream(nothing));
    EXPECT_EQ(empty.GetBitmap(), nullptr);
}

TEST_F(PictureTest, DeepColourPngCanBeStoredAsBmp)
{
    TempDir dir;
    const std::string path = dir / "deep.png";
    {
        FIBITMAP* dib = FreeImage_AllocateT(FIT_RGB16, 9, 5);
        ASSERT_NE(dib, nullptr);
        auto* row = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(dib, 0));
        row[0].red = 0xFFFF;
        ASSERT_TRUE(FreeImage_Save(FIF_PNG, dib, path.c_str(), 0));
        FreeImage_Unload(dib);
    }
    const std::string bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 26u);
    ASSERT_EQ(bytes[24], 16) << "fixture must be 16 bits per channel";
    ASSERT_EQ(bytes[25], 2) << "fixture must be RGB";

    Picture picture(&portfolio_);
    ASSERT_TRUE(picture.LoadFromFile(path));
    TMemoryStream out;
    ASSERT_TRUE(picture.SaveToStream(out));
    ASSERT_GT(out.GetSize(), 2);
    EXPECT_EQ(out.Memory()[0], 'B');
    EXPECT_EQ(out.Memory()[1], 'M');

    // What the portfolio file stores reads back as the same artwork.
    Picture again(&portfolio_);
    out.SetPosition(0);
    ASSERT_TRUE(again.LoadFromStream(out));
    EXPECT_EQ(again.GetBitmap()->GetWidth(), 9);
    EXPECT_EQ(again.GetBitmap()->GetHeight(), 5);
}

TEST_F(PictureTest, SaveToFolderUsesTheSourceFileName)
{
    TempDir source;
    TempDir out;
    const std::string sun = WriteImageFile(source, "sun.png", 16, 16);
    Picture picture(&portfolio_);
    EXPECT_FALSE(picture.SaveToFolder(out.Path().string())) << "no image yet";
    ASSERT_TRUE(picture.LoadFromFile(sun));

    ASSERT_TRUE(picture.SaveToFolder(out.Path().string()));
    EXPECT_EQ(ReadFileBytes(out / "sun.png").substr(1, 3), "PNG");

    const struct {
        const char* stored;
        const char* written;   // nullptr: refused
    } cases[] = {
        {"C:\\Users\\ann\\moon.jpg", "moon.jpg"},
        {"D:\\mixed/dir\\star.bmp", "star.bmp"},
        {"/home/ann/art.xyz", nullptr},          // no encoder for the extension
        {"C:\\Art\\..", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        picture.SetFileName(c.stored);
        EXPECT_EQ(picture.SaveToFolder(out.Path().string()), c.written != nullptr) << c.stored;
        if (c.written) {
            EXPECT_TRUE(std::filesystem::is_regular_file(out / c.written)) << c.stored;
        }
    }
    // Nothing escaped the output folder.
    EXPECT_FALSE(std::filesystem::exists(out.Path().parent_path() / "art.xyz"));
}

TEST_F(PictureTest, EditsChangeTheImageOnlyWhenTheyWork)
{
    Picture empty(&portfolio_);
    portfolio_.ClearModified();
    EXPECT_FALSE(empty.Rotate());
    EXPECT_FALSE(empty.FlipHorizontal());
    EXPECT_FALSE(empty.FlipVertical());
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
    EXPECT_FALSE(portfolio_.IsModified());

    TMemoryStream bmp;
    WriteBmp(bmp, 30, 20);
    Picture picture(&portfolio_);
    ASSERT_TRUE(picture.LoadFromStream(bmp));

    portfolio_.ClearModified();
    EXPECT_FALSE(picture.Crop(0, 0, 31, 20)) << "past the right edge";
    EXPECT_FALSE(picture.Crop(-1, 0, 5, 5)) << "left of the image";
    EXPECT_FALSE(picture.Crop(0, 0, 30, 21)) << "below the image";
    EXPECT_EQ(picture.GetBitmap()->GetWidth(), 30);
    EXPECT_FALSE(portfolio_.IsModified());

    EXPECT_TRUE(picture.Crop(2, 3, 12, 8));
    EXPECT_EQ(picture.GetBitmap()->GetWidth(), 10);
    EXPECT_EQ(picture.GetBitmap()->GetHeight(), 5);
    EXPECT_TRUE(portfolio_.IsModified());

    portfolio_.ClearModified();
    EXPECT_TRUE(picture.Rotate());
    EXPECT_EQ(picture.GetBitmap()->GetWidth(), 5);
    EXPECT_EQ(picture.GetBitmap()->GetHeight(), 10);
    EXPECT_TRUE(portfolio_.IsModified());

    portfolio_.ClearModified();
    EXPECT_TRUE(picture.FlipHorizontal());
    EXPECT_TRUE(portfolio_.IsModified());
    portfolio_.ClearModified();
    EXPECT_TRUE(picture.FlipVertical());
    EXPECT_TRUE(portfolio_.IsModified());
}

TEST_F(PictureTest, TextsAreKeptEscaped)
{
    Picture picture(&portfolio_);
    picture.SetTitle("Sun & <Moon>");
    picture.SetMedia("Oil\non canvas");
    picture.SetDimensions("30\" x 40\"");
    picture.SetDescription("&lt;");
    EXPECT_EQ(picture.GetTitle(false), "Sun &amp; &lt;Moon&gt;");
    EXPECT_EQ(picture.GetTitle(true), "Sun & <Moon>");
    EXPECT_EQ(picture.GetMedia(false), "Oil&break;on canvas");
    EXPECT_EQ(picture.GetDimensions(true), "30\" x 40\"");
    EXPECT_EQ(picture.GetDescription(true), "&lt;");
}

TEST_F(PictureTest, IdHoldsCounterAndUtcTime)
{
    const std::regex format("[0-9A-F]{20}");
    const std::time_t before = std::time(nullptr);
    Picture a(&portfolio_);
    Picture b(&portfolio_);
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(std::regex_match(a.GetID(), format)) << a.GetID();
    ASSERT_TRUE(std::regex_match(b.GetID(), format)) << b.GetID();

    // Each construction advances the counter twice.
    const unsigned long counterA = std::stoul(a.GetID().substr(0, 8), nullptr, 16);
    const unsigned long counterB = std::stoul(b.GetID().substr(0, 8), nullptr, 16);
    EXPECT_EQ((counterB - counterA) & 0xFFFFFFFFul, 2ul);

    auto timeText = [](std::time_t t) {
        std::tm utc{};
        gmtime_r(&t, &utc);
        char text[16];
        std::snprintf(text, sizeof text, "%04X%04X%04X", utc.tm_hour, utc.tm_min, utc.tm_sec);
        return std::string(text);
    };
    const std::string suffix = a.GetID().substr(8);
    EXPECT_TRUE(suffix == timeText(before) || suffix == timeText(after)) << suffix;

    portfolio_.ClearModified();
    const std::string old = a.GetID();
    a.NewID();
    EXPECT_NE(a.GetID(), old);
    EXPECT_TRUE(portfolio_.IsModified());
}

TEST_F(PictureTest, IdsStayUniqueAcrossThreads)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    std::vector<std::vector<std::string>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                Picture picture(&portfolio_);
                ids[t].push_back(picture.GetID());
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    // The time part may be equal; the counter part must never be.
    std::set<std::string> counters;
    for (const auto& list : ids)
        for (const auto& id : list)
            counters.insert(id.substr(0, 8));
    EXPECT_EQ(counters.size(), static_cast<size_t>(kThreads * kPerThread));
    EXPECT_TRUE(portfolio_.IsModified());
}

TEST_F(PictureTest, SpecialFilesAreRefusedAtOnce)
{
    TempDir dir;
    ExpectSpecialFilesRefused(dir.Path().string(), ".jpg", [this](const std::string& path) {
        Picture picture(&portfolio_);
        return picture.LoadFromFile(path);
    });
}

// A camera portrait is upright as an artwork, and stays so when it is
// shrunk on import and when it goes through a portfolio item and back.
TEST_F(PictureTest, CameraPortraitsAreUprightFromImportOn)
{
    TempDir dir;
    ASSERT_TRUE(WriteCameraPhotos(dir.Path().string()));
    Options::Instance()->SetPictureSize(0);  // 320 pixels: no shrinking of 160 x 80
    for (const int orientation : {3, 6, 8}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const std::string path = dir / ("o" + std::to_string(orientation) + ".jpg");
        Picture picture(&portfolio_);
        ASSERT_TRUE(picture.LoadFromFile(path));
        EXPECT_EQ(picture.GetHash(), Md5Sum(path));
        EXPECT_EQ(UprightProblem(ScreenImage(*picture.GetBitmap())), "");

        TMemoryStream item;
        ASSERT_TRUE(picture.SaveToStream(item));
        item.SetPosition(0);
        Picture reopened(&portfolio_);
        ASSERT_TRUE(reopened.LoadFromStream(item));
        EXPECT_EQ(UprightProblem(ScreenImage(*reopened.GetBitmap())), "");
    }
}
