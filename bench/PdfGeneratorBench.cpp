// The PDF generator on a portfolio of 60 photograph-like artworks of
// 3000 x 3000 pixels kept at their size, beside headless Chromium printing
// the same pages from the folder the generator renders them from (one
// process, every page in a frame of one A4 sheet). Each side runs in a
// process of its own at the bench's priority, once confined to one core and
// once on every core the bench may use, and each row shows:
//   wall_s   from the start of the work to its end
//   cpu_s    user + system time of the whole process (for Chromium, of all
//            its processes)
//   peak_MB  peak resident memory: ours of the whole process while it
//            generates, Chromium's of its largest process
//   x_decoded  our peak beside the size of the portfolio's pictures
//            decoded, which the program holds whether or not it makes a PDF
// Ours counts the whole export: the pages, the pictures written for them,
// and the PDF; Chromium only prints pages made for it beforehand.
//
// VELMORA_BENCH_ARTWORKS (60) and VELMORA_BENCH_SIDE (3000) change the
// portfolio; VELMORA_BENCH_ROUNDS (1) repeats each row and keeps the fastest.
#include "bench/WorkFolder.h"
#include "platform/rtl/StringReplace.h"

#include "FreeImage/FreeWinBitmap.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "model/TemplateLibrary.h"
#include "output/HTMLGenerator.h"
#include "output/PDFGenerator.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Setting(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : fallback;
}

double Seconds(const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; }

double CpuSeconds(const rusage& usage) { return Seconds(usage.ru_utime) + Seconds(usage.ru_stime); }

// A photograph-like picture: smooth gradients with fine grain, so that the
// encoders do real work. Each seed gives another picture.
void WriteSourcePicture(const std::string& path, int side, int seed)
{
    QImage image(side, side, QImage::Format_RGB32);
    unsigned noise = 2166136261u ^ static_cast<unsigned>(seed);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28);
            row[x] = qRgb((x * 255 / side + grain + seed * 7) & 255, (y * 255 / side + grain) & 255,
                          ((x + y) * 255 / (2 * side) + grain * 2) & 255);
        }
    }
    image.save(QString::fromStdString(path), "JPG", 90);
}

std::string SourcePath(const fs::path& folder, int i)
{
    return (folder / ("artwork" + std::to_string(i) + ".jpg")).string();
}

void WriteSourcePictures(const fs::path& folder, int count, int side)
{
    fs::create_directories(folder);
    std::vector<std::thread> pool;
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            for (int i = t; i < count; i += threads)
                WriteSourcePicture(SourcePath(folder, i), side, i);
        });
    for (std::thread& thread : pool)
        thread.join();
}

// The portfolio as the program holds it after adding the pictures with
// "Don't resize"; *decodedBytes receives the size of its decoded pictures.
std::unique_ptr<Portfolio> LoadPortfolio(const fs::path& sources, int count, double* decodedBytes)
{
    TemplateLibrary::Instance()->Load();
    Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
    auto portfolio = std::make_unique<Portfolio>();
    portfolio->SetTemplate(TemplateLibrary::Instance()->GetDefaultTemplate());
    portfolio->SetName("Bench Artist");
    portfolio->SetStatementText("Paintings of rivers and harbours, made at night.");
    double bytes = 0;
    for (int i = 0; i < count; ++i) {
        auto picture = std::make_unique<Picture>(portfolio.get());
        if (!picture->LoadFromFile(SourcePath(sources, i))) {
            std::fprintf(stderr, "cannot load artwork %d\n", i);
            std::exit(1);
        }
        const TFreeWinBitmap* bitmap = picture->GetBitmap();
        bytes += double(bitmap->GetLine()) * bitmap->GetHeight();
        picture->SetTitle("Artwork " + std::to_string(i + 1));
        picture->SetMedia("Oil on canvas");
        picture->SetDimensions("60 x 45 cm");
        portfolio->AddPicture(picture.release());
    }
    *decodedBytes = bytes;
    return portfolio;
}

long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
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

// The child that makes our PDF: loads the portfolio, then generates, and
// prints "decoded_bytes peak_KiB cpu_s wall_s pages" for the generation.
int RunOurs(const fs::path& sources, int count)
{
    double decoded = 0;
    std::unique_ptr<Portfolio> portfolio = LoadPortfolio(sources, count, &decoded);
    // The peak from here on is the generation's.
    std::ofstream("/proc/self/clear_refs") << "5";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    int pages = 0;
    {
        PDFGenerator generator(portfolio.get());
        if (!generator.Generate()) {
            std::fprintf(stderr, "the PDF generator failed: %s\n", generator.GetErrorText().c_str());
            return 1;
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const long peak = PeakKiB();
        pages = PdfPages(generator.GetOutputFolder() + PDFGenerator::GetOutputFileName());
        std::printf("%.0f %ld %.3f %.3f %d\n", decoded, peak, CpuSeconds(after) - CpuSeconds(before), wall, pages);
    }
    portfolio.reset();
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return 0;
}

// The pages for Chromium in the folder the PDF generator renders from, with
// the page size filled in as the generator does, and one document holding
// every page in a frame of exactly one A4 sheet (794 x 1123 CSS pixels), so
// one Chromium process prints them all and each page keeps its own folder
// for its relative links. Returns that document's path.
std::string WriteChromiumBook(HTMLGenerator& pages, int count)
{
    pages.SetForPdf(true);
    if (!pages.Generate()) {
        std::fprintf(stderr, "the pages could not be generated\n");
        std::exit(1);
    }
    const std::string folder = pages.GetOutputFolder();
    std::vector<std::string> files = {folder + "portfolio.html"};
    for (int i = 0; i < count; ++i) {
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
    const std::string book = folder + "all-pages.html";
    std::ofstream html(book, std::ios::trunc);
    html << "<!DOCTYPE html><html><head><style>@page { size: A4; margin: 0 }\n"
            "html, body { margin: 0; padding: 0 }\n"
            "iframe { display: block; width: 794px; height: 1123px; border: 0; overflow: hidden;"
            " break-after: page }\n"
            "iframe:last-child { break-after: auto }</style></head><body>\n";
    for (const std::string& file : files)
        html << "<iframe scrolling=\"no\" src=\"" << file.substr(folder.size()) << "\"></iframe>\n";
    html << "</body></html>\n";
    return book;
}

std::string ChromiumProgram()
{
    for (const char* name : {"chromium", "chromium-browser"})
        for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/snap/bin/"})
            if (::access((std::string(folder) + name).c_str(), X_OK) == 0)
                return std::string(folder) + name;
    return {};
}

struct Row {
    bool ok = false;
    double wall = 0, cpu = 0, peakMiB = 0, decodedMiB = 0;
    int pages = 0;
};

// Runs args confined to the cores in mask, its output in *out (none: its
// output and errors are dropped); the usage of it and of every process it
// waited for.
bool RunConfined(const std::vector<std::string>& args, const cpu_set_t& mask, std::string* out, rusage* usage,
    double* wall)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::sched_setaffinity(0, sizeof mask, &mask);
        ::dup2(pipeFds[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0 && !out) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        if (out)
            out->append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (::wait4(pid, &status, 0, usage) != pid)
        return false;
    *wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Row Ours(const fs::path& sources, int count, const cpu_set_t& mask)
{
    Row row;
    std::string out;
    rusage usage{};
    double wall = 0;
    if (!RunConfined({"/proc/self/exe", "--ours", sources.string(), std::to_string(count)}, mask, &out, &usage, &wall))
        return row;
    double decoded = 0;
    long peak = 0;
    if (std::sscanf(out.c_str(), "%lf %ld %lf %lf %d", &decoded, &peak, &row.cpu, &row.wall, &row.pages) != 5)
        return row;
    row.peakMiB = peak / 1024.0;
    row.decodedMiB = decoded / 1048576.0;
    row.ok = true;
    return row;
}

Row Chromium(const std::string& chromium, const std::string& book, const fs::path& pdf, const cpu_set_t& mask)
{
    Row row;
    std::vector<std::string> args = {"/usr/bin/timeout", "900", chromium, "--headless", "--disable-gpu",
        "--no-pdf-header-footer", "--print-to-pdf=" + pdf.string(), "file://" + book};
    if (::geteuid() == 0)
        args.insert(args.begin() + 4, "--no-sandbox");
    rusage usage{};
    fs::remove(pdf);
    if (!RunConfined(args, mask, nullptr, &usage, &row.wall))
        return row;
    row.cpu = CpuSeconds(usage);
    row.peakMiB = usage.ru_maxrss / 1024.0;
    row.pages = PdfPages(pdf.string());
    row.ok = true;
    return row;
}

Row Fastest(int rounds, const std::function<Row()>& run)
{
    Row best;
    for (int r = 0; r < rounds; ++r) {
        const Row row = run();
        if (row.ok && (!best.ok || row.wall < best.wall))
            best = row;
    }
    return best;
}

void Print(const char* side, int cores, const Row& row)
{
    if (!row.ok) {
        std::printf("%-9s %5d   failed or skipped\n", side, cores);
        return;
    }
    std::printf("%-9s %5d %8.2f %8.2f %9.0f", side, cores, row.wall, row.cpu, row.peakMiB);
    if (row.decodedMiB > 0)
        std::printf(" %10.2f", row.peakMiB / row.decodedMiB);
    else
        std::printf(" %10s", "-");
    std::printf(" %6d\n", row.pages);
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc == 4 && std::strcmp(argv[1], "--ours") == 0) {
        QApplication app(argc, argv);
        return RunOurs(argv[2], std::atoi(argv[3]));
    }
    // Rows show as they come when the output is a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int count = Setting("VELMORA_BENCH_ARTWORKS", 60);
    const int side = Setting("VELMORA_BENCH_SIDE", 3000);
    const int rounds = Setting("VELMORA_BENCH_ROUNDS", 1);

    // The process's settings, registry and temp folders are private to the
    // run, and the children's with them.
    WorkFolder env("velmora-pdf-bench");
    env.HoldUserFolders(true);
    QApplication app(argc, argv);
    // The document component is found through the run's own registry.
    if (std::system((std::string("'") + REGSVR_TOOL + "' /s '" + QUORVEX_PDF_MODULE + "' >/dev/null 2>&1").c_str())
        != 0) {
        std::fprintf(stderr, "cannot register %s\n", QUORVEX_PDF_MODULE);
        return 1;
    }
    const fs::path sources = env.Path() / "sources";
    WriteSourcePictures(sources, count, side);

    cpu_set_t all;
    CPU_ZERO(&all);
    ::sched_getaffinity(0, sizeof all, &all);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    const int cores = CPU_COUNT(&all);

    std::printf("%d artworks of %d x %d pixels, kept at their size; %d rounds, fastest shown\n", count, side, side,
        rounds);
    std::printf("%-9s %5s %8s %8s %9s %10s %6s\n", "side", "cores", "wall_s", "cpu_s", "peak_MB", "x_decoded",
        "pages");
    const Row ours1 = Fastest(rounds, [&] { return Ours(sources, count, one); });
    const Row oursN = Fastest(rounds, [&] { return Ours(sources, count, all); });

    const std::string chromium = ChromiumProgram();
    Row peer1, peerN;
    if (!chromium.empty()) {
        double decoded = 0;
        std::unique_ptr<Portfolio> portfolio = LoadPortfolio(sources, count, &decoded);
        HTMLGenerator pages(portfolio.get());
        const std::string book = WriteChromiumBook(pages, count);
        portfolio.reset();
        const fs::path pdf = env.Path() / "chromium.pdf";
        peer1 = Fastest(rounds, [&] { return Chromium(chromium, book, pdf, one); });
        peerN = Fastest(rounds, [&] { return Chromium(chromium, book, pdf, all); });
    } else {
        std::printf("(chromium is not installed: its rows are skipped)\n");
    }
    Print("ours", 1, ours1);
    Print("chromium", 1, peer1);
    Print("ours", cores, oursN);
    Print("chromium", cores, peerN);
    auto ratio = [](int n, const Row& a, const Row& b) {
        if (a.ok && b.ok && b.wall > 0 && b.cpu > 0)
            std::printf("ours / chromium on %d core(s): wall %.2fx, cpu %.2fx\n", n, a.wall / b.wall, a.cpu / b.cpu);
    };
    ratio(1, ours1, peer1);
    ratio(cores, oursN, peerN);
    TemplateLibrary::FreeInstance();
    Options::FreeInstance();
    return 0;
}
