#include "zip/Sha1.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

#include "zip/SecureBytes.h"

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadBig(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// The portable compression: a ring of sixteen schedule words and the eighty
// rounds written out, so the words stay in registers and nothing is copied.
void CompressPortable(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    uint32_t w[16];
    uint32_t a, b, c, d, e;
#define VELMORA_SHA1_W(i) \
    (w[(i) & 15] = Rol(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i) & 15], 1))
#define VELMORA_SHA1_STEP(v, w_, x, y, z, f, k, wi) \
    z += Rol(v, 5) + (f) + (k) + (wi);              \
    w_ = Rol(w_, 30);
#define VELMORA_SHA1_F1(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define VELMORA_SHA1_F2(x, y, z) ((x) ^ (y) ^ (z))
#define VELMORA_SHA1_F3(x, y, z) (((x) & (y)) | ((z) & ((x) | (y))))
#define VELMORA_SHA1_R0(v, w_, x, y, z, i) \
    w[i] = LoadBig(data + 4 * (i));        \
    VELMORA_SHA1_STEP(v, w_, x, y, z, VELMORA_SHA1_F1(w_, x, y), 0x5A827999u, w[i])
#define VELMORA_SHA1_R1(v, w_, x, y, z, i) \
    VELMORA_SHA1_STEP(v, w_, x, y, z, VELMORA_SHA1_F1(w_, x, y), 0x5A827999u, VELMORA_SHA1_W(i))
#define VELMORA_SHA1_R2(v, w_, x, y, z, i) \
    VELMORA_SHA1_STEP(v, w_, x, y, z, VELMORA_SHA1_F2(w_, x, y), 0x6ED9EBA1u, VELMORA_SHA1_W(i))
#define VELMORA_SHA1_R3(v, w_, x, y, z, i) \
    VELMORA_SHA1_STEP(v, w_, x, y, z, VELMORA_SHA1_F3(w_, x, y), 0x8F1BBCDCu, VELMORA_SHA1_W(i))
#define VELMORA_SHA1_R4(v, w_, x, y, z, i) \
    VELMORA_SHA1_STEP(v, w_, x, y, z, VELMORA_SHA1_F2(w_, x, y), 0xCA62C1D6u, VELMORA_SHA1_W(i))
#define VELMORA_SHA1_FIVE(R, i)         \
    R(a, b, c, d, e, (i));              \
    R(e, a, b, c, d, (i) + 1);          \
    R(d, e, a, b, c, (i) + 2);          \
    R(c, d, e, a, b, (i) + 3);          \
    R(b, c, d, e, a, (i) + 4);
    for (; blocks > 0; --blocks, data += 64) {
        a = state[0];
        b = state[1];
        c = state[2];
        d = state[3];
        e = state[4];
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R0, 0)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R0, 5)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R0, 10)
        VELMORA_SHA1_R0(a, b, c, d, e, 15);
        VELMORA_SHA1_R1(e, a, b, c, d, 16);
        VELMORA_SHA1_R1(d, e, a, b, c, 17);
        VELMORA_SHA1_R1(c, d, e, a, b, 18);
        VELMORA_SHA1_R1(b, c, d, e, a, 19);
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R2, 20)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R2, 25)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R2, 30)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R2, 35)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R3, 40)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R3, 45)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R3, 50)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R3, 55)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R4, 60)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R4, 65)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R4, 70)
        VELMORA_SHA1_FIVE(VELMORA_SHA1_R4, 75)
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
#undef VELMORA_SHA1_FIVE
#undef VELMORA_SHA1_R4
#undef VELMORA_SHA1_R3
#undef VELMORA_SHA1_R2
#undef VELMORA_SHA1_R1
#undef VELMORA_SHA1_R0
#undef VELMORA_SHA1_F3
#undef VELMORA_SHA1_F2
#undef VELMORA_SHA1_F1
#undef VELMORA_SHA1_STEP
#undef VELMORA_SHA1_W
    SecureZero(w, sizeof w);
}

#if defined(__x86_64__) || defined(__i386__)

// Four rounds on the SHA instructions; G counts groups of four rounds.
// Each group also advances the message schedule for the groups ahead.
template <int G>
__attribute__((target("sha,sse4.1,ssse3"))) inline void HardwareGroup(__m128i& abcd, __m128i (&e)[2],
                                                                       __m128i (&msg)[4], const uint8_t* data,
                                                                       __m128i mask)
{
    __m128i& cur = msg[G % 4];
    if constexpr (G < 4)
        cur = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * G)), mask);
    __m128i& x = e[G % 2];
    if constexpr (G == 0)
        x = _mm_add_epi32(x, cur);
    else
        x = _mm_sha1nexte_epu32(x, cur);
    e[(G + 1) % 2] = abcd;
    if constexpr (G >= 3 && G <= 18)
        msg[(G + 1) % 4] = _mm_sha1msg2_epu32(msg[(G + 1) % 4], cur);
    abcd = _mm_sha1rnds4_epu32(abcd, x, G / 5);
    if constexpr (G >= 1 && G <= 16)
        msg[(G + 3) % 4] = _mm_sha1msg1_epu32(msg[(G + 3) % 4], cur);
    if constexpr (G >= 2 && G <= 17)
        msg[(G + 2) % 4] = _mm_xor_si128(msg[(G + 2) % 4], cur);
}

template <int... G>
__attribute__((target("sha,sse4.1,ssse3"))) inline void HardwareBlock(__m128i& abcd, __m128i (&e)[2],
                                                                       __m128i (&msg)[4], const uint8_t* data,
                                                                       __m128i mask,
                                                                       std::integer_sequence<int, G...>)
{
    (HardwareGroup<G>(abcd, e, msg, data, mask), ...);
}

__attribute__((target("sha,sse4.1,ssse3"))) void CompressHardware(uint32_t state[5], const uint8_t* data,
                                                                   size_t blocks)
{
    const __m128i mask = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd;
        const __m128i eSaved = e0;
        __m128i e[2] = {e0, _mm_setzero_si128()};
        __m128i msg[4];
        HardwareBlock(abcd, e, msg, data, mask, std::make_integer_sequence<int, 20>());
        e0 = _mm_sha1nexte_epu32(e[0], eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = uint32_t(_mm_extract_epi32(e0, 3));
}

bool ProcessorHasSha()
{
    // The SHA extensions are read from CPUID leaf 7 (EBX bit 29) rather
    // than by name: not every compiler that builds this knows the name.
    static const bool has = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3") &&
               __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 29)) != 0;
    }();
    return has;
}

#else

void CompressHardware(uint32_t state[5], const uint8_t* data, size_t blocks) { CompressPortable(state, data, blocks); }
bool ProcessorHasSha() { return false; }

#endif

std::atomic<bool> g_hardwareAllowed{true};

const uint32_t kSha1Oid[] = {1, 3, 14, 3, 2, 26};

const TDigestDescriptor kSha1 = {
    kDigestMagic, kDigestRecordSize, kDigestVersion, 64, 20,
    Sha1Init, Sha1Final, Sha1Update,
    kDigestIdSHA1, "SHA1", kSha1Oid, 6,
};

}  // namespace

void Sha1Init(TDigestContext& context)
{
    TSha1Context& c = context.Sha1;
    c.State[0] = 0x67452301;
    c.State[1] = 0xEFCDAB89;
    c.State[2] = 0x98BADCFE;
    c.State[3] = 0x10325476;
    c.State[4] = 0xC3D2E1F0;
    c.BitCount = 0;
    c.Fill = 0;
    std::memset(c.Block, 0, sizeof c.Block);
}

void Sha1Update(TDigestContext& context, const void* data, size_t length)
{
    TSha1Context& c = context.Sha1;
    if (length == 0)
        return;
    const auto* in = static_cast<const uint8_t*>(data);
    c.BitCount += uint64_t(length) * 8;
    if (c.Fill > 0) {
        size_t take = std::min<size_t>(64 - c.Fill, length);
        std::memcpy(c.Block + c.Fill, in, take);
        c.Fill += static_cast<uint32_t>(take);
        in += take;
        length -= take;
        if (c.Fill < 64)
            return;
        Sha1CompressBlocks(c.State, c.Block, 1);
        c.Fill = 0;
    }
    if (length >= 64) {
        Sha1CompressBlocks(c.State, in, length / 64);
        in += length / 64 * 64;
        length %= 64;
    }
    std::memcpy(c.Block, in, length);
    c.Fill = static_cast<uint32_t>(length);
}

void Sha1Final(TDigestContext& context, TDigestBuffer& digest)
{
    TSha1Context& c = context.Sha1;
    uint64_t bits = c.BitCount;
    c.Block[c.Fill++] = 0x80;
    if (c.Fill > 56) {
        std::memset(c.Block + c.Fill, 0, 64 - c.Fill);
        Sha1CompressBlocks(c.State, c.Block, 1);
        c.Fill = 0;
    }
    std::memset(c.Block + c.Fill, 0, 56 - c.Fill);
    for (int i = 0; i < 8; ++i)
        c.Block[56 + i] = uint8_t(bits >> (56 - 8 * i));
    Sha1CompressBlocks(c.State, c.Block, 1);
    digest.fill(0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = uint8_t(c.State[i] >> (24 - 8 * j));
    SecureZero(&c, sizeof c);
}

const TDigestDescriptor& Sha1Descriptor() { return kSha1; }

bool Sha1HardwareAvailable() { return g_hardwareAllowed.load(std::memory_order_relaxed) && ProcessorHasSha(); }

bool SetSha1HardwareAllowed(bool allowed) { return g_hardwareAllowed.exchange(allowed); }

void Sha1CompressBlocks(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    if (Sha1HardwareAvailable())
        CompressHardware(state, data, blocks);
    else
        CompressPortable(state, data, blocks);
}
