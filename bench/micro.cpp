// Micro benchmarks: reading and writing numbers, preparation, and the translation.
// Run: build/bench/tessivor_micro [--benchmark_filter=REGEX]

#include "assembler/translate/compiletext.h"
#include "bench/inputs.h"
#include "runner/machine/number.h"
#include "runner/machine/prepare.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace tessivor {
namespace {

const std::vector<std::string> kNumberTexts = {
    "12345", "-7", "0.333333333333333", "1.5E-07", "15.0858736534783", " 42 ", "1E+15", "2.5"};

void readDoubleTexts(benchmark::State& state) {
    double sum = 0;
    for (auto _ : state) {
        for (const auto& text : kNumberTexts) {
            double value = 0;
            benchmark::DoNotOptimize(readDouble(text, value));
            sum += value;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kNumberTexts.size()));
}
BENCHMARK(readDoubleTexts);

void numberTextOfWholeNumbers(benchmark::State& state) {
    std::string text;
    double value = 0;
    for (auto _ : state) {
        text.clear();
        appendNumberText(text, value);
        value += 1;
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(numberTextOfWholeNumbers);

void numberTextOfFractions(benchmark::State& state) {
    std::string text;
    double k = 1;
    for (auto _ : state) {
        text.clear();
        appendNumberText(text, -1 / k);
        k += 1;
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(numberTextOfFractions);

// What an arithmetic result reads back as: the text written and read, against the shortcut.
void fractionThroughText(benchmark::State& state) {
    std::string text;
    double k = 1, sum = 0;
    for (auto _ : state) {
        text.clear();
        appendNumberText(text, -1 / k);
        double value = 0;
        readDouble(text, value);
        sum += value;
        k += 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fractionThroughText);

void fractionFifteenDigitValue(benchmark::State& state) {
    double k = 1, sum = 0;
    for (auto _ : state) {
        double value = 0;
        if (!fifteenDigitValue(-1 / k, value)) value = 0;
        sum += value;
        k += 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fractionFifteenDigitValue);

void prepareWithoutEndIf(benchmark::State& state) {
    const std::string code = bench::codeWithoutEndIf(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Prepared tables = prepare(code);
        benchmark::DoNotOptimize(tables.codes.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(prepareWithoutEndIf)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

void compiletextSource(benchmark::State& state) {
    const std::string source = bench::assemblySource(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Translation t = compiletext(source);
        benchmark::DoNotOptimize(t.code.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(compiletextSource)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// Ten megabytes, three of them a run of "/" that opens and closes a comment every three
// characters: the scan must stay linear (well under a second).
void compiletextCommentRuns(benchmark::State& state) {
    std::string source(3'000'000, '/');
    for (int k = 0; k < 3'000'000 / 24; ++k)
        source += "set 04, some text here;\n";
    for (int k = 0; k < 5'000'000 / 16; ++k)
        source += "add 01, 02, 03\r\n";
    for (auto _ : state) {
        Translation t = compiletext(source);
        benchmark::DoNotOptimize(t.code.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(compiletextCommentRuns)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tessivor

BENCHMARK_MAIN();
