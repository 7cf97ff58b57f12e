// Speed of the word-processor model on a large template: RTF load and save
// in MB/s, a field insert in the middle of the document, and recolouring
// every field; and how opening grows with the size of the font table.
#include "LargeDocument.h"
#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

using namespace qz;

using qz::bench::LargeRtf;

namespace {

void BM_LoadRtf(benchmark::State& state) {
    const std::string& rtf = LargeRtf();
    for (auto _ : state) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        benchmark::DoNotOptimize(doc.MainStory().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
    state.counters["MB"] = static_cast<double>(rtf.size()) / 1e6;
}
BENCHMARK(BM_LoadRtf)->Unit(benchmark::kMillisecond);

void BM_SaveRtf(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out = doc.ToRtf();
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_SaveRtf)->Unit(benchmark::kMillisecond);

// One statement field inserted in the middle of the large document (the
// insert, its colours and its SET code, with the view saved and restored).
void BM_InsertFieldInLargeDocument(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    designer::modMSWordFields fields(app);
    word::Selection& sel = app.GetSelection();
    long middle = doc.Content().End() / 2;
    for (auto _ : state) {
        sel.SetRange(middle, middle);
        fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    }
    state.counters["atoms"] = static_cast<double>(doc.MainStory().size());
}
BENCHMARK(BM_InsertFieldInLargeDocument)->Unit(benchmark::kMicrosecond);

// The same with the insertion point jumping between a quarter and three
// quarters of the document: every insert moves the edit gap across half of it.
void BM_InsertFieldFarFromLastEdit(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    designer::modMSWordFields fields(app);
    word::Selection& sel = app.GetSelection();
    long quarter = doc.Content().End() / 4;
    bool far = false;
    for (auto _ : state) {
        long at = far ? 3 * quarter : quarter;
        far = !far;
        sel.SetRange(at, at);
        fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    }
}
BENCHMARK(BM_InsertFieldFarFromLastEdit)->Unit(benchmark::kMicrosecond);

// Reading the field at a selection in the large document.
void BM_ReadFieldInLargeDocument(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    designer::modMSWordFields fields(app);
    word::Selection& sel = app.GetSelection();
    long middle = doc.Content().End() / 2;
    sel.SetRange(middle, middle);
    fields.InsertStatementField({0, 0, "Customer", 0, 0, "x = 1"});
    long end = sel.Start();
    for (auto _ : state) {
        sel.SetRange(middle, end);
        benchmark::DoNotOptimize(fields.ReadStatementField());
    }
}
BENCHMARK(BM_ReadFieldInLargeDocument)->Unit(benchmark::kMicrosecond);

// Command 60 on the whole large document: every field's code and colours.
void BM_RestoreFieldsColorLargeDocument(benchmark::State& state) {
    word::Application app;
    word::Document& doc = app.GetDocuments().Add();
    doc.LoadRtfText(LargeRtf());
    designer::modMSWordFields fields(app);
    for (auto _ : state) fields.RestoreFieldsColor();
}
BENCHMARK(BM_RestoreFieldsColorLargeDocument)->Unit(benchmark::kMillisecond);

// Opening a document whose font table has N entries, each used by a run of
// its own, and saving it: the time must grow in proportion to N (the
// complexity line of the report), not as N squared.
std::string ManyFontsRtf(int n) {
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl";
    for (int k = 0; k < n; ++k) rtf += "{\\f" + std::to_string(k) + "\\fnil\\fcharset0 Font " + std::to_string(k) + ";}";
    rtf += "}\r\n";
    for (int k = 0; k < n; ++k) rtf += "{\\f" + std::to_string(k) + " text " + std::to_string(k) + "}\\par\r\n";
    return rtf + "}";
}

void BM_LoadAndSaveManyFonts(benchmark::State& state) {
    const std::string rtf = ManyFontsRtf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        doc.LoadRtfText(rtf);
        std::string out = doc.ToRtf();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadAndSaveManyFonts)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
