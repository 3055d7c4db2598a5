#pragma once
// PBKDF2 (RFC 2898) over HMAC with a registered digest, and the object form
// that the AES item transform uses.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "zip/Digest.h"
#include "zip/SecureBytes.h"

enum : int { kPbkdf2Ok = 0, kPbkdf2NoDescriptor = 1, kPbkdf2NoDigestSize = 2 };

// Writes derivedLength bytes; iterations of 0 or less give zero bytes.
int Pbkdf2(const TDigestDescriptor* descriptor, const void* password, size_t passwordLength,
           size_t derivedLength, void* out, int iterations, size_t saltLength, const void* salt);

// PBKDF2-HMAC-SHA1; throws Exception when the derivation cannot run.
void DeriveKey(const void* password, size_t passwordLength, const void* salt, size_t derivedLength,
               void* out, int iterations, size_t saltLength);

class TPBKDF2 {
public:
    // Draws a fresh random salt of saltLength bytes.
    TPBKDF2(std::string_view password, int iterations, size_t saltLength);
    // Uses the given salt.
    TPBKDF2(std::string_view password, int iterations, size_t saltLength, const uint8_t* salt);

    // A new key of length bytes; its memory is cleared when it is released.
    TSecureBytes GetKey(size_t length) const;
    std::vector<uint8_t> GetSalt() const;
    int Iterations() const { return iterations_; }

private:
    int iterations_;
    std::vector<uint8_t> salt_;
    TSecureBytes password_;
};
