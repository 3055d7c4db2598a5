// Caption markup from hostile or careless senders: time to lay out, draw
// and mark large captions that once took time in the square of their size.
// Each family runs over growing sizes and reports the fitted complexity,
// which should read O(N):
//   UnclosedTags   N bytes of "<" with no ">" anywhere
//   TagsAndBreaks  N "<B>" tags, then N "<BR>" (N lines that each start
//                  with N open tags)
//   Highlight      HighlightText over N bytes of markup with a search
//                  found every few characters
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <string>

#include "controls/MarkupRenderer.h"

namespace {

void Render(const std::string& text)
{
    QImage image(200, 100, QImage::Format_ARGB32);
    QPainter painter(&image);
    TGPGraphics graphics(&painter);
    MarkupParams params;
    params.Graphics = &graphics;
    params.Text = text;
    params.R = TRect{0, 0, 200, 100};
    MarkupResult result;
    RenderMarkup(params, result);
    benchmark::DoNotOptimize(result.YSize);
}

std::string Repeat(const std::string& s, int64_t n)
{
    std::string out;
    out.reserve(size_t(n) * s.size());
    for (int64_t i = 0; i < n; ++i)
        out += s;
    return out;
}

void BM_UnclosedTags(benchmark::State& state)
{
    const std::string text(size_t(state.range(0)), '<');
    for (auto _ : state)
        Render(text);
    state.SetComplexityN(state.range(0));
}

void BM_TagsAndBreaks(benchmark::State& state)
{
    const std::string text = Repeat("<B>", state.range(0)) + Repeat("<BR>", state.range(0));
    for (auto _ : state)
        Render(text);
    state.SetComplexityN(state.range(0));
}

void BM_Highlight(benchmark::State& state)
{
    const std::string markup = Repeat("word <B>wo</B>rd ", state.range(0) / 17);
    for (auto _ : state)
        benchmark::DoNotOptimize(HighlightText(markup, "wo", "HI", false));
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_UnclosedTags)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_TagsAndBreaks)->RangeMultiplier(2)->Range(2500, 20000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_Highlight)->RangeMultiplier(4)->Range(16 << 10, 256 << 10)->Unit(benchmark::kMillisecond)->Complexity();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // fonts for measuring
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
