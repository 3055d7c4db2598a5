#include <gtest/gtest.h>

#include "platform/rtl/MemoryStream.h"
#include "tests/zip/DirTestSupport.h"
#include "zip/TDirItem.h"
#include "zip/WideUtils.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes, size_t from = 0, size_t count = std::string::npos)
{
    std::string out;
    char buf[4];
    for (size_t i = from; i < bytes.size() && i - from < count; ++i) {
        snprintf(buf, sizeof buf, "%02X ", bytes[i]);
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

TDirItem SampleItem()
{
    TDirItem item;
    item.VersionMadeBy = item.VersionNeeded = 0x0014;
    item.Flags = kFlagEncrypted;
    item.Method = 8;
    item.Time = 0x6C21;
    item.Date = 0x5A9E;
    item.Crc32 = 0xCAFEBABE;
    item.CompressedSize = 1234;
    item.UncompressedSize = 5678;
    item.ExternalAttributes = 0x20;
    item.LocalHeaderOffset = 42;
    item.FileName = u"Images/001.bmp";
    item.Comment = "note";
    return item;
}

// Encodes the item, reads it back and returns what was read.
TDirItem RoundTrip(TDirItem& item, std::vector<uint8_t>& bytes)
{
    bytes = EncodeCentralHeader(item, true);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
    TDirItem back;
    ReadCentralHeader(stream, back, true, stream.GetSize());
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    return back;
}

} // namespace

TEST(ZipRecords, FixedRecordsHaveTheirPublishedLayout)
{
    TEndOfCentralDir end;
    end.ThisDisk = 1;
    end.DirectoryDisk = 2;
    end.EntriesOnDisk = 3;
    end.TotalEntries = 4;
    end.DirectorySize = 0x11223344;
    end.DirectoryOffset = 0x55667788;
    end.CommentLength = 9;
    std::vector<uint8_t> raw(TEndOfCentralDir::kSize);
    end.Encode(raw.data());
    EXPECT_EQ(Hex(raw), "50 4B 05 06 01 00 02 00 03 00 04 00 44 33 22 11 88 77 66 55 09 00");
    const TEndOfCentralDir back = TEndOfCentralDir::Decode(raw.data());
    EXPECT_EQ(back.DirectoryOffset, 0x55667788u);
    EXPECT_EQ(back.CommentLength, 9);

    TZip64EndOfCentralDirLocator locator;
    locator.EndRecordDisk = 0;
    locator.EndRecordOffset = 0x0102030405060708ull;
    locator.TotalDisks = 1;
    raw.assign(TZip64EndOfCentralDirLocator::kSize, 0);
    locator.Encode(raw.data());
    EXPECT_EQ(Hex(raw), "50 4B 06 07 00 00 00 00 08 07 06 05 04 03 02 01 01 00 00 00");

    TZip64EndOfCentralDir zip64;
    zip64.RecordSize = 44;
    zip64.TotalEntries = 70000;
    zip64.DirectoryOffset = 0x100000000ull;
    raw.assign(TZip64EndOfCentralDir::kSize, 0);
    zip64.Encode(raw.data());
    EXPECT_EQ(Hex(raw, 0, 12), "50 4B 06 06 2C 00 00 00 00 00 00 00");
    const TZip64EndOfCentralDir z = TZip64EndOfCentralDir::Decode(raw.data());
    EXPECT_EQ(z.TotalEntries, 70000u);
    EXPECT_EQ(z.DirectoryOffset, 0x100000000ull);

    TLocalFileHeader local;
    local.NameLength = 7;
    local.ExtraLength = 11;
    raw.assign(TLocalFileHeader::kSize, 0);
    local.Encode(raw.data());
    EXPECT_EQ(Hex(raw, 0, 4), "50 4B 03 04");
    EXPECT_EQ(Hex(raw, 26), "07 00 0B 00");
}

TEST(ZipRecords, CentralHeaderRoundTripsByteExact)
{
    TDirItem item = SampleItem();
    item.ExtraFields.push_back(MakeUnicodeNameField(item.FileName));
    std::vector<uint8_t> bytes;
    TDirItem back = RoundTrip(item, bytes);
    EXPECT_EQ(back.FileName, item.FileName);
    EXPECT_EQ(back.Comment, "note");
    EXPECT_EQ(back.Crc32, 0xCAFEBABE);
    EXPECT_EQ(back.LocalHeaderOffset, 42u);
    EXPECT_EQ(back.NameLength, 14);
    EXPECT_EQ(back.ExtraLength, 4 + 8 + 28);
    EXPECT_EQ(back.CommentLength, 4);
    EXPECT_EQ(back.Zip64, 0);
    EXPECT_EQ(EncodeCentralHeader(back, true), bytes);
}

TEST(ZipRecords, Zip64FieldCarriesExactlyTheSaturatedValues)
{
    struct Case {
        uint32_t uncompressed, compressed, offset;
        uint16_t disk;
        int dataSize;
    };
    const Case cases[] = {
        {100, 0xFFFFFFFE, 10, 0, 0},            // one below saturation: no field
        {100, 0xFFFFFFFF, 10, 0, 8},            // compressed size only
        {0xFFFFFFFF, 100, 10, 0, 8},            // uncompressed size only
        {100, 100, 0xFFFFFFFF, 0, 8},           // offset only
        {100, 100, 10, 0xFFFF, 4},              // disk only
        {100, 100, 10, 65534, 0},
        {0xFFFFFFFF, 0xFFFFFFFF, 10, 0, 16},
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataSize);
        TDirItem item = SampleItem();
        item.UncompressedSize = c.uncompressed;
        item.CompressedSize = c.compressed;
        item.LocalHeaderOffset = c.offset;
        item.DiskNumberStart = c.disk;
        item.UncompressedSize64 = 0x1'0000'0001ull;
        item.CompressedSize64 = 0x1'0000'0002ull;
        item.LocalHeaderOffset64 = 0x1'0000'0003ull;
        item.DiskNumberStart32 = 70000;
        std::vector<uint8_t> bytes;
        TDirItem back = RoundTrip(item, bytes);
        const size_t extraAt = 46 + item.NameLength;
        if (c.dataSize == 0) {
            EXPECT_EQ(item.ExtraLength, 0);
            EXPECT_EQ(back.Zip64, 0);
            continue;
        }
        ASSERT_EQ(item.ExtraLength, 4 + c.dataSize);
        EXPECT_EQ(GetLE16(bytes.data() + extraAt), 1);
        EXPECT_EQ(GetLE16(bytes.data() + extraAt + 2), c.dataSize);
        EXPECT_EQ(back.Zip64, 1);
        EXPECT_EQ(back.FullUncompressedSize(), c.uncompressed == 0xFFFFFFFF ? 0x1'0000'0001ull : 100);
        EXPECT_EQ(back.FullCompressedSize(), c.compressed == 0xFFFFFFFF ? 0x1'0000'0002ull : 100);
        EXPECT_EQ(back.FullLocalHeaderOffset(), c.offset == 0xFFFFFFFF ? 0x1'0000'0003ull : 10);
        EXPECT_EQ(back.FullDiskNumberStart(), c.disk == 0xFFFF ? 70000u : c.disk);
        EXPECT_EQ(EncodeCentralHeader(back, true), bytes);
    }
}

TEST(ZipRecords, Zip64ValueThatDoesNotFitIsNotRead)
{
    TDirItem item = SampleItem();
    item.ExtraFields = {{0x7777, 4, {1, 2, 3, 4}}};
    std::vector<uint8_t> bytes = EncodeCentralHeader(item, true);
    // A ZIP64 field of 4 bytes cannot hold the 8-byte size it should carry.
    PutLE16(bytes.data() + 46 + item.NameLength, kZip64ExtraId);
    PutLE32(bytes.data() + 20, 0xFFFFFFFF);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    stream.SetPosition(0);
    TDirItem back;
    ReadCentralHeader(stream, back, true, stream.GetSize());
    EXPECT_EQ(back.CompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(back.CompressedSize64, 0u);
    EXPECT_EQ(back.Zip64, 1);
}

TEST(ZipRecords, UnicodeNameFieldLayoutAndRestoredName)
{
    const std::u16string name = u"Bild€日本.bmp";  // 10 code units, CP437 cannot hold them all
    const TZAExtraField field = MakeUnicodeNameField(u"abcdefgh");
    EXPECT_EQ(field.Id, 0x554E);
    EXPECT_EQ(field.Size, 24);
    EXPECT_EQ(Hex(field.Data, 0, 8), "4E 55 43 58 08 00 00 00");

    TDirItem item = SampleItem();
    item.FileName = name;
    item.ExtraFields.push_back(MakeUnicodeNameField(name));
    std::vector<uint8_t> bytes;
    TDirItem back = RoundTrip(item, bytes);
    EXPECT_EQ(back.FileName, name);
    // The 8-bit name is the OEM form, its length in bytes.
    EXPECT_EQ(item.NameLength, WideToOem(name).size());
    EXPECT_EQ(std::string(bytes.begin() + 46, bytes.begin() + 46 + item.NameLength), WideToOem(name));
}

TEST(ZipRecords, MalformedUnicodeNameFieldsLeaveTheStoredName)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
    };
    const Case cases[] = {
        {"wrong marker", {'N', 'U', 'C', 'Y', 1, 0, 0, 0, 'x', 0}},
        {"length past the data", {'N', 'U', 'C', 'X', 0xFF, 0xFF, 0xFF, 0x7F, 'x', 0}},
        {"shorter than the marker", {'N', 'U'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TDirItem item = SampleItem();
        item.ExtraFields.push_back({kUnicodeNameExtraId, uint16_t(c.data.size()), c.data});
        std::vector<uint8_t> bytes;
        TDirItem back = RoundTrip(item, bytes);
        EXPECT_EQ(back.FileName, u"Images/001.bmp");
        ASSERT_EQ(back.ExtraFields.size(), 1u);
        EXPECT_EQ(back.ExtraFields[0].Data, c.data);
    }
}

TEST(ZipRecords, AesFieldBytesAndEffectOnRead)
{
    const TZAExtraField aes = MakeAesExtraField(2, 3, 8);
    std::vector<uint8_t> raw;
    AppendExtraFields(raw, {aes});
    EXPECT_EQ(Hex(raw), "01 99 07 00 02 00 41 45 03 08 00");

    TDirItem item = SampleItem();
    item.Method = 99;
    item.CompressedSize = 100;
    item.ExtraFields.push_back(aes);
    std::vector<uint8_t> bytes;
    TDirItem back = RoundTrip(item, bytes);
    EXPECT_EQ(back.EncryptionKind, ekAes256);
    EXPECT_EQ(back.ActualMethod, 8);
    EXPECT_EQ(back.Method, 99);
    EXPECT_EQ(EncryptionOverhead(back), 28u);

    // From the alternate set's version on, the field is not honoured.
    item.VersionMadeBy = 0x4114;
    back = RoundTrip(item, bytes);
    EXPECT_EQ(back.EncryptionKind, ekPkzipClassic);
    EXPECT_EQ(back.ActualMethod, 99);
}

TEST(ZipRecords, UnknownFieldsAreKeptInOrderAfterTheZip64Field)
{
    TDirItem item = SampleItem();
    item.CompressedSize = 0xFFFFFFFF;
    item.CompressedSize64 = 0x123456789ull;
    const TZAExtraField timestamp{0x5455, 5, {3, 1, 2, 3, 4}};
    const TZAExtraField unix{0x7875, 3, {1, 4, 0}};
    // A stale ZIP64 field in the list is replaced by the regenerated one.
    item.ExtraFields = {timestamp, {kZip64ExtraId, 8, std::vector<uint8_t>(8, 0xEE)}, unix};
    std::vector<uint8_t> bytes;
    TDirItem back = RoundTrip(item, bytes);
    const size_t at = 46 + item.NameLength;
    EXPECT_EQ(Hex(bytes, at, 12), "01 00 08 00 89 67 45 23 01 00 00 00");
    EXPECT_EQ(Hex(bytes, at + 12, 9), "55 54 05 00 03 01 02 03 04");
    EXPECT_EQ(Hex(bytes, at + 21, 7), "75 78 03 00 01 04 00");
    ASSERT_EQ(back.ExtraFields.size(), 3u);
    EXPECT_EQ(back.ExtraFields[1], timestamp);
    EXPECT_EQ(back.ExtraFields[2], unix);
    EXPECT_EQ(back.FullCompressedSize(), 0x123456789ull);
}

TEST(ZipRecords, NameEncodingFollowsTheUtf8FlagAndTheOemSwitch)
{
    const std::u16string name = u"Café/ß.txt";
    struct Case {
        uint16_t flags;
        bool oem;
        std::string stored;
    };
    const Case cases[] = {
        {kFlagUtf8Names, true, WideToUTF8(name)},
        {0, true, WideToOem(name)},
        {0, false, WideToAnsi(name)},
    };
    for (const Case& c : cases) {
        TDirItem item = SampleItem();
        item.Flags = c.flags;
        item.FileName = name;
        const std::vector<uint8_t> bytes = EncodeCentralHeader(item, c.oem);
        EXPECT_EQ(std::string(bytes.begin() + 46, bytes.begin() + 46 + item.NameLength), c.stored);
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
        stream.SetPosition(0);
        TDirItem back;
        ReadCentralHeader(stream, back, c.oem, stream.GetSize());
        EXPECT_EQ(back.FileName, name);
    }
}

TEST(ZipRecords, HeaderReachingPastTheDirectoryIsDamaged)
{
    TDirItem item = SampleItem();
    const std::vector<uint8_t> bytes = EncodeCentralHeader(item, true);
    struct Case {
        const char* what;
        size_t limitCut;
        uint32_t signature;
    };
    const Case cases[] = {
        {"fixed part cut", bytes.size() - 30, kCentralHeaderSignature},
        {"comment cut", 1, kCentralHeaderSignature},
        {"not a central header", 0, kLocalHeaderSignature},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> copy = bytes;
        PutLE32(copy.data(), c.signature);
        TMemoryStream stream;
        stream.WriteBuffer(copy.data(), int64_t(copy.size()));
        stream.SetPosition(0);
        TDirItem back;
        EXPECT_EQ(NativeErrorOf([&] { ReadCentralHeader(stream, back, true, int64_t(copy.size() - c.limitCut)); }),
                  kZADamagedArchive);
    }
}

TEST(ZipRecords, LocalHeaderCheck)
{
    TDirItem item = SampleItem();
    TLocalFileHeader local;
    local.VersionNeeded = item.VersionNeeded;
    local.Flags = item.Flags;
    local.Method = item.Method;
    local.Time = item.Time;
    local.Date = item.Date;
    local.Crc32 = item.Crc32;
    local.CompressedSize = item.CompressedSize;
    local.UncompressedSize = item.UncompressedSize;
    local.NameLength = 14;
    auto build = [&](const TLocalFileHeader& h, size_t prefix, size_t nameBytes) {
        std::string bytes(prefix, 'x');
        uint8_t raw[TLocalFileHeader::kSize];
        h.Encode(raw);
        bytes.append(reinterpret_cast<char*>(raw), sizeof raw);
        bytes.append(std::string("Images/001.bmp").substr(0, nameBytes));
        return StreamOf(bytes);
    };

    TLocalFileHeader otherCrc = local;
    otherCrc.Crc32 = 1;
    TLocalFileHeader alternate = local;
    alternate.Signature = kLocalHeaderSignatureAlt;
    TLocalFileHeader deferred = otherCrc;
    deferred.Flags |= kFlagDataDescriptor;
    deferred.Crc32 = 0;
    deferred.CompressedSize = deferred.UncompressedSize = 0;
    struct Case {
        const char* what;
        TLocalFileHeader header;
        size_t prefix, nameBytes;
        bool accepted;
    };
    const Case cases[] = {
        {"matching, behind a prefix", local, 100, 14, true},
        {"alternate signature", alternate, 100, 14, true},
        {"other CRC behind a prefix", otherCrc, 100, 14, false},
        {"other CRC at the start", otherCrc, 0, 14, true},
        {"name cut short", local, 100, 5, false},
        {"data descriptor item", deferred, 100, 14, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto stream = build(c.header, c.prefix, c.nameBytes);
        stream->SetPosition(3);
        EXPECT_EQ(CheckLocalHeader(*stream, int64_t(c.prefix), item), c.accepted);
        EXPECT_EQ(stream->GetPosition(), 3);
    }
    auto tooShort = StreamOf(std::string(29, 'P'));
    EXPECT_FALSE(CheckLocalHeader(*tooShort, 0, item));
}
