#include "cli/Report.h"

#include <CLI/CLI.hpp>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace quillmark;

namespace {

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override { parse({}); }

    /// -l 7 --save copy, then `more`, then /data/texts.
    void parse(std::vector<std::string> more) {
        CLI::App app;
        m_options = CliOptions();
        m_options.addTo(app);
        std::vector<std::string> arguments{"-l", "7", "--save", "copy"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back("/data/texts");
        // CLI11 takes the arguments last first.
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    }

    /// A table as a run leaves it: names, scores and best matches.
    void add(const QByteArray& name, int score, int bestMatch) {
        m_table.append(name);
        m_table.scores.back() = score;
        m_table.bestMatches.back() = bestMatch;
        m_table.comparedCount = m_table.count();
    }

    /// A table with ranked earlier matches: b copies a, c copies a with a
    /// change (so it matches b alike), d copies b, e matches nothing.
    void addRanked() {
        add("a.txt", 0, -1);
        add("b.txt", 100, 0);
        add("c, \"quoted\".txt", 60, 0);
        add("d.txt", 100, 1);
        add("e.txt", 0, -1);
        m_table.rankedMatches = {
            {}, {{0, 100}}, {{0, 60}, {1, 60}}, {{1, 100}, {0, 100}, {2, 60}}, {}};
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

TEST_F(ReportTest, CsvFieldKeepsSpreadsheetsFromRunningFormulas) {
    const struct {
        QString text;
        QString cell;
    } cases[] = {
        {"+7 a.txt", "\"'+7 a.txt\""}, {"@SUM(A1).txt", "\"'@SUM(A1).txt\""},
        {"\tab.txt", "\"'\tab.txt\""}, {"\rcr.txt", "\"'\rcr.txt\""},
        {"a=b-c.txt", "a=b-c.txt"},    {"plain.txt", "plain.txt"},
    };
    for (const auto& [text, cell] : cases)
        EXPECT_EQ(Report::csvField(text), cell) << text.toStdString();
}

TEST_F(ReportTest, CsvNeutralisesEveryTextCellButLeavesTheScores) {
    m_options = CliOptions();
    parse({"--pairs", "1"});
    add("=cmd|' -C calc'!A0.txt", 0, -1);
    add("-copy.txt", 100, 0);
    m_table.rankedMatches = {{}, {{0, 100}}};
    m_table.saveOutcomes = {SaveOutcome::Failed, SaveOutcome::None};
    m_table.saveErrors = {"-x", ""};
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.toCsv(),
              "file,score,passed,best_match,pair1_file,pair1_score,saved,format,encoding,disguised,"
              "family\n"
              "\"'=cmd|' -C calc'!A0.txt\",0,1,,,,failed: -x,TXT,Windows-1251,0,1\n"
              "\"'-copy.txt\",100,0,\"'=cmd|' -C calc'!A0.txt\",\"'=cmd|' -C calc'!A0.txt\",100,,"
              "TXT,Windows-1251,0,1\n");
    // JSON is no spreadsheet: its values stay as they are.
    const QJsonArray rows = QJsonDocument::fromJson(report.toJson()).object()["rows"].toArray();
    EXPECT_EQ(rows[1].toObject()["file"].toString(), "-copy.txt");
}

TEST_F(ReportTest, RowsPassAtTheAllowedPercentAndNameTheirMatch) {
    add("first.txt", 0, -1);
    add("at-limit.txt", 30, 0);
    add("above.txt", 31, 1);
    add("Статья, 2.txt", 0, -1); // UTF-8 on disk, comma in the name
    const Report report(m_options, m_table, 30);
    EXPECT_EQ(report.passedCount(), 3);
    EXPECT_EQ(report.failedCount(), 1);
    EXPECT_EQ(QString::fromUtf8(report.toCsv()),
              QStringLiteral("file,score,passed,best_match,saved,format,encoding,disguised,family\n"
                             "first.txt,0,1,,,TXT,Windows-1251,0,\n"
                             "at-limit.txt,30,1,first.txt,,TXT,Windows-1251,0,1\n"
                             "above.txt,31,0,at-limit.txt,,TXT,Windows-1251,0,1\n"
                             "\"Статья, 2.txt\",0,1,,,TXT,Windows-1251,0,\n"));
}

TEST_F(ReportTest, EmptyBatchHasTheHeaderOnly) {
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.toCsv(),
              "file,score,passed,best_match,saved,format,encoding,disguised,family\n");
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
    EXPECT_EQ(settings["unmask"], QJsonValue(false));
    EXPECT_EQ(settings["save"].toString(), "copy");

    const QJsonObject counts = json["counts"].toObject();
    EXPECT_EQ(counts["loaded"].toInt(), 2);
    EXPECT_EQ(counts["passed"].toInt(), 1);
    EXPECT_EQ(counts["failed"].toInt(), 1);

    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].toObject(), (QJsonObject{{"file", "two.txt"},
                                               {"score", 100},
                                               {"passed", false},
                                               {"best_match", "one.txt"},
                                               {"saved", ""},
                                               {"format", "TXT"},
                                               {"encoding", "Windows-1251"},
                                               {"disguised", 0},
                                               {"family", 1}}));
    EXPECT_EQ(rows[0].toObject()["best_match"].toString(), "");
}

TEST_F(ReportTest, WithoutPairsTheRankedMatchesStayOut) {
    addRanked();
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.pairCount(), 0);
    EXPECT_EQ(report.toCsv(),
              "file,score,passed,best_match,saved,format,encoding,disguised,family\n"
              "a.txt,0,1,,,TXT,Windows-1251,0,1\n"
              "b.txt,100,0,a.txt,,TXT,Windows-1251,0,1\n"
              "\"c, \"\"quoted\"\".txt\",60,0,a.txt,,TXT,Windows-1251,0,1\n"
              "d.txt,100,0,b.txt,,TXT,Windows-1251,0,1\n"
              "e.txt,0,1,,,TXT,Windows-1251,0,\n");
    const QJsonObject json = QJsonDocument::fromJson(report.toJson()).object();
    EXPECT_FALSE(json["settings"].toObject().contains("pairs"));
    for (const QJsonValue& row : json["rows"].toArray())
        EXPECT_FALSE(row.toObject().contains("pairs"));
}

TEST_F(ReportTest, CsvPairsFillTheirColumnsBestFirst) {
    addRanked();
    parse({"--pairs", "2"});
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.pairCount(), 2);
    EXPECT_EQ(report.rows()[3].pairs,
              (std::vector<Report::RankedFile>{{"b.txt", 100, 1}, {"a.txt", 100, 0}}))
        << "at most two, in the engine's order";
    EXPECT_EQ(QString::fromUtf8(report.toCsv()),
              "file,score,passed,best_match,pair1_file,pair1_score,pair2_file,pair2_score,saved,"
              "format,encoding,disguised,family\n"
              "a.txt,0,1,,,,,,,TXT,Windows-1251,0,1\n"
              "b.txt,100,0,a.txt,a.txt,100,,,,TXT,Windows-1251,0,1\n"
              "\"c, \"\"quoted\"\".txt\",60,0,a.txt,a.txt,60,b.txt,60,,TXT,Windows-1251,0,1\n"
              "d.txt,100,0,b.txt,b.txt,100,a.txt,100,,TXT,Windows-1251,0,1\n"
              "e.txt,0,1,,,,,,,TXT,Windows-1251,0,\n");
}

TEST_F(ReportTest, CsvPairsWithMoreColumnsThanMatches) {
    addRanked();
    parse({"--pairs", "4"});
    const QByteArray csv = Report(m_options, m_table, 20).toCsv();
    EXPECT_TRUE(csv.startsWith("file,score,passed,best_match,pair1_file,pair1_score,pair2_file,"
                               "pair2_score,pair3_file,pair3_score,pair4_file,pair4_score,saved,"
                               "format,encoding,disguised,family\n"));
    EXPECT_TRUE(csv.contains("\nd.txt,100,0,b.txt,b.txt,100,a.txt,100,"
                             "\"c, \"\"quoted\"\".txt\",60,,,,TXT,Windows-1251,0,1\n"))
        << csv.toStdString();
    EXPECT_TRUE(csv.endsWith("\ne.txt,0,1,,,,,,,,,,,TXT,Windows-1251,0,\n")) << csv.toStdString();
}

TEST_F(ReportTest, JsonPairsListFileAndScore) {
    addRanked();
    parse({"--pairs", "3"});
    const QJsonObject json =
        QJsonDocument::fromJson(Report(m_options, m_table, 20).toJson()).object();
    EXPECT_EQ(json["settings"].toObject()["pairs"].toInt(), 3);
    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0].toObject()["pairs"], QJsonValue(QJsonArray()));
    EXPECT_EQ(rows[2].toObject(),
              (QJsonObject{{"file", "c, \"quoted\".txt"},
                           {"score", 60},
                           {"passed", false},
                           {"best_match", "a.txt"},
                           {"saved", ""},
                           {"format", "TXT"},
                           {"encoding", "Windows-1251"},
                           {"disguised", 0},
                           {"family", 1},
                           {"pairs", QJsonArray{QJsonObject{{"file", "a.txt"}, {"score", 60}},
                                                QJsonObject{{"file", "b.txt"}, {"score", 60}}}}}));
    EXPECT_EQ(rows[3].toObject()["pairs"],
              QJsonValue(QJsonArray{QJsonObject{{"file", "b.txt"}, {"score", 100}},
                                    QJsonObject{{"file", "a.txt"}, {"score", 100}},
                                    QJsonObject{{"file", "c, \"quoted\".txt"}, {"score", 60}}}));
}

TEST_F(ReportTest, PairsOfATableThatWasNotRankedAreEmpty) {
    add("a.txt", 0, -1);
    add("b.txt", 100, 0);
    parse({"--pairs", "1"});
    EXPECT_EQ(Report(m_options, m_table, 20).toCsv(),
              "file,score,passed,best_match,pair1_file,pair1_score,saved,format,encoding,disguised,"
              "family\n"
              "a.txt,0,1,,,,,TXT,Windows-1251,0,1\n"
              "b.txt,100,0,a.txt,,,,TXT,Windows-1251,0,1\n");
}

TEST_F(ReportTest, SavedColumnTellsWhatSavingDidWithEachText) {
    const std::pair<SaveOutcome, QByteArray> cases[] = {
        {SaveOutcome::None, ""},
        {SaveOutcome::Pending, ""},
        {SaveOutcome::Moved, "moved"},
        {SaveOutcome::Copied, "copied"},
        {SaveOutcome::Clash, "clash"},
        {SaveOutcome::AlreadyThere, "already there"},
        {SaveOutcome::Failed, "\"failed: Disk full, or not\""}};
    for (const auto& [outcome, field] : cases) {
        add("t.txt", 0, -1);
        m_table.saveOutcomes.back() = outcome;
        m_table.saveErrors.back() = outcome == SaveOutcome::Failed ? "Disk full, or not" : "";
    }
    const Report report(m_options, m_table, 20);
    const QList<QByteArray> lines = report.toCsv().split('\n');
    const QJsonArray rows = QJsonDocument::fromJson(report.toJson()).object()["rows"].toArray();
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        EXPECT_EQ(lines[i + 1], "t.txt,0,1,," + cases[i].second + ",TXT,Windows-1251,0,") << i;
        EXPECT_EQ(rows[i].toObject()["saved"].toString().toUtf8(),
                  QByteArray(cases[i].second).replace("\"", ""))
            << i;
    }
}

TEST_F(ReportTest, DisguisedColumnComesAfterTheColumnsScriptsAlreadyRead) {
    const struct {
        std::vector<std::string> options;
        QByteArray header;
        QByteArray clean;
        QByteArray masked;
        QByteArray unread;
    } cases[] = {
        {{},
         "file,score,passed,best_match,saved,format,encoding",
         "clean.txt,0,1,,,TXT,Windows-1251",
         "masked.txt,100,0,clean.txt,,TXT,Windows-1251",
         "empty.txt,,0,,,TXT,не прочитан: пусто"},
        {{"--pairs", "1"},
         "file,score,passed,best_match,pair1_file,pair1_score,saved,format,encoding",
         "clean.txt,0,1,,,,,TXT,Windows-1251",
         "masked.txt,100,0,clean.txt,clean.txt,100,,TXT,Windows-1251",
         "empty.txt,,0,,,,,TXT,не прочитан: пусто"},
    };
    add("clean.txt", 0, -1);
    add("masked.txt", 100, 0);
    m_table.disguisedWords.back() = 3;
    m_table.rankedMatches = {{}, {{0, 100}}};
    m_table.unread.push_back({"empty.txt", TextFormat::Text, QStringLiteral("пусто")});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header.toStdString());
        parse(c.options);
        const QList<QByteArray> lines = Report(m_options, m_table, 20).toCsv().split('\n');
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[0], c.header + ",disguised,family");
        EXPECT_EQ(lines[1], c.clean + ",0,1");
        EXPECT_EQ(lines[2], c.masked + ",3,1");
        EXPECT_EQ(QString::fromUtf8(lines[3]), QString::fromUtf8(c.unread + ",,"))
            << "empty like the score";
    }
}

TEST_F(ReportTest, JsonRowsCountTheDisguisedWords) {
    add("clean.txt", 0, -1);
    add("masked.txt", 0, -1);
    m_table.disguisedWords.back() = 2;
    const QJsonArray rows =
        QJsonDocument::fromJson(Report(m_options, m_table, 20).toJson()).object()["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()["disguised"], QJsonValue(0));
    EXPECT_EQ(rows[1].toObject()["disguised"], QJsonValue(2));
}

TEST_F(ReportTest, CommonTextColumnsComeOnlyWhenCommonTextWasLeftOut) {
    add("a.txt", 0, -1);
    add("b.txt", 0, -1);
    add("c.txt", 90, 1);
    m_table.shingles[0].Count = 10;
    m_table.shingles[1].Count = 4;
    m_table.shingles[2].Count = 8;
    m_table.templateShingles = {3, 3, 0};
    m_table.commonShingles = {2, 1, 0};
    const QByteArray header = "file,score,passed,best_match,saved,format,encoding,disguised,family";
    EXPECT_TRUE(Report(m_options, m_table, 20).toCsv().startsWith(header + "\n"));

    m_table.commonText = {"/t/site.txt", 40};
    const Report report(m_options, m_table, 20);
    EXPECT_EQ(report.toCsv(),
              header + ",left_out_template,left_out_common,only_common\n"
                       "a.txt,0,1,,,TXT,Windows-1251,0,,3,2,0\n"
                       "b.txt,0,1,,,TXT,Windows-1251,0,1,3,1,1\n"
                       "c.txt,90,0,b.txt,,TXT,Windows-1251,0,1,0,0,0\n");
    const QJsonObject json = QJsonDocument::fromJson(report.toJson()).object();
    EXPECT_EQ(json["settings"]["template"].toString(), "/t/site.txt");
    EXPECT_EQ(json["settings"]["ignore_common"].toInt(), 40);
    const QJsonObject b = json["rows"][1].toObject();
    EXPECT_EQ(b["left_out"].toObject(), (QJsonObject{{"template", 3}, {"common", 1}}));
    EXPECT_EQ(b["only_common"], QJsonValue(true));
    EXPECT_EQ(json["rows"][0]["family"], QJsonValue()) << "null: in no family";
}

TEST_F(ReportTest, JsonListsTheFamiliesWithTheirLinks) {
    m_table.append("ref.txt");
    m_table.referenceCount = 1;
    m_table.referenceDirectories = {"/refs/"};
    add("a.txt", 0, -1);
    add("b.txt", 100, 1);
    add("c.txt", 50, 0);
    add("d.txt", 0, -1);
    const QJsonArray families =
        QJsonDocument::fromJson(Report(m_options, m_table, 20).toJson()).object()["families"].toArray();
    const auto member = [](const char* file, bool reference) {
        return QJsonObject{{"file", file}, {"reference", reference}};
    };
    const auto link = [](const char* file, const char* match, int score) {
        return QJsonObject{{"file", file}, {"match", match}, {"score", score}};
    };
    EXPECT_EQ(families, (QJsonArray{QJsonObject{{"number", 1},
                                                {"members", QJsonArray{member("a.txt", false),
                                                                       member("b.txt", false)}},
                                                {"links", QJsonArray{link("b.txt", "a.txt", 100)}},
                                                {"highest_score", 100}},
                                    QJsonObject{{"number", 2},
                                                {"members", QJsonArray{member("/refs/ref.txt", true),
                                                                       member("c.txt", false)}},
                                                {"links", QJsonArray{link("c.txt", "/refs/ref.txt", 50)}},
                                                {"highest_score", 50}}}));
}

TEST_F(ReportTest, HtmlNeedsTheRunsEngine) {
    add("a.txt", 0, -1);
    const Report report(m_options, m_table, 20);
    EXPECT_THROW(report.render(ReportFormat::Html), std::logic_error);
}

} // namespace
