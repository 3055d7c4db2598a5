#include "zip/CipherRijndael.h"

#include <array>
#include <cstring>

#include "zip/AesHardware.h"
#include "zip/SecureBytes.h"

namespace {

constexpr uint8_t Mul(uint8_t a, uint8_t b)
{
    uint8_t r = 0;
    while (b != 0) {
        if (b & 1)
            r ^= a;
        a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
        b >>= 1;
    }
    return r;
}

constexpr uint32_t Ror8(uint32_t x) { return (x >> 8) | (x << 24); }

struct Tables {
    uint8_t S[256];
    uint8_t InvS[256];
    uint32_t Te[4][256];
    uint32_t Td[4][256];
};

constexpr Tables MakeTables()
{
    Tables t{};
    // Inverses through powers of the generator 3: a search over all pairs
    // exceeds the compilers' constant-evaluation budget.
    uint8_t exp[255] = {};
    uint8_t log[256] = {};
    uint8_t p = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = p;
        log[p] = static_cast<uint8_t>(i);
        p = Mul(p, 3);
    }
    // S-box: multiplicative inverse followed by the affine transformation.
    for (int x = 0; x < 256; ++x) {
        const uint8_t inv = x == 0 ? 0 : exp[(255 - log[x]) % 255];
        uint8_t s = inv;
        for (int k = 1; k <= 4; ++k)
            s ^= static_cast<uint8_t>((inv << k) | (inv >> (8 - k)));
        s ^= 0x63;
        t.S[x] = s;
        t.InvS[s] = static_cast<uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        uint8_t s = t.S[x];
        uint32_t e = (uint32_t(Mul(s, 2)) << 24) | (uint32_t(s) << 16) | (uint32_t(s) << 8) | Mul(s, 3);
        uint8_t i = t.InvS[x];
        uint32_t d = (uint32_t(Mul(i, 14)) << 24) | (uint32_t(Mul(i, 9)) << 16) | (uint32_t(Mul(i, 13)) << 8) |
                     Mul(i, 11);
        for (int k = 0; k < 4; ++k) {
            t.Te[k][x] = e;
            t.Td[k][x] = d;
            e = Ror8(e);
            d = Ror8(d);
        }
    }
    return t;
}

constexpr Tables kT = MakeTables();

inline uint32_t Load(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline void Store(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

inline uint32_t SubWord(uint32_t w)
{
    return (uint32_t(kT.S[w >> 24]) << 24) | (uint32_t(kT.S[(w >> 16) & 255]) << 16) |
           (uint32_t(kT.S[(w >> 8) & 255]) << 8) | kT.S[w & 255];
}

inline uint32_t InvMixColumn(uint32_t w)
{
    return kT.Td[0][kT.S[w >> 24]] ^ kT.Td[1][kT.S[(w >> 16) & 255]] ^ kT.Td[2][kT.S[(w >> 8) & 255]] ^
           kT.Td[3][kT.S[w & 255]];
}

constexpr size_t kWordsPerSchedule = 60;  // 4 x (14 + 1)

// FIPS-197 appendix C.3.
const uint8_t kTestKey[32] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a,
                              0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15,
                              0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};
const uint8_t kTestPlain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
const uint8_t kTestCipher[16] = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                                 0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
const TCipherTestData kTestData = {kTestKey, 32, kTestPlain, kTestCipher};

std::shared_ptr<TCipher> Create(void* key, size_t size) { return std::make_shared<TCipher_Rijndael>(key, size); }

const TCipherClass kClass = {"TCipher_Rijndael", Create};

}  // namespace

const TCipherContext& TCipher_Rijndael::Context()
{
    static const TCipherContext context = {16, 32, 480};
    return context;
}

const TCipherClass& TCipher_Rijndael::Class() { return kClass; }

TCipher_Rijndael::TCipher_Rijndael(void* key, size_t size) : TCipher(Context())
{
    if (key != nullptr)
        SetKey(key, size, nullptr);
}

void TCipher_Rijndael::GetSizes(size_t& blockSize, size_t& maxKeySize, size_t& scheduleSize) const
{
    blockSize = Context().BlockSize;
    maxKeySize = Context().MaxKeySize;
    scheduleSize = Context().ScheduleSize;
}

const TCipherTestData* TCipher_Rijndael::GetSelfTestData() const { return &kTestData; }

void TCipher_Rijndael::ScheduleKey(const void* key, size_t size, const void* vector)
{
    if (size > 32)
        size = 32;
    rounds_ = size <= 16 ? 10 : size <= 24 ? 12 : 14;
    uint8_t padded[32] = {};
    if (key != nullptr && size > 0)
        std::memcpy(padded, key, size);

    uint32_t* enc = ScheduleWords();
    uint32_t* dec = enc + kWordsPerSchedule;
    const int nk = rounds_ - 6;
    const int total = 4 * (rounds_ + 1);
    for (int i = 0; i < nk; ++i)
        enc[i] = Load(padded + 4 * i);
    uint8_t rcon = 1;
    for (int i = nk; i < total; ++i) {
        uint32_t temp = enc[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t(rcon) << 24);
            rcon = Mul(rcon, 2);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        enc[i] = enc[i - nk] ^ temp;
    }
    // Round keys of the equivalent inverse cipher, in the order decryption uses them.
    for (int j = 0; j < 4; ++j) {
        dec[j] = enc[4 * rounds_ + j];
        dec[4 * rounds_ + j] = enc[j];
    }
    for (int r = 1; r < rounds_; ++r)
        for (int j = 0; j < 4; ++j)
            dec[4 * r + j] = InvMixColumn(enc[4 * (rounds_ - r) + j]);
    SecureZero(padded, sizeof padded);
    hardware_ = AesHardwareAvailable();
    if (hardware_) {
        const int words = 4 * (rounds_ + 1);
        for (int i = 0; i < words; ++i) {
            Store(hardwareKeys_[0] + 4 * i, enc[i]);
            Store(hardwareKeys_[1] + 4 * i, dec[i]);
        }
    }
    TCipher::ScheduleKey(key, size, vector);
}

TCipher_Rijndael::~TCipher_Rijndael() { SecureZero(hardwareKeys_, sizeof hardwareKeys_); }

void TCipher_Rijndael::Wipe()
{
    TCipher::Wipe();
    SecureZero(hardwareKeys_, sizeof hardwareKeys_);
}

void TCipher_Rijndael::EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (hardware_)
        AesHardwareEncryptBlocks(hardwareKeys_[0], rounds_, in, out, blocks);
    else
        TCipher::EncryptBlocks(in, out, blocks);
}

void TCipher_Rijndael::DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks)
{
    if (hardware_)
        AesHardwareDecryptBlocks(hardwareKeys_[1], rounds_, in, out, blocks);
    else
        TCipher::DecryptBlocks(in, out, blocks);
}

void TCipher_Rijndael::EncryptCounterBlocks(uint8_t* counter, const uint8_t* in, uint8_t* out, size_t blocks,
                                            uint8_t* lastKeystream)
{
    if (hardware_)
        AesHardwareCounterBlocks(hardwareKeys_[0], rounds_, counter, in, out, blocks, lastKeystream);
    else
        TCipher::EncryptCounterBlocks(counter, in, out, blocks, lastKeystream);
}

void TCipher_Rijndael::EncryptBlock(uint8_t* block)
{
    if (hardware_) {
        AesHardwareEncryptBlocks(hardwareKeys_[0], rounds_, block, block, 1);
        return;
    }
    const uint32_t* rk = ScheduleWords();
    uint32_t s0 = Load(block) ^ rk[0], s1 = Load(block + 4) ^ rk[1], s2 = Load(block + 8) ^ rk[2],
             s3 = Load(block + 12) ^ rk[3];
    for (int r = 1; r < rounds_; ++r) {
        rk += 4;
        uint32_t t0 = kT.Te[0][s0 >> 24] ^ kT.Te[1][(s1 >> 16) & 255] ^ kT.Te[2][(s2 >> 8) & 255] ^
                      kT.Te[3][s3 & 255] ^ rk[0];
        uint32_t t1 = kT.Te[0][s1 >> 24] ^ kT.Te[1][(s2 >> 16) & 255] ^ kT.Te[2][(s3 >> 8) & 255] ^
                      kT.Te[3][s0 & 255] ^ rk[1];
        uint32_t t2 = kT.Te[0][s2 >> 24] ^ kT.Te[1][(s3 >> 16) & 255] ^ kT.Te[2][(s0 >> 8) & 255] ^
                      kT.Te[3][s1 & 255] ^ rk[2];
        uint32_t t3 = kT.Te[0][s3 >> 24] ^ kT.Te[1][(s0 >> 16) & 255] ^ kT.Te[2][(s1 >> 8) & 255] ^
                      kT.Te[3][s2 & 255] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
        return ((uint32_t(kT.S[a >> 24]) << 24) | (uint32_t(kT.S[(b >> 16) & 255]) << 16) |
                (uint32_t(kT.S[(c >> 8) & 255]) << 8) | kT.S[d & 255]) ^
               k;
    };
    Store(block, last(s0, s1, s2, s3, rk[0]));
    Store(block + 4, last(s1, s2, s3, s0, rk[1]));
    Store(block + 8, last(s2, s3, s0, s1, rk[2]));
    Store(block + 12, last(s3, s0, s1, s2, rk[3]));
}

void TCipher_Rijndael::DecryptBlock(uint8_t* block)
{
    if (hardware_) {
        AesHardwareDecryptBlocks(hardwareKeys_[1], rounds_, block, block, 1);
        return;
    }
    const uint32_t* rk = ScheduleWords() + kWordsPerSchedule;
    uint32_t s0 = Load(block) ^ rk[0], s1 = Load(block + 4) ^ rk[1], s2 = Load(block + 8) ^ rk[2],
             s3 = Load(block + 12) ^ rk[3];
    for (int r = 1; r < rounds_; ++r) {
        rk += 4;
        uint32_t t0 = kT.Td[0][s0 >> 24] ^ kT.Td[1][(s3 >> 16) & 255] ^ kT.Td[2][(s2 >> 8) & 255] ^
                      kT.Td[3][s1 & 255] ^ rk[0];
        uint32_t t1 = kT.Td[0][s1 >> 24] ^ kT.Td[1][(s0 >> 16) & 255] ^ kT.Td[2][(s3 >> 8) & 255] ^
                      kT.Td[3][s2 & 255] ^ rk[1];
        uint32_t t2 = kT.Td[0][s2 >> 24] ^ kT.Td[1][(s1 >> 16) & 255] ^ kT.Td[2][(s0 >> 8) & 255] ^
                      kT.Td[3][s3 & 255] ^ rk[2];
        uint32_t t3 = kT.Td[0][s3 >> 24] ^ kT.Td[1][(s2 >> 16) & 255] ^ kT.Td[2][(s1 >> 8) & 255] ^
                      kT.Td[3][s0 & 255] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    auto last = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
        return ((uint32_t(kT.InvS[a >> 24]) << 24) | (uint32_t(kT.InvS[(b >> 16) & 255]) << 16) |
                (uint32_t(kT.InvS[(c >> 8) & 255]) << 8) | kT.InvS[d & 255]) ^
               k;
    };
    Store(block, last(s0, s3, s2, s1, rk[0]));
    Store(block + 4, last(s1, s0, s3, s2, rk[1]));
    Store(block + 8, last(s2, s1, s0, s3, rk[2]));
    Store(block + 12, last(s3, s2, s1, s0, rk[3]));
}
