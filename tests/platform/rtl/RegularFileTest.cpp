#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/rtl/RegularFile.h"
#include "tests/support/TempDir.h"

namespace {

// Tells whether a file was opened by anyone since the last call, from the
// kernel's own record of opens.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(fd_, 0);
        EXPECT_GE(::inotify_add_watch(fd_, path.c_str(), IN_OPEN), 0) << path;
    }
    ~OpenWatch() { ::close(fd_); }
    bool Opened()
    {
        alignas(inotify_event) char events[4096];
        bool any = false;
        while (::read(fd_, events, sizeof events) > 0)
            any = true;
        return any;
    }

private:
    int fd_;
};

TEST(RegularFile, AFifoIsRefusedWithoutBeingOpened)
{
    TempDir dir;
    const std::string fifo = dir / "picture.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    OpenWatch watch(fifo);

    int64_t size = -1;
    EXPECT_EQ(OpenRegularFile(fifo, kNoSizeLimit, size), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(RefusalReason(ENODEV), "Not a regular file");
    EXPECT_FALSE(CanReadRegularFile(fifo));
    struct stat info {};
    EXPECT_EQ(OpenOnlyRegularFile(fifo, O_RDWR, info), -1);
    EXPECT_FALSE(watch.Opened()) << "the FIFO was opened before its kind was known";

    // The watch does see an open of the FIFO.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::close(reader);
    EXPECT_TRUE(watch.Opened());
}

TEST(RegularFile, EachKindGetsItsRefusal)
{
    TempDir dir;
    const std::string big = dir.Write("big.bin", std::string(1000, 'x'));
    const struct {
        std::string path;
        int64_t limit;
        int error;
    } cases[] = {
        {"/dev/null", kNoSizeLimit, ENODEV},
        {dir.Path().string(), kNoSizeLimit, EISDIR},
        {dir / "missing", kNoSizeLimit, ENOENT},
        {big, 999, EFBIG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int64_t size = -1;
        errno = 0;
        EXPECT_EQ(OpenRegularFile(c.path, c.limit, size), -1);
        EXPECT_EQ(errno, c.error);
        EXPECT_EQ(size, 0);
    }
}

TEST(RegularFile, ARegularFileOpensBlockingUnlessAskedOtherwise)
{
    TempDir dir;
    const std::string path = dir.Write("notes.txt", "four");
    int64_t size = -1;
    const int fd = OpenRegularFile(path, 4, size);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);

    struct stat info {};
    const int nonblocking = OpenOnlyRegularFile(path, O_RDWR | O_NONBLOCK, info);
    ASSERT_GE(nonblocking, 0);
    EXPECT_NE(::fcntl(nonblocking, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(::write(nonblocking, "FO", 2), 2);
    ::close(nonblocking);
    EXPECT_EQ(ReadFileBytes(path), "FOur");
}

} // namespace
