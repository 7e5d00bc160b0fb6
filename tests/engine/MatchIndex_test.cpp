#include "engine/MatchIndex.h"
#include "engine/ParallelComparison.h"

#include "PlainMatchIndex.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace quillmark::test {
namespace {

TudShingleList listOf(std::vector<std::uint32_t> hashes) {
    TudShingleList list;
    list.Count = static_cast<std::int32_t>(hashes.size());
    list.Hashes = std::move(hashes);
    return list;
}

/// The first earlier document reaching the best score, by brute force.
std::int32_t firstBest(std::span<const TudShingleList> docs, std::size_t k, std::int32_t best) {
    if (best == 0)
        return -1;
    for (std::size_t d = 0; d < k; ++d)
        if (MatchPercent(docs[d], docs[k]) == best)
            return static_cast<std::int32_t>(d);
    return -2;
}

/// A table full of near-copies, repeated hashes, one-hash texts (as empty and
/// short texts give) and long texts, over a small alphabet so that unrelated
/// documents share hashes too.
std::vector<TudShingleList> randomTable(unsigned seed, int documents) {
    std::mt19937 random(seed);
    const auto below = [&random](std::uint32_t n) {
        return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random);
    };
    const std::uint32_t alphabet = 1 + below(3000);
    std::vector<TudShingleList> docs;
    for (int i = 0; i < documents; ++i) {
        const std::uint32_t kind = below(10);
        std::vector<std::uint32_t> hashes;
        if (kind == 0) {
            hashes = {0}; // an empty or too short text
        } else if (kind == 1) {
            hashes = {below(alphabet) * 0x9E3779B1u}; // one window
        } else if (kind <= 4 && !docs.empty()) {
            // A near-copy: an earlier text with a few hashes changed, added
            // or dropped, sometimes whole.
            hashes = docs[below(static_cast<std::uint32_t>(docs.size()))].Hashes;
            const std::uint32_t edits = below(4) == 0 ? 0 : below(8);
            for (std::uint32_t e = 0; e < edits && !hashes.empty(); ++e) {
                const std::uint32_t at = below(static_cast<std::uint32_t>(hashes.size()));
                switch (below(3)) {
                case 0:
                    hashes[at] = below(alphabet) * 0x9E3779B1u;
                    break;
                case 1:
                    hashes.push_back(hashes[at]); // a repeat
                    break;
                default:
                    if (hashes.size() > 1)
                        hashes.erase(hashes.begin() + at);
                }
            }
        } else {
            const std::uint32_t size = 1 + below(kind == 9 ? 500 : 120);
            for (std::uint32_t h = 0; h < size; ++h)
                hashes.push_back(below(alphabet) * 0x9E3779B1u);
        }
        docs.push_back(listOf(std::move(hashes)));
    }
    return docs;
}

TEST(MatchIndex, GivesBestMatchPercentOnRandomTables) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::vector<TudShingleList> docs = randomTable(seed, 150);
        MatchIndex index(docs);
        for (std::size_t k = 0; k < docs.size(); ++k) {
            const std::int32_t expected = BestMatchPercent(std::span(docs).first(k), docs[k]);
            const MatchIndex::Match got = index.bestMatch(static_cast<std::int32_t>(k));
            ASSERT_EQ(got.score, expected) << "seed " << seed << " document " << k;
            ASSERT_EQ(got.document, firstBest(docs, k, expected))
                << "seed " << seed << " document " << k;
        }
    }
}

TEST(MatchIndex, RanksTheEarlierDocumentsLikeMatchPercentOverEachPair) {
    for (unsigned seed = 41; seed <= 60; ++seed) {
        const std::vector<TudShingleList> docs = randomTable(seed, 120);
        MatchIndex index(docs);
        for (std::size_t k = 0; k < docs.size(); ++k) {
            std::vector<RankedMatch> all;
            for (std::size_t d = 0; d < k; ++d)
                if (const std::int32_t score = MatchPercent(docs[d], docs[k]); score > 0)
                    all.push_back({static_cast<std::int32_t>(d), score});
            std::stable_sort(
                all.begin(), all.end(),
                [](const RankedMatch& a, const RankedMatch& b) { return a.score > b.score; });
            const std::size_t count = 1 + k % 5;
            all.resize(std::min(all.size(), count));
            std::vector<RankedMatch> ranked;
            const MatchIndex::Match best =
                index.rankMatches(static_cast<std::int32_t>(k), count, ranked);
            ASSERT_EQ(ranked, all) << "seed " << seed << " document " << k;
            // Every document keeps its list: none may hold room for all it met.
            ASSERT_LE(ranked.capacity(), count);
            ASSERT_EQ(best.score, all.empty() ? 0 : all.front().score);
            ASSERT_EQ(best.document, all.empty() ? -1 : all.front().document);
        }
    }
}

TEST(MatchIndex, CountsEarlierRepeatsOnceEachAndCurrentRepeatsNotAtAll) {
    // Earlier {5, 5, 7} against current {5, 9}: both 5s match, m = 3.
    const std::vector<TudShingleList> docs = {listOf({5, 5, 7}), listOf({5, 9}),
                                              listOf({5, 5, 5, 9})};
    MatchIndex index(docs);
    EXPECT_EQ(index.bestMatch(1).score, 66);
    EXPECT_EQ(index.bestMatch(1).document, 0);
    // Against {5, 5, 7}: 2 of 4; against {5, 9}: 2 of 4; the first one wins.
    EXPECT_EQ(index.bestMatch(2).score, 50);
    EXPECT_EQ(index.bestMatch(2).document, 0);
    EXPECT_EQ(index.bestMatch(0).score, 0);
    EXPECT_EQ(index.bestMatch(0).document, -1);
}

TEST(MatchIndex, ScoresWithTheExtendedRoundingOfFullCopies) {
    // Two full copies of 97 hashes score 99, not 100.
    std::vector<std::uint32_t> hashes(97);
    for (std::uint32_t i = 0; i < 97; ++i)
        hashes[i] = i * 2654435761u;
    const std::vector<TudShingleList> docs = {listOf(hashes), listOf(hashes)};
    MatchIndex index(docs);
    EXPECT_EQ(index.bestMatch(1).score, 99);
}

TEST(MatchIndex, NoMatchGivesScoreZeroAndNoDocument) {
    const std::vector<TudShingleList> docs = {listOf({1, 2, 3}), listOf({4}), listOf({})};
    MatchIndex index(docs);
    EXPECT_EQ(index.bestMatch(1).score, 0);
    EXPECT_EQ(index.bestMatch(1).document, -1);
    EXPECT_EQ(index.bestMatch(2).document, -1);
}

TEST(MatchIndex, IndexStaysUnderThreeTimesTheHashes) {
    const std::vector<TudShingleList> docs = randomTable(7, 2000);
    std::size_t hashBytes = 0;
    for (const TudShingleList& list : docs)
        hashBytes += list.Hashes.size() * sizeof(std::uint32_t);
    MatchIndex index(docs);
    for (std::size_t k = 0; k < docs.size(); ++k)
        index.bestMatch(static_cast<std::int32_t>(k));
    EXPECT_LT(index.memoryBytes(), 3 * hashBytes);
}

/// How a batch is made: parts in per cent of the documents.
struct BatchShape {
    const char* name;
    int documents;
    int footer;   // hashes every long text ends with
    int copies;   // exact copies of a random earlier text
    int clusters; // near-copy clusters, 0 for none
    int changed;  // per cent of a near-copy's hashes changed
    int empty;    // the one hash of every empty text
    int short_;   // one hash from a small set
    int repeats;  // per cent of texts with a repeated hash
    int sizeLow;
    int sizeHigh;
    std::size_t groups; // at least this many groups of several documents
};

void PrintTo(const BatchShape& shape, std::ostream* out) {
    *out << shape.name;
}

std::vector<TudShingleList> batchOf(const BatchShape& shape, unsigned seed) {
    std::mt19937 random(seed);
    const auto below = [&random](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(random);
    };
    const auto fresh = [&random] { return std::uniform_int_distribution<std::uint32_t>()(random); };
    std::vector<std::uint32_t> footer(static_cast<std::size_t>(shape.footer));
    for (std::uint32_t& hash : footer)
        hash = fresh();
    const auto longText = [&] {
        std::vector<std::uint32_t> hashes(
            static_cast<std::size_t>(shape.sizeLow + below(shape.sizeHigh - shape.sizeLow + 1)));
        for (std::uint32_t& hash : hashes)
            hash = fresh();
        return hashes;
    };
    std::vector<std::vector<std::uint32_t>> centres;
    for (int c = 0; c < shape.clusters; ++c)
        centres.push_back(longText());

    std::vector<TudShingleList> docs;
    for (int i = 0; i < shape.documents; ++i) {
        std::vector<std::uint32_t> hashes;
        const int kind = below(100);
        if (kind < shape.empty) {
            hashes = {0x2144DF1Cu};
        } else if (kind < shape.empty + shape.short_) {
            hashes = {0x5EED0000u + static_cast<std::uint32_t>(below(3))};
        } else if (kind < shape.empty + shape.short_ + shape.copies && !docs.empty()) {
            hashes = docs[static_cast<std::size_t>(below(i))].Hashes;
        } else {
            if (shape.clusters > 0) {
                hashes = centres[static_cast<std::size_t>(below(shape.clusters))];
                for (std::uint32_t& hash : hashes)
                    if (below(100) < shape.changed)
                        hash = below(2) == 0 ? fresh()
                                             : hashes[static_cast<std::size_t>(
                                                   below(static_cast<int>(hashes.size())))];
                if (below(3) == 0)
                    hashes.resize(hashes.size() - static_cast<std::size_t>(below(3)));
            } else {
                hashes = longText();
            }
            hashes.insert(hashes.end(), footer.begin(), footer.end());
            if (below(100) < shape.repeats)
                hashes.push_back(
                    hashes[static_cast<std::size_t>(below(static_cast<int>(hashes.size())))]);
        }
        docs.push_back(listOf(std::move(hashes)));
    }
    return docs;
}

class MatchIndexOnBatches : public testing::TestWithParam<BatchShape> {};

// The reference walks every earlier posting; the index must give the same
// best score, best match and ranking for every document.
TEST_P(MatchIndexOnBatches, AgreesWithThePlainIndex) {
    const BatchShape& shape = GetParam();
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::vector<TudShingleList> docs = batchOf(shape, seed);
        PlainMatchIndex plain(docs);
        MatchIndex index(docs);
        ASSERT_TRUE(index.complete());
        // The shapes meant to gather documents do so.
        EXPECT_GE(index.sharedGroupCount(), shape.groups) << shape.name << " seed " << seed;
        for (std::size_t k = 0; k < docs.size(); ++k) {
            const auto current = static_cast<std::int32_t>(k);
            const PlainMatchIndex::Match expected = plain.bestMatch(current);
            const MatchIndex::Match got = index.bestMatch(current);
            ASSERT_EQ(got.score, expected.score)
                << shape.name << " seed " << seed << " document " << k;
            ASSERT_EQ(got.document, expected.document)
                << shape.name << " seed " << seed << " document " << k;
            const std::size_t count = 1 + k % 4;
            std::vector<RankedMatch> expectedRanks;
            std::vector<RankedMatch> ranks;
            plain.rankMatches(current, count, expectedRanks);
            const MatchIndex::Match ranked = index.rankMatches(current, count, ranks);
            ASSERT_EQ(ranks, expectedRanks) << shape.name << " seed " << seed << " document " << k;
            ASSERT_EQ(ranked.document, expected.document)
                << shape.name << " seed " << seed << " document " << k;
        }
    }
}

// On any number of threads, the index is sorted and the documents scored
// exactly as the plain index scores them one after another.
TEST_P(MatchIndexOnBatches, AgreesWithThePlainIndexOnThreads) {
    const BatchShape& shape = GetParam();
    const std::vector<TudShingleList> docs = batchOf(shape, 5);
    PlainMatchIndex plain(docs);
    const auto n = static_cast<std::int32_t>(docs.size());
    for (const int threads : {1, 2, 5}) {
        for (const std::size_t rankCount : {std::size_t{0}, std::size_t{3}}) {
            const MatchIndex index(docs, {}, threads);
            ASSERT_TRUE(index.complete());
            // The grouping, and so the work, is the same on any number of threads:
            // as many groups, and as many items written for them.
            const MatchIndex alone(docs);
            EXPECT_EQ(index.sharedGroupCount(), alone.sharedGroupCount());
            EXPECT_EQ(index.memoryBytes(), alone.memoryBytes());
            std::vector<std::int32_t> scores(docs.size(), -7);
            std::vector<std::int32_t> bestMatches(docs.size(), -7);
            std::vector<std::vector<RankedMatch>> ranked(docs.size());
            const std::int32_t first = n / 7; // the ones before are references
            ParallelComparison comparison(index, first, rankCount, threads,
                                          {scores, bestMatches, ranked});
            ASSERT_TRUE(comparison.waitFor(n - 1, std::chrono::seconds(60)));
            for (std::int32_t k = 0; k < n; ++k) {
                const auto at = static_cast<std::size_t>(k);
                if (k < first) {
                    ASSERT_EQ(scores[at], -7) << "a reference is not scored";
                    continue;
                }
                std::vector<RankedMatch> expectedRanks;
                const PlainMatchIndex::Match expected =
                    plain.rankMatches(k, rankCount, expectedRanks);
                ASSERT_EQ(scores[at], expected.score) << threads << " threads, document " << k;
                ASSERT_EQ(bestMatches[at], expected.document)
                    << threads << " threads, document " << k;
                ASSERT_EQ(ranked[at], expectedRanks) << threads << " threads, document " << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, MatchIndexOnBatches,
                         testing::Values(
                             //          name              docs footer copies clusters changed empty
                             //          short repeats sizes  groups
                             BatchShape{"unrelated", 300, 0, 0, 0, 0, 0, 0, 0, 20, 60, 0},
                             BatchShape{"sharedFooter", 400, 12, 0, 0, 0, 0, 0, 10, 20, 60, 1},
                             BatchShape{"allCopies", 300, 0, 100, 0, 0, 0, 0, 0, 90, 110, 1},
                             BatchShape{"nearCopyClusters", 500, 0, 0, 4, 5, 0, 0, 10, 90, 200, 4},
                             BatchShape{"heavyChanges", 500, 0, 0, 6, 45, 0, 0, 20, 30, 50, 6},
                             BatchShape{"lightChanges", 500, 0, 0, 3, 2, 0, 0, 10, 90, 200, 3},
                             BatchShape{"wideClusters", 900, 0, 5, 3, 40, 0, 0, 10, 100, 200, 3},
                             BatchShape{"scatteredCopies", 500, 0, 10, 0, 0, 0, 0, 5, 20, 40, 0},
                             BatchShape{"halfEmptyOrShort", 500, 0, 0, 0, 0, 25, 25, 0, 20, 40, 2},
                             BatchShape{"everything", 600, 8, 15, 5, 10, 10, 10, 15, 5, 120, 3},
                             BatchShape{"oneHashTexts", 400, 0, 20, 0, 0, 40, 40, 0, 1, 2, 2},
                             BatchShape{"footerOnly", 300, 20, 0, 0, 0, 0, 0, 0, 0, 3, 1}),
                         [](const testing::TestParamInfo<BatchShape>& info) {
                             return std::string(info.param.name);
                         });

// Near-copies lacking their text's most held hash still join its group: one
// group per cluster, however many members lack which hash.
TEST(MatchIndex, GathersEachClusterOfNearCopiesIntoOneGroup) {
    for (const int changed : {5, 20, 40}) {
        const BatchShape shape{"clusters", 900, 0, 0, 3, changed, 0, 0, 0, 100, 200, 3};
        for (unsigned seed = 1; seed <= 3; ++seed) {
            const std::vector<TudShingleList> docs = batchOf(shape, seed);
            const MatchIndex index(docs);
            EXPECT_EQ(index.sharedGroupCount(), 3u) << changed << "% seed " << seed;
        }
    }
}

// Batches big enough for every thread to take part in grouping: the groups,
// and the items written for them, are those of one thread.
TEST(MatchIndex, GroupsLargeBatchesAlikeOnAnyNumberOfThreads) {
    const BatchShape shapes[] = {
        //     name          docs footer copies clusters changed empty short repeats sizes groups
        {"heavyChanges", 6000, 0, 0, 12, 45, 0, 0, 20, 150, 250, 12},
        {"wideClusters", 6000, 8, 5, 6, 40, 5, 5, 10, 150, 250, 6},
    };
    for (const BatchShape& shape : shapes) {
        const std::vector<TudShingleList> docs = batchOf(shape, 3);
        const MatchIndex alone(docs);
        for (const int threads : {2, 5}) {
            const MatchIndex index(docs, {}, threads);
            ASSERT_TRUE(index.complete());
            EXPECT_EQ(index.sharedGroupCount(), alone.sharedGroupCount()) << shape.name << threads;
            EXPECT_EQ(index.memoryBytes(), alone.memoryBytes()) << shape.name << threads;
        }
    }
}

// The index leans on three properties of the score: it never falls as the
// matches grow, never rises as the larger size grows, and never exceeds the
// truncated quotient.
TEST(PercentOfMatches, IsMonotoneInMatchesAndSize) {
    for (std::int64_t size = 1; size <= 1500; ++size) {
        std::int32_t previous = 0;
        for (std::int64_t matches = 0; matches <= size; ++matches) {
            const std::int32_t score = PercentOfMatches(matches, size);
            ASSERT_GE(score, previous) << matches << " of " << size;
            ASSERT_LE(score, 100 * matches / size) << matches << " of " << size;
            ASSERT_LE(PercentOfMatches(matches, size + 1), score) << matches << " of " << size;
            previous = score;
        }
    }
}

TEST(MatchIndex, StopsBuildingWhenAskedAndOtherwiseBuildsToTheEnd) {
    const std::vector<TudShingleList> docs = randomTable(3, 6000);
    int asked = 0;
    const MatchIndex stopped(docs, [&asked] { return ++asked == 2; });
    EXPECT_FALSE(stopped.complete());
    EXPECT_EQ(asked, 2);

    asked = 0;
    MatchIndex index(docs, [&asked] { return ++asked < 0; });
    EXPECT_TRUE(index.complete());
    EXPECT_GT(asked, 2);
    PlainMatchIndex plain(docs);
    for (std::int32_t k = 0; k < 6000; k += 7)
        ASSERT_EQ(index.bestMatch(k).document, plain.bestMatch(k).document) << k;

    // Sorting on three threads, each asks; the first yes ends them all.
    std::atomic<int> askedOnThreads{0};
    const MatchIndex stoppedOnThreads(
        docs, [&askedOnThreads] { return ++askedOnThreads >= 2; }, 3);
    EXPECT_FALSE(stoppedOnThreads.complete());
    EXPECT_LE(askedOnThreads, 4);
}

TEST(ParallelComparison, AStopEndsTheThreadsBeforeTheRestIsScored) {
    // Over a small alphabet every scoring walks long lists: seconds in all.
    const std::vector<TudShingleList> docs = randomTable(11, 20000);
    const MatchIndex index(docs, {}, 2);
    std::vector<std::int32_t> scores(docs.size(), -7);
    std::vector<std::int32_t> bestMatches(docs.size(), -7);
    ParallelComparison comparison(index, 0, 0, 2, {scores, bestMatches, {}});
    ASSERT_TRUE(comparison.waitFor(0, std::chrono::seconds(10)));
    comparison.stop();
    const std::vector<std::int32_t> stopped = scores;
    EXPECT_FALSE(comparison.waitFor(static_cast<std::int32_t>(docs.size()) - 1,
                                    std::chrono::milliseconds(0)));
    EXPECT_EQ(scores.back(), -7) << "the last document is left alone";
    EXPECT_EQ(scores, stopped) << "no thread scores on after the stop";
}

} // namespace
} // namespace quillmark::test
