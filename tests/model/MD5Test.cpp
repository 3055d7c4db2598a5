#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/FileMap.h"
#include "model/MD5.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"

using namespace std::string_literals;

namespace {

std::string Hex(const MD5& md5, const HashDigest& digest)
{
    return md5.ToHex(digest.get());
}

HashDigest DigestOf(const MD5& md5, const std::string& bytes)
{
    return md5.Digest(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TMemoryStream StreamOf(const std::string& bytes)
{
    TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return stream;
}

size_t OpenDescriptorCount()
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

// The test suite of the algorithm's reference, less the empty message, whose
// digest this class never produces.
const struct {
    const char* message;
    const char* hex;
} kReferenceVectors[] = {
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

} // namespace

TEST(MD5, ReferenceVectorsThroughDataStreamAndFile)
{
    TempDir dir;
    MD5 md5;
    const Hasher& hasher = md5;
    for (const auto& v : kReferenceVectors) {
        SCOPED_TRACE(v.message);
        const std::string message = v.message;

        EXPECT_EQ(hasher.ToHex(DigestOf(md5, message).get()), v.hex);

        TMemoryStream stream = StreamOf(message);
        EXPECT_EQ(Hex(md5, md5.DigestStream(&stream)), v.hex);

        const std::string path = dir.Write("vector.bin", message);
        EXPECT_EQ(Hex(md5, md5.DigestFile(path)), v.hex);
    }
}

TEST(MD5, AgreesWithMd5sumAcrossBlockBoundaries)
{
    // Lengths around the padding limits (55/56 bytes and 64-byte blocks) and
    // one large enough to take many whole blocks straight from the input.
    TempDir dir;
    MD5 md5;
    for (size_t length : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, (1u << 20) + 3}) {
        SCOPED_TRACE(length);
        std::string bytes(length, '\0');
        uint32_t x = static_cast<uint32_t>(length) * 2654435761u;
        for (char& c : bytes) {
            x = x * 1664525u + 1013904223u;
            c = static_cast<char>(x >> 24);
        }
        const std::string path = dir.Write("data.bin", bytes);
        std::string out;
        ASSERT_EQ(RunCommand("md5sum '" + path + "'", &out), 0) << out;
        std::string expected = out.substr(0, 32);
        std::transform(expected.begin(), expected.end(), expected.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });

        EXPECT_EQ(Hex(md5, md5.DigestFile(path)), expected);
        EXPECT_EQ(Hex(md5, DigestOf(md5, bytes)), expected);
    }
}

TEST(MD5, StreamDigestCoversTheWholeContentWhateverThePosition)
{
    MD5 md5;
    TMemoryStream stream = StreamOf("message digest");
    for (int64_t position : {int64_t{0}, int64_t{7}, int64_t{14}}) {
        stream.SetPosition(position);
        EXPECT_EQ(Hex(md5, md5.DigestStream(&stream)), "F96B697D7CB7938D525A2F31AAF161D0");
        EXPECT_EQ(stream.GetPosition(), position);
    }
}

TEST(MD5, NoInputGivesNoDigest)
{
    TempDir dir;
    MD5 md5;
    const uint8_t byte = 'a';
    EXPECT_EQ(md5.Digest(&byte, 0), nullptr);
    EXPECT_EQ(md5.Digest(nullptr, 1), nullptr);

    TMemoryStream empty;
    EXPECT_EQ(md5.DigestStream(&empty), nullptr);
    EXPECT_EQ(md5.DigestStream(nullptr), nullptr);

    const size_t descriptors = OpenDescriptorCount();
    EXPECT_EQ(md5.DigestFile(""), nullptr);
    EXPECT_EQ(md5.DigestFile(dir / "missing.bin"), nullptr);
    EXPECT_EQ(md5.DigestFile(dir.Write("empty.bin", "")), nullptr);
    EXPECT_EQ(md5.DigestFile(dir.Path().string()), nullptr);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);

    EXPECT_EQ(md5.ToHex(nullptr), "");
}

TEST(MD5, ToHexWritesTwoUpperCaseDigitsPerByte)
{
    MD5 md5;
    const uint8_t digest[16] = {0x00, 0x01, 0x0F, 0x10, 0x9A, 0xAB, 0xF0, 0xFF,
                                0x05, 0x50, 0xC3, 0x3C, 0x7E, 0xE7, 0x80, 0x08};
    EXPECT_EQ(md5.ToHex(digest), "00010F109AABF0FF0550C33C7EE78008");
}

TEST(FileMap, MapsTheWholeFileReadOnly)
{
    TempDir dir;
    const std::string content = "portfolio bytes\0with a zero"s;
    const std::string path = dir.Write("file.bin", content);

    const size_t descriptors = OpenDescriptorCount();
    {
        FileMap map(path);
        EXPECT_FALSE(map.IsOpen());
        EXPECT_EQ(map.GetData(), nullptr);
        ASSERT_TRUE(map.Open());
        EXPECT_TRUE(map.IsOpen());
        ASSERT_EQ(map.GetSize(), content.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(map.GetData()), map.GetSize()), content);

        // Opening again maps afresh without leaking the first mapping.
        ASSERT_TRUE(map.Open());
        EXPECT_EQ(map.GetSize(), content.size());

        map.Close();
        EXPECT_FALSE(map.IsOpen());
        EXPECT_EQ(map.GetData(), nullptr);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);

        ASSERT_TRUE(map.Open());
    }
    // The destructor closes a map left open.
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST(FileMap, RefusesWhatCannotBeMapped)
{
    TempDir dir;
    const size_t descriptors = OpenDescriptorCount();
    for (const std::string& path : {dir / "missing.bin", dir.Write("empty.bin", ""), dir.Path().string(),
                                    std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        FileMap map(path);
        EXPECT_FALSE(map.Open());
        EXPECT_FALSE(map.IsOpen());
        EXPECT_EQ(map.GetData(), nullptr);
        EXPECT_EQ(map.GetSize(), 0u);
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

TEST(FileMap, MapsFilesBeyondFourGiB)
{
    TempDir dir;
    const std::string path = dir / "sparse.bin";
    const uint64_t size = (uint64_t{5} << 30) + 3;
    {
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(size - 1));
        out.put('Z');
        ASSERT_TRUE(out.good());
    }
    FileMap map(path);
    ASSERT_TRUE(map.Open());
    EXPECT_EQ(map.GetSize(), size);
    EXPECT_EQ(map.GetData()[size - 1], 'Z');
    EXPECT_EQ(map.GetData()[uint64_t{4} << 30], 0);
}
