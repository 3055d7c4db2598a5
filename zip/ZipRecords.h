#pragma once
// The fixed-size records of a ZIP archive and their little-endian byte
// images. Every record knows its own size; Encode writes exactly that many
// bytes, Decode reads exactly that many.
#include <cstdint>
#include <string>
#include <vector>

// Standard signatures, and the alternate set the base archiver uses while its
// standard-signature switch is off.
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kLocalHeaderSignatureAlt = 0x05045C61;
constexpr uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kCentralHeaderSignatureAlt = 0x03025C61;
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint32_t kEndRecordSignatureAlt = 0x06054141;

// Extra-field identifiers the archiver understands.
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr uint16_t kUnicodeNameExtraId = 0x554E;  // "NU"
constexpr uint16_t kUnicodePathExtraId = 0x7075;  // "up"

// Version made by from which on the AES field is not honoured (alternate set).
constexpr uint16_t kVersionAlternate = 0x4114;

// General-purpose flag bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8Names = 0x0800;

constexpr uint32_t kSaturated32 = 0xFFFFFFFFu;
constexpr uint16_t kSaturated16 = 0xFFFF;

// Little-endian access to byte buffers.
inline uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* p) { return uint64_t(GetLE32(p)) | (uint64_t(GetLE32(p + 4)) << 32); }
inline void PutLE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void PutLE64(uint8_t* p, uint64_t v)
{
    PutLE32(p, uint32_t(v));
    PutLE32(p + 4, uint32_t(v >> 32));
}

struct TLocalFileHeader {
    static constexpr int kSize = 30;
    uint32_t Signature = kLocalHeaderSignature;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;

    void Encode(uint8_t* out) const;
    static TLocalFileHeader Decode(const uint8_t* in);
};

struct TDataDescriptor {
    static constexpr int kSize = 16;
    uint32_t Signature = kDataDescriptorSignature;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;

    void Encode(uint8_t* out) const;
    static TDataDescriptor Decode(const uint8_t* in);
};

// The 46 fixed bytes of a central directory file header.
struct TCentralDirFileHeader {
    static constexpr int kSize = 46;
    uint32_t Signature = kCentralHeaderSignature;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Flags = 0;
    uint16_t Method = 0;
    uint16_t Time = 0;
    uint16_t Date = 0;
    uint32_t Crc32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t NameLength = 0;
    uint16_t ExtraLength = 0;
    uint16_t CommentLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;

    void Encode(uint8_t* out) const;
    static TCentralDirFileHeader Decode(const uint8_t* in);
};

struct TEndOfCentralDir {
    static constexpr int kSize = 22;
    uint32_t Signature = kEndRecordSignature;
    uint16_t ThisDisk = 0;
    uint16_t DirectoryDisk = 0;
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t DirectorySize = 0;
    uint32_t DirectoryOffset = 0;
    uint16_t CommentLength = 0;

    void Encode(uint8_t* out) const;
    static TEndOfCentralDir Decode(const uint8_t* in);
};

struct TZip64EndOfCentralDir {
    static constexpr int kSize = 56;
    uint32_t Signature = kZip64EndRecordSignature;
    uint64_t RecordSize = 0;  // size of the rest of the record: 44
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint32_t ThisDisk = 0;
    uint32_t DirectoryDisk = 0;
    uint64_t EntriesOnDisk = 0;
    uint64_t TotalEntries = 0;
    uint64_t DirectorySize = 0;
    uint64_t DirectoryOffset = 0;

    void Encode(uint8_t* out) const;
    static TZip64EndOfCentralDir Decode(const uint8_t* in);
};

struct TZip64EndOfCentralDirLocator {
    static constexpr int kSize = 20;
    uint32_t Signature = kZip64LocatorSignature;
    uint32_t EndRecordDisk = 0;
    uint64_t EndRecordOffset = 0;
    uint32_t TotalDisks = 0;

    void Encode(uint8_t* out) const;
    static TZip64EndOfCentralDirLocator Decode(const uint8_t* in);
};

// One extra field of an item as kept in memory: identifier, declared data
// size and the data itself (Data.size() == Size for every field that was read
// or built here).
struct TZAExtraField {
    uint16_t Id = 0;
    uint16_t Size = 0;
    std::vector<uint8_t> Data;

    bool operator==(const TZAExtraField&) const = default;
};

// Splits an extra area into its fields. A field whose declared size runs past
// the area is cut to what remains; a trailing piece shorter than a field
// header is dropped.
std::vector<TZAExtraField> SplitExtraFields(const uint8_t* data, size_t size);
// The 4-byte header and data of every field, in order.
void AppendExtraFields(std::vector<uint8_t>& out, const std::vector<TZAExtraField>& fields);

// The "NU" field: "NUCX", the length in UTF-16 code units, the name in
// UTF-16LE. Throws EZAException (61) when the name is too long for a field.
TZAExtraField MakeUnicodeNameField(const std::u16string& name);
// The name a "NU" field carries; false when the data is not a valid "NUCX"
// block (wrong marker, or a length the data does not hold).
bool ParseUnicodeNameField(const TZAExtraField& field, std::u16string& name);

// The Unicode path field other ZIP tools read: version 1, the CRC-32 of the
// name as the header stores it, the name in UTF-8. Throws EZAException (61)
// when the name is too long for a field.
TZAExtraField MakeUnicodePathField(const std::string& headerName, const std::u16string& name);
// The name a Unicode path field carries; false for another version, or
// when the header name is not the one the field was made for.
bool ParseUnicodePathField(const TZAExtraField& field, const std::string& headerName, std::u16string& name);

// The AES field: vendor version, "AE", strength byte (1..3), actual method.
TZAExtraField MakeAesExtraField(uint16_t vendorVersion, uint8_t strength, uint16_t method);
// False unless the data holds all 7 bytes with the "AE" mark and a strength 1..3.
bool ParseAesExtraField(const TZAExtraField& field, uint16_t& vendorVersion, uint8_t& strength,
                        uint16_t& method);
