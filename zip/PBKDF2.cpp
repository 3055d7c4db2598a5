#include "zip/PBKDF2.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/rtl/Exception.h"
#include "zip/Hmac.h"
#include "zip/RandomBytes.h"
#include "zip/Sha1.h"

int Pbkdf2(const TDigestDescriptor* d, const void* password, size_t passwordLength, size_t derivedLength,
           void* out, int iterations, size_t saltLength, const void* salt)
{
    if (d == nullptr)
        return kPbkdf2NoDescriptor;
    if (d->DigestSize == 0)
        return kPbkdf2NoDigestSize;
    if (derivedLength == 0)
        return kPbkdf2Ok;

    // The keyed inner and outer states are the same for every HMAC of the
    // derivation; computing them once halves the work per iteration.
    THmacContext keyed;
    HmacInit(keyed, d, password, passwordLength);
    TDigestContext outer;
    {
        uint8_t pad[kMaxDigestBlockSize];
        for (size_t i = 0; i < d->BlockSize; ++i)
            pad[i] = keyed.KeyBlock[i] ^ 0x6A;
        d->Init(outer);
        d->Update(outer, pad, d->BlockSize);
        SecureZero(pad, sizeof pad);
    }
    const size_t hlen = d->DigestSize;
    auto mac = [&](const uint8_t* first, size_t firstLength, const uint8_t* counter, TDigestBuffer& result) {
        TDigestContext ctx = keyed.Context;
        d->Update(ctx, first, firstLength);
        if (counter != nullptr)
            d->Update(ctx, counter, 4);
        TDigestBuffer inner;
        d->Final(ctx, inner);
        ctx = outer;
        d->Update(ctx, inner.data(), hlen);
        d->Final(ctx, result);
        SecureZero(inner.data(), inner.size());
        SecureZero(&ctx, sizeof ctx);
    };

    // With SHA-1, every iteration after the first is one block through the
    // inner state and one through the outer: both messages are a 20-byte
    // digest behind a 64-byte pad, so their padding and length never change.
    const bool sha1 = d->Update == Sha1Update && hlen == 20;
    uint8_t block[64] = {};
    block[20] = 0x80;
    block[62] = uint8_t((64 + 20) * 8 >> 8);
    block[63] = uint8_t((64 + 20) * 8);
    auto storeWords = [](uint8_t* to, const uint32_t* words) {
        for (int i = 0; i < 5; ++i) {
            to[4 * i] = uint8_t(words[i] >> 24);
            to[4 * i + 1] = uint8_t(words[i] >> 16);
            to[4 * i + 2] = uint8_t(words[i] >> 8);
            to[4 * i + 3] = uint8_t(words[i]);
        }
    };
    uint32_t words[5];

    auto* dst = static_cast<uint8_t*>(out);
    uint8_t counter[4] = {0, 0, 0, 0};
    TDigestBuffer u, t;
    for (size_t done = 0; done < derivedLength;) {
        for (int i = 3; i >= 0 && ++counter[i] == 0; --i) {
        }
        t.fill(0);
        for (int j = 1; j <= iterations; ++j) {
            if (j == 1) {
                mac(static_cast<const uint8_t*>(salt), saltLength, counter, u);
            } else if (sha1) {
                std::memcpy(block, u.data(), hlen);
                std::memcpy(words, keyed.Context.Sha1.State, sizeof words);
                Sha1CompressBlocks(words, block, 1);
                storeWords(block, words);
                std::memcpy(words, outer.Sha1.State, sizeof words);
                Sha1CompressBlocks(words, block, 1);
                storeWords(u.data(), words);
            } else {
                mac(u.data(), hlen, nullptr, u);
            }
            for (size_t k = 0; k < hlen; ++k)
                t[k] ^= u[k];
        }
        size_t take = std::min(hlen, derivedLength - done);
        std::memcpy(dst + done, t.data(), take);
        done += take;
    }
    SecureZero(block, sizeof block);
    SecureZero(words, sizeof words);
    SecureZero(u.data(), u.size());
    SecureZero(t.data(), t.size());
    SecureZero(&keyed, sizeof keyed);
    SecureZero(&outer, sizeof outer);
    return kPbkdf2Ok;
}

void DeriveKey(const void* password, size_t passwordLength, const void* salt, size_t derivedLength, void* out,
               int iterations, size_t saltLength)
{
    int result = Pbkdf2(FindDigestById(kDigestIdSHA1), password, passwordLength, derivedLength, out, iterations,
                        saltLength, salt);
    if (result != kPbkdf2Ok)
        throw Exception("Key derivation failed (error " + std::to_string(result) + ")");
}

TPBKDF2::TPBKDF2(std::string_view password, int iterations, size_t saltLength)
    : iterations_(iterations), salt_(saltLength), password_(password.begin(), password.end())
{
    FillRandomBytes(salt_.data(), salt_.size());
}

TPBKDF2::TPBKDF2(std::string_view password, int iterations, size_t saltLength, const uint8_t* salt)
    : iterations_(iterations), salt_(salt, salt + saltLength), password_(password.begin(), password.end())
{
}

TSecureBytes TPBKDF2::GetKey(size_t length) const
{
    TSecureBytes key(length);
    DeriveKey(password_.data(), password_.size(), salt_.data(), length, key.data(), iterations_, salt_.size());
    return key;
}

std::vector<uint8_t> TPBKDF2::GetSalt() const { return salt_; }
