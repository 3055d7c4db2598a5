#pragma once
// The encryption layer of one item's data. The archiver talks to it only
// through this interface, so that other item ciphers can join the classic
// PKWARE one without the storing and extraction loops changing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZACompression.h"

class TZAItemCipher {
public:
    virtual ~TZAItemCipher() = default;

    // Bytes in front of the data, and behind it.
    virtual size_t HeaderSize() const = 0;
    virtual size_t TrailerSize() const = 0;

    // Writing: the header for an item whose plain data has this CRC-32.
    virtual std::vector<uint8_t> MakeHeader(uint32_t crc) = 0;
    virtual void Encrypt(uint8_t* data, size_t size) = 0;
    virtual std::vector<uint8_t> MakeTrailer() = 0;

    // Reading: whether the password fits the header (the key state is set
    // up for the data when it does).
    virtual bool CheckHeader(const uint8_t* header) = 0;
    virtual void Decrypt(uint8_t* data, size_t size) = 0;
    virtual bool CheckTrailer(const uint8_t* trailer) = 0;
    // Whether the decoded data's CRC-32 is compared with the recorded one;
    // forms whose items record none answer false.
    virtual bool ChecksCrc() const { return true; }
};

// The traditional PKWARE cipher: a 12-byte header whose last byte checks
// the password, nothing behind the data.
class TZAPkzipCipher : public TZAItemCipher {
public:
    // flags and dosTime/crc decide which byte the header check compares.
    TZAPkzipCipher(std::string password, uint16_t flags, uint16_t dosTime, uint32_t crc);

    size_t HeaderSize() const override { return kPKZipHeaderSize; }
    size_t TrailerSize() const override { return 0; }
    std::vector<uint8_t> MakeHeader(uint32_t crc) override;
    void Encrypt(uint8_t* data, size_t size) override;
    std::vector<uint8_t> MakeTrailer() override { return {}; }
    bool CheckHeader(const uint8_t* header) override;
    void Decrypt(uint8_t* data, size_t size) override;
    bool CheckTrailer(const uint8_t*) override { return true; }

private:
    std::string password_;
    uint16_t flags_;
    uint16_t dosTime_;
    uint32_t crc_;
    TZACryptKeys keys_;
};
