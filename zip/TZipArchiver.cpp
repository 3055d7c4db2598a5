#include "zip/TZipArchiver.h"

TZipArchiver::TZipArchiver()
{
    standardSignatures_ = true;
    Zip64Mode = zmDisabled;
    UpdateCompressionMethod();
}

void TZipArchiver::SetPassword(const std::string& value)
{
    // The method chosen before the first password is not kept: stored
    // portfolio files depend on this order giving the classic cipher.
    if (GetPassword().empty())
        EncryptionMethod = caPkzipClassic;
    TZABaseArchiver::SetPassword(value);
}

void TZipArchiver::UpdateCompressionMethod()
{
    compressionMethod_ = GetCompressionMode() > 0 ? 8 : 0;
}
