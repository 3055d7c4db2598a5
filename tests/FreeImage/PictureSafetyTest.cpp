// Files that a user or a received portfolio names in place of a picture:
// special files, formats the program does not offer, and small files whose
// decoded size their header does not tell.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <string>
#include <vector>

#include "FreeImage/FreeWinBitmap.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/FreeImage/PictureFixtures.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/TempDir.h"

namespace {

void Le(std::string& out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

void Be(std::string& out, uint32_t value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xFF);
}

// Each asks for 12000 x 12000 pixels (144 megapixels, over the limit) in
// a few kilobytes, in a way the header-only readers cannot see.
constexpr uint32_t kSide = 12000;

// Logical screen 1 x 1; its one frame is 12000 x 12000.
std::string FrameBombGif()
{
    std::string gif = "GIF89a";
    Le(gif, 1, 2);
    Le(gif, 1, 2);
    gif += std::string("\x80\0\0", 3) + std::string("\0\0\0\xff\xff\xff", 6);  // two-colour table
    gif += ',';
    Le(gif, 0, 4);
    Le(gif, kSide, 2);
    Le(gif, kSide, 2);
    gif += '\0';
    gif += '\2';
    for (int i = 0; i < 200; ++i)
        gif += std::string("\xff", 1) + std::string(255, '\0');
    return gif + std::string("\0;", 2);
}

std::string Sgi()
{
    std::string sgi;
    Be(sgi, 474, 2);
    sgi += '\1';  // run-length
    sgi += '\1';  // one byte per channel
    Be(sgi, 3, 2);
    Be(sgi, kSide, 2);
    Be(sgi, kSide, 2);
    Be(sgi, 3, 2);
    Be(sgi, 0, 4);
    Be(sgi, 255, 4);
    sgi.resize(512, '\0');
    return sgi + std::string(100000, '\0');
}

std::string Iff()
{
    std::string bmhd;
    Be(bmhd, kSide, 2);
    Be(bmhd, kSide, 2);
    Be(bmhd, 0, 4);
    bmhd += char(24);  // planes
    bmhd += '\0';
    bmhd += '\1';  // run-length
    bmhd += '\0';
    Be(bmhd, 0, 2);
    bmhd += "\1\1";
    Be(bmhd, kSide, 2);
    Be(bmhd, kSide, 2);
    std::string body(100000, '\x81');  // runs of repeated bytes
    std::string form = "ILBM";
    form += "BMHD";
    Be(form, uint32_t(bmhd.size()), 4);
    form += bmhd;
    form += "BODY";
    Be(form, uint32_t(body.size()), 4);
    form += body;
    std::string iff = "FORM";
    Be(iff, uint32_t(form.size()), 4);
    return iff + form;
}

std::string Dds()
{
    std::string dds = "DDS ";
    Le(dds, 124, 4);
    Le(dds, 0x100F, 4);  // caps, height, width, pitch, pixel format
    Le(dds, kSide, 4);
    Le(dds, kSide, 4);
    Le(dds, kSide * 4, 4);
    Le(dds, 0, 4);
    Le(dds, 0, 4);
    dds.append(44, '\0');
    Le(dds, 32, 4);
    Le(dds, 0x41, 4);  // RGB with alpha
    Le(dds, 0, 4);
    Le(dds, 32, 4);
    for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        Le(dds, mask, 4);
    Le(dds, 0x1000, 4);
    dds.append(16, '\0');
    return dds + std::string(100000, '\0');
}

std::string Xbm()
{
    std::string xbm = "#define b_width " + std::to_string(kSide) + "\n#define b_height " + std::to_string(kSide) +
                      "\nstatic char b_bits[] = {\n";
    for (int i = 0; i < 16000; ++i)
        xbm += "0x00,";
    return xbm + "0x00};\n";
}

// A small picture in a format the library reads and writes but the program
// does not offer.
std::string WrittenBy(FREE_IMAGE_FORMAT format)
{
    FIBITMAP* dib = FreeImage_Allocate(16, 8, 24);
    FIMEMORY* memory = FreeImage_OpenMemory();
    std::string bytes;
    if (FreeImage_SaveToMemory(format, dib, memory, 0)) {
        BYTE* data = nullptr;
        DWORD size = 0;
        FreeImage_AcquireMemory(memory, &data, &size);
        bytes.assign(reinterpret_cast<const char*>(data), size);
    }
    FreeImage_CloseMemory(memory);
    FreeImage_Unload(dib);
    return bytes;
}

}  // namespace

TEST(PictureSafety, SpecialFilesAreRefusedAtOnce)
{
    TempDir dir;
    ExpectSpecialFilesRefused(dir.Path().string(), ".jpg", [](const std::string& path) {
        TFreeWinBitmap bitmap;
        return bitmap.Load(path);
    });
}

// Whatever its name says, a picture in a format the program does not offer
// is refused, from a file and from a stream alike.
TEST(PictureSafety, OnlyTheOfferedFormatsLoad)
{
    const struct {
        const char* what;
        FREE_IMAGE_FORMAT format;
    } others[] = {{"TGA", FIF_TARGA}, {"PPM", FIF_PPMRAW}, {"XPM", FIF_XPM},
                  {"WebP", FIF_WEBP}};
    TempDir dir;
    for (const auto& other : others) {
        SCOPED_TRACE(other.what);
        const std::string bytes = WrittenBy(other.format);
        ASSERT_FALSE(bytes.empty());
        FIBITMAP* check = FreeImage_Load(other.format, dir.Write("check", bytes).c_str(), 0);
        ASSERT_NE(check, nullptr) << "not a valid file";
        FreeImage_Unload(check);
        TFreeWinBitmap bitmap;
        EXPECT_FALSE(bitmap.Load(dir.Write(std::string("photo-") + other.what + ".jpg", bytes)));
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
        stream.SetPosition(0);
        EXPECT_FALSE(bitmap.LoadFromStream(stream));
        EXPECT_FALSE(bitmap.IsValid());
    }
}

// Each file is opened in a process of its own whose memory is capped: it
// must be refused before anything near its decoded size is taken.
TEST(PictureSafety, FilesHidingTheirSizeAreRefusedWithinBoundedMemory)
{
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {{"GIF frame larger than its screen", FrameBombGif()},
                 {"SGI", Sgi()},
                 {"IFF", Iff()},
                 {"DDS", Dds()},
                 {"XBM", Xbm()}};
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.Write("camera.jpg", c.bytes);
        const BoundedResult result = RunBounded(
            [&] {
                TFreeWinBitmap bitmap;
                return bitmap.Load(path) ? 1 : 0;
            },
            int64_t{2} << 30, 60);
        EXPECT_TRUE(result.finished) << "still decoding at the deadline";
        EXPECT_EQ(result.value, 0) << "loaded";
        EXPECT_LT(result.grewKb, 64 * 1024);
    }
    TFreeBitmap::Header header;
    const std::string gif = FrameBombGif();
    ASSERT_TRUE(TFreeBitmap::ReadHeader(reinterpret_cast<const BYTE*>(gif.data()), DWORD(gif.size()), header));
    EXPECT_EQ(header.width, kSide);
    EXPECT_EQ(header.height, kSide);
}
