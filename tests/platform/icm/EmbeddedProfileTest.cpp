// The colour profile a picture file carries, read from its container: whole
// when it is there, nothing when the container is damaged or lies, and never
// a read outside the file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <zlib.h>

#include <fstream>
#include <iterator>

#include "platform/icm/EmbeddedProfile.h"
#include "tests/support/BmpFile.h"
#include "tests/support/ColourPictures.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<uint8_t> ProfileIn(const QByteArray& bytes, unsigned page = 0)
{
    return EmbeddedProfile(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), page);
}

QImage Flat()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb(200, 60, 40));
    return image;
}

QByteArray ToBytes(const std::vector<uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

void PutBE(QByteArray& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

// A PNG with an iCCP chunk of the given compressed data after its header.
QByteArray PngWithIccp(const QByteArray& compressed)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(Flat().save(&buffer, "png"));
    QByteArray chunk = QByteArray("iCCP") + QByteArray("icc\0\0", 5) + compressed;
    QByteArray whole;
    PutBE(whole, uint32_t(chunk.size() - 4));
    whole += chunk;
    PutBE(whole, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size()))));
    png.insert(8 + 25, whole);  // after the signature and the header chunk
    return png;
}

QByteArray Compressed(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
             uLong(data.size()));
    out.resize(qsizetype(size));
    return out;
}

// A bitmap with the newest info header and the profile after its pixels.
QByteArray BmpWithProfile(const std::vector<uint8_t>& profile)
{
    std::string info;
    PutLE(info, 124, 4);
    PutLE(info, 1, 4);
    PutLE(info, 1, 4);
    PutLE(info, 1, 2);
    PutLE(info, 24, 2);
    PutLE(info, 0, 4);
    PutLE(info, 4, 4);
    info.resize(56, '\0');
    PutLE(info, 0x4D424544, 4);  // "MBED"
    info.resize(112, '\0');
    PutLE(info, 124 + 4, 4);     // from the info header's start
    PutLE(info, uint32_t(profile.size()), 4);
    PutLE(info, 0, 4);
    std::string bmp = "BM";
    PutLE(bmp, uint32_t(14 + 124 + 4 + profile.size()), 4);
    PutLE(bmp, 0, 4);
    PutLE(bmp, 14 + 124, 4);
    bmp += info + std::string("\x28\x3C\xC8\x00", 4) + std::string(profile.begin(), profile.end());
    return QByteArray(bmp.data(), qsizetype(bmp.size()));
}

QByteArray ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

TEST(EmbeddedProfile, EachContainerGivesItsWholeProfile)
{
    const std::vector<uint8_t> adobe = ProfileOf(TestSpace::AdobeRgb);
    const std::vector<uint8_t> p3 = ProfileOf(TestSpace::DisplayP3);
    TempDir dir;
    const QByteArray littleTiff = FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "tiff");
    std::ofstream(dir / "le.tif", std::ios::binary).write(littleTiff.constData(), littleTiff.size());
    const QByteArray p3Tiff = FlatPictureIn(TestSpace::DisplayP3, qRgb(1, 2, 3), "tiff");
    std::ofstream(dir / "p3.tif", std::ios::binary).write(p3Tiff.constData(), p3Tiff.size());
    // libtiff's own copier writes the big-endian form and joins pages.
    ASSERT_EQ(RunCommand("tiffcp -B '" + (dir / "le.tif") + "' '" + (dir / "be.tif") + "'"), 0);
    ASSERT_EQ(RunCommand("tiffcp '" + (dir / "le.tif") + "' '" + (dir / "p3.tif") + "' '" + (dir / "two.tif") + "'"),
              0);
    const QByteArray twoPages = ReadFile(dir / "two.tif");
    // Every segment, the last one first.
    const size_t parts = (p3.size() + 99) / 100;
    std::vector<int> backwards;
    for (size_t i = parts; i >= 1; --i)
        backwards.push_back(int(i));

    const struct {
        const char* name;
        QByteArray file;
        unsigned page;
        std::vector<uint8_t> expected;
    } rows[] = {
        {"JPEG", FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "jpeg"), 0, adobe},
        {"JPEG in parts, out of order", JpegWithProfileParts(Flat(), p3, 100, backwards), 0, p3},
        {"PNG", FlatPictureIn(TestSpace::DisplayP3, qRgb(1, 2, 3), "png"), 0, p3},
        {"TIFF, little-endian", littleTiff, 0, adobe},
        {"TIFF, big-endian", ReadFile(dir / "be.tif"), 0, adobe},
        {"TIFF, first page", twoPages, 0, adobe},
        {"TIFF, second page", twoPages, 1, p3},
        {"TIFF, no third page", twoPages, 2, {}},
        {"bitmap", BmpWithProfile(adobe), 0, adobe},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_FALSE(row.file.isEmpty());
        EXPECT_EQ(ProfileIn(row.file, row.page), row.expected);
    }
}

TEST(EmbeddedProfile, IncompleteOrLyingContainersGiveNone)
{
    const std::vector<uint8_t> profile = ProfileOf(TestSpace::AdobeRgb);
    const size_t part = profile.size() / 3 + 1;
    QByteArray tagPastEnd = FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "tiff");
    // The profile's offset moved past the file's end.
    const qsizetype at = tagPastEnd.indexOf(ToBytes(profile));
    ASSERT_GT(at, 0);
    {
        const QByteArray offset(reinterpret_cast<const char*>(&at), 4);  // little-endian, as Qt writes
        const qsizetype entry = tagPastEnd.indexOf(offset);
        ASSERT_GT(entry, 0);
        const uint32_t past = uint32_t(tagPastEnd.size() - 10);
        tagPastEnd.replace(entry, 4, QByteArray(reinterpret_cast<const char*>(&past), 4));
    }
    const struct {
        const char* name;
        QByteArray file;
    } rows[] = {
        {"JPEG with a part missing", JpegWithProfileParts(Flat(), profile, part, {1, 3})},
        {"JPEG with a part twice", JpegWithProfileParts(Flat(), profile, part, {1, 2, 2, 3})},
        {"PNG whose profile inflates past the bound",
         PngWithIccp(Compressed(QByteArray(qsizetype(kMaxEmbeddedProfileBytes) + 1024, '\0')))},
        {"PNG whose profile data is not deflate", PngWithIccp("not deflate data at all")},
        {"TIFF whose profile lies past its end", tagPastEnd},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(ProfileIn(row.file).empty());
    }
}

// Every cut of every container: the whole profile or none, and under the
// address sanitizer no read past the cut.
TEST(EmbeddedProfile, CutFilesGiveTheWholeProfileOrNone)
{
    const std::vector<uint8_t> profile = ProfileOf(TestSpace::AdobeRgb);
    for (const QByteArray& file :
         {FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "jpeg"), FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "png"),
          FlatPictureIn(TestSpace::AdobeRgb, qRgb(1, 2, 3), "tiff"), BmpWithProfile(profile)}) {
        for (qsizetype size = 0; size <= file.size(); ++size) {
            // A copy of exactly the cut's size, so a read past it is caught.
            const std::vector<uint8_t> cut(file.begin(), file.begin() + size);
            const std::vector<uint8_t> found = EmbeddedProfile(cut.data(), cut.size());
            ASSERT_TRUE(found.empty() || found == profile) << "cut at " << size;
        }
    }
}
