// The table of compared documents: which rows it shows, how it marks the
// failing ones, how it sorts, and that a long batch costs no widget per row.
#include "window/ResultTableModel.h"

#include <QBrush>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

using namespace quillmark;

namespace {

struct Entry {
    QByteArray name;
    std::int32_t score = 0;
    std::int32_t bestMatch = -1;
};

DocumentTable tableOf(const QList<Entry>& entries, std::int32_t comparedCount) {
    DocumentTable table;
    for (const Entry& entry : entries) {
        table.append(entry.name);
        table.scores.back() = entry.score;
        table.bestMatches.back() = entry.bestMatch;
    }
    table.comparedCount = comparedCount;
    return table;
}

QString cell(const QAbstractItemModel& model, int row, int column, int role = Qt::DisplayRole) {
    return model.index(row, column).data(role).toString();
}

} // namespace

class ResultTableModelTest : public QObject {
    Q_OBJECT

private slots:
    void showsComparedRowsWithTheirMatches() {
        const DocumentTable table = tableOf({{"a.txt", 0, -1},
                                             {"b.txt", 0, -1},
                                             {"c.txt", 100, 0},
                                             {"d.txt", 15, 1},
                                             {"e.txt", 0, -1}},
                                            4);
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 8);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("№"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Файл"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Сходство, %"));
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("Итог"));
        QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Похож на"));
        QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QStringLiteral("Формат"));
        QCOMPARE(model.headerData(6, Qt::Horizontal).toString(), QStringLiteral("Подмена"));
        QCOMPARE(model.headerData(7, Qt::Horizontal).toString(), QStringLiteral("Семья"));

        QCOMPARE(cell(model, 2, ResultTableModel::OrderColumn), QStringLiteral("3"));
        QCOMPARE(cell(model, 2, ResultTableModel::NameColumn), QStringLiteral("c.txt"));
        QCOMPARE(cell(model, 2, ResultTableModel::ScoreColumn), QStringLiteral("100"));
        QCOMPARE(cell(model, 2, ResultTableModel::MatchColumn), QStringLiteral("a.txt"));
        QCOMPARE(cell(model, 3, ResultTableModel::MatchColumn), QStringLiteral("b.txt"));
        QCOMPARE(model.bestMatch(2), 0);
        // No earlier match: a dash, not an empty cell.
        QCOMPARE(cell(model, 0, ResultTableModel::MatchColumn), QStringLiteral("—"));
        QCOMPARE(model.bestMatch(0), -1);
        QCOMPARE(model.index(3, 0).data(ResultTableModel::DocumentRole).toInt(), 3);
    }

    void failingRowsCarrySignAndColour() {
        const DocumentTable table = tableOf({{"a.txt", 0}, {"b.txt", 20, 0}, {"c.txt", 21, 0}}, 3);
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(cell(model, 0, ResultTableModel::VerdictColumn), QStringLiteral("✓ прошло"));
        // At the percentage still passes.
        QCOMPARE(cell(model, 1, ResultTableModel::VerdictColumn), QStringLiteral("✓ прошло"));
        QCOMPARE(cell(model, 2, ResultTableModel::VerdictColumn), QStringLiteral("✗ не прошло"));
        QVERIFY(model.passed(1));
        QVERIFY(!model.passed(2));

        // Every cell of a failing row has a background of its own; a passing row has none.
        for (int column = 0; column < model.columnCount(); ++column) {
            QVERIFY(model.index(2, column).data(Qt::BackgroundRole).canConvert<QBrush>());
            QVERIFY(!model.index(1, column).data(Qt::BackgroundRole).isValid());
        }
        const auto failingSign = model.index(2, ResultTableModel::VerdictColumn)
                                     .data(Qt::ForegroundRole)
                                     .value<QBrush>();
        const auto passingSign = model.index(1, ResultTableModel::VerdictColumn)
                                     .data(Qt::ForegroundRole)
                                     .value<QBrush>();
        QVERIFY(failingSign.color() != passingSign.color());

        // Another percentage judges the same scores again.
        model.setResults(table, 25);
        QCOMPARE(cell(model, 2, ResultTableModel::VerdictColumn), QStringLiteral("✓ прошло"));
        model.setResults(table, 19);
        QCOMPARE(cell(model, 1, ResultTableModel::VerdictColumn), QStringLiteral("✗ не прошло"));
        QCOMPARE(model.percent(), 19);
    }

    void namesAreDecodedFileSystemBytes() {
        // "отчёт.txt" in UTF-8, and a name that is no UTF-8 at all.
        const QByteArray russian = QStringLiteral("отчёт.txt").toUtf8();
        const QByteArray raw("\xf1\xe5\xf0.txt");
        const DocumentTable table = tableOf({{russian, 0}, {raw, 50, 0}}, 2);
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(cell(model, 0, ResultTableModel::NameColumn), QStringLiteral("отчёт.txt"));
        // Shown as well as the file-name encoding allows, never dropped.
        QCOMPARE(cell(model, 1, ResultTableModel::NameColumn), QFile::decodeName(raw));
        QVERIFY(cell(model, 1, ResultTableModel::NameColumn).endsWith(QStringLiteral(".txt")));
        QCOMPARE(cell(model, 1, ResultTableModel::NameColumn).size(), 7);
        QCOMPARE(cell(model, 1, ResultTableModel::MatchColumn), QStringLiteral("отчёт.txt"));
    }

    void showsFormatsAndTheFilesNotRead() {
        DocumentTable table = tableOf({{"a.txt", 0, -1}, {"b.docx", 40, 0}}, 2);
        table.origins[1] = {TextFormat::Docx, Encoding::Auto};
        table.origins[0] = {TextFormat::Html, Encoding::Koi8R};
        table.unread.push_back({"scan.pdf", TextFormat::Pdf, QStringLiteral("нет текста")});
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(cell(model, 0, ResultTableModel::FormatColumn), QStringLiteral("HTML, KOI8-R"));
        QCOMPARE(cell(model, 1, ResultTableModel::FormatColumn), QStringLiteral("DOCX"));
        QCOMPARE(cell(model, 2, ResultTableModel::FormatColumn), QStringLiteral("PDF"));
        QCOMPARE(cell(model, 2, ResultTableModel::NameColumn), QStringLiteral("scan.pdf"));
        QCOMPARE(cell(model, 2, ResultTableModel::VerdictColumn), QStringLiteral("не прочитан"));
        QCOMPARE(cell(model, 2, ResultTableModel::ScoreColumn), QStringLiteral("—"));
        QVERIFY(cell(model, 2, ResultTableModel::VerdictColumn, Qt::ToolTipRole)
                    .contains(QStringLiteral("нет текста")));
        // Not a document of the comparison: nothing to open, nothing passed.
        QCOMPARE(model.index(2, 0).data(ResultTableModel::DocumentRole).toInt(), -1);
        QVERIFY(!model.passed(2));
        QCOMPARE(model.bestMatch(2), -1);
        QVERIFY(!model.index(2, 0).data(Qt::BackgroundRole).isValid());
    }

    void filesNotReadShowWhatTheirNameSays() {
        DocumentTable table = tableOf({{"a.txt", 0, -1}}, 1);
        // Taken for plain text only because nothing else could be made of them.
        table.unread.push_back({"photo.png", TextFormat::Text, QStringLiteral("изображение")});
        table.unread.push_back({"broken.docx", TextFormat::Text, QString()});
        table.unread.push_back({"README", TextFormat::Text, QString()});
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(cell(model, 1, ResultTableModel::FormatColumn), QStringLiteral("PNG"));
        QCOMPARE(cell(model, 2, ResultTableModel::FormatColumn), QStringLiteral("DOCX"));
        QCOMPARE(cell(model, 3, ResultTableModel::FormatColumn), QStringLiteral("TXT"));
        QCOMPARE(cell(model, 1, ResultTableModel::VerdictColumn, Qt::ToolTipRole),
                 QStringLiteral("Не прочитан: изображение"));
    }

    void referenceMatchesShowTheirFolderAndName() {
        DocumentTable table = tableOf({{"old.txt", 0, -1}, {"a.txt", 90, 0}, {"b.txt", 95, 1}}, 3);
        table.referenceCount = 1;
        table.referenceDirectories = {"/srv/archive/2024/"};
        ResultTableModel model;
        model.setResults(table, 20);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cell(model, 0, ResultTableModel::MatchColumn), QStringLiteral("2024/old.txt"));
        QVERIFY(cell(model, 0, ResultTableModel::MatchColumn, Qt::ToolTipRole)
                    .contains(QStringLiteral("/srv/archive/2024/old.txt")));
        QCOMPARE(cell(model, 1, ResultTableModel::MatchColumn), QStringLiteral("a.txt"));
        QCOMPARE(model.bestMatch(0), -1);
        QCOMPARE(model.bestMatch(1), 0);
    }

    void disguisedWordsShowWhereThereAreAny() {
        DocumentTable table = tableOf({{"a.txt", 0, -1}, {"b.txt", 90, 0}, {"c.txt", 0, -1}}, 3);
        table.disguisedWords = {0, 12, 3};
        table.unread.push_back({"photo.png", TextFormat::Text, QStringLiteral("изображение")});
        ResultTableModel model;
        model.setResults(table, 20);
        const int column = ResultTableModel::DisguisedColumn;
        QCOMPARE(cell(model, 0, column), QString());
        QCOMPARE(cell(model, 1, column), QStringLiteral("12"));
        QCOMPARE(cell(model, 2, column), QStringLiteral("3"));
        QCOMPARE(cell(model, 3, column), QString());
        QVERIFY(cell(model, 0, column, Qt::ToolTipRole).isEmpty());
        QVERIFY(cell(model, 1, column, Qt::ToolTipRole).contains(QStringLiteral("12")));
        // The most disguised first on the first click.
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(ResultTableModel::SortRole);
        sorted.sort(column, Qt::DescendingOrder);
        QCOMPARE(cell(sorted, 0, ResultTableModel::NameColumn), QStringLiteral("b.txt"));
        QCOMPARE(cell(sorted, 1, ResultTableModel::NameColumn), QStringLiteral("c.txt"));
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::InitialSortOrderRole).toInt(),
                 int(Qt::DescendingOrder));
    }

    void familiesNumberTheirRowsAndSortTogether() {
        // a ← c ← d is a chain and b ← f a second family; g is near a but passes.
        DocumentTable table = tableOf({{"a.txt", 0, -1},
                                       {"b.txt", 0, -1},
                                       {"c.txt", 100, 0},
                                       {"d.txt", 60, 2},
                                       {"e.txt", 0, -1},
                                       {"f.txt", 90, 1},
                                       {"g.txt", 10, 0}},
                                      7);
        table.unread.push_back({"x.pdf", TextFormat::Pdf, QStringLiteral("нет текста")});
        ResultTableModel model;
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(ResultTableModel::SortRole);
        const auto column = [&sorted](int source) {
            QStringList values;
            for (int row = 0; row < sorted.rowCount(); ++row)
                values << sorted.index(row, source).data().toString();
            return values.join(u'|');
        };
        const int family = ResultTableModel::FamilyColumn;
        // At 70% d passes and leaves the chain; at 20% it belongs to it.
        model.setResults(table, 70);
        QCOMPARE(column(family), QStringLiteral("1|2|1|||2||"));
        model.setResults(table, 20);
        QCOMPARE(column(family), QStringLiteral("1|2|1|1||2||"));
        QCOMPARE(model.index(3, 0).data(ResultTableModel::FamilyRole).toInt(), 1);
        // A family's rows together in listing order, the rows of none after them.
        sorted.sort(family, Qt::AscendingOrder);
        QCOMPARE(column(ResultTableModel::NameColumn),
                 QStringLiteral("a.txt|c.txt|d.txt|b.txt|f.txt|e.txt|g.txt|x.pdf"));
        sorted.sort(family, Qt::DescendingOrder);
        QCOMPARE(column(ResultTableModel::NameColumn),
                 QStringLiteral("x.pdf|g.txt|e.txt|f.txt|b.txt|d.txt|c.txt|a.txt"));
    }

    void onlyCommonTextPassesAndSaysSo() {
        DocumentTable table = tableOf({{"a.txt", 0, -1}, {"b.txt", 0, -1}}, 2);
        // All of b is the template's or common text; all of a but one shingle.
        for (auto& shingles : table.shingles)
            shingles.Count = 10;
        table.templateShingles = {6, 6};
        table.commonShingles = {3, 4};
        ResultTableModel model;
        model.setResults(table, 20);
        const int verdict = ResultTableModel::VerdictColumn;
        QCOMPARE(cell(model, 0, verdict), QStringLiteral("✓ прошло"));
        QCOMPARE(cell(model, 1, verdict), QStringLiteral("✓ общий текст"));
        QVERIFY(
            cell(model, 1, verdict, Qt::ToolTipRole).startsWith(QStringLiteral("Только общий")));
        QVERIFY(model.passed(1));
    }

    void clearShowsNothing() {
        ResultTableModel model;
        model.setResults(tableOf({{"a.txt", 0}}, 1), 20);
        QCOMPARE(model.rowCount(), 1);
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        // A table with nothing compared shows nothing either.
        model.setResults(tableOf({{"a.txt", 0}, {"b.txt", 0}}, 0), 20);
        QCOMPARE(model.rowCount(), 0);
    }

    void sortsNumbersAsNumbers() {
        const DocumentTable table = tableOf(
            {{"a.txt", 0}, {"B.txt", 5, 0}, {"c.txt", 100, 0}, {"d.txt", 10, 1}, {"e.txt", 9, 1}},
            5);
        ResultTableModel model;
        model.setResults(table, 9);
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(ResultTableModel::SortRole);
        sorted.setSortCaseSensitivity(Qt::CaseInsensitive);

        auto column = [&sorted](int source) {
            QStringList values;
            for (int row = 0; row < sorted.rowCount(); ++row)
                values << sorted.index(row, source).data().toString();
            return values.join(QLatin1Char(' '));
        };
        sorted.sort(ResultTableModel::ScoreColumn, Qt::AscendingOrder);
        // As text "10" and "100" would come before "5".
        QCOMPARE(column(ResultTableModel::ScoreColumn), QStringLiteral("0 5 9 10 100"));
        sorted.sort(ResultTableModel::ScoreColumn, Qt::DescendingOrder);
        QCOMPARE(column(ResultTableModel::NameColumn),
                 QStringLiteral("c.txt d.txt e.txt B.txt a.txt"));
        sorted.sort(ResultTableModel::OrderColumn, Qt::DescendingOrder);
        QCOMPARE(column(ResultTableModel::OrderColumn), QStringLiteral("5 4 3 2 1"));
        sorted.sort(ResultTableModel::NameColumn, Qt::AscendingOrder);
        QCOMPARE(column(ResultTableModel::NameColumn),
                 QStringLiteral("a.txt B.txt c.txt d.txt e.txt"));
        // The failing rows first.
        sorted.sort(ResultTableModel::VerdictColumn, Qt::AscendingOrder);
        QCOMPARE(column(ResultTableModel::ScoreColumn).left(6), QStringLiteral("100 10"));
        // The score column offers the most similar first on its first click.
        QCOMPARE(
            model
                .headerData(ResultTableModel::ScoreColumn, Qt::Horizontal, Qt::InitialSortOrderRole)
                .toInt(),
            int(Qt::DescendingOrder));
    }

    void longBatchNeedsNoWidgetPerRow() {
        constexpr int Count = 20000;
        DocumentTable table;
        for (int i = 0; i < Count; ++i) {
            table.append("text" + QByteArray::number(i) + ".txt");
            table.scores.back() = (i * 37) % 101;
            table.bestMatches.back() = i == 0 ? -1 : i / 2;
        }
        table.comparedCount = Count;

        ResultTableModel model;
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(ResultTableModel::SortRole);
        QTableView view;
        view.setModel(&sorted);
        view.setSortingEnabled(true);
        view.resize(600, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto widgetsWhenEmpty = view.findChildren<QWidget*>().size();

        model.setResults(table, 20);
        view.sortByColumn(ResultTableModel::ScoreColumn, Qt::DescendingOrder);
        view.scrollToBottom();
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), Count);
        QCOMPARE(sorted.rowCount(), Count);
        QCOMPARE(view.findChildren<QWidget*>().size(), widgetsWhenEmpty);
        QVERIFY(view.indexWidget(sorted.index(Count - 1, 0)) == nullptr);
        int previous = 100;
        for (int row = 0; row < Count; ++row) {
            const int score = sorted.index(row, ResultTableModel::ScoreColumn).data().toInt();
            QVERIFY(score <= previous);
            previous = score;
        }
        QCOMPARE(sorted.index(0, ResultTableModel::ScoreColumn).data().toInt(), 100);
    }
};

QTEST_MAIN(ResultTableModelTest)
#include "ResultTableModel_test.moc"
