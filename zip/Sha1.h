#pragma once
// SHA-1 (FIPS 180-1), the digest behind the key derivation of AES items.
#include <cstddef>

#include "zip/Digest.h"

void Sha1Init(TDigestContext& context);
void Sha1Update(TDigestContext& context, const void* data, size_t length);
// Writes the 20-byte digest and zeroes the rest of the area; clears the context.
void Sha1Final(TDigestContext& context, TDigestBuffer& digest);

const TDigestDescriptor& Sha1Descriptor();
