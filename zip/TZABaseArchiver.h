#pragma once
// The archiver component: opens, creates and changes ZIP archives on disk,
// in memory or in a caller's stream. Every change runs inside an update
// transaction that is committed as a whole or rolled back.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/Stream.h"
#include "zip/TDirItem.h"
#include "zip/TUniStringList.h"
#include "zip/TZADirManager.h"
#include "zip/TZADirOwner.h"
#include "zip/TZAItemCipher.h"
#include "zip/TZAItemEncoder.h"
#include "zip/TZArchiveItem.h"
#include "zip/TZAWorkerPool.h"
#include "zip/ZACompression.h"

enum TZip64Mode : uint8_t { zmDisabled, zmAuto, zmAlways };
enum TZACryptoAlgorithm : uint8_t { caPkzipClassic, caAES_128, caAES_192, caAES_256 };
enum TZAProgressPhase : uint8_t { ppStart, ppProcess, ppEnd };
enum TZAAction : uint8_t { fxaRetry, fxaIgnore, fxaAbort };

class TZABaseArchiver;

using TZAFileProgressEvent = std::function<void(TZABaseArchiver* sender, const std::u16string& fileName,
                                                double progress, TZAProcessOperation operation,
                                                TZAProgressPhase phase, bool& cancel)>;
using TZAProgressEvent = std::function<void(TZABaseArchiver* sender, double progress,
                                            TZAProcessOperation operation, TZAProgressPhase phase, bool& cancel)>;
using TZACopyTempFileProgressEvent =
    std::function<void(TZABaseArchiver* sender, double progress, TZAProgressPhase phase, bool& cancel)>;
using TZAConfirmOverwriteEvent = std::function<void(TZABaseArchiver* sender, const std::u16string& sourceFileName,
                                                    std::u16string& destFileName, bool& confirm)>;
using TZAConfirmProcessFileEvent = std::function<void(TZABaseArchiver* sender, const std::u16string& fileName,
                                                      TZAProcessOperation operation, bool& confirm)>;
using TNotifyEvent = std::function<void(TZABaseArchiver* sender)>;
using TZAOnPasswordEvent = std::function<void(TZABaseArchiver* sender, const std::u16string& fileName,
                                              std::string& newPassword, bool& skipFile)>;
using TZAProcessFileFailureEvent =
    std::function<void(TZABaseArchiver* sender, const std::u16string& fileName, TZAProcessOperation operation,
                       int32_t nativeError, int32_t errorCode, const std::u16string& errorMessage,
                       TZAAction& action)>;
using TZAOnRequestBlankVolumeEvent = std::function<void(TZABaseArchiver* sender, int32_t volumeNumber,
                                                        std::u16string& volumeFileName, bool& cancel)>;
using TZAOnRequestFirstVolumeEvent =
    std::function<void(TZABaseArchiver* sender, std::u16string& volumeFileName, bool& cancel)>;
using TZAOnRequestLastVolumeEvent = TZAOnRequestFirstVolumeEvent;
using TZAOnRequestMiddleVolumeEvent = TZAOnRequestBlankVolumeEvent;
using TZAOnDiskFullEvent = std::function<void(TZABaseArchiver* sender, int32_t volumeNumber,
                                              const std::u16string& volumeFileName, bool& cancel)>;
using TZAOnStoreFileEvent = std::function<void(TZABaseArchiver* sender, std::u16string& fileName, uint32_t& fileAttr,
                                               std::string& comment, const std::u16string& originalFileName)>;
using TZAOnExtractFileEvent = std::function<void(TZABaseArchiver* sender, std::u16string& fileName,
                                                 uint32_t& fileAttr, const std::string& comment)>;

struct TEncodedItem;
struct TDecodedItem;
struct TWideFileInfo;

class TZABaseArchiver : public TZADirOwner {
public:
    TZABaseArchiver();
    // Closes the archive (committing what is pending) and never throws.
    ~TZABaseArchiver() override;
    TZABaseArchiver(const TZABaseArchiver&) = delete;
    TZABaseArchiver& operator=(const TZABaseArchiver&) = delete;

    // ---- properties
    bool ExtractCorruptedFiles = false;
    // Threads that compress and encrypt the items of a commit, and decrypt
    // and inflate items being extracted, while this object's own thread does
    // the reading, writing and events in item order. 1 does all the work on
    // the calling thread. The archive's bytes do not depend on it.
    int WorkerCount = DefaultArchiverWorkers();
    TZACompressionLevel GetCompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(TZACompressionLevel level);
    uint8_t GetCompressionMode() const { return compressionMode_; }
    void SetCompressionMode(uint8_t mode);  // code 5 above 9
    std::u16string GetCurrentVersion() const;
    void SetCurrentVersion(const std::u16string&) {}
    const std::string& GetPassword() const { return password_; }
    virtual void SetPassword(const std::string& value);
    std::u16string FileName;
    std::u16string BaseDir;
    std::u16string TempDir;
    TZASpanningMode GetSpanningModeValue() const { return spanningMode_; }
    void SetSpanningMode(TZASpanningMode mode);
    TZASpanningOptions SpanningOptions;
    std::u16string SFXStub;
    TZAOptions Options;
    TUniStringList FileMasks;
    TUniStringList ExclusionMasks;
    TUniStringList NoCompressionMasks;
    void SetFileMasks(const TUniStrings& list) { AssignList(FileMasks, list); }
    void SetExclusionMasks(const TUniStrings& list) { AssignList(ExclusionMasks, list); }
    void SetNoCompressionMasks(const TUniStrings& list) { AssignList(NoCompressionMasks, list); }
    bool GetInMemory() const { return inMemory_; }
    void SetInMemory(bool value);
    TZip64Mode Zip64Mode = zmAuto;
    bool UnicodeFilenames = true;
    TZACryptoAlgorithm EncryptionMethod = caPkzipClassic;
    std::string Name;  // component name, prefixed to exception messages

    bool GetActive() const { return active_; }
    void SetActive(bool value);
    std::string GetComment() const;
    void SetComment(const std::string& comment);
    // The compression method new items get: 0 stored, 8 deflate, 0xFFFF unset.
    uint16_t GetCompressionMethod() const { return compressionMethod_; }
    int32_t GetUpdateCount() const { return updateCount_; }
    uint16_t GetOpenMode() const { return openMode_; }

    // ---- events
    TZAFileProgressEvent OnFileProgress;
    TZAProgressEvent OnOverallProgress;
    TZACopyTempFileProgressEvent OnCopyTempFileProgress;
    TZAConfirmOverwriteEvent OnConfirmOverwrite;
    TZAConfirmProcessFileEvent OnConfirmProcessFile;
    TNotifyEvent AfterOpen;
    TZAOnPasswordEvent OnPassword;
    TZAProcessFileFailureEvent OnProcessFileFailure;
    TZAOnRequestBlankVolumeEvent OnRequestBlankVolume;
    TZAOnRequestFirstVolumeEvent OnRequestFirstVolume;
    TZAOnRequestLastVolumeEvent OnRequestLastVolume;
    TZAOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
    TZAOnDiskFullEvent OnDiskFull;
    TZAOnStoreFileEvent OnStoreFile;
    TZAOnExtractFileEvent OnExtractFile;

    // ---- opening and closing
    // Chooses the mode: create when in memory or when the file is missing,
    // else read-write (34) when the file allows it, read-only (64) otherwise.
    void OpenArchive();
    // 0xFFFF creates; a smaller value opens the existing file with that mode.
    // A file on disk is created under a temporary name in its folder and
    // takes its own name only when it is closed whole.
    void OpenArchive(uint16_t mode);
    // Works on a caller's stream, which stays the caller's.
    void OpenArchive(TStream& stream, bool create);
    void CloseArchive();

    // ---- transactions
    void BeginUpdate();
    void EndUpdate();
    void ResetUpdate();
    void AddInOwnUpdate(const std::function<void()>& add);
    void RecordSourceSize(TDirItem& item, uint64_t size) const;

    // ---- items
    void AddFromStream(const std::u16string& fileName, TStream& stream, bool copyToBuffer = true,
                       int64_t position = 0, int64_t count = 0, uint32_t attr = 0x20, double dateTime = 0);
    // Adds one file or folder from disk, its stored name built from
    // Options.StorePath and BaseDir.
    void AddFile(const std::u16string& fileName);
    void ExtractToStream(const std::u16string& fileName, TStream& stream);
    // The same for item number index, for callers that choose among items
    // of one name themselves (the name lookup answers the last of them).
    void ExtractItemToStream(int index, TStream& stream);
    // ExtractItemToStream for each item number and its stream in turn, with
    // the same events in the same order, while later items are already being
    // decrypted and inflated on the worker threads. An empty memory stream
    // that no other item shares is written by a worker, so nothing may touch
    // the streams until the call returns; when it throws, the streams of
    // later items may already hold their bytes. `whole`, when given, is
    // called on that worker with the item's position in `items` once its
    // stream holds the item whole and checked; it must be safe to call on
    // any thread and may throw nothing.
    void ExtractToStreams(const std::vector<std::pair<int, TStream*>>& items,
                          const std::function<void(size_t)>& whole = {});
    // Extracts every item matching mask into destDir. Items whose names
    // would leave destDir are not written; they are reported afterwards.
    void ExtractFiles(const std::u16string& mask, const std::u16string& destDir);

    bool FindFirst(const std::u16string& mask, TZArchiveItem& record, int32_t searchAttr = 10431,
                   const std::u16string& exclusionMask = std::u16string());
    bool FindNext(TZArchiveItem& record);
    bool FindItemIndex(const std::u16string& name, int& index);
    int ItemCount() const;
    const TDirItem& Item(int index) const;

    // ---- event dispatchers
    virtual void DoOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase,
                                   bool& cancel);
    virtual void DoFileProgress(const std::u16string& fileName, double progress, TZAProcessOperation operation,
                                TZAProgressPhase phase, bool& cancel);
    virtual void DoCopyTempFileProgress(double progress, TZAProgressPhase phase, bool& cancel);
    virtual void DoConfirmOverwrite(const std::u16string& sourceFileName, std::u16string& destFileName,
                                    bool& confirm);
    virtual void DoConfirmProcessFile(const std::u16string& fileName, TZAProcessOperation operation, bool& confirm);
    virtual void DoPassword(const std::u16string& fileName, std::string& newPassword, bool& skipFile);
    virtual void DoProcessFileFailure(const std::u16string& fileName, TZAProcessOperation operation,
                                      TZAAction& action, const std::u16string& errorMessage, int32_t errorCode,
                                      int32_t nativeError);
    virtual void DoRequestBlankVolume(int32_t volumeNumber, std::u16string& volumeFileName, bool& cancel);
    virtual void DoRequestFirstVolume(std::u16string& volumeFileName, bool& cancel);
    virtual void DoRequestLastVolume(std::u16string& volumeFileName, bool& cancel);
    virtual void DoRequestMiddleVolume(int32_t volumeNumber, std::u16string& volumeFileName, bool& cancel);
    virtual void DoDiskFull(int32_t volumeNumber, const std::u16string& volumeFileName, bool& cancel);
    virtual void DoStoreFile(std::u16string& fileName, uint32_t& fileAttr, std::string& comment,
                             const std::u16string& originalFileName);
    virtual void DoExtractFile(std::u16string& fileName, uint32_t& fileAttr, const std::string& comment);

    // ---- TZADirOwner
    TZAOptions& GetOptions() override { return Options; }
    TZASpanningMode GetSpanningMode() const override { return spanningMode_; }
    TZASpanningOptions& GetSpanningOptions() override { return SpanningOptions; }
    TZAVolumeNumberInfo& GetVolumeInfo() override { return volumeInfo_; }
    bool UsesStandardSignatures() const override { return standardSignatures_; }
    bool IsTolerant() const override { return tolerant_; }
    std::u16string GetSFXStub() const override { return SFXStub; }

    // ---- volumes of a multi-volume set
    // The name of a volume (-1: the last) derived from fileName. With
    // checkExists the names other tools give (upper-case extensions, the
    // other naming scheme) are tried when the first choice is missing.
    void GetVolumeFileName(std::u16string& fileName, int32_t volumeNumber, bool checkExists);
    static bool IsExeFileName(const std::u16string& fileName);
    int64_t GetFreeSpace(const std::u16string& fileName);
    // Makes the volume current (asking for it through the volume events) and
    // returns its stream; null when a request was answered with no name.
    TStream* OpenVolume(const TZAVolumeNumberInfo& volume) override;
    TStream* PlaceDirectoryPiece(TStream& stream, int64_t count) override;
    bool ReadVolumeBytes(int32_t volume, int64_t offset, void* buffer, int64_t count) override;
    const std::u16string& GetVolumeFile() const { return volumeFileName_; }

    // Search helpers (public so that the matching rules can be checked).
    static bool MatchMask(const std::u16string& name, const std::u16string& mask);
    static bool AttributesMatch(uint32_t itemAttributes, int32_t searchAttributes);

protected:
    virtual void UpdateCompressionMethod();
    // The cipher of an item. Classic PKWARE items get TZAPkzipCipher; other
    // kinds (AES) are served by an override, and raise here.
    virtual std::unique_ptr<TZAItemCipher> CreateItemCipher(const TDirItem& item, const std::string& password);
    // Extra fields that the item cipher needs in the local and central
    // headers, and the method the local header then carries.
    virtual void AddCipherExtraFields(TDirItem& item, std::vector<TZAExtraField>& local, uint16_t& localMethod);
    // Where a new archive's bytes go; multi-volume archivers replace it.
    virtual std::unique_ptr<TStream> CreateArchiveStream(const std::u16string& fileName);

    bool standardSignatures_ = false;
    uint16_t compressionMethod_ = 0xFFFF;

private:
    friend class TZABaseArchiverTestAccess;
    void AssignList(TUniStringList& target, const TUniStrings& source);
    void CheckOpen() const;
    void CheckNoUpdate() const;
    void CheckSpannedModification() const;
    void ReleaseArchive(bool keepCreatedFile);

    // commit
    void CommitUpdate();
    void RestoreSnapshot();
    void Rollback(int64_t writePosition);
    void CopyItemData(int index, TStream& source, int64_t sourceBase, TStream& out);
    // The snapshot item a working item stands for; -1 when there is none.
    int SnapshotIndexOf(int index) const;
    // Fires the file and overall progress of a piece of an item; false (and
    // the cancel flag set) when a handler cancels.
    bool ReportProgress(const std::u16string& name, double percent, TZAProcessOperation operation);
    // With `prepared`, the item's data was encoded ahead on a worker.
    bool StoreItem(int index, TStream& out, TEncodedItem* prepared = nullptr);
    // The item's source stream (opened when it is a file), where its data
    // starts and how many bytes follow there.
    std::shared_ptr<TStream> OpenItemSource(const TDirItem& item, int64_t& start, int64_t& size) const;
    // The task that encodes an item ahead of its store; made on this thread.
    std::function<void()> MakeEncodeJob(int index, const std::shared_ptr<TEncodedItem>& result,
                                        const std::shared_ptr<std::atomic<bool>>& stop);
    bool WriteWithDiskFullRetry(TStream& stream, const void* buffer, int64_t count);
    void FinishReplacement(std::unique_ptr<TStream> newStream, const std::u16string& newName);

    // registration and extraction
    // With info, the file's attributes and age are those given (looked up
    // once by the caller) instead of being looked up again, and source is
    // already expanded.
    int PrepareItemForAdd(const std::u16string& source, double dateTime, uint32_t attr, bool isFile,
                          bool isFolder, const TWideFileInfo* info = nullptr);
    // BaseDir expanded (ZAPath::ExpandPath), once per update transaction.
    const std::u16string& ExpandedBaseDir();
    void InitNewItem(int index, const std::u16string& storedName, int32_t dosDateTime, uint32_t attr, bool isFolder);
    bool InternalFind(TZArchiveItem& record);
    bool IsItemMatched(int index, const TZArchiveItem& record);
    void ExtractItem(int index, TStream& dest);
    // False when the item was skipped through OnPassword.
    // With `prepared`, the item was decoded ahead on a worker.
    bool ExtractItemData(int index, TStream& dest, TDecodedItem* prepared = nullptr);
    bool DecodeItem(int index, TStream& dest, bool& skipped, TDecodedItem* prepared);
    // Writes and reports an item decoded ahead as DecodeItem would have.
    bool ReplayDecodedItem(const TDirItem& item, TDecodedItem& decoded, TStream& dest);
    // Reads an item and checks its password with the current one; returns
    // the task that decodes it, or nothing when the extraction is better
    // left to decode it itself (damage, another password, no room).
    std::function<void()> MakeDecodeJob(int index, const std::shared_ptr<TDecodedItem>& result, uint64_t& bytes);
    // Finds the item by fileName unless that is null, then extracts it,
    // taking its decoding from ahead when it was decoded there.
    void ExtractOneToStream(const std::u16string* fileName, int index, TStream& stream,
                            class TZADecodeAhead* ahead);
    std::u16string GetTempFileName(const std::u16string& nearFile);

    // multi-volume sets (TZAVolumes.cpp)
    // True while a set being created still takes bytes.
    bool WritingVolumes() const
    {
        return spanningMode_ != smNone && !volumesWritten_ && openMode_ == 0xFFFF && !inMemory_ && !externalStream_;
    }
    void OpenVolumeFile(const std::u16string& fileName);
    void CreateVolumeSet();
    void OpenExistingVolume();
    void DetectSpanningMode(int32_t thisDisk);
    int64_t VolumeRoom(TStream* pending);
    void NextVolume(TStream* pending);
    int64_t WriteToVolumes(const void* buffer, int64_t count, TStream* pending, int64_t reserve);
    void WriteToVolumesChecked(const void* buffer, int64_t count, TStream* pending, int64_t reserve);
    void CopyToVolumes(TStream& source, bool progress, TStream* pending, int64_t reserve, int64_t count,
                       bool& cancel);
    void FinishVolumeSet(int64_t itemsEnd);
    void ReleaseVolumes();

    TZACompressionLevel compressionLevel_ = clFastest;
    uint8_t compressionMode_ = 1;
    std::string password_;
    TZASpanningMode spanningMode_ = smNone;
    bool inMemory_ = false;
    bool active_ = false;
    bool tolerant_ = true;
    bool externalStream_ = false;
    bool committedOnce_ = false;
    bool cancel_ = false;
    bool fileProgress_ = false;
    bool defaultPasswordAnswer_ = false;
    bool commentDirty_ = false;
    int32_t updateCount_ = 0;
    uint16_t openMode_ = 0;
    TZAVolumeNumberInfo volumeInfo_;

    // Where the archive lives while it is open: a created file is written
    // under createdTempName_ until it is closed whole; an existing file is
    // replaced by a rewritten copy on each commit.
    std::unique_ptr<TStream> ownedStream_;
    TStream* stream_ = nullptr;
    std::unique_ptr<TZADirManager> dir_;
    TZADirArray snapshot_;
    std::string snapshotComment_;
    std::u16string createdTempName_;
    bool createFailed_ = false;
    bool replaceOnCommit_ = false;

    // Volumes: the one being written or read, the finished last volume of a
    // set just written, the volumes this session created (removed again
    // unless the set is completed), the linear file the items are stored in
    // before they are spread over the volumes.
    std::unique_ptr<TStream> volumeStream_;
    std::u16string volumeFileName_;
    std::unique_ptr<TStream> lastVolumeStream_;
    std::vector<std::u16string> createdVolumes_;
    std::u16string volumeTempName_;
    bool volumesWritten_ = false;
    bool volumeSetOpened_ = false;
    int32_t lastVolume_ = 0;

    int64_t processedItems_ = 0, itemsToProcess_ = 0;
    uint64_t totalBytes_ = 0, processedBytes_ = 0;
    uint64_t currentItemSize_ = 0;
    // Where StoreItem gathers an item's bytes; kept to spare an allocation
    // per item.
    std::vector<uint8_t> storeBuffer_;
    // Where an item encoded on the archiver's own thread is deflated whole.
    TZAByteBuffer encodeBuffer_;
    // The archive stream's size during ExtractFiles, which only reads it;
    // -1 otherwise.
    int64_t streamSizeWhileExtracting_ = -1;
    // ExpandedBaseDir's answer and the BaseDir it was found for; forgotten
    // when a transaction starts.
    std::u16string expandedBaseDir_, expandedBaseDirOf_;
    bool expandedBaseDirKnown_ = false;
};

// A class-library date-time (days since 1899-12-30, local time) as a packed
// MS-DOS date and time; 0 outside the years 1980 to 2107.
int32_t DateTimeToDosDateTime(double dateTime);

class EZAException;
// The archive's write error for a write into stream that fell short, with
// the cause the system gave when the stream kept it (a full disk is named
// as such); fileName names the file being written.
EZAException ArchiveWriteError(TStream* stream, const std::u16string& fileName, const std::string& component);
double DosDateTimeToDateTime(int32_t dosDateTime);
