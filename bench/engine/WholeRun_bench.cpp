// A whole run (listing, loading, fingerprinting, comparison) over a generated
// directory of 20,000 texts. The directory is made once under /tmp and kept
// for later runs; the run saves nothing, so it stays as it is.
#include "engine/BatchEngine.h"
#include "engine/CommonText.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <random>

namespace {

using namespace quillmark;

class SilentHost : public EngineHost {
public:
    explicit SilentHost(QString source)
        : m_source(std::move(source)) {}
    QString sourceDirectory() override { return m_source; }
    QString outputDirectory() override { return {}; }
    int shingleLength() override { return 10; }
    Truncation truncation() override { return Truncation::On; }
    HtmlHandling htmlHandling() override { return HtmlHandling::Keep; }
    int allowedPercent() override { return 20; }
    SaveMode saveMode() override { return SaveMode::None; }
    Unmask unmask() override { return m_unmask; }
    int commonPercent() override { return m_commonPercent; }
    Unmask m_unmask = Unmask::Off;
    int m_commonPercent = 0;
    void setCounter(ProgressRow, const QString&) override {}
    void setProgressLabel(ProgressRow, const QString&) override {}
    void setBarRange(ProgressRow, int, int) override {}
    void setBarPosition(ProgressRow, int) override {}
    void setResult(const QString&) override {}
    void setStartCaption(StartCaption) override {}
    void setStartState(ButtonState) override {}
    void setSelectState(ButtonState) override {}
    void clearLog() override {}
    void appendLog(const QString&, PageSwitch) override {}
    void resultsChanged() override {}
    void processEvents() override {}
    void showError(const QString&) override {}
    Answer ask(const QString&) override { return Answer::No; }

private:
    QString m_source;
};

constexpr int kFiles = 20000;

/// Texts of about 400 Windows-1251 words over a vocabulary of 20,000, one in
/// twenty a near-copy of an earlier one.
QString generatedDirectory() {
    const QString dir = QStringLiteral("/tmp/quillmark-bench-texts-%1/").arg(kFiles);
    if (QFile::exists(dir + QStringLiteral("done")))
        return dir;
    QDir().mkpath(dir);
    std::mt19937 random(2024);
    std::vector<QByteArray> vocabulary;
    std::uniform_int_distribution<int> letter(0xE0, 0xFF);
    std::uniform_int_distribution<int> length(2, 11);
    for (int i = 0; i < 20000; ++i) {
        QByteArray word;
        for (int n = length(random); n > 0; --n)
            word += char(letter(random));
        vocabulary.push_back(word);
    }
    std::uniform_int_distribution<int> pickWord(0, int(vocabulary.size()) - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<QByteArray> texts;
    for (int f = 0; f < kFiles; ++f) {
        QByteArray text;
        if (f > 0 && percent(random) < 5) {
            text = texts[std::uniform_int_distribution<int>(0, f - 1)(random)];
            text.replace(0, std::min<qsizetype>(200, text.size()), "Изменённое начало. ");
        } else {
            for (int w = 0; w < 400; ++w)
                text += vocabulary[pickWord(random)] + ((w % 15 == 14) ? "\r\n" : " ");
        }
        texts.push_back(text);
        QFile file(dir + QStringLiteral("text%1.txt").arg(f, 5, 10, QLatin1Char('0')));
        if (file.open(QIODevice::NewOnly))
            file.write(text);
    }
    QFile done(dir + QStringLiteral("done"));
    (void)done.open(QIODevice::NewOnly);
    return dir;
}

// Argument 1: with unmasking; 2: leaving out shingles common to 50% of the
// texts (--ignore-common 50).
void WholeRun(benchmark::State& state) {
    SilentHost host(generatedDirectory());
    host.m_unmask = state.range(0) == 1 ? Unmask::On : Unmask::Off;
    host.m_commonPercent = state.range(0) == 2 ? 50 : 0;
    BatchEngine engine(host);
    for (auto _ : state) {
        engine.startOrStopRun();
        if (engine.lastOutcome() != RunOutcome::Completed)
            state.SkipWithError("the run did not complete");
    }
    state.counters["files"] = engine.documents().count();
    state.counters["passed"] = engine.passedCount();
    state.SetItemsProcessed(state.iterations() * engine.documents().count());
}

BENCHMARK(WholeRun)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// The families of the run above, as the window and the reports ask for them.
void FamiliesOfTheRun(benchmark::State& state) {
    SilentHost host(generatedDirectory());
    BatchEngine engine(host);
    engine.startOrStopRun();
    std::size_t families = 0;
    for (auto _ : state) {
        const Families found = engine.families();
        families = found.list().size();
        benchmark::DoNotOptimize(families);
    }
    state.counters["families"] = static_cast<double>(families);
}

BENCHMARK(FamiliesOfTheRun)->Unit(benchmark::kMillisecond);

// The pass that finds the shingles half of the run's texts hold.
void CommonHashesOfTheRun(benchmark::State& state) {
    SilentHost host(generatedDirectory());
    BatchEngine engine(host);
    engine.startOrStopRun();
    for (auto _ : state)
        benchmark::DoNotOptimize(CommonText::commonHashes(engine.documents().shingles, 50));
}

BENCHMARK(CommonHashesOfTheRun)->Unit(benchmark::kMillisecond);

} // namespace
