#include "zip/Hmac.h"

#include <cstring>

#include "zip/SecureBytes.h"

void HmacInit(THmacContext& context, const TDigestDescriptor* descriptor, const void* key, size_t keyLength)
{
    SecureZero(&context, sizeof context);
    context.Descriptor = descriptor;
    if (descriptor == nullptr)
        return;
    const size_t block = descriptor->BlockSize;
    if (keyLength > block) {
        TDigestBuffer reduced;
        Digest(*descriptor, key, keyLength, reduced);
        std::memcpy(context.KeyBlock, reduced.data(), descriptor->DigestSize);
        SecureZero(reduced.data(), reduced.size());
    } else if (keyLength > 0) {
        std::memcpy(context.KeyBlock, key, keyLength);
    }
    for (size_t i = 0; i < block; ++i)
        context.KeyBlock[i] ^= 0x36;
    descriptor->Init(context.Context);
    descriptor->Update(context.Context, context.KeyBlock, block);
}

void HmacUpdate(THmacContext& context, const void* data, size_t length)
{
    if (context.Descriptor != nullptr)
        context.Descriptor->Update(context.Context, data, length);
}

void HmacFinal(THmacContext& context, TDigestBuffer& out)
{
    const TDigestDescriptor* d = context.Descriptor;
    if (d == nullptr)
        return;
    TDigestBuffer inner;
    d->Final(context.Context, inner);
    // 0x36 ^ 0x6A == 0x5C: the inner pad becomes the outer pad.
    for (size_t i = 0; i < d->BlockSize; ++i)
        context.KeyBlock[i] ^= 0x6A;
    d->Init(context.Context);
    d->Update(context.Context, context.KeyBlock, d->BlockSize);
    d->Update(context.Context, inner.data(), d->DigestSize);
    d->Final(context.Context, out);
    SecureZero(inner.data(), inner.size());
    SecureZero(&context, sizeof context);
}

bool ConstantTimeEqual(const void* a, const void* b, size_t length)
{
    const auto* x = static_cast<const volatile uint8_t*>(a);
    const auto* y = static_cast<const volatile uint8_t*>(b);
    uint8_t diff = 0;
    for (size_t i = 0; i < length; ++i)
        diff |= x[i] ^ y[i];
    return diff == 0;
}
