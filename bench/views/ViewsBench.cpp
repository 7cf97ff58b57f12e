// Speed of the studio's document view on the 10 MB document of the word
// benchmarks: opening (the model's load, then the view's first screen, side
// by side with the model's load alone; and the whole document drawn) and one keystroke in the middle of the
// document, drawn again and painted. Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/views/qz_views_bench
#include "LargeDocument.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/word/DocumentView.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace qz;
using qz::bench::LargeRtf;

namespace {

void BM_ModelLoad(benchmark::State& state) {
    const std::string& rtf = LargeRtf();
    for (auto _ : state) {
        word::Application app;
        app.GetDocuments().Add().LoadRtfText(rtf);
    }
    state.counters["MB"] = static_cast<double>(rtf.size()) / 1e6;
}
BENCHMARK(BM_ModelLoad)->Unit(benchmark::kMillisecond);

void BM_OpenInView(benchmark::State& state) {
    const std::string& rtf = LargeRtf();
    for (auto _ : state) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        views::DocumentView view(doc);
        view.resize(900, 700);
        view.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.blockCount());
    }
}
BENCHMARK(BM_OpenInView)->Unit(benchmark::kMillisecond);

// The whole document drawn, as it is once the program has been idle.
void BM_OpenAndDrawAll(benchmark::State& state) {
    const std::string& rtf = LargeRtf();
    for (auto _ : state) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        views::DocumentView view(doc);
        view.finishRendering();
        benchmark::DoNotOptimize(view.blockCount());
    }
}
BENCHMARK(BM_OpenAndDrawAll)->Unit(benchmark::kMillisecond);

void BM_KeystrokeInTheMiddle(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    views::DocumentView view(doc);
    view.finishRendering();
    view.resize(900, 700);
    view.show();
    const long middle = static_cast<long>(doc.MainStory().size() / 2);
    doc.GetSelection().SetRange(middle, middle);
    view.pushSelection();
    QApplication::processEvents();
    for (auto _ : state) {
        view.typeText("x");
        view.repaint();
    }
}
BENCHMARK(BM_KeystrokeInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
