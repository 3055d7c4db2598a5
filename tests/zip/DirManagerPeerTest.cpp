// Archives made at test time by other ZIP writers: their directories must
// load with every name, size and comment, and be written back byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveBuilder.h"
#include "zip/WideUtils.h"

namespace {

struct TPeerArchive {
    TTestOwner owner;
    std::string bytes;
    std::unique_ptr<TMemoryStream> stream;
    std::unique_ptr<TZADirManager> manager;
    explicit TPeerArchive(const std::string& path) : bytes(ReadFileBytes(path))
    {
        LoadBytes(bytes, owner, stream, manager);
    }
};

// Python's own view of an archive: "name|size|crc" per line, then the comment.
std::string PythonListing(const std::string& path)
{
    std::string out;
    const std::string script =
        "import zipfile,sys\n"
        "z=zipfile.ZipFile(sys.argv[1])\n"
        "for i in z.infolist(): print('%s|%d|%d' % (i.filename, i.file_size, i.CRC))\n"
        "print(z.comment.decode('latin-1'))\n";
    TempDir dir;
    const std::string file = dir.Write("list.py", script);
    EXPECT_EQ(RunCommand(std::string(kPython) + " " + file + " " + path, &out), 0) << out;
    return out;
}

std::string OurListing(TZADirManager& manager)
{
    std::string out;
    for (int i = 0; i < manager.Items.Count(); ++i) {
        const TDirItem& item = manager.Items.ItemAt(i);
        out += WideToUTF8(item.FileName) + "|" + std::to_string(item.FullUncompressedSize()) + "|" +
               std::to_string(item.Crc32) + "\n";
    }
    std::string comment;
    for (unsigned char c : manager.Comment)
        comment += WideToUTF8(std::u16string(1, char16_t(c)));
    return out + comment + "\n";
}

void ExpectRewrittenUnchanged(TPeerArchive& archive)
{
    archive.manager->SaveCentralDirectory();
    EXPECT_EQ(BytesOf(*archive.stream) == archive.bytes, true) << "directory written back differs";
}

class PeerArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.Write("src/readme.txt", "");
        std::filesystem::create_directories(dir_.Path() / "src/sub");
        std::ofstream(dir_ / "src/readme.txt") << "Velmora test archive\n";
        std::ofstream(dir_ / "src/sub/data.bin") << std::string(5000, 'x') << "tail";
        std::ofstream(dir_ / "src/empty.txt");
    }
    std::string Run(const std::string& command)
    {
        std::string out;
        EXPECT_EQ(RunCommand("cd " + dir_ / "src" + " && " + command, &out), 0) << command << "\n" << out;
        return out;
    }
    TempDir dir_;
};

} // namespace

TEST_F(PeerArchives, InfoZipWithCommentAndFolders)
{
    const std::string zip = dir_ / "info.zip";
    Run("zip -q -r " + zip + " . && echo 'archive comment' | zip -q -z " + zip);
    TPeerArchive archive(zip);
    EXPECT_EQ(OurListing(*archive.manager), PythonListing(zip));
    int index = -1;
    ASSERT_TRUE(archive.manager->Items.FindName(u"sub/", index));
    EXPECT_TRUE(archive.manager->Items.ItemAt(index).IsFolder());
    ExpectRewrittenUnchanged(archive);
}

TEST_F(PeerArchives, SevenZipWithUnicodeNames)
{
    std::ofstream(dir_ / "src/Café €.txt") << "euro";
    const std::string zip = dir_ / "seven.zip";
    Run("7z a -tzip -bd " + zip + " . >/dev/null");
    TPeerArchive archive(zip);
    EXPECT_EQ(OurListing(*archive.manager), PythonListing(zip));
    int index = -1;
    EXPECT_TRUE(archive.manager->Items.FindName(u"café €.txt", index));
    ExpectRewrittenUnchanged(archive);
}

TEST_F(PeerArchives, PythonForcedZip64AndLongComment)
{
    const std::string zip = dir_ / "py64.zip";
    Run(std::string(kPython) + " -c \"" +
        "import zipfile\n"
        "with zipfile.ZipFile('" + zip + "','w',zipfile.ZIP_DEFLATED) as z:\n"
        "    z.comment=b'c'*65535\n"
        "    for n in ('a.txt','b/c.txt'):\n"
        "        with z.open(n,'w',force_zip64=True) as f: f.write(n.encode()*100)\n"
        "\"");
    TPeerArchive archive(zip);
    EXPECT_EQ(archive.manager->Comment.size(), 65535u);
    EXPECT_EQ(OurListing(*archive.manager), PythonListing(zip));
    // Their local headers carry ZIP64 sizes; the first one is still found.
    EXPECT_EQ(archive.manager->FirstLocalHeaderPos, 0);
    ExpectRewrittenUnchanged(archive);
}

TEST_F(PeerArchives, PythonWithMoreThan65535Entries)
{
    const std::string zip = dir_ / "many.zip";
    Run(std::string(kPython) + " -c \"" +
        "import zipfile\n"
        "with zipfile.ZipFile('" + zip + "','w') as z:\n"
        "    for i in range(70000): z.writestr('d/%05d' % i, b'')\n"
        "\"");
    TPeerArchive archive(zip);
    EXPECT_TRUE(archive.manager->Zip64);
    ASSERT_EQ(archive.manager->Items.Count(), 70000);
    EXPECT_EQ(archive.manager->Items.ItemAt(69999).FileName, u"d/69999");
    ExpectRewrittenUnchanged(archive);
    std::string out;
    // Ours, written back after a rename, still reads in Python.
    archive.manager->Items.RenameItem(0, u"renamed");
    archive.manager->SaveCentralDirectory();
    const std::string copy = dir_.Write("copy.zip", BytesOf(*archive.stream));
    EXPECT_EQ(PythonListing(copy).substr(0, 10), "renamed|0|");
}

TEST_F(PeerArchives, SelfExtractorStubInFront)
{
    const std::string zip = dir_ / "plain.zip";
    Run("zip -q -r " + zip + " .");
    const std::string stub(4096, '\x90');
    // Glued on without fixing offsets, and fixed by zip -A.
    const std::string glued = dir_.Write("glued.exe", stub + ReadFileBytes(zip));
    const std::string fixed = dir_.Write("fixed.exe", stub + ReadFileBytes(zip));
    Run("zip -q -A " + fixed);

    TPeerArchive plain(zip), a(glued), b(fixed);
    for (TPeerArchive* archive : {&a, &b}) {
        EXPECT_EQ(archive->manager->FirstLocalHeaderPos, 4096);
        ASSERT_EQ(archive->manager->Items.Count(), plain.manager->Items.Count());
        for (int i = 0; i < plain.manager->Items.Count(); ++i) {
            const TDirItem& item = archive->manager->Items.ItemAt(i);
            EXPECT_EQ(item.LocalHeaderOffset, plain.manager->Items.ItemAt(i).LocalHeaderOffset + 4096);
            EXPECT_TRUE(CheckLocalHeader(*archive->stream, item.LocalHeaderOffset, item));
        }
    }
    // The glued archive written back carries offsets that unzip accepts.
    a.manager->SaveCentralDirectory();
    const std::string mended = dir_.Write("mended.zip", BytesOf(*a.stream));
    std::string out;
    EXPECT_EQ(RunCommand("unzip -tq " + mended, &out), 0) << out;
}
