#pragma once
// The archive library's file-system layer: UTF-16 names in, UTF-8 names on
// disk. Attributes follow the Windows bits the archive formats store:
// read-only when the owner may not write, hidden for names starting with ".",
// directory, archive for ordinary files.
#include <cstdint>
#include <dirent.h>
#include <functional>
#include <string>

inline constexpr uint32_t faReadOnly = 0x01;
inline constexpr uint32_t faHidden = 0x02;
inline constexpr uint32_t faSysFile = 0x04;
inline constexpr uint32_t faVolumeID = 0x08;
inline constexpr uint32_t faDirectory = 0x10;
inline constexpr uint32_t faArchive = 0x20;
inline constexpr uint32_t faAnyFile = 0x3F;
inline constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Open modes: low two bits access (0 read, 1 write, 2 both), bits 4-7
// sharing (0, 1 exclusive; 2 others may read; 3 others may write; 4 others
// may do both). Sharing is enforced between openers with advisory locks.
inline constexpr unsigned kCreateMode = 0xFFFF;

std::string WideToFileSystem(const std::u16string& name);
std::u16string FileSystemToWide(const std::string& name);

// Create-always, read and write, exclusive. Returns a descriptor or -1.
int WideCreateFile(const std::u16string& name);
// Creates a file that must not be there yet (no link is followed), with the
// usual permissions, for reading and writing. Returns a descriptor or -1.
int WideCreateNewFile(const std::u16string& name);
// Opens an existing regular file, as OpenOnlyRegularFile does (a folder,
// FIFO or device is refused before any open: EISDIR, ENODEV). Returns a
// descriptor or -1 (errno set); with size, the file's size as it was found
// open.
int WideOpenFile(const std::u16string& name, unsigned mode, int64_t* size = nullptr);

// Packed MS-DOS date and time (local time) of a file; -1 for a missing file
// or a folder.
int32_t WideGetFileAge(const std::u16string& name);
// Sets a file's modification time from a packed MS-DOS date and time.
bool WideSetFileAge(const std::u16string& name, int32_t dosDateTime);
// Sets the modification time of a file open as handle, in seconds since 1970.
bool WideSetFileTime(int handle, int64_t unixTime);
bool WideIsDirectory(const std::u16string& name);
bool WideIsFile(const std::u16string& name);
// A file or folder of that name is there (WideIsFile or WideIsDirectory),
// found with one look-up.
bool WideExists(const std::u16string& name);
uint32_t WideGetAttributes(const std::u16string& name);

// What one look-up tells of a file or folder: its attributes (as
// WideGetAttributes), its age (as WideGetFileAge: -1 for a folder) and its
// size (0 for a folder).
struct TWideFileInfo {
    uint32_t Attributes = INVALID_FILE_ATTRIBUTES;
    int32_t Age = -1;
    int64_t Size = 0;
    bool IsDirectory() const { return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & faDirectory) != 0; }
};
// False when nothing of that name is there.
bool WideGetFileInfo(const std::u16string& name, TWideFileInfo& info);
// Only the read-only bit has an effect on disk.
bool WideSetAttributes(const std::u16string& name, uint32_t attributes);
// Renames; fails when newName already exists, as the system call it stands
// for does.
bool WideMoveFile(const std::u16string& oldName, const std::u16string& newName);
// Renames over an existing file (atomic replace).
bool WideReplaceFile(const std::u16string& tempName, const std::u16string& fileName);
bool WideRemoveFile(const std::u16string& name);
bool WideRemoveDir(const std::u16string& name);
bool WideCreateDir(const std::u16string& name);

// Search record of the find operations.
struct TWideSearchRec {
    int32_t Time = 0;    // MS-DOS date and time, local
    int64_t Size = 0;
    uint32_t Attr = 0;
    std::u16string Name;
    uint32_t ExcludeAttr = 0;
    DIR* FindHandle = nullptr;
    std::string Folder;  // the folder searched, on-disk form, with "/"
    std::u16string Mask;
};

// path: a folder plus a wildcard mask ("/dir/*.jpg"). Entries whose
// attributes meet (~attr & (hidden|system|directory)) are skipped.
// Results: 0, or an errno code (ENOENT when nothing is left).
int WideFindStart(const std::u16string& path, uint32_t attr, TWideSearchRec& search);
int WideFindContinue(TWideSearchRec& search);
void WideFindEnd(TWideSearchRec& search);

std::u16string WideCurrentFolder();
// Absolute form of name, "." and ".." resolved by text (the disk is not read).
std::u16string WideFullName(const std::u16string& name);
std::u16string WideSystemMessage(int code);

// Creates an empty file with a name nobody can predict inside folder (empty:
// the current folder), named as a temporary file for the file forName there
// (see StaleTemporaryFiles.h), and returns its name, or empty on failure. With handle, the new
// file is left open for reading and writing in *handle, so it needs no
// second open (and no truncation of a file that is empty anyway).
std::u16string WideCreateTempFile(const std::u16string& folder, const std::u16string& forName,
                                  int* handle = nullptr);

// Free bytes on the file system that holds path (-1 when unknown), and
// whether path lies on a removable medium. Both can be replaced, e.g. by
// tests; an empty function restores the default.
using TDiskFreeFunc = std::function<int64_t(const std::u16string& path)>;
using TRemovableFunc = std::function<bool(const std::u16string& path)>;
void SetDiskFreeFunc(TDiskFreeFunc func);
void SetRemovableFunc(TRemovableFunc func);
int64_t WideDiskFree(const std::u16string& path);
bool WideIsRemovable(const std::u16string& path);

// Conversions between time_t and packed MS-DOS date and time (local time).
int32_t TimeToDosDateTime(int64_t unixTime);
int64_t DosDateTimeToTime(int32_t dosDateTime);
