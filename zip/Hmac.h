#pragma once
// HMAC (RFC 2104) over any registered digest.
#include <cstddef>
#include <cstdint>

#include "zip/Digest.h"

struct THmacContext {
    TDigestContext Context;
    uint8_t KeyBlock[kMaxDigestBlockSize];
    const TDigestDescriptor* Descriptor;
};

// Keys longer than the digest's block are first reduced to their digest.
// With no descriptor the context stays cleared and the other calls do nothing.
void HmacInit(THmacContext& context, const TDigestDescriptor* descriptor, const void* key, size_t keyLength);
void HmacUpdate(THmacContext& context, const void* data, size_t length);
// Writes the code and clears the context, so it holds no key material after.
void HmacFinal(THmacContext& context, TDigestBuffer& out);

// Compares two authentication codes in time that does not depend on where
// they differ.
bool ConstantTimeEqual(const void* a, const void* b, size_t length);
