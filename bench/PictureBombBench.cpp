// The CPU a picture that costs far more than its pixels takes to load,
// beside a normal 12-megapixel photo: progressive JPEGs of 12 megapixels
// with 100 scans (the most taken) and 10,000 scans (refused), a PNG of 999
// compressed text chunks of 8 MB each, a TIFF of 16 x 16 pixels in one
// 65536 x 65536 tile. Each row's CPU column is what one load of it costs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "FreeImage/FreeBitmap.h"
#include "bench/Photo12Mp.h"
#include "tests/support/HostilePictures.h"

namespace {

void Load(benchmark::State& state, const std::string& file, bool loads)
{
    for (auto _ : state) {
        TFreeBitmap bitmap;
        if (bitmap.LoadFromMemory(reinterpret_cast<const BYTE*>(file.data()), DWORD(file.size())) != loads)
            state.SkipWithError(loads ? "did not load" : "loaded");
        benchmark::DoNotOptimize(bitmap.AccessPixels());
    }
    state.counters["file_kb"] = double(file.size()) / 1024;
}

void BM_Photo12Mp(benchmark::State& state)
{
    static const std::vector<BYTE> photo = Photo12Mp();
    Load(state, std::string(photo.begin(), photo.end()), true);
}

void BM_ProgressiveJpeg12Mp100Scans(benchmark::State& state)
{
    static const std::string file = hostile::EmptyScansJpeg(4000, 3000, 98);
    Load(state, file, true);
}

void BM_ProgressiveJpeg12Mp10000Scans(benchmark::State& state)
{
    static const std::string file = hostile::EmptyScansJpeg(4000, 3000, 9998);
    Load(state, file, false);
}

void BM_Png999TextChunks(benchmark::State& state)
{
    static const std::string file = hostile::TextChunksPng(1000, 1000, 999, 8 << 20);
    Load(state, file, true);
}

void BM_TiffOneHugeTile(benchmark::State& state)
{
    static const std::string file = hostile::TileTiff(16, 65536, 1 << 20);
    Load(state, file, false);
}

}  // namespace

BENCHMARK(BM_Photo12Mp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpeg12Mp100Scans)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpeg12Mp10000Scans)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Png999TextChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffOneHugeTile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
