// The straightforward inverted index: every shared hash walks all earlier
// postings. Slow on redundant batches, simple enough to serve as the
// reference for the comparison index.
#pragma once

#include "analysis/udShingles.h"
#include "engine/DocumentTable.h"
#include "engine/IndexArrays.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quillmark::test {

class PlainMatchIndex {
public:
    struct Match {
        std::int32_t score = 0;
        /// The first earlier document reaching the score; -1 for score 0.
        std::int32_t document = -1;
    };

    /// Indexes every hash of every document. The documents must outlive the
    /// index and stay unchanged. Throws std::length_error beyond 2^32 - 1
    /// hashes, std::bad_alloc when the index does not fit in memory.
    explicit PlainMatchIndex(std::span<const TudShingleList> documents);

    /// The best score of document `current` against documents 0 .. current-1.
    Match bestMatch(std::int32_t current);
    /// The same, and also the `count` earlier documents with the highest
    /// scores above 0 into `ranked`, best first, ties in listing order.
    Match rankMatches(std::int32_t current, std::size_t count, std::vector<RankedMatch>& ranked);

    /// Bytes held by the index itself.
    std::size_t memoryBytes() const;

    template <class T> using Array = IndexArray<T>;

private:
    std::span<const TudShingleList> m_documents;
    /// hash << 32 | document, one per occurrence, sorted: the postings of a
    /// hash are in document order.
    Array<std::uint64_t> m_entries;
    std::size_t m_entryCount = 0;
    /// Per document, where in m_entries its distinct hashes that occur in an
    /// earlier document start (the earlier postings lie just before):
    /// m_shared[m_sharedStart[d] .. m_sharedStart[d + 1]).
    Array<std::uint32_t> m_shared;
    std::size_t m_sharedCount = 0;
    std::vector<std::uint32_t> m_sharedStart;
    /// Per earlier document, its entries found in the current one.
    std::vector<std::uint32_t> m_matches;
    std::vector<std::uint32_t> m_touched;
    std::vector<RankedMatch> m_candidates;
};

} // namespace quillmark::test
