#include "platform/rtl/StaleTemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

// The names mkstemp makes from the two patterns: the prefix and six
// letters or digits.
bool IsTemporaryName(const char* name)
{
    size_t prefix = 0;
    if (std::strncmp(name, ".save-", 6) == 0)
        prefix = 6;
    else if (std::strncmp(name, ".za", 3) == 0)
        prefix = 3;
    else
        return false;
    const char* rest = name + prefix;
    if (std::strlen(rest) != 6)
        return false;
    for (const char* c = rest; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z')))
            return false;
    return true;
}

using FileId = std::pair<dev_t, ino_t>;

// Every file that some process of the user holds open. The processes of
// other users cannot be looked into, but their files are never removed.
std::set<FileId> FilesHeldOpen(uid_t user)
{
    std::set<FileId> held;
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return held;
    while (const dirent* process = ::readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9')
            continue;
        const std::string base = std::string("/proc/") + process->d_name;
        struct stat owner {};
        if (::stat(base.c_str(), &owner) != 0 || (owner.st_uid != user && user != 0))
            continue;
        const std::string fds = base + "/fd";
        DIR* descriptors = ::opendir(fds.c_str());
        if (!descriptors)
            continue;
        while (const dirent* fd = ::readdir(descriptors)) {
            if (fd->d_name[0] == '.')
                continue;
            struct stat st {};
            if (::stat((fds + "/" + fd->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                held.emplace(st.st_dev, st.st_ino);
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return held;
}

} // namespace

void RemoveStaleTemporaryFiles(const std::string& folder)
{
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR* entries = ::fdopendir(dirFd);
    if (!entries) {
        ::close(dirFd);
        return;
    }
    const uid_t user = ::geteuid();
    std::vector<std::pair<std::string, FileId>> candidates;
    while (const dirent* entry = ::readdir(entries)) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == user)
            candidates.emplace_back(entry->d_name, FileId{st.st_dev, st.st_ino});
    }
    if (!candidates.empty()) {
        const std::set<FileId> held = FilesHeldOpen(user);
        for (const auto& [name, id] : candidates) {
            // Removed only while the name still is the file that was checked.
            struct stat now {};
            if (held.count(id) == 0 && ::fstatat(dirFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                FileId{now.st_dev, now.st_ino} == id)
                ::unlinkat(dirFd, name.c_str(), 0);
        }
    }
    ::closedir(entries);
}
