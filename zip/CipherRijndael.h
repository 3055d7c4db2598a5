#pragma once
// AES (FIPS-197) with 128-, 192- and 256-bit keys on 16-byte blocks.
#include "zip/Cipher.h"

class TCipher_Rijndael : public TCipher {
public:
    // With a key, keys the cipher at once and overwrites the caller's copy.
    explicit TCipher_Rijndael(void* key = nullptr, size_t size = 0);

    void GetSizes(size_t& blockSize, size_t& maxKeySize, size_t& scheduleSize) const override;
    const TCipherTestData* GetSelfTestData() const override;
    void EncryptBlock(uint8_t* block) override;
    void DecryptBlock(uint8_t* block) override;
    // Up to 16 bytes give 10 rounds, up to 24 give 12, more give 14; the key
    // is padded with zeros to the length of its round count.
    void ScheduleKey(const void* key, size_t size, const void* vector) override;
    const char* ClassName() const override { return "TCipher_Rijndael"; }

    int Rounds() const { return rounds_; }

    static const TCipherContext& Context();
    static const TCipherClass& Class();

private:
    int rounds_ = 10;
};
