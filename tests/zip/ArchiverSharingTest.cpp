// How the archiver meets other openers, links, other tools' archives and
// names, folder entries and write failures.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace {

void MakeArchive(const std::string& file, const std::vector<std::pair<std::u16string, std::string>>& items)
{
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0xFFFF);
    for (const auto& [name, data] : items) {
        TMemoryStream s = StreamOf(data);
        a.AddFromStream(name, s);
    }
    a.CloseArchive();
}

void AddTo(const std::string& file, const std::u16string& name, const std::string& data)
{
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive();
    TMemoryStream s = StreamOf(data);
    a.AddFromStream(name, s);
    a.CloseArchive();
}

std::string UnzipList(const std::string& file)
{
    std::string out;
    EXPECT_EQ(RunCommand("LANG=C.UTF-8 unzip -Z1 '" + file + "' 2>&1", &out), 0) << out;
    return out;
}

} // namespace

TEST(ArchiverSharing, SecondWriterOnOneFileIsRefusedInsteadOfDroppingTheFirstOnesItems)
{
    TempDir dir;
    const std::string file = dir / "shared.zip";
    MakeArchive(file, {{u"old.txt", "old"}});

    TZipArchiver first, second;
    first.FileName = second.FileName = W(file);
    first.OpenArchive();
    second.OpenArchive();  // falls back to reading: the first holds the file for writing
    TMemoryStream a = StreamOf("from first");
    first.AddFromStream(u"first.txt", a);
    TMemoryStream b = StreamOf("from second");
    EXPECT_EQ(Native([&] { second.AddFromStream(u"second.txt", b); }), 32);
    first.CloseArchive();
    second.CloseArchive();
    EXPECT_EQ(UnzipList(file), "old.txt\nfirst.txt\n");

    // Once the first is closed the file is free for the next writer.
    AddTo(file, u"later.txt", "later");
    EXPECT_EQ(UnzipList(file), "old.txt\nfirst.txt\nlater.txt\n");
}

TEST(ArchiverSharing, CommitThroughSymbolicLinkKeepsTheLink)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "real");
    const std::string target = dir / "real/archive.zip";
    const std::string link = dir / "link.zip";
    std::filesystem::create_symlink("real/archive.zip", link);

    MakeArchive(link, {{u"one.txt", "one"}});  // created through the link
    AddTo(link, u"two.txt", "two");            // updated through the link
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(UnzipList(target), "one.txt\ntwo.txt\n");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().front(), '.') << "temporary file left";
}

TEST(ArchiverSharing, ReorderedDirectoryOfAnotherToolReadsWithAndWithoutPrefix)
{
    // A directory need not follow file order; its first entry here is an
    // empty item whose local header lies behind the others'.
    TempDir dir;
    const std::string made = dir / "made.zip";
    const std::string script = dir.Write("make.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)
z.writestr('a.txt', 'alpha ' * 100)
z.writestr('b.txt', 'bravo ' * 100)
z.writestr('empty.txt', '')
z.filelist = [z.filelist[2], z.filelist[1], z.filelist[0]]
z.close()
)");
    std::string out;
    ASSERT_EQ(RunCommand("python3 '" + script + "' '" + made + "' 2>&1", &out), 0) << out;
    const std::string bytes = ReadFileBytes(made);
    for (size_t prefix : {size_t(0), size_t(1000)}) {
        SCOPED_TRACE(prefix);
        const std::string file = dir.Write("p" + std::to_string(prefix) + ".zip", std::string(prefix, 'x') + bytes);
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0);
        ASSERT_EQ(a.ItemCount(), 3);
        EXPECT_EQ(a.Item(0).FileName, u"empty.txt");
        EXPECT_EQ(Extract(a, u"a.txt"), [] { std::string s; for (int i = 0; i < 100; ++i) s += "alpha "; return s; }());
        EXPECT_EQ(Extract(a, u"b.txt").substr(0, 12), "bravo bravo ");
        EXPECT_EQ(Extract(a, u"empty.txt"), "");
    }
}

TEST(ArchiverSharing, FolderEntriesAreNeverEncrypted)
{
    TempDir dir;
    const std::string file = dir / "folders.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword("secret");
        a.OpenArchive(0xFFFF);
        TMemoryStream none;
        a.AddFromStream(u"docs/", none);
        TMemoryStream some = StreamOf("stray bytes");
        a.AddFromStream(u"pics\\", some);
        TMemoryStream text = StreamOf("inside");
        a.AddFromStream(u"docs/a.txt", text);
        EXPECT_FALSE(a.Item(0).IsEncrypted());
        EXPECT_FALSE(a.Item(1).IsEncrypted());
        EXPECT_TRUE(a.Item(2).IsEncrypted());
        a.CloseArchive();
    }
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t -P secret '" + file + "' 2>&1", &out), 0) << out;
    const std::string script = dir.Write("check.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
z.setpassword(b'secret')
got = {i.filename: (i.flag_bits & 1, i.is_dir(), z.read(i)) for i in z.infolist()}
assert got == {'docs/': (0, True, b''), 'pics/': (0, True, b''), 'docs/a.txt': (1, False, b'inside')}, got
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;

    TZipArchiver a;
    a.FileName = W(file);
    a.SetPassword("secret");
    a.OpenArchive(0);
    EXPECT_EQ(Extract(a, u"docs/"), "");
    EXPECT_EQ(Extract(a, u"docs/a.txt"), "inside");
}

TEST(ArchiverSharing, NonAsciiNamesReachOtherToolsAsWritten)
{
    // Both names lose their characters to "?" in the header's code page.
    TempDir dir;
    const std::string file = dir / "names.zip";
    const std::vector<std::u16string> names = {u"画.txt", u"像.txt", u"Ünïcødé/ça.txt", u"plain.txt"};
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        for (const auto& n : names) {
            TMemoryStream s = StreamOf(WideToUTF8(n));
            a.AddFromStream(n, s);
        }
        a.CloseArchive();
    }
    std::string expected;
    for (const auto& n : names)
        expected += WideToUTF8(n) + "\n";
    EXPECT_EQ(UnzipList(file), expected);

    std::string out;
    EXPECT_EQ(RunCommand("LANG=C.UTF-8 7z l -slt '" + file + "' | grep '^Path = ' | tail -n +2", &out), 0);
    std::string sevenZip;
    for (const auto& n : names)
        sevenZip += "Path = " + WideToUTF8(n) + "\n";
    EXPECT_EQ(out, sevenZip);
    EXPECT_EQ(RunCommand("LANG=C.UTF-8 bsdtar -tf '" + file + "'", &out), 0);
    EXPECT_EQ(out, expected);

    // Python's reader of this system does not apply the field itself; the
    // check reads it as a reader that does would: version 1, the CRC-32 of
    // the header name, the UTF-8 name, in both headers.
    const std::string script = dir.Write("check.py", R"(
import struct, sys, zipfile, zlib
def upath(extra, raw):
    while len(extra) >= 4:
        tag, size = struct.unpack('<HH', extra[:4])
        data = extra[4:4 + size]
        if tag == 0x7075:
            assert data[0] == 1
            assert struct.unpack('<I', data[1:5])[0] == zlib.crc32(raw)
            return data[5:].decode('utf-8')
        extra = extra[4 + size:]
    return raw.decode('cp437')
z = zipfile.ZipFile(sys.argv[1])
f = open(sys.argv[1], 'rb')
for i in z.infolist():
    raw = i.orig_filename.encode('cp437')
    f.seek(i.header_offset)
    head = f.read(30)
    n, m = struct.unpack('<HH', head[26:30])
    local_raw = f.read(n)
    local_extra = f.read(m)
    assert upath(i.extra, raw) == upath(local_extra, local_raw)
    print(upath(i.extra, raw))
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(out, expected);

    // Our reader keeps its own field first, and falls back on the standard
    // one in an archive that has only that.
    const std::string other = dir / "other.zip";
    {
        TZipArchiver a;
        a.FileName = W(other);
        a.OpenArchive(0xFFFF);
        TMemoryStream s = StreamOf("x");
        a.AddFromStream(u"画.txt", s);
        a.CloseArchive();
    }
    std::string bytes = ReadFileBytes(other);
    for (size_t at = bytes.find("NU"); at != std::string::npos; at = bytes.find("NU", at + 2))
        if (bytes.compare(at + 4, 4, "NUCX") == 0)
            bytes[at] = 'X';  // an unknown tag now
    const std::string stripped = dir.Write("stripped.zip", bytes);
    TZipArchiver a;
    a.FileName = W(stripped);
    a.OpenArchive(0);
    EXPECT_EQ(a.Item(0).FileName, u"画.txt");
    EXPECT_EQ(Extract(a, u"画.txt"), "x");
}

TEST(ArchiverSharing, WriteFailuresAreArchiveWriteErrors)
{
    // A stream that takes so many bytes and then refuses, either with a
    // short write (a full disk) or by raising.
    class TFullStream : public TMemoryStream {
    public:
        int64_t room = 0;
        bool raise = false;
        int64_t Write(const void* buffer, int64_t count) override
        {
            if (GetPosition() + count > room) {
                if (raise)
                    throw EWriteError("device error");
                return 0;
            }
            return TMemoryStream::Write(buffer, count);
        }
    };
    const std::string data = Random(200000, 5);
    for (bool raise : {false, true}) {
        SCOPED_TRACE(raise);
        TFullStream archive;
        archive.room = 100000;
        archive.raise = raise;
        TZipArchiver a;
        a.OpenArchive(archive, true);
        TMemoryStream s = StreamOf(data);
        EXPECT_EQ(Native([&] { a.AddFromStream(u"big", s); }), 46);
        EXPECT_EQ(a.ItemCount(), 0);

        // Room made by the disk-full handler lets the write go on.
        int asked = 0;
        a.OnDiskFull = [&](TZABaseArchiver*, int32_t, const std::u16string&, bool& cancel) {
            ++asked;
            archive.room = 1 << 30;
            cancel = false;
        };
        if (!raise) {
            a.AddFromStream(u"big", s);
            EXPECT_EQ(asked, 1);
            EXPECT_EQ(Extract(a, u"big"), data);
        }
    }

    // Extracting into a full destination is the same failure.
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    TMemoryStream s = StreamOf(data);
    a.AddFromStream(u"big", s);
    TFullStream out;
    out.room = 1000;
    EXPECT_EQ(Native([&] { a.ExtractToStream(u"big", out); }), 46);
}
