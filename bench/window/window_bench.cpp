// What the result page costs on a large batch: refilling and sorting the
// results table of 20,000 texts behind a real view, and opening the comparison
// view on two texts of a megabyte. Run (no display needed):
//   build/normal/bench/window/window_bench
#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"
#include "engine/DocumentPair.h"
#include "window/ComparisonDialog.h"
#include "window/ResultTableModel.h"

#include <QApplication>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <random>

namespace quillmark {
namespace {

DocumentTable generatedTable(int count) {
    std::mt19937 random(20000);
    DocumentTable table;
    for (int i = 0; i < count; ++i) {
        table.append("article-" + QByteArray::number(random() % 100000) + ".txt");
        const bool copy = i > 0 && random() % 20 == 0;
        table.scores.back() =
            copy ? 40 + static_cast<int>(random() % 61) : static_cast<int>(random() % 15);
        table.bestMatches.back() = copy ? static_cast<std::int32_t>(random() % i) : -1;
    }
    table.comparedCount = count;
    return table;
}

void BM_ResultTable_20000Texts(benchmark::State& state) {
    const DocumentTable table = generatedTable(20000);
    ResultTableModel model;
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&model);
    sorted.setSortRole(ResultTableModel::SortRole);
    QTableView view;
    view.setModel(&sorted);
    view.setSortingEnabled(true);
    view.resize(649, 176);
    view.show();
    for (auto _ : state) {
        // What a new selection does, then two clicks on column headers.
        model.setResults(table, 20 + static_cast<int>(state.iterations() % 2));
        view.sortByColumn(ResultTableModel::ScoreColumn, Qt::DescendingOrder);
        view.sortByColumn(ResultTableModel::NameColumn, Qt::AscendingOrder);
        view.viewport()->repaint();
    }
    state.counters["rows"] = model.rowCount();
}
BENCHMARK(BM_ResultTable_20000Texts)->Unit(benchmark::kMillisecond);

// A megabyte of prose with CR LF line ends, and the same with every
// twentieth line replaced.
std::pair<std::string, std::string> megabytePair() {
    std::mt19937 random(1251);
    std::string earlier;
    while (earlier.size() < (1u << 20)) {
        const int letters = 2 + static_cast<int>(random() % 9);
        for (int k = 0; k < letters; ++k)
            earlier.push_back(static_cast<char>(0xE0 + random() % 32));
        earlier += random() % 12 == 0 ? "\r\n" : " ";
    }
    std::string current = earlier;
    std::size_t line = 0;
    for (std::size_t at = 0; at < current.size(); ++at) {
        if (current[at] == '\n' && ++line % 20 == 0)
            for (std::size_t k = at + 1; k < current.size() && current[k] != '\r'; ++k)
                if (current[k] != ' ')
                    current[k] = '\xE0';
    }
    return {earlier, current};
}

void BM_ComparisonView_MegabytePair(benchmark::State& state) {
    const auto [earlierText, currentText] = megabytePair();
    DocumentPair pair;
    pair.currentIndex = 1;
    pair.earlierIndex = 0;
    pair.current = WordsOfText(currentText, Truncation::On, HtmlHandling::Keep, 10);
    pair.earlier = WordsOfText(earlierText, Truncation::On, HtmlHandling::Keep, 10);
    pair.passages = FindSharedPassages(pair.earlier, pair.current);
    for (auto _ : state) {
        ComparisonDialog dialog(pair, QStringLiteral("b.txt"), QStringLiteral("a.txt"), 90);
        dialog.show();
        QApplication::processEvents();
    }
    state.counters["passages"] = static_cast<double>(pair.passages.current.size());
}
BENCHMARK(BM_ComparisonView_MegabytePair)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillmark

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
