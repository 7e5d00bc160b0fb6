// Scores each document against all documents before it without comparing it
// with each of them: an inverted index from hash to the documents holding it.
// Gives exactly BestMatchPercent's scores over the earlier documents.
//
// Documents that share many frequent hashes (copies, a common footer, an
// empty text) are gathered into a group whose common hashes are indexed once
// for the whole group; each member keeps only its differences from them. The
// members a current document reaches through the common hashes alone all have
// the same number of matches, so the best of them is found from their sizes
// without visiting each. In a group of near-copies, where members lack many
// of the common hashes, each member also keeps a bit per common hash it holds,
// and a current document whose lacking lists would cost more to walk than
// these bits counts its matches with every earlier member from them.
#pragma once

#include "DocumentTable.h"
#include "IndexArrays.h"
#include "analysis/Stopped.h"
#include "analysis/udShingles.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace quillmark {

class Pacer;

class MatchIndex {
public:
    struct Match {
        std::int32_t score = 0;
        /// The first earlier document reaching the score; -1 for score 0.
        std::int32_t document = -1;
    };

    /// Indexes every hash of every document, sorting them on `threads`
    /// threads. `stop` is asked every few milliseconds (from each of those
    /// threads at once when there are several); once it answers yes the build
    /// ends, incomplete. The documents must outlive the index and stay
    /// unchanged. Throws std::length_error beyond 2^30 documents or about
    /// 2^32 hashes, std::bad_alloc when the index does not fit in memory.
    explicit MatchIndex(std::span<const TudShingleList> documents, const StopCheck& stop = {},
                        int threads = 1);
    ~MatchIndex();
    MatchIndex(const MatchIndex&) = delete;
    MatchIndex& operator=(const MatchIndex&) = delete;

    /// False when the build was ended early; the index must not be asked then.
    bool complete() const { return m_complete; }
    std::int32_t documentCount() const { return static_cast<std::int32_t>(m_documents.size()); }

    class Scorer;
    /// The best score of document `current` against documents 0 .. current-1.
    Match bestMatch(std::int32_t current);
    /// The same, and also the `count` earlier documents with the highest
    /// scores above 0 into `ranked`, best first, ties in listing order.
    Match rankMatches(std::int32_t current, std::size_t count, std::vector<RankedMatch>& ranked);

    /// Bytes held by the index itself and by its own scorer.
    std::size_t memoryBytes() const;
    /// Groups of more than one document.
    std::size_t sharedGroupCount() const;

    template <class T> using Array = IndexArray<T>;

private:
    struct Cluster;
    /// What the build passes hand on to each other.
    struct Anchors;
    struct Range;
    struct RangeScratch;
    struct JoinedClusters;

    /// The size of a member taken out of its group's size tree.
    static constexpr std::int32_t NoSize = std::numeric_limits<std::int32_t>::max();
    enum ItemKind : std::uint32_t { Common = 0, OneMore = 1 };

    void build(const StopCheck& stop, int threads);
    /// The number of hashes; notes the largest document.
    std::size_t countHashes();
    Anchors chooseAnchors(const std::uint64_t* entries,
                          const std::vector<std::uint32_t>& streamStart, int threads,
                          const StopCheck& stop) const;
    void groupByAnchor(const std::uint64_t* entries, const Anchors& anchors, int threads,
                       const StopCheck& stop);
    void layOutMembers();
    std::vector<Range> writeItems(std::uint64_t* entries,
                                  const std::vector<std::uint32_t>& streamStart, int threads,
                                  const StopCheck& stop) const;
    void writeRange(Range& range, RangeScratch& scratch, std::uint64_t* entries,
                    Pacer& pacer) const;
    bool alone(const std::uint64_t* run, std::size_t first, std::size_t last) const;
    void writeAloneRun(Range& range, std::uint64_t* entries, std::size_t first,
                       std::size_t last) const;
    void writeSharedRun(Range& range, RangeScratch& scratch, std::uint64_t* entries,
                        std::size_t first, std::size_t last) const;
    void gatherHolders(RangeScratch& scratch, const std::uint64_t* entries, std::size_t first,
                       std::size_t last) const;
    void listCommonItems(Range& range, RangeScratch& scratch, std::uint32_t hash) const;
    void listLacks(Range& range, RangeScratch& scratch, std::uint32_t group,
                   std::uint32_t hash) const;
    void listOneMoreItems(RangeScratch& scratch) const;
    void noteStandings(Range& range, const RangeScratch& scratch) const;
    void closeUpRanges(Array<std::uint64_t> entries, const std::vector<Range>& ranges,
                       Pacer& pacer);
    JoinedClusters joinClusters(std::vector<Range>& ranges, int threads,
                                const StopCheck& stop) const;
    bool readsOwnBits(const JoinedClusters& joined, std::uint32_t document) const;
    void recordShared(std::vector<Range>& ranges, const JoinedClusters& joined, Pacer& pacer);
    void keepClusters(JoinedClusters& joined, Pacer& pacer);
    void setBits(Cluster& cluster, std::uint32_t group) const;
    void buildSizeTrees();

    /// Sets a leaf of a minimum tree over `count` leaves and the nodes above it.
    static void setLeaf(std::int32_t* tree, std::uint32_t count, std::uint32_t position,
                        std::int32_t size);

    std::int32_t sizeOf(std::uint32_t document) const { return m_documents[document].Count; }
    std::uint32_t groupSize(std::uint32_t group) const {
        return m_memberStart[group + 1] - m_memberStart[group];
    }
    /// Where a document is or would be among a group's members.
    std::uint32_t positionIn(std::uint32_t group, std::uint32_t document) const;
    /// The largest size at which `matches` still give `score`, starting from
    /// a size that gives it.
    std::int32_t largestSizeFor(std::int64_t matches, std::int32_t size, std::int32_t score) const;

    std::span<const TudShingleList> m_documents;
    bool m_complete = false;
    std::int32_t m_largestSize = 0;

    /// hash << 32 | order << 2 | kind, sorted. A common item (kind 0) gives
    /// one match to every member of group `order` but those listed as lacking
    /// it in the group's cluster; a difference item (kind 1) gives document
    /// `order` one match more.
    Array<std::uint64_t> m_items;
    std::size_t m_itemCount = 0;
    /// Per document, where in m_items its distinct hashes that have items
    /// of earlier order start (the earlier items lie just before), but for
    /// those whose only earlier item is its own cluster's common item:
    /// m_shared[m_sharedStart[d] .. m_sharedStart[d + 1]).
    Array<std::uint32_t> m_shared;
    std::size_t m_sharedCount = 0;
    std::vector<std::uint32_t> m_sharedStart;

    /// The group of each document, named by its first member.
    std::vector<std::uint32_t> m_group;
    /// Members of group g in listing order: m_members[m_memberStart[g] ..
    /// m_memberStart[g + 1]).
    std::vector<std::uint32_t> m_memberStart;
    std::vector<std::uint32_t> m_members;
    /// Per group of more than one member, a minimum tree over the members'
    /// sizes at m_sizeTree[m_treeStart[g] ..], leaves in member order.
    std::vector<std::uint32_t> m_treeStart;
    std::vector<std::int32_t> m_sizeTree;

    /// A group whose members lack some of its common hashes.
    struct Cluster {
        /// The common hashes, sorted, and per common hash the positions of
        /// the members lacking it: lacks[lackStart[i] .. lackStart[i + 1]).
        std::vector<std::uint32_t> hashes;
        std::vector<std::uint32_t> lackStart;
        std::vector<std::uint32_t> lacks;
        /// Per member in member order, `words` words of a bit per common
        /// hash it holds.
        std::vector<std::uint64_t> holds;
        /// The members' sizes in member order, read beside their bits.
        std::vector<std::int32_t> sizes;
        std::uint32_t words = 0;
    };
    std::vector<Cluster> m_clusters;
    /// Per group, 1 + its cluster, or 0.
    std::vector<std::uint32_t> m_clusterOf;

    /// Answers bestMatch and rankMatches.
    std::unique_ptr<Scorer> m_scorer;
};

} // namespace quillmark
