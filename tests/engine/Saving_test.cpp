// What the saving step leaves in the document table, and how it stops.
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/TemporaryFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

class SavingTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = box.makeDir(QStringLiteral("src"));
        out = box.makeDir(QStringLiteral("out"));
        host.source = src;
        host.output = out;
        host.percent = 50;
    }

    /// Calls of processEvents before saving starts: one per file loaded and
    /// one per file compared.
    static int eventsBeforeSaving(int files) { return 2 * files; }

    Sandbox box;
    QString src;
    QString out;
    FakeHost host;
    BatchEngine engine{host};
};

TEST_F(SavingTest, EachTextOfTheSelectionGetsItsOutcome) {
    struct Case {
        QByteArray name;
        unsigned seed; ///< equal seeds, equal texts: the later one fails
        SaveOutcome outcome;
    };
    const Case cases[] = {
        {"a.txt", 1, SaveOutcome::Moved},
        {"b.txt", 1, SaveOutcome::None},   // copies a.txt, did not pass
        {"c.txt", 3, SaveOutcome::Clash},  // out/c.txt is another text
        {"d.txt", 4, SaveOutcome::Failed}, // rewritten after it was read
        {"e.txt", 5, SaveOutcome::Moved},
    };
    for (const Case& c : cases)
        box.write(src, c.name, wordsText(c.seed, 40));
    box.write(out, "c.txt", "an older text of that name\n");
    host.onProcessEvents = [this](int call) {
        if (call != eventsBeforeSaving(5))
            return;
        // As an editor saves: a new file under the old name.
        QFile file(src + "d.new");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        file.write("the user's newer, shorter version\n");
        file.close();
        ASSERT_TRUE(::rename(QFile::encodeName(src + "d.new").constData(),
                             QFile::encodeName(src + "d.txt").constData()) == 0);
    };
    engine.startOrStopRun();

    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    const DocumentTable& table = engine.documents();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(table.saveOutcomes[i], cases[i].outcome) << cases[i].name.constData();
    EXPECT_EQ(table.saveErrors[3], QStringLiteral("changed since it was read"));
    const SaveSummary summary = table.saveSummary();
    EXPECT_EQ(summary.selected, 4);
    EXPECT_EQ(summary.moved, 2);
    EXPECT_EQ(summary.clash, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_TRUE(summary.anyFailed());
    EXPECT_FALSE(summary.stopped());
    EXPECT_EQ(Sandbox::read(src, "d.txt"), "the user's newer, shorter version\n");
    EXPECT_FALSE(Sandbox::exists(out, "d.txt"));
    EXPECT_TRUE(host.messages().contains(QStringLiteral("Не удалось сохранить файлов: 1")));
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "c.txt", "e.txt"}));
    EXPECT_EQ(Sandbox::read(out, "c.txt"), "an older text of that name\n");
}

TEST_F(SavingTest, AStopDuringSavingEndsItBetweenTwoFiles) {
    for (int i = 0; i < 5; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(unsigned(10 + i), 40));
    host.onProcessEvents = [this](int call) {
        if (call == eventsBeforeSaving(5) + 2)
            engine.requestStop();
    };
    engine.startOrStopRun();

    EXPECT_EQ(engine.lastOutcome(), RunOutcome::SavingStopped);
    const std::vector<SaveOutcome> expected{SaveOutcome::Moved, SaveOutcome::Moved,
                                            SaveOutcome::Pending, SaveOutcome::Pending,
                                            SaveOutcome::Pending};
    EXPECT_EQ(engine.documents().saveOutcomes, expected);
    EXPECT_EQ(engine.documents().saveSummary().pending, 3);
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"0.txt", "1.txt"}));
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"2.txt", "3.txt", "4.txt"}));
    EXPECT_TRUE(
        host.messages().contains(QStringLiteral("Сохранение остановлено, не дошло до файлов: 3")));
    EXPECT_EQ(engine.state(), RunState::Idle);
    EXPECT_EQ(host.selectState, ButtonState::Enabled);

    // The new selection stops the same way, and the table tells anew.
    host.mode = SaveMode::Copy;
    host.onProcessEvents = [this](int) { engine.requestStop(); };
    engine.makeNewSelection();
    const SaveSummary again = engine.documents().saveSummary();
    EXPECT_EQ(again.selected, 5);
    EXPECT_EQ(again.alreadyThere + again.copied, 1);
    EXPECT_EQ(again.pending, 4);
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(SavingTest, StaleTemporariesOfTheOutputDirectoryGoFirst) {
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const QByteArray prefix = TemporaryFile::NamePrefix;
    struct Case {
        QByteArray name;
        bool stays;
    };
    const Case cases[] = {
        {prefix + QByteArray::number(dead) + "-00000000000000ab", false},
        {prefix + QByteArray::number(::getpid()) + "-00000000000000cd", true}, // alive
        {prefix + "notanumber", true},
        {"x" + prefix + QByteArray::number(dead) + "-00000000000000ef", true},
    };
    for (const Case& c : cases)
        box.write(out, c.name, "half a text");
    box.write(src, "a.txt", wordsText(1, 40));
    engine.startOrStopRun();
    for (const Case& c : cases)
        EXPECT_EQ(Sandbox::exists(out, c.name), c.stays) << c.name.constData();
    EXPECT_TRUE(Sandbox::exists(out, "a.txt"));
}

} // namespace
} // namespace quillmark::test
