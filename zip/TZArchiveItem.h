#pragma once
// The search record that the archiver's find operations fill.
#include <cstdint>
#include <string>

struct TZArchiveItem {
    std::u16string FileName;    // without its folder
    std::u16string StoredPath;  // folder part with its trailing "\"
    int64_t CompressedSize = 0;
    int64_t UncompressedSize = 0;
    double CompressionRate = 0;
    bool Encrypted = false;
    uint16_t LastModFileTime = 0;
    uint16_t LastModFileDate = 0;
    uint32_t CRC = 0;
    uint32_t ExternalFileAttributes = 0;
    std::string Comment;

    int32_t NextIndex = 0;
    std::u16string Mask;
    bool MaskHasWildcards = false;
    int32_t SearchAttr = 0;
    std::u16string ExclusionMask;
    bool UseArchiverMasks = false;
};
