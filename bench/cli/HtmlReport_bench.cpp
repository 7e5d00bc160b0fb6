// The HTML report after a run over 1,000 generated Russian-like articles of
// about 4 KB in Windows-1251, 200 of them near-copies of earlier ones (so they
// do not pass and each gets its section with both texts reread and marked).
// The run is made once; the benchmark is the report: the rows taken from the
// table, the failing pairs reread and the page rendered. Target: under 2 s.
#include "cli/CliOptions.h"
#include "cli/Report.h"
#include "cli/TerminalHost.h"
#include "engine/BatchEngine.h"

#include <CLI/CLI.hpp>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace quillmark;

constexpr int DocumentCount = 1000;
constexpr int NearCopyCount = 200;
constexpr int WordsPerArticle = 560;

/// Words built from Russian syllables (lowercase Windows-1251).
std::vector<std::string> vocabulary(std::mt19937& random) {
    const std::string consonants = "\xE1\xE2\xE3\xE4\xE6\xE7\xEA\xEB\xEC\xED\xEF\xF0\xF1\xF2\xF4"
                                   "\xF5\xF6\xF7\xF8";
    const std::string vowels = "\xE0\xE5\xE8\xEE\xF3\xFB\xFF\xB8";
    std::uniform_int_distribution<int> syllables(1, 4);
    std::vector<std::string> words;
    for (int i = 0; i < 8000; ++i) {
        std::string word;
        for (int n = syllables(random); n > 0; --n) {
            word += consonants[random() % consonants.size()];
            word += vowels[random() % vowels.size()];
            if (random() % 3 == 0)
                word += consonants[random() % consonants.size()];
        }
        words.push_back(word);
    }
    return words;
}

/// Sentences of 5 to 16 words, the first capitalised, some commas, lines of
/// at most 72 bytes ended by CR LF, a blank line between paragraphs.
std::string article(const std::vector<std::string>& words, std::mt19937& random) {
    std::string text;
    std::string line;
    int sentenceLeft = 0;
    int sentencesInParagraph = 0;
    for (int w = 0; w < WordsPerArticle; ++w) {
        std::string word = words[random() % words.size()];
        if (sentenceLeft == 0) {
            sentenceLeft = 5 + static_cast<int>(random() % 12);
            const auto first = static_cast<unsigned char>(word[0]);
            word[0] = static_cast<char>(first == 0xB8 ? 0xA8 : first - 0x20);
        }
        if (--sentenceLeft == 0 || w + 1 == WordsPerArticle) {
            word += '.';
            ++sentencesInParagraph;
        } else if (random() % 9 == 0) {
            word += ',';
        }
        if (!line.empty() && line.size() + 1 + word.size() > 72) {
            text += line + "\r\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        if (sentenceLeft == 0 && sentencesInParagraph == 4) {
            text += line + "\r\n\r\n";
            line.clear();
            sentencesInParagraph = 0;
        }
    }
    if (!line.empty())
        text += line + "\r\n";
    return text;
}

/// `text` with one word in 40 replaced: about a quarter of its windows change.
std::string nearCopy(const std::string& text, const std::vector<std::string>& words,
                     std::mt19937& random) {
    std::string copy;
    std::size_t at = 0;
    int index = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \r", at), text.size());
        if (++index % 40 == 0)
            copy += words[random() % words.size()];
        else
            copy.append(text, at, end - at);
        const std::size_t next = std::min(text.find_first_not_of(" \r\n", end), text.size());
        copy.append(text, end, next - end);
        at = next;
    }
    return copy;
}

struct Batch {
    QTemporaryDir directory;
    CliOptions options;
    std::FILE* log = nullptr;
    std::unique_ptr<TerminalHost> host;
    std::unique_ptr<BatchEngine> engine;

    Batch() {
        if (!directory.isValid())
            throw std::runtime_error("no temporary directory");
        std::mt19937 random(20261208);
        const std::vector<std::string> words = vocabulary(random);
        std::vector<std::string> originals;
        for (int i = 0; i < DocumentCount; ++i) {
            // Every fifth document copies an earlier original.
            const bool copy =
                i % (DocumentCount / NearCopyCount) == DocumentCount / NearCopyCount - 1;
            const std::string text =
                copy ? nearCopy(originals[random() % originals.size()], words, random)
                     : article(words, random);
            if (!copy)
                originals.push_back(text);
            QFile file(directory.filePath(
                QStringLiteral("article%1.txt").arg(i, 4, 10, QLatin1Char('0'))));
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
                file.write(text.data(), static_cast<qint64>(text.size())) !=
                    static_cast<qint64>(text.size()))
                throw std::runtime_error("cannot write the batch");
        }

        CLI::App app;
        options.addTo(app);
        // CLI11 takes the arguments last first: -q --pairs 3 DIRECTORY.
        app.parse(std::vector<std::string>{directory.path().toStdString(), "3", "--pairs", "-q"});
        log = std::fopen("/dev/null", "w");
        host = std::make_unique<TerminalHost>(options, log, ProgressDisplay::Hidden);
        engine = std::make_unique<BatchEngine>(*host);
        host->attach(*engine);
        engine->setRankedMatchCount(options.pairCount());
        engine->startOrStopRun();
        if (engine->lastOutcome() != RunOutcome::Completed)
            throw std::runtime_error("the run did not complete");
    }

    ~Batch() {
        engine.reset();
        host.reset();
        if (log != nullptr)
            std::fclose(log);
    }
};

Batch& batch() {
    static Batch made;
    return made;
}

void HtmlReport_1000Documents200Failing(benchmark::State& state) {
    Batch& run = batch();
    const int failing = Report(run.options, *run.engine).failedCount();
    if (failing != NearCopyCount) {
        state.SkipWithError("the batch does not have 200 failing documents");
        return;
    }
    qsizetype bytes = 0;
    for (auto _ : state) {
        const Report report(run.options, *run.engine);
        const QByteArray html = report.render(ReportFormat::Html);
        bytes = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.counters["documents"] = static_cast<double>(run.engine->documents().count());
    state.counters["failing"] = failing;
    state.counters["report_MB"] = static_cast<double>(bytes) / 1e6;
}

} // namespace

BENCHMARK(HtmlReport_1000Documents200Failing)->Unit(benchmark::kMillisecond);
