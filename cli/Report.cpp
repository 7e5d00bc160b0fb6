#include "Report.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillmark {

Report::Report(const CliOptions& options, const DocumentTable& documents, int allowedPercent)
    : m_options(options)
    , m_allowedPercent(allowedPercent) {
    const std::int32_t count = documents.count();
    m_rows.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        Row row;
        // The names are the file system's raw bytes; the report is UTF-8.
        row.file = QFile::decodeName(documents.names[at]);
        row.score = documents.scores[at];
        row.passed = row.score <= allowedPercent;
        const std::int32_t best = documents.bestMatches[at];
        if (best >= 0 && best < count)
            row.bestMatch = QFile::decodeName(documents.names[static_cast<std::size_t>(best)]);
        m_passedCount += row.passed ? 1 : 0;
        m_rows.push_back(std::move(row));
    }
}

QString Report::csvField(const QString& text) {
    const bool needsQuotes =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QByteArray Report::toCsv() const {
    QString csv = QStringLiteral("file,score,passed,best_match\n");
    for (const Row& row : m_rows) {
        csv += csvField(row.file) + u',' + QString::number(row.score) + u',' +
               (row.passed ? u'1' : u'0') + u',' + csvField(row.bestMatch) + u'\n';
    }
    return csv.toUtf8();
}

QByteArray Report::toJson() const {
    QJsonObject settings{
        {"source_dir", m_options.sourceDirectory()},
        {"out_dir", m_options.outputDirectory()},
        {"shingle_len", m_options.shingleLength()},
        {"percent", m_allowedPercent},
        {"lemmatize", m_options.truncation() == Truncation::On},
        {"cut_html", m_options.htmlHandling() == HtmlHandling::Cut},
        {"save", CliOptions::saveModeName(m_options.saveMode())},
    };
    QJsonObject counts{
        {"loaded", static_cast<int>(m_rows.size())},
        {"passed", m_passedCount},
        {"failed", failedCount()},
    };
    QJsonArray rows;
    for (const Row& row : m_rows) {
        rows.append(QJsonObject{
            {"file", row.file},
            {"score", row.score},
            {"passed", row.passed},
            {"best_match", row.bestMatch},
        });
    }
    const QJsonObject report{{"settings", settings}, {"counts", counts}, {"rows", rows}};
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QByteArray Report::render(ReportFormat format) const {
    return format == ReportFormat::Json ? toJson() : toCsv();
}

} // namespace quillmark
