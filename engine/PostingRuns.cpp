#include "PostingRuns.h"

#include "PostingBucket.h"

#include <algorithm>

namespace quillmark {

void PostingRuns::add(std::uint32_t file, std::span<const std::uint32_t> hashes) {
    // Kept from run to run: no copies as it grows, no pages given back.
    if (m_waiting.capacity() < RunEntries)
        m_waiting.reserve(RunEntries + hashes.size());
    for (const std::uint32_t hash : hashes)
        m_waiting.push_back(std::uint64_t{hash} << 32 | file);
    if (m_waiting.size() >= RunEntries)
        group();
}

void PostingRuns::finish() {
    if (!m_waiting.empty())
        group();
}

void PostingRuns::group() {
    // One stable counting pass by bucket.
    constexpr int shift = 32 + PostingBucket::LowBits;
    Run run;
    run.starts.assign(PostingBucket::BucketCount + 1, 0);
    for (const std::uint64_t entry : m_waiting)
        ++run.starts[(entry >> shift) + 1];
    for (std::size_t b = 1; b < run.starts.size(); ++b)
        run.starts[b] += run.starts[b - 1];
    std::vector<std::uint32_t> next(run.starts.begin(), run.starts.end() - 1);
    run.entries.resize(m_waiting.size());
    for (const std::uint64_t entry : m_waiting)
        run.entries[next[entry >> shift]++] = PostingBucket::entry(
            static_cast<std::uint32_t>(entry >> 32), static_cast<std::uint32_t>(entry));
    m_runs.push_back(std::move(run));
    m_waiting.clear();
}

std::vector<std::uint32_t> PostingRuns::buckets() const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t b = 0; b < PostingBucket::BucketCount; ++b)
        for (const Run& run : m_runs)
            if (run.starts[b + 1] > run.starts[b]) {
                found.push_back(b);
                break;
            }
    return found;
}

void PostingRuns::take(std::uint32_t bucket, std::vector<std::uint64_t>& entries) const {
    entries.clear();
    for (const Run& run : m_runs)
        entries.insert(entries.end(), run.entries.begin() + run.starts[bucket],
                       run.entries.begin() + run.starts[bucket + 1]);
    // Two stable passes over the low bits keep each hash's files in the order
    // they came, which is file order when they came so.
    constexpr int digitBits = (PostingBucket::LowBits + 1) / 2;
    thread_local std::vector<std::uint64_t> sorted;
    sorted.resize(entries.size());
    for (int shift = 32; shift < 32 + PostingBucket::LowBits; shift += digitBits) {
        std::uint32_t next[(1 << digitBits) + 1] = {};
        constexpr std::uint64_t mask = (std::uint64_t{1} << digitBits) - 1;
        for (const std::uint64_t entry : entries)
            ++next[((entry >> shift) & mask) + 1];
        for (std::size_t d = 1; d <= (1u << digitBits); ++d)
            next[d] += next[d - 1];
        for (const std::uint64_t entry : entries)
            sorted[next[(entry >> shift) & mask]++] = entry;
        entries.swap(sorted);
    }
    if (!std::is_sorted(entries.begin(), entries.end()))
        std::sort(entries.begin(), entries.end());
    // A text may hold a shingle more than once.
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

void PostingRuns::clear() {
    m_waiting = {};
    m_runs = {};
}

} // namespace quillmark
