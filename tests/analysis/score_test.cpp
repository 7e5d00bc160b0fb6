// Scores: the two roundings to a 64-bit significand, match counting and the
// best of several earlier sets.
#include "analysis/udShingles.h"

#include <gtest/gtest.h>
#include <random>

namespace quillmark {
namespace {

TEST(PercentOfMatches, TellingRows) {
    struct Row {
        std::int64_t m, matches;
        std::int32_t score;
    };
    const Row rows[] = {{35, 21, 59}, {70, 21, 29}, {70, 42, 59}, {185, 37, 19},
                        {97, 97, 99}, {36, 21, 58}, {3, 1, 33},   {200, 1, 0}};
    for (const Row& row : rows)
        EXPECT_EQ(PercentOfMatches(row.matches, row.m), row.score)
            << row.matches << " of " << row.m;
    EXPECT_EQ(PercentOfMatches(0, 1), 0);
    EXPECT_EQ(PercentOfMatches(1, 1), 100);
    EXPECT_EQ(PercentOfMatches(INT32_MAX, INT32_MAX), 100);
}

TEST(PercentOfMatches, TwoFullCopiesScore99ExactlyForTheListedSizes) {
    std::vector<std::int64_t> ninetyNine;
    for (std::int64_t m = 1; m <= 400; ++m) {
        const std::int32_t score = PercentOfMatches(m, m);
        ASSERT_TRUE(score == 99 || score == 100) << m;
        if (score == 99)
            ninetyNine.push_back(m);
    }
    EXPECT_EQ(ninetyNine, (std::vector<std::int64_t>{97, 149, 185, 194, 279, 289, 298, 305, 319,
                                                     323, 341, 370, 381, 388}));
}

TEST(PercentOfMatches, RejectsImpossibleCounts) {
    EXPECT_THROW(PercentOfMatches(0, 0), std::invalid_argument);
    EXPECT_THROW(PercentOfMatches(1, -3), std::invalid_argument);
    EXPECT_THROW(PercentOfMatches(-1, 5), std::invalid_argument);
    EXPECT_THROW(PercentOfMatches(6, 5), std::invalid_argument);
}

#if defined(__x86_64__)
// The x87 unit rounds every operation to the precision its control word sets;
// Linux starts processes at 64 bits, round to nearest.
std::int32_t x87Score(std::int64_t matches, std::int64_t m) {
    volatile long double q = 100.0L / static_cast<long double>(m);
    volatile long double p = q * static_cast<long double>(matches);
    return static_cast<std::int32_t>(p);
}

TEST(PercentOfMatches, AgreesWithTheX87Unit) {
    unsigned short controlWord = 0;
    asm volatile("fnstcw %0" : "=m"(controlWord));
    ASSERT_EQ((controlWord >> 8) & 3, 3) << "x87 precision is not 64 bits";
    ASSERT_EQ((controlWord >> 10) & 3, 0) << "x87 does not round to nearest";

    for (std::int64_t m = 1; m <= 700; ++m)
        for (std::int64_t k = 0; k <= m; ++k)
            ASSERT_EQ(PercentOfMatches(k, m), x87Score(k, m)) << k << " of " << m;

    std::mt19937_64 rng(31337);
    for (int i = 0; i < 1000000; ++i) {
        // Sizes spread over every magnitude up to 2^31 - 1.
        const int bits = 1 + static_cast<int>(rng() % 31);
        const std::int64_t m =
            1 + static_cast<std::int64_t>(rng() % ((std::uint64_t{1} << bits) - 1));
        std::int64_t k = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(m + 1));
        if (i % 4 == 0)
            k = m - static_cast<std::int64_t>(rng() % 3 % static_cast<std::uint64_t>(m));
        ASSERT_EQ(PercentOfMatches(k, m), x87Score(k, m)) << k << " of " << m;
    }
}
#endif

TudShingleList set(std::vector<std::uint32_t> hashes) {
    TudShingleList list;
    list.Count = static_cast<std::int32_t>(hashes.size());
    list.Hashes = std::move(hashes);
    return list;
}

TEST(MatchPercent, EdgeCases) {
    const TudShingleList small = set({1, 2, 3, 4, 5});
    EXPECT_EQ(MatchPercent(small, small), 100);
    EXPECT_EQ(MatchPercent(small, set({6, 7, 8})), 0);
    // Repeats in the earlier set count each time, repeats in the current set
    // add nothing.
    EXPECT_EQ(MatchPercent(set({5, 5, 7}), set({5, 9})), 66);
    EXPECT_EQ(MatchPercent(set({5, 9}), set({5, 5, 7})), 33);
    std::vector<std::uint32_t> many(200);
    for (std::uint32_t i = 0; i < 200; ++i)
        many[i] = i * 7919;
    EXPECT_EQ(MatchPercent(set({7919}), set(many)), 0);
    EXPECT_EQ(MatchPercent(set(many), set(many)), 100);
    // The value 0, the hash of every empty text.
    EXPECT_EQ(MatchPercent(set({0}), set({0})), 100);
    EXPECT_EQ(MatchPercent(set({0, 0, 1}), set({0})), 66);
    EXPECT_EQ(MatchPercent(set({1}), set({0})), 0);
}

TEST(MatchPercent, ShortTextsMatchWhenTheirWordsAreEqual) {
    TudShingleList a, b, c;
    ShinglesFromText("one two", Truncation::Off, HtmlHandling::Keep, 10, a);
    ShinglesFromText("One, two!", Truncation::Off, HtmlHandling::Keep, 10, b);
    ShinglesFromText("one three", Truncation::Off, HtmlHandling::Keep, 10, c);
    EXPECT_EQ(MatchPercent(a, b), 100);
    EXPECT_EQ(MatchPercent(a, c), 0);
}

// Counts matches by searching the current set from its start each time.
std::int32_t modelScore(const TudShingleList& earlier, const TudShingleList& current) {
    std::int64_t matches = 0;
    for (std::uint32_t hash : earlier.Hashes)
        for (std::uint32_t other : current.Hashes)
            if (other == hash) {
                ++matches;
                break;
            }
    return PercentOfMatches(matches, std::max(earlier.Count, current.Count));
}

TEST(MatchPercent, AgreesWithLinearSearchOnRandomSets) {
    std::mt19937 rng(4);
    for (int round = 0; round < 3000; ++round) {
        // A small value range forces repeats and matches; some sets spread
        // over all 32 bits.
        const std::uint32_t range = round % 3 == 0 ? 0xFFFFFFFFu : 1 + rng() % 60;
        auto randomSet = [&] {
            std::vector<std::uint32_t> hashes(1 + rng() % 120);
            for (auto& h : hashes)
                h = range == 0xFFFFFFFFu ? static_cast<std::uint32_t>(rng()) : rng() % range;
            return set(hashes);
        };
        const TudShingleList earlier = randomSet();
        const TudShingleList current = randomSet();
        ASSERT_EQ(MatchPercent(earlier, current), modelScore(earlier, current));
    }
}

TEST(BestMatchPercent, TakesTheHighestScore) {
    // Against a current set of ten hashes, k of them give 10 * k.
    const TudShingleList current = set({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    auto scoring = [](std::uint32_t k) {
        std::vector<std::uint32_t> hashes;
        for (std::uint32_t i = 0; i < 10; ++i)
            hashes.push_back(i < k ? i + 1 : 100 + i);
        return set(hashes);
    };
    const std::vector<TudShingleList> earlier = {scoring(1), scoring(4), scoring(4), scoring(2)};
    EXPECT_EQ(BestMatchPercent(earlier, current), 40);
    EXPECT_EQ(BestMatchPercent(std::span(earlier).subspan(3), current), 20);
    EXPECT_EQ(BestMatchPercent({}, current), 0);

    std::mt19937 rng(8);
    std::vector<TudShingleList> random;
    for (int i = 0; i < 50; ++i) {
        std::vector<std::uint32_t> hashes(1 + rng() % 30);
        for (auto& h : hashes)
            h = rng() % 25;
        random.push_back(set(hashes));
    }
    std::int32_t best = 0;
    for (const TudShingleList& each : random)
        best = std::max(best, MatchPercent(each, random.back()));
    EXPECT_EQ(BestMatchPercent(random, random.back()), best);
}

} // namespace
} // namespace quillmark
