#include "platform/rtl/SafeFileWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/rtl/FileDescriptor.h"
#include "platform/rtl/StaleTemporaryFiles.h"

namespace {

// Links followed before the chain counts as a loop, as the kernel does.
constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The umask, read without changing it: setting it even for a moment would
// give files that another thread creates meanwhile the wrong permissions.
mode_t CurrentUmask()
{
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

std::string ResolveSaveTarget(const std::string& path, std::string* refusal)
{
    std::string current = path;
    for (int followed = 0;; ++followed) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        if (followed == kMaxLinks) {
            errno = ELOOP;
            return {};
        }
        // In a folder everyone may write into and only owners may delete
        // from (/tmp, a class's shared folder), a link that someone else made
        // could send the save onto any file of the user, or into a folder of
        // theirs. Followed there, as the kernel's own rule for such folders
        // has it, only when the link is the user's or the folder owner's.
        const std::string folder = FolderOf(current);
        struct stat parent {};
        if (::stat(folder.empty() ? "." : folder.c_str(), &parent) != 0)
            return {};
        if ((parent.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && st.st_uid != ::geteuid() &&
            st.st_uid != parent.st_uid) {
            if (refusal)
                *refusal = "\"" + current +
                           "\" is a link that another user made in a folder shared by everyone; such a link is not "
                           "followed.";
            errno = EACCES;
            return {};
        }
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (n == 0 || static_cast<size_t>(n) >= buffer.size()) {
            errno = ENAMETOOLONG;
            return {};
        }
        const std::string link(buffer.data(), static_cast<size_t>(n));
        current = link.front() == '/' ? link : Join(FolderOf(current), link);
    }
}

TSafeFileStream::TSafeFileStream(const std::string& path, std::optional<mode_t> newFileMode) : path_(path)
{
    const auto cannotCreate = [&path](int code, const std::string& reason) {
        return ESafeCreateError("Cannot create file \"" + path + "\". " + reason, code);
    };
    if (path.empty())
        throw cannotCreate(ENOENT, std::strerror(ENOENT));
    std::string refusal;
    target_ = ResolveSaveTarget(path, &refusal);
    if (target_.empty()) {
        const int code = errno;
        if (!refusal.empty())
            throw cannotCreate(0, refusal);
        throw cannotCreate(code, std::strerror(code));
    }

    // Renaming over a device, pipe or socket would destroy it rather than
    // write to it.
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode))
        throw cannotCreate(0, "Not a regular file");

    // What killed saves of this target left goes first: nothing else
    // would ever remove it.
    const size_t slash = target_.rfind('/');
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    RemoveStaleTemporaryFiles(FolderOf(target_), name);
    fd_ = CreateTemporaryFile(FolderOf(target_), name, temp_);
    if (fd_ < 0) {
        const int code = errno;
        throw cannotCreate(code, std::strerror(code));
    }

    mode_t mode;
    if (exists && S_ISREG(existing.st_mode))
        mode = existing.st_mode & 07777;
    else if (newFileMode)
        mode = *newFileMode & 07777;
    else
        mode = 0666 & ~CurrentUmask();
    // Best effort: file systems without Unix permissions (a FAT memory
    // stick) refuse the change, and the save must still work there.
    (void)::fchmod(fd_, mode);
}

TSafeFileStream::~TSafeFileStream()
{
    if (state_ == State::Open)
        Discard();
    if (fd_ >= 0)
        ::close(fd_);
}

void TSafeFileStream::Discard()
{
    // Removed by name only while the name is still ours: after a failure it
    // is already gone, after a commit it is the target.
    ::unlink(temp_.c_str());
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void TSafeFileStream::Fail(int code)
{
    if (state_ == State::Open)
        Discard();
    state_ = State::Failed;
    if (code != 0) {
        errorCode_ = code;
        error_ = std::strerror(code);
    }
}

int64_t TSafeFileStream::Read(void* buffer, int64_t count)
{
    return FdRead(fd_, buffer, count);
}

int64_t TSafeFileStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (state_ != State::Open || writeFailed_) {
        writeFailed_ = true;
        return 0;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (!writeFailed_) {
                errorCode_ = n < 0 ? errno : 0;
                error_ = n < 0 ? std::strerror(errno) : "Short write";
            }
            writeFailed_ = true;
            break;
        }
        done += n;
    }
    // A large file reaches the disk while the caller makes the rest of it,
    // rather than all at once in Commit().
    writtenSinceWriteBack_ += done;
    if (writtenSinceWriteBack_ >= kWriteBackStep) {
        writtenSinceWriteBack_ = 0;
        StartWriteBack();
    }
    return done;
}

int64_t TSafeFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    return FdSeek(fd_, offset, origin);
}

void TSafeFileStream::SetSize(int64_t newSize)
{
    if (state_ != State::Open || ::ftruncate(fd_, newSize) != 0) {
        const int code = state_ != State::Open ? 0 : errno;
        const std::string reason = code == 0 ? "The file is closed" : std::strerror(code);
        if (!writeFailed_) {
            errorCode_ = code;
            error_ = reason;
        }
        writeFailed_ = true;
        throw EWriteError("Cannot resize file \"" + path_ + "\". " + reason);
    }
    if (GetPosition() > newSize)
        Seek(newSize, TSeekOrigin::soBeginning);
}

void TSafeFileStream::StartWriteBack()
{
    // Only a hint: Commit() still syncs, and reports what failed.
    if (state_ == State::Open && fd_ >= 0)
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool TSafeFileStream::Commit()
{
    if (state_ != State::Open)
        return state_ == State::Committed;
    if (writeFailed_) {
        Fail(0);
        return false;
    }
    if (::fsync(fd_) != 0) {
        Fail(errno);
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        return false;
    }
    state_ = State::Committed;
    error_.clear();
    errorCode_ = 0;
    return true;
}

int TSafeFileStream::ReleaseHandle()
{
    if (state_ != State::Committed)
        return -1;
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool SafeWriteFile(const std::string& path, const void* data, size_t size, std::string* error)
{
    try {
        TSafeFileStream file(path);
        const int64_t count = static_cast<int64_t>(size);
        if (file.Write(data, count) == count && file.Commit())
            return true;
        if (error)
            *error = file.ErrorText();
        return false;
    } catch (const Exception& e) {
        if (error)
            *error = e.Message();
        return false;
    }
}
