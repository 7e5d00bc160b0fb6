// The team archive on the suite's private PostgreSQL server: what it keeps
// and finds, what it refuses, and runs checked against it.
#include "ArchiveServer.h"
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/DocumentPair.h"
#include "engine/TeamArchive.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace quillmark::test {
namespace {

class TeamArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        uri = ArchiveServer::freshDatabase();
        if (uri.isEmpty())
            GTEST_SKIP() << "no PostgreSQL server: scripts/test-postgres found none installed";
    }
    QByteArray uri;
};

ArchiveAddition text(const QByteArray& settings, const QByteArray& name,
                     std::vector<std::uint32_t> hashes) {
    return {settings, "/texts", name, "0:1", std::move(hashes)};
}

/// The ids whose hashes meet `wanted`, by brute force.
std::vector<std::int32_t> sharingModel(const std::vector<ArchiveAddition>& texts,
                                       const std::vector<std::int32_t>& ids,
                                       const std::vector<std::uint32_t>& wanted) {
    std::vector<std::int32_t> found;
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (std::any_of(texts[i].hashes.begin(), texts[i].hashes.end(), [&](std::uint32_t hash) {
                return std::binary_search(wanted.begin(), wanted.end(), hash);
            }))
            found.push_back(ids[i]);
    return found;
}

TEST_F(TeamArchiveTest, KeepsFindsAndRemovesTextsAsABruteForceModelDoes) {
    std::mt19937 random(7);
    std::vector<ArchiveAddition> added;
    for (int i = 0; i < 40; ++i) {
        std::vector<std::uint32_t> hashes(50);
        // Few distinct values: texts share hashes, and repeat some.
        for (std::uint32_t& hash : hashes)
            hash = random() % 400 * 10737418u;
        added.push_back(text(i % 4 == 0 ? "w3" : "w10", "t" + QByteArray::number(i), hashes));
    }
    TeamArchive archive(uri);
    for (std::size_t half : {std::size_t{0}, std::size_t{20}}) {
        archive.beginAdding();
        for (std::size_t i = half; i < half + 20; ++i)
            archive.stage(added[i]);
        EXPECT_EQ(archive.finishAdding(), 20);
    }
    std::vector<ArchivedText> listed = archive.texts("w10");
    ASSERT_EQ(listed.size(), 30u);
    std::vector<ArchiveAddition> tens;
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0, k = 0; i < added.size(); ++i)
        if (added[i].settings == "w10") {
            EXPECT_EQ(listed[k].name, added[i].name);
            tens.push_back(added[i]);
            ids.push_back(listed[k++].id);
        }
    std::vector<std::uint32_t> wanted = {added[1].hashes[0], added[2].hashes[3], 12345u};
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(archive.textsSharing("w10", wanted), sharingModel(tens, ids, wanted));
    const auto lists = archive.shinglesOf(std::vector<std::int32_t>{ids[0], ids[5]});
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[1].second.Hashes, tens[5].hashes) << "repeats and order kept";

    EXPECT_EQ(archive.remove("/texts", {"t1", "t2"}), 2);
    EXPECT_EQ(archive.shinglesOf(std::vector<std::int32_t>{ids[0], ids[2]}).size(), 1u);
    const std::vector<ArchiveCount> counts = archive.counts();
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0].settings, "w10");
    EXPECT_EQ(counts[0].texts, 28);
    EXPECT_EQ(counts[1].shingles, 10 * 50);
    const ArchiveHealth health = archive.check();
    EXPECT_EQ(health.texts, 38);
    EXPECT_GT(health.leftByRemovals, 0);
    EXPECT_TRUE(health.problems.isEmpty()) << health.problems.join('\n').toStdString();
}

TEST_F(TeamArchiveTest, RefusesANewerSchemaAndLeavesItAsItIs) {
    { TeamArchive made(uri); }
    ArchiveConnection(uri).run("UPDATE quillmark_schema SET version = 2");
    try {
        TeamArchive archive(uri);
        FAIL() << "a newer schema was taken";
    } catch (const ArchiveError& error) {
        EXPECT_NE(QString::fromUtf8(error.what()).indexOf(QStringLiteral("2")), -1);
    }
    EXPECT_EQ(ArchiveConnection(uri).run("SELECT version FROM quillmark_schema").number(0, 0), 2);
}

TEST_F(TeamArchiveTest, SaysWhyItCannotConnectAndNeverShowsThePassword) {
    const QByteArray host = uri.mid(uri.indexOf("host="));
    const QByteArray cases[] = {
        "postgresql://someone:secret@/x?host=/nonexistent-socket-dir",
        "postgresql:///x?host=/nonexistent-socket-dir&password=secret",
        "postgresql://nosuchrole:secret@/postgres?" + host.left(host.indexOf('&')),
        "postgresql:///nosuchdatabase?" + host,
    };
    for (const QByteArray& bad : cases) {
        try {
            TeamArchive archive(bad);
            ADD_FAILURE() << "connected to " << bad.constData();
        } catch (const ArchiveError& error) {
            const QString message = QString::fromUtf8(error.what());
            EXPECT_EQ(message.indexOf(QStringLiteral("secret")), -1) << message.toStdString();
            EXPECT_GT(message.size(), 30) << "the server's reason is given";
        }
    }
}

class ArchiveRunTest : public TeamArchiveTest {
protected:
    void SetUp() override {
        TeamArchiveTest::SetUp();
        if (uri.isEmpty())
            return;
        src = box.makeDir(QStringLiteral("src"));
        ref = box.makeDir(QStringLiteral("ref"));
        out = box.path(QStringLiteral("out/"));
        const QByteArray words[] = {"озеро байкал глубокое чистое старое",
                                    "горы кавказа высокие снежные", "море тёплое летом солёное",
                                    "тайга густая дикая огромная"};
        box.write(ref, "a.txt", words[0] + " " + words[1]);
        box.write(ref, "b.txt", words[2] + " " + words[3]);
        box.write(src, "1.txt", words[0] + " " + words[1]);
        box.write(src, "2.txt", words[2] + " и " + words[3]);
        box.write(src, "3.txt", words[3] + " " + words[0]);
        host.source = src;
        host.output = out;
        host.mode = SaveMode::None;
    }

    std::vector<std::int32_t> scores() const {
        const DocumentTable& table = engine.documents();
        return {table.scores.begin() + table.referenceCount, table.scores.end()};
    }

    Sandbox box;
    QString src, ref, out;
    FakeHost host;
    BatchEngine engine{host};
    bool lost = false;
};

TEST_F(ArchiveRunTest, ScoresAsReferencesDoAndAddsTheSavedTexts) {
    host.references = {QFile::encodeName(ref)};
    engine.startOrStopRun();
    const std::vector<std::int32_t> asReferences = scores();
    ASSERT_EQ(asReferences.size(), 3u);
    ASSERT_EQ(asReferences[0], 100) << "a copy of a reference";

    host.references.clear();
    host.archive = uri;
    host.source = ref;
    EXPECT_EQ(engine.addToArchive(QFile::encodeName(ref)).added, 2);
    host.source = src;
    host.mode = SaveMode::Move;
    host.percent = 50;
    engine.startOrStopRun();
    EXPECT_EQ(scores(), asReferences);
    const DocumentTable& table = engine.documents();
    const QByteArray canonical = QFile::encodeName(QFileInfo(ref).canonicalFilePath());
    EXPECT_EQ(table.referencePath(table.bestMatches[2]), "archive:" + canonical + "/a.txt");
    // The archive keeps no words: the copy's passages are marked by the hashes alone.
    const std::int32_t copy = table.referenceCount;
    const DocumentPair pair = DocumentPair::load(engine, copy, table.bestMatches[copy]);
    EXPECT_TRUE(pair.earlierArchived);
    ASSERT_EQ(pair.passages.current.size(), 1u);
    EXPECT_EQ(pair.passages.current[0].firstWord, 0);
    // Those that passed were moved, and are in the archive under the output.
    QList<QByteArray> passed;
    for (std::size_t i = 0; i < asReferences.size(); ++i)
        if (asReferences[i] <= host.percent)
            passed << QByteArray::number(static_cast<int>(i) + 1) + ".txt";
    EXPECT_EQ(Sandbox::names(out), passed);
    EXPECT_EQ(TeamArchive(uri).size(), 2 + passed.size());
    EXPECT_TRUE(box.nothingLost({src, ref, out}));
}

TEST_F(ArchiveRunTest, AnEmptyArchiveTakesTheCopiedTexts) {
    host.archive = uri;
    host.mode = SaveMode::Copy;
    host.percent = 100;
    engine.startOrStopRun();
    EXPECT_EQ(engine.documents().saveSummary().copied, 3);
    EXPECT_EQ(TeamArchive(uri)
                  .texts(ArchiveSet::settingsKey({3, Truncation::Off}, Encoding::Auto))
                  .size(),
              3u);
}

TEST_F(ArchiveRunTest, AServerLostInARunEndsItWithNothingSavedUnrecorded) {
    host.archive = uri;
    host.source = ref;
    engine.addToArchive(QFile::encodeName(ref));
    host.source = src;
    host.mode = SaveMode::Move;
    host.percent = 100;
    // Lost after the listing: the run ends before saving anything.
    host.onLog = [&](const QString& line) {
        if (line.contains(QStringLiteral("Общий архив: текстов")))
            ArchiveServer::dropClients(uri);
    };
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::LoadFailed);
    EXPECT_EQ(host.errors.size(), 1);
    EXPECT_FALSE(QFile::exists(out)) << "the output directory made for the run is gone";

    // Lost after the first text was moved: the rest stay where they are.
    host.onLog = {};
    host.onProcessEvents = [&](int) {
        if (host.positions[ProgressRow::Saving] == 1 && !std::exchange(lost, true))
            ArchiveServer::dropClients(uri);
    };
    engine.startOrStopRun();
    EXPECT_EQ(Sandbox::names(out), (QList<QByteArray>{"1.txt"}));
    EXPECT_EQ(Sandbox::names(src), (QList<QByteArray>{"2.txt", "3.txt"}));
    EXPECT_EQ(engine.documents().saveSummary().failed, 2);
    EXPECT_EQ(host.errors.size(), 2) << "the saved text is not in the archive, and it says so";
    EXPECT_EQ(TeamArchive(uri).size(), 2);
    EXPECT_TRUE(box.nothingLost({src, ref, out}));
}

} // namespace
} // namespace quillmark::test
