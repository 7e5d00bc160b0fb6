#include "MatchIndex.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <utility>

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

/// Sets a leaf of a minimum tree over `count` leaves and the nodes above it.
void setLeaf(std::int32_t* tree, std::uint32_t count, std::uint32_t position, std::int32_t size) {
    std::uint32_t node = std::bit_ceil(count) + position;
    tree[node] = size;
    for (node >>= 1; node > 0; node >>= 1)
        tree[node] = std::min(tree[2 * node], tree[2 * node + 1]);
}

/// Calls work(part, thread, pacer) for every part in [0, parts) on up to
/// `threads` threads, the calling one among them (thread 0), each part once. What one part throws
/// ends the others at their next pacing step and is thrown here once all
/// have ended.
template <class Work>
void inParallel(int threads, std::size_t parts, const StopCheck& stop, Work&& work) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> abandoned{false};
    std::mutex failureMutex;
    std::exception_ptr failure;
    const StopCheck ended = [&] {
        return abandoned.load(std::memory_order_relaxed) || (stop && stop());
    };
    const auto run = [&](std::size_t thread) {
        Pacer pacer(ended);
        try {
            for (std::size_t part = next++; part < parts && !abandoned; part = next++)
                work(part, thread, pacer);
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            abandoned = true;
        }
    };
    std::vector<std::thread> helpers;
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(threads, 1)), parts);
    for (std::size_t t = 1; t < count; ++t) {
        try {
            helpers.emplace_back(run, t);
        } catch (const std::system_error&) {
            break; // no more threads to be had: fewer do the work
        }
    }
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

/// Both passes keep the listing order, so the entries of one hash arrive in
/// document order: a bucket of a single frequent hash (copies, a footer) is
/// sorted already, and one of a few frequent hashes (near-copies) needs only
/// its hashes put in order, each keeping its entries' order.
void sortBucket(std::uint64_t* first, std::uint64_t* last, std::vector<std::uint64_t>& spare) {
    const auto size = static_cast<std::size_t>(last - first);
    constexpr std::size_t kSmall = 32;
    if (size <= kSmall) {
        std::sort(first, last);
        return;
    }
    if (std::is_sorted(first, last))
        return;
    constexpr std::size_t kFew = 8;
    std::array<std::uint32_t, kFew> hashes{};
    std::size_t distinct = 0;
    const auto indexOf = [&](std::uint32_t hash) {
        return static_cast<std::size_t>(std::find(hashes.begin(), hashes.begin() + distinct, hash) -
                                        hashes.begin());
    };
    for (const std::uint64_t* entry = first; entry != last; ++entry) {
        const auto hash = static_cast<std::uint32_t>(*entry >> 32);
        if (indexOf(hash) < distinct)
            continue;
        if (distinct == kFew) {
            std::sort(first, last);
            return;
        }
        hashes[distinct++] = hash;
    }
    std::sort(hashes.begin(), hashes.begin() + distinct);
    std::array<std::size_t, kFew + 1> start{};
    for (const std::uint64_t* entry = first; entry != last; ++entry)
        ++start[indexOf(static_cast<std::uint32_t>(*entry >> 32)) + 1];
    for (std::size_t i = 0; i < distinct; ++i)
        start[i + 1] += start[i];
    spare.resize(size);
    for (const std::uint64_t* entry = first; entry != last; ++entry)
        spare[start[indexOf(static_cast<std::uint32_t>(*entry >> 32))]++] = *entry;
    std::copy(spare.begin(), spare.end(), first);
}

/// Sorts the entries with two counting passes on the top bits of the hash
/// (first into 256 streams, then each cache-sized part by itself), then each
/// small bucket by a plain sort. Random writes over the whole array would
/// miss the cache on nearly every entry. The first pass shares the documents
/// out among the threads, the second the streams. Returns where each stream
/// starts (and the total at the end): no run of one hash crosses a stream.
std::vector<std::uint32_t> sortEntries(std::span<const TudShingleList> documents,
                                       std::uint64_t* entries, std::size_t total, int threads,
                                       const StopCheck& stop) {
    // About eight entries per final bucket.
    const int bits = std::clamp(
        static_cast<int>(std::bit_width(std::max<std::size_t>(total / 8, 1))) - 1, 0, 28);
    const int outerBits = std::min(bits, 8);
    const std::size_t outer = std::size_t{1} << outerBits;

    // Slices of documents, each with its own count per stream, so that each
    // writes its own place in every stream.
    const std::size_t slices = threads == 1 ? 1 : static_cast<std::size_t>(threads) * 4;
    const auto sliceStart = [&](std::size_t slice) { return documents.size() * slice / slices; };
    std::vector<std::uint32_t> cursor(slices * outer, 0);
    inParallel(threads, slices, stop, [&](std::size_t slice, std::size_t, Pacer& pacer) {
        std::uint32_t* counts = cursor.data() + slice * outer;
        for (std::size_t d = sliceStart(slice); d < sliceStart(slice + 1); ++d) {
            for (std::uint32_t hash : documents[d].Hashes)
                ++counts[topBits(hash, outerBits)];
            pacer.step(documents[d].Hashes.size() + 1);
        }
    });
    std::vector<std::uint32_t> outerStart(outer + 1, 0);
    for (std::size_t b = 0; b < outer; ++b) {
        std::uint32_t start = outerStart[b];
        for (std::size_t slice = 0; slice < slices; ++slice)
            start += std::exchange(cursor[slice * outer + b], start);
        outerStart[b + 1] = start;
    }
    inParallel(threads, slices, stop, [&](std::size_t slice, std::size_t, Pacer& pacer) {
        std::uint32_t* place = cursor.data() + slice * outer;
        for (std::size_t d = sliceStart(slice); d < sliceStart(slice + 1); ++d) {
            for (std::uint32_t hash : documents[d].Hashes)
                entries[place[topBits(hash, outerBits)]++] = std::uint64_t{hash} << 32 | d;
            pacer.step(documents[d].Hashes.size() + 1);
        }
    });

    const std::size_t inner = std::size_t{1} << (bits - outerBits);
    const std::uint32_t innerMask = static_cast<std::uint32_t>(inner - 1);
    // Each thread keeps its buffers from stream to stream: fresh ones would
    // each be pages the system clears first.
    struct Buffers {
        std::vector<std::uint32_t> innerStart;
        std::vector<std::uint32_t> place;
        std::vector<std::uint64_t> part;
        std::vector<std::uint64_t> spare;
    };
    std::vector<Buffers> buffers(static_cast<std::size_t>(threads));
    inParallel(threads, outer, stop, [&](std::size_t b, std::size_t thread, Pacer& pacer) {
        Buffers& own = buffers[thread];
        std::uint64_t* const first = entries + outerStart[b];
        const std::size_t size = outerStart[b + 1] - outerStart[b];
        pacer.step(4 * size);
        if (inner == 1) {
            sortBucket(first, first + size, own.spare);
            return;
        }
        const auto innerOf = [bits, innerMask](std::uint64_t entry) {
            return topBits(static_cast<std::uint32_t>(entry >> 32), bits) & innerMask;
        };
        own.innerStart.assign(inner + 1, 0);
        for (std::size_t i = 0; i < size; ++i)
            ++own.innerStart[innerOf(first[i]) + 1];
        for (std::size_t i = 0; i < inner; ++i)
            own.innerStart[i + 1] += own.innerStart[i];
        own.part.resize(std::max(own.part.size(), size));
        own.place.assign(own.innerStart.begin(), own.innerStart.end() - 1);
        for (std::size_t i = 0; i < size; ++i)
            own.part[own.place[innerOf(first[i])]++] = first[i];
        for (std::size_t i = 0; i < inner; ++i)
            sortBucket(own.part.data() + own.innerStart[i], own.part.data() + own.innerStart[i + 1],
                       own.spare);
        std::copy(own.part.begin(), own.part.begin() + static_cast<std::ptrdiff_t>(size), first);
    });
    return outerStart;
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

/// A run of entries of one hash: [first, last).
struct Run {
    std::uint32_t first;
    std::uint32_t last;
};

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

/// Splits the listed runs into spans of about equal entries for `threads`
/// threads: span s is runs [bounds[s], bounds[s + 1]).
std::vector<std::size_t> spansOf(const std::vector<Run>& runs, int threads) {
    const std::size_t spans = threads == 1 ? 1 : static_cast<std::size_t>(threads) * 4;
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

/// Near-copies of one text lacking its most held hash are anchored
/// elsewhere; each document rather joins the group that holds the most of
/// nearly all of its frequent hashes, if one does for enough of them.
///
/// Each document takes a majority vote over the groups its frequent hashes
/// vote for, in hash order, and joins the winner if it really had enough
/// votes. A group holding more than half of a document's votes wins in any
/// order, and the votes counted in parts on the threads still find it; so
/// only the documents without such a group vote again in hash order, and the
/// groups are the same for any thread count.
void regroup(std::vector<std::uint32_t>& groupOf, const std::uint64_t* entries,
             const std::vector<Run>& frequentRuns, int threads, const StopCheck& stop) {
    const std::size_t n = groupOf.size();
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    // A running vote: group << 32 | its lead over the others; later a count
    // of the votes for one group.
    constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;
    const auto vote = [](std::uint64_t& state, std::uint32_t group) {
        if (static_cast<std::uint32_t>(state) == 0)
            state = std::uint64_t{group} << 32 | 1;
        else if (hashOf(state) == group)
            ++state;
        else
            --state;
    };
    struct Scratch {
        std::vector<std::uint32_t> holders;
        std::vector<std::uint32_t> groupsMet;
        std::vector<std::uint64_t> state;
        std::vector<std::uint32_t> votes;
        bool elsewhere = false;
    };
    std::vector<Scratch> scratches(static_cast<std::size_t>(threads));
    // The group with the most holders of a frequent hash, or none.
    const auto dominant = [&](Scratch& own, std::size_t first, std::size_t last) {
        if (last - first < kFrequent)
            return kNone;
        for (std::size_t i = first; i < last; ++i) {
            if (i > first && entries[i] == entries[i - 1])
                continue;
            const std::uint32_t group = groupOf[lowHalf(entries[i])];
            if (own.holders[group]++ == 0)
                own.groupsMet.push_back(group);
        }
        std::uint32_t most = kNone;
        std::uint32_t held = kFrequent - 1;
        for (std::uint32_t group : own.groupsMet) {
            if (own.holders[group] > held ||
                (own.holders[group] == held && most != kNone && group < most)) {
                held = own.holders[group];
                most = group;
            }
            own.holders[group] = 0;
        }
        own.groupsMet.clear();
        return most;
    };
    const std::vector<std::size_t> spans = spansOf(frequentRuns, threads);
    const std::size_t spanCount = spans.size() - 1;
    // Calls visit(scratch, document, group) for each distinct holder of each
    // hash that votes for a group, on the threads; first finds the group each
    // hash votes for when asked.
    enum class Dominants { Find, Known };
    std::vector<std::uint32_t> dominants(frequentRuns.size(), kNone); // per run
    const auto forEachVote = [&](Dominants dominance, auto&& visit) {
        inParallel(threads, spanCount, stop,
                   [&](std::size_t span, std::size_t thread, Pacer& pacer) {
                       Scratch& own = scratches[thread];
                       if (own.state.empty())
                           own.state.assign(n, 0);
                       if (own.votes.empty())
                           own.votes.assign(n, 0);
                       if (dominance == Dominants::Find && own.holders.empty())
                           own.holders.assign(n, 0);
                       for (std::size_t r = spans[span]; r < spans[span + 1]; ++r) {
                           const Run run = frequentRuns[r];
                           pacer.step(run.last - run.first);
                           if (dominance == Dominants::Find)
                               dominants[r] = dominant(own, run.first, run.last);
                           if (dominants[r] == kNone)
                               continue;
                           for (std::size_t i = run.first; i < run.last; ++i)
                               if (i == run.first || entries[i] != entries[i - 1])
                                   visit(own, lowHalf(entries[i]), dominants[r]);
                       }
                   });
    };
    // The votes in parts, one per thread, joined: a group with a majority
    // of the whole is the one left.
    forEachVote(Dominants::Find, [&](Scratch& own, std::uint32_t document, std::uint32_t group) {
        own.elsewhere |= group != groupOf[document];
        ++own.votes[document];
        vote(own.state[document], group);
    });
    bool elsewhere = false;
    std::vector<std::uint64_t> joined(n, 0);
    std::vector<std::uint32_t> total(n, 0);
    for (Scratch& own : scratches) {
        own.holders = {};
        elsewhere |= own.elsewhere;
        for (std::size_t d = 0; d < own.votes.size(); ++d)
            total[d] += own.votes[d];
        own.votes = {};
        for (std::size_t d = 0; d < own.state.size(); ++d) {
            const std::uint64_t part = own.state[d];
            const auto lead = static_cast<std::uint32_t>(part);
            std::uint64_t& whole = joined[d];
            const auto held = static_cast<std::uint32_t>(whole);
            if (lead == 0)
                continue;
            if (held == 0)
                whole = part;
            else if (hashOf(whole) == hashOf(part))
                whole += lead;
            else if (held >= lead)
                whole -= lead;
            else
                whole = (part & ~(kHigh - 1)) | (lead - held);
        }
        std::fill(own.state.begin(), own.state.end(), 0);
    }
    if (!elsewhere)
        return; // every vote went to the document's own group
    // A document with too few votes keeps its group; one whose joined lead
    // is over half of its votes and enough by itself joins that group. The
    // others count their votes for the group left, and without a majority
    // for it vote again in hash order.
    enum Settled : std::uint8_t { Yes, ToCount, ToVoteInOrder };
    std::vector<std::uint32_t> candidate(n, kNone);
    std::vector<std::uint32_t> votes(n, 0);
    std::vector<std::uint8_t> settled(n, Yes);
    bool anyToCount = false;
    for (std::size_t d = 0; d < n; ++d) {
        const auto lead = static_cast<std::uint32_t>(joined[d]);
        if (lead != 0)
            candidate[d] = hashOf(joined[d]);
        if (total[d] < kFrequent)
            continue;
        if (2 * std::uint64_t{lead} > total[d] && lead >= kFrequent) {
            votes[d] = lead;
            continue;
        }
        settled[d] = ToCount;
        anyToCount = true;
    }
    joined = {};
    bool anyInOrder = false;
    if (anyToCount) {
        forEachVote(Dominants::Known,
                    [&](Scratch& own, std::uint32_t document, std::uint32_t group) {
                        if (settled[document] == ToCount && group == candidate[document])
                            ++own.state[document];
                    });
        for (std::size_t d = 0; d < n; ++d) {
            if (settled[d] != ToCount)
                continue;
            votes[d] = 0;
            for (const Scratch& own : scratches)
                votes[d] += own.state.empty() ? 0 : static_cast<std::uint32_t>(own.state[d]);
            if (2 * std::uint64_t{votes[d]} <= total[d]) {
                settled[d] = ToVoteInOrder;
                anyInOrder = true;
            }
        }
    }
    scratches = {};
    if (anyInOrder) {
        // The votes of the documents without a majority, span by span in hash
        // order: document << 32 | group.
        std::vector<std::vector<std::uint64_t>> ballots(spanCount);
        inParallel(threads, spanCount, stop, [&](std::size_t span, std::size_t, Pacer& pacer) {
            for (std::size_t r = spans[span]; r < spans[span + 1]; ++r) {
                const Run run = frequentRuns[r];
                pacer.step(run.last - run.first);
                if (dominants[r] == kNone)
                    continue;
                for (std::size_t i = run.first; i < run.last; ++i) {
                    const std::uint32_t document = lowHalf(entries[i]);
                    if ((i == run.first || entries[i] != entries[i - 1]) &&
                        settled[document] == ToVoteInOrder)
                        ballots[span].push_back(std::uint64_t{document} << 32 | dominants[r]);
                }
            }
        });
        std::vector<std::uint64_t> state(n, 0);
        for (const std::vector<std::uint64_t>& span : ballots)
            for (std::uint64_t ballot : span)
                vote(state[hashOf(ballot)], lowHalf(ballot));
        for (std::size_t d = 0; d < n; ++d) {
            if (settled[d] == ToVoteInOrder) {
                candidate[d] = hashOf(state[d]);
                votes[d] = 0;
            }
        }
        for (const std::vector<std::uint64_t>& span : ballots)
            for (std::uint64_t ballot : span)
                votes[hashOf(ballot)] += candidate[hashOf(ballot)] == lowHalf(ballot) ? 1 : 0;
    }
    for (std::size_t d = 0; d < n; ++d)
        if (votes[d] >= kFrequent)
            groupOf[d] = candidate[d];
    // Groups are named by their first member again.
    std::vector<std::uint32_t> leader(n, kNone);
    for (std::size_t d = 0; d < n; ++d)
        leader[groupOf[d]] =
            std::min<std::uint32_t>(leader[groupOf[d]], static_cast<std::uint32_t>(d));
    for (std::size_t d = 0; d < n; ++d)
        groupOf[d] = leader[groupOf[d]];
}

} // namespace

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
    const std::vector<std::uint32_t> streamStart =
        sortEntries(m_documents, buffer.get(), total, threads, stop);
    const auto documentOf = [](std::uint64_t entry) { return lowHalf(entry); };

    // Each document's anchor: its hash held by the most documents (the
    // smallest such hash on a tie), if that is a frequent one, as the
    // largest key holders << 32 | ~hash; ranges of streams on the threads
    // may raise one document's key at once. Only runs of frequent hashes
    // matter to grouping; they are listed for the passes that follow.
    std::vector<std::uint64_t> anchorKey(n, 0);
    const auto anchorOf = [&anchorKey](std::uint32_t document) {
        return ~lowHalf(anchorKey[document]);
    };
    std::vector<Run> frequentRuns;
    {
        const std::size_t streams = streamStart.size() - 1;
        const std::size_t parts = threads == 1 ? 1 : static_cast<std::size_t>(threads) * 4;
        std::vector<std::vector<Run>> partRuns(parts);
        inParallel(threads, parts, stop, [&](std::size_t part, std::size_t, Pacer& partPacer) {
            const std::size_t begin = streamStart[streams * part / parts];
            const std::size_t end = streamStart[streams * (part + 1) / parts];
            const std::uint64_t* const entries = buffer.get() + begin;
            forEachRun(entries, end - begin, partPacer, [&](std::size_t first, std::size_t last) {
                if (last - first < kFrequent)
                    return;
                partRuns[part].push_back({static_cast<std::uint32_t>(begin + first),
                                          static_cast<std::uint32_t>(begin + last)});
                const std::uint32_t holders = distinctDocuments(entries, first, last);
                if (holders < kFrequent)
                    return;
                const std::uint64_t key = std::uint64_t{holders} << 32 | ~hashOf(entries[first]);
                for (std::size_t i = first; i < last; ++i) {
                    std::atomic_ref<std::uint64_t> slot(anchorKey[documentOf(entries[i])]);
                    std::uint64_t held = slot.load(std::memory_order_relaxed);
                    while (key > held &&
                           !slot.compare_exchange_weak(held, key, std::memory_order_relaxed)) {
                    }
                }
            });
        });
        for (const std::vector<Run>& runs : partRuns)
            frequentRuns.insert(frequentRuns.end(), runs.begin(), runs.end());
    }

    // Documents with the same anchor form a group named by its first member;
    // each document is met in the run of its anchor only.
    m_group.resize(n);
    for (std::size_t d = 0; d < n; ++d)
        m_group[d] = static_cast<std::uint32_t>(d);
    {
        const std::vector<std::size_t> spans = spansOf(frequentRuns, threads);
        inParallel(threads, spans.size() - 1, stop,
                   [&](std::size_t span, std::size_t, Pacer& spanPacer) {
                       for (std::size_t r = spans[span]; r < spans[span + 1]; ++r) {
                           const Run run = frequentRuns[r];
                           const std::uint32_t hash = hashOf(buffer[run.first]);
                           std::uint32_t leader = std::numeric_limits<std::uint32_t>::max();
                           for (std::size_t i = run.first; i < run.last; ++i) {
                               const std::uint32_t document = documentOf(buffer[i]);
                               if (anchorKey[document] == 0 || anchorOf(document) != hash)
                                   continue;
                               leader = std::min(leader, document);
                               m_group[document] = leader;
                           }
                           spanPacer.step(run.last - run.first);
                       }
                   });
    }
    anchorKey = {};
    regroup(m_group, buffer.get(), frequentRuns, threads, stop);
    frequentRuns = {};
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
    // items than entries, so the items are written in place. Each thread
    // takes ranges of whole streams, writes a range's items from its start,
    // and notes for each document where it stands in each run that has items
    // before it; the ranges then close up in order.
    struct Scratch {
        std::vector<std::uint32_t> holders;
        std::vector<std::uint32_t> mark;
        std::uint32_t runNumber = 0;
        std::vector<std::uint32_t> clusterOf;
        /// Whether a member of the group lacked one of its common hashes in
        /// the range so far.
        std::vector<std::uint8_t> lacking;
        std::vector<std::uint32_t> groupsMet;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runDocuments; // document, occurrences
        std::vector<std::uint32_t> runItems;
    };
    /// A standing that is only its own group's common item: kept unless the
    /// group turns out to be a cluster, whose members read it from their bits.
    constexpr std::uint64_t kOwnCommon = std::uint64_t{1} << 63;
    struct Range {
        std::size_t begin = 0;
        std::size_t end = 0;
        std::size_t written = 0;
        /// document << 32 | item position from `begin`, maybe with kOwnCommon.
        std::vector<std::uint64_t> standings;
        std::vector<std::uint32_t> clusterGroups;
        std::vector<Cluster> clusters;
    };
    const std::size_t streams = streamStart.size() - 1;
    const std::size_t rangeCount = threads == 1 ? 1 : static_cast<std::size_t>(threads) * 4;
    std::vector<Range> ranges(rangeCount);
    for (std::size_t r = 0; r < rangeCount; ++r) {
        ranges[r].begin = streamStart[streams * r / rangeCount];
        ranges[r].end = streamStart[streams * (r + 1) / rangeCount];
    }
    std::vector<Scratch> scratches(static_cast<std::size_t>(threads));
    inParallel(threads, rangeCount, stop, [&](std::size_t r, std::size_t thread, Pacer& pacer) {
        Range& range = ranges[r];
        Scratch& scratch = scratches[thread];
        if (scratch.holders.empty()) {
            scratch.holders.assign(n, 0);
            scratch.mark.assign(n, 0);
            scratch.clusterOf.assign(n, 0);
            scratch.lacking.assign(n, 0);
        }
        std::uint64_t* const entries = buffer.get() + range.begin;
        // At most one per entry; pages never written are never taken from
        // the system, and copies of several documents would otherwise grow
        // it through many reallocations.
        range.standings.reserve(range.end - range.begin);
        forEachRun(
            entries, range.end - range.begin, pacer, [&](std::size_t first, std::size_t last) {
                const std::uint64_t hash = hashOf(entries[first]);
                std::uint64_t* const out = entries + range.written;
                if (alone(entries, first, last)) {
                    // Each holder is its own group (a common item for its first
                    // occurrence and one more per repeat, already in order), or
                    // the only holder. The items may overwrite entries just read.
                    std::uint64_t previous = 0;
                    for (std::size_t i = first; i < last; ++i) {
                        const std::uint64_t entry = entries[i];
                        const std::uint32_t document = documentOf(entry);
                        const bool repeat = i > first && entry == previous;
                        if (!repeat && i > first)
                            range.standings.push_back(std::uint64_t{document} << 32 |
                                                      (range.written + i - first));
                        const bool common = !repeat && groupSize(m_group[document]) == 1;
                        out[i - first] = hash << 32 | document << 2 | (common ? Common : OneMore);
                        previous = entry;
                    }
                    range.written += last - first;
                    return;
                }
                const std::uint32_t runNumber = ++scratch.runNumber;
                auto& runDocuments = scratch.runDocuments;
                auto& runItems = scratch.runItems;
                auto& holders = scratch.holders;
                auto& groupsMet = scratch.groupsMet;
                runDocuments.clear();
                runItems.clear();
                for (std::size_t i = first; i < last; ++i) {
                    const std::uint32_t document = documentOf(entries[i]);
                    if (i > first && entries[i] == entries[i - 1]) {
                        ++runDocuments.back().second;
                        continue;
                    }
                    runDocuments.emplace_back(document, 1);
                    scratch.mark[document] = runNumber;
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
                    if (scratch.clusterOf[group] == 0) {
                        range.clusters.emplace_back();
                        range.clusterGroups.push_back(group);
                        scratch.clusterOf[group] =
                            static_cast<std::uint32_t>(range.clusters.size());
                    }
                    Cluster& cluster = range.clusters[scratch.clusterOf[group] - 1];
                    cluster.hashes.push_back(static_cast<std::uint32_t>(hash));
                    cluster.lackStart.push_back(static_cast<std::uint32_t>(cluster.lacks.size()));
                    // Without a branch: about half the members of a cluster
                    // may lack any one hash, in no order a guess would follow.
                    const std::uint32_t* members = m_members.data() + m_memberStart[group];
                    const std::size_t listed = cluster.lacks.size();
                    cluster.lacks.resize(listed + size);
                    std::uint32_t* lacks = cluster.lacks.data() + listed;
                    std::size_t lacking = 0;
                    for (std::uint32_t p = 0; p < size; ++p) {
                        lacks[lacking] = p;
                        lacking += scratch.mark[members[p]] != runNumber ? 1 : 0;
                    }
                    cluster.lacks.resize(listed + lacking);
                    scratch.lacking[group] |= lacking > 0 ? 1 : 0;
                }
                // The first occurrence of a common hash in a member is its share
                // of the common item.
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
                    if (before == 0)
                        continue;
                    const std::uint32_t group = m_group[document];
                    const bool ownCommon = before == 1 && runItems[0] == (group << 2 | Common);
                    // A group seen lacking a common hash is a cluster already.
                    if (ownCommon && scratch.lacking[group] != 0)
                        continue;
                    range.standings.push_back(std::uint64_t{document} << 32 |
                                              (range.written + before) |
                                              (ownCommon ? kOwnCommon : 0));
                }
                range.written += runItems.size();
            });
        for (std::uint32_t group : range.clusterGroups) {
            scratch.clusterOf[group] = 0;
            scratch.lacking[group] = 0;
        }
    });
    scratches = {};

    // The ranges close up, in order: none moves over one not yet moved.
    std::size_t written = 0;
    for (const Range& range : ranges) {
        if (written != range.begin)
            std::memmove(buffer.get() + written, buffer.get() + range.begin,
                         range.written * sizeof(std::uint64_t));
        written += range.written;
        pacer.step(range.written);
    }
    m_items = std::move(buffer);
    m_itemCount = written;

    // A group's common hashes, met range by range, are in order; the parts
    // of each cluster are joined on the threads.
    std::vector<Cluster> clusters;
    m_clusterOf.assign(n, 0);
    {
        /// Per cluster, its parts as range << 32 | place in the range.
        std::vector<std::vector<std::uint64_t>> parts;
        for (std::size_t r = 0; r < ranges.size(); ++r) {
            for (std::size_t c = 0; c < ranges[r].clusters.size(); ++c) {
                const std::uint32_t group = ranges[r].clusterGroups[c];
                if (m_clusterOf[group] == 0) {
                    parts.emplace_back();
                    m_clusterOf[group] = static_cast<std::uint32_t>(parts.size());
                }
                parts[m_clusterOf[group] - 1].push_back(std::uint64_t{r} << 32 | c);
            }
        }
        clusters.resize(parts.size());
        inParallel(threads, parts.size(), stop, [&](std::size_t k, std::size_t, Pacer& step) {
            const auto partOf = [&](std::uint64_t place) -> Cluster& {
                return ranges[hashOf(place)].clusters[lowHalf(place)];
            };
            std::size_t hashes = 0;
            std::size_t lacks = 0;
            for (std::uint64_t place : parts[k]) {
                hashes += partOf(place).hashes.size();
                lacks += partOf(place).lacks.size();
            }
            Cluster& cluster = clusters[k];
            cluster = std::move(partOf(parts[k].front()));
            cluster.hashes.reserve(hashes);
            cluster.lackStart.reserve(hashes);
            cluster.lacks.reserve(lacks);
            for (std::size_t p = 1; p < parts[k].size(); ++p) {
                Cluster& part = partOf(parts[k][p]);
                const auto shift = static_cast<std::uint32_t>(cluster.lacks.size());
                cluster.hashes.insert(cluster.hashes.end(), part.hashes.begin(), part.hashes.end());
                for (std::uint32_t start : part.lackStart)
                    cluster.lackStart.push_back(start + shift);
                cluster.lacks.insert(cluster.lacks.end(), part.lacks.begin(), part.lacks.end());
                step.step(part.hashes.size() + part.lacks.size());
                part = {};
            }
        });
        for (Range& range : ranges) {
            range.clusters = {};
            range.clusterGroups = {};
        }
    }
    // A member of a cluster reads its own group's common hashes from its bits.
    const auto readsOwnBits = [&](std::uint32_t document) {
        const std::uint32_t group = m_group[document];
        return m_clusterOf[group] != 0 && !clusters[m_clusterOf[group] - 1].lacks.empty();
    };
    m_sharedStart.assign(n + 1, 0);
    for (const Range& range : ranges) {
        for (std::uint64_t standing : range.standings) {
            const std::uint32_t document = hashOf(standing & ~kOwnCommon);
            if ((standing & kOwnCommon) == 0 || !readsOwnBits(document))
                ++m_sharedStart[document + 1];
        }
    }
    for (std::size_t d = 0; d < n; ++d)
        m_sharedStart[d + 1] += m_sharedStart[d];
    m_sharedCount = m_sharedStart[n];
    m_shared = allocateArray<std::uint32_t>(m_sharedCount);
    {
        std::vector<std::uint32_t> cursor(m_sharedStart.begin(), m_sharedStart.end() - 1);
        std::size_t closed = 0;
        for (Range& range : ranges) {
            for (std::uint64_t standing : range.standings) {
                const std::uint32_t document = hashOf(standing & ~kOwnCommon);
                if ((standing & kOwnCommon) == 0 || !readsOwnBits(document))
                    m_shared[cursor[document]++] =
                        static_cast<std::uint32_t>(closed + lowHalf(standing));
            }
            closed += range.written;
            pacer.step(range.standings.size());
            range.standings = {};
        }
    }

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
        cluster.sizes.resize(groupSize(group));
        for (std::uint32_t p = 0; p < groupSize(group); ++p)
            cluster.sizes[p] = sizeOf(m_members[m_memberStart[group] + p]);
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
            setLeaf(m_sizeTree.data() + m_treeStart[group], groupSize(group), p,
                    sizeOf(m_members[m_memberStart[group] + p]));
    }
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
    std::int32_t least = kNoSize;
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
            const std::uint32_t document =
                m_index.m_members[m_index.m_memberStart[group] + position];
            if (m_seen[document] != m_visit) {
                m_seen[document] = m_visit;
                m_difference[document] = 0;
                m_touched.push_back(document);
            }
            --m_difference[document];
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
    const auto self = static_cast<std::uint32_t>(current);
    const std::int32_t selfSize = m_index.sizeOf(self);
    if (++m_visit == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0);
        std::fill(m_fullVisit.begin(), m_fullVisit.end(), 0);
        m_visit = 1;
    }

    // A member of a cluster, not its first, holds its group's common hashes
    // its bits say.
    const std::uint32_t ownGroup = m_index.m_group[self];
    const bool ownFromBits = ownGroup != self && m_index.m_clusterOf[ownGroup] != 0;
    if (ownFromBits) {
        const Cluster& cluster = m_index.m_clusters[m_index.m_clusterOf[ownGroup] - 1];
        std::vector<std::uint32_t>& met = m_met[m_index.m_clusterOf[ownGroup] - 1];
        const std::uint64_t* holds =
            cluster.holds.data() + std::size_t{m_index.positionIn(ownGroup, self)} * cluster.words;
        for (std::uint32_t w = 0; w < cluster.words; ++w)
            for (std::uint64_t bits = holds[w]; bits != 0; bits &= bits - 1)
                met.push_back(w * 64 + static_cast<std::uint32_t>(std::countr_zero(bits)));
        m_common[ownGroup] = static_cast<std::uint32_t>(met.size());
        if (m_common[ownGroup] > 0)
            m_touchedGroups.push_back(ownGroup);
    }

    // Repeats in the current document add nothing (one run per hash);
    // repeats in an earlier one count once each.
    const std::uint32_t* first = m_index.m_shared.get() + m_index.m_sharedStart[self];
    const std::uint32_t* last = m_index.m_shared.get() + m_index.m_sharedStart[self + 1];
    constexpr std::ptrdiff_t kAhead = 8;
    for (const std::uint32_t* it = first; it != last; ++it) {
        if (last - it > kAhead)
            __builtin_prefetch(&m_index.m_items[it[kAhead] - 1]);
        const std::size_t at = *it;
        const std::uint32_t hash = hashOf(m_index.m_items[at - 1]); // at may start the next run
        for (std::size_t p = at; p > 0 && hashOf(m_index.m_items[p - 1]) == hash; --p) {
            const std::uint32_t item = lowHalf(m_index.m_items[p - 1]);
            const std::uint32_t order = item >> 2;
            if ((item & 3) == Common) {
                if (ownFromBits && order == ownGroup)
                    continue;
                if (m_common[order]++ == 0)
                    m_touchedGroups.push_back(order);
                if (m_index.m_clusterOf[order] != 0) {
                    const Cluster& cluster = m_index.m_clusters[m_index.m_clusterOf[order] - 1];
                    m_met[m_index.m_clusterOf[order] - 1].push_back(static_cast<std::uint32_t>(
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
        if (m_index.m_clusterOf[group] != 0)
            countLacks(group, self);
    const auto countedFromBits = [this](std::uint32_t group) {
        return m_index.m_clusterOf[group] != 0 &&
               m_fullVisit[m_index.m_clusterOf[group] - 1] == m_visit;
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
        const std::uint32_t group = m_index.m_group[document];
        if (countedFromBits(group))
            continue;
        const std::int64_t matches = std::int64_t{m_common[group]} + m_difference[document];
        assert(matches >= 0 && "a member lacks only common hashes it was counted for");
        if (matches > 0)
            consider(scoreOf(matches, m_index.sizeOf(document)), document);
        if (m_common[group] > 0 && m_index.groupSize(group) > 1)
            setSize(group, m_index.positionIn(group, document), kNoSize);
    }

    // Every other earlier member of a group has exactly the common matches;
    // its score then falls with its size alone.
    for (std::uint32_t group : m_fullGroups)
        countFromBits(group, self,
                      [&](std::int64_t matches, std::uint32_t document, std::int32_t memberSize) {
                          const std::int32_t size = std::max(memberSize, selfSize);
                          // The score is at most the truncated quotient: only a member that
                          // may still win in a best-only scoring is scored exactly. (The
                          // quotient stays below `needed` exactly when 100 * matches does
                          // below needed * size; no division.)
                          const std::int64_t needed =
                              best.score +
                              (static_cast<std::int32_t>(document) > best.document ? 1 : 0);
                          if (count == 0 && 100 * matches < needed * size)
                              return;
                          consider(PercentOfMatches(matches, size), document);
                      });
    for (std::uint32_t group : m_touchedGroups) {
        if (countedFromBits(group))
            continue;
        const std::uint32_t common = m_common[group];
        if (m_index.groupSize(group) == 1) {
            if (m_seen[group] != m_visit)
                consider(scoreOf(common, m_index.sizeOf(group)), group);
            continue;
        }
        const auto members = std::span(m_index.m_members)
                                 .subspan(m_index.m_memberStart[group], m_index.groupSize(group));
        const std::uint32_t end = m_index.positionIn(group, self);
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
            const std::int32_t high = m_index.largestSizeFor(common, low, score);
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
            setSize(group, position, m_index.sizeOf(members[position]));
        m_taken.clear();
    }

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
           bytes(m_treeStart) + bytes(m_sizeTree) + (m_scorer ? m_scorer->memoryBytes() : 0);
}

std::size_t MatchIndex::Scorer::memoryBytes() const {
    const auto bytes = [](const auto& vector) { return vector.capacity() * sizeof(vector[0]); };
    return bytes(m_sizeTree) + bytes(m_met) + bytes(m_fullVisit) + bytes(m_common) +
           bytes(m_difference) + bytes(m_seen) + bytes(m_touched) + bytes(m_touchedGroups) +
           bytes(m_taken) + bytes(m_candidates);
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
