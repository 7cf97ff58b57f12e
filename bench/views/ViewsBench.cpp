// Speed of the studio's document view on the 10 MB document of the word
// benchmarks: opening (the model's load, then the view's first screen, side
// by side with the model's load alone; and the whole document drawn), one
// keystroke near the start, in the middle and near the end of the document,
// drawn again and painted, and one notch of the mouse wheel. Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/views/qz_views_bench
#include "LargeDocument.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "views/word/DocumentView.h"

#include <QApplication>
#include <QWheelEvent>

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

// One keystroke at a fraction (per thousand) of the document, drawn again and painted.
void BM_Keystroke(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    views::DocumentView view(doc);
    view.finishRendering();
    view.resize(900, 700);
    view.show();
    const long at = static_cast<long>(doc.MainStory().size() * static_cast<std::size_t>(state.range(0)) / 1000);
    doc.GetSelection().SetRange(at, at);
    view.pushSelection();
    QApplication::processEvents();
    for (auto _ : state) {
        view.typeText("x");
        view.repaint();
    }
}
BENCHMARK(BM_Keystroke)->Arg(1)->Arg(500)->Arg(999)->Unit(benchmark::kMillisecond)->Iterations(100);

// One notch of the mouse wheel, painted, from the top of the document down.
void BM_WheelNotch(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    views::DocumentView view(doc);
    view.finishRendering();
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();
    QWidget* port = view.viewport();
    for (auto _ : state) {
        QWheelEvent wheel(QPointF(400, 300), port->mapToGlobal(QPointF(400, 300)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &wheel);
        view.repaint();
    }
}
BENCHMARK(BM_WheelNotch)->Unit(benchmark::kMillisecond)->Iterations(100);

// A document of one table of N rows of three cells, opened and drawn whole:
// the time must grow in proportion to N (the complexity line of the report).
void BM_OpenTableInView(benchmark::State& state) {
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\r\n";
    for (long r = 0; r < state.range(0); ++r)
        rtf += "\\trowd\\cellx2000\\cellx4000\\cellx6000\\pard\\intbl Row " + std::to_string(r) +
               "\\cell\\pard\\intbl B\\cell\\pard\\intbl C\\cell\\row\r\n";
    rtf += "\\pard after\\par}";
    for (auto _ : state) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        views::DocumentView view(doc);
        view.finishRendering();
        benchmark::DoNotOptimize(view.blockCount());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_OpenTableInView)->RangeMultiplier(4)->Range(256, 16384)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication qt(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
