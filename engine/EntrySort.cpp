#include "EntrySort.h"

#include "IndexArrays.h"
#include "Pacer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace quillmark {

namespace {

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
        // Kept in order as they come: a handful, and std::sort on so short a range trips a
        // false array-bounds warning in GCC 12.
        std::size_t at = distinct++;
        for (; at > 0 && hashes[at - 1] > hash; --at)
            hashes[at] = hashes[at - 1];
        hashes[at] = hash;
    }
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

/// The first pass: the entries into 2^outerBits streams by their top bits.
/// The documents are shared out among the threads in slices, each with its
/// own count per stream, so that each writes its own place in every stream.
std::vector<std::uint32_t> intoStreams(std::span<const TudShingleList> documents,
                                       std::uint64_t* entries, int outerBits, int threads,
                                       const StopCheck& stop) {
    const std::size_t outer = std::size_t{1} << outerBits;
    const std::size_t slices = partsFor(threads);
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
    return outerStart;
}

/// A thread's buffers, kept from stream to stream: fresh ones would each be
/// pages the system clears first.
struct StreamBuffers {
    std::vector<std::uint32_t> innerStart;
    std::vector<std::uint32_t> place;
    std::vector<std::uint64_t> part;
    std::vector<std::uint64_t> spare;
};

/// The second pass over one stream: its entries into 2^(bits - outerBits)
/// buckets by their next bits, then each bucket sorted.
void sortStream(std::uint64_t* first, std::size_t size, int bits, int outerBits,
                StreamBuffers& own) {
    const std::size_t inner = std::size_t{1} << (bits - outerBits);
    if (inner == 1) {
        sortBucket(first, first + size, own.spare);
        return;
    }
    const auto innerMask = static_cast<std::uint32_t>(inner - 1);
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
}

} // namespace

/// Two counting passes on the top bits of the hash (first into 256 streams,
/// then each cache-sized part by itself), then each small bucket by a plain
/// sort: random writes over the whole array would miss the cache on nearly
/// every entry. The first pass shares the documents out among the threads,
/// the second the streams.
std::vector<std::uint32_t> sortEntries(std::span<const TudShingleList> documents,
                                       std::uint64_t* entries, std::size_t total, int threads,
                                       const StopCheck& stop) {
    // About eight entries per final bucket.
    const int bits = std::clamp(
        static_cast<int>(std::bit_width(std::max<std::size_t>(total / 8, 1))) - 1, 0, 28);
    const int outerBits = std::min(bits, 8);
    const std::vector<std::uint32_t> outerStart =
        intoStreams(documents, entries, outerBits, threads, stop);
    std::vector<StreamBuffers> buffers(static_cast<std::size_t>(threads));
    const std::size_t outer = outerStart.size() - 1;
    inParallel(threads, outer, stop, [&](std::size_t b, std::size_t thread, Pacer& pacer) {
        const std::size_t size = outerStart[b + 1] - outerStart[b];
        pacer.step(4 * size);
        sortStream(entries + outerStart[b], size, bits, outerBits, buffers[thread]);
    });
    return outerStart;
}

} // namespace quillmark
