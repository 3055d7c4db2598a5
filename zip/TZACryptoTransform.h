#pragma once
// The base of item encryption transforms: everything that is particular to
// one encrypted form of an item's stored data (keys from the password, the
// bytes in front of and behind the data, the data itself, the extra field).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Stream.h"
#include "zip/SecureBytes.h"
#include "zip/TDirItem.h"
#include "zip/ZipRecords.h"

// Mode 1: the transform reads an item, so Initialize keeps a salt that was
// already read from it instead of drawing a new one.
constexpr uint8_t kTransformModeRead = 1;

class TZACryptoTransform {
public:
    TZACryptoTransform() = default;
    virtual ~TZACryptoTransform() = default;
    TZACryptoTransform(const TZACryptoTransform&) = delete;
    TZACryptoTransform& operator=(const TZACryptoTransform&) = delete;

    virtual void Initialize(const std::string& password) = 0;
    virtual bool CheckPassword(const std::string& password) = 0;
    virtual const TSecureBytes& GetKey() const = 0;
    virtual const std::string& GetPassword() const = 0;
    virtual void SetMode(uint8_t mode) { mode_ = mode; }
    virtual void Reset() = 0;
    // Both return count; source and dest may be the same memory.
    virtual size_t DecryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest, size_t destOffset,
                               size_t count) = 0;
    virtual size_t EncryptData(const uint8_t* source, size_t sourceOffset, uint8_t* dest, size_t destOffset,
                               size_t count) = 0;
    virtual std::vector<uint8_t> GetHeader() = 0;
    // Offset moves the stream from its current position before reading.
    virtual void ReadHeader(TStream& stream, int64_t offset) = 0;
    virtual size_t GetHeaderSize() const = 0;
    virtual std::vector<uint8_t> GetFooter() = 0;
    virtual void ReadFooter(TStream& stream, int64_t offset) = 0;
    virtual size_t GetFooterSize() const = 0;
    virtual bool IsFooterInvalid(const TDirItem& item, uint32_t crc) = 0;
    virtual void GetExtraField(TZAExtraField& record) = 0;

    uint8_t Mode() const { return mode_; }

private:
    uint8_t mode_ = 0;
};
