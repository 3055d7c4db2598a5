#pragma once
// AES (FIPS-197) with 128-, 192- and 256-bit keys on 16-byte blocks.
#include "zip/Cipher.h"

class TCipher_Rijndael : public TCipher {
public:
    // With a key, keys the cipher at once and overwrites the caller's copy.
    explicit TCipher_Rijndael(void* key = nullptr, size_t size = 0);
    ~TCipher_Rijndael() override;

    void GetSizes(size_t& blockSize, size_t& maxKeySize, size_t& scheduleSize) const override;
    const TCipherTestData* GetSelfTestData() const override;
    void EncryptBlock(uint8_t* block) override;
    void DecryptBlock(uint8_t* block) override;
    // Up to 16 bytes give 10 rounds, up to 24 give 12, more give 14; the key
    // is padded with zeros to the length of its round count.
    void ScheduleKey(const void* key, size_t size, const void* vector) override;
    void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) override;
    void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t blocks) override;
    void Wipe() override;
    const char* ClassName() const override { return "TCipher_Rijndael"; }

    int Rounds() const { return rounds_; }
    // Whether this cipher runs on the processor's AES instructions; decided
    // when it is keyed.
    bool UsesHardware() const { return hardware_; }

    static const TCipherContext& Context();
    static const TCipherClass& Class();

protected:
    void EncryptCounterBlocks(uint8_t* counter, const uint8_t* in, uint8_t* out, size_t blocks,
                              uint8_t* lastKeystream) override;

private:
    int rounds_ = 10;
    bool hardware_ = false;
    // The schedule as the AES instructions take it: encryption round keys,
    // then the equivalent inverse cipher's.
    alignas(16) uint8_t hardwareKeys_[2][15 * 16] = {};
};
