#pragma once
// Folders of the desktop session and whole-folder file operations.
#include <string>
#include <sys/types.h>

// The user's home folder: $HOME when it is an absolute path, else the home
// the password database gives the effective user; empty when neither does.
std::string GetHomeFolder();
// $XDG_DATA_HOME, else ~/.local/share (no trailing "/"); empty when neither
// that variable nor a home folder is usable.
std::string GetLocalAppDataFolder();
// $XDG_CONFIG_HOME, else ~/.config (no trailing "/"); empty as above.
std::string GetUserConfigFolder();
// $XDG_CACHE_HOME, else ~/.cache (no trailing "/"); empty as above.
std::string GetUserCacheFolder();
// $TMPDIR when it names an existing folder, else "/tmp"; ends in "/".
std::string GetTempFolder();

// The per-user folder named after key under the temp folder
// (GetTempFolder() + key + "-" + effective uid), ending in "/". Not created.
std::string GetUserTempFolder(const std::string& key);

// Makes folder (its parent must exist) a private folder of the current user:
// created with mode 0700 when missing; an existing one must be a real folder
// (checked with lstat: a link someone planted in a shared folder does not
// count) owned by the effective user, and is tightened to 0700 when others
// may enter it. False when it cannot be made so; nothing is written then.
bool ForcePrivateFolder(const std::string& folder);

// Creates the folder with every missing level; true when it exists afterwards.
bool ForceDirectories(const std::string& path, mode_t mode = 0777);
// Removes the folder with everything in it (symbolic links are removed, not
// followed). Refuses "", "/" and anything that is not a folder; true when
// the folder was there and is gone.
bool DeleteFolderTree(const std::string& path);

// The running program's file (from /proc/self/exe); empty when unknown.
std::string GetExecutablePath();
// The folder of the running program's file, ending in "/"; empty when unknown.
std::string GetExecutableFolder();
