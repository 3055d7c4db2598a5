#include "zip/TZABaseArchiver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "platform/rtl/SafeFileWriter.h"
#include "platform/rtl/WriteFailure.h"
#include "zip/EZAException.h"
#include "zip/TZAItemEncoder.h"
#include "zip/TUniFileStream.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"
#include "zip/ZAPathHelpers.h"

namespace {

// An archive stream cut back to this size keeps a tail this small in memory
// during a commit; larger tails go to a temporary file.
constexpr int64_t kMemoryTailLimit = 4 << 20;
constexpr int64_t kCopyBlock = 1 << 20;

// A flush that fails means the archive may not be on the disk: that is a
// failed write, not a success.
void FlushOrFail(TUniFileStream& file, const std::u16string& fileName, const std::string& component)
{
    if (!file.Flush())
        throw EZAException(19, {fileName}, component);
}

void CopyRange(TStream& source, int64_t from, int64_t count, TStream& out)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kCopyBlock)));
    source.SetPosition(from);
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, int64_t(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        out.WriteBuffer(buffer.data(), n);
        count -= n;
    }
}

std::u16string FolderOf(const std::u16string& fileName)
{
    const size_t slash = fileName.find_last_of(u'/');
    if (slash == std::u16string::npos)
        return u".";
    return slash == 0 ? u"/" : fileName.substr(0, slash);
}

// The file a commit replaces: a link is written through, so it stays a
// link to the new content.
std::u16string SaveTarget(const std::u16string& fileName)
{
    const std::string target = ResolveSaveTarget(WideToFileSystem(fileName));
    return target.empty() ? fileName : FileSystemToWide(target);
}

// Permissions a replacement takes over: the old file's, or what a new file
// would get under the current umask.
void CopyPermissions(const std::u16string& from, const std::u16string& to)
{
    struct stat st {};
    mode_t mode;
    if (::stat(WideToFileSystem(from).c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(WideToFileSystem(to).c_str(), mode);
}

// Called inside a catch block: raises the exception being handled again,
// a stream's write failure as the archive's own write error.
[[noreturn]] void RethrowAsArchiveError(const std::string& component, TStream* stream, const std::u16string& fileName)
{
    try {
        throw;
    } catch (const EWriteError&) {
        throw ArchiveWriteError(stream, fileName, component);
    }
}

} // namespace

EZAException ArchiveWriteError(TStream* stream, const std::u16string& fileName, const std::string& component)
{
    int code = 0;
    if (const auto* file = dynamic_cast<const TUniFileStream*>(stream))
        code = file->LastWriteError();
    else if (const auto* safe = dynamic_cast<const TSafeFileStream*>(stream))
        code = safe->ErrorCode();
    if (code == 0)
        return EZAException(46, component);
    return EZAException::WithCause(46, WriteFailureText(WideToUTF8(fileName), code), component);
}

// ---------------------------------------------------------------- dates

int32_t DateTimeToDosDateTime(double dateTime)
{
    // Days since 1899-12-30 to Unix seconds, read as local time.
    const double seconds = (dateTime - 25569.0) * 86400.0;
    if (!(seconds > -1e12 && seconds < 1e12))
        return 0;
    const time_t t = static_cast<time_t>(seconds + (seconds >= 0 ? 0.5 : -0.5));
    struct tm utc {};
    if (!gmtime_r(&t, &utc))
        return 0;
    // The value is wall-clock time already, so its fields are taken as they are.
    const int year = utc.tm_year + 1900;
    if (year < 1980 || year > 2107)
        return 0;
    const uint16_t date = uint16_t(((year - 1980) << 9) | ((utc.tm_mon + 1) << 5) | utc.tm_mday);
    const uint16_t time = uint16_t((utc.tm_hour << 11) | (utc.tm_min << 5) | (utc.tm_sec / 2));
    return int32_t((uint32_t(date) << 16) | time);
}

double DosDateTimeToDateTime(int32_t dos)
{
    const uint32_t v = uint32_t(dos);
    struct tm tm {};
    tm.tm_year = int((v >> 25) & 0x7F) + 80;
    tm.tm_mon = int((v >> 21) & 0x0F) - 1;
    tm.tm_mday = int((v >> 16) & 0x1F);
    tm.tm_hour = int((v >> 11) & 0x1F);
    tm.tm_min = int((v >> 5) & 0x3F);
    tm.tm_sec = int(v & 0x1F) * 2;
    const time_t t = timegm(&tm);
    return double(t) / 86400.0 + 25569.0;
}

// ---------------------------------------------------------------- properties

TZABaseArchiver::TZABaseArchiver()
{
    SetCompressionLevel(clFastest);
    EncryptionMethod = caPkzipClassic;
    ExtractCorruptedFiles = false;
    tolerant_ = true;
    spanningMode_ = smNone;
    Zip64Mode = zmAuto;
    UnicodeFilenames = true;
}

TZABaseArchiver::~TZABaseArchiver()
{
    try {
        CloseArchive();
    } catch (...) {
        // The caller learns of a failed close only from CloseArchive itself;
        // here the created file is dropped rather than left half-written.
        try {
            ReleaseArchive(false);
        } catch (...) {
        }
    }
}

void TZABaseArchiver::AssignList(TUniStringList& target, const TUniStrings& source)
{
    target.Clear();
    for (int i = 0; i < source.Count(); ++i)
        target.Add(source.Get(i));
}

void TZABaseArchiver::SetCompressionLevel(TZACompressionLevel level)
{
    compressionLevel_ = level;
    compressionMode_ = ModeFromLevel(level);
    UpdateCompressionMethod();
}

void TZABaseArchiver::SetCompressionMode(uint8_t mode)
{
    if (mode > 9)
        throw EZAException(5, Name);
    compressionMode_ = mode;
    compressionLevel_ = LevelFromMode(mode);
    UpdateCompressionMethod();
}

void TZABaseArchiver::UpdateCompressionMethod() { compressionMethod_ = 0xFFFF; }

std::u16string TZABaseArchiver::GetCurrentVersion() const
{
    // Formatted by hand so that no locale puts a comma into the number.
    return u"Velmora Zip Archiver 5.00";
}

void TZABaseArchiver::SetPassword(const std::string& value) { password_ = value; }

void TZABaseArchiver::SetSpanningMode(TZASpanningMode mode)
{
    if (active_)
        throw Exception("Cannot set spanning mode on open archive");
    spanningMode_ = mode;
}

void TZABaseArchiver::SetInMemory(bool value)
{
    if (value == inMemory_)
        return;
    if (active_) {
        if (!value) {
            if (FileName.empty())
                throw EZAException(29, Name);
            CommitUpdate();
            if (stream_->GetSize() == 0)
                dir_->SaveCentralDirectory(stream_, true);
            // Written beside the target and renamed, so an old file survives
            // a failed write.
            const std::u16string temp = WideCreateTempFile(FolderOf(SaveTarget(FileName)), WideNameOf(SaveTarget(FileName)));
            if (temp.empty())
                throw EZAException(19, {FileName}, Name);
            try {
                TUniFileStream file(temp, kCreateMode);
                CopyRange(*stream_, 0, stream_->GetSize(), file);
                if (Options.FlushBuffers)
                    FlushOrFail(file, FileName, Name);
            } catch (...) {
                WideRemoveFile(temp);
                throw;
            }
            CopyPermissions(SaveTarget(FileName), temp);
            if (!WideReplaceFile(temp, SaveTarget(FileName))) {
                WideRemoveFile(temp);
                throw EZAException(19, {FileName}, Name);
            }
            CloseArchive();
            inMemory_ = false;
            OpenArchive();
        } else {
            CloseArchive();
            inMemory_ = true;
            OpenArchive();
        }
    }
    inMemory_ = value;
}

void TZABaseArchiver::SetActive(bool value)
{
    if (value == active_)
        return;
    if (value)
        OpenArchive();
    else
        CloseArchive();
}

int TZABaseArchiver::ItemCount() const { return dir_ ? dir_->Items.Count() : 0; }

const TDirItem& TZABaseArchiver::Item(int index) const
{
    CheckOpen();
    if (index < 0 || index >= dir_->Items.Count())
        throw EZAException(16, Name);
    return dir_->Items.ItemAt(index);
}

void TZABaseArchiver::CheckOpen() const
{
    if (!active_ || !dir_)
        throw EZAException(13, Name);
}

void TZABaseArchiver::CheckNoUpdate() const
{
    if (updateCount_ > 0)
        throw EZAException(26, Name);
}

void TZABaseArchiver::CheckSpannedModification() const
{
    if (updateCount_ <= 0 && dir_ && dir_->Items.Count() > 0 && spanningMode_ != smNone)
        throw EZAException(52, Name);
}

// ---------------------------------------------------------------- open / close

void TZABaseArchiver::OpenArchive()
{
    if (!inMemory_ && FileName.empty())
        throw EZAException(9, Name);
    uint16_t mode = 0xFFFF;
    if (!inMemory_ && WideIsFile(FileName)) {
        const int fd = WideOpenFile(FileName, 34);
        if (fd >= 0) {
            ::close(fd);
            mode = 34;
        } else {
            mode = 64;
        }
    }
    OpenArchive(mode);
}

std::unique_ptr<TStream> TZABaseArchiver::CreateArchiveStream(const std::u16string& fileName)
{
    return std::make_unique<TUniFileStream>(fileName, kCreateMode);
}

void TZABaseArchiver::OpenArchive(uint16_t mode)
{
    committedOnce_ = false;
    if (!inMemory_ && FileName.empty())
        throw EZAException(10, Name);
    if (mode < 0xFFFF && !inMemory_ && !WideIsFile(FileName) && spanningMode_ != smSpanning &&
        !ZAPath::IsRemovableDrive(FileName))
        throw EZAException(12, {FileName}, Name);
    if (mode < 0xFFFF && inMemory_)
        throw EZAException(28, {FileName}, Name);
    CloseArchive();

    externalStream_ = false;
    openMode_ = mode;
    createFailed_ = false;
    replaceOnCommit_ = false;
    commentDirty_ = false;
    try {
        if (mode < 0xFFFF && !inMemory_) {
            spanningMode_ = smNone;
            volumeInfo_.Clear();
            OpenExistingVolume();
            dir_ = std::make_unique<TZADirManager>(stream_, this, false);
            // The end record is looked for strictly first; only a missing one
            // lets the directory be rebuilt from the local headers.
            const bool tolerant = tolerant_;
            tolerant_ = false;
            int64_t position = -1;
            TEndOfCentralDir record;
            bool found = dir_->FindEndOfCentralDir(
                standardSignatures_ ? kEndRecordSignature : kEndRecordSignatureAlt, position, record);
            // A self-extractor without an end record is the first volume of
            // a split set whose last volume lies beside it.
            if (!found && IsExeFileName(FileName)) {
                spanningMode_ = smSplitting;
                std::u16string last = FileName;
                GetVolumeFileName(last, -1, true);
                if (last != FileName && WideIsFile(last)) {
                    dir_.reset();
                    try {
                        ownedStream_ = std::make_unique<TUniFileStream>(last, mode);
                    } catch (const Exception&) {
                        tolerant_ = tolerant;
                        throw EZAException(33, {last}, Name);
                    }
                    stream_ = ownedStream_.get();
                    dir_ = std::make_unique<TZADirManager>(stream_, this, false);
                    found = dir_->FindEndOfCentralDir(
                        standardSignatures_ ? kEndRecordSignature : kEndRecordSignatureAlt, position, record);
                }
                if (!found)
                    spanningMode_ = smNone;
            }
            tolerant_ = tolerant;
            if (!found && !tolerant_)
                throw EZAException(48, Name);
            // An end record that is not on the first disk closes a set.
            if (found && record.ThisDisk != 0)
                DetectSpanningMode(int32_t(record.ThisDisk));
            dir_->LoadCentralDirectory();
            replaceOnCommit_ = !volumeSetOpened_;
        } else {
            if (inMemory_) {
                ownedStream_ = std::make_unique<TMemoryStream>();
            } else if (spanningMode_ != smNone) {
                CreateVolumeSet();
            } else {
                createdTempName_ = WideCreateTempFile(FolderOf(SaveTarget(FileName)), WideNameOf(SaveTarget(FileName)));
                if (createdTempName_.empty())
                    throw EZAException(19, {FileName}, Name);
                ownedStream_ = CreateArchiveStream(createdTempName_);
            }
            stream_ = ownedStream_.get();
            dir_ = std::make_unique<TZADirManager>(stream_, this, true);
        }
    } catch (...) {
        ReleaseArchive(false);
        throw;
    }
    active_ = true;
    if (AfterOpen)
        AfterOpen(this);
}

void TZABaseArchiver::OpenArchive(TStream& stream, bool create)
{
    if (spanningMode_ != smNone)
        throw EZAException(51, Name);
    CloseArchive();
    committedOnce_ = false;
    openMode_ = create ? 0xFFFF : 2;
    createFailed_ = false;
    replaceOnCommit_ = false;
    commentDirty_ = false;
    externalStream_ = true;
    stream_ = &stream;
    try {
        dir_ = std::make_unique<TZADirManager>(stream_, this, create);
        if (create) {
            stream_->SetSize(0);
        } else {
            const bool tolerant = tolerant_;
            tolerant_ = false;
            int64_t position = -1;
            TEndOfCentralDir record;
            const bool found = dir_->FindEndOfCentralDir(
                standardSignatures_ ? kEndRecordSignature : kEndRecordSignatureAlt, position, record);
            tolerant_ = tolerant;
            if (!found && !tolerant_)
                throw EZAException(48, Name);
            dir_->LoadCentralDirectory();
        }
    } catch (...) {
        ReleaseArchive(false);
        throw;
    }
    active_ = true;
    if (AfterOpen)
        AfterOpen(this);
}

void TZABaseArchiver::ReleaseArchive(bool keepCreatedFile)
{
    active_ = false;
    dir_.reset();
    ownedStream_.reset();
    stream_ = nullptr;
    externalStream_ = false;
    updateCount_ = 0;
    ReleaseVolumes();
    if (!createdTempName_.empty()) {
        const std::u16string temp = createdTempName_;
        createdTempName_.clear();
        if (keepCreatedFile) {
            CopyPermissions(SaveTarget(FileName), temp);
            if (!WideReplaceFile(temp, SaveTarget(FileName))) {
                WideRemoveFile(temp);
                throw EZAException(19, {FileName}, Name);
            }
        } else {
            WideRemoveFile(temp);
        }
    }
}

void TZABaseArchiver::CloseArchive()
{
    if (!active_) {
        ReleaseArchive(false);
        return;
    }
    bool whole = !createFailed_;
    try {
        CommitUpdate();
        if (WritingVolumes() && !createFailed_)
            FinishVolumeSet(stream_->GetSize());
        else if (stream_ && stream_->GetSize() == 0 && spanningMode_ == smNone)
            dir_->SaveCentralDirectory(stream_, true);
        if (Options.FlushBuffers)
            if (auto* file = dynamic_cast<TUniFileStream*>(stream_))
                FlushOrFail(*file, FileName, Name);
    } catch (...) {
        whole = false;
        ReleaseArchive(false);
        throw;
    }
    ReleaseArchive(whole);
    if (!whole)
        throw EZAException(19, {FileName}, Name);
}

std::string TZABaseArchiver::GetComment() const { return active_ && dir_ ? dir_->Comment : std::string(); }

void TZABaseArchiver::SetComment(const std::string& comment)
{
    CheckOpen();
    CheckSpannedModification();
    if (comment.size() > 0xFFFF)
        throw EZAException(kZAWriteError, Name);
    if (updateCount_ > 0 || spanningMode_ != smNone) {
        dir_->Comment = comment;
        commentDirty_ = true;
        return;
    }
    // Written at once, through a transaction of its own, so a failure
    // leaves the archive as it was.
    BeginUpdate();
    dir_->Comment = comment;
    commentDirty_ = true;
    EndUpdate();
}

// ---------------------------------------------------------------- transactions

void TZABaseArchiver::BeginUpdate()
{
    if (spanningMode_ != smNone && committedOnce_)
        throw EZAException(62, Name);
    // A set read from disk is never rewritten: its volumes may be spread
    // over disks that are no longer at hand.
    if (volumeSetOpened_ && active_)
        throw EZAException(52, Name);
    if (updateCount_ == 0) {
        expandedBaseDirKnown_ = false;
        if (!active_)
            OpenArchive();
        if ((openMode_ & 3) == 0 && openMode_ != 0xFFFF && !externalStream_)
            throw EZAException(32, Name);
        for (int i = 0; i < dir_->Items.Count(); ++i)
            dir_->Items.ItemAt(i).ProcessFlag = 0;
        snapshot_.Assign(dir_->Items);
        snapshotComment_ = dir_->Comment;
        commentDirty_ = false;
    }
    ++updateCount_;
}

void TZABaseArchiver::EndUpdate()
{
    if (updateCount_ <= 0)
        return;
    if (updateCount_ == 1) {
        committedOnce_ = true;
        CommitUpdate();
        if (spanningMode_ != smNone && openMode_ == 0xFFFF)
            openMode_ = 34;
    } else {
        --updateCount_;
    }
}

void TZABaseArchiver::ResetUpdate()
{
    if (updateCount_ > 0) {
        updateCount_ = 0;
        RestoreSnapshot();
    }
}

void TZABaseArchiver::RestoreSnapshot()
{
    if (dir_) {
        dir_->Items.Assign(snapshot_);
        dir_->Comment = snapshotComment_;
    }
    commentDirty_ = false;
}

std::u16string TZABaseArchiver::GetTempFileName(const std::u16string& nearFile)
{
    std::u16string folder = TempDir;
    if (folder.empty())
        folder = nearFile.empty() ? FileSystemToWide(std::string(P_tmpdir)) : FolderOf(nearFile);
    // Named for the file it stands in for; a work file of an archive that
    // has no file of its own is named for an archive as such.
    const std::u16string name = WideCreateTempFile(folder, nearFile.empty() ? u"archive" : WideNameOf(nearFile));
    if (name.empty())
        throw EZAException(19, {folder}, Name);
    return name;
}

int TZABaseArchiver::SnapshotIndexOf(int index) const
{
    // Items keep their index through a transaction (a replacement is made in
    // place, new items are appended), which also tells apart names that the
    // case-blind name index cannot.
    const std::u16string& name = dir_->Items.ItemAt(index).FileName;
    if (index < snapshot_.Count() && WideLowerCase(snapshot_.ItemAt(index).FileName) == WideLowerCase(name))
        return index;
    int found = -1;
    return snapshot_.FindItemName(name, found) ? found : -1;
}

void TZABaseArchiver::CopyItemData(int index, TStream& source, int64_t sourceBase, TStream& out)
{
    TDirItem& item = dir_->Items.ItemAt(index);
    const int found = SnapshotIndexOf(index);
    if (found < 0)
        throw EZAException(7, Name);
    const TDirItem& old = snapshot_.ItemAt(found);
    // An item reaches up to the next local header in file order (or the
    // directory), so data descriptors and anything else behind its data
    // travel with it.
    const uint64_t start = old.FullLocalHeaderOffset();
    uint64_t end = uint64_t(dir_->CentralDirStart);
    for (int i = 0; i < snapshot_.Count(); ++i) {
        const uint64_t o = snapshot_.ItemAt(i).FullLocalHeaderOffset();
        if (o > start && o < end)
            end = o;
    }
    if (end < start)
        throw EZAException(kZADamagedArchive, Name);
    const uint64_t position = uint64_t(out.GetPosition());
    CopyRange(source, int64_t(start) - sourceBase, int64_t(end - start), out);
    if (position >= 0xFFFFFFFFu || Zip64Mode == zmAlways) {
        item.LocalHeaderOffset = kSaturated32;
        item.LocalHeaderOffset64 = position;
        item.VersionNeeded = std::max<uint16_t>(item.VersionNeeded & 0xFF, 45) | (item.VersionNeeded & 0xFF00);
    } else {
        item.LocalHeaderOffset = uint32_t(position);
        item.LocalHeaderOffset64 = 0;
    }
}

void TZABaseArchiver::CommitUpdate()
{
    if (updateCount_ < 1)
        return;
    updateCount_ = 0;
    processedItems_ = itemsToProcess_ = 0;
    totalBytes_ = processedBytes_ = 0;
    cancel_ = false;
    fileProgress_ = true;

    TZADirArray& work = dir_->Items;
    int firstToProcess = -1;
    for (int i = 0; i < work.Count(); ++i) {
        const TDirItem& item = work.ItemAt(i);
        if (!item.ProcessFlag)
            continue;
        totalBytes_ += item.FullUncompressedSize();
        ++itemsToProcess_;
        if (firstToProcess < 0)
            firstToProcess = i;
    }
    int n = 0;
    const int common = std::min(work.Count(), snapshot_.Count());
    while (n < common && work.ItemAt(n).FileName == snapshot_.ItemAt(n).FileName && !work.ItemAt(n).ProcessFlag)
        ++n;
    if (itemsToProcess_ == 0 && n == work.Count() && n == snapshot_.Count() && !commentDirty_ &&
        stream_->GetSize() > 0)
        return;  // nothing changed: the archive keeps every byte

    bool cancel = false;
    try {
        DoOverallProgress(0, firstToProcess >= 0 ? work.ItemAt(firstToProcess).Operation : poAdd, ppStart, cancel);
    } catch (...) {
        // A handler that throws ends the transaction like a cancel, with its
        // own exception: the items registered must not stay unwritten.
        RestoreSnapshot();
        throw;
    }
    if (cancel) {
        RestoreSnapshot();
        throw EZAException(45, Name);
    }

    // The cut follows file order: it lies at the first local header of an
    // old item that does not stay where it is.
    int64_t writePosition;
    if (snapshot_.Count() == 0)
        writePosition = stream_->GetSize() == 0 ? dir_->FirstLocalHeaderPos
                                                : std::min<int64_t>(dir_->CentralDirStart, stream_->GetSize());
    else
        writePosition = std::min<int64_t>(dir_->CentralDirStart, stream_->GetSize());
    for (int i = 0; i < snapshot_.Count(); ++i) {
        const TDirItem& old = snapshot_.ItemAt(i);
        const bool kept = i < n;
        if (!kept)
            writePosition = std::min<int64_t>(writePosition, int64_t(old.FullLocalHeaderOffset()));
    }
    if (stream_->GetSize() == 0)
        writePosition = dir_->FirstLocalHeaderPos;

    TStream* out = stream_;
    std::unique_ptr<TStream> replacement;
    std::u16string replacementName;
    std::unique_ptr<TStream> tail;
    std::u16string tailName;
    TStream* source = stream_;
    int64_t sourceBase = 0;
    bool cut = false;

    auto dropTemps = [&]() {
        tail.reset();
        if (!tailName.empty())
            WideRemoveFile(tailName);
        replacement.reset();
        if (!replacementName.empty())
            WideRemoveFile(replacementName);
    };

    try {
        if (replaceOnCommit_) {
            // An existing file is rewritten into a new file beside it, which
            // replaces it only once it is complete.
            const std::u16string target = SaveTarget(FileName);
            replacementName = GetTempFileName(target);
            if (!TempDir.empty() && FolderOf(replacementName) != FolderOf(target)) {
                WideRemoveFile(replacementName);
                replacementName = WideCreateTempFile(FolderOf(target), WideNameOf(target));
                if (replacementName.empty())
                    throw EZAException(19, {FileName}, Name);
            }
            replacement = std::make_unique<TUniFileStream>(replacementName, kCreateMode);
            CopyRange(*stream_, 0, writePosition, *replacement);
            out = replacement.get();
        } else {
            const int64_t tailSize = stream_->GetSize() - writePosition;
            if (tailSize > kMemoryTailLimit) {
                tailName = GetTempFileName(externalStream_ || inMemory_ ? std::u16string() : FileName);
                tail = std::make_unique<TUniFileStream>(tailName, kCreateMode);
            } else {
                tail = std::make_unique<TMemoryStream>();
            }
            if (tailSize > 0)
                CopyRange(*stream_, writePosition, tailSize, *tail);
            source = tail.get();
            sourceBase = writePosition;
            cut = true;
            stream_->SetSize(writePosition);
            stream_->SetPosition(writePosition);
        }
    } catch (...) {
        // Until the stream is cut nothing of the archive has changed.
        if (cut)
            createFailed_ = createFailed_ || !createdTempName_.empty();
        dropTemps();
        RestoreSnapshot();
        throw;
    }

    auto restore = [&]() {
        RestoreSnapshot();
        if (!replaceOnCommit_) {
            stream_->SetSize(writePosition);
            stream_->SetPosition(writePosition);
            if (tail && tail->GetSize() > 0)
                CopyRange(*tail, 0, tail->GetSize(), *stream_);
            dropTemps();
        } else {
            // The manager may already point at the new file: it starts
            // afresh over the untouched old one.
            dropTemps();
            dir_ = std::make_unique<TZADirManager>(stream_, this, false);
            dir_->LoadCentralDirectory();
        }
    };

    // A failed transaction leaves the archive as it was, so a created
    // archive stays good for the items that went in before; only a
    // rollback that fails itself leaves nothing worth keeping.
    auto rollback = [&]() {
        try {
            restore();
        } catch (...) {
            createFailed_ = createFailed_ || !createdTempName_.empty();
            throw;
        }
    };

    // New and changed items are encoded ahead on workers; this thread still
    // writes them, and fires their events, one by one in item order.
    std::unique_ptr<TZAEncodeAhead> ahead;
    if (WorkerCount > 1 && spanningMode_ == smNone) {
        std::vector<TZAEncodeAhead::Planned> plan;
        std::set<const TStream*> sources;
        for (int j = 0; j < work.Count(); ++j) {
            const TDirItem& item = work.ItemAt(j);
            if (j < n && int64_t(snapshot_.ItemAt(j).FullLocalHeaderOffset()) < writePosition)
                continue;
            if (!item.ProcessFlag || item.Operation == poRename || item.Operation == poChangeAttr ||
                item.Operation == poChangeComment || (!item.FileName.empty() && item.FileName.back() == u'/'))
                continue;
            // An AES item's key derivation is work enough at any size.
            const bool aes = !item.Password.empty() && item.EncryptionKind != ekPkzipClassic;
            if (item.FullUncompressedSize() < kSmallestItemAhead && !aes)
                continue;
            // Items that share one source stream are read by the store in turn.
            if (item.DataStream && !sources.insert(item.DataStream.get()).second)
                continue;
            plan.push_back({j, item.FileName, item.FullUncompressedSize()});
        }
        if (plan.size() >= 2)
            ahead = std::make_unique<TZAEncodeAhead>(
                std::move(plan), WorkerCount,
                [this](int index, const std::shared_ptr<TEncodedItem>& result,
                       const std::shared_ptr<std::atomic<bool>>& stop) { return MakeEncodeJob(index, result, stop); });
    }

    bool aborted = false;
    std::exception_ptr failure;
    try {
        for (int j = 0; j < work.Count() && !cancel_ && !aborted; ++j) {
            TDirItem& item = work.ItemAt(j);
            if (j < n && int64_t(snapshot_.ItemAt(j).FullLocalHeaderOffset()) < writePosition)
                continue;  // stays in place
            const bool copy = !item.ProcessFlag || item.Operation == poRename || item.Operation == poChangeAttr ||
                              item.Operation == poChangeComment;
            if (copy) {
                CopyItemData(j, *source, sourceBase, *out);
                continue;
            }
            const int64_t itemStart = out->GetPosition();
            bool stored = false;
            TZAAction action = fxaIgnore;
            // A retry encodes the item afresh on this thread.
            std::shared_ptr<TEncodedItem> prepared = ahead ? ahead->Next(item.FileName) : nullptr;
            bool retry = false;
            do {
                action = fxaIgnore;
                // The stream ends where the item starts; only a retry has
                // something to cut away.
                if (retry) {
                    out->SetSize(itemStart);
                    out->SetPosition(itemStart);
                }
                retry = true;
                try {
                    const std::shared_ptr<TEncodedItem> use = std::move(prepared);
                    stored = StoreItem(j, *out, use.get());
                    if (!stored) {
                        action = fxaAbort;
                        failure = nullptr;
                    }
                } catch (const EZAException& e) {
                    failure = std::current_exception();
                    DoProcessFileFailure(item.FileName, item.Operation, action, UTF8ToWide(e.Message()),
                                         e.ErrorCode, e.NativeError);
                } catch (const EWriteError&) {
                    const EZAException e = ArchiveWriteError(out, FileName, Name);
                    failure = std::make_exception_ptr(e);
                    DoProcessFileFailure(item.FileName, item.Operation, action, UTF8ToWide(e.Message()),
                                         e.ErrorCode, e.NativeError);
                } catch (const Exception& e) {
                    failure = std::current_exception();
                    DoProcessFileFailure(item.FileName, item.Operation, action, UTF8ToWide(e.Message()), 0, 0);
                }
            } while (!stored && action == fxaRetry && !cancel_);
            if (stored) {
                failure = nullptr;
                ++processedItems_;
                continue;
            }
            if (action == fxaAbort || cancel_) {
                aborted = true;
                break;
            }
            // Ignored: an old item keeps its old content, a new one is dropped.
            out->SetSize(itemStart);
            out->SetPosition(itemStart);
            const int old = item.Operation == poUpdate ? SnapshotIndexOf(j) : -1;
            if (old >= 0) {
                work.SetItem(j, snapshot_.ItemAt(old));
                CopyItemData(j, *source, sourceBase, *out);
            } else {
                work.Delete(j);
                --j;
            }
            failure = nullptr;
        }
        if (!cancel_ && !aborted) {
            const int64_t end = out->GetPosition();
            out->SetSize(end);
            if (WritingVolumes())
                FinishVolumeSet(end);
            else
                dir_->SaveCentralDirectory(out, true);
        }
    } catch (...) {
        rollback();
        RethrowAsArchiveError(Name, out, FileName);
    }

    if (cancel_ || aborted) {
        rollback();
        if (failure)
            std::rethrow_exception(failure);
        throw EZAException(45, Name);
    }

    if (replacement) {
        if (Options.FlushBuffers)
            FlushOrFail(*static_cast<TUniFileStream*>(replacement.get()), FileName, Name);
        CopyPermissions(SaveTarget(FileName), replacementName);
        // The old stream is let go before the rename so that its lock ends;
        // the manager already works on the new stream.
        ownedStream_.reset();
        stream_ = nullptr;
        if (!WideReplaceFile(replacementName, SaveTarget(FileName))) {
            const std::u16string failed = replacementName;
            replacementName.clear();
            // The old file is still there: reopen it and forget the change.
            WideRemoveFile(failed);
            replacement.reset();
            ownedStream_ = std::make_unique<TUniFileStream>(FileName, openMode_);
            stream_ = ownedStream_.get();
            dir_ = std::make_unique<TZADirManager>(stream_, this, false);
            dir_->LoadCentralDirectory();
            throw EZAException(19, {FileName}, Name);
        }
        replacementName.clear();
        ownedStream_ = std::move(replacement);
        stream_ = ownedStream_.get();
    }
    dropTemps();
    commentDirty_ = false;
    for (int i = 0; i < work.Count(); ++i) {
        work.ItemAt(i).ProcessFlag = 0;
        work.ItemAt(i).DataStream.reset();
    }
    bool ignored = false;
    DoOverallProgress(100, poAdd, ppEnd, ignored);
    if (Options.FlushBuffers)
        if (auto* file = dynamic_cast<TUniFileStream*>(stream_))
            FlushOrFail(*file, FileName, Name);
}
