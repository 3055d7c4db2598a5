#pragma once
#include <cstdint>
#include <memory>
#include <string>

// A digest owned by the caller.
using HashDigest = std::unique_ptr<uint8_t[]>;

// A message digest algorithm: the digest of a memory block, and its text form.
class Hasher {
public:
    virtual ~Hasher() = default;

    // The digest as upper-case hexadecimal text; empty for a null digest.
    virtual std::string ToHex(const uint8_t* digest) const = 0;
    // The digest of a memory block; null for null data or a length of 0.
    virtual HashDigest Digest(const uint8_t* data, uint64_t length) const = 0;
};
