// What the result line, the log and the disk say when saving cannot happen:
// an output folder that takes no file, a run refused after a good one, and a
// source folder gone before a new selection. No line may claim what did not
// happen, and nothing is lost.
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"

#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillmark::test {
namespace {

QByteArray wordsText(int seed, int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += "w" + QByteArray::number(seed * 1000 + i) + ' ';
    return text + '\n';
}

// Reports a mismatch from a child process, where no expectation can.
bool same(const QString& what, const QString& actual, const QString& expected) {
    if (actual == expected)
        return true;
    std::fprintf(stderr, "%s:\n  actual   %s\n  expected %s\n", qPrintable(what),
                 qPrintable(actual), qPrintable(expected));
    return false;
}

class SelectionSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = box.makeDir(QStringLiteral("src"));
        out = box.makeDir(QStringLiteral("out"));
        box.write(src, "a.txt", wordsText(1, 30));
        box.write(src, "b.txt", wordsText(2, 30));
        box.write(src, "c.txt", wordsText(1, 30)); // a copy of a.txt: fails
    }

    Sandbox box;
    QString src;
    QString out;
};

TEST_F(SelectionSaverTest, AnOutputFolderThatTakesNoFileIsSaidOnce) {
    const struct {
        SaveMode mode;
        const char* notDone;
    } cases[] = {{SaveMode::Move, "не перемещено"}, {SaveMode::Copy, "не скопировано"}};
    ::chmod(QFile::encodeName(out).constData(), 0555);
    for (const auto& c : cases) {
        const bool ok = runUnprivileged([&] {
            FakeHost host;
            host.source = src;
            host.output = out;
            host.mode = c.mode;
            BatchEngine engine(host);
            engine.startOrStopRun();
            const QString reason = QStringLiteral("Отказано в доступе");
            const QStringList log = host.messages();
            bool good = same(QStringLiteral("result"), host.result,
                             QStringLiteral("Прошло проверку (20%) - 2; %1 - 2: в каталог для "
                                            "прошедших нельзя записать (%2)")
                                 .arg(QString::fromUtf8(c.notDone), reason));
            good &= same(QStringLiteral("last log line"), log.value(log.size() - 1),
                         QStringLiteral("Выборка не сохранена: в каталог %1 нельзя записать (%2)")
                             .arg(out, reason));
            // One line for the folder, none per text, none claiming a saving.
            good &= log.filter(QStringLiteral("Не удалось")).isEmpty();
            good &= log.filter(QStringLiteral("Выборка сохранена")).isEmpty();
            good &= host.positions[ProgressRow::Saving] == 0;
            const SaveSummary summary = engine.documents().saveSummary();
            good &= summary.selected == 2 && summary.failed == 2 && summary.saved() == 0;
            good &= engine.documents().saveErrors[0] == reason;
            good &= engine.lastOutcome() == RunOutcome::Completed;
            return good;
        });
        EXPECT_TRUE(ok) << c.notDone;
    }
    ::chmod(QFile::encodeName(out).constData(), 0755);
    EXPECT_TRUE(Sandbox::names(out).isEmpty());
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"a.txt", "b.txt", "c.txt"}));
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(SelectionSaverTest, ARefusedRunLeavesNoEarlierTableBehind) {
    const struct {
        const char* name;
        QString source;
        QString output;
        RunOutcome outcome;
    } cases[] = {
        {"missing source", box.path(QStringLiteral("nowhere/")), out, RunOutcome::BadSource},
        {"output not made", src, box.path(QStringLiteral("no/such/")),
         RunOutcome::OutputNotCreated},
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.source = src;
        host.output = out;
        host.mode = SaveMode::Copy;
        BatchEngine engine(host);
        engine.startOrStopRun();
        ASSERT_EQ(engine.documents().comparedCount, 3) << c.name;
        host.source = c.source;
        host.output = c.output;
        const int shown = host.resultsChangedCalls;
        engine.startOrStopRun();
        EXPECT_EQ(engine.lastOutcome(), c.outcome) << c.name;
        // The window redraws from an empty table: no row, no bar of the old run.
        EXPECT_EQ(engine.documents().count(), 0) << c.name;
        EXPECT_GT(host.resultsChangedCalls, shown) << c.name;
        EXPECT_TRUE(engine.tableDirectory().isEmpty()) << c.name;
        EXPECT_EQ(host.selectState, ButtonState::Disabled) << c.name;
        // What the good run copied stays.
        EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt"})) << c.name;
        ASSERT_TRUE(QFile::remove(out + "a.txt") && QFile::remove(out + "b.txt"));
    }
    EXPECT_FALSE(QFile::exists(box.path(QStringLiteral("no"))));
}

TEST_F(SelectionSaverTest, ANewSelectionSaysTheSourceFolderIsGone) {
    FakeHost host;
    host.source = src;
    host.output = out;
    BatchEngine engine(host);
    engine.startOrStopRun();
    ASSERT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt"}));
    const QString gone = box.path(QStringLiteral("renamed"));
    ASSERT_EQ(::rename(QFile::encodeName(src).constData(), QFile::encodeName(gone).constData()), 0);

    // Stricter: the question about moving back is not asked, nothing moves.
    host.percent = 0;
    engine.makeNewSelection();
    EXPECT_EQ(host.result, QStringLiteral("Выборка не сделана: каталога с текстами больше нет."));
    EXPECT_EQ(host.messages().value(host.messages().size() - 1),
              QStringLiteral("Каталог с текстами последнего сравнения (%1) не найден: он удалён, "
                             "переименован или недоступен.")
                  .arg(src));
    EXPECT_TRUE(host.questions.isEmpty());
    EXPECT_FALSE(QFile::exists(src));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt"}));
    EXPECT_EQ(Sandbox::names(gone), QList<QByteArray>({"c.txt"}));
    EXPECT_EQ(host.selectState, ButtonState::Enabled) << "the folder may come back";
}

} // namespace
} // namespace quillmark::test
