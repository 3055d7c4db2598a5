// Scrolling the main window's thumbnail strip: 1,000 items in a 1024 x 172
// strip. A frame is one animation tick plus a render of the widget into an
// image; one wheel notch is sent per frame until the strip has scrolled from
// its first item to its last. Reported: frames, mean and maximum frame time
// (the bar: a maximum under 16 ms, one frame of the animation timer), beside
// a QListView in icon mode that shows the same thumbnails and scrolls by the
// same step per frame.
//
// VELMORA_BENCH_STRIP_ITEMS sets the number of items (default 1000).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "controls/render/MainWindowStrip.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStripWidth = 1024;
constexpr int kStripHeight = 172;

int ItemCount()
{
    const char* value = std::getenv("VELMORA_BENCH_STRIP_ITEMS");
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : 1000;
}

// A picture of its own colours per item (thumbnails are cell-sized whatever
// the source size).
QImage Picture(int n)
{
    QImage image(800, 600, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 800, 600);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 180, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 150) % 360, 200, 90));
    p.fillRect(image.rect(), g);
    return image;
}

struct FrameTimes {
    std::vector<double> ms;
    void Report(benchmark::State& state) const
    {
        double sum = 0, most = 0;
        for (double t : ms) {
            sum += t;
            most = std::max(most, t);
        }
        state.counters["frames"] = double(ms.size());
        state.counters["mean_ms"] = ms.empty() ? 0 : sum / double(ms.size());
        state.counters["max_ms"] = most;
        state.counters["max_under_16ms"] = most < 16.0 ? 1 : 0;
    }
};

void SendWheelNotch(QWidget& widget)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

class BenchListBox : public TSmoothImageListBox {
public:
    using TSmoothImageListBox::TSmoothImageListBox;
    int CurrentPosition() const { return Position; }
};

void BM_StripScroll(benchmark::State& state)
{
    BenchListBox box;
    strip_setup::ConfigureAsMainWindowStrip(box);
    box.resize(kStripWidth, kStripHeight);
    box.Items()->BeginUpdate();
    for (int i = 0; i < ItemCount(); ++i) {
        const QImage picture = Picture(i);
        box.Items()->Add()->Image()->Assign(&picture);
    }
    box.Items()->EndUpdate();
    QImage frame(kStripWidth, kStripHeight, QImage::Format_ARGB32_Premultiplied);
    FrameTimes times;
    for (auto _ : state) {
        box.ScrollToItem(0);
        times.ms.clear();
        const int end = box.GetFullSize();
        for (int guard = 0; box.CurrentPosition() < end && guard < 100000; ++guard) {
            SendWheelNotch(box);
            const auto start = Clock::now();
            box.Tick();
            box.render(&frame);
            times.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        benchmark::DoNotOptimize(frame.constBits());
    }
    times.Report(state);
}

void BM_ListViewScroll(benchmark::State& state)
{
    QStandardItemModel model;
    for (int i = 0; i < ItemCount(); ++i) {
        const QImage thumb = Picture(i).scaled(143, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        auto* item = new QStandardItem(QIcon(QPixmap::fromImage(thumb)), QString());
        model.appendRow(item);
    }
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setFlow(QListView::LeftToRight);
    view.setWrapping(false);
    view.setIconSize(QSize(143, 100));
    view.setGridSize(QSize(153, 120));
    view.setUniformItemSizes(true);
    view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setModel(&model);
    view.resize(kStripWidth, kStripHeight);
    view.show();
    QApplication::processEvents();
    QImage frame(kStripWidth, kStripHeight, QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = view.horizontalScrollBar();
    FrameTimes times;
    for (auto _ : state) {
        bar->setValue(0);
        times.ms.clear();
        while (bar->value() < bar->maximum()) {
            const auto start = Clock::now();
            bar->setValue(bar->value() + 143);
            view.render(&frame);
            times.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        benchmark::DoNotOptimize(frame.constBits());
    }
    times.Report(state);
}

}  // namespace

BENCHMARK(BM_StripScroll)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListViewScroll)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
