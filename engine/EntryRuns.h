// Sorted entries of hash << 32 | document, and the runs of one hash in them.
#pragma once

#include "Pacer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmark {

/// A hash held by at least this many documents gathers them into a group.
constexpr std::uint32_t kFrequent = 16;

inline std::uint32_t hashOf(std::uint64_t entry) {
    return static_cast<std::uint32_t>(entry >> 32);
}

inline std::uint32_t lowHalf(std::uint64_t entry) {
    return static_cast<std::uint32_t>(entry);
}

/// A run of entries of one hash: [first, last).
struct Run {
    std::uint32_t first;
    std::uint32_t last;
};

/// Calls visit(first, last) for each run of one hash in sorted entries.
template <class Visit>
void forEachRun(const std::uint64_t* entries, std::size_t total, Pacer& pacer, Visit&& visit) {
    for (std::size_t first = 0; first < total;) {
        const std::uint32_t hash = hashOf(entries[first]);
        std::size_t last = first + 1;
        while (last < total && hashOf(entries[last]) == hash)
            ++last;
        visit(first, last);
        pacer.step(last - first);
        first = last;
    }
}

/// Documents in a run of entries: one per distinct document.
inline std::uint32_t distinctDocuments(const std::uint64_t* entries, std::size_t first,
                                       std::size_t last) {
    std::uint32_t count = 1;
    for (std::size_t i = first + 1; i < last; ++i)
        count += entries[i] != entries[i - 1] ? 1 : 0;
    return count;
}

/// Splits the listed runs into spans of about equal entries for `threads`
/// threads: span s is runs [bounds[s], bounds[s + 1]).
inline std::vector<std::size_t> spansOf(const std::vector<Run>& runs, int threads) {
    const std::size_t spans = partsFor(threads);
    std::vector<std::size_t> bounds{0};
    if (runs.empty()) {
        bounds.push_back(0);
        return bounds;
    }
    const std::size_t begin = runs.front().first;
    const std::size_t length = runs.back().last - begin;
    for (std::size_t s = 1; s < spans; ++s) {
        const std::size_t at = begin + length * s / spans;
        bounds.push_back(static_cast<std::size_t>(
            std::partition_point(runs.begin(), runs.end(),
                                 [at](const Run& run) { return run.first < at; }) -
            runs.begin()));
    }
    bounds.push_back(runs.size());
    return bounds;
}

} // namespace quillmark
