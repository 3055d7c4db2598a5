// Images read from files and the frames of multi-frame files.
#include <gtest/gtest.h>

#include "platform/com/BStr.h"
#include "platform/gdiplus/GdiPlusFlat.h"
#include "platform/gdiplus/GdiPlusImage.h"
#include "platform/gdiplus/GdiPlusImageFile.h"
#include "platform/gdiplus/GdiPlusStartup.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

namespace {

// The files of tests/support/make_image_fixtures.py, written once.
const TempDir& Fixtures()
{
    static const TempDir dir;
    static const bool written = [] {
        std::string out;
        const int status =
            RunCommand(std::string("/usr/bin/python3 ") + FIXTURE_SCRIPT + " " + dir.Path().string(), &out);
        EXPECT_EQ(status, 0) << out;
        return status == 0;
    }();
    (void)written;
    return dir;
}

class ImageFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override
    {
        if (bitmap_)
            GdipDisposeImage(bitmap_);
        GdiplusShutdown(token_);
    }
    GpStatus Open(const std::string& name)
    {
        return GdipCreateBitmapFromFile(WideFromUtf8(Fixtures() / name).c_str(), &bitmap_);
    }

    ULONG_PTR token_ = 0;
    GpBitmap* bitmap_ = nullptr;
};

TEST_F(ImageFile, EachFileHasOneFrameDimension)
{
    const struct {
        std::string file;
        GUID dimension;
        UINT frames;
    } cases[] = {
        {"clear.png", FrameDimensionPage, 1},
        {"pages.tif", FrameDimensionPage, 2},
        {"frames.gif", FrameDimensionTime, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromFile(WideFromUtf8(Fixtures() / c.file).c_str(), &bitmap), Ok);
        UINT count = 0;
        ASSERT_EQ(GdipImageGetFrameDimensionsCount(bitmap, &count), Ok);
        ASSERT_EQ(count, 1u);
        GUID list[2];
        EXPECT_EQ(GdipImageGetFrameDimensionsList(bitmap, list, 2), InvalidParameter);
        ASSERT_EQ(GdipImageGetFrameDimensionsList(bitmap, list, 1), Ok);
        EXPECT_EQ(list[0], c.dimension);
        UINT frames = 0;
        ASSERT_EQ(GdipImageGetFrameCount(bitmap, &list[0], &frames), Ok);
        EXPECT_EQ(frames, c.frames);
        const GUID& other = c.dimension == FrameDimensionTime ? FrameDimensionPage : FrameDimensionTime;
        EXPECT_EQ(GdipImageGetFrameCount(bitmap, &other, &frames), InvalidParameter);
        GdipDisposeImage(bitmap);
    }
}

TEST_F(ImageFile, SelectingAFrameDecodesItAndBack)
{
    const struct {
        std::string file;
        GUID dimension;
        UINT frame;
        int width, height;
        QRgb colour;
    } steps[] = {
        {"pages.tif", FrameDimensionPage, 1, 6, 3, 0xFF0000FF},
        {"pages.tif", FrameDimensionPage, 0, 5, 4, 0xFF00FF00},
        {"frames.gif", FrameDimensionTime, 2, 4, 4, 0xFF0000FF},
        {"frames.gif", FrameDimensionTime, 1, 4, 4, 0xFF00FF00},
    };
    std::string open;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.file + " frame " + std::to_string(s.frame));
        if (s.file != open) {
            if (bitmap_)
                GdipDisposeImage(bitmap_);
            bitmap_ = nullptr;
            ASSERT_EQ(Open(s.file), Ok);
            open = s.file;
        }
        ASSERT_EQ(GdipImageSelectActiveFrame(bitmap_, &s.dimension, s.frame), Ok);
        UINT width = 0, height = 0;
        GdipGetImageWidth(bitmap_, &width);
        GdipGetImageHeight(bitmap_, &height);
        EXPECT_EQ(width, static_cast<UINT>(s.width));
        EXPECT_EQ(height, static_cast<UINT>(s.height));
        ARGB pixel = 0;
        ASSERT_EQ(GdipBitmapGetPixel(bitmap_, 0, 0, &pixel), Ok);
        EXPECT_EQ(pixel, s.colour);
    }
    // Past the last frame, or along a dimension the file lacks: refused, and
    // the frame shown stays.
    EXPECT_EQ(GdipImageSelectActiveFrame(bitmap_, &FrameDimensionTime, 3), InvalidParameter);
    EXPECT_EQ(GdipImageSelectActiveFrame(bitmap_, &FrameDimensionPage, 0), InvalidParameter);
    ARGB pixel = 0;
    GdipBitmapGetPixel(bitmap_, 0, 0, &pixel);
    EXPECT_EQ(pixel, 0xFF00FF00u);
}

TEST_F(ImageFile, FilesThatCannotBeReadAreToldApart)
{
    TempDir dir;
    const struct {
        const char* what;
        std::u16string name;
        GpStatus expected;
    } cases[] = {
        {"empty name", u"", InvalidParameter},
        {"missing", WideFromUtf8(dir / "missing.png"), FileNotFound},
        {"below a file", WideFromUtf8(Fixtures() / "clear.png/x.png"), FileNotFound},
        {"a folder", WideFromUtf8(dir.Path().string()), Win32Error},
        {"garbage", WideFromUtf8(Fixtures() / "garbage.png"), UnknownImageFormat},
    };
    for (const auto& c : cases) {
        GpBitmap* bitmap = reinterpret_cast<GpBitmap*>(1);
        EXPECT_EQ(GdipCreateBitmapFromFile(c.name.c_str(), &bitmap), c.expected) << c.what;
        EXPECT_EQ(bitmap, nullptr) << c.what;
    }
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &bitmap), InvalidParameter);

    // With the layer stopped nothing new is made.
    GdiplusShutdown(token_);
    EXPECT_EQ(GdipCreateBitmapFromFile(WideFromUtf8(Fixtures() / "clear.png").c_str(), &bitmap),
        GdiplusNotInitialized);
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
}

TEST_F(ImageFile, SpecialFilesAreRefusedAtOnce)
{
    TempDir dir;
    ExpectSpecialFilesRefused(dir.Path().string(), ".png", [](const std::string& path) {
        GpBitmap* bitmap = nullptr;
        const GpStatus status = GdipCreateBitmapFromFile(WideFromUtf8(path).c_str(), &bitmap);
        if (bitmap)
            GdipDisposeImage(bitmap);
        return status == Ok;
    });
    // The other way in, through the image interface.
    ExpectSpecialFilesRefused((dir / "image"), ".png", [](const std::string& path) {
        GpImage* image = nullptr;
        const GpStatus status = GdipLoadImageFromFile(WideFromUtf8(path).c_str(), &image);
        if (image)
            GdipDisposeImage(image);
        return status == Ok;
    });
}

} // namespace
