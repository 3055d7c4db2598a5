#pragma once
// The AES form of an item's stored data: salt, two-byte password verifier,
// the compressed data under AES in counter mode, and the first ten bytes of
// an HMAC-SHA1 over the encrypted data. Keys come from PBKDF2-HMAC-SHA1 with
// 1000 iterations.
#include <array>
#include <memory>

#include "zip/CipherRijndael.h"
#include "zip/Hmac.h"
#include "zip/PBKDF2.h"
#include "zip/TZACryptoTransform.h"

// The vendor versions of the AES extra field: version 1 items keep the
// CRC-32 of the plain data, version 2 items have none to check.
constexpr uint16_t kAesVendorVersion1 = 1;
constexpr uint16_t kAesVendorVersion2 = 2;
constexpr uint16_t kAesMethod = 99;
constexpr int kAesIterations = 1000;
constexpr size_t kAesAuthCodeLength = 10;
constexpr size_t kAesVerifierLength = 2;

class TAESCryptoTransform : public TZACryptoTransform {
public:
    // keyBits 128, 192 or 256; anything else raises Exception.
    TAESCryptoTransform(int keyBits, uint16_t vendorVersion, uint16_t compressionMethod);
    ~TAESCryptoTransform() override;

    void Initialize(const std::string& password) override;
    bool CheckPassword(const std::string& password) override;
    // After the cipher has been keyed this no longer holds the key.
    const TSecureBytes& GetKey() const override { return aesKey_; }
    const std::string& GetPassword() const override { return password_; }
    void SetMode(uint8_t mode) override { TZACryptoTransform::SetMode(mode); }
    void Reset() override;
    size_t DecryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest, size_t destOffset,
                       size_t count) override;
    size_t EncryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest, size_t destOffset,
                       size_t count) override;
    std::vector<uint8_t> GetHeader() override;
    void ReadHeader(TStream& stream, int64_t offset) override;
    size_t GetHeaderSize() const override { return KeyLength / 2 + kAesVerifierLength; }
    std::vector<uint8_t> GetFooter() override;
    void ReadFooter(TStream& stream, int64_t offset) override;
    size_t GetFooterSize() const override { return AuthCodeLength; }
    bool IsFooterInvalid(const TDirItem& item, uint32_t crc) override;
    void GetExtraField(TZAExtraField& record) override;

    // The strength byte of the extra field: 1, 2 or 3.
    uint8_t Strength() const { return uint8_t(KeyLength / 8 - 1); }
    const std::vector<uint8_t>& Salt() const { return salt_; }

    // Key derivations run so far in this process, for tests that check an
    // item costs one.
    static uint64_t Derivations();

    uint16_t KeyLength;
    uint16_t VendorVersion;
    uint16_t CompressionMethod;
    int32_t AuthCodeLength;

private:
    void DeriveKeys();
    void DropKeys();
    // Derives the keys from the held salt when they are not there yet.
    void EnsureKeyed();
    // Finishes the HMAC once; later calls give the same code.
    const std::array<uint8_t, kAesAuthCodeLength>& FinishCode();

    const TDigestDescriptor* digest_;
    THmacContext hmac_{};
    std::unique_ptr<TPBKDF2> kdf_;
    std::unique_ptr<TCipher_Rijndael> cipher_;
    TSecureBytes hmacKey_, aesKey_;
    std::vector<uint8_t> verifier_, salt_;
    std::vector<uint8_t> derivedVerifier_;  // of the keys in force
    bool keysFromPassword_ = false;         // the keys in force came from password_ and salt_
    std::array<uint8_t, kAesAuthCodeLength> storedCode_{};
    std::array<uint8_t, kAesAuthCodeLength> computedCode_{};
    bool hmacOpen_ = false;
    bool codeComputed_ = false;
    std::string password_;
};
