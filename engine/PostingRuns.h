// The posting entries of many files gathered while they are written, grouped
// by range of the hash space as they come, so that the ranges can be stored
// one by one at the end without sorting everything at once.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

class PostingRuns {
public:
    /// Entries wait ungrouped until there are this many.
    static constexpr std::size_t RunEntries = std::size_t{1} << 20;

    /// Adds the entries of `file`'s hashes.
    void add(std::uint32_t file, std::span<const std::uint32_t> hashes);
    /// Groups what waits: call before asking for buckets.
    void finish();
    /// The buckets holding entries, ascending (after finish()).
    std::vector<std::uint32_t> buckets() const;
    /// The entries of `bucket` (PostingBucket::entry), sorted and distinct,
    /// into `entries`.
    void take(std::uint32_t bucket, std::vector<std::uint64_t>& entries) const;
    bool empty() const { return m_waiting.empty() && m_runs.empty(); }
    void clear();

private:
    /// Entries grouped by bucket, each bucket's in the order they came.
    struct Run {
        std::vector<std::uint64_t> entries;
        /// Where each bucket starts in entries; one more at the end.
        std::vector<std::uint32_t> starts;
    };
    void group();

    /// (hash << 32 | file), in the order they came.
    std::vector<std::uint64_t> m_waiting;
    std::vector<Run> m_runs;
};

} // namespace quillmark
