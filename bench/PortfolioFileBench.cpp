// Saving and opening a portfolio, side by side with what the machine does
// without the archive: the same bitmaps written as plain files by as many
// threads as the archiver has workers (each file synced, as the save syncs
// its one file), and those files read and decoded by Qt's reader on as many
// threads. Two sets of artworks (PFO_BENCH_SETS=photo,smooth picks them):
//   photo   20 camera-like photographs of 4000 x 3000: noisy pictures
//           through a JPEG encoder and decoded again as a camera's file is,
//           whose bitmaps deflate by a few percent only;
//   smooth  50 synthetic bitmaps of 2400 x 1600, gradients with a little
//           noise, which deflate to about half.
// Each set runs in two rows: all cores (the archiver's default workers, the
// peer on as many threads), and one core (the whole process pinned to one
// processor, one worker on both sides). Prints the time per artwork, the
// CPU of the whole process, the ratios save/plain write and open/plain
// read-and-decode, and the peak memory of an open (measured in a process of
// its own) beside the decoded size of the artworks.
//
// PFO_BENCH_ARTWORKS=N runs every set with N artworks, PFO_BENCH_SIZE=WxH
// with other dimensions. Opening needs the decoded artworks to fit in the
// load budget, half of the machine's memory (PortfolioArchive::MaxLoadSize).
#include <benchmark/benchmark.h>
#include "bench/RatioReporter.h"
#include "bench/WorkFolder.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FreeImage/FreeWinBitmap.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/Template.h"
#include "model/TemplateLibrary.h"
#include "platform/rtl/MemoryStream.h"
#include "platform/xml/XMLDocument.h"
#include "zip/TZAWorkerPool.h"
#include "zip/ZACompression.h"

namespace {

constexpr const char* kSave = "PortfolioSave";
constexpr const char* kOpen = "PortfolioOpen";
constexpr const char* kPlain = "PlainFilesWrite";
constexpr const char* kPlainOpen = "PlainFilesReadDecode";

struct ArtworkSet {
    std::string name;
    int artworks;
    int width;
    int height;
};

ArtworkSet g_set;
std::filesystem::path g_folder;
std::unique_ptr<Portfolio> g_portfolio;

void PutLE(std::vector<uint8_t>& out, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out[at + size_t(i)] = uint8_t((value >> (8 * i)) & 0xFF);
}

uint32_t XorShift(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// A 24-bit BMP that compresses to about half: smooth gradients with a
// little noise.
void MakeSmoothBmp(TMemoryStream& stream, int seed)
{
    const int w = g_set.width, h = g_set.height;
    const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> bmp(54 + stride * size_t(h));
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLE(bmp, 2, uint32_t(bmp.size()), 4);
    PutLE(bmp, 10, 54, 4);
    PutLE(bmp, 14, 40, 4);
    PutLE(bmp, 18, uint32_t(w), 4);
    PutLE(bmp, 22, uint32_t(h), 4);
    PutLE(bmp, 26, 1, 2);
    PutLE(bmp, 28, 24, 2);
    PutLE(bmp, 34, uint32_t(stride * size_t(h)), 4);
    uint32_t noise = 2463534242u + uint32_t(seed);
    for (int y = 0; y < h; ++y) {
        uint8_t* p = bmp.data() + 54 + stride * size_t(y);
        for (int x = 0; x < w; ++x) {
            const int n = int(XorShift(noise) & 7) - 4;
            *p++ = uint8_t((x / 16 + seed * 9 + n) & 0xFF);
            *p++ = uint8_t((y / 12 + x / 40 + n) & 0xFF);
            *p++ = uint8_t(((x + y) / 28 + seed * 5 + n) & 0xFF);
        }
    }
    stream.Clear();
    stream.WriteBuffer(bmp.data(), int64_t(bmp.size()));
    stream.SetPosition(0);
}

// A camera's file: a scene of broad gradients under the sensor noise of a
// high ISO in every channel, encoded as a camera encodes (JPEG, quality 92).
void MakeCameraJpeg(TMemoryStream& stream, int seed)
{
    const int w = g_set.width, h = g_set.height;
    QImage image(w, h, QImage::Format_RGB888);
    uint32_t noise = 2463534242u + uint32_t(seed) * 7919u;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const uint32_t r = XorShift(noise);
            const int n[3] = {int(r & 127) - 64, int((r >> 7) & 127) - 64, int((r >> 14) & 127) - 64};
            const int base[3] = {60 + (x * 120 / w) + seed * 3 % 40, 40 + (y * 150 / h),
                                 90 + ((x + y) * 100 / (w + h))};
            for (int c = 0; c < 3; ++c)
                *p++ = uint8_t(std::clamp(base[c] + n[c], 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    if (!writer.write(image)) {
        std::fprintf(stderr, "the photograph %d does not encode\n", seed);
        std::exit(1);
    }
    stream.Clear();
    stream.WriteBuffer(bytes.constData(), bytes.size());
    stream.SetPosition(0);
}

void BuildPortfolio()
{
    static bool templates = false;
    if (!templates) {
        TXMLDocument document;
        IXMLNode root = document.AddChild("Templates");
        Template("Bench").SaveToXml(root);
        const std::string path = (g_folder / "bench.vtp").string();
        document.SaveToFile(path);
        TemplateLibrary::Instance()->LoadFile(path, false);
        templates = true;
    }
    g_portfolio = std::make_unique<Portfolio>();
    g_portfolio->SetTemplate(TemplateLibrary::Instance()->FindTemplate("Bench"));
    g_portfolio->SetFileName((g_folder / (g_set.name + ".pfo")).string());
    g_portfolio->SetName("Benchmark artist");
    // Made and decoded on the workers, adopted here in order.
    std::vector<Picture::Decoded> decoded(size_t(g_set.artworks));
    RunOnWorkers(decoded.size(), [&decoded](size_t i) {
        TMemoryStream source;
        if (g_set.name == "photo")
            MakeCameraJpeg(source, int(i));
        else
            MakeSmoothBmp(source, int(i));
        decoded[i] = Picture::Decode(source);
    });
    for (int i = 0; i < g_set.artworks; ++i) {
        auto picture = std::make_unique<Picture>(g_portfolio.get());
        if (!picture->Adopt(std::move(decoded[size_t(i)]))) {
            std::fprintf(stderr, "artwork %d does not decode\n", i);
            std::exit(1);
        }
        picture->SetTitle("Artwork " + std::to_string(i));
        g_portfolio->AddPicture(picture.release());
    }
}

// What deflate at the save's level leaves of the artworks' bitmaps.
double DeflateRatio()
{
    uint64_t in = 0, out = 0;
    for (int i = 0; i < std::min(3, g_portfolio->GetPictureCount()); ++i) {
        TMemoryStream bmp;
        g_portfolio->GetPicture(i)->SaveToStream(bmp);
        std::vector<uint8_t> packed;
        DeflateWhole(bmp.Memory(), size_t(bmp.GetSize()), 1, packed);
        in += uint64_t(bmp.GetSize());
        out += packed.size();
    }
    return in ? double(out) / double(in) : 0;
}

void PerArtwork(benchmark::State& state)
{
    // Inverted rate of artworks: the wall time of one artwork.
    state.counters["per_artwork"] = benchmark::Counter(
        g_set.artworks, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
        if (!opened.Load() || opened.GetPictureCount() != g_set.artworks) {
            state.SkipWithError("open failed");
            return;
        }
    }
    PerArtwork(state);
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

// Those files read and decoded by Qt's reader on the workers, every picture
// kept until all are decoded, as an open keeps them.
void BM_PlainOpen(benchmark::State& state)
{
    if (!std::filesystem::exists(PlainFile(g_portfolio->GetPictureCount() - 1))) {
        state.SkipWithError("the plain files were not written");
        return;
    }
    for (auto _ : state) {
        std::vector<QImage> pictures(size_t(g_portfolio->GetPictureCount()));
        RunOnWorkers(pictures.size(), [&pictures](size_t i) {
            QImageReader reader(QString::fromStdString(PlainFile(int(i)).string()), "bmp");
            pictures[i] = reader.read();
            if (pictures[i].isNull())
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
    std::fflush(stdout);
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

// One row: the four runs under the current affinity and worker count,
// then their ratios.
void RunRow(const std::string& row, int workers)
{
    SetDefaultArchiverWorkers(workers);
    // Wall time per artwork; the CPU column is that of every thread of the
    // process, which on a shared machine shows the work apart from the wait.
    auto timed = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(2);
    };
    const std::string prefix = g_set.name + "/" + row + "/";
    // The peers first: the open needs nothing of them, and each side then
    // starts from a page cache the other filled alike.
    timed(benchmark::RegisterBenchmark((prefix + kPlain).c_str(), BM_Plain));
    timed(benchmark::RegisterBenchmark((prefix + kSave).c_str(), BM_Save));
    timed(benchmark::RegisterBenchmark((prefix + kPlainOpen).c_str(), BM_PlainOpen));
    timed(benchmark::RegisterBenchmark((prefix + kOpen).c_str(), BM_Open));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::ClearRegisteredBenchmarks();
    SetDefaultArchiverWorkers(0);

    const double save = reporter.Time(prefix + kSave), open = reporter.Time(prefix + kOpen),
                 plain = reporter.Time(prefix + kPlain), plainOpen = reporter.Time(prefix + kPlainOpen);
    const int n = g_set.artworks;
    if (save > 0 && plain > 0)
        std::printf("%s, %s (%d workers), per artwork: save %.1f ms, plain write %.1f ms: ratio %.2f\n",
                    g_set.name.c_str(), row.c_str(), workers, save / n, plain / n, save / plain);
    if (open > 0 && plainOpen > 0)
        std::printf("%s, %s (%d workers), per artwork: open %.1f ms, Qt read and decode %.1f ms: ratio %.2f\n",
                    g_set.name.c_str(), row.c_str(), workers, open / n, plainOpen / n, open / plainOpen);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--open-peak") == 0)
        return OpenPeak(argv[2]);
    std::vector<ArtworkSet> sets;
    {
        std::stringstream names(std::getenv("PFO_BENCH_SETS") ? std::getenv("PFO_BENCH_SETS") : "photo,smooth");
        std::string name;
        while (std::getline(names, name, ',')) {
            if (name == "photo")
                sets.push_back({name, 20, 4000, 3000});
            else if (name == "smooth")
                sets.push_back({name, 50, 2400, 1600});
            else if (!name.empty())
                std::fprintf(stderr, "no set named %s (photo, smooth)\n", name.c_str());
        }
    }
    for (ArtworkSet& set : sets) {
        if (const char* count = std::getenv("PFO_BENCH_ARTWORKS"))
            set.artworks = std::max(1, std::atoi(count));
        if (const char* size = std::getenv("PFO_BENCH_SIZE")) {
            int w = 0, h = 0;
            if (std::sscanf(size, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
                set.width = w;
                set.height = h;
            }
        }
    }
    WorkFolder folder("velmora-pfo-bench");
    g_folder = folder.Path();
    folder.HoldUserFolders();
    benchmark::Initialize(&argc, argv);

    cpu_set_t all;
    sched_getaffinity(0, sizeof all, &all);
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &all))
        ++first;
    for (const ArtworkSet& set : sets) {
        g_set = set;
        BuildPortfolio();
        std::printf("\n== %s: %d artworks of %dx%d, bitmaps deflate to %.2f\n", set.name.c_str(), set.artworks,
                    set.width, set.height, DeflateRatio());
        RunRow("all cores", DefaultArchiverWorkers());
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(first, &one);
        // Every thread made from here on inherits the one processor.
        sched_setaffinity(0, sizeof one, &one);
        RunRow("one core", 1);
        sched_setaffinity(0, sizeof all, &all);
        PrintOpenPeak(argv[0]);
        g_portfolio.reset();
        std::filesystem::remove_all(g_folder / "plain");
    }
    benchmark::Shutdown();
    return 0;
}
