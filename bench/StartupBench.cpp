// Starting the program with 30 and with 100 camera-sized pictures (12 MP
// JPEGs, some with an EXIF turn), as a file manager starts it with the
// selection: the forms made as the entry makes them, the main window shown,
// every picture becoming an artwork with its strip thumbnail. Beside it the
// peer: the same files only decoded, on as many threads as there are cores.
//
//   window_ms      start until the main window's first paint (bar: 1,000)
//   max_gap_ms     longest gap between ticks of a 5 ms main-thread timer
//                  from the window's showing until the last artwork is in
//                  (bar: 100)
//   engine_ms      then, what the first preview adds: the main thread held
//                  while the preview's web engine starts
//   all_s          start until every artwork and thumbnail is in
//   decode_s       the peer: decoding the files in parallel
//   ratio          all_s / decode_s (bar: 1.5)
//
// Beside it, the artwork dialog opening on a 12 MP picture, its preview
// made as it is now and, as the peer, decoded or copied at full size and
// scaled down afterwards, as it was made before:
//   memory_ms      the preview of the artwork's picture in memory
//   file_ms        the preview of a chosen file
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QImageIOHandler>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>
#include <sys/stat.h>

#include "FreeImage/FreeWinBitmap.h"
#include "app/ScreenPixmap.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/WinMain.h"
#include "bench/WorkFolder.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "output/TForm10.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

WorkFolder& Folder()
{
    static WorkFolder folder("velmora-startup-bench");
    return folder;
}

// A photograph's worth of detail for the encoder: a gradient, shapes, and
// sensor-like noise from a random tile, so that the files come out at a
// camera's size (3 to 6 MB) and no two decode alike.
void WriteCameraJpeg(const std::string& path, int n, const QImage& noise)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, kWidth, kHeight);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 160, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 140) % 360, 200, 70));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor::fromHsv((n * 13 + i * 29) % 360, 220, 240));
        p.drawEllipse((n * 71 + i * 331) % (kWidth - 500), (n * 53 + i * 197) % (kHeight - 500), 500, 360);
    }
    p.setOpacity(0.35);
    QBrush grain(noise);
    grain.setTransform(QTransform::fromTranslate(n * 17 % 256, n * 29 % 256));
    p.fillRect(image.rect(), grain);
    p.end();
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(92);
    // Every third one was taken with the camera held upright.
    if (n % 3 == 2)
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
    writer.write(image);
}

std::vector<std::string> Files(int count)
{
    static std::vector<std::string> files;
    if (static_cast<int>(files.size()) < count) {
        QImage noise(256, 256, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                noise.setPixel(x, y, random.generate() | 0xFF000000u);
        const int first = static_cast<int>(files.size());
        for (int i = first; i < count; ++i)
            files.push_back((Folder().Path() / ("IMG_" + std::to_string(1000 + i) + ".JPG")).string());
        std::atomic<int> next{first};
        std::vector<std::thread> writers;
        for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
            writers.emplace_back([&] {
                for (int i = next++; i < count; i = next++)
                    WriteCameraJpeg(files[i], i, noise);
            });
        for (auto& w : writers)
            w.join();
    }
    return std::vector<std::string>(files.begin(), files.begin() + count);
}

// The peer's time per file count, for the ratio.
std::map<int, double>& DecodeSeconds()
{
    static std::map<int, double> seconds;
    return seconds;
}

// Records the first paint of the watched window.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
    qint64 At() const { return at_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && at_ < 0)
            at_ = clock_.elapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& clock_;
    qint64 at_ = -1;
};

void BM_StartWithPictures(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> files = Files(count);
    for (auto _ : state) {
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 maxGap = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            maxGap = std::max(maxGap, now - lastTick);
            lastTick = now;
        });
        FirstPaint painted(clock);

        clock.start();
        ticker.start();
        // As the entry does it: the forms, then the main window shown.
        CreateForms(files);
        // The main thread must stay free from the window's showing on.
        lastTick = clock.elapsed();
        Form1->installEventFilter(&painted);
        Form1->show();
        // Waits in an event loop, as the program does: a loop of
        // processEvents would spin the main thread against the workers.
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (painted.At() >= 0 && !Form1->AddingArtworks() && Form1->GetPortfolio()->GetPictureCount() >= count)
                loop.quit();
        });
        check.start(10);
        loop.exec();
        const double all = clock.elapsed() / 1000.0;
        ticker.stop();
        QElapsedTimer engine;
        engine.start();
        Form10->StartBrowser();
        const qint64 engineMs = engine.elapsed();

        state.SetIterationTime(all);
        state.counters["window_ms"] = static_cast<double>(painted.At());
        state.counters["max_gap_ms"] = static_cast<double>(maxGap);
        state.counters["engine_ms"] = static_cast<double>(engineMs);
        state.counters["all_s"] = all;
        if (DecodeSeconds().count(count))
            state.counters["ratio"] = all / DecodeSeconds()[count];
        if (Form1->GetPortfolio()->GetPictureCount() != count)
            state.SkipWithError("not every picture became an artwork");
        Form1->GetPortfolio()->ClearModified();
        DestroyForms();
    }
}

// The peer: nothing but decoding every file, one per core at a time.
void BM_DecodeInParallel(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> files = Files(count);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::atomic<int> next{0};
        std::atomic<int> decoded{0};
        std::vector<std::thread> workers;
        for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
            workers.emplace_back([&] {
                for (int i = next++; i < count; i = next++) {
                    TFreeWinBitmap bitmap;
                    decoded += bitmap.Load(files[i], 0) ? 1 : 0;
                }
            });
        for (auto& w : workers)
            w.join();
        const double seconds = clock.elapsed() / 1000.0;
        state.SetIterationTime(seconds);
        state.counters["decode_s"] = seconds;
        DecodeSeconds()[count] = seconds;
        if (decoded != count)
            state.SkipWithError("a file did not decode");
    }
}

// The artwork dialog's preview of a 12 MP camera picture (arg 1: the peer,
// the full-size way).
void BM_ArtworkDialogPreview(benchmark::State& state)
{
    const bool fullSize = state.range(0) != 0;
    const std::string file = Files(1).front();
    Portfolio portfolio;
    auto* picture = new Picture(&portfolio);
    // "Don't resize": the artwork keeps the camera's 12 MP.
    const int pictureSize = Options::Instance()->GetPictureSize();
    Options::Instance()->SetPictureSize(kPictureSizeCount - 1);
    picture->LoadFromFile(file);
    Options::Instance()->SetPictureSize(pictureSize);
    portfolio.AddPicture(picture);
    TForm2 dialog;
    const QSize box = dialog.findChild<QLabel*>("Image2")->size();
    const auto fullSizePreview = [&](TFreeWinBitmap& bitmap) {
        return ScreenPixmap(bitmap).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    };
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (fullSize)
            benchmark::DoNotOptimize(fullSizePreview(*picture->GetBitmap()));
        else
            dialog.LoadArtwork(picture);
        const qint64 memory = clock.nsecsElapsed();
        clock.restart();
        if (fullSize) {
            TFreeWinBitmap decoded;
            decoded.Load(file, 0);
            benchmark::DoNotOptimize(fullSizePreview(decoded));
        } else {
            dialog.ShowPreview(nullptr);
        }
        const qint64 chosen = clock.nsecsElapsed();
        state.SetIterationTime((memory + chosen) / 1e9);
        state.counters["memory_ms"] = memory / 1e6;
        state.counters["file_ms"] = chosen / 1e6;
    }
    if (!fullSize && dialog.findChild<QLabel*>("Image2")->pixmap().isNull())
        state.SkipWithError("no preview");
}

BENCHMARK(BM_DecodeInParallel)->Arg(30)->Arg(100)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartWithPictures)->Arg(30)->Arg(100)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArtworkDialogPreview)->Arg(0)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program starts: the web engine refuses its sandbox only as root.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The settings, templates, working folders and the single-instance
    // socket of a user of its own.
    Folder().HoldUserFolders(true);
    const std::filesystem::path runtime = Folder().Path() / "runtime";
    std::filesystem::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    Options::Instance()->SetShowWelcome(false);
    Options::Instance()->SetCheckForUpdates(false);

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Options::FreeInstance();
    return 0;
}
