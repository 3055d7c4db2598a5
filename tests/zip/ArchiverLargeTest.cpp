// Items and offsets around 4 GiB, and what memory extraction needs. The data
// are zeros made on demand, and archives of that size are written sparse or
// not kept at all, so the tests cost time, not disk space.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/TUniFileStream.h"
#include "zip/TZAItemCipher.h"
#include "zip/ZipRecords.h"

namespace {

constexpr int64_t k4GiB = int64_t(1) << 32;

// size bytes of zeros that exist only as they are read; what is written
// is taken and dropped, except for the first bytes (where the first local
// header lies), which are kept.
class TZeroStream : public TStream {
public:
    static constexpr int64_t kKept = 1 << 16;
    std::string head = std::string(kKept, '\0');

    explicit TZeroStream(int64_t size = 0) : size_(size) {}
    int64_t Read(void* buffer, int64_t count) override
    {
        const int64_t n = std::max<int64_t>(0, std::min(count, size_ - position_));
        std::memset(buffer, 0, size_t(n));
        if (position_ < kKept)
            std::memcpy(buffer, head.data() + position_, size_t(std::min(n, kKept - position_)));
        position_ += n;
        return n;
    }
    int64_t Write(const void* buffer, int64_t count) override
    {
        if (position_ < kKept)
            std::memcpy(head.data() + position_, buffer, size_t(std::min(count, kKept - position_)));
        position_ += count;
        size_ = std::max(size_, position_);
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override
    {
        position_ = (origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : size_) +
                    offset;
        return position_;
    }
    void SetSize(int64_t size) override { size_ = size; }

private:
    int64_t size_;
    int64_t position_ = 0;
};

// An archive that keeps nothing but its first bytes.
using TSinkStream = TZeroStream;

// A file stream that leaves holes where zeros would be written.
class TSparseFileStream : public TUniFileStream {
public:
    using TUniFileStream::TUniFileStream;
    int64_t Write(const void* buffer, int64_t count) override
    {
        const auto* p = static_cast<const uint8_t*>(buffer);
        if (count > 4096 && p[0] == 0 && std::memcmp(p, p + 1, size_t(count - 1)) == 0) {
            const int64_t end = Seek(count, TSeekOrigin::soCurrent);
            if (end > GetSize())
                SetSize(end);
            return count;
        }
        return TUniFileStream::Write(buffer, count);
    }
};

class TSparseArchiver : public TZipArchiver {
protected:
    std::unique_ptr<TStream> CreateArchiveStream(const std::u16string& fileName) override
    {
        return std::make_unique<TSparseFileStream>(fileName, 0xFFFF);
    }
};

// The classic cipher's 12-byte header with the data left plain: what
// matters here is the header's weight, and encrypting 4 GiB byte by byte
// would cost minutes.
class THeaderOnlyCipher : public TZAItemCipher {
public:
    size_t HeaderSize() const override { return kPKZipHeaderSize; }
    size_t TrailerSize() const override { return 0; }
    std::vector<uint8_t> MakeHeader(uint32_t) override { return std::vector<uint8_t>(kPKZipHeaderSize, 0xA5); }
    void Encrypt(uint8_t*, size_t) override {}
    std::vector<uint8_t> MakeTrailer() override { return {}; }
    bool CheckHeader(const uint8_t*) override { return true; }
    void Decrypt(uint8_t*, size_t) override {}
    bool CheckTrailer(const uint8_t*) override { return true; }
};

class THeaderOnlyArchiver : public TZipArchiver {
protected:
    std::unique_ptr<TZAItemCipher> CreateItemCipher(const TDirItem&, const std::string&) override
    {
        return std::make_unique<THeaderOnlyCipher>();
    }
};

int64_t StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(std::strlen(key) + 1));
    return -1;
}

// Runs f in a child process and returns how far its resident memory rose
// above where it started; -1 when f failed.
int64_t PeakGrowthInChild(const std::function<bool()>& f)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        // Resets the peak to what is resident now.
        if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", refs);
            std::fclose(refs);
        }
        const int64_t before = StatusKb("VmRSS:");
        bool ok = false;
        try {
            ok = f();
        } catch (...) {
        }
        const int64_t growth = ok ? (StatusKb("VmHWM:") - before) * 1024 : -1;
        (void)!::write(fds[1], &growth, sizeof growth);
        ::_exit(0);
    }
    ::close(fds[1]);
    int64_t growth = -2;
    if (::read(fds[0], &growth, sizeof growth) != sizeof growth)
        growth = -2;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return growth;
}

} // namespace

TEST(ArchiverLarge, Zip64DisabledRefusesAFourGiBSource)
{
    TSinkStream sink;
    TZipArchiver a;
    a.Zip64Mode = zmDisabled;
    a.OpenArchive(sink, true);
    TZeroStream zeros(k4GiB);
    EXPECT_EQ(Native([&] { a.AddFromStream(u"big", zeros, false); }), 43);
    EXPECT_EQ(a.ItemCount(), 0);
}

TEST(ArchiverLarge, Zip64AutoTakesAnItemThatOnlyItsEncryptionHeaderPushesPastFourGiB)
{
    TSinkStream sink;
    THeaderOnlyArchiver a;
    a.Zip64Mode = zmAuto;
    a.SetCompressionMode(0);
    a.SetPassword("pw");
    a.OpenArchive(sink, true);
    const int64_t size = 0xFFFFFFFFll - 6;  // fits 32 bits; with 12 header bytes it does not
    TZeroStream zeros(size);
    a.AddFromStream(u"nearly4g", zeros, false);
    const TDirItem& item = a.Item(0);
    EXPECT_TRUE(item.Zip64);
    EXPECT_EQ(item.FullUncompressedSize(), uint64_t(size));
    EXPECT_EQ(item.FullCompressedSize(), uint64_t(size) + 12);

    // The local header carries both sizes in its ZIP64 field.
    const std::string& head = sink.head;
    const auto u16 = [&](size_t at) { return unsigned(uint8_t(head[at])) | unsigned(uint8_t(head[at + 1])) << 8; };
    ASSERT_EQ(head.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(u16(4), 45u);
    const size_t extra = 30 + u16(26);
    EXPECT_EQ(u16(extra), kZip64ExtraId);
    uint64_t sizes[2];
    std::memcpy(sizes, head.data() + extra + 4, 16);
    EXPECT_EQ(sizes[0], uint64_t(size));
    EXPECT_EQ(sizes[1], uint64_t(size) + 12);
}

TEST(ArchiverLarge, ItemOverFourGiBAndItemBehindItReadByOtherTools)
{
    TempDir dir;
    const std::string file = dir / "big.zip";
    const int64_t bigSize = k4GiB + 1000;
    {
        TSparseArchiver a;
        a.Zip64Mode = zmAuto;
        a.FileName = W(file);
        a.SetCompressionMode(0);
        a.OpenArchive(0xFFFF);
        TZeroStream zeros(bigSize);
        a.AddFromStream(u"big.bin", zeros, false);
        TMemoryStream tail = StreamOf("behind four gigabytes");
        a.AddFromStream(u"tail.txt", tail);
        EXPECT_GT(a.Item(1).FullLocalHeaderOffset(), uint64_t(k4GiB));
        a.CloseArchive();
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    ASSERT_GT(st.st_size, k4GiB);
    EXPECT_LT(int64_t(st.st_blocks) * 512, int64_t(64) << 20) << "the archive was meant to be sparse";

    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + file + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -p '" + file + "' tail.txt", &out), 0);
    EXPECT_EQ(out, "behind four gigabytes");
    EXPECT_EQ(RunCommand("7z t '" + file + "' 2>&1", &out), 0) << out;
    const std::string script = dir.Write("check.py", R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
big, tail = z.infolist()
assert big.file_size == int(sys.argv[2]), big.file_size
assert tail.header_offset > 1 << 32, tail.header_offset
assert z.read('tail.txt') == b'behind four gigabytes'
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + file + "' " + std::to_string(bigSize) + " 2>&1", &out), 0)
        << out;

    TZipArchiver a;
    a.FileName = W(file);
    a.OpenArchive(0);
    EXPECT_EQ(a.Item(0).FullUncompressedSize(), uint64_t(bigSize));
    EXPECT_EQ(Extract(a, u"tail.txt"), "behind four gigabytes");
}

TEST(ArchiverLarge, ExtractingAGiBOfZerosNeedsLittleMemory)
{
    // About a megabyte of deflate data that honestly inflates to 1 GiB.
    TMemoryStream archive;
    {
        TZipArchiver a;
        a.OpenArchive(archive, true);
        TZeroStream zeros(int64_t(1) << 30);
        a.AddFromStream(u"zeros", zeros, false);
        a.CloseArchive();
    }
    ASSERT_LT(archive.GetSize(), 8 << 20);

    const int64_t growth = PeakGrowthInChild([&] {
        TZipArchiver a;
        a.OpenArchive(archive, false);
        TSinkStream out;
        a.ExtractToStream(u"zeros", out);
        return out.GetSize() == int64_t(1) << 30;
    });
    ASSERT_GE(growth, 0) << "extraction failed";
    EXPECT_LT(growth, int64_t(64) << 20);
}

TEST(ArchiverLarge, NameOfThirtyThousandFoldersFailsCleanly)
{
    std::u16string name;
    for (int i = 0; i < 30000; ++i)
        name += u"d/";
    name += u"file.txt";
    TMemoryStream archive;
    {
        TZipArchiver a;
        a.UnicodeFilenames = false;  // our own name field cannot hold 60 KB
        a.OpenArchive(archive, true);
        TMemoryStream s = StreamOf("deep");
        a.AddFromStream(name, s);
        a.CloseArchive();
    }
    TempDir dir;
    const std::string target = dir / "out";
    int code = -1;
    const int64_t growth = PeakGrowthInChild([&] {
        TZipArchiver a;
        a.OpenArchive(archive, false);
        code = Native([&] { a.ExtractFiles(u"*", W(target)); });
        return code == 20;
    });
    ASSERT_GE(growth, 0) << "extraction did not fail with code 20";
    EXPECT_LT(growth, int64_t(64) << 20);
}
