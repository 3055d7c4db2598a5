#pragma once
// The in-memory directory item of an open archive: the central directory
// header fields, the decoded name and comment, the extra fields, and what the
// archiver keeps about the item while it updates the archive.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Stream.h"
#include "zip/ZipRecords.h"

// What an update transaction does with an item.
enum TZAProcessOperation : uint8_t {
    poAdd = 0,
    poMove = 1,
    poDelete = 2,
    poUpdate = 3,
    poExtract = 4,
    poTest = 5,
    poRename = 6,
    poChangeAttr = 7,
    poChangeComment = 8,
    poMakeSFX = 9,
};

// Encryption kinds of an item.
enum : uint8_t {
    ekPkzipClassic = 0,
    ekAes128 = 1,
    ekAes192 = 2,
    ekAes256 = 3,
};

struct TDirItem {
    // Central directory header fields, in header order.
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

    std::u16string FileName;     // key of the name index
    std::u16string SrcFileName;  // archiver: source file of an add
    std::string Comment;
    std::vector<TZAExtraField> ExtraFields;
    uint8_t EncryptionKind = ekPkzipClassic;
    uint8_t Zip64 = 0;  // 1 when a ZIP64 extra field was read

    // Full values, valid when the matching 32/16-bit field is saturated.
    uint64_t UncompressedSize64 = 0;
    uint64_t CompressedSize64 = 0;
    uint64_t LocalHeaderOffset64 = 0;
    uint32_t DiskNumberStart32 = 0;

    // Archiver state: the to-process flag, the item's data source (an owned
    // buffer or a caller's stream; shared so that copies of an item taken
    // into the snapshot array never dangle) and where the data starts.
    uint8_t ProcessFlag = 0;
    std::shared_ptr<TStream> DataStream;
    int64_t DataPosition = 0;
    bool DataOwned = false;
    TZAProcessOperation Operation = poAdd;

    std::string Password;        // empty when the item is not encrypted
    std::u16string NewFileName;  // archiver: target name of a rename
    uint16_t ActualMethod = 0;   // header method, or the one from the AES field
    uint8_t CompressionLevel = 0;

    // The value that counts, whether it is stored in 32 bits or in the ZIP64 field.
    uint64_t FullCompressedSize() const
    {
        return CompressedSize == kSaturated32 ? CompressedSize64 : CompressedSize;
    }
    uint64_t FullUncompressedSize() const
    {
        return UncompressedSize == kSaturated32 ? UncompressedSize64 : UncompressedSize;
    }
    uint64_t FullLocalHeaderOffset() const
    {
        return LocalHeaderOffset == kSaturated32 ? LocalHeaderOffset64 : LocalHeaderOffset;
    }
    uint32_t FullDiskNumberStart() const
    {
        return DiskNumberStart == kSaturated16 ? DiskNumberStart32 : DiskNumberStart;
    }
    bool IsFolder() const { return (ExternalAttributes & 0x10) != 0; }
    bool IsEncrypted() const { return (Flags & kFlagEncrypted) != 0; }

    TCentralDirFileHeader Header() const;
    void SetHeader(const TCentralDirFileHeader& header);
};

// Bytes in front of the item data that belong to its encryption (the 12-byte
// classic header, or AES salt, verifier and authentication code); 0 when the
// item is not encrypted.
uint64_t EncryptionOverhead(const TDirItem& item);

// The native code raised for sizes, counts and offsets that the archive
// cannot hold ("Archive is damaged. Open failed").
constexpr int kZADamagedArchive = 57;
// The native code raised when a header cannot be written as asked.
constexpr int kZAWriteError = 46;

// Item names as stored: UTF-8 when flag bit 11 is set, else the OEM code
// page while OEM names are on and the ANSI page while they are off.
std::string EncodeItemName(const std::u16string& name, uint16_t flags, bool oemFileNames);
std::u16string DecodeItemName(const std::string& bytes, uint16_t flags, bool oemFileNames);

// The ZIP64 field an item needs (its 32-bit or 16-bit fields are saturated);
// Id 0 when it needs none.
TZAExtraField BuildZip64ExtraField(const TDirItem& item);

// The whole central header of an item: fixed bytes, name, the regenerated
// ZIP64 field, the other kept extra fields in their order, and the comment.
// Updates the item's name, extra and comment lengths to what was encoded.
std::vector<uint8_t> EncodeCentralHeader(TDirItem& item, bool oemFileNames);

// Reads one central header at the stream's position into item. Nothing is
// read beyond limit (the end of the directory area): a header that would
// reach past it raises EZAException(kZADamagedArchive).
void ReadCentralHeader(TStream& stream, TDirItem& item, bool oemFileNames, int64_t limit);

// Applies the ZIP64, Unicode-name and AES fields of item.ExtraFields.
// headerName: the name's bytes as the header holds them, which a Unicode
// path field must match to be used.
void ApplyExtraFields(TDirItem& item, const std::string& headerName = std::string());

// Whether a local header at position belongs to item. The stream position is
// restored in every case.
bool CheckLocalHeader(TStream& stream, int64_t position, const TDirItem& item);
