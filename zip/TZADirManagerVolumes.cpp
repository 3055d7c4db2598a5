// Writing the directory of a multi-volume set.
#include <algorithm>
#include <vector>

#include "zip/EZAException.h"
#include "zip/TZADirManager.h"

void TZADirManager::SaveSpannedDirectory()
{
    const bool oem = archiver_->GetOptions().OEMFileNames;
    const uint64_t count = uint64_t(Items.Count());
    TZAVolumeNumberInfo& volume = archiver_->GetVolumeInfo();

    // Each header goes whole onto one volume, so that a reader that stops at
    // a volume's end never holds half a header. The directory starts where
    // its first header lands, which may be the next volume.
    int32_t startDisk = -1;
    int64_t start = 0;
    uint64_t directorySize = 0;
    uint64_t entriesOnLastDisk = 0;
    int32_t disk = std::max(volume.VolumeNumber, 0);
    for (int i = 0; i < Items.Count(); ++i) {
        const std::vector<uint8_t> header = EncodeCentralHeader(Items.ItemAt(i), oem);
        stream_ = archiver_->PlaceDirectoryPiece(*stream_, int64_t(header.size()));
        const int32_t now = std::max(volume.VolumeNumber, 0);
        if (now != disk)
            entriesOnLastDisk = 0;
        disk = now;
        if (startDisk < 0) {
            startDisk = disk;
            start = stream_->GetPosition();
        }
        archiver_->WriteDirectoryBytes(*stream_, header.data(), int64_t(header.size()));
        directorySize += header.size();
        ++entriesOnLastDisk;
    }

    // The closing records travel together: ZIP64 records (when needed), the
    // end record and the comment, all on the last volume.
    const int64_t trailerSize = TEndOfCentralDir::kSize + int64_t(Comment.size());
    const int64_t zip64Size = TZip64EndOfCentralDir::kSize + TZip64EndOfCentralDirLocator::kSize;
    auto needsZip64 = [&](int32_t endDisk, int64_t position) {
        return count >= 65535 || endDisk >= 65535 || uint64_t(start) >= 0xFFFFFFFFu ||
               directorySize >= 0xFFFFFFFFu || uint64_t(position) >= 0xFFFFFFFFu;
    };
    // Whether ZIP64 records are needed depends on the volume the records land
    // on; asking for room for the larger form settles both.
    int64_t position = stream_->GetPosition();
    bool zip64 = needsZip64(std::max(volume.VolumeNumber, 0), position);
    stream_ = archiver_->PlaceDirectoryPiece(*stream_, trailerSize + (zip64 ? zip64Size : 0));
    int32_t endDisk = std::max(volume.VolumeNumber, 0);
    position = stream_->GetPosition();
    if (!zip64 && needsZip64(endDisk, position)) {
        zip64 = true;
        stream_ = archiver_->PlaceDirectoryPiece(*stream_, trailerSize + zip64Size);
        endDisk = std::max(volume.VolumeNumber, 0);
        position = stream_->GetPosition();
    }
    if (startDisk < 0) {
        startDisk = endDisk;
        start = position;
    }
    if (endDisk != disk)
        entriesOnLastDisk = 0;

    const std::vector<uint8_t> trailer = MakeClosingRecords(zip64, uint32_t(endDisk), uint32_t(startDisk),
                                                            entriesOnLastDisk, count, directorySize, start, position);
    archiver_->WriteDirectoryBytes(*stream_, trailer.data(), int64_t(trailer.size()));
    CentralDirStart = start;
    directoryDisk_ = startDisk;
}
