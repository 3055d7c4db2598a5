#include "zip/Sha1.h"

#include <algorithm>
#include <cstring>

#include "zip/SecureBytes.h"

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Compress(uint32_t state[5], const uint8_t* block)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (uint32_t(block[4 * i]) << 24) | (uint32_t(block[4 * i + 1]) << 16) |
               (uint32_t(block[4 * i + 2]) << 8) | uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 80; ++i)
        w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    auto step = [&](uint32_t f, uint32_t k, uint32_t wi) {
        uint32_t t = Rol(a, 5) + f + e + k + wi;
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = t;
    };
    for (int i = 0; i < 20; ++i)
        step((b & c) | (~b & d), 0x5A827999, w[i]);
    for (int i = 20; i < 40; ++i)
        step(b ^ c ^ d, 0x6ED9EBA1, w[i]);
    for (int i = 40; i < 60; ++i)
        step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[i]);
    for (int i = 60; i < 80; ++i)
        step(b ^ c ^ d, 0xCA62C1D6, w[i]);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    SecureZero(w, sizeof w);
}

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
        Compress(c.State, c.Block);
        c.Fill = 0;
    }
    for (; length >= 64; in += 64, length -= 64)
        Compress(c.State, in);
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
        Compress(c.State, c.Block);
        c.Fill = 0;
    }
    std::memset(c.Block + c.Fill, 0, 56 - c.Fill);
    for (int i = 0; i < 8; ++i)
        c.Block[56 + i] = uint8_t(bits >> (56 - 8 * i));
    Compress(c.State, c.Block);
    digest.fill(0);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = uint8_t(c.State[i] >> (24 - 8 * j));
    SecureZero(&c, sizeof c);
}

const TDigestDescriptor& Sha1Descriptor() { return kSha1; }
