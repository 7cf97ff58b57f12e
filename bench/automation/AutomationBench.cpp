// Variant copies, the numeric operators, comparisons, coercions to text and
// the library objects: the values and calls every script statement goes
// through.
#include "platform/automation/Collection.h"
#include "platform/automation/LocaleFormat.h"
#include "platform/automation/VariantOps.h"
#include "platform/script/runtime/Dictionary.h"
#include "platform/script/runtime/RegExp.h"
#include "platform/script/runtime/Runtime.h"

#include <benchmark/benchmark.h>

using namespace qz;

static void BM_VariantCopyString(benchmark::State& state) {
    Variant s(std::u16string(u"a string shared by reference"));
    for (auto _ : state) {
        Variant copy = s;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_VariantCopyString);

static void BM_AddIntegers(benchmark::State& state) {
    Variant acc(static_cast<std::int32_t>(0)), one(static_cast<std::int16_t>(1));
    for (auto _ : state) {
        acc = ops::add(acc, one);
        if (acc.longValue() > 1000000) acc = Variant(static_cast<std::int32_t>(0));
    }
    benchmark::DoNotOptimize(acc);
}
BENCHMARK(BM_AddIntegers);

static void BM_MultiplyDoubles(benchmark::State& state) {
    Variant a(1.0000001), b(0.9999999);
    for (auto _ : state) {
        Variant r = ops::multiply(a, b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_MultiplyDoubles);

static void BM_AddCurrency(benchmark::State& state) {
    Variant a = Variant::currency(12345678), b(2.5);
    for (auto _ : state) {
        Variant r = ops::add(a, b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_AddCurrency);

static void BM_CompareTextMode(benchmark::State& state) {
    Variant a(u"Customer Name"), b(u"CUSTOMER NAME");
    for (auto _ : state) benchmark::DoNotOptimize(ops::compare(a, b, ops::CompareMode::Text));
}
BENCHMARK(BM_CompareTextMode);

static void BM_Concat(benchmark::State& state) {
    Variant a(u"Total: "), b(1234.5);
    for (auto _ : state) {
        Variant r = ops::concat(a, b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_Concat);

static void BM_DoubleToText(benchmark::State& state) {
    Variant v(1.0 / 3);
    for (auto _ : state) benchmark::DoNotOptimize(v.toString());
}
BENCHMARK(BM_DoubleToText);

static void BM_TextToDate(benchmark::State& state) {
    Variant v(u"1/15/2004 6:30:00 PM");
    for (auto _ : state) benchmark::DoNotOptimize(v.toDate());
}
BENCHMARK(BM_TextToDate);

static void BM_FormatNumber(benchmark::State& state) {
    const script::BuiltinFunction* f = script::findBuiltin(u"FormatNumber");
    std::vector<Variant> args{Variant(1234567.891), Variant(static_cast<std::int16_t>(2))};
    for (auto _ : state) benchmark::DoNotOptimize(f->fn(args));
}
BENCHMARK(BM_FormatNumber);

static void BM_DictionaryLookup(benchmark::State& state) {
    Ref<script::Dictionary> d(new script::Dictionary);
    for (std::int32_t i = 0; i < 1000; ++i) d->add(Variant(u"key" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(i / 26 + 1, u'x')), Variant(i));
    Variant key(u"keyKxxxxxxxxxxxxxxxxxxxx");
    d->setItem(key, Variant(1));
    for (auto _ : state) benchmark::DoNotOptimize(d->exists(key));
}
BENCHMARK(BM_DictionaryLookup);

static void BM_CollectionByKey(benchmark::State& state) {
    Ref<Collection> c(new Collection);
    for (int i = 0; i < 200; ++i) c->add(Variant(static_cast<std::int32_t>(i)), u"Field" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(i / 26, u'z'));
    for (auto _ : state) benchmark::DoNotOptimize(c->find(u"FIELDQZZZ"));
}
BENCHMARK(BM_CollectionByKey);

static void BM_RegExpReplace(benchmark::State& state) {
    Ref<script::RegExp> re(new script::RegExp);
    re->pattern = u"(\\d+)-(\\d+)";
    re->global = true;
    std::u16string subject;
    for (int i = 0; i < 50; ++i) subject += u"item 12-34 and 56-78; ";
    for (auto _ : state) benchmark::DoNotOptimize(re->replace(subject, u"$2-$1"));
}
BENCHMARK(BM_RegExpReplace);

static void BM_SwitchLocale(benchmark::State& state) {
    LocaleFormat fr = LocaleFormat::english();
    fr.lcid = 1036;
    fr.decimalSep = u",";
    fr.monthNames = {u"janvier", u"f\u00E9vrier", u"mars", u"avril", u"mai", u"juin",
                     u"juillet", u"ao\u00FBt", u"septembre", u"octobre", u"novembre", u"d\u00E9cembre"};
    const LocaleFormat& en = LocaleFormat::english();
    for (auto _ : state) {
        setCurrentLocale(fr);
        setCurrentLocale(en);
    }
}
BENCHMARK(BM_SwitchLocale);

BENCHMARK_MAIN();
