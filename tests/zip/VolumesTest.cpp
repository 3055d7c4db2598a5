// Multi-volume sets: naming, split sets checked by 7z, zip and unzip, a set
// written by zip read here, size and cancel failures, spanning over
// removable disks whose drive type and free space the test decides.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideFileSystem.h"
#include "zip/WideUtils.h"

namespace fs = std::filesystem;

namespace {

void Add(TZipArchiver& a, const std::string& name, const std::string& bytes)
{
    TMemoryStream s;
    if (!bytes.empty())
        s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    s.SetPosition(0);
    a.AddFromStream(W(name), s);
}

// Puts the injected drive answers back whatever a test does.
struct TDriveHooks {
    ~TDriveHooks()
    {
        SetDiskFreeFunc({});
        SetRemovableFunc({});
    }
};

// Each item is smaller than a volume, so none spans more than two: zip 3.0
// cuts such items short when it joins a set, whatever wrote the set.
const std::vector<std::pair<std::string, std::string>> kItems = {
    {"first.bin", Random(50000, 1)},
    {"folder/second.txt", std::string(40000, 'x')},
    {"third.bin", Random(60000, 3)},
    {"fourth.bin", Random(55000, 4)},
    {"empty.txt", ""},
};

void WriteSet(TZipArchiver& a, const std::string& file,
              const std::vector<std::pair<std::string, std::string>>& items = kItems)
{
    a.FileName = W(file);
    a.SetSpanningMode(smSplitting);
    a.SpanningOptions.VolumeSize = vsCustom;
    a.SpanningOptions.SetCustomVolumeSize(65536);
    a.OpenArchive(0xFFFF);
    a.BeginUpdate();
    for (const auto& [name, bytes] : items)
        Add(a, name, bytes);
    a.EndUpdate();
    a.CloseArchive();
}

} // namespace

TEST(Volumes, NamingTable)
{
    struct Case {
        TZASpanningMode mode;
        bool advanced;
        const char* file;
        int32_t number;
        const char* expected;
    };
    const Case cases[] = {
        {smSplitting, false, "/d/set.zip", 0, "/d/set.z01"},
        {smSplitting, false, "/d/set.zip", 1, "/d/set.z02"},
        {smSplitting, false, "/d/set.zip", 99, "/d/set.z100"},
        {smSplitting, false, "/d/set.zip", -1, "/d/set.zip"},
        {smSplitting, true, "/d/set.zip", 0, "/d/set_001.zip"},
        {smSplitting, true, "/d/set.zip", -1, "/d/set.zip"},
        {smSplitting, false, "/d/Set.EXE", 0, "/d/Set.EXE"},
        {smSplitting, false, "/d/Set.EXE", 1, "/d/Set.z02"},
        {smSplitting, false, "/d/Set.EXE", -1, "/d/Set.zip"},
        {smSpanning, false, "/d/set.zip", 4, "/d/set.zip"},
        {smSpanning, true, "/d/set.zip", 4, "/d/set_005.zip"},
        {smSpanning, true, "/d/set.exe", 0, "/d/set_001.exe"},
        {smNone, false, "/d/set.zip", 3, "/d/set.zip"},
    };
    for (const Case& c : cases) {
        TZipArchiver a;
        a.SetSpanningMode(c.mode);
        a.SpanningOptions.AdvancedNaming = c.advanced;
        std::u16string name = W(c.file);
        a.GetVolumeFileName(name, c.number, false);
        EXPECT_EQ(WideToUTF8(name), c.expected) << c.file << " #" << c.number << " mode " << int(c.mode);
    }
}

TEST(Volumes, ReadingFindsUpperCaseAndOtherSchemeNames)
{
    TempDir dir;
    dir.Write("OLD.Z03", "x");
    dir.Write("span_002.zip", "x");
    TZipArchiver a;
    a.SetSpanningMode(smSplitting);
    std::u16string name = W(dir / "OLD.zip");
    a.GetVolumeFileName(name, 2, true);
    EXPECT_EQ(WideToUTF8(name), dir / "OLD.Z03");
    name = W(dir / "OLD.zip");
    a.GetVolumeFileName(name, 3, true);  // neither form there: the written form
    EXPECT_EQ(WideToUTF8(name), dir / "OLD.z04");

    TZipArchiver b;
    b.SetSpanningMode(smSpanning);
    name = W(dir / "span.zip");
    b.GetVolumeFileName(name, 1, true);
    EXPECT_EQ(WideToUTF8(name), dir / "span_002.zip");
}

TEST(Volumes, SplitSetPassesOtherToolsAndReadsBack)
{
    TempDir dir;
    const std::string file = dir / "set.zip";
    {
        TZipArchiver a;
        std::vector<int32_t> asked;
        a.OnRequestBlankVolume = [&](TZABaseArchiver*, int32_t n, std::u16string&, bool&) { asked.push_back(n); };
        WriteSet(a, file);
        ASSERT_GE(asked.size(), 3u);
        for (size_t i = 0; i < asked.size(); ++i)
            EXPECT_EQ(asked[i], int32_t(i + 1));
        // Volumes .z01 .. and the archive's own name last, none over the limit.
        for (size_t i = 1; i < asked.size(); ++i) {
            char ext[24];
            std::snprintf(ext, sizeof ext, ".z%02zu", i);
            const std::string volume = dir / ("set" + std::string(ext));
            ASSERT_TRUE(fs::exists(volume)) << volume;
            EXPECT_LE(fs::file_size(volume), 65536u);
        }
        EXPECT_LE(fs::file_size(file), 65536u);
        EXPECT_FALSE(fs::exists(dir / ("set.z" + std::to_string(asked.size()))));
    }

    std::string out;
    EXPECT_EQ(RunCommand("cd '" + dir.Path().string() + "' && 7z t set.zip", &out), 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
    EXPECT_EQ(RunCommand("cd '" + dir.Path().string() + "' && zip -s 0 set.zip --out joined.zip", &out), 0) << out;
    EXPECT_EQ(RunCommand("unzip -t '" + (dir / "joined.zip") + "'", &out), 0) << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;

    // Read back: every local header lies whole on the volume its item names.
    TZipArchiver r;
    r.FileName = W(file);
    r.OpenArchive(0);
    EXPECT_EQ(r.GetSpanningModeValue(), smSplitting);
    ASSERT_EQ(r.ItemCount(), int(kItems.size()));
    int lastDisk = 0;
    while (fs::exists(dir / ("set.z" + std::string(lastDisk + 1 < 10 ? "0" : "") + std::to_string(lastDisk + 1))))
        ++lastDisk;
    for (int i = 0; i < r.ItemCount(); ++i) {
        const TDirItem& item = r.Item(i);
        const int disk = int(item.FullDiskNumberStart());
        const std::string volume =
            disk == lastDisk ? file : dir / ("set.z" + std::string(disk + 1 < 10 ? "0" : "") + std::to_string(disk + 1));
        const std::string bytes = ReadFileBytes(volume);
        const uint64_t at = item.FullLocalHeaderOffset();
        ASSERT_LE(at + 30 + item.FileName.size(), bytes.size()) << WideToUTF8(item.FileName);
        EXPECT_EQ(bytes.substr(size_t(at), 4), std::string("PK\x03\x04", 4));
    }
    for (const auto& [name, bytes] : kItems)
        EXPECT_EQ(Extract(r, name), bytes) << name;
    // A set read from disk is not rewritten.
    EXPECT_EQ(Native([&] { r.BeginUpdate(); }), 52);
}

TEST(Volumes, ItemAcrossManyVolumes)
{
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> items = {{"big.bin", Random(300000, 5)},
                                                                     {"after.txt", "behind the big one"}};
    TZipArchiver a;
    WriteSet(a, dir / "big.zip", items);
    ASSERT_TRUE(fs::exists(dir / "big.z04"));
    std::string out;
    EXPECT_EQ(RunCommand("cd '" + dir.Path().string() + "' && 7z t big.zip", &out), 0) << out;
    EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;

    TZipArchiver r;
    r.FileName = W(dir / "big.zip");
    r.OpenArchive(0);
    for (const auto& [name, bytes] : items)
        EXPECT_EQ(Extract(r, name), bytes) << name;
}

TEST(Volumes, SetWrittenByZipExtracts)
{
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> files = {
        {"a.bin", Random(180000, 7)}, {"b.txt", std::string(5000, 'b')}, {"c.bin", Random(120000, 8)}};
    for (const auto& [name, bytes] : files)
        dir.Write(name, bytes);
    std::string out;
    ASSERT_EQ(RunCommand("cd '" + dir.Path().string() + "' && zip -q -s 100k set.zip a.bin b.txt c.bin", &out), 0)
        << out;
    ASSERT_TRUE(fs::exists(dir / "set.z01"));

    TZipArchiver r;
    r.FileName = W(dir / "set.zip");
    std::vector<int32_t> middle;
    bool first = false;
    r.OnRequestMiddleVolume = [&](TZABaseArchiver*, int32_t n, std::u16string& name, bool& cancel) {
        middle.push_back(n);
        cancel = !WideIsFile(name);
    };
    r.OnRequestFirstVolume = [&](TZABaseArchiver*, std::u16string& name, bool& cancel) {
        first = true;
        EXPECT_EQ(WideToUTF8(name), dir / "set.z01");
        cancel = !WideIsFile(name);
    };
    r.OpenArchive(0);
    EXPECT_EQ(r.GetSpanningModeValue(), smSplitting);
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(Extract(r, name), bytes) << name;
    EXPECT_TRUE(first);
    EXPECT_FALSE(middle.empty());

    // A set that fit into one volume still starts with the split marker.
    ASSERT_EQ(RunCommand("cd '" + dir.Path().string() + "' && zip -q -s 100k one.zip b.txt", &out), 0) << out;
    ASSERT_EQ(ReadFileBytes(dir / "one.zip").substr(0, 4), std::string("PK\x07\x08", 4));
    TZipArchiver one;
    one.FileName = W(dir / "one.zip");
    one.OpenArchive(0);
    EXPECT_EQ(Extract(one, "b.txt"), files[1].second);
}

TEST(Volumes, SelfExtractingSetOpensFromItsProgram)
{
    TempDir dir;
    const std::string stub = dir.Write("stub.bin", "MZ" + std::string(998, '\x90'));
    const std::vector<std::pair<std::string, std::string>> items = {{"one.bin", Random(70000, 21)},
                                                                     {"two.bin", Random(60000, 22)}};
    {
        TZipArchiver a;
        a.SFXStub = W(stub);
        WriteSet(a, dir / "app.exe", items);
    }
    // The program is the first volume, the ".zip" beside it the last.
    EXPECT_EQ(ReadFileBytes(dir / "app.exe").substr(0, 1000), ReadFileBytes(stub));
    EXPECT_TRUE(fs::exists(dir / "app.z02"));
    EXPECT_TRUE(fs::exists(dir / "app.zip"));

    TZipArchiver r;
    r.FileName = W(dir / "app.exe");
    r.OpenArchive(0);
    EXPECT_EQ(r.GetSpanningModeValue(), smSplitting);
    for (const auto& [name, bytes] : items)
        EXPECT_EQ(Extract(r, name), bytes) << name;
}

TEST(Volumes, SingleFileStubStaysInFrontOfItems)
{
    TempDir dir;
    const std::string stub = dir.Write("stub.bin", "MZ" + std::string(510, '\x90'));
    {
        TZipArchiver a;
        a.SFXStub = W(stub);
        a.FileName = W(dir / "tool.exe");
        a.OpenArchive(0xFFFF);
        Add(a, "inside.txt", "carried by the program");
        a.CloseArchive();
    }
    EXPECT_EQ(ReadFileBytes(dir / "tool.exe").substr(0, 512), ReadFileBytes(stub));
    std::string out;
    EXPECT_EQ(RunCommand("unzip -t '" + (dir / "tool.exe") + "'", &out), 0) << out;
}

TEST(Volumes, PieceLargerThanEmptyVolumeFails)
{
    TempDir dir;
    TZipArchiver a;
    a.FileName = W(dir / "small.zip");
    a.SetSpanningMode(smSplitting);
    a.SpanningOptions.VolumeSize = vsCustom;
    a.SpanningOptions.SetCustomVolumeSize(65536);
    a.SpanningOptions.FirstVolumeSize = 40;  // below one local header
    int requests = 0;
    a.OnRequestBlankVolume = [&](TZABaseArchiver*, int32_t, std::u16string&, bool&) { ++requests; };
    a.OpenArchive(0xFFFF);
    a.BeginUpdate();
    Add(a, "a-name-long-enough-for-the-header.txt", "data");
    EXPECT_EQ(Native([&] { a.EndUpdate(); }), 47);
    EXPECT_EQ(requests, 1);
    EXPECT_THROW(a.CloseArchive(), EZAException);
    // No volume and no archive is left behind.
    EXPECT_TRUE(fs::is_empty(dir.Path())) << fs::directory_iterator(dir.Path())->path();
}

TEST(Volumes, CancelledRequestsRaise45)
{
    TempDir dir;
    {
        // Creating: the first blank volume is refused.
        TZipArchiver a;
        a.FileName = W(dir / "c.zip");
        a.SetSpanningMode(smSplitting);
        a.OnRequestBlankVolume = [](TZABaseArchiver*, int32_t, std::u16string&, bool& cancel) { cancel = true; };
        EXPECT_EQ(Native([&] { a.OpenArchive(0xFFFF); }), 45);
        EXPECT_FALSE(a.GetActive());
        EXPECT_TRUE(fs::is_empty(dir.Path()));
    }
    for (const TZAProgressPhase phase : {ppStart, ppProcess}) {
        // Spreading the items over the volumes is stopped: no volume stays.
        TZipArchiver a;
        a.OnCopyTempFileProgress = [&](TZABaseArchiver*, double, TZAProgressPhase p, bool& cancel) {
            cancel = p == phase;
        };
        EXPECT_EQ(Native([&] { WriteSet(a, dir / "stopped.zip"); }), 45) << int(phase);
        EXPECT_THROW(a.CloseArchive(), EZAException);
        EXPECT_TRUE(fs::is_empty(dir.Path())) << fs::directory_iterator(dir.Path())->path();
    }
    // Reading: a handler that keeps naming a missing file is given up on.
    TZipArchiver w;
    WriteSet(w, dir / "set.zip");
    TZipArchiver r;
    r.FileName = W(dir / "set.zip");
    int asked = 0;
    r.OnRequestFirstVolume = [&](TZABaseArchiver*, std::u16string& name, bool&) {
        ++asked;
        name = W(dir / "nowhere.z01");
    };
    r.OpenArchive(0);
    EXPECT_EQ(Native([&] { Extract(r, "first.bin"); }), 45);
    EXPECT_GT(asked, 1);
    EXPECT_LT(asked, 100);
}

TEST(Volumes, SpanningAsksForDisksInOrder)
{
    TempDir dir;
    TDriveHooks hooks;
    constexpr int64_t kDisk = 120000;
    const std::string full = dir / "full";
    SetRemovableFunc([](const std::u16string&) { return true; });
    SetDiskFreeFunc([&](const std::u16string& path) -> int64_t {
        const std::string p = WideToUTF8(path);
        if (p.rfind(full, 0) == 0)
            return 1000;  // a disk with no room left
        std::error_code ec;
        const auto used = fs::exists(p, ec) ? int64_t(fs::file_size(p, ec)) : 0;
        return kDisk - used;
    });

    std::vector<int32_t> blank;
    std::vector<int32_t> diskFull;
    const std::string payload = Random(300000, 11);
    {
        TZipArchiver a;
        a.FileName = W(dir / "span.zip");
        a.SetSpanningMode(smSpanning);
        a.OnRequestBlankVolume = [&](TZABaseArchiver*, int32_t n, std::u16string& name, bool&) {
            blank.push_back(n);
            // The second disk offered first is full; the next answer is a good one.
            const bool offerFull = n == 2 && diskFull.empty();
            const std::string folder = offerFull ? full : dir / ("disk" + std::to_string(n));
            fs::create_directories(folder);
            name = W(folder + "/span.zip");
        };
        a.OnDiskFull = [&](TZABaseArchiver*, int32_t n, const std::u16string&, bool&) { diskFull.push_back(n); };
        a.OpenArchive(0xFFFF);
        a.BeginUpdate();
        Add(a, "payload.bin", payload);
        Add(a, "note.txt", "spanned");
        a.EndUpdate();
        a.CloseArchive();
    }
    ASSERT_GE(blank.size(), 4u);
    EXPECT_EQ(blank[0], 1);
    EXPECT_EQ(blank[1], 2);
    EXPECT_EQ(blank[2], 2);  // asked again after the full disk
    for (size_t i = 3; i < blank.size(); ++i)
        EXPECT_EQ(blank[i], int32_t(i));
    EXPECT_EQ(diskFull, std::vector<int32_t>{2});
    const int disks = int(blank.size()) - 1;
    for (int d = 1; d <= disks; ++d)
        EXPECT_LE(fs::file_size(dir / ("disk" + std::to_string(d)) + "/span.zip"), uint64_t(kDisk));

    // Reading starts from the last disk and asks for the others by number.
    TZipArchiver r;
    r.FileName = W(dir / ("disk" + std::to_string(disks)) + "/span.zip");
    std::vector<int32_t> asked;
    r.OnRequestFirstVolume = [&](TZABaseArchiver*, std::u16string& name, bool&) {
        asked.push_back(1);
        name = W(dir / "disk1/span.zip");
    };
    r.OnRequestMiddleVolume = [&](TZABaseArchiver*, int32_t n, std::u16string& name, bool&) {
        asked.push_back(n);
        name = W(dir / ("disk" + std::to_string(n)) + "/span.zip");
    };
    r.OpenArchive(0);
    EXPECT_EQ(r.GetSpanningModeValue(), smSpanning);
    EXPECT_EQ(Extract(r, "payload.bin"), payload);
    EXPECT_EQ(Extract(r, "note.txt"), "spanned");
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0], 1);
    for (size_t i = 1; i < asked.size() && asked[i] != 1; ++i)
        EXPECT_EQ(asked[i], asked[i - 1] + 1);
}

TEST(Volumes, EmptySetAndCallerStream)
{
    TempDir dir;
    TZipArchiver a;
    a.FileName = W(dir / "empty.zip");
    a.SetSpanningMode(smSplitting);
    a.OpenArchive(0xFFFF);
    a.CloseArchive();
    std::string out;
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c \"import sys, zipfile; sys.exit(len(zipfile.ZipFile(sys.argv[1]).namelist()))\" '" +
                             (dir / "empty.zip") + "'",
                         &out),
              0)
        << out;
    EXPECT_EQ(fs::file_size(dir / "empty.zip"), 22u);

    // A caller's stream holds one file only.
    TMemoryStream stream;
    TZipArchiver b;
    b.SetSpanningMode(smSplitting);
    EXPECT_EQ(Native([&] { b.OpenArchive(stream, true); }), 51);
}
