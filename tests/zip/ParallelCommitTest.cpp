// Items of one commit encoded on worker threads: the archive, its items and
// the events the caller sees are those of the one-thread commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/rtl/MemoryStream.h"
#include "tests/support/TempDir.h"
#include "tests/zip/ArchiveTestHelpers.h"
#include "zip/EZAException.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

std::string ReadFileBytes(const std::string& path);

namespace {

// Every item carries this time, so archives written seconds apart compare.
constexpr double kItemTime = 45000.5;

struct TSource {
    std::string name, data;
};

// Sizes around the read piece (1 MiB), empty items, a folder and a file
// from disk, text and noise.
std::vector<TSource> Sources()
{
    std::vector<TSource> s = {{"big/text.txt", Compressible((3 << 20) + 17, 1)},
                              {"big/noise.bin", Random((1 << 20) + 1, 2)},
                              {"empty.txt", ""},
                              {"folder/", ""},
                              {"disk.bin", Compressible(200000, 4)},
                              {"exact.bin", Random(1 << 20, 3)}};
    for (int i = 0; i < 40; ++i)
        s.push_back({"small/" + std::to_string(i) + ".txt", Compressible(size_t(i * 97 + 1), unsigned(10 + i))});
    return s;
}

// A stream that fails when its data is read beyond `limit` bytes.
class TFailingStream : public TMemoryStream {
public:
    explicit TFailingStream(int64_t limit) : limit_(limit) {}
    int64_t Read(void* buffer, int64_t count) override
    {
        if (GetPosition() + count > limit_ && GetSize() > limit_)
            throw Exception("the source went away");
        return TMemoryStream::Read(buffer, count);
    }

private:
    int64_t limit_;
};

struct TEvent {
    std::string what;
    std::u16string name;
    int progress;
    std::thread::id thread;
    bool operator==(const TEvent& o) const
    {
        return what == o.what && name == o.name && progress == o.progress && thread == o.thread;
    }
};

void Record(TZipArchiver& a, std::vector<TEvent>& events)
{
    a.OnFileProgress = [&events](TZABaseArchiver*, const std::u16string& name, double progress, TZAProcessOperation,
                                 TZAProgressPhase phase, bool&) {
        events.push_back({"file" + std::to_string(int(phase)), name, int(progress * 1000),
                          std::this_thread::get_id()});
    };
    a.OnOverallProgress = [&events](TZABaseArchiver*, double progress, TZAProcessOperation, TZAProgressPhase phase,
                                    bool&) {
        events.push_back({"overall" + std::to_string(int(phase)), u"", int(progress * 1000),
                          std::this_thread::get_id()});
    };
}

// Writes the sources in one transaction with the given number of workers,
// behind one item committed before (so the commit starts past it).
std::vector<TEvent> Write(const std::string& file, int workers, TZACryptoAlgorithm method, const std::string& password,
                          const std::vector<TSource>& sources)
{
    TZipArchiver a;
    a.FileName = W(file);
    a.WorkerCount = workers;
    a.SetPassword(password);
    if (!password.empty())
        a.EncryptionMethod = method;
    a.OpenArchive(0xFFFF);
    TMemoryStream first = StreamOf("committed before");
    a.AddFromStream(u"first.txt", first, true, 0, 0, 0x20, kItemTime);
    std::vector<TEvent> events;
    Record(a, events);
    a.BeginUpdate();
    std::vector<TMemoryStream> streams;
    streams.reserve(sources.size());
    const std::string disk = file + ".sources";
    std::filesystem::create_directories(disk);
    a.BaseDir = W(disk);
    for (const TSource& s : sources) {
        if (s.name.back() == '/' || s.name.rfind("disk", 0) == 0) {
            const std::string path = disk + "/" + s.name;
            if (s.name.back() == '/')
                std::filesystem::create_directories(path);
            else
                std::ofstream(path, std::ios::binary) << s.data;
            // Folder and file carry their times into the archive: both runs
            // give them the same.
            std::filesystem::last_write_time(path, std::filesystem::file_time_type(std::chrono::hours(480000)));
            a.AddFile(W(s.name.back() == '/' ? path.substr(0, path.size() - 1) : path));
            continue;
        }
        streams.push_back(StreamOf(s.data));
        a.AddFromStream(W(s.name), streams.back(), false, 0, 0, 0x20, kItemTime);
    }
    a.EndUpdate();
    a.CloseArchive();
    return events;
}

// Every item's header fields and content as read back.
std::vector<std::string> Items(const std::string& file, const std::string& password)
{
    TZipArchiver a;
    a.FileName = W(file);
    a.SetPassword(password);
    a.OpenArchive(0);
    std::vector<std::string> items;
    for (int i = 0; i < a.ItemCount(); ++i) {
        const TDirItem& item = a.Item(i);
        std::string fields = WideToUTF8(item.FileName) + " " + std::to_string(item.Crc32) + " " +
                             std::to_string(item.FullCompressedSize()) + " " +
                             std::to_string(item.FullUncompressedSize()) + " " +
                             std::to_string(item.FullLocalHeaderOffset()) + " " + std::to_string(item.Method);
        if (item.FileName.back() != u'/')
            fields += " " + Extract(a, item.FileName);
        items.push_back(fields);
    }
    return items;
}

}  // namespace

TEST(ParallelCommit, PlainArchivesAreByteIdenticalAndEventsMatch)
{
    TempDir dir;
    // A folder entry takes the time it is stored at, which two runs do not
    // share; the other tests cover folders.
    auto sources = Sources();
    sources.erase(std::remove_if(sources.begin(), sources.end(), [](const TSource& s) { return s.name.back() == '/'; }),
                  sources.end());
    const std::string one = dir / "one.zip", eight = dir / "eight.zip";
    const std::vector<TEvent> serial = Write(one, 1, caPkzipClassic, "", sources);
    const std::vector<TEvent> parallel = Write(eight, 8, caPkzipClassic, "", sources);
    const std::string a = ReadFileBytes(one), b = ReadFileBytes(eight);
    size_t differ = 0;
    while (differ < std::min(a.size(), b.size()) && a[differ] == b[differ])
        ++differ;
    EXPECT_TRUE(a == b) << "the archives differ from byte " << differ << " of " << a.size() << " / " << b.size();
    ASSERT_EQ(serial.size(), parallel.size());
    for (size_t i = 0; i < serial.size(); ++i)
        ASSERT_TRUE(serial[i] == parallel[i]) << "event " << i << ": " << serial[i].what << " / " << parallel[i].what;
    for (const TEvent& e : parallel)
        ASSERT_EQ(e.thread, std::this_thread::get_id());

    std::string out;
    EXPECT_EQ(RunCommand("unzip -tq '" + eight + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(RunCommand("7z t '" + eight + "' 2>&1", &out), 0) << out;
    const std::string script = dir.Write("check.py", R"(
import sys, zipfile, zlib
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
print(len(z.infolist()))
)");
    EXPECT_EQ(RunCommand("python3 '" + script + "' '" + eight + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(out, std::to_string(sources.size() + 1) + "\n");
}

TEST(ParallelCommit, EncryptedArchivesHoldTheSameItems)
{
    // The encryption headers carry random bytes, so the archives are compared
    // by their records and their decrypted items.
    TempDir dir;
    const auto sources = Sources();
    for (TZACryptoAlgorithm method : {caPkzipClassic, caAES_256}) {
        SCOPED_TRACE(int(method));
        const std::string one = dir / "one.zip", eight = dir / "eight.zip";
        Write(one, 1, method, "pässword", sources);
        Write(eight, 8, method, "pässword", sources);
        EXPECT_EQ(Items(one, "pässword"), Items(eight, "pässword"));
        std::string out;
        EXPECT_EQ(RunCommand("7z t -ppässword '" + eight + "' 2>&1", &out), 0) << out;
        if (method == caPkzipClassic) {
            EXPECT_EQ(RunCommand("unzip -tq -P pässword '" + eight + "' 2>&1", &out), 0) << out;
        }
    }
}

TEST(ParallelCommit, AFailingItemRollsBackOrIsDroppedAsWithOneThread)
{
    TempDir dir;
    for (TZAAction answer : {fxaAbort, fxaIgnore}) {
        std::string results[2];
        for (int workers : {1, 8}) {
            SCOPED_TRACE(std::to_string(workers) + " workers, answer " + std::to_string(int(answer)));
            const std::string file = dir / ("fail" + std::to_string(workers) + ".zip");
            TZipArchiver a;
            a.FileName = W(file);
            a.WorkerCount = workers;
            a.OpenArchive(0xFFFF);
            TMemoryStream first = StreamOf("committed before");
            a.AddFromStream(u"first.txt", first, true, 0, 0, 0x20, kItemTime);
            a.CloseArchive();
            const std::string before = ReadFileBytes(file);

            a.OpenArchive();
            std::vector<std::u16string> failures;
            a.OnProcessFileFailure = [&](TZABaseArchiver*, const std::u16string& name, TZAProcessOperation, int32_t,
                                         int32_t, const std::u16string&, TZAAction& action) {
                failures.push_back(name);
                action = answer;
            };
            std::vector<TMemoryStream> good;
            good.reserve(6);
            TFailingStream bad(1000);
            const std::string badData = Compressible(3 << 20, 7);
            bad.WriteBuffer(badData.data(), int64_t(badData.size()));
            a.BeginUpdate();
            for (int i = 0; i < 6; ++i) {
                good.push_back(StreamOf(Compressible(300000, unsigned(i))));
                a.AddFromStream(W("good" + std::to_string(i)), good.back(), false, 0, 0, 0x20, kItemTime);
                if (i == 2)
                    a.AddFromStream(u"bad", bad, false, 0, 0, 0x20, kItemTime);
            }
            if (answer == fxaAbort) {
                EXPECT_THROW(a.EndUpdate(), Exception);
                EXPECT_TRUE(ReadFileBytes(file) == before) << "the archive was not rolled back";
            } else {
                a.EndUpdate();
            }
            EXPECT_EQ(failures, std::vector<std::u16string>{u"bad"});
            a.CloseArchive();
            results[workers == 1 ? 0 : 1] = ReadFileBytes(file);
        }
        EXPECT_TRUE(results[0] == results[1]) << "one and eight workers wrote different archives";
    }
}
