// The HTML report of real runs over batches in temporary directories.
#include "EngineRun.h"
#include "TextBatch.h"
#include "analysis/Cp1251.h"
#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"
#include "cli/HtmlReport.h"
#include "cli/TextExcerpt.h"
#include "engine/DocumentPair.h"

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::test;
namespace fs = std::filesystem;

namespace {

std::size_t occurrences(std::string_view text, std::string_view needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string_view::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

/// Windows-1251 bytes as the page shows them: UTF-8, lines ended by LF.
std::string shown(std::string_view cp1251) {
    std::string utf8;
    quillmark::Cp1251::appendUtf8(cp1251, utf8);
    std::string text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
            continue;
        text += utf8[i];
    }
    return text;
}

class HtmlReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_source = fs::path(m_temp.path().toStdString()) / "texts";
        fs::create_directory(m_source);
    }

    std::string source() const { return m_source.string() + "/"; }

    /// An original, its copy, a rewrite of its second half, an empty file and
    /// an unrelated article: with the default 20% the copy (row 2) and the
    /// rewrite (row 3) do not pass.
    void writeBatch(const std::string& originalName = "a_original.txt") {
        const std::string original = TextBatch::article(1, 300);
        TextBatch::write(m_source / originalName, original);
        TextBatch::write(m_source / "b_copy.txt", original);
        TextBatch::write(m_source / "c_rewrite.txt", TextBatch::rewrite(original, 1));
        TextBatch::write(m_source / "d_empty.txt", "");
        TextBatch::write(m_source / "e_other.txt", TextBatch::article(2, 300));
    }

    /// The section of the document in row `row` (counted from 1), or "".
    static std::string section(const std::string& html, int row) {
        const std::string start = "<section class=\"pair\" id=\"text-" + std::to_string(row) + "\"";
        const std::size_t begin = html.find(start);
        if (begin == std::string::npos)
            return {};
        return html.substr(begin, html.find("</section>", begin) - begin);
    }

    /// Expects `html` to mark exactly the passages that `earlier` and
    /// `current` share, and nothing else.
    static void expectMarks(const std::string& html, const fs::path& earlier,
                            const fs::path& current) {
        const TextWords earlierWords =
            WordsOfText(TextBatch::read(earlier), Truncation::On, HtmlHandling::Keep, 10);
        const TextWords currentWords =
            WordsOfText(TextBatch::read(current), Truncation::On, HtmlHandling::Keep, 10);
        const SharedPassages passages = FindSharedPassages(earlierWords, currentWords);
        ASSERT_FALSE(passages.current.empty());
        for (const auto& [words, list] : {std::pair(&currentWords, &passages.current),
                                          std::pair(&earlierWords, &passages.earlier)}) {
            for (const Passage& passage : *list) {
                const std::string marked =
                    "<mark>" +
                    shown(std::string_view(words->text)
                              .substr(passage.begin, passage.end - passage.begin)) +
                    "</mark>";
                EXPECT_NE(html.find(marked), std::string::npos) << marked;
            }
        }
        EXPECT_EQ(occurrences(html, "<mark>"), passages.current.size() + passages.earlier.size());
    }

    /// What follows the last passage of `current` that `earlier` shares, as
    /// the page shows it.
    static std::string unsharedEnd(const fs::path& earlier, const fs::path& current) {
        const TextWords earlierWords =
            WordsOfText(TextBatch::read(earlier), Truncation::On, HtmlHandling::Keep, 10);
        const TextWords currentWords =
            WordsOfText(TextBatch::read(current), Truncation::On, HtmlHandling::Keep, 10);
        const SharedPassages passages = FindSharedPassages(earlierWords, currentWords);
        if (passages.current.empty())
            return {};
        return shown(std::string_view(currentWords.text).substr(passages.current.back().end));
    }

    QTemporaryDir m_temp;
    fs::path m_source;
};

TEST_F(HtmlReportTest, IsOnePageInRussianWithTheSettingsAndCounts) {
    writeBatch();
    const std::string html = EngineRun({"-p", "20", "-l", "10", source()}).html();
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n<html lang=\"ru\">")) << html.substr(0, 100);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("<h1>Отчёт о проверке</h1>"), std::string::npos);
    EXPECT_TRUE(html.ends_with("</html>\n"));
    // Nothing to fetch and nothing to run.
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    EXPECT_EQ(html.find("url("), std::string::npos);

    EXPECT_NE(html.find("<tr><th scope=\"row\">Длина шингла, слов</th><td>10</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><th scope=\"row\">Допустимый процент совпадений</th><td>20%</td>"),
              std::string::npos);
    EXPECT_NE(html.find("Каталог с текстами для сравнения</th><td>" + source() + "</td>"),
              std::string::npos);
    EXPECT_NE(html.find("Загружено текстов: <b>4</b>"), std::string::npos);
    EXPECT_NE(html.find("✓ Прошло: <b>2</b>"), std::string::npos);
    EXPECT_NE(html.find("✗ Не прошло: <b>2</b>"), std::string::npos);
    EXPECT_EQ(html.find("Похожие тексты"), std::string::npos) << "no pairs asked for";
}

TEST_F(HtmlReportTest, TableHasARowPerDocumentMarkedBySign) {
    writeBatch();
    const std::string html = EngineRun({source()}).html();
    EXPECT_EQ(occurrences(html, "<tr id=\"row-"), 4u) << "the empty file is not loaded";
    EXPECT_NE(html.find("<tr id=\"row-1\" class=\"passed\"><td class=\"num\">1</td>"
                        "<td>a_original.txt</td><td class=\"num\">0%</td>"
                        "<td class=\"verdict\">✓ Прошло</td><td>—</td><td>TXT, "
                        "Windows-1251</td><td class=\"num disguised\"></td>"
                        "<td class=\"num family\"><a href=\"#family-1\">1</a></td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr id=\"row-2\" class=\"failed\"><td class=\"num\">2</td>"
                        "<td><a href=\"#text-2\">b_copy.txt</a></td><td class=\"num\">100%</td>"
                        "<td class=\"verdict\">✗ Не прошло</td>"
                        "<td><a href=\"#row-1\">1. a_original.txt</a></td>"
                        "<td>TXT, Windows-1251</td><td class=\"num disguised\"></td>"
                        "<td class=\"num family\"><a href=\"#family-1\">1</a></td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr id=\"row-4\" class=\"passed\"><td class=\"num\">4</td>"
                        "<td>e_other.txt</td>"),
              std::string::npos);
}

TEST_F(HtmlReportTest, EveryFailingDocumentHasASectionWithItsSharedPassagesMarked) {
    writeBatch();
    const std::string html = EngineRun({source()}).html();
    EXPECT_EQ(occurrences(html, "<section class=\"pair\""), 2u);
    EXPECT_TRUE(section(html, 1).empty());
    EXPECT_TRUE(section(html, 4).empty());

    const std::string copy = section(html, 2);
    ASSERT_FALSE(copy.empty());
    EXPECT_NE(copy.find("<h3 id=\"text-2-title\">2. b_copy.txt — 100%</h3>"), std::string::npos);
    EXPECT_NE(copy.find("Наибольшее совпадение: <a href=\"#row-1\">1. a_original.txt</a>"),
              std::string::npos);
    expectMarks(copy, m_source / "a_original.txt", m_source / "b_copy.txt");

    const std::string rewrite = section(html, 3);
    ASSERT_FALSE(rewrite.empty());
    expectMarks(rewrite, m_source / "a_original.txt", m_source / "c_rewrite.txt");
    // Half of the rewrite is its own: its second half stands after the last mark.
    const std::string end = unsharedEnd(m_source / "a_original.txt", m_source / "c_rewrite.txt");
    EXPECT_GT(end.size(), 500u);
    EXPECT_NE(rewrite.find("</mark>" + end + "</div>"), std::string::npos);
    EXPECT_EQ(occurrences(rewrite, "class=\"error\""), 0u);
}

TEST_F(HtmlReportTest, PastTheTextBudgetSectionsNameTheirPairOnly) {
    writeBatch();
    const EngineRun run({source()});
    const Report report(run.options(), run.engine());
    // The first section's texts exceed one byte; the second shows none.
    const std::string html = HtmlReport(report, run.engine(), 1).render().toStdString();
    EXPECT_EQ(occurrences(html, "<section class=\"pair\""), 2u);
    EXPECT_NE(section(html, 2).find("<mark>"), std::string::npos);
    const std::string second = section(html, 3);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second.find("Наибольшее совпадение: <a href=\"#row-1\">"), std::string::npos);
    EXPECT_EQ(second.find("<mark>"), std::string::npos);
    EXPECT_EQ(second.find("class=\"body\""), std::string::npos);
    EXPECT_EQ(occurrences(html, "id=\"over-budget\""), 1u);

    const std::string whole = HtmlReport(report, run.engine()).render().toStdString();
    EXPECT_EQ(whole.find("over-budget"), std::string::npos);
}

TEST_F(HtmlReportTest, NamesAndTextsAreEscaped) {
    // An article with markup in its text, and a copy of it.
    const std::string words = TextBatch::article(5, 60);
    std::string text = words.substr(0, words.size() / 2) + "<script>alert(\"x\" & 'y')</script> " +
                       words.substr(words.size() / 2);
    const std::string original = "a<i>&\"x'.txt";
    const std::string copy = "b <script>.txt";
    TextBatch::write(m_source / original, text);
    TextBatch::write(m_source / copy, text);

    const std::string html = EngineRun({"--pairs", "1", source()}).html();
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<i>"), std::string::npos);
    EXPECT_EQ(html.find(original), std::string::npos);
    EXPECT_EQ(html.find(copy), std::string::npos);
    const std::string originalEscaped = "a&lt;i&gt;&amp;&quot;x&#39;.txt";
    const std::string copyEscaped = "b &lt;script&gt;.txt";
    // The table row, the best match, the pairs, the family and the section's captions.
    EXPECT_EQ(occurrences(html, originalEscaped), 6u) << html;
    EXPECT_EQ(occurrences(html, copyEscaped), 4u);
    // The text is marked whole, markup and all, in both columns.
    EXPECT_EQ(
        occurrences(html, "&lt;script&gt;alert(&quot;x&quot; &amp; &#39;y&#39;)&lt;/script&gt;"),
        2u);
    EXPECT_EQ(occurrences(html, "<mark>"), 2u);
    EXPECT_EQ(occurrences(html, "</mark>"), 2u);
}

TEST_F(HtmlReportTest, DisguisedColumnShowsOnlyCountsAboveZero) {
    // \x6F in b is a Latin "o" inside a Cyrillic word.
    TextBatch::write(m_source / "a_clean.txt",
                     "Сегодня мы пишем слово о лесах и реках нашей большой страны\n");
    TextBatch::write(m_source / "b_masked.txt",
                     "Вчера они читали сл\x6Fво о горах и морях далёкой северной земли\n");
    const std::string html = EngineRun({source()}).html();
    EXPECT_NE(
        html.find("<th scope=\"col\">Формат</th><th scope=\"col\">Замаскированные слова</th>"),
        std::string::npos);
    const std::pair<std::string, std::string> cases[] = {
        {"<tr id=\"row-1\"", "<td class=\"num disguised\"></td>"},
        {"<tr id=\"row-2\"", "<td class=\"num disguised\">1</td>"},
    };
    for (const auto& [start, cell] : cases) {
        const std::size_t row = html.find(start);
        ASSERT_NE(row, std::string::npos) << start;
        const std::string text = html.substr(row, html.find("</tr>", row) - row);
        EXPECT_TRUE(text.ends_with("<td>TXT, UTF-8</td>" + cell + "<td class=\"num family\"></td>"))
            << text;
    }
}

TEST_F(HtmlReportTest, ChangedLettersAreMarkedInTheTextsBesideEachOther) {
    // The copy's words "мама" carry a Latin "a", its "раму" a soft hyphen.
    const std::string plain = "мама мыла раму и папа мыла раму а мы смотрели на них\n";
    TextBatch::write(m_source / "a.txt", plain);
    TextBatch::write(
        m_source / "b.txt",
        "м\x61м\x61 мыла ра\xC2\xADму и папа мыла ра\xC2\xADму а мы смотрели на них\n");
    struct Case {
        std::vector<std::string> arguments;
        const char* marked;
    };
    const Case cases[] = {
        {{source(), "--shingle-len", "3"}, "<span class=\"swap\">a</span>"},
        {{source(), "--shingle-len", "3", "--unmask"}, "<span class=\"swap\">а</span>"},
    };
    for (const Case& test : cases) {
        const std::string copy = section(EngineRun(test.arguments).html(), 2);
        SCOPED_TRACE(test.marked);
        ASSERT_FALSE(copy.empty());
        // Two look-alikes, and the letter after each of the two soft hyphens.
        EXPECT_EQ(occurrences(copy, "<span class=\"swap\">"), 4u);
        EXPECT_EQ(occurrences(copy, test.marked), 2u);
        EXPECT_EQ(occurrences(copy, "<span class=\"swap\">м</span>"), 2u);
        EXPECT_NE(copy.find("подчёркнуты волнистой линией: 4."), std::string::npos);
    }
}

TEST_F(HtmlReportTest, FamiliesAndCommonTextAreShown) {
    // Every text opens with the same notice; c copies a, d is the notice alone.
    const std::string notice = TextBatch::article(9, 40);
    TextBatch::write(m_source / "a.txt", notice + TextBatch::article(1, 200));
    TextBatch::write(m_source / "b.txt", notice + TextBatch::article(2, 200));
    TextBatch::write(m_source / "c.txt", notice + TextBatch::article(1, 200));
    TextBatch::write(m_source / "d.txt", notice);
    const fs::path templateFile = fs::path(m_temp.path().toStdString()) / "notice.txt";
    TextBatch::write(templateFile, notice);
    const std::string html = EngineRun({"--template", templateFile.string(), source()}).html();

    EXPECT_NE(html.find("<th scope=\"row\">Шаблон (не учитывать)</th><td>" +
                        templateFile.string() + "</td>"),
              std::string::npos);
    EXPECT_NE(html.find("✓ Прошло (только общий текст)"), std::string::npos) << "d";
    const std::size_t families = html.find("<h2 id=\"families\">Семьи копий</h2>");
    ASSERT_NE(families, std::string::npos);
    const std::string family = html.substr(html.find("<li id=\"family-1\"", families));
    EXPECT_TRUE(family.starts_with(
        "<li id=\"family-1\" value=\"1\"><b>Семья 1</b>: текстов — 2, наибольшая оценка — "
        "100%. <a href=\"#row-1\">1. a.txt</a>, <a href=\"#text-3\">3. c.txt</a></li>"))
        << family.substr(0, 300);
    EXPECT_EQ(occurrences(html, "<li id=\"family-"), 1u);
    EXPECT_NE(html.find("<td class=\"num family\"><a href=\"#family-1\">1</a></td>"),
              std::string::npos);

    // The copy's section opens both texts with the notice grey and unmarked;
    // only its last words, in windows that reach into the article, are shared.
    const std::string copy = section(html, 3);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(occurrences(copy, "<div class=\"fragment\"><span class=\"common\">"), 2u);
    EXPECT_EQ(occurrences(copy, "<mark><span class=\"common\">"), 2u);
    EXPECT_EQ(occurrences(copy, "Серым — общий текст"), 2u);
}

TEST_F(HtmlReportTest, PairsColumnListsTheEarlierTextsBestFirst) {
    const std::string original = TextBatch::article(1, 300);
    TextBatch::write(m_source / "a.txt", original);
    TextBatch::write(m_source / "b.txt", TextBatch::rewrite(original, 1));
    TextBatch::write(m_source / "c.txt", original);
    const std::string html = EngineRun({"--pairs", "2", source()}).html();
    EXPECT_NE(html.find("<th scope=\"col\">Похожие тексты</th>"), std::string::npos);
    EXPECT_NE(
        html.find("<td>—</td><td>—</td><td>TXT, Windows-1251</td><td class=\"num disguised\"></td>"
                  "<td class=\"num family\"><a href=\"#family-1\">1</a></td></tr>"),
        std::string::npos)
        << "a has none";
    const std::size_t row = html.find("<tr id=\"row-3\"");
    ASSERT_NE(row, std::string::npos);
    const std::string third = html.substr(row, html.find("</tr>", row) - row);
    const std::size_t best =
        third.find("<ul class=\"pairs\"><li><a href=\"#row-1\">1. a.txt</a> — 100%</li>");
    const std::size_t next = third.find("<li><a href=\"#row-2\">2. b.txt</a> — ");
    EXPECT_NE(best, std::string::npos) << third;
    EXPECT_NE(next, std::string::npos) << third;
    EXPECT_LT(best, next);
    EXPECT_NE(html.find("Похожих текстов в таблице, не больше</th><td>2</td>"), std::string::npos);
}

TEST_F(HtmlReportTest, AnUnreadableTextShowsWhyInItsSectionOnly) {
    writeBatch("a<1>.txt");
    const EngineRun run({source()});
    fs::remove(m_source / "a<1>.txt");
    std::string message;
    try {
        DocumentPair::load(run.engine(), 1, 0);
    } catch (const PairError& error) {
        message = error.what();
    }
    ASSERT_FALSE(message.empty()) << "the missing file fails its pair";

    const std::string html = run.html();
    for (const int row : {2, 3}) {
        const std::string pair = section(html, row);
        ASSERT_FALSE(pair.empty()) << row;
        EXPECT_NE(pair.find("<p class=\"error\" role=\"alert\">Файл &quot;a&lt;1&gt;.txt&quot;"),
                  std::string::npos)
            << pair;
        EXPECT_EQ(pair.find("<mark>"), std::string::npos);
    }
    EXPECT_EQ(occurrences(html, "<tr id=\"row-"), 4u);
    EXPECT_TRUE(html.ends_with("</html>\n"));
}

TEST_F(HtmlReportTest, TextsMovedToTheOutputAreStillShown) {
    writeBatch();
    const EngineRun run({"--save", "move", source()});
    ASSERT_TRUE(fs::exists(m_source / "Result" / "a_original.txt"));
    ASSERT_FALSE(fs::exists(m_source / "a_original.txt"));
    const std::string html = run.html();
    EXPECT_EQ(html.find("class=\"error\""), std::string::npos);
    expectMarks(section(html, 2), m_source / "Result" / "a_original.txt", m_source / "b_copy.txt");
}

TEST_F(HtmlReportTest, HistogramCountsTheScoresAndDrawsTheAllowedPercentage) {
    writeBatch();
    const std::string html = EngineRun({"-p", "35", source()}).html();
    // A bin is drawn failing when even its lowest score fails: from 40 up.
    EXPECT_EQ(occurrences(html, "<rect class=\"bar\""), 8u);
    EXPECT_EQ(occurrences(html, "<rect class=\"bar over\""), 12u);
    EXPECT_NE(html.find("<title>0–4%: 2</title>"), std::string::npos) << "a and e";
    EXPECT_NE(html.find("<title>95–100%: 1</title>"), std::string::npos) << "the copy";
    EXPECT_NE(html.find("<title>5–9%: 0</title>"), std::string::npos);
    EXPECT_NE(html.find("<line class=\"limit\""), std::string::npos);
    EXPECT_NE(html.find(">допустимо до 35%</text>"), std::string::npos);
}

TEST_F(HtmlReportTest, WhenAllPassThereAreNoSections) {
    writeBatch();
    const std::string html = EngineRun({"-p", "100", source()}).html();
    EXPECT_EQ(html.find("<section class=\"pair\""), std::string::npos);
    EXPECT_NE(html.find("Все тексты прошли проверку."), std::string::npos);
    EXPECT_EQ(html.find("✗ Не прошло</td>"), std::string::npos);
}

TEST_F(HtmlReportTest, LongTextsShowTheirPassagesWithContext) {
    // 6,000 words of about 7 bytes: far more than is shown whole.
    const std::string original = TextBatch::article(11, 6000);
    ASSERT_GT(original.size(), TextExcerpt::WholeTextBytes);
    // Another long article with 240 words of the original in its middle.
    const std::string other = TextBatch::article(12, 6000);
    const std::size_t middle = other.find("\r\n", other.size() / 2) + 2;
    const std::size_t quoteBegin = original.find("\r\n", original.size() / 3) + 2;
    std::size_t quoteEnd = quoteBegin;
    for (int line = 0; line < 20; ++line)
        quoteEnd = original.find("\r\n", quoteEnd) + 2;
    TextBatch::write(m_source / "a.txt", original);
    TextBatch::write(m_source / "b.txt", other.substr(0, middle) +
                                             original.substr(quoteBegin, quoteEnd - quoteBegin) +
                                             other.substr(middle));

    const std::string html = EngineRun({"-p", "0", source()}).html();
    const std::string pair = section(html, 2);
    ASSERT_FALSE(pair.empty());
    EXPECT_EQ(occurrences(pair, "<div class=\"fragment\">"), 2u) << "one fragment a side";
    EXPECT_EQ(occurrences(pair, "<span class=\"gap\">… </span>"), 2u);
    EXPECT_EQ(occurrences(pair, "<span class=\"gap\"> …</span>"), 2u);
    EXPECT_EQ(occurrences(pair, "Текст длинный: показаны они и по 30 слов вокруг."), 2u);
    EXPECT_LT(pair.size(), 20'000u) << "far less than the two texts";
    expectMarks(pair, m_source / "a.txt", m_source / "b.txt");
}

} // namespace
