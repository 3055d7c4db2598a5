#pragma once
// AES items for the archiver's storing and extraction loops: the AES
// transform behind the item cipher interface.
#include "zip/TAESCryptoTransform.h"
#include "zip/TZAItemCipher.h"

class TZAAesItemCipher : public TZAItemCipher {
public:
    // keyBits 128, 192 or 256. vendorVersion 2 for items written here; for
    // items read, the one their AES field names.
    TZAAesItemCipher(int keyBits, uint16_t vendorVersion, uint16_t compressionMethod, std::string password);
    ~TZAAesItemCipher() override;

    size_t HeaderSize() const override { return transform_.GetHeaderSize(); }
    size_t TrailerSize() const override { return transform_.GetFooterSize(); }
    // The salt is drawn here; the CRC has no part in the AES header.
    std::vector<uint8_t> MakeHeader(uint32_t crc) override;
    void Encrypt(uint8_t* data, size_t size) override;
    std::vector<uint8_t> MakeTrailer() override;
    bool CheckHeader(const uint8_t* header) override;
    void Decrypt(uint8_t* data, size_t size) override;
    bool CheckTrailer(const uint8_t* trailer) override;
    // Vendor version 2 stores no CRC to compare; the authentication code
    // stands in for it.
    bool ChecksCrc() const override { return transform_.VendorVersion != kAesVendorVersion2; }

    TAESCryptoTransform& Transform() { return transform_; }

private:
    TAESCryptoTransform transform_;
    std::string password_;
    bool readInitialized_ = false;
};

// Key bits of an item's AES strength (1, 2, 3), 0 for anything else.
int AesKeyBits(uint8_t encryptionKind);
// The vendor version of the item's AES field; 0 when it has none.
uint16_t AesVendorVersion(const TDirItem& item);
