#include "zip/TAESCryptoTransform.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/rtl/Exception.h"

namespace {

std::atomic<uint64_t> g_derivations{0};

}  // namespace

uint64_t TAESCryptoTransform::Derivations() { return g_derivations.load(); }

TAESCryptoTransform::TAESCryptoTransform(int keyBits, uint16_t vendorVersion, uint16_t compressionMethod)
    : KeyLength(uint16_t(keyBits / 8)),
      VendorVersion(vendorVersion),
      CompressionMethod(compressionMethod),
      AuthCodeLength(int32_t(kAesAuthCodeLength)),
      digest_(FindDigestByName("SHA1"))
{
    if (keyBits != 128 && keyBits != 192 && keyBits != 256)
        throw Exception("AES key length must be 128, 192 or 256 bits");
}

TAESCryptoTransform::~TAESCryptoTransform()
{
    SecureZero(&hmac_, sizeof hmac_);
    SecureZero(password_.data(), password_.size());
    SecureZero(computedCode_.data(), computedCode_.size());
}

void TAESCryptoTransform::Initialize(const std::string& password)
{
    SecureZero(password_.data(), password_.size());
    password_ = password;
    if (Mode() == kTransformModeRead && !salt_.empty()) {
        DeriveKeys();
        return;
    }
    kdf_ = std::make_unique<TPBKDF2>(password_, kAesIterations, size_t(KeyLength / 2));
    salt_ = kdf_->GetSalt();
    // A reader's salt is a placeholder until ReadHeader puts the stored one
    // in its place: keys from it would be thrown away unused.
    if (Mode() == kTransformModeRead) {
        DropKeys();
        return;
    }
    DeriveKeys();
}

void TAESCryptoTransform::DropKeys()
{
    cipher_.reset();
    SecureZero(&hmac_, sizeof hmac_);
    hmacOpen_ = false;
    codeComputed_ = false;
    keysFromPassword_ = false;
}

void TAESCryptoTransform::EnsureKeyed()
{
    if (!cipher_ && !salt_.empty())
        DeriveKeys();
    if (!cipher_)
        throw Exception("AES transform used before its keys were derived");
}

void TAESCryptoTransform::DeriveKeys()
{
    if (KeyLength == 0)
        throw Exception("AES transform has been reset");
    if (digest_ == nullptr)
        throw Exception("The SHA1 digest is not registered");
    kdf_ = std::make_unique<TPBKDF2>(password_, kAesIterations, salt_.size(), salt_.data());
    ++g_derivations;
    const TSecureBytes derived = kdf_->GetKey(2 * size_t(KeyLength) + kAesVerifierLength);
    aesKey_.assign(derived.begin(), derived.begin() + KeyLength);
    hmacKey_.assign(derived.begin() + KeyLength, derived.begin() + 2 * KeyLength);
    verifier_.assign(derived.end() - kAesVerifierLength, derived.end());
    derivedVerifier_ = verifier_;
    keysFromPassword_ = true;

    HmacInit(hmac_, digest_, hmacKey_.data(), hmacKey_.size());
    // The keyed HMAC holds what it needs; no plain copy stays behind.
    SecureZero(hmacKey_.data(), hmacKey_.size());
    hmacOpen_ = true;
    codeComputed_ = false;

    // Keying overwrites the key buffer with the key's own encryption; the
    // counter starts from zero because the cipher is new.
    cipher_ = std::make_unique<TCipher_Rijndael>(aesKey_.data(), aesKey_.size());
    cipher_->SetMode(kModeCTR);
}

bool TAESCryptoTransform::CheckPassword(const std::string& password)
{
    if (salt_.empty() || verifier_.size() != kAesVerifierLength)
        return false;
    // The keys in force came from the stored password and the held salt:
    // their verifier answers without a second derivation.
    if (keysFromPassword_ && password == password_)
        return derivedVerifier_[0] == verifier_[0] && derivedVerifier_[1] == verifier_[1];
    ++g_derivations;
    const TPBKDF2 kdf(password, kAesIterations, salt_.size(), salt_.data());
    const TSecureBytes derived = kdf.GetKey(2 * size_t(KeyLength) + kAesVerifierLength);
    return derived[derived.size() - 2] == verifier_[0] && derived[derived.size() - 1] == verifier_[1];
}

void TAESCryptoTransform::Reset()
{
    SecureZero(password_.data(), password_.size());
    password_.clear();
    KeyLength = 0;
    hmacKey_.clear();
    aesKey_.clear();
    verifier_.clear();
    salt_.clear();
    derivedVerifier_.clear();
    kdf_.reset();
    DropKeys();
}

size_t TAESCryptoTransform::DecryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest,
                                        size_t destOffset, size_t count)
{
    EnsureKeyed();
    if (hmacOpen_)
        HmacUpdate(hmac_, source + sourceOffset, count);
    cipher_->DecryptBuffer(source + sourceOffset, dest + destOffset, count);
    return count;
}

size_t TAESCryptoTransform::EncryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest,
                                        size_t destOffset, size_t count)
{
    EnsureKeyed();
    cipher_->EncryptBuffer(source + sourceOffset, dest + destOffset, count);
    if (hmacOpen_)
        HmacUpdate(hmac_, dest + destOffset, count);
    return count;
}

std::vector<uint8_t> TAESCryptoTransform::GetHeader()
{
    EnsureKeyed();
    std::vector<uint8_t> header(salt_);
    header.insert(header.end(), verifier_.begin(), verifier_.end());
    return header;
}

void TAESCryptoTransform::ReadHeader(TStream& stream, int64_t offset)
{
    if (salt_.size() != size_t(KeyLength / 2) || KeyLength == 0)
        throw Exception("AES transform must be initialized before its header is read");
    if (offset != 0)
        stream.Seek(offset, TSeekOrigin::soCurrent);
    stream.ReadBuffer(salt_.data(), int64_t(salt_.size()));
    DeriveKeys();
    stream.ReadBuffer(verifier_.data(), int64_t(kAesVerifierLength));
}

const std::array<uint8_t, kAesAuthCodeLength>& TAESCryptoTransform::FinishCode()
{
    EnsureKeyed();
    if (!codeComputed_) {
        TDigestBuffer full;
        HmacFinal(hmac_, full);
        std::copy_n(full.begin(), kAesAuthCodeLength, computedCode_.begin());
        SecureZero(full.data(), full.size());
        hmacOpen_ = false;
        codeComputed_ = true;
    }
    return computedCode_;
}

std::vector<uint8_t> TAESCryptoTransform::GetFooter()
{
    storedCode_ = FinishCode();
    return std::vector<uint8_t>(storedCode_.begin(), storedCode_.end());
}

void TAESCryptoTransform::ReadFooter(TStream& stream, int64_t offset)
{
    if (offset != 0)
        stream.Seek(offset, TSeekOrigin::soCurrent);
    stream.ReadBuffer(storedCode_.data(), int64_t(storedCode_.size()));
}

bool TAESCryptoTransform::IsFooterInvalid(const TDirItem&, uint32_t)
{
    const auto& code = FinishCode();
    return !ConstantTimeEqual(code.data(), storedCode_.data(), kAesAuthCodeLength);
}

void TAESCryptoTransform::GetExtraField(TZAExtraField& record)
{
    record = MakeAesExtraField(VendorVersion, Strength(), CompressionMethod);
}
