// The loading half of the strip benchmark (its main is in StripBench.cpp):
// 1,000 camera-like 12 MP JPEGs (4000 x 3000, fine grain, quality 90)
// named by the items' Location, loaded with tlAll by the control's loader,
// beside a plain loop of QImageReader with setScaledSize making the same
// thumbnails on as many threads as there are cores. Both sides run at the
// loader's priority (nice 10). While the loader runs, a 16 ms GUI-thread
// timer measures the longest gap between its ticks: the loader must leave
// the GUI thread free.
//
//   thumbs_per_s   thumbnails made per second
//   max_gap_ms     longest gap between two ticks of the 16 ms timer
//
// VELMORA_BENCH_PHOTOS sets the number of files (default 1000);
// VELMORA_BENCH_PHOTO_DIR keeps them in that folder between runs (they
// take a few gigabytes and a minute to write).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/WorkFolder.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/render/MainWindowStrip.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

int PhotoCount()
{
    const char* value = std::getenv("VELMORA_BENCH_PHOTOS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 1000;
}

int Cores()
{
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

// Sensor-like grain, made once and laid over every picture at an offset of
// its own: each file has its own pixels and compresses as a photo does.
const QImage& Grain()
{
    static const QImage grain = [] {
        QImage image(kWidth + 512, kHeight + 512, QImage::Format_RGB32);
        QRandomGenerator random(12);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int v = 96 + int(random.bounded(64));
                line[x] = qRgb(v, v + int(random.bounded(8)), v);
            }
        }
        return image;
    }();
    return grain;
}

void WritePhoto(const std::string& path, int n)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, kWidth, kHeight);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 160, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 120) % 360, 180, 70));
    p.fillRect(image.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 24; ++i) {
        p.setBrush(QColor::fromHsv((n * 13 + i * 29) % 360, 200, 220));
        p.setPen(QPen(QColor::fromHsv((n * 7 + i * 41) % 360, 255, 60), 9));
        p.drawEllipse((n * 71 + i * 331) % (kWidth - 600), (n * 53 + i * 197) % (kHeight - 600), 600, 450);
    }
    p.setCompositionMode(QPainter::CompositionMode_Overlay);
    p.setOpacity(0.35);
    p.drawImage(0, 0, Grain(), (n * 7) % 512, (n * 11) % 512, kWidth, kHeight);
    p.end();
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(90);
    writer.write(image);
}

const std::vector<std::string>& Files()
{
    static std::unique_ptr<WorkFolder> temporary;
    static const std::vector<std::string> files = [] {
        std::string folder;
        if (const char* kept = std::getenv("VELMORA_BENCH_PHOTO_DIR")) {
            folder = kept;
            QDir().mkpath(QString::fromStdString(folder));
        } else {
            temporary = std::make_unique<WorkFolder>("velmora-strip-load-bench");
            folder = temporary->Path().string();
        }
        std::vector<std::string> names;
        for (int i = 0; i < PhotoCount(); ++i)
            names.push_back(folder + "/photo" + std::to_string(i) + ".jpg");
        Grain();
        std::atomic<int> next{0};
        std::vector<std::thread> writers;
        for (int t = 0; t < Cores(); ++t)
            writers.emplace_back([&] {
                for (int i = next++; i < int(names.size()); i = next++)
                    if (!QFileInfo::exists(QString::fromStdString(names[i])))
                        WritePhoto(names[i], i);
            });
        for (auto& w : writers)
            w.join();
        return names;
    }();
    return files;
}

void BM_LoaderThread_tlAll(benchmark::State& state)
{
    const auto& files = Files();
    for (auto _ : state) {
        TSmoothImageListBox box(nullptr);
        strip_setup::ConfigureAsMainWindowStrip(box);
        box.SetThreadLoading(tlAll);
        box.resize(1024, 172);
        box.Loaded();
        box.Items()->BeginUpdate();
        for (const std::string& file : files)
            box.Items()->Add()->SetLocation(file);
        box.Items()->EndUpdate();

        auto loaded = [&] {
            for (int i = 0; i < box.Items()->Count(); ++i)
                if (box.Items()->GetItem(i)->Status() != stLoaded)
                    return false;
            return true;
        };
        // The GUI thread only runs its event loop: the timer measures the
        // gaps and looks whether the loader is done.
        QEventLoop loop;
        QElapsedTimer clock;
        qint64 lastTick = 0, maxGap = 0;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(16);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            maxGap = std::max(maxGap, now - lastTick);
            lastTick = now;
            if (loaded())
                loop.quit();
        });
        clock.start();
        timer.start();
        box.show();  // the loader starts with the window
        loop.exec();
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["thumbs_per_s"] = files.size() / seconds;
        state.counters["max_gap_ms"] = double(maxGap);
    }
}

// What Qt's reader alone gets on the same cores at the same priority: the
// JPEG decoder scales as it decodes, then the thumbnail is made 32-bit.
void BM_QImageReaderScaledLoop(benchmark::State& state)
{
    const auto& files = Files();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::atomic<int> next{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < Cores(); ++t)
            threads.emplace_back([&] {
                ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
                for (int i = next++; i < int(files.size()); i = next++) {
                    QImageReader reader(QString::fromStdString(files[i]));
                    reader.setAutoTransform(true);
                    const QSize fitted = reader.size().scaled(136, 103, Qt::KeepAspectRatio);
                    reader.setScaledSize(fitted);
                    QImage thumb = reader.read().convertToFormat(QImage::Format_ARGB32);
                    benchmark::DoNotOptimize(thumb.constBits());
                }
            });
        for (auto& t : threads)
            t.join();
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["thumbs_per_s"] = files.size() / seconds;
    }
}

}  // namespace

BENCHMARK(BM_LoaderThread_tlAll)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_QImageReaderScaledLoop)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
