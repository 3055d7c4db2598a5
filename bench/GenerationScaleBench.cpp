// Generation time per artwork and per template file as portfolios and
// templates grow: flat when generating is linear. A received portfolio of
// 100,000 artworks, or a template of 20,000 files, must cost per item what
// a small one does.
//
// Every artwork is a tiny JPEG of one file name (a camera's numbering run
// over from several cards), so each needs a name of its own in the folder;
// every template file is 165 bytes, as in a 3.3 MB template of 20,000.
#include <benchmark/benchmark.h>

#include "bench/GeneratorBenchMain.h"
#include "bench/WorkFolder.h"
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
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QByteArray TinyJpeg()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

// count artworks of one file name, decoded on every core.
std::unique_ptr<Portfolio> MakePortfolio(int count, Template* tpl)
{
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(tpl);
    const QByteArray jpeg = TinyJpeg();
    std::vector<std::unique_ptr<Picture>> pictures(count);
    RunOnWorkers(pictures.size(), [&](size_t i) {
        TMemoryStream stream;
        stream.WriteBuffer(jpeg.constData(), jpeg.size());
        stream.SetPosition(0);
        auto picture = std::make_unique<Picture>(portfolio.get());
        if (!picture->LoadFromStream(stream))
            std::abort();
        picture->SetFileName("C:\\DCIM\\IMG_0001.JPG");
        picture->SetTitle("Study " + std::to_string(i));
        pictures[i] = std::move(picture);
    });
    for (auto& picture : pictures)
        portfolio->AddPicture(picture.release());
    return portfolio;
}

Template* ShippedTemplate()
{
    TemplateLibrary* library = TemplateLibrary::Instance();
    return library->GetDefaultTemplate();
}

// A template of files received from someone else, imported as a user does.
Template* TemplateOfFiles(int files)
{
    const std::string name = "Files " + std::to_string(files);
    TemplateLibrary* library = TemplateLibrary::Instance();
    if (Template* made = library->FindTemplate(name))
        return made;
    // 165 bytes of content in base64.
    const std::string content =
        "LyogYSBzdHlsZSBzaGVldCBvZiBhIHJlY2VpdmVkIHRlbXBsYXRlOiBib2R5IHsgbWFyZ2luOiAwOyBwYWRkaW5nOiAwOyBjb2xv"
        "cjogIzMzMzsgZm9udC1mYW1pbHk6IHNlcmlmOyBsaW5lLWhlaWdodDogMS40OyB9ICovCiAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAgICAg";
    std::string xml = "<?xml version=\"1.0\"?><Templates><Template><Name>" + name +
                      "</Name><Builtin>false</Builtin><Layout>Default</Layout><Styles/><Files>";
    for (int i = 0; i < files; ++i)
        xml += "<StaticFile Name=\"part" + std::to_string(i) + ".css\" Encoding=\"base64\" Type=\"text/css\">" +
               content + "</StaticFile>";
    xml += "</Files></Template></Templates>";
    const std::string path = std::string(std::getenv("TMPDIR")) + "/files.vtp";
    std::ofstream(path, std::ios::binary) << xml;
    if (!library->Import(path))
        std::abort();
    return library->FindTemplate(name);
}

// Seconds one generation of the portfolio takes, its folder's removal aside.
double TimeGeneration(benchmark::State& state, Portfolio* portfolio)
{
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        auto generator = std::make_unique<HTMLGenerator>(portfolio);
        if (!generator->Generate()) {
            state.SkipWithError(generator->FailureText().c_str());
            return 0;
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        state.PauseTiming();
        generator.reset();
        state.ResumeTiming();
    }
    return seconds / static_cast<double>(state.iterations());
}

void BM_GeneratePerArtwork(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    auto portfolio = MakePortfolio(count, ShippedTemplate());
    const double seconds = TimeGeneration(state, portfolio.get());
    state.counters["per_artwork_us"] = 1e6 * seconds / count;
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_GeneratePerTemplateFile(benchmark::State& state)
{
    const int files = static_cast<int>(state.range(0));
    auto portfolio = MakePortfolio(10, TemplateOfFiles(files));
    const double seconds = TimeGeneration(state, portfolio.get());
    state.counters["per_file_us"] = 1e6 * seconds / files;
    state.SetItemsProcessed(state.iterations() * files);
}

} // namespace

BENCHMARK(BM_GeneratePerArtwork)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->UseRealTime();
BENCHMARK(BM_GeneratePerTemplateFile)->Arg(100)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    // The process's settings and temp folders are private to the run.
    WorkFolder environment("velmora-scale-bench");
    environment.HoldUserFolders(true);
    return RunGeneratorBenchmarks(argc, argv);
}
