#include "MatchIndex.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/mman.h>

namespace quillmark {

namespace {

/// A hash held by at least this many documents gathers them into a group.
constexpr std::uint32_t kFrequent = 16;

enum ItemKind : std::uint32_t { Common = 0, OneMore = 1 };

constexpr std::int32_t kNoSize = std::numeric_limits<std::int32_t>::max();

/// Asks the caller whether to stop after a few milliseconds of work.
class Pacer {
public:
    explicit Pacer(const StopCheck& stop)
        : m_stop(stop) {}
    void step(std::size_t work) {
        m_work += work;
        if (m_work < kStride)
            return;
        m_work = 0;
        Stopped::check(m_stop);
    }

private:
    static constexpr std::size_t kStride = std::size_t{1} << 18;
    const StopCheck& m_stop;
    std::size_t m_work = 0;
};

/// An uninitialised array; a large one on transparent huge pages, since the
/// lookups land on random pages of it and small pages thrash the TLB.
template <class T> MatchIndex::Array<T> allocateArray(std::size_t count) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    std::size_t bytes = std::max<std::size_t>(count * sizeof(T), sizeof(T));
    void* memory = nullptr;
    if (bytes >= kHugePage) {
        bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        memory = std::aligned_alloc(kHugePage, bytes);
        if (memory != nullptr)
            ::madvise(memory, bytes, MADV_HUGEPAGE); // a hint; failure is harmless
    } else {
        memory = std::malloc(bytes);
    }
    if (memory == nullptr)
        throw std::bad_alloc();
    return MatchIndex::Array<T>(static_cast<T*>(memory));
}

/// The top `bits` bits of a hash; a shift by 32 would be undefined.
std::uint32_t topBits(std::uint32_t hash, int bits) {
    return bits == 0 ? 0 : hash >> (32 - bits);
}

/// Sorts the entries with two counting passes on the top bits of the hash
/// (first into 256 streams, then each cache-sized part by itself), then each
/// small bucket by a plain sort. Random writes over the whole array would
/// miss the cache on nearly every entry.
void sortEntries(std::span<const TudShingleList> documents, std::uint64_t* entries,
                 std::size_t total, Pacer& pacer) {
    // About eight entries per final bucket.
    const int bits = std::clamp(
        static_cast<int>(std::bit_width(std::max<std::size_t>(total / 8, 1))) - 1, 0, 28);
    const int outerBits = std::min(bits, 8);
    const std::size_t outer = std::size_t{1} << outerBits;

    std::vector<std::uint32_t> outerStart(outer + 1, 0);
    for (const TudShingleList& list : documents) {
        for (std::uint32_t hash : list.Hashes)
            ++outerStart[topBits(hash, outerBits) + 1];
        pacer.step(list.Hashes.size() + 1);
    }
    for (std::size_t b = 0; b < outer; ++b)
        outerStart[b + 1] += outerStart[b];
    {
        std::vector<std::uint32_t> cursor(outerStart.begin(), outerStart.end() - 1);
        for (std::size_t d = 0; d < documents.size(); ++d) {
            for (std::uint32_t hash : documents[d].Hashes)
                entries[cursor[topBits(hash, outerBits)]++] = std::uint64_t{hash} << 32 | d;
            pacer.step(documents[d].Hashes.size() + 1);
        }
    }

    const std::size_t inner = std::size_t{1} << (bits - outerBits);
    const std::uint32_t innerMask = static_cast<std::uint32_t>(inner - 1);
    std::vector<std::uint32_t> innerStart(inner + 1);
    std::vector<std::uint64_t> part;
    for (std::size_t b = 0; b < outer; ++b) {
        std::uint64_t* const first = entries + outerStart[b];
        const std::size_t size = outerStart[b + 1] - outerStart[b];
        pacer.step(4 * size);
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

std::uint32_t hashOf(std::uint64_t entry) {
    return static_cast<std::uint32_t>(entry >> 32);
}

std::uint32_t lowHalf(std::uint64_t entry) {
    return static_cast<std::uint32_t>(entry);
}

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
std::uint32_t distinctDocuments(const std::uint64_t* entries, std::size_t first, std::size_t last) {
    std::uint32_t count = 1;
    for (std::size_t i = first + 1; i < last; ++i)
        count += entries[i] != entries[i - 1] ? 1 : 0;
    return count;
}

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

/// Near-copies of one text lacking its most held hash are anchored
/// elsewhere; each document rather joins the group that holds the most of
/// nearly all of its frequent hashes, if one does for enough of them.
void regroup(std::vector<std::uint32_t>& groupOf, const std::uint64_t* entries, std::size_t total,
             Pacer& pacer) {
    const std::size_t n = groupOf.size();
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> holders(n, 0);
    std::vector<std::uint32_t> groupsMet;
    // The group with the most holders of a frequent hash, or none.
    const auto dominant = [&](std::size_t first, std::size_t last) {
        if (last - first < kFrequent)
            return kNone;
        for (std::size_t i = first; i < last; ++i) {
            if (i > first && entries[i] == entries[i - 1])
                continue;
            const std::uint32_t group = groupOf[lowHalf(entries[i])];
            if (holders[group]++ == 0)
                groupsMet.push_back(group);
        }
        std::uint32_t most = kNone;
        std::uint32_t held = kFrequent - 1;
        for (std::uint32_t group : groupsMet) {
            if (holders[group] > held ||
                (holders[group] == held && most != kNone && group < most)) {
                held = holders[group];
                most = group;
            }
            holders[group] = 0;
        }
        groupsMet.clear();
        return most;
    };
    // A majority vote per document over the dominant groups of its hashes,
    // then a count of the votes the winner really had.
    std::vector<std::uint32_t> candidate(n, kNone);
    std::vector<std::uint32_t> votes(n, 0);
    std::vector<std::uint32_t> dominants; // per run of a frequent hash
    bool elsewhere = false;
    forEachRun(entries, total, pacer, [&](std::size_t first, std::size_t last) {
        if (last - first < kFrequent)
            return;
        const std::uint32_t group = dominant(first, last);
        dominants.push_back(group);
        if (group == kNone)
            return;
        for (std::size_t i = first; i < last; ++i) {
            if (i > first && entries[i] == entries[i - 1])
                continue;
            const std::uint32_t document = lowHalf(entries[i]);
            elsewhere |= group != groupOf[document];
            if (candidate[document] == group) {
                ++votes[document];
            } else if (votes[document] == 0) {
                candidate[document] = group;
                votes[document] = 1;
            } else {
                --votes[document];
            }
        }
    });
    if (!elsewhere)
        return; // every vote went to the document's own group
    std::fill(votes.begin(), votes.end(), 0);
    auto next = dominants.begin();
    forEachRun(entries, total, pacer, [&](std::size_t first, std::size_t last) {
        if (last - first < kFrequent)
            return;
        const std::uint32_t group = *next++;
        if (group == kNone)
            return;
        for (std::size_t i = first; i < last; ++i) {
            const std::uint32_t document = lowHalf(entries[i]);
            if ((i == first || entries[i] != entries[i - 1]) && candidate[document] == group)
                ++votes[document];
        }
    });
    // Groups are named by their first member again.
    std::vector<std::uint32_t>& leader = holders;
    std::fill(leader.begin(), leader.end(), kNone);
    for (std::size_t d = 0; d < n; ++d) {
        if (votes[d] >= kFrequent)
            groupOf[d] = candidate[d];
        leader[groupOf[d]] =
            std::min<std::uint32_t>(leader[groupOf[d]], static_cast<std::uint32_t>(d));
    }
    for (std::size_t d = 0; d < n; ++d)
        groupOf[d] = leader[groupOf[d]];
}

} // namespace

MatchIndex::MatchIndex(std::span<const TudShingleList> documents, const StopCheck& stop)
    : m_documents(documents) {
    try {
        build(stop);
        m_complete = true;
    } catch (const Stopped&) {
        m_complete = false;
    }
}

void MatchIndex::build(const StopCheck& stop) {
    const std::size_t n = m_documents.size();
    std::size_t total = 0;
    for (const TudShingleList& list : m_documents) {
        total += list.Hashes.size();
        m_largestSize = std::max(m_largestSize, list.Count);
    }
    if (total >= std::numeric_limits<std::uint32_t>::max() || n >= (std::size_t{1} << 30))
        throw std::length_error("Too many shingles to compare");
    Pacer pacer(stop);

    Array<std::uint64_t> buffer = allocateArray<std::uint64_t>(total);
    sortEntries(m_documents, buffer.get(), total, pacer);
    const auto documentOf = [](std::uint64_t entry) { return lowHalf(entry); };

    // Each document's anchor: its hash held by the most documents (the
    // smallest such hash on a tie), if that is a frequent one.
    std::vector<std::uint32_t> anchorHolders(n, 0);
    std::vector<std::uint32_t> anchor(n, 0);
    forEachRun(buffer.get(), total, pacer, [&](std::size_t first, std::size_t last) {
        const std::uint32_t holders = distinctDocuments(buffer.get(), first, last);
        if (holders < kFrequent)
            return;
        for (std::size_t i = first; i < last; ++i) {
            const std::uint32_t document = documentOf(buffer[i]);
            if (holders > anchorHolders[document]) {
                anchorHolders[document] = holders;
                anchor[document] = hashOf(buffer[i]);
            }
        }
    });

    // Documents with the same anchor form a group named by its first member.
    m_group.resize(n);
    for (std::size_t d = 0; d < n; ++d)
        m_group[d] = static_cast<std::uint32_t>(d);
    forEachRun(buffer.get(), total, pacer, [&](std::size_t first, std::size_t last) {
        const std::uint32_t hash = hashOf(buffer[first]);
        std::uint32_t leader = std::numeric_limits<std::uint32_t>::max();
        for (std::size_t i = first; i < last; ++i) {
            const std::uint32_t document = documentOf(buffer[i]);
            if (anchorHolders[document] == 0 || anchor[document] != hash)
                continue;
            leader = std::min(leader, document);
            m_group[document] = leader;
        }
    });
    anchor = {};
    regroup(m_group, buffer.get(), total, pacer);
    m_memberStart.assign(n + 1, 0);
    for (std::size_t d = 0; d < n; ++d)
        ++m_memberStart[m_group[d] + 1];
    for (std::size_t g = 0; g < n; ++g)
        m_memberStart[g + 1] += m_memberStart[g];
    m_members.resize(n);
    {
        std::vector<std::uint32_t> cursor(m_memberStart.begin(), m_memberStart.end() - 1);
        for (std::size_t d = 0; d < n; ++d)
            m_members[cursor[m_group[d]]++] = static_cast<std::uint32_t>(d);
    }

    // A run of one entry, or of documents that are each a group by
    // themselves, gives one item per entry.
    const auto alone = [this](const std::uint64_t* run, std::size_t first, std::size_t last) {
        if (last - first == 1)
            return true;
        for (std::size_t i = first; i < last; ++i)
            if (groupSize(m_group[lowHalf(run[i])]) != 1)
                return false;
        return true;
    };

    // A hash most members of a group hold is a common item of the group;
    // members without it are listed as lacking it, members holding it more
    // than once get one more per repeat, and holders of a hash not common to
    // their group one more per occurrence. A run of entries never yields more
    // items than entries, so the items are written in place; first count them.
    std::vector<std::uint32_t>& holders = anchorHolders;
    std::fill(holders.begin(), holders.end(), 0);
    std::vector<std::uint32_t> groupsMet;
    std::size_t itemTotal = 0;
    std::vector<std::uint8_t> lacking(n, 0);
    forEachRun(buffer.get(), total, pacer, [&](std::size_t first, std::size_t last) {
        std::size_t items = last - first;
        if (alone(buffer.get(), first, last)) {
            itemTotal += items;
            return;
        }
        for (std::size_t i = first; i < last; ++i) {
            if (i > first && buffer[i] == buffer[i - 1])
                continue;
            const std::uint32_t group = m_group[documentOf(buffer[i])];
            if (holders[group]++ == 0)
                groupsMet.push_back(group);
        }
        for (std::uint32_t group : groupsMet) {
            const std::size_t held = holders[group];
            const std::size_t size = groupSize(group);
            if (2 * held > size) {
                items = items + 1 - held;
                lacking[group] |= held < size ? 1 : 0;
            }
            holders[group] = 0;
        }
        groupsMet.clear();
        itemTotal += items;
    });
    if (itemTotal >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("Too many shingles to compare");

    // Then write the items over the entries already read, and note for each
    // document where it stands in each run that has items before it.
    std::vector<std::uint32_t>& mark = m_seen;
    mark.assign(n, 0);
    std::uint32_t runNumber = 0;
    std::vector<std::uint64_t> standings; // document << 32 | item position
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runDocuments; // document, occurrences
    std::vector<std::uint32_t> runItems;
    std::size_t written = 0;
    const std::uint64_t* const entries = buffer.get();
    std::vector<Cluster> clusters;
    m_clusterOf.assign(n, 0);
    forEachRun(entries, total, pacer, [&](std::size_t first, std::size_t last) {
        const std::uint64_t hash = hashOf(entries[first]);
        std::uint64_t* const out = buffer.get() + written;
        if (alone(entries, first, last)) {
            // Each holder is its own group (a common item for its first
            // occurrence and one more per repeat, already in order), or the
            // only holder. The items may overwrite entries just read.
            std::uint64_t previous = 0;
            for (std::size_t i = first; i < last; ++i) {
                const std::uint64_t entry = entries[i];
                const std::uint32_t document = documentOf(entry);
                const bool repeat = i > first && entry == previous;
                if (!repeat && i > first)
                    standings.push_back(std::uint64_t{document} << 32 | (written + i - first));
                const bool common = !repeat && groupSize(m_group[document]) == 1;
                out[i - first] = hash << 32 | document << 2 | (common ? Common : OneMore);
                previous = entry;
            }
            written += last - first;
            return;
        }
        ++runNumber;
        runDocuments.clear();
        runItems.clear();
        for (std::size_t i = first; i < last; ++i) {
            const std::uint32_t document = documentOf(entries[i]);
            if (i > first && entries[i] == entries[i - 1]) {
                ++runDocuments.back().second;
                continue;
            }
            runDocuments.emplace_back(document, 1);
            mark[document] = runNumber;
            const std::uint32_t group = m_group[document];
            if (holders[group]++ == 0)
                groupsMet.push_back(group);
        }
        for (std::uint32_t group : groupsMet) {
            const std::uint32_t size = groupSize(group);
            const bool common = 2 * std::size_t{holders[group]} > size;
            holders[group] = common ? 1 : 0;
            if (!common)
                continue;
            runItems.push_back(group << 2 | Common);
            if (m_clusterOf[group] == 0) {
                clusters.emplace_back();
                m_clusterOf[group] = static_cast<std::uint32_t>(clusters.size());
            }
            Cluster& cluster = clusters[m_clusterOf[group] - 1];
            cluster.hashes.push_back(static_cast<std::uint32_t>(hash));
            cluster.lackStart.push_back(static_cast<std::uint32_t>(cluster.lacks.size()));
            for (std::uint32_t m = m_memberStart[group]; m < m_memberStart[group + 1]; ++m)
                if (mark[m_members[m]] != runNumber)
                    cluster.lacks.push_back(m - m_memberStart[group]);
        }
        // The first occurrence of a common hash in a member is its share of
        // the common item.
        for (const auto& [document, occurrences] : runDocuments) {
            const std::uint32_t shared = holders[m_group[document]];
            for (std::uint32_t o = shared; o < occurrences; ++o)
                runItems.push_back(document << 2 | OneMore);
        }
        for (std::uint32_t group : groupsMet)
            holders[group] = 0;
        groupsMet.clear();
        std::sort(runItems.begin(), runItems.end());

        for (std::size_t i = 0; i < runItems.size(); ++i)
            out[i] = hash << 32 | runItems[i];
        std::size_t before = 0;
        for (const auto& [document, occurrences] : runDocuments) {
            while (before < runItems.size() && (runItems[before] >> 2) < document)
                ++before;
            // A member of a cluster reads its own group's common hashes from
            // its bits.
            const std::uint32_t group = m_group[document];
            if (before == 1 && runItems[0] == (group << 2 | Common) && lacking[group] != 0)
                continue;
            if (before > 0)
                standings.push_back(std::uint64_t{document} << 32 | (written + before));
        }
        written += runItems.size();
    });
    assert(written == itemTotal);
    m_items = std::move(buffer);
    m_itemCount = written;

    // Only groups whose members lack some common hash keep their lists.
    for (std::size_t g = 0; g < n; ++g) {
        if (m_clusterOf[g] == 0)
            continue;
        Cluster& cluster = clusters[m_clusterOf[g] - 1];
        m_clusterOf[g] = 0;
        if (cluster.lacks.empty()) {
            cluster = {};
            continue;
        }
        const auto group = static_cast<std::uint32_t>(g);
        cluster.lackStart.push_back(static_cast<std::uint32_t>(cluster.lacks.size()));
        const std::size_t common = cluster.hashes.size();
        cluster.words = static_cast<std::uint32_t>((common + 63) / 64);
        cluster.holds.assign(std::size_t{groupSize(group)} * cluster.words, ~std::uint64_t{0});
        if (common % 64 != 0)
            for (std::size_t p = 0; p < groupSize(group); ++p)
                cluster.holds[(p + 1) * cluster.words - 1] = (std::uint64_t{1} << common % 64) - 1;
        for (std::size_t i = 0; i < common; ++i)
            for (std::uint32_t l = cluster.lackStart[i]; l < cluster.lackStart[i + 1]; ++l)
                cluster.holds[cluster.lacks[l] * cluster.words + i / 64] &=
                    ~(std::uint64_t{1} << i % 64);
        pacer.step(common + cluster.lacks.size());
        m_clusters.push_back(std::move(cluster));
        m_clusterOf[g] = static_cast<std::uint32_t>(m_clusters.size());
    }
    clusters = {};

    m_sharedStart.assign(n + 1, 0);
    for (std::uint64_t standing : standings)
        ++m_sharedStart[hashOf(standing) + 1];
    for (std::size_t d = 0; d < n; ++d)
        m_sharedStart[d + 1] += m_sharedStart[d];
    m_sharedCount = standings.size();
    m_shared = allocateArray<std::uint32_t>(m_sharedCount);
    {
        std::vector<std::uint32_t> cursor(m_sharedStart.begin(), m_sharedStart.end() - 1);
        for (std::uint64_t standing : standings)
            m_shared[cursor[hashOf(standing)]++] = lowHalf(standing);
    }
    standings = {};

    m_treeStart.assign(n, 0);
    std::size_t treeTotal = 0;
    for (std::size_t g = 0; g < n; ++g) {
        if (m_group[g] != g || groupSize(static_cast<std::uint32_t>(g)) < 2)
            continue;
        m_treeStart[g] = static_cast<std::uint32_t>(treeTotal);
        treeTotal += 2 * std::bit_ceil(groupSize(static_cast<std::uint32_t>(g)));
    }
    m_sizeTree.assign(treeTotal, kNoSize);
    for (std::size_t g = 0; g < n; ++g) {
        const auto group = static_cast<std::uint32_t>(g);
        if (m_group[g] != g || groupSize(group) < 2)
            continue;
        for (std::uint32_t p = 0; p < groupSize(group); ++p)
            setSize(group, p, sizeOf(m_members[m_memberStart[group] + p]));
    }

    m_common.assign(n, 0);
    m_difference.assign(n, 0);
    mark.assign(n, 0);
}

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

std::int32_t MatchIndex::leastSize(std::uint32_t group, std::uint32_t end) const {
    const std::int32_t* tree = m_sizeTree.data() + m_treeStart[group];
    std::uint32_t low = std::bit_ceil(groupSize(group));
    std::uint32_t high = low + end;
    std::int32_t least = kNoSize;
    for (; low < high; low >>= 1, high >>= 1) {
        if (low & 1)
            least = std::min(least, tree[low++]);
        if (high & 1)
            least = std::min(least, tree[--high]);
    }
    return least;
}

std::uint32_t MatchIndex::firstAtMost(std::uint32_t group, std::int32_t size) const {
    const std::int32_t* tree = m_sizeTree.data() + m_treeStart[group];
    const std::uint32_t leaves = std::bit_ceil(groupSize(group));
    if (tree[1] > size)
        return leaves;
    std::uint32_t node = 1;
    while (node < leaves)
        node = tree[2 * node] <= size ? 2 * node : 2 * node + 1;
    return node - leaves;
}

void MatchIndex::setSize(std::uint32_t group, std::uint32_t position, std::int32_t size) {
    std::int32_t* tree = m_sizeTree.data() + m_treeStart[group];
    std::uint32_t node = std::bit_ceil(groupSize(group)) + position;
    tree[node] = size;
    for (node >>= 1; node > 0; node >>= 1)
        tree[node] = std::min(tree[2 * node], tree[2 * node + 1]);
}

void MatchIndex::countLacks(std::uint32_t group, std::uint32_t self) {
    Cluster& cluster = m_clusters[m_clusterOf[group] - 1];
    std::size_t lacks = 0;
    for (std::uint32_t i : cluster.met)
        lacks += cluster.lackStart[i + 1] - cluster.lackStart[i];
    // Walking the lists costs about their earlier part, the share of earlier
    // members; the bits cost a few words per earlier member.
    if (lacks > std::size_t{cluster.words + 4} * groupSize(group)) {
        cluster.fullVisit = m_visit;
        m_fullGroups.push_back(group);
        return;
    }
    const std::uint32_t earlier = positionIn(group, self);
    for (std::uint32_t i : cluster.met) {
        for (std::uint32_t l = cluster.lackStart[i]; l < cluster.lackStart[i + 1]; ++l) {
            const std::uint32_t position = cluster.lacks[l];
            if (position >= earlier)
                break;
            const std::uint32_t document = m_members[m_memberStart[group] + position];
            if (m_seen[document] != m_visit) {
                m_seen[document] = m_visit;
                m_difference[document] = 0;
                m_touched.push_back(document);
            }
            --m_difference[document];
        }
    }
    cluster.met.clear();
}

template <class Consider>
void MatchIndex::countFromBits(std::uint32_t group, std::uint32_t self, Consider&& consider) {
    Cluster& cluster = m_clusters[m_clusterOf[group] - 1];
    const std::uint32_t words = cluster.words;
    m_currentBits.assign(words, 0);
    for (std::uint32_t i : cluster.met)
        m_currentBits[i / 64] |= std::uint64_t{1} << i % 64;
    cluster.met.clear();
    const std::uint32_t earlier = positionIn(group, self);
    m_bitMatches.resize(earlier);
    countCommonBits(m_currentBits.data(), cluster.holds.data(), words, earlier,
                    m_bitMatches.data());
    for (std::uint32_t p = 0; p < earlier; ++p) {
        const std::uint32_t document = m_members[m_memberStart[group] + p];
        std::int64_t matches = m_bitMatches[p];
        if (m_seen[document] == m_visit)
            matches += m_difference[document];
        if (matches > 0)
            consider(matches, document);
    }
}

MatchIndex::Match MatchIndex::bestMatch(std::int32_t current) {
    std::vector<RankedMatch> none;
    return rankMatches(current, 0, none);
}

MatchIndex::Match MatchIndex::rankMatches(std::int32_t current, std::size_t count,
                                          std::vector<RankedMatch>& ranked) {
    assert(m_complete && "the index was built to its end");
    assert(current >= 0 && static_cast<std::size_t>(current) < m_documents.size() &&
           "the current document is one of the indexed ones");
    const auto self = static_cast<std::uint32_t>(current);
    const std::int32_t selfSize = sizeOf(self);
    if (++m_visit == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0);
        for (Cluster& cluster : m_clusters)
            cluster.fullVisit = 0;
        m_visit = 1;
    }

    // A member of a cluster, not its first, holds its group's common hashes
    // its bits say.
    const std::uint32_t ownGroup = m_group[self];
    const bool ownFromBits = ownGroup != self && m_clusterOf[ownGroup] != 0;
    if (ownFromBits) {
        Cluster& cluster = m_clusters[m_clusterOf[ownGroup] - 1];
        const std::uint64_t* holds =
            cluster.holds.data() + std::size_t{positionIn(ownGroup, self)} * cluster.words;
        for (std::uint32_t w = 0; w < cluster.words; ++w)
            for (std::uint64_t bits = holds[w]; bits != 0; bits &= bits - 1)
                cluster.met.push_back(w * 64 + static_cast<std::uint32_t>(std::countr_zero(bits)));
        m_common[ownGroup] = static_cast<std::uint32_t>(cluster.met.size());
        if (m_common[ownGroup] > 0)
            m_touchedGroups.push_back(ownGroup);
    }

    // Repeats in the current document add nothing (one run per hash);
    // repeats in an earlier one count once each.
    const std::uint32_t* first = m_shared.get() + m_sharedStart[self];
    const std::uint32_t* last = m_shared.get() + m_sharedStart[self + 1];
    constexpr std::ptrdiff_t kAhead = 8;
    for (const std::uint32_t* it = first; it != last; ++it) {
        if (last - it > kAhead)
            __builtin_prefetch(&m_items[it[kAhead] - 1]);
        const std::size_t at = *it;
        const std::uint32_t hash = hashOf(m_items[at - 1]); // at may start the next run
        for (std::size_t p = at; p > 0 && hashOf(m_items[p - 1]) == hash; --p) {
            const std::uint32_t item = lowHalf(m_items[p - 1]);
            const std::uint32_t order = item >> 2;
            if ((item & 3) == Common) {
                if (ownFromBits && order == ownGroup)
                    continue;
                if (m_common[order]++ == 0)
                    m_touchedGroups.push_back(order);
                if (m_clusterOf[order] != 0) {
                    Cluster& cluster = m_clusters[m_clusterOf[order] - 1];
                    cluster.met.push_back(static_cast<std::uint32_t>(
                        std::lower_bound(cluster.hashes.begin(), cluster.hashes.end(), hash) -
                        cluster.hashes.begin()));
                }
                continue;
            }
            if (m_seen[order] != m_visit) {
                m_seen[order] = m_visit;
                m_difference[order] = 0;
                m_touched.push_back(order);
            }
            ++m_difference[order];
        }
    }
    for (std::uint32_t group : m_touchedGroups)
        if (m_clusterOf[group] != 0)
            countLacks(group, self);
    const auto countedFromBits = [this](std::uint32_t group) {
        return m_clusterOf[group] != 0 && m_clusters[m_clusterOf[group] - 1].fullVisit == m_visit;
    };

    m_candidates.clear();
    Match best;
    const auto consider = [&](std::int32_t score, std::uint32_t document) {
        if (score == 0)
            return;
        const auto index = static_cast<std::int32_t>(document);
        if (score > best.score || (score == best.score && index < best.document))
            best = {score, index};
        if (count > 0)
            m_candidates.push_back({index, score});
    };
    const auto scoreOf = [selfSize](std::int64_t matches, std::int32_t size) {
        return PercentOfMatches(matches, std::max(size, selfSize));
    };

    // Documents with differences on the current hashes are scored one by one
    // and set aside from their group's size tree.
    for (std::uint32_t document : m_touched) {
        const std::uint32_t group = m_group[document];
        if (countedFromBits(group))
            continue;
        const std::int64_t matches = std::int64_t{m_common[group]} + m_difference[document];
        assert(matches >= 0 && "a member lacks only common hashes it was counted for");
        if (matches > 0)
            consider(scoreOf(matches, sizeOf(document)), document);
        if (m_common[group] > 0 && groupSize(group) > 1)
            setSize(group, positionIn(group, document), kNoSize);
    }

    // Every other earlier member of a group has exactly the common matches;
    // its score then falls with its size alone.
    for (std::uint32_t group : m_fullGroups)
        countFromBits(group, self, [&](std::int64_t matches, std::uint32_t document) {
            const std::int32_t size = std::max(sizeOf(document), selfSize);
            // The score is at most the truncated quotient: only a member that
            // may still win in a best-only scoring is scored exactly.
            const std::int64_t bound = 100 * matches / size;
            if (count == 0 &&
                (bound < best.score ||
                 (bound == best.score && static_cast<std::int32_t>(document) > best.document)))
                return;
            consider(PercentOfMatches(matches, size), document);
        });
    for (std::uint32_t group : m_touchedGroups) {
        if (countedFromBits(group))
            continue;
        const std::uint32_t common = m_common[group];
        if (groupSize(group) == 1) {
            if (m_seen[group] != m_visit)
                consider(scoreOf(common, sizeOf(group)), group);
            continue;
        }
        const auto members = std::span(m_members).subspan(m_memberStart[group], groupSize(group));
        const std::uint32_t end = positionIn(group, self);
        // Level by level (all members up to the largest size giving the
        // best remaining score), each level in listing order, taking a member
        // out of the tree once counted.
        const std::size_t wanted = std::max<std::size_t>(count, 1);
        std::size_t taken = 0;
        while (taken < wanted) {
            const std::int32_t least = leastSize(group, end);
            if (least == kNoSize)
                break;
            const std::int32_t low = std::max(least, selfSize);
            const std::int32_t score = PercentOfMatches(common, low);
            if (score == 0 || (count == 0 && score < best.score))
                break;
            const std::int32_t high = largestSizeFor(common, low, score);
            for (; taken < wanted; ++taken) {
                const std::uint32_t position = firstAtMost(group, high);
                if (position >= end)
                    break;
                consider(score, members[position]);
                setSize(group, position, kNoSize);
                m_taken.push_back(position);
            }
        }
        for (std::uint32_t position : m_taken)
            setSize(group, position, sizeOf(members[position]));
        m_taken.clear();
    }

    for (std::uint32_t document : m_touched) {
        const std::uint32_t group = m_group[document];
        if (m_common[group] == 0 || groupSize(group) < 2 || countedFromBits(group))
            continue;
        setSize(group, positionIn(group, document), sizeOf(document));
    }
    for (std::uint32_t group : m_touchedGroups)
        m_common[group] = 0;
    m_touched.clear();
    m_touchedGroups.clear();
    m_fullGroups.clear();

    // Collected in a scratch list: `ranked` is kept per document, and a
    // capacity the size of every document met would stay with it.
    const auto higher = [](const RankedMatch& a, const RankedMatch& b) {
        return a.score != b.score ? a.score > b.score : a.document < b.document;
    };
    const auto kept = static_cast<std::ptrdiff_t>(std::min(count, m_candidates.size()));
    std::partial_sort(m_candidates.begin(), m_candidates.begin() + kept, m_candidates.end(),
                      higher);
    ranked.assign(m_candidates.begin(), m_candidates.begin() + kept);
    return best;
}

void MatchIndex::FreeMemory::operator()(void* memory) const {
    std::free(memory);
}

std::size_t MatchIndex::memoryBytes() const {
    const auto bytes = [](const auto& vector) { return vector.capacity() * sizeof(vector[0]); };
    return m_itemCount * sizeof(std::uint64_t) + m_sharedCount * sizeof(std::uint32_t) +
           bytes(m_sharedStart) + bytes(m_group) + bytes(m_memberStart) + bytes(m_members) +
           bytes(m_treeStart) + bytes(m_sizeTree) + bytes(m_common) + bytes(m_difference) +
           bytes(m_seen) + bytes(m_touched) + bytes(m_touchedGroups) + bytes(m_taken) +
           bytes(m_candidates);
}

std::size_t MatchIndex::sharedGroupCount() const {
    std::size_t groups = 0;
    for (std::size_t g = 0; g < m_group.size(); ++g)
        groups += m_group[g] == g && groupSize(static_cast<std::uint32_t>(g)) > 1 ? 1 : 0;
    return groups;
}

} // namespace quillmark
