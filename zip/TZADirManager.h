#pragma once
// The directory of one open archive: finds the end record (and the ZIP64
// records behind it), loads the central directory, rebuilds it from the
// local headers when it is missing or damaged, and writes it back.
#include <cstdint>
#include <memory>
#include <vector>
#include <string>

#include "platform/rtl/Stream.h"
#include "zip/TZADirArray.h"
#include "zip/TZADirOwner.h"
#include "zip/ZipRecords.h"

class TZADirManager {
public:
    // The stream is not owned. For a new archive the owner's volume record
    // becomes the first volume and the owner's self-extractor stub, if any,
    // is copied to the start of the stream.
    TZADirManager(TStream* stream, TZADirOwner* archiver, bool newArchive);
    ~TZADirManager();
    TZADirManager(const TZADirManager&) = delete;
    TZADirManager& operator=(const TZADirManager&) = delete;

    void LoadCentralDirectory();
    // stream (when given) replaces the manager's stream first; atEnd writes
    // at the end of the stream instead of over an old directory.
    void SaveCentralDirectory(TStream* stream = nullptr, bool atEnd = false);

    // Searches the last 65600 bytes for an end record whose comment reaches
    // exactly to the end of the stream; fills EndRecord and Comment.
    bool FindEndOfCentralDir(uint32_t signature, int64_t& position, TEndOfCentralDir& record);
    bool ConfirmEndRecord(int64_t position);
    bool ReadZip64Locator(int64_t endRecordPosition);
    void ReadZip64EndRecord(int64_t endRecordPosition);
    bool RefindEndOfCentralDir();
    // Finds where the first directory item's local header really lies and
    // returns how far that is behind its stored offset.
    int64_t FindFirstLocalHeader(int64_t position);
    int64_t FindNextLocalHeader(int64_t position);
    bool FindDataDescriptor(int64_t position, TDataDescriptor& descriptor);
    void RebuildFromLocalHeaders();
    void CheckArchiveSize();
    void AdjustItemOffsets(uint64_t shift);
    bool HasZip64EndRecord() const { return Zip64EndRecord.RecordSize > 0; }

    TStream* GetStream() const { return stream_; }
    void SetStream(TStream* stream) { stream_ = stream; }
    TZADirOwner* GetArchiver() const { return archiver_; }
    bool IsNewArchive() const { return newArchive_; }
    // Position of the end record found by the last search (-1: none).
    int64_t EndRecordPosition() const { return endRecordPosition_; }

    bool ForeignStream = false;
    TZADirArray WorkItems;  // the archiver's working array
    TZADirArray Items;      // the directory, in central-directory order
    std::string Comment;
    TZip64EndOfCentralDirLocator Zip64Locator;
    TZip64EndOfCentralDir Zip64EndRecord;
    TEndOfCentralDir EndRecord;
    int64_t FirstLocalHeaderPos = 0;
    bool Zip64 = false;
    uint8_t ArchiverFlag = 0;
    int64_t CentralDirStart = 0;

private:
    void ResetEndRecord();
    uint32_t LocalSignature() const;
    void CopyStub();
    void LoadItems();
    // The directory of a multi-volume set: every header and the closing
    // records stay whole on one volume; disks and offsets are the volumes'.
    void SaveSpannedDirectory();
    // Fills the closing records for a directory of count items and
    // directorySize bytes starting at start on startDisk, whose records
    // begin at position on endDisk, and returns their bytes (ZIP64 records
    // when zip64, the end record, the comment).
    std::vector<uint8_t> MakeClosingRecords(bool zip64, uint32_t endDisk, uint32_t startDisk, uint64_t entriesOnLastDisk,
                                            uint64_t count, uint64_t directorySize, int64_t start, int64_t position);

    TStream* stream_ = nullptr;
    std::unique_ptr<TStream> ownedStream_;
    bool newArchive_ = false;
    TZADirOwner* archiver_ = nullptr;
    int64_t endRecordPosition_ = -1;
    int64_t zip64RecordPosition_ = 0;
    int32_t directoryDisk_ = 0;  // the volume the directory starts on
};
