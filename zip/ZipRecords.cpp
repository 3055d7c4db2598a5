#include "zip/ZipRecords.h"

#include <algorithm>
#include <cstring>

#include "zip/EZAException.h"
#include "zip/WideUtils.h"
#include "zip/ZACompression.h"

void TLocalFileHeader::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE16(out + 4, VersionNeeded);
    PutLE16(out + 6, Flags);
    PutLE16(out + 8, Method);
    PutLE16(out + 10, Time);
    PutLE16(out + 12, Date);
    PutLE32(out + 14, Crc32);
    PutLE32(out + 18, CompressedSize);
    PutLE32(out + 22, UncompressedSize);
    PutLE16(out + 26, NameLength);
    PutLE16(out + 28, ExtraLength);
}

TLocalFileHeader TLocalFileHeader::Decode(const uint8_t* in)
{
    TLocalFileHeader h;
    h.Signature = GetLE32(in + 0);
    h.VersionNeeded = GetLE16(in + 4);
    h.Flags = GetLE16(in + 6);
    h.Method = GetLE16(in + 8);
    h.Time = GetLE16(in + 10);
    h.Date = GetLE16(in + 12);
    h.Crc32 = GetLE32(in + 14);
    h.CompressedSize = GetLE32(in + 18);
    h.UncompressedSize = GetLE32(in + 22);
    h.NameLength = GetLE16(in + 26);
    h.ExtraLength = GetLE16(in + 28);
    return h;
}

void TDataDescriptor::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE32(out + 4, Crc32);
    PutLE32(out + 8, CompressedSize);
    PutLE32(out + 12, UncompressedSize);
}

TDataDescriptor TDataDescriptor::Decode(const uint8_t* in)
{
    TDataDescriptor d;
    d.Signature = GetLE32(in + 0);
    d.Crc32 = GetLE32(in + 4);
    d.CompressedSize = GetLE32(in + 8);
    d.UncompressedSize = GetLE32(in + 12);
    return d;
}

void TCentralDirFileHeader::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE16(out + 4, VersionMadeBy);
    PutLE16(out + 6, VersionNeeded);
    PutLE16(out + 8, Flags);
    PutLE16(out + 10, Method);
    PutLE16(out + 12, Time);
    PutLE16(out + 14, Date);
    PutLE32(out + 16, Crc32);
    PutLE32(out + 20, CompressedSize);
    PutLE32(out + 24, UncompressedSize);
    PutLE16(out + 28, NameLength);
    PutLE16(out + 30, ExtraLength);
    PutLE16(out + 32, CommentLength);
    PutLE16(out + 34, DiskNumberStart);
    PutLE16(out + 36, InternalAttributes);
    PutLE32(out + 38, ExternalAttributes);
    PutLE32(out + 42, LocalHeaderOffset);
}

TCentralDirFileHeader TCentralDirFileHeader::Decode(const uint8_t* in)
{
    TCentralDirFileHeader h;
    h.Signature = GetLE32(in + 0);
    h.VersionMadeBy = GetLE16(in + 4);
    h.VersionNeeded = GetLE16(in + 6);
    h.Flags = GetLE16(in + 8);
    h.Method = GetLE16(in + 10);
    h.Time = GetLE16(in + 12);
    h.Date = GetLE16(in + 14);
    h.Crc32 = GetLE32(in + 16);
    h.CompressedSize = GetLE32(in + 20);
    h.UncompressedSize = GetLE32(in + 24);
    h.NameLength = GetLE16(in + 28);
    h.ExtraLength = GetLE16(in + 30);
    h.CommentLength = GetLE16(in + 32);
    h.DiskNumberStart = GetLE16(in + 34);
    h.InternalAttributes = GetLE16(in + 36);
    h.ExternalAttributes = GetLE32(in + 38);
    h.LocalHeaderOffset = GetLE32(in + 42);
    return h;
}

void TEndOfCentralDir::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE16(out + 4, ThisDisk);
    PutLE16(out + 6, DirectoryDisk);
    PutLE16(out + 8, EntriesOnDisk);
    PutLE16(out + 10, TotalEntries);
    PutLE32(out + 12, DirectorySize);
    PutLE32(out + 16, DirectoryOffset);
    PutLE16(out + 20, CommentLength);
}

TEndOfCentralDir TEndOfCentralDir::Decode(const uint8_t* in)
{
    TEndOfCentralDir e;
    e.Signature = GetLE32(in + 0);
    e.ThisDisk = GetLE16(in + 4);
    e.DirectoryDisk = GetLE16(in + 6);
    e.EntriesOnDisk = GetLE16(in + 8);
    e.TotalEntries = GetLE16(in + 10);
    e.DirectorySize = GetLE32(in + 12);
    e.DirectoryOffset = GetLE32(in + 16);
    e.CommentLength = GetLE16(in + 20);
    return e;
}

void TZip64EndOfCentralDir::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE64(out + 4, RecordSize);
    PutLE16(out + 12, VersionMadeBy);
    PutLE16(out + 14, VersionNeeded);
    PutLE32(out + 16, ThisDisk);
    PutLE32(out + 20, DirectoryDisk);
    PutLE64(out + 24, EntriesOnDisk);
    PutLE64(out + 32, TotalEntries);
    PutLE64(out + 40, DirectorySize);
    PutLE64(out + 48, DirectoryOffset);
}

TZip64EndOfCentralDir TZip64EndOfCentralDir::Decode(const uint8_t* in)
{
    TZip64EndOfCentralDir e;
    e.Signature = GetLE32(in + 0);
    e.RecordSize = GetLE64(in + 4);
    e.VersionMadeBy = GetLE16(in + 12);
    e.VersionNeeded = GetLE16(in + 14);
    e.ThisDisk = GetLE32(in + 16);
    e.DirectoryDisk = GetLE32(in + 20);
    e.EntriesOnDisk = GetLE64(in + 24);
    e.TotalEntries = GetLE64(in + 32);
    e.DirectorySize = GetLE64(in + 40);
    e.DirectoryOffset = GetLE64(in + 48);
    return e;
}

void TZip64EndOfCentralDirLocator::Encode(uint8_t* out) const
{
    PutLE32(out + 0, Signature);
    PutLE32(out + 4, EndRecordDisk);
    PutLE64(out + 8, EndRecordOffset);
    PutLE32(out + 16, TotalDisks);
}

TZip64EndOfCentralDirLocator TZip64EndOfCentralDirLocator::Decode(const uint8_t* in)
{
    TZip64EndOfCentralDirLocator l;
    l.Signature = GetLE32(in + 0);
    l.EndRecordDisk = GetLE32(in + 4);
    l.EndRecordOffset = GetLE64(in + 8);
    l.TotalDisks = GetLE32(in + 16);
    return l;
}

std::vector<TZAExtraField> SplitExtraFields(const uint8_t* data, size_t size)
{
    std::vector<TZAExtraField> fields;
    size_t at = 0;
    while (size - at >= 4) {
        TZAExtraField f;
        f.Id = GetLE16(data + at);
        const size_t declared = GetLE16(data + at + 2);
        at += 4;
        const size_t take = std::min(declared, size - at);
        f.Size = static_cast<uint16_t>(take);
        f.Data.assign(data + at, data + at + take);
        at += take;
        fields.push_back(std::move(f));
    }
    return fields;
}

void AppendExtraFields(std::vector<uint8_t>& out, const std::vector<TZAExtraField>& fields)
{
    for (const TZAExtraField& f : fields) {
        uint8_t head[4];
        PutLE16(head, f.Id);
        // The declared size always tells the truth about what follows.
        PutLE16(head + 2, static_cast<uint16_t>(f.Data.size()));
        out.insert(out.end(), head, head + 4);
        out.insert(out.end(), f.Data.begin(), f.Data.end());
    }
}

TZAExtraField MakeUnicodeNameField(const std::u16string& name)
{
    // The whole field, header included, has to fit a 16-bit extra length.
    if (name.size() > (0xFFFFu - 4 - 8) / 2)
        throw EZAException(61, {name});
    TZAExtraField f;
    f.Id = kUnicodeNameExtraId;
    f.Data.resize(8 + 2 * name.size());
    std::memcpy(f.Data.data(), "NUCX", 4);
    PutLE32(f.Data.data() + 4, static_cast<uint32_t>(name.size()));
    for (size_t i = 0; i < name.size(); ++i)
        PutLE16(f.Data.data() + 8 + 2 * i, name[i]);
    f.Size = static_cast<uint16_t>(f.Data.size());
    return f;
}

bool ParseUnicodeNameField(const TZAExtraField& field, std::u16string& name)
{
    const auto& d = field.Data;
    if (field.Id != kUnicodeNameExtraId || d.size() < 8 || std::memcmp(d.data(), "NUCX", 4) != 0)
        return false;
    const uint64_t length = GetLE32(d.data() + 4);
    if (length * 2 > d.size() - 8)
        return false;
    std::u16string result(static_cast<size_t>(length), u'\0');
    for (size_t i = 0; i < length; ++i)
        result[i] = static_cast<char16_t>(GetLE16(d.data() + 8 + 2 * i));
    name = std::move(result);
    return true;
}

TZAExtraField MakeUnicodePathField(const std::string& headerName, const std::u16string& name)
{
    const std::string utf8 = WideToUTF8(name);
    if (utf8.size() > 0xFFFFu - 4 - 5)
        throw EZAException(61, {name});
    TZAExtraField f;
    f.Id = kUnicodePathExtraId;
    f.Data.resize(5 + utf8.size());
    f.Data[0] = 1;
    PutLE32(f.Data.data() + 1, ~CRC32(0xFFFFFFFFu, headerName.data(), int64_t(headerName.size())));
    std::memcpy(f.Data.data() + 5, utf8.data(), utf8.size());
    f.Size = static_cast<uint16_t>(f.Data.size());
    return f;
}

bool ParseUnicodePathField(const TZAExtraField& field, const std::string& headerName, std::u16string& name)
{
    const auto& d = field.Data;
    if (field.Id != kUnicodePathExtraId || d.size() < 5 || d[0] != 1)
        return false;
    // A tool that renamed the item without knowing the field left it
    // behind: the header name is then the one that counts.
    if (GetLE32(d.data() + 1) != ~CRC32(0xFFFFFFFFu, headerName.data(), int64_t(headerName.size())))
        return false;
    name = UTF8ToWide(std::string(d.begin() + 5, d.end()));
    return true;
}

TZAExtraField MakeAesExtraField(uint16_t vendorVersion, uint8_t strength, uint16_t method)
{
    TZAExtraField f;
    f.Id = kAesExtraId;
    f.Size = 7;
    f.Data.resize(7);
    PutLE16(f.Data.data(), vendorVersion);
    f.Data[2] = 'A';
    f.Data[3] = 'E';
    f.Data[4] = strength;
    PutLE16(f.Data.data() + 5, method);
    return f;
}

bool ParseAesExtraField(const TZAExtraField& field, uint16_t& vendorVersion, uint8_t& strength,
                        uint16_t& method)
{
    const auto& d = field.Data;
    if (field.Id != kAesExtraId || d.size() < 7 || d[2] != 'A' || d[3] != 'E' || d[4] < 1 || d[4] > 3)
        return false;
    vendorVersion = GetLE16(d.data());
    strength = d[4];
    method = GetLE16(d.data() + 5);
    return true;
}
