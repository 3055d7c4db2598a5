#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "platform/rtl/Exception.h"
#include "platform/rtl/SafeFileWriter.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

int LeftoverTemporaryFiles(const fs::path& folder)
{
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        count += entry.path().filename().string().front() == '.';
    return count;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

private:
    mode_t old_;
};

// Caps the size a file of this process may grow to, so that a write fails
// with EFBIG even for root, who passes every permission check.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_ {};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace

TEST(SafeFileWriter, NewFileGetsWhatAnOrdinaryCreateWouldGive)
{
    for (const mode_t mask : {mode_t(022), mode_t(077), mode_t(002)}) {
        SCOPED_TRACE(mask);
        TempDir dir;
        const std::string path = dir / "new.txt";
        {
            ScopedUmask scoped(mask);
            std::string error;
            ASSERT_TRUE(SafeWriteFile(path, "fresh", 5, &error)) << error;
        }
        EXPECT_EQ(ReadFileBytes(path), "fresh");
        EXPECT_EQ(ModeOf(path), 0666 & ~mask);
        EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"new.txt"});
    }
}

TEST(SafeFileWriter, ReplacedFileKeepsItsPermissions)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0444)}) {
        SCOPED_TRACE(mode);
        TempDir dir;
        const std::string path = dir.Write("old.cfg", "old content that is longer");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        const ino_t before = InodeOf(path);
        ScopedUmask scoped(077);
        std::string error;
        ASSERT_TRUE(SafeWriteFile(path, "new", 3, &error)) << error;
        EXPECT_EQ(ReadFileBytes(path), "new");
        EXPECT_EQ(ModeOf(path), mode);
        // A new file took the old one's place; it was not rewritten in place.
        EXPECT_NE(InodeOf(path), before);
        EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"old.cfg"});
    }
}

TEST(SafeFileWriter, CallerModeAppliesOnlyToANewFile)
{
    TempDir dir;
    {
        TSafeFileStream file(dir / "hive.reg", 0600);
        file.WriteBuffer("a", 1);
        ASSERT_TRUE(file.Commit()) << file.ErrorText();
    }
    EXPECT_EQ(ModeOf(dir / "hive.reg"), 0600u);

    ASSERT_EQ(::chmod((dir / "hive.reg").c_str(), 0640), 0);
    {
        TSafeFileStream file(dir / "hive.reg", 0600);
        file.WriteBuffer("b", 1);
        ASSERT_TRUE(file.Commit()) << file.ErrorText();
    }
    EXPECT_EQ(ModeOf(dir / "hive.reg"), 0640u);
    EXPECT_EQ(ReadFileBytes(dir / "hive.reg"), "b");
}

TEST(SafeFileWriter, SymbolicLinksAreWrittenThrough)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links; // link name, link text
        std::string saveAs;
        std::string replaced;
        bool targetExists;
    };
    const Case cases[] = {
        {"relative link", {{"link.xml", "real.xml"}}, "link.xml", "real.xml", true},
        {"link into a sub-folder", {{"link.xml", "sub/real.xml"}}, "link.xml", "sub/real.xml", true},
        {"chain of links", {{"first", "second"}, {"second", "sub/real.xml"}}, "first", "sub/real.xml", true},
        {"link to a missing file", {{"link.xml", "sub/made.xml"}}, "link.xml", "sub/made.xml", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        fs::create_directory(dir.Path() / "sub");
        if (c.targetExists) {
            dir.Write(c.replaced, "old");
            ASSERT_EQ(::chmod((dir / c.replaced).c_str(), 0640), 0);
        }
        for (const auto& [name, text] : c.links)
            fs::create_symlink(text, dir.Path() / name);

        std::string error;
        ASSERT_TRUE(SafeWriteFile(dir / c.saveAs, "new", 3, &error)) << error;

        for (const auto& link : c.links)
            EXPECT_TRUE(fs::is_symlink(dir.Path() / link.first)) << link.first;
        EXPECT_EQ(ReadFileBytes(dir / c.replaced), "new");
        EXPECT_EQ(ReadFileBytes(dir / c.saveAs), "new");
        if (c.targetExists) {
            EXPECT_EQ(ModeOf(dir / c.replaced), 0640u);
        }
        EXPECT_EQ(LeftoverTemporaryFiles(dir.Path()), 0);
    }
}

TEST(SafeFileWriter, AbsoluteLinkToAnotherFolder)
{
    TempDir dir;
    TempDir elsewhere;
    const std::string real = elsewhere.Write("real.bin", "old");
    fs::create_symlink(real, dir.Path() / "link.bin");
    TSafeFileStream file(dir / "link.bin");
    EXPECT_EQ(file.TargetName(), real);
    file.WriteBuffer("new", 3);
    ASSERT_TRUE(file.Commit()) << file.ErrorText();
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.bin"));
    EXPECT_EQ(ReadFileBytes(real), "new");
    EXPECT_EQ(Names(elsewhere.Path()), std::set<std::string>{"real.bin"});
}

// In a folder everyone may write into and only owners may delete from, a
// link is followed only when it is the saving user's or the folder owner's,
// as the kernel's own rule for such folders has it.
TEST(SafeFileWriter, LinksInASharedStickyFolderAreFollowedOnlyWhenTrusted)
{
    const uid_t self = ::geteuid();
    constexpr uid_t kOther = 65534, kAdministrator = 65533;
    struct Case {
        const char* what;
        mode_t folderMode;
        uid_t folderOwner, linkOwner;
        bool followed;
    };
    const Case cases[] = {
        {"another user's link in a shared folder", 01777, kAdministrator, kOther, false},
        {"another user's link in the user's own shared folder", 01777, self, kOther, false},
        {"the user's own link in the user's own shared folder", 01777, self, self, true},
        {"the user's own link", 01777, kAdministrator, self, true},
        {"the folder owner's link", 01777, kAdministrator, kAdministrator, true},
        {"a folder that is not sticky", 00777, kAdministrator, kOther, true},
        {"a sticky folder only its group may write into", 01775, kAdministrator, kOther, true},
    };
    int needRoot = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (self != 0 && (c.folderOwner != self || c.linkOwner != self)) {
            ++needRoot;
            continue;
        }
        TempDir dir, mine;
        const std::string important = mine.Write("important.txt", "the user's notes");
        const fs::path shared = dir.Path() / "shared";
        fs::create_directory(shared);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
        const fs::path link = shared / "portfolio.pdf";
        fs::create_symlink(important, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);

        std::string refusal;
        errno = 0;
        const std::string resolved = ResolveSaveTarget(link.string(), &refusal);
        std::string error;
        const bool saved = SafeWriteFile(link.string(), "the PDF", 7, &error);
        if (c.followed) {
            EXPECT_EQ(resolved, important);
            EXPECT_TRUE(saved) << error;
            EXPECT_EQ(ReadFileBytes(important), "the PDF");
        } else {
            EXPECT_EQ(resolved, "");
            EXPECT_EQ(errno, EACCES);
            EXPECT_FALSE(saved);
            EXPECT_EQ(error, "Cannot create file \"" + link.string() + "\". \"" + link.string() +
                                 "\" is a link that another user made in a folder shared by everyone; such a link "
                                 "is not followed.");
            EXPECT_EQ(ReadFileBytes(important), "the user's notes");
            EXPECT_EQ(Names(mine.Path()), std::set<std::string>{"important.txt"});
            EXPECT_EQ(Names(shared), std::set<std::string>{"portfolio.pdf"});
            EXPECT_TRUE(fs::is_symlink(link));
        }
    }
    if (needRoot > 0)
        GTEST_SKIP() << needRoot << " cases need a file of another user, which only root can make";
}

TEST(SafeFileWriter, LinkLoopIsRefused)
{
    TempDir dir;
    fs::create_symlink("b", dir.Path() / "a");
    fs::create_symlink("a", dir.Path() / "b");
    EXPECT_THROW(TSafeFileStream(dir / "a"), EFCreateError);
    std::string error;
    EXPECT_FALSE(SafeWriteFile(dir / "a", "x", 1, &error));
    EXPECT_NE(error.find("Too many levels"), std::string::npos) << error;
}

TEST(SafeFileWriter, NamesAsLongAsTheFileSystemAllows)
{
    for (const size_t length : {size_t(250), size_t(255)}) {
        SCOPED_TRACE(length);
        TempDir dir;
        const std::string path = dir / std::string(length, 'n');
        std::string error;
        ASSERT_TRUE(SafeWriteFile(path, "first", 5, &error)) << error;
        ASSERT_TRUE(SafeWriteFile(path, "second", 6, &error)) << error;
        EXPECT_EQ(ReadFileBytes(path), "second");
        EXPECT_EQ(Names(dir.Path()).size(), 1u);
    }
}

TEST(SafeFileWriter, FailedWriteKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.Write("keep.dat", "the old content");
    const std::string big(64 * 1024, 'x');
    std::string error;
    {
        ScopedFileSizeLimit limit(4096);
        EXPECT_FALSE(SafeWriteFile(path, big.data(), big.size(), &error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFileBytes(path), "the old content");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"keep.dat"});

    // The stream form refuses to commit after a short write, even when the
    // caller did not look at what Write returned.
    {
        TSafeFileStream file(path);
        {
            ScopedFileSizeLimit limit(4096);
            file.Write(big.data(), static_cast<int64_t>(big.size()));
        }
        EXPECT_FALSE(file.Commit());
        EXPECT_NE(file.ErrorText().find("too large"), std::string::npos) << file.ErrorText();
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(ReadFileBytes(path), "the old content");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"keep.dat"});
}

TEST(SafeFileWriter, FailedRenameKeepsTheTargetAndRemovesTheTemporaryFile)
{
    TempDir dir;
    fs::create_directory(dir.Path() / "taken");
    dir.Write("taken/inside", "kept");
    std::string error;
    EXPECT_FALSE(SafeWriteFile(dir / "taken", "x", 1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFileBytes(dir / "taken/inside"), "kept");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"taken"});
}

TEST(SafeFileWriter, SpecialFilesAreNotReplaced)
{
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("pipe", dir.Path() / "link");
    for (const std::string& path : {fifo, dir / "link"}) {
        SCOPED_TRACE(path);
        std::string error;
        EXPECT_FALSE(SafeWriteFile(path, "x", 1, &error));
        EXPECT_NE(error.find("Not a regular file"), std::string::npos) << error;
        EXPECT_TRUE(fs::is_fifo(fifo));
        EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"pipe", "link"}));
    }
}

TEST(SafeFileWriter, FolderRemovedBeforeCommitIsReported)
{
    TempDir dir;
    fs::create_directory(dir.Path() / "gone");
    TSafeFileStream file(dir / "gone/file.txt");
    file.WriteBuffer("data", 4);
    fs::remove_all(dir.Path() / "gone");
    EXPECT_FALSE(file.Commit());
    EXPECT_FALSE(file.ErrorText().empty());
    EXPECT_FALSE(fs::exists(dir.Path() / "gone"));
}

TEST(SafeFileWriter, MissingFolderFailsAtOnce)
{
    TempDir dir;
    EXPECT_THROW(TSafeFileStream(dir / "no/such/file"), EFCreateError);
    std::string error;
    EXPECT_FALSE(SafeWriteFile(dir / "no/such/file", "x", 1, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(SafeWriteFile("", "x", 1, &error));
}

TEST(SafeFileWriter, UncommittedStreamLeavesNothingBehind)
{
    TempDir dir;
    const std::string path = dir.Write("doc.xml", "old");
    {
        TSafeFileStream file(path);
        file.WriteBuffer("half-written", 12);
        EXPECT_EQ(Names(dir.Path()).size(), 2u);
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"doc.xml"});

    {
        TSafeFileStream file(dir / "never.xml");
    }
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"doc.xml"});
}

TEST(SafeFileWriter, StreamSeeksRewritesAndTruncates)
{
    TempDir dir;
    const std::string path = dir.Write("out.bin", "0123456789abcdef");
    TSafeFileStream file(path);
    file.WriteBuffer("hello world", 11);
    file.SetPosition(6);
    file.WriteBuffer("WORLD", 5);
    file.SetPosition(0);
    char head[5] = {};
    file.ReadBuffer(head, 5);
    EXPECT_EQ(std::string(head, 5), "hello");
    file.SetSize(8);
    EXPECT_EQ(file.GetSize(), 8);
    EXPECT_EQ(ReadFileBytes(path), "0123456789abcdef");
    ASSERT_TRUE(file.Commit()) << file.ErrorText();
    EXPECT_EQ(ReadFileBytes(path), "hello WO");
}

TEST(SafeFileWriter, ReleasedHandleIsTheNewFile)
{
    TempDir dir;
    const std::string path = dir.Write("hive.reg", "old");
    int fd = -1;
    {
        TSafeFileStream file(path);
        EXPECT_EQ(file.ReleaseHandle(), -1);
        file.WriteBuffer("new", 3);
        ASSERT_TRUE(file.Commit());
        fd = file.ReleaseHandle();
    }
    ASSERT_GE(fd, 0);
    struct stat viaHandle {};
    ASSERT_EQ(::fstat(fd, &viaHandle), 0);
    EXPECT_EQ(viaHandle.st_ino, InodeOf(path));
    ::close(fd);
}
