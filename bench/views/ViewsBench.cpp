// Speed of the studio's document view on the 10 MB document of the word
// benchmarks: opening (the model's load, then the view's first screen, side
// by side with the model's load alone; and the whole document drawn), one
// keystroke near the start, in the middle and near the end of the document,
// drawn again and painted, and one notch of the mouse wheel. Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/views/qz_views_bench
#include "LargeDocument.h"
#include "platform/word/Application.h"
#include "platform/word/Range.h"
#include "platform/word/Table.h"
#include "views/word/DocumentView.h"

#include <QApplication>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

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

// Times of a step repeated, as counters: the median, the 90th percentile and the worst, ms.
class StepTimes {
public:
    void add(std::chrono::steady_clock::duration d) { ms_.push_back(std::chrono::duration<double, std::milli>(d).count()); }
    void report(benchmark::State& state) {
        if (ms_.empty()) return;
        std::sort(ms_.begin(), ms_.end());
        state.counters["median_ms"] = ms_[ms_.size() / 2];
        state.counters["p90_ms"] = ms_[ms_.size() * 9 / 10];
        state.counters["worst_ms"] = ms_.back();
    }

private:
    std::vector<double> ms_;
};

// One keystroke at a fraction (per thousand) of the document, drawn again
// and painted, as the studio shows it: the window shown, the cursor there.
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
    StepTimes times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        view.typeText("x", true);
        view.repaint();
        times.add(std::chrono::steady_clock::now() - start);
    }
    times.report(state);
}
BENCHMARK(BM_Keystroke)->Arg(1)->Arg(500)->Arg(999)->Unit(benchmark::kMillisecond)->Iterations(100);

// One keystroke in a cell of a table of 20 rows x 4 columns in the middle of
// the document, drawn again and painted, with whatever drawing it left for
// later (all of the work the key costs).
void BM_KeystrokeInCell(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    word::Story& story = doc.MainStory();
    long at = static_cast<long>(story.size() / 2);
    while (story[static_cast<std::size_t>(at - 1)].Kind() != word::AtomKind::ParaEnd) ++at;
    const word::Table table = word::Table::Add(doc, story, at, 20, 4);
    const long cell = table.CellStart(10, 1);
    views::DocumentView view(doc);
    view.finishRendering();
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();
    StepTimes times;
    long typed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        doc.GetSelection().SetRange(cell + typed, cell + typed);
        view.pushSelection();
        ++typed;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        view.typeText("x", true);
        view.repaint();
        view.finishRendering();
        times.add(std::chrono::steady_clock::now() - start);
    }
    times.report(state);
}
BENCHMARK(BM_KeystrokeInCell)->Unit(benchmark::kMillisecond)->Iterations(100);

// One notch of the mouse wheel, painted, from the top of the document down
// (opened as a user opens it: what is not laid out yet is laid out as the
// wheel reaches it).
void BM_WheelNotch(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    views::DocumentView view(doc);
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();
    QWidget* port = view.viewport();
    StepTimes times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QWheelEvent wheel(QPointF(400, 300), port->mapToGlobal(QPointF(400, 300)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &wheel);
        view.repaint();
        times.add(std::chrono::steady_clock::now() - start);
    }
    times.report(state);
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
