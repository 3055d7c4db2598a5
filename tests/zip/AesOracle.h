#pragma once
// An independent model of the AES item form built on OpenSSL: PBKDF2-HMAC-
// SHA1 with 1000 iterations, AES in counter mode over a little-endian
// counter starting at 1, HMAC-SHA1 over the encrypted bytes, 10 bytes kept.
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdint>
#include <stdexcept>
#include <string>

struct TAesOracleKeys {
    std::string aesKey, hmacKey, verifier;
};

inline TAesOracleKeys AesOracleKeys(int bits, const std::string& password, const std::string& salt)
{
    const size_t kl = size_t(bits / 8);
    std::string derived(2 * kl + 2, '\0');
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), int(password.size()),
                               reinterpret_cast<const unsigned char*>(salt.data()), int(salt.size()), 1000,
                               int(derived.size()), reinterpret_cast<unsigned char*>(derived.data())) != 1)
        throw std::runtime_error("PBKDF2 failed");
    return {derived.substr(0, kl), derived.substr(kl, kl), derived.substr(2 * kl, 2)};
}

// The encrypted bytes of plain, without header or code.
inline std::string AesOracleCtr(int bits, const std::string& key, const std::string& plain)
{
    const EVP_CIPHER* cipher = bits == 128 ? EVP_aes_128_ecb() : bits == 192 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::string out = plain;
    uint64_t counter = 0;
    for (size_t at = 0; at < out.size(); at += 16) {
        ++counter;
        unsigned char block[16] = {}, stream[32];
        for (int i = 0; i < 8; ++i)
            block[i] = uint8_t(counter >> (8 * i));
        int n = 0;
        EVP_EncryptUpdate(ctx, stream, &n, block, 16);
        for (size_t i = 0; i < 16 && at + i < out.size(); ++i)
            out[at + i] = char(out[at + i] ^ stream[i]);
    }
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

inline std::string AesOracleCode(const std::string& hmacKey, const std::string& encrypted)
{
    unsigned char mac[20];
    unsigned int length = 0;
    HMAC(EVP_sha1(), hmacKey.data(), int(hmacKey.size()), reinterpret_cast<const unsigned char*>(encrypted.data()),
         encrypted.size(), mac, &length);
    return std::string(reinterpret_cast<char*>(mac), 10);
}

// The whole stored data of an item: salt, verifier, encrypted data, code.
inline std::string AesOracleItem(int bits, const std::string& password, const std::string& salt,
                                 const std::string& plain)
{
    const TAesOracleKeys keys = AesOracleKeys(bits, password, salt);
    const std::string encrypted = AesOracleCtr(bits, keys.aesKey, plain);
    return salt + keys.verifier + encrypted + AesOracleCode(keys.hmacKey, encrypted);
}
