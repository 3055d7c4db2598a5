// The archiver against its own reader and against unzip, 7z and Python's
// zipfile, on disk and in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <filesystem>
#include <random>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"

namespace {

const std::string kPassword = "Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay";
const std::string kSignature = "VelmoraAlbumDesignerPro, v2.0";

void SetUpPortfolio(TZipArchiver& a, const std::string& file)
{
    a.FileName = W(file);
    a.EncryptionMethod = caAES_128;
    a.SetPassword(kPassword);
    a.SetCompressionLevel(clFastest);
}

struct TItem {
    std::u16string name;
    std::string data;
};

std::vector<TItem> PortfolioItems()
{
    return {{u"_XML_DETAILS_", "<details><name>Ada</name></details>"},
            {u"_TEMPLATE_XML_", "<template>" + std::string(5000, 'x') + "</template>"},
            {u"A1B2", Compressible(300000, 7)},
            {u"_STATEMENT_FILE_", ""},
            {u"_CV_FILE_", Compressible(1000, 3)},
            {u"Ünïcødé_画像", "wide name"},
            {u"_PICTURE_FILE_", ""},
            // A photograph's bytes, stored rather than deflated.
            {u"C3D4", Random(3 << 19, 9)}};
}

void WritePortfolio(const std::string& file)
{
    TZipArchiver a;
    SetUpPortfolio(a, file);
    a.OpenArchive(0xFFFF);
    a.SetComment(kSignature);
    for (const auto& item : PortfolioItems()) {
        TMemoryStream s = StreamOf(item.data);
        a.AddFromStream(item.name, s, true, 0, 0, 0x20, 0);
    }
    a.CloseArchive();
}

} // namespace

TEST(Archiver, FreshPropertiesAndSetters)
{
    TZipArchiver a;
    EXPECT_EQ(a.GetCompressionLevel(), clFastest);
    EXPECT_EQ(a.GetCompressionMode(), 1);
    EXPECT_EQ(a.GetCompressionMethod(), 8);
    EXPECT_EQ(a.Zip64Mode, zmDisabled);
    EXPECT_TRUE(a.UnicodeFilenames);
    EXPECT_EQ(a.EncryptionMethod, caPkzipClassic);
    EXPECT_TRUE(a.Options.OEMFileNames);
    EXPECT_EQ(a.Options.OverwriteMode, omAlways);

    EXPECT_EQ(Native([&] { a.SetCompressionMode(10); }), 5);
    EXPECT_EQ(a.GetCompressionMode(), 1);
    a.SetCompressionMode(5);
    EXPECT_EQ(a.GetCompressionLevel(), clNormal);
    a.SetCompressionLevel(clNormal);
    EXPECT_EQ(a.GetCompressionMode(), 6);
    a.SetCompressionMode(0);
    EXPECT_EQ(a.GetCompressionLevel(), clNone);
    EXPECT_EQ(a.GetCompressionMethod(), 0);

    const auto version = a.GetCurrentVersion();
    a.SetCurrentVersion(u"other");
    EXPECT_EQ(a.GetCurrentVersion(), version);
    EXPECT_NE(WideToUTF8(version).find("5.00"), std::string::npos);
}

TEST(Archiver, PasswordDecidesEncryptionMethod)
{
    TZipArchiver a;
    a.EncryptionMethod = caAES_256;
    a.SetPassword("one");
    EXPECT_EQ(a.EncryptionMethod, caPkzipClassic);
    a.EncryptionMethod = caAES_256;
    a.SetPassword("two");
    EXPECT_EQ(a.EncryptionMethod, caAES_256);
}

TEST(Archiver, StateGuards)
{
    TempDir dir;
    TZipArchiver a;
    EXPECT_EQ(a.GetComment(), "");
    EXPECT_EQ(Native([&] { a.SetComment("x"); }), 13);
    EXPECT_EQ(Native([&] { a.OpenArchive(); }), 9);
    a.FileName = W(dir / "missing.zip");
    try {
        a.OpenArchive(0);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 12);
        EXPECT_NE(e.Message().find("missing.zip"), std::string::npos);
    }
    a.SetInMemory(true);
    EXPECT_EQ(Native([&] { a.OpenArchive(0); }), 28);
    a.OpenArchive();
    EXPECT_THROW(a.SetSpanningMode(smSplitting), Exception);
    a.CloseArchive();
    a.SetSpanningMode(smSplitting);
    a.SetSpanningMode(smNone);
}

TEST(Archiver, PortfolioRoundTripReadByUsAndOtherTools)
{
    TempDir dir;
    const std::string file = dir / "work.pfo";
    WritePortfolio(file);

    {
        TZipArchiver a;
        SetUpPortfolio(a, file);
        a.OpenArchive(0);
        EXPECT_EQ(a.GetComment(), kSignature);
        ASSERT_EQ(a.ItemCount(), int(PortfolioItems().size()));
        for (const auto& item : PortfolioItems()) {
            SCOPED_TRACE(WideToUTF8(item.name));
            EXPECT_EQ(Extract(a, item.name), item.data);
        }
        const TDirItem& first = a.Item(0);
        EXPECT_TRUE(first.IsEncrypted());
        EXPECT_EQ(first.Method, 8);
        bool hasNu = false;
        for (const auto& f : first.ExtraFields)
            hasNu = hasNu || f.Id == kUnicodeNameExtraId;
        EXPECT_TRUE(hasNu);
        const TDirItem& empty = a.Item(3);
        EXPECT_EQ(empty.Method, 0);
        EXPECT_EQ(empty.Crc32, 0u);
        a.CloseArchive();
    }

    std::string out;
    EXPECT_EQ(RunCommand("unzip -t -P " + kPassword + " '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("7z t -p" + kPassword + " '" + file + "' 2>&1", &out), 0) << out;
    const std::string script = dir.Write("check.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.comment == b'VelmoraAlbumDesignerPro, v2.0', z.comment
z.setpassword(sys.argv[2].encode())
for i in z.infolist():
    data = z.read(i)
    assert i.flag_bits & 1
    assert len(data) == i.file_size
# the Unicode name rides in the NU field
raw = [i for i in z.infolist() if i.extra.find(b'NUCX') >= 0]
assert len(raw) == len(z.infolist())
print("ok", len(z.infolist()))
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' " + kPassword + " 2>&1", &out), 0) << out;
}

TEST(Archiver, CreateOnlyCommentLeavesBareEndRecord)
{
    TempDir dir;
    const std::string file = dir / "c.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        a.SetComment("hello");
        a.CloseArchive();
    }
    const std::string bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.size(), 22u + 5);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x05\x06", 4));
    EXPECT_EQ(bytes.substr(22), "hello");
}

TEST(Archiver, CaughtFailedAddKeepsCreatedArchive)
{
    TempDir dir;
    const std::string file = dir.Write("old.zip", "precious old content");
    {
        // Nothing reaches the old file before the close, and a cancelled
        // add leaves the new archive empty, not void.
        TZipArchiver a;
        a.FileName = W(file);
        a.OnOverallProgress = [](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase phase, bool& cancel) {
            cancel = phase == ppStart;
        };
        a.OpenArchive(0xFFFF);
        TMemoryStream s = StreamOf("data");
        EXPECT_EQ(Native([&] { a.AddFromStream(u"a.txt", s); }), 45);
        EXPECT_EQ(ReadFileBytes(file), "precious old content");
        a.CloseArchive();
    }
    EXPECT_EQ(ReadFileBytes(file), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    {
        // A failed add the caller caught costs that item only, also when
        // the archiver is simply destroyed afterwards.
        class TBrokenStream : public TMemoryStream {
        public:
            int64_t Read(void*, int64_t) override { throw EReadError("gone"); }
        };
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        TMemoryStream good = StreamOf("data");
        a.AddFromStream(u"ok.txt", good);
        TBrokenStream broken;
        broken.SetSize(3);
        EXPECT_THROW(a.AddFromStream(u"bad.txt", broken, false), Exception);
        TMemoryStream more = StreamOf("more");
        a.AddFromStream(u"more.txt", more);
    }
    std::string out;
    EXPECT_EQ(RunCommand("unzip -Z1 '" + file + "'", &out), 0) << out;
    EXPECT_EQ(out, "ok.txt\nmore.txt\n");
    EXPECT_EQ(RunCommand("unzip -p '" + file + "' more.txt", &out), 0);
    EXPECT_EQ(out, "more");
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().front(), '.') << "temporary file left";
}

TEST(Archiver, AbortedTransactionLeavesFileByteIdenticalAndRaises)
{
    TempDir dir;
    const std::string file = dir / "t.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        for (const char* n : {"one", "two", "three"}) {
            TMemoryStream s = StreamOf(Compressible(20000, n[0]));
            a.AddFromStream(W(n), s);
        }
        a.CloseArchive();
    }
    const std::string before = ReadFileBytes(file);

    // A failing source stream under the default failure answer: abort.
    class TBrokenStream : public TMemoryStream {
    public:
        int64_t Read(void*, int64_t) override { throw EReadError("device gone"); }
    };
    for (bool replaceFirst : {false, true}) {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive();
        TBrokenStream broken;
        broken.SetSize(100);
        a.BeginUpdate();
        TMemoryStream good = StreamOf("fine");
        a.AddFromStream(replaceFirst ? u"one" : u"four", good);
        a.AddFromStream(u"five", broken, false);
        EXPECT_THROW(a.EndUpdate(), Exception);
        EXPECT_EQ(ReadFileBytes(file), before);
        EXPECT_EQ(a.ItemCount(), 3);
        EXPECT_EQ(Extract(a, u"one"), Compressible(20000, 'o'));
        a.CloseArchive();
        EXPECT_EQ(ReadFileBytes(file), before);
    }

    // The same in memory, where the commit works in place.
    TMemoryStream mem = StreamOf(before);
    {
        TZipArchiver a;
        a.OpenArchive(mem, false);
        a.BeginUpdate();
        TMemoryStream good = StreamOf("fine");
        a.AddFromStream(u"one", good);
        TBrokenStream broken;
        broken.SetSize(10);
        a.AddFromStream(u"x", broken, false);
        EXPECT_THROW(a.EndUpdate(), Exception);
        EXPECT_EQ(Text(mem), before);
    }
}

TEST(Archiver, IgnoredFailureKeepsOldContentAndDropsNewItem)
{
    TempDir dir;
    const std::string file = dir / "i.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        TMemoryStream s = StreamOf("old one");
        a.AddFromStream(u"one", s);
        a.CloseArchive();
    }
    class TBrokenStream : public TMemoryStream {
    public:
        int64_t Read(void*, int64_t) override { throw EReadError("gone"); }
    };
    TZipArchiver a;
    a.FileName = W(file);
    int failures = 0;
    a.OnProcessFileFailure = [&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation, int32_t, int32_t,
                                 const std::u16string&, TZAAction& action) {
        ++failures;
        action = fxaIgnore;
    };
    a.OpenArchive();
    TBrokenStream b1, b2;
    b1.SetSize(5);
    b2.SetSize(5);
    a.BeginUpdate();
    a.AddFromStream(u"one", b1, false);
    a.AddFromStream(u"two", b2, false);
    a.EndUpdate();
    EXPECT_EQ(failures, 2);
    ASSERT_EQ(a.ItemCount(), 1);
    EXPECT_EQ(Extract(a, u"one"), "old one");
    a.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + file + "' 2>&1", &out), 0) << out;
}

TEST(Archiver, AddReplaceAndSkip)
{
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    TMemoryStream s1 = StreamOf("first");
    a.AddFromStream(u"dir\\a.xml", s1);
    EXPECT_EQ(a.Item(0).FileName, u"dir/a.xml");
    TMemoryStream s2 = StreamOf("second");
    a.AddFromStream(u"dir/a.xml", s2);
    ASSERT_EQ(a.ItemCount(), 1);
    EXPECT_EQ(Extract(a, u"dir/a.xml"), "second");
    EXPECT_EQ(Extract(a, u"dir\\a.xml"), "second");

    const std::string before = Text(mem);
    a.Options.OverwriteMode = omNever;
    TMemoryStream s3 = StreamOf("third");
    a.AddFromStream(u"dir/a.xml", s3);
    EXPECT_EQ(Text(mem), before);

    // Without a buffer copy the commit happens before the call returns.
    a.Options.OverwriteMode = omAlways;
    {
        TMemoryStream temp = StreamOf("borrowed");
        a.AddFromStream(u"b", temp, false);
    }
    EXPECT_EQ(Extract(a, u"b"), "borrowed");

    a.OnStoreFile = [](TZABaseArchiver*, std::u16string& name, uint32_t&, std::string&, const std::u16string&) {
        if (name == u"a\\b.txt")
            name = u"c\\d.txt";
    };
    TMemoryStream s4 = StreamOf("renamed");
    a.AddFromStream(u"a/b.txt", s4);
    EXPECT_EQ(Extract(a, u"c/d.txt"), "renamed");
}

TEST(Archiver, ExtractionErrorsAndPasswords)
{
    // The classic header's check byte lets one wrong password in 256
    // through, to fail later on the CRC; the archive is made anew until none
    // of the wrong ones used below gets past it.
    TMemoryStream mem;
    for (bool clean = false; !clean;) {
        mem.SetSize(0);
        TZipArchiver a;
        a.SetPassword("right");
        a.OpenArchive(mem, true);
        TMemoryStream s = StreamOf(Compressible(5000, 1));
        a.AddFromStream(u"secret", s);
        const TDirItem item = a.Item(0);
        a.CloseArchive();
        const std::string bytes = Text(mem);
        const size_t data = 30 + uint8_t(bytes[26]) + (uint8_t(bytes[27]) << 8) + uint8_t(bytes[28]) +
                            (uint8_t(bytes[29]) << 8);
        clean = true;
        for (const char* wrong : {"", "wrong", "wrong again", "bad"}) {
            uint8_t header[kPKZipHeaderSize];
            std::memcpy(header, bytes.data() + data, sizeof header);
            TZACryptKeys keys;
            keys.InitKeysAndDecryptHeader(wrong, header);
            clean = clean && !PKZipHeaderMatches(header, item.Flags, item.Time, item.Crc32);
        }
    }
    TZipArchiver a;
    a.OpenArchive(mem, false);
    try {
        TMemoryStream out;
        a.ExtractToStream(u"nothere", out);
        FAIL();
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError, 15);
        EXPECT_NE(e.Message().find("nothere"), std::string::npos);
    }
    // No password and nobody to ask: an error, not an empty success.
    EXPECT_EQ(Native([&] { Extract(a, u"secret"); }), 8);

    int asked = 0;
    a.OnPassword = [&](TZABaseArchiver*, const std::u16string& name, std::string& pw, bool& skip) {
        ++asked;
        EXPECT_EQ(name, u"secret");
        pw = asked == 1 ? "wrong again" : "right";
        skip = false;
    };
    a.SetPassword("wrong");
    EXPECT_EQ(Extract(a, u"secret"), Compressible(5000, 1));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(a.GetPassword(), "right");

    a.SetPassword("bad");
    a.OnPassword = [](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) { skip = true; };
    EXPECT_EQ(Extract(a, u"secret"), "");  // skipped on the handler's word
}

TEST(Archiver, DamagedItemsAndDeflate64)
{
    TMemoryStream mem;
    {
        TZipArchiver a;
        a.OpenArchive(mem, true);
        TMemoryStream s = StreamOf("some stored text");
        a.SetCompressionMode(0);
        a.AddFromStream(u"t", s);
        a.CloseArchive();
    }
    std::string bytes = Text(mem);
    // Damage a data byte: the CRC check fails.
    const size_t data = bytes.find("some stored");
    ASSERT_NE(data, std::string::npos);
    bytes[data] = 'S';
    {
        TMemoryStream damaged = StreamOf(bytes);
        TZipArchiver a;
        a.OpenArchive(damaged, false);
        EXPECT_EQ(Native([&] { Extract(a, u"t"); }), 8);
        a.ExtractCorruptedFiles = true;
        EXPECT_EQ(Extract(a, u"t"), "Some stored text");
    }
    // Method 9 in both headers.
    std::string d64 = Text(mem);
    for (size_t at = 0; (at = d64.find(std::string("PK\x03\x04", 4), at)) != std::string::npos; at += 4)
        d64[at + 8] = 9;
    for (size_t at = 0; (at = d64.find(std::string("PK\x01\x02", 4), at)) != std::string::npos; at += 4)
        d64[at + 10] = 9;
    TMemoryStream m64 = StreamOf(d64);
    TZipArchiver a;
    a.OpenArchive(m64, false);
    EXPECT_EQ(Native([&] { Extract(a, u"t"); }), 55);
}

TEST(Archiver, UpdateOnReadOnlyArchiveRaises)
{
    TempDir dir;
    const std::string file = dir / "r.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        a.CloseArchive();
    }
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0);
    TMemoryStream s = StreamOf("x");
    EXPECT_EQ(Native([&] { a.AddFromStream(u"x", s); }), 32);
}

TEST(Archiver, UpdatesForeignArchiveWithDataDescriptors)
{
    TempDir dir;
    dir.Write("a.txt", Compressible(40000, 5));
    dir.Write("b.txt", Compressible(30000, 6));
    dir.Write("c.txt", "small");
    const std::string file = dir / "f.zip";
    std::string out;
    // zip -P writes data descriptors for encrypted items.
    ASSERT_EQ(RunCommand("cd '" + dir.Path().string() + "' && zip -q -P pw f.zip a.txt b.txt c.txt", &out), 0) << out;
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword("pw");
        a.OpenArchive();
        ASSERT_EQ(a.ItemCount(), 3);
        EXPECT_TRUE(a.Item(0).Flags & kFlagDataDescriptor);
        TMemoryStream s = StreamOf("replacement");
        a.AddFromStream(u"a.txt", s);  // replaces the physically first item
        TMemoryStream t = StreamOf("new");
        a.AddFromStream(u"d.txt", t);
        EXPECT_EQ(Extract(a, u"b.txt"), Compressible(30000, 6));
        a.CloseArchive();
    }
    EXPECT_EQ(RunCommand("7z t -ppw '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -t -P pw '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -p -P pw '" + file + "' a.txt", &out), 0);
    EXPECT_EQ(out, "replacement");
}

TEST(Archiver, ZipSlipExtractsNothingOutsideTarget)
{
    TempDir dir;
    const std::string file = dir / "slip.zip";
    const std::string script = dir.Write("make.py", R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('good/ok.txt', 'fine')
    z.writestr('../escaped.txt', 'bad')
    z.writestr('good/../../escaped2.txt', 'bad')
    z.writestr('/abs_escaped.txt', 'bad')
    z.writestr('C:\\drive_escaped.txt', 'bad')
    z.writestr('..\\back_escaped.txt', 'bad')
)");
    std::string out;
    ASSERT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;
    const std::string target = dir / "target/inner";
    std::filesystem::create_directories(target);
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0);
    EXPECT_EQ(Native([&] { a.ExtractFiles(u"*", W(target)); }), 19);
    EXPECT_EQ(ReadFileBytes(target + "/good/ok.txt"), "fine");
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
        if (e.is_regular_file() && e.path().filename().string().find("escaped") != std::string::npos)
            ADD_FAILURE() << "written outside: " << e.path();
        files += e.is_regular_file();
    }
    EXPECT_EQ(files, 3u);  // the archive, the script, ok.txt
}

TEST(Archiver, AddFilesAndExtractFilesRoundTrip)
{
    TempDir dir;
    const std::string src = dir / "src";
    std::filesystem::create_directories(src + "/sub");
    dir.Write("src/sub/x.bin", Compressible(70000, 9));
    dir.Write("src/top.txt", "top");
    TZipArchiver a;
    a.FileName = W(dir / "files.zip");
    a.BaseDir = W(src);
    a.OpenArchive(0xFFFF);
    a.AddFile(W(src + "/sub"));
    a.AddFile(W(src + "/sub/x.bin"));
    a.AddFile(W(src + "/top.txt"));
    EXPECT_EQ(a.Item(0).FileName, u"sub/");
    EXPECT_EQ(a.Item(0).Flags, 2);
    EXPECT_EQ(a.Item(1).FileName, u"sub/x.bin");
    a.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + (dir / "files.zip") + "' 2>&1", &out), 0) << out;

    a.OpenArchive(0);
    a.ExtractFiles(u"*", W(dir / "out"));
    EXPECT_EQ(ReadFileBytes(dir / "out/sub/x.bin"), Compressible(70000, 9));
    EXPECT_EQ(ReadFileBytes(dir / "out/top.txt"), "top");
}

// New files are written under their own names, existing ones beside them
// and renamed over them: either way a file that is there has the usual
// permissions, a damaged item leaves no new file behind and never destroys
// the file it would have replaced.
TEST(Archiver, ExtractedFilesAreCompleteOrNotThereAndOldFilesSurviveDamage)
{
    TempDir dir;
    TMemoryStream mem;
    {
        TZipArchiver a;
        a.OpenArchive(mem, true);
        a.SetCompressionMode(0);
        for (const char* name : {"a/new.txt", "a/bad.txt", "a/old.txt"}) {
            TMemoryStream s = StreamOf(std::string("content of ") + name);
            a.AddFromStream(W(name), s);
        }
        a.CloseArchive();
    }
    std::string bytes = Text(mem);
    const size_t data = bytes.find("content of a/bad.txt");
    ASSERT_NE(data, std::string::npos);
    bytes[data] = 'C';
    const std::string zip = dir / "damaged.zip";
    dir.Write("damaged.zip", bytes);

    const mode_t saved = ::umask(027);
    auto extract = [&](const std::string& mask, const std::string& to) {
        TZipArchiver a;
        a.FileName = W(zip);
        a.OpenArchive(0);
        a.Options.OverwriteMode = omAlways;
        a.ExtractFiles(W(mask), W(to));
    };
    const std::string out = dir / "out";
    extract("a/new.txt", out);
    EXPECT_EQ(ReadFileBytes(out + "/a/new.txt"), "content of a/new.txt");
    dir.Write("out/a/old.txt", "older");
    ::chmod((out + "/a/old.txt").c_str(), 0600);
    extract("a/old.txt", out);
    EXPECT_EQ(ReadFileBytes(out + "/a/old.txt"), "content of a/old.txt");
    for (const char* name : {"a/new.txt", "a/old.txt"}) {
        struct stat st {};
        ASSERT_EQ(::stat((out + "/" + name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0640u) << name;
    }

    EXPECT_EQ(Native([&] { extract("a/bad.txt", out); }), 8);
    EXPECT_FALSE(std::filesystem::exists(out + "/a/bad.txt"));
    dir.Write("out/a/bad.txt", "keep me");
    EXPECT_EQ(Native([&] { extract("a/bad.txt", out); }), 8);
    EXPECT_EQ(ReadFileBytes(out + "/a/bad.txt"), "keep me");
    ::umask(saved);
    for (const auto& e : std::filesystem::directory_iterator(out + "/a"))
        EXPECT_NE(e.path().filename().string().front(), '.') << "temporary file left";
}

TEST(Archiver, Zip64ItemsReadByOtherTools)
{
    TempDir dir;
    const std::string file = dir / "z64.zip";
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.Zip64Mode = zmAlways;
        a.OpenArchive(0xFFFF);
        for (int i = 0; i < 3; ++i) {
            TMemoryStream s = StreamOf(Compressible(10000 + i, unsigned(i)));
            a.AddFromStream(u"item" + std::u16string(1, char16_t(u'0' + i)), s);
        }
        a.CloseArchive();
    }
    std::string out;
    EXPECT_EQ(RunCommand("7z t '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -t '" + file + "' 2>&1", &out), 0) << out;
    const std::string script = dir.Write("z.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    z.read(i)
    assert i.extract_version >= 45, i.extract_version
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0);
    EXPECT_EQ(Extract(a, u"item2"), Compressible(10002, 2));
    EXPECT_EQ(a.Item(0).LocalHeaderOffset, kSaturated32);
}

TEST(Archiver, InMemoryArchiveWrittenToFile)
{
    TempDir dir;
    TZipArchiver a;
    a.SetInMemory(true);
    a.OpenArchive();
    TMemoryStream s = StreamOf("in memory");
    a.AddFromStream(u"m.txt", s);
    EXPECT_EQ(Native([&] { a.SetInMemory(false); }), 29);
    a.FileName = W(dir / "m.zip");
    a.SetInMemory(false);
    EXPECT_TRUE(a.GetActive());
    EXPECT_EQ(Extract(a, u"m.txt"), "in memory");
    a.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -p '" + (dir / "m.zip") + "' m.txt", &out), 0);
    EXPECT_EQ(out, "in memory");
}

TEST(Archiver, SearchMasksAndRates)
{
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    a.SetCompressionMode(9);
    for (auto [name, data] : std::vector<std::pair<std::u16string, std::string>>{
             {u"noext", std::string(1000, 'a')}, {u"x.txt", ""}, {u"sub/y.txt", Compressible(3000, 2)}}) {
        TMemoryStream s = StreamOf(data);
        a.AddFromStream(name, s);
    }
    struct {
        const char16_t* mask;
        std::vector<std::u16string> found;
    } cases[] = {
        {u"*.*", {u"noext", u"x.txt", u"y.txt"}},
        {u"*.", {u"noext"}},
        {u"*.TXT", {u"x.txt", u"y.txt"}},
        {u"sub\\*", {u"y.txt"}},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> found;
        TZArchiveItem r;
        for (bool ok = a.FindFirst(c.mask, r); ok; ok = a.FindNext(r))
            found.push_back(r.FileName);
        EXPECT_EQ(found, c.found) << WideToUTF8(c.mask);
    }
    a.Options.Recurse = false;
    TZArchiveItem r;
    ASSERT_TRUE(a.FindFirst(u"*.txt", r));
    EXPECT_EQ(r.FileName, u"x.txt");
    EXPECT_FALSE(a.FindNext(r));
    EXPECT_EQ(r.CompressionRate, 100);  // empty item
    ASSERT_TRUE(a.FindFirst(u"noext", r));
    EXPECT_GT(r.CompressionRate, 90);
}

TEST(Archiver, UpdateKeepsItemsWhoseNamesDifferOnlyInCase)
{
    // Archives made on case-sensitive systems may hold "a.txt" beside
    // "A.txt"; copying unchanged items must not confuse the two.
    TempDir dir;
    const std::string file = dir / "case.zip";
    const std::string script = dir.Write("make.py", R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('b.txt', 'bee')
    z.writestr('a.txt', 'lower')
    z.writestr('A.txt', 'UPPER')
)");
    std::string out;
    ASSERT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive();
        EXPECT_EQ(Extract(a, u"a.txt"), "lower");
        EXPECT_EQ(Extract(a, u"A.txt"), "UPPER");
        TMemoryStream s = StreamOf("replaced");
        a.AddFromStream(u"b.txt", s);  // the physically first item: the rest is copied
        TMemoryStream t = StreamOf("upper again");
        a.AddFromStream(u"A.txt", t);  // replaces its own item, not its case twin
        EXPECT_EQ(Extract(a, u"a.txt"), "lower");
        a.CloseArchive();
    }
    const std::string check = dir.Write("check.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
got = {i.filename: z.read(i) for i in z.infolist()}
assert got == {'b.txt': b'replaced', 'a.txt': b'lower', 'A.txt': b'upper again'}, got
assert z.testzip() is None
)");
    EXPECT_EQ(RunCommand("python3 '" + check + "' '" + file + "' 2>&1", &out), 0) << out;
}

TEST(Archiver, ExtractionByIndexReachesEachEntryOfARepeatedName)
{
    TempDir dir;
    const std::string file = dir / "twice.zip";
    const std::string script = dir.Write("make.py", R"(
import sys, warnings, zipfile
warnings.simplefilter('ignore')
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('x.txt', 'first')
    z.writestr('x.txt', 'second')
)");
    std::string out;
    ASSERT_EQ(RunCommand("python3 '" + script + "' '" + file + "' 2>&1", &out), 0) << out;
    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0);
    ASSERT_EQ(a.ItemCount(), 2);
    EXPECT_EQ(Extract(a, u"x.txt"), "second");  // the name lookup answers the last
    for (const auto& [index, expected] : {std::pair{0, "first"}, std::pair{1, "second"}}) {
        TMemoryStream s;
        a.ExtractItemToStream(index, s);
        EXPECT_EQ(Text(s), expected);
    }
    for (int bad : {-1, 2})
        EXPECT_EQ(Native([&] { TMemoryStream s; a.ExtractItemToStream(bad, s); }), 16) << bad;
}

TEST(Archiver, ThrowingStartHandlerLeavesNoUnwrittenItem)
{
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    TMemoryStream s = StreamOf("hello");
    a.AddFromStream(u"one", s);
    bool boom = true;
    a.OnOverallProgress = [&](TZABaseArchiver*, double, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        if (boom && phase == ppStart)
            throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(a.AddFromStream(u"two", s), std::runtime_error);
    EXPECT_EQ(a.ItemCount(), 1);
    boom = false;
    a.AddFromStream(u"three", s);
    a.CloseArchive();

    TempDir dir;
    const std::string file = dir.Write("t.zip", Text(mem));
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -Z1 '" + file + "'", &out), 0);
    EXPECT_EQ(out, "one\nthree\n");
}

// A file added from disk takes its attributes, time and size from one
// look-up; a folder gets the time of the add.
TEST(Archiver, AddedFilesCarryTheirAttributesTimesAndSizes)
{
    TempDir dir;
    const std::string src = dir / "src";
    std::filesystem::create_directories(src + "/folder");
    const int32_t dos = int32_t(((2003 - 1980) << 25) | (4 << 21) | (5 << 16) | (6 << 11) | (7 << 5) | 8);
    dir.Write("src/plain.txt", "12345");
    ASSERT_TRUE(WideSetFileAge(W(src + "/plain.txt"), dos));
    dir.Write("src/.hidden", "");
    dir.Write("src/locked.txt", std::string(70000, 'x'));
    ASSERT_TRUE(WideSetAttributes(W(src + "/locked.txt"), faReadOnly));

    TZipArchiver a;
    a.FileName = W(dir / "attrs.zip");
    a.BaseDir = W(src);
    a.OpenArchive(0xFFFF);
    const int32_t before = TimeToDosDateTime(int64_t(std::time(nullptr)));
    const struct {
        std::string name;
        std::u16string stored;
        uint32_t attributes;
        uint64_t size;
    } cases[] = {
        {"plain.txt", u"plain.txt", faArchive, 5},
        {".hidden", u".hidden", faArchive | faHidden, 0},
        {"locked.txt", u"locked.txt", faArchive | faReadOnly, 70000},
        {"folder", u"folder/", faDirectory, 0},
    };
    for (const auto& c : cases)
        a.AddFile(W(src + "/" + c.name));
    const int32_t after = TimeToDosDateTime(int64_t(std::time(nullptr)));
    EXPECT_EQ(Native([&] { a.AddFile(W(src + "/missing.txt")); }), 12);
    ASSERT_EQ(a.ItemCount(), int(std::size(cases)));
    for (int i = 0; i < a.ItemCount(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        const TDirItem& item = a.Item(i);
        EXPECT_EQ(item.FileName, c.stored);
        EXPECT_EQ(item.ExternalAttributes, c.attributes);
        EXPECT_EQ(item.FullUncompressedSize(), c.size);
        const int32_t time = int32_t((uint32_t(item.Date) << 16) | item.Time);
        if (c.name == "plain.txt") {
            EXPECT_EQ(time, dos);
        }
        if (c.name == "folder") {
            EXPECT_GE(time, before);
            EXPECT_LE(time, after);
        }
    }
    a.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + (dir / "attrs.zip") + "' 2>&1", &out), 0) << out;

    // Names are stored below the base in force when each file is added,
    // also where one transaction adds them all.
    dir.Write("src/folder/in.txt", "in");
    TZipArchiver b;
    b.FileName = W(dir / "bases.zip");
    b.OpenArchive(0xFFFF);
    b.BeginUpdate();
    b.BaseDir = W(src);
    b.AddFile(W(src + "/plain.txt"));
    b.BaseDir = W(src + "/folder");
    b.AddFile(W(src + "/folder/in.txt"));
    b.BaseDir = W(src);
    b.AddFile(W(src + "/folder/in.txt"));
    b.EndUpdate();
    ASSERT_EQ(b.ItemCount(), 3);
    EXPECT_EQ(b.Item(0).FileName, u"plain.txt");
    EXPECT_EQ(b.Item(1).FileName, u"in.txt");
    EXPECT_EQ(b.Item(2).FileName, u"folder/in.txt");
}

// Each item's local header gets its CRC and sizes once its data is written:
// in memory for items small enough to go out in one write, behind a seek
// for larger ones. Either way the local header must say what the central
// directory says, for plain, ZIP64 and AES items.
TEST(Archiver, LocalHeadersAgreeWithTheCentralDirectory)
{
    TempDir dir;
    const std::string checker = dir.Write("check.py", R"(
import struct, sys, zipfile
data = open(sys.argv[1], 'rb').read()
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    o = i.header_offset
    sig, ver, flags, method, t, d, crc, csize, usize, nlen, xlen = struct.unpack('<IHHHHHIIIHH', data[o:o + 30])
    assert sig == 0x04034b50, (i.filename, hex(sig))
    assert data[o + 30:o + 30 + nlen].decode('utf-8') == i.orig_filename, i.filename
    extra = data[o + 30 + nlen:o + 30 + nlen + xlen]
    if csize == 0xFFFFFFFF or usize == 0xFFFFFFFF:
        tag, size, usize, csize = struct.unpack('<HHQQ', extra[:20])
        assert tag == 1, (i.filename, tag)
    assert (crc, csize, usize) == (i.CRC, i.compress_size, i.file_size), (i.filename, crc, csize, usize, i.CRC, i.compress_size, i.file_size)
    assert method == i.compress_type and flags == i.flag_bits, i.filename
    start = o + 30 + nlen + xlen
    nxt = min([j.header_offset for j in z.infolist() if j.header_offset > o] + [z.start_dir])
    assert start + csize == nxt, (i.filename, start + csize, nxt)
print(len(z.infolist()))
)");
    const struct {
        std::string label;
        TZip64Mode zip64;
    } modes[] = {{"plain", zmDisabled}, {"zip64", zmAlways}};
    const std::vector<std::pair<std::u16string, std::string>> items = {
        {u"small.txt", Compressible(900, 1)},
        {u"empty", ""},
        {u"big.bin", Random(600000, 2)},
        {u"after-big.txt", Compressible(3000, 3)},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(m.label);
        const std::string file = dir / (m.label + ".zip");
        {
            TZipArchiver a;
            a.FileName = W(file);
            a.Zip64Mode = m.zip64;
            // Nothing encoded ahead: every header is completed after its data.
            a.WorkerCount = 1;
            a.OpenArchive(0xFFFF);
            a.BeginUpdate();
            for (const auto& [name, data] : items) {
                TMemoryStream s = StreamOf(data);
                a.AddFromStream(name, s);
            }
            a.SetPassword(kPassword);
            a.EncryptionMethod = caAES_256;
            for (const auto& [name, data] : items) {
                TMemoryStream s = StreamOf(data);
                a.AddFromStream(u"aes-" + name, s);
            }
            a.EndUpdate();
            a.CloseArchive();
        }
        std::string out;
        EXPECT_EQ(RunCommand("python3 '" + checker + "' '" + file + "' 2>&1", &out), 0) << out;
        EXPECT_EQ(out, std::to_string(2 * items.size()) + "\n");
        EXPECT_EQ(RunCommand("7z t -p" + kPassword + " '" + file + "' 2>&1", &out), 0) << out;
        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword(kPassword);
        a.OpenArchive(0);
        for (const auto& [name, data] : items) {
            EXPECT_EQ(Extract(a, name), data);
            EXPECT_EQ(Extract(a, u"aes-" + name), data);
        }
    }
}

// Extracting into a folder: a free name is created and takes the item's
// time; a file that is there is asked about and, declined, left as it was;
// a link that leads nowhere is replaced without a question, as no file is
// there to lose.
TEST(Archiver, ExtractionAsksOnlyAboutFilesThatAreThere)
{
    TempDir dir;
    const double when = 44000.25;  // 2020-06-19 06:00
    const int32_t dos = DateTimeToDosDateTime(when);
    const std::string zip = dir / "x.zip";
    {
        TZipArchiver a;
        a.FileName = W(zip);
        a.OpenArchive(0xFFFF);
        for (const char* name : {"d/free.txt", "d/taken.txt", "d/dangling.txt", "d/taken-yes.txt"}) {
            TMemoryStream s = StreamOf(std::string("new ") + name);
            a.AddFromStream(W(name), s, true, 0, 0, 0x20, when);
        }
        a.CloseArchive();
    }
    const std::string out = dir / "out";
    dir.Write("out/d/taken.txt", "old taken");
    dir.Write("out/d/taken-yes.txt", "old taken-yes");
    std::filesystem::create_symlink("nowhere/at/all", out + "/d/dangling.txt");
    struct stat before {};
    ASSERT_EQ(::stat((out + "/d/taken.txt").c_str(), &before), 0);

    TZipArchiver a;
    a.FileName = W(zip);
    a.OpenArchive(0);
    a.Options.OverwriteMode = omPrompt;
    std::vector<std::u16string> asked;
    a.OnConfirmOverwrite = [&](TZABaseArchiver*, const std::u16string& source, std::u16string&, bool& confirm) {
        asked.push_back(source);
        confirm = source == u"d/taken-yes.txt";
    };
    a.ExtractFiles(u"*", W(out));
    EXPECT_EQ(asked, (std::vector<std::u16string>{u"d/taken.txt", u"d/taken-yes.txt"}));
    EXPECT_EQ(ReadFileBytes(out + "/d/free.txt"), "new d/free.txt");
    EXPECT_EQ(ReadFileBytes(out + "/d/taken.txt"), "old taken");
    EXPECT_EQ(ReadFileBytes(out + "/d/taken-yes.txt"), "new d/taken-yes.txt");
    EXPECT_EQ(ReadFileBytes(out + "/d/dangling.txt"), "new d/dangling.txt");
    EXPECT_FALSE(std::filesystem::is_symlink(out + "/d/dangling.txt"));
    for (const char* name : {"free.txt", "taken-yes.txt", "dangling.txt"})
        EXPECT_EQ(WideGetFileAge(W(out + "/d/" + name)), dos) << name;
    struct stat after {};
    ASSERT_EQ(::stat((out + "/d/taken.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_ino, before.st_ino);
    for (const auto& e : std::filesystem::directory_iterator(out + "/d"))
        EXPECT_NE(e.path().filename().string().front(), '.') << "temporary file left";
}

namespace {

// Bytes drawn evenly from `alphabet` values: deflate saves about
// 1 - log2(alphabet) / 8 of them.
std::string OfAlphabet(size_t n, unsigned alphabet, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(rng() % alphabet);
    return s;
}

} // namespace

TEST(Archiver, LargeItemsThatBarelyDeflateAreStored)
{
    struct Case {
        const char* name;
        std::string data;
        uint16_t method;
    };
    const std::vector<Case> cases = {
        {"random.bin", Random(3 << 19, 1), 0},
        {"saves5percent.bin", OfAlphabet(5 << 18, 180, 2), 0},
        {"saves25percent.bin", OfAlphabet(5 << 18, 64, 3), 8},
        {"text.txt", Compressible(5 << 18, 4), 8},
        // Below the size that is sampled: deflated as before.
        {"small-random.bin", Random(512 << 10, 5), 8},
        // Packed only at its start and end: the samples reach the middle.
        {"mixed.bin", Random(1 << 19, 6) + std::string(1 << 20, 'm') + Random(1 << 19, 7), 8},
    };
    TempDir dir;
    for (const bool encrypted : {false, true}) {
        for (const int workers : {1, 4}) {
            SCOPED_TRACE(std::string(encrypted ? "encrypted" : "plain") + ", workers " + std::to_string(workers));
            const std::string file = dir / ("stored" + std::to_string(encrypted) + std::to_string(workers) + ".zip");
            {
                TZipArchiver a;
                a.WorkerCount = workers;
                a.FileName = W(file);
                if (encrypted)
                    a.SetPassword(kPassword);
                a.OpenArchive(0xFFFF);
                a.BeginUpdate();
                std::vector<TMemoryStream> streams;
                streams.reserve(cases.size());
                for (const Case& c : cases) {
                    streams.push_back(StreamOf(c.data));
                    a.AddFromStream(W(c.name), streams.back(), false);
                }
                a.EndUpdate();
                a.CloseArchive();
            }
            TZipArchiver a;
            a.FileName = W(file);
            if (encrypted)
                a.SetPassword(kPassword);
            a.OpenArchive(0);
            ASSERT_EQ(a.ItemCount(), int(cases.size()));
            for (size_t i = 0; i < cases.size(); ++i) {
                SCOPED_TRACE(cases[i].name);
                EXPECT_EQ(a.Item(int(i)).Method, cases[i].method);
                EXPECT_EQ(a.Item(int(i)).IsEncrypted(), encrypted);
                EXPECT_TRUE(Extract(a, cases[i].name) == cases[i].data);
            }
            a.CloseArchive();
            // Both worker counts write the same bytes; the other readers
            // check one of them.
            if (workers == 1)
                continue;

            std::string out;
            const std::string pass = encrypted ? " -P " + kPassword : "";
            EXPECT_EQ(RunCommand("unzip -t" + pass + " '" + file + "' 2>&1", &out), 0) << out;
            EXPECT_EQ(RunCommand("7z t -p" + kPassword + " '" + file + "' 2>&1", &out), 0) << out;
            const std::string script = dir.Write("check.py", R"(
import sys, zipfile, random
z = zipfile.ZipFile(sys.argv[1])
z.setpassword(sys.argv[2].encode())
for i in z.infolist():
    data = z.read(i)
    assert len(data) == i.file_size, i.filename
print(" ".join(f"{i.filename}:{i.compress_type}" for i in z.infolist()))
)");
            EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' " + kPassword + " 2>&1", &out), 0) << out;
            EXPECT_NE(out.find("random.bin:0 "), std::string::npos) << out;
        }
    }
}
