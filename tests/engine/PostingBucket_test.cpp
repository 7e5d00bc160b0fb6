#include "engine/PostingBucket.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace quillmark::test {
namespace {

using Model = std::set<std::pair<std::uint32_t, std::uint32_t>>; // (low bits, file)

std::vector<std::uint64_t> entriesOf(const Model& model) {
    std::vector<std::uint64_t> entries;
    for (const auto& [low, file] : model)
        entries.push_back(std::uint64_t{low} << 32 | file);
    return entries;
}

Model randomModel(std::mt19937& random, int count, std::uint32_t lows) {
    Model model;
    for (int i = 0; i < count; ++i)
        model.emplace(random() % lows, random() % 50 + (i % 3 == 0 ? 4000000000u : 0));
    return model;
}

TEST(PostingBucket, KeepsAndFindsWhatASetOfPairsHolds) {
    struct Row {
        int count;
        std::uint32_t lows; // few: many files per hash
    };
    const Row rows[] = {{0, 1}, {1, 1}, {40, 3}, {300, 16384}, {2000, 64}};
    std::mt19937 random(15);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        const Model model = randomModel(random, row.count, row.lows);
        const QByteArray bytes = PostingBucket::encode(entriesOf(model));
        EXPECT_EQ(PostingBucket::decode(bytes), entriesOf(model));
        for (std::uint32_t low = 0; low < std::min(row.lows, 64u); ++low) {
            std::vector<std::uint32_t> found;
            PostingBucket::appendFiles(bytes, low, found);
            std::vector<std::uint32_t> expected;
            for (auto it = model.lower_bound({low, 0}); it != model.end() && it->first == low; ++it)
                expected.push_back(it->second);
            EXPECT_EQ(found, expected) << low;
        }
        // Removed pairs go, added ones come in order, repeats once.
        const Model removed = randomModel(random, row.count / 2, row.lows);
        const Model added = randomModel(random, row.count / 2, row.lows);
        Model expected;
        for (const auto& pair : model)
            if (!removed.contains(pair))
                expected.insert(pair);
        expected.insert(added.begin(), added.end());
        std::vector<std::uint64_t> twice = entriesOf(added);
        twice.insert(twice.end(), twice.begin(), twice.end());
        std::sort(twice.begin(), twice.end());
        EXPECT_EQ(PostingBucket::merged(entriesOf(model), entriesOf(removed), twice),
                  entriesOf(expected));
    }
}

TEST(PostingBucket, BytesOfAnotherLayoutHoldNothing) {
    const QByteArray odd(7, 'x');
    std::vector<std::uint32_t> found;
    PostingBucket::appendFiles(odd, 0x7878, found);
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(PostingBucket::decode(odd).empty());
}

} // namespace
} // namespace quillmark::test
