#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/MemoryStream.h"
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
    std::u16string a = WideCreateTempFile(U(dir.Path().string()));
    std::u16string b = WideCreateTempFile(U(dir.Path().string()));
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
    for (const auto& c : cases)
        EXPECT_EQ(ZAPath::StoredName(c.file, c.base, c.mode, u"/"), c.stored) << WideToUTF8(c.file);
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
