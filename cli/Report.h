// The report of a completed run, one row per loaded document in listing order,
// as CSV, JSON (UTF-8) or one HTML page. Scripts read the first two: their keys
// and columns stay as they are, new columns come last, and what --pairs adds
// comes only with it.
#pragma once

#include "CliOptions.h"
#include "engine/DocumentTable.h"
#include "engine/Families.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillmark {

class BatchEngine;

class Report {
public:
    /// An earlier document and the row's score against it.
    struct RankedFile {
        /// Names are written as ReportName::text gives them.
        QString file;
        int score = 0;
        std::int32_t document = -1;
        friend bool operator==(const RankedFile&, const RankedFile&) = default;
    };

    struct Row {
        QString file;
        int score = 0;
        bool passed = false;
        /// Empty when no earlier document reached the score.
        QString bestMatch;
        /// The row bestMatch names; -1 when none or when it is a reference
        /// text (then bestMatch is its directory and name).
        std::int32_t bestMatchIndex = -1;
        /// The entries of the row and of its best match in the document
        /// table; -1 when none.
        std::int32_t document = -1;
        std::int32_t bestMatchDocument = -1;
        /// With --pairs: the earlier documents with the highest scores, best
        /// first, at most pairCount() of them.
        std::vector<RankedFile> pairs;
        /// What saving did with the text: "moved", "copied", "already there",
        /// "clash", "failed: " and the reason; empty when it was not saved
        /// (it did not pass, saving was off, or stopped before it).
        QString saved;
        /// What the text was read from: "TXT", "HTML", "DOCX", ...; and its
        /// encoding ("UTF-8", "Windows-1251", ...), empty for a document
        /// that has none of its own.
        QString format;
        QString encoding;
        /// Words a look-alike letter or an invisible character disguised.
        std::int32_t disguisedWords = 0;
        /// The number of the row's family of copies; 0 when it is in none.
        std::int32_t family = 0;
        /// Its shingles left out as the template's and as common ones, and
        /// whether that was all of them.
        std::int32_t templateShingles = 0;
        std::int32_t commonShingles = 0;
        bool onlyCommon = false;
    };

    /// A file that held no text to read.
    struct UnreadRow {
        QString file;
        QString format;
        QString reason;
    };

    /// Takes the rows of `documents`; a document passed when its score is at
    /// most `allowedPercent`. Such a report has no texts to show: it renders
    /// as CSV and JSON only.
    Report(const CliOptions& options, const DocumentTable& documents, int allowedPercent);
    /// The report of the engine's last run. The HTML page reads the texts that
    /// did not pass again through the engine, which must outlive the report.
    Report(const CliOptions& options, const BatchEngine& engine);

    const CliOptions& options() const { return m_options; }
    int allowedPercent() const { return m_allowedPercent; }
    /// How many ranked earlier documents each row names (--pairs).
    int pairCount() const { return m_pairCount; }
    const std::vector<Row>& rows() const { return m_rows; }
    const std::vector<UnreadRow>& unreadRows() const { return m_unread; }
    /// The families of copies; members are document table numbers.
    const std::vector<Family>& families() const { return m_families; }
    /// What the comparison left out as common text.
    const CommonTextSettings& commonText() const { return m_commonText; }
    /// A document's name as the report writes it (a reference with its
    /// directory); the row it has, -1 for a reference.
    QString documentName(std::int32_t document) const;
    std::int32_t rowOfDocument(std::int32_t document) const;
    int passedCount() const { return m_passedCount; }
    int failedCount() const { return static_cast<int>(m_rows.size()) - m_passedCount; }

    /// Header "file,score,passed,best_match", then the rows, RFC 4180 quoting.
    /// With --pairs N the header goes on with pair1_file,pair1_score, ...,
    /// pairN_file,pairN_score, and a row without that many pairs leaves the
    /// rest of its fields empty. Then "saved", then format,encoding, then
    /// "disguised", then "family" (empty when none). With --template or
    /// --ignore-common: left_out_template,left_out_common,only_common. The
    /// files not read follow, score, best match, saved, disguised and family
    /// empty, passed 0, and "не прочитан: " and the reason in the encoding
    /// field.
    QByteArray toCsv() const;
    /// {"settings": {...}, "counts": {...}, "rows": [{file, score, passed,
    /// best_match, saved, format, encoding, disguised, family}, ...],
    /// "not_read": [{file, format, reason}, ...], "families": [{number,
    /// members: [{file, reference}], links: [{file, match, score}],
    /// highest_score}, ...]}. With --pairs N the settings hold "pairs": N and
    /// every row "pairs": [{file, score}, ...]; with common text left out,
    /// every row "left_out": {template, common} and "only_common".
    QByteArray toJson() const;
    /// Throws std::logic_error for a report made without the engine.
    QByteArray render(ReportFormat format) const;

    /// "DOCX", or the format and the encoding: "TXT, UTF-8".
    static QString originText(const Row& row);

    /// A text field as RFC 4180 wants it: quoted, with doubled quotes, when it
    /// holds a comma, a quote or a line break. One that begins with = + - @, a
    /// tab or a carriage return, which a spreadsheet would run as a formula,
    /// gets an apostrophe in front and quotes.
    static QString csvField(const QString& text);
    /// The "saved" field for an outcome.
    static QString savedText(SaveOutcome outcome, const QString& reason);

private:
    QJsonArray familiesJson() const;

    const CliOptions& m_options;
    const BatchEngine* m_engine = nullptr;
    int m_allowedPercent;
    int m_pairCount;
    std::vector<Row> m_rows;
    std::vector<UnreadRow> m_unread;
    std::vector<Family> m_families;
    CommonTextSettings m_commonText;
    std::vector<QString> m_referenceNames;
    int m_passedCount = 0;
};

} // namespace quillmark
