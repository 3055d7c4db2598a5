// What the archiver tells and asks its owner: progress, overwrite decisions,
// retries, names on the way in and out, opening; and DOS date-times.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/TZipArchiver.h"

namespace {

struct TEvent {
    std::string source;  // "file" or "overall"
    std::u16string name;
    double progress;
    TZAProcessOperation operation;
    TZAProgressPhase phase;
};

void Record(TZipArchiver& a, std::vector<TEvent>& events)
{
    a.OnFileProgress = [&events](TZABaseArchiver*, const std::u16string& name, double progress,
                                 TZAProcessOperation op, TZAProgressPhase phase, bool&) {
        events.push_back({"file", name, progress, op, phase});
    };
    a.OnOverallProgress = [&events](TZABaseArchiver*, double progress, TZAProcessOperation op, TZAProgressPhase phase,
                                    bool&) { events.push_back({"overall", u"", progress, op, phase}); };
}

// Start and end events in order; the process events between them must
// climb and stay within 0..100.
void ExpectFrame(const std::vector<TEvent>& events, TZAProcessOperation op, const std::u16string& name)
{
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front().source, "overall");
    EXPECT_EQ(events.front().phase, ppStart);
    EXPECT_EQ(events.front().progress, 0);
    EXPECT_EQ(events[1].source, "file");
    EXPECT_EQ(events[1].phase, ppStart);
    EXPECT_EQ(events[1].name, name);
    EXPECT_EQ(events[events.size() - 2].source, "file");
    EXPECT_EQ(events[events.size() - 2].phase, ppEnd);
    EXPECT_EQ(events[events.size() - 2].progress, 100);
    EXPECT_EQ(events.back().source, "overall");
    EXPECT_EQ(events.back().phase, ppEnd);
    EXPECT_EQ(events.back().progress, 100);
    double lastFile = 0, lastOverall = 0;
    int process = 0;
    for (size_t i = 2; i + 2 < events.size(); ++i) {
        const TEvent& e = events[i];
        EXPECT_EQ(e.phase, ppProcess);
        EXPECT_EQ(e.operation, op);
        double& last = e.source == "file" ? lastFile : lastOverall;
        EXPECT_GE(e.progress, last);
        EXPECT_LE(e.progress, 100);
        last = e.progress;
        if (e.source == "file") {
            EXPECT_EQ(e.name, name);
            ++process;
        }
    }
    EXPECT_GE(process, 3) << "a 2.5 MiB item moves in several pieces";
    EXPECT_EQ(lastFile, 100);
}

} // namespace

TEST(ArchiverEvents, ProgressOfAddAndExtract)
{
    TMemoryStream mem;
    TZipArchiver a;
    std::vector<TEvent> events;
    Record(a, events);
    a.OpenArchive(mem, true);
    const std::string data = Random(5 << 19, 3);
    TMemoryStream s = StreamOf(data);
    a.AddFromStream(u"dir/a.bin", s);
    // Names reach the handlers with the system's separator.
    ExpectFrame(events, poAdd, u"dir\\a.bin");

    events.clear();
    EXPECT_EQ(Extract(a, u"dir/a.bin"), data);
    ExpectFrame(events, poExtract, u"dir\\a.bin");
}

TEST(ArchiverEvents, CancelWhileDataMovesLeavesTheArchiveAsItWas)
{
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    TMemoryStream first = StreamOf("first");
    a.AddFromStream(u"first", first);
    const std::string before = Text(mem);
    a.OnFileProgress = [](TZABaseArchiver*, const std::u16string&, double, TZAProcessOperation,
                          TZAProgressPhase phase, bool& cancel) { cancel = phase == ppProcess; };
    TMemoryStream s = StreamOf(Random(3 << 20, 1));
    EXPECT_EQ(Native([&] { a.AddFromStream(u"second", s); }), 45);
    EXPECT_EQ(Text(mem), before);
    EXPECT_EQ(a.ItemCount(), 1);
}

TEST(ArchiverEvents, OverwriteModesDecideOnAnExistingName)
{
    const double older = 45000.5, newer = 45100.5;  // a hundred days apart in 2023
    struct {
        TZAOverwriteMode mode;
        double time;
        bool confirm;             // the prompt's answer
        std::u16string promptAs;  // the name the prompt answers with
        std::vector<std::pair<std::u16string, std::string>> expected;
    } cases[] = {
        {omAlways, older, false, u"", {{u"a.txt", "new"}}},
        {omNever, newer, false, u"", {{u"a.txt", "old"}}},
        {omIfNewer, newer, false, u"", {{u"a.txt", "new"}}},
        {omIfNewer, older, false, u"", {{u"a.txt", "old"}}},
        {omIfOlder, older, false, u"", {{u"a.txt", "new"}}},
        {omIfOlder, newer, false, u"", {{u"a.txt", "old"}}},
        {omPrompt, newer, true, u"a.txt", {{u"a.txt", "new"}}},
        {omPrompt, newer, false, u"a.txt", {{u"a.txt", "old"}}},
        {omPrompt, newer, true, u"b\\copy.txt", {{u"a.txt", "old"}, {u"b/copy.txt", "new"}}},
    };
    const double middle = 45050.5;
    for (const auto& c : cases) {
        SCOPED_TRACE(int(&c - cases));
        TMemoryStream mem;
        TZipArchiver a;
        a.OpenArchive(mem, true);
        TMemoryStream old = StreamOf("old");
        a.AddFromStream(u"a.txt", old, true, 0, 0, 0x20, middle);
        a.Options.OverwriteMode = c.mode;
        int prompts = 0;
        a.OnConfirmOverwrite = [&](TZABaseArchiver*, const std::u16string& source, std::u16string& dest,
                                   bool& confirm) {
            ++prompts;
            EXPECT_EQ(source, u"a.txt");
            EXPECT_EQ(dest, u"a.txt");
            dest = c.promptAs;
            confirm = c.confirm;
        };
        TMemoryStream fresh = StreamOf("new");
        a.AddFromStream(u"a.txt", fresh, true, 0, 0, 0x20, c.time);
        EXPECT_EQ(prompts, c.mode == omPrompt ? 1 : 0);
        ASSERT_EQ(a.ItemCount(), int(c.expected.size()));
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(a.Item(int(i)).FileName, c.expected[i].first);
            EXPECT_EQ(Extract(a, c.expected[i].first), c.expected[i].second);
        }
    }
}

TEST(ArchiverEvents, FailureHandlerRetriesAndIsToldWhatFailed)
{
    // A source that fails on its first read only.
    class TFlakyStream : public TMemoryStream {
    public:
        int failures = 1;
        int64_t Read(void* buffer, int64_t count) override
        {
            if (failures > 0) {
                --failures;
                throw EReadError("flaky");
            }
            return TMemoryStream::Read(buffer, count);
        }
    };
    TMemoryStream mem;
    TZipArchiver a;
    a.OpenArchive(mem, true);
    std::vector<std::u16string> told;
    a.OnProcessFileFailure = [&](TZABaseArchiver*, const std::u16string& name, TZAProcessOperation op, int32_t,
                                 int32_t, const std::u16string& message, TZAAction& action) {
        EXPECT_EQ(op, poAdd);
        EXPECT_NE(WideToUTF8(message).find("flaky"), std::string::npos);
        told.push_back(name);
        action = fxaRetry;
    };
    TFlakyStream s;
    s.WriteBuffer("payload", 7);
    a.AddFromStream(u"sub/x.txt", s, false);
    EXPECT_EQ(told, std::vector<std::u16string>{u"sub/x.txt"});
    EXPECT_EQ(Extract(a, u"sub/x.txt"), "payload");
}

TEST(ArchiverEvents, StoreAndExtractHandlersRenameItems)
{
    TempDir dir;
    TMemoryStream mem;
    TZipArchiver a;
    a.OnStoreFile = [](TZABaseArchiver*, std::u16string& name, uint32_t&, std::string& comment,
                       const std::u16string& original) {
        EXPECT_EQ(name, u"a\\b.txt");
        EXPECT_EQ(original, u"a/b.txt");
        name = u"c\\d.txt";
        comment = "renamed on the way in";
    };
    a.OpenArchive(mem, true);
    TMemoryStream s = StreamOf("content");
    a.AddFromStream(u"a/b.txt", s);
    ASSERT_EQ(a.ItemCount(), 1);
    EXPECT_EQ(a.Item(0).FileName, u"c/d.txt");
    EXPECT_EQ(a.Item(0).Comment, "renamed on the way in");

    std::vector<std::u16string> seen;
    a.OnExtractFile = [&](TZABaseArchiver*, std::u16string& name, uint32_t&, const std::string& comment) {
        seen.push_back(name);
        EXPECT_EQ(comment, "renamed on the way in");
        name = u"e\\f.txt";
    };
    a.ExtractFiles(u"*", W(dir / "out"));
    EXPECT_EQ(seen, std::vector<std::u16string>{u"c\\d.txt"});
    EXPECT_EQ(ReadFileBytes(dir / "out/e/f.txt"), "content");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/c"));
}

TEST(ArchiverEvents, AfterOpenFiresForEverySuccessfulOpenOnly)
{
    TempDir dir;
    int opened = 0;
    TZipArchiver a;
    a.AfterOpen = [&](TZABaseArchiver* sender) {
        EXPECT_EQ(sender, &a);
        EXPECT_TRUE(sender->GetActive());
        ++opened;
    };
    a.FileName = W(dir / "o.zip");
    a.OpenArchive(0xFFFF);
    a.CloseArchive();
    a.OpenArchive();
    a.CloseArchive();
    TMemoryStream mem;
    a.OpenArchive(mem, true);
    a.CloseArchive();
    EXPECT_EQ(opened, 3);
    a.FileName = W(dir / "missing.zip");
    EXPECT_EQ(Native([&] { a.OpenArchive(0); }), 12);
    EXPECT_EQ(opened, 3);
}

TEST(ArchiverDates, DateTimeToDosDateTime)
{
    struct {
        double dateTime;
        uint32_t dos;
    } cases[] = {
        {29221.0, 0x00210000},                                          // 1980-01-01 00:00:00, the first DOS day
        {45351.573275462964, (0x585Du << 16) | 0x6DAF},                 // 2024-02-29 13:45:31, seconds halved
        {75971.99997685185, (uint32_t(127 << 9 | 12 << 5 | 31) << 16) | (23 << 11 | 59 << 5 | 29)},  // 2107-12-31 23:59:58
        {29220.999988425927, 0},                                        // a second before 1980
        {75972.0, 0},                                                   // 2108
        {0.0, 0},                                                       // the class library's zero date
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dateTime);
        EXPECT_EQ(uint32_t(DateTimeToDosDateTime(c.dateTime)), c.dos);
        if (c.dos) {
            EXPECT_EQ(uint32_t(DateTimeToDosDateTime(DosDateTimeToDateTime(int32_t(c.dos)))), c.dos);
        }
    }
}
