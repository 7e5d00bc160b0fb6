// The report of a completed run as one self-contained HTML page (UTF-8, inline
// styles, nothing fetched, no scripts): the settings and counts, a chart of the
// scores, the table of documents and, for every document that did not pass,
// its text beside its best match's with the shared passages marked.
#pragma once

#include "Report.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmark {

class BatchEngine;
struct Family;
struct Passage;
struct TextWords;

class HtmlReport {
public:
    /// How much of the page the texts of the sections may take, so that a
    /// batch of thousands of failing texts still gives a page a browser opens.
    static constexpr std::size_t DefaultTextBudget = std::size_t{32} << 20;

    /// `report` must be the report of `engine`'s last run. Once the sections
    /// have taken `textBudget` bytes, the later ones name their pair only.
    HtmlReport(const Report& report, const BatchEngine& engine,
               std::size_t textBudget = DefaultTextBudget);

    /// The page. The texts that did not pass and their best matches are read
    /// again from where they lie now; one that cannot be read shows why in
    /// its section instead.
    QByteArray render() const;

private:
    void appendHead(std::string& html) const;
    void appendSettings(std::string& html) const;
    void appendCounts(std::string& html) const;
    void appendHistogram(std::string& html) const;
    void appendTable(std::string& html) const;
    void appendRow(std::int32_t index, std::string& html) const;
    void appendFamilies(std::string& html) const;
    void appendFamily(std::int32_t number, const Family& family, std::string& html) const;
    void appendPairs(std::string& html) const;
    void appendPair(std::int32_t index, bool withTexts, std::string& html) const;
    /// A link to document `index`'s row showing its number and name.
    void appendDocumentLink(std::int32_t index, std::string& html) const;
    /// A text's excerpt, its shared passages marked and its common ones grey.
    static void appendText(const TextWords& text, const std::vector<Passage>& passages,
                           const std::vector<Passage>& common, std::string& html);

    const Report& m_report;
    const BatchEngine& m_engine;
    std::size_t m_textBudget;
};

} // namespace quillmark
