#pragma once
// Replacing a file so that a failed save never destroys the old one: the new
// content goes to a temporary file beside the target, is synced to the disk
// and only then renamed over the target.
//
// - A target that is a symbolic link is written through: the file the link
//   (or chain of links) finally names is replaced, and the link stays a link.
//   In a shared sticky folder only a link of the user or of the folder's
//   owner is followed; another's is refused.
// - The new file keeps the permission bits of the file it replaces; a file
//   that replaces nothing gets what an ordinary create would give it
//   (0666 less the umask), unless the caller asks for other bits.
// - The temporary file is named after the target with the program's mark
//   (see StaleTemporaryFiles.h), never longer than a name may be; making it
//   removes what killed saves of the same target left behind.
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Stream.h"

// The temporary file could not be made; Code() is the system's error.
class ESafeCreateError : public EFCreateError {
public:
    ESafeCreateError(const std::string& message, int code) : EFCreateError(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// The file that saving to path replaces: the end of the chain of links path
// may be (path itself when it is no link). The last name need not exist: a
// link to a missing file is saved by creating that file, as an ordinary open
// for writing would. Empty (errno set) for a loop or an unreadable link, and
// (EACCES, with the reason in *refusal) for a link in a sticky folder that
// everyone may write into, made by neither the user nor the folder's owner.
std::string ResolveSaveTarget(const std::string& path, std::string* refusal = nullptr);

// A stream onto the temporary file. Commit() makes it the target; a stream
// destroyed without a successful Commit() removes its temporary file and
// leaves the target as it was.
class TSafeFileStream : public TStream {
public:
    // Creates the temporary file; throws ESafeCreateError when it cannot.
    // newFileMode: the permission bits for a target that does not exist yet.
    explicit TSafeFileStream(const std::string& path, std::optional<mode_t> newFileMode = std::nullopt);
    ~TSafeFileStream() override;
    TSafeFileStream(const TSafeFileStream&) = delete;
    TSafeFileStream& operator=(const TSafeFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    // A failed or short write also makes Commit() fail, so data that did not
    // reach the file can never replace the old content.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // Throws EWriteError when the file cannot be resized.
    void SetSize(int64_t newSize) override;

    // Has the system start writing what the file holds so far to disk,
    // without waiting, so that Commit() later finds little left to sync.
    // Write() does so by itself after every kWriteBackStep bytes.
    void StartWriteBack();
    static constexpr int64_t kWriteBackStep = int64_t{32} << 20;

    // Syncs the data and renames the temporary file over the target. False
    // when anything failed on the way (ErrorText() says why): the temporary
    // file is then gone and the target untouched. Once it has failed or
    // succeeded, the stream takes no more data.
    bool Commit();
    const std::string& ErrorText() const { return error_; }
    // The system's error code of that failure; 0 when it had none.
    int ErrorCode() const { return errorCode_; }

    // The path as given and the file that is actually replaced.
    const std::string& FileName() const { return path_; }
    const std::string& TargetName() const { return target_; }

    // After a successful Commit(): hands the open descriptor of the new file
    // to the caller, who then closes it. -1 before that.
    int ReleaseHandle();

private:
    void Fail(int code);
    void Discard();

    enum class State { Open, Committed, Failed };
    std::string path_;
    std::string target_;
    std::string temp_;
    std::string error_;
    int errorCode_ = 0;
    int fd_ = -1;
    State state_ = State::Open;
    bool writeFailed_ = false;
    int64_t writtenSinceWriteBack_ = 0;
};

// The function form: replaces path with size bytes. False with *error set to
// the reason when the file could not be replaced; the old file is then kept.
bool SafeWriteFile(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

