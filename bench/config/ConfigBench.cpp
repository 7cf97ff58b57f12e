// What the production engine pays at every run: loading a template's QZC file
// and reading its default formats. The plain XML parse of the same file runs
// beside the model's load as the yardstick.
#include "config/QZCFile.h"
#include "core/QzFormat.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A QZC file with the given number of connections of ten commands each.
std::string makeFile(int connections) {
    std::string dir = (std::filesystem::temp_directory_path() / "qzbench-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    std::string path = dir + "/bench.qzc";
    qz::QZCFile file;
    file.CreateNew(path);
    auto props = file.TemplateProperties();
    props->Locale = "1033";
    props->NumberFormat = "NumDigits:2;LeadingDigit:-1;UseParensForNeg:-2;GroupDigits:-1;BlankProtect:0";
    props->Save();
    for (int c = 0; c < connections; ++c) {
        auto cn = file.ConnectionList()->CreateNew();
        cn->Name = "Connection" + std::to_string(c);
        cn->DataSource = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data" + std::to_string(c) + ".mdb";
        cn->ConnectionType = "0";
        for (int k = 0; k < 10; ++k) {
            auto cmd = cn->CommandList()->CreateNew();
            cmd->Name = "Command" + std::to_string(k);
            cmd->Text = "SELECT a, b, c\r\nFROM t" + std::to_string(k) + "\r\nWHERE a > ? AND b < 'x&y'";
        }
    }
    file.TemplateProperties()->Save();
    return path;
}

void BM_QzcLoad(benchmark::State& state) {
    const std::string path = makeFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        qz::QZCFile file;
        file.Load(path);
        benchmark::DoNotOptimize(file.ConnectionList()->Count());
    }
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_QzcLoad)->Arg(1)->Arg(20);

void BM_PugixmlParseOnly(benchmark::State& state) {
    const std::string path = makeFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(path.c_str()));
    }
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_PugixmlParseOnly)->Arg(1)->Arg(20);

void BM_ReadNumberFormat(benchmark::State& state) {
    const std::string text = "Currency;NumDigits:2;LeadingDigit:-1;UseParensForNeg:-2;GroupDigits:-1;BlankProtect:0";
    for (auto _ : state) benchmark::DoNotOptimize(qz::RetrieveNumberFormat(text, true));
}
BENCHMARK(BM_ReadNumberFormat);

void BM_WriteNumberFormat(benchmark::State& state) {
    qz::QzFormatNumber f{2, -1, -2, -1, false, true};
    for (auto _ : state) benchmark::DoNotOptimize(qz::CreateNumberFormatPropertiesStr(f));
}
BENCHMARK(BM_WriteNumberFormat);

} // namespace

BENCHMARK_MAIN();
