#include "zip/TDirItem.h"

#include "zip/EZAException.h"
#include "zip/WideUtils.h"

TCentralDirFileHeader TDirItem::Header() const
{
    TCentralDirFileHeader h;
    h.Signature = Signature;
    h.VersionMadeBy = VersionMadeBy;
    h.VersionNeeded = VersionNeeded;
    h.Flags = Flags;
    h.Method = Method;
    h.Time = Time;
    h.Date = Date;
    h.Crc32 = Crc32;
    h.CompressedSize = CompressedSize;
    h.UncompressedSize = UncompressedSize;
    h.NameLength = NameLength;
    h.ExtraLength = ExtraLength;
    h.CommentLength = CommentLength;
    h.DiskNumberStart = DiskNumberStart;
    h.InternalAttributes = InternalAttributes;
    h.ExternalAttributes = ExternalAttributes;
    h.LocalHeaderOffset = LocalHeaderOffset;
    return h;
}

void TDirItem::SetHeader(const TCentralDirFileHeader& h)
{
    Signature = h.Signature;
    VersionMadeBy = h.VersionMadeBy;
    VersionNeeded = h.VersionNeeded;
    Flags = h.Flags;
    Method = h.Method;
    Time = h.Time;
    Date = h.Date;
    Crc32 = h.Crc32;
    CompressedSize = h.CompressedSize;
    UncompressedSize = h.UncompressedSize;
    NameLength = h.NameLength;
    ExtraLength = h.ExtraLength;
    CommentLength = h.CommentLength;
    DiskNumberStart = h.DiskNumberStart;
    InternalAttributes = h.InternalAttributes;
    ExternalAttributes = h.ExternalAttributes;
    LocalHeaderOffset = h.LocalHeaderOffset;
}

uint64_t EncryptionOverhead(const TDirItem& item)
{
    if (!item.IsEncrypted())
        return 0;
    switch (item.EncryptionKind) {
    case ekAes128: return 8 + 2 + 10;
    case ekAes192: return 12 + 2 + 10;
    case ekAes256: return 16 + 2 + 10;
    default: return 12;
    }
}

std::string EncodeItemName(const std::u16string& name, uint16_t flags, bool oemFileNames)
{
    if (flags & kFlagUtf8Names)
        return WideToUTF8(name);
    return oemFileNames ? WideToOem(name) : WideToAnsi(name);
}

std::u16string DecodeItemName(const std::string& bytes, uint16_t flags, bool oemFileNames)
{
    if (flags & kFlagUtf8Names)
        return UTF8ToWide(bytes);
    return oemFileNames ? OemToWide(bytes) : AnsiToWide(bytes);
}

TZAExtraField BuildZip64ExtraField(const TDirItem& item)
{
    TZAExtraField f;
    uint8_t buffer[28];
    size_t n = 0;
    if (item.UncompressedSize > 0xFFFFFFFEu) {
        PutLE64(buffer + n, item.UncompressedSize64);
        n += 8;
    }
    if (item.CompressedSize > 0xFFFFFFFEu) {
        PutLE64(buffer + n, item.CompressedSize64);
        n += 8;
    }
    if (item.LocalHeaderOffset > 0xFFFFFFFEu) {
        PutLE64(buffer + n, item.LocalHeaderOffset64);
        n += 8;
    }
    if (item.DiskNumberStart > 65534) {
        PutLE32(buffer + n, item.DiskNumberStart32);
        n += 4;
    }
    if (n == 0)
        return f;
    f.Id = kZip64ExtraId;
    f.Size = static_cast<uint16_t>(n);
    f.Data.assign(buffer, buffer + n);
    return f;
}

std::vector<uint8_t> EncodeCentralHeader(TDirItem& item, bool oemFileNames)
{
    const std::string name = EncodeItemName(item.FileName, item.Flags, oemFileNames);
    if (name.size() > 0xFFFF)
        throw EZAException(61, {item.FileName});
    if (item.Comment.size() > 0xFFFF)
        throw EZAException(kZAWriteError);

    std::vector<uint8_t> extra;
    const TZAExtraField zip64 = BuildZip64ExtraField(item);
    if (zip64.Id != 0)
        AppendExtraFields(extra, {zip64});
    for (const TZAExtraField& f : item.ExtraFields)
        if (f.Id != kZip64ExtraId)
            AppendExtraFields(extra, {f});
    if (extra.size() > 0xFFFF)
        throw EZAException(kZAWriteError);

    item.NameLength = static_cast<uint16_t>(name.size());
    item.ExtraLength = static_cast<uint16_t>(extra.size());
    item.CommentLength = static_cast<uint16_t>(item.Comment.size());

    std::vector<uint8_t> out(TCentralDirFileHeader::kSize);
    item.Header().Encode(out.data());
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), extra.begin(), extra.end());
    out.insert(out.end(), item.Comment.begin(), item.Comment.end());
    return out;
}

void ApplyExtraFields(TDirItem& item, const std::string& headerName)
{
    // Our own name field wins; the Unicode path field of other tools
    // stands in when there is none.
    bool named = false;
    std::u16string pathName;
    bool hasPathName = false;
    for (const TZAExtraField& f : item.ExtraFields) {
        if (f.Id == kZip64ExtraId) {
            // Each value is present only for a saturated field, in this order.
            size_t at = 0;
            const auto& d = f.Data;
            if (item.UncompressedSize == kSaturated32 && d.size() - at >= 8) {
                item.UncompressedSize64 = GetLE64(d.data() + at);
                at += 8;
            }
            if (item.CompressedSize == kSaturated32 && d.size() - at >= 8) {
                item.CompressedSize64 = GetLE64(d.data() + at);
                at += 8;
            }
            if (item.LocalHeaderOffset == kSaturated32 && d.size() - at >= 8) {
                item.LocalHeaderOffset64 = GetLE64(d.data() + at);
                at += 8;
            }
            if (item.DiskNumberStart == kSaturated16 && d.size() - at >= 4) {
                item.DiskNumberStart32 = GetLE32(d.data() + at);
                at += 4;
            }
            item.Zip64 = 1;
        } else if (f.Id == kUnicodeNameExtraId) {
            std::u16string name;
            if (ParseUnicodeNameField(f, name)) {
                item.FileName = std::move(name);
                named = true;
            }
        } else if (f.Id == kUnicodePathExtraId) {
            hasPathName = hasPathName || ParseUnicodePathField(f, headerName, pathName);
        } else if (f.Id == kAesExtraId && item.VersionMadeBy < kVersionAlternate) {
            uint16_t version = 0, method = 0;
            uint8_t strength = 0;
            if (ParseAesExtraField(f, version, strength, method)) {
                item.EncryptionKind = strength;
                item.ActualMethod = method;
            }
        }
    }
    if (!named && hasPathName)
        item.FileName = std::move(pathName);
}

void ReadCentralHeader(TStream& stream, TDirItem& item, bool oemFileNames, int64_t limit)
{
    const int64_t start = stream.GetPosition();
    if (start < 0 || limit - start < TCentralDirFileHeader::kSize)
        throw EZAException(kZADamagedArchive);
    uint8_t fixed[TCentralDirFileHeader::kSize];
    stream.ReadBuffer(fixed, sizeof fixed);
    const TCentralDirFileHeader h = TCentralDirFileHeader::Decode(fixed);
    if (h.Signature != kCentralHeaderSignature && h.Signature != kCentralHeaderSignatureAlt)
        throw EZAException(kZADamagedArchive);
    const int64_t variable = int64_t(h.NameLength) + h.ExtraLength + h.CommentLength;
    if (limit - start - TCentralDirFileHeader::kSize < variable)
        throw EZAException(kZADamagedArchive);

    std::vector<uint8_t> rest(static_cast<size_t>(variable));
    if (variable > 0)
        stream.ReadBuffer(rest.data(), variable);

    item.SetHeader(h);
    item.FileName = DecodeItemName(std::string(rest.begin(), rest.begin() + h.NameLength), h.Flags,
                                   oemFileNames);
    item.ExtraFields = SplitExtraFields(rest.data() + h.NameLength, h.ExtraLength);
    item.Comment.assign(rest.begin() + h.NameLength + h.ExtraLength, rest.end());
    item.Zip64 = 0;
    item.UncompressedSize64 = item.CompressedSize64 = item.LocalHeaderOffset64 = 0;
    item.DiskNumberStart32 = 0;
    if ((h.Flags & kFlagEncrypted) && h.VersionMadeBy < kVersionAlternate)
        item.EncryptionKind = ekPkzipClassic;
    item.ActualMethod = h.Method;
    ApplyExtraFields(item, std::string(rest.begin(), rest.begin() + h.NameLength));
}

bool CheckLocalHeader(TStream& stream, int64_t position, const TDirItem& item)
{
    const int64_t saved = stream.GetPosition();
    bool accepted = false;
    try {
        const int64_t size = stream.GetSize();
        if (position >= 0 && size - position >= TLocalFileHeader::kSize) {
            stream.SetPosition(position);
            uint8_t fixed[TLocalFileHeader::kSize];
            stream.ReadBuffer(fixed, sizeof fixed);
            const TLocalFileHeader h = TLocalFileHeader::Decode(fixed);
            const bool wholeName = size - position - TLocalFileHeader::kSize >= h.NameLength;
            const bool signature = h.Signature == kLocalHeaderSignature || h.Signature == kLocalHeaderSignatureAlt;
            // Items written with a data descriptor carry zero CRC and sizes in
            // the local header, ZIP64 items saturated sizes; neither speaks
            // against the match.
            const bool deferred = (h.Flags & kFlagDataDescriptor) != 0;
            auto sameSize = [&](uint32_t local, uint32_t central) {
                return local == central || (deferred && local == 0) || local == kSaturated32;
            };
            const bool fieldsMatch = h.VersionNeeded == item.VersionNeeded && h.Method == item.Method &&
                                     h.Time == item.Time && h.Date == item.Date &&
                                     (h.Crc32 == item.Crc32 || (deferred && h.Crc32 == 0)) &&
                                     sameSize(h.CompressedSize, item.CompressedSize) &&
                                     sameSize(h.UncompressedSize, item.UncompressedSize);
            accepted = wholeName && signature && (position == 0 || fieldsMatch);
        }
    } catch (const Exception&) {
        accepted = false;
    }
    stream.SetPosition(saved);
    return accepted;
}
