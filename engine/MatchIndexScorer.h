#pragma once

#include "MatchIndex.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmark {

/// The scratch of scoring one document at a time against a complete index:
/// the index itself never changes once built, so each thread that scores
/// holds a scorer of its own and any number of them may run at once.
class MatchIndex::Scorer {
public:
    explicit Scorer(const MatchIndex& index);

    /// As MatchIndex::bestMatch and MatchIndex::rankMatches.
    Match bestMatch(std::int32_t current);
    Match rankMatches(std::int32_t current, std::size_t count, std::vector<RankedMatch>& ranked);

    std::size_t memoryBytes() const;

private:
    /// The document being scored and the best found for it so far.
    struct Visit {
        std::uint32_t self = 0;
        std::int32_t selfSize = 0;
        /// How many ranked matches are wanted; 0 for the best alone.
        std::size_t count = 0;
        std::uint32_t ownGroup = 0;
        /// Whether the document holds its own group's common hashes its
        /// bits say, rather than through the items.
        bool ownFromBits = false;
        Match best;
    };

    Visit beginVisit(std::int32_t current, std::size_t count);
    /// Counts the common hashes of its own cluster that the document holds.
    void readOwnBits(const Visit& visit);
    /// Walks back over the earlier items of each of the document's hashes.
    void walkShared(const Visit& visit);
    void countItem(const Visit& visit, std::uint32_t hash, std::uint32_t item);
    bool countedFromBits(std::uint32_t group) const;
    void consider(Visit& visit, std::int32_t score, std::uint32_t document);
    std::int32_t scoreOf(const Visit& visit, std::int64_t matches, std::int32_t size) const;
    /// Scores the documents met through differences one by one and sets them
    /// aside from their group's size tree.
    void scoreTouched(Visit& visit);
    void scoreFromBits(Visit& visit, std::uint32_t group);
    /// Scores the other earlier members of a group, which have exactly its
    /// common matches, from their sizes alone.
    void scoreGroup(Visit& visit, std::uint32_t group);
    void scoreLevels(Visit& visit, std::uint32_t group, std::uint32_t common);
    /// Puts back what the visit took out and clears what it touched.
    void endVisit();
    Match rank(const Visit& visit, std::vector<RankedMatch>& ranked);

    /// The least size over the members at positions [0, end) of a group.
    std::int32_t leastSize(std::uint32_t group, std::uint32_t end) const;
    /// The first member position whose size is at most `size`; past the
    /// members when there is none.
    std::uint32_t firstAtMost(std::uint32_t group, std::int32_t size) const;
    void setSize(std::uint32_t group, std::uint32_t position, std::int32_t size);
    /// Walks the lacking lists of the common hashes met in a cluster, or
    /// marks the group to be counted from the members' bits when cheaper.
    void countLacks(std::uint32_t group, std::uint32_t self);
    /// Matches of `self` with every earlier member of a group counted from
    /// the bits, each passed to `consider`.
    template <class Consider>
    void countFromBits(std::uint32_t group, std::uint32_t self, Consider&& consider);
    /// One difference more (or less) for an earlier document.
    void addDifference(std::uint32_t document, std::int32_t difference);

    const MatchIndex& m_index;
    /// The index's size trees, members taken out while a document is scored.
    std::vector<std::int32_t> m_sizeTree;
    /// Per cluster, the common hashes met, and whether its members are
    /// counted from their bits (the visit's number then).
    std::vector<std::vector<std::uint32_t>> m_met;
    std::vector<std::uint32_t> m_fullVisit;
    /// Common matches per group, difference per document, documents and
    /// groups met.
    std::vector<std::uint32_t> m_common;
    std::vector<std::int32_t> m_difference;
    std::vector<std::uint32_t> m_seen;
    std::uint32_t m_visit = 0;
    std::vector<std::uint32_t> m_touched;
    std::vector<std::uint32_t> m_touchedGroups;
    std::vector<std::uint32_t> m_taken;
    std::vector<std::uint32_t> m_fullGroups;
    std::vector<std::uint64_t> m_currentBits;
    std::vector<std::uint32_t> m_bitMatches;
    std::vector<RankedMatch> m_candidates;
};

} // namespace quillmark
