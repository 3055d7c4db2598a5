#include "platform/rtl/StaleTemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <set>
#include <utility>
#include <vector>

namespace {

// The program's mark, between the name of the file a temporary file is
// made for and the six characters mkstemp fills in.
constexpr char kMark[] = ".velmora-";
constexpr size_t kMarkLength = sizeof kMark - 1;
constexpr size_t kRandomLength = 6;

bool IsRandomPart(const char* rest)
{
    if (std::strlen(rest) != kRandomLength)
        return false;
    for (const char* c = rest; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z')))
            return false;
    return true;
}

// Names a long name in 16 hexadecimal digits (64-bit FNV-1a): only the
// program's own leftovers carry it, so a clash costs nothing but the
// removal of another leftover of the program.
std::string NameDigest(const std::string& name)
{
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : name) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
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

std::string TemporaryNamePrefix(const std::string& name)
{
    // The dot in front, the mark and the random part must fit in a name.
    constexpr size_t room = NAME_MAX - 1 - kMarkLength - kRandomLength;
    if (name.size() <= room)
        return "." + name + kMark;
    // The start of the name, cut where no UTF-8 character is split, so that
    // a user who finds a leftover still sees what it was for.
    size_t keep = room - 1 - 16;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + name.substr(0, keep) + "~" + NameDigest(name) + kMark;
}

void RemoveStaleTemporaryFiles(const std::string& folder, const std::string& name)
{
    // No age and no content is looked at: the mark with the target's name
    // tells the program's own file, and a save still running (in this or in
    // another process of the user) holds its temporary file open.
    const std::string prefix = TemporaryNamePrefix(name);
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
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0 ||
            !IsRandomPart(entry->d_name + prefix.size()))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == user)
            candidates.emplace_back(entry->d_name, FileId{st.st_dev, st.st_ino});
    }
    if (!candidates.empty()) {
        const std::set<FileId> held = FilesHeldOpen(user);
        for (const auto& [leftover, id] : candidates) {
            // Removed only while the name still is the file that was checked.
            struct stat now {};
            if (held.count(id) == 0 && ::fstatat(dirFd, leftover.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                FileId{now.st_dev, now.st_ino} == id)
                ::unlinkat(dirFd, leftover.c_str(), 0);
        }
    }
    ::closedir(entries);
}

int CreateTemporaryFile(const std::string& folder, const std::string& name, std::string& path)
{
    std::string pattern = folder.empty() ? std::string() : folder.back() == '/' ? folder : folder + "/";
    pattern += TemporaryNamePrefix(name) + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0)
        path = pattern;
    return fd;
}
