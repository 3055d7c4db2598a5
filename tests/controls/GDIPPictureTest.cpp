// The picture: bytes kept as loaded, events, drawing; and the header readers
// over files written by real programs.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <cstdlib>
#include <vector>

#include "controls/GDIPPicture.h"
#include "platform/resources/Resources.h"
#include "tests/controls/DrawingFixture.h"
#include "tests/support/TempDir.h"

namespace {

QByteArray Encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

std::string Str(const QByteArray& bytes) { return std::string(bytes.constData(), size_t(bytes.size())); }

TMemoryStream StreamOf(const std::string& bytes)
{
    TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
    return stream;
}

void Put32(std::string& s, size_t at, uint32_t v, bool big)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = char(big ? v >> (24 - 8 * i) : v >> (8 * i));
}

using Reader = void (*)(const std::string&, uint32_t&, uint32_t&);

}  // namespace

class HeaderReaders : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        dir->Write("qt.png", Str(Encode(Solid(143, 100, qRgb(1, 2, 3)), "png")));
        dir->Write("qt.bmp", Str(Encode(Solid(37, 21, qRgb(1, 2, 3)), "bmp")));
        dir->Write("qt.jpg", Str(Encode(Solid(64, 48, qRgb(1, 2, 3)), "jpeg")));
        // Pillow: a progressive JPEG behind an EXIF segment, a GIF whose
        // transparent index (44) and comment hold the byte of an image
        // separator before the image, an icon of 16, 48 and 256 pixels, and a
        // TIFF that tiffcp turns big-endian.
        const std::string script =
            "import sys, subprocess\n"
            "from PIL import Image\n"
            "d = sys.argv[1]\n"
            "im = Image.new('RGB', (90, 60), (200, 10, 10))\n"
            "exif = Image.Exif(); exif[0x010F] = 'maker, with commas'\n"
            "im.save(d + '/progressive.jpg', progressive=True, exif=exif.tobytes())\n"
            "g = Image.new('P', (33, 17), 44)\n"
            "g.save(d + '/pillow.gif', transparency=44, comment=b'a,b,,c,')\n"
            "Image.new('RGBA', (256, 256), (0, 0, 255, 255)).save(d + '/pillow.ico',"
            " sizes=[(16, 16), (48, 48), (256, 256)])\n"
            "Image.new('RGB', (70, 90)).save(d + '/little.tiff')\n"
            "subprocess.check_call(['tiffcp', '-B', d + '/little.tiff', d + '/big.tiff'])\n";
        const std::string path = dir->Write("make.py", script);
        std::string out;
        ASSERT_EQ(RunCommand("/usr/bin/python3 " + path + " '" + dir->Path().string() + "' 2>&1", &out), 0) << out;

        // A top-down bitmap: height −100.
        std::string bmp = Str(Encode(Solid(3, 100, qRgb(9, 9, 9)), "bmp"));
        Put32(bmp, 22, uint32_t(-100), false);
        dir->Write("topdown.bmp", bmp);
        // A PNG header 70,000 pixels wide.
        std::string png = Str(Encode(Solid(2, 5, qRgb(9, 9, 9)), "png"));
        Put32(png, 16, 70000, true);
        dir->Write("wide.png", png);
        dir->Write("short.png", png.substr(0, 20));
        dir->Write("short.bmp", bmp.substr(0, 20));
        dir->Write("wrong.bin", std::string(64, 'x'));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static TempDir* dir;
};
TempDir* HeaderReaders::dir = nullptr;

TEST_F(HeaderReaders, SizesOfFilesWrittenByRealPrograms)
{
    struct Case {
        Reader reader;
        const char* file;
        uint32_t width, height;
    } cases[] = {
        {GetPNGSize, "qt.png", 143, 100},       {GetBMPSize, "qt.bmp", 37, 21},
        {GetJPGSize, "qt.jpg", 64, 48},         {GetJPGSize, "progressive.jpg", 90, 60},
        {GetGIFSize, "pillow.gif", 33, 17},     {GetICOSize, "pillow.ico", 48, 48},
        {GetTifSize, "big.tiff", 70, 90},       {GetTifSize, "little.tiff", 70, 90},
        {GetBMPSize, "topdown.bmp", 3, 100},    {GetPNGSize, "wide.png", 70000, 5},
    };
    for (const Case& c : cases) {
        uint32_t w = 1, h = 1;
        c.reader(*dir / c.file, w, h);
        EXPECT_EQ(c.width, w) << c.file;
        EXPECT_EQ(c.height, h) << c.file;
    }
}

TEST_F(HeaderReaders, MissingShortAndForeignFilesGiveZero)
{
    const Reader readers[] = {GetJPGSize, GetPNGSize, GetGIFSize, GetBMPSize, GetTifSize, GetICOSize};
    const char* files[] = {"missing.png", "short.png", "short.bmp", "wrong.bin", ""};
    for (Reader reader : readers)
        for (const char* file : files) {
            uint32_t w = 7, h = 7;
            EXPECT_NO_THROW(reader(*file ? *dir / file : std::string(), w, h));
            EXPECT_EQ(0u, w) << file;
            EXPECT_EQ(0u, h) << file;
        }
    // Each reader refuses the others' files.
    uint32_t w = 7, h = 7;
    GetTifSize(*dir / "qt.png", w, h);
    EXPECT_EQ(0u, w + h);
    GetGIFSize(*dir / "qt.bmp", w, h);
    EXPECT_EQ(0u, w + h);
}

TEST(GDIPPicture, EmptyStreamChangesNothingAndFiresNothing)
{
    TGDIPPicture picture;
    TMemoryStream png = StreamOf(Str(Encode(Solid(143, 100, qRgb(1, 2, 3)), "png")));
    picture.LoadFromStream(&png);
    ASSERT_EQ(143, picture.Width());
    int events = 0;
    picture.OnChange = [&] { ++events; };
    picture.OnClear = [&] { ++events; };
    TMemoryStream empty;
    picture.LoadFromStream(&empty);
    picture.LoadFromStream(nullptr);
    picture.SetWidth(500);
    EXPECT_EQ(0, events);
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(143, picture.Width());
    EXPECT_EQ(100, picture.Height());
    EXPECT_EQ(png.GetSize(), picture.Data().GetSize());
}

TEST(GDIPPicture, AssignNothingFiresChangeBeforeClearAndSelfAssignKeepsBytes)
{
    TGDIPPicture picture;
    TMemoryStream png = StreamOf(Str(Encode(Solid(10, 10, qRgb(1, 2, 3)), "png")));
    picture.LoadFromStream(&png);
    std::string order;
    picture.OnChange = [&] { order += "change "; };
    picture.OnClear = [&] { order += "clear "; };

    picture.Assign(&picture);
    EXPECT_EQ("", order);
    EXPECT_EQ(png.GetSize(), picture.Data().GetSize());
    EXPECT_FALSE(picture.Empty());

    picture.Assign(nullptr);
    EXPECT_EQ("change clear ", order);
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(0, picture.Data().GetSize());

    // A bitmap is kept as BMP bytes with its size.
    const QImage bitmap = Solid(7, 5, qRgb(4, 5, 6));
    picture.Assign(&bitmap);
    EXPECT_EQ(std::string("BM"), std::string(reinterpret_cast<const char*>(picture.Data().Memory()), 2));
    EXPECT_EQ(7, picture.Width());
    EXPECT_EQ(5, picture.Height());
    TGDIPPicture copy;
    copy.Assign(&picture);
    EXPECT_EQ(7, copy.Width());
    EXPECT_FALSE(copy.Empty());
}

TEST(GDIPPicture, TransparentBitmapKeepsItsSizeAndPngStretches)
{
    QImage bmpImage = Solid(20, 10, qRgb(0, 200, 0));
    bmpImage.setPixel(0, 9, qRgb(255, 0, 255));  // bottom-left: the key colour
    bmpImage.setPixel(5, 5, qRgb(255, 0, 255));
    TMemoryStream bmp = StreamOf(Str(Encode(bmpImage, "bmp")));
    TGDIPPicture bitmap;
    bitmap.LoadFromStream(&bmp);
    bitmap.SetTransparent(true);

    DrawingSurface surface(220, 220, qRgb(255, 255, 255));
    bitmap.GDIPDraw(&surface.G(), TRect{0, 0, 200, 200});
    const QImage& out = surface.Finish();
    EXPECT_TRUE(Near(qRgb(0, 200, 0), out.pixel(10, 2)));
    EXPECT_TRUE(Near(qRgb(255, 255, 255), out.pixel(5, 5))) << "key colour is transparent";
    EXPECT_TRUE(Near(qRgb(255, 255, 255), out.pixel(25, 2))) << "drawn at its own size";
    EXPECT_EQ(24, bitmap.PixelDepth);

    TMemoryStream png = StreamOf(Str(Encode(Solid(20, 10, qRgb(0, 0, 200)), "png")));
    TGDIPPicture picture;
    picture.LoadFromStream(&png);
    DrawingSurface surface2(220, 220, qRgb(255, 255, 255));
    picture.GDIPDraw(&surface2.G(), TRect{0, 0, 200, 200});
    const QImage& out2 = surface2.Finish();
    EXPECT_TRUE(Near(qRgb(0, 0, 200), out2.pixel(190, 190)));
    EXPECT_TRUE(Near(qRgb(255, 255, 255), out2.pixel(205, 205)));
}

TEST(GDIPPicture, UndecodableBytesAreHeldButDrawNothing)
{
    TGDIPPicture picture;
    TMemoryStream junk = StreamOf("this is no picture at all");
    picture.LoadFromStream(&junk);
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(0, picture.Width());
    EXPECT_EQ(0, picture.Height());
    DrawingSurface surface(40, 40, qRgb(255, 255, 255));
    picture.GDIPDraw(&surface.G(), TRect{0, 0, 40, 40});
    picture.FillRect(&surface.G(), MakeRect(0.f, 0.f, 40.f, 40.f));
    const QImage before = Solid(40, 40, qRgb(255, 255, 255)).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(before, surface.Finish());
}

TEST(GDIPPicture, UrlsLoadResourcesAndFiles)
{
    static const QByteArray png = Encode(Solid(12, 8, qRgb(1, 2, 3)), "png");
    static const ResourceEntry entries[] = {
        {"RC_DATA", "PICTURE_TEST_IMAGE", reinterpret_cast<const unsigned char*>(png.constData()), size_t(png.size())}};
    static const bool registered = (RegisterResourceTable(entries, 1), true);
    ASSERT_TRUE(registered);

    TGDIPPicture picture;
    int changes = 0;
    picture.OnChange = [&] { ++changes; };
    picture.LoadFromURL("file://");
    picture.LoadFromURL("res://no_such_picture");
    picture.LoadFromURL("http://example/x.png");
    EXPECT_EQ(0, changes);
    EXPECT_TRUE(picture.Empty());
    picture.LoadFromURL("res://picture_test_image");
    EXPECT_EQ(1, changes);
    EXPECT_EQ(12, picture.Width());
    EXPECT_THROW(picture.LoadFromResourceID(4711), Exception);

    // A file load takes the size from the header; an icon's is learnt only
    // by decoding.
    TempDir dir;
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(qRgb(1, 1, 1));
    const std::string ico = dir.Write("a.ico", Str(Encode(icon, "ico")));
    std::string order;
    picture.OnChange = [&] { order += "change "; };
    picture.OnClear = [&] { order += "clear "; };
    picture.LoadFromURL("FILE://" + ico);
    EXPECT_EQ("clear change ", order);
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(0, picture.Width());
    EXPECT_TRUE(picture.GetImageSizes());
    EXPECT_EQ(32, picture.Width());

    order.clear();
    picture.LoadFromFile(dir / "missing.png");
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ("", order);
}
