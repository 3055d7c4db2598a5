#include "zip/TZADirManager.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/EZAException.h"
#include "zip/WideUtils.h"

namespace {

constexpr int64_t kEndSearchWindow = 65600;  // 22 + 65535 + 43
constexpr int64_t kFirstHeaderWindow = 10000;
constexpr int64_t kNextHeaderWindow = 65535;
constexpr int64_t kZip64Trailer = TZip64EndOfCentralDir::kSize + TZip64EndOfCentralDirLocator::kSize;

// Restores a stream's position when a search or check is done with it.
class TPositionKeeper {
public:
    explicit TPositionKeeper(TStream& stream) : stream_(stream), position_(stream.GetPosition()) {}
    ~TPositionKeeper()
    {
        try {
            stream_.SetPosition(position_);
        } catch (...) {
        }
    }

private:
    TStream& stream_;
    int64_t position_;
};

bool ReadAt(TStream& stream, int64_t position, void* buffer, int64_t count)
{
    if (position < 0 || stream.GetSize() - position < count)
        return false;
    stream.SetPosition(position);
    stream.ReadBuffer(buffer, count);
    return true;
}

bool ReadLocatorAt(TStream& stream, int64_t endRecordPosition, TZip64EndOfCentralDirLocator& locator)
{
    if (endRecordPosition < 21)
        return false;
    uint8_t raw[TZip64EndOfCentralDirLocator::kSize];
    if (!ReadAt(stream, endRecordPosition - TZip64EndOfCentralDirLocator::kSize, raw, sizeof raw))
        return false;
    locator = TZip64EndOfCentralDirLocator::Decode(raw);
    return locator.Signature == kZip64LocatorSignature;
}

// The ZIP64 end record the locator names. Archives with data in front of
// them (a stub added after the archive was written) keep offsets that ignore
// it, so the place right in front of the locator is tried as well.
bool ReadZip64RecordFor(TStream& stream, int64_t endRecordPosition, const TZip64EndOfCentralDirLocator& locator,
                        TZip64EndOfCentralDir& record, int64_t& recordPosition)
{
    const int64_t locatorPosition = endRecordPosition - TZip64EndOfCentralDirLocator::kSize;
    if (locatorPosition < 57)
        return false;
    const int64_t candidates[2] = {
        locator.EndRecordOffset <= uint64_t(locatorPosition) ? int64_t(locator.EndRecordOffset) : -1,
        endRecordPosition - kZip64Trailer};
    for (int64_t at : candidates) {
        if (at < 0 || locatorPosition - at < TZip64EndOfCentralDir::kSize)
            continue;
        uint8_t raw[TZip64EndOfCentralDir::kSize];
        if (!ReadAt(stream, at, raw, sizeof raw))
            continue;
        const TZip64EndOfCentralDir r = TZip64EndOfCentralDir::Decode(raw);
        if (r.Signature != kZip64EndRecordSignature)
            continue;
        record = r;
        recordPosition = at;
        return true;
    }
    return false;
}

// Searches forward from position for a 4-byte signature with at least
// `behind` bytes from the hit to the end of the stream; -1 when none.
int64_t SearchSignature(TStream& stream, int64_t position, uint32_t signature, int64_t window, int64_t behind,
                        const std::function<bool(int64_t)>& accept)
{
    const int64_t size = stream.GetSize();
    uint8_t sig[4];
    PutLE32(sig, signature);
    std::vector<uint8_t> buffer(static_cast<size_t>(window));
    int64_t at = std::max<int64_t>(position, 0);
    while (size - at >= 4) {
        const int64_t n = std::min(window, size - at);
        stream.SetPosition(at);
        stream.ReadBuffer(buffer.data(), n);
        for (int64_t j = 0; j + 4 <= n; ++j) {
            if (std::memcmp(buffer.data() + j, sig, 4) != 0)
                continue;
            const int64_t hit = at + j;
            if (size - hit < behind)
                return -1;
            if (accept(hit))
                return hit;
        }
        if (at + n >= size)
            break;
        at += n - 3;  // a signature across the window edge is found next time
    }
    return -1;
}

} // namespace

TZADirManager::TZADirManager(TStream* stream, TZADirOwner* archiver, bool newArchive)
    : stream_(stream), newArchive_(newArchive), archiver_(archiver)
{
    ResetEndRecord();
    FirstLocalHeaderPos = 0;
    if (newArchive) {
        archiver_->GetVolumeInfo().SetFirst(true);
        if (!archiver_->GetSFXStub().empty())
            CopyStub();
    }
}

TZADirManager::~TZADirManager() = default;

void TZADirManager::ResetEndRecord()
{
    EndRecord = TEndOfCentralDir();
    EndRecord.Signature = archiver_->UsesStandardSignatures() ? kEndRecordSignature : kEndRecordSignatureAlt;
    Zip64Locator = TZip64EndOfCentralDirLocator();
    Zip64EndRecord = TZip64EndOfCentralDir();
    Zip64 = false;
    endRecordPosition_ = -1;
}

uint32_t TZADirManager::LocalSignature() const
{
    return archiver_->UsesStandardSignatures() ? kLocalHeaderSignature : kLocalHeaderSignatureAlt;
}

void TZADirManager::CopyStub()
{
    const std::u16string stub = archiver_->GetSFXStub();
    std::unique_ptr<TFileStream> source;
    try {
        source = std::make_unique<TFileStream>(WideToUTF8(stub), fmOpenRead | fmShareDenyNone);
    } catch (const Exception&) {
        throw EZAException(33, {stub});
    }
    const int64_t stubSize = source->GetSize();
    if (archiver_->GetSpanningMode() != smNone) {
        const int64_t limit = archiver_->GetSpanningOptions().GetVolumeSize(true);
        if (limit > 0 && limit < stubSize)
            throw EZAException(47);
    }
    stream_->SetSize(0);
    stream_->SetPosition(0);
    if (stubSize > 0)
        stream_->CopyFrom(*source, 0);
    FirstLocalHeaderPos = stubSize;
    // The first item goes behind the stub, where an empty archive's
    // directory would start.
    CentralDirStart = stubSize;
}

bool TZADirManager::ConfirmEndRecord(int64_t position)
{
    TPositionKeeper keep(*stream_);
    uint8_t raw[TEndOfCentralDir::kSize];
    if (!ReadAt(*stream_, position, raw, sizeof raw))
        return false;
    const TEndOfCentralDir record = TEndOfCentralDir::Decode(raw);
    return int64_t(record.CommentLength) == stream_->GetSize() - position - TEndOfCentralDir::kSize;
}

bool TZADirManager::FindEndOfCentralDir(uint32_t signature, int64_t& position, TEndOfCentralDir& record)
{
    Comment.clear();
    record = TEndOfCentralDir();
    position = -1;
    TPositionKeeper keep(*stream_);
    const int64_t size = stream_->GetSize();
    const int64_t window = std::min(size, kEndSearchWindow);
    if (window < TEndOfCentralDir::kSize)
        return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(window));
    const int64_t base = size - window;
    stream_->SetPosition(base);
    stream_->ReadBuffer(buffer.data(), window);

    uint8_t sig[4];
    PutLE32(sig, signature);
    for (int64_t i = window - 1; i >= 3; --i) {
        if (buffer[i] != sig[3] || std::memcmp(buffer.data() + i - 3, sig, 3) != 0)
            continue;
        const int64_t at = i - 3;
        if (window - at < TEndOfCentralDir::kSize)
            continue;
        // The whole record lies inside the buffer, which reaches the end of
        // the stream, so the comment-length test needs no further read.
        const TEndOfCentralDir candidate = TEndOfCentralDir::Decode(buffer.data() + at);
        if (int64_t(candidate.CommentLength) != window - at - TEndOfCentralDir::kSize)
            continue;
        record = candidate;
        position = base + at;
        Comment.assign(reinterpret_cast<const char*>(buffer.data() + at + TEndOfCentralDir::kSize),
                       candidate.CommentLength);
        return true;
    }
    return false;
}

bool TZADirManager::ReadZip64Locator(int64_t endRecordPosition)
{
    TPositionKeeper keep(*stream_);
    TZip64EndOfCentralDirLocator locator;
    if (!ReadLocatorAt(*stream_, endRecordPosition, locator))
        return false;
    Zip64Locator = locator;
    return true;
}

void TZADirManager::ReadZip64EndRecord(int64_t endRecordPosition)
{
    TPositionKeeper keep(*stream_);
    int64_t at = 0;
    TZip64EndOfCentralDir record;
    if (!ReadZip64RecordFor(*stream_, endRecordPosition, Zip64Locator, record, at))
        throw EZAException(40);
    Zip64EndRecord = record;
    zip64RecordPosition_ = at;
}

bool TZADirManager::RefindEndOfCentralDir()
{
    int64_t position = -1;
    TEndOfCentralDir record;
    const bool found = FindEndOfCentralDir(
        archiver_->UsesStandardSignatures() ? kEndRecordSignature : kEndRecordSignatureAlt, position, record);
    if (found) {
        EndRecord = record;
        endRecordPosition_ = position;
    }
    return archiver_->IsTolerant() ? true : found;
}

void TZADirManager::LoadCentralDirectory()
{
    ResetEndRecord();
    FirstLocalHeaderPos = 0;
    Items.Clear();

    int64_t position = -1;
    TEndOfCentralDir record;
    bool found;
    if (archiver_->UsesStandardSignatures())
        found = FindEndOfCentralDir(kEndRecordSignature, position, record);
    else
        found = FindEndOfCentralDir(kEndRecordSignatureAlt, position, record) ||
                FindEndOfCentralDir(kEndRecordSignature, position, record);
    if (!found) {
        RebuildFromLocalHeaders();
        return;
    }
    EndRecord = record;
    endRecordPosition_ = position;

    Zip64 = ReadZip64Locator(position);
    if (Zip64) {
        // Bytes that merely look like a locator (the end of an item comment)
        // must not make a complete end record unreadable; the ZIP64 record is
        // required only when the end record defers to it.
        const bool defers = record.ThisDisk == kSaturated16 || record.DirectoryDisk == kSaturated16 ||
                            record.EntriesOnDisk == kSaturated16 || record.TotalEntries == kSaturated16 ||
                            record.DirectorySize == kSaturated32 || record.DirectoryOffset == kSaturated32;
        try {
            ReadZip64EndRecord(position);
        } catch (const EZAException&) {
            if (defers)
                throw;
            Zip64 = false;
            Zip64Locator = TZip64EndOfCentralDirLocator();
        }
    }
    if (!Zip64 && record.TotalEntries == kSaturated16) {
        RebuildFromLocalHeaders();
        return;
    }

    const uint32_t directoryDisk = record.DirectoryDisk != kSaturated16 ? record.DirectoryDisk
                                   : Zip64                              ? Zip64EndRecord.DirectoryDisk
                                                                        : 0;
    const uint32_t endDisk = record.ThisDisk != kSaturated16 ? record.ThisDisk
                             : Zip64 ? (Zip64Locator.TotalDisks > 0 ? Zip64Locator.TotalDisks - 1 : 0)
                                     : 0;
    TZAVolumeNumberInfo volume;
    volume.LastVolumeNumber = static_cast<int32_t>(std::min<uint32_t>(endDisk, INT32_MAX));
    volume.SetVolumeNumber(static_cast<int32_t>(std::min<uint32_t>(directoryDisk, INT32_MAX)));
    const bool spanning = archiver_->GetSpanningMode() != smNone;
    // The directory of a set is read through the archiver, which asks for
    // its volumes; the manager's stream stays the last volume.
    directoryDisk_ = volume.VolumeNumber;

    try {
        LoadItems();
    } catch (const Exception&) {
        if (!archiver_->IsTolerant())
            throw;
        RebuildFromLocalHeaders();
        return;
    }

    if (!archiver_->IsTolerant() && !spanning)
        CheckArchiveSize();
    if (record.ThisDisk == 0) {
        // The offsets are out by what lies in front of the archive: the
        // distance from the stored offset of the first directory item to
        // where its local header really is. The directory may list items in
        // any order, so no other offset says anything about that prefix.
        const int64_t shift = FindFirstLocalHeader(position);
        if (shift > 0)
            AdjustItemOffsets(uint64_t(shift));
    }
}

void TZADirManager::LoadItems()
{
    const bool spanning = archiver_->GetSpanningMode() != smNone;
    const uint64_t count = Zip64 ? Zip64EndRecord.TotalEntries : EndRecord.TotalEntries;
    const uint64_t size = Zip64 ? Zip64EndRecord.DirectorySize : EndRecord.DirectorySize;
    const uint64_t offset = Zip64 ? Zip64EndRecord.DirectoryOffset : EndRecord.DirectoryOffset;
    const bool singleFile = EndRecord.ThisDisk == 0 && !spanning;

    // The directory ends where the record behind it begins; measuring back
    // from there makes data in front of the archive harmless.
    const int64_t directoryEnd = Zip64 ? zip64RecordPosition_ : endRecordPosition_;
    int64_t start;
    int64_t limit;
    if (spanning) {
        // Offsets of a set count from the start of the directory's volume.
        if (offset > uint64_t(INT64_MAX / 2) || size > uint64_t(INT32_MAX))
            throw EZAException(kZADamagedArchive);
        start = int64_t(offset);
        limit = start + int64_t(size);
    } else {
        if (size > uint64_t(directoryEnd))
            throw EZAException(kZADamagedArchive);
        start = directoryEnd - int64_t(size);
        limit = directoryEnd;
    }
    // Every header takes at least 46 bytes, which bounds the item count by
    // what the stream really holds before anything is allocated.
    if (count > uint64_t(limit - start) / TCentralDirFileHeader::kSize || count > uint64_t(INT_MAX))
        throw EZAException(kZADamagedArchive);
    CentralDirStart = start;

    // Reading the directory area at once keeps the per-header reads in memory.
    TMemoryStream area;
    TStream* source = stream_;
    int64_t areaLimit = limit;
    if (!spanning) {
        area.SetSize(limit - start);
        stream_->SetPosition(start);
        if (limit > start)
            stream_->ReadBuffer(area.Memory(), limit - start);
        area.SetPosition(0);
        source = &area;
        areaLimit = limit - start;
    } else {
        area.SetSize(limit - start);
        if (limit > start && !archiver_->ReadVolumeBytes(directoryDisk_, start, area.Memory(), limit - start))
            throw EZAException(kZADamagedArchive);
        area.SetPosition(0);
        source = &area;
        areaLimit = limit - start;
    }

    const bool oem = archiver_->GetOptions().OEMFileNames;
    Items.SetCount(static_cast<int>(count));
    for (int i = 0; i < static_cast<int>(count); ++i) {
        TDirItem item;
        ReadCentralHeader(*source, item, oem, areaLimit);
        if (item.FullCompressedSize() < EncryptionOverhead(item) &&
            !(item.FullCompressedSize() == 0 && item.FullUncompressedSize() == 0))
            throw EZAException(kZADamagedArchive);
        if (singleFile && (item.FullLocalHeaderOffset() > uint64_t(start) ||
                           item.FullCompressedSize() > uint64_t(start) - item.FullLocalHeaderOffset()))
            throw EZAException(kZADamagedArchive);
        Items.SetItem(i, item);
    }
}

void TZADirManager::CheckArchiveSize()
{
    uint64_t total = 0;
    const uint64_t size = uint64_t(stream_->GetSize());
    for (int i = 0; i < Items.Count(); ++i) {
        const uint64_t item = Items.ItemAt(i).FullCompressedSize();
        if (item > size - std::min(total, size))
            throw EZAException(57);
        total += item;
    }
}

void TZADirManager::AdjustItemOffsets(uint64_t shift)
{
    // Every item moves, folders included: their local headers lie behind
    // the same prefix as everything else.
    for (int i = 0; i < Items.Count(); ++i) {
        TDirItem& item = Items.ItemAt(i);
        const uint64_t moved = item.FullLocalHeaderOffset() + shift;
        if (item.LocalHeaderOffset != kSaturated32 && moved <= 0xFFFFFFFEu) {
            item.LocalHeaderOffset = static_cast<uint32_t>(moved);
        } else {
            item.LocalHeaderOffset = kSaturated32;
            item.LocalHeaderOffset64 = moved;
        }
    }
}

int64_t TZADirManager::FindFirstLocalHeader(int64_t position)
{
    if (Items.Count() == 0) {
        FirstLocalHeaderPos = position;
        return 0;
    }
    TPositionKeeper keep(*stream_);
    const TDirItem& first = Items.ItemAt(0);
    const uint64_t from = first.FullLocalHeaderOffset();
    if (from >= uint64_t(stream_->GetSize()))
        return 0;
    const int64_t hit = SearchSignature(*stream_, int64_t(from), LocalSignature(), kFirstHeaderWindow,
                                        TLocalFileHeader::kSize,
                                        [&](int64_t at) { return CheckLocalHeader(*stream_, at, first); });
    if (hit < 0)
        return 0;
    const int64_t shift = hit - int64_t(from);
    uint64_t lowest = from;
    for (int i = 1; i < Items.Count(); ++i)
        lowest = std::min(lowest, Items.ItemAt(i).FullLocalHeaderOffset());
    FirstLocalHeaderPos = int64_t(lowest) + shift;
    return shift;
}

int64_t TZADirManager::FindNextLocalHeader(int64_t position)
{
    TPositionKeeper keep(*stream_);
    return SearchSignature(*stream_, position, LocalSignature(), kNextHeaderWindow, TLocalFileHeader::kSize,
                           [](int64_t) { return true; });
}

bool TZADirManager::FindDataDescriptor(int64_t position, TDataDescriptor& descriptor)
{
    TPositionKeeper keep(*stream_);
    const int64_t hit = SearchSignature(*stream_, position, kDataDescriptorSignature, kNextHeaderWindow,
                                        TDataDescriptor::kSize, [](int64_t) { return true; });
    if (hit < 0)
        return false;
    uint8_t raw[TDataDescriptor::kSize];
    if (!ReadAt(*stream_, hit, raw, sizeof raw))
        return false;
    descriptor = TDataDescriptor::Decode(raw);
    return true;
}

void TZADirManager::RebuildFromLocalHeaders()
{
    if (archiver_->GetSpanningMode() != smNone)
        throw EZAException(44);
    Items.Clear();
    int64_t hit = FindNextLocalHeader(0);
    if (hit < 0)
        throw EZAException(35);

    TPositionKeeper keep(*stream_);
    const int64_t size = stream_->GetSize();
    const bool oem = archiver_->GetOptions().OEMFileNames;
    while (hit >= 0) {
        uint8_t raw[TLocalFileHeader::kSize];
        stream_->SetPosition(hit);
        stream_->ReadBuffer(raw, sizeof raw);
        const TLocalFileHeader h = TLocalFileHeader::Decode(raw);
        const int64_t variable = int64_t(h.NameLength) + h.ExtraLength;
        if (int64_t(h.CompressedSize) < size && h.ExtraLength <= 260 &&
            size - hit - TLocalFileHeader::kSize >= variable) {
            std::vector<uint8_t> rest(static_cast<size_t>(variable));
            if (variable > 0)
                stream_->ReadBuffer(rest.data(), variable);

            TDirItem item;
            item.Signature = archiver_->UsesStandardSignatures() ? kCentralHeaderSignature
                                                                  : kCentralHeaderSignatureAlt;
            item.VersionMadeBy = item.VersionNeeded = h.VersionNeeded;
            item.Flags = h.Flags;
            item.Method = item.ActualMethod = h.Method;
            item.Time = h.Time;
            item.Date = h.Date;
            item.Crc32 = h.Crc32;
            item.CompressedSize = h.CompressedSize;
            item.UncompressedSize = h.UncompressedSize;
            item.ExternalAttributes = (h.UncompressedSize == 0 && !(h.Flags & kFlagDataDescriptor)) ? 0x10 : 0x20;
            item.LocalHeaderOffset = hit > 0xFFFFFFFEll ? kSaturated32 : static_cast<uint32_t>(hit);
            item.LocalHeaderOffset64 = uint64_t(hit);
            item.FileName = DecodeItemName(std::string(rest.begin(), rest.begin() + h.NameLength), h.Flags, oem);
            item.ExtraFields = SplitExtraFields(rest.data() + h.NameLength, h.ExtraLength);
            item.NameLength = h.NameLength;
            item.ExtraLength = h.ExtraLength;
            item.EncryptionKind = ekPkzipClassic;
            ApplyExtraFields(item, std::string(rest.begin(), rest.begin() + h.NameLength));
            // A saturated offset comes from the hit, not from a local field.
            item.LocalHeaderOffset64 = uint64_t(hit);
            if (h.Flags & kFlagDataDescriptor) {
                TDataDescriptor descriptor;
                if (FindDataDescriptor(hit, descriptor)) {
                    item.Crc32 = descriptor.Crc32;
                    item.CompressedSize = descriptor.CompressedSize;
                    item.UncompressedSize = descriptor.UncompressedSize;
                }
            }
            // Only items whose data lies inside the stream are taken, by the
            // same rules a loaded directory is held to.
            const uint64_t room = uint64_t(size - hit);
            const bool fits = item.FullCompressedSize() <= room &&
                              (item.FullCompressedSize() >= EncryptionOverhead(item) ||
                               (item.FullCompressedSize() == 0 && item.FullUncompressedSize() == 0));
            if (fits) {
                const int n = Items.Count();
                Items.SetCount(n + 1);
                Items.SetItem(n, item);
            }
        }
        hit = FindNextLocalHeader(hit + 4);
    }
    CentralDirStart = size;
}

void TZADirManager::SaveCentralDirectory(TStream* stream, bool atEnd)
{
    if (stream)
        stream_ = stream;
    if (Comment.size() > 0xFFFF)
        throw EZAException(kZAWriteError);
    if (archiver_->GetSpanningMode() != smNone) {
        SaveSpannedDirectory();
        return;
    }

    // Encode everything first: a header that cannot be written must not
    // cost the archive its old directory.
    const bool oem = archiver_->GetOptions().OEMFileNames;
    std::vector<uint8_t> directory;
    for (int i = 0; i < Items.Count(); ++i) {
        const std::vector<uint8_t> header = EncodeCentralHeader(Items.ItemAt(i), oem);
        directory.insert(directory.end(), header.begin(), header.end());
    }

    int64_t start = stream_->GetSize();
    if (!atEnd) {
        // The search replaces the comment and record copies; the ones to be
        // written are those the archiver holds now.
        const std::string comment = Comment;
        int64_t position = -1;
        TEndOfCentralDir old;
        bool found = FindEndOfCentralDir(kEndRecordSignature, position, old);
        if (!found && !archiver_->UsesStandardSignatures())
            found = FindEndOfCentralDir(kEndRecordSignatureAlt, position, old);
        Comment = comment;
        if (found) {
            int64_t directoryEnd = position;
            uint64_t oldSize = old.DirectorySize;
            TZip64EndOfCentralDirLocator locator;
            TZip64EndOfCentralDir zip64;
            int64_t zip64Position = 0;
            if (ReadLocatorAt(*stream_, position, locator) &&
                ReadZip64RecordFor(*stream_, position, locator, zip64, zip64Position)) {
                directoryEnd = zip64Position;
                oldSize = zip64.DirectorySize;
            }
            start = oldSize <= uint64_t(directoryEnd) ? directoryEnd - int64_t(oldSize) : directoryEnd;
        }
    }

    const int32_t volume = std::max(archiver_->GetVolumeInfo().VolumeNumber, 0);
    const uint64_t count = uint64_t(Items.Count());

    stream_->SetSize(start);
    stream_->SetPosition(start);
    if (!directory.empty())
        archiver_->WriteDirectoryBytes(*stream_, directory.data(), int64_t(directory.size()));
    const int64_t afterDirectory = stream_->GetPosition();
    const uint64_t directorySize = uint64_t(afterDirectory - start);

    const bool zip64 = uint64_t(afterDirectory) >= 0xFFFFFFFFu || count >= 65535;
    const std::vector<uint8_t> closing =
        MakeClosingRecords(zip64, uint32_t(volume), uint32_t(volume), count, count, directorySize, start, afterDirectory);
    archiver_->WriteDirectoryBytes(*stream_, closing.data(), int64_t(closing.size()));
    CentralDirStart = start;
}

std::vector<uint8_t> TZADirManager::MakeClosingRecords(bool zip64, uint32_t endDisk, uint32_t startDisk,
                                                       uint64_t entriesOnLastDisk, uint64_t count,
                                                       uint64_t directorySize, int64_t start, int64_t position)
{
    auto sat16 = [](uint64_t v) { return v >= 0xFFFF ? kSaturated16 : static_cast<uint16_t>(v); };
    auto sat32 = [](uint64_t v) { return v >= 0xFFFFFFFFu ? kSaturated32 : static_cast<uint32_t>(v); };

    std::vector<uint8_t> records;
    Zip64EndRecord = TZip64EndOfCentralDir();
    Zip64Locator = TZip64EndOfCentralDirLocator();
    if (zip64) {
        Zip64EndRecord.RecordSize = 44;
        Zip64EndRecord.VersionMadeBy = 45;
        Zip64EndRecord.VersionNeeded = 45;
        Zip64EndRecord.ThisDisk = endDisk;
        Zip64EndRecord.DirectoryDisk = startDisk;
        Zip64EndRecord.EntriesOnDisk = entriesOnLastDisk;
        Zip64EndRecord.TotalEntries = count;
        Zip64EndRecord.DirectorySize = directorySize;
        Zip64EndRecord.DirectoryOffset = uint64_t(start);
        Zip64Locator.EndRecordDisk = endDisk;
        Zip64Locator.EndRecordOffset = uint64_t(position);
        Zip64Locator.TotalDisks = endDisk + 1;
        records.resize(kZip64Trailer);
        Zip64EndRecord.Encode(records.data());
        Zip64Locator.Encode(records.data() + TZip64EndOfCentralDir::kSize);
        zip64RecordPosition_ = position;
    }
    Zip64 = zip64;

    EndRecord = TEndOfCentralDir();
    EndRecord.Signature = archiver_->UsesStandardSignatures() ? kEndRecordSignature : kEndRecordSignatureAlt;
    EndRecord.ThisDisk = sat16(endDisk);
    EndRecord.DirectoryDisk = sat16(startDisk);
    EndRecord.EntriesOnDisk = sat16(entriesOnLastDisk);
    EndRecord.TotalEntries = sat16(count);
    EndRecord.DirectorySize = sat32(directorySize);
    EndRecord.DirectoryOffset = sat32(uint64_t(start));
    EndRecord.CommentLength = static_cast<uint16_t>(Comment.size());
    const size_t at = records.size();
    records.resize(at + TEndOfCentralDir::kSize);
    EndRecord.Encode(records.data() + at);
    records.insert(records.end(), Comment.begin(), Comment.end());
    endRecordPosition_ = position + int64_t(at);
    return records;
}
