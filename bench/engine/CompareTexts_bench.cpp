// The comparison stage on synthetic tables: documents of about 400 shingles,
// 5% of them near-copies of an earlier one.
#include "engine/MatchIndex.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>

namespace {

using quillmark::MatchIndex;
using quillmark::TudShingleList;

std::vector<TudShingleList> syntheticTable(int documents) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<std::uint32_t> hash;
    std::uniform_int_distribution<int> size(380, 420);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<TudShingleList> table(static_cast<std::size_t>(documents));
    for (int d = 0; d < documents; ++d) {
        TudShingleList& list = table[static_cast<std::size_t>(d)];
        if (d > 0 && percent(random) < 5) {
            // A near-copy: an earlier text with a tenth of its shingles new.
            list.Hashes = table[std::uniform_int_distribution<int>(0, d - 1)(random)].Hashes;
            for (std::uint32_t& h : list.Hashes)
                if (percent(random) < 10)
                    h = hash(random);
        } else {
            list.Hashes.resize(static_cast<std::size_t>(size(random)));
            for (std::uint32_t& h : list.Hashes)
                h = hash(random);
        }
        list.Count = static_cast<std::int32_t>(list.Hashes.size());
    }
    return table;
}

/// Peak resident memory of the process so far, in MiB.
double peakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void CompareTexts(benchmark::State& state) {
    const auto table = syntheticTable(static_cast<int>(state.range(0)));
    std::size_t hashBytes = 0;
    for (const TudShingleList& list : table)
        hashBytes += list.Hashes.size() * sizeof(std::uint32_t);
    std::size_t indexBytes = 0;
    std::int64_t passed = 0;
    for (auto _ : state) {
        MatchIndex index(table);
        passed = 1;
        for (std::int32_t k = 1; k < static_cast<std::int32_t>(table.size()); ++k)
            passed += index.bestMatch(k).score <= 20 ? 1 : 0;
        indexBytes = index.memoryBytes();
        benchmark::DoNotOptimize(passed);
    }
    state.counters["passed"] = static_cast<double>(passed);
    state.counters["hashes_MiB"] = static_cast<double>(hashBytes) / (1 << 20);
    state.counters["index_MiB"] = static_cast<double>(indexBytes) / (1 << 20);
    state.counters["index_per_hashes"] = static_cast<double>(indexBytes) / hashBytes;
    state.counters["peak_RSS_MiB"] = peakResidentMiB();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(CompareTexts)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
