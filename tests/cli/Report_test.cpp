#include "Report.h"

#include <CLI/CLI.hpp>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace quillmark;

namespace {

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        CLI::App app;
        m_options.addTo(app);
        // CLI11 takes the arguments last first: -l 7 --save copy /data/texts.
        app.parse(std::vector<std::string>{"/data/texts", "copy", "--save", "7", "-l"});
    }

    /// A table as a run leaves it: names, scores and best matches.
    void add(const QByteArray& name, int score, int bestMatch) {
        m_table.append(name);
        m_table.scores.back() = score;
        m_table.bestMatches.back() = bestMatch;
        m_table.comparedCount = m_table.count();
    }

    CliOptions m_options;
    DocumentTable m_table;
};

TEST_F(ReportTest, CsvFieldQuotesOnlyWhatRfc4180Needs) {
    EXPECT_EQ(Report::csvField("plain name.txt"), "plain name.txt");
    EXPECT_EQ(Report::csvField(""), "");
    EXPECT_EQ(Report::csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(Report::csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(Report::csvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(Report::csvField("cr\rhere"), "\"cr\rhere\"");
}

TEST_F(ReportTest, RowsPassAtTheAllowedPercentAndNameTheirMatch) {
    add("first.txt", 0, -1);
    add("at-limit.txt", 30, 0);
    add("above.txt", 31, 1);
    add("Статья, 2.txt", 0, -1); // UTF-8 on disk, comma in the name
    const Report report(m_options, m_table, 30);
    EXPECT_EQ(report.passedCount(), 3);
    EXPECT_EQ(report.failedCount(), 1);
    EXPECT_EQ(QString::fromUtf8(report.toCsv()), QStringLiteral("file,score,passed,best_match\n"
                                                                "first.txt,0,1,\n"
                                                                "at-limit.txt,30,1,first.txt\n"
                                                                "above.txt,31,0,at-limit.txt\n"
                                                                "\"Статья, 2.txt\",0,1,\n"));
}

TEST_F(ReportTest, EmptyBatchHasTheHeaderOnly) {
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.toCsv(), "file,score,passed,best_match\n");
    const QJsonObject json = QJsonDocument::fromJson(report.toJson()).object();
    EXPECT_TRUE(json["rows"].toArray().isEmpty());
    EXPECT_EQ(json["counts"].toObject()["loaded"].toInt(), 0);
}

TEST_F(ReportTest, JsonHoldsTheSettingsUsedAndTheSameRows) {
    add("one.txt", 0, -1);
    add("two.txt", 100, 0);
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.render(ReportFormat::Csv), report.toCsv());
    QJsonParseError error;
    const QJsonObject json =
        QJsonDocument::fromJson(report.render(ReportFormat::Json), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);

    const QJsonObject settings = json["settings"].toObject();
    EXPECT_EQ(settings["source_dir"].toString(), "/data/texts/");
    EXPECT_EQ(settings["out_dir"].toString(), "/data/texts/Result/");
    EXPECT_EQ(settings["shingle_len"].toInt(), 7);
    EXPECT_EQ(settings["percent"].toInt(), 20);
    EXPECT_EQ(settings["lemmatize"], QJsonValue(true));
    EXPECT_EQ(settings["cut_html"], QJsonValue(false));
    EXPECT_EQ(settings["save"].toString(), "copy");

    const QJsonObject counts = json["counts"].toObject();
    EXPECT_EQ(counts["loaded"].toInt(), 2);
    EXPECT_EQ(counts["passed"].toInt(), 1);
    EXPECT_EQ(counts["failed"].toInt(), 1);

    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(
        rows[1].toObject(),
        (QJsonObject{
            {"file", "two.txt"}, {"score", 100}, {"passed", false}, {"best_match", "one.txt"}}));
    EXPECT_EQ(rows[0].toObject()["best_match"].toString(), "");
}

} // namespace
