#pragma once
// A private folder of this run of the program under the shared temp folder.
//
// The temp folder is shared with every other user, so no fixed name is used
// there: the folder is made with mkdtemp as "<key>-<uid>-XXXXXX" (mode 0700,
// nobody else can have made it first) and holds a lock file that this
// process keeps locked until it ends, in any way. A later run can so tell
// the folders of runs that died without cleaning up from those still in use.
#include <string>

// The run folder for key, ending in "/", made at the first call (again when
// the temp folder changed or the folder has gone); empty, with errno set,
// when it cannot be made. Safe to call from several threads. It is removed with everything in
// it when the process ends normally.
std::string GetRunFolder(const std::string& key);

// Removes the run folders of key that belong to the current user and that no
// living process holds, and the numbered folders older versions left in the
// fixed "<key>-<uid>" folder. Never follows links and never touches a folder
// of another user. Returns how many folders went.
int RemoveAbandonedRunFolders(const std::string& key);
