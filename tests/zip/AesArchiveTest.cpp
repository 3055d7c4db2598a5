// AES items through the archiver, against 7z and bsdtar in both directions.
// 7z writes vendor version 2 items (no CRC); bsdtar writes version 1 items
// with a CRC and data descriptors, and version 2 items for files under 20
// bytes.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TAESCryptoTransform.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace {

const std::string kPassword = "Tr0ub4dor&3 x";

struct TAesField {
    uint16_t vendor = 0;
    uint8_t strength = 0;
    uint16_t method = 0;
};

bool AesFieldOf(const TDirItem& item, TAesField& f)
{
    for (const TZAExtraField& e : item.ExtraFields)
        if (ParseAesExtraField(e, f.vendor, f.strength, f.method))
            return true;
    return false;
}

struct TSource {
    std::string name, data;
};

std::vector<TSource> Sources()
{
    return {{"text.txt", Compressible(200000, 1)},
            {"noise.bin", Random(70000, 2)},
            {"tiny.txt", "seventeen bytes!!"},
            {"empty.txt", ""}};
}

// Writes the sources as AES items of the given method into file.
void WriteAesArchive(const std::string& file, TZACryptoAlgorithm method, const std::vector<TSource>& sources)
{
    TZipArchiver a;
    a.FileName = W(file);
    a.SetPassword(kPassword);
    a.EncryptionMethod = method;
    a.OpenArchive(0xFFFF);
    for (const TSource& s : sources) {
        TMemoryStream m = StreamOf(s.data);
        a.AddFromStream(W(s.name), m);
    }
    a.CloseArchive();
}

std::string ShellQuote(const std::string& s) { return "'" + s + "'"; }

// The archive's bytes with the central headers' CRC fields of every item
// replaced, or the first byte at `at` flipped.
std::string WithCentralCrc(std::string bytes, uint32_t crc)
{
    const std::string sig("PK\x01\x02", 4);
    for (size_t at = 0; (at = bytes.find(sig, at)) != std::string::npos; at += 4)
        for (int i = 0; i < 4; ++i)
            bytes[at + 16 + size_t(i)] = char(crc >> (8 * i));
    return bytes;
}

}  // namespace

TEST(AesArchive, OurItemsAreReadBy7zAndBsdtar)
{
    TempDir dir;
    const auto sources = Sources();
    struct {
        TZACryptoAlgorithm method;
        uint8_t strength;
        size_t header;
    } const cases[] = {{caAES_128, 1, 10}, {caAES_192, 2, 14}, {caAES_256, 3, 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.strength));
        const std::string file = dir / ("ours" + std::to_string(c.strength) + ".zip");
        WriteAesArchive(file, c.method, sources);

        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword(kPassword);
        a.OpenArchive();
        ASSERT_EQ(a.ItemCount(), int(sources.size()));
        for (int i = 0; i < a.ItemCount(); ++i) {
            const TDirItem& item = a.Item(i);
            const TSource& s = sources[size_t(i)];
            SCOPED_TRACE(s.name);
            TAesField f;
            ASSERT_TRUE(AesFieldOf(item, f));
            EXPECT_EQ(item.Method, kAesMethod);
            EXPECT_TRUE(item.IsEncrypted());
            EXPECT_EQ(f.vendor, 2);
            EXPECT_EQ(f.strength, c.strength);
            EXPECT_EQ(f.method, s.data.empty() ? 0 : 8);
            if (s.data.empty()) {
                EXPECT_EQ(item.CompressedSize, c.header + 10);
            }
            EXPECT_EQ(Extract(a, W(s.name)), s.data);
        }
        a.CloseArchive();

        std::string out;
        EXPECT_EQ(RunCommand("7z t -p" + ShellQuote(kPassword) + " " + ShellQuote(file) + " 2>&1", &out), 0) << out;
        for (const TSource& s : sources) {
            EXPECT_EQ(RunCommand("7z x -so -p" + ShellQuote(kPassword) + " " + ShellQuote(file) + " " + s.name +
                                     " 2>/dev/null",
                                 &out),
                      0);
            EXPECT_EQ(out == s.data, true) << "7z: " << s.name;
            EXPECT_EQ(RunCommand("bsdtar -xOf " + ShellQuote(file) + " --passphrase " + ShellQuote(kPassword) + " " +
                                     s.name + " 2>/dev/null",
                                 &out),
                      0);
            EXPECT_EQ(out == s.data, true) << "bsdtar: " << s.name;
        }
    }
}

TEST(AesArchive, AddingToAnAesArchiveKeepsItsItems)
{
    TempDir dir;
    const std::string file = dir / "grow.zip";
    WriteAesArchive(file, caAES_256, {{"first.txt", Compressible(5000, 3)}});
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword(kPassword);
        a.EncryptionMethod = caAES_128;
        a.OpenArchive();
        TMemoryStream m = StreamOf("second item");
        a.AddFromStream(u"second.txt", m);
        a.CloseArchive();
    }
    std::string out;
    EXPECT_EQ(RunCommand("7z t -p" + ShellQuote(kPassword) + " " + ShellQuote(file) + " 2>&1", &out), 0) << out;
    TZipArchiver a;
    a.FileName = W(file);
    a.SetPassword(kPassword);
    a.OpenArchive();
    EXPECT_EQ(Extract(a, u"first.txt"), Compressible(5000, 3));
    EXPECT_EQ(Extract(a, u"second.txt"), "second item");
}

TEST(AesArchive, ReadsItemsWrittenBy7zAndBsdtar)
{
    TempDir dir;
    const auto sources = Sources();
    std::string names;
    for (const TSource& s : sources) {
        dir.Write(s.name, s.data);
        names += " " + s.name;
    }
    const std::string cd = "cd " + ShellQuote(dir.Path().string()) + " && ";
    struct {
        std::string archive, command;
        std::set<uint16_t> vendors;
        uint8_t strength;
    } const cases[] = {
        {"7z-128.zip", "7z a -tzip -mem=AES128 -mm=Deflate -p" + ShellQuote(kPassword), {2}, 1},
        {"7z-256.zip", "7z a -tzip -mem=AES256 -mm=Copy -p" + ShellQuote(kPassword), {2}, 3},
        {"bt-128.zip", "bsdtar --format zip --options zip:encryption=aes128 --passphrase " + ShellQuote(kPassword) +
                           " -cf",
         {1, 2}, 1},
        {"bt-256.zip", "bsdtar --format zip --options zip:encryption=aes256 --passphrase " + ShellQuote(kPassword) +
                           " -cf",
         {1, 2}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string out;
        ASSERT_EQ(RunCommand(cd + c.command + " " + c.archive + names + " >/dev/null 2>&1", &out), 0) << out;
        TZipArchiver a;
        a.FileName = W(dir / c.archive);
        a.SetPassword(kPassword);
        a.OpenArchive();
        ASSERT_EQ(a.ItemCount(), int(sources.size()));
        std::set<uint16_t> vendors;
        for (const TSource& s : sources) {
            int index = -1;
            ASSERT_TRUE(a.FindItemIndex(W(s.name), index));
            TAesField f;
            if (AesFieldOf(a.Item(index), f)) {  // bsdtar stores an empty file unencrypted
                vendors.insert(f.vendor);
                EXPECT_EQ(f.strength, c.strength);
            }
            EXPECT_EQ(Extract(a, W(s.name)), s.data) << s.name;
        }
        EXPECT_EQ(vendors, c.vendors);
    }
}

TEST(AesArchive, WrongPasswordAndTamperingFail)
{
    TMemoryStream mem;
    const std::string data = Compressible(3000, 5);
    {
        TZipArchiver a;
        a.SetPassword(kPassword);
        a.EncryptionMethod = caAES_256;
        a.UnicodeFilenames = false;
        a.OpenArchive(mem, true);
        TMemoryStream s = StreamOf(data);
        a.AddFromStream(u"item", s);
        a.CloseArchive();
    }
    const std::string bytes = Text(mem);

    {
        TMemoryStream copy = StreamOf(bytes);
        TZipArchiver a;
        a.SetPassword("not the password");
        a.OpenArchive(copy, false);
        EXPECT_EQ(Native([&] { Extract(a, u"item"); }), 8);  // nobody to ask for another
        int asked = 0;
        a.OnPassword = [&](TZABaseArchiver*, const std::u16string&, std::string& pw, bool& skip) {
            ++asked;
            pw = kPassword;
            skip = false;
        };
        EXPECT_EQ(Extract(a, u"item"), data);
        EXPECT_EQ(asked, 1);
    }

    // The single item's data follows its local header; the code is its last
    // ten bytes.
    const auto le16 = [&](size_t at) { return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8; };
    const size_t dataStart = 30 + le16(26) + le16(28);
    const size_t compressed = le16(18) | le16(20) << 16;
    // A damaged salt looks like a wrong password; damaged data or code is a
    // damaged item, which ExtractCorruptedFiles lets through.
    struct {
        const char* what;
        size_t at;
        bool damagedItem;
    } const damages[] = {{"salt", dataStart, false},
                         {"first encrypted byte", dataStart + 18, true},
                         {"last encrypted byte", dataStart + compressed - 11, true},
                         {"authentication code", dataStart + compressed - 1, true}};
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        std::string damaged = bytes;
        damaged[d.at] = char(damaged[d.at] ^ 0x40);
        TMemoryStream copy = StreamOf(damaged);
        TZipArchiver a;
        a.SetPassword(kPassword);
        a.OpenArchive(copy, false);
        EXPECT_EQ(Native([&] { Extract(a, u"item"); }), 8);
        a.ExtractCorruptedFiles = true;
        EXPECT_EQ(Native([&] { Extract(a, u"item"); }), d.damagedItem ? -1 : 8);
    }
}

TEST(AesArchive, CrcIsCheckedForVersion1ItemsOnly)
{
    TempDir dir;
    const std::string data = Compressible(4000, 6);
    dir.Write("a.txt", data);
    const std::string cd = "cd " + ShellQuote(dir.Path().string()) + " && ";
    std::string out;
    ASSERT_EQ(RunCommand(cd + "7z a -tzip -mem=AES128 -mm=Deflate -ppw v2.zip a.txt >/dev/null 2>&1", &out), 0);
    ASSERT_EQ(RunCommand(cd + "bsdtar --format zip --options zip:encryption=aes128 --passphrase pw -cf v1.zip a.txt",
                         &out),
              0);
    struct {
        std::string archive;
        bool readable;
    } const cases[] = {{"v2.zip", true}, {"v1.zip", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        TMemoryStream m = StreamOf(WithCentralCrc(ReadFileBytes(dir / c.archive), 0x12345678));
        TZipArchiver a;
        a.SetPassword("pw");
        a.OpenArchive(m, false);
        if (c.readable)
            EXPECT_EQ(Extract(a, u"a.txt"), data);
        else
            EXPECT_EQ(Native([&] { Extract(a, u"a.txt"); }), 8);
    }
}

TEST(AesArchive, ExtractingAnItemDerivesItsKeysOnce)
{
    TempDir dir;
    const std::string file = dir / "once.zip";
    const auto sources = Sources();
    WriteAesArchive(file, caAES_256, sources);
    TZipArchiver a;
    a.FileName = W(file);
    a.SetPassword(kPassword);
    a.OpenArchive();
    for (const TSource& s : sources) {
        SCOPED_TRACE(s.name);
        const uint64_t before = TAESCryptoTransform::Derivations();
        EXPECT_EQ(Extract(a, W(s.name)), s.data);
        EXPECT_EQ(TAESCryptoTransform::Derivations() - before, 1u);
    }
    // A wrong password still costs one derivation per answer, and the
    // right answer is then used for the data.
    a.SetPassword("not it");
    a.OnPassword = [](TZABaseArchiver*, const std::u16string&, std::string& answer, bool&) { answer = kPassword; };
    const uint64_t before = TAESCryptoTransform::Derivations();
    EXPECT_EQ(Extract(a, u"text.txt"), sources[0].data);
    EXPECT_EQ(TAESCryptoTransform::Derivations() - before, 2u);
}
