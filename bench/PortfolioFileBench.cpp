// Saving and opening a portfolio of 50 artworks of 2400 x 1600 pixels, side
// by side with what the machine does without the archive: the same bitmaps
// written as plain files by as many threads as the archiver has workers
// (each file synced, as the save syncs its one file), and those files read
// and decoded by as many threads. Prints the time per artwork of each, the
// ratios save/plain write and open/plain read-and-decode with the archiver
// on all its workers and on one, and the peak memory of an open (measured
// in a process of its own) beside the decoded size of the artworks.
//
// PFO_BENCH_ARTWORKS=N runs with fewer (or more) artworks,
// PFO_BENCH_SIZE=WxH with other dimensions (4000x3000 for 12 megapixels).
// Opening needs the decoded artworks to fit in the load budget, half of
// the machine's memory (PortfolioArchive::MaxLoadSize).
#include <benchmark/benchmark.h>
#include "bench/RatioReporter.h"
#include "bench/WorkFolder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/FileStream.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"
#include "zip/TZAWorkerPool.h"

namespace {

int g_width = 2400;
int g_height = 1600;
constexpr const char* kSave = "PortfolioSave";
constexpr const char* kOpen = "PortfolioOpen";
constexpr const char* kPlain = "PlainFilesWrite";
constexpr const char* kPlainOpen = "PlainFilesReadDecode";
constexpr const char* kSaveOne = "PortfolioSaveOneWorker";
constexpr const char* kOpenOne = "PortfolioOpenOneWorker";

int g_artworks = 50;
std::filesystem::path g_folder;
std::unique_ptr<Portfolio> g_portfolio;

void PutLE(std::vector<uint8_t>& out, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out[at + size_t(i)] = uint8_t((value >> (8 * i)) & 0xFF);
}

// A 24-bit BMP that compresses about as a photograph does: smooth gradients
// with a little sensor noise.
void MakePhotoBmp(TMemoryStream& stream, int seed)
{
    const size_t stride = (size_t(g_width) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> bmp(54 + stride * g_height);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLE(bmp, 2, uint32_t(bmp.size()), 4);
    PutLE(bmp, 10, 54, 4);
    PutLE(bmp, 14, 40, 4);
    PutLE(bmp, 18, g_width, 4);
    PutLE(bmp, 22, g_height, 4);
    PutLE(bmp, 26, 1, 2);
    PutLE(bmp, 28, 24, 2);
    PutLE(bmp, 34, uint32_t(stride * g_height), 4);
    uint32_t noise = 2463534242u + uint32_t(seed);
    uint8_t* p = bmp.data() + 54;
    for (int y = 0; y < g_height; ++y) {
        p = bmp.data() + 54 + stride * size_t(y);
        for (int x = 0; x < g_width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int n = int(noise & 7) - 4;
            *p++ = uint8_t((x / 16 + seed * 9 + n) & 0xFF);
            *p++ = uint8_t((y / 12 + x / 40 + n) & 0xFF);
            *p++ = uint8_t(((x + y) / 28 + seed * 5 + n) & 0xFF);
        }
    }
    stream.Clear();
    stream.WriteBuffer(bmp.data(), int64_t(bmp.size()));
    stream.SetPosition(0);
}

void BuildPortfolio()
{
    TXMLDocument document;
    IXMLNode root = document.AddChild("Templates");
    Template("Bench").SaveToXml(root);
    const std::string templates = (g_folder / "bench.vtp").string();
    document.SaveToFile(templates);
    TemplateLibrary::Instance()->LoadFile(templates, false);

    g_portfolio = std::make_unique<Portfolio>();
    g_portfolio->SetTemplate(TemplateLibrary::Instance()->FindTemplate("Bench"));
    g_portfolio->SetFileName((g_folder / "bench.pfo").string());
    g_portfolio->SetName("Benchmark artist");
    for (int i = 0; i < g_artworks; ++i) {
        TMemoryStream bmp;
        MakePhotoBmp(bmp, i);
        auto picture = std::make_unique<Picture>(g_portfolio.get());
        if (!picture->LoadFromStream(bmp)) {
            std::fprintf(stderr, "artwork %d does not decode\n", i);
            std::exit(1);
        }
        picture->SetTitle("Artwork " + std::to_string(i));
        g_portfolio->AddPicture(picture.release());
    }
}

void PerArtwork(benchmark::State& state)
{
    // Inverted rate of artworks: the wall time of one artwork.
    state.counters["per_artwork"] = benchmark::Counter(
        g_artworks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Save(benchmark::State& state)
{
    for (auto _ : state) {
        if (!g_portfolio->Save()) {
            state.SkipWithError("save failed");
            return;
        }
    }
    PerArtwork(state);
}

void BM_Open(benchmark::State& state)
{
    if (!std::filesystem::exists(g_portfolio->GetFileName(false)) && !g_portfolio->Save()) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        Portfolio opened;
        opened.SetFileName(g_portfolio->GetFileName(false));
        if (!opened.Load() || opened.GetPictureCount() != g_artworks) {
            state.SkipWithError("open failed");
            return;
        }
    }
    PerArtwork(state);
}

// state.range(0): the archiver's worker count; 0 is the machine's default.
void BM_SaveWith(benchmark::State& state)
{
    SetDefaultArchiverWorkers(int(state.range(0)));
    BM_Save(state);
    SetDefaultArchiverWorkers(0);
}

void BM_OpenWith(benchmark::State& state)
{
    SetDefaultArchiverWorkers(int(state.range(0)));
    BM_Open(state);
    SetDefaultArchiverWorkers(0);
}

std::filesystem::path PlainFile(int i)
{
    return g_folder / "plain" / (g_portfolio->GetPicture(i)->GetID() + ".bmp");
}

// The same bitmaps the portfolio stores, each written to a file of its own
// and synced, by the workers.
void BM_Plain(benchmark::State& state)
{
    std::filesystem::create_directories(g_folder / "plain");
    for (auto _ : state) {
        RunOnWorkers(size_t(g_portfolio->GetPictureCount()), [](size_t i) {
            TMemoryStream bmp;
            g_portfolio->GetPicture(int(i))->SaveToStream(bmp);
            const int fd = ::open(PlainFile(int(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            const bool ok = fd >= 0 && ::write(fd, bmp.Memory(), size_t(bmp.GetSize())) == bmp.GetSize() &&
                            ::fsync(fd) == 0;
            if (fd >= 0)
                ::close(fd);
            if (!ok)
                std::abort();
        });
    }
    PerArtwork(state);
}

// Those files read and decoded by the workers, every picture kept until all
// are decoded, as an open keeps them.
void BM_PlainOpen(benchmark::State& state)
{
    if (!std::filesystem::exists(PlainFile(g_portfolio->GetPictureCount() - 1))) {
        state.SkipWithError("the plain files were not written");
        return;
    }
    for (auto _ : state) {
        std::vector<std::unique_ptr<Picture>> pictures(size_t(g_portfolio->GetPictureCount()));
        RunOnWorkers(pictures.size(), [&pictures](size_t i) {
            TMemoryStream bmp;
            bmp.LoadFromFile(PlainFile(int(i)).string());
            pictures[i] = std::make_unique<Picture>(nullptr);
            if (!pictures[i]->LoadFromStream(bmp))
                std::abort();
        });
    }
    PerArtwork(state);
}

// Kilobytes from /proc/self/status ("VmRSS:" now, "VmHWM:" the peak).
long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// Run as "--open-peak FILE" in a process of its own: opens the file and
// prints the decoded size of its artworks and the peak resident memory the
// open added, both in KiB.
int OpenPeak(const char* path)
{
    Portfolio opened;
    opened.SetFileName(path);
    const long before = StatusKb("VmRSS:");
    if (!opened.Load())
        return 1;
    const long peak = StatusKb("VmHWM:");
    int64_t decoded = 0;
    for (int i = 0; i < opened.GetPictureCount(); ++i) {
        const TFreeWinBitmap* image = opened.GetPicture(i)->GetBitmap();
        decoded += int64_t(image->GetScanWidth()) * image->GetHeight();
    }
    std::printf("%lld %ld\n", static_cast<long long>(decoded >> 10), peak - before);
    return 0;
}

void PrintOpenPeak(const char* self)
{
    const std::string out = (g_folder / "peak.txt").string();
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, 1);
        ::execl("/proc/self/exe", self, "--open-peak", g_portfolio->GetFileName(false).c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    long long decodedKb = 0, peakKb = 0;
    std::ifstream result(out);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && (result >> decodedKb >> peakKb) && decodedKb > 0)
        std::printf("open peak memory %.1f MiB for %.1f MiB of decoded artworks: %.2fx\n", peakKb / 1024.0,
                    decodedKb / 1024.0, double(peakKb) / double(decodedKb));
    else
        std::printf("open peak memory: the open failed\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--open-peak") == 0)
        return OpenPeak(argv[2]);
    if (const char* count = std::getenv("PFO_BENCH_ARTWORKS"))
        g_artworks = std::max(1, std::atoi(count));
    if (const char* size = std::getenv("PFO_BENCH_SIZE")) {
        int w = 0, h = 0;
        if (std::sscanf(size, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
            g_width = w;
            g_height = h;
        }
    }
    WorkFolder folder("velmora-pfo-bench");
    g_folder = folder.Path();
    folder.HoldUserFolders();
    BuildPortfolio();

    // Wall time per artwork; the CPU column is that of every thread of the
    // process, which on a shared machine shows the work apart from the wait.
    auto timed = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(2);
    };
    timed(benchmark::RegisterBenchmark(kSave, BM_Save));
    timed(benchmark::RegisterBenchmark(kOpen, BM_Open));
    timed(benchmark::RegisterBenchmark(kPlain, BM_Plain));
    timed(benchmark::RegisterBenchmark(kPlainOpen, BM_PlainOpen));
    timed(benchmark::RegisterBenchmark(kSaveOne, BM_SaveWith)->Arg(1));
    timed(benchmark::RegisterBenchmark(kOpenOne, BM_OpenWith)->Arg(1));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double save = reporter.Time(kSave), open = reporter.Time(kOpen), plain = reporter.Time(kPlain),
                 plainOpen = reporter.Time(kPlainOpen);
    if (save > 0 && open > 0 && plain > 0 && plainOpen > 0) {
        std::printf("\n%d artworks of %dx%d, per artwork: save %.1f ms, open %.1f ms; plain files on %d threads: "
                    "write %.1f ms, read and decode %.1f ms\n",
                    g_artworks, g_width, g_height, save / g_artworks, open / g_artworks, DefaultArchiverWorkers(),
                    plain / g_artworks, plainOpen / g_artworks);
        std::printf("ratio save/plain write %.2f, open/plain read and decode %.2f (archiver workers: %d)\n",
                    save / plain, open / plainOpen, DefaultArchiverWorkers());
    } else if (save > 0 && plain > 0) {
        // The save rows alone (--benchmark_filter), beside their peer.
        std::printf("\n%d artworks of %dx%d, per artwork: save %.1f ms; plain files on %d threads: write %.1f ms\n"
                    "ratio save/plain write %.2f (archiver workers: %d)\n",
                    g_artworks, g_width, g_height, save / g_artworks, DefaultArchiverWorkers(), plain / g_artworks,
                    save / plain, DefaultArchiverWorkers());
    }
    const double saveOne = reporter.Time(kSaveOne), openOne = reporter.Time(kOpenOne);
    if (saveOne > 0 && openOne > 0 && plain > 0 && plainOpen > 0)
        std::printf("ratio save/plain write %.2f, open/plain read and decode %.2f (one worker)\n", saveOne / plain,
                    openOne / plainOpen);
    PrintOpenPeak(argv[0]);
    g_portfolio.reset();
    return 0;
}
