#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/DocumentPair.h"
#include "engine/ScoreHistogram.h"
#include "engine/TextFile.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

class BatchEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        src = box.makeDir(QStringLiteral("src"));
        out = src + QStringLiteral("Result/");
        host.source = src;
        host.output = out;
    }

    /// The scores the analysis unit gives the loaded texts (wherever they are
    /// now), in table order.
    std::vector<std::int32_t> expectedScores() const {
        std::vector<TudShingleList> lists;
        for (const QByteArray& name : engine.documents().names) {
            const QString& dir = Sandbox::exists(src, name) ? src : out;
            const std::string text = TextFile::toText(Sandbox::read(dir, name).toStdString());
            lists.emplace_back();
            ShinglesFromText(text, host.truncationSwitch, host.htmlSwitch, host.shingleLen,
                             lists.back());
        }
        std::vector<std::int32_t> scores;
        for (std::size_t k = 0; k < lists.size(); ++k)
            scores.push_back(BestMatchPercent(std::span(lists).first(k), lists[k]));
        return scores;
    }

    Sandbox box;
    QString src;
    QString out;
    FakeHost host;
    BatchEngine engine{host};
};

QStringList expectedCounters(int total) {
    QStringList counters;
    for (int i = 1; i <= total; ++i)
        counters << QStringLiteral("%1/%2").arg(i).arg(total);
    return counters;
}

QStringList counterCalls(const FakeHost& host, const QString& row) {
    QStringList values;
    for (const QString& call : host.callsStartingWith(QStringLiteral("setCounter ") + row + u' ')) {
        const QString value = call.section(u' ', 2);
        if (!value.isEmpty())
            values << value;
    }
    return values;
}

TEST_F(BatchEngineTest, WholeBatchInStandardLayout) {
    const QByteArray first = wordsText(1, 60);
    box.write(src, "a.txt", first);
    box.write(src, "B.txt", wordsText(2, 60));
    box.write(src, "c.txt", wordsText(3, 60));
    box.write(src, "d.txt", first); // a later copy fails
    box.write(src, ".hidden", wordsText(4, 60));
    box.write(src, "empty.txt", "");
    box.makeDir(QStringLiteral("src/sub"));

    engine.startOrStopRun();

    // Sorted case-insensitively: .hidden, a.txt, B.txt, c.txt, d.txt.
    const auto& docs = engine.documents();
    ASSERT_EQ(docs.count(), 5);
    EXPECT_EQ(docs.names[0], ".hidden");
    EXPECT_EQ(docs.names[2], "B.txt");
    EXPECT_EQ(docs.scores, expectedScores());
    EXPECT_EQ(docs.scores[4], 100);
    EXPECT_EQ(docs.bestMatches[4], 1);
    EXPECT_EQ(docs.bestMatches[0], -1);
    EXPECT_EQ(docs.comparedCount, 5);

    EXPECT_EQ(counterCalls(host, QStringLiteral("Loading")), expectedCounters(5));
    EXPECT_EQ(counterCalls(host, QStringLiteral("Comparison")), expectedCounters(5));
    EXPECT_EQ(counterCalls(host, QStringLiteral("Saving")),
              QStringList({QStringLiteral("0/4")}) + expectedCounters(4));
    EXPECT_EQ(host.ranges[ProgressRow::Loading], std::make_pair(0, 5));
    EXPECT_EQ(host.ranges[ProgressRow::Saving], std::make_pair(0, 4));
    EXPECT_EQ(host.labels[ProgressRow::Comparison], QStringLiteral("Сравнение текстов"));
    EXPECT_EQ(host.labels[ProgressRow::Saving],
              QStringLiteral("Сохранение выборки по заданному фильтру"));
    // Full bars beside full counters once the run is over.
    EXPECT_EQ(host.positions[ProgressRow::Loading], 5);
    EXPECT_EQ(host.positions[ProgressRow::Comparison], 5);
    EXPECT_EQ(host.positions[ProgressRow::Saving], 4);

    EXPECT_EQ(
        host.messages(),
        QStringList({QStringLiteral("Начало работы.."), QStringLiteral("Загружено файлов: 5"),
                     QStringLiteral("Сравнение выполнено, успешно прошло порог в 20% - 4 файлов"),
                     QStringLiteral("Выборка сохранена в каталог %1: перемещено файлов - 4, "
                                    "не перемещено - 0")
                         .arg(out)}));
    // LC_ALL=C for this test: "%X" is HH:MM:SS.
    const QRegularExpression stamped(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d-> \\S"));
    for (const QString& line : host.log)
        EXPECT_TRUE(stamped.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(host.resultPageShown, 0);

    EXPECT_EQ(host.callsStartingWith(QStringLiteral("setResult Прошло проверку (20%) - ")).size(),
              3 + 1);
    EXPECT_EQ(host.result,
              QStringLiteral("Прошло проверку (20%) - 4; перемещено - 4, не перемещено - 0"));
    EXPECT_EQ(host.caption, StartCaption::Start);
    EXPECT_EQ(host.selectState, ButtonState::Enabled);
    EXPECT_EQ(engine.state(), RunState::Idle);
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.passedCount(), 4);
    EXPECT_EQ(engine.lastSavedPercent(), 20);

    // The settings of the fingerprint are read per file, the percentage once.
    EXPECT_EQ(host.callsStartingWith(QStringLiteral("shingleLength")).size(), 5);
    EXPECT_EQ(host.callsStartingWith(QStringLiteral("allowedPercent")).size(), 1);

    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({".hidden", "B.txt", "a.txt", "c.txt"}));
    EXPECT_TRUE(Sandbox::exists(src, "d.txt"));
    EXPECT_TRUE(Sandbox::exists(src, "empty.txt"));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(BatchEngineTest, StartSequenceResetsTheWindowBeforeReadingTheSettings) {
    box.write(src, "a.txt", wordsText(1, 30));
    engine.startOrStopRun();
    const QStringList head = host.calls.mid(0, 13);
    EXPECT_EQ(head,
              QStringList(
                  {QStringLiteral("setCounter Loading "), QStringLiteral("setCounter Comparison "),
                   QStringLiteral("setCounter Saving "), QStringLiteral("setSelectState Disabled"),
                   QStringLiteral("setProgressLabel Comparison Сравнение текстов"),
                   QStringLiteral("setStartCaption Stop"), QStringLiteral("setResult "),
                   QStringLiteral("setBarPosition Loading 0"),
                   QStringLiteral("setBarPosition Comparison 0"),
                   QStringLiteral("setBarPosition Saving 0"), QStringLiteral("clearLog"),
                   QStringLiteral("sourceDirectory"), QStringLiteral("outputDirectory")}));
    // One document: the result never shows the form with the percentage
    // before saving.
    EXPECT_EQ(host.callsStartingWith(QStringLiteral("setResult Прошло проверку - 1; сохраняю "
                                                    "результаты.."))
                  .size(),
              1);
}

TEST_F(BatchEngineTest, SecondRunRebuildsTheTableAndCopyModeKeepsBothCopies) {
    box.write(src, "a.txt", wordsText(1, 40));
    box.write(src, "b.txt", wordsText(2, 40));
    host.mode = SaveMode::Copy;
    engine.startOrStopRun();
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt"}));
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"Result", "a.txt", "b.txt"}));
    EXPECT_EQ(engine.lastSavedPercent(), 0) << "nothing was moved";

    // The second copy finds equal texts already there: saved, not clashes.
    box.write(src, "c.txt", wordsText(3, 40));
    engine.startOrStopRun();
    EXPECT_EQ(engine.documents().count(), 3);
    EXPECT_EQ(host.messages().size(), 4) << host.messages().join(u'\n').toStdString();
    EXPECT_EQ(host.result,
              QStringLiteral("Прошло проверку (20%) - 3; скопировано - 1, уже на месте "
                             "- 2, не скопировано - 0"));
    EXPECT_EQ(Sandbox::read(out, "c.txt"), Sandbox::read(src, "c.txt"));
    EXPECT_TRUE(box.nothingLost({src}));
    EXPECT_TRUE(box.nothingLost({out}));
}

TEST_F(BatchEngineTest, SourcePathWithoutFinalSlashIsTheDirectoryItNames) {
    box.write(src, "a.txt", wordsText(1, 40));
    host.source = src.chopped(1);
    host.mode = SaveMode::None;
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.documents().count(), 1);
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_EQ(host.result, QStringLiteral("Прошло проверку (20%) - 1"));
    EXPECT_FALSE(Sandbox::exists(src, "Result")) << "no saving, no output directory";
}

TEST_F(BatchEngineTest, StopDuringLoadingLoadsTheFileAtHandAndComparesNothing) {
    for (int i = 0; i < 4; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(i, 40));
    bool pressed = false;
    host.onProcessEvents = [&](int) {
        if (!pressed && host.counters[ProgressRow::Loading] == QStringLiteral("2/4")) {
            pressed = true;
            engine.startOrStopRun();
        }
    };
    engine.startOrStopRun();

    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(engine.documents().count(), 2);
    EXPECT_EQ(engine.documents().comparedCount, 0);
    EXPECT_EQ(host.messages(), QStringList({QStringLiteral("Начало работы.."),
                                            QStringLiteral("Загружено файлов: 2")}));
    EXPECT_EQ(host.result, QString());
    EXPECT_TRUE(host.callsStartingWith(QStringLiteral("allowedPercent")).isEmpty());
    EXPECT_EQ(host.selectState, ButtonState::Enabled);
    EXPECT_EQ(host.caption, StartCaption::Start);
    EXPECT_EQ(engine.state(), RunState::Idle);
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>());
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(BatchEngineTest, StopWhileTheIndexIsBuiltEndsTheStageBeforeAnyDocument) {
    // Enough shingles for the build to hand control back to the window: the
    // call after the last loaded file comes from the build, not from the
    // first compared document.
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        box.write(src, "t" + QByteArray::number(i) + ".txt", wordsText(unsigned(i) + 1, 1000));
    // The first time the window is let in once every file is loaded.
    host.onProcessEvents = [this](int) {
        if (host.messages().contains(QStringLiteral("Загружено файлов: %1").arg(kFiles)))
            engine.requestStop();
    };
    engine.startOrStopRun();

    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(host.result, QStringLiteral("Остановлено. Прошло проверку - 0 из 0"));
    EXPECT_EQ(engine.documents().comparedCount, 0);
    EXPECT_EQ(engine.documents().count(), kFiles);
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>());
    EXPECT_EQ(engine.state(), RunState::Idle);
}

TEST_F(BatchEngineTest, StopDuringComparisonAndNewSelectionLeavesOutUncomparedDocuments) {
    // 01..09; 04 and 05 copy 01 and 02, so three of the first five pass.
    for (int i = 1; i <= 9; ++i) {
        const unsigned seed = i == 4 ? 1 : i == 5 ? 2 : unsigned(i);
        box.write(src, "0" + QByteArray::number(i) + ".txt", wordsText(seed, 40));
    }
    host.onProcessEvents = [this](int) {
        if (host.counters[ProgressRow::Comparison] == QStringLiteral("5/9"))
            engine.requestStop();
    };
    engine.startOrStopRun();

    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(host.result, QStringLiteral("Остановлено. Прошло проверку - 3 из 5"));
    EXPECT_EQ(host.counters[ProgressRow::Comparison], QStringLiteral("5/9"));
    EXPECT_EQ(engine.documents().comparedCount, 5);
    EXPECT_EQ(engine.passedCount(), 0);
    for (std::size_t k = 5; k < 9; ++k)
        EXPECT_EQ(engine.documents().scores[k], 0);
    EXPECT_EQ(host.messages().size(), 2) << "no comparison line after a stop";
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>());
    EXPECT_EQ(host.selectState, ButtonState::Enabled);

    host.onProcessEvents = nullptr;
    engine.makeNewSelection();
    EXPECT_TRUE(host.messages().contains(QStringLiteral(
        "Выборка неполная: сравнение было остановлено, выбор идёт из первых 5 текстов из 9")));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"01.txt", "02.txt", "03.txt"}));
    EXPECT_EQ(host.result, QStringLiteral("Неполная выборка (5 из 9). Прошло проверку (20%) - 3; "
                                          "перемещено - 3, не перемещено - 0"));
    host.mode = SaveMode::None;
    engine.makeNewSelection();
    EXPECT_EQ(host.result, QStringLiteral("Неполная выборка (5 из 9). Прошло проверку (20%) - 3"));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(BatchEngineTest, AStopDuringComparisonEndsAtTheSameTextOnAnyNumberOfThreads) {
    for (int i = 1; i <= 40; ++i)
        box.write(src, "t" + QByteArray::number(100 + i) + ".txt", wordsText(unsigned(i % 13), 40));
    const QString result = QStringLiteral("Остановлено. Прошло проверку - 13 из 25");
    for (const int jobs : {1, 2, 5}) {
        engine.setJobCount(jobs);
        host.counters.clear();
        host.onProcessEvents = [this](int) {
            if (host.counters[ProgressRow::Comparison] == QStringLiteral("25/40"))
                engine.requestStop();
        };
        engine.startOrStopRun();
        const auto& docs = engine.documents();
        EXPECT_EQ(host.result, result) << jobs << " threads";
        ASSERT_EQ(docs.comparedCount, 25) << jobs << " threads";
        const std::vector<std::int32_t> expected = expectedScores();
        for (std::size_t k = 0; k < 40; ++k) {
            EXPECT_EQ(docs.scores[k], k < 25 ? expected[k] : 0) << jobs << " threads, text " << k;
            EXPECT_EQ(docs.bestMatches[k] >= 0, k < 25 && expected[k] > 0)
                << jobs << " threads, text " << k;
        }
    }
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>());
}

TEST_F(BatchEngineTest, PressWhileStoppingDoesNothing) {
    for (int i = 0; i < 3; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(i, 40));
    RunState seen = RunState::Idle;
    bool pressed = false;
    host.onProcessEvents = [&](int) {
        if (pressed || host.counters[ProgressRow::Loading] != QStringLiteral("1/3"))
            return;
        pressed = true;
        engine.startOrStopRun(); // stop
        engine.startOrStopRun(); // ignored: the run has not ended
        seen = engine.state();
    };
    engine.startOrStopRun();
    EXPECT_EQ(seen, RunState::Stopping);
    EXPECT_EQ(host.callsStartingWith(QStringLiteral("clearLog")).size(), 1);
    EXPECT_EQ(engine.documents().count(), 1);
    EXPECT_EQ(engine.state(), RunState::Idle);

    // Once ended, the next press starts a run again.
    host.onProcessEvents = nullptr;
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.documents().count(), 3);
}

class NewSelectionTest : public BatchEngineTest {
protected:
    /// a, b distinct; x shares its first words with a, so it scores between
    /// the two percentages used below.
    void runAtFifty() {
        const QByteArray a = wordsText(1, 100);
        box.write(src, "a.txt", a);
        box.write(src, "b.txt", wordsText(2, 100));
        box.write(src, "x.txt", a.left(a.indexOf("\n", 200)) + ' ' + wordsText(3, 60));
        host.percent = 50;
        engine.startOrStopRun();
        xScore = engine.documents().scores[2];
        ASSERT_GT(xScore, 5);
        ASSERT_LE(xScore, 50);
        ASSERT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt", "x.txt"}));
        ASSERT_EQ(engine.lastSavedPercent(), 50);
        host.calls.clear();
    }

    QString question(int percent) const {
        return QStringLiteral("Сделав предыдущий анализ, Вы переместили выборку из подходящих "
                              "текстов в другой каталог. Сейчас Вы хотите сделать более строгую "
                              "выборку (%1%). Хотите переместить те тексты обратно прежде, чем "
                              "делать новую выборку?")
            .arg(percent);
    }

    int xScore = 0;
};

TEST_F(NewSelectionTest, StricterSelectionWithYesMovesBackFirst) {
    runAtFifty();
    box.makeDir(QStringLiteral("src/Result/made-by-user"));
    host.percent = xScore - 1;
    engine.makeNewSelection();

    EXPECT_EQ(host.questions, QStringList({question(xScore - 1)}));
    EXPECT_EQ(host.calls.mid(0, 2), QStringList({QStringLiteral("setSelectState Disabled"),
                                                 QStringLiteral("setStartState Disabled")}));
    EXPECT_EQ(host.calls.mid(host.calls.size() - 2),
              QStringList({QStringLiteral("setSelectState Enabled"),
                           QStringLiteral("setStartState Enabled")}));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt"}));
    EXPECT_TRUE(Sandbox::exists(src, "x.txt"));
    EXPECT_TRUE(Sandbox::exists(src, "made-by-user")) << "every entry moves back";
    EXPECT_EQ(engine.lastSavedPercent(), xScore - 1);
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(NewSelectionTest, StricterSelectionWithNoMovesNothingBack) {
    runAtFifty();
    host.percent = xScore - 1;
    host.answer = Answer::No;
    engine.makeNewSelection();
    EXPECT_EQ(host.questions.size(), 1);
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt", "x.txt"}));
    EXPECT_TRUE(host.messages().contains(
        QStringLiteral("В каталоге %1 остались тексты, не проходящие порог %2%: 1")
            .arg(out)
            .arg(xScore - 1)));
    // a and b were moved before: in place, not moved now; x no longer passes.
    EXPECT_EQ(host.result, QStringLiteral("Прошло проверку (%1%) - 2; перемещено - 0, уже на месте "
                                          "- 2, не перемещено - 0; остались не прошедшие - 1")
                               .arg(xScore - 1));
    EXPECT_EQ(host.startState, ButtonState::Enabled);
    EXPECT_EQ(host.selectState, ButtonState::Enabled);
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(NewSelectionTest, EqualOrLooserSelectionAsksNothing) {
    runAtFifty();
    for (int percent : {50, 80}) {
        host.percent = percent;
        engine.makeNewSelection();
    }
    EXPECT_TRUE(host.questions.isEmpty());
    EXPECT_EQ(engine.lastSavedPercent(), 80);
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(NewSelectionTest, MovingBackNeverReplacesASourceFile) {
    runAtFifty();
    box.write(src, "a.txt", "a new text of the same name\n");
    host.percent = 0;
    engine.makeNewSelection();
    EXPECT_TRUE(Sandbox::exists(out, "a.txt")) << "the clash stays in the output directory";
    EXPECT_FALSE(Sandbox::exists(src, "b.txt") && Sandbox::exists(out, "b.txt"));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(NewSelectionTest, EmptySourcePathMovesNothingBack) {
    runAtFifty();
    host.source.clear();
    host.percent = 0;
    engine.makeNewSelection();
    EXPECT_TRUE(host.questions.isEmpty()) << "not the directory of the table";
    EXPECT_TRUE(Sandbox::exists(out, "b.txt")) << "nothing went to the working directory";
    EXPECT_FALSE(QFile::exists(QStringLiteral("b.txt")));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST(NewSelectionBeforeAnyRun, AsksNothingAndSavesNothing) {
    Sandbox box;
    FakeHost host;
    host.source = box.makeDir(QStringLiteral("src"));
    host.output = box.makeDir(QStringLiteral("out"));
    host.percent = 0;
    BatchEngine engine(host);
    engine.makeNewSelection();
    EXPECT_TRUE(host.questions.isEmpty());
    EXPECT_EQ(host.counters[ProgressRow::Saving], QStringLiteral("0/0"));
    EXPECT_EQ(engine.lastSavedPercent(), 0);
}

// Bad input: each case ends as described and leaves every text in place.

TEST_F(BatchEngineTest, WrongSourceDirectoryEndsTheRunEarly) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(box.makeDir(QStringLiteral("plain")), "file", "text\n");
    for (const QString& source : {QString(), box.path(QStringLiteral("missing/")),
                                  box.path(QStringLiteral("plain/file"))}) {
        FakeHost badHost;
        badHost.source = source;
        badHost.output = out;
        BatchEngine badEngine(badHost);
        badEngine.startOrStopRun();
        EXPECT_EQ(badEngine.lastOutcome(), RunOutcome::BadSource) << source.toStdString();
        EXPECT_EQ(badHost.messages(),
                  QStringList({QStringLiteral(
                      "Неверный путь к каталогу с исходными текстами, проверьте и исправьте.")}));
        EXPECT_EQ(badHost.resultPageShown, 1);
        EXPECT_EQ(badHost.caption, StartCaption::Start);
        EXPECT_EQ(badHost.selectState, ButtonState::Disabled);
        EXPECT_EQ(badEngine.state(), RunState::Idle);
    }
    EXPECT_FALSE(Sandbox::exists(src, "Result"));
    EXPECT_TRUE(box.nothingLost({src, box.path(QStringLiteral("plain/"))}));
}

TEST_F(BatchEngineTest, OutputDirectoryThatCannotBeMadeEndsTheRunEarly) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "taken", "a file where the output directory should be\n");
    for (const QString& output : {box.path(QStringLiteral("no/parent/")), src + "taken"}) {
        FakeHost badHost;
        badHost.source = src;
        badHost.output = output;
        BatchEngine badEngine(badHost);
        badEngine.startOrStopRun();
        EXPECT_EQ(badEngine.lastOutcome(), RunOutcome::OutputNotCreated);
        EXPECT_EQ(badHost.messages(),
                  QStringList({QStringLiteral("Не удалось создать каталог ") + output}));
        EXPECT_EQ(badHost.resultPageShown, 1);
        EXPECT_EQ(badHost.selectState, ButtonState::Disabled);
    }
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(BatchEngineTest, EmptySourceWithOutputElsewhereLoadsNothing) {
    host.output = box.path(QStringLiteral("elsewhere/"));
    engine.startOrStopRun();
    EXPECT_EQ(host.ranges[ProgressRow::Loading], std::make_pair(0, 0));
    EXPECT_EQ(host.messages().mid(1, 3),
              QStringList({QStringLiteral("Загружено файлов: 0"),
                           QStringLiteral("В каталоге нет текстов для сравнения"),
                           QStringLiteral("Сравнение выполнено, успешно прошло порог в 20% - 0 "
                                          "файлов")}));
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.lastSavedPercent(), 0) << "nothing was moved";
}

TEST_F(BatchEngineTest, FileRemovedBetweenListingAndLoadingEndsWithTheError) {
    const QString aside = box.makeDir(QStringLiteral("aside"));
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "b.txt", wordsText(2, 30));
    box.write(src, "c.txt", wordsText(3, 30));
    // Listed, then gone when loading starts (files are read ahead of their turn).
    host.onResultsChanged = [&](int call) {
        if (call == 1)
            ::rename(QFile::encodeName(src + "b.txt"), QFile::encodeName(aside + "b.txt"));
    };
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::LoadFailed);
    EXPECT_EQ(host.errors, QStringList({QStringLiteral("Cannot open file \"%1b.txt\". Нет такого "
                                                       "файла или каталога.")
                                            .arg(src)}));
    EXPECT_EQ(host.messages(), QStringList({QStringLiteral("Начало работы..")}));
    EXPECT_EQ(host.counters[ProgressRow::Loading], QStringLiteral("2/3"));
    EXPECT_EQ(host.selectState, ButtonState::Disabled);
    EXPECT_EQ(host.caption, StartCaption::Start);
    EXPECT_EQ(engine.state(), RunState::Idle);
    EXPECT_TRUE(box.nothingLost({src, aside}));
}

TEST_F(BatchEngineTest, NegativeShingleLengthEndsLoadingWithTheAnalysisError) {
    box.write(src, "a.txt", wordsText(1, 30));
    host.shingleLen = -1;
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::LoadFailed);
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_FALSE(host.errors[0].isEmpty());
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(BatchEngineTest, UnreadableFileEndsTheRunWithTheError) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "b.txt", wordsText(2, 30));
    ::chmod(QFile::encodeName(src + "b.txt").constData(), 0);
    const bool ok = runUnprivileged([&] {
        FakeHost child;
        child.source = src;
        child.output = out;
        BatchEngine childEngine(child);
        childEngine.startOrStopRun();
        return childEngine.lastOutcome() == RunOutcome::LoadFailed &&
               child.errors == QStringList({QStringLiteral("Cannot open file \"%1b.txt\". "
                                                           "Отказано в доступе.")
                                                .arg(src)}) &&
               child.selectState == ButtonState::Disabled;
    });
    ::chmod(QFile::encodeName(src + "b.txt").constData(), 0644);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(BatchEngineTest, BinaryFilesLinksAndSpecialFilesAreHandledSafely) {
    QByteArray binary;
    for (int i = 0; i < 512; ++i)
        binary += char((i * 37 + 11) & 0xFF);
    binary.prepend("abc def ghi\r\r\n");
    box.write(src, "binary.bin", binary);
    box.write(src, "\xE9t\xE9.txt", wordsText(5, 30)); // not UTF-8
    box.write(src, "z.txt", wordsText(6, 30));
    ASSERT_EQ(::symlink("z.txt", QFile::encodeName(src + "link.txt").constData()), 0);
    ASSERT_EQ(::symlink("gone", QFile::encodeName(src + "dangling").constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(src + "fifo").constData(), 0644), 0);

    host.percent = 100;
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(host.counters[ProgressRow::Loading], QStringLiteral("3/3"));
    EXPECT_EQ(engine.documents().names[1], "z.txt");
    EXPECT_TRUE(Sandbox::exists(out, "\xE9t\xE9.txt"));
    EXPECT_TRUE(Sandbox::exists(out, "z.txt")) << "not scored against its own link";
    EXPECT_TRUE(
        host.messages().contains(QStringLiteral("Символическая ссылка \"link.txt\" пропущена")));
    EXPECT_TRUE(
        host.messages().contains(QStringLiteral("Символическая ссылка \"dangling\" пропущена")));
    struct stat link {};
    EXPECT_EQ(::lstat(QFile::encodeName(src + "link.txt").constData(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode)) << "a link stays where it is";
    EXPECT_TRUE(Sandbox::exists(src, "fifo"));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(BatchEngineTest, ClashInTheOutputDirectoryKeepsBothTexts) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "b.txt", wordsText(2, 30));
    box.makeDir(QStringLiteral("src/Result"));
    box.write(out, "a.txt", "the earlier text of this name\n");
    engine.startOrStopRun();
    EXPECT_TRUE(host.messages().contains(
        QStringLiteral("Файл \"a.txt\" уже есть в каталоге %1, оставлен на месте").arg(out)));
    EXPECT_EQ(host.result,
              QStringLiteral("Прошло проверку (20%) - 2; перемещено - 1, не перемещено "
                             "- 1 (имя занято - 1)"));
    EXPECT_TRUE(
        host.messages().contains(QStringLiteral("Выборка сохранена в каталог %1: перемещено "
                                                "файлов - 1, не перемещено - 1 (имя занято "
                                                "- 1)")
                                     .arg(out)));
    EXPECT_TRUE(Sandbox::exists(src, "a.txt"));
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(BatchEngineTest, ReadOnlyOutputDirectoryLeavesTheSelectionInPlace) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.makeDir(QStringLiteral("src/Result"));
    ::chmod(QFile::encodeName(out).constData(), 0555);
    const bool ok = runUnprivileged([&] {
        FakeHost child;
        child.source = src;
        child.output = out;
        BatchEngine childEngine(child);
        childEngine.startOrStopRun();
        return childEngine.lastOutcome() == RunOutcome::Completed &&
               child.messages().contains(
                   QStringLiteral("Выборка не сохранена: в каталог %1 нельзя записать "
                                  "(Отказано в доступе)")
                       .arg(out)) &&
               childEngine.lastSavedPercent() == 0;
    });
    ::chmod(QFile::encodeName(out).constData(), 0777);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Sandbox::exists(src, "a.txt"));
    EXPECT_TRUE(box.nothingLost({src}));
}

TEST_F(BatchEngineTest, EachTextOfTheSelectionGetsItsSaveOutcome) {
    const std::pair<QByteArray, SaveOutcome> cases[] = {
        {"a.txt", SaveOutcome::Moved},
        {"b.txt", SaveOutcome::None}, // copies a.txt
        {"c.txt", SaveOutcome::Clash},
        {"d.txt", SaveOutcome::Failed}, // rewritten
        {"e.txt", SaveOutcome::Moved}};
    for (unsigned i = 0; i < 5; ++i)
        box.write(src, cases[i].first, wordsText(i == 1 ? 0 : i, 40));
    box.makeDir(QStringLiteral("src/Result"));
    box.write(out, "c.txt", "an older text of that name\n");
    host.percent = 50;
    host.onProcessEvents = [this](int) {
        // After comparing, an editor saves d.txt anew: a new file renamed over it.
        if (host.counters[ProgressRow::Comparison] == QStringLiteral("5/5") &&
            QFile(src + "d.new").open(QIODevice::WriteOnly | QIODevice::NewOnly))
            ::rename(QFile::encodeName(src + "d.new"), QFile::encodeName(src + "d.txt"));
    };
    engine.startOrStopRun();
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(engine.documents().saveOutcomes[i], cases[i].second) << i;
    EXPECT_EQ(engine.documents().saveErrors[3], QStringLiteral("changed since it was read"));
    const SaveSummary summary = engine.documents().saveSummary();
    EXPECT_EQ(std::tuple(summary.selected, summary.moved, summary.clash, summary.failed),
              std::tuple(4, 2, 1, 1));
    EXPECT_TRUE(host.messages().contains(QStringLiteral("Не удалось сохранить файлов: 1")));
    // The result line counts the failure beside the clash.
    EXPECT_EQ(host.result, QStringLiteral("Прошло проверку (50%) - 4; перемещено - 2, не "
                                          "перемещено - 2 (имя занято - 1, ошибок - 1)"));
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"Result", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "c.txt", "e.txt"}));
    EXPECT_EQ(Sandbox::read(src, "d.txt"), "") << "the new version stays in place";
}

TEST_F(BatchEngineTest, AStopDuringSavingEndsItBetweenTwoFiles) {
    for (int i = 0; i < 5; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(unsigned(10 + i), 40));
    host.onProcessEvents = [this](int) {
        if (host.counters[ProgressRow::Saving] == QStringLiteral("2/5"))
            engine.requestStop();
    };
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::SavingStopped);
    EXPECT_EQ(
        engine.documents().saveOutcomes,
        std::vector<SaveOutcome>({SaveOutcome::Moved, SaveOutcome::Moved, SaveOutcome::Pending,
                                  SaveOutcome::Pending, SaveOutcome::Pending}));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"0.txt", "1.txt"}));
    EXPECT_TRUE(host.messages().contains(
        QStringLiteral("Остановлено при сохранении: перемещено - 2, не дошло до файлов - 3")));
    EXPECT_EQ(host.result, QStringLiteral("Остановлено. Прошло проверку (20%) - 5; перемещено - 2, "
                                          "не перемещено - 3"));
    EXPECT_EQ(host.selectState, ButtonState::Enabled);

    // A new selection stops the same way.
    host.mode = SaveMode::Copy;
    host.onProcessEvents = [this](int) { engine.requestStop(); };
    engine.makeNewSelection();
    EXPECT_EQ(engine.documents().saveSummary().pending, 4);
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(BatchEngineTest, MoveAcrossFileSystemsAndBack) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    host.output = shm.makeDir(QStringLiteral("out"));
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "b.txt", wordsText(2, 30));
    engine.startOrStopRun();
    EXPECT_EQ(Sandbox::names(host.output), QList<QByteArray>({"a.txt", "b.txt"}));
    EXPECT_EQ(Sandbox::names(src), QList<QByteArray>());
    EXPECT_TRUE(box.nothingLost({host.output}));

    shm.makeDir(QStringLiteral("out/folder"));
    host.percent = 0;
    engine.makeNewSelection();
    EXPECT_TRUE(Sandbox::exists(host.output, "folder")) << "a directory does not cross";
    EXPECT_TRUE(Sandbox::exists(src, "folder") == false);
    // Both came back; the one scoring 0 went out again.
    const bool bPasses = engine.documents().scores[1] == 0;
    EXPECT_EQ(Sandbox::exists(src, "b.txt"), !bPasses);
    EXPECT_EQ(Sandbox::exists(host.output, "b.txt"), bPasses);
    EXPECT_TRUE(Sandbox::exists(host.output, "a.txt"));
    EXPECT_TRUE(box.nothingLost({src, host.output}));
}

TEST_F(BatchEngineTest, PercentSignsInTheOutputPathAreShownAsTheyStand) {
    box.write(src, "a.txt", wordsText(1, 30));
    host.output = box.makeDir(QStringLiteral("out %1 %3 %4"));
    engine.startOrStopRun();
    EXPECT_EQ(host.messages().last(),
              QStringLiteral("Выборка сохранена в каталог ") + host.output +
                  QStringLiteral(": перемещено файлов - 1, не перемещено - 0"));
    EXPECT_TRUE(box.nothingLost({host.output}));
}

TEST_F(BatchEngineTest, OutputDirectoryThatIsTheSourceKeepsEveryText) {
    box.write(src, "a.txt", wordsText(1, 30));
    box.write(src, "b.txt", wordsText(2, 30));
    ASSERT_EQ(::symlink(".", QFile::encodeName(src + "same").constData()), 0);
    for (const QString& output : {src, src + QStringLiteral("same/")}) {
        host.output = output;
        host.mode = SaveMode::Move;
        engine.startOrStopRun();
        EXPECT_TRUE(host.result.endsWith(
            QStringLiteral("перемещено - 0, не перемещено - 2 (имя занято - 2)")))
            << host.result.toStdString();
        EXPECT_EQ(engine.lastSavedPercent(), 0) << "nothing was moved";
        host.mode = SaveMode::Copy;
        engine.startOrStopRun();
        EXPECT_EQ(Sandbox::names(src), QList<QByteArray>({"a.txt", "b.txt", "same"}));
        EXPECT_TRUE(box.nothingLost({src}));
    }
}

} // namespace
} // namespace quillmark::test

namespace quillmark::test {
namespace {

TEST_F(BatchEngineTest, ResultsAreAnnouncedWhenTheTableIsClearedAndWhenReady) {
    box.write(src, "a.txt", wordsText(1, 40));
    box.write(src, "b.txt", wordsText(1, 40));
    box.write(src, "c.txt", wordsText(2, 40));
    host.percent = 30;
    host.mode = SaveMode::None;
    engine.startOrStopRun();
    // Once when loading clears the table, once when the run has ended.
    EXPECT_EQ(host.resultsChangedCalls, 2);
    EXPECT_EQ(engine.selectionPercent(), 30);
    const QStringList calls = host.calls;
    EXPECT_LT(calls.indexOf(QStringLiteral("resultsChanged")),
              calls.indexOf(QRegularExpression(QStringLiteral("^setCounter Loading 1/3"))));
    EXPECT_EQ(calls.lastIndexOf(QStringLiteral("resultsChanged")),
              calls.indexOf(QStringLiteral("setStartCaption Start")) - 1);

    host.percent = 100;
    engine.makeNewSelection();
    EXPECT_EQ(host.resultsChangedCalls, 3);
    EXPECT_EQ(engine.selectionPercent(), 100);
    EXPECT_EQ(engine.comparedPercent(), 30);
}

TEST_F(BatchEngineTest, EachDocumentKeepsTheSettingsItWasFingerprintedWith) {
    box.write(src, "a.txt", wordsText(1, 40));
    box.write(src, "b.txt", wordsText(2, 40));
    host.mode = SaveMode::None;
    // The settings are read per file: change them after the first one.
    host.onProcessEvents = [this](int) {
        if (engine.documents().count() == 1) {
            host.shingleLen = 5;
            host.truncationSwitch = Truncation::On;
            host.htmlSwitch = HtmlHandling::Cut;
        }
    };
    host.shingleLen = 2;
    engine.startOrStopRun();
    const auto& settings = engine.documents().settings;
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(settings[0].shingleLength, 2);
    EXPECT_EQ(settings[0].truncation, Truncation::Off);
    EXPECT_EQ(settings[0].html, HtmlHandling::Keep);
    EXPECT_EQ(settings[1].shingleLength, 5);
    EXPECT_EQ(settings[1].truncation, Truncation::On);
    EXPECT_EQ(settings[1].html, HtmlHandling::Cut);
}

TEST_F(BatchEngineTest, RankedMatchesOnlyWhenAskedForAndBestFirst) {
    const QByteArray base = wordsText(7, 80);
    box.write(src, "a.txt", base);
    box.write(src, "b.txt", base + wordsText(8, 80)); // half of it is a
    box.write(src, "c.txt", wordsText(9, 80));
    box.write(src, "d.txt", base + wordsText(10, 20)); // mostly a, part of b
    host.mode = SaveMode::None;
    engine.startOrStopRun();
    EXPECT_TRUE(engine.documents().rankedMatches.empty());

    engine.setRankedMatchCount(5);
    engine.startOrStopRun();
    const auto& ranked = engine.documents().rankedMatches;
    ASSERT_EQ(ranked.size(), 4u);
    EXPECT_TRUE(ranked[0].empty());
    ASSERT_EQ(ranked[3].size(), 2u);
    EXPECT_EQ(ranked[3][0].document, 0);
    EXPECT_EQ(ranked[3][1].document, 1);
    EXPECT_GT(ranked[3][0].score, ranked[3][1].score);
    EXPECT_EQ(ranked[3][0].score, engine.documents().scores[3]);
    EXPECT_TRUE(ranked[2].empty()); // c shares nothing

    engine.setRankedMatchCount(1);
    engine.startOrStopRun();
    EXPECT_EQ(engine.documents().rankedMatches[3].size(), 1u);
}

TEST_F(BatchEngineTest, HistogramCountsOnlyComparedDocuments) {
    DocumentTable table;
    for (int score : {0, 4, 5, 99, 100, 100, 37})
        table.append("x"), table.scores.back() = score;
    table.comparedCount = 6; // the last one was never compared
    const ScoreHistogram histogram = ScoreHistogram::of(table);
    EXPECT_EQ(histogram.total, 6);
    EXPECT_EQ(histogram.bins[0], 2);
    EXPECT_EQ(histogram.bins[1], 1);
    EXPECT_EQ(histogram.bins[7], 0);
    EXPECT_EQ(histogram.bins[19], 3);
    EXPECT_EQ(histogram.largestBin(), 3);
}

TEST_F(BatchEngineTest, PairIsReadFromWhereTheTextsLieNow) {
    const QByteArray original = "one two three four five six seven eight nine ten\r\n";
    box.write(src, "a.txt", original);
    box.write(src, "b.txt", "One two three four FIVE six seven x y z\r\n");
    box.write(src, "c.txt", "nothing in common here at all\r\n");
    host.percent = 50;
    host.mode = SaveMode::Move;
    engine.startOrStopRun();
    // a and c passed and were moved; b failed and stays.
    ASSERT_TRUE(Sandbox::exists(out, "a.txt"));
    ASSERT_TRUE(Sandbox::exists(src, "b.txt"));
    EXPECT_EQ(engine.documentPath(0), QFile::encodeName(out) + "a.txt");
    EXPECT_EQ(engine.documentPath(1), QFile::encodeName(src) + "b.txt");
    EXPECT_TRUE(engine.documentPath(3).isEmpty());

    const DocumentPair pair = DocumentPair::load(engine, 1, engine.documents().bestMatches[1]);
    EXPECT_EQ(pair.earlierIndex, 0);
    ASSERT_EQ(pair.passages.current.size(), 1u);
    const Passage& shown = pair.passages.current.front();
    EXPECT_EQ(
        QByteArray::fromStdString(pair.current.text.substr(shown.begin, shown.end - shown.begin)),
        "One two three four FIVE six seven");
    EXPECT_EQ(pair.passages.currentAnchor, 0);
    EXPECT_EQ(DocumentPair::toQString(pair.current.text).size(),
              static_cast<qsizetype>(pair.current.text.size()));

    EXPECT_THROW(DocumentPair::load(engine, 1, 1), PairError);
    EXPECT_THROW(DocumentPair::load(engine, 5, 0), PairError);
}

TEST_F(BatchEngineTest, PairOfAChangedOrMissingTextIsRefusedWithAMessage) {
    box.write(src, "a.txt", "one two three four five six\r\n");
    box.write(src, "b.txt", "one two three four five six\r\n");
    host.mode = SaveMode::None;
    engine.startOrStopRun();
    ASSERT_EQ(engine.documents().bestMatches[1], 0);

    // Rewritten after the run: the words shown would not be those compared.
    ASSERT_TRUE(QFile::remove(src + QStringLiteral("b.txt")));
    box.write(src, "b.txt", "uno two three four five six\r\n");
    try {
        DocumentPair::load(engine, 1, 0);
        ADD_FAILURE() << "a changed text was shown";
    } catch (const PairError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("изменился")));
    }

    ASSERT_TRUE(QFile::remove(src + QStringLiteral("b.txt")));
    box.write(src, "b.txt", "one two three four five six\r\n");
    ASSERT_TRUE(QFile::remove(src + QStringLiteral("a.txt")));
    try {
        DocumentPair::load(engine, 1, 0);
        ADD_FAILURE() << "a missing text was shown";
    } catch (const PairError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QStringLiteral("a.txt")));
    }
}

} // namespace
} // namespace quillmark::test

namespace quillmark::test {
namespace {

TEST_F(BatchEngineTest, TheNumberOfThreadsChangesNothing) {
    // Copies, near-copies, a page, a file that is no text and an empty one.
    const QByteArray base = wordsText(40, 300);
    for (int i = 0; i < 40; ++i) {
        const QByteArray name = QByteArray::number(i) + ".txt";
        box.write(src, name, i % 7 == 3 ? base : wordsText(100 + i % 5, 200 + i) + base.left(i));
    }
    box.write(src, "page.html", "<html><body><p>" + base + "</p></body></html>");
    box.write(src, "image.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, '\0'));
    host.mode = SaveMode::None;
    host.htmlSwitch = HtmlHandling::Cut;
    engine.setRankedMatchCount(3);
    engine.setJobCount(1);
    engine.startOrStopRun();
    const DocumentTable one = engine.documents();
    ASSERT_EQ(one.rankedMatches[10].size(), 3u) << "a copy of the base ranks three earlier texts";
    const QStringList oneLog = host.messages();
    ASSERT_EQ(one.count(), 41);
    ASSERT_EQ(one.unread.size(), 1u);
    for (const int jobs : {2, 3, 8, 0}) {
        SCOPED_TRACE(jobs);
        engine.setJobCount(jobs);
        engine.startOrStopRun();
        const DocumentTable& many = engine.documents();
        EXPECT_EQ(many.names, one.names);
        EXPECT_EQ(many.scores, one.scores);
        EXPECT_EQ(many.bestMatches, one.bestMatches);
        EXPECT_EQ(many.rankedMatches, one.rankedMatches);
        for (std::int32_t i = 0; i < many.count(); ++i)
            EXPECT_EQ(many.shingles[i].Hashes, one.shingles[i].Hashes) << i;
        EXPECT_EQ(many.unread.size(), one.unread.size());
        EXPECT_EQ(host.messages(), oneLog);
    }
}

TEST_F(BatchEngineTest, AStopPressWhileFilesAreReadAheadEndsLoading) {
    for (int i = 0; i < 200; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(i, 50));
    host.mode = SaveMode::None;
    host.onProcessEvents = [this](int) {
        if (!host.counters[ProgressRow::Loading].isEmpty())
            engine.requestStop();
    };
    engine.setJobCount(2);
    engine.startOrStopRun();
    EXPECT_EQ(engine.lastOutcome(), RunOutcome::Stopped);
    EXPECT_LT(engine.documents().count(), 200);
    EXPECT_TRUE(box.nothingLost({src}));
}

// A new selection belongs to the batch the table was loaded from.

TEST_F(NewSelectionTest, AnotherSourceDirectoryIsRefusedWithoutTouchingAnything) {
    runAtFifty();
    const QString other = box.makeDir(QStringLiteral("other"));
    box.write(other, "z.txt", wordsText(9, 40));
    const QString missing = box.path(QStringLiteral("missing/"));
    for (const QString& source : {other, missing, QString()}) {
        host.source = source;
        host.output = source + QStringLiteral("Result/");
        host.percent = 0; // stricter: would ask to move back
        host.log.clear();
        engine.makeNewSelection();
        EXPECT_TRUE(host.questions.isEmpty()) << source.toStdString();
        EXPECT_EQ(host.result, QStringLiteral("Выборка не сделана: каталог с текстами сменился "
                                              "после сравнения. Нажмите «Сравнить»."));
        EXPECT_EQ(host.messages(),
                  QStringList({QStringLiteral("Новая выборка делается только из каталога "
                                              "последнего сравнения (%1), а указан каталог %2. "
                                              "Чтобы проверить его, нажмите «Сравнить».")
                                   .arg(src, source)}));
        EXPECT_EQ(host.selectState, ButtonState::Enabled);
        EXPECT_EQ(host.startState, ButtonState::Enabled);
        EXPECT_FALSE(engine.isSelecting());
    }
    EXPECT_EQ(engine.lastSavedPercent(), 50);
    EXPECT_EQ(Sandbox::names(other), QList<QByteArray>({"z.txt"}));
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>({"a.txt", "b.txt", "x.txt"}));
    EXPECT_TRUE(box.nothingLost({src, out, other}));
}

TEST_F(NewSelectionTest, TheSameSourceSpeltAnotherWayIsAccepted) {
    runAtFifty();
    const QByteArray link = QFile::encodeName(box.path(QStringLiteral("link")));
    ASSERT_EQ(::symlink(QFile::encodeName(src).constData(), link.constData()), 0);
    for (const QString& source : {src.chopped(1), QFile::decodeName(link) + u'/', src + u'/'}) {
        host.source = source;
        host.percent = 50;
        engine.makeNewSelection();
        EXPECT_TRUE(host.result.startsWith(QStringLiteral("Прошло проверку (50%) - 3")))
            << source.toStdString() << ": " << host.result.toStdString();
    }
    EXPECT_TRUE(box.nothingLost({src, out}));
}

TEST_F(NewSelectionTest, TextsAreAskedBackFromWhereTheySavedNotFromANewOutput) {
    runAtFifty();
    const QString elsewhere = box.makeDir(QStringLiteral("elsewhere"));
    box.write(elsewhere, "mine.txt", "the user's own file\n");
    host.output = elsewhere;
    host.percent = xScore - 1;
    engine.makeNewSelection();
    ASSERT_EQ(host.questions.size(), 1);
    EXPECT_FALSE(Sandbox::exists(src, "mine.txt")) << "a file that was never ours moved";
    EXPECT_EQ(Sandbox::names(out), QList<QByteArray>());
    EXPECT_EQ(Sandbox::names(elsewhere), QList<QByteArray>({"a.txt", "b.txt", "mine.txt"}));
    EXPECT_TRUE(Sandbox::exists(src, "x.txt"));
    EXPECT_TRUE(box.nothingLost({src, elsewhere}));
}

TEST_F(BatchEngineTest, NewSelectionSaysWhichSettingsTheScoresCameFrom) {
    box.write(src, "a.txt", wordsText(1, 40));
    box.write(src, "b.txt", wordsText(2, 40));
    host.mode = SaveMode::None;
    engine.startOrStopRun();
    const QString stored =
        QStringLiteral("Оценки взяты из последнего сравнения (длина шингла 3, лемматизация "
                       "выключена, HTML не отбрасывался); новые настройки действуют со "
                       "следующего сравнения");
    struct Case {
        int length;
        Truncation truncation;
        HtmlHandling html;
        Unmask unmask;
        bool told;
    };
    for (const Case& c : {Case{3, Truncation::Off, HtmlHandling::Keep, Unmask::Off, false},
                          Case{4, Truncation::Off, HtmlHandling::Keep, Unmask::Off, true},
                          Case{3, Truncation::On, HtmlHandling::Keep, Unmask::Off, true},
                          Case{3, Truncation::Off, HtmlHandling::Cut, Unmask::Off, true},
                          Case{3, Truncation::Off, HtmlHandling::Keep, Unmask::On, true}}) {
        host.shingleLen = c.length;
        host.truncationSwitch = c.truncation;
        host.htmlSwitch = c.html;
        host.unmaskSwitch = c.unmask;
        host.log.clear();
        engine.makeNewSelection();
        EXPECT_EQ(host.messages().contains(stored), c.told) << c.length;
        EXPECT_EQ(host.messages().size(), c.told ? 2 : 1);
    }
    // Scores made with unmasking say so.
    engine.startOrStopRun();
    host.unmaskSwitch = Unmask::Off;
    host.log.clear();
    engine.makeNewSelection();
    EXPECT_TRUE(host.messages().contains(
        QStringLiteral("Оценки взяты из последнего сравнения (длина шингла 3, лемматизация "
                       "выключена, HTML не отбрасывался, подмена символов распознавалась); новые "
                       "настройки действуют со следующего сравнения")))
        << host.messages().join('\n').toStdString();
}

TEST_F(BatchEngineTest, BarsShowTheRunAtHandAndAnEmptyFolderSaysSo) {
    box.write(src, "a.txt", wordsText(1, 40));
    box.write(src, "b.txt", wordsText(2, 40));
    engine.startOrStopRun();
    for (ProgressRow row : {ProgressRow::Loading, ProgressRow::Comparison, ProgressRow::Saving})
        EXPECT_EQ(host.positions[row], host.ranges[row].second) << int(row);

    // The next run starts with an empty saving bar, before it loads anything.
    std::optional<int> savingWhileLoading;
    host.onProcessEvents = [&](int) {
        if (!savingWhileLoading)
            savingWhileLoading = host.positions[ProgressRow::Saving];
    };
    box.write(src, "c.txt", wordsText(3, 40));
    engine.startOrStopRun();
    EXPECT_EQ(savingWhileLoading, 0);

    // Everything moved out: the folder holds no text now.
    host.onProcessEvents = nullptr;
    engine.startOrStopRun();
    EXPECT_TRUE(host.messages().contains(QStringLiteral("В каталоге нет текстов для сравнения")));
    for (ProgressRow row : {ProgressRow::Loading, ProgressRow::Comparison, ProgressRow::Saving}) {
        EXPECT_EQ(host.ranges[row], std::make_pair(0, 0)) << int(row);
        EXPECT_EQ(host.positions[row], 0) << int(row);
        EXPECT_EQ(host.counters[row], QStringLiteral("0/0")) << int(row);
    }
}

} // namespace
} // namespace quillmark::test

namespace quillmark::test {
namespace {

TEST_F(BatchEngineTest, StoppedRunLeavesNoOutputDirectoryItMadeAndUsedNot) {
    for (int i = 0; i < 4; ++i)
        box.write(src, QByteArray::number(i) + ".txt", wordsText(i, 40));
    struct Case {
        ProgressRow row; ///< the counter whose text asks to stop
        const char* stopAt; ///< empty: no stop
        bool outputExisted;
        bool outputStays;
    };
    for (const Case& c :
         {Case{ProgressRow::Loading, "1/4", false, false},
          Case{ProgressRow::Comparison, "2/4", false, false},
          Case{ProgressRow::Loading, "1/4", true, true}, Case{ProgressRow::Loading, "", false, true}}) {
        if (c.outputExisted)
            box.makeDir(QStringLiteral("src/Result"));
        FakeHost caseHost;
        caseHost.source = src;
        caseHost.output = out;
        BatchEngine caseEngine(caseHost);
        caseHost.onProcessEvents = [&](int) {
            if (*c.stopAt != '\0' && caseHost.counters[c.row] == QLatin1String(c.stopAt))
                caseEngine.requestStop();
        };
        caseEngine.startOrStopRun();
        EXPECT_EQ(caseEngine.lastOutcome(),
                  *c.stopAt == '\0' ? RunOutcome::Completed : RunOutcome::Stopped);
        EXPECT_EQ(DirectoryListing::isDirectory(QFile::encodeName(out)), c.outputStays)
            << c.stopAt << ' ' << c.outputExisted;
        // Back to where the next case starts: every text in the source.
        for (const QByteArray& name : Sandbox::names(out))
            ASSERT_EQ(::rename(QFile::encodeName(out + name), QFile::encodeName(src + name)), 0);
        ::rmdir(QFile::encodeName(out).constData());
    }
    EXPECT_TRUE(box.nothingLost({src}));
}

} // namespace
} // namespace quillmark::test

namespace quillmark::test {
namespace {

TEST_F(NewSelectionTest, CountsSayWhatHappenedThisTime) {
    runAtFifty();
    host.percent = xScore - 1; // "Yes": all back, then a and b out again
    engine.makeNewSelection();
    const QList<std::pair<SaveMode, QString>> cases{
        // Looser: only x moves now; a and b are there already.
        {SaveMode::Move, QStringLiteral("перемещено - 1, уже на месте - 2, не перемещено - 0")},
        // The same selection copied: nothing is copied now.
        {SaveMode::Copy, QStringLiteral("скопировано - 0, уже на месте - 3, не скопировано - 0")},
    };
    for (const auto& [mode, counts] : cases) {
        host.mode = mode;
        host.percent = 50;
        engine.makeNewSelection();
        EXPECT_EQ(host.result, QStringLiteral("Прошло проверку (50%) - 3; ") + counts);
    }
    EXPECT_TRUE(box.nothingLost({src, out}));
}

} // namespace
} // namespace quillmark::test
