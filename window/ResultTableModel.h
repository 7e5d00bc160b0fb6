// The compared documents of the last run as table rows: listing order, file
// name, score, whether the score passes the selection's percentage, the
// earlier text it is most similar to, the format and encoding it was read
// from, and the family of copies it belongs to. The files that could not be read follow as rows of
// their own. The model keeps its own copy of what it shows, so a run rebuilding the engine's table
// never pulls rows from under a view.
#pragma once

#include "engine/DocumentTable.h"

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillmark {

class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        OrderColumn,
        NameColumn,
        ScoreColumn,
        VerdictColumn,
        MatchColumn,
        FormatColumn,
        /// Words disguised by look-alike letters or invisible characters;
        /// empty when none.
        DisguisedColumn,
        /// The number of the text's family of copies; empty when none.
        FamilyColumn,
        ColumnCount
    };

    /// What a column sorts by: numbers for the numeric columns and the
    /// verdict (failing first), the shown text for the names.
    static constexpr int SortRole = Qt::UserRole;
    /// The document a row shows, as its index in the engine's table; -1 for
    /// a file that was not read.
    static constexpr int DocumentRole = Qt::UserRole + 1;
    /// The number of the family a row's text belongs to; 0 for none.
    static constexpr int FamilyRole = Qt::UserRole + 2;

    explicit ResultTableModel(QObject* parent = nullptr);

    /// Shows the first comparedCount documents, judged by `percent`.
    void setResults(const DocumentTable& documents, int percent);
    /// Shows nothing.
    void clear();

    int percent() const { return m_percent; }
    bool passed(int row) const;
    /// The earlier document row `row` is most similar to; -1 for none.
    std::int32_t bestMatch(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString name;
        std::int32_t score = 0;
        /// The row of the best match; -1 when none or a reference text.
        std::int32_t match = -1;
        /// The best match's name, a reference text's with the name of its
        /// directory; empty when there is none.
        QString matchName;
        /// The best match's name, a reference text's with its whole path.
        QString matchPath;
        /// The entry in the document table; -1 for a file not read.
        std::int32_t document = -1;
        /// "TXT, UTF-8", "DOCX", ...
        QString format;
        std::int32_t disguised = 0;
        /// The family of copies (Families::familyOf); 0 for none.
        std::int32_t family = 0;
        /// Every shingle of the text was left out as common text.
        bool onlyCommon = false;
        /// Why the file was not read; empty for a compared document.
        QString unreadReason;
        bool unread() const { return !unreadReason.isEmpty(); }
    };

    static Row comparedRow(const DocumentTable& documents, std::size_t index, std::size_t first);
    static Qt::Alignment alignment(int column);
    QVariant foreground(const Row& row, int column) const;
    QVariant display(int row, int column) const;
    QVariant sortKey(int row, int column) const;
    static QVariant familyKey(const Row& row, int index);
    QString verdictText(const Row& row) const;
    QVariant toolTip(int row, int column) const;
    QString matchToolTip(const Row& row) const;
    static QVariant headerText(int section);
    QVariant headerToolTip(int section) const;

    std::vector<Row> m_rows;
    int m_percent = 0;
};

} // namespace quillmark
