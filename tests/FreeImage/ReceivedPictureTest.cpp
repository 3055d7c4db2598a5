// Pictures from anywhere: the picture library's metadata readers never see
// them, and a file whose decode would cost far more than its pixels is
// refused before the decoder starts.
#include <gtest/gtest.h>

#include <FreeImage.h>

#include <string>

#include "FreeImage/FreeBitmap.h"
#include "FreeImage/FreeMemoryIO.h"
#include "tests/support/BoundedChild.h"
#include "tests/support/HostilePictures.h"

namespace {

// The library's own record of the loaded picture.
class Probe : public TFreeBitmap {
public:
    FIBITMAP* Dib() const { return dib_; }
};

bool Load(TFreeBitmap& bitmap, const std::string& file)
{
    return bitmap.LoadFromMemory(reinterpret_cast<const BYTE*>(file.data()), DWORD(file.size()));
}

std::string Encoded(TFreeBitmap& bitmap, FREE_IMAGE_FORMAT format, int flags = 0)
{
    TFreeMemoryIO memory;
    BYTE* data = nullptr;
    DWORD size = 0;
    if (!bitmap.SaveToMemory(format, memory, flags) || !memory.Acquire(&data, &size))
        return {};
    return std::string(reinterpret_cast<const char*>(data), size);
}

// 48 x 32 grey, darker to the right.
std::string GreyJpeg()
{
    TFreeBitmap bitmap(FIT_BITMAP, 48, 32, 24);
    for (int y = 0; y < 32; ++y) {
        BYTE* row = bitmap.GetScanLine(y);
        for (int x = 0; x < 48; ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = BYTE(250 - x * 5);
    }
    return Encoded(bitmap, FIF_JPEG, JPEG_QUALITYSUPERB);
}

}  // namespace

// The picture library's EXIF reader runs off the end of a directory that
// claims more entries than its block holds, even for a header read; the
// orientation it names is still applied, by our own reader.
TEST(ReceivedPicture, DamagedExifDirectoryLoadsWithoutACrash)
{
    const std::string file = hostile::BrokenExifJpeg(GreyJpeg());
    const BoundedResult result = RunBounded(
        [&] {
            TFreeBitmap::Header header;
            if (!TFreeBitmap::ReadHeader(reinterpret_cast<const BYTE*>(file.data()), DWORD(file.size()), header))
                return 0;
            TFreeBitmap bitmap;
            if (!Load(bitmap, file))
                return 0;
            // Orientation 6: turned a quarter clockwise, so 32 wide and 48 high.
            return bitmap.GetWidth() * 1000 + bitmap.GetHeight();
        },
        int64_t{1} << 30, 60);
    ASSERT_TRUE(result.finished) << "the load crashed or hung";
    EXPECT_EQ(result.value, 32 * 1000 + 48);
}

TEST(ReceivedPicture, MetadataNeverReachesThePictureLibrary)
{
    const std::string jpeg = GreyJpeg();
    const std::string exif = std::string("Exif\0\0MM\0*\0\0\0\x08\0\x01", 16) +
                             std::string("\x01\x0F\0\x02\0\0\0\x04" "Cam\0", 12) + std::string(4, '\0');
    std::string header;
    hostile::Put32(header, 2);
    hostile::Put32(header, 2);
    header += std::string{8, 0, 0, 0, 0};
    const std::string png = "\x89PNG\r\n\x1a\n" + hostile::PngChunk("IHDR", header) +
                            hostile::PngChunk("tEXt", std::string("Title\0an artwork", 16)) +
                            hostile::PngChunk("IDAT", hostile::Deflated(std::string(6, '\0'))) +
                            hostile::PngChunk("IEND", "");
    struct Case {
        const char* what;
        std::string file;
    };
    const Case cases[] = {
        {"JPEG with EXIF and a comment",
         jpeg.substr(0, 2) + hostile::Segment(0xE1, exif) + hostile::Segment(0xFE, "a comment") + jpeg.substr(2)},
        {"PNG with a title", png},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Probe bitmap;
        ASSERT_TRUE(Load(bitmap, c.file));
        for (FREE_IMAGE_MDMODEL model : {FIMD_COMMENTS, FIMD_EXIF_MAIN, FIMD_EXIF_RAW, FIMD_XMP})
            EXPECT_EQ(FreeImage_GetMetadataCount(model, bitmap.Dib()), 0u) << "model " << model;
    }
}

TEST(ReceivedPicture, ProgressiveScansPastTheBoundAreRefused)
{
    for (const int extra : {98, 99}) {
        SCOPED_TRACE(extra + 2);
        TFreeBitmap bitmap;
        EXPECT_EQ(Load(bitmap, hostile::EmptyScansJpeg(64, 48, extra)), extra + 2 <= 100);
    }
    TFreeBitmap::Header header;
    const std::string bomb = hostile::EmptyScansJpeg(64, 48, 10000);
    EXPECT_FALSE(TFreeBitmap::ReadHeader(reinterpret_cast<const BYTE*>(bomb.data()), DWORD(bomb.size()), header));
}

// The text is never inflated: the picture loads as its pixels say.
TEST(ReceivedPicture, CompressedTextChunksAreNotRead)
{
    const std::string file = hostile::TextChunksPng(20, 10, 200, 1 << 20);
    Probe bitmap;
    ASSERT_TRUE(Load(bitmap, file));
    EXPECT_EQ(bitmap.GetWidth(), 20);
    EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_COMMENTS, bitmap.Dib()), 0u);
}

// One tile of 16384 x 16384 (256 MB decoded) or 65536 x 65536 (4 GB) behind
// 16 x 16 pixels: refused from the file's directory, before the decoder
// takes any memory for the tile.
TEST(ReceivedPicture, TileFarLargerThanThePictureIsRefusedUndecoded)
{
    struct Case {
        unsigned tile;
        size_t dataBytes;
    };
    for (const Case c : {Case{16384, size_t{16384} * 16384}, Case{65536, size_t{1} << 20}}) {
        SCOPED_TRACE(c.tile);
        const std::string file = hostile::TileTiff(16, c.tile, c.dataBytes);
        const BoundedResult result = RunBounded(
            [&] {
                TFreeBitmap bitmap;
                return Load(bitmap, file) ? 1 : 0;
            },
            int64_t{2} << 30, 60);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.value, 0) << "loaded";
        EXPECT_LT(result.grewKb, 64 * 1024);
    }
    // The same picture in the usual 256-pixel tile loads.
    TFreeBitmap bitmap;
    EXPECT_TRUE(Load(bitmap, hostile::TileTiff(16, 256, 256 * 256)));
}
