#pragma once
// The temporary files the program writes beside a file it replaces, and the
// leftovers of saves that were killed before they could remove theirs.
//
// A temporary file is named after the file it was made for, with the
// program's mark: ".<name>.velmora-XXXXXX" (six letters or digits from
// mkstemp). A name too long for that keeps its start and gains a digest of
// the whole name, so the temporary name never exceeds what a folder allows.
// Only names of that form are ever taken for leftovers: a file of the user
// such as ".save-thesis" or ".za2024" is never touched.
#include <string>

// The name, without the six random characters, of a temporary file made in
// a folder for the file called `name` there.
std::string TemporaryNamePrefix(const std::string& name);

// Creates a new temporary file for the file `name` in `folder` (empty: the
// current folder), open for reading and writing, close-on-exec. Returns the
// descriptor and its path in `path`, or -1 with errno set.
int CreateTemporaryFile(const std::string& folder, const std::string& name, std::string& path);

// Removes the leftovers made for the file `name` in `folder`: regular files
// of the current user with the name TemporaryNamePrefix(name) gives plus six
// letters or digits, that no process of the user holds open. Best effort:
// what cannot be checked or removed stays.
void RemoveStaleTemporaryFiles(const std::string& folder, const std::string& name);
