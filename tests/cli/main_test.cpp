// quillmark-cli run as a user runs it, on batches in temporary directories.
#include "CliProcess.h"
#include "TextBatch.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <tuple>
#include <unistd.h>

using namespace quillmark;
using namespace quillmark::test;
namespace fs = std::filesystem;

namespace {

struct ExpectedRow {
    std::string file;
    int score;
    std::string bestMatch;
};

class CliRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_root = fs::path(m_temp.path().toStdString());
        m_source = m_root / "texts";
        fs::create_directory(m_source);
    }

    std::string source() const { return m_source.string() + "/"; }

    /// An original, its copy, a rewrite of its second half, an empty file and
    /// an unrelated article. The engine lists names in order, so the copy and
    /// the rewrite come after the original.
    void writeBatch() {
        const std::string original = TextBatch::article(1, 300);
        TextBatch::write(m_source / "a_original.txt", original);
        TextBatch::write(m_source / "b_copy.txt", original);
        TextBatch::write(m_source / "c_rewrite.txt", TextBatch::rewrite(original, 1));
        TextBatch::write(m_source / "d_empty.txt", "");
        TextBatch::write(m_source / "e_other.txt", TextBatch::article(2, 300));
    }

    /// The rewrite's score against the original (with the default settings
    /// unless told), from the analysis library.
    int rewriteScore(Truncation truncation = Truncation::On,
                     HtmlHandling html = HtmlHandling::Keep) const {
        TudShingleList original;
        TudShingleList rewrite;
        ShinglesFromText(TextBatch::read(m_source / "a_original.txt"), truncation, html, 10,
                         original);
        ShinglesFromText(TextBatch::read(m_source / "c_rewrite.txt"), truncation, html, 10,
                         rewrite);
        return MatchPercent(original, rewrite);
    }

    /// The batch's rows: the copy matches the original fully, the rewrite
    /// matches it (and the copy, later) by half, the unrelated article matches
    /// nothing, the empty file is not loaded.
    std::vector<ExpectedRow> expectedRows() const {
        return {{"a_original.txt", 0, ""},
                {"b_copy.txt", 100, "a_original.txt"},
                {"c_rewrite.txt", rewriteScore(), "a_original.txt"},
                {"e_other.txt", 0, ""}};
    }

    static QByteArray csv(const std::vector<ExpectedRow>& rows, int percent) {
        QByteArray text = "file,score,passed,best_match,saved,format,encoding,disguised,family\n";
        // The texts that fail all failed against the same original: one family.
        const auto inFamily = [&](const ExpectedRow& row) {
            return row.score > percent ||
                   std::any_of(rows.begin(), rows.end(), [&](const ExpectedRow& other) {
                       return other.score > percent && other.bestMatch == row.file;
                   });
        };
        for (const ExpectedRow& row : rows) {
            text += QByteArray::fromStdString(row.file) + ',' + QByteArray::number(row.score) +
                    ',' + (row.score <= percent ? '1' : '0') + ',' +
                    QByteArray::fromStdString(row.bestMatch) + ",,TXT,Windows-1251,0," +
                    (inFamily(row) ? "1" : "") + '\n';
        }
        return text;
    }

    /// The report's file -> saved (names without commas).
    static std::map<std::string, std::string> savedColumn(const fs::path& report) {
        std::map<std::string, std::string> saved;
        for (const QByteArray& line :
             QByteArray::fromStdString(TextBatch::read(report)).split('\n'))
            if (!line.isEmpty() && !line.startsWith("file,"))
                // Five columns from the end: saved, format, encoding, disguised, family.
                saved[line.left(line.indexOf(',')).toStdString()] =
                    line.split(',').at(line.split(',').size() - 5).toStdString();
        return saved;
    }

    void TearDown() override {
        if (!m_mounted.empty())
            ::umount(m_mounted.c_str());
    }

    QTemporaryDir m_temp;
    fs::path m_mounted;
    fs::path m_root;
    fs::path m_source;
};

TEST_F(CliRunTest, CsvReportScoresTheBatchInListingOrder) {
    writeBatch();
    // Half of the rewrite's windows are the original's.
    ASSERT_GT(rewriteScore(), 30);
    ASSERT_LT(rewriteScore(), 70);

    QByteArray out;
    QByteArray err;
    ASSERT_EQ(CliProcess::run({source()}, &out, &err), 0) << err.toStdString();
    EXPECT_EQ(out, csv(expectedRows(), 20));
    EXPECT_TRUE(err.contains("-> Начало работы.."));
    EXPECT_TRUE(err.contains("-> Загружено файлов: 4\n"));
    EXPECT_TRUE(err.contains("-> Сравнение выполнено, успешно прошло порог в 20% - 2 файлов\n"));

    // A stricter shingle length or percentage gives the same table by other rules.
    ASSERT_EQ(CliProcess::run({"-p", "100", "-q", source()}, &out, &err), 0);
    EXPECT_EQ(out, csv(expectedRows(), 100));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST_F(CliRunTest, CsvQuotesNamesWithCommasAndQuotes) {
    const std::string article = TextBatch::article(3, 200);
    TextBatch::write(m_source / "a \"say\", hi.txt", article);
    TextBatch::write(m_source / "b.txt", article);
    QByteArray out;
    ASSERT_EQ(CliProcess::run({"-q", source()}, &out), 0);
    EXPECT_EQ(out, "file,score,passed,best_match,saved,format,encoding,disguised,family\n"
                   "\"a \"\"say\"\", hi.txt\",0,1,,,TXT,Windows-1251,0,1\n"
                   "b.txt,100,0,\"a \"\"say\"\", hi.txt\",,TXT,Windows-1251,0,1\n");
}

TEST_F(CliRunTest, JsonReportCarriesSettingsCountsAndRows) {
    writeBatch();
    const int percent = 45;
    QByteArray out;
    ASSERT_EQ(CliProcess::run({"--format", "json", "-p", "45", "-l", "10", "--no-lemmatize",
                               "--cut-html", "--unmask", "-q", source()},
                              &out),
              0);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << out.toStdString();

    const QJsonObject settings = report["settings"].toObject();
    EXPECT_EQ(settings["source_dir"].toString().toStdString(), source());
    EXPECT_EQ(settings["out_dir"].toString().toStdString(), source() + "Result/");
    EXPECT_EQ(settings["shingle_len"].toInt(), 10);
    EXPECT_EQ(settings["percent"].toInt(), percent);
    EXPECT_FALSE(settings["lemmatize"].toBool());
    EXPECT_TRUE(settings["cut_html"].toBool());
    EXPECT_TRUE(settings["unmask"].toBool());
    EXPECT_EQ(settings["save"].toString(), "none");

    // The switches change the fingerprints, so the rewrite is scored anew.
    std::vector<ExpectedRow> expected = expectedRows();
    expected[2].score = rewriteScore(Truncation::Off, HtmlHandling::Cut);

    const QJsonArray rows = report["rows"].toArray();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(expected.size()));
    int passed = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].file);
        const QJsonObject row = rows[i].toObject();
        EXPECT_EQ(row.keys(), QStringList({"best_match", "disguised", "encoding", "family", "file",
                                           "format", "passed", "saved", "score"}));
        EXPECT_EQ(row["file"].toString().toStdString(), expected[i].file);
        EXPECT_EQ(row["score"].toInt(), expected[i].score);
        EXPECT_EQ(row["passed"].toBool(), expected[i].score <= percent);
        EXPECT_EQ(row["best_match"].toString().toStdString(), expected[i].bestMatch);
        passed += expected[i].score <= percent ? 1 : 0;
    }
    const QJsonObject counts = report["counts"].toObject();
    EXPECT_EQ(counts["loaded"].toInt(), 4);
    EXPECT_EQ(counts["passed"].toInt(), passed);
    EXPECT_EQ(counts["failed"].toInt(), 4 - passed);
}

TEST_F(CliRunTest, PairsNameTheEarlierTextsWithTheHighestScores) {
    // b rewrites the second half of a, c copies a, d copies b, e is unrelated.
    const std::string original = TextBatch::article(1, 300);
    const std::string rewrite = TextBatch::rewrite(original, 1);
    TextBatch::write(m_source / "a.txt", original);
    TextBatch::write(m_source / "b.txt", rewrite);
    TextBatch::write(m_source / "c.txt", original);
    TextBatch::write(m_source / "d.txt", rewrite);
    TextBatch::write(m_source / "e.txt", TextBatch::article(2, 300));
    TudShingleList originalShingles;
    TudShingleList rewriteShingles;
    ShinglesFromText(original, Truncation::On, HtmlHandling::Keep, 10, originalShingles);
    ShinglesFromText(rewrite, Truncation::On, HtmlHandling::Keep, 10, rewriteShingles);
    const int half = MatchPercent(originalShingles, rewriteShingles);
    ASSERT_EQ(MatchPercent(rewriteShingles, originalShingles), half);

    QByteArray out;
    QByteArray err;
    ASSERT_EQ(CliProcess::run({"-q", "--pairs", "2", source()}, &out, &err), 0)
        << err.toStdString();
    // d scores the same against a and c: the earlier one comes first.
    EXPECT_EQ(
        QString::fromUtf8(out),
        QStringLiteral("file,score,passed,best_match,pair1_file,pair1_score,pair2_file,pair2_score,"
                       "saved,format,encoding,disguised,family\n"
                       "a.txt,0,1,,,,,,,TXT,Windows-1251,0,1\n"
                       "b.txt,%1,0,a.txt,a.txt,%1,,,,TXT,Windows-1251,0,1\n"
                       "c.txt,100,0,a.txt,a.txt,100,b.txt,%1,,TXT,Windows-1251,0,1\n"
                       "d.txt,100,0,b.txt,b.txt,100,a.txt,%1,,TXT,Windows-1251,0,1\n"
                       "e.txt,0,1,,,,,,,TXT,Windows-1251,0,\n")
            .arg(half));

    ASSERT_EQ(CliProcess::run({"-q", "--format", "json", "--pairs", "3", source()}, &out), 0);
    const QJsonObject report = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(report["settings"]["pairs"].toInt(), 3);
    const QJsonArray rows = report["rows"].toArray();
    ASSERT_EQ(rows.size(), 5);
    const auto pair = [](const char* file, int score) {
        return QJsonObject{{"file", file}, {"score", score}};
    };
    EXPECT_EQ(rows[0]["pairs"].toArray(), QJsonArray());
    EXPECT_EQ(rows[1]["pairs"].toArray(), QJsonArray({pair("a.txt", half)}));
    EXPECT_EQ(rows[2]["pairs"].toArray(), QJsonArray({pair("a.txt", 100), pair("b.txt", half)}));
    EXPECT_EQ(rows[3]["pairs"].toArray(),
              QJsonArray({pair("b.txt", 100), pair("a.txt", half), pair("c.txt", half)}));
    EXPECT_EQ(rows[4]["pairs"].toArray(), QJsonArray());
    EXPECT_EQ(rows[3].toObject().keys(),
              QStringList({"best_match", "disguised", "encoding", "family", "file", "format",
                           "pairs", "passed", "saved", "score"}));
}

TEST_F(CliRunTest, NoPairsLeaveTheReportsAsTheyWere) {
    writeBatch();
    for (const char* format : {"csv", "json"}) {
        SCOPED_TRACE(format);
        QByteArray plain;
        QByteArray none;
        ASSERT_EQ(CliProcess::run({"-q", "--format", format, source()}, &plain), 0);
        ASSERT_EQ(CliProcess::run({"-q", "--format", format, "--pairs", "0", source()}, &none), 0);
        EXPECT_EQ(none, plain);
        EXPECT_FALSE(plain.contains("pair"));
    }
}

TEST_F(CliRunTest, HtmlReportGoesWhereTheOthersGo) {
    writeBatch();
    QByteArray out;
    ASSERT_EQ(CliProcess::run({"-q", "--format", "html", source()}, &out), 0);
    EXPECT_TRUE(out.startsWith("<!DOCTYPE html>\n<html lang=\"ru\">"))
        << out.left(100).toStdString();
    EXPECT_EQ(out.count("<section class=\"pair\""), 2);

    const fs::path report = m_root / "report.html";
    ASSERT_EQ(
        CliProcess::run(
            {"-q", "--format", "html", "--save", "move", "-r", report.string(), source()}, &out),
        0);
    EXPECT_TRUE(out.isEmpty());
    const std::string page = TextBatch::read(report);
    EXPECT_EQ(page.find("class=\"error\""), std::string::npos)
        << "texts are read where the move left them";
    EXPECT_NE(page.find("<mark>"), std::string::npos);
    EXPECT_EQ(CliProcess::run({"-q", "--format", "html", "-r", report.string(), source()}), 2)
        << "an existing report is never replaced";
    EXPECT_EQ(TextBatch::read(report), page);
}

TEST_F(CliRunTest, StrictFailsOnlyWhenATextDidNotPass) {
    writeBatch();
    QByteArray out;
    EXPECT_EQ(CliProcess::run({"--strict", "-q", source()}, &out), 3);
    EXPECT_EQ(out, csv(expectedRows(), 20)) << "the report is still written";
    EXPECT_EQ(CliProcess::run({"--strict", "-q", "-p", "100", source()}), 0);
    EXPECT_EQ(CliProcess::run({"-q", source()}), 0) << "without --strict a failing text is fine";
}

TEST_F(CliRunTest, AMissingTemplateFailsTheRunBeforeAnythingMoves) {
    writeBatch();
    const auto before = TextBatch::snapshot(m_root);
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(CliProcess::run({"--save", "move", "--template", (m_root / "none.txt").string(),
                               source()},
                              &out, &err),
              1);
    EXPECT_TRUE(out.isEmpty()) << "no report";
    EXPECT_TRUE(err.contains("none.txt\" не найден")) << err.toStdString();
    EXPECT_EQ(TextBatch::snapshot(m_root), before);
}

TEST_F(CliRunTest, SaveNoneChangesNothingOnDisk) {
    writeBatch();
    const auto before = TextBatch::snapshot(m_root);
    const auto stampsBefore = TextBatch::stamps(m_root);
    EXPECT_EQ(CliProcess::run({"-p", "100", source()}), 0);
    EXPECT_EQ(CliProcess::run({"--save", "none", "-o", (m_root / "elsewhere").string(), source()}),
              0);
    EXPECT_EQ(TextBatch::snapshot(m_root), before);
    EXPECT_EQ(TextBatch::stamps(m_root), stampsBefore);
    EXPECT_FALSE(fs::exists(m_source / "Result"));
    EXPECT_FALSE(fs::exists(m_root / "elsewhere"));
}

TEST_F(CliRunTest, SaveMoveAndCopyTransferThePassedTexts) {
    writeBatch();
    const auto before = TextBatch::snapshot(m_source);
    QByteArray err;
    ASSERT_EQ(CliProcess::run({"--save", "copy", source()}, nullptr, &err), 0);
    auto after = TextBatch::snapshot(m_source);
    EXPECT_EQ(after["Result"], "/");
    EXPECT_EQ(after["Result/a_original.txt"], before.at("a_original.txt"));
    EXPECT_EQ(after["Result/e_other.txt"], before.at("e_other.txt"));
    // Copying leaves the source as it was and adds exactly the selection.
    EXPECT_EQ(after.size(), before.size() + 3);
    for (const auto& [name, contents] : before)
        EXPECT_EQ(after[name], contents) << name;

    fs::remove_all(m_source / "Result");
    ASSERT_EQ(CliProcess::run({"--save", "move", source()}, nullptr, &err), 0);
    after = TextBatch::snapshot(m_source);
    const std::map<std::string, std::string> moved{
        {"Result", "/"},
        {"Result/a_original.txt", before.at("a_original.txt")},
        {"Result/e_other.txt", before.at("e_other.txt")},
        {"b_copy.txt", before.at("b_copy.txt")},
        {"c_rewrite.txt", before.at("c_rewrite.txt")},
        {"d_empty.txt", ""}};
    EXPECT_EQ(after, moved);
    EXPECT_TRUE(err.contains("Выборка сохранена")) << err.toStdString();
}

TEST_F(CliRunTest, NameClashInTheOutputReplacesNothing) {
    writeBatch();
    fs::create_directory(m_source / "Result");
    TextBatch::write(m_source / "Result" / "a_original.txt", "the user's own file\r\n");
    const std::string original = TextBatch::read(m_source / "a_original.txt");

    QByteArray err;
    ASSERT_EQ(CliProcess::run({"--save", "move", source()}, nullptr, &err), 0);
    EXPECT_EQ(TextBatch::read(m_source / "Result" / "a_original.txt"), "the user's own file\r\n");
    EXPECT_EQ(TextBatch::read(m_source / "a_original.txt"), original);
    EXPECT_TRUE(fs::exists(m_source / "Result" / "e_other.txt"));
    EXPECT_FALSE(fs::exists(m_source / "e_other.txt"));
    EXPECT_TRUE(err.contains("a_original.txt")) << "the clash is logged: " << err.toStdString();
}

TEST_F(CliRunTest, SourceWithoutFinalSlashIsTheSameDirectory) {
    writeBatch();
    QByteArray withSlash;
    QByteArray withoutSlash;
    ASSERT_EQ(CliProcess::run({"-q", "--save", "copy", "-o", (m_root / "first").string(), source()},
                              &withSlash),
              0);
    ASSERT_EQ(CliProcess::run({"-q", "--save", "copy", m_source.string()}, &withoutSlash), 0);
    EXPECT_EQ(withoutSlash, withSlash);
    // The default output is the subdirectory Result, one "/" between.
    EXPECT_TRUE(fs::exists(m_source / "Result" / "a_original.txt"));
    EXPECT_FALSE(fs::exists(m_root / "textsResult"));

    // The same with an explicit output directory given without its "/".
    ASSERT_EQ(CliProcess::run({"-q", "--save", "copy", "-o", (m_root / "out").string(),
                               m_source.string() + "//"}),
              0);
    EXPECT_TRUE(fs::exists(m_root / "out" / "e_other.txt"));
}

TEST_F(CliRunTest, BadOptionsExitTwoAndTouchNothing) {
    writeBatch();
    TextBatch::write(m_root / "old-report.csv", "kept\n");
    const auto before = TextBatch::snapshot(m_root);
    const std::vector<std::vector<std::string>> cases{
        {"-l", "0"},          {"-l", "101"},        {"--shingle-len", "ten"},
        {"-p", "-1"},         {"--percent", "101"}, {"-p", "0x14"},
        {"--save", "delete"}, {"--save", "1"},      {"--save", "MOVE"},
        {"--format", "xml"},  {"--no-such-option"}, {"-r", (m_root / "old-report.csv").string()},
        {"--pairs", "-1"},    {"--pairs", "1001"},  {"--pairs", "two"},
        {"--pairs", "0x2"},   {"--format", "htm"},
    };
    for (std::vector<std::string> arguments : cases) {
        SCOPED_TRACE(arguments.front() + " " + arguments.back());
        arguments.push_back(source());
        arguments.push_back("--lang=en");
        QByteArray out;
        QByteArray err;
        EXPECT_EQ(CliProcess::run(arguments, &out, &err), 2);
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(err.contains("Usage:")) << err.toStdString();
    }
    EXPECT_EQ(CliProcess::run({}), 2) << "SOURCE_DIR is required";
    EXPECT_EQ(CliProcess::run({source(), source()}), 2);
    EXPECT_EQ(TextBatch::snapshot(m_root), before);

    // The ends of the ranges are allowed.
    EXPECT_EQ(CliProcess::run({"-q", "-l", "1", "-p", "0", source()}), 0);
    EXPECT_EQ(CliProcess::run({"-q", "-l", "100", "-p", "100", source()}), 0);

    // A zero-padded percentage is decimal, not octal.
    QByteArray out;
    ASSERT_EQ(CliProcess::run({"-q", "--format", "json", "-p", "010", source()}, &out), 0);
    EXPECT_EQ(QJsonDocument::fromJson(out)["settings"]["percent"].toInt(), 10);
}

TEST_F(CliRunTest, HelpAndVersionExitZero) {
    QByteArray out;
    EXPECT_EQ(CliProcess::run({"--help"}, &out), 0);
    for (const char* option :
         {"--out",    "--shingle-len",    "--percent",   "--no-lemmatize", "--cut-html",
          "--unmask", "--save",           "--report",    "--format",       "html",
          "--pairs",  "--strict",         "--quiet",     "--version",      "--lang",
          "--jobs",   "--against-output", "--reference", "--no-cache",     "SOURCE_DIR"})
        EXPECT_TRUE(out.contains(option)) << option;
    EXPECT_EQ(CliProcess::run({"--version"}, &out), 0);
    EXPECT_TRUE(out.startsWith("quillmark-cli ")) << out.toStdString();
}

// The help speaks the chosen language, its columns counted in characters.
TEST_F(CliRunTest, HelpFollowsTheLanguage) {
    const struct {
        const char* lang;
        QByteArray usage;
        QString outDescription;
    } cases[] = {
        {"--lang=en", "Usage: quillmark-cli [OPTIONS] SOURCE_DIR\n", "output directory (default:"},
        {"--lang=ru", "Запуск: quillmark-cli [ПАРАМЕТРЫ] SOURCE_DIR\n",
         "каталог выборки (по умолчанию"},
    };
    for (const auto& c : cases) {
        QByteArray out;
        EXPECT_EQ(CliProcess::run({c.lang, "--help"}, &out), 0);
        EXPECT_TRUE(out.contains(c.usage)) << out.toStdString();
        const QString help = QString::fromUtf8(out);
        const qsizetype at = help.indexOf(c.outDescription);
        ASSERT_GE(at, 0) << c.lang;
        EXPECT_EQ(at - help.lastIndexOf(u'\n', at) - 1, 30) << "the column of descriptions";
    }
}

// Every kind of option error speaks the chosen language and names what was
// wrong; the English lines are word for word those scripts already know.
TEST_F(CliRunTest, OptionErrorsFollowTheLanguage) {
    const std::string taken = (m_root / "taken.csv").string();
    TextBatch::write(taken, "kept\n");
    const std::string dir = source();
    const struct {
        std::vector<std::string> arguments;
        std::string english;
        std::string russian;
    } cases[] = {
        {{"--no-such-option", dir},
         "ERROR: quillmark-cli: The following argument was not expected: --no-such-option",
         "Ошибка: неизвестный параметр --no-such-option"},
        {{"-x", "--why", dir},
         "ERROR: quillmark-cli: The following arguments were not expected: --why -x",
         "Ошибка: неизвестные параметры --why -x"},
        {{dir, "more"},
         "ERROR: quillmark-cli: The following argument was not expected: more",
         "Ошибка: лишний аргумент more"},
        {{dir, "more", "most"},
         "ERROR: quillmark-cli: The following arguments were not expected: most more",
         "Ошибка: лишние аргументы most more"},
        {{},
         "ERROR: RequiredError: SOURCE_DIR is required",
         "Ошибка: не указан обязательный аргумент SOURCE_DIR"},
        {{dir, "--out"},
         "ERROR: ArgumentMismatch: --out: 1 required TEXT missing",
         "Ошибка: параметру --out не хватает значения (ТЕКСТ, нужно: 1)"},
        {{"-l", "ten", dir},
         "ERROR: ValidationError: --shingle-len: Value ten is not a decimal whole number",
         "Ошибка: --shingle-len: значение ten — не целое десятичное число"},
        {{"-p", "0101", dir},
         "ERROR: ValidationError: --percent: Value 101 not in range 0 to 100",
         "Ошибка: --percent: значение 101 вне пределов от 0 до 100"},
        {{"--pairs", "99999999999", dir},
         "ERROR: ValidationError: --pairs: Value 99999999999 not in range 0 to 1000",
         "Ошибка: --pairs: значение 99999999999 вне пределов от 0 до 1000"},
        {{"--save", "delete", dir},
         "ERROR: ValidationError: --save: delete not in {none,move,copy}",
         "Ошибка: --save: значение delete не входит в {none,move,copy}"},
        {{"-r", taken, dir},
         "ERROR: ValidationError: --report: Path already exists: " + taken,
         "Ошибка: --report: файл уже существует: " + taken},
        {{"--strict=maybe", dir},
         "ERROR: ConversionError: Could not convert: --strict = maybe",
         "Ошибка: не удалось прочесть значение maybe параметра --strict"},
    };
    const auto before = TextBatch::snapshot(m_root);
    for (const auto& c : cases) {
        for (const auto& [lang, line, usage] :
             {std::tuple("--lang=en", c.english, "Usage: quillmark-cli [OPTIONS] SOURCE_DIR"),
              std::tuple("--lang=ru", c.russian, "Запуск: quillmark-cli [ПАРАМЕТРЫ] SOURCE_DIR")}) {
            std::vector<std::string> arguments{lang};
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            QByteArray out;
            QByteArray err;
            EXPECT_EQ(CliProcess::run(arguments, &out, &err), 2) << line;
            EXPECT_TRUE(out.isEmpty()) << line;
            EXPECT_TRUE(err.startsWith(QByteArray::fromStdString(line) + '\n'))
                << line << "\n"
                << err.toStdString();
            EXPECT_TRUE(err.contains(usage)) << "the help follows: " << err.toStdString();
        }
    }
    EXPECT_EQ(TextBatch::snapshot(m_root), before);
}

TEST_F(CliRunTest, FailedRunsExitOneWithTheWindowsTexts) {
    writeBatch();
    QByteArray out;
    QByteArray err;
    // Failures are shown even with --quiet.
    EXPECT_EQ(CliProcess::run({"-q", (m_root / "missing").string()}, &out, &err), 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(
        err.contains("-> Неверный путь к каталогу с исходными текстами, проверьте и исправьте."))
        << err.toStdString();
    EXPECT_EQ(CliProcess::run({"-q", ""}, nullptr, &err), 1) << "an empty path is no directory";

    const std::string unreachable = (m_root / "no" / "such" / "out").string() + "/";
    EXPECT_EQ(CliProcess::run({"-q", "--save", "copy", "-o", unreachable, source()}, &out, &err),
              1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(
        err.contains("-> Не удалось создать каталог " + QByteArray::fromStdString(unreachable)))
        << err.toStdString();
}

TEST_F(CliRunTest, UnreadableFileExitsOneWithItsPath) {
    writeBatch();
    const fs::path unreadable = m_source / "b_unreadable.txt";
    if (geteuid() != 0) {
        TextBatch::write(unreadable, "text\r\n");
        fs::permissions(unreadable, fs::perms::none);
    } else {
        // Root reads any file; a write-only kernel attribute refuses even
        // root. Mounted over a text (a link would be skipped).
        const fs::path writeOnly = "/sys/bus/platform/uevent";
        if (!fs::exists(writeOnly) || std::ifstream(writeOnly).is_open())
            GTEST_SKIP() << "no file here refuses to be read";
        TextBatch::write(unreadable, "text\r\n");
        if (::mount(writeOnly.c_str(), unreadable.c_str(), nullptr, MS_BIND, nullptr) != 0)
            GTEST_SKIP() << "cannot mount the attribute over a text";
        m_mounted = unreadable;
    }
    const auto before = TextBatch::snapshot(m_source);
    QByteArray out;
    QByteArray err;
    EXPECT_EQ(CliProcess::run({"-q", "--save", "move", source()}, &out, &err), 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.contains("Cannot open file \"" +
                             QByteArray::fromStdString(unreadable.string()) + "\". "))
        << err.toStdString();
    fs::remove(m_source / "Result");
    EXPECT_EQ(TextBatch::snapshot(m_source), before) << "nothing is saved";
}

TEST_F(CliRunTest, ReportFileIsNewAndNeverReplaced) {
    writeBatch();
    const fs::path report = m_root / "report.csv";
    QByteArray out;
    ASSERT_EQ(CliProcess::run({"-q", "-r", report.string(), source()}, &out), 0);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(QByteArray::fromStdString(TextBatch::read(report)), csv(expectedRows(), 20));

    ASSERT_EQ(CliProcess::run({"-q", "-r", "-", source()}, &out), 0);
    EXPECT_EQ(out, csv(expectedRows(), 20));

    // A report that cannot be made stops the call before any text is moved.
    const auto before = TextBatch::snapshot(m_root);
    QByteArray err;
    EXPECT_EQ(CliProcess::run({"-q", "--save", "move", "-r", (m_root / "no" / "r.csv").string(),
                               source(), "--lang=en"},
                              nullptr, &err),
              1);
    EXPECT_TRUE(err.contains("Cannot write the report")) << err.toStdString();
    EXPECT_EQ(CliProcess::run(
                  {"-q", "--save", "move", "-r", (m_root / "no" / "r.csv").string(), source()},
                  nullptr, &err),
              1);
    EXPECT_TRUE(err.contains("Не удалось записать отчёт в")) << err.toStdString();
    EXPECT_EQ(TextBatch::snapshot(m_root), before);

    // A run without a report leaves no empty report behind.
    EXPECT_EQ(CliProcess::run({"-q", "-r", (m_root / "r.csv").string(), "/nonexistent/dir"}), 1);
    EXPECT_FALSE(fs::exists(m_root / "r.csv"));

    // A device replaces no file: the report may go there, and the device stays.
    EXPECT_EQ(CliProcess::run({"-q", "-r", "/dev/null", source()}), 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(CliRunTest, ProgressIsDrawnOnlyOnATerminal) {
    writeBatch();
    QByteArray err;
    ASSERT_EQ(CliProcess::run({"--save", "copy", source()}, nullptr, &err, ErrorStream::Pipe), 0);
    EXPECT_FALSE(err.contains('\r')) << err.toStdString();

    ASSERT_EQ(CliProcess::run({"-o", (m_root / "out1").string(), "--save", "copy", source()},
                              nullptr, &err, ErrorStream::Terminal),
              0);
    // One line per stage, each ending at its full count with a full bar.
    const QByteArray fullBar = "[" + QByteArray(30, '#') + "]";
    EXPECT_TRUE(err.contains("Загрузка текстов  4/4 " + fullBar)) << err.toStdString();
    EXPECT_TRUE(err.contains("Сравнение текстов  4/4 " + fullBar)) << err.toStdString();
    EXPECT_TRUE(err.contains("Сохранение выборки по заданному фильтру  2/2 " + fullBar))
        << err.toStdString();
    EXPECT_TRUE(err.contains("Начало работы.."));

    ASSERT_EQ(CliProcess::run({"-q", source()}, nullptr, &err, ErrorStream::Terminal), 0);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

/// A batch big enough that a run is still loading when the signal comes.
TEST_F(CliRunTest, CtrlCStopsTheRunSavesNothingAndExits130) {
    for (int i = 0; i < 20000; ++i) {
        TextBatch::write(m_source / ("text" + std::to_string(i) + ".txt"),
                         TextBatch::article(static_cast<unsigned>(i % 50), 80));
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_source))
        names.push_back(entry.path().filename().string());

    CliProcess process({"--save", "move", source()});
    ASSERT_TRUE(process.waitForError("Начало работы.."));
    process.sendSignal(SIGINT);
    EXPECT_EQ(process.finish(), 130) << process.err().toStdString();
    EXPECT_TRUE(process.out().isEmpty()) << "no report for a stopped run";
    EXPECT_FALSE(process.err().contains("Сравнение выполнено"));

    std::vector<std::string> after;
    for (const auto& entry : fs::directory_iterator(m_source))
        after.push_back(entry.path().filename().string());
    std::erase(after, "Result");
    std::sort(names.begin(), names.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, names) << "nothing was moved";
    EXPECT_FALSE(fs::exists(m_source / "Result")) << "the stopped run made it and left it unused";
}

TEST_F(CliRunTest, PathsThatAreNotUtf8ReachTheFileSystemUnchanged) {
    const fs::path source = m_root / "texts\xff";
    fs::create_directory(source);
    TextBatch::write(source / "a.txt", TextBatch::article(1, 60));
    const fs::path out = m_root / "out\xfe";
    const fs::path report = m_root / "r\xfd.csv";
    ASSERT_EQ(CliProcess::run({"-q", "--save", "move", "-o", out.string(), "-r", report.string(),
                               source.string()}),
              0);
    EXPECT_TRUE(fs::exists(out / "a.txt"));
    EXPECT_EQ(savedColumn(report), (std::map<std::string, std::string>{{"a.txt", "moved"}}));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_root))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"out\xfe", "r\xfd.csv", "texts", "texts\xff"}));
}

TEST_F(CliRunTest, AnOutputDirectoryThatRefusesTextsExitsFourEvenQuiet) {
    writeBatch();
    const fs::path out = m_root / "out";
    fs::create_directory(out);
    // Permissions do not bind root; a read-only file system does.
    if (geteuid() != 0)
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    else if (::mount("tmpfs", out.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0)
        m_mounted = out;
    else
        GTEST_SKIP() << "cannot mount a read-only tmpfs";
    const auto before = TextBatch::snapshot(m_source);
    const struct {
        const char* mode;
        const char* lang;
        QByteArray line;
    } cases[] = {
        {"move", "--lang=en", "quillmark-cli: 2 of 2 texts could not be saved"},
        {"copy", "--lang=ru", "quillmark-cli: не удалось сохранить текстов: 2 из 2"},
    };
    for (const auto& [mode, lang, line] : cases) {
        const fs::path report = m_root / (std::string(mode) + ".csv");
        QByteArray err;
        EXPECT_EQ(CliProcess::run({lang, "-q", "--save", mode, "-o", out.string(), "-r",
                                   report.string(), source()},
                                  nullptr, &err),
                  4);
        EXPECT_TRUE(err.contains(line)) << err.toStdString();
        EXPECT_TRUE(savedColumn(report)["a_original.txt"].starts_with("failed: "));
    }
    EXPECT_EQ(TextBatch::snapshot(m_source), before);
}

TEST_F(CliRunTest, NamesThatAreNotUtf8KeepTheirBytesInTheHtmlReport) {
    const std::string article = TextBatch::article(4, 200);
    TextBatch::write(m_source / "\xfe.txt", article);
    TextBatch::write(m_source / "\xff.txt", article);
    QByteArray out;
    // The links go by row number, and the texts are read again by their bytes.
    ASSERT_EQ(CliProcess::run({"-q", "--format", "html", source()}, &out), 0);
    for (const char* part :
         {"<td>\\xFE.txt</td>", "<a href=\"#text-2\">\\xFF.txt</a>",
          "<a href=\"#row-1\">1. \\xFE.txt</a>", "<h3 id=\"text-2-title\">2. \\xFF.txt — 100%</h3>",
          "<h4>Проверяемый текст: \\xFF.txt</h4>", "<h4>Ранее: \\xFE.txt</h4>"})
        EXPECT_TRUE(out.contains(part)) << part;
    EXPECT_FALSE(out.contains("\xEF\xBF\xBD")) << "no name became U+FFFD";
    EXPECT_FALSE(out.contains("class=\"error\"")) << "both texts were read again";
}

/// Makes `directory` refuse new files, for root too; false when it cannot.
bool refuseWrites(const fs::path& directory, fs::path& mounted) {
    if (geteuid() != 0) {
        fs::permissions(directory, fs::perms::owner_read | fs::perms::owner_exec);
        return true;
    }
    if (::mount("tmpfs", directory.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0)
        return false;
    mounted = directory;
    return true;
}

// A report that cannot be written does not hide what saving left undone: the
// error, then the save summary, and exit 1.
TEST_F(CliRunTest, AFailedReportStillSaysWhatCouldNotBeSaved) {
    writeBatch();
    const fs::path out = m_root / "out";
    fs::create_directory(out);
    if (!refuseWrites(out, m_mounted))
        GTEST_SKIP() << "cannot mount a read-only tmpfs";
    const struct {
        std::vector<std::string> report;
        OutputStream output;
        QByteArray error;
    } cases[] = {
        {{}, OutputStream::ClosedPipe, "Cannot write the report to \"-\": "},
        {{"-r", "-"}, OutputStream::ClosedPipe, "Cannot write the report to \"-\": "},
        {{"-r", "/dev/full"}, OutputStream::Pipe, "Cannot write the report to \"/dev/full\": "},
    };
    const QByteArray summary = "quillmark-cli: 2 of 2 texts could not be saved";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error.toStdString());
        std::vector<std::string> arguments{"--lang=en", "-q", "--save", "move", "-o", out.string()};
        arguments.insert(arguments.end(), c.report.begin(), c.report.end());
        arguments.push_back(source());
        CliProcess process(arguments, ErrorStream::Pipe, c.output);
        EXPECT_EQ(process.finish(), 1) << "not a death by SIGPIPE (1000 + 13)";
        const QByteArray& err = process.err();
        EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
        EXPECT_TRUE(err.contains(summary)) << err.toStdString();
        EXPECT_LT(err.indexOf(c.error), err.indexOf(summary));
    }
}

TEST_F(CliRunTest, AClosedPipeIsAWriteErrorWithAMessage) {
    writeBatch();
    CliProcess run({"-q", source()}, ErrorStream::Pipe, OutputStream::ClosedPipe);
    EXPECT_EQ(run.finish(), 1);
    EXPECT_TRUE(run.err().contains("Не удалось записать отчёт в \"-\": "))
        << run.err().toStdString();
    EXPECT_FALSE(run.err().contains("сохранить")) << "nothing was to be saved";
}

// Every second text clashes with a file of the output directory and logs a
// line. Standard error is not read after the comparison, so the program stalls
// on a full pipe long before its last text: the signal comes while it saves.
TEST_F(CliRunTest, CtrlCDuringSavingStopsBetweenTwoFilesAndStillReports) {
    const int count = 2000;
    fs::create_directory(m_source / "Result");
    for (int i = 0; i < count; ++i) {
        // Long names make long lines: 1000 of them fill two pipes over.
        const std::string name = "t" + std::to_string(10000 + i) + std::string(120, 'x') + ".txt";
        TextBatch::write(m_source / name, TextBatch::article(unsigned(100 + i), 40));
        if (i % 2 == 1)
            TextBatch::write(m_source / "Result" / name, "the user's own file\r\n");
    }
    const auto before = TextBatch::snapshot(m_source);
    const fs::path report = m_root / "report.csv";
    CliProcess process({"-p", "100", "--save", "move", "-r", report.string(), source()});
    ASSERT_TRUE(process.waitForError("Сравнение выполнено"));
    process.sendSignal(SIGINT);
    EXPECT_EQ(process.finish(), 130);
    EXPECT_TRUE(
        process.err().contains("quillmark-cli: сохранение остановлено; не дошло до текстов"));

    std::map<std::string, int> tally;
    for (const auto& [file, saved] : savedColumn(report)) {
        ++tally[saved];
        const std::string stays = saved == "moved" ? "Result/" + file : file;
        EXPECT_EQ(TextBatch::read(m_source / stays), before.at(file)) << file;
        EXPECT_EQ(fs::exists(m_source / file), saved != "moved") << file;
    }
    EXPECT_GT(tally["moved"], 0);
    EXPECT_GT(tally[""], 0) << "stopped before the end";
    EXPECT_EQ(tally["moved"] + tally["clash"] + tally[""], count);
}

// The log, reference texts' lines included, speaks the chosen language; the
// reference cache and the index it builds live under XDG_CACHE_HOME.
TEST_F(CliRunTest, LogAndIndexFollowTheLanguage) {
    writeBatch();
    const fs::path references = m_root / "refs";
    fs::create_directory(references);
    TextBatch::write(references / "accepted.txt", TextBatch::article(1, 300));
    // Written a while ago: a file changed within the last seconds is read
    // again by the next run, so its counts would say "changed".
    fs::last_write_time(references / "accepted.txt",
                        fs::last_write_time(references / "accepted.txt") - std::chrono::minutes(1));
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((m_root / "cache").string()));
    const struct {
        const char* lang;
        std::vector<QByteArray> lines;
    } cases[] = {
        {"--lang=ru",
         {"-> Начало работы..", "-> Загружено эталонных текстов: 1",
          "-> Каталог эталонных текстов " + QByteArray::fromStdString(source()) +
              " пропущен: он уже сравнивается"}},
        {"--lang=en",
         {"-> Starting..", "-> Reference texts loaded: 1",
          "-> Reference folder " + QByteArray::fromStdString(source()) +
              " skipped: it is already being compared"}},
    };
    for (const auto& c : cases) {
        QByteArray out;
        QByteArray err;
        EXPECT_EQ(CliProcess::run({c.lang, "--reference", references.string(), "--reference",
                                   source(), source()},
                                  &out, &err),
                  0)
            << c.lang;
        for (const QByteArray& line : c.lines)
            EXPECT_TRUE(err.contains(line)) << c.lang << ": " << line.toStdString() << "\n"
                                            << err.toStdString();
    }
    QByteArray out;
    EXPECT_EQ(CliProcess::run({"index", references.string(), "--lang=en"}, &out), 0);
    EXPECT_EQ(out, "added 0, changed 0, removed 0, unchanged 1\n");
    EXPECT_EQ(CliProcess::run({"index", references.string()}, &out), 0);
    EXPECT_EQ(out, "добавлено 0, изменено 0, удалено 0, без изменений 1\n");
    EXPECT_TRUE(fs::exists(m_root / "cache" / "quillmark" / "references.sqlite"));
    // What only a run uses is refused, not ignored; no report file is made.
    for (const std::vector<std::string> extra :
         {std::vector<std::string>{"-r", (m_root / "index.csv").string()},
          std::vector<std::string>{"--save", "copy"},
          std::vector<std::string>{"--archive", "postgresql:///x"}}) {
        std::vector<std::string> arguments{"index", references.string(), "--lang=en"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        QByteArray err;
        EXPECT_EQ(CliProcess::run(arguments, &out, &err), 2) << extra[0];
        EXPECT_TRUE(err.contains("does not apply to index")) << err.toStdString();
    }
    EXPECT_FALSE(fs::exists(m_root / "index.csv"));
    qunsetenv("XDG_CACHE_HOME");
}

} // namespace
