#include <gtest/gtest.h>

#include "platform/rtl/Exception.h"
#include "platform/rtl/FileName.h"
#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"

TEST(MemoryStream, WriteSeekReadAndGrow)
{
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.GetSize(), 5);
    s.SetPosition(10);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.GetSize(), 11);
    EXPECT_EQ(s.Memory()[7], 0);
    s.SetPosition(1);
    char buf[4] = {};
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "ello");
    s.SetPosition(11);
    EXPECT_EQ(s.Read(buf, 4), 0);
    EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
}

TEST(MemoryStream, GrowingBySizeReadsZerosAndReservingKeepsTheContent)
{
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    s.Reserve(1 << 20);
    EXPECT_EQ(s.GetSize(), 3);
    EXPECT_EQ(s.GetPosition(), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.Memory()), 3), "abc");
    // Bytes a shrink gave up come back as zeros, not as what they held.
    s.SetSize(1);
    s.SetSize(4096);
    EXPECT_EQ(s.Memory()[0], 'a');
    for (int i = 1; i < 4096; ++i)
        ASSERT_EQ(s.Memory()[i], 0) << i;
    s.SetPosition(1);
    s.WriteBuffer("xyz", 3);
    s.SetSize(2);
    s.SetPosition(6);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.Memory()), 7), std::string("ax\0\0\0\0!", 7));
}

TEST(MemoryStream, FileRoundTripAndCopy)
{
    TempDir dir;
    TMemoryStream s;
    const std::string bytes("a\0b\r\nc", 6);
    s.WriteBuffer(bytes.data(), 6);
    s.SaveToFile(dir / "x.bin");
    EXPECT_EQ(ReadFileBytes(dir / "x.bin"), bytes);

    TMemoryStream t;
    t.LoadFromFile(dir / "x.bin");
    ASSERT_EQ(t.GetSize(), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(t.Memory()), 6), bytes);

    TMemoryStream u;
    u.CopyFrom(t, 0);
    EXPECT_EQ(u.GetSize(), 6);
    EXPECT_THROW(t.LoadFromFile(dir / "missing"), EFOpenError);
    EXPECT_EQ(t.GetSize(), 6) << "a failed load keeps the content";
}

TEST(FileStream, CreateFailsInMissingFolder)
{
    TempDir dir;
    EXPECT_THROW(TFileStream(dir / "no/such/file", fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(dir.Path().string(), fmOpenRead), EFOpenError);
}

TEST(FileName, SplitsAtBothSeparators)
{
    struct Case {
        const char* path;
        const char* name;
        const char* folder;
        const char* ext;
        const char* safe;
    };
    const Case cases[] = {
        {"C:\\Art\\rose.JPG", "rose.JPG", "C:\\Art\\", ".JPG", "rose.JPG"},
        {"/home/u/a.b/c", "c", "/home/u/a.b/", "", "c"},
        {"mixed\\dir/x.tar.gz", "x.tar.gz", "mixed\\dir/", ".gz", "x.tar.gz"},
        {"../x", "x", "../", "", "x"},
        {"..", "..", "", ".", ""},
        {"a/.", ".", "a/", ".", ""},
        {"", "", "", "", ""},
        {"dir/", "", "dir/", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
        EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
        EXPECT_EQ(SafeFileName(c.path), c.safe) << c.path;
    }
    EXPECT_EQ(ChangeFileExt("C:\\a.b\\pic.jpg", ".png"), "C:\\a.b\\pic.png");
    EXPECT_EQ(ChangeFileExt("/a.b/pic", ".png"), "/a.b/pic.png");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\x\\"), "C:\\x\\");
}
