// Saving and opening a portfolio of 50 artworks of 2400 x 1600 pixels, side
// by side with writing the same bitmaps as plain files. Prints the time per
// artwork of each and the ratios to the plain writes, with the archiver on
// all its workers and on one.
//
// The artworks are 3.84 megapixels, not 12: opening a portfolio holds at
// most 768 MiB of decoded artworks (PortfolioArchive::kMaxLoadSize, the
// bound that keeps a crafted file from exhausting memory), and 50 artworks
// of 12 megapixels decode to 1.7 GiB, so such a portfolio is refused on
// open. 50 of these decode to 550 MiB, which opens with room to decode
// several at once; the item count and the kind of data stay those of a
// large portfolio of photographs.
//
// PFO_BENCH_ARTWORKS=N runs with fewer (or more) artworks,
// PFO_BENCH_SIZE=WxH with other dimensions (4000x3000 for 12 megapixels).
#include <benchmark/benchmark.h>
#include "bench/RatioReporter.h"
#include "bench/WorkFolder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

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
constexpr const char* kPlain = "PlainBitmapFiles";
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

// The same bitmaps the portfolio stores, each written to a file of its own.
void BM_Plain(benchmark::State& state)
{
    const std::filesystem::path folder = g_folder / "plain";
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        for (int i = 0; i < g_portfolio->GetPictureCount(); ++i) {
            Picture* picture = g_portfolio->GetPicture(i);
            TMemoryStream bmp;
            picture->SaveToStream(bmp);
            bmp.SaveToFile((folder / (picture->GetID() + ".bmp")).string());
        }
    }
    PerArtwork(state);
}


} // namespace

int main(int argc, char** argv)
{
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
    timed(benchmark::RegisterBenchmark(kSaveOne, BM_SaveWith)->Arg(1));
    timed(benchmark::RegisterBenchmark(kOpenOne, BM_OpenWith)->Arg(1));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double save = reporter.Time(kSave), open = reporter.Time(kOpen), plain = reporter.Time(kPlain);
    if (save > 0 && open > 0 && plain > 0) {
        std::printf("\n%d artworks of %dx%d: per artwork save %.1f ms, open %.1f ms, plain bitmap file %.1f ms\n",
                    g_artworks, g_width, g_height, save / g_artworks, open / g_artworks, plain / g_artworks);
        std::printf("ratio save/plain %.2f, open/plain %.2f (archiver workers: %d)\n", save / plain, open / plain,
                    DefaultArchiverWorkers());
    }
    const double saveOne = reporter.Time(kSaveOne), openOne = reporter.Time(kOpenOne);
    if (saveOne > 0 && openOne > 0 && plain > 0)
        std::printf("ratio save/plain %.2f, open/plain %.2f (one worker)\n", saveOne / plain, openOne / plain);
    g_portfolio.reset();
    return 0;
}
