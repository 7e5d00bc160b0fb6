#include "MatchIndex.h"

#include "EntryRuns.h"
#include "EntrySort.h"
#include "GroupVote.h"
#include "MatchIndexScorer.h"
#include "Pacer.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace quillmark {

namespace {

/// A standing that is only its own group's common item: kept unless the
/// group turns out to be a cluster, whose members read it from their bits.
constexpr std::uint64_t kOwnCommon = std::uint64_t{1} << 63;

/// Raises a document's anchor key to `key` if that is larger; other threads
/// may raise it at once.
inline void raiseKey(std::uint64_t& slot, std::uint64_t key) {
    std::atomic_ref<std::uint64_t> shared(slot);
    std::uint64_t held = shared.load(std::memory_order_relaxed);
    while (key > held && !shared.compare_exchange_weak(held, key, std::memory_order_relaxed)) {
    }
}

/// Per part of the streams, the runs of frequent hashes, each holder's key
/// raised to that of a hash held by at least kFrequent documents.
std::vector<Run> anchorPart(const std::uint64_t* entries, std::size_t begin, std::size_t end,
                            std::vector<std::uint64_t>& anchorKey, Pacer& pacer) {
    std::vector<Run> runs;
    const std::uint64_t* const part = entries + begin;
    forEachRun(part, end - begin, pacer, [&](std::size_t first, std::size_t last) {
        if (last - first < kFrequent)
            return;
        runs.push_back(
            {static_cast<std::uint32_t>(begin + first), static_cast<std::uint32_t>(begin + last)});
        const std::uint32_t holders = distinctDocuments(part, first, last);
        if (holders < kFrequent)
            return;
        const std::uint64_t key = std::uint64_t{holders} << 32 | ~hashOf(part[first]);
        for (std::size_t i = first; i < last; ++i)
            raiseKey(anchorKey[lowHalf(part[i])], key);
    });
    return runs;
}

} // namespace

/// Each document's anchor: its hash held by the most documents (the smallest
/// such hash on a tie), if that is a frequent one, as the largest key
/// holders << 32 | ~hash, or 0. Only runs of frequent hashes matter to
/// grouping; they are listed for the passes that follow.
struct MatchIndex::Anchors {
    std::vector<std::uint64_t> key;
    std::vector<Run> frequentRuns;

    bool anchored(std::uint32_t document, std::uint32_t hash) const {
        return key[document] != 0 && ~lowHalf(key[document]) == hash;
    }
};

/// A part of the entries, whole streams, whose items a thread writes from
/// its start.
struct MatchIndex::Range {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t written = 0;
    /// Per document, where it stands in each run that has items before it:
    /// document << 32 | item position from `begin`, maybe with kOwnCommon.
    std::vector<std::uint64_t> standings;
    /// The parts of clusters met in the range, and their groups.
    std::vector<std::uint32_t> clusterGroups;
    std::vector<Cluster> clusters;
};

/// A thread's scratch for writing items, and the run it is at.
struct MatchIndex::RangeScratch {
    std::vector<std::uint32_t> holders;
    std::vector<std::uint32_t> mark;
    std::uint32_t runNumber = 0;
    std::vector<std::uint32_t> clusterOf;
    /// Whether a member of the group lacked one of its common hashes in the
    /// range so far.
    std::vector<std::uint8_t> lacking;
    std::vector<std::uint32_t> groupsMet;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runDocuments; // document, occurrences
    std::vector<std::uint32_t> runItems;
};

/// Every group's cluster, joined from the ranges: clusters[clusterOf[g] - 1].
struct MatchIndex::JoinedClusters {
    std::vector<Cluster> clusters;
    std::vector<std::uint32_t> clusterOf;
};

MatchIndex::MatchIndex(std::span<const TudShingleList> documents, const StopCheck& stop,
                       int threads)
    : m_documents(documents) {
    try {
        build(stop, std::max(threads, 1));
        m_complete = true;
    } catch (const Stopped&) {
        m_complete = false;
    }
}

void MatchIndex::build(const StopCheck& stop, int threads) {
    const std::size_t total = countHashes();
    Pacer pacer(stop);
    Array<std::uint64_t> entries = allocateArray<std::uint64_t>(total);
    const std::vector<std::uint32_t> streamStart =
        sortEntries(m_documents, entries.get(), total, threads, stop);
    Anchors anchors = chooseAnchors(entries.get(), streamStart, threads, stop);
    groupByAnchor(entries.get(), anchors, threads, stop);
    anchors.key = {};
    GroupVote(m_group, entries.get(), anchors.frequentRuns, threads, stop).run();
    anchors.frequentRuns = {};
    layOutMembers();
    std::vector<Range> ranges = writeItems(entries.get(), streamStart, threads, stop);
    closeUpRanges(std::move(entries), ranges, pacer);
    JoinedClusters joined = joinClusters(ranges, threads, stop);
    recordShared(ranges, joined, pacer);
    keepClusters(joined, pacer);
    buildSizeTrees();
}

std::size_t MatchIndex::countHashes() {
    std::size_t total = 0;
    for (const TudShingleList& list : m_documents) {
        total += list.Hashes.size();
        m_largestSize = std::max(m_largestSize, list.Count);
    }
    if (total >= std::numeric_limits<std::uint32_t>::max() ||
        m_documents.size() >= (std::size_t{1} << 30))
        throw std::length_error("Too many shingles to compare");
    return total;
}

// Ranges of streams on the threads may raise one document's key at once.
MatchIndex::Anchors MatchIndex::chooseAnchors(const std::uint64_t* entries,
                                              const std::vector<std::uint32_t>& streamStart,
                                              int threads, const StopCheck& stop) const {
    Anchors anchors;
    anchors.key.assign(m_documents.size(), 0);
    const std::size_t streams = streamStart.size() - 1;
    const std::size_t parts = partsFor(threads);
    std::vector<std::vector<Run>> partRuns(parts);
    inParallel(threads, parts, stop, [&](std::size_t part, std::size_t, Pacer& pacer) {
        partRuns[part] = anchorPart(entries, streamStart[streams * part / parts],
                                    streamStart[streams * (part + 1) / parts], anchors.key, pacer);
    });
    for (const std::vector<Run>& runs : partRuns)
        anchors.frequentRuns.insert(anchors.frequentRuns.end(), runs.begin(), runs.end());
    return anchors;
}

// Documents with the same anchor form a group named by its first member;
// each document is met in the run of its anchor only.
void MatchIndex::groupByAnchor(const std::uint64_t* entries, const Anchors& anchors, int threads,
                               const StopCheck& stop) {
    const std::size_t n = m_documents.size();
    m_group.resize(n);
    for (std::size_t d = 0; d < n; ++d)
        m_group[d] = static_cast<std::uint32_t>(d);
    const std::vector<Run>& runs = anchors.frequentRuns;
    const std::vector<std::size_t> spans = spansOf(runs, threads);
    inParallel(threads, spans.size() - 1, stop, [&](std::size_t span, std::size_t, Pacer& pacer) {
        for (std::size_t r = spans[span]; r < spans[span + 1]; ++r) {
            const std::uint32_t hash = hashOf(entries[runs[r].first]);
            std::uint32_t leader = std::numeric_limits<std::uint32_t>::max();
            for (std::size_t i = runs[r].first; i < runs[r].last; ++i) {
                const std::uint32_t document = lowHalf(entries[i]);
                if (!anchors.anchored(document, hash))
                    continue;
                leader = std::min(leader, document);
                m_group[document] = leader;
            }
            pacer.step(runs[r].last - runs[r].first);
        }
    });
}

void MatchIndex::layOutMembers() {
    const std::size_t n = m_documents.size();
    m_memberStart.assign(n + 1, 0);
    for (std::size_t d = 0; d < n; ++d)
        ++m_memberStart[m_group[d] + 1];
    for (std::size_t g = 0; g < n; ++g)
        m_memberStart[g + 1] += m_memberStart[g];
    m_members.resize(n);
    std::vector<std::uint32_t> cursor(m_memberStart.begin(), m_memberStart.end() - 1);
    for (std::size_t d = 0; d < n; ++d)
        m_members[cursor[m_group[d]]++] = static_cast<std::uint32_t>(d);
}

// A hash most members of a group hold is a common item of the group; members
// without it are listed as lacking it, members holding it more than once get
// one more per repeat, and holders of a hash not common to their group one
// more per occurrence. A run of entries never yields more items than
// entries, so the items are written in place. Each thread takes ranges of
// whole streams, writes a range's items from its start, and notes for each
// document where it stands in each run that has items before it; the ranges
// then close up in order.
std::vector<MatchIndex::Range> MatchIndex::writeItems(std::uint64_t* entries,
                                                      const std::vector<std::uint32_t>& streamStart,
                                                      int threads, const StopCheck& stop) const {
    const std::size_t streams = streamStart.size() - 1;
    const std::size_t rangeCount = partsFor(threads);
    std::vector<Range> ranges(rangeCount);
    for (std::size_t r = 0; r < rangeCount; ++r) {
        ranges[r].begin = streamStart[streams * r / rangeCount];
        ranges[r].end = streamStart[streams * (r + 1) / rangeCount];
    }
    std::vector<RangeScratch> scratches(static_cast<std::size_t>(threads));
    inParallel(threads, rangeCount, stop, [&](std::size_t r, std::size_t thread, Pacer& pacer) {
        writeRange(ranges[r], scratches[thread], entries, pacer);
    });
    return ranges;
}

void MatchIndex::writeRange(Range& range, RangeScratch& scratch, std::uint64_t* entries,
                            Pacer& pacer) const {
    const std::size_t n = m_documents.size();
    if (scratch.holders.empty()) {
        scratch.holders.assign(n, 0);
        scratch.mark.assign(n, 0);
        scratch.clusterOf.assign(n, 0);
        scratch.lacking.assign(n, 0);
    }
    std::uint64_t* const part = entries + range.begin;
    // At most one per entry; pages never written are never taken from the
    // system, and copies of several documents would otherwise grow it
    // through many reallocations.
    range.standings.reserve(range.end - range.begin);
    forEachRun(part, range.end - range.begin, pacer, [&](std::size_t first, std::size_t last) {
        if (alone(part, first, last))
            writeAloneRun(range, part, first, last);
        else
            writeSharedRun(range, scratch, part, first, last);
    });
    for (std::uint32_t group : range.clusterGroups) {
        scratch.clusterOf[group] = 0;
        scratch.lacking[group] = 0;
    }
}

// A run of one entry, or of documents that are each a group by themselves,
// gives one item per entry.
inline bool MatchIndex::alone(const std::uint64_t* run, std::size_t first, std::size_t last) const {
    if (last - first == 1)
        return true;
    for (std::size_t i = first; i < last; ++i)
        if (groupSize(m_group[lowHalf(run[i])]) != 1)
            return false;
    return true;
}

// Each holder is its own group (a common item for its first occurrence and
// one more per repeat, already in order), or the only holder. The items may
// overwrite entries just read.
inline void MatchIndex::writeAloneRun(Range& range, std::uint64_t* entries, std::size_t first,
                                      std::size_t last) const {
    const std::uint64_t hash = hashOf(entries[first]);
    std::uint64_t* const out = entries + range.written;
    std::uint64_t previous = 0;
    for (std::size_t i = first; i < last; ++i) {
        const std::uint64_t entry = entries[i];
        const std::uint32_t document = lowHalf(entry);
        const bool repeat = i > first && entry == previous;
        if (!repeat && i > first)
            range.standings.push_back(std::uint64_t{document} << 32 | (range.written + i - first));
        const bool common = !repeat && groupSize(m_group[document]) == 1;
        out[i - first] = hash << 32 | std::uint64_t{document} << 2 | (common ? Common : OneMore);
        previous = entry;
    }
    range.written += last - first;
}

inline void MatchIndex::writeSharedRun(Range& range, RangeScratch& scratch, std::uint64_t* entries,
                                       std::size_t first, std::size_t last) const {
    const std::uint32_t hash = hashOf(entries[first]);
    gatherHolders(scratch, entries, first, last);
    listCommonItems(range, scratch, hash);
    listOneMoreItems(scratch);
    std::sort(scratch.runItems.begin(), scratch.runItems.end());
    std::uint64_t* const out = entries + range.written;
    for (std::size_t i = 0; i < scratch.runItems.size(); ++i)
        out[i] = std::uint64_t{hash} << 32 | scratch.runItems[i];
    noteStandings(range, scratch);
    range.written += scratch.runItems.size();
}

/// The run's documents with their occurrences, each marked as holding the
/// run's hash, and the holders per group met.
inline void MatchIndex::gatherHolders(RangeScratch& scratch, const std::uint64_t* entries,
                                      std::size_t first, std::size_t last) const {
    const std::uint32_t runNumber = ++scratch.runNumber;
    scratch.runDocuments.clear();
    scratch.runItems.clear();
    for (std::size_t i = first; i < last; ++i) {
        const std::uint32_t document = lowHalf(entries[i]);
        if (i > first && entries[i] == entries[i - 1]) {
            ++scratch.runDocuments.back().second;
            continue;
        }
        scratch.runDocuments.emplace_back(document, 1);
        scratch.mark[document] = runNumber;
        const std::uint32_t group = m_group[document];
        if (scratch.holders[group]++ == 0)
            scratch.groupsMet.push_back(group);
    }
}

/// A common item for each group most of whose members hold the hash, whose
/// holders then count 1 for it, others 0.
inline void MatchIndex::listCommonItems(Range& range, RangeScratch& scratch,
                                        std::uint32_t hash) const {
    for (std::uint32_t group : scratch.groupsMet) {
        const bool common = 2 * std::size_t{scratch.holders[group]} > groupSize(group);
        scratch.holders[group] = common ? 1 : 0;
        if (!common)
            continue;
        scratch.runItems.push_back(group << 2 | Common);
        listLacks(range, scratch, group, hash);
    }
}

/// The members of a group without a common hash, in its cluster's part of
/// the range.
void MatchIndex::listLacks(Range& range, RangeScratch& scratch, std::uint32_t group,
                           std::uint32_t hash) const {
    if (scratch.clusterOf[group] == 0) {
        range.clusters.emplace_back();
        range.clusterGroups.push_back(group);
        scratch.clusterOf[group] = static_cast<std::uint32_t>(range.clusters.size());
    }
    Cluster& cluster = range.clusters[scratch.clusterOf[group] - 1];
    cluster.hashes.push_back(hash);
    cluster.lackStart.push_back(static_cast<std::uint32_t>(cluster.lacks.size()));
    // Without a branch: about half the members of a cluster may lack any one
    // hash, in no order a guess would follow.
    const std::uint32_t size = groupSize(group);
    const std::uint32_t* members = m_members.data() + m_memberStart[group];
    const std::size_t listed = cluster.lacks.size();
    cluster.lacks.resize(listed + size);
    std::uint32_t* lacks = cluster.lacks.data() + listed;
    std::size_t lacking = 0;
    for (std::uint32_t p = 0; p < size; ++p) {
        lacks[lacking] = p;
        lacking += scratch.mark[members[p]] != scratch.runNumber ? 1 : 0;
    }
    cluster.lacks.resize(listed + lacking);
    scratch.lacking[group] |= lacking > 0 ? 1 : 0;
}

// The first occurrence of a common hash in a member is its share of the
// common item.
inline void MatchIndex::listOneMoreItems(RangeScratch& scratch) const {
    for (const auto& [document, occurrences] : scratch.runDocuments) {
        const std::uint32_t shared = scratch.holders[m_group[document]];
        for (std::uint32_t o = shared; o < occurrences; ++o)
            scratch.runItems.push_back(document << 2 | OneMore);
    }
    for (std::uint32_t group : scratch.groupsMet)
        scratch.holders[group] = 0;
    scratch.groupsMet.clear();
}

inline void MatchIndex::noteStandings(Range& range, const RangeScratch& scratch) const {
    const std::vector<std::uint32_t>& runItems = scratch.runItems;
    std::size_t before = 0;
    for (const auto& [document, occurrences] : scratch.runDocuments) {
        while (before < runItems.size() && (runItems[before] >> 2) < document)
            ++before;
        if (before == 0)
            continue;
        const std::uint32_t group = m_group[document];
        const bool ownCommon = before == 1 && runItems[0] == (group << 2 | Common);
        // A group seen lacking a common hash is a cluster already.
        if (ownCommon && scratch.lacking[group] != 0)
            continue;
        range.standings.push_back(std::uint64_t{document} << 32 | (range.written + before) |
                                  (ownCommon ? kOwnCommon : 0));
    }
}

// The ranges close up, in order: none moves over one not yet moved.
void MatchIndex::closeUpRanges(Array<std::uint64_t> entries, const std::vector<Range>& ranges,
                               Pacer& pacer) {
    std::size_t written = 0;
    for (const Range& range : ranges) {
        if (written != range.begin)
            std::memmove(entries.get() + written, entries.get() + range.begin,
                         range.written * sizeof(std::uint64_t));
        written += range.written;
        pacer.step(range.written);
    }
    m_items = std::move(entries);
    m_itemCount = written;
}

// A group's common hashes, met range by range, are in order; the parts of
// each cluster are joined on the threads.
MatchIndex::JoinedClusters MatchIndex::joinClusters(std::vector<Range>& ranges, int threads,
                                                    const StopCheck& stop) const {
    JoinedClusters joined;
    joined.clusterOf.assign(m_documents.size(), 0);
    /// Per cluster, its parts in range order.
    std::vector<std::vector<Cluster*>> parts;
    for (Range& range : ranges) {
        for (std::size_t c = 0; c < range.clusters.size(); ++c) {
            std::uint32_t& number = joined.clusterOf[range.clusterGroups[c]];
            if (number == 0) {
                parts.emplace_back();
                number = static_cast<std::uint32_t>(parts.size());
            }
            parts[number - 1].push_back(&range.clusters[c]);
        }
    }
    joined.clusters.resize(parts.size());
    inParallel(threads, parts.size(), stop, [&](std::size_t k, std::size_t, Pacer& pacer) {
        Cluster& cluster = joined.clusters[k];
        std::size_t hashes = 0;
        std::size_t lacks = 0;
        for (const Cluster* part : parts[k]) {
            hashes += part->hashes.size();
            lacks += part->lacks.size();
        }
        cluster = std::move(*parts[k].front());
        cluster.hashes.reserve(hashes);
        cluster.lackStart.reserve(hashes);
        cluster.lacks.reserve(lacks);
        for (std::size_t p = 1; p < parts[k].size(); ++p) {
            Cluster& part = *parts[k][p];
            const auto shift = static_cast<std::uint32_t>(cluster.lacks.size());
            cluster.hashes.insert(cluster.hashes.end(), part.hashes.begin(), part.hashes.end());
            for (std::uint32_t start : part.lackStart)
                cluster.lackStart.push_back(start + shift);
            cluster.lacks.insert(cluster.lacks.end(), part.lacks.begin(), part.lacks.end());
            pacer.step(part.hashes.size() + part.lacks.size());
            part = {};
        }
    });
    for (Range& range : ranges) {
        range.clusters = {};
        range.clusterGroups = {};
    }
    return joined;
}

// A member of a cluster reads its own group's common hashes from its bits.
inline bool MatchIndex::readsOwnBits(const JoinedClusters& joined, std::uint32_t document) const {
    const std::uint32_t number = joined.clusterOf[m_group[document]];
    return number != 0 && !joined.clusters[number - 1].lacks.empty();
}

void MatchIndex::recordShared(std::vector<Range>& ranges, const JoinedClusters& joined,
                              Pacer& pacer) {
    const std::size_t n = m_documents.size();
    const auto kept = [&](std::uint64_t standing) {
        return (standing & kOwnCommon) == 0 ||
               !readsOwnBits(joined, hashOf(standing & ~kOwnCommon));
    };
    m_sharedStart.assign(n + 1, 0);
    for (const Range& range : ranges)
        for (std::uint64_t standing : range.standings)
            if (kept(standing))
                ++m_sharedStart[hashOf(standing & ~kOwnCommon) + 1];
    for (std::size_t d = 0; d < n; ++d)
        m_sharedStart[d + 1] += m_sharedStart[d];
    m_sharedCount = m_sharedStart[n];
    m_shared = allocateArray<std::uint32_t>(m_sharedCount);
    std::vector<std::uint32_t> cursor(m_sharedStart.begin(), m_sharedStart.end() - 1);
    std::size_t closed = 0;
    for (Range& range : ranges) {
        for (std::uint64_t standing : range.standings)
            if (kept(standing))
                m_shared[cursor[hashOf(standing & ~kOwnCommon)]++] =
                    static_cast<std::uint32_t>(closed + lowHalf(standing));
        closed += range.written;
        pacer.step(range.standings.size());
        range.standings = {};
    }
}

// Only groups whose members lack some common hash keep their lists.
void MatchIndex::keepClusters(JoinedClusters& joined, Pacer& pacer) {
    const std::size_t n = m_documents.size();
    m_clusterOf.assign(n, 0);
    for (std::size_t g = 0; g < n; ++g) {
        if (joined.clusterOf[g] == 0)
            continue;
        Cluster& cluster = joined.clusters[joined.clusterOf[g] - 1];
        if (cluster.lacks.empty()) {
            cluster = {};
            continue;
        }
        setBits(cluster, static_cast<std::uint32_t>(g));
        pacer.step(cluster.hashes.size() + cluster.lacks.size());
        m_clusters.push_back(std::move(cluster));
        m_clusterOf[g] = static_cast<std::uint32_t>(m_clusters.size());
    }
}

/// Closes the lacking lists and sets each member's bits and size.
void MatchIndex::setBits(Cluster& cluster, std::uint32_t group) const {
    cluster.lackStart.push_back(static_cast<std::uint32_t>(cluster.lacks.size()));
    const std::size_t common = cluster.hashes.size();
    const std::uint32_t size = groupSize(group);
    cluster.words = static_cast<std::uint32_t>((common + 63) / 64);
    cluster.sizes.resize(size);
    for (std::uint32_t p = 0; p < size; ++p)
        cluster.sizes[p] = sizeOf(m_members[m_memberStart[group] + p]);
    cluster.holds.assign(std::size_t{size} * cluster.words, ~std::uint64_t{0});
    if (common % 64 != 0)
        for (std::size_t p = 0; p < size; ++p)
            cluster.holds[(p + 1) * cluster.words - 1] = (std::uint64_t{1} << common % 64) - 1;
    for (std::size_t i = 0; i < common; ++i)
        for (std::uint32_t l = cluster.lackStart[i]; l < cluster.lackStart[i + 1]; ++l)
            cluster.holds[cluster.lacks[l] * cluster.words + i / 64] &=
                ~(std::uint64_t{1} << i % 64);
}

void MatchIndex::buildSizeTrees() {
    const std::size_t n = m_documents.size();
    const auto shared = [this](std::size_t g) {
        return m_group[g] == g && groupSize(static_cast<std::uint32_t>(g)) >= 2;
    };
    m_treeStart.assign(n, 0);
    std::size_t treeTotal = 0;
    for (std::size_t g = 0; g < n; ++g) {
        if (!shared(g))
            continue;
        m_treeStart[g] = static_cast<std::uint32_t>(treeTotal);
        treeTotal += 2 * std::bit_ceil(groupSize(static_cast<std::uint32_t>(g)));
    }
    m_sizeTree.assign(treeTotal, NoSize);
    for (std::size_t g = 0; g < n; ++g) {
        if (!shared(g))
            continue;
        const auto group = static_cast<std::uint32_t>(g);
        for (std::uint32_t p = 0; p < groupSize(group); ++p)
            setLeaf(m_sizeTree.data() + m_treeStart[group], groupSize(group), p,
                    sizeOf(m_members[m_memberStart[group] + p]));
    }
}

void MatchIndex::setLeaf(std::int32_t* tree, std::uint32_t count, std::uint32_t position,
                         std::int32_t size) {
    std::uint32_t node = std::bit_ceil(count) + position;
    tree[node] = size;
    for (node >>= 1; node > 0; node >>= 1)
        tree[node] = std::min(tree[2 * node], tree[2 * node + 1]);
}

MatchIndex::~MatchIndex() = default;

std::uint32_t MatchIndex::positionIn(std::uint32_t group, std::uint32_t document) const {
    const auto first = m_members.begin() + m_memberStart[group];
    const auto last = m_members.begin() + m_memberStart[group + 1];
    return static_cast<std::uint32_t>(std::lower_bound(first, last, document) - first);
}

std::int32_t MatchIndex::largestSizeFor(std::int64_t matches, std::int32_t size,
                                        std::int32_t score) const {
    // Doubling the step and then halving it: the score never rises with
    // the size.
    std::int64_t high = size;
    std::int64_t step = 1;
    while (step > 0) {
        if (high + step <= m_largestSize && PercentOfMatches(matches, high + step) == score) {
            high += step;
            step *= 2;
        } else {
            step /= 2;
        }
    }
    return static_cast<std::int32_t>(high);
}

std::size_t MatchIndex::memoryBytes() const {
    const auto bytes = [](const auto& vector) { return vector.capacity() * sizeof(vector[0]); };
    return m_itemCount * sizeof(std::uint64_t) + m_sharedCount * sizeof(std::uint32_t) +
           bytes(m_sharedStart) + bytes(m_group) + bytes(m_memberStart) + bytes(m_members) +
           bytes(m_treeStart) + bytes(m_sizeTree) + (m_scorer ? m_scorer->memoryBytes() : 0);
}

MatchIndex::Match MatchIndex::bestMatch(std::int32_t current) {
    std::vector<RankedMatch> none;
    return rankMatches(current, 0, none);
}

MatchIndex::Match MatchIndex::rankMatches(std::int32_t current, std::size_t count,
                                          std::vector<RankedMatch>& ranked) {
    if (!m_scorer)
        m_scorer = std::make_unique<Scorer>(*this);
    return m_scorer->rankMatches(current, count, ranked);
}

std::size_t MatchIndex::sharedGroupCount() const {
    std::size_t groups = 0;
    for (std::size_t g = 0; g < m_group.size(); ++g)
        groups += m_group[g] == g && groupSize(static_cast<std::uint32_t>(g)) > 1 ? 1 : 0;
    return groups;
}

} // namespace quillmark
