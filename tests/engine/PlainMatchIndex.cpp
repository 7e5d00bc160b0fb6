#include "PlainMatchIndex.h"

#include "engine/IndexArrays.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>
#include <stdexcept>

namespace quillmark::test {

namespace {

/// Sorts the entries with two counting passes on the top bits of the hash
/// (first into 256 streams, then each cache-sized part by itself), then each
/// small bucket by a plain sort. Random writes over the whole array would
/// miss the cache on nearly every entry.
void sortEntries(std::span<const TudShingleList> documents, std::uint64_t* entries,
                 std::size_t total) {
    // About eight entries per final bucket.
    const int bits = std::clamp(
        static_cast<int>(std::bit_width(std::max<std::size_t>(total / 8, 1))) - 1, 0, 28);
    const int outerBits = std::min(bits, 8);
    const std::size_t outer = std::size_t{1} << outerBits;

    std::vector<std::uint32_t> outerStart(outer + 1, 0);
    for (const TudShingleList& list : documents)
        for (std::uint32_t hash : list.Hashes)
            ++outerStart[topBits(hash, outerBits) + 1];
    for (std::size_t b = 0; b < outer; ++b)
        outerStart[b + 1] += outerStart[b];
    {
        std::vector<std::uint32_t> cursor(outerStart.begin(), outerStart.end() - 1);
        for (std::size_t d = 0; d < documents.size(); ++d)
            for (std::uint32_t hash : documents[d].Hashes)
                entries[cursor[topBits(hash, outerBits)]++] = std::uint64_t{hash} << 32 | d;
    }

    const std::size_t inner = std::size_t{1} << (bits - outerBits);
    const std::uint32_t innerMask = static_cast<std::uint32_t>(inner - 1);
    std::vector<std::uint32_t> innerStart(inner + 1);
    std::vector<std::uint64_t> part;
    for (std::size_t b = 0; b < outer; ++b) {
        std::uint64_t* const first = entries + outerStart[b];
        const std::size_t size = outerStart[b + 1] - outerStart[b];
        if (inner == 1) {
            std::sort(first, first + size);
            continue;
        }
        const auto innerOf = [bits, innerMask](std::uint64_t entry) {
            return topBits(static_cast<std::uint32_t>(entry >> 32), bits) & innerMask;
        };
        std::fill(innerStart.begin(), innerStart.end(), 0);
        for (std::size_t i = 0; i < size; ++i)
            ++innerStart[innerOf(first[i]) + 1];
        for (std::size_t i = 0; i < inner; ++i)
            innerStart[i + 1] += innerStart[i];
        part.resize(size);
        std::vector<std::uint32_t> cursor(innerStart.begin(), innerStart.end() - 1);
        for (std::size_t i = 0; i < size; ++i)
            part[cursor[innerOf(first[i])]++] = first[i];
        for (std::size_t i = 0; i < inner; ++i)
            std::sort(part.begin() + innerStart[i], part.begin() + innerStart[i + 1]);
        std::copy(part.begin(), part.end(), first);
    }
}

} // namespace

PlainMatchIndex::PlainMatchIndex(std::span<const TudShingleList> documents)
    : m_documents(documents)
    , m_sharedStart(documents.size() + 1, 0)
    , m_matches(documents.size(), 0) {
    std::size_t total = 0;
    for (const TudShingleList& list : documents)
        total += list.Hashes.size();
    if (total >= std::numeric_limits<std::uint32_t>::max() ||
        documents.size() >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("Too many shingles to compare");

    m_entries = allocateArray<std::uint64_t>(total);
    m_entryCount = total;
    sortEntries(documents, m_entries.get(), total);

    // A document's run of a hash that follows another document's run of the
    // same hash is one its scoring has to walk back from; every other hash of
    // it can match nothing earlier and is never looked at.
    const std::uint64_t* entries = m_entries.get();
    const auto sharedRunStarts = [entries, total](auto&& visit) {
        for (std::size_t i = 1; i < total; ++i)
            if (entries[i] != entries[i - 1] && (entries[i] >> 32) == (entries[i - 1] >> 32))
                visit(i, static_cast<std::uint32_t>(entries[i]));
    };
    sharedRunStarts([this](std::size_t, std::uint32_t document) { ++m_sharedStart[document + 1]; });
    for (std::size_t d = 0; d < documents.size(); ++d)
        m_sharedStart[d + 1] += m_sharedStart[d];
    m_sharedCount = m_sharedStart.back();
    m_shared = allocateArray<std::uint32_t>(m_sharedCount);
    std::vector<std::uint32_t> cursor(m_sharedStart.begin(), m_sharedStart.end() - 1);
    sharedRunStarts([this, &cursor](std::size_t at, std::uint32_t document) {
        m_shared[cursor[document]++] = static_cast<std::uint32_t>(at);
    });
}

PlainMatchIndex::Match PlainMatchIndex::bestMatch(std::int32_t current) {
    std::vector<RankedMatch> none;
    return rankMatches(current, 0, none);
}

PlainMatchIndex::Match PlainMatchIndex::rankMatches(std::int32_t current, std::size_t count,
                                                    std::vector<RankedMatch>& ranked) {
    assert(current >= 0 && static_cast<std::size_t>(current) < m_documents.size() &&
           "the current document is one of the indexed ones");
    const auto self = static_cast<std::size_t>(current);
    const TudShingleList& list = m_documents[self];

    // Repeats in the current document add nothing (one run per hash);
    // repeats in an earlier one count once each (one entry per occurrence).
    const std::uint32_t* first = m_shared.get() + m_sharedStart[self];
    const std::uint32_t* last = m_shared.get() + m_sharedStart[self + 1];
    constexpr std::ptrdiff_t kAhead = 8;
    for (const std::uint32_t* it = first; it != last; ++it) {
        if (last - it > kAhead)
            __builtin_prefetch(&m_entries[it[kAhead] - 1]);
        const std::size_t at = *it;
        const std::uint32_t hash = static_cast<std::uint32_t>(m_entries[at] >> 32);
        for (std::size_t p = at; p > 0 && (m_entries[p - 1] >> 32) == hash; --p) {
            const auto document = static_cast<std::uint32_t>(m_entries[p - 1]);
            if (m_matches[document]++ == 0)
                m_touched.push_back(document);
        }
    }

    // Collected in a scratch list: `ranked` is kept per document, and a
    // capacity the size of every document touched would stay with it.
    m_candidates.clear();
    Match best;
    for (std::uint32_t document : m_touched) {
        const std::int64_t denominator = std::max(m_documents[document].Count, list.Count);
        const std::int32_t score = PercentOfMatches(m_matches[document], denominator);
        m_matches[document] = 0;
        const auto index = static_cast<std::int32_t>(document);
        if (score > best.score || (score == best.score && score > 0 && index < best.document))
            best = {score, index};
        if (count > 0 && score > 0)
            m_candidates.push_back({index, score});
    }
    m_touched.clear();

    const auto higher = [](const RankedMatch& a, const RankedMatch& b) {
        return a.score != b.score ? a.score > b.score : a.document < b.document;
    };
    const auto kept = static_cast<std::ptrdiff_t>(std::min(count, m_candidates.size()));
    std::partial_sort(m_candidates.begin(), m_candidates.begin() + kept, m_candidates.end(),
                      higher);
    ranked.assign(m_candidates.begin(), m_candidates.begin() + kept);
    return best;
}

std::size_t PlainMatchIndex::memoryBytes() const {
    return m_entryCount * sizeof(std::uint64_t) + m_sharedCount * sizeof(std::uint32_t) +
           m_sharedStart.capacity() * sizeof(std::uint32_t) +
           m_matches.capacity() * sizeof(std::uint32_t) +
           m_touched.capacity() * sizeof(std::uint32_t) +
           m_candidates.capacity() * sizeof(RankedMatch);
}

} // namespace quillmark::test
