#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zip/Digest.h"
#include "zip/Hmac.h"
#include "zip/PBKDF2.h"
#include "zip/Sha1.h"

namespace {

std::string Hex(const uint8_t* p, size_t n)
{
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

std::string Unhex(const std::string& h)
{
    std::string out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

std::string Sha1Hex(const std::string& data)
{
    TDigestBuffer out;
    Digest(Sha1Descriptor(), data.data(), data.size(), out);
    return Hex(out.data(), 20);
}

std::string HmacHex(const std::string& key, const std::string& data)
{
    THmacContext c;
    HmacInit(c, &Sha1Descriptor(), key.data(), key.size());
    HmacUpdate(c, data.data(), data.size());
    TDigestBuffer out;
    HmacFinal(c, out);
    return Hex(out.data(), 20);
}

std::string Pbkdf2Hex(const std::string& password, const std::string& salt, int iterations, size_t length)
{
    std::vector<uint8_t> out(length);
    DeriveKey(password.data(), password.size(), salt.data(), length, out.data(), iterations, salt.size());
    return Hex(out.data(), out.size());
}

// Runs a digest test on the processor's SHA instructions and on the
// portable compression function.
class ShaPaths : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { previous_ = SetSha1HardwareAllowed(GetParam()); }
    void TearDown() override { SetSha1HardwareAllowed(previous_); }

private:
    bool previous_ = true;
};

std::string PathName(const ::testing::TestParamInfo<bool>& info)
{
    return info.param ? "Instructions" : "Portable";
}

}  // namespace

class Sha1 : public ShaPaths {};
class Hmac : public ShaPaths {};
class KeyDerivation : public ShaPaths {};
INSTANTIATE_TEST_SUITE_P(Paths, Sha1, ::testing::Bool(), PathName);
INSTANTIATE_TEST_SUITE_P(Paths, Hmac, ::testing::Bool(), PathName);
INSTANTIATE_TEST_SUITE_P(Paths, KeyDerivation, ::testing::Bool(), PathName);

TEST(Sha1Paths, InstructionsAndPortableAgreeOnRandomBlocks)
{
    if (!Sha1HardwareAvailable())
        GTEST_SKIP() << "this processor has no SHA instructions";
    std::string data(64 * 257, '\0');
    uint32_t seed = 12345;
    for (char& c : data) {
        seed = seed * 134775813u + 1;
        c = char(seed >> 24);
    }
    for (size_t blocks : {1u, 2u, 3u, 257u}) {
        uint32_t state[2][5];
        for (int hardware = 0; hardware < 2; ++hardware) {
            const uint32_t start[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
            std::copy(start, start + 5, state[hardware]);
            const bool previous = SetSha1HardwareAllowed(hardware == 1);
            Sha1CompressBlocks(state[hardware], reinterpret_cast<const uint8_t*>(data.data()), blocks);
            SetSha1HardwareAllowed(previous);
        }
        EXPECT_TRUE(std::equal(state[0], state[0] + 5, state[1])) << blocks << " blocks";
    }
}

TEST_P(Sha1, Rfc3174Vectors)
{
    EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Sha1Hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    std::string rep;
    for (int i = 0; i < 10; ++i)
        rep += "0123456701234567012345670123456701234567012345670123456701234567";
    EXPECT_EQ(Sha1Hex(rep), "dea356a2cddd90c7a7ecedc5ebb563934f460452");
    EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST_P(Sha1, PiecewiseUpdatesMatchOpenSsl)
{
    // Lengths around the 55/56/64-byte padding boundaries, fed in odd pieces.
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += static_cast<char>(i * 7 + 3);
    for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
        for (size_t piece : {1u, 7u, 64u, 100u}) {
            TDigestContext c;
            Sha1Init(c);
            for (size_t at = 0; at < length; at += piece)
                Sha1Update(c, data.data() + at, std::min(piece, length - at));
            TDigestBuffer ours;
            Sha1Final(c, ours);
            unsigned char ref[20];
            unsigned int refLength = 0;
            EVP_Digest(data.data(), length, ref, &refLength, EVP_sha1(), nullptr);
            EXPECT_EQ(Hex(ours.data(), 20), Hex(ref, 20)) << "length " << length << " piece " << piece;
            for (size_t i = 20; i < ours.size(); ++i)
                ASSERT_EQ(ours[i], 0) << "digest area not zeroed after the digest";
        }
    }
}

TEST(DigestRegistry, LookupsAndRefusedRegistrations)
{
    EXPECT_EQ(FindDigestByName("sha1"), &Sha1Descriptor());
    EXPECT_EQ(FindDigestByName("SHA1"), &Sha1Descriptor());
    EXPECT_EQ(FindDigestByName("SHA-1"), nullptr);
    EXPECT_EQ(FindDigestById(kDigestIdSHA1), &Sha1Descriptor());
    EXPECT_EQ(FindDigestById(9), nullptr);
    EXPECT_EQ(FindDigestById(-1), nullptr);
    EXPECT_EQ(FindDigestById(4), nullptr);

    // A record under the wrong slot, or with a bad magic, is not stored.
    TDigestDescriptor other = Sha1Descriptor();
    std::strcpy(other.Name, "OTHER");
    other.Identifier = 5;
    RegisterDigest(4, &other);
    EXPECT_EQ(FindDigestById(4), nullptr);
    other.Magic = 0;
    RegisterDigest(5, &other);
    EXPECT_EQ(FindDigestById(5), nullptr);
    other.Magic = kDigestMagic;
    RegisterDigest(5, &other);
    EXPECT_EQ(FindDigestByName("other"), &other);
    // Only a-z fold: a name that differs elsewhere does not match.
    EXPECT_EQ(FindDigestByName("OTHER "), nullptr);

    // HMAC and PBKDF2 keep a block and a digest in fixed areas; a digest that
    // would not fit them is refused rather than written past their ends.
    const struct {
        uint16_t blockSize, digestSize;
    } oversized[] = {{kMaxDigestBlockSize + 1, 20}, {64, kMaxDigestSize + 1}};
    for (const auto& o : oversized) {
        TDigestDescriptor big = Sha1Descriptor();
        std::strcpy(big.Name, "BIG");
        big.Identifier = 6;
        big.BlockSize = o.blockSize;
        big.DigestSize = o.digestSize;
        RegisterDigest(6, &big);
        EXPECT_EQ(FindDigestById(6), nullptr) << o.blockSize << " " << o.digestSize;
    }
    UnregisterAllDigests();
    EXPECT_EQ(FindDigestByName("SHA1"), nullptr);
    RegisterDigest(kDigestIdSHA1, &Sha1Descriptor());
    EXPECT_EQ(FindDigestByName("sha1"), &Sha1Descriptor());
}

TEST_P(Hmac, Rfc2202Vectors)
{
    struct Case {
        std::string key, data, mac;
    } cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::string(20, '\xaa'), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {Unhex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
         "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {std::string(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        // Keys longer than the block are reduced to their digest first.
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HmacHex(c.key, c.data), c.mac) << c.data;
}

TEST_P(Hmac, KeyLengthsAroundTheBlockMatchOpenSsl)
{
    for (size_t keyLength : {0u, 1u, 63u, 64u, 65u, 200u}) {
        std::string key(keyLength, '\0');
        for (size_t i = 0; i < keyLength; ++i)
            key[i] = static_cast<char>(i * 31 + 1);
        std::string data = "message";
        unsigned char ref[20];
        unsigned int refLength = 0;
        HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
             data.size(), ref, &refLength);
        EXPECT_EQ(HmacHex(key, data), Hex(ref, 20)) << "key length " << keyLength;
    }
}

TEST_P(Hmac, WithoutDescriptorLeavesOutputAndFinalClearsContext)
{
    THmacContext c;
    HmacInit(c, nullptr, "k", 1);
    HmacUpdate(c, "x", 1);
    TDigestBuffer out;
    out.fill(0xEE);
    HmacFinal(c, out);
    EXPECT_EQ(out[0], 0xEE);

    HmacInit(c, &Sha1Descriptor(), "secret", 6);
    HmacFinal(c, out);
    const auto* raw = reinterpret_cast<const uint8_t*>(&c);
    for (size_t i = 0; i < sizeof c; ++i)
        ASSERT_EQ(raw[i], 0) << "key material left in the context at byte " << i;
}

TEST_P(Hmac, ConstantTimeEqual)
{
    const uint8_t a[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    uint8_t b[10];
    std::memcpy(b, a, 10);
    EXPECT_TRUE(ConstantTimeEqual(a, b, 10));
    EXPECT_TRUE(ConstantTimeEqual(a, b, 0));
    for (int i : {0, 5, 9}) {
        b[i] ^= 0x80;
        EXPECT_FALSE(ConstantTimeEqual(a, b, 10)) << i;
        b[i] ^= 0x80;
    }
}

TEST_P(KeyDerivation, Rfc6070Vectors)
{
    EXPECT_EQ(Pbkdf2Hex("password", "salt", 1, 20), "0c60c80f961f0e71f3a9b524af6012062fe037a6");
    EXPECT_EQ(Pbkdf2Hex("password", "salt", 2, 20), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    EXPECT_EQ(Pbkdf2Hex("password", "salt", 4096, 20), "4b007901b765489abead49d926f721d065a429c1");
    EXPECT_EQ(Pbkdf2Hex("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25),
              "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
    EXPECT_EQ(Pbkdf2Hex(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16),
              "56fa6aa75548099dcc37d7f03425e0c3");
}

TEST_P(KeyDerivation, LengthsMatchOpenSslAndEdgeResults)
{
    // Lengths that cut the last block, long passwords and the AES item sizes.
    const std::string longPassword(100, 'p');
    for (size_t length : {1u, 19u, 21u, 34u, 50u, 66u}) {
        for (const std::string& password : {std::string("pw"), longPassword}) {
            std::vector<unsigned char> ref(length);
            PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                                   reinterpret_cast<const unsigned char*>("0123456789abcdef"), 16, 1000,
                                   static_cast<int>(length), ref.data());
            EXPECT_EQ(Pbkdf2Hex(password, "0123456789abcdef", 1000, length), Hex(ref.data(), length))
                << "length " << length << " password " << password.size();
        }
    }
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(Pbkdf2(nullptr, "p", 1, 4, out, 1, 1, "s"), kPbkdf2NoDescriptor);
    TDigestDescriptor empty = Sha1Descriptor();
    empty.DigestSize = 0;
    EXPECT_EQ(Pbkdf2(&empty, "p", 1, 4, out, 1, 1, "s"), kPbkdf2NoDigestSize);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(Pbkdf2(&Sha1Descriptor(), "p", 1, 4, out, 0, 1, "s"), kPbkdf2Ok);
    EXPECT_EQ(Hex(out, 4), "00000000");
}

TEST_P(KeyDerivation, ObjectDrawsFreshSaltsAndDerivesWithThem)
{
    TPBKDF2 a("secret", 1000, 16), b("secret", 1000, 16);
    ASSERT_EQ(a.GetSalt().size(), 16u);
    EXPECT_NE(a.GetSalt(), b.GetSalt());

    std::vector<uint8_t> salt = a.GetSalt();
    TPBKDF2 same("secret", 1000, salt.size(), salt.data());
    TSecureBytes k1 = a.GetKey(66), k2 = same.GetKey(66);
    EXPECT_EQ(k1, k2);
    std::string saltText(salt.begin(), salt.end());
    EXPECT_EQ(Hex(k1.data(), k1.size()), Pbkdf2Hex("secret", saltText, 1000, 66));
    EXPECT_NE(TPBKDF2("other", 1000, salt.size(), salt.data()).GetKey(66), k1);
}
