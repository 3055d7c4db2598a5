// Create and extract of a portfolio-like set (20 large bitmaps, deflate
// level 1, classic PKWARE encryption) and of 20,000 small files, by our
// archiver and by libzip, in one run, in two kinds of rows: "1 core", both
// sides pinned to one processor and ours on one worker, and "N cores", none
// pinned and ours on N workers (N = the processors this process may use;
// libzip has one thread either way). The CPU column is that of the whole
// process, all threads. Every create is timed up to its archive being synced
// to disk. Each benchmark reports the archive size; the ratios after the
// table compare against libzip's time and size. Last, ours extracting the
// bitmaps and 20 photos of 12 megapixels into files on one worker and on N,
// with the CPU time of all N workers beside that of the one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <map>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <tuple>
#include <vector>

#include "platform/rtl/MemoryStream.h"
#include "zip/TZAWorkerPool.h"
#include "zip/TZipArchiver.h"
#include "zip/WideUtils.h"

namespace {

const char* const kPassword = "Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay";

struct TSet {
    std::vector<std::string> names;
    std::vector<std::string> data;
};

// A bitmap-like picture: smooth gradients with noise, so that deflate has
// some but not all of its work cut out.
std::string Bitmap(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size_t(width) * height * 3 + 54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char* p = &s[54 + (size_t(y) * width + x) * 3];
            p[0] = char((x + (rng() & 7)) & 0xFF);
            p[1] = char((y + (rng() & 3)) & 0xFF);
            p[2] = char(((x ^ y) >> 2) & 0xFF);
        }
    return s;
}

// 20 bitmaps named prefix0 to prefix19.
TSet Bitmaps(const std::string& prefix, int width, int height)
{
    TSet s;
    for (int i = 0; i < 20; ++i) {
        s.names.push_back(prefix + std::to_string(i));
        s.data.push_back(Bitmap(width, height, unsigned(i)));
    }
    return s;
}

const TSet& Portfolio()
{
    static const TSet set = Bitmaps("ART", 1200, 900);
    return set;
}

const TSet& SmallFiles()
{
    static TSet set = [] {
        TSet s;
        std::mt19937 rng(1);
        for (int i = 0; i < 20000; ++i) {
            s.names.push_back("dir" + std::to_string(i % 50) + "/file" + std::to_string(i) + ".txt");
            std::string d(200 + rng() % 800, '\0');
            for (auto& c : d)
                c = char('a' + rng() % 16);
            s.data.push_back(d);
        }
        return s;
    }();
    return set;
}

std::string TempName()
{
    static int n = 0;
    return (std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()) + "-" +
                                                      std::to_string(n++) + ".zip"))
        .string();
}

void CreateOurs(const TSet& set, const std::string& file, bool encrypt)
{
    TZipArchiver a;
    a.FileName = W(file);
    if (encrypt)
        a.SetPassword(kPassword);
    a.SetCompressionLevel(clFastest);
    a.OpenArchive(0xFFFF);
    a.BeginUpdate();
    for (size_t i = 0; i < set.names.size(); ++i) {
        TMemoryStream s;
        s.WriteBuffer(set.data[i].data(), int64_t(set.data[i].size()));
        a.AddFromStream(W(set.names[i]), s, true);
    }
    a.EndUpdate();
    a.CloseArchive();
}

void CreateLibzip(const TSet& set, const std::string& file, bool encrypt)
{
    int error = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (size_t i = 0; i < set.names.size(); ++i) {
        zip_source_t* src = zip_source_buffer(z, set.data[i].data(), set.data[i].size(), 0);
        const zip_int64_t index = zip_file_add(z, set.names[i].c_str(), src, ZIP_FL_OVERWRITE);
        zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
        if (encrypt)
            zip_file_set_encryption(z, zip_uint64_t(index), ZIP_EM_TRAD_PKWARE, kPassword);
    }
    if (zip_close(z) != 0)
        throw std::runtime_error(zip_strerror(z));
    // Ours syncs its archive before it is done; so does this side.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

size_t ExtractOurs(const std::string& file, bool encrypt)
{
    TZipArchiver a;
    a.FileName = W(file);
    if (encrypt)
        a.SetPassword(kPassword);
    a.OpenArchive(0);
    size_t total = 0;
    for (int i = 0; i < a.ItemCount(); ++i) {
        TMemoryStream out;
        a.ExtractToStream(a.Item(i).FileName, out);
        total += size_t(out.GetSize());
    }
    a.CloseArchive();
    return total;
}

size_t ExtractLibzip(const std::string& file, bool encrypt)
{
    int error = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_RDONLY, &error);
    if (encrypt)
        zip_set_default_password(z, kPassword);
    size_t total = 0;
    std::vector<char> buffer(1 << 20);
    const zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_file_t* f = zip_fopen_index(z, zip_uint64_t(i), 0);
        std::string out;
        zip_int64_t got;
        while ((got = zip_fread(f, buffer.data(), buffer.size())) > 0)
            out.append(buffer.data(), size_t(got));
        zip_fclose(f);
        total += out.size();
    }
    zip_discard(z);
    return total;
}

// Artworks of 12 megapixels as a portfolio holds them: items large enough
// that each one's output is a buffer of its own.
const TSet& Photos()
{
    static const TSet set = Bitmaps("PHOTO", 4000, 3000);
    return set;
}

const TSet& SetOf(int which) { return which == 0 ? Portfolio() : which == 1 ? SmallFiles() : Photos(); }

int Processors()
{
    cpu_set_t allowed;
    return sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
}

// For the life of a benchmark: on one core, the calling thread (and the
// workers it starts) pinned to the first processor it may use and ours on
// one worker; otherwise ours on `cores` workers.
class Placement {
public:
    explicit Placement(int cores)
    {
        pinned_ = cores == 1 && sched_getaffinity(0, sizeof saved_, &saved_) == 0;
        if (pinned_) {
            cpu_set_t one;
            CPU_ZERO(&one);
            for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
                if (CPU_ISSET(cpu, &saved_)) {
                    CPU_SET(cpu, &one);
                    break;
                }
            sched_setaffinity(0, sizeof one, &one);
        }
        SetDefaultArchiverWorkers(cores);
    }
    ~Placement()
    {
        if (pinned_)
            sched_setaffinity(0, sizeof saved_, &saved_);
        SetDefaultArchiverWorkers(0);
    }

private:
    cpu_set_t saved_;
    bool pinned_ = false;
};

// state.range(0): the set; state.range(1): the cores.
void BM_Create(benchmark::State& state, bool ours)
{
    const TSet& set = SetOf(int(state.range(0)));
    const bool encrypt = state.range(0) == 0;
    const Placement placement(int(state.range(1)));
    const std::string file = TempName();
    for (auto _ : state) {
        if (ours)
            CreateOurs(set, file, encrypt);
        else
            CreateLibzip(set, file, encrypt);
    }
    state.counters["archive_bytes"] = double(std::filesystem::file_size(file));
    std::remove(file.c_str());
}

void BM_Extract(benchmark::State& state, bool ours)
{
    const TSet& set = SetOf(int(state.range(0)));
    const bool encrypt = state.range(0) == 0;
    const Placement placement(int(state.range(1)));
    const std::string file = TempName();
    CreateLibzip(set, file, encrypt);  // the same input for both readers
    size_t total = 0;
    for (auto _ : state)
        total = ours ? ExtractOurs(file, encrypt) : ExtractLibzip(file, encrypt);
    state.SetBytesProcessed(int64_t(total) * state.iterations());
    std::remove(file.c_str());
}

// Extraction into files, as a user unpacks a portfolio's archive: ours on
// one worker and on all, unpinned, the CPU column that of every thread.
// state.range(0): the set (0 bitmaps, 2 photos); state.range(1): workers.
void BM_ExtractFiles(benchmark::State& state)
{
    const TSet& set = SetOf(int(state.range(0)));
    SetDefaultArchiverWorkers(int(state.range(1)));
    const std::string file = TempName();
    CreateLibzip(set, file, true);
    const std::filesystem::path folder = file + ".out";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        state.ResumeTiming();
        TZipArchiver a;
        a.FileName = W(file);
        a.SetPassword(kPassword);
        a.OpenArchive(0);
        a.ExtractFiles(u"*", W(folder.string()));
        a.CloseArchive();
    }
    std::filesystem::remove_all(folder);
    std::remove(file.c_str());
    SetDefaultArchiverWorkers(0);
}

} // namespace

// Prints time and size ratios (ours / libzip) after the table.
int main(int argc, char** argv)
{
    // First argument 0: 20 bitmaps, level 1, encrypted; 1: 20,000 small
    // files, level 1. Second: the cores.
    const int cores = Processors();
    for (const auto& [name, kind, ours] :
         {std::tuple{"BM_Create/velmora", &BM_Create, true}, std::tuple{"BM_Create/libzip", &BM_Create, false},
          std::tuple{"BM_Extract/velmora", &BM_Extract, true}, std::tuple{"BM_Extract/libzip", &BM_Extract, false}})
        benchmark::RegisterBenchmark(name, kind, ours)
            ->ArgsProduct({{0, 1}, {1, cores}})
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Iterations(3);
    benchmark::RegisterBenchmark("BM_ExtractFiles/velmora", BM_ExtractFiles)
        ->ArgsProduct({{0, 2}, {1, cores}})
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    struct TCollector : benchmark::ConsoleReporter {
        std::map<std::string, std::pair<double, double>> results;  // name -> time, bytes
        std::map<std::string, double> cpu;                          // name -> CPU time
        void ReportRuns(const std::vector<Run>& runs) override
        {
            ConsoleReporter::ReportRuns(runs);
            for (const Run& r : runs) {
                auto it = r.counters.find("archive_bytes");
                results[r.benchmark_name()] = {r.GetAdjustedRealTime(), it == r.counters.end() ? 0 : double(it->second)};
                cpu[r.benchmark_name()] = r.GetAdjustedCPUTime();
            }
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const int rowCores : {1, cores})
        for (const char* kind : {"BM_Create", "BM_Extract"})
            for (const char* arg : {"0", "1"}) {
                const std::string suffix =
                    std::string("/") + arg + "/" + std::to_string(rowCores) + "/iterations:3/process_time/real_time";
                const auto ours = reporter.results.find(std::string(kind) + "/velmora" + suffix);
                const auto theirs = reporter.results.find(std::string(kind) + "/libzip" + suffix);
                if (ours == reporter.results.end() || theirs == reporter.results.end())
                    continue;
                std::printf("%s %s, %s: time ratio velmora/libzip %.2f", kind,
                            arg[0] == '0' ? "portfolio" : "small-files",
                            rowCores == 1 ? "1 core (both pinned, ours on 1 worker)"
                                          : (std::to_string(rowCores) + " cores (ours on " + std::to_string(rowCores) +
                                             " workers, libzip on 1 thread)")
                                                .c_str(),
                            ours->second.first / theirs->second.first);
                if (theirs->second.second > 0)
                    std::printf(", size ratio %.3f", ours->second.second / theirs->second.second);
                std::printf("\n");
            }
    for (const char* arg : {"0", "2"}) {
        const auto cpuOf = [&reporter, arg](int workers) {
            const auto it = reporter.cpu.find(std::string("BM_ExtractFiles/velmora/") + arg + "/" +
                                              std::to_string(workers) + "/iterations:3/process_time/real_time");
            return it == reporter.cpu.end() ? 0.0 : it->second;
        };
        if (cores > 1 && cpuOf(1) > 0 && cpuOf(cores) > 0)
            std::printf("BM_ExtractFiles %s into files: CPU on %d workers / CPU on 1 worker %.2f\n",
                        arg[0] == '0' ? "portfolio" : "photos", cores, cpuOf(cores) / cpuOf(1));
    }
    benchmark::Shutdown();
    return 0;
}
