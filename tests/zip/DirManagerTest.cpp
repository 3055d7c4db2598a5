#include <gtest/gtest.h>

#include <functional>

#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveBuilder.h"
#include "zip/TZAHashedStringList.h"
#include "zip/WideUtils.h"

namespace {

std::string ThreeItems(const std::string& comment = "signature, v2.0")
{
    TArchiveBuilder b;
    b.Add(u"_XML_DETAILS_", "<Portfolio/>");
    b.Add(u"Data/", "", true);
    b.Add(u"Images/001.bmp", std::string(300, 'B'));
    return b.Finish(comment);
}

struct TLoaded {
    TTestOwner owner;
    std::unique_ptr<TMemoryStream> stream;
    std::unique_ptr<TZADirManager> manager;
    explicit TLoaded(const std::string& bytes, bool tolerant = false)
    {
        owner.tolerant = tolerant;
        LoadBytes(bytes, owner, stream, manager);
    }
};

} // namespace

TEST(DirManager, SavedDirectoryLoadsBack)
{
    const std::string bytes = ThreeItems();
    TLoaded a(bytes);
    TZADirArray& items = a.manager->Items;
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(a.manager->Comment, "signature, v2.0");
    EXPECT_EQ(items.ItemAt(2).FileName, u"Images/001.bmp");
    EXPECT_EQ(items.ItemAt(2).CompressedSize, 300u);
    EXPECT_EQ(a.manager->FirstLocalHeaderPos, 0);
    int index = -1;
    ASSERT_TRUE(items.FindName(u"IMAGES/001.BMP", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(a.manager->Zip64);
    // The directory starts right behind the last item's data.
    EXPECT_EQ(a.manager->CentralDirStart, int64_t(items.ItemAt(2).LocalHeaderOffset + 30 + 14 + 300));
}

TEST(DirManager, NewEmptyArchiveIsABareEndRecordWithItsComment)
{
    TMemoryStream stream;
    TTestOwner owner;
    owner.volume.SetVolumeNumber(5);
    TZADirManager manager(&stream, &owner, true);
    EXPECT_TRUE(owner.volume.IsFirst());
    manager.Comment = "hello";
    manager.SaveCentralDirectory();
    const std::string bytes = BytesOf(stream);
    ASSERT_EQ(bytes.size(), 27u);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x05\x06");
    EXPECT_EQ(bytes.substr(22), "hello");
    TLoaded back(bytes);
    EXPECT_EQ(back.manager->Items.Count(), 0);
    EXPECT_EQ(back.manager->Comment, "hello");
}

TEST(DirManager, EndRecordSearchTakesTheRecordWhoseCommentReachesTheEnd)
{
    // A longest comment, and a comment that itself holds an end-record image
    // whose comment length does not reach the end of the file.
    std::string fake = "PK\x05\x06" + std::string(16, '\0') + std::string("\x03\x00", 2);
    const std::string comments[] = {std::string(65535, 'c'), "before " + fake + " after"};
    for (const std::string& comment : comments) {
        TLoaded a(ThreeItems(comment));
        EXPECT_EQ(a.manager->Comment, comment);
        EXPECT_EQ(a.manager->Items.Count(), 3);
    }
}

TEST(DirManager, SavingOverAnArchiveReplacesTheOldDirectory)
{
    const std::string bytes = ThreeItems();
    TLoaded a(bytes);
    // Writing the same directory again must cut the old one away first.
    a.manager->SaveCentralDirectory();
    EXPECT_EQ(BytesOf(*a.stream), bytes);

    a.manager->Items.Delete(1);
    a.manager->Comment = "shorter";
    a.manager->SaveCentralDirectory();
    TLoaded b(BytesOf(*a.stream));
    ASSERT_EQ(b.manager->Items.Count(), 2);
    EXPECT_EQ(b.manager->Comment, "shorter");
    EXPECT_LT(a.stream->GetSize(), int64_t(bytes.size()));
}

TEST(DirManager, PrefixedArchiveMovesItemOffsets)
{
    TArchiveBuilder b(std::string(4096, 'S'));
    b.OffsetsFromHere();
    b.Add(u"a.txt", "alpha");
    b.Add(u"folder/", "", true);
    b.Add(u"b.txt", "beta");
    TLoaded a(b.Finish());
    EXPECT_EQ(a.manager->FirstLocalHeaderPos, 4096);
    const uint32_t expected[] = {4096, 4096 + 40, 4096 + 40 + 37};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.manager->Items.ItemAt(i).LocalHeaderOffset, expected[i]) << i;
        EXPECT_TRUE(CheckLocalHeader(*a.stream, expected[i], a.manager->Items.ItemAt(i))) << i;
    }
}

TEST(DirManager, ManyItemsGetZip64RecordsAndLoadBack)
{
    TMemoryStream stream;
    TTestOwner owner;
    TZADirManager manager(&stream, &owner, true);
    manager.Items.SetCount(65535);
    TDirItem item;
    item.VersionMadeBy = item.VersionNeeded = 20;
    for (int i = 0; i < 65535; ++i) {
        item.FileName = u"f" + W(std::to_string(i));
        manager.Items.SetItem(i, item);
    }
    manager.SaveCentralDirectory();
    const std::string bytes = BytesOf(stream);
    const auto* end = reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size() - 22;
    const TEndOfCentralDir record = TEndOfCentralDir::Decode(end);
    EXPECT_EQ(record.EntriesOnDisk, 0xFFFF);
    EXPECT_EQ(record.TotalEntries, 0xFFFF);
    const auto locator = TZip64EndOfCentralDirLocator::Decode(end - 20);
    ASSERT_EQ(locator.Signature, kZip64LocatorSignature);
    EXPECT_EQ(locator.TotalDisks, 1u);
    const auto zip64 = TZip64EndOfCentralDir::Decode(end - 76);
    EXPECT_EQ(zip64.Signature, kZip64EndRecordSignature);
    EXPECT_EQ(zip64.TotalEntries, 65535u);
    EXPECT_EQ(zip64.DirectoryOffset, 0u);
    EXPECT_EQ(locator.EndRecordOffset, zip64.DirectorySize);

    TLoaded back(bytes, true);
    EXPECT_TRUE(back.manager->Zip64);
    ASSERT_EQ(back.manager->Items.Count(), 65535);
    int index = -1;
    ASSERT_TRUE(back.manager->Items.FindName(u"F65534", index));
    EXPECT_EQ(index, 65534);

    // Python reads the same directory.
    TempDir dir;
    const std::string path = dir.Write("many.zip", bytes);
    std::string out;
    ASSERT_EQ(RunCommand(std::string(kPython) + " -c \"import zipfile,sys; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))\" " + path, &out), 0) << out;
    EXPECT_EQ(out, "65535\n");
}

TEST(DirManager, MissingEndRecordRebuildsFromLocalHeaders)
{
    // A data-descriptor item: sizes and CRC come from the descriptor.
    std::string bytes = ThreeItems();
    TLocalFileHeader local;
    local.VersionNeeded = 20;
    local.Flags = kFlagDataDescriptor;
    local.NameLength = 5;
    uint8_t raw[TLocalFileHeader::kSize];
    local.Encode(raw);
    const size_t cut = bytes.find(std::string("PK\x01\x02", 4));
    std::string damaged = bytes.substr(0, cut) + std::string(reinterpret_cast<char*>(raw), 30) + "d.txt" + "data";
    TDataDescriptor descriptor;
    descriptor.Crc32 = 0x12345678;
    descriptor.CompressedSize = descriptor.UncompressedSize = 4;
    uint8_t rawDescriptor[TDataDescriptor::kSize];
    descriptor.Encode(rawDescriptor);
    damaged.append(reinterpret_cast<char*>(rawDescriptor), sizeof rawDescriptor);

    TLoaded a(damaged);
    TZADirArray& items = a.manager->Items;
    ASSERT_EQ(items.Count(), 4);
    EXPECT_EQ(items.ItemAt(0).FileName, u"_XML_DETAILS_");
    EXPECT_EQ(items.ItemAt(1).ExternalAttributes, 0x10u);  // empty without descriptor: folder
    EXPECT_EQ(items.ItemAt(2).ExternalAttributes, 0x20u);
    EXPECT_EQ(items.ItemAt(3).FileName, u"d.txt");
    EXPECT_EQ(items.ItemAt(3).Crc32, 0x12345678u);
    EXPECT_EQ(items.ItemAt(3).CompressedSize, 4u);
    EXPECT_EQ(items.ItemAt(3).LocalHeaderOffset, cut);
    EXPECT_EQ(a.manager->CentralDirStart, int64_t(damaged.size()));
}

TEST(DirManager, DamagedArchivesRaiseTheirCodes)
{
    const std::string good = ThreeItems("");
    const size_t end = good.size() - 22;
    const size_t dir = good.find(std::string("PK\x01\x02", 4));
    auto patch16 = [&](size_t at, uint16_t v) {
        std::string s = good;
        PutLE16(reinterpret_cast<uint8_t*>(s.data()) + at, v);
        return s;
    };
    auto patch32 = [&](size_t at, uint32_t v) {
        std::string s = good;
        PutLE32(reinterpret_cast<uint8_t*>(s.data()) + at, v);
        return s;
    };
    // A ZIP64 locator in front of an end record that defers to it.
    std::string badLocator = good.substr(0, end);
    TZip64EndOfCentralDirLocator locator;
    locator.EndRecordOffset = 3;
    uint8_t raw[20];
    locator.Encode(raw);
    badLocator.append(reinterpret_cast<char*>(raw), 20);
    badLocator += good.substr(end);
    PutLE32(reinterpret_cast<uint8_t*>(badLocator.data()) + badLocator.size() - 22 + 16, 0xFFFFFFFF);
    // A ZIP64 end record claiming billions of entries.
    std::string hugeZip64 = good.substr(0, end);
    TZip64EndOfCentralDir zip64;
    zip64.RecordSize = 44;
    zip64.TotalEntries = zip64.EntriesOnDisk = 1ull << 40;
    zip64.DirectorySize = end - dir;
    zip64.DirectoryOffset = dir;
    uint8_t raw64[56];
    zip64.Encode(raw64);
    locator.EndRecordOffset = end;
    locator.Encode(raw);
    hugeZip64.append(reinterpret_cast<char*>(raw64), 56).append(reinterpret_cast<char*>(raw), 20);
    hugeZip64 += good.substr(end);
    PutLE16(reinterpret_cast<uint8_t*>(hugeZip64.data()) + hugeZip64.size() - 22 + 10, 0xFFFF);
    // An encrypted item with less data than its 12-byte header.
    TArchiveBuilder enc;
    enc.Add(u"secret", "12345", false, kFlagEncrypted);

    struct Case {
        const char* what;
        std::string bytes;
        int code;
        int rebuilt = 3;  // items found from the local headers when tolerated
    };
    const Case cases[] = {
        {"shorter than an end record, no local header", good.substr(0, 10).replace(0, 2, "XX"), 35},
        {"no signature anywhere", std::string(5000, 'z'), 35},
        {"more entries than the directory holds", patch16(end + 10, 4000), kZADamagedArchive},
        {"directory larger than the file", patch32(end + 12, 0x7FFFFFFF), kZADamagedArchive},
        {"directory size off by one", patch32(end + 12, uint32_t(end - dir + 1)), kZADamagedArchive},
        {"name length past the directory", patch16(dir + 28, 0xFFF0), kZADamagedArchive},
        {"extra length past the directory", patch16(dir + 30, 0x8000), kZADamagedArchive},
        {"local header offset past the end", patch32(dir + 42, 0x7FFFFFF0), kZADamagedArchive},
        {"huge compressed size", patch32(dir + 20, 0xFFFFFFF0), kZADamagedArchive},
        {"ZIP64 locator pointing at nothing", badLocator, 40},
        {"ZIP64 record with 2^40 entries", hugeZip64, kZADamagedArchive},
        {"encrypted item shorter than its header", enc.Finish(), kZADamagedArchive, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTestOwner owner;
        auto stream = StreamOf(c.bytes);
        TZADirManager manager(stream.get(), &owner, false);
        EXPECT_EQ(NativeErrorOf([&] { manager.LoadCentralDirectory(); }), c.code);
        // Tolerated, a damaged directory is rebuilt from the local headers.
        if (c.code == kZADamagedArchive) {
            owner.tolerant = true;
            EXPECT_EQ(NativeErrorOf([&] { manager.LoadCentralDirectory(); }), -1);
            EXPECT_EQ(manager.Items.Count(), c.rebuilt);
        }
    }
}

TEST(DirManager, EntryCountOfFFFFWithoutZip64IsRebuilt)
{
    std::string bytes = ThreeItems("");
    PutLE16(reinterpret_cast<uint8_t*>(bytes.data()) + bytes.size() - 22 + 10, 0xFFFF);
    TLoaded a(bytes);
    EXPECT_EQ(a.manager->Items.Count(), 3);
    EXPECT_EQ(a.manager->CentralDirStart, int64_t(bytes.size()));
}

TEST(DirManager, LocatorLookalikeInACommentDoesNotSpoilACompleteRecord)
{
    // The last item's comment ends with bytes that read as a ZIP64 locator.
    TMemoryStream stream;
    TTestOwner owner;
    TZADirManager manager(&stream, &owner, true);
    TDirItem item;
    item.FileName = u"x";
    TZip64EndOfCentralDirLocator locator;
    locator.EndRecordOffset = 0;
    uint8_t raw[20];
    locator.Encode(raw);
    item.Comment.assign(reinterpret_cast<char*>(raw), 20);
    manager.Items.SetCount(1);
    manager.Items.SetItem(0, item);
    manager.SaveCentralDirectory();
    TLoaded back(BytesOf(stream));
    ASSERT_EQ(back.manager->Items.Count(), 1);
    EXPECT_FALSE(back.manager->Zip64);
}

TEST(DirManager, StubIsCopiedInFrontOfANewArchive)
{
    TempDir dir;
    const std::string stub = dir.Write("stub.bin", std::string(3000, 'M'));
    TTestOwner owner;
    owner.stub = W(stub);
    TMemoryStream stream;
    stream.WriteBuffer("old content", 11);
    TZADirManager manager(&stream, &owner, true);
    EXPECT_EQ(manager.FirstLocalHeaderPos, 3000);
    EXPECT_EQ(BytesOf(stream), std::string(3000, 'M'));

    TTestOwner spanned;
    spanned.stub = W(stub);
    spanned.spanningMode = smSplitting;
    spanned.spanning.FirstVolumeSize = 2999;
    TMemoryStream other;
    EXPECT_EQ(NativeErrorOf([&] { TZADirManager m(&other, &spanned, true); }), 47);
    spanned.stub = W(dir / "missing.bin");
    EXPECT_EQ(NativeErrorOf([&] { TZADirManager m(&other, &spanned, true); }), 33);
}

TEST(DirManager, RebuildingIsRefusedWhileSpanning)
{
    TTestOwner owner;
    owner.spanningMode = smSpanning;
    auto stream = StreamOf("no archive here");
    TZADirManager manager(stream.get(), &owner, false);
    EXPECT_EQ(NativeErrorOf([&] { manager.LoadCentralDirectory(); }), 44);
}

TEST(DirManager, ArchiveShorterThanItsCompressedSizesIsRefusedUnlessTolerated)
{
    // Each item fits before the directory on its own, but not all together.
    TArchiveBuilder b;
    b.Add(u"a", std::string(100, 'a'));
    b.Add(u"b", std::string(100, 'b'));
    std::string bytes = b.Finish();
    const size_t dir = bytes.find(std::string("PK\x01\x02", 4));
    // Both items claim the whole data area.
    for (size_t at = dir; (at = bytes.find(std::string("PK\x01\x02", 4), at)) != std::string::npos; at += 4) {
        PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + at + 20, uint32_t(dir - 40));
        PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + at + 42, 0);
    }
    TTestOwner owner;
    auto stream = StreamOf(bytes);
    TZADirManager manager(stream.get(), &owner, false);
    EXPECT_EQ(NativeErrorOf([&] { manager.LoadCentralDirectory(); }), 57);
}

TEST(DirArray, IndexFollowsEveryChange)
{
    TZADirArray array;
    array.SetCount(3);
    const char16_t* names[] = {u"Alpha", u"Beta", u"Gamma"};
    for (int i = 0; i < 3; ++i) {
        TDirItem item;
        item.FileName = names[i];
        array.SetItem(i, item);
    }
    int index = -1;
    ASSERT_TRUE(array.FindName(u"GAMMA", index));
    EXPECT_EQ(index, 2);

    array.Delete(0);
    ASSERT_EQ(array.Count(), 2);
    ASSERT_TRUE(array.FindName(u"gamma", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(array.FindName(u"alpha", index));

    array.RenameItem(0, u"Delta");
    EXPECT_TRUE(array.FindName(u"delta", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(array.FindName(u"beta", index));

    TZADirArray copy;
    copy.Assign(array);
    ASSERT_TRUE(copy.FindName(u"Gamma", index));
    EXPECT_EQ(index, 1);

    array.SetCount(1);
    EXPECT_FALSE(array.FindName(u"gamma", index));
    array.SetCount(2);
    EXPECT_TRUE(array.ItemAt(1).FileName.empty());  // a slot coming back into use is empty
}

TEST(DirArray, OutOfRangeAndBrokenIndexCodes)
{
    TZADirArray array;
    array.SetCount(2);
    TDirItem item;
    item.FileName = u"x";
    struct Case {
        const char* what;
        std::function<void()> call;
        int code;
    };
    const Case cases[] = {
        {"SetItem", [&] { array.SetItem(2, item); }, 1},
        {"GetItem", [&] { array.GetItem(-1); }, 2},
        {"ItemAt", [&] { array.ItemAt(2); }, 3},
        {"Delete", [&] { array.Delete(5); }, 4},
        {"SetItem before its predecessor", [&] { array.SetItem(1, item); }, 58},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(NativeErrorOf(c.call), c.code);
    }
    array.SetItem(0, item);
    item.FileName = u"y";
    array.SetItem(1, item);
    array.ItemAt(1).FileName = u"X";  // now item 1's name is found at index 0
    EXPECT_EQ(NativeErrorOf([&] { array.RenameItem(1, u"z"); }), 59);
}

TEST(DirArray, GrowthDoublesItsStepUpToTheMaximum)
{
    TZADirArray array;
    array.SetCount(1);
    EXPECT_EQ(array.Capacity(), 1000);
    array.SetCount(1001);
    EXPECT_EQ(array.Capacity(), 3000);
    array.SetCount(50000);
    EXPECT_EQ(array.Capacity(), 50000);
    array.SetCount(50001);
    EXPECT_EQ(array.Capacity(), 58000);
    array.SetCount(58001);
    EXPECT_EQ(array.Capacity(), 68000);
    array.SetCount(10);
    EXPECT_EQ(array.Capacity(), 68000);
    array.SetCount(0);
    EXPECT_EQ(array.Capacity(), 0);
}

TEST(ZAOptions, VolumeSizesAndVolumeRecords)
{
    TZASpanningOptions options;
    options.SetCustomVolumeSize(1000);
    EXPECT_EQ(options.GetCustomVolumeSize(), 65536);
    options.SetCustomVolumeSize(-5);
    EXPECT_EQ(options.GetCustomVolumeSize(), 65536);
    options.VolumeSize = vs4700MB;
    EXPECT_EQ(options.GetVolumeSize(false), 4928307200LL);
    options.FirstVolumeSize = 70000;
    EXPECT_EQ(options.GetVolumeSize(true), 70000);
    options.VolumeSize = vsAutoDetect;
    EXPECT_EQ(options.GetVolumeSize(false), -1);

    TZAVolumeNumberInfo last, numbered, first;
    last.SetLast(true);
    numbered.SetVolumeNumber(3);
    first.SetFirst(true);
    EXPECT_TRUE(last.IsLast());
    EXPECT_FALSE(last.SameVolume(numbered));
    numbered.LastVolumeNumber = 3;
    EXPECT_TRUE(numbered.IsLast());
    EXPECT_TRUE(numbered.SameVolume(last));
    EXPECT_TRUE(first.SameVolume(first));
    EXPECT_FALSE(first.SameVolume(numbered));
}
