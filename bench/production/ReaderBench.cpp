// The template reader on a large template: thousands of statement and
// expression fields between runs of formatted text, several megabytes.
#include "production/ProgramGenerator.h"
#include "production/RtfInterpreter.h"

#include "../../tests/production/TemplateRtf.h"

#include <benchmark/benchmark.h>

using namespace qz::production;

namespace {

// A template of `rows` table rows, each with a loop statement, four
// expressions of different kinds and formatted text between them.
std::string largeTemplate(int rows) {
    using namespace qz::test;
    std::string body;
    for (int i = 0; i < rows; ++i) {
        body += "\\pard\\plain\\f2\\fs20 Line {\\b " + std::to_string(i) + "} of the order: ";
        body += statementField("Row " + std::to_string(i), "If Lines.Fields(\"Quantity\").Value > 0 Then");
        body += "\\trowd\\trgaph108\\cellx4000\\cellx6000\\cellx8000\\pard\\intbl ";
        body += expressionField("Description", "Lines.Fields(\"Description\").Value", "String;MaxLength:40;BlankProtect:0");
        body += "\\cell ";
        body += expressionField("Quantity", "Lines.Fields(\"Quantity\").Value",
                                "Number;NumDigits:0;LeadingDigit:-1;UseParensForNeg:0;GroupDigits:-1;BlankProtect:0");
        body += "\\cell ";
        body += expressionField("Price", "Lines.Fields(\"UnitPrice\").Value", "Currency;UseDefaultProperties:-1", "1036");
        body += "\\cell\\row ";
        body += statementField("End " + std::to_string(i), "End If_QZCRLFLines.MoveNext");
        body += " Caf\\'e9 cr\\'e8me {\\i br\\'fbl\\'e9e}\\par\r\n";
    }
    return rtfDocument(body);
}

void BM_ReadTemplate(benchmark::State& state) {
    const std::string text = largeTemplate(static_cast<int>(state.range(0)));
    std::int64_t fields = 0;
    for (auto _ : state) {
        RtfInterpreter r;
        r.ExtractRTFAndQzFields(text);
        fields = r.NbElement() - r.NbRtfPureElement();
        benchmark::DoNotOptimize(fields);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["fields"] = static_cast<double>(fields);
}
BENCHMARK(BM_ReadTemplate)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

void BM_ReadAndGenerate(benchmark::State& state) {
    const std::string text = largeTemplate(static_cast<int>(state.range(0)));
    TemplateDefaults d;
    d.Locale = 1033;
    d.CurrencyFormat = "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:0";
    for (auto _ : state) {
        RtfInterpreter r;
        r.ExtractRTFAndQzFields(text);
        FieldLineTable t;
        benchmark::DoNotOptimize(CreateVirtualProgram(r, d, t));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadAndGenerate)->Arg(4000)->Unit(benchmark::kMillisecond);

// The program generation alone, over a template read once (bytes: the template's).
void BM_GenerateProgram(benchmark::State& state) {
    const std::string text = largeTemplate(static_cast<int>(state.range(0)));
    TemplateDefaults d;
    d.Locale = 1033;
    d.CurrencyFormat = "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-1;GroupDigits:-1;BlankProtect:0";
    RtfInterpreter r;
    r.ExtractRTFAndQzFields(text);
    for (auto _ : state) {
        FieldLineTable t;
        benchmark::DoNotOptimize(CreateVirtualProgram(r, d, t));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_GenerateProgram)->Arg(4000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
