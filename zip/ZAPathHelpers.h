#pragma once
// The archiver's path helpers over UTF-16 names: trailing delimiters, drive
// tests, removal of empty folder trees, absolute paths and the names stored
// in the archive. On disk the only delimiter is "/".
#include <cstdint>
#include <string>

#include "zip/WideFileSystem.h"

namespace ZAPath {

std::u16string IncludeTrailingBackslash(const std::u16string& path);
std::u16string ExcludeTrailingBackslash(const std::u16string& path);
bool DirectoryExists(const std::u16string& path);
bool FileExists(const std::u16string& path);
// Bytes of a wide string.
size_t ByteLength(const std::u16string& s);
// The attributes, or faSysFile when they cannot be read although a search
// finds the entry; INVALID_FILE_ATTRIBUTES for a missing one.
uint32_t FileGetAttr(const std::u16string& path);
// MS-DOS date and time of a file, -1 for a missing file or a folder.
int32_t FileAge(const std::u16string& path);
std::u16string ExpandFileName(const std::u16string& name);
std::u16string GetCurrentDir();

// There are no floppy drives here; removable media are asked of the file
// layer's replaceable test (WideIsRemovable).
bool IsFloppyDrive(const std::u16string& path);
bool IsRemovableDrive(const std::u16string& path);

// Removes path (ending with "/") and every folder below it, deepest first;
// false, with the branches above any remaining file left in place, when a
// folder cannot be removed.
bool RemoveEmptyFolders(const std::u16string& path);

// Absolute path of name against baseDir (or defaultDir, or the current
// folder when both are empty).
std::u16string ExpandPath(const std::u16string& baseDir, const std::u16string& name,
                          const std::u16string& defaultDir);

// The name stored in the archive for a file on disk. storePath takes the
// values of TZAStorePathMode: 0 no path, 1 relative path, 2 full path, 3 full
// path with drive.
std::u16string StoredName(const std::u16string& fileName, const std::u16string& baseDir,
                          uint8_t storePath, const std::u16string& defaultDir);
// The same for a name already expanded (ExpandPath), below a base already
// expanded (ExpandPath(baseDir, u"", defaultDir)): a caller adding many
// files expands the base once.
std::u16string StoredNameOfExpanded(const std::u16string& full, const std::u16string& base, uint8_t storePath,
                                    const std::u16string& defaultDir);

} // namespace ZAPath
