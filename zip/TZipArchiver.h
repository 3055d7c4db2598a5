#pragma once
#include "zip/TZABaseArchiver.h"

// The ZIP archiver: standard signatures, deflate, ZIP64 off by default.
class TZipArchiver : public TZABaseArchiver {
public:
    TZipArchiver();
    void SetPassword(const std::string& value) override;

protected:
    void UpdateCompressionMethod() override;
};
