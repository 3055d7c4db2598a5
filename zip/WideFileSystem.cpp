#include "zip/WideFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/rtl/RegularFile.h"
#include "platform/rtl/StaleTemporaryFiles.h"
#include "zip/WideUtils.h"

namespace {

std::mutex hookMutex;
TDiskFreeFunc diskFreeFunc;
TRemovableFunc removableFunc;

// Applies the sharing bits of an open mode as an advisory lock; false when
// another opener's sharing forbids this one. A writer that denies writes
// takes the lock alone: two of them must not both hold the file.
bool LockForShare(int fd, unsigned mode) {
    unsigned share = (mode >> 4) & 0x0F;
    const bool writes = (mode & 3) != 0;
    int op;
    switch (share) {
    case 0:
    case 1:
        op = LOCK_EX;
        break;
    case 2:
        op = writes ? LOCK_EX : LOCK_SH;
        break;
    default:
        return true;
    }
    while (::flock(fd, op | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

uint32_t AttributesOf(const std::string& path, const struct stat& st) {
    uint32_t attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else
        attr |= faArchive;
    if (!(st.st_mode & S_IWUSR))
        attr |= faReadOnly;
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    size_t slash = name.rfind('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (base.size() > 1 && base[0] == '.' && base != "..")
        attr |= faHidden;
    return attr;
}

int FillNext(TWideSearchRec& search) {
    if (!search.FindHandle)
        return EBADF;
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(search.FindHandle);
        if (!entry)
            return errno ? errno : ENOENT;
        std::u16string name = FileSystemToWide(entry->d_name);
        if (!MaskMatches(name, search.Mask, true))
            continue;
        std::string full = search.Folder + entry->d_name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode) && ::stat(full.c_str(), &st) != 0)
            continue;
        uint32_t attr = AttributesOf(full, st);
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            attr &= ~faHidden;
        if (attr & search.ExcludeAttr)
            continue;
        search.Time = TimeToDosDateTime(st.st_mtime);
        search.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
        search.Attr = attr;
        search.Name = std::move(name);
        return 0;
    }
}

} // namespace

std::string WideToFileSystem(const std::u16string& name) { return WideToUTF8(name); }
std::u16string FileSystemToWide(const std::string& name) { return UTF8ToWide(name); }

int WideCreateNewFile(const std::u16string& name) {
    const std::string path = WideToFileSystem(name);
    if (path.empty())
        return -1;
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

int WideCreateFile(const std::u16string& name) {
    std::string path = WideToFileSystem(name);
    // Opened without truncation first, so that a file another opener holds
    // is not emptied before the lock says no.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (!LockForShare(fd, 0x10)) {
        ::close(fd);
        errno = EBUSY;
        return -1;
    }
    if (::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int WideOpenFile(const std::u16string& name, unsigned mode, int64_t* size) {
    std::string path = WideToFileSystem(name);
    int flags = 0;
    switch (mode & 0x3) {
    case 1:
        flags |= O_WRONLY;
        break;
    case 2:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    // An archive is a regular file: the open of a FIFO would wait for a
    // writer for ever, a device reads on and on or acts by being opened.
    struct stat st {};
    int fd = OpenOnlyRegularFile(path, flags, st);
    if (fd < 0)
        return -1;
    if (!LockForShare(fd, mode)) {
        ::close(fd);
        errno = EBUSY;
        return -1;
    }
    if (size)
        *size = static_cast<int64_t>(st.st_size);
    return fd;
}

int32_t TimeToDosDateTime(int64_t unixTime) {
    time_t t = static_cast<time_t>(unixTime);
    struct tm lt {};
    if (!::localtime_r(&t, &lt) || lt.tm_year < 80)
        return (1 << 16) | (1 << 21); // 1980-01-01 00:00, the earliest DOS time
    if (lt.tm_year > 80 + 127)
        lt.tm_year = 80 + 127;
    uint32_t date = (uint32_t(lt.tm_year - 80) << 9) | (uint32_t(lt.tm_mon + 1) << 5) |
                    uint32_t(lt.tm_mday);
    uint32_t time = (uint32_t(lt.tm_hour) << 11) | (uint32_t(lt.tm_min) << 5) |
                    uint32_t(lt.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | time);
}

int64_t DosDateTimeToTime(int32_t dosDateTime) {
    uint32_t v = static_cast<uint32_t>(dosDateTime);
    struct tm lt {};
    lt.tm_year = int((v >> 25) & 0x7F) + 80;
    lt.tm_mon = int((v >> 21) & 0x0F) - 1;
    lt.tm_mday = int((v >> 16) & 0x1F);
    lt.tm_hour = int((v >> 11) & 0x1F);
    lt.tm_min = int((v >> 5) & 0x3F);
    lt.tm_sec = int(v & 0x1F) * 2;
    lt.tm_isdst = -1;
    return static_cast<int64_t>(::mktime(&lt));
}

int32_t WideGetFileAge(const std::u16string& name) {
    struct stat st {};
    if (::stat(WideToFileSystem(name).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return TimeToDosDateTime(st.st_mtime);
}

namespace {

// The access time left as it is, the modification time set.
struct TModificationTime {
    struct timespec times[2];
    explicit TModificationTime(int64_t unixTime)
    {
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(unixTime);
        times[1].tv_nsec = 0;
    }
};

}  // namespace

bool WideSetFileAge(const std::u16string& name, int32_t dosDateTime) {
    const TModificationTime time(DosDateTimeToTime(dosDateTime));
    return ::utimensat(AT_FDCWD, WideToFileSystem(name).c_str(), time.times, 0) == 0;
}

bool WideSetFileTime(int handle, int64_t unixTime) {
    const TModificationTime time(unixTime);
    return ::futimens(handle, time.times) == 0;
}

bool WideIsDirectory(const std::u16string& name) {
    uint32_t attr = WideGetAttributes(name);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & faDirectory);
}

bool WideIsFile(const std::u16string& name) {
    struct stat st {};
    return ::stat(WideToFileSystem(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool WideExists(const std::u16string& name) {
    const std::string path = WideToFileSystem(name);
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

uint32_t WideGetAttributes(const std::u16string& name) {
    std::string path = WideToFileSystem(name);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return AttributesOf(path, st);
}

bool WideGetFileInfo(const std::u16string& name, TWideFileInfo& info) {
    const std::string path = WideToFileSystem(name);
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        info = TWideFileInfo();
        return false;
    }
    info.Attributes = AttributesOf(path, st);
    info.Age = S_ISDIR(st.st_mode) ? -1 : TimeToDosDateTime(st.st_mtime);
    info.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    return true;
}

bool WideSetAttributes(const std::u16string& name, uint32_t attributes) {
    std::string path = WideToFileSystem(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (attributes & faReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0;
}

bool WideMoveFile(const std::u16string& oldName, const std::u16string& newName) {
    std::string from = WideToFileSystem(oldName);
    std::string to = WideToFileSystem(newName);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot refuse to replace by itself.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool WideReplaceFile(const std::u16string& tempName, const std::u16string& fileName) {
    return ::rename(WideToFileSystem(tempName).c_str(), WideToFileSystem(fileName).c_str()) == 0;
}

bool WideRemoveFile(const std::u16string& name) {
    return ::unlink(WideToFileSystem(name).c_str()) == 0;
}

bool WideRemoveDir(const std::u16string& name) {
    return ::rmdir(WideToFileSystem(name).c_str()) == 0;
}

bool WideCreateDir(const std::u16string& name) {
    return ::mkdir(WideToFileSystem(name).c_str(), 0777) == 0;
}

int WideFindStart(const std::u16string& path, uint32_t attr, TWideSearchRec& search) {
    WideFindEnd(search);
    search.ExcludeAttr = ~attr & (faHidden | faSysFile | faDirectory);
    std::u16string folder = WidePathOf(path);
    search.Mask = WideNameOf(path);
    search.Folder = folder.empty() ? std::string("./") : WideToFileSystem(folder);
    search.FindHandle = ::opendir(search.Folder.c_str());
    if (!search.FindHandle)
        return errno ? errno : ENOENT;
    int result = FillNext(search);
    if (result != 0)
        WideFindEnd(search);
    return result;
}

int WideFindContinue(TWideSearchRec& search) { return FillNext(search); }

void WideFindEnd(TWideSearchRec& search) {
    if (search.FindHandle) {
        ::closedir(search.FindHandle);
        search.FindHandle = nullptr;
    }
}

std::u16string WideCurrentFolder() {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    return ec ? std::u16string() : FileSystemToWide(cwd.string());
}

std::u16string WideFullName(const std::u16string& name) {
    if (name.empty())
        return WideCurrentFolder();
    std::filesystem::path p(WideToFileSystem(name));
    if (p.is_relative())
        p = std::filesystem::path(WideToFileSystem(WideCurrentFolder())) / p;
    std::string full = p.lexically_normal().string();
    // "/a/b/.." normalises to "/a/", but a name never gains a slash it lacked.
    if (full.size() > 1 && full.back() == '/' && name.back() != u'/' &&
        !(name.size() >= 2 && name.substr(name.size() - 2) == u"/.") &&
        !(name.size() >= 3 && name.substr(name.size() - 3) == u"/.."))
        full.pop_back();
    return FileSystemToWide(full);
}

std::u16string WideSystemMessage(int code) {
    const char* text = code == 0 ? "" : std::strerror(code);
    std::string s = text ? text : "";
    size_t start = 0;
    while (start < s.size() && static_cast<unsigned char>(s[start]) <= ' ')
        ++start;
    size_t end = s.size();
    while (end > start && static_cast<unsigned char>(s[end - 1]) <= ' ')
        --end;
    s = s.substr(start, end - start);
    if (s.empty()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "Unspecified error (%d) from %s.", code, "system");
        s = buf;
    }
    return FileSystemToWide(s);
}

std::u16string WideCreateTempFile(const std::u16string& folder, const std::u16string& forName, int* handle) {
    std::string path;
    const int fd = CreateTemporaryFile(WideToFileSystem(folder), WideToFileSystem(forName), path);
    if (fd < 0)
        return std::u16string();
    if (handle != nullptr)
        *handle = fd;
    else
        ::close(fd);
    return FileSystemToWide(path);
}

void SetDiskFreeFunc(TDiskFreeFunc func) {
    std::lock_guard<std::mutex> lock(hookMutex);
    diskFreeFunc = std::move(func);
}

void SetRemovableFunc(TRemovableFunc func) {
    std::lock_guard<std::mutex> lock(hookMutex);
    removableFunc = std::move(func);
}

int64_t WideDiskFree(const std::u16string& path) {
    TDiskFreeFunc func;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        func = diskFreeFunc;
    }
    if (func)
        return func(path);
    std::u16string probe = path.empty() ? WideCurrentFolder() : path;
    struct statvfs vfs {};
    // A file that does not exist yet is measured by its folder.
    while (::statvfs(WideToFileSystem(probe).c_str(), &vfs) != 0) {
        std::u16string parent = WidePathOf(probe);
        while (parent.size() > 1 && parent.back() == u'/')
            parent.pop_back();
        if (parent.empty() || parent == probe)
            return -1;
        probe = parent;
    }
    return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

bool WideIsRemovable(const std::u16string& path) {
    TRemovableFunc func;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        func = removableFunc;
    }
    return func ? func(path) : false;
}
