#include "engine/PostingBucket.h"
#include "engine/PostingRuns.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace quillmark::test {
namespace {

TEST(PostingRuns, GivesEachBucketItsEntriesSortedAsOneSortOfAllWould) {
    struct Row {
        const char* what;
        int files;
        int hashesPerFile;
        std::uint32_t hashRange; // small: hashes repeat across files and buckets
        bool filesInOrder;
    };
    const Row rows[] = {
        {"none", 0, 0, 1, true},
        {"one file", 1, 50, 0xFFFFFFFF, true},
        {"many files sharing hashes", 300, 40, 1u << 16, true},
        {"files out of order", 300, 40, 1u << 16, false},
        {"hashes repeated within a file", 50, 40, 16, true},
        {"more than a run", 12000, 400, 0xFFFFFFFF, true},
    };
    std::mt19937 random(15);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        PostingRuns runs;
        // The model: every bucket's entries, sorted at the end.
        std::map<std::uint32_t, std::vector<std::uint64_t>> model;
        for (int f = 0; f < row.files; ++f) {
            const auto file = static_cast<std::uint32_t>(row.filesInOrder ? f + 1 : random() % 500);
            std::vector<std::uint32_t> hashes;
            for (int h = 0; h < row.hashesPerFile; ++h)
                hashes.push_back(static_cast<std::uint32_t>(random() % row.hashRange));
            runs.add(file, hashes);
            for (const std::uint32_t hash : hashes)
                model[PostingBucket::bucketOf(hash)].push_back(PostingBucket::entry(hash, file));
        }
        runs.finish();
        std::vector<std::uint32_t> expectedBuckets;
        for (auto& [bucket, entries] : model) {
            expectedBuckets.push_back(bucket);
            std::sort(entries.begin(), entries.end());
            entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
        }
        ASSERT_EQ(runs.buckets(), expectedBuckets);
        std::vector<std::uint64_t> entries;
        for (const auto& [bucket, expected] : model) {
            runs.take(bucket, entries);
            ASSERT_EQ(entries, expected) << bucket;
        }
        runs.clear();
        EXPECT_TRUE(runs.empty());
    }
}

} // namespace
} // namespace quillmark::test
