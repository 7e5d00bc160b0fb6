#include "engine/MatchIndex.h"

#include <gtest/gtest.h>
#include <random>

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

} // namespace
} // namespace quillmark::test
