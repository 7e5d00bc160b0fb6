#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/TextFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

const QByteArray Lake = "Озеро Байкал самое глубокое озеро планеты и хранит много чистой воды\n";
const QByteArray Mountains = "Горы Кавказа высоки и их вершины покрыты снегом весь год подряд\n";
const QByteArray Sea = "Чёрное море тёплое летом и по его берегам отдыхают многие люди\n";
const QByteArray Forest = "Тайга тянется на тысячи километров и в ней живут медведи и волки\n";

class ReferenceRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = box.makeDir(QStringLiteral("src"));
        ref = box.makeDir(QStringLiteral("ref"));
        out = box.path(QStringLiteral("out/"));
        host.source = src;
        host.output = out;
        host.mode = SaveMode::None;
        host.references = {QFile::encodeName(ref)};
        host.cachePath = QFile::encodeName(box.path(QStringLiteral("cache/refs.sqlite")));
    }

    /// The scores the analysis unit gives each batch text against every
    /// earlier entry of `lists` (the references first); references unscored.
    static std::vector<std::int32_t> modelScores(const std::vector<TudShingleList>& lists,
                                                 std::size_t references) {
        std::vector<std::int32_t> scores;
        for (std::size_t k = references; k < lists.size(); ++k)
            scores.push_back(BestMatchPercent(std::span(lists).first(k), lists[k]));
        return scores;
    }

    /// The shingles of a file as the reading step gives its text.
    TudShingleList shinglesOf(const QString& directory, const QByteArray& name) const {
        const TextReader::Result read =
            TextFile::load(QFile::encodeName(directory) + name, host.htmlSwitch, Encoding::Auto);
        TudShingleList list;
        ShinglesFromText(read.text, host.truncationSwitch, host.htmlSwitch, host.shingleLen, list);
        return list;
    }

    std::vector<std::int32_t> batchScores() const {
        const DocumentTable& table = engine.documents();
        return {table.scores.begin() + table.referenceCount, table.scores.end()};
    }

    Sandbox box;
    QString src;
    QString ref;
    QString out;
    FakeHost host;
    BatchEngine engine{host};
};

TEST_F(ReferenceRunTest, BatchIsScoredAsIfTheReferencesCameFirst) {
    // References in listing order (a, b, c), then the batch (x, y, z).
    const std::vector<std::pair<QByteArray, QByteArray>> references = {
        {"a.txt", Lake}, {"b.txt", Mountains}, {"c.txt", Lake + Sea}};
    const std::vector<std::pair<QByteArray, QByteArray>> batch = {
        {"x.txt", Lake}, {"y.txt", Forest}, {"z.txt", Sea + Forest}};
    std::vector<TudShingleList> lists;
    for (const auto& [name, text] : references) {
        box.write(ref, name, text);
        lists.push_back(shinglesOf(ref, name));
    }
    for (const auto& [name, text] : batch) {
        box.write(src, name, text);
        lists.push_back(shinglesOf(src, name));
    }
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    const DocumentTable& table = engine.documents();
    ASSERT_EQ(table.referenceCount, 3);
    EXPECT_EQ(batchScores(), modelScores(lists, 3));
    // The first text reaching the score is the earliest reference.
    EXPECT_EQ(table.bestMatches[3], 0);
    EXPECT_EQ(engine.documentPath(0), QFile::encodeName(ref) + "a.txt");
    // References are not scored and do not count as passed.
    EXPECT_EQ(table.scores[2], 0);
    EXPECT_EQ(engine.passedCount(), 1);
}

TEST_F(ReferenceRunTest, UnchangedReferencesAreReadOnce) {
    box.write(ref, "a.txt", Lake);
    box.write(ref, "b.txt", Mountains);
    box.write(src, "x.txt", Lake);
    struct Step {
        const char* what;
        std::function<void()> change;
        int newReads;
        std::int32_t references;
    };
    const std::vector<Step> steps = {
        {"first run", [] {}, 2, 2},
        {"nothing changed", [] {}, 0, 2},
        {"one rewritten",
         [&] {
             QFile::remove(ref + QStringLiteral("b.txt"));
             box.write(ref, "b.txt", Sea);
         },
         1, 2},
        {"one added", [&] { box.write(ref, "c.txt", Forest); }, 1, 3},
        {"one removed", [&] { QFile::remove(ref + QStringLiteral("a.txt")); }, 0, 2},
        {"other shingle length", [&] { host.shingleLen = 4; }, 2, 2},
        {"no cache", [&] { host.cachePath.clear(); }, 2, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const int before = engine.referenceReads();
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        EXPECT_EQ(engine.referenceReads() - before, step.newReads);
        EXPECT_EQ(engine.documents().referenceCount, step.references);
    }
}

TEST_F(ReferenceRunTest, IndexingTellsWhatChanged) {
    const QByteArray directory = QFile::encodeName(ref);
    struct Step {
        const char* what;
        std::function<void()> change;
        IndexChanges expected;
    };
    const std::vector<Step> steps = {
        {"first",
         [&] { box.write(ref, "a.txt", Lake), box.write(ref, "b.txt", Sea); },
         {2, 0, 0, 0}},
        {"again", [] {}, {0, 0, 0, 2}},
        {"all kinds",
         [&] {
             QFile::remove(ref + QStringLiteral("a.txt"));
             QFile::remove(ref + QStringLiteral("b.txt"));
             box.write(ref, "b.txt", Forest);
             box.write(ref, "c.txt", Mountains);
         },
         {1, 1, 1, 0}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const IndexChanges changes = engine.indexReferences(directory);
        EXPECT_EQ(changes.added, step.expected.added);
        EXPECT_EQ(changes.changed, step.expected.changed);
        EXPECT_EQ(changes.removed, step.expected.removed);
        EXPECT_EQ(changes.unchanged, step.expected.unchanged);
    }
    // A run after indexing reads nothing again.
    box.write(src, "x.txt", Lake);
    const int before = engine.referenceReads();
    engine.startOrStopRun();
    EXPECT_EQ(engine.referenceReads(), before);
    EXPECT_EQ(engine.documents().referenceCount, 2);
}

TEST_F(ReferenceRunTest, ReferencesNeverMoveAndSavedTextsJoinTheOutputReferences) {
    host.references.clear();
    host.mode = SaveMode::Move;
    host.againstOutputSwitch = true;
    box.write(src, "first.txt", Lake);
    box.write(ref, "other.txt", Mountains);
    host.references = {QFile::encodeName(ref)};
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_TRUE(Sandbox::exists(out, "first.txt"));
    EXPECT_EQ(Sandbox::names(ref), QList<QByteArray>{"other.txt"});

    // A copy of the accepted text comes in the next batch: the text in the
    // output directory is its best match, read from the cache, and stays.
    box.write(src, "again.txt", Lake);
    const int before = engine.referenceReads();
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    const DocumentTable& table = engine.documents();
    ASSERT_EQ(table.referenceCount, 2);
    EXPECT_EQ(engine.referenceReads() - before, 0);
    EXPECT_EQ(table.scores[2], 100);
    EXPECT_EQ(engine.documentPath(table.bestMatches[2]), QFile::encodeName(out) + "first.txt");
    EXPECT_TRUE(Sandbox::exists(src, "again.txt"));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>{"first.txt"});
    EXPECT_TRUE(box.nothingLost({src, out, ref}));
}

TEST_F(ReferenceRunTest, UnreadableReferenceDirectoryEndsTheRunBeforeSaving) {
    host.mode = SaveMode::Move;
    host.references = {QFile::encodeName(box.path(QStringLiteral("missing")))};
    box.write(src, "x.txt", Lake);
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::LoadFailed);
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].contains(QStringLiteral("эталонных")));
    EXPECT_TRUE(Sandbox::exists(src, "x.txt"));
}

TEST_F(ReferenceRunTest, RefusedCacheLeavesTheRunWorking) {
    // A file where the cache's directory should be: the cache cannot open.
    box.write(box.path(QStringLiteral("")), "blocker", "not a directory");
    host.cachePath = QFile::encodeName(box.path(QStringLiteral("blocker/refs.sqlite")));
    box.write(ref, "a.txt", Lake);
    box.write(src, "x.txt", Lake);
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.documents().scores[1], 100);
    EXPECT_EQ(
        host.messages().filter(QStringLiteral("Кэш эталонных текстов не используется")).size(), 1);
}

} // namespace
} // namespace quillmark::test
