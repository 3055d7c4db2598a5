// Artworks built from their BMP bytes as they arrive must be the pictures
// the image library decodes from the whole file, and carry its MD5.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FreeImage/FreeWinBitmap.h"
#include "model/BitmapReceiver.h"
#include "model/MD5.h"

namespace {

struct BmpForm {
    const char* what;
    int width;
    int height;  // negative: rows top-down
    int bpp;
    uint32_t colours = 0;      // palette entries stored (0: all of 8 bits)
    uint32_t compression = 0;  // BI_RGB
    uint32_t infoSize = 40;
    size_t tail = 0;           // bytes after the rows
    int32_t dotsPerMetre = 2835;
};

void Put(std::vector<uint8_t>& out, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// A BMP file in the given form with rows (padding included) of varied bytes.
std::vector<uint8_t> MakeBmp(const BmpForm& form)
{
    const size_t entries = form.bpp <= 8 ? (form.colours ? form.colours : (1u << form.bpp)) : 0;
    const size_t offset = 14 + form.infoSize + entries * 4;
    const int rows = form.height < 0 ? -form.height : form.height;
    const size_t pitch = ((size_t(form.width) * size_t(form.bpp) + 31) / 32) * 4;
    std::vector<uint8_t> bmp(offset + pitch * size_t(rows) + form.tail);
    bmp[0] = 'B';
    bmp[1] = 'M';
    Put(bmp, 2, uint32_t(bmp.size()), 4);
    Put(bmp, 10, uint32_t(offset), 4);
    Put(bmp, 14, form.infoSize, 4);
    Put(bmp, 18, uint32_t(form.width), 4);
    Put(bmp, 22, uint32_t(form.height), 4);
    Put(bmp, 26, 1, 2);
    Put(bmp, 28, uint32_t(form.bpp), 2);
    Put(bmp, 30, form.compression, 4);
    Put(bmp, 34, uint32_t(pitch * size_t(rows)), 4);
    Put(bmp, 38, uint32_t(form.dotsPerMetre), 4);
    Put(bmp, 42, uint32_t(form.dotsPerMetre), 4);
    Put(bmp, 46, form.colours, 4);
    for (size_t i = 0; i < entries; ++i)
        Put(bmp, 14 + form.infoSize + i * 4, uint32_t(i * 0x010203u) & 0xFFFFFF, 4);
    uint32_t noise = 2463534242u;
    for (size_t i = offset; i < bmp.size(); ++i) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        bmp[i] = uint8_t(entries ? noise % entries : noise);
    }
    return bmp;
}

// The file given in pieces of `piece` bytes after its first `head`.
std::unique_ptr<BitmapReceiver> Receive(const std::vector<uint8_t>& bmp, size_t head, size_t piece)
{
    head = std::min(head, bmp.size());
    std::unique_ptr<BitmapReceiver> receiver = BitmapReceiver::Start(bmp.data(), head, bmp.size());
    if (!receiver)
        return receiver;
    for (size_t at = head; at < bmp.size(); at += piece)
        EXPECT_TRUE(receiver->Write(bmp.data() + at, std::min(piece, bmp.size() - at)));
    return receiver;
}

std::string Md5Of(const std::vector<uint8_t>& bytes)
{
    const MD5 md5;
    return md5.ToHex(md5.Digest(bytes.data(), bytes.size()).get());
}

}  // namespace

TEST(BitmapReceiver, BuildsThePictureTheDecoderMakesOfTheWholeFile)
{
    const BmpForm forms[] = {
        {"24 bits, padded rows", 37, 23, 24},
        {"24 bits, bytes after the rows", 16, 9, 24, 0, 0, 40, 3000},
        {"32 bits", 21, 12, 32},
        {"8 bits, full palette", 33, 17, 8},
        {"8 bits, 16 colours", 30, 20, 8, 16, 0, 40, 0, 0},
        {"smaller than the head check", 3, 2, 24},
        {"one row", 500, 1, 24},
    };
    for (const BmpForm& form : forms) {
        const std::vector<uint8_t> bmp = MakeBmp(form);
        TFreeWinBitmap decoded;
        ASSERT_TRUE(decoded.LoadFromMemory(bmp.data(), DWORD(bmp.size()))) << form.what;
        for (const size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
            SCOPED_TRACE(std::string(form.what) + ", pieces of " + std::to_string(piece));
            std::unique_ptr<BitmapReceiver> receiver = Receive(bmp, 2048, piece);
            ASSERT_TRUE(receiver);
            EXPECT_FALSE(receiver->Write(bmp.data(), 1)) << "a byte past the file's end";
            Picture::Decoded built = receiver->Finish();
            ASSERT_TRUE(built.image);
            const TFreeWinBitmap& image = *built.image;
            EXPECT_EQ(built.hash, Md5Of(bmp));
            EXPECT_EQ(image.GetWidth(), decoded.GetWidth());
            EXPECT_EQ(image.GetHeight(), decoded.GetHeight());
            EXPECT_EQ(image.GetBitsPerPixel(), decoded.GetBitsPerPixel());
            EXPECT_EQ(image.GetColorType(), decoded.GetColorType());
            EXPECT_EQ(image.IsTransparent(), decoded.IsTransparent());
            EXPECT_EQ(image.GetTransparencyCount(), decoded.GetTransparencyCount());
            EXPECT_EQ(image.GetHorizontalResolution(), decoded.GetHorizontalResolution());
            EXPECT_EQ(image.GetVerticalResolution(), decoded.GetVerticalResolution());
            ASSERT_EQ(image.GetColorsUsed(), decoded.GetColorsUsed());
            EXPECT_EQ(std::memcmp(image.GetInfoHeader(), decoded.GetInfoHeader(), sizeof(BITMAPINFOHEADER)), 0);
            if (decoded.GetColorsUsed() > 0) {
                EXPECT_EQ(std::memcmp(image.GetPalette(), decoded.GetPalette(), decoded.GetPaletteSize()), 0);
            }
            ASSERT_EQ(image.GetScanWidth(), decoded.GetScanWidth());
            for (int y = 0; y < decoded.GetHeight(); ++y)
                ASSERT_EQ(std::memcmp(image.GetScanLine(y), decoded.GetScanLine(y), decoded.GetScanWidth()), 0)
                    << "row " << y;
        }
    }
}

// Any other BMP is left to the decoder, which reads the whole file.
TEST(BitmapReceiver, LeavesOtherBitmapsToTheDecoder)
{
    struct Case {
        BmpForm form;
        size_t head = 2048;
        size_t cut = 0;  // bytes missing from the file's end
    } cases[] = {
        {{"rows top-down", 8, -6, 24}},
        {{"run-length 8 bits", 8, 6, 8, 0, 1}},
        {{"bit fields", 8, 6, 32, 0, 3}},
        {{"16 bits", 8, 6, 16}},
        {{"4 bits", 8, 6, 4}},
        {{"version 5 header", 8, 6, 24, 0, 0, 124}},
        {{"head ends in the palette", 8, 6, 8}, 600},
        {{"file ends in the rows", 8, 6, 24}, 2048, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.form.what);
        std::vector<uint8_t> bmp = MakeBmp(c.form);
        bmp.resize(bmp.size() - c.cut);
        EXPECT_FALSE(BitmapReceiver::Start(bmp.data(), std::min(c.head, bmp.size()), bmp.size()));
    }
}

TEST(BitmapReceiver, AFileCutShortGivesNoPicture)
{
    const std::vector<uint8_t> bmp = MakeBmp({"24 bits", 40, 30, 24});
    std::unique_ptr<BitmapReceiver> receiver = BitmapReceiver::Start(bmp.data(), 2048, bmp.size());
    ASSERT_TRUE(receiver);
    ASSERT_TRUE(receiver->Write(bmp.data() + 2048, bmp.size() - 2048 - 1));
    EXPECT_FALSE(receiver->Finish().image);
}
