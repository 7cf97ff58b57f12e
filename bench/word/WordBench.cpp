// Speed of the word-processor model on a large template: RTF load and save
// in MB/s, a field insert in the middle of the document, and recolouring
// every field.
#include "designer/modMSWordFields.h"
#include "platform/word/Application.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

using namespace qz;

namespace {

// About 10 MB of RTF: paragraphs of mixed formats, a statement or an
// expression field in every fifth paragraph.
const std::string& LargeRtf() {
    static const std::string rtf = [] {
        ::setenv("XDG_DATA_HOME", "/tmp", 0);
        word::Application app;
        word::Document& doc = app.GetDocuments().Add();
        designer::modMSWordFields fields(app);
        word::Selection& sel = app.GetSelection();
        const std::string words =
            "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
            "incididunt ut labore et dolore magna aliqua. Caf\xC3\xA9 na\xC3\xAFve \xC2\xA7 12 {x} \\ y. ";
        for (int p = 0; p < 16000; ++p) {
            sel.GetFont().SetColorIndex(p % 3 == 0 ? 2 : 0);
            sel.TypeText(words);
            sel.GetFont().SetColorIndex(0);
            sel.TypeText(words);
            if (p % 5 == 0) {
                if (p % 10 == 0) fields.InsertStatementField({0, 0, "Row " + std::to_string(p), 0, 0, "x = x + 1"});
                else fields.InsertExpressionField("Total", "rs.Fields(\"T\").Value", "Number;NumDigits:2", "-1");
            }
            sel.TypeText(words);
            sel.TypeText("\r");
        }
        return doc.ToRtf();
    }();
    return rtf;
}

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

} // namespace

BENCHMARK_MAIN();
