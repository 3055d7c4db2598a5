#include "platform/shell/PrivateCopy.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/shell/Shell.h"

namespace {

const char kAppFolder[] = "VelmoraVoravev";

bool CopyBytes(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += w;
        }
    }
}

} // namespace

std::string PrivateCacheFolder(const std::string& area)
{
    const std::string root = GetUserCacheFolder();
    if (root.empty())
        return {};
    const std::string app = root + "/" + kAppFolder;
    const std::string folder = app + "/" + area;
    if (!ForceDirectories(root, 0700) || !ForcePrivateFolder(app) || !ForcePrivateFolder(folder))
        return {};
    return folder + "/";
}

void PrunePrivateCopies(const std::string& areaFolder, std::time_t maxAgeSeconds)
{
    DIR* dir = ::opendir(areaFolder.c_str());
    if (!dir)
        return;
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> old;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st{};
        const std::string path = areaFolder + name;
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && now - st.st_mtime > maxAgeSeconds)
            old.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : old)
        DeleteFolderTree(path);
}

std::string MakePrivateCopy(const std::string& file, const std::string& area, const std::string& copyName, int* error,
                            std::time_t maxAgeSeconds)
{
    int ignored;
    int& err = error ? *error : ignored;
    // Open the source first: a missing or unreadable file is the caller's
    // error to report, not a failure of the cache.
    const int from = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        err = errno;
        return {};
    }
    struct stat st{};
    if (::fstat(from, &st) != 0 || !S_ISREG(st.st_mode)) {
        err = EISDIR;
        ::close(from);
        return {};
    }
    const std::string folder = PrivateCacheFolder(area);
    if (folder.empty()) {
        err = EACCES;
        ::close(from);
        return {};
    }
    PrunePrivateCopies(folder, maxAgeSeconds);
    std::string unique = folder + "XXXXXX";
    if (!::mkdtemp(unique.data())) {
        err = errno;
        ::close(from);
        return {};
    }
    std::string name = copyName;
    if (name.empty()) {
        const auto slash = file.find_last_of('/');
        name = slash == std::string::npos ? file : file.substr(slash + 1);
    }
    const std::string copy = unique + "/" + name;
    const int to = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool ok = to >= 0 && CopyBytes(from, to);
    if (!ok)
        err = errno;
    if (to >= 0 && ::close(to) != 0 && ok) {
        err = errno;
        ::close(from);
        DeleteFolderTree(unique);
        return {};
    }
    ::close(from);
    if (!ok) {
        DeleteFolderTree(unique);
        return {};
    }
    return copy;
}
