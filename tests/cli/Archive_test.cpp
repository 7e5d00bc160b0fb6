// quillmark-cli with the team archive, on the suite's private PostgreSQL
// server: runs against it, several clients at once, a client killed while
// adding, a server that cannot be reached.
#include "ArchiveServer.h"
#include "CliProcess.h"
#include "TextBatch.h"

#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

using namespace quillmark::test;
namespace fs = std::filesystem;

namespace {

class CliArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        uri = ArchiveServer::freshDatabase().toStdString();
        if (uri.empty())
            GTEST_SKIP() << "no PostgreSQL server: scripts/test-postgres found none installed";
        root = fs::path(temp.path().toStdString());
    }

    /// `count` articles in `directory`; every third of them a rewrite of
    /// article `seed`.
    fs::path writeTexts(const std::string& directory, int count, unsigned seed) const {
        const fs::path dir = root / directory;
        fs::create_directory(dir);
        for (int i = 0; i < count; ++i) {
            const std::string text = i % 3 == 0
                                         ? TextBatch::rewrite(TextBatch::article(seed, 120), i)
                                         : TextBatch::article(seed + 1 + i, 120);
            TextBatch::write(dir / (std::to_string(1000 + i) + ".txt"), text);
        }
        return dir;
    }

    std::string archived(const std::string& action) const {
        QByteArray out;
        QByteArray err;
        EXPECT_EQ(CliProcess::run({"archive", action, "--uri", uri}, &out, &err), 0)
            << err.constData();
        return out.toStdString();
    }

    QTemporaryDir temp;
    fs::path root;
    std::string uri;
};

TEST_F(CliArchiveTest, GivesTheRowsReferencesGiveNamingTheArchive) {
    const fs::path ref = writeTexts("ref", 12, 1);
    const fs::path batch = writeTexts("batch", 9, 1);
    QByteArray asReferences;
    ASSERT_EQ(CliProcess::run({batch.string(), "--reference", ref.string(), "--no-cache", "-q"},
                              &asReferences),
              0);
    ASSERT_EQ(CliProcess::run({"archive", "add", ref.string(), "--uri", uri, "-q"}), 0);
    QByteArray fromArchive;
    ASSERT_EQ(CliProcess::run({batch.string(), "--archive", uri, "-q"}, &fromArchive), 0);
    const QByteArray canonical = QByteArray::fromStdString(fs::canonical(ref).string());
    asReferences.replace(QByteArray::fromStdString(ref.string()), "archive:" + canonical);
    EXPECT_EQ(fromArchive, asReferences);
    EXPECT_NE(fromArchive.indexOf("archive:"), -1) << "some text matched the archive";
}

TEST_F(CliArchiveTest, TwoClientsAddingTheSameFilesKeepOneCopy) {
    const fs::path texts = writeTexts("texts", 300, 2);
    CliProcess first({"archive", "add", texts.string(), "--uri", uri, "-q"});
    CliProcess second({"archive", "add", texts.string(), "--uri", uri, "-q"});
    EXPECT_EQ(first.finish(), 0) << first.err().constData();
    EXPECT_EQ(second.finish(), 0) << second.err().constData();
    EXPECT_NE(archived("list").find("всего текстов: 300"), std::string::npos);
    EXPECT_NE(archived("check").find("архив согласован"), std::string::npos);
}

TEST_F(CliArchiveTest, AClientKilledWhileAddingLeavesWholeTransactionsOnly) {
    // The adding commits every 4,000 texts; the kill comes after the first.
    const fs::path texts = writeTexts("texts", 4500, 3);
    CliProcess adding({"archive", "add", texts.string(), "--uri", uri, "--lang", "ru"});
    ASSERT_TRUE(adding.waitForError("добавлено текстов - 4000")) << adding.err().constData();
    adding.sendSignal(SIGKILL);
    adding.finish();
    const std::string list = archived("list");
    EXPECT_TRUE(list.find("всего текстов: 4000") != std::string::npos ||
                list.find("всего текстов: 4500") != std::string::npos)
        << list;
    EXPECT_NE(archived("check").find("архив согласован"), std::string::npos);
}

TEST_F(CliArchiveTest, AServerOutOfReachStopsTheRunBeforeAnythingMoves) {
    const fs::path batch = writeTexts("batch", 3, 4);
    const auto before = TextBatch::snapshot(root);
    QByteArray err;
    EXPECT_EQ(CliProcess::run({batch.string(), "--archive",
                               "postgresql:///x?host=/nonexistent-socket-dir", "--save", "move",
                               "--out", (root / "out").string(), "-q"},
                              nullptr, &err),
              1);
    EXPECT_NE(err.indexOf("/nonexistent-socket-dir"), -1) << err.constData();
    EXPECT_EQ(TextBatch::snapshot(root), before) << "nothing moved, no output directory left";
}

} // namespace
