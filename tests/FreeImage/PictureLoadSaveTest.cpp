#include <gtest/gtest.h>

#include <QImageReader>
#include <algorithm>
#include <filesystem>

#include "FreeImage/FreeMemoryIO.h"
#include "FreeImage/FreeWinBitmap.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/BmpFile.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string WriteWithQt(const TempDir& dir, const std::string& name, const char* format)
{
    const std::string path = dir / name;
    EXPECT_TRUE(CornerImage().save(QString::fromStdString(path), format)) << name;
    return path;
}

// GIF is written by the image library itself (Qt only reads it).
std::string WriteGif(const TempDir& dir, const std::string& name)
{
    const std::string png = WriteWithQt(dir, "for-gif.png", "PNG");
    FIBITMAP* colour = FreeImage_Load(FIF_PNG, png.c_str(), 0);
    FIBITMAP* c24 = FreeImage_ConvertTo24Bits(colour);
    FIBITMAP* palette = FreeImage_ColorQuantize(c24, FIQ_WUQUANT);
    const std::string path = dir / name;
    EXPECT_TRUE(FreeImage_Save(FIF_GIF, palette, path.c_str(), 0));
    FreeImage_Unload(palette);
    FreeImage_Unload(c24);
    FreeImage_Unload(colour);
    return path;
}

const Corners kCorners{kTopLeft, kTopRight, kBottomLeft, kBottomRight};

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

TEST(PictureLoad, LosslessFormatsKeepEveryCorner)
{
    TempDir dir;
    const std::vector<std::string> files = {
        WriteWithQt(dir, "a.png", "PNG"),
        WriteWithQt(dir, "a.bmp", "BMP"),
        WriteWithQt(dir, "a.tif", "TIFF"),
        WriteGif(dir, "a.gif"),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(file));
        EXPECT_EQ(bitmap.GetWidth(), 4);
        EXPECT_EQ(bitmap.GetHeight(), 3);
        EXPECT_EQ(CornersOf(Shown(bitmap)), kCorners);
    }
}

TEST(PictureLoad, JpegDecodesCloseToTheOriginal)
{
    TempDir dir;
    QImage quadrants(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            quadrants.setPixel(x, y, y < 16 ? (x < 16 ? kTopLeft : kTopRight)
                                            : (x < 16 ? kBottomLeft : kBottomRight));
    const std::string path = dir / "q.jpg";
    ASSERT_TRUE(quadrants.save(QString::fromStdString(path), "JPEG", 95));

    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(path));
    const QImage shown = Shown(bitmap);
    EXPECT_TRUE(Near(shown.pixel(4, 4), kTopLeft, 12));
    EXPECT_TRUE(Near(shown.pixel(27, 4), kTopRight, 12));
    EXPECT_TRUE(Near(shown.pixel(4, 27), kBottomLeft, 12));
    EXPECT_TRUE(Near(shown.pixel(27, 27), kBottomRight, 12));
}

TEST(PictureLoad, ContentDecidesOverTheExtension)
{
    TempDir dir;
    const std::string png = WriteWithQt(dir, "a.png", "PNG");
    const std::string misnamed = dir / "really-a-png.jpg";
    fs::copy_file(png, misnamed);
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(misnamed));
    EXPECT_EQ(CornersOf(Shown(bitmap)), kCorners);
}

TEST(PictureLoad, BadFilesFailCleanly)
{
    TempDir dir;
    const std::string png = ReadFileBytes(WriteWithQt(dir, "good.png", "PNG"));
    struct Case {
        const char* name;
        std::string bytes;
        bool create;
    };
    const Case cases[] = {
        {"garbage.png", std::string(300, '\x5a'), true},
        {"empty.bmp", "", true},
        {"header-only.png", png.substr(0, 40), true},
        {"no-extension", "not a picture at all", true},
        {"missing.png", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.create ? dir.Write(c.name, c.bytes) : dir / c.name;
        TFreeWinBitmap bitmap;
        EXPECT_FALSE(bitmap.Load(path));
        EXPECT_FALSE(bitmap.IsValid());
        EXPECT_EQ(bitmap.CopyToBitmapH(), kNullBitmap);
    }
}

TEST(PictureLoad, UnrecognisedFileKeepsTheCurrentImage)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "a.png", "PNG")));
    // Neither content nor name gives a format: nothing is touched.
    EXPECT_FALSE(bitmap.Load(dir.Write("notes.txt", "hello")));
    ASSERT_TRUE(bitmap.IsValid());
    EXPECT_EQ(CornersOf(Shown(bitmap)), kCorners);
}

TEST(PictureLoad, SixteenBitsPerChannelBecomeStandardAndStoreAsBmp)
{
    TempDir dir;
    // A 48-bit PNG with a known top-left pixel.
    FIBITMAP* rgb16 = FreeImage_AllocateT(FIT_RGB16, 3, 2);
    for (unsigned y = 0; y < 2; ++y) {
        auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(rgb16, y));
        for (unsigned x = 0; x < 3; ++x)
            line[x] = FIRGB16{0x1000, 0x2000, 0x3000};
    }
    reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(rgb16, 1))[0] = FIRGB16{0xFFFF, 0x8000, 0x0000};
    const std::string png = dir / "deep.png";
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, rgb16, png.c_str(), 0));
    FreeImage_Unload(rgb16);
    const std::string bytes = ReadFileBytes(png);
    ASSERT_GT(bytes.size(), 26u);
    ASSERT_EQ(bytes[24], 16) << "fixture is not a 16-bit PNG";
    ASSERT_EQ(bytes[25], 2) << "fixture is not an RGB PNG";

    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(png));
    EXPECT_EQ(bitmap.GetImageType(), FIT_BITMAP);
    EXPECT_EQ(bitmap.GetBitsPerPixel(), 24);
    const std::string bmp = dir / "deep.bmp";
    ASSERT_TRUE(bitmap.Save(bmp));

    const QImage reread(QString::fromStdString(bmp));
    ASSERT_FALSE(reread.isNull());
    EXPECT_EQ(reread.pixel(0, 0), qRgb(0xFF, 0x80, 0x00));
    EXPECT_EQ(reread.pixel(2, 1), qRgb(0x10, 0x20, 0x30));
}

TEST(PictureLoad, OtherSixteenBitKindsBecomeStandard)
{
    TempDir dir;
    struct Case {
        FREE_IMAGE_TYPE type;
        int bpp;
        int expectedBpp;
    };
    for (const Case c : {Case{FIT_RGBA16, 64, 32}, Case{FIT_UINT16, 16, 8}}) {
        SCOPED_TRACE(c.type);
        FIBITMAP* deep = FreeImage_AllocateT(c.type, 2, 2, c.bpp);
        const std::string path = dir / ("deep" + std::to_string(c.type) + ".png");
        ASSERT_TRUE(FreeImage_Save(FIF_PNG, deep, path.c_str(), 0));
        FreeImage_Unload(deep);
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(path));
        EXPECT_EQ(bitmap.GetImageType(), FIT_BITMAP);
        EXPECT_EQ(bitmap.GetBitsPerPixel(), c.expectedBpp);
        EXPECT_TRUE(bitmap.CanSave(FIF_BMP));
    }
}

// Floating-point colour and single-sample kinds other than 16-bit grey load
// fine, but no BMP can hold them: an artwork of one would make every save of
// its portfolio fail.
TEST(PictureLoad, NonStandardSampleKindsBecomeStandardAndStoreAsBmp)
{
    TempDir dir;
    struct Case {
        const char* what;
        FREE_IMAGE_TYPE type;
        int bpp;
        FREE_IMAGE_FORMAT format;
        const char* extension;
        int expectedBpp;
    };
    const Case cases[] = {
        {"float colour TIFF", FIT_RGBF, 96, FIF_TIFF, "tif", 24},
        {"float colour with alpha", FIT_RGBAF, 128, FIF_TIFF, "tif", 24},
        {"float grey", FIT_FLOAT, 32, FIF_TIFF, "tif", 8},
        {"double grey", FIT_DOUBLE, 64, FIF_TIFF, "tif", 8},
        {"signed 16-bit grey", FIT_INT16, 16, FIF_TIFF, "tif", 8},
        {"32-bit grey", FIT_UINT32, 32, FIF_TIFF, "tif", 8},
        {"complex", FIT_COMPLEX, 128, FIF_TIFF, "tif", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FIBITMAP* deep = FreeImage_AllocateT(c.type, 3, 2, c.bpp);
        ASSERT_NE(deep, nullptr);
        const std::string path = dir / (std::string("deep") + std::to_string(&c - cases) + "." + c.extension);
        ASSERT_TRUE(FreeImage_Save(c.format, deep, path.c_str(), 0));
        FreeImage_Unload(deep);

        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(path));
        EXPECT_EQ(bitmap.GetImageType(), FIT_BITMAP);
        EXPECT_EQ(bitmap.GetBitsPerPixel(), c.expectedBpp);
        EXPECT_EQ(bitmap.GetWidth(), 3);
        EXPECT_EQ(bitmap.GetHeight(), 2);
        TMemoryStream bmp;
        EXPECT_TRUE(bitmap.SaveToStream(FIF_BMP, bmp));
        EXPECT_GT(bmp.GetSize(), 0);
    }
}

// A float grey image keeps its light and dark parts apart when it is brought
// down to 8 bits.
TEST(PictureLoad, FloatGreyIsScaledOverItsRange)
{
    TempDir dir;
    FIBITMAP* grey = FreeImage_AllocateT(FIT_FLOAT, 2, 1);
    auto* line = reinterpret_cast<float*>(FreeImage_GetScanLine(grey, 0));
    line[0] = 0.0f;
    line[1] = 1.0f;
    const std::string path = dir / "grey.tif";
    ASSERT_TRUE(FreeImage_Save(FIF_TIFF, grey, path.c_str(), 0));
    FreeImage_Unload(grey);

    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(path));
    const QImage shown = Shown(bitmap);
    ASSERT_EQ(shown.size(), QSize(2, 1));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(1, 0), qRgb(255, 255, 255));
}

TEST(PictureStream, BmpRoundTripThroughAMemoryStream)
{
    TempDir dir;
    TFreeWinBitmap original;
    ASSERT_TRUE(original.Load(WriteWithQt(dir, "a.png", "PNG")));

    TMemoryStream stream;
    stream.WriteBuffer("head", 4);
    ASSERT_TRUE(original.SaveToStream(FIF_BMP, stream));
    ASSERT_GT(stream.GetSize(), 4 + 54);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), 6), "headBM")
        << "the encoded picture goes at the stream's position";

    TMemoryStream bmp;
    bmp.WriteBuffer(stream.Memory() + 4, stream.GetSize() - 4);
    bmp.SetPosition(0);
    TFreeWinBitmap copy;
    ASSERT_TRUE(copy.LoadFromStream(bmp));
    EXPECT_EQ(copy.GetWidth(), 4);
    EXPECT_EQ(copy.GetHeight(), 3);
    EXPECT_EQ(CornersOf(Shown(copy)), kCorners);
    // Another decoder agrees on the bytes.
    QImage byQt;
    ASSERT_TRUE(byQt.loadFromData(bmp.Memory(), static_cast<int>(bmp.GetSize()), "BMP"));
    EXPECT_EQ(CornersOf(byQt), kCorners);
}

TEST(PictureStream, WritesTheBytesOfTheLibrarysOwnEncoder)
{
    TempDir dir;
    const struct {
        const char* name;
        FREE_IMAGE_FORMAT format;
        bool (TFreeBitmap::*convert)();
    } cases[] = {{"24-bit BMP", FIF_BMP, &TFreeBitmap::ConvertTo24Bits},
                 {"32-bit BMP", FIF_BMP, &TFreeBitmap::ConvertTo32Bits},
                 {"palette BMP", FIF_BMP, &TFreeBitmap::ConvertTo8Bits},
                 {"PNG", FIF_PNG, &TFreeBitmap::ConvertTo24Bits}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFreeWinBitmap bitmap;
        ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "a.png", "PNG")));
        ASSERT_TRUE((bitmap.*c.convert)());
        TFreeMemoryIO memory;
        ASSERT_TRUE(bitmap.SaveToMemory(c.format, memory));
        BYTE* data = nullptr;
        DWORD size = 0;
        ASSERT_TRUE(memory.Acquire(&data, &size));
        TMemoryStream stream;
        ASSERT_TRUE(bitmap.SaveToStream(c.format, stream));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize())),
                  std::string(reinterpret_cast<const char*>(data), size));
    }
}

TEST(PictureStream, TheStreamsWriteErrorReachesTheCaller)
{
    // A stream that takes the first bytes and then fails, as a full disk does.
    class TFailingStream : public TMemoryStream {
    public:
        int64_t Write(const void* buffer, int64_t count) override
        {
            if (GetSize() + count > 20)
                throw EWriteError("no room left");
            return TMemoryStream::Write(buffer, count);
        }
    };
    TempDir dir;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "a.png", "PNG")));
    TFailingStream stream;
    EXPECT_THROW(bitmap.SaveToStream(FIF_BMP, stream), EWriteError);
    ASSERT_TRUE(bitmap.IsValid());
}

TEST(PictureStream, EmptyOrUnknownStreamIsRefusedAndKeepsTheImage)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "a.png", "PNG")));

    TMemoryStream empty;
    EXPECT_FALSE(bitmap.LoadFromStream(empty));
    TMemoryStream junk;
    junk.WriteBuffer("definitely not an image", 23);
    junk.SetPosition(0);
    EXPECT_FALSE(bitmap.LoadFromStream(junk));
    ASSERT_TRUE(bitmap.IsValid());
    EXPECT_EQ(CornersOf(Shown(bitmap)), kCorners);
}

TEST(PictureStream, ReadingFromTheMiddleIsAReadError)
{
    TempDir dir;
    TMemoryStream stream;
    stream.LoadFromFile(WriteWithQt(dir, "a.png", "PNG"));
    stream.SetPosition(10);
    TFreeWinBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromStream(stream), EReadError);
    EXPECT_FALSE(bitmap.IsValid());
}

TEST(PictureStream, SaveWithoutAnImageWritesNothing)
{
    TFreeWinBitmap empty;
    TMemoryStream stream;
    EXPECT_FALSE(empty.SaveToStream(FIF_BMP, stream));
    EXPECT_EQ(stream.GetSize(), 0);
}

TEST(PictureSave, RoundTripsThroughFilesReadByAnotherDecoder)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "source.bmp", "BMP")));
    for (const char* name : {"out.png", "out.bmp", "out.tif"}) {
        SCOPED_TRACE(name);
        const std::string path = dir / name;
        ASSERT_TRUE(bitmap.Save(path));
        QImageReader reader(QString::fromStdString(path));
        const QImage byQt = reader.read();
        ASSERT_FALSE(byQt.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(CornersOf(byQt), kCorners);

        TFreeWinBitmap again;
        ASSERT_TRUE(again.Load(path));
        EXPECT_EQ(CornersOf(Shown(again)), kCorners);
    }
}

TEST(PictureSave, RefusalsWriteNothingAndKeepTheOldFile)
{
    TempDir dir;
    TFreeWinBitmap colour;  // 24 bits per pixel: GIF cannot hold it
    ASSERT_TRUE(colour.Load(WriteWithQt(dir, "a.bmp", "BMP")));
    ASSERT_EQ(colour.GetBitsPerPixel(), 24);
    const std::string oldGif = dir.Write("old.gif", "previous content");

    EXPECT_FALSE(colour.Save(oldGif));
    EXPECT_EQ(ReadFileBytes(oldGif), "previous content");
    EXPECT_FALSE(colour.Save(dir / "picture.unknownext"));
    EXPECT_FALSE(fs::exists(dir / "picture.unknownext"));
    EXPECT_FALSE(colour.Save(dir / "no-such-folder/picture.png"));
    EXPECT_FALSE(TFreeWinBitmap().Save(dir / "empty.png"));
    EXPECT_FALSE(fs::exists(dir / "empty.png"));

    // Nothing but the files written above is left in the folder.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "old.gif"}));
}

TEST(PictureSave, ReplacesAnExistingFileWhole)
{
    TempDir dir;
    TFreeWinBitmap bitmap;
    ASSERT_TRUE(bitmap.Load(WriteWithQt(dir, "a.png", "PNG")));
    const std::string target = dir.Write("target.png", std::string(100000, 'x'));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(bitmap.Save(target));
    TFreeWinBitmap again;
    ASSERT_TRUE(again.Load(target));
    EXPECT_EQ(CornersOf(Shown(again)), kCorners);
    EXPECT_LT(fs::file_size(target), 100000u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A few bytes whose header asks for more pixels than any picture needs are
// refused before the library allocates them, from a file and from a stream.
TEST(PictureLoad, HeadersAskingForTooManyPixelsAreRefusedUndecoded)
{
    // 8-bit run-length bitmap of 60000 x 60000 whose data ends at once.
    std::string rle = BmpHeaders(60000, 60000, 8, 1, 14 + 40 + 1024, 2, 256);
    rle.append(1024, '\0');
    rle += std::string("\0\1", 2);
    // GIF whose logical screen is 65535 x 65535.
    std::string gif = "GIF89a";
    PutLE(gif, 65535, 2);
    PutLE(gif, 65535, 2);
    gif += std::string("\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0;", 19);

    TempDir dir;
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"bomb.bmp", rle}, {"bomb.gif", gif}}) {
        SCOPED_TRACE(name);
        TFreeWinBitmap bitmap;
        EXPECT_FALSE(bitmap.Load(dir.Write(name, bytes)));
        EXPECT_FALSE(bitmap.IsValid());
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
        stream.SetPosition(0);
        EXPECT_FALSE(bitmap.LoadFromStream(stream));
        TFreeBitmap::Header header;
        ASSERT_TRUE(TFreeBitmap::ReadHeader(reinterpret_cast<const BYTE*>(bytes.data()), DWORD(bytes.size()), header));
        EXPECT_GT(header.width * header.height, TFreeBitmap::kMaxPixels);
        EXPECT_FALSE(header.WithinLimits());
    }
}
