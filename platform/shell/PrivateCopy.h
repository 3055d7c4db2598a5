#pragma once
// Copies of files handed to other programs (a PDF viewer, the mail client, a
// downloaded update) that must outlive the folder they came from: each lands
// in a fresh folder of its own under a private per-user folder of the cache
// ($XDG_CACHE_HOME/VelmoraVoravev/<area>/, mode 0700), and copies older than
// maxAgeSeconds are removed whenever a new one is made.
#include <ctime>
#include <string>

// The area folder, ending in "/"; empty when no cache folder is known.
std::string PrivateCacheFolder(const std::string& area);

// Copies file as copyName (its own name when empty) and returns the copy's
// path (mode 0600), or empty on failure with *error set to the errno
// (ENOENT: the file is missing, EACCES: it cannot be read).
std::string MakePrivateCopy(const std::string& file, const std::string& area, const std::string& copyName = {},
                            int* error = nullptr, std::time_t maxAgeSeconds = 24 * 60 * 60);

// Removes the copies in the area folder that are older than maxAgeSeconds.
void PrunePrivateCopies(const std::string& areaFolder, std::time_t maxAgeSeconds);
