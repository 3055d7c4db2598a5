// Items whose source is a few leading bytes and a block of memory read where
// it lies (a bitmap's headers and its pixels): the leading bytes go into the
// deflate stream as stored blocks in front of the block's own stream. Our
// reader, Python's zipfile and 7z must all read back exactly the bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/PrefixedBlockStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"
#include "zip/ZACompression.h"

namespace {

struct TPart {
    std::string name;
    std::string lead;
    std::string block;
};

// Leading parts around the 65,535 bytes one stored block holds, blocks above
// and below the size that is encoded ahead on workers, and a block that does
// not compress.
std::vector<TPart> Parts()
{
    return {{"no-lead.bmp", "", Compressible(300000, 1)},
            {"header.bmp", Random(54, 2), Compressible(200000, 3)},
            {"one-block.bmp", Random(65535, 4), Compressible(150000, 5)},
            {"two-blocks.bmp", Random(65536, 6), Random(70000, 7)},
            {"three-blocks.bmp", Compressible(140000, 8), Compressible(1000, 9)},
            {"small.bmp", Random(54, 10), Compressible(3000, 11)},
            {"lead-only.bmp", Random(40, 12), ""}};
}

}  // namespace

TEST(PrefixedBlockSource, ItemsReadBackAsLeadAndBlockInEveryReader)
{
    TempDir dir;
    const std::vector<TPart> parts = Parts();
    const std::string script = dir.Write("read.py", R"(import sys, zipfile, zlib
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    data = z.read(i.filename, pwd=sys.argv[2].encode() if len(sys.argv) > 2 else None)
    print(i.filename, len(data), "%08x" % zlib.crc32(data))
)");
    std::string expected;
    for (const TPart& p : parts) {
        const std::string whole = p.lead + p.block;
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", CRC32(0xFFFFFFFF, whole.data(), int64_t(whole.size())) ^ 0xFFFFFFFF);
        expected += p.name + " " + std::to_string(whole.size()) + " " + crc + "\n";
    }
    struct Case {
        int workers;
        std::string password;
        TZACryptoAlgorithm method;
        TZACompressionLevel level;
    } cases[] = {{1, "", caPkzipClassic, clFastest},
                 {8, "", caPkzipClassic, clFastest},
                 {8, "secret", caPkzipClassic, clFastest},
                 {1, "secret", caPkzipClassic, clNormal},
                 {8, "secret", caAES_256, clFastest},
                 {8, "", caPkzipClassic, clNone}};
    for (const Case& c : cases) {
        SCOPED_TRACE("workers " + std::to_string(c.workers) + " password '" + c.password + "' method " +
                     std::to_string(int(c.method)) + " level " + std::to_string(int(c.level)));
        const std::string file = dir / "parts.zip";
        std::filesystem::remove(file);
        {
            std::vector<TPrefixedBlockStream> streams;
            streams.reserve(parts.size());
            TZipArchiver a;
            a.FileName = W(file);
            a.WorkerCount = c.workers;
            a.SetCompressionLevel(c.level);
            a.SetPassword(c.password);
            if (!c.password.empty())
                a.EncryptionMethod = c.method;
            a.OpenArchive(0xFFFF);
            a.BeginUpdate();
            for (const TPart& p : parts) {
                streams.emplace_back(std::vector<uint8_t>(p.lead.begin(), p.lead.end()),
                                     reinterpret_cast<const uint8_t*>(p.block.data()), p.block.size());
                a.AddFromStream(W(p.name), streams.back(), false, 0, 0, 0x20, 45000.5);
            }
            a.EndUpdate();
            a.CloseArchive();
        }
        TZipArchiver r;
        r.FileName = W(file);
        r.SetPassword(c.password);
        r.OpenArchive(0);
        ASSERT_EQ(r.ItemCount(), int(parts.size()));
        for (const TPart& p : parts)
            EXPECT_EQ(Extract(r, p.name), p.lead + p.block) << p.name;

        std::string out;
        const std::string pwd = c.password.empty() ? "" : " " + c.password;
        EXPECT_EQ(RunCommand("7z t" + (c.password.empty() ? std::string() : " -p" + c.password) + " '" + file +
                             "' 2>&1", &out), 0)
            << out;
        if (c.method == caAES_256 && !c.password.empty())
            continue;  // Python's zipfile reads no AES
        ASSERT_EQ(RunCommand("/usr/bin/python3 '" + script + "' '" + file + "'" + pwd + " 2>&1", &out), 0) << out;
        EXPECT_EQ(out, expected);
    }
}
