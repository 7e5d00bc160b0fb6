// The report of a completed run, one row per loaded document in listing order,
// as CSV or JSON (UTF-8). Scripts read it: the keys and columns stay as they are.
#pragma once

#include "CliOptions.h"
#include "DocumentTable.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace quillmark {

class Report {
public:
    struct Row {
        QString file;
        int score = 0;
        bool passed = false;
        /// Empty when no earlier document reached the score.
        QString bestMatch;
    };

    /// Takes the rows of `documents`; a document passed when its score is at
    /// most `allowedPercent`.
    Report(const CliOptions& options, const DocumentTable& documents, int allowedPercent);

    const std::vector<Row>& rows() const { return m_rows; }
    int passedCount() const { return m_passedCount; }
    int failedCount() const { return static_cast<int>(m_rows.size()) - m_passedCount; }

    /// Header "file,score,passed,best_match", then the rows, RFC 4180 quoting.
    QByteArray toCsv() const;
    /// {"settings": {...}, "counts": {...}, "rows": [{file, score, passed,
    /// best_match}, ...]}.
    QByteArray toJson() const;
    QByteArray render(ReportFormat format) const;

    /// A field as RFC 4180 wants it: quoted, with doubled quotes, when it holds
    /// a comma, a quote or a line break.
    static QString csvField(const QString& text);

private:
    const CliOptions& m_options;
    int m_allowedPercent;
    std::vector<Row> m_rows;
    int m_passedCount = 0;
};

} // namespace quillmark
