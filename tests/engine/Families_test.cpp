// Families of copies on small tables: chains, stars, two families one text
// joins, references among the members, and a new percentage splitting one.
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/Families.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace quillmark {
namespace {

struct Scored {
    std::int32_t score;
    std::int32_t bestMatch;
};

/// A compared table of `references` reference texts and then the batch's
/// texts with their scores and best matches.
DocumentTable tableOf(std::int32_t references, const std::vector<Scored>& batch) {
    DocumentTable table;
    for (std::int32_t i = 0; i < references + static_cast<std::int32_t>(batch.size()); ++i)
        table.append("t" + QByteArray::number(i));
    table.referenceCount = references;
    for (std::size_t k = 0; k < batch.size(); ++k) {
        table.scores[references + k] = batch[k].score;
        table.bestMatches[references + k] = batch[k].bestMatch;
    }
    table.comparedCount = table.count();
    return table;
}

std::vector<std::int32_t> numbersOf(const Families& families, std::int32_t count) {
    std::vector<std::int32_t> numbers;
    for (std::int32_t i = 0; i < count; ++i)
        numbers.push_back(families.familyOf(i));
    return numbers;
}

TEST(Families, AreTheGroupsJoinedByFailedTexts) {
    struct Row {
        const char* what;
        std::int32_t references;
        std::vector<Scored> batch;
        int percent;
        std::vector<std::int32_t> numbers; // per table entry
    };
    const std::vector<Row> rows = {
        {"no text failed", 0, {{0, -1}, {15, 0}, {20, 1}}, 20, {0, 0, 0}},
        {"a chain", 0, {{0, -1}, {90, 0}, {80, 1}, {5, 0}}, 20, {1, 1, 1, 0}},
        {"a star", 0, {{0, -1}, {0, -1}, {100, 1}, {60, 1}, {70, 1}}, 20, {0, 1, 1, 1, 1}},
        {"numbered by their first text",
         0,
         {{0, -1}, {0, -1}, {50, 1}, {50, 0}, {3, 2}},
         20,
         {1, 2, 2, 1, 0}},
        {"one text joins two groups",
         0,
         {{0, -1}, {90, 0}, {40, 1}, {90, 2}, {90, 3}},
         20,
         {1, 1, 1, 1, 1}},
        {"references are members", 2, {{30, 1}, {0, -1}, {100, 0}}, 20, {2, 1, 1, 0, 2}},
        {"a score at the percentage passes", 0, {{0, -1}, {20, 0}, {21, 0}}, 20, {1, 0, 1}},
        {"a text that matched nothing", 0, {{0, -1}, {90, -1}}, 20, {0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const DocumentTable table = tableOf(row.references, row.batch);
        const Families families = Families::of(table, row.percent);
        EXPECT_EQ(numbersOf(families, table.count()), row.numbers);
        for (std::size_t f = 0; f < families.list().size(); ++f) {
            const Family& family = families.list()[f];
            EXPECT_GE(family.members.size(), 2u);
            EXPECT_TRUE(std::is_sorted(family.members.begin(), family.members.end()));
            EXPECT_EQ(families.familyOf(family.firstText), static_cast<std::int32_t>(f + 1));
            EXPECT_GE(family.firstText, row.references);
        }
    }
}

TEST(Families, AnotherPercentageRegroupsTheStoredScores) {
    // 0 <- 1 (60) <- 2 (30): one family at 20%, the weaker link dropped at 50%.
    const DocumentTable table = tableOf(0, {{0, -1}, {60, 0}, {30, 1}, {55, 2}});
    EXPECT_EQ(numbersOf(Families::of(table, 20), 4), (std::vector<std::int32_t>{1, 1, 1, 1}));
    EXPECT_EQ(numbersOf(Families::of(table, 50), 4), (std::vector<std::int32_t>{1, 1, 2, 2}));
    EXPECT_EQ(numbersOf(Families::of(table, 100), 4), (std::vector<std::int32_t>{0, 0, 0, 0}));
}

TEST(Families, OnlyComparedTextsJoin) {
    DocumentTable table = tableOf(0, {{0, -1}, {90, 0}, {90, 1}});
    table.comparedCount = 2; // a stop ended the comparison before the last
    EXPECT_EQ(numbersOf(Families::of(table, 20), 3), (std::vector<std::int32_t>{1, 1, 0}));
}

/// `text` with about one word in `every` replaced by another.
QByteArray retold(const QByteArray& text, unsigned seed, int every) {
    std::mt19937 random(seed);
    QList<QByteArray> words = text.split(' ');
    for (QByteArray& word : words)
        if (static_cast<int>(random() % static_cast<unsigned>(every)) == 0)
            word = "w" + QByteArray::number(random() % 100000);
    return words.join(' ');
}

TEST(FamiliesOfARun, AreTheGroupsTheBatchWasMadeOf) {
    test::Sandbox box;
    const QString src = box.makeDir(QStringLiteral("src"));
    // Sizes of the generated groups; a group of one is a unique text.
    const int sizes[] = {3, 1, 2, 5, 1, 2, 4};
    std::mt19937 random(2026);
    std::set<std::set<QByteArray>> groups;
    for (std::size_t g = 0; g < std::size(sizes); ++g) {
        const QByteArray source = test::wordsText(static_cast<unsigned>(500 + g), 200);
        std::set<QByteArray> group;
        for (int m = 0; m < sizes[g]; ++m) {
            // Random names interleave the groups in the listing.
            const QByteArray name = QByteArray::number(100000 + random() % 900000) + ".txt";
            box.write(src, name, m == 0 ? source : retold(source, random(), 8));
            group.insert(name);
        }
        if (group.size() > 1)
            groups.insert(group);
    }
    test::FakeHost host;
    host.source = src;
    host.output = box.path(QStringLiteral("out/"));
    host.mode = SaveMode::None;
    BatchEngine engine(host);
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    const DocumentTable& table = engine.documents();
    std::set<std::set<QByteArray>> found;
    std::int32_t lastFirst = -1;
    for (const Family& family : engine.families().list()) {
        std::set<QByteArray> names;
        for (const std::int32_t member : family.members)
            names.insert(table.names[static_cast<std::size_t>(member)]);
        found.insert(names);
        EXPECT_GT(family.firstText, lastFirst) << "numbered in listing order";
        lastFirst = family.firstText;
    }
    EXPECT_EQ(found, groups);
}

} // namespace
} // namespace quillmark
