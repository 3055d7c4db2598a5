// The loading half of the strip benchmark (its main is in StripBench.cpp):
// 1,000 image files of 1600 x 1200 named by the items' Location, loaded
// with tlAll by the control's loader thread, beside a plain QImageReader loop making the same
// thumbnails on one thread. While the loader runs, a 16 ms GUI-thread timer
// measures the longest gap between its ticks: the loader must leave the GUI
// thread free (bar: under 32 ms).
//
//   thumbs_per_s   thumbnails made per second
//   max_gap_ms     longest gap between two ticks of the 16 ms timer
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "bench/WorkFolder.h"
#include "controls/TSmoothImageListBox.h"
#include "controls/TSmoothImageListBoxItem.h"
#include "controls/TSmoothImageListBoxItems.h"
#include "controls/render/MainWindowStrip.h"

namespace {

constexpr int kFiles = 1000;

// Distinct pictures, so that no decoder shortcut helps: a gradient with a
// few shapes whose places follow the number.
void WriteJpeg(const std::string& path, int n)
{
    QImage image(1600, 1200, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1600, 1200);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 200, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 120) % 360, 180, 90));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromHsv((n * 13 + i * 29) % 360, 255, 255));
        p.drawEllipse((n * 71 + i * 131) % 1400, (n * 53 + i * 97) % 1000, 200, 200);
    }
    p.end();
    QImageWriter writer(QString::fromStdString(path), "jpeg");
    writer.setQuality(85);
    writer.write(image);
}

const std::vector<std::string>& Files()
{
    static WorkFolder folder("velmora-strip-load-bench");
    static const std::vector<std::string> files = [] {
        std::vector<std::string> names;
        for (int i = 0; i < kFiles; ++i)
            names.push_back((folder.Path() / ("photo" + std::to_string(i) + ".jpg")).string());
        std::atomic<int> next{0};
        std::vector<std::thread> writers;
        for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
            writers.emplace_back([&] {
                for (int i = next++; i < kFiles; i = next++)
                    WriteJpeg(names[i], i);
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

// What one thread gets with Qt's reader alone: decode, then a smooth scale
// into the same cell.
void BM_QImageReaderLoop(benchmark::State& state)
{
    const auto& files = Files();
    const bool scaledDecode = state.range(0) != 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        for (const std::string& file : files) {
            QImageReader reader(QString::fromStdString(file));
            const QSize fitted = reader.size().scaled(143, 100, Qt::KeepAspectRatio);
            if (scaledDecode)
                reader.setScaledSize(fitted);  // the JPEG decoder scales as it goes
            QImage image = reader.read();
            QImage thumb = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_ARGB32);
            benchmark::DoNotOptimize(thumb.constBits());
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["thumbs_per_s"] = files.size() / seconds;
    }
}

}  // namespace

BENCHMARK(BM_LoaderThread_tlAll)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_QImageReaderLoop)->ArgName("scaled_decode")->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();
