// Text the batch's articles share left out of the scores: the common hashes
// against counting each hash, scores against a model that strips the
// shingles and scores by the definition, templates in every readable form,
// texts made of nothing else, and a batch whose template would fail it all.
#include "FakeHost.h"
#include "Sandbox.h"
#include "engine/BatchEngine.h"
#include "engine/CommonText.h"
#include "engine/TextFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

namespace quillmark::test {
namespace {

/// Hashes held by at least `percent`% of the lists and three of them, by
/// counting the lists that hold each.
std::vector<std::uint32_t> modelCommon(const std::vector<TudShingleList>& lists, int percent) {
    std::map<std::uint32_t, std::int64_t> holders;
    for (const TudShingleList& list : lists)
        for (const std::uint32_t hash : std::set(list.Hashes.begin(), list.Hashes.end()))
            ++holders[hash];
    std::vector<std::uint32_t> common;
    const auto total = static_cast<double>(lists.size());
    for (const auto& [hash, count] : holders)
        if (percent > 0 && count >= 3 && count * 100.0 >= percent * total)
            common.push_back(hash);
    return common;
}

TEST(CommonHashes, AreThoseEnoughTextsHold) {
    std::mt19937 random(25);
    for (const std::size_t texts : {0u, 2u, 3u, 7u, 40u}) {
        std::vector<TudShingleList> lists(texts);
        for (TudShingleList& list : lists) {
            // Few distinct values, repeats within a text: shared and repeated hashes.
            const std::size_t size = random() % 30;
            for (std::size_t i = 0; i < size; ++i)
                list.Hashes.push_back(random() % 3 == 0 ? 0xFFFF0000u + random() % 8
                                                        : random() % 40);
            list.Count = static_cast<std::int32_t>(list.Hashes.size());
        }
        for (const int percent : {0, 1, 10, 33, 50, 100}) {
            SCOPED_TRACE(std::to_string(texts) + " texts, " + std::to_string(percent) + "%");
            EXPECT_EQ(CommonText::commonHashes(lists, percent), modelCommon(lists, percent));
        }
    }
}

class CommonTextRun : public ::testing::Test {
protected:
    void SetUp() override {
        src = box.makeDir(QStringLiteral("src"));
        tpl = box.makeDir(QStringLiteral("template"));
        host.source = src;
        host.output = box.path(QStringLiteral("out/"));
        host.mode = SaveMode::None;
    }

    TudShingleList shinglesOf(const QByteArray& path) const {
        const TextReader::Result read = TextFile::load(path, HtmlHandling::Keep, Encoding::Auto);
        TudShingleList list;
        ShinglesFromText(read.text, host.truncationSwitch, HtmlHandling::Keep, host.shingleLen,
                         list);
        return list;
    }

    /// The batch's scores with the shingles `removed` holds taken out of
    /// every text: each text against every earlier one, 0 for a text left
    /// with none.
    std::vector<std::int32_t> modelScores(const std::set<std::uint32_t>& removed) const {
        std::vector<TudShingleList> lists;
        for (const QByteArray& name : Sandbox::names(src)) {
            TudShingleList list = shinglesOf(QFile::encodeName(src) + name);
            std::erase_if(list.Hashes, [&](std::uint32_t hash) { return removed.count(hash); });
            list.Count = static_cast<std::int32_t>(list.Hashes.size());
            lists.push_back(std::move(list));
        }
        std::vector<std::int32_t> scores;
        for (std::size_t k = 0; k < lists.size(); ++k) {
            std::int32_t best = 0;
            for (std::size_t e = 0; e < k && lists[k].Count > 0; ++e)
                if (lists[e].Count > 0)
                    best = std::max(best, MatchPercent(lists[e], lists[k]));
            scores.push_back(best);
        }
        return scores;
    }

    std::set<std::uint32_t> hashesOf(const QByteArray& path) const {
        const TudShingleList list = shinglesOf(path);
        return {list.Hashes.begin(), list.Hashes.end()};
    }

    /// Articles of their own words, each opened by the same `shared` words,
    /// and a copy of the first last.
    void writeSiteBatch(const QByteArray& shared, int articles) {
        for (int i = 0; i < articles; ++i)
            box.write(src, "a" + QByteArray::number(i) + ".txt",
                      shared + "\n" + wordsText(100 + static_cast<unsigned>(i), 120));
        box.write(src, "z_copy.txt", Sandbox::read(src, "a0.txt"));
    }

    std::int32_t indexOf(const QByteArray& name) const {
        const std::vector<QByteArray>& names = engine.documents().names;
        return static_cast<std::int32_t>(std::find(names.begin(), names.end(), name) -
                                         names.begin());
    }

    Sandbox box;
    QString src;
    QString tpl;
    FakeHost host;
    BatchEngine engine{host};
};

TEST_F(CommonTextRun, ScoresAreThoseOfTheTextsWithoutTheLeftOutShingles) {
    const QByteArray shared = wordsText(7, 150);
    writeSiteBatch(shared, 6);
    box.write(src, "b_only_template.txt", shared);
    box.write(tpl, "site.txt", shared);
    struct Case {
        const char* what;
        QByteArray templateFile;
        int common;
    };
    const Case cases[] = {
        {"nothing left out", {}, 0},
        {"a template", QFile::encodeName(tpl) + "site.txt", 0},
        {"common to half", {}, 50},
        {"both", QFile::encodeName(tpl) + "site.txt", 90},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        host.templateFile = test.templateFile;
        host.commonShare = test.common;
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        const DocumentTable& table = engine.documents();
        const std::set<std::uint32_t> removed(table.removedHashes.begin(),
                                              table.removedHashes.end());
        EXPECT_EQ(table.scores, modelScores(removed));
        if (!test.templateFile.isEmpty()) {
            const std::set<std::uint32_t> fromTemplate = hashesOf(test.templateFile);
            EXPECT_TRUE(std::includes(removed.begin(), removed.end(), fromTemplate.begin(),
                                      fromTemplate.end()));
        }
        // Only the last text, a copy, fails once the shared words are out.
        const int failing = static_cast<int>(
            std::count_if(table.scores.begin(), table.scores.end(), [](int s) { return s > 20; }));
        EXPECT_EQ(failing, test.templateFile.isEmpty() && test.common == 0 ? table.count() - 1 : 1);
        EXPECT_EQ(table.scores.back(), 100);
        const bool leftOut = !removed.empty();
        EXPECT_EQ(table.onlyCommonText(indexOf("b_only_template.txt")), leftOut);
        EXPECT_EQ(host.messages().contains(QStringLiteral("Текст «b_only_template.txt»: только "
                                                          "общий текст")),
                  leftOut);
    }
}

TEST_F(CommonTextRun, ATemplateIsReadInAnyFormatTheBatchIs) {
    const QStringList words =
        QStringLiteral("редакция сайта напоминает что перепечатка материалов разрешена только "
                       "со ссылкой на источник и с согласия авторов статей")
            .split(u' ');
    const QString shared = words.join(u' ');
    for (int i = 0; i < 4; ++i)
        box.write(src, "a" + QByteArray::number(i) + ".txt",
                  shared.toUtf8() + "\n" + wordsText(10 + static_cast<unsigned>(i), 60));
    QByteArray utf16 = "\xFF\xFE";
    for (const QChar c : shared)
        utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);
    const std::pair<QByteArray, QByteArray> forms[] = {
        {"utf8.txt", shared.toUtf8()},
        {"cp1251.txt", QByteArray::fromStdString(TextFile::toText(shared.toStdString()))},
        {"utf16.txt", utf16},
        {"page.html", "<html><body><p>" + shared.toUtf8() + "</p></body></html>"},
    };
    engine.startOrStopRun();
    const std::vector<std::int32_t> whole = engine.documents().scores;
    EXPECT_GT(*std::max_element(whole.begin(), whole.end()), 20);
    std::vector<std::int32_t> expected;
    for (const auto& [name, bytes] : forms) {
        SCOPED_TRACE(name.constData());
        box.write(tpl, name, bytes);
        host.templateFile = QFile::encodeName(tpl) + name;
        engine.startOrStopRun();
        ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
        if (expected.empty())
            expected = engine.documents().scores;
        EXPECT_EQ(engine.documents().scores, expected);
    }
    EXPECT_LE(*std::max_element(expected.begin(), expected.end()), 20);

    // Two files overlapping by two words hold every window of the text.
    const QString dir = box.makeDir(QStringLiteral("dir"));
    box.write(dir, "first.txt", words.mid(0, 10).join(u' ').toUtf8());
    box.write(dir, "picture.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(32, '\0'));
    box.write(dir, "second.txt", words.mid(7).join(u' ').toUtf8());
    host.templateFile = QFile::encodeName(dir);
    engine.startOrStopRun();
    ASSERT_EQ(engine.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(engine.documents().scores, expected);
    EXPECT_EQ(
        host.messages().filter(QStringLiteral("Файл шаблона \"picture.png\" не прочитан")).size(),
        1);
}

TEST_F(CommonTextRun, ATemplateWithoutTextStopsTheRunBeforeComparing) {
    box.write(src, "a.txt", wordsText(1, 50));
    box.write(tpl, "picture.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(32, '\0'));
    const QString empty = box.makeDir(QStringLiteral("empty"));
    const std::pair<QByteArray, const char*> cases[] = {
        {QFile::encodeName(box.path(QStringLiteral("missing.txt"))), "не найден"},
        {QFile::encodeName(tpl) + "picture.png", "не прочитан"},
        {QFile::encodeName(empty), "нет текста"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(reason);
        host.errors.clear();
        host.templateFile = path;
        engine.startOrStopRun();
        EXPECT_EQ(engine.lastOutcome(), RunOutcome::LoadFailed);
        ASSERT_EQ(host.errors.size(), 1);
        EXPECT_TRUE(host.errors[0].contains(QString::fromUtf8(reason)))
            << host.errors[0].toStdString();
        EXPECT_EQ(engine.documents().comparedCount, 0);
    }
}

} // namespace
} // namespace quillmark::test
