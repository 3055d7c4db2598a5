// Starting the program with 30 and with 100 camera-sized pictures (12 MP
// JPEGs, some with an EXIF turn), as a file manager starts it with the
// selection: the forms made as the entry makes them, the main window shown,
// every picture becoming an artwork with its strip thumbnail. Beside it the
// peer: the same files decoded as the program adds them, at the same scale,
// priority and thread count (bench/ProgramScaleDecode.h). Taken within this
// running process; bench/startup_vs_peer.sh times the real program and a
// peer process from their launch.
//
//   window_ms      start until the main window's first paint
//   max_gap_ms     longest gap between ticks of a 5 ms main-thread timer
//                  from the window's showing until the last artwork is in
//                  (bar: 100)
//   engine_ms      then, what the first preview adds: the main thread held
//                  while the preview's web engine starts
//   all_s          start until every artwork and thumbnail is in
//   decode_s       the peer
//   ratio          all_s / decode_s (bar: 1.2)
//
// Beside it, the artwork dialog opening on a 12 MP picture, its preview
// made as it is now and, as the peer, decoded or copied at full size and
// scaled down afterwards, as it was made before:
//   memory_ms      the preview of the artwork's picture in memory
//   file_ms        the preview of a chosen file
//
// "--quiet-settings FOLDER" writes into a registry folder the settings of a
// user who turned the welcome window and the update check off, for
// bench/startup_vs_peer.sh.
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
#include "bench/CameraJpeg.h"
#include "bench/ProgramScaleDecode.h"
#include "bench/WorkFolder.h"
#include "model/Options.h"
#include "model/Picture.h"
#include "model/PictureSizes.h"
#include "model/Portfolio.h"
#include "output/TForm10.h"

namespace {

WorkFolder& Folder()
{
    static WorkFolder folder("velmora-startup-bench");
    return folder;
}

std::vector<std::string> Files(int count)
{
    static std::vector<std::string> files;
    if (static_cast<int>(files.size()) < count) {
        const size_t first = files.size();
        for (int i = static_cast<int>(first); i < count; ++i)
            files.push_back((Folder().Path() / ("IMG_" + std::to_string(1000 + i) + ".JPG")).string());
        WriteCameraJpegs(files, first);
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

// The peer: every file decoded as the program adds it, at the program's
// scale and priority, on as many threads (bench/ProgramScaleDecode.h).
void BM_DecodeInParallel(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> files = Files(count);
    const int pictureSize = Options::Instance()->GetPictureSize();
    const int maxSide = pictureSize >= 0 && pictureSize < kPictureSizeCount ? PictureSizes[pictureSize].maxSide : 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const int decoded = DecodeAllAtProgramScale(files, maxSide);
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
    if (argc == 3 && std::string(argv[1]) == "--quiet-settings") {
        ::setenv("VELMORA_REGISTRY_DIR", argv[2], 1);
        Options::Instance()->SetShowWelcome(false);
        Options::Instance()->SetCheckForUpdates(false);
        Options::FreeInstance();
        return 0;
    }
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
