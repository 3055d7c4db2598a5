// A portfolio of 50 artworks made into a PDF by the PDF generator and our
// document component, in seconds per page, side by side with headless
// Chromium printing the same pages of the same folder in one process on A4
// paper (where "chromium" is installed; otherwise that benchmark reports that
// it was skipped). Both sides count the pages of the PDF they wrote, so a
// page that spills onto a second sheet shows.
//
// VELMORA_BENCH_ARTWORKS changes the number of artworks.
#include <benchmark/benchmark.h>

#include "bench/GeneratorBenchMain.h"
#include "bench/WorkFolder.h"
#include "platform/rtl/StringReplace.h"

#include "model/Options.h"
#include "model/Picture.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include <QApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int ArtworkCount()
{
    const char* value = std::getenv("VELMORA_BENCH_ARTWORKS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 50;
}

WorkFolder* environment = nullptr;

// A photograph-like picture of 1200 x 900 pixels as a JPEG file.
std::string SourcePicture(int seed)
{
    QImage image(1200, 900, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int noise = static_cast<int>(rng() % 24);
            image.setPixel(x, y, qRgb((x / 5 + seed * 40 + noise) % 256, (y / 4 + noise) % 256, (x + y) / 9 % 256));
        }
    const std::string path = (environment->Path() / "sources" / ("artwork" + std::to_string(seed) + ".jpg")).string();
    image.save(QString::fromStdString(path), "JPG", 92);
    return path;
}

Portfolio* Artworks()
{
    static std::unique_ptr<Portfolio> portfolio = [] {
        auto p = std::make_unique<Portfolio>();
        TemplateLibrary::Instance()->Load();
        p->SetTemplate(TemplateLibrary::Instance()->GetDefaultTemplate());
        p->SetName("Bench Artist");
        p->SetStatementText("Paintings of rivers and harbours, made at night.");
        for (int i = 0; i < ArtworkCount(); ++i) {
            auto picture = std::make_unique<Picture>(p.get());
            if (!picture->LoadFromFile(SourcePicture(i)))
                std::fprintf(stderr, "cannot load artwork %d\n", i);
            picture->SetTitle("Artwork " + std::to_string(i + 1));
            picture->SetMedia("Oil on canvas");
            picture->SetDimensions("60 x 45 cm");
            p->AddPicture(picture.release());
        }
        return p;
    }();
    return portfolio.get();
}

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The page count of a PDF as pdfinfo reads it; 0 when it cannot be read.
int PdfPages(const std::string& pdf)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("pdfinfo '" + pdf + "' 2>/dev/null").c_str(), "r"), pclose);
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe.get()))
        if (std::strncmp(line, "Pages:", 6) == 0)
            return std::atoi(line + 6);
    return 0;
}

void SetPagesPerSecond(benchmark::State& state, int pages)
{
    state.counters["pages"] = pages;
    state.counters["s_per_page"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_PdfGenerator(benchmark::State& state)
{
    Portfolio* portfolio = Artworks();
    int pages = 0;
    for (auto _ : state) {
        PDFGenerator generator(portfolio);
        if (!generator.Generate()) {
            state.SkipWithError("the PDF generator failed");
            return;
        }
        state.PauseTiming();
        pages = PdfPages(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName());
        state.ResumeTiming();
    }
    SetPagesPerSecond(state, pages);
}

std::string ChromiumProgram()
{
    for (const char* name : {"chromium", "chromium-browser"})
        for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/snap/bin/"})
            if (::access((std::string(folder) + name).c_str(), X_OK) == 0)
                return std::string(folder) + name;
    return {};
}


// Chromium prints each page of the folder the PDF generator renders from,
// with the page size filled in as the generator does.
void BM_Chromium(benchmark::State& state)
{
    const std::string chromium = ChromiumProgram();
    if (chromium.empty()) {
        state.SkipWithError("chromium is not installed");
        return;
    }
    Portfolio* portfolio = Artworks();
    HTMLGenerator pages(portfolio);
    pages.SetForPdf(true);
    if (!pages.Generate()) {
        state.SkipWithError("the pages could not be generated");
        return;
    }
    const std::string folder = pages.GetOutputFolder();
    std::vector<std::string> files = {folder + "portfolio.html"};
    for (int i = 0; i < portfolio->GetPictureCount(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Data/%03d.html", i);
        files.push_back(folder + name);
    }
    for (const std::string& file : files) {
        std::stringstream text;
        text << std::ifstream(file).rdbuf();
        std::string html = text.str();
        StringReplaceAll(html, "%PDF_PAGE_HEIGHT%", "1123");
        StringReplaceAll(html, "%PDF_PAGE_WIDTH%", "794");
        std::ofstream(file, std::ios::trunc) << html;
    }
    // One document that holds every page in a frame of exactly one A4 sheet
    // (794 x 1123 CSS pixels), so one Chromium process prints them all and
    // each page keeps its own folder for its relative links.
    const std::string book = folder + "all-pages.html";
    {
        std::ofstream html(book, std::ios::trunc);
        html << "<!DOCTYPE html><html><head><style>@page { size: A4; margin: 0 }\n"
                "html, body { margin: 0; padding: 0 }\n"
                "iframe { display: block; width: 794px; height: 1123px; border: 0; overflow: hidden;"
                " break-after: page }\n"
                "iframe:last-child { break-after: auto }</style></head><body>\n";
        for (const std::string& file : files)
            html << "<iframe scrolling=\"no\" src=\"" << file.substr(folder.size()) << "\"></iframe>\n";
        html << "</body></html>\n";
    }
    const fs::path out = environment->Path() / "chromium";
    fs::create_directories(out);
    const std::string pdf = (out / "all-pages.pdf").string();
    const std::string sandbox = ::geteuid() == 0 ? " --no-sandbox" : "";
    for (auto _ : state) {
        if (!Run("timeout 600 '" + chromium + "' --headless --disable-gpu" + sandbox +
                 " --no-pdf-header-footer --print-to-pdf='" + pdf + "' 'file://" + book + "'")) {
            state.SkipWithError("chromium failed");
            return;
        }
    }
    const int printed = PdfPages(pdf);
    if (printed != static_cast<int>(files.size()))
        std::fprintf(stderr, "chromium printed %d pages for %zu page files\n", printed, files.size());
    SetPagesPerSecond(state, printed);
}

} // namespace

BENCHMARK(BM_PdfGenerator)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Chromium)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    // The process's settings, registry and temp folders are private to the run.
    WorkFolder env("velmora-pdf-bench");
    env.HoldUserFolders(true);
    fs::create_directories(env.Path() / "sources");
    environment = &env;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    // The document component is found through the run's own registry.
    if (!Run(std::string("'") + REGSVR_TOOL + "' /s '" + QUORVEX_PDF_MODULE + "'")) {
        std::fprintf(stderr, "cannot register %s\n", QUORVEX_PDF_MODULE);
        return 1;
    }
    return RunGeneratorBenchmarks(argc, argv);
}
