#pragma once
// SHA-1 (FIPS 180-1), the digest behind the key derivation of AES items.
#include <cstddef>
#include <cstdint>

#include "zip/Digest.h"

void Sha1Init(TDigestContext& context);
void Sha1Update(TDigestContext& context, const void* data, size_t length);
// Writes the 20-byte digest and zeroes the rest of the area; clears the context.
void Sha1Final(TDigestContext& context, TDigestBuffer& digest);

const TDigestDescriptor& Sha1Descriptor();

// The compression function over whole 64-byte blocks: on the processor's SHA
// instructions where it has them, else the portable form.
void Sha1CompressBlocks(uint32_t state[5], const uint8_t* data, size_t blocks);
bool Sha1HardwareAvailable();
// Lets tests run the portable form on a machine that has the instructions.
// Returns the previous value.
bool SetSha1HardwareAllowed(bool allowed);
