#include "zip/TZAItemCipher.h"

#include <cstring>

TZAPkzipCipher::TZAPkzipCipher(std::string password, uint16_t flags, uint16_t dosTime, uint32_t crc)
    : password_(std::move(password)), flags_(flags), dosTime_(dosTime), crc_(crc)
{
}

std::vector<uint8_t> TZAPkzipCipher::MakeHeader(uint32_t crc)
{
    std::vector<uint8_t> header(kPKZipHeaderSize);
    keys_.MakeHeader(password_, crc, header.data());
    return header;
}

void TZAPkzipCipher::Encrypt(uint8_t* data, size_t size) { keys_.EncryptRange(data, 0, size); }

bool TZAPkzipCipher::CheckHeader(const uint8_t* header)
{
    uint8_t copy[kPKZipHeaderSize];
    std::memcpy(copy, header, sizeof copy);
    keys_ = TZACryptKeys();
    keys_.InitKeysAndDecryptHeader(password_, copy);
    return PKZipHeaderMatches(copy, flags_, dosTime_, crc_);
}

void TZAPkzipCipher::Decrypt(uint8_t* data, size_t size) { keys_.DecryptBuffer(data, size); }
