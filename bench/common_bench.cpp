// Per-call cost of the text kernels that run once per file in every scan and
// snapshot load, each measured beside the C library's own routine for the
// same job in the same run:
//   locale comparison ignoring case   vs strcoll (case-sensitive, no folding)
//   natural-order comparison          vs strverscmp
//   date-time text writer             vs localtime_r + strftime + milliseconds
//   date-time text reader             vs strptime + mktime
// Run: build/bench/common_bench  (bench/run_common_bench.sh prints the ratios).
#include <benchmark/benchmark.h>

#include <clocale>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/compare.h"
#include "common/date_time.h"

using namespace tandrel;

namespace {

// File names as a real tree has them: shared prefixes, digits, mixed case,
// a few accented letters.
std::vector<std::string> SampleNames() {
    std::vector<std::string> names;
    const char* stems[] = {"report", "Report", "IMG_", "photo", "Übersicht", "readme", "data", "café"};
    for (int i = 0; i < 1024; ++i) {
        std::string name = stems[i % 8];
        name += std::to_string((i * 7919) % 1000);
        name += (i % 3 == 0) ? ".txt" : (i % 3 == 1) ? ".JPG" : ".cpp";
        names.push_back(std::move(name));
    }
    return names;
}

const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = SampleNames();
    return names;
}

template <typename Compare>
void RunPairs(benchmark::State& state, Compare compare) {
    const auto& names = Names();
    std::size_t i = 0;
    int sink = 0;
    for (auto _ : state) {
        const std::string& a = names[i & 1023];
        const std::string& b = names[(i * 31 + 17) & 1023];
        sink += compare(a, b);
        ++i;
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations());
}

void BM_CompareTextLocale(benchmark::State& state) {
    RunPairs(state, [](const std::string& a, const std::string& b) { return CompareTextLocale(a, b); });
}

void BM_Peer_strcoll(benchmark::State& state) {
    std::setlocale(LC_COLLATE, "C.UTF-8");
    std::setlocale(LC_COLLATE, "");
    RunPairs(state, [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()); });
}

void BM_CompareLogical(benchmark::State& state) {
    RunPairs(state, [](const std::string& a, const std::string& b) { return CompareLogical(a, b); });
}

void BM_Peer_strverscmp(benchmark::State& state) {
    RunPairs(state, [](const std::string& a, const std::string& b) { return strverscmp(a.c_str(), b.c_str()); });
}

// 2013-06-26 13:47:44.123 plus one odd millisecond step per call.
constexpr double kBase = 41451.574816238426;

void BM_FormatDateTimeMs(benchmark::State& state) {
    double t = kBase;
    for (auto _ : state) {
        std::string text = FormatDateTimeMs(t);
        benchmark::DoNotOptimize(text);
        t += 0.0000123;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Peer_strftime(benchmark::State& state) {
    std::time_t t = 1372254464;
    long ms = 123;
    char buffer[64];
    for (auto _ : state) {
        std::tm fields;
        localtime_r(&t, &fields);
        std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &fields);
        std::snprintf(buffer + n, sizeof buffer - n, ".%03ld", ms);
        std::string text(buffer);
        benchmark::DoNotOptimize(text);
        ++t;
        ms = (ms + 7) % 1000;
    }
    state.SetItemsProcessed(state.iterations());
}

const char* const kTexts[] = {"2013-06-26 13:47:44.123", "1999-12-31 23:59:59.999", "2024-02-29 00:00:00.000",
                              "2001-01-01 08:15:30.500"};

void BM_ParseIsoDateTime(benchmark::State& state) {
    std::size_t i = 0;
    double sum = 0;
    for (auto _ : state) sum += ParseIsoDateTime(kTexts[i++ & 3]);
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

void BM_Peer_strptime(benchmark::State& state) {
    std::size_t i = 0;
    long sum = 0;
    for (auto _ : state) {
        std::tm fields{};
        strptime(kTexts[i++ & 3], "%Y-%m-%d %H:%M:%S", &fields);
        fields.tm_isdst = -1;
        sum += static_cast<long>(std::mktime(&fields));
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_CompareTextLocale);
BENCHMARK(BM_Peer_strcoll);
BENCHMARK(BM_CompareLogical);
BENCHMARK(BM_Peer_strverscmp);
BENCHMARK(BM_FormatDateTimeMs);
BENCHMARK(BM_Peer_strftime);
BENCHMARK(BM_ParseIsoDateTime);
BENCHMARK(BM_Peer_strptime);

BENCHMARK_MAIN();
