#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "zip/AesHardware.h"
#include "zip/CipherRijndael.h"
#include "zip/StringFormat.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Unhex(const std::string& h)
{
    Bytes out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Pattern(size_t n, int seed = 1)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 29 + seed * 7 + (i >> 3));
    return b;
}

const EVP_CIPHER* Evp(const char* kind, size_t keySize)
{
    std::string name = "aes-" + std::to_string(keySize * 8) + "-" + kind;
    return EVP_get_cipherbyname(name.c_str());
}

// OpenSSL as an independent oracle; no padding.
Bytes OpenSslEncrypt(const char* kind, const Bytes& key, const Bytes& iv, const Bytes& data, bool decrypt = false)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EXPECT_EQ(EVP_CipherInit_ex(ctx, Evp(kind, key.size()), nullptr, key.data(), iv.empty() ? nullptr : iv.data(),
                                decrypt ? 0 : 1),
              1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    Bytes out(data.size() + 32);
    int n = 0, m = 0;
    EVP_CipherUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
    EVP_CipherFinal_ex(ctx, out.data() + n, &m);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(n + m);
    return out;
}

Bytes Block(const Bytes& key, Bytes block) { return OpenSslEncrypt("ecb", key, {}, block); }

// A cipher keyed with a copy of the key (keying overwrites the copy).
std::shared_ptr<TCipher_Rijndael> Keyed(const Bytes& key, uint8_t mode, const Bytes& iv = {})
{
    Bytes copy = key;
    auto cipher = std::make_shared<TCipher_Rijndael>();
    cipher->SetKey(copy.data(), copy.size(), iv.empty() ? nullptr : iv.data());
    cipher->SetMode(mode);
    return cipher;
}

Bytes Apply(TCipher& cipher, const Bytes& data, bool decrypt, const std::vector<size_t>& pieces = {})
{
    Bytes out(data.size());
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        size_t n = pieces.empty() ? data.size() : std::min(pieces[i % pieces.size()], data.size() - at);
        if (decrypt)
            cipher.DecryptBuffer(data.data() + at, out.data() + at, n);
        else
            cipher.EncryptBuffer(data.data() + at, out.data() + at, n);
        at += n;
    }
    return out;
}

struct Fips {
    const char* key;
    const char* cipher;
};
const char* kFipsPlain = "00112233445566778899aabbccddeeff";
const Fips kFips[] = {
    {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
};

const Bytes kZeroIv(16, 0);

}  // namespace

// Every cipher test runs on the processor's AES instructions and on the
// table form, which stays the fallback where the instructions are missing.
class Rijndael : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { previous_ = SetAesHardwareAllowed(GetParam()); }
    void TearDown() override { SetAesHardwareAllowed(previous_); }

private:
    bool previous_ = true;
};

INSTANTIATE_TEST_SUITE_P(Paths, Rijndael, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Instructions" : "Tables";
                         });

TEST_P(Rijndael, TheChosenPathIsTheOneThatRuns)
{
    uint8_t key[16] = {};
    TCipher_Rijndael cipher(key, sizeof key);
    EXPECT_EQ(cipher.UsesHardware(), GetParam() && AesHardwareAvailable());
    if (GetParam() && !cipher.UsesHardware())
        GTEST_SKIP() << "this processor has no AES instructions; only the tables ran";
}

TEST(RijndaelPaths, InstructionsAndTablesAgreeOnRandomDataInEveryMode)
{
    if (!AesHardwareAvailable())
        GTEST_SKIP() << "this processor has no AES instructions";
    const Bytes data = Pattern(4099, 11);
    for (size_t keySize : {16u, 24u, 32u}) {
        for (uint8_t mode = 0; mode <= kModeLast; ++mode) {
            Bytes out[2], back[2];
            for (int hardware = 0; hardware < 2; ++hardware) {
                const bool previous = SetAesHardwareAllowed(hardware == 1);
                Bytes key = Pattern(keySize, int(keySize) + mode);
                TCipher_Rijndael cipher(key.data(), key.size());
                SetAesHardwareAllowed(previous);
                ASSERT_EQ(cipher.UsesHardware(), hardware == 1);
                cipher.SetMode(mode);
                out[hardware].resize(data.size());
                // Pieces that split blocks, so many-block runs start mid-stream.
                for (size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 + 1) {
                    const size_t n = std::min(piece, data.size() - at);
                    cipher.EncryptBuffer(data.data() + at, out[hardware].data() + at, n);
                }
                back[hardware].resize(data.size());
                cipher.RestartChain();
                cipher.DecryptBuffer(out[hardware].data(), back[hardware].data(), data.size());
            }
            EXPECT_EQ(out[0], out[1]) << "key " << keySize << " mode " << int(mode);
            EXPECT_EQ(back[0], back[1]) << "key " << keySize << " mode " << int(mode);
        }
    }
}

TEST_P(Rijndael, Fips197VectorsInEveryChainingMode)
{
    // Each mode's first block, from a zero vector, reduces to E(P) or E(0)/E(1)
    // of the appendix C keys.
    const Bytes plain = Unhex(kFipsPlain);
    for (const Fips& v : kFips) {
        const Bytes key = Unhex(v.key), expected = Unhex(v.cipher);
        SCOPED_TRACE(v.key);
        for (uint8_t mode : {kModeECB, kModeCBC, kModeXorFeedback}) {
            auto c = Keyed(key, mode, kZeroIv);
            EXPECT_EQ(Apply(*c, plain, false), expected) << int(mode);
            c->RestartChain();
            EXPECT_EQ(Apply(*c, expected, true), plain) << int(mode);
        }
        // MAC over one block from a zero register: CBC-MAC is E(P).
        auto mac = Keyed(key, kModeMacCBC, kZeroIv);
        Apply(*mac, plain, false);
        EXPECT_EQ(Bytes(mac->FeedbackRegister(), mac->FeedbackRegister() + 16), expected);
        auto macXor = Keyed(key, kModeMacXor, kZeroIv);
        Apply(*macXor, plain, false);
        EXPECT_EQ(Bytes(macXor->FeedbackRegister(), macXor->FeedbackRegister() + 16), expected);
        // Byte-wise feedback modes and counter mode: the keystream is E(FB)
        // or E(counter); with the FIPS plain text as vector, CFB/OFB's first
        // byte is the first byte of the FIPS cipher text.
        for (uint8_t mode : {kModeCFB8, kModeOFB8}) {
            auto c = Keyed(key, mode, plain);
            EXPECT_EQ(Apply(*c, Bytes(1, 0), false)[0], expected[0]) << int(mode);
        }
        Bytes one(16, 0);
        one[0] = 1;
        auto ctr = Keyed(key, kModeCTR);
        EXPECT_EQ(Apply(*ctr, Bytes(16, 0), false), Block(key, one));
    }
}

TEST_P(Rijndael, ModesMatchOpenSslOracle)
{
    for (size_t keySize : {16u, 24u, 32u}) {
        const Bytes key = Pattern(keySize, 3), iv = Pattern(16, 5);
        SCOPED_TRACE(keySize);
        const Bytes blocks = Pattern(96);
        EXPECT_EQ(Apply(*Keyed(key, kModeCBC, iv), blocks, false), OpenSslEncrypt("cbc", key, iv, blocks));
        EXPECT_EQ(Apply(*Keyed(key, kModeECB, iv), blocks, false), OpenSslEncrypt("ecb", key, {}, blocks));
        const Bytes odd = Pattern(77);
        EXPECT_EQ(Apply(*Keyed(key, kModeCFB8, iv), odd, false), OpenSslEncrypt("cfb8", key, iv, odd));
        EXPECT_EQ(Apply(*Keyed(key, kModeCFB8, iv), OpenSslEncrypt("cfb8", key, iv, odd), true), odd);

        // Modes OpenSSL has no direct form of, built from its block function.
        Bytes fb = iv, ofb(odd.size());
        for (size_t i = 0; i < odd.size(); ++i) {
            uint8_t k = Block(key, fb)[0];
            ofb[i] = odd[i] ^ k;
            fb.erase(fb.begin());
            fb.push_back(k);
        }
        EXPECT_EQ(Apply(*Keyed(key, kModeOFB8, iv), odd, false), ofb);

        Bytes ctr(odd.size()), counter(16, 0);
        for (size_t at = 0; at < odd.size(); at += 16) {
            for (int i = 0; i < 8 && ++counter[i] == 0; ++i) {
            }
            Bytes k = Block(key, counter);
            for (size_t i = at; i < std::min(at + 16, odd.size()); ++i)
                ctr[i] = odd[i] ^ k[i - at];
        }
        EXPECT_EQ(Apply(*Keyed(key, kModeCTR), odd, false), ctr);

        Bytes xorFb = iv, xorOut;
        for (size_t at = 0; at < blocks.size(); at += 16) {
            Bytes x(16);
            for (int i = 0; i < 16; ++i)
                x[i] = blocks[at + i] ^ xorFb[i];
            Bytes c = Block(key, x);
            xorOut.insert(xorOut.end(), c.begin(), c.end());
            for (int i = 0; i < 16; ++i)
                xorFb[i] ^= c[i];
        }
        EXPECT_EQ(Apply(*Keyed(key, kModeXorFeedback, iv), blocks, false), xorOut);

        // CBC-MAC: the register ends as the last CBC block.
        auto mac = Keyed(key, kModeMacCBC, iv);
        Bytes untouched = blocks;
        mac->EncryptBuffer(untouched.data(), untouched.data(), untouched.size());
        EXPECT_EQ(untouched, blocks) << "message-code modes write no output";
        Bytes cbc = OpenSslEncrypt("cbc", key, iv, blocks);
        EXPECT_EQ(Bytes(mac->FeedbackRegister(), mac->FeedbackRegister() + 16), Bytes(cbc.end() - 16, cbc.end()));
    }
}

TEST_P(Rijndael, PiecewiseCallsAndRoundTripsInEveryMode)
{
    const Bytes key = Pattern(32, 9), iv = Pattern(16, 4);
    for (uint8_t mode = 0; mode <= kModeECB; ++mode) {
        for (size_t length : {1u, 15u, 16u, 17u, 33u, 100u}) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " length " << length);
            const Bytes data = Pattern(length);
            const Bytes whole = Apply(*Keyed(key, mode, iv), data, false);
            EXPECT_EQ(Apply(*Keyed(key, mode, iv), whole, true), data);
            // Byte-wise modes carry their position across calls.
            if (mode == kModeCTR || mode == kModeCFB8 || mode == kModeOFB8) {
                EXPECT_EQ(Apply(*Keyed(key, mode, iv), data, false, {1, 15, 16, 17}), whole);
            }
        }
    }
}

TEST_P(Rijndael, KeyingOverwritesCallersKeyAndPadsOddSizes)
{
    Bytes key = Unhex(kFips[0].key);
    const Bytes original = key;
    TCipher_Rijndael cipher(key.data(), key.size());
    EXPECT_NE(key, original);
    EXPECT_TRUE(cipher.KeySet());
    EXPECT_EQ(cipher.Rounds(), 10);

    // 20 bytes: 12 rounds with four zero bytes after the key.
    const Bytes key20 = Pattern(20);
    Bytes key24 = key20;
    key24.resize(24, 0);
    auto c20 = Keyed(key20, kModeECB);
    EXPECT_EQ(c20->Rounds(), 12);
    EXPECT_EQ(Apply(*c20, Pattern(32), false), OpenSslEncrypt("ecb", key24, {}, Pattern(32)));

    // Oversized keys are cut to 32 bytes, and all 40 caller bytes overwritten.
    Bytes key40 = Pattern(40);
    const Bytes key32(key40.begin(), key40.begin() + 32);
    Bytes copy40 = key40;
    TCipher_Rijndael c40(copy40.data(), copy40.size());
    c40.SetMode(kModeECB);
    EXPECT_EQ(c40.Rounds(), 14);
    EXPECT_EQ(Apply(c40, Pattern(16), false), OpenSslEncrypt("ecb", key32, {}, Pattern(16)));
    EXPECT_NE(Bytes(copy40.begin() + 32, copy40.end()), Bytes(key40.begin() + 32, key40.end()));

    // In a message-code mode nothing is written, so the copy is cleared instead.
    TCipher_Rijndael macCipher;
    macCipher.SetMode(kModeMacCBC);
    Bytes macKey = Pattern(16);
    macCipher.SetKey(macKey.data(), macKey.size());
    EXPECT_EQ(macKey, Bytes(16, 0));
}

TEST_P(Rijndael, UseBeforeKeyingFailsAndWipeForgetsTheKey)
{
    TCipher_Rijndael cipher;
    uint8_t data[16] = {};
    try {
        cipher.EncryptBuffer(data, data, sizeof data);
        FAIL() << "no exception";
    } catch (const ECipherException& e) {
        EXPECT_EQ(e.ErrorCode, kCipherErrorNotInitialized);
        EXPECT_EQ(e.Message(), "TCipher_Rijndael is not initialized call Init() or InitKey() before.");
    }
    EXPECT_THROW(cipher.ProcessBuffer(data, sizeof data, kActionEncrypt), ECipherException);

    auto keyed = Keyed(Pattern(16), kModeCBC, kZeroIv);
    keyed->Wipe();
    EXPECT_FALSE(keyed->Initialized());
    EXPECT_FALSE(keyed->KeySet());
    EXPECT_EQ(Bytes(keyed->InitVector(), keyed->InitVector() + 16), Bytes(16, 0xFF));
    EXPECT_THROW(keyed->DecryptBuffer(data, data, sizeof data), ECipherException);
}

TEST_P(Rijndael, CounterModeForgetsTheOldKeysKeystream)
{
    const Bytes oldKey = Pattern(32, 1), otherOldKey = Pattern(32, 2), newKey = Pattern(16, 3);
    const Bytes data = Pattern(40);

    // Re-keyed after the same number of bytes, two ciphers that started
    // from different keys must agree: nothing of the old key is left.
    auto rekeyed = [&](const Bytes& first) {
        auto c = Keyed(first, kModeCTR);
        Apply(*c, Pattern(5), false);  // leaves a keystream block half used
        Bytes k = newKey;
        c->SetKey(k.data(), k.size());
        Bytes out = Apply(*c, data, false);
        out.insert(out.begin(), k.begin(), k.end());  // the overwritten key copy too
        return out;
    };
    EXPECT_EQ(rekeyed(oldKey), rekeyed(otherOldKey));

    // A wiped cipher keyed again behaves as a new one keyed the same way.
    auto fresh = std::make_shared<TCipher_Rijndael>();
    fresh->SetMode(kModeCTR);
    Bytes k1 = newKey;
    fresh->SetKey(k1.data(), k1.size());
    auto wiped = Keyed(oldKey, kModeCTR);
    Apply(*wiped, Pattern(5), false);
    wiped->Wipe();
    Bytes k2 = newKey;
    wiped->SetKey(k2.data(), k2.size());
    EXPECT_EQ(k2, k1);
    EXPECT_EQ(Apply(*wiped, data, false), Apply(*fresh, data, false));
}

TEST_P(Rijndael, SelfTestDataAndClassRegistry)
{
    TCipher_Rijndael probe;
    const TCipherTestData* test = probe.GetSelfTestData();
    ASSERT_NE(test, nullptr);
    Bytes key(test->Key, test->Key + test->KeySize);
    EXPECT_EQ(Apply(*Keyed(key, kModeECB), Bytes(test->Plain, test->Plain + 16), false),
              Bytes(test->Cipher, test->Cipher + 16));

    std::vector<std::string> entries = CipherClassEntries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Rijndael="), entries.end());
    const TCipherClass* cls = FindCipherClass("rijndael");
    ASSERT_EQ(cls, &TCipher_Rijndael::Class());
    Bytes k = Pattern(16);
    auto made = cls->Create(k.data(), k.size());
    EXPECT_STREQ(made->ClassName(), "TCipher_Rijndael");
    EXPECT_TRUE(made->Initialized());

    // Re-adding a class replaces its entry; removing forgets it.
    AddCipherClass(cls, "AES", "Advanced Encryption Standard");
    entries = CipherClassEntries();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "AES=Advanced Encryption Standard"), 1);
    EXPECT_EQ(std::find(entries.begin(), entries.end(), "Rijndael="), entries.end());
    RemoveCipherClass(cls);
    EXPECT_EQ(FindCipherClass("AES"), nullptr);
    AddCipherClass(cls, "", "");
    EXPECT_EQ(FindCipherClass("Rijndael"), cls);
}

TEST(Protection, ChainsApplyInOrderAndRefuseCycles)
{
    const Bytes data = Pattern(50);
    auto outer = Keyed(Pattern(16, 1), kModeCBC, kZeroIv);
    auto inner = Keyed(Pattern(32, 2), kModeCTR);
    outer->SetProtection(inner);

    Bytes buffer = data;
    outer->ProcessBuffer(buffer.data(), buffer.size(), kActionEncrypt);
    // Encrypting runs the chained protection first, then the outer cipher.
    Bytes expected = Apply(*Keyed(Pattern(16, 1), kModeCBC, kZeroIv), Apply(*Keyed(Pattern(32, 2), kModeCTR), data, false),
                         false);
    EXPECT_EQ(buffer, expected);

    auto outer2 = Keyed(Pattern(16, 1), kModeCBC, kZeroIv);
    outer2->SetProtection(Keyed(Pattern(32, 2), kModeCTR));
    outer2->ProcessBuffer(buffer.data(), buffer.size(), kActionDecrypt);
    EXPECT_EQ(buffer, data);

    EXPECT_THROW(inner->SetProtection(outer), EProtection);
    EXPECT_THROW(outer->SetProtection(outer), EProtection);
    try {
        inner->SetProtection(outer);
    } catch (const EProtection& e) {
        EXPECT_EQ(e.Message(), "Circular Protection detected, Protection Object is invalid.");
    }
    EXPECT_EQ(inner->Protection(), nullptr);

    // A cipher outside the action set leaves the data to its chain.
    auto skip = Keyed(Pattern(16, 1), kModeCBC, kZeroIv);
    skip->Actions = 0;
    buffer = data;
    skip->ProcessBuffer(buffer.data(), buffer.size(), kActionEncrypt);
    EXPECT_EQ(buffer, data);
}

TEST(Protection, StreamsInPlaceAndMeasuring)
{
    // Whole-block CBC over several 4096-byte pieces, in place.
    const Bytes data = Pattern(4096 * 2 + 512);
    const Bytes key = Pattern(16, 6);
    TMemoryStream stream;
    stream.WriteBuffer(data.data(), data.size());
    Keyed(key, kModeCBC, kZeroIv)->ProcessStream(stream, nullptr, -1, kActionEncrypt);
    Bytes encrypted(stream.Memory(), stream.Memory() + stream.GetSize());
    EXPECT_EQ(encrypted, OpenSslEncrypt("cbc", key, kZeroIv, data));

    // A sized run from the current position into another stream.
    TMemoryStream out;
    stream.SetPosition(16);
    Keyed(key, kModeCBC, Bytes(encrypted.begin(), encrypted.begin() + 16))
        ->ProcessStream(stream, &out, 4096, kActionDecrypt);
    EXPECT_EQ(Bytes(out.Memory(), out.Memory() + out.GetSize()), Bytes(data.begin() + 16, data.begin() + 16 + 4096));

    // Measuring writes nothing and leaves the message code in the register.
    auto mac = Keyed(key, kModeMacCBC, kZeroIv);
    TMemoryStream plain;
    plain.WriteBuffer(data.data(), data.size());
    mac->ProcessStream(plain, nullptr, -1, kActionMeasure);
    EXPECT_EQ(Bytes(plain.Memory(), plain.Memory() + plain.GetSize()), data);
    EXPECT_EQ(Bytes(mac->FeedbackRegister(), mac->FeedbackRegister() + 16), Bytes(encrypted.end() - 16, encrypted.end()));

    // A random start replaces the register each time.
    auto random = Keyed(key, kModeCBC, kZeroIv);
    random->StartProcessing(kActionRandomFeedback);
    Bytes first(random->FeedbackRegister(), random->FeedbackRegister() + 16);
    random->StartProcessing(kActionRandomFeedback);
    EXPECT_NE(first, Bytes(random->FeedbackRegister(), random->FeedbackRegister() + 16));
}

TEST(Protection, StringsThroughTextFormats)
{
    const Bytes key = Pattern(24, 8);
    const std::string secret = "portfolio password, 38 bytes long....";
    for (int format : {kFormatHEX, kFormatMIME64, kFormatUU, kFormatXX, kFormatDefault}) {
        std::string text = Keyed(key, kModeCTR)->ProcessString(secret, kActionEncrypt, format);
        Bytes raw = Apply(*Keyed(key, kModeCTR), Bytes(secret.begin(), secret.end()), false);
        EXPECT_EQ(text, FormatToText(std::string(raw.begin(), raw.end()), format)) << format;
        EXPECT_EQ(Keyed(key, kModeCTR)->ProcessString(text, kActionDecrypt, format), secret) << format;
    }
    EXPECT_THROW(Keyed(key, kModeCTR)->ProcessString("not hex!", kActionDecrypt, kFormatHEX), EStringFormat);
}

TEST(Protection, FilesAreReplacedWholeOrNotAtAll)
{
    TempDir dir;
    const Bytes key = Pattern(32, 2);
    const Bytes data = Pattern(10000);
    const std::string plain = dir.Write("plain.bin", std::string(data.begin(), data.end()));
    const std::string target = dir.Write("target.bin", std::string(20000, 'x'));  // longer: must be cut
    chmod(target.c_str(), 0600);

    Keyed(key, kModeCTR)->ProcessFile(plain, target, kActionEncrypt);
    std::string encrypted = ReadFileBytes(target);
    Bytes expected = Apply(*Keyed(key, kModeCTR), data, false);
    EXPECT_EQ(encrypted, std::string(expected.begin(), expected.end()));
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // In place: the file itself becomes the plain text again.
    Keyed(key, kModeCTR)->ProcessFile(target, "", kActionDecrypt);
    EXPECT_EQ(ReadFileBytes(target), std::string(data.begin(), data.end()));

    // A missing source leaves the target and the folder as they were.
    EXPECT_THROW(Keyed(key, kModeCTR)->ProcessFile(dir / "missing.bin", target, kActionEncrypt), Exception);
    EXPECT_EQ(ReadFileBytes(target), std::string(data.begin(), data.end()));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2u);
}
