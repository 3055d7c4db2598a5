// Scrolling the main window's thumbnail strip with 1,000 and 10,000 items
// in a 1024 x 172 strip. A frame is one animation tick plus a render of the
// widget into an image; one wheel notch is sent per frame until the strip
// has scrolled from its first item to its last. Reported: frames, median
// and 95th percentile of the frame times, beside a QListView in icon mode
// that shows the same thumbnails and scrolls by the same step per frame;
// after the runs, ours over the list view's. Like with like: both widgets
// are shown at the same size, show the same cells (a 153-pixel pitch, about
// seven in view) with thumbnails of 143 x 100, and are rendered the same way.
//
// Adding: 100 to 10,000 items to the strip, one update per item against one
// update for all (the main window hands a start's or a portfolio's pictures
// over in one).
//
// Idle: the strip with its thumbnails loaded, and the list view, each shown
// and left alone for three seconds of the event loop: the wake-ups (context
// switches of every thread of the process) per second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QWheelEvent>
#include <algorithm>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/render/MainWindowStrip.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStripWidth = 1024;
constexpr int kStripHeight = 172;

// A picture of its own colours per item (thumbnails are cell-sized whatever
// the source size).
QImage Picture(int n)
{
    QImage image(286, 200, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 286, 200);
    g.setColorAt(0, QColor::fromHsv((n * 37) % 360, 180, 230));
    g.setColorAt(1, QColor::fromHsv((n * 37 + 150) % 360, 200, 90));
    p.fillRect(image.rect(), g);
    return image;
}

// Figures by benchmark name, for the ratios printed after the runs.
std::map<std::string, double>& Figures()
{
    static std::map<std::string, double> figures;
    return figures;
}

struct FrameTimes {
    std::vector<double> ms;
    void Report(benchmark::State& state, const std::string& name)
    {
        std::sort(ms.begin(), ms.end());
        auto at = [&](double share) { return ms.empty() ? 0 : ms[std::min(ms.size() - 1, size_t(share * ms.size()))]; };
        state.counters["frames"] = double(ms.size());
        state.counters["median_ms"] = at(0.5);
        state.counters["p95_ms"] = at(0.95);
        Figures()[name + "/median"] = at(0.5);
        Figures()[name + "/p95"] = at(0.95);
    }
};

// Context switches of every thread of this process so far.
long WakeUps()
{
    long total = 0;
    for (const QString& tid : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status("/proc/self/task/" + tid + "/status");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return total;
}

// Wake-ups per second while the event loop runs with nothing to do; the
// timer that ends the wait is one of them.
double IdleWakeUpsPerSecond()
{
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    const long before = WakeUps();
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    return double(WakeUps() - before) / 3.0;
}

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

// The strip with its thumbnails made.
void Fill(TSmoothImageListBox& box, int count)
{
    strip_setup::ConfigureAsMainWindowStrip(box);
    box.resize(kStripWidth, kStripHeight);
    // A batch per update, as the main window hands pictures over: one
    // update per item would lay the whole strip out again for each.
    for (int from = 0; from < count; from += 256) {
        box.Items()->BeginUpdate();
        for (int i = from; i < std::min(count, from + 256); ++i)
            box.Items()->Add()->SetDecodedImage(Picture(i));
        box.Items()->EndUpdate();
        box.WaitForThumbnails();  // a few pictures at a time in memory
    }
}

// Adding items without thumbnails, each in an update of its own or all in
// one: the cost of laying the strip out once per update.
void BM_StripAdd(benchmark::State& state)
{
    const int count = int(state.range(0));
    const bool batched = state.range(1) != 0;
    for (auto _ : state) {
        TSmoothImageListBox box;
        strip_setup::ConfigureAsMainWindowStrip(box);
        box.resize(kStripWidth, kStripHeight);
        const auto start = Clock::now();
        if (batched)
            box.Items()->BeginUpdate();
        for (int i = 0; i < count; ++i) {
            box.Items()->BeginUpdate();
            box.Items()->Add();
            box.Items()->EndUpdate();
        }
        if (batched)
            box.Items()->EndUpdate();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        state.counters["add_ms"] = ms;
        Figures()[std::string(batched ? "add/batch/" : "add/each/") + std::to_string(count)] = ms;
    }
}

void BM_StripScroll(benchmark::State& state)
{
    BenchListBox box;
    Fill(box, int(state.range(0)));
    // Shown, as the list view is: both are then painted as windows on screen.
    box.show();
    QApplication::processEvents();
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
    times.Report(state, "strip/" + std::to_string(state.range(0)));
}

// The list view's model of the same thumbnails.
void Fill(QStandardItemModel& model, int count)
{
    for (int i = 0; i < count; ++i) {
        const QImage thumb = Picture(i).scaled(143, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        auto* item = new QStandardItem(QIcon(QPixmap::fromImage(thumb)), QString());
        model.appendRow(item);
    }
}

void Configure(QListView& view, QStandardItemModel& model)
{
    view.setViewMode(QListView::IconMode);
    view.setFlow(QListView::LeftToRight);
    view.setWrapping(false);
    view.setIconSize(QSize(143, 100));
    view.setGridSize(QSize(153, 120));
    view.setUniformItemSizes(true);
    view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setModel(&model);
    view.resize(kStripWidth, kStripHeight);
}

void BM_ListViewScroll(benchmark::State& state)
{
    QStandardItemModel model;
    Fill(model, int(state.range(0)));
    QListView view;
    Configure(view, model);
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
    times.Report(state, "listview/" + std::to_string(state.range(0)));
}

void BM_StripIdle(benchmark::State& state)
{
    for (auto _ : state) {
        TSmoothImageListBox box;
        Fill(box, 1000);
        box.show();
        const double rate = IdleWakeUpsPerSecond();
        state.counters["wakeups_per_s"] = rate;
        Figures()["idle/strip"] = rate;
    }
}

void BM_ListViewIdle(benchmark::State& state)
{
    for (auto _ : state) {
        QStandardItemModel model;
        Fill(model, 1000);
        QListView view;
        Configure(view, model);
        view.show();
        const double rate = IdleWakeUpsPerSecond();
        state.counters["wakeups_per_s"] = rate;
        Figures()["idle/listview"] = rate;
    }
}

void PrintRatios()
{
    auto& f = Figures();
    std::printf("\nstrip frame / QListView frame:\n");
    for (const char* n : {"1000", "10000"})
        for (const char* m : {"median", "p95"}) {
            const double ours = f[std::string("strip/") + n + "/" + m];
            const double peer = f[std::string("listview/") + n + "/" + m];
            std::printf("  %5s items %-6s %.3f ms / %.3f ms = %.2fx\n", n, m, ours, peer, peer > 0 ? ours / peer : 0);
        }
    for (const char* n : {"100", "1000", "10000"})
        std::printf("adding %5s items: one update each %.2f ms, one update for all %.2f ms\n", n,
                    f[std::string("add/each/") + n], f[std::string("add/batch/") + n]);
    std::printf("idle wake-ups per second: strip %.1f, QListView %.1f (each includes the one timer that ends the wait)\n",
                f["idle/strip"], f["idle/listview"]);
}

}  // namespace

BENCHMARK(BM_StripScroll)->Arg(1000)->Arg(10000)->ArgName("items")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ListViewScroll)->Arg(1000)->Arg(10000)->ArgName("items")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_StripAdd)
    ->ArgsProduct({{100, 1000, 10000}, {0, 1}})
    ->ArgNames({"items", "batched"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_StripIdle)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_ListViewIdle)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    PrintRatios();
    benchmark::Shutdown();
    return 0;
}
