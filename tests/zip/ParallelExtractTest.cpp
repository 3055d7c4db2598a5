// Items decoded on worker threads while the archiver's thread writes them:
// the files, streams, questions and events are those of a one-thread run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <span>
#include <thread>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TZAItemDecoder.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

std::string ReadFileBytes(const std::string& path);

namespace {

struct TSource {
    std::string name, data, password;
};

// Items under two passwords, sizes around the 1 MiB read piece, an empty one.
std::vector<TSource> Sources()
{
    std::vector<TSource> s = {{"big.txt", Compressible((2 << 20) + 5, 1), "one"},
                              {"noise.bin", Random((1 << 20) + 1, 2), "one"},
                              {"empty.txt", "", "one"},
                              {"other/secret.txt", Compressible(70000, 3), "two"}};
    for (int i = 0; i < 30; ++i)
        s.push_back({"small/" + std::to_string(i) + ".txt", Compressible(size_t(i * 131 + 1), unsigned(i + 9)),
                     i == 20 ? "two" : "one"});
    return s;
}

// Whether some item's header also opens with a password that is not its
// own. The classic cipher checks a password against one byte, so one wrong
// password in 256 passes and the item then fails on its checksum, with one
// thread as with many: such an archive cannot show the runs alike.
bool AHeaderOpensWithAnotherPassword(const std::string& file, const std::vector<TSource>& sources)
{
    for (const TSource& s : sources) {
        if (s.password.empty())
            continue;
        TZipArchiver a;
        a.FileName = W(file);
        a.WorkerCount = 1;
        a.SetPassword(s.password == "one" ? "two" : "one");
        a.OpenArchive(0);
        bool asked = false;
        a.OnPassword = [&asked](TZABaseArchiver*, const std::u16string&, std::string&, bool& skip) {
            asked = true;
            skip = true;
        };
        TMemoryStream out;
        try {
            a.ExtractToStream(W(s.name), out);
        } catch (const std::exception&) {
        }
        if (!asked)
            return true;
    }
    return false;
}

void WriteArchive(const std::string& file, const std::vector<TSource>& sources,
                  TZACryptoAlgorithm method = caPkzipClassic)
{
    do {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        for (const TSource& s : sources) {
            a.SetPassword(s.password);
            a.EncryptionMethod = method;
            TMemoryStream m = StreamOf(s.data);
            a.AddFromStream(W(s.name), m);
        }
        a.CloseArchive();
    } while (AHeaderOpensWithAnotherPassword(file, sources));
}

// "damaged.zip" in the folder: the archive with one stored byte of the item
// (named by its first local header) changed, 1000 bytes into its data.
void WriteDamagedCopy(const TempDir& dir, const std::string& file, const std::string& item)
{
    std::string bytes = ReadFileBytes(file);
    const size_t at = bytes.find(item) + item.size() + 1000;
    bytes[at] = char(bytes[at] ^ 0x5A);
    dir.Write("damaged.zip", bytes);
}

// The archiver's events and questions as the caller sees them.
struct TLog {
    std::vector<std::string> lines;
    bool offThread = false;
    void Add(const std::string& line)
    {
        lines.push_back(line);
        offThread = offThread || std::this_thread::get_id() != owner;
    }
    std::thread::id owner = std::this_thread::get_id();
};

void Listen(TZipArchiver& a, TLog& log)
{
    a.OnFileProgress = [&log](TZABaseArchiver*, const std::u16string& name, double progress, TZAProcessOperation,
                              TZAProgressPhase phase, bool&) {
        log.Add("file " + WideToUTF8(name) + " " + std::to_string(int(phase)) + " " +
                std::to_string(int(progress * 1000)));
    };
    a.OnOverallProgress = [&log](TZABaseArchiver*, double progress, TZAProcessOperation, TZAProgressPhase phase,
                                 bool&) {
        log.Add("overall " + std::to_string(int(phase)) + " " + std::to_string(int(progress * 1000)));
    };
    // Answers each item with its own password, so the password in force
    // changes back and forth during the run.
    a.OnPassword = [&log](TZABaseArchiver*, const std::u16string& name, std::string& answer, bool&) {
        const std::string item = WideToUTF8(name);
        answer = item == "other/secret.txt" || item == "small/20.txt" ? "two" : "one";
        log.Add("password " + item + " " + answer);
    };
}

}  // namespace

// AES items of any size are decoded ahead, their password checked on the
// worker as well: an item the password in force does not open is still
// asked about in its turn.
TEST(ParallelExtract, FilesQuestionsAndEventsMatchOneThread)
{
    for (const TZACryptoAlgorithm method : {caPkzipClassic, caAES_256}) {
        SCOPED_TRACE(int(method));
        TempDir dir;
        const auto sources = Sources();
        const std::string file = dir / "two-passwords.zip";
        WriteArchive(file, sources, method);
        TLog logs[2];
        for (int run = 0; run < 2; ++run) {
            TZipArchiver a;
            a.FileName = W(file);
            a.WorkerCount = run == 0 ? 1 : 8;
            a.SetPassword("one");
            a.OpenArchive(0);
            Listen(a, logs[run]);
            a.ExtractFiles(u"*", W(dir / ("out" + std::to_string(run))));
        }
        EXPECT_EQ(logs[0].lines, logs[1].lines);
        EXPECT_FALSE(logs[1].offThread);
        EXPECT_EQ(std::count_if(logs[1].lines.begin(), logs[1].lines.end(),
                                [](const std::string& line) { return line.rfind("password ", 0) == 0; }),
                  4);  // the password changes at other/, small/0, small/20 and small/21
        for (const TSource& s : sources)
            EXPECT_TRUE(ReadFileBytes(dir / ("out1/" + s.name)) == s.data) << s.name;
    }
}

TEST(ParallelExtract, StreamsMatchOneByOneExtraction)
{
    TempDir dir;
    const auto sources = Sources();
    const std::string file = dir / "streams.zip";
    WriteArchive(file, sources);

    TLog serial;
    std::vector<std::string> expected;
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.WorkerCount = 1;
        a.SetPassword("one");
        a.OpenArchive(0);
        Listen(a, serial);
        for (const TSource& s : sources)
            expected.push_back(Extract(a, s.name));
    }
    TLog parallel;
    std::vector<TMemoryStream> streams(sources.size());
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.WorkerCount = 8;
        a.SetPassword("one");
        a.OpenArchive(0);
        Listen(a, parallel);
        std::vector<std::pair<int, TStream*>> items;
        for (size_t i = 0; i < sources.size(); ++i) {
            int index = -1;
            ASSERT_TRUE(a.FindItemIndex(W(sources[i].name), index)) << sources[i].name;
            items.emplace_back(index, &streams[i]);
        }
        a.ExtractToStreams(items);
    }
    EXPECT_EQ(serial.lines, parallel.lines);
    EXPECT_FALSE(parallel.offThread);
    for (size_t i = 0; i < sources.size(); ++i) {
        EXPECT_TRUE(Text(streams[i]) == expected[i]) << sources[i].name;
        EXPECT_TRUE(expected[i] == sources[i].data) << sources[i].name;
    }
}

TEST(ParallelExtract, ADamagedItemFailsWhereItWouldWithOneThread)
{
    TempDir dir;
    std::vector<TSource> sources;
    for (int i = 0; i < 8; ++i)
        sources.push_back({"item" + std::to_string(i), Compressible(300000, unsigned(i)), ""});
    const std::string file = dir / "damaged.zip";
    WriteArchive(file, sources);
    // One deflated byte in the middle of the fifth item is changed.
    WriteDamagedCopy(dir, file, "item4");

    TLog logs[2];
    int codes[2] = {0, 0};
    for (int run = 0; run < 2; ++run) {
        TZipArchiver a;
        a.FileName = W(file);
        a.WorkerCount = run == 0 ? 1 : 8;
        a.OpenArchive(0);
        Listen(a, logs[run]);
        codes[run] = Native([&] { a.ExtractFiles(u"*", W(dir / ("out" + std::to_string(run)))); });
        const std::string out = dir / ("out" + std::to_string(run));
        EXPECT_FALSE(std::filesystem::exists(out + "/item4"));
        EXPECT_FALSE(std::filesystem::exists(out + "/item5"));
        EXPECT_TRUE(ReadFileBytes(out + "/item3") == sources[3].data);
    }
    EXPECT_NE(codes[0], -1);
    EXPECT_EQ(codes[0], codes[1]);
    EXPECT_EQ(logs[0].lines, logs[1].lines);
}

TEST(ParallelExtract, WorkersFillEmptyStreamsAndSayWhenEachIsWhole)
{
    TempDir dir;
    // The items after "switch" are read ahead under the first password, and
    // the password in force has changed by the time their turn comes.
    const std::vector<TSource> sources = {{"first", Compressible(300000, 1), "one"},
                                          {"switch", Compressible(70000, 2), "two"},
                                          {"after", Compressible(300001, 3), "one"},
                                          {"last", Random(200000, 4), "one"}};
    const std::string file = dir / "whole.zip";
    WriteArchive(file, sources);
    TZipArchiver a;
    a.FileName = W(file);
    a.WorkerCount = 8;
    a.SetPassword("one");
    a.OpenArchive(0);
    a.OnPassword = [](TZABaseArchiver*, const std::u16string& name, std::string& answer, bool&) {
        answer = name == u"switch" ? "two" : "one";
    };
    std::vector<TMemoryStream> streams(sources.size());
    std::vector<std::pair<int, TStream*>> items;
    for (size_t i = 0; i < sources.size(); ++i) {
        int index = -1;
        ASSERT_TRUE(a.FindItemIndex(W(sources[i].name), index));
        items.emplace_back(index, &streams[i]);
    }
    std::mutex lock;
    std::vector<int> calls(sources.size(), 0);
    std::vector<bool> wholeThen(sources.size(), false);
    bool onCaller = false;
    const std::thread::id caller = std::this_thread::get_id();
    a.ExtractToStreams(items, [&](size_t at) {
        const bool whole = Text(streams[at]) == sources[at].data;
        std::lock_guard<std::mutex> hold(lock);
        ++calls[at];
        wholeThen[at] = whole;
        onCaller = onCaller || std::this_thread::get_id() == caller;
    });
    EXPECT_FALSE(onCaller);
    // "switch" does not open with the first password, so no worker had it.
    EXPECT_EQ(calls, (std::vector<int>{1, 0, 1, 1}));
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].name);
        EXPECT_TRUE(Text(streams[i]) == sources[i].data) << Text(streams[i]).size();
        EXPECT_EQ(wholeThen[i], calls[i] == 1);
    }
}

TEST(ParallelExtract, StreamsTheWorkersCannotOwnGetWhatOneThreadWrites)
{
    TempDir dir;
    std::vector<TSource> sources;
    for (int i = 0; i < 6; ++i)
        sources.push_back({"item" + std::to_string(i), Compressible(200000 + size_t(i), unsigned(i)), ""});
    const std::string file = dir / "kinds.zip";
    WriteArchive(file, sources);
    const struct {
        const char* name;
        bool shared;   // every item into one stream
        bool prefilled;  // each stream already holds bytes
    } cases[] = {{"one stream for all", true, false}, {"streams with content", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TZipArchiver a;
        a.FileName = W(file);
        a.WorkerCount = 8;
        a.OpenArchive(0);
        std::vector<TMemoryStream> streams(sources.size());
        std::vector<std::pair<int, TStream*>> items;
        for (size_t i = 0; i < sources.size(); ++i) {
            if (c.prefilled)
                streams[i].WriteBuffer("head", 4);
            int index = -1;
            ASSERT_TRUE(a.FindItemIndex(W(sources[i].name), index));
            items.emplace_back(index, c.shared ? &streams[0] : &streams[i]);
        }
        int calls = 0;
        a.ExtractToStreams(items, [&](size_t) { ++calls; });
        EXPECT_EQ(calls, 0);
        std::string all;
        for (size_t i = 0; i < sources.size(); ++i) {
            all += sources[i].data;
            if (!c.shared) {
                EXPECT_TRUE(Text(streams[i]) == "head" + sources[i].data) << i;
            }
        }
        if (c.shared) {
            EXPECT_TRUE(Text(streams[0]) == all);
        }
    }
}

namespace {

// A memory stream that offers memory of its own for the item's bytes,
// counting what came straight into it and what was written through it.
class TDirectStream : public TMemoryStream, public TZADirectTarget {
public:
    explicit TDirectStream(size_t size, bool keep = true) : keep_(keep), bytes_(keep ? size : 256 << 10) {}
    int64_t Write(const void* buffer, int64_t count) override
    {
        const auto* from = static_cast<const uint8_t*>(buffer);
        for (int64_t done = 0; done < count;) {
            const std::span<uint8_t> room = Room(size_t(count - done));
            if (room.empty())
                return done;
            std::copy(from + done, from + done + int64_t(room.size()), room.begin());
            Commit(room.size());
            done += int64_t(room.size());
        }
        written += count;
        return count;
    }
    std::span<uint8_t> Room(size_t wanted) override
    {
        const size_t at = keep_ ? size_t(received) : 0;
        return {bytes_.data() + at, std::min(wanted, bytes_.size() - at)};
    }
    void Commit(size_t length) override
    {
        if (!keep_)
            sum = std::accumulate(bytes_.begin(), bytes_.begin() + ptrdiff_t(length), sum);
        received += int64_t(length);
    }
    std::string Text() const { return std::string(bytes_.begin(), bytes_.begin() + received); }

    int64_t received = 0;  // through Room and Commit
    int64_t written = 0;   // of those, through Write
    uint64_t sum = 0;      // of the bytes passed, when not kept

private:
    bool keep_;
    std::vector<uint8_t> bytes_;
};

}  // namespace

// A stream that offers its memory gets a deflated item inflated right into
// it by the worker, with no copy on the way; a damaged item still fails.
TEST(ParallelExtract, WorkersInflateStraightIntoAStreamThatOffersItsMemory)
{
    TempDir dir;
    std::vector<TSource> sources;
    for (int i = 0; i < 6; ++i)
        sources.push_back({"item" + std::to_string(i), Compressible(300000 + size_t(i) * 7, unsigned(i)), "pw"});
    const std::string file = dir / "direct.zip";
    WriteArchive(file, sources);
    WriteDamagedCopy(dir, file, "item3");

    for (const bool damage : {false, true}) {
        SCOPED_TRACE(damage ? "damaged" : "whole");
        TZipArchiver a;
        a.FileName = W(damage ? dir / "damaged.zip" : file);
        a.WorkerCount = 8;
        a.SetPassword("pw");
        a.OpenArchive(0);
        std::vector<std::unique_ptr<TDirectStream>> streams;
        std::vector<std::pair<int, TStream*>> items;
        for (const TSource& s : sources) {
            streams.push_back(std::make_unique<TDirectStream>(s.data.size()));
            int index = -1;
            ASSERT_TRUE(a.FindItemIndex(W(s.name), index));
            items.emplace_back(index, streams.back().get());
        }
        const int code = Native([&] { a.ExtractToStreams(items); });
        EXPECT_EQ(code == -1, !damage) << code;
        for (size_t i = 0; i < sources.size(); ++i) {
            if (damage && i >= 3)
                continue;
            EXPECT_TRUE(streams[i]->Text() == sources[i].data) << i;
            EXPECT_EQ(streams[i]->written, 0) << i;
        }
    }
}

// Large items whose plain bytes go into the caller's streams are decoded on
// every worker at once: the bytes the caller holds anyway once kept all but
// a few workers idle.
TEST(ParallelExtract, LargeItemsIntoTheCallersStreamsKeepEveryWorkerBusy)
{
    constexpr int kWorkers = 8;
    TempDir dir;
    const std::string file = dir / "large.zip";
    // Over a seventh of the read-ahead limit each, quick to make and deflate.
    std::string data(size_t{40} << 20, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char('a' + (i % 251) % 26);
    {
        TZipArchiver a;
        a.FileName = W(file);
        a.OpenArchive(0xFFFF);
        a.SetCompressionLevel(clFastest);
        TMemoryStream m = StreamOf(data);
        for (int i = 0; i < kWorkers; ++i) {
            m.SetPosition(0);
            a.AddFromStream(W("large" + std::to_string(i)), m);
        }
        a.CloseArchive();
    }
    TZipArchiver a;
    a.FileName = W(file);
    a.WorkerCount = kWorkers;
    a.OpenArchive(0);
    std::vector<std::unique_ptr<TDirectStream>> streams;
    std::vector<std::pair<int, TStream*>> items;
    for (int i = 0; i < kWorkers; ++i) {
        streams.push_back(std::make_unique<TDirectStream>(data.size(), false));
        items.emplace_back(i, streams.back().get());
    }
    // Each worker, its item done, waits until all items are done at once.
    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    int gaveUp = 0;
    a.ExtractToStreams(items, [&](size_t) {
        std::unique_lock<std::mutex> hold(lock);
        ++done;
        changed.notify_all();
        if (!changed.wait_for(hold, std::chrono::seconds(10), [&] { return done == kWorkers; }))
            ++gaveUp;
    });
    EXPECT_EQ(gaveUp, 0) << "workers that waited in vain for the others";
    const uint64_t expected = std::accumulate(data.begin(), data.end(), uint64_t{0},
                                              [](uint64_t s, char c) { return s + uint8_t(c); });
    for (const auto& stream : streams)
        EXPECT_EQ(stream->sum, expected);
}
