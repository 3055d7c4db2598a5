// The AES item transform against an OpenSSL model of the same form, in both
// directions and for every strength.
#include <gtest/gtest.h>

#include <random>

#include "platform/rtl/MemoryStream.h"
#include "tests/zip/AesOracle.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/TAESCryptoTransform.h"

namespace {

const int kBits[] = {128, 192, 256};

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Encrypts plain in pieces of the given size after a fresh Initialize and
// returns the whole stored form.
std::string WriteItem(TAESCryptoTransform& t, const std::string& password, const std::string& plain, size_t piece)
{
    t.Initialize(password);
    std::string stored = Str(t.GetHeader());
    std::string data = plain;
    for (size_t at = 0; at < data.size(); at += piece) {
        const size_t n = std::min(piece, data.size() - at);
        EXPECT_EQ(t.EncryptData(U(plain), at, reinterpret_cast<uint8_t*>(data.data()), at, n), n);
    }
    return stored + data + Str(t.GetFooter());
}

struct TReadResult {
    bool passwordOk = false;
    bool footerInvalid = true;
    std::string plain;
};

// Reads a stored item that sits behind `prefix` bytes of other data.
TReadResult ReadItem(int bits, const std::string& password, const std::string& stored, size_t piece,
                     size_t prefix = 0)
{
    TAESCryptoTransform t(bits, 2, 8);
    t.SetMode(kTransformModeRead);
    t.Initialize(password);
    TMemoryStream s = StreamOf(std::string(prefix, 'x') + stored);
    t.ReadHeader(s, int64_t(prefix));
    TReadResult r;
    r.passwordOk = t.CheckPassword(password);
    const size_t dataSize = stored.size() - t.GetHeaderSize() - t.GetFooterSize();
    std::string encrypted(dataSize, '\0');
    s.ReadBuffer(encrypted.data(), int64_t(dataSize));
    r.plain.assign(dataSize, '\0');
    for (size_t at = 0; at < dataSize; at += piece) {
        const size_t n = std::min(piece, dataSize - at);
        t.DecryptData(U(encrypted), at, reinterpret_cast<uint8_t*>(r.plain.data()), at, n);
    }
    t.ReadFooter(s, 0);
    r.footerInvalid = t.IsFooterInvalid(TDirItem(), 0);
    return r;
}

}  // namespace

TEST(AESCryptoTransform, WritesWhatTheOpenSslModelComputes)
{
    const std::string plain = Random(1000, 1);
    for (int bits : kBits) {
        SCOPED_TRACE(bits);
        TAESCryptoTransform t(bits, 2, 8);
        // A second item on the same object must start its counter and code anew.
        for (int round = 0; round < 2; ++round) {
            const std::string stored = WriteItem(t, "pässwörd", plain, 37);
            const std::string salt = stored.substr(0, size_t(bits / 16));
            EXPECT_EQ(stored, AesOracleItem(bits, "pässwörd", salt, plain)) << "round " << round;
        }
    }
}

TEST(AESCryptoTransform, ReadsModelItemsInPiecesOfAnySize)
{
    const std::string plain = Random(1000, 2);
    for (int bits : kBits) {
        const std::string salt = Random(size_t(bits / 16), unsigned(bits));
        const std::string stored = AesOracleItem(bits, "secret", salt, plain);
        for (size_t piece : {size_t(1), size_t(15), size_t(16), size_t(17), plain.size()}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, pieces of " + std::to_string(piece));
            const TReadResult r = ReadItem(bits, "secret", stored, piece, piece == 17 ? 5 : 0);
            EXPECT_TRUE(r.passwordOk);
            EXPECT_FALSE(r.footerInvalid);
            EXPECT_EQ(r.plain, plain);
        }
    }
}

TEST(AESCryptoTransform, WrongPasswordAndEveryTamperedByteAreCaught)
{
    const std::string plain = Random(100, 3);
    const std::string salt = Random(16, 4);
    const std::string stored = AesOracleItem(256, "right", salt, plain);
    ASSERT_NE(AesOracleKeys(256, "wrong", salt).verifier, AesOracleKeys(256, "right", salt).verifier);
    EXPECT_FALSE(ReadItem(256, "wrong", stored, 64).passwordOk);

    // A changed salt gives other keys, so both checks fail; a changed
    // verifier fails the password check only (the code covers the encrypted
    // data alone); any encrypted byte or any byte of the code fails the code.
    const size_t header = 18;
    struct {
        size_t at;
        bool passwordOk, footerInvalid;
    } const damages[] = {{0, false, true},
                         {17, false, false},
                         {header, true, true},
                         {header + 50, true, true},
                         {stored.size() - 11, true, true},
                         {stored.size() - 10, true, true},
                         {stored.size() - 1, true, true}};
    for (const auto& d : damages) {
        SCOPED_TRACE(d.at);
        std::string damaged = stored;
        damaged[d.at] = char(damaged[d.at] ^ 0x01);
        const TReadResult r = ReadItem(256, "right", damaged, 64);
        EXPECT_EQ(r.passwordOk, d.passwordOk);
        EXPECT_EQ(r.footerInvalid, d.footerInvalid);
    }
}

TEST(AESCryptoTransform, SizesSaltsAndEmptyItems)
{
    struct {
        int bits;
        size_t header;
        uint8_t strength;
    } const cases[] = {{128, 10, 1}, {192, 14, 2}, {256, 18, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        TAESCryptoTransform t(c.bits, 2, 0);
        EXPECT_EQ(t.GetHeaderSize(), c.header);
        EXPECT_EQ(t.GetFooterSize(), 10u);
        EXPECT_EQ(t.Strength(), c.strength);
        const std::string first = WriteItem(t, "pw", "", 16);
        EXPECT_EQ(first.size(), c.header + 10);  // AES-128: 8 + 2 + 0 + 10
        const std::string second = WriteItem(t, "pw", "", 16);
        EXPECT_NE(first.substr(0, c.header - 2), second.substr(0, c.header - 2)) << "salts must be fresh";
        const TReadResult r = ReadItem(c.bits, "pw", first, 16);
        EXPECT_TRUE(r.passwordOk);
        EXPECT_FALSE(r.footerInvalid);
    }
    EXPECT_THROW(TAESCryptoTransform(64, 2, 0), Exception);
}

TEST(AESCryptoTransform, KeyBufferNoLongerHoldsTheKeyAfterKeying)
{
    const std::string salt = Random(16, 5);
    TAESCryptoTransform t(256, 2, 8);
    t.SetMode(kTransformModeRead);
    t.Initialize("pw");
    TMemoryStream s = StreamOf(AesOracleItem(256, "pw", salt, "x"));
    t.ReadHeader(s, 0);
    const std::string key = AesOracleKeys(256, "pw", salt).aesKey;
    ASSERT_EQ(t.GetKey().size(), key.size());
    EXPECT_NE(std::string(t.GetKey().begin(), t.GetKey().end()), key);

    t.Reset();
    EXPECT_EQ(t.KeyLength, 0);
    EXPECT_TRUE(t.GetPassword().empty());
    EXPECT_TRUE(t.GetKey().empty());
    EXPECT_TRUE(t.Salt().empty());
}

TEST(AESCryptoTransform, ExtraFieldBytes)
{
    struct {
        int bits;
        uint16_t method;
        std::vector<uint8_t> bytes;
    } const cases[] = {
        {256, 8, {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 0x41, 0x45, 0x03, 0x08, 0x00}},
        {128, 0, {0x01, 0x99, 0x07, 0x00, 0x02, 0x00, 0x41, 0x45, 0x01, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        TAESCryptoTransform t(c.bits, 2, c.method);
        TZAExtraField f;
        t.GetExtraField(f);
        std::vector<uint8_t> raw;
        AppendExtraFields(raw, {f});
        EXPECT_EQ(raw, c.bytes) << c.bits;
    }
}
