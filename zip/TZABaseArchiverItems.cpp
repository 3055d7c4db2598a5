// Adding, storing, searching and extracting items, and the event dispatchers.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "zip/EZAException.h"
#include "zip/TZAItemDecoder.h"
#include "zip/TZAItemEncoder.h"
#include "zip/TZAVolumeReader.h"
#include "zip/TUniFileStream.h"
#include "zip/TZABaseArchiver.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"
#include "zip/ZAPathHelpers.h"

namespace {


std::u16string Replaced(std::u16string s, char16_t from, char16_t to)
{
    std::replace(s.begin(), s.end(), from, to);
    return s;
}

int32_t NowAsDos() { return TimeToDosDateTime(int64_t(std::time(nullptr))); }

// Where a stored name would land below the target folder; empty when it
// would leave it (parent steps, absolute paths, drive or server prefixes).
std::u16string SafeRelativeName(const std::u16string& stored)
{
    const std::u16string name = Replaced(stored, u'\\', u'/');
    if (name.empty() || name[0] == u'/')
        return {};
    std::u16string result;
    size_t start = 0;
    bool first = true;
    while (start <= name.size()) {
        size_t end = name.find(u'/', start);
        if (end == std::u16string::npos)
            end = name.size();
        const std::u16string part = name.substr(start, end - start);
        if (part == u"..")
            return {};
        if (first && part.find(u':') != std::u16string::npos)
            return {};
        if (!part.empty() && part != u".") {
            if (!result.empty())
                result += u'/';
            result += part;
        }
        first = false;
        start = end + 1;
    }
    return result;
}

// Creates a folder and every missing folder above it. Walks down the path
// instead of recursing: a name can hold tens of thousands of levels, and the
// first folder the system refuses ends the walk.
bool WideForceDirectories(const std::u16string& path)
{
    if (path.empty() || WideIsDirectory(path))
        return true;
    for (size_t end = path.find(u'/', 1);; end = path.find(u'/', end + 1)) {
        const bool last = end == std::u16string::npos;
        const std::u16string folder = path.substr(0, last ? path.size() : end);
        if (!WideCreateDir(folder) && !WideIsDirectory(folder))
            return false;
        if (last)
            return true;
    }
}

// The most an item's data can take once stored: deflate's own bound for
// incompressible input plus the empty block of every sync flush, and the
// cipher's header and trailer.
uint64_t MaxStoredSize(uint64_t size, uint16_t method, size_t cipherOverhead)
{
    uint64_t bound = size;
    if (method == 8)
        bound += (size >> 12) + (size >> 14) + (size >> 25) + 13 + (size / uint64_t(kReadPiece) + 1) * 16;
    return bound + cipherOverhead;
}

unsigned ShareFlags(TZAFileShareMode mode)
{
    static const unsigned flags[] = {0x00, 0x10, 0x20, 0x30, 0x40};
    return flags[mode <= smShareDenyNone ? mode : smShareDenyNone];
}

} // namespace

// ---------------------------------------------------------------- events

void TZABaseArchiver::DoOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase,
                                        bool& cancel)
{
    if (OnOverallProgress)
        OnOverallProgress(this, progress, operation, phase, cancel);
    else
        cancel = false;
}

void TZABaseArchiver::DoFileProgress(const std::u16string& fileName, double progress, TZAProcessOperation operation,
                                     TZAProgressPhase phase, bool& cancel)
{
    if (OnFileProgress)
        OnFileProgress(this, Replaced(fileName, u'/', u'\\'), progress, operation, phase, cancel);
    else
        cancel = false;
}

void TZABaseArchiver::DoCopyTempFileProgress(double progress, TZAProgressPhase phase, bool& cancel)
{
    cancel = false;
    if (OnCopyTempFileProgress)
        OnCopyTempFileProgress(this, progress, phase, cancel);
}

// The defaults below answer without asking anyone: a library call must not
// block on a dialog, and whatever cannot be confirmed is not done.
void TZABaseArchiver::DoConfirmOverwrite(const std::u16string& sourceFileName, std::u16string& destFileName,
                                         bool& confirm)
{
    confirm = false;
    if (OnConfirmOverwrite)
        OnConfirmOverwrite(this, sourceFileName, destFileName, confirm);
}

void TZABaseArchiver::DoConfirmProcessFile(const std::u16string& fileName, TZAProcessOperation operation,
                                           bool& confirm)
{
    confirm = true;
    if (OnConfirmProcessFile)
        OnConfirmProcessFile(this, fileName, operation, confirm);
}

void TZABaseArchiver::DoPassword(const std::u16string& fileName, std::string& newPassword, bool& skipFile)
{
    if (OnPassword) {
        OnPassword(this, fileName, newPassword, skipFile);
        return;
    }
    skipFile = true;
    defaultPasswordAnswer_ = true;
}

void TZABaseArchiver::DoProcessFileFailure(const std::u16string& fileName, TZAProcessOperation operation,
                                           TZAAction& action, const std::u16string& errorMessage,
                                           int32_t errorCode, int32_t nativeError)
{
    action = fxaIgnore;
    if (OnProcessFileFailure) {
        OnProcessFileFailure(this, fileName, operation, nativeError, errorCode, errorMessage, action);
        return;
    }
    action = fxaAbort;
}

void TZABaseArchiver::DoRequestBlankVolume(int32_t volumeNumber, std::u16string& volumeFileName, bool& cancel)
{
    if (volumeNumber < 0)
        volumeNumber = 0;
    cancel = false;
    if (OnRequestBlankVolume)
        OnRequestBlankVolume(this, volumeNumber + 1, volumeFileName, cancel);
    else if (spanningMode_ == smSpanning)
        cancel = true;
}

void TZABaseArchiver::DoRequestFirstVolume(std::u16string& volumeFileName, bool& cancel)
{
    cancel = false;
    if (OnRequestFirstVolume)
        OnRequestFirstVolume(this, volumeFileName, cancel);
    else
        cancel = !WideIsFile(volumeFileName) && openMode_ != 0xFFFF;
}

void TZABaseArchiver::DoRequestLastVolume(std::u16string& volumeFileName, bool& cancel)
{
    cancel = false;
    if (OnRequestLastVolume)
        OnRequestLastVolume(this, volumeFileName, cancel);
    else
        cancel = !WideIsFile(volumeFileName);
}

void TZABaseArchiver::DoRequestMiddleVolume(int32_t volumeNumber, std::u16string& volumeFileName, bool& cancel)
{
    cancel = false;
    if (OnRequestMiddleVolume)
        OnRequestMiddleVolume(this, volumeNumber + 1, volumeFileName, cancel);
    else
        cancel = !WideIsFile(volumeFileName);
}

void TZABaseArchiver::DoDiskFull(int32_t volumeNumber, const std::u16string& volumeFileName, bool& cancel)
{
    cancel = false;
    if (OnDiskFull)
        OnDiskFull(this, volumeNumber + 1, volumeFileName, cancel);
    else
        cancel = true;
}

void TZABaseArchiver::DoStoreFile(std::u16string& fileName, uint32_t& fileAttr, std::string& comment,
                                  const std::u16string& originalFileName)
{
    if (!OnStoreFile)
        return;
    std::u16string name = Replaced(fileName, u'/', u'\\');
    OnStoreFile(this, name, fileAttr, comment, originalFileName);
    fileName = Replaced(name, u'\\', u'/');
}

void TZABaseArchiver::DoExtractFile(std::u16string& fileName, uint32_t& fileAttr, const std::string& comment)
{
    fileName = Replaced(fileName, u'/', u'\\');
    if (OnExtractFile)
        OnExtractFile(this, fileName, fileAttr, comment);
}

bool TZABaseArchiver::WriteWithDiskFullRetry(TStream& stream, const void* buffer, int64_t count)
{
    const int64_t position = stream.GetPosition();
    for (;;) {
        if (stream.Write(buffer, count) == count)
            return true;
        bool cancel = false;
        DoDiskFull(-1, FileName, cancel);
        if (cancel) {
            // Data that did not reach the disk is a failed write, not an
            // abort the user asked for.
            cancel_ = true;
            throw ArchiveWriteError(&stream, FileName, Name);
        }
        stream.SetPosition(position);
    }
}

// ---------------------------------------------------------------- ciphers

std::unique_ptr<TZAItemCipher> TZABaseArchiver::CreateItemCipher(const TDirItem& item, const std::string& password)
{
    if (item.EncryptionKind != ekPkzipClassic)
        throw EZAException(8, Name);  // AES items need the AES item transform
    return std::make_unique<TZAPkzipCipher>(password, item.Flags, item.Time, item.Crc32);
}

void TZABaseArchiver::AddCipherExtraFields(TDirItem&, std::vector<TZAExtraField>&, uint16_t&) {}

// ---------------------------------------------------------------- registration

void TZABaseArchiver::InitNewItem(int index, const std::u16string& storedName, int32_t dosDateTime, uint32_t attr,
                                  bool isFolder)
{
    TDirItem& old = dir_->Items.ItemAt(index);
    TDirItem item;
    item.Operation = old.Operation;
    item.Signature = standardSignatures_ ? kCentralHeaderSignature : kCentralHeaderSignatureAlt;
    item.VersionMadeBy = Options.OEMFileNames ? 0x0014 : 0x0B14;
    item.VersionNeeded = standardSignatures_ ? item.VersionMadeBy : kVersionAlternate;
    item.Flags = password_.empty() ? 0 : kFlagEncrypted;
    item.Method = compressionMethod_ == 8 ? 8 : 0;
    item.ActualMethod = item.Method;
    item.Time = uint16_t(uint32_t(dosDateTime) & 0xFFFF);
    item.Date = uint16_t(uint32_t(dosDateTime) >> 16);
    item.Crc32 = 0xFFFFFFFF;
    item.FileName = storedName;
    item.ExternalAttributes = attr;
    item.Password = password_;
    item.EncryptionKind = EncryptionMethod == caAES_128   ? ekAes128
                          : EncryptionMethod == caAES_192 ? ekAes192
                          : EncryptionMethod == caAES_256 ? ekAes256
                                                          : ekPkzipClassic;
    item.CompressionLevel = compressionMode_;
    item.ProcessFlag = 1;
    if (isFolder) {
        item.Method = item.ActualMethod = 0;
        item.Crc32 = 0;
        item.Flags = 2;
        item.Password.clear();
        item.CompressionLevel = 0;
        item.EncryptionKind = ekPkzipClassic;
    }
    dir_->Items.SetItem(index, item);
}

const std::u16string& TZABaseArchiver::ExpandedBaseDir()
{
    // Whether the base is a folder is looked up once for all the files a
    // transaction adds, not once for each.
    if (!expandedBaseDirKnown_ || expandedBaseDirOf_ != BaseDir) {
        expandedBaseDir_ = ZAPath::ExpandPath(BaseDir, std::u16string(), std::u16string());
        expandedBaseDirOf_ = BaseDir;
        expandedBaseDirKnown_ = true;
    }
    return expandedBaseDir_;
}

int TZABaseArchiver::PrepareItemForAdd(const std::u16string& source, double dateTime, uint32_t attr, bool isFile,
                                       bool isFolder, const TWideFileInfo* info)
{
    std::u16string name;
    uint32_t attributes = attr;
    int32_t dos;
    if (isFile) {
        name = info ? ZAPath::StoredNameOfExpanded(source, ExpandedBaseDir(), Options.StorePath, std::u16string())
                    : ZAPath::StoredName(source, BaseDir, Options.StorePath, std::u16string());
        if (isFolder && (name.empty() || name.back() != u'/'))
            name += u'/';
        attributes = info ? info->Attributes : WideGetAttributes(source);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            attributes = faArchive;
        dos = info ? info->Age : WideGetFileAge(source);
        if (dos == -1)
            dos = NowAsDos();
    } else {
        name = Replaced(source, u'\\', u'/');
        // A zero time means "now"; a DOS date of 0 would be no date at all.
        dos = dateTime == 0 ? NowAsDos() : DateTimeToDosDateTime(dateTime);
    }
    std::string comment;
    DoStoreFile(name, attributes, comment, source);
    if (name.empty())
        throw EZAException(9, Name);

    int index = -1;
    if (dir_->Items.FindItemName(name, index)) {
        const TDirItem& existing = dir_->Items.ItemAt(index);
        const uint32_t oldDos = (uint32_t(existing.Date) << 16) | existing.Time;
        bool replace = false;
        switch (Options.OverwriteMode) {
        case omAlways: replace = true; break;
        case omNever: replace = false; break;
        case omIfNewer: replace = uint32_t(dos) > oldDos; break;
        case omIfOlder: replace = uint32_t(dos) < oldDos; break;
        case omPrompt: {
            std::u16string dest = name;
            DoConfirmOverwrite(source, dest, replace);
            int other = -1;
            if (replace && dest != name && !dest.empty() && !dir_->Items.FindName(dest, other)) {
                name = Replaced(dest, u'\\', u'/');
                index = dir_->Items.Count();
                dir_->Items.SetCount(index + 1);
                dir_->Items.ItemAt(index).Operation = poAdd;
                InitNewItem(index, name, dos, attributes, isFolder);
                dir_->Items.ItemAt(index).Comment = comment;
                dir_->Items.ItemAt(index).SrcFileName = isFile ? source : std::u16string();
                return index;
            }
            break;
        }
        }
        if (!replace)
            return -1;
        dir_->Items.ItemAt(index).Operation = poUpdate;
    } else {
        index = dir_->Items.Count();
        dir_->Items.SetCount(index + 1);
        dir_->Items.ItemAt(index).Operation = poAdd;
    }
    InitNewItem(index, name, dos, attributes, isFolder);
    TDirItem& item = dir_->Items.ItemAt(index);
    item.Comment = comment;
    item.CommentLength = uint16_t(std::min<size_t>(comment.size(), 0xFFFF));
    item.SrcFileName = isFile ? source : std::u16string();
    return index;
}

// One add is one update transaction: a failure rolls the directory back
// and is raised again after the transaction ended.
void TZABaseArchiver::AddInOwnUpdate(const std::function<void()>& add)
{
    CheckOpen();
    CheckSpannedModification();
    fileProgress_ = false;
    BeginUpdate();
    std::exception_ptr failure;
    try {
        add();
    } catch (...) {
        failure = std::current_exception();
        ResetUpdate();
    }
    EndUpdate();
    if (failure)
        std::rethrow_exception(failure);
}

// Sizes that do not fit 32 bits, or every size in ZIP64 mode "always", go
// into the ZIP64 field behind a saturated header value.
void TZABaseArchiver::RecordSourceSize(TDirItem& item, uint64_t size) const
{
    if (size >= 0xFFFFFFFFu || Zip64Mode == zmAlways) {
        item.UncompressedSize = kSaturated32;
        item.UncompressedSize64 = size;
    } else {
        item.UncompressedSize = uint32_t(size);
    }
}

void TZABaseArchiver::AddFromStream(const std::u16string& fileName, TStream& stream, bool copyToBuffer,
                                    int64_t position, int64_t count, uint32_t attr, double dateTime)
{
    AddInOwnUpdate([&] {
        const bool folder = !fileName.empty() && (fileName.back() == u'/' || fileName.back() == u'\\');
        const int index = PrepareItemForAdd(fileName, dateTime, attr, false, folder);
        if (index >= 0) {
            TDirItem& item = dir_->Items.ItemAt(index);
            item.ExternalAttributes = attr;
            if (copyToBuffer) {
                auto buffer = std::make_shared<TMemoryStream>();
                const int64_t saved = stream.GetPosition();
                try {
                    if (count == 0) {
                        stream.SetPosition(0);
                        count = stream.GetSize();
                    } else {
                        stream.SetPosition(position);
                    }
                    buffer->SetSize(count);
                    constexpr int64_t kPiece = 10000;
                    int64_t done = 0;
                    while (done < count) {
                        const int64_t n = std::min<int64_t>(count - done, kPiece);
                        stream.ReadBuffer(buffer->Memory() + done, n);
                        done += n;
                    }
                } catch (...) {
                    stream.SetPosition(saved);
                    throw;
                }
                stream.SetPosition(saved);
                item.DataStream = buffer;
                item.DataPosition = 0;
                item.DataOwned = true;
            } else {
                item.DataStream = std::shared_ptr<TStream>(&stream, [](TStream*) {});
                item.DataPosition = position;
                item.DataOwned = false;
            }
            const int64_t size = std::max<int64_t>(item.DataStream->GetSize() - item.DataPosition, 0);
            RecordSourceSize(item, uint64_t(size));
        }
    });
}

void TZABaseArchiver::AddFile(const std::u16string& fileName)
{
    AddInOwnUpdate([&] {
        const std::u16string full = ZAPath::ExpandPath(BaseDir, fileName, std::u16string());
        // One look-up answers what the item needs of the file: a folder walk
        // adds thousands of them.
        TWideFileInfo info;
        if (!WideGetFileInfo(full, info))
            throw EZAException(12, {fileName}, Name);
        const bool folder = info.IsDirectory();
        // An empty name stands for the base itself, which may be left
        // unexpanded: that one takes the long way.
        const int index = PrepareItemForAdd(full, 0, 0, true, folder, fileName.empty() ? nullptr : &info);
        if (index >= 0) {
            TDirItem& item = dir_->Items.ItemAt(index);
            RecordSourceSize(item, folder ? 0 : uint64_t(info.Size));
        }
    });
}

// ---------------------------------------------------------------- storing

namespace {

// Where a local header holds the CRC-32 and the two 32-bit sizes.
constexpr int64_t kLocalCrcOffset = 14;
// The most of an item's bytes that are gathered for one write.
constexpr int64_t kGatherLimit = 256 << 10;

// Stores encoded data straight into the archive, reporting each piece.
class TDirectSink : public TZAItemDataSink {
public:
    TDirectSink(std::function<bool(const uint8_t*, int64_t)> write,
                std::function<bool(int64_t bytesRead, int64_t readTotal)> progress, TZAByteBuffer& room)
        : write_(std::move(write)), progress_(std::move(progress)), room_(room)
    {
    }
    bool Header(const std::vector<uint8_t>& head) override { return write_(head.data(), int64_t(head.size())); }
    uint8_t* Room(size_t size) override
    {
        room_.Clear();
        return room_.Room(size);
    }
    bool Piece(const uint8_t* data, size_t length, int64_t bytesRead, int64_t readTotal) override
    {
        if (length > 0 && !write_(data, int64_t(length)))
            return false;
        return progress_(bytesRead, readTotal);
    }

private:
    std::function<bool(const uint8_t*, int64_t)> write_;
    std::function<bool(int64_t, int64_t)> progress_;
    TZAByteBuffer& room_;
};

// Keeps encoded data for the archiver's thread to write later.
class TKeepSink : public TZAItemDataSink {
public:
    explicit TKeepSink(TEncodedItem& item) : item_(item) {}
    bool Header(const std::vector<uint8_t>& head) override
    {
        item_.Head = head;
        return true;
    }
    uint8_t* Room(size_t size) override { return item_.Data->Room(size); }
    bool Piece(const uint8_t* data, size_t length, int64_t bytesRead, int64_t readTotal) override
    {
        TZAByteBuffer& kept = *item_.Data;
        // Output made in Room() is where it belongs already.
        if (data != kept.Data() + kept.Size())
            std::memcpy(kept.Room(length), data, length);
        item_.Pieces.push_back({kept.Size(), length, bytesRead, readTotal});
        kept.Grow(length);
        return true;
    }

private:
    TEncodedItem& item_;
};

// Puts a source stream back where its owner left it.
struct TRestorePosition {
    std::shared_ptr<TStream>& s;
    int64_t position;
    ~TRestorePosition()
    {
        try {
            if (s)
                s->SetPosition(position);
        } catch (...) {
        }
    }
};

}  // namespace

bool TZABaseArchiver::ReportProgress(const std::u16string& name, double percent, TZAProcessOperation operation)
{
    bool c1 = false, c2 = false;
    DoFileProgress(name, percent, operation, ppProcess, c1);
    DoOverallProgress(totalBytes_ ? double(processedBytes_) / double(totalBytes_) * 100.0 : 50.0, operation, ppProcess,
                      c2);
    if (c1 || c2) {
        cancel_ = true;
        return false;
    }
    return true;
}

std::shared_ptr<TStream> TZABaseArchiver::OpenItemSource(const TDirItem& item, int64_t& start, int64_t& size) const
{
    std::shared_ptr<TStream> source = item.DataStream;
    start = item.DataPosition;
    if (!source && !item.SrcFileName.empty()) {
        auto file = std::make_shared<TUniFileStream>(item.SrcFileName, 0 | ShareFlags(Options.ShareMode));
        start = 0;
        // The size seen on opening is as current as a second look would be.
        size = file->SizeAtOpen() >= 0 ? file->SizeAtOpen() : std::max<int64_t>(file->GetSize(), 0);
        return file;
    }
    size = source ? std::max<int64_t>(source->GetSize() - start, 0) : 0;
    return source;
}

std::function<void()> TZABaseArchiver::MakeEncodeJob(int index, const std::shared_ptr<TEncodedItem>& result,
                                                     const std::shared_ptr<std::atomic<bool>>& stop)
{
    TDirItem item = dir_->Items.ItemAt(index);
    const std::string password = item.Password;
    return [this, item = std::move(item), password, result, stop]() mutable {
        if (stop->load()) {
            result->Stopped = true;
            return;
        }
        try {
            int64_t start = 0, size = 0;
            std::shared_ptr<TStream> source;
            try {
                source = OpenItemSource(item, start, size);
            } catch (const Exception&) {
                result->SourceUnreadable = true;
                return;
            }
            // Only a caller's stream has a position worth putting back.
            std::shared_ptr<TStream> callers = item.DataStream ? source : nullptr;
            TRestorePosition restore{callers, callers ? callers->GetPosition() : 0};
            result->Size = size;
            uint16_t method = size == 0 ? 0 : (item.Method == 8 ? 8 : 0);
            if (source)
                method = ChooseItemMethod(*source, start, size, method, item.CompressionLevel);
            result->Method = method;
            std::unique_ptr<TZAItemCipher> cipher;
            if (!password.empty())
                cipher = CreateItemCipher(item, password);
            TKeepSink sink(*result);
            TMemoryStream none;
            result->Stopped = !EncodeItemData(source ? *source : none, start, size, method, item.CompressionLevel, cipher.get(), sink,
                                              result->Crc, result->ReadTotal, stop.get());
            if (cipher && !result->Stopped && result->ReadTotal == size)
                result->Trailer = cipher->MakeTrailer();
        } catch (...) {
            result->Error = std::current_exception();
        }
    };
}

bool TZABaseArchiver::StoreItem(int index, TStream& out, TEncodedItem* prepared)
{
    TDirItem& item = dir_->Items.ItemAt(index);
    const std::u16string name = item.FileName;
    const bool folder = !name.empty() && name.back() == u'/';
    bool cancel = false;
    DoFileProgress(name, 0, item.Operation, ppStart, cancel);
    if (cancel) {
        cancel_ = true;
        return false;
    }
    if (folder)
        prepared = nullptr;

    std::shared_ptr<TStream> source;
    int64_t start = 0;
    int64_t size = 0;
    if (prepared && prepared->SourceUnreadable)
        throw EZAException(33, {item.SrcFileName}, Name);
    if (!folder && !prepared) {
        try {
            source = OpenItemSource(item, start, size);
        } catch (const Exception&) {
            throw EZAException(33, {item.SrcFileName}, Name);
        }
    }
    // Only a caller's stream has a position worth putting back.
    std::shared_ptr<TStream> callers = item.DataStream ? source : nullptr;
    TRestorePosition release{callers, callers ? callers->GetPosition() : 0};

    if (prepared)
        size = prepared->Size;
    const uint64_t offset = uint64_t(out.GetPosition());
    const bool encrypt = !item.Password.empty() && !folder;
    std::unique_ptr<TZAItemCipher> cipher;
    if (encrypt)
        cipher = CreateItemCipher(item, item.Password);
    uint16_t method = (folder || size == 0) ? 0 : (item.Method == 8 ? 8 : 0);
    if (method != 0 && prepared)
        method = prepared->Method;
    else if (method != 0 && source)
        method = ChooseItemMethod(*source, start, size, method, item.CompressionLevel);
    // The ZIP64 field has to be in the local header before the data, so
    // with ZIP64 on automatic an item whose stored form may reach 4 GiB
    // (deflate growth, encryption header) gets one up front.
    const bool mayOverflow =
        Zip64Mode == zmAuto &&
        MaxStoredSize(uint64_t(size), method, cipher ? cipher->HeaderSize() + cipher->TrailerSize() : 0) >=
            0xFFFFFFFFu;
    const bool zip64 = offset >= 0xFFFFFFFFu || uint64_t(size) >= 0xFFFFFFFFu || Zip64Mode == zmAlways || mayOverflow;
    if (zip64 && Zip64Mode == zmDisabled)
        throw EZAException(43, {name}, Name);

    item.ActualMethod = method;
    // Folder entries carry no data and so never an encryption header.
    item.Flags = encrypt ? (item.Flags | kFlagEncrypted) : (item.Flags & ~kFlagEncrypted);
    const std::string storedName = EncodeItemName(name, item.Flags, Options.OEMFileNames);
    if (storedName.size() > 0xFFFF)
        throw EZAException(61, {name}, Name);

    item.ExtraFields.clear();
    std::vector<TZAExtraField> localExtra;
    if (zip64) {
        TZAExtraField f;
        f.Id = kZip64ExtraId;
        f.Size = 16;
        f.Data.assign(16, 0);
        localExtra.push_back(f);
    }
    if (UnicodeFilenames) {
        const TZAExtraField nu = MakeUnicodeNameField(name);
        localExtra.push_back(nu);
        item.ExtraFields.push_back(nu);
        // Other tools ignore the field above; a header name that lost
        // characters to its code page gets the field they read as well,
        // while the extra area (64 KiB for all fields) has room for it.
        const std::string utf8 = WideToUTF8(name);
        if (utf8 != storedName && nu.Data.size() + utf8.size() + 64 <= 0xFFFF) {
            const TZAExtraField path = MakeUnicodePathField(storedName, name);
            localExtra.push_back(path);
            item.ExtraFields.push_back(path);
        }
    }
    uint16_t localMethod = method;
    if (encrypt)
        AddCipherExtraFields(item, localExtra, localMethod);

    std::vector<uint8_t> extra;
    AppendExtraFields(extra, localExtra);
    if (extra.size() > 0xFFFF)
        throw EZAException(kZAWriteError, Name);

    uint16_t versionNeeded = item.VersionMadeBy;
    if (zip64)
        versionNeeded = standardSignatures_ ? 45 : 0x412D;
    else if (!standardSignatures_)
        versionNeeded = kVersionAlternate;
    TLocalFileHeader header;
    header.Signature = standardSignatures_ ? kLocalHeaderSignature : kLocalHeaderSignatureAlt;
    header.VersionNeeded = versionNeeded;
    header.Flags = item.Flags;
    header.Method = localMethod;
    header.Time = item.Time;
    header.Date = item.Date;
    header.Crc32 = 0;
    header.CompressedSize = zip64 ? kSaturated32 : 0;
    header.UncompressedSize = zip64 ? kSaturated32 : uint32_t(size);
    header.NameLength = uint16_t(storedName.size());  // bytes, not characters
    header.ExtraLength = uint16_t(extra.size());
    // The sizes and CRC: known up front for an item encoded ahead, else
    // filled in once the data is written.
    auto complete = [&](uint32_t crc, uint64_t compressed) {
        header.Crc32 = crc;
        if (zip64) {
            PutLE64(localExtra[0].Data.data(), uint64_t(size));
            PutLE64(localExtra[0].Data.data() + 8, compressed);
            extra.clear();
            AppendExtraFields(extra, localExtra);
        } else {
            header.CompressedSize = uint32_t(compressed);
            header.UncompressedSize = uint32_t(size);
        }
    };
    // The item's bytes are gathered and go out in one write when the item
    // is complete, its header finished in memory: for a small file that is
    // one system call where a write per record and a patch behind a seek
    // were several. A piece too large to gather is written straight away,
    // after whatever was gathered before it.
    std::vector<uint8_t>& gathered = storeBuffer_;
    gathered.clear();
    bool headerGathered = false;
    int64_t position = int64_t(offset);
    auto flushGathered = [&]() {
        if (!gathered.empty())
            WriteWithDiskFullRetry(out, gathered.data(), int64_t(gathered.size()));
        gathered.clear();
        headerGathered = false;
    };
    auto put = [&](const uint8_t* data, int64_t count) {
        if (int64_t(gathered.size()) + count <= kGatherLimit) {
            gathered.insert(gathered.end(), data, data + count);
        } else {
            flushGathered();
            WriteWithDiskFullRetry(out, data, count);
        }
        position += count;
        return true;
    };
    auto writeHeader = [&]() {
        gathered.resize(TLocalFileHeader::kSize);
        header.Encode(gathered.data());
        gathered.insert(gathered.end(), storedName.begin(), storedName.end());
        gathered.insert(gathered.end(), extra.begin(), extra.end());
        headerGathered = true;
        position += int64_t(gathered.size());
    };
    bool completeKnown = false;
    if (prepared && !prepared->Error && !prepared->Stopped && prepared->ReadTotal == size) {
        uint64_t compressed = prepared->Head.size() + prepared->Trailer.size();
        for (const TEncodedItem::Piece& p : prepared->Pieces)
            compressed += p.Length;
        if (zip64 || compressed < 0xFFFFFFFFu) {
            complete(~prepared->Crc, compressed);
            completeKnown = true;
        }
    }
    writeHeader();
    const int64_t dataStart = position;

    TDirectSink sink(put,
                     [&](int64_t bytesRead, int64_t readTotal) {
                         processedBytes_ += uint64_t(bytesRead);
                         return ReportProgress(name, double(readTotal) / double(size) * 100.0, item.Operation);
                     },
                     encodeBuffer_);
    uint32_t crc = 0xFFFFFFFF;
    int64_t readTotal = 0;
    if (prepared) {
        if (!prepared->Head.empty() && !sink.Header(prepared->Head))
            return false;
        for (const TEncodedItem::Piece& p : prepared->Pieces)
            if (!sink.Piece(prepared->Data->Data() + p.Offset, p.Length, p.BytesRead, p.ReadTotal))
                return false;
        if (prepared->Error)
            std::rethrow_exception(prepared->Error);
        if (prepared->Stopped)
            return false;
        crc = prepared->Crc;
        readTotal = prepared->ReadTotal;
    } else if (!folder) {
        TMemoryStream none;
        if (!EncodeItemData(source ? *source : none, start, size, method, item.CompressionLevel, cipher.get(), sink,
                            crc, readTotal))
            return false;
    }
    if (readTotal != size)
        throw EZAException(34, {size, readTotal}, Name);
    if (encrypt) {
        const std::vector<uint8_t> trailer = prepared ? prepared->Trailer : cipher->MakeTrailer();
        if (!trailer.empty())
            put(trailer.data(), int64_t(trailer.size()));
    }

    const int64_t end = position;
    const uint64_t compressed = uint64_t(end - dataStart);
    crc = ~crc;
    if (!zip64 && compressed >= 0xFFFFFFFFu)
        throw EZAException(41, {name}, Name);

    item.Crc32 = crc;
    item.Method = localMethod;
    item.VersionNeeded = versionNeeded;
    if (zip64) {
        item.UncompressedSize = item.CompressedSize = kSaturated32;
        item.UncompressedSize64 = uint64_t(size);
        item.CompressedSize64 = compressed;
        item.Zip64 = 1;
    } else {
        item.UncompressedSize = uint32_t(size);
        item.CompressedSize = uint32_t(compressed);
        item.Zip64 = 0;
    }
    if (offset >= 0xFFFFFFFFu || Zip64Mode == zmAlways) {
        item.LocalHeaderOffset = kSaturated32;
        item.LocalHeaderOffset64 = offset;
    } else {
        item.LocalHeaderOffset = uint32_t(offset);
    }

    if (!completeKnown) {
        // Only the CRC and the sizes change: they are patched in place.
        complete(crc, compressed);
        uint8_t raw[TLocalFileHeader::kSize];
        header.Encode(raw);
        const int64_t zip64At = int64_t(TLocalFileHeader::kSize + storedName.size());
        const int64_t zip64Length = zip64 ? int64_t(4 + localExtra[0].Data.size()) : 0;
        if (headerGathered) {
            std::copy_n(raw + kLocalCrcOffset, 12, gathered.begin() + kLocalCrcOffset);
            std::copy_n(extra.begin(), zip64Length, gathered.begin() + zip64At);
        } else {
            flushGathered();
            out.SetPosition(int64_t(offset) + kLocalCrcOffset);
            out.WriteBuffer(raw + kLocalCrcOffset, 12);
            if (zip64) {
                out.SetPosition(int64_t(offset) + zip64At);
                out.WriteBuffer(extra.data(), zip64Length);
            }
            out.SetPosition(end);
        }
    }
    flushGathered();

    bool ignored = false;
    DoFileProgress(name, 100, item.Operation, ppEnd, ignored);
    return true;
}

// ---------------------------------------------------------------- searching

bool TZABaseArchiver::MatchMask(const std::u16string& name, const std::u16string& mask)
{
    if (mask.empty())
        return false;
    std::u16string m = mask;
    const size_t star = m.find(u"*.*");
    if (star != std::u16string::npos)
        m.replace(star, 3, u"*");
    bool noExtension = false;
    if (!m.empty() && m.back() == u'.') {
        m.pop_back();
        noExtension = true;
    }
    std::u16string n = name;
    if (!n.empty() && n.back() == u'.')
        n.pop_back();
    if (!MaskMatches(n, m, true))
        return false;
    if (noExtension) {
        const std::u16string ext = WideExtensionOf(Replaced(name, u'\\', u'/'));
        return ext.empty() || ext == u".";
    }
    return true;
}

bool TZABaseArchiver::AttributesMatch(uint32_t itemAttributes, int32_t searchAttributes)
{
    const uint32_t special = faHidden | faSysFile | faVolumeID | faDirectory;
    return (itemAttributes & special & ~uint32_t(searchAttributes)) == 0;
}

bool TZABaseArchiver::IsItemMatched(int index, const TZArchiveItem& record)
{
    const std::u16string stored = dir_->Items.ItemAt(index).FileName;
    if (record.UseArchiverMasks) {
        const std::u16string name = Replaced(stored, u'/', u'\\');
        bool matched = false;
        for (int i = 0; i < FileMasks.Count() && !matched; ++i)
            matched = MatchMask(name, FileMasks.Get(i));
        for (int i = 0; i < ExclusionMasks.Count() && matched; ++i)
            if (MatchMask(name, ExclusionMasks.Get(i)))
                matched = false;
        return matched;
    }
    std::u16string name = stored;
    if (!name.empty() && (name.back() == u'/' || name.back() == u'\\'))
        name.pop_back();
    const size_t slash = name.find_last_of(u"/\\");
    const std::u16string base = slash == std::u16string::npos ? name : name.substr(slash + 1);
    if (MatchMask(name, record.Mask))
        return !MatchMask(name, record.ExclusionMask);
    if (MatchMask(base, record.Mask))
        return !MatchMask(base, record.ExclusionMask);
    return false;
}

bool TZABaseArchiver::InternalFind(TZArchiveItem& record)
{
    auto folderOf = [](std::u16string s) {
        s = WideLowerCase(Replaced(s, u'\\', u'/'));
        const size_t slash = s.find_last_of(u'/');
        return slash == std::u16string::npos ? std::u16string() : s.substr(0, slash + 1);
    };
    const std::u16string maskFolder = folderOf(record.Mask);
    for (int i = std::max(record.NextIndex, 0); i < dir_->Items.Count(); ++i) {
        const TDirItem& item = dir_->Items.ItemAt(i);
        if (!Options.Recurse) {
            std::u16string stored = item.FileName;
            if (!stored.empty() && stored.back() == u'/')
                stored.pop_back();
            if (folderOf(stored) != maskFolder)
                continue;
        }
        if (!IsItemMatched(i, record) || !AttributesMatch(item.ExternalAttributes, record.SearchAttr))
            continue;
        record.NextIndex = i;
        const std::u16string stored = Replaced(item.FileName, u'/', u'\\');
        std::u16string trimmed = stored;
        if (!trimmed.empty() && trimmed.back() == u'\\')
            trimmed.pop_back();
        const size_t slash = trimmed.find_last_of(u'\\');
        record.FileName = slash == std::u16string::npos ? trimmed : trimmed.substr(slash + 1);
        record.StoredPath = slash == std::u16string::npos ? std::u16string() : trimmed.substr(0, slash + 1);
        record.CompressedSize = int64_t(item.FullCompressedSize());
        record.UncompressedSize = int64_t(item.FullUncompressedSize());
        double rate = 100;
        if (record.UncompressedSize > 0)
            rate = (1.0 - double(record.CompressedSize) / double(record.UncompressedSize)) * 100.0;
        record.CompressionRate = rate < 0 ? 0 : rate;
        record.Encrypted = item.IsEncrypted();
        record.LastModFileTime = item.Time;
        record.LastModFileDate = item.Date;
        record.CRC = item.Crc32;
        record.ExternalFileAttributes = item.ExternalAttributes;
        record.Comment = item.Comment;
        return true;
    }
    return false;
}

bool TZABaseArchiver::FindFirst(const std::u16string& mask, TZArchiveItem& record, int32_t searchAttr,
                                const std::u16string& exclusionMask)
{
    CheckOpen();
    record.Mask = Replaced(mask, u'\\', u'/');
    record.ExclusionMask = exclusionMask;
    record.SearchAttr = searchAttr;
    record.MaskHasWildcards = mask.find_first_of(u"*?") != std::u16string::npos;
    record.UseArchiverMasks = false;
    record.NextIndex = 0;
    return InternalFind(record);
}

bool TZABaseArchiver::FindNext(TZArchiveItem& record)
{
    CheckOpen();
    ++record.NextIndex;
    if (InternalFind(record))
        return true;
    --record.NextIndex;
    return false;
}

bool TZABaseArchiver::FindItemIndex(const std::u16string& name, int& index)
{
    CheckOpen();
    if (dir_->Items.FindItemName(name, index))
        return true;
    std::u16string mask = name;
    if (Options.StorePath != spFullPathWithDrive) {
        if (mask.size() >= 2 && mask[1] == u':') {
            mask.erase(0, 2);
        } else if (mask.rfind(u"\\\\", 0) == 0) {
            const size_t share = mask.find(u'\\', 2);
            const size_t after = share == std::u16string::npos ? std::u16string::npos : mask.find(u'\\', share + 1);
            mask = after == std::u16string::npos ? std::u16string() : mask.substr(after);
        }
    }
    while (!mask.empty() && (mask[0] == u'\\' || mask[0] == u'/'))
        mask.erase(0, 1);
    TZArchiveItem record;
    if (!FindFirst(mask, record, 10431))
        return false;
    index = record.NextIndex;
    return true;
}

// ---------------------------------------------------------------- extraction

namespace {

// Items decoded ahead are held whole in memory; larger ones are extracted
// piece by piece on the archiver's thread.
constexpr uint64_t kLargestItemAhead = uint64_t{128} << 20;

// Reads the item's local header; where its stored data starts. False when
// the header or the stored data does not lie within the stream.
bool LocateItemData(const TDirItem& item, TStream& in, uint64_t& dataStart, int64_t knownSize = -1)
{
    const uint64_t offset = item.FullLocalHeaderOffset();
    const int64_t streamSize = knownSize >= 0 ? knownSize : in.GetSize();
    if (offset > uint64_t(streamSize) || uint64_t(streamSize) - offset < TLocalFileHeader::kSize)
        return false;
    uint8_t raw[TLocalFileHeader::kSize];
    in.SetPosition(int64_t(offset));
    in.ReadBuffer(raw, sizeof raw);
    const TLocalFileHeader local = TLocalFileHeader::Decode(raw);
    if (local.Signature != kLocalHeaderSignature && local.Signature != kLocalHeaderSignatureAlt)
        return false;
    dataStart = offset + TLocalFileHeader::kSize + local.NameLength + local.ExtraLength;
    return dataStart <= uint64_t(streamSize) && uint64_t(streamSize) - dataStart >= item.FullCompressedSize();
}

}  // namespace

std::function<void()> TZABaseArchiver::MakeDecodeJob(int index, const std::shared_ptr<TDecodedItem>& result,
                                                     uint64_t& bytes)
{
    const TDirItem item = dir_->Items.ItemAt(index);
    if (spanningMode_ != smNone || (!item.FileName.empty() && item.FileName.back() == u'/'))
        return {};
    try {
        TStream& in = *stream_;
        uint64_t compressed = item.FullCompressedSize();
        const uint64_t uncompressed = item.FullUncompressedSize();
        uint64_t dataStart = 0;
        if (compressed > kLargestItemAhead || uncompressed > kLargestItemAhead ||
            (compressed < kSmallestItemAhead && uncompressed < kSmallestItemAhead &&
             !(item.IsEncrypted() && item.EncryptionKind != ekPkzipClassic)) ||
            !LocateItemData(item, in, dataStart, streamSizeWhileExtracting_))
            return {};
        const uint16_t method =
            item.EncryptionKind != ekPkzipClassic && item.IsEncrypted() ? item.ActualMethod : item.Method;
        if (method != 0 && method != 8)
            return {};
        std::shared_ptr<TZAItemCipher> cipher;
        std::vector<uint8_t> head, trailer;
        if (item.IsEncrypted()) {
            cipher = CreateItemCipher(item, password_);
            const size_t overhead = cipher->HeaderSize() + cipher->TrailerSize();
            if (compressed < overhead)
                return {};
            head.resize(cipher->HeaderSize());
            in.SetPosition(int64_t(dataStart));
            in.ReadBuffer(head.data(), int64_t(head.size()));
            compressed -= overhead;
            dataStart += head.size();
            trailer.resize(cipher->TrailerSize());
        }
        result->Password = password_;
        bytes = compressed + uncompressed;
        // The password is checked on the worker too: for an AES item that
        // means deriving its keys, the bulk of its work. A header the
        // password does not open leaves the item to the extraction, which
        // asks for another one in turn.
        auto decode = [cipher, head, method, uncompressed, crc = item.Crc32, result](
                          uint8_t* data, size_t size, const std::vector<uint8_t>& trailer,
                          const TZAPieceReader& read = {}) {
            if (cipher && !cipher->CheckHeader(head.data())) {
                result->Undecoded = true;
                return;
            }
            DecodeItemData(data, size, trailer, cipher.get(), method, uncompressed, crc, size_t(kReadPiece),
                           *result, read);
        };
        // An archive file is read by the worker itself: the stored bytes
        // then reach memory on many threads, not all on this one.
        if (const auto* file = dynamic_cast<TUniFileStream*>(&in)) {
            // The stored bytes wait in no queue: they go into the worker's
            // own buffer when it takes the item.
            bytes = uncompressed;
            // A piece at a time: eight workers each holding a whole large
            // item's stored bytes cost a good part of the memory of the
            // pictures they were decoding.
            return [decode, file, dataStart, compressed, trailer, result]() mutable {
                const size_t size = static_cast<size_t>(compressed);
                const auto readWhole = [file](uint64_t at, uint8_t* into, size_t count) {
                    return file->ReadAt(int64_t(at), into, int64_t(count)) == int64_t(count);
                };
                if (!readWhole(dataStart + compressed, trailer.data(), trailer.size())) {
                    result->Undecoded = true;
                    return;
                }
                uint8_t* data = WorkerBuffer(std::min(size, size_t(kReadPiece)));
                decode(data, size, trailer, [&readWhole, dataStart](uint64_t at, uint8_t* into, size_t count) {
                    return readWhole(dataStart + at, into, count);
                });
            };
        }
        auto data = std::make_shared<std::vector<uint8_t>>(size_t(compressed));
        in.SetPosition(int64_t(dataStart));
        in.ReadBuffer(data->data(), int64_t(compressed));
        if (!trailer.empty())
            in.ReadBuffer(trailer.data(), int64_t(trailer.size()));
        return [decode, data, trailer] {
            decode(data->data(), data->size(), trailer);
            data->clear();
            data->shrink_to_fit();
        };
    } catch (...) {
        // The extraction meets the same failure again at the item's turn.
        return {};
    }
}

bool TZABaseArchiver::ReplayDecodedItem(const TDirItem& item, TDecodedItem& decoded, TStream& dest)
{
    const uint64_t uncompressed = item.FullUncompressedSize();
    currentItemSize_ = uncompressed;
    const double denominator = uncompressed ? double(uncompressed) : 2.0;
    uint64_t written = 0;
    // A worker that wrote into the stream itself leaves only the counting.
    const bool writtenAlready = decoded.Target == &dest;
    auto writeUpTo = [&](uint64_t end) {
        if (end <= written)
            return true;
        if (!writtenAlready &&
            !WriteWithDiskFullRetry(dest, decoded.Output->Data() + written, int64_t(end - written)))
            return false;
        processedBytes_ += end - written;
        written = end;
        return true;
    };
    for (const uint64_t produced : decoded.ProducedAfter) {
        if (!writeUpTo(produced))
            return false;
        if (!ReportProgress(item.FileName, double(produced) / denominator * 100.0, poExtract))
            return false;
    }
    // Output of a piece that failed half-way is written as it would have been.
    if (!writtenAlready && !writeUpTo(decoded.Output->Size()))
        return false;
    if (decoded.Error)
        std::rethrow_exception(decoded.Error);
    return decoded.Ok;
}

bool TZABaseArchiver::DecodeItem(int index, TStream& dest, bool& skipped, TDecodedItem* prepared)
{
    const TDirItem item = dir_->Items.ItemAt(index);
    // An item a worker could not read or open is done here, meeting the
    // failure, or asking for another password, where it belongs.
    if (prepared && prepared->Undecoded)
        prepared = nullptr;
    // Decoded ahead with the password still in force: only writing is left.
    if (prepared && prepared->Password == password_) {
        skipped = false;
        return ReplayDecodedItem(item, *prepared, dest);
    }
    // Decoded with a password since replaced: what the worker wrote goes.
    if (prepared && prepared->Target == &dest)
        prepared->Target->SetSize(0);
    // An item of a set is read from the volume its local header is on, and
    // its data runs on into the volumes after it.
    std::unique_ptr<TZAVolumeReader> volumes;
    if (spanningMode_ != smNone && (volumeSetOpened_ || volumesWritten_))
        volumes = std::make_unique<TZAVolumeReader>(*this, int32_t(item.FullDiskNumberStart()), lastVolume_);
    TStream& in = volumes ? static_cast<TStream&>(*volumes) : *stream_;
    uint64_t dataStart = 0;
    if (!LocateItemData(item, in, dataStart, volumes ? -1 : streamSizeWhileExtracting_))
        return false;
    uint64_t compressed = item.FullCompressedSize();
    const uint64_t uncompressed = item.FullUncompressedSize();
    currentItemSize_ = uncompressed;

    skipped = false;
    const uint16_t method = item.EncryptionKind != ekPkzipClassic && item.IsEncrypted() ? item.ActualMethod : item.Method;
    if (method == 9)
        throw EZAException(55, Name);
    if (method != 0 && method != 8)
        return false;

    std::unique_ptr<TZAItemCipher> cipher;
    if (item.IsEncrypted()) {
        for (;;) {
            cipher = CreateItemCipher(item, password_);
            const size_t overhead = cipher->HeaderSize() + cipher->TrailerSize();
            if (compressed < overhead)
                return false;
            std::vector<uint8_t> head(cipher->HeaderSize());
            in.SetPosition(int64_t(dataStart));
            in.ReadBuffer(head.data(), int64_t(head.size()));
            if (cipher->CheckHeader(head.data()))
                break;
            bool skip = false;
            std::string answer = password_;
            defaultPasswordAnswer_ = false;
            DoPassword(item.FileName, answer, skip);
            if (skip) {
                if (defaultPasswordAnswer_)
                    throw EZAException(8, Name);  // wrong password, nobody to ask
                skipped = true;
                return false;
            }
            password_ = answer;
        }
        compressed -= cipher->HeaderSize() + cipher->TrailerSize();
    } else {
        in.SetPosition(int64_t(dataStart));
    }

    std::unique_ptr<TZAInflater> inflater;
    if (method == 8)
        inflater = std::make_unique<TZAInflater>(uncompressed);
    uint32_t crc = 0xFFFFFFFF;
    uint64_t consumed = 0, produced = 0;
    std::vector<uint8_t> piece(size_t(std::min<uint64_t>(std::max<uint64_t>(compressed, 1), kReadPiece)));
    const double denominator = uncompressed ? double(uncompressed) : 2.0;
    auto emit = [&](const uint8_t* data, size_t length) {
        UpdateCRC(data, int64_t(length), crc);
        if (!WriteWithDiskFullRetry(dest, data, int64_t(length)))
            return false;
        produced += length;
        processedBytes_ += length;
        return true;
    };
    while (consumed < compressed) {
        const int64_t n = int64_t(std::min<uint64_t>(compressed - consumed, piece.size()));
        in.ReadBuffer(piece.data(), n);
        consumed += uint64_t(n);
        if (cipher)
            cipher->Decrypt(piece.data(), size_t(n));
        if (inflater) {
            if (!inflater->Decompress(piece.data(), size_t(n), emit))
                return false;
        } else if (!emit(piece.data(), size_t(n))) {
            return false;
        }
        if (!ReportProgress(item.FileName, double(produced) / denominator * 100.0, poExtract))
            return false;
    }
    if (cipher && cipher->TrailerSize() > 0) {
        std::vector<uint8_t> trailer(cipher->TrailerSize());
        in.ReadBuffer(trailer.data(), int64_t(trailer.size()));
        if (!cipher->CheckTrailer(trailer.data()))
            return false;
    }
    if (inflater && uncompressed > 0 && !inflater->Finished())
        return false;
    const bool crcMatches = (cipher && !cipher->ChecksCrc()) || ~crc == item.Crc32;
    return consumed == compressed && produced == uncompressed && crcMatches;
}

bool TZABaseArchiver::ExtractItemData(int index, TStream& dest, TDecodedItem* prepared)
{
    if (index < 0 || index >= dir_->Items.Count())
        throw EZAException(16, Name);
    bool skipped = false;
    bool ok = false;
    try {
        ok = DecodeItem(index, dest, skipped, prepared);
    } catch (const EDecompressionError&) {
        ok = false;
    } catch (const EZAException& e) {
        if (e.NativeError != kZADamagedArchive)
            throw;
        ok = false;
    }
    if (cancel_)
        throw EZAException(45, Name);
    if (!ok && !skipped && !ExtractCorruptedFiles)
        throw EZAException(8, Name);
    return !skipped;
}

void TZABaseArchiver::ExtractItem(int index, TStream& dest) { ExtractItemData(index, dest); }

void TZABaseArchiver::ExtractToStream(const std::u16string& fileName, TStream& stream)
{
    ExtractOneToStream(&fileName, -1, stream, nullptr);
}

void TZABaseArchiver::ExtractItemToStream(int index, TStream& stream)
{
    ExtractOneToStream(nullptr, index, stream, nullptr);
}

void TZABaseArchiver::ExtractToStreams(const std::vector<std::pair<int, TStream*>>& items,
                                       const std::function<void(size_t)>& whole)
{
    CheckOpen();
    CheckNoUpdate();
    std::unique_ptr<TZADecodeAhead> ahead;
    if (WorkerCount > 1 && items.size() >= 2) {
        // An index out of range is left to fail where one-by-one extraction
        // would, without being read ahead.
        std::vector<int> plan;
        // An empty memory stream that is one item's alone is filled by the
        // worker that decodes the item, sparing the calling thread a copy.
        struct Target {
            TMemoryStream* Stream;
            size_t Position;
        };
        std::unordered_map<int, Target> targets;
        std::unordered_set<const TStream*> streams;
        bool distinct = true;
        for (size_t at = 0; at < items.size(); ++at) {
            const auto& [index, stream] = items[at];
            if (stream != nullptr && index >= 0 && index < dir_->Items.Count()) {
                plan.push_back(index);
                auto* memory = dynamic_cast<TMemoryStream*>(stream);
                distinct = distinct && streams.insert(stream).second &&
                           targets.emplace(index, Target{memory && memory->GetSize() == 0 ? memory : nullptr, at})
                               .second;
            }
        }
        if (!distinct)
            targets.clear();
        ahead = std::make_unique<TZADecodeAhead>(
            std::move(plan), WorkerCount,
            [this, targets = std::move(targets), &whole](int index, const std::shared_ptr<TDecodedItem>& result,
                                                         uint64_t& bytes) {
                std::function<void()> job = MakeDecodeJob(index, result, bytes);
                const auto target = targets.find(index);
                if (job && target != targets.end() && target->second.Stream) {
                    result->Target = target->second.Stream;
                    // The plain bytes are the caller's, held in its stream
                    // whether they are decoded ahead or not: counting them
                    // here kept all but a few workers idle on large items.
                    bytes -= std::min(bytes, dir_->Items.ItemAt(index).FullUncompressedSize());
                    if (whole)
                        result->ThenOnWorker = [&whole, at = target->second.Position] { whole(at); };
                }
                return job;
            });
    }
    for (const auto& [index, stream] : items)
        ExtractOneToStream(nullptr, index, *stream, ahead.get());
}

void TZABaseArchiver::ExtractOneToStream(const std::u16string* fileName, int index, TStream& stream,
                                         TZADecodeAhead* ahead)
{
    CheckOpen();
    CheckNoUpdate();
    fileProgress_ = true;
    cancel_ = false;
    const bool recurse = Options.Recurse;
    Options.Recurse = false;
    processedItems_ = 0;
    try {
        bool cancel = false;
        DoOverallProgress(0, poExtract, ppStart, cancel);
        if (cancel)
            throw EZAException(45, Name);
        if (fileName && !FindItemIndex(*fileName, index))
            throw EZAException(15, {*fileName}, Name);
        if (index < 0 || index >= dir_->Items.Count())
            throw EZAException(16, Name);
        const std::u16string name = dir_->Items.ItemAt(index).FileName;
        DoFileProgress(name, 0, poExtract, ppStart, cancel);
        if (cancel)
            throw EZAException(45, Name);
        itemsToProcess_ = 1;
        totalBytes_ = dir_->Items.ItemAt(index).FullUncompressedSize();
        processedBytes_ = 0;
        const std::shared_ptr<TDecodedItem> prepared = ahead ? ahead->Next(index) : nullptr;
        ExtractItemData(index, stream, prepared.get());
        DoFileProgress(name, 100, poExtract, ppEnd, cancel);
        DoOverallProgress(100, poExtract, ppEnd, cancel);
    } catch (...) {
        Options.Recurse = recurse;
        throw;
    }
    Options.Recurse = recurse;
}

void TZABaseArchiver::ExtractFiles(const std::u16string& mask, const std::u16string& destDir)
{
    CheckOpen();
    CheckNoUpdate();
    fileProgress_ = true;
    cancel_ = false;
    if (destDir.empty())
        throw EZAException(10, Name);
    std::vector<int> indices;
    TZArchiveItem record;
    for (bool found = FindFirst(mask, record, Options.SearchAttr | faDirectory); found; found = FindNext(record))
        indices.push_back(record.NextIndex);
    totalBytes_ = processedBytes_ = 0;
    for (int i : indices)
        totalBytes_ += dir_->Items.ItemAt(i).FullUncompressedSize();
    itemsToProcess_ = int64_t(indices.size());
    processedItems_ = 0;

    bool cancel = false;
    DoOverallProgress(0, poExtract, ppStart, cancel);
    if (cancel)
        throw EZAException(45, Name);
    std::u16string root = destDir;
    while (root.size() > 1 && root.back() == u'/')
        root.pop_back();
    if (Options.CreateDirs && !WideIsDirectory(root))
        WideCreateDir(root);

    // The archive is only read meanwhile: its size is looked up once, not
    // for every item.
    struct TForgetSize {
        int64_t& size;
        ~TForgetSize() { size = -1; }
    } forgetSize{streamSizeWhileExtracting_};
    if (spanningMode_ == smNone)
        streamSizeWhileExtracting_ = stream_->GetSize();

    // Items are decoded ahead on the workers; files are still written, and
    // every question asked, here in item order.
    std::unique_ptr<TZADecodeAhead> ahead;
    if (WorkerCount > 1 && indices.size() >= 2)
        ahead = std::make_unique<TZADecodeAhead>(
            indices, WorkerCount, [this](int index, const std::shared_ptr<TDecodedItem>& result, uint64_t& bytes) {
                return MakeDecodeJob(index, result, bytes);
            });

    const mode_t fileMode = 0666 & ~[] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    std::u16string refused;
    std::u16string knownFolder;
    // Items share few distinct times, and a conversion consults the time
    // zone's file each time: each time is converted once per extraction.
    std::unordered_map<int32_t, int64_t> converted;
    for (int index : indices) {
        const TDirItem item = dir_->Items.ItemAt(index);
        std::u16string name = item.FileName;
        uint32_t attr = item.ExternalAttributes;
        DoExtractFile(name, attr, item.Comment);
        const bool folder = (!name.empty() && (name.back() == u'\\' || name.back() == u'/')) ||
                            (attr & faDirectory) != 0;
        const std::u16string relative = SafeRelativeName(name);
        if (relative.empty()) {
            if (refused.empty())
                refused = item.FileName;
            continue;
        }
        const std::u16string target = root + u"/" + relative;
        if (folder) {
            if (!ZAPath::DirectoryExists(target) && !WideForceDirectories(target))
                throw EZAException(20, {target}, Name);
            continue;
        }
        const std::u16string parent = target.substr(0, target.find_last_of(u'/'));
        // Items of one folder mostly follow each other: its folder is
        // looked up once for all of them.
        if (parent != knownFolder && !WideIsDirectory(parent)) {
            if (!Options.CreateDirs || !WideForceDirectories(parent))
                throw EZAException(20, {parent}, Name);
        }
        knownFolder = parent;
        // A new file is written under its own name, as other extractors do;
        // creating it is the look-up, so only a name that is taken costs a
        // second one. Over a file that is there the item is written beside
        // it and renamed over it only when complete, so a failure keeps the
        // old file whole.
        int handle = WideCreateNewFile(target);
        const bool exists = handle < 0 && WideExists(target);
        if (exists) {
            bool overwrite = false;
            const int32_t age = WideGetFileAge(target);
            const uint32_t itemDos = (uint32_t(item.Date) << 16) | item.Time;
            switch (Options.OverwriteMode) {
            case omAlways: overwrite = true; break;
            case omNever: overwrite = false; break;
            case omIfNewer: overwrite = age == -1 || itemDos > uint32_t(age); break;
            case omIfOlder: overwrite = age == -1 || itemDos < uint32_t(age); break;
            case omPrompt: {
                std::u16string dest = target;
                DoConfirmOverwrite(item.FileName, dest, overwrite);
                break;
            }
            }
            if (!overwrite)
                continue;
            if (WideIsDirectory(target))
                throw EZAException(19, {target}, Name);
            if (!Options.ReplaceReadOnly && (WideGetAttributes(target) & faReadOnly))
                continue;
        }
        const bool direct = handle >= 0;
        const std::u16string writing = direct ? target : WideCreateTempFile(parent, WideNameOf(target), &handle);
        if (writing.empty())
            throw EZAException(19, {target}, Name);
        // The stream owns the handle from here on, whatever happens; both
        // kinds of file are new, so it stands at their start.
        auto file = std::make_unique<TUniFileStream>(writing, TUniFileStream::TAdopt{handle, 0});
        bool written = false;
        try {
            bool c = false;
            DoFileProgress(item.FileName, 0, poExtract, ppStart, c);
            if (c)
                throw EZAException(45, Name);
            // No sync per file: with thousands of items it would cost more
            // than the extraction itself, and the rename keeps an old file
            // whole until the new one is complete.
            const std::shared_ptr<TDecodedItem> prepared = ahead ? ahead->Next(index) : nullptr;
            written = ExtractItemData(index, *file, prepared.get());
            // A temporary file was made private; the file takes the usual
            // permissions before it gets its name.
            if (written && !direct)
                ::fchmod(file->Handle(), fileMode);
            // The time is set through the open file: no name is looked up
            // again, and a rename keeps it.
            if (written) {
                const int32_t dos = int32_t((uint32_t(item.Date) << 16) | item.Time);
                auto known = converted.find(dos);
                if (known == converted.end())
                    known = converted.emplace(dos, DosDateTimeToTime(dos)).first;
                WideSetFileTime(file->Handle(), known->second);
            }
            file.reset();
            DoFileProgress(item.FileName, 100, poExtract, ppEnd, c);
        } catch (...) {
            file.reset();
            WideRemoveFile(writing);
            throw;
        }
        if (!written) {
            WideRemoveFile(writing);
            continue;
        }
        if (!direct && !WideReplaceFile(writing, target)) {
            WideRemoveFile(writing);
            throw EZAException(19, {target}, Name);
        }
        if (Options.SetAttributes && (attr & faReadOnly))
            WideSetAttributes(target, attr);
        ++processedItems_;
    }
    DoOverallProgress(100, poExtract, ppEnd, cancel);
    if (!refused.empty())
        throw EZAException(19, {refused}, Name);
}
