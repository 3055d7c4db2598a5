// Generating a portfolio of many large artworks: the time per artwork, and
// the same images encoded one after another on one core for comparison.
//
// VELMORA_BENCH_ARTWORKS sets the number of artworks (default 200); every
// artwork is a 4000 x 3000 (12 megapixel) JPEG held decoded in memory, as
// with the picture-size setting "don't resize", so a run needs about 36 MB
// of memory per artwork.
#include <benchmark/benchmark.h>

#include "bench/GeneratorBenchMain.h"
#include "bench/WorkFolder.h"
#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/HTMLGenerator.h"
#include "platform/rtl/MemoryStream.h"
#include "zip/TZAWorkerPool.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

int ArtworkCount()
{
    const char* value = std::getenv("VELMORA_BENCH_ARTWORKS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 200;
}

// A photograph-like picture: smooth gradients with fine texture, so the
// encoder does real work. Each seed gives a different picture.
QByteArray SourceJpeg(int seed)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    unsigned noise = 2166136261u ^ static_cast<unsigned>(seed);
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28);
            row[x] = qRgb((x * 255 / kWidth + grain + seed * 7) & 255, (y * 255 / kHeight + grain) & 255,
                          ((x + y) * 255 / (kWidth + kHeight) + grain * 2) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

std::string FileBytes(const std::string& path)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The portfolio, made once for every benchmark of the run.
Portfolio* Artworks()
{
    static std::unique_ptr<Portfolio> portfolio = [] {
        auto p = std::make_unique<Portfolio>();
        TemplateLibrary::Instance()->Load();
        p->SetTemplate(TemplateLibrary::Instance()->GetDefaultTemplate());
        p->SetName("Bench Artist");
        const int count = ArtworkCount();
        // A few distinct sources are enough for the encoder; decoding them
        // into every artwork runs on all cores to keep the set-up short.
        std::vector<QByteArray> sources;
        for (int s = 0; s < 4; ++s)
            sources.push_back(SourceJpeg(s));
        std::vector<std::unique_ptr<Picture>> pictures(count);
        RunOnWorkers(pictures.size(), [&](size_t i) {
            const QByteArray& bytes = sources[i % sources.size()];
            TMemoryStream stream;
            stream.WriteBuffer(bytes.constData(), bytes.size());
            stream.SetPosition(0);
            auto picture = std::make_unique<Picture>(p.get());
            if (!picture->LoadFromStream(stream))
                std::abort();
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04zu.JPG", i);
            picture->SetFileName(std::string("C:\\Photos\\") + name);
            pictures[i] = std::move(picture);
        });
        for (auto& picture : pictures)
            p->AddPicture(picture.release());
        return p;
    }();
    return portfolio.get();
}

void BM_GenerateFolder(benchmark::State& state)
{
    Portfolio* portfolio = Artworks();
    const int count = portfolio->GetPictureCount();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto generator = std::make_unique<HTMLGenerator>(portfolio);
        if (!generator->Generate()) {
            state.SkipWithError("Generate failed");
            return;
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        // Destroying the generator deletes its folder; that is not generating.
        state.PauseTiming();
        generator.reset();
        state.ResumeTiming();
    }
    state.counters["per_artwork_ms"] = 1000.0 * seconds / state.iterations() / count;
    state.SetItemsProcessed(state.iterations() * count);
}

// The images alone, one after another on one core: what the folder would
// cost without spreading the encoding.
void BM_EncodeImagesOneCore(benchmark::State& state)
{
    Portfolio* portfolio = Artworks();
    const int count = portfolio->GetPictureCount();
    HTMLGenerator scratch(portfolio);
    const std::string folder = scratch.GetOutputFolder();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i)
            if (!portfolio->GetPicture(i)->SaveToFolder(folder)) {
                state.SkipWithError("Save failed");
                return;
            }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["per_artwork_ms"] = 1000.0 * seconds / state.iterations() / count;
    state.SetItemsProcessed(state.iterations() * count);
}

// The spread encoding writes the same bytes as encoding one at a time.
void BM_CheckSameOutput(benchmark::State& state)
{
    Portfolio* portfolio = Artworks();
    HTMLGenerator generator(portfolio);
    HTMLGenerator single(portfolio);
    if (!generator.Generate()) {
        state.SkipWithError("Generate failed");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < std::min(3, portfolio->GetPictureCount()); ++i) {
            Picture* picture = portfolio->GetPicture(i);
            picture->SaveToFolder(single.GetOutputFolder());
            const std::string& name = generator.GetImageNames()[i];
            const std::string one = FileBytes(single.GetOutputFolder() + name);
            if (one.empty() || one != FileBytes(generator.GetOutputFolder() + "Images/" + name)) {
                state.SkipWithError("parallel output differs");
                return;
            }
        }
    }
}

} // namespace

BENCHMARK(BM_GenerateFolder)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_EncodeImagesOneCore)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_CheckSameOutput)->Iterations(1);

int main(int argc, char** argv)
{
    // The process's settings and temp folders are private to the run.
    WorkFolder environment("velmora-html-bench");
    environment.HoldUserFolders(true);
    return RunGeneratorBenchmarks(argc, argv);
}
