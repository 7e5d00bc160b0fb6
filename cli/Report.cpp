#include "Report.h"

#include "HtmlReport.h"
#include "ReportName.h"
#include "engine/BatchEngine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

namespace quillmark {

namespace {

/// The names are the file system's raw bytes, kept as ReportName writes them.
/// A reference text is named by its directory too.
QString nameOf(const DocumentTable& documents, std::int32_t index) {
    if (index < 0 || index >= documents.count())
        return QString();
    if (documents.isReference(index))
        return ReportName::text(documents.referencePath(index));
    return ReportName::text(documents.names[static_cast<std::size_t>(index)]);
}

/// Whether a spreadsheet would take a cell that begins with `text` for a formula.
bool looksLikeFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

/// The report's row of a table entry; -1 for a reference text.
std::int32_t rowOf(const DocumentTable& documents, std::int32_t index) {
    return documents.isReference(index) ? -1 : index - documents.referenceCount;
}

QString formatText(const TextOrigin& origin) {
    const std::string_view name = TextReader::formatName(origin.format);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString encodingText(const TextOrigin& origin) {
    const std::string_view name = TextEncoding::name(origin.encoding);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

Report::Report(const CliOptions& options, const DocumentTable& documents, int allowedPercent)
    : m_options(options)
    , m_allowedPercent(allowedPercent)
    , m_pairCount(options.pairCount()) {
    const std::int32_t count = documents.count();
    m_rows.reserve(static_cast<std::size_t>(count - documents.referenceCount));
    for (std::int32_t i = documents.referenceCount; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        Row row;
        row.document = i;
        row.file = nameOf(documents, i);
        row.score = documents.scores[at];
        row.passed = row.score <= allowedPercent;
        const std::int32_t best = documents.bestMatches[at];
        if (best >= 0 && best < count) {
            row.bestMatch = nameOf(documents, best);
            row.bestMatchIndex = rowOf(documents, best);
            row.bestMatchDocument = best;
        }
        if (m_pairCount > 0 && at < documents.rankedMatches.size()) {
            for (const RankedMatch& match : documents.rankedMatches[at]) {
                if (static_cast<int>(row.pairs.size()) == m_pairCount)
                    break;
                if (match.document >= 0 && match.document < count)
                    row.pairs.push_back({nameOf(documents, match.document), match.score,
                                         rowOf(documents, match.document)});
            }
        }
        if (at < documents.saveOutcomes.size())
            row.saved = savedText(documents.saveOutcomes[at], documents.saveErrors[at]);
        if (at < documents.origins.size()) {
            row.format = formatText(documents.origins[at]);
            row.encoding = encodingText(documents.origins[at]);
        }
        if (at < documents.disguisedWords.size())
            row.disguisedWords = documents.disguisedWords[at];
        if (at < documents.templateShingles.size()) {
            row.templateShingles = documents.templateShingles[at];
            row.commonShingles = documents.commonShingles[at];
            row.onlyCommon = documents.onlyCommonText(i);
        }
        m_passedCount += row.passed ? 1 : 0;
        m_rows.push_back(std::move(row));
    }
    for (const UnreadFile& file : documents.unread)
        m_unread.push_back(
            {ReportName::text(file.name), formatText({file.format, Encoding::Auto}), file.reason});
    Families families = Families::of(documents, allowedPercent);
    for (Row& row : m_rows)
        row.family = families.familyOf(row.document);
    m_families = std::move(families).list();
    m_commonText = documents.commonText;
    for (std::int32_t i = 0; i < documents.referenceCount; ++i)
        m_referenceNames.push_back(nameOf(documents, i));
}

QString Report::documentName(std::int32_t document) const {
    if (document >= 0 && static_cast<std::size_t>(document) < m_referenceNames.size())
        return m_referenceNames[static_cast<std::size_t>(document)];
    const std::int32_t row = rowOfDocument(document);
    return row >= 0 ? m_rows[static_cast<std::size_t>(row)].file : QString();
}

std::int32_t Report::rowOfDocument(std::int32_t document) const {
    const auto row = document - static_cast<std::int32_t>(m_referenceNames.size());
    return row >= 0 && row < static_cast<std::int32_t>(m_rows.size()) ? row : -1;
}

Report::Report(const CliOptions& options, const BatchEngine& engine)
    : Report(options, engine.documents(), engine.comparedPercent()) {
    m_engine = &engine;
}

QString Report::originText(const Row& row) {
    return row.encoding.isEmpty() ? row.format : row.format + QStringLiteral(", ") + row.encoding;
}

QString Report::csvField(const QString& text) {
    // A would-be formula goes behind an apostrophe, in quotes: spreadsheets
    // show such a cell as text and do not run it.
    const bool formula = looksLikeFormula(text);
    const bool needsQuotes = formula || text.contains(u',') || text.contains(u'"') ||
                             text.contains(u'\n') || text.contains(u'\r');
    if (!needsQuotes)
        return text;
    QString quoted = formula ? u'\'' + text : text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString Report::savedText(SaveOutcome outcome, const QString& reason) {
    switch (outcome) {
    case SaveOutcome::None:
    case SaveOutcome::Pending:
        return QString();
    case SaveOutcome::Moved:
        return QStringLiteral("moved");
    case SaveOutcome::Copied:
        return QStringLiteral("copied");
    case SaveOutcome::AlreadyThere:
        return QStringLiteral("already there");
    case SaveOutcome::Clash:
        return QStringLiteral("clash");
    case SaveOutcome::Failed:
        return QStringLiteral("failed: ") + reason;
    }
    Q_UNREACHABLE();
}

QByteArray Report::toCsv() const {
    QString csv = QStringLiteral("file,score,passed,best_match");
    for (int k = 1; k <= m_pairCount; ++k)
        csv += QStringLiteral(",pair%1_file,pair%1_score").arg(k);
    const bool leftOut = m_commonText.any();
    csv += QStringLiteral(",saved,format,encoding,disguised,family");
    csv += leftOut ? QStringLiteral(",left_out_template,left_out_common,only_common\n")
                   : QStringLiteral("\n");
    for (const Row& row : m_rows) {
        csv += csvField(row.file) + u',' + QString::number(row.score) + u',' +
               (row.passed ? u'1' : u'0') + u',' + csvField(row.bestMatch);
        for (int k = 0; k < m_pairCount; ++k) {
            if (k < static_cast<int>(row.pairs.size())) {
                const RankedFile& pair = row.pairs[static_cast<std::size_t>(k)];
                csv += u',' + csvField(pair.file) + u',' + QString::number(pair.score);
            } else {
                csv += QStringLiteral(",,");
            }
        }
        csv += u',' + csvField(row.saved) + u',' + csvField(row.format) + u',' +
               csvField(row.encoding) + u',' + QString::number(row.disguisedWords) + u',' +
               (row.family > 0 ? QString::number(row.family) : QString());
        if (leftOut)
            csv += u',' + QString::number(row.templateShingles) + u',' +
                   QString::number(row.commonShingles) + u',' + (row.onlyCommon ? u'1' : u'0');
        csv += u'\n';
    }
    for (const UnreadRow& row : m_unread) {
        csv += csvField(row.file) + QStringLiteral(",,0,");
        for (int k = 0; k < m_pairCount; ++k)
            csv += QStringLiteral(",,");
        csv += QStringLiteral(",,") + csvField(row.format) + u',' +
               csvField(QStringLiteral("не прочитан: ") + row.reason) + QStringLiteral(",,");
        csv += leftOut ? QStringLiteral(",,,\n") : QStringLiteral("\n");
    }
    return csv.toUtf8();
}

QByteArray Report::toJson() const {
    QJsonObject settings{
        {"source_dir", ReportName::text(m_options.sourcePath())},
        {"out_dir", ReportName::text(m_options.outputPath())},
        {"shingle_len", m_options.shingleLength()},
        {"percent", m_allowedPercent},
        {"lemmatize", m_options.truncation() == Truncation::On},
        {"cut_html", m_options.htmlHandling() == HtmlHandling::Cut},
        {"unmask", m_options.unmask() == Unmask::On},
        {"save", CliOptions::saveModeName(m_options.saveMode())},
        {"encoding", m_options.forcedEncoding() == Encoding::Auto
                         ? QStringLiteral("auto")
                         : encodingText({TextFormat::Text, m_options.forcedEncoding()})},
    };
    if (m_pairCount > 0)
        settings.insert("pairs", m_pairCount);
    settings.insert("template", ReportName::text(m_commonText.templatePath));
    settings.insert("ignore_common", m_commonText.commonPercent);
    QJsonObject counts{
        {"loaded", static_cast<int>(m_rows.size())},
        {"passed", m_passedCount},
        {"failed", failedCount()},
        {"not_read", static_cast<int>(m_unread.size())},
    };
    QJsonArray rows;
    for (const Row& row : m_rows) {
        QJsonObject object{
            {"file", row.file},         {"score", row.score},
            {"passed", row.passed},     {"best_match", row.bestMatch},
            {"saved", row.saved},       {"format", row.format},
            {"encoding", row.encoding}, {"disguised", row.disguisedWords},
        };
        object.insert("family", row.family > 0 ? QJsonValue(row.family) : QJsonValue());
        if (m_commonText.any()) {
            object.insert("left_out", QJsonObject{{"template", row.templateShingles},
                                                  {"common", row.commonShingles}});
            object.insert("only_common", row.onlyCommon);
        }
        if (m_pairCount > 0) {
            QJsonArray pairs;
            for (const RankedFile& pair : row.pairs)
                pairs.append(QJsonObject{{"file", pair.file}, {"score", pair.score}});
            object.insert("pairs", pairs);
        }
        rows.append(object);
    }
    QJsonArray unread;
    for (const UnreadRow& row : m_unread)
        unread.append(
            QJsonObject{{"file", row.file}, {"format", row.format}, {"reason", row.reason}});
    const QJsonObject report{{"settings", settings},
                             {"counts", counts},
                             {"rows", rows},
                             {"not_read", unread},
                             {"families", familiesJson()}};
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QJsonArray Report::familiesJson() const {
    QJsonArray list;
    for (std::size_t f = 0; f < m_families.size(); ++f) {
        const Family& family = m_families[f];
        QJsonArray members;
        for (const std::int32_t member : family.members)
            members.append(QJsonObject{{"file", documentName(member)},
                                       {"reference", rowOfDocument(member) < 0}});
        QJsonArray links;
        for (const Family::Link& link : family.links)
            links.append(QJsonObject{{"file", documentName(link.text)},
                                     {"match", documentName(link.match)},
                                     {"score", link.score}});
        list.append(QJsonObject{{"number", static_cast<int>(f + 1)},
                                {"members", members},
                                {"links", links},
                                {"highest_score", family.highestScore}});
    }
    return list;
}

QByteArray Report::render(ReportFormat format) const {
    switch (format) {
    case ReportFormat::Csv:
        return toCsv();
    case ReportFormat::Json:
        return toJson();
    case ReportFormat::Html:
        if (m_engine == nullptr)
            throw std::logic_error("an HTML report needs the engine of the run");
        return HtmlReport(*this, *m_engine).render();
    }
    Q_UNREACHABLE();
}

} // namespace quillmark
