#include "zip/AesHardware.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELMORA_AES_X86 1
#endif

namespace {

std::atomic<bool> g_allowed{true};

bool ProcessorHasAes()
{
#ifdef VELMORA_AES_X86
    static const bool has = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
    return has;
#else
    return false;
#endif
}

}  // namespace

bool AesHardwareAvailable() { return g_allowed.load(std::memory_order_relaxed) && ProcessorHasAes(); }

bool SetAesHardwareAllowed(bool allowed) { return g_allowed.exchange(allowed); }

#ifdef VELMORA_AES_X86

namespace {

// Eight blocks in flight keep the AES unit's pipeline full.
constexpr size_t kLanes = 8;

struct RoundKeys {
    __m128i k[15];
};

__attribute__((target("aes,sse4.1"))) inline RoundKeys LoadKeys(const uint8_t* roundKeys, int rounds)
{
    RoundKeys keys;
    for (int r = 0; r <= rounds; ++r)
        keys.k[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundKeys + 16 * r));
    return keys;
}

// N blocks through every round, the blocks interleaved so the AES unit works
// on one while the others wait for their previous round.
template <bool Decrypt, size_t N>
__attribute__((target("aes,sse4.1"))) inline void LanesOf(const RoundKeys& keys, int rounds, __m128i* b)
{
#pragma GCC unroll 8
    for (size_t i = 0; i < N; ++i)
        b[i] = _mm_xor_si128(b[i], keys.k[0]);
    for (int r = 1; r < rounds; ++r) {
        const __m128i k = keys.k[r];
#pragma GCC unroll 8
        for (size_t i = 0; i < N; ++i)
            b[i] = Decrypt ? _mm_aesdec_si128(b[i], k) : _mm_aesenc_si128(b[i], k);
    }
    const __m128i k = keys.k[rounds];
#pragma GCC unroll 8
    for (size_t i = 0; i < N; ++i)
        b[i] = Decrypt ? _mm_aesdeclast_si128(b[i], k) : _mm_aesenclast_si128(b[i], k);
}

template <bool Decrypt>
__attribute__((target("aes,sse4.1"))) inline void Lanes(const RoundKeys& keys, int rounds, __m128i* b, size_t n)
{
    if (n == kLanes) {
        LanesOf<Decrypt, kLanes>(keys, rounds, b);
        return;
    }
    for (size_t i = 0; i < n; ++i)
        LanesOf<Decrypt, 1>(keys, rounds, b + i);
}

template <bool Decrypt>
__attribute__((target("aes,sse4.1"))) void Blocks(const uint8_t* roundKeys, int rounds, const uint8_t* in,
                                                   uint8_t* out, size_t blocks)
{
    const RoundKeys keys = LoadKeys(roundKeys, rounds);
    __m128i b[kLanes];
    while (blocks > 0) {
        const size_t n = blocks < kLanes ? blocks : kLanes;
        for (size_t i = 0; i < n; ++i)
            b[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i));
        Lanes<Decrypt>(keys, rounds, b, n);
        for (size_t i = 0; i < n; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), b[i]);
        in += 16 * n;
        out += 16 * n;
        blocks -= n;
    }
}

}  // namespace

void AesHardwareEncryptBlocks(const uint8_t* roundKeys, int rounds, const uint8_t* in, uint8_t* out, size_t blocks)
{
    Blocks<false>(roundKeys, rounds, in, out, blocks);
}

void AesHardwareDecryptBlocks(const uint8_t* roundKeys, int rounds, const uint8_t* in, uint8_t* out, size_t blocks)
{
    Blocks<true>(roundKeys, rounds, in, out, blocks);
}

__attribute__((target("aes,sse4.1"))) void AesHardwareCounterBlocks(const uint8_t* roundKeys, int rounds,
                                                                    uint8_t* counter, const uint8_t* in,
                                                                    uint8_t* out, size_t blocks,
                                                                    uint8_t* lastKeystream)
{
    if (blocks == 0)
        return;
    const RoundKeys keys = LoadKeys(roundKeys, rounds);
    // The counter's first eight bytes are one little-endian 64-bit number,
    // which is the lower lane of the register as loaded.
    const __m128i one = _mm_set_epi64x(0, 1);
    __m128i ctr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counter));
    __m128i b[kLanes];
    __m128i last = _mm_setzero_si128();
    while (blocks > 0) {
        const size_t n = blocks < kLanes ? blocks : kLanes;
        for (size_t i = 0; i < n; ++i) {
            ctr = _mm_add_epi64(ctr, one);
            b[i] = ctr;
        }
        Lanes<false>(keys, rounds, b, n);
        for (size_t i = 0; i < n; ++i) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), _mm_xor_si128(p, b[i]));
        }
        last = b[n - 1];
        in += 16 * n;
        out += 16 * n;
        blocks -= n;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(counter), ctr);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lastKeystream), last);
    for (auto& x : b)
        x = _mm_setzero_si128();
}

#else

// Never called: AesHardwareAvailable is false where the instructions are unknown.
void AesHardwareEncryptBlocks(const uint8_t*, int, const uint8_t*, uint8_t*, size_t) {}
void AesHardwareDecryptBlocks(const uint8_t*, int, const uint8_t*, uint8_t*, size_t) {}
void AesHardwareCounterBlocks(const uint8_t*, int, uint8_t*, const uint8_t*, uint8_t*, size_t, uint8_t*) {}

#endif
