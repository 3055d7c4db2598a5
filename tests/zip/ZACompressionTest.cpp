#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <zlib.h>

#include "tests/support/TempDir.h"
#include "zip/EZAException.h"
#include "zip/ZACompression.h"

namespace {

uint32_t ItemCrc(const std::string& s) {
    return ~CRC32(0xFFFFFFFF, s.data(), static_cast<int64_t>(s.size()));
}

std::string Sample(size_t n) {
    std::mt19937 gen(7);
    std::string s;
    const char* words[] = {"portfolio ", "artwork ", "\xC3\xA9t\xC3\xA9 ", "canvas\n", "oil "};
    while (s.size() < n)
        s += words[gen() % 5];
    for (size_t i = 0; i < n / 50; ++i)
        s[gen() % s.size()] = char(gen());
    s.resize(n);
    return s;
}

uint16_t Le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}
uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(Le16(b, at)) | (uint32_t(Le16(b, at + 2)) << 16);
}
void Put16(std::string& b, uint16_t v) {
    b += char(v & 0xFF);
    b += char(v >> 8);
}
void Put32(std::string& b, uint32_t v) {
    Put16(b, uint16_t(v));
    Put16(b, uint16_t(v >> 16));
}

TEST(CRC32Test, KnownValues) {
    EXPECT_EQ(ItemCrc("123456789"), 0xCBF43926u);
    EXPECT_EQ(ItemCrc("abc"), 0x352441C2u);
    EXPECT_EQ(CRC32(0x12345678u, "x", 0), 0x12345678u);
    EXPECT_EQ(CRC32(0x12345678u, nullptr, 5), 0x12345678u);
    // Updating in pieces equals one pass, and agrees with zlib.
    std::string data = Sample(100000);
    uint32_t reg = 0xFFFFFFFF;
    UpdateCRC(data.data(), 777, reg);
    UpdateCRC(data.data() + 777, static_cast<int64_t>(data.size() - 777), reg);
    EXPECT_EQ(~reg, crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

TEST(CompressionSettingsTest, LevelsModesAndTables) {
    EXPECT_EQ(ModeFromLevel(clNone), 0);
    EXPECT_EQ(ModeFromLevel(clFastest), 1);
    EXPECT_EQ(ModeFromLevel(clNormal), 6);
    EXPECT_EQ(ModeFromLevel(clMax), 9);
    const TZACompressionLevel levels[] = {clNone,   clFastest, clFastest, clFastest, clNormal, clNormal,
                                          clNormal, clMax,     clMax,     clMax,     clNone};
    for (int mode = 0; mode <= 10; ++mode)
        EXPECT_EQ(LevelFromMode(uint8_t(mode)), levels[mode]) << mode;
    EXPECT_EQ(BlockSizeForMode(1), 524288u);
    EXPECT_EQ(BlockSizeForMode(0), 1048576u);
    EXPECT_EQ(BlockSizeForMode(9), 1572864u);
    EXPECT_EQ(BlockSizeForMode(12), 1048576u);
    EXPECT_EQ(ZlibHeaderForMode(1), (std::array<uint8_t, 2>{0x78, 0x01}));
    EXPECT_EQ(ZlibHeaderForMode(6), (std::array<uint8_t, 2>{0x78, 0x9C}));
    EXPECT_EQ(ZlibHeaderForMode(10), (std::array<uint8_t, 2>{0, 0}));
    EXPECT_THROW(CheckCompression(Z_DATA_ERROR), ECompressionError);
    EXPECT_THROW(CheckDecompression(Z_MEM_ERROR), EDecompressionError);
    EXPECT_EQ(CheckDecompression(Z_STREAM_END), Z_STREAM_END);
}

TEST(DeflateTest, RoundTripAtEveryLevelAndAcrossBlocks) {
    // 1.3 MB spans several input blocks at the fast levels.
    std::string data = Sample(1300000);
    for (int level = 0; level <= 9; ++level) {
        std::vector<uint8_t> packed = DeflateRaw(data.data(), data.size(), level);
        std::vector<uint8_t> back = InflateRaw(packed.data(), packed.size(), data.size());
        ASSERT_EQ(std::string(back.begin(), back.end()), data) << level;
        // zlib itself reads the raw stream the same way.
        z_stream zs{};
        ASSERT_EQ(inflateInit2(&zs, -15), Z_OK);
        std::string out(data.size(), '\0');
        zs.next_in = packed.data();
        zs.avail_in = uInt(packed.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = uInt(out.size());
        EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END) << level;
        inflateEnd(&zs);
        EXPECT_EQ(out, data);
    }
    std::vector<uint8_t> empty = DeflateRaw("", 0, 1);
    EXPECT_TRUE(InflateRaw(empty.data(), empty.size(), 0).empty());
}

TEST(DeflateTest, BombAndCorruptDataAreRefused) {
    std::string zeros(10 * 1024 * 1024, '\0');
    std::vector<uint8_t> packed = DeflateRaw(zeros.data(), zeros.size(), 9);
    ASSERT_LT(packed.size(), 20000u);
    // Recorded as 1000 bytes: never more than that is produced.
    TZAInflater inflater(1000);
    std::vector<uint8_t> out;
    try {
        inflater.Decompress(packed.data(), packed.size(), out);
        FAIL() << "a bomb was inflated";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 57);
    }
    EXPECT_LE(out.size(), 1000u);

    std::vector<uint8_t> bad = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_THROW(InflateRaw(bad.data(), bad.size(), 10), EDecompressionError);
    std::vector<uint8_t> text = DeflateRaw("hello hello hello", 17, 6);
    EXPECT_THROW(InflateRaw(text.data(), text.size() - 2, 17), EDecompressionError); // cut short
    EXPECT_THROW(InflateRaw(text.data(), text.size(), 18), EDecompressionError);     // too short
}

TEST(PKZipCipherTest, KeysAndRoundTrip) {
    TZACryptKeys keys;
    keys.InitKeys("");
    EXPECT_EQ(keys.Key0, 0x12345678u);
    EXPECT_EQ(keys.Key1, 0x23456789u);
    EXPECT_EQ(keys.Key2, 0x34567890u);

    std::string plain = Sample(5000);
    std::vector<uint8_t> buf(kPKZipHeaderSize + plain.size());
    TZACryptKeys enc;
    uint32_t crc = ItemCrc(plain);
    enc.MakeHeader("s\xC3\xA9same", crc, buf.data());
    std::memcpy(buf.data() + kPKZipHeaderSize, plain.data(), plain.size());
    enc.EncryptRange(buf.data(), kPKZipHeaderSize, plain.size());

    TZACryptKeys dec;
    std::vector<uint8_t> copy = buf;
    dec.InitKeysAndDecryptHeader("s\xC3\xA9same", copy.data());
    EXPECT_TRUE(PKZipHeaderMatches(copy.data(), 0, 0, crc));
    dec.DecryptBuffer(copy.data() + kPKZipHeaderSize, plain.size());
    EXPECT_EQ(std::string(copy.begin() + kPKZipHeaderSize, copy.end()), plain);

    TZACryptKeys other;
    copy = buf;
    other.InitKeysAndDecryptHeader("wrong", copy.data());
    other.DecryptBuffer(copy.data() + kPKZipHeaderSize, plain.size());
    EXPECT_NE(std::string(copy.begin() + kPKZipHeaderSize, copy.end()), plain);
}

TEST(PKZipCipherTest, DecryptsAnItemMadeByZip) {
    TempDir dir;
    std::string content = Sample(20000);
    dir.Write("f.txt", content);
    std::string out;
    ASSERT_EQ(RunCommand("cd '" + dir.Path().string() + "' && zip -q -P 'pa ss' a.zip f.txt", &out), 0)
        << out;
    std::string zip = ReadFileBytes(dir / "a.zip");
    ASSERT_EQ(Le32(zip, 0), 0x04034B50u);
    uint16_t flags = Le16(zip, 6);
    uint16_t method = Le16(zip, 8);
    uint16_t time = Le16(zip, 10);
    uint32_t crc = Le32(zip, 14);
    uint32_t csize = Le32(zip, 18);
    size_t data = 30 + Le16(zip, 26) + Le16(zip, 28);
    ASSERT_TRUE(flags & 1);
    if (flags & 8) {
        // Sizes in a descriptor behind the data: take them from the central header.
        size_t cd = zip.rfind(std::string("PK\x01\x02", 4));
        ASSERT_NE(cd, std::string::npos);
        crc = Le32(zip, cd + 16);
        csize = Le32(zip, cd + 20);
    }
    std::vector<uint8_t> item(zip.begin() + data, zip.begin() + data + csize);
    TZACryptKeys keys;
    keys.InitKeysAndDecryptHeader("pa ss", item.data());
    EXPECT_TRUE(PKZipHeaderMatches(item.data(), flags, time, crc));
    keys.DecryptBuffer(item.data() + 12, item.size() - 12);
    std::vector<uint8_t> plain;
    if (method == 8)
        plain = InflateRaw(item.data() + 12, item.size() - 12, content.size());
    else
        plain.assign(item.begin() + 12, item.end());
    EXPECT_EQ(std::string(plain.begin(), plain.end()), content);
    EXPECT_EQ(ItemCrc(content), crc);
}

TEST(PKZipCipherTest, UnzipReadsAnItemWeEncrypted) {
    TempDir dir;
    std::string content = Sample(30000);
    uint32_t crc = ItemCrc(content);
    std::vector<uint8_t> packed = DeflateRaw(content.data(), content.size(), 1);
    std::vector<uint8_t> body(kPKZipHeaderSize + packed.size());
    TZACryptKeys keys;
    keys.MakeHeader("secret", crc, body.data());
    std::memcpy(body.data() + kPKZipHeaderSize, packed.data(), packed.size());
    keys.EncryptRange(body.data(), kPKZipHeaderSize, packed.size());

    const std::string name = "item.txt";
    auto fixed = [&](std::string& b) {
        Put16(b, 20);
        Put16(b, 1);  // encrypted
        Put16(b, 8);  // deflated
        Put16(b, 0);  // time
        Put16(b, 0x21); // 1980-01-01
        Put32(b, crc);
        Put32(b, uint32_t(body.size()));
        Put32(b, uint32_t(content.size()));
        Put16(b, uint16_t(name.size()));
        Put16(b, 0);
    };
    std::string zip;
    Put32(zip, 0x04034B50);
    fixed(zip);
    zip += name;
    zip.append(reinterpret_cast<const char*>(body.data()), body.size());
    size_t cdStart = zip.size();
    Put32(zip, 0x02014B50);
    Put16(zip, 20);
    fixed(zip);
    Put16(zip, 0); // comment
    Put16(zip, 0); // disk
    Put16(zip, 0); // internal
    Put32(zip, 0x20);
    Put32(zip, 0); // offset
    zip += name;
    size_t cdSize = zip.size() - cdStart;
    Put32(zip, 0x06054B50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 1);
    Put16(zip, 1);
    Put32(zip, uint32_t(cdSize));
    Put32(zip, uint32_t(cdStart));
    Put16(zip, 0);
    std::string path = dir.Write("ours.zip", zip);

    std::string out;
    ASSERT_EQ(RunCommand("unzip -tq -P secret '" + path + "'", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -p -P secret '" + path + "' item.txt > '" + (dir / "x") + "'"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "x"), content);
    EXPECT_NE(RunCommand("unzip -tq -P wrong '" + path + "'", &out), 0);
}

} // namespace
