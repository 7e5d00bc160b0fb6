#include "cli/HtmlText.h"
#include "cli/Report.h"
#include "cli/ReportName.h"

#include <CLI/CLI.hpp>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <set>

using namespace quillmark;

namespace {

struct NameCase {
    QByteArray name;      ///< the file system's bytes
    QByteArray csvCell;   ///< as the CSV report writes it
    QByteArray jsonValue; ///< the JSON string's value, as UTF-8
    std::string htmlText; ///< as the HTML report writes it
};

const NameCase NameCases[] = {
    {"plain.txt", "plain.txt", "plain.txt", "plain.txt"},
    {"Статья.txt", "Статья.txt", "Статья.txt", "Статья.txt"},
    {"\xff.txt", "\\xFF.txt", "\\xFF.txt", "\\xFF.txt"},
    // A continuation byte with no lead.
    {"a\x80z.txt", "a\\x80z.txt", "a\\x80z.txt", "a\\x80z.txt"},
    // "/" in two bytes, a sequence cut short.
    {"\xc0\xaf.txt", "\\xC0\\xAF.txt", "\\xC0\\xAF.txt", "\\xC0\\xAF.txt"},
    {"\xe2\x82z.txt", "\\xE2\\x82z.txt", "\\xE2\\x82z.txt", "\\xE2\\x82z.txt"},
    // A backslash stays single unless an escape could be read after it.
    {"back\\slash.txt", "back\\slash.txt", "back\\slash.txt", "back\\slash.txt"},
    {"lit\\xFF.txt", "lit\\\\xFF.txt", "lit\\\\xFF.txt", "lit\\\\xFF.txt"},
    {"b\\\xff.txt", "b\\\\\\xFF.txt", "b\\\\\\xFF.txt", "b\\\\\\xFF.txt"},
    {"say \"hi\", ok.txt", "\"say \"\"hi\"\", ok.txt\"", "say \"hi\", ok.txt",
     "say &quot;hi&quot;, ok.txt"},
    // HTML cannot show this control character; CSV and JSON carry it.
    {"bell\x07.txt", "bell\x07.txt", "bell\x07.txt", "bell\\x07.txt"},
};

class ReportNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLI::App app;
        m_options.addTo(app);
        app.parse(std::vector<std::string>{"/data/texts"});
    }

    /// The name's row, then a later copy of it that names it as its best match.
    Report reportOf(const QByteArray& name) {
        m_table = DocumentTable();
        m_table.append(name);
        m_table.append("z.txt");
        m_table.scores = {0, 100};
        m_table.bestMatches = {-1, 0};
        m_table.comparedCount = m_table.count();
        return Report(m_options, m_table, 20);
    }

    CliOptions m_options;
    DocumentTable m_table;
};

TEST_F(ReportNameTest, EveryReportKeepsTheBytesOfTheName) {
    std::set<QByteArray> csvCells;
    std::set<std::string> htmlTexts;
    for (const NameCase& c : NameCases) {
        SCOPED_TRACE(c.name.toHex(' ').toStdString());
        const Report report = reportOf(c.name);
        EXPECT_EQ(report.toCsv(),
                  "file,score,passed,best_match,saved,format,encoding,disguised,family\n" +
                      c.csvCell + ",0,1,,,TXT,Windows-1251,0,1\n" + "z.txt,100,0," + c.csvCell +
                      ",,TXT,Windows-1251,0,1\n");

        const QJsonArray rows = QJsonDocument::fromJson(report.toJson()).object()["rows"].toArray();
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[0].toObject()["file"].toString().toUtf8(), c.jsonValue);
        EXPECT_EQ(rows[1].toObject()["best_match"].toString().toUtf8(), c.jsonValue);
        EXPECT_EQ(ReportName::bytes(rows[0].toObject()["file"].toString()), c.name)
            << "the report text gives the bytes back";

        // What the HTML report writes of a row's name.
        const std::string html = HtmlText::escaped(ReportName::htmlText(report.rows()[0].file));
        EXPECT_EQ(html, c.htmlText);
        EXPECT_EQ(ReportName::bytes(ReportName::htmlText(report.rows()[0].file)), c.name);
        csvCells.insert(c.csvCell);
        htmlTexts.insert(html);
    }
    EXPECT_EQ(csvCells.size(), std::size(NameCases)) << "distinct names, distinct cells";
    EXPECT_EQ(htmlTexts.size(), std::size(NameCases));
}

} // namespace
