#include "MatchIndexScorer.h"

#include "EntryRuns.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <span>

namespace quillmark {

namespace {

/// Per row of `words` words, the bits it shares with `current`; with the
/// processor's population count where it has one.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("popcnt", "default")))
#endif
void countCommonBits(const std::uint64_t* current, const std::uint64_t* rows, std::uint32_t words,
                     std::uint32_t count, std::uint32_t* shared) {
    for (std::uint32_t r = 0; r < count; ++r, rows += words) {
        std::uint32_t bits = 0;
        for (std::uint32_t w = 0; w < words; ++w)
            bits += static_cast<std::uint32_t>(std::popcount(current[w] & rows[w]));
        shared[r] = bits;
    }
}

} // namespace

MatchIndex::Scorer::Scorer(const MatchIndex& index)
    : m_index(index)
    , m_sizeTree(index.m_sizeTree)
    , m_met(index.m_clusters.size())
    , m_fullVisit(index.m_clusters.size(), 0)
    , m_common(index.m_documents.size(), 0)
    , m_difference(index.m_documents.size(), 0)
    , m_seen(index.m_documents.size(), 0) {}

std::int32_t MatchIndex::Scorer::leastSize(std::uint32_t group, std::uint32_t end) const {
    const std::int32_t* tree = m_sizeTree.data() + m_index.m_treeStart[group];
    std::uint32_t low = std::bit_ceil(m_index.groupSize(group));
    std::uint32_t high = low + end;
    std::int32_t least = NoSize;
    for (; low < high; low >>= 1, high >>= 1) {
        if (low & 1)
            least = std::min(least, tree[low++]);
        if (high & 1)
            least = std::min(least, tree[--high]);
    }
    return least;
}

std::uint32_t MatchIndex::Scorer::firstAtMost(std::uint32_t group, std::int32_t size) const {
    const std::int32_t* tree = m_sizeTree.data() + m_index.m_treeStart[group];
    const std::uint32_t leaves = std::bit_ceil(m_index.groupSize(group));
    if (tree[1] > size)
        return leaves;
    std::uint32_t node = 1;
    while (node < leaves)
        node = tree[2 * node] <= size ? 2 * node : 2 * node + 1;
    return node - leaves;
}

void MatchIndex::Scorer::setSize(std::uint32_t group, std::uint32_t position, std::int32_t size) {
    setLeaf(m_sizeTree.data() + m_index.m_treeStart[group], m_index.groupSize(group), position,
            size);
}

inline void MatchIndex::Scorer::addDifference(std::uint32_t document, std::int32_t difference) {
    if (m_seen[document] != m_visit) {
        m_seen[document] = m_visit;
        m_difference[document] = 0;
        m_touched.push_back(document);
    }
    m_difference[document] += difference;
}

void MatchIndex::Scorer::countLacks(std::uint32_t group, std::uint32_t self) {
    const std::uint32_t number = m_index.m_clusterOf[group] - 1;
    const Cluster& cluster = m_index.m_clusters[number];
    std::vector<std::uint32_t>& met = m_met[number];
    std::size_t lacks = 0;
    for (std::uint32_t i : met)
        lacks += cluster.lackStart[i + 1] - cluster.lackStart[i];
    // Walking the lists costs about their earlier part, the share of earlier
    // members; the bits cost a few words per earlier member.
    if (lacks > std::size_t{cluster.words + 4} * m_index.groupSize(group)) {
        m_fullVisit[number] = m_visit;
        m_fullGroups.push_back(group);
        return;
    }
    const std::uint32_t earlier = m_index.positionIn(group, self);
    for (std::uint32_t i : met) {
        for (std::uint32_t l = cluster.lackStart[i]; l < cluster.lackStart[i + 1]; ++l) {
            const std::uint32_t position = cluster.lacks[l];
            if (position >= earlier)
                break;
            addDifference(m_index.m_members[m_index.m_memberStart[group] + position], -1);
        }
    }
    met.clear();
}

template <class Consider>
void MatchIndex::Scorer::countFromBits(std::uint32_t group, std::uint32_t self,
                                       Consider&& consider) {
    const std::uint32_t number = m_index.m_clusterOf[group] - 1;
    const Cluster& cluster = m_index.m_clusters[number];
    std::vector<std::uint32_t>& met = m_met[number];
    const std::uint32_t words = cluster.words;
    m_currentBits.assign(words, 0);
    for (std::uint32_t i : met)
        m_currentBits[i / 64] |= std::uint64_t{1} << i % 64;
    met.clear();
    const std::uint32_t earlier = m_index.positionIn(group, self);
    m_bitMatches.resize(earlier);
    countCommonBits(m_currentBits.data(), cluster.holds.data(), words, earlier,
                    m_bitMatches.data());
    for (std::uint32_t p = 0; p < earlier; ++p) {
        const std::uint32_t document = m_index.m_members[m_index.m_memberStart[group] + p];
        std::int64_t matches = m_bitMatches[p];
        if (m_seen[document] == m_visit)
            matches += m_difference[document];
        if (matches > 0)
            consider(matches, document, cluster.sizes[p]);
    }
}

MatchIndex::Match MatchIndex::Scorer::bestMatch(std::int32_t current) {
    std::vector<RankedMatch> none;
    return rankMatches(current, 0, none);
}

MatchIndex::Match MatchIndex::Scorer::rankMatches(std::int32_t current, std::size_t count,
                                                  std::vector<RankedMatch>& ranked) {
    assert(m_index.m_complete && "the index was built to its end");
    assert(current >= 0 && static_cast<std::size_t>(current) < m_index.m_documents.size() &&
           "the current document is one of the indexed ones");
    Visit visit = beginVisit(current, count);
    if (visit.ownFromBits)
        readOwnBits(visit);
    walkShared(visit);
    for (std::uint32_t group : m_touchedGroups)
        if (m_index.m_clusterOf[group] != 0)
            countLacks(group, visit.self);
    m_candidates.clear();
    scoreTouched(visit);
    for (std::uint32_t group : m_fullGroups)
        scoreFromBits(visit, group);
    for (std::uint32_t group : m_touchedGroups)
        scoreGroup(visit, group);
    endVisit();
    return rank(visit, ranked);
}

MatchIndex::Scorer::Visit MatchIndex::Scorer::beginVisit(std::int32_t current, std::size_t count) {
    if (++m_visit == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0);
        std::fill(m_fullVisit.begin(), m_fullVisit.end(), 0);
        m_visit = 1;
    }
    Visit visit;
    visit.self = static_cast<std::uint32_t>(current);
    visit.selfSize = m_index.sizeOf(visit.self);
    visit.count = count;
    // A member of a cluster, not its first, holds its group's common hashes
    // its bits say.
    visit.ownGroup = m_index.m_group[visit.self];
    visit.ownFromBits = visit.ownGroup != visit.self && m_index.m_clusterOf[visit.ownGroup] != 0;
    return visit;
}

void MatchIndex::Scorer::readOwnBits(const Visit& visit) {
    const std::uint32_t group = visit.ownGroup;
    const Cluster& cluster = m_index.m_clusters[m_index.m_clusterOf[group] - 1];
    std::vector<std::uint32_t>& met = m_met[m_index.m_clusterOf[group] - 1];
    const std::uint64_t* holds =
        cluster.holds.data() + std::size_t{m_index.positionIn(group, visit.self)} * cluster.words;
    for (std::uint32_t w = 0; w < cluster.words; ++w)
        for (std::uint64_t bits = holds[w]; bits != 0; bits &= bits - 1)
            met.push_back(w * 64 + static_cast<std::uint32_t>(std::countr_zero(bits)));
    m_common[group] = static_cast<std::uint32_t>(met.size());
    if (m_common[group] > 0)
        m_touchedGroups.push_back(group);
}

// Repeats in the current document add nothing (one run per hash); repeats in
// an earlier one count once each.
void MatchIndex::Scorer::walkShared(const Visit& visit) {
    const std::uint32_t* first = m_index.m_shared.get() + m_index.m_sharedStart[visit.self];
    const std::uint32_t* last = m_index.m_shared.get() + m_index.m_sharedStart[visit.self + 1];
    constexpr std::ptrdiff_t kAhead = 8;
    for (const std::uint32_t* it = first; it != last; ++it) {
        if (last - it > kAhead)
            __builtin_prefetch(&m_index.m_items[it[kAhead] - 1]);
        const std::size_t at = *it;
        const std::uint32_t hash = hashOf(m_index.m_items[at - 1]); // at may start the next run
        for (std::size_t p = at; p > 0 && hashOf(m_index.m_items[p - 1]) == hash; --p)
            countItem(visit, hash, lowHalf(m_index.m_items[p - 1]));
    }
}

inline void MatchIndex::Scorer::countItem(const Visit& visit, std::uint32_t hash,
                                          std::uint32_t item) {
    const std::uint32_t order = item >> 2;
    if ((item & 3) != Common) {
        addDifference(order, 1);
        return;
    }
    if (visit.ownFromBits && order == visit.ownGroup)
        return;
    if (m_common[order]++ == 0)
        m_touchedGroups.push_back(order);
    const std::uint32_t clusterOf = m_index.m_clusterOf[order];
    if (clusterOf == 0)
        return;
    const Cluster& cluster = m_index.m_clusters[clusterOf - 1];
    m_met[clusterOf - 1].push_back(static_cast<std::uint32_t>(
        std::lower_bound(cluster.hashes.begin(), cluster.hashes.end(), hash) -
        cluster.hashes.begin()));
}

inline bool MatchIndex::Scorer::countedFromBits(std::uint32_t group) const {
    return m_index.m_clusterOf[group] != 0 &&
           m_fullVisit[m_index.m_clusterOf[group] - 1] == m_visit;
}

inline void MatchIndex::Scorer::consider(Visit& visit, std::int32_t score, std::uint32_t document) {
    if (score == 0)
        return;
    const auto index = static_cast<std::int32_t>(document);
    if (score > visit.best.score || (score == visit.best.score && index < visit.best.document))
        visit.best = {score, index};
    if (visit.count > 0)
        m_candidates.push_back({index, score});
}

inline std::int32_t MatchIndex::Scorer::scoreOf(const Visit& visit, std::int64_t matches,
                                                std::int32_t size) const {
    return PercentOfMatches(matches, std::max(size, visit.selfSize));
}

void MatchIndex::Scorer::scoreTouched(Visit& visit) {
    for (std::uint32_t document : m_touched) {
        const std::uint32_t group = m_index.m_group[document];
        if (countedFromBits(group))
            continue;
        const std::int64_t matches = std::int64_t{m_common[group]} + m_difference[document];
        assert(matches >= 0 && "a member lacks only common hashes it was counted for");
        if (matches > 0)
            consider(visit, scoreOf(visit, matches, m_index.sizeOf(document)), document);
        if (m_common[group] > 0 && m_index.groupSize(group) > 1)
            setSize(group, m_index.positionIn(group, document), NoSize);
    }
}

void MatchIndex::Scorer::scoreFromBits(Visit& visit, std::uint32_t group) {
    countFromBits(group, visit.self,
                  [&](std::int64_t matches, std::uint32_t document, std::int32_t memberSize) {
                      const std::int32_t size = std::max(memberSize, visit.selfSize);
                      // The score is at most the truncated quotient: only a member that may
                      // still win in a best-only scoring is scored exactly. (The quotient
                      // stays below `needed` exactly when 100 * matches does below
                      // needed * size; no division.)
                      const std::int64_t needed =
                          visit.best.score +
                          (static_cast<std::int32_t>(document) > visit.best.document ? 1 : 0);
                      if (visit.count == 0 && 100 * matches < needed * size)
                          return;
                      consider(visit, PercentOfMatches(matches, size), document);
                  });
}

void MatchIndex::Scorer::scoreGroup(Visit& visit, std::uint32_t group) {
    if (countedFromBits(group))
        return;
    const std::uint32_t common = m_common[group];
    if (m_index.groupSize(group) == 1) {
        if (m_seen[group] != m_visit)
            consider(visit, scoreOf(visit, common, m_index.sizeOf(group)), group);
        return;
    }
    scoreLevels(visit, group, common);
    const std::uint32_t* members = m_index.m_members.data() + m_index.m_memberStart[group];
    for (std::uint32_t position : m_taken)
        setSize(group, position, m_index.sizeOf(members[position]));
    m_taken.clear();
}

// Level by level (all members up to the largest size giving the best
// remaining score), each level in listing order, taking a member out of the
// tree once counted.
void MatchIndex::Scorer::scoreLevels(Visit& visit, std::uint32_t group, std::uint32_t common) {
    const auto members = std::span(m_index.m_members)
                             .subspan(m_index.m_memberStart[group], m_index.groupSize(group));
    const std::uint32_t end = m_index.positionIn(group, visit.self);
    const std::size_t wanted = std::max<std::size_t>(visit.count, 1);
    std::size_t taken = 0;
    while (taken < wanted) {
        const std::int32_t least = leastSize(group, end);
        if (least == NoSize)
            return;
        const std::int32_t low = std::max(least, visit.selfSize);
        const std::int32_t score = PercentOfMatches(common, low);
        if (score == 0 || (visit.count == 0 && score < visit.best.score))
            return;
        const std::int32_t high = m_index.largestSizeFor(common, low, score);
        for (; taken < wanted; ++taken) {
            const std::uint32_t position = firstAtMost(group, high);
            if (position >= end)
                break;
            consider(visit, score, members[position]);
            setSize(group, position, NoSize);
            m_taken.push_back(position);
        }
    }
}

void MatchIndex::Scorer::endVisit() {
    for (std::uint32_t document : m_touched) {
        const std::uint32_t group = m_index.m_group[document];
        if (m_common[group] == 0 || m_index.groupSize(group) < 2 || countedFromBits(group))
            continue;
        setSize(group, m_index.positionIn(group, document), m_index.sizeOf(document));
    }
    for (std::uint32_t group : m_touchedGroups)
        m_common[group] = 0;
    m_touched.clear();
    m_touchedGroups.clear();
    m_fullGroups.clear();
}

// Collected in a scratch list: `ranked` is kept per document, and a capacity
// the size of every document met would stay with it.
MatchIndex::Match MatchIndex::Scorer::rank(const Visit& visit, std::vector<RankedMatch>& ranked) {
    const auto higher = [](const RankedMatch& a, const RankedMatch& b) {
        return a.score != b.score ? a.score > b.score : a.document < b.document;
    };
    const auto kept = static_cast<std::ptrdiff_t>(std::min(visit.count, m_candidates.size()));
    std::partial_sort(m_candidates.begin(), m_candidates.begin() + kept, m_candidates.end(),
                      higher);
    ranked.assign(m_candidates.begin(), m_candidates.begin() + kept);
    return visit.best;
}

std::size_t MatchIndex::Scorer::memoryBytes() const {
    const auto bytes = [](const auto& vector) { return vector.capacity() * sizeof(vector[0]); };
    return bytes(m_sizeTree) + bytes(m_met) + bytes(m_fullVisit) + bytes(m_common) +
           bytes(m_difference) + bytes(m_seen) + bytes(m_touched) + bytes(m_touchedGroups) +
           bytes(m_taken) + bytes(m_candidates);
}

} // namespace quillmark
