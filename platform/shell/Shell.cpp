#include "platform/shell/Shell.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// XDG base directories must be absolute; relative values are to be ignored.
std::string XdgFolder(const char* variable, const char* homeRelative)
{
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    const std::string home = GetHomeFolder();
    return home.empty() ? home : home + "/" + homeRelative;
}

} // namespace

std::string GetHomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    // Started without HOME (a service, `env -i`): the account's own home,
    // never a shared folder someone else could have prepared.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    if (found && found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string GetLocalAppDataFolder()
{
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string GetUserCacheFolder()
{
    return XdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string GetUserConfigFolder()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string GetTempFolder()
{
    if (const char* tmp = std::getenv("TMPDIR"); tmp && tmp[0] == '/') {
        struct stat st{};
        if (::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode)) {
            std::string folder = tmp;
            if (folder.back() != '/')
                folder += '/';
            return folder;
        }
    }
    return "/tmp/";
}

std::string GetUserTempFolder(const std::string& key)
{
    return GetTempFolder() + key + "-" + std::to_string(::geteuid()) + "/";
}

bool ForcePrivateFolder(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST))
        return false;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 0077) == 0 || ::chmod(path.c_str(), 0700) == 0;
}

bool ForceDirectories(const std::string& path, mode_t mode)
{
    if (path.empty())
        return false;
    std::string partial;
    size_t pos = 0;
    while (true) {
        const size_t sep = path.find('/', pos);
        partial = path.substr(0, sep);
        if (!partial.empty() && ::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        if (sep == std::string::npos)
            break;
        pos = sep + 1;
    }
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFolderTree(const std::string& path)
{
    if (path.empty())
        return false;
    const fs::path normal = fs::path(path).lexically_normal();
    if (normal == "/" || normal == "." || normal == "..")
        return false;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(normal, ec);
    if (ec || !fs::is_directory(status))
        return false;
    fs::remove_all(normal, ec);
    return !ec && !fs::exists(fs::symlink_status(normal, ec));
}

std::string GetExecutablePath()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string GetExecutableFolder()
{
    const std::string exe = GetExecutablePath();
    const size_t sep = exe.rfind('/');
    return sep == std::string::npos ? std::string() : exe.substr(0, sep + 1);
}
