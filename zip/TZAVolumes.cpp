// Multi-volume sets: naming, asking for, opening and filling volumes.
//
// Writing a set: the items of the one transaction a set allows are stored
// into a linear temporary file exactly as for a single-file archive. The
// commit then spreads that file over the volumes, item by item in file order:
// an item's local header goes whole onto one volume, and the item takes the
// number of that volume as its disk number and the header's position inside
// that volume as its local header offset. Its data may run on over any
// number of volumes. The central directory follows, each header whole on one
// volume; the directory's disk and offset are those of its first header, and
// the closing records stay together on the last volume.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/rtl/Exception.h"
#include "zip/EZAException.h"
#include "zip/TUniFileStream.h"
#include "zip/TZABaseArchiver.h"
#include "zip/TZAVolumeReader.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"
#include "zip/ZAPathHelpers.h"

namespace {

// A handler (or the user) who keeps answering with a file that is not there
// is asked this many times; then the request counts as cancelled.
constexpr int kMaxVolumeRequests = 16;
constexpr int64_t kMinimumFreeSpace = 65536;
constexpr int64_t kCopyPiece = 1000000;
constexpr unsigned kReadVolumeMode = 64;  // read only, others may do anything

struct TNameParts {
    std::u16string folder, base, ext;
};

TNameParts SplitName(const std::u16string& name)
{
    TNameParts parts;
    const size_t slash = name.find_last_of(u"/\\");
    const size_t fileStart = slash == std::u16string::npos ? 0 : slash + 1;
    parts.folder = name.substr(0, fileStart);
    const std::u16string file = name.substr(fileStart);
    const size_t dot = file.find_last_of(u'.');
    if (dot == std::u16string::npos || dot == 0) {
        parts.base = file;
    } else {
        parts.base = file.substr(0, dot);
        parts.ext = file.substr(dot);
    }
    return parts;
}

std::u16string Digits(const char* format, int32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    return UTF8ToWide(buffer);
}

} // namespace

bool TZABaseArchiver::IsExeFileName(const std::u16string& fileName)
{
    return WideLowerCase(SplitName(fileName).ext).find(u".exe") != std::u16string::npos;
}

int64_t TZABaseArchiver::GetFreeSpace(const std::u16string& fileName) { return WideDiskFree(fileName); }

void TZABaseArchiver::GetVolumeFileName(std::u16string& fileName, int32_t volumeNumber, bool checkExists)
{
    const TNameParts p = SplitName(fileName);
    const bool sfx = (dir_ && dir_->FirstLocalHeaderPos > 0) || !SFXStub.empty() || IsExeFileName(fileName);
    const bool alternative = compressionMethod_ >= 252 && compressionMethod_ != 0xFFFF;
    const bool advanced = SpanningOptions.AdvancedNaming;

    // Volumes are written with lower-case extensions, as other tools on a
    // case-sensitive file system expect; sets from systems that ignore case
    // may carry upper-case ones, so reading tries both.
    auto pick = [&](const std::u16string& suffix) {
        const std::u16string upper = p.folder + p.base + suffix;
        const std::u16string lower = p.folder + p.base + WideLowerCase(suffix);
        if (!checkExists)
            return lower;
        if (WideIsFile(upper))
            return upper;
        return lower;
    };
    auto numbered = [&](int32_t n, const std::u16string& ext) {
        return p.folder + p.base + u"_" + Digits("%.3u", n + 1) + ext;
    };

    if (volumeNumber >= 0 && spanningMode_ == smSpanning) {
        const std::u16string ext = sfx ? u".exe" : p.ext;
        const std::u16string plain = p.folder + p.base + ext;
        const std::u16string advancedName = numbered(volumeNumber, ext);
        fileName = advanced ? advancedName : plain;
        if (checkExists && !WideIsFile(fileName)) {
            const std::u16string other = advanced ? plain : advancedName;
            if (WideIsFile(other))
                fileName = other;
        }
    } else if (volumeNumber >= 0 && spanningMode_ == smSplitting) {
        if (volumeNumber == 0 && sfx)
            fileName = p.folder + p.base + (IsExeFileName(fileName) ? p.ext : u".exe");
        else if (advanced)
            fileName = numbered(volumeNumber, p.ext);
        else
            fileName = pick((alternative ? u".F" : u".Z") + Digits("%.2d", volumeNumber + 1));
    } else if (volumeNumber < 0 && spanningMode_ == smSplitting && sfx) {
        fileName = pick(alternative ? u".ZA" : u".ZIP");
    }
}

// ---------------------------------------------------------------- opening volumes

void TZABaseArchiver::OpenVolumeFile(const std::u16string& fileName)
{
    volumeStream_.reset();
    volumeFileName_.clear();
    const bool creating = openMode_ == 0xFFFF && !volumesWritten_;
    try {
        volumeStream_ = std::make_unique<TUniFileStream>(fileName, creating ? kCreateMode : kReadVolumeMode);
    } catch (const Exception&) {
        throw EZAException(creating ? 36 : 33, {fileName}, Name);
    }
    volumeFileName_ = fileName;
}

TStream* TZABaseArchiver::OpenVolume(const TZAVolumeNumberInfo& volume)
{
    if (spanningMode_ == smNone) {
        if (!volumeStream_)
            OpenVolumeFile(FileName);
        volumeInfo_ = volume;
        return volumeStream_.get();
    }

    if (WritingVolumes()) {
        if (volumeStream_ && spanningMode_ == smSpanning)
            if (auto* file = dynamic_cast<TUniFileStream*>(volumeStream_.get()))
                file->Flush();
        volumeStream_.reset();
        const int32_t number = std::max(volume.VolumeNumber, 0);
        const int64_t limit = SpanningOptions.GetVolumeSize(volume.IsFirst());
        for (int attempt = 0;; ++attempt) {
            if (attempt == kMaxVolumeRequests)
                throw EZAException(45, Name);
            std::u16string name = FileName;
            GetVolumeFileName(name, number, false);
            bool cancel = false;
            DoRequestBlankVolume(number, name, cancel);
            if (cancel)
                throw EZAException(45, Name);
            const int64_t free = GetFreeSpace(name);
            // An unknown amount (-1) does not stop the set; the writes will.
            const bool accepted = free < 0 || (free > kMinimumFreeSpace &&
                                               (limit < 0 || spanningMode_ == smSplitting || free >= limit));
            if (!accepted) {
                DoDiskFull(number, name, cancel);
                if (cancel)
                    throw EZAException(45, Name);
                continue;
            }
            // Spanned disks get no "pkback#" label: relabelling a mounted
            // file system needs privileges and tools of its own here, and
            // reading finds each disk by its file, not by its label.
            OpenVolumeFile(name);
            if (std::find(createdVolumes_.begin(), createdVolumes_.end(), name) == createdVolumes_.end())
                createdVolumes_.push_back(name);
            break;
        }
        volumeInfo_ = volume;
        return volumeStream_.get();
    }

    if (volumeStream_ && volumeInfo_.SameVolume(volume) && volumeInfo_.VolumeNumber == volume.VolumeNumber)
        return volumeStream_.get();
    for (int attempt = 0;; ++attempt) {
        if (attempt == kMaxVolumeRequests)
            throw EZAException(45, Name);
        std::u16string name = FileName;
        bool cancel = false;
        if (volume.IsLast()) {
            GetVolumeFileName(name, -1, true);
            DoRequestLastVolume(name, cancel);
        } else if (volume.IsFirst()) {
            GetVolumeFileName(name, 0, true);
            DoRequestFirstVolume(name, cancel);
        } else {
            GetVolumeFileName(name, volume.VolumeNumber, true);
            DoRequestMiddleVolume(volume.VolumeNumber, name, cancel);
        }
        if (cancel)
            throw EZAException(45, Name);
        if (name.empty() && spanningMode_ == smSplitting)
            return nullptr;
        if (WideIsFile(name)) {
            OpenVolumeFile(name);
            break;
        }
    }
    volumeInfo_ = volume;
    return volumeStream_.get();
}

bool TZABaseArchiver::ReadVolumeBytes(int32_t volume, int64_t offset, void* buffer, int64_t count)
{
    TZAVolumeReader reader(*this, volume, lastVolume_);
    reader.SetPosition(offset);
    return reader.Read(buffer, count) == count;
}

// ---------------------------------------------------------------- writing volumes

int64_t TZABaseArchiver::VolumeRoom(TStream* pending)
{
    const int64_t pendingSize = pending ? pending->GetSize() : 0;
    int64_t room = GetFreeSpace(volumeFileName_);
    if (room < 0)
        room = INT64_MAX / 4;  // unknown: only the size limit counts
    room -= pendingSize;
    const int64_t limit = SpanningOptions.GetVolumeSize(volumeInfo_.IsFirst());
    if (limit > 0)
        room = std::min(room, limit - volumeStream_->GetSize() - pendingSize);
    return room;
}

void TZABaseArchiver::NextVolume(TStream* pending)
{
    if (pending && pending->GetSize() > 0) {
        pending->SetPosition(0);
        volumeStream_->CopyFrom(*pending, 0);
        pending->SetSize(0);
    }
    TZAVolumeNumberInfo next;
    next.SetVolumeNumber(volumeInfo_.VolumeNumber + 1);
    OpenVolume(next);
}

int64_t TZABaseArchiver::WriteToVolumes(const void* buffer, int64_t count, TStream* pending, int64_t reserve)
{
    if (!WritingVolumes())
        return stream_->Write(buffer, count);
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t written = 0;
    while (written < count) {
        const int64_t room = VolumeRoom(pending);
        if (room < 0)
            break;
        const int64_t remaining = count - written;
        int64_t n = 0;
        if (reserve >= 0)
            n = reserve + remaining <= room ? remaining : 0;
        else
            n = std::min(room, remaining);
        if (n > 0) {
            TStream& target = pending ? *pending : *volumeStream_;
            const int64_t done = target.Write(in + written, n);
            written += done;
            if (done < n)
                break;
        }
        if (written < count) {
            // Nothing fits even on a fresh volume: a new one would not help,
            // and asking for more would never end.
            const bool emptyVolume = volumeStream_->GetSize() == 0 && (!pending || pending->GetSize() == 0);
            if (n == 0 && emptyVolume)
                throw EZAException(47, Name);
            NextVolume(pending);
        }
    }
    return written;
}

void TZABaseArchiver::WriteToVolumesChecked(const void* buffer, int64_t count, TStream* pending, int64_t reserve)
{
    if (WriteToVolumes(buffer, count, pending, reserve) != count)
        throw EZAException(46, Name);
}

TStream* TZABaseArchiver::PlaceDirectoryPiece(TStream& stream, int64_t count)
{
    if (!WritingVolumes())
        return &stream;
    if (VolumeRoom(nullptr) >= count)
        return volumeStream_.get();
    if (volumeStream_->GetSize() == 0)
        throw EZAException(47, Name);
    NextVolume(nullptr);
    if (VolumeRoom(nullptr) < count)
        throw EZAException(47, Name);
    return volumeStream_.get();
}

void TZABaseArchiver::CopyToVolumes(TStream& source, bool progress, TStream* pending, int64_t reserve,
                                    int64_t count, bool& cancel)
{
    cancel = false;
    const int64_t total = count < 0 ? source.GetSize() - source.GetPosition() : count;
    if (progress) {
        DoCopyTempFileProgress(0, ppStart, cancel);
        if (cancel)
            return;
    }
    std::vector<uint8_t> buffer(size_t(std::max<int64_t>(1, std::min(total, kCopyPiece))));
    int64_t done = 0;
    while (done < total) {
        // The last piece is cut to what is left, so exactly count bytes move.
        const int64_t n = std::min<int64_t>(int64_t(buffer.size()), total - done);
        source.ReadBuffer(buffer.data(), n);
        WriteToVolumesChecked(buffer.data(), n, pending, reserve);
        done += n;
        if (progress) {
            DoCopyTempFileProgress(double(done) / double(total) * 100.0, ppProcess, cancel);
            if (cancel)
                return;
        }
    }
    if (progress)
        DoCopyTempFileProgress(100, ppEnd, cancel);
}

// ---------------------------------------------------------------- creating and finishing a set

void TZABaseArchiver::CreateVolumeSet()
{
    // The items go to a linear file first; the volumes get them at commit.
    volumeTempName_ = GetTempFileName(FileName);
    ownedStream_ = std::make_unique<TUniFileStream>(volumeTempName_, kCreateMode);
    stream_ = ownedStream_.get();
    volumeInfo_.Clear();
    TZAVolumeNumberInfo first;
    first.SetFirst(true);
    OpenVolume(first);
}

void TZABaseArchiver::FinishVolumeSet(int64_t itemsEnd)
{
    TStream& linear = *stream_;
    TZADirArray& items = dir_->Items;
    try {
        std::vector<int> order;
        for (int i = 0; i < items.Count(); ++i)
            order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return items.ItemAt(a).FullLocalHeaderOffset() < items.ItemAt(b).FullLocalHeaderOffset();
        });

        bool cancel = false;
        DoCopyTempFileProgress(0, ppStart, cancel);
        if (cancel)
            throw EZAException(45, Name);
        const double total = itemsEnd > 0 ? double(itemsEnd) : 1.0;

        // A stub in front of the items stays whole on the first volume.
        const int64_t prefix = std::min<int64_t>(dir_->FirstLocalHeaderPos, itemsEnd);
        if (prefix > 0) {
            std::vector<uint8_t> stub(static_cast<size_t>(prefix));
            linear.SetPosition(0);
            linear.ReadBuffer(stub.data(), prefix);
            WriteToVolumesChecked(stub.data(), prefix, nullptr, 0);
        }
        for (size_t k = 0; k < order.size(); ++k) {
            TDirItem& item = items.ItemAt(order[k]);
            const int64_t start = int64_t(item.FullLocalHeaderOffset());
            const int64_t end = k + 1 < order.size() ? int64_t(items.ItemAt(order[k + 1]).FullLocalHeaderOffset())
                                                     : itemsEnd;
            if (start < prefix || end < start + TLocalFileHeader::kSize || end > itemsEnd)
                throw EZAException(kZADamagedArchive, Name);
            uint8_t raw[TLocalFileHeader::kSize];
            linear.SetPosition(start);
            linear.ReadBuffer(raw, sizeof raw);
            const TLocalFileHeader local = TLocalFileHeader::Decode(raw);
            const int64_t headerSize =
                std::min<int64_t>(end - start, TLocalFileHeader::kSize + int64_t(local.NameLength) + local.ExtraLength);
            std::vector<uint8_t> header(static_cast<size_t>(headerSize));
            linear.SetPosition(start);
            linear.ReadBuffer(header.data(), headerSize);
            WriteToVolumesChecked(header.data(), headerSize, nullptr, 0);

            // The header landed whole on the current volume, just behind
            // everything written there before.
            const int32_t disk = std::max(volumeInfo_.VolumeNumber, 0);
            const uint64_t offset = uint64_t(volumeStream_->GetPosition() - headerSize);
            if (disk >= 0xFFFF) {
                item.DiskNumberStart = kSaturated16;
                item.DiskNumberStart32 = uint32_t(disk);
            } else {
                item.DiskNumberStart = uint16_t(disk);
                item.DiskNumberStart32 = 0;
            }
            if (offset >= 0xFFFFFFFFu || Zip64Mode == zmAlways) {
                item.LocalHeaderOffset = kSaturated32;
                item.LocalHeaderOffset64 = offset;
            } else {
                item.LocalHeaderOffset = uint32_t(offset);
                item.LocalHeaderOffset64 = 0;
            }

            linear.SetPosition(start + headerSize);
            CopyToVolumes(linear, false, nullptr, -1, end - start - headerSize, cancel);
            DoCopyTempFileProgress(double(end) / total * 100.0, ppProcess, cancel);
            if (cancel)
                throw EZAException(45, Name);
        }

        dir_->SaveCentralDirectory(volumeStream_.get(), true);
        if (auto* file = dynamic_cast<TUniFileStream*>(volumeStream_.get()))
            file->Flush();
        // A split set ends in the archive's own name (the ".zip" beside the
        // ".exe" of a self-extracting one); it replaces an old file of that
        // name only now that the set is complete. A self-extractor that fits
        // into its first volume stays the program it is.
        std::u16string finalName = FileName;
        GetVolumeFileName(finalName, -1, false);
        const bool singleSfx = volumeInfo_.VolumeNumber <= 0 && finalName != FileName;
        if (spanningMode_ == smSplitting && !singleSfx && volumeFileName_ != finalName) {
            if (!WideReplaceFile(volumeFileName_, finalName))
                throw EZAException(36, {finalName}, Name);
            createdVolumes_.erase(std::remove(createdVolumes_.begin(), createdVolumes_.end(), volumeFileName_),
                                  createdVolumes_.end());
            volumeFileName_ = finalName;
        }
        DoCopyTempFileProgress(100, ppEnd, cancel);
    } catch (...) {
        dir_->SetStream(stream_);
        volumeStream_.reset();
        for (const std::u16string& name : createdVolumes_)
            WideRemoveFile(name);
        createdVolumes_.clear();
        createFailed_ = true;
        volumesWritten_ = true;  // nothing more goes to volumes
        throw;
    }
    createdVolumes_.clear();
    lastVolume_ = std::max(volumeInfo_.VolumeNumber, 0);
    // The manager keeps the finished last volume as its stream; reading the
    // set from here on opens volumes of its own.
    lastVolumeStream_ = std::move(volumeStream_);
    dir_->SetStream(lastVolumeStream_.get());
    volumeFileName_.clear();
    volumeInfo_.Clear();
    volumesWritten_ = true;
}

void TZABaseArchiver::ReleaseVolumes()
{
    volumeStream_.reset();
    lastVolumeStream_.reset();
    volumeFileName_.clear();
    for (const std::u16string& name : createdVolumes_)
        WideRemoveFile(name);
    createdVolumes_.clear();
    if (!volumeTempName_.empty()) {
        WideRemoveFile(volumeTempName_);
        volumeTempName_.clear();
    }
    volumesWritten_ = false;
    volumeSetOpened_ = false;
    lastVolume_ = 0;
}

// ---------------------------------------------------------------- opening a set

void TZABaseArchiver::OpenExistingVolume()
{
    std::u16string name = FileName;
    // A file missing from a removable drive is the last disk of a spanned
    // set that is not in the drive yet.
    if (!WideIsFile(FileName) && ZAPath::IsRemovableDrive(FileName)) {
        spanningMode_ = smSpanning;
        bool found = false;
        for (int attempt = 0; attempt < kMaxVolumeRequests && !found; ++attempt) {
            name = FileName;
            GetVolumeFileName(name, -1, true);
            bool cancel = false;
            DoRequestLastVolume(name, cancel);
            if (cancel)
                throw EZAException(45, Name);
            found = WideIsFile(name);
        }
        if (!found)
            throw EZAException(45, Name);
    }
    try {
        ownedStream_ = std::make_unique<TUniFileStream>(name, openMode_);
    } catch (const Exception&) {
        throw EZAException(33, {name}, Name);
    }
    stream_ = ownedStream_.get();
}

void TZABaseArchiver::DetectSpanningMode(int32_t thisDisk)
{
    const TZASpanningMode before = spanningMode_;
    spanningMode_ = smSplitting;
    std::u16string previous = FileName;
    GetVolumeFileName(previous, thisDisk - 1, true);
    if (!WideIsFile(previous)) {
        SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
        previous = FileName;
        GetVolumeFileName(previous, thisDisk - 1, true);
        if (!WideIsFile(previous)) {
            SpanningOptions.AdvancedNaming = !SpanningOptions.AdvancedNaming;
            if (before == smSpanning || (!IsExeFileName(FileName) && ZAPath::IsRemovableDrive(FileName)))
                spanningMode_ = smSpanning;
            else
                spanningMode_ = smNone;
        }
    }
    if (spanningMode_ != smNone) {
        volumeSetOpened_ = true;
        lastVolume_ = thisDisk;
    }
}
