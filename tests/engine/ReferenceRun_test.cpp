#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/DocumentTable.h"
#include "engine/ReferenceCache.h"
#include "engine/TextFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace quillmark::test {
namespace {

const QByteArray Lake = "Озеро Байкал самое глубокое озеро планеты и хранит много чистой воды\n";
const QByteArray Mountains = "Горы Кавказа высоки и их вершины покрыты снегом весь год подряд\n";
const QByteArray Sea = "Чёрное море тёплое летом и по его берегам отдыхают многие люди\n";
const QByteArray Forest = "Тайга тянется на тысячи километров и в ней живут медведи и волки\n";
const QByteArray Picture = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, '\0');

/// A new modification time, the bytes unchanged: `seconds` since the epoch,
/// or from now when `fromNow`.
void touch(const QString& path, std::int64_t seconds = 1000000000, bool fromNow = false) {
    timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    if (fromNow)
        times[1].tv_sec += ::time(nullptr);
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

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

    /// Per batch text, the `count` earlier entries of `lists` with the
    /// highest scores above 0, best first, ties in table order.
    static std::vector<std::vector<RankedMatch>>
    modelRanks(const std::vector<TudShingleList>& lists, std::size_t references,
               std::size_t count) {
        std::vector<std::vector<RankedMatch>> ranks;
        for (std::size_t k = references; k < lists.size(); ++k) {
            std::vector<RankedMatch> ranked;
            for (std::size_t e = 0; e < k; ++e)
                if (const std::int32_t score = MatchPercent(lists[e], lists[k]); score > 0)
                    ranked.push_back({static_cast<std::int32_t>(e), score});
            std::stable_sort(ranked.begin(), ranked.end(),
                             [](const auto& a, const auto& b) { return a.score > b.score; });
            ranked.resize(std::min(ranked.size(), count));
            ranks.push_back(ranked);
        }
        return ranks;
    }

    /// Writes many short references, most of them sharing nothing with the
    /// batch, and a batch with copies and parts of some; returns every
    /// entry's shingles, the references first.
    std::vector<TudShingleList> writeManyReferences(const QString& directory, int references) {
        host.shingleLen = 4;
        std::vector<TudShingleList> lists;
        for (int i = 0; i < references; ++i) {
            const QByteArray name = "r" + QByteArray::number(1000 + i) + ".txt";
            box.write(directory, name, wordsText(static_cast<unsigned>(i), 12 + i % 40));
            lists.push_back(shinglesOf(directory, name));
        }
        for (int i = 0; i < 12; ++i) {
            const QByteArray name = "x" + QByteArray::number(10 + i) + ".txt";
            const auto seed = static_cast<unsigned>(i % 3 == 0 ? i * 7 % references : 5000 + i);
            box.write(src, name, wordsText(seed, 12 + static_cast<int>(seed) % 40 + i % 2 * 30));
            lists.push_back(shinglesOf(src, name));
        }
        return lists;
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

TEST_F(ReferenceRunTest, ScoresMatchesAndPairsAreThoseOfOneBatchFromTheCacheToo) {
    const std::vector<TudShingleList> lists = writeManyReferences(ref, 300);
    const std::vector<std::int32_t> scores = modelScores(lists, 300);
    const auto ranks = modelRanks(lists, 300, 3);
    ASSERT_GT(std::count(scores.begin(), scores.end(), 0), 0) << "some texts share nothing";
    engine.setRankedMatchCount(3);
    for (const char* run : {"read", "cached", "cached again"}) {
        SCOPED_TRACE(run);
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        const DocumentTable& table = engine.documents();
        ASSERT_EQ(table.referenceCount, 300);
        EXPECT_EQ(batchScores(), scores);
        for (std::size_t k = 0; k < scores.size(); ++k) {
            const std::size_t at = 300 + k;
            EXPECT_EQ(table.bestMatches[at], ranks[k].empty() ? -1 : ranks[k][0].document) << k;
            EXPECT_EQ(table.rankedMatches[at], ranks[k]) << k;
        }
    }
}

TEST_F(ReferenceRunTest, AReferenceDirectoryInsideTheBatchDirectoryIsNoPartOfTheBatch) {
    const QString inside = box.makeDir(QStringLiteral("src/ref"));
    host.references = {QFile::encodeName(inside)};
    const std::vector<TudShingleList> lists = writeManyReferences(inside, 40);
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.documents().referenceCount, 40);
    EXPECT_EQ(batchScores(), modelScores(lists, 40));
}

TEST_F(ReferenceRunTest, AKilledIndexingLeavesACacheTheNextRunUses) {
    const std::vector<TudShingleList> lists = writeManyReferences(ref, 1500);
    // The child indexes under two settings in turn, rewriting every entry,
    // until it is killed wherever it is: after its first round, so the kill
    // falls in the middle of rewriting a cache that holds every entry.
    int firstRound[2];
    ASSERT_EQ(::pipe(firstRound), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int round = 0;; ++round) {
            host.shingleLen = 4 + round % 2;
            engine.indexReferences(QFile::encodeName(ref));
            if (round == 0)
                (void)!::write(firstRound[1], "y", 1);
        }
    }
    char done = 0;
    ASSERT_EQ(::read(firstRound[0], &done, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(batchScores(), modelScores(lists, 1500));
    EXPECT_TRUE(host.messages().filter(QStringLiteral("Кэш эталонных")).isEmpty())
        << host.messages().join('\n').toStdString();
}

TEST_F(ReferenceRunTest, ACacheChangedByAnotherRunMeanwhileIsReadAgainWhereItChanged) {
    const std::vector<TudShingleList> lists = writeManyReferences(ref, 300);
    const std::vector<std::int32_t> scores = modelScores(lists, 300);
    // r1000.txt is copied into the batch.
    struct Row {
        const char* what;
        const char* sql;
        int reads;
    };
    // The postings dropped alone is no change a run makes: it comes last.
    const Row rows[] = {
        {"nothing", "", 0},
        {"its row rewritten",
         "UPDATE files SET modified = modified + 1, hashes = NULL"
         " WHERE name = CAST('r1000.txt' AS BLOB)",
         1},
        {"its row dropped", "DELETE FROM files WHERE name = CAST('r1000.txt' AS BLOB)", 1},
        {"the postings dropped", "DELETE FROM postings", 0},
    };
    engine.startOrStopRun();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // A plain run mends what the last change left.
        engine.startOrStopRun();
        bool changed = false;
        // Once the run has read the cached files, before it reads their shingles.
        host.onProcessEvents = [&](int) {
            if (std::exchange(changed, true) || row.sql[0] == '\0')
                return;
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(host.cachePath.constData(), &db), SQLITE_OK);
            sqlite3_busy_timeout(db, 5000);
            EXPECT_EQ(sqlite3_exec(db, row.sql, nullptr, nullptr, nullptr), SQLITE_OK);
            EXPECT_EQ(sqlite3_changes(db) > 0, true);
            sqlite3_close(db);
        };
        const int before = engine.referenceReads();
        engine.startOrStopRun();
        host.onProcessEvents = nullptr;
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        EXPECT_EQ(engine.referenceReads() - before, row.reads);
        EXPECT_EQ(batchScores(), scores);
    }
}

TEST_F(ReferenceRunTest, AStopWhileTheCacheIsWrittenLeavesItAsItWas) {
    std::vector<TudShingleList> lists = writeManyReferences(ref, 300);
    engine.startOrStopRun();
    // Every tenth reference rewritten: the next run reads and writes them.
    for (int i = 0; i < 300; i += 10) {
        const QByteArray name = "r" + QByteArray::number(1000 + i) + ".txt";
        QFile::remove(ref + QString::fromLatin1(name));
        box.write(ref, name, wordsText(static_cast<unsigned>(7000 + i), 30));
        lists[static_cast<std::size_t>(i)] = shinglesOf(ref, name);
    }
    // Stopped once the first file, then the tenth, of those rewritten is read.
    for (const int stopAt : {1, 10}) {
        SCOPED_TRACE(stopAt);
        const int readsBefore = engine.referenceReads();
        host.onProcessEvents = [&](int) {
            if (engine.referenceReads() - readsBefore >= stopAt)
                engine.requestStop();
        };
        engine.startOrStopRun();
        host.onProcessEvents = nullptr;
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    }
    const int before = engine.referenceReads();
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.referenceReads() - before, 30);
    EXPECT_EQ(batchScores(), modelScores(lists, 300));
    EXPECT_TRUE(host.messages().filter(QStringLiteral("Кэш эталонных")).isEmpty());
}

TEST_F(ReferenceRunTest, ASecondRunWaitsForTheOneWritingTheCache) {
    box.write(ref, "a.txt", Lake);
    box.write(src, "x.txt", Lake);
    engine.startOrStopRun();
    box.write(ref, "b.txt", Sea);
    // The child holds the cache's write lock until the run's writer has
    // waited for it once.
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(host.cachePath.constData(), &db);
        const bool locked = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == 0;
        (void)!::write(ready[1], locked ? "y" : "n", 1);
        char go = 0;
        (void)!::read(release[0], &go, 1);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 'y');
    int waits = 0;
    ReferenceCache::setLockWaitHook([&](int) {
        if (++waits == 1)
            (void)!::write(release[1], "y", 1);
    });
    engine.startOrStopRun();
    ReferenceCache::setLockWaitHook({});
    ::waitpid(child, nullptr, 0);
    EXPECT_GE(waits, 1) << "the run waited for the lock";
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_TRUE(host.messages().filter(QStringLiteral("Кэш эталонных")).isEmpty());
    // The waiting run's entry is in: nothing is read again.
    const int before = engine.referenceReads();
    engine.startOrStopRun();
    EXPECT_EQ(engine.referenceReads(), before);
    EXPECT_EQ(engine.documents().scores[2], 100);
}

TEST_F(ReferenceRunTest, ARunGoesOnWithoutACacheItCannotWrite) {
    box.write(ref, "a.txt", Lake);
    box.write(src, "x.txt", Lake);
    struct Row {
        const char* what;
        bool cacheMadeBefore;
    };
    for (const Row row : {Row{"no cache yet", false}, Row{"a cache made before", true}}) {
        SCOPED_TRACE(row.what);
        const QString dir = box.makeDir(QString::fromUtf8(row.what));
        host.cachePath = QFile::encodeName(dir) + "refs.sqlite";
        if (row.cacheMadeBefore)
            engine.startOrStopRun();
        ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
        host.log.clear();
        EXPECT_TRUE(runUnprivileged([this] {
            engine.startOrStopRun();
            return engine.lastOutcome() == RunOutcome::Completed &&
                   engine.documents().scores[1] == 100 &&
                   host.messages().filter(QStringLiteral("Кэш эталонных текстов не")).size() == 1;
        }));
        ::chmod(QFile::encodeName(dir).constData(), 0755);
    }
}

// Indexing says when what it found is not in the cache: stopped, or a cache it
// may read but not write. A link among the files is named in the log.
TEST_F(ReferenceRunTest, IndexingSaysWhenNothingWasStored) {
    box.write(ref, "a.txt", Lake);
    box.write(ref, "b.txt", Sea);
    box.write(ref, "c.txt", Forest);
    ASSERT_TRUE(QFile::link(ref + QStringLiteral("a.txt"), ref + QStringLiteral("link.txt")));
    const QByteArray directory = QFile::encodeName(ref);
    host.onProcessEvents = [this](int) { engine.requestStop(); };
    IndexChanges changes = engine.indexReferences(directory);
    EXPECT_TRUE(changes.stopped && !changes.stored);
    EXPECT_EQ(host.messages().filter(QStringLiteral("Символическая ссылка")).size(), 1);
    host.onProcessEvents = nullptr;

    // A full file system: the cache is opened, its write fails.
    const QString small = box.makeDir(QStringLiteral("small"));
    const QByteArray mountPoint = QFile::encodeName(small);
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    host.cachePath = mountPoint + "refs.sqlite";
    ASSERT_TRUE(engine.indexReferences(directory).stored);
    box.write(ref, "big.txt", wordsText(99, 200000));
    changes = engine.indexReferences(directory);
    ::umount(mountPoint.constData());
    EXPECT_EQ(changes.added, 1);
    EXPECT_TRUE(!changes.stored && !changes.stopped && !changes.failure.isEmpty());
}

// The cache knows a folder by its canonical path: another spelling of it is
// the same entry, and a folder of the same relative spelling elsewhere is not.
TEST_F(ReferenceRunTest, TheCacheKnowsAFolderWhateverItsSpelling) {
    box.write(ref, "a.txt", Lake);
    box.write(src, "x.txt", Lake);
    const QString other = box.makeDir(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(other + QStringLiteral("ref")));
    box.write(other + QStringLiteral("ref/"), "a.txt", Sea);
    const QString link = box.path(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(QDir(ref).absolutePath(), link));
    const QString before = QDir::currentPath();
    struct Step {
        const char* what;
        QString workingDirectory;
        QByteArray reference;
        int newReads;
        int score;
    };
    const Step steps[] = {
        {"by its path", before, QFile::encodeName(ref), 1, 100},
        {"through a link", before, QFile::encodeName(link) + "/", 0, 100},
        {"relative", box.path(QString()), "src/../ref/", 0, 100},
        {"the same relative spelling, another folder", other, "ref/", 1, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(QDir::setCurrent(step.workingDirectory));
        host.references = {step.reference};
        const int reads = engine.referenceReads();
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        EXPECT_EQ(engine.referenceReads() - reads, step.newReads);
        EXPECT_EQ(engine.documents().scores.back(), step.score);
    }
    QDir::setCurrent(before);
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
        // A checksum of 32 bits could be matched by other bytes of the same size.
        {"one touched, its bytes the same", [&] { touch(ref + QStringLiteral("b.txt")); }, 1, 2},
        // A time the file system could give a rewrite too (here: ahead of
        // the clock) proves nothing: read on every run until it is past.
        {"one just written", [&] { touch(ref + QStringLiteral("b.txt"), 3600, true); }, 1, 2},
        {"that one unchanged", [] {}, 1, 2},
        {"that one's time past", [&] { touch(ref + QStringLiteral("b.txt"), -60, true); }, 1, 2},
        {"that one unchanged again", [] {}, 0, 2},
        {"no text among them", [&] { box.write(ref, "d.png", Picture); }, 1, 2},
        {"the same again", [] {}, 0, 2},
        {"that one removed", [&] { QFile::remove(ref + QStringLiteral("d.png")); }, 0, 2},
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

TEST_F(ReferenceRunTest, UnmaskingReachesTheFingerprintAndReadsCachedReferencesAgain) {
    // Lake with Latin look-alikes in five words and a soft hyphen in one.
    box.write(ref, "a.txt",
              "Oзеро Бaйкал сaмое глубокое озеpо плaнеты и хра\u00ADнит много чистой воды\n");
    box.write(src, "x.txt", Lake);
    box.write(src, "y.txt", Forest);
    struct Step {
        Unmask unmask;
        int newReads;
        bool copyFound;
    };
    const Step steps[] = {
        {Unmask::Off, 1, false}, {Unmask::Off, 0, false}, {Unmask::On, 1, true},
        {Unmask::On, 0, true},   {Unmask::Off, 1, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(static_cast<int>(&step - steps));
        host.unmaskSwitch = step.unmask;
        host.log.clear();
        const int before = engine.referenceReads();
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        const DocumentTable& documents = engine.documents();
        ASSERT_EQ(documents.count(), 3);
        EXPECT_EQ(engine.referenceReads() - before, step.newReads);
        EXPECT_EQ(documents.settings[0].unmask, step.unmask);
        EXPECT_EQ(documents.settings[1].unmask, step.unmask);
        EXPECT_EQ(documents.scores[1] == 100, step.copyFound) << documents.scores[1];
        EXPECT_EQ(documents.scores[2], 0);
        // References are not counted; the clean batch has nothing to log.
        EXPECT_EQ(documents.disguisedWords, std::vector<std::int32_t>(3, 0));
        EXPECT_FALSE(host.log.join('\n').contains(QStringLiteral("подмена")));
    }
}

TEST_F(ReferenceRunTest, DisguisedWordsAreCountedAndLoggedWhateverUnmaskingSays) {
    host.references.clear();
    box.write(src, "x.txt", Lake);
    box.write(src, "y.txt", "Tайга тянется нa тысячи кило\u200Bметров и в ней живут\r\nмедведи\n");
    for (const Unmask unmask : {Unmask::Off, Unmask::On}) {
        host.unmaskSwitch = unmask;
        host.log.clear();
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        EXPECT_EQ(engine.documents().disguisedWords, (std::vector<std::int32_t>{0, 3}));
        const QStringList disguises = host.log.filter(QStringLiteral("подмена"));
        ASSERT_EQ(disguises.size(), 1);
        EXPECT_TRUE(
            disguises[0].endsWith(QStringLiteral("Текст «y.txt»: подмена символов — 3 слов")))
            << disguises[0].toStdString();
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
         {2, 0, 0, 0, false, false, {}}},
        {"again", [] {}, {0, 0, 0, 2, false, false, {}}},
        {"all kinds",
         [&] {
             QFile::remove(ref + QStringLiteral("a.txt"));
             QFile::remove(ref + QStringLiteral("b.txt"));
             box.write(ref, "b.txt", Forest);
             box.write(ref, "c.txt", Mountains);
         },
         {1, 1, 1, 0, false, false, {}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const IndexChanges changes = engine.indexReferences(directory);
        EXPECT_EQ(changes.added, step.expected.added);
        EXPECT_EQ(changes.changed, step.expected.changed);
        EXPECT_EQ(changes.removed, step.expected.removed);
        EXPECT_EQ(changes.unchanged, step.expected.unchanged);
        EXPECT_TRUE(changes.stored);
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
