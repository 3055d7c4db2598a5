// The AES branches of the ZIP archiver: which items get the AES item cipher
// and what their headers carry.
#include "zip/EZAException.h"
#include "zip/TZAAesItemCipher.h"
#include "zip/TZipArchiver.h"

std::unique_ptr<TZAItemCipher> TZipArchiver::CreateItemCipher(const TDirItem& item, const std::string& password)
{
    const int keyBits = AesKeyBits(item.EncryptionKind);
    if (keyBits == 0)
        return TZABaseArchiver::CreateItemCipher(item, password);
    // An item being stored has no AES field yet and is written as version 2;
    // an item read keeps the version its field names.
    uint16_t vendor = AesVendorVersion(item);
    if (vendor == 0)
        vendor = kAesVendorVersion2;
    return std::make_unique<TZAAesItemCipher>(keyBits, vendor, item.ActualMethod, password);
}

void TZipArchiver::AddCipherExtraFields(TDirItem& item, std::vector<TZAExtraField>& local, uint16_t& localMethod)
{
    const int keyBits = AesKeyBits(item.EncryptionKind);
    if (keyBits == 0) {
        TZABaseArchiver::AddCipherExtraFields(item, local, localMethod);
        return;
    }
    TAESCryptoTransform transform(keyBits, kAesVendorVersion2, item.ActualMethod);
    TZAExtraField field;
    transform.GetExtraField(field);
    local.push_back(field);
    item.ExtraFields.push_back(field);
    localMethod = kAesMethod;
}
