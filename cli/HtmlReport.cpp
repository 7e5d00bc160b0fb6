#include "HtmlReport.h"

#include "HtmlText.h"
#include "ReportName.h"
#include "TextExcerpt.h"
#include "analysis/TextWords.h"
#include "engine/BatchEngine.h"
#include "engine/DocumentPair.h"
#include "engine/ScoreHistogram.h"

#include <QString>
#include <algorithm>
#include <string_view>
#include <vector>

namespace quillmark {

namespace {

constexpr std::string_view Style =
    R"(:root{--pass:#1a7f37;--fail:#c62828;--line:#d0d7de;--muted:#57606a}
body{font:15px/1.5 system-ui,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;color:#1f2328;background:#fff;margin:0 auto;max-width:1200px;padding:1.5em}
h1{font-size:1.6em;margin:0 0 .2em}
h2{font-size:1.25em;margin:1.6em 0 .6em;padding-bottom:.2em;border-bottom:1px solid var(--line)}
h3{font-size:1.05em;margin:0 0 .3em;overflow-wrap:anywhere}
h4{font-size:.95em;margin:0 0 .4em;overflow-wrap:anywhere}
.source{color:var(--muted);margin:0;overflow-wrap:anywhere}
table{border-collapse:collapse}
th,td{border:1px solid var(--line);padding:.3em .6em;text-align:left;vertical-align:top}
thead th{background:#f6f8fa;position:sticky;top:0}
.settings th{font-weight:normal;color:var(--muted)}
.settings td,.documents td{overflow-wrap:anywhere}
.num{text-align:right;white-space:nowrap}
tr.failed{background:#fff5f5}
.verdict{white-space:nowrap}
.passed .verdict,.counts .passed{color:var(--pass)}
.failed .verdict,.counts .failed{color:var(--fail)}
.counts{list-style:none;padding:0;margin:0;display:flex;flex-wrap:wrap;gap:2em}
ul.pairs{margin:0;padding-left:1.2em}
figure{margin:0}
figcaption{color:var(--muted);font-size:.9em}
.histogram{max-width:100%;height:auto}
.histogram .bar{fill:#6e8bb8}
.histogram .bar.over{fill:#cf4040}
.histogram .axis{stroke:#8c959f;stroke-width:1}
.histogram text{font-size:11px;fill:var(--muted)}
.histogram line.limit{stroke:var(--fail);stroke-width:2;stroke-dasharray:5 3}
.histogram text.limit{font-size:12px;fill:var(--fail)}
section.pair{border:1px solid var(--line);border-radius:6px;padding:1em;margin:1em 0}
.pair-nav{margin:0 0 .8em;overflow-wrap:anywhere}
.texts{display:grid;grid-template-columns:1fr 1fr;gap:1em}
@media (max-width:800px){.texts{grid-template-columns:1fr}}
.text{min-width:0}
.body{white-space:pre-wrap;overflow-wrap:anywhere;font-family:Georgia,"DejaVu Serif",serif;max-height:36em;overflow:auto;border:1px solid var(--line);padding:.6em;background:#fcfcfc}
.fragment+.fragment{margin-top:.8em;padding-top:.8em;border-top:1px dashed var(--line)}
.gap{color:#8c959f}
mark{background:#ffe58a;color:inherit;text-decoration:underline #b08800}
.swap{color:var(--fail);text-decoration:underline wavy var(--fail)}
.common{color:#8c959f}
ol.families{padding-left:1.4em}
ol.families li{margin:.3em 0}
.reference{color:var(--muted)}
.note{margin:.4em 0 0;color:var(--muted);font-size:.9em}
.error{color:var(--fail)}
@media print{.body{max-height:none;overflow:visible}thead th{position:static}}
)";

void appendNumber(long long number, std::string& html) {
    html += std::to_string(number);
}

/// "да" or "нет".
std::string_view yesNo(bool value) {
    return value ? "да" : "нет";
}

std::string_view saveModeText(SaveMode mode) {
    switch (mode) {
    case SaveMode::None:
        return "не сохранялись (на диске ничего не менялось)";
    case SaveMode::Move:
        return "перемещены в каталог результатов";
    case SaveMode::Copy:
        return "скопированы в каталог результатов";
    }
    return {};
}

void appendSetting(std::string_view caption, std::string_view valueHtml, std::string& html) {
    html += "<tr><th scope=\"row\">";
    html += caption;
    html += "</th><td>";
    html += valueHtml;
    html += "</td></tr>\n";
}

/// The anchors of document `index`'s row in the table and of its section,
/// numbered as the table numbers the rows.
std::string rowId(std::int32_t index) {
    return "row-" + std::to_string(index + 1);
}

std::string familyId(std::int32_t number) {
    return "family-" + std::to_string(number);
}

std::string sectionId(std::int32_t index) {
    return "text-" + std::to_string(index + 1);
}

/// A name of the report, escaped as ReportName does for HTML.
void appendName(const QString& name, std::string& html) {
    HtmlText::append(ReportName::htmlText(name), html);
}

/// Bytes [begin, end) of `text`, each letter a disguise changed marked.
void appendLetters(const TextWords& text, std::size_t begin, std::size_t end, std::string& html) {
    const std::string_view bytes = text.text;
    const std::vector<std::size_t>& letters = text.disguisedLetters;
    std::size_t at = begin;
    for (auto letter = std::lower_bound(letters.begin(), letters.end(), begin);
         letter != letters.end() && *letter < end; ++letter) {
        HtmlText::appendCp1251(bytes.substr(at, *letter - at), html);
        html += "<span class=\"swap\">";
        HtmlText::appendCp1251(bytes.substr(*letter, 1), html);
        html += "</span>";
        at = *letter + 1;
    }
    HtmlText::appendCp1251(bytes.substr(at, end - at), html);
}

/// The passage of `list` that holds byte `at`, from `from` on (both in text
/// order); list.end() when none does.
std::vector<Passage>::const_iterator passageAt(const std::vector<Passage>& list,
                                               std::vector<Passage>::const_iterator from,
                                               std::size_t at) {
    while (from != list.end() && from->end <= at)
        ++from;
    return from;
}

/// Bytes [begin, end) of `text` split where a shared or a common passage
/// starts or ends, each piece marked as what it lies in.
void appendMarked(const TextWords& text, const TextExcerpt::Fragment& fragment,
                  const std::vector<Passage>& shared, const std::vector<Passage>& common,
                  std::string& html) {
    auto nextShared = shared.begin();
    auto nextCommon = common.begin();
    for (std::size_t at = fragment.begin; at < fragment.end;) {
        nextShared = passageAt(shared, nextShared, at);
        nextCommon = passageAt(common, nextCommon, at);
        const bool inShared = nextShared != shared.end() && nextShared->begin <= at;
        const bool inCommon = nextCommon != common.end() && nextCommon->begin <= at;
        std::size_t end = fragment.end;
        if (nextShared != shared.end())
            end = std::min(end, inShared ? nextShared->end : nextShared->begin);
        if (nextCommon != common.end())
            end = std::min(end, inCommon ? nextCommon->end : nextCommon->begin);
        html += inShared ? "<mark>" : "";
        html += inCommon ? "<span class=\"common\">" : "";
        appendLetters(text, at, end, html);
        html += inCommon ? "</span>" : "";
        html += inShared ? "</mark>" : "";
        at = end;
    }
}

std::string escapedPath(const QByteArray& path) {
    return HtmlText::escaped(ReportName::text(path, ControlEscape::Html));
}

} // namespace

HtmlReport::HtmlReport(const Report& report, const BatchEngine& engine, std::size_t textBudget)
    : m_report(report)
    , m_engine(engine)
    , m_textBudget(textBudget) {}

QByteArray HtmlReport::render() const {
    std::string html;
    html.reserve(64 * 1024 + m_report.rows().size() * 256);
    appendHead(html);
    html += "<body>\n<header>\n<h1>Отчёт о проверке</h1>\n<p class=\"source\">";
    html += escapedPath(m_report.options().sourcePath());
    html += "</p>\n</header>\n<main>\n";
    appendSettings(html);
    appendCounts(html);
    appendHistogram(html);
    appendTable(html);
    appendFamilies(html);
    appendPairs(html);
    html += "</main>\n</body>\n</html>\n";
    return QByteArray::fromStdString(html);
}

void HtmlReport::appendHead(std::string& html) const {
    html += "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<title>Отчёт о проверке: ";
    html += escapedPath(m_report.options().sourcePath());
    html += "</title>\n<style>\n";
    html += Style;
    html += "</style>\n</head>\n";
}

void HtmlReport::appendSettings(std::string& html) const {
    const CliOptions& options = m_report.options();
    html += "<section aria-labelledby=\"settings\">\n<h2 id=\"settings\">Настройки</h2>\n"
            "<table class=\"settings\">\n";
    appendSetting("Каталог с текстами для сравнения", escapedPath(options.sourcePath()), html);
    appendSetting("Каталог с текстами, успешно прошедшими сравнение",
                  escapedPath(options.outputPath()), html);
    appendSetting("Длина шингла, слов", std::to_string(options.shingleLength()), html);
    appendSetting("Допустимый процент совпадений", std::to_string(m_report.allowedPercent()) + "%",
                  html);
    appendSetting("Лемматизировать слова", yesNo(options.truncation() == Truncation::On), html);
    appendSetting("Отбрасывать HTML", yesNo(options.htmlHandling() == HtmlHandling::Cut), html);
    appendSetting("Распознавать подмену символов", yesNo(options.unmask() == Unmask::On), html);
    const CommonTextSettings& common = m_report.commonText();
    appendSetting("Шаблон (не учитывать)",
                  common.templatePath.isEmpty() ? std::string("нет")
                                                : escapedPath(common.templatePath),
                  html);
    appendSetting("Не учитывать фрагменты, общие для",
                  common.commonPercent > 0 ? std::to_string(common.commonPercent) + "% текстов"
                                           : std::string("нет"),
                  html);
    appendSetting("Прошедшие проверку тексты", saveModeText(options.saveMode()), html);
    if (m_report.pairCount() > 0) {
        appendSetting("Похожих текстов в таблице, не больше", std::to_string(m_report.pairCount()),
                      html);
    }
    html += "</table>\n</section>\n";
}

void HtmlReport::appendCounts(std::string& html) const {
    html += "<section aria-labelledby=\"counts\">\n<h2 id=\"counts\">Итоги</h2>\n"
            "<ul class=\"counts\">\n<li>Загружено текстов: <b>";
    appendNumber(static_cast<long long>(m_report.rows().size()), html);
    html += "</b></li>\n<li class=\"passed\">✓ Прошло: <b>";
    appendNumber(m_report.passedCount(), html);
    html += "</b></li>\n<li class=\"failed\">✗ Не прошло: <b>";
    appendNumber(m_report.failedCount(), html);
    html += "</b></li>\n";
    if (!m_report.unreadRows().empty()) {
        html += "<li class=\"unread\">Не прочитано: <b>";
        appendNumber(static_cast<long long>(m_report.unreadRows().size()), html);
        html += "</b></li>\n";
    }
    html += "</ul>\n</section>\n";
}

void HtmlReport::appendHistogram(std::string& html) const {
    // The plot spans 600 units, 6 to a percent, 30 to a bin of five.
    constexpr int Left = 48;
    constexpr int Top = 40;
    constexpr int PlotWidth = 600;
    constexpr int PlotHeight = 180;
    constexpr int Width = Left + PlotWidth + 20;
    constexpr int Height = Top + PlotHeight + 40;
    constexpr int UnitsPerPercent = PlotWidth / 100;
    constexpr int BinUnits = PlotWidth / ScoreHistogram::BinCount;
    const int baseline = Top + PlotHeight;

    const ScoreHistogram histogram = ScoreHistogram::of(m_engine.documents());
    const int largest = std::max(histogram.largestBin(), 1);
    const int percent = std::clamp(m_report.allowedPercent(), 0, 100);

    html += "<section aria-labelledby=\"histogram\">\n<h2 id=\"histogram\">Распределение "
            "оценок</h2>\n<figure>\n<svg class=\"histogram\" xmlns=\"http://www.w3.org/2000/svg\" "
            "role=\"img\" aria-labelledby=\"histogram-title\" viewBox=\"0 0 " +
            std::to_string(Width) + ' ' + std::to_string(Height) + "\" width=\"" +
            std::to_string(Width) + "\" height=\"" + std::to_string(Height) + "\">\n";
    html += "<title id=\"histogram-title\">Число текстов по оценке, шаг 5%: всего " +
            std::to_string(histogram.total) + ", допустимый процент " + std::to_string(percent) +
            "%</title>\n";
    for (int bin = 0; bin < ScoreHistogram::BinCount; ++bin) {
        const int count = histogram.bins[static_cast<std::size_t>(bin)];
        const int low = ScoreHistogram::lowestScore(bin);
        const int high = ScoreHistogram::highestScore(bin);
        const int height = count == 0 ? 0 : std::max(1, count * PlotHeight / largest);
        const int x = Left + bin * BinUnits;
        // A bin whose lowest score is above the percentage holds failed texts only.
        html += std::string("<rect class=\"") + (low > percent ? "bar over" : "bar") + "\" x=\"" +
                std::to_string(x + 2) + "\" y=\"" + std::to_string(baseline - height) +
                "\" width=\"" + std::to_string(BinUnits - 4) + "\" height=\"" +
                std::to_string(height) + "\"><title>" + std::to_string(low) + "–" +
                std::to_string(high) + "%: " + std::to_string(count) + "</title></rect>\n";
        if (count > 0) {
            html += "<text x=\"" + std::to_string(x + BinUnits / 2) + "\" y=\"" +
                    std::to_string(baseline - height - 4) + "\" text-anchor=\"middle\">" +
                    std::to_string(count) + "</text>\n";
        }
    }
    html += "<line class=\"axis\" x1=\"" + std::to_string(Left) + "\" y1=\"" +
            std::to_string(baseline) + "\" x2=\"" + std::to_string(Left + PlotWidth) + "\" y2=\"" +
            std::to_string(baseline) + "\"/>\n";
    html += "<line class=\"axis\" x1=\"" + std::to_string(Left) + "\" y1=\"" + std::to_string(Top) +
            "\" x2=\"" + std::to_string(Left) + "\" y2=\"" + std::to_string(baseline) + "\"/>\n";
    html += "<text x=\"" + std::to_string(Left - 6) + "\" y=\"" + std::to_string(Top + 4) +
            "\" text-anchor=\"end\">" + std::to_string(largest) + "</text>\n";
    html += "<text x=\"" + std::to_string(Left - 6) + "\" y=\"" + std::to_string(baseline + 4) +
            "\" text-anchor=\"end\">0</text>\n";
    for (int value = 0; value <= 100; value += 10) {
        html += "<text x=\"" + std::to_string(Left + value * UnitsPerPercent) + "\" y=\"" +
                std::to_string(baseline + 16) + "\" text-anchor=\"middle\">" +
                std::to_string(value) + "</text>\n";
    }
    html += "<text x=\"" + std::to_string(Left + PlotWidth / 2) + "\" y=\"" +
            std::to_string(Height - 6) + "\" text-anchor=\"middle\">оценка, %</text>\n";

    // A score passes when it is at most the percentage: the line stands
    // between the percentage and the next whole score.
    const int limitX = Left + std::min(percent + 1, 100) * UnitsPerPercent;
    const std::string_view anchor = limitX < Left + 90               ? "start"
                                    : limitX > Left + PlotWidth - 90 ? "end"
                                                                     : "middle";
    html += "<line class=\"limit\" x1=\"" + std::to_string(limitX) + "\" y1=\"" +
            std::to_string(Top - 16) + "\" x2=\"" + std::to_string(limitX) + "\" y2=\"" +
            std::to_string(baseline) + "\"/>\n";
    html += "<text class=\"limit\" x=\"" + std::to_string(limitX) + "\" y=\"" +
            std::to_string(Top - 22) + "\" text-anchor=\"" + std::string(anchor) +
            "\">допустимо до " + std::to_string(percent) + "%</text>\n";
    html += "</svg>\n<figcaption>Число текстов по оценке, шаг 5%. Тексты с оценкой не выше "
            "допустимого процента (линия) прошли проверку.</figcaption>\n</figure>\n</section>\n";
}

void HtmlReport::appendTable(std::string& html) const {
    html += "<section aria-labelledby=\"documents\">\n<h2 id=\"documents\">Тексты</h2>\n"
            "<table class=\"documents\">\n<thead>\n<tr><th scope=\"col\">№</th>"
            "<th scope=\"col\">Файл</th><th scope=\"col\">Оценка</th>"
            "<th scope=\"col\">Результат</th><th scope=\"col\">Наибольшее совпадение</th>";
    if (m_report.pairCount() > 0)
        html += "<th scope=\"col\">Похожие тексты</th>";
    if (m_report.options().saveMode() != SaveMode::None)
        html += "<th scope=\"col\">Сохранение (saved)</th>";
    html += "<th scope=\"col\">Формат</th><th scope=\"col\">Замаскированные слова</th>"
            "<th scope=\"col\">Семья</th></tr>\n</thead>\n<tbody>\n";
    const auto count = static_cast<std::int32_t>(m_report.rows().size());
    for (std::int32_t index = 0; index < count; ++index)
        appendRow(index, html);
    for (const Report::UnreadRow& row : m_report.unreadRows()) {
        html += "<tr class=\"unread\"><td class=\"num\">—</td><td>";
        appendName(row.file, html);
        html += "</td><td class=\"num\">—</td><td class=\"verdict\">не прочитан: ";
        HtmlText::append(row.reason, html);
        html += "</td><td>—</td>";
        if (m_report.pairCount() > 0)
            html += "<td>—</td>";
        if (m_report.options().saveMode() != SaveMode::None)
            html += "<td class=\"saved\">—</td>";
        html += "<td>";
        HtmlText::append(row.format, html);
        html += "</td><td class=\"num\">—</td><td class=\"num\">—</td></tr>\n";
    }
    html += "</tbody>\n</table>\n";
    if (count == 0)
        html += "<p>Ни одного текста не загружено.</p>\n";
    html += "</section>\n";
}

void HtmlReport::appendRow(std::int32_t index, std::string& html) const {
    const Report::Row& row = m_report.rows()[static_cast<std::size_t>(index)];
    html += "<tr id=\"" + rowId(index) + "\" class=\"" + (row.passed ? "passed" : "failed") +
            "\"><td class=\"num\">" + std::to_string(index + 1) + "</td><td>";
    if (row.passed) {
        appendName(row.file, html);
    } else {
        html += "<a href=\"#" + sectionId(index) + "\">";
        appendName(row.file, html);
        html += "</a>";
    }
    html += "</td><td class=\"num\">" + std::to_string(row.score) + "%</td><td class=\"verdict\">";
    html += row.passed ? "✓ Прошло" : "✗ Не прошло";
    if (row.onlyCommon)
        html += " (только общий текст)";
    html += "</td><td>";
    if (row.bestMatchIndex >= 0)
        appendDocumentLink(row.bestMatchIndex, html);
    else if (!row.bestMatch.isEmpty())
        appendName(row.bestMatch, html);
    else
        html += "—";
    html += "</td>";
    if (m_report.pairCount() > 0) {
        html += "<td>";
        if (row.pairs.empty()) {
            html += "—";
        } else {
            html += "<ul class=\"pairs\">";
            for (const Report::RankedFile& pair : row.pairs) {
                html += "<li>";
                if (pair.document >= 0)
                    appendDocumentLink(pair.document, html);
                else
                    appendName(pair.file, html);
                html += " — " + std::to_string(pair.score) + "%</li>";
            }
            html += "</ul>";
        }
        html += "</td>";
    }
    if (m_report.options().saveMode() != SaveMode::None) {
        html += "<td class=\"saved\">";
        HtmlText::append(row.saved, html);
        html += "</td>";
    }
    html += "<td>";
    HtmlText::append(Report::originText(row), html);
    html += "</td><td class=\"num disguised\">";
    if (row.disguisedWords > 0)
        appendNumber(row.disguisedWords, html);
    html += "</td><td class=\"num family\">";
    if (row.family > 0)
        html += "<a href=\"#" + familyId(row.family) + "\">" + std::to_string(row.family) + "</a>";
    html += "</td></tr>\n";
}

void HtmlReport::appendFamilies(std::string& html) const {
    const std::vector<Family>& families = m_report.families();
    if (families.empty())
        return;
    // The largest first; a family's number stays the one the table shows.
    std::vector<std::size_t> order(families.size());
    for (std::size_t f = 0; f < order.size(); ++f)
        order[f] = f;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return families[a].members.size() > families[b].members.size();
    });
    html += "<section aria-labelledby=\"families\">\n<h2 id=\"families\">Семьи копий</h2>\n"
            "<p class=\"note\">Тексты, связанные оценками выше допустимого процента: каждый "
            "не прошедший проверку текст — со своим наибольшим совпадением.</p>\n"
            "<ol class=\"families\">\n";
    for (const std::size_t f : order)
        appendFamily(static_cast<std::int32_t>(f + 1), families[f], html);
    html += "</ol>\n</section>\n";
}

void HtmlReport::appendFamily(std::int32_t number, const Family& family, std::string& html) const {
    html += "<li id=\"" + familyId(number) + "\" value=\"" + std::to_string(number) +
            "\"><b>Семья " + std::to_string(number) + "</b>: текстов — " +
            std::to_string(family.members.size()) + ", наибольшая оценка — " +
            std::to_string(family.highestScore) + "%. ";
    bool first = true;
    for (const std::int32_t member : family.members) {
        html += first ? "" : ", ";
        first = false;
        const std::int32_t row = m_report.rowOfDocument(member);
        if (row < 0) {
            html += "<span class=\"reference\">";
            appendName(m_report.documentName(member), html);
            html += " (эталон)</span>";
        } else if (!m_report.rows()[static_cast<std::size_t>(row)].passed) {
            html += "<a href=\"#" + sectionId(row) + "\">" + std::to_string(row + 1) + ". ";
            appendName(m_report.rows()[static_cast<std::size_t>(row)].file, html);
            html += "</a>";
        } else {
            appendDocumentLink(row, html);
        }
    }
    html += "</li>\n";
}

void HtmlReport::appendDocumentLink(std::int32_t index, std::string& html) const {
    html += "<a href=\"#" + rowId(index) + "\">" + std::to_string(index + 1) + ". ";
    if (index >= 0 && static_cast<std::size_t>(index) < m_report.rows().size())
        appendName(m_report.rows()[static_cast<std::size_t>(index)].file, html);
    html += "</a>";
}

void HtmlReport::appendPairs(std::string& html) const {
    html += "<section aria-labelledby=\"passages\">\n<h2 id=\"passages\">Совпадения текстов, "
            "не прошедших проверку</h2>\n";
    if (m_report.failedCount() == 0)
        html += "<p>Все тексты прошли проверку.</p>\n";
    const std::size_t start = html.size();
    bool withTexts = true;
    const auto count = static_cast<std::int32_t>(m_report.rows().size());
    for (std::int32_t index = 0; index < count; ++index) {
        if (m_report.rows()[static_cast<std::size_t>(index)].passed)
            continue;
        if (withTexts && html.size() - start >= m_textBudget) {
            withTexts = false;
            html += "<p class=\"note\" id=\"over-budget\">Отчёт уже велик: у остальных текстов "
                    "показано только, с каким текстом они совпали. Их совпадения видны в окне "
                    "программы (двойной щелчок по строке таблицы результатов).</p>\n";
        }
        appendPair(index, withTexts, html);
    }
    html += "</section>\n";
}

void HtmlReport::appendPair(std::int32_t index, bool withTexts, std::string& html) const {
    const Report::Row& row = m_report.rows()[static_cast<std::size_t>(index)];
    const std::string id = sectionId(index);
    html += "<section class=\"pair\" id=\"" + id + "\" aria-labelledby=\"" + id + "-title\">\n";
    html += "<h3 id=\"" + id + "-title\">" + std::to_string(index + 1) + ". ";
    appendName(row.file, html);
    html += " — " + std::to_string(row.score) + "%</h3>\n<p class=\"pair-nav\">";
    if (row.bestMatchDocument >= 0) {
        html += "Наибольшее совпадение: ";
        if (row.bestMatchIndex >= 0)
            appendDocumentLink(row.bestMatchIndex, html);
        else
            appendName(row.bestMatch, html);
        html += ". ";
    }
    html += "<a href=\"#" + rowId(index) + "\">К строке таблицы</a></p>\n";
    if (row.bestMatchDocument < 0) {
        html += "<p class=\"error\">Нет текста, с которым его сравнить.</p>\n</section>\n";
        return;
    }
    if (!withTexts) {
        html += "</section>\n";
        return;
    }

    DocumentPair pair;
    try {
        pair = DocumentPair::load(m_engine, row.document, row.bestMatchDocument);
    } catch (const PairError& error) {
        html += "<p class=\"error\" role=\"alert\">";
        HtmlText::appendUtf8(error.what(), html);
        html += "</p>\n</section>\n";
        return;
    }
    html += "<div class=\"texts\">\n<div class=\"text current\">\n<h4>Проверяемый текст: ";
    appendName(row.file, html);
    html += "</h4>\n";
    appendText(pair.current, pair.passages.current, pair.commonCurrent, html);
    html += "</div>\n<div class=\"text earlier\">\n<h4>Ранее: ";
    appendName(row.bestMatch, html);
    html += "</h4>\n";
    if (pair.earlierArchived)
        html += "<p class=\"note\">Текст из общего архива: архив хранит его отпечаток, а не сам "
                "текст.</p>";
    else
        appendText(pair.earlier, pair.passages.earlier, pair.commonEarlier, html);
    html += "</div>\n</div>\n</section>\n";
}

void HtmlReport::appendText(const TextWords& text, const std::vector<Passage>& passages,
                            const std::vector<Passage>& common, std::string& html) {
    const TextExcerpt excerpt = TextExcerpt::of(text, passages);
    const std::string_view bytes = text.text;
    // The body keeps the text's own line breaks and spaces: no markup
    // whitespace may come between its elements.
    html += "<div class=\"body\">";
    for (const TextExcerpt::Fragment& fragment : excerpt.fragments) {
        html += "<div class=\"fragment\">";
        if (fragment.begin > 0)
            html += "<span class=\"gap\">… </span>";
        appendMarked(text, fragment, passages, common, html);
        if (fragment.end < bytes.size())
            html += "<span class=\"gap\"> …</span>";
        html += "</div>";
    }
    html += "</div>\n<p class=\"note\">";
    if (bytes.empty()) {
        html += "Текст пуст.";
    } else {
        html += "Совпадающих фрагментов: " + std::to_string(passages.size()) + '.';
        const bool whole = excerpt.fragments.size() == 1 && excerpt.fragments[0].begin == 0 &&
                           excerpt.fragments[0].end == bytes.size();
        if (!whole)
            html += " Текст длинный: показаны они и по " +
                    std::to_string(TextExcerpt::ContextWords) + " слов вокруг.";
        if (excerpt.shortened)
            html += " Дальше не показано: из одного текста отчёт берёт не больше " +
                    std::to_string(TextExcerpt::MaxShownBytes / 1024) + " КБ.";
        if (!common.empty())
            html += " Серым — общий текст, который оценка не учитывает.";
        if (!text.disguisedLetters.empty())
            html += " Подменённые буквы (латинские вместо русских, после невидимых символов) "
                    "подчёркнуты волнистой линией: " +
                    std::to_string(text.disguisedLetters.size()) + '.';
    }
    html += "</p>\n";
}

} // namespace quillmark
