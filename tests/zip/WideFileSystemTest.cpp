#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <thread>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/FifoWatchdog.h"
#include "tests/support/TempDir.h"
#include "zip/TUniFileStream.h"
#include "zip/TUniStringList.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"
#include "zip/ZAPathHelpers.h"

namespace {

std::u16string U(const std::string& s) { return UTF8ToWide(s); }

TEST(WideFileSystemTest, CreateOpenRenameDeleteWithNonAsciiNames) {
    TempDir dir;
    std::u16string name = U(dir / "\xC3\xA9t\xC3\xA9 \xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.bin");
    {
        TUniFileStream s(name, kCreateMode);
        s.WriteBuffer("abc", 3);
    }
    EXPECT_EQ(ReadFileBytes(WideToUTF8(name)), "abc");
    EXPECT_TRUE(WideIsFile(name));
    EXPECT_FALSE(WideIsDirectory(name));
    {
        TUniFileStream s(name, 0x42); // read and write, shared
        s.Seek(0, TSeekOrigin::soEnd);
        s.WriteBuffer("d", 1);
        EXPECT_EQ(s.GetSize(), 4);
    }
    std::u16string moved = U(dir / "moved.bin");
    std::u16string other = U(dir.Write("other.bin", "x"));
    EXPECT_FALSE(WideMoveFile(name, other)); // never replaces
    EXPECT_TRUE(WideMoveFile(name, moved));
    EXPECT_FALSE(WideIsFile(name));
    EXPECT_TRUE(WideRemoveFile(moved));
    EXPECT_FALSE(WideRemoveFile(moved));
    try {
        TUniFileStream s(moved, 0);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file \"" + WideToUTF8(moved) + "\". "),
                  std::string::npos);
    }
    EXPECT_THROW(TUniFileStream(U(dir / "no/such/dir/f"), kCreateMode), EFCreateError);
}

TEST(WideFileSystemTest, ExclusiveOpenKeepsOthersOut) {
    TempDir dir;
    std::u16string name = U(dir.Write("f", "data"));
    TUniFileStream first(name, 0x10); // read, exclusive
    EXPECT_THROW(TUniFileStream(name, 0x20), EFOpenError);
    EXPECT_THROW(TUniFileStream(name, kCreateMode), EFCreateError);
    EXPECT_EQ(ReadFileBytes(WideToUTF8(name)), "data"); // the refused create emptied nothing
    TUniFileStream shared(name, 0x40); // no sharing demands: allowed
    char c;
    EXPECT_EQ(shared.Read(&c, 1), 1);
}

TEST(WideFileSystemTest, AttributesAndTimes) {
    TempDir dir;
    std::u16string file = U(dir.Write("a.txt", "12345"));
    std::u16string hidden = U(dir.Write(".hidden", ""));
    EXPECT_EQ(WideGetAttributes(file), faArchive);
    EXPECT_EQ(WideGetAttributes(hidden) & faHidden, faHidden);
    EXPECT_EQ(WideGetAttributes(U(dir.Path().string())), faDirectory);
    EXPECT_EQ(WideGetAttributes(U(dir / "missing")), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(WideSetAttributes(file, faReadOnly));
    EXPECT_TRUE(WideGetAttributes(file) & faReadOnly);
    EXPECT_TRUE(WideSetAttributes(file, faArchive));
    EXPECT_FALSE(WideGetAttributes(file) & faReadOnly);

    // 2021-06-15 13:45:30 local time, packed as MS-DOS date and time.
    int32_t dos = int32_t(((2021 - 1980) << 25) | (6 << 21) | (15 << 16) | (13 << 11) | (45 << 5) | 15);
    EXPECT_TRUE(WideSetFileAge(file, dos));
    EXPECT_EQ(WideGetFileAge(file), dos);
    EXPECT_EQ(ZAPath::FileAge(file), dos);
    EXPECT_EQ(WideGetFileAge(U(dir.Path().string())), -1);
    EXPECT_EQ(WideGetFileAge(U(dir / "missing")), -1);
    EXPECT_EQ(TimeToDosDateTime(0), (1 << 16) | (1 << 21)); // before 1980: earliest DOS time
}

TEST(WideFileSystemTest, OneLookUpTellsWhatTheSingleLookUpsTell) {
    TempDir dir;
    const int32_t dos = int32_t(((2001 - 1980) << 25) | (2 << 21) | (3 << 16) | (4 << 11) | (5 << 5) | 6);
    const std::u16string file = U(dir.Write("a.txt", "12345"));
    ASSERT_TRUE(WideSetFileAge(file, dos));
    const std::u16string readOnly = U(dir.Write("ro.txt", "1"));
    ASSERT_TRUE(WideSetAttributes(readOnly, faReadOnly));
    const struct {
        std::u16string name;
        bool there;
        int64_t size;
    } cases[] = {
        {file, true, 5},
        {readOnly, true, 1},
        {U(dir.Write(".hidden", "")), true, 0},
        {U(dir.Path().string()), true, 0},
        {U(dir / "missing"), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUTF8(c.name));
        TWideFileInfo info;
        EXPECT_EQ(WideGetFileInfo(c.name, info), c.there);
        EXPECT_EQ(info.Attributes, WideGetAttributes(c.name));
        EXPECT_EQ(info.Age, WideGetFileAge(c.name));
        EXPECT_EQ(info.Size, c.size);
        EXPECT_EQ(info.IsDirectory(), WideIsDirectory(c.name));
    }
    TWideFileInfo info;
    ASSERT_TRUE(WideGetFileInfo(file, info));
    EXPECT_EQ(info.Age, dos);

    // The age set through an open file is the one a look-up by name finds.
    const int32_t later = dos + (1 << 25);
    const int fd = ::open(WideToUTF8(file).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(WideSetFileTime(fd, DosDateTimeToTime(later)));
    ::close(fd);
    EXPECT_EQ(WideGetFileAge(file), later);
}

// Reads go through a window read ahead and writes name their position:
// whatever mix of reads, writes, seeks and resizes, a file stream must
// answer as a memory stream does and leave the same bytes.
TEST(WideFileSystemTest, FileStreamAnswersAsAMemoryStreamDoes) {
    TempDir dir;
    const std::u16string name = U(dir / "model.bin");
    std::mt19937 rng(7);
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (auto& c : s)
            c = char(rng());
        return s;
    };
    const size_t lengths[] = {1, 7, 30, 100, 4000, 20000, 70000, 200000};
    TMemoryStream model;
    {
        TUniFileStream file(name, kCreateMode);
        for (int step = 0; step < 3000; ++step) {
            SCOPED_TRACE(step);
            const size_t n = lengths[rng() % std::size(lengths)];
            const int64_t size = model.GetSize();
            switch (rng() % 7) {
            case 0: {
                const std::string data = bytes(n);
                ASSERT_EQ(file.Write(data.data(), int64_t(n)), model.Write(data.data(), int64_t(n)));
                break;
            }
            case 1:
            case 2: {
                std::string got(n, '\0'), expected(n, '\0');
                const int64_t a = file.Read(got.data(), int64_t(n));
                ASSERT_EQ(a, model.Read(expected.data(), int64_t(n)));
                ASSERT_EQ(got.substr(0, size_t(a)), expected.substr(0, size_t(a)));
                break;
            }
            case 3: {
                const int64_t to = int64_t(rng() % uint64_t(size + 50));
                ASSERT_EQ(file.Seek(to, TSeekOrigin::soBeginning), model.Seek(to, TSeekOrigin::soBeginning));
                break;
            }
            case 4: {
                const int64_t by = int64_t(rng() % 200) - std::min<int64_t>(model.GetPosition(), 100);
                ASSERT_EQ(file.Seek(by, TSeekOrigin::soCurrent), model.Seek(by, TSeekOrigin::soCurrent));
                break;
            }
            case 5: {
                const int64_t back = -int64_t(rng() % uint64_t(size + 1));
                ASSERT_EQ(file.Seek(back, TSeekOrigin::soEnd), model.Seek(back, TSeekOrigin::soEnd));
                break;
            }
            default:
                if (rng() % 4 == 0) {
                    const int64_t to = int64_t(rng() % uint64_t(size + 1000));
                    file.SetSize(to);
                    model.SetSize(to);
                }
                break;
            }
            ASSERT_EQ(file.GetSize(), model.GetSize());
            ASSERT_EQ(file.GetPosition(), model.GetPosition());
        }
    }
    const std::string expected(reinterpret_cast<const char*>(model.Memory()), size_t(model.GetSize()));
    ASSERT_EQ(ReadFileBytes(WideToUTF8(name)), expected);

    // Read back in small pieces by a reader of its own.
    TUniFileStream reader(name, 0);
    std::string again;
    char piece[37];
    for (int64_t n; (n = reader.Read(piece, sizeof piece)) > 0;)
        again.append(piece, size_t(n));
    EXPECT_EQ(again, expected);
}

TEST(WideFileSystemTest, FileStreamOnAnAdoptedHandleOrAPipe) {
    TempDir dir;
    // A handle whose position the opener does not give is asked for it.
    const std::string path = dir / "adopted.bin";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    {
        TUniFileStream s(U(path), TUniFileStream::TAdopt{fd});
        EXPECT_EQ(s.GetPosition(), 3);
        s.WriteBuffer("de", 2);
        s.SetPosition(1);
        char got[4] = {};
        EXPECT_EQ(s.Read(got, 4), 4);
        EXPECT_EQ(std::string(got, 4), "bcde");
    }
    EXPECT_EQ(ReadFileBytes(path), "abcde");

    // A pipe has no positions: every byte reaches the reader once, in order,
    // whatever the sizes of the reads.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string sent(300000, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = char(i * 7 + i / 251);
    std::thread writer([&] {
        for (size_t done = 0; done < sent.size();) {
            const ssize_t n = ::write(ends[1], sent.data() + done, std::min<size_t>(sent.size() - done, 5000));
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(ends[1]);
    });
    std::string received;
    {
        TUniFileStream s(U(dir / "pipe"), TUniFileStream::TAdopt{ends[0]});
        std::vector<char> buffer(40000);
        for (int i = 0;; ++i) {
            const int64_t n = s.Read(buffer.data(), i % 5 == 4 ? 40000 : 13);
            if (n <= 0)
                break;
            received.append(buffer.data(), size_t(n));
        }
    }
    writer.join();
    EXPECT_EQ(received, sent);
}

TEST(WideFileSystemTest, OnlyARegularFileIsOpened) {
    TempDir dir;
    const std::string fifo = dir / "archive.zip";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::mkdir((dir / "folder.zip").c_str(), 0700);
    const struct {
        std::string path;
        int error;
    } cases[] = {{fifo, ENODEV}, {"/dev/null", ENODEV}, {dir / "folder.zip", EISDIR}};
    for (const auto& c : cases) {
        for (unsigned mode : {0x00u, 0x40u, 0x22u}) {
            SCOPED_TRACE(c.path + " mode " + std::to_string(mode));
            FifoWatchdog watchdog(fifo, 5);
            int64_t size = 0;
            errno = 0;
            const int fd = WideOpenFile(U(c.path), mode, &size);
            const int error = errno;
            watchdog.Stop();
            EXPECT_FALSE(watchdog.Released()) << "the open waited on the FIFO";
            EXPECT_EQ(fd, -1);
            EXPECT_EQ(error, c.error);
            if (fd >= 0)
                ::close(fd);
        }
    }
    // What the archive layer refuses, its stream refuses with the reason.
    for (const auto& [path, reason] : {std::pair<std::string, std::string>{dir / "folder.zip", "Is a directory"},
                                       {"/dev/null", "Not a regular file"}}) {
        try {
            TUniFileStream s(U(path), 0x40);
            ADD_FAILURE() << path << " opened as a file";
        } catch (const EFOpenError& e) {
            EXPECT_NE(e.Message().find(reason), std::string::npos) << e.Message();
        }
    }
    int64_t size = 0;
    const int fd = WideOpenFile(U(dir.Write("real.zip", "PK")), 0x40, &size);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(size, 2);
    ::close(fd);
}

TEST(WideFileSystemTest, FindHonoursMaskAndExcludedAttributes) {
    TempDir dir;
    dir.Write("a.jpg", "1");
    dir.Write("B.JPG", "22");
    dir.Write("c.txt", "3");
    dir.Write(".h.jpg", "4");
    std::filesystem::create_directory(dir.Path() / "sub.jpg");
    auto list = [&](uint32_t attr) {
        std::set<std::string> names;
        TWideSearchRec sr;
        for (int r = WideFindStart(U(dir / "*.jpg"), attr, sr); r == 0; r = WideFindContinue(sr))
            names.insert(WideToUTF8(sr.Name) + ":" + std::to_string(sr.Size));
        WideFindEnd(sr);
        return names;
    };
    EXPECT_EQ(list(0), (std::set<std::string>{"a.jpg:1", "B.JPG:2"}));
    EXPECT_EQ(list(faHidden | faDirectory),
              (std::set<std::string>{"a.jpg:1", "B.JPG:2", ".h.jpg:1", "sub.jpg:0"}));
    TWideSearchRec sr;
    EXPECT_NE(WideFindStart(U(dir / "*.png"), faAnyFile, sr), 0);
    EXPECT_NE(WideFindStart(U(dir / "nowhere/*"), faAnyFile, sr), 0);
}

TEST(WideFileSystemTest, FreeSpaceAndRemovableHooks) {
    TempDir dir;
    int64_t free = WideDiskFree(U(dir / "not-yet-there.zip"));
    EXPECT_GT(free, 0);
    EXPECT_FALSE(ZAPath::IsRemovableDrive(U(dir.Path().string())));
    SetDiskFreeFunc([](const std::u16string&) { return int64_t(1234); });
    SetRemovableFunc([](const std::u16string& p) { return p.rfind(u"/media/", 0) == 0; });
    EXPECT_EQ(WideDiskFree(u"/"), 1234);
    EXPECT_TRUE(ZAPath::IsRemovableDrive(u"/media/stick/a.zip"));
    SetDiskFreeFunc(nullptr);
    SetRemovableFunc(nullptr);
    EXPECT_FALSE(ZAPath::IsRemovableDrive(u"/media/stick/a.zip"));
}

TEST(WideFileSystemTest, TempFilesAndFullNames) {
    TempDir dir;
    std::u16string a = WideCreateTempFile(U(dir.Path().string()), u"archive.zip");
    std::u16string b = WideCreateTempFile(U(dir.Path().string()), u"archive.zip");
    EXPECT_NE(a, b);
    EXPECT_EQ(WidePathOf(a), U(dir.Path().string() + "/"));
    EXPECT_TRUE(WideIsFile(a));
    EXPECT_EQ(WideFullName(u"/a/b/../c/./d"), u"/a/c/d");
    EXPECT_EQ(WideFullName(u"/a/b/"), u"/a/b/");
    EXPECT_EQ(WideSystemMessage(ENOENT), U(std::strerror(ENOENT)));
    EXPECT_EQ(WideSystemMessage(0), u"Unspecified error (0) from system.");
}

TEST(ZAPathTest, StoredNamesAndExpandedPaths) {
    const struct {
        const char16_t* file;
        const char16_t* base;
        uint8_t mode;
        const char16_t* stored;
    } cases[] = {
        {u"/work/Pics/a.jpg", u"/work", 1, u"Pics/a.jpg"},
        {u"/work/Pics/a.jpg", u"/other", 1, u"work/Pics/a.jpg"},
        {u"/work/Pics/a.jpg", u"/work", 0, u"a.jpg"},
        {u"/work/Pics/a.jpg", u"/work", 2, u"work/Pics/a.jpg"},
        {u"/work/Pics/a.jpg", u"/work", 3, u"work/Pics/a.jpg"},
        {u"Pics/../b.jpg", u"/work", 1, u"b.jpg"},
        {u"/work/Pics/", u"/work", 1, u"Pics"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ZAPath::StoredName(c.file, c.base, c.mode, u"/"), c.stored) << WideToUTF8(c.file);
        // A folder walk expands the name, and the base once for all names.
        const std::u16string full = ZAPath::ExpandPath(c.base, c.file, u"/");
        EXPECT_EQ(ZAPath::StoredNameOfExpanded(full, ZAPath::ExpandPath(c.base, u"", u"/"), c.mode, u"/"), c.stored)
            << WideToUTF8(c.file);
    }
    EXPECT_EQ(ZAPath::ExpandPath(u"/base", u"x/y", u""), u"/base/x/y");
    EXPECT_EQ(ZAPath::ExpandPath(u"", u"x", u"/def"), u"/def/x");
    EXPECT_EQ(ZAPath::ExpandPath(u"/no/such/base", u"", u""), u"/no/such/base");
    EXPECT_EQ(ZAPath::IncludeTrailingBackslash(u"/a"), u"/a/");
    EXPECT_EQ(ZAPath::ExcludeTrailingBackslash(u"/a/"), u"/a");
}

TEST(ZAPathTest, RemoveEmptyFoldersKeepsBranchesAboveAFile) {
    TempDir dir;
    auto root = dir.Path() / "tree";
    std::filesystem::create_directories(root / "a/b/c");
    std::filesystem::create_directories(root / "d/e");
    std::filesystem::create_directories(root / "f");
    EXPECT_TRUE(ZAPath::RemoveEmptyFolders(U((root / "f").string() + "/")));
    EXPECT_FALSE(std::filesystem::exists(root / "f"));
    dir.Write("tree/d/e/keep.txt", "k");
    EXPECT_FALSE(ZAPath::RemoveEmptyFolders(U(root.string() + "/")));
    EXPECT_TRUE(std::filesystem::exists(root / "d/e/keep.txt"));
    std::filesystem::remove(root / "d/e/keep.txt");
    EXPECT_TRUE(ZAPath::RemoveEmptyFolders(U(root.string() + "/")));
    EXPECT_FALSE(std::filesystem::exists(root));
}

TEST(TUniStringsTest, TextFormatsOnDisk) {
    TempDir dir;
    TUniStringList list;
    list.LoadFromFile(U(dir.Write("utf8.txt", "\xEF\xBB\xBFSch\xC3\xB6n\r\nzwei\n")));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0), u"Sch\u00f6n");
    list.LoadFromFile(U(dir.Write("ansi.txt", "Sch\xF6n\r\n\x80")));
    EXPECT_EQ(list.Get(0), u"Sch\u00f6n");
    EXPECT_EQ(list.Get(1), u"\u20ac");
    list.LoadFromFile(U(dir.Write("be.txt", std::string("\xFE\xFF\x04\x16\x00\x0A", 6))));
    EXPECT_EQ(list.Get(0), u"\u0416");

    std::u16string out = U(dir / "out.txt");
    list.SetText(u"\u03b1\r\nb");
    list.SaveToFile(out);
    EXPECT_EQ(ReadFileBytes(WideToUTF8(out)), std::string("\xFF\xFE\xB1\x03\r\0\n\0b\0\r\0\n\0", 14));
    TUniStringList back;
    back.LoadFromFile(out);
    EXPECT_EQ(back.Text(), list.Text());
    // A save into a folder that does not exist fails and leaves nothing behind.
    EXPECT_THROW(list.SaveToFile(U(dir / "none/out.txt")), Exception);
}

} // namespace
