#include "zip/TZAAesItemCipher.h"

#include "platform/rtl/MemoryStream.h"

TZAAesItemCipher::TZAAesItemCipher(int keyBits, uint16_t vendorVersion, uint16_t compressionMethod,
                                   std::string password)
    : transform_(keyBits, vendorVersion, compressionMethod), password_(std::move(password))
{
}

TZAAesItemCipher::~TZAAesItemCipher() { SecureZero(password_.data(), password_.size()); }

std::vector<uint8_t> TZAAesItemCipher::MakeHeader(uint32_t)
{
    transform_.Initialize(password_);
    return transform_.GetHeader();
}

void TZAAesItemCipher::Encrypt(uint8_t* data, size_t size) { transform_.EncryptData(data, 0, data, 0, size); }

std::vector<uint8_t> TZAAesItemCipher::MakeTrailer() { return transform_.GetFooter(); }

bool TZAAesItemCipher::CheckHeader(const uint8_t* header)
{
    if (!readInitialized_) {
        transform_.SetMode(kTransformModeRead);
        transform_.Initialize(password_);
        readInitialized_ = true;
    }
    TMemoryStream stream;
    stream.WriteBuffer(header, int64_t(transform_.GetHeaderSize()));
    stream.SetPosition(0);
    transform_.ReadHeader(stream, 0);
    return transform_.CheckPassword(password_);
}

void TZAAesItemCipher::Decrypt(uint8_t* data, size_t size) { transform_.DecryptData(data, 0, data, 0, size); }

bool TZAAesItemCipher::CheckTrailer(const uint8_t* trailer)
{
    TMemoryStream stream;
    stream.WriteBuffer(trailer, int64_t(transform_.GetFooterSize()));
    stream.SetPosition(0);
    transform_.ReadFooter(stream, 0);
    return !transform_.IsFooterInvalid(TDirItem(), 0);
}

int AesKeyBits(uint8_t encryptionKind)
{
    switch (encryptionKind) {
    case ekAes128: return 128;
    case ekAes192: return 192;
    case ekAes256: return 256;
    default: return 0;
    }
}

uint16_t AesVendorVersion(const TDirItem& item)
{
    for (const TZAExtraField& f : item.ExtraFields) {
        uint16_t version = 0, method = 0;
        uint8_t strength = 0;
        if (ParseAesExtraField(f, version, strength, method))
            return version;
    }
    return 0;
}
