#pragma once
#include "zip/TZABaseArchiver.h"

// The ZIP archiver: standard signatures, deflate, ZIP64 off by default.
class TZipArchiver : public TZABaseArchiver {
public:
    TZipArchiver();
    void SetPassword(const std::string& value) override;

protected:
    void UpdateCompressionMethod() override;
    // AES items (128, 192 and 256 bits) get the AES item cipher and field.
    std::unique_ptr<TZAItemCipher> CreateItemCipher(const TDirItem& item, const std::string& password) override;
    void AddCipherExtraFields(TDirItem& item, std::vector<TZAExtraField>& local, uint16_t& localMethod) override;
};
