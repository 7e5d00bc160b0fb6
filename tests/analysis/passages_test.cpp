// The words behind a fingerprint and the passages two texts share: the words
// must give the very fingerprint the score used, each word must point at its
// place in the text as read, and the highlighted runs must be exact.
#include "Win1251.h"
#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <random>

namespace quillmark {
namespace {

using testing::cp;

TextWords wordsOf(std::string_view text, int length, Truncation truncation = Truncation::Off,
                  HtmlHandling html = HtmlHandling::Keep) {
    return WordsOfText(text, truncation, html, length);
}

/// The text of each passage, as UTF-8.
std::vector<std::string> passageTexts(const TextWords& text, const std::vector<Passage>& passages) {
    std::vector<std::string> texts;
    for (const Passage& passage : passages) {
        EXPECT_EQ(passage.begin, text.words[static_cast<std::size_t>(passage.firstWord)].begin);
        EXPECT_EQ(passage.end, text.words[static_cast<std::size_t>(passage.endWord - 1)].end);
        texts.push_back(
            testing::utf8(text.text.substr(passage.begin, passage.end - passage.begin)));
    }
    return texts;
}

std::string wordAt(const TextWords& text, std::int32_t word) {
    const WordSpan span = text.words.at(static_cast<std::size_t>(word));
    return testing::utf8(text.text.substr(span.begin, span.end - span.begin));
}

using Texts = std::vector<std::string>;

TEST(WordsOfText, GivesTheFingerprintOfShinglesFromText) {
    std::mt19937 random(6);
    // Short words, both cases, CR LF pairs inside and between words, stray
    // CRs and LFs, punctuation, HTML tags.
    const std::vector<std::string> pieces = {
        cp("Мама"), cp("мыла"), cp("раму"), cp("ПРОВЕРКА"), "abc", "x",   "1",    "_",
        " ",        ",",        "\r\n",     "\r",           "\n",  "<p>", "</p>", "&amp;"};
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % pieces.size()];
        for (int length : {0, 1, 2, 3, 7}) {
            for (Truncation truncation : {Truncation::Off, Truncation::On}) {
                for (HtmlHandling html : {HtmlHandling::Keep, HtmlHandling::Cut}) {
                    TudShingleList expected;
                    ShinglesFromText(text, truncation, html, length, expected);
                    const TextWords words = wordsOf(text, length, truncation, html);
                    ASSERT_EQ(words.shingles.Hashes, expected.Hashes)
                        << "round " << round << ", L " << length;
                    ASSERT_EQ(words.shingles.Count, expected.Count);
                }
            }
        }
    }
}

TEST(WordsOfText, EachWordPointsAtItsPlaceInTheText) {
    const std::string text = cp("  Мама, мы\r\nла РАМУ!\r\rok_1\n");
    const TextWords words = wordsOf(text, 2, Truncation::On);
    ASSERT_EQ(words.words.size(), 4u);
    EXPECT_EQ(wordAt(words, 0), "Мама");
    // The removed CR LF joined the two halves into one word.
    EXPECT_EQ(wordAt(words, 1), "мы\r\nла");
    EXPECT_EQ(wordAt(words, 2), "РАМУ");
    EXPECT_EQ(wordAt(words, 3), "ok_1");
    EXPECT_EQ(words.text, text);
}

TEST(WordsOfText, CutHtmlPointsIntoTheReadableText) {
    const TextWords words =
        wordsOf(cp("<html><body><p>Первый <b>абзац</b></p><p>второй</p></body></html>"), 1,
                Truncation::Off, HtmlHandling::Cut);
    ASSERT_EQ(words.words.size(), 3u);
    EXPECT_EQ(wordAt(words, 0), "Первый");
    EXPECT_EQ(wordAt(words, 1), "абзац");
    EXPECT_EQ(wordAt(words, 2), "второй");
    EXPECT_EQ(words.text.find('<'), std::string::npos);
}

TEST(WordsOfText, NegativeLengthThrowsBeforeAnyWork) {
    EXPECT_THROW(wordsOf("a b c", -1), std::invalid_argument);
}

TEST(WindowWords, CoverTheWordsEachHashWasTakenOf) {
    const TextWords five = wordsOf("a b c d e", 3);
    ASSERT_EQ(five.shingles.Count, 2);
    EXPECT_EQ(five.windowWords(0), (std::pair<std::int32_t, std::int32_t>{0, 3}));
    EXPECT_EQ(five.windowWords(1), (std::pair<std::int32_t, std::int32_t>{1, 4}));
    // No more words than L: the one hash is of all of them.
    const TextWords two = wordsOf("a b", 3);
    ASSERT_EQ(two.shingles.Count, 1);
    EXPECT_EQ(two.windowWords(0), (std::pair<std::int32_t, std::int32_t>{0, 2}));
    // Windows of no words cover nothing.
    const TextWords none = wordsOf("a b", 0);
    EXPECT_EQ(none.windowWords(1), (std::pair<std::int32_t, std::int32_t>{1, 1}));
}

TEST(FindSharedPassages, CopyWithOneInsertedSentence) {
    const TextWords earlier = wordsOf(
        cp("Осень пришла в город. Листья падают на мокрые тротуары. Дети идут в школу.\r\n"), 3);
    const TextWords current =
        wordsOf(cp("Осень пришла в город. Листья падают. Никто этого не ждал! На мокрые тротуары. "
                   "Дети идут в школу.\r\n"),
                3);
    const SharedPassages shared = FindSharedPassages(earlier, current);
    // The words before the insertion and after it stay shared; the windows
    // that reach into the inserted sentence are new. Both texts end with the
    // same words, which are marked up to the last.
    EXPECT_EQ(
        passageTexts(current, shared.current),
        (Texts{"Осень пришла в город. Листья падают", "На мокрые тротуары. Дети идут в школу"}));
    // Every window of the original but two appears in the copy, and those two
    // cover words that other shared windows cover too.
    EXPECT_EQ(passageTexts(earlier, shared.earlier),
              (Texts{"Осень пришла в город. Листья падают на мокрые тротуары. Дети идут в школу"}));
    EXPECT_EQ(shared.currentAnchor, 0);
    EXPECT_EQ(shared.earlierAnchor, 0);
}

TEST(FindSharedPassages, IgnoredHashesAreNeitherSharedNorAnchors) {
    // Both texts open with the same notice; only the notice and one phrase
    // are shared.
    const std::string notice = "Перепечатка материалов только со ссылкой на сайт. ";
    const TextWords earlier =
        wordsOf(cp(notice + "Осень пришла в город и листья падают на мокрые тротуары.\r\n"), 3);
    const TextWords current =
        wordsOf(cp(notice + "Зима пришла рано. Листья падают на мокрые тротуары.\r\n"), 3);
    const TextWords template_ = wordsOf(cp(notice + "конец"), 3);
    std::vector<std::uint32_t> ignored = template_.shingles.Hashes;
    std::sort(ignored.begin(), ignored.end());

    const SharedPassages all = FindSharedPassages(earlier, current);
    EXPECT_EQ(passageTexts(current, all.current),
              (Texts{"Перепечатка материалов только со ссылкой на сайт",
                     "Листья падают на мокрые тротуары"}));
    EXPECT_EQ(all.currentAnchor, 0);

    const SharedPassages kept = FindSharedPassages(earlier, current, ignored);
    EXPECT_EQ(passageTexts(current, kept.current), (Texts{"Листья падают на мокрые тротуары"}));
    EXPECT_EQ(passageTexts(earlier, kept.earlier), (Texts{"листья падают на мокрые тротуары"}));
    EXPECT_EQ(wordAt(current, kept.currentAnchor), "Листья");
    EXPECT_EQ(wordAt(earlier, kept.earlierAnchor), "листья");
    // The notice is what the ignored windows cover, in each text.
    for (const TextWords* text : {&earlier, &current})
        EXPECT_EQ(passageTexts(*text, PassagesWithHashes(*text, ignored)),
                  (Texts{"Перепечатка материалов только со ссылкой на сайт"}));
}

TEST(FindSharedPassages, RewriteKeepsOnlyTheUnchangedRuns) {
    const TextWords earlier =
        wordsOf(cp("Каждое утро старый рыбак выходил к морю и смотрел на далёкие волны."), 3);
    const TextWords current = wordsOf(
        cp("Каждое утро пожилой рыбак выходил к морю, чтобы смотреть на далёкие волны."), 3);
    const SharedPassages shared = FindSharedPassages(earlier, current);
    EXPECT_EQ(passageTexts(current, shared.current),
              (Texts{"рыбак выходил к морю", "на далёкие волны"}));
    EXPECT_EQ(passageTexts(earlier, shared.earlier),
              (Texts{"рыбак выходил к морю", "на далёкие волны"}));
    EXPECT_EQ(wordAt(current, shared.currentAnchor), "рыбак");
    EXPECT_EQ(wordAt(earlier, shared.earlierAnchor), "рыбак");
}

TEST(FindSharedPassages, TruncatedWordsMatchAndShowWhole) {
    // Truncation makes "проверкой"/"проверка" and "текстом"/"текстов" one word.
    const TextWords earlier = wordsOf(cp("Быстрая проверка текстов завершена"), 2, Truncation::On);
    const TextWords current = wordsOf(cp("Новая проверкой текстом идёт"), 2, Truncation::On);
    const SharedPassages shared = FindSharedPassages(earlier, current);
    EXPECT_EQ(passageTexts(current, shared.current), (Texts{"проверкой текстом"}));
    EXPECT_EQ(passageTexts(earlier, shared.earlier), (Texts{"проверка текстов"}));
}

TEST(FindSharedPassages, AnchorsFindTheSameWindowInBoth) {
    // The first shared window of the current text is "b c d"; the earlier
    // text holds it twice and the view starts at the first.
    const TextWords earlier = wordsOf("q b c d r b c d s", 3);
    const TextWords current = wordsOf("x y z b c d e", 3);
    const SharedPassages shared = FindSharedPassages(earlier, current);
    EXPECT_EQ(shared.currentAnchor, 3);
    EXPECT_EQ(shared.earlierAnchor, 1);
    EXPECT_EQ(passageTexts(current, shared.current), (Texts{"b c d"}));
    EXPECT_EQ(passageTexts(earlier, shared.earlier), (Texts{"b c d", "b c d"}));
}

TEST(FindSharedPassages, LastWordsAreMarkedWhereTheTextsEndAlike) {
    // The last window is hashed as the fingerprint would hash it were a word to follow.
    const TextWords text = wordsOf(cp("Над тихой рекой стоит старый дом."), 3, Truncation::On);
    const TextWords longer =
        wordsOf(cp("Над тихой рекой стоит старый дом. Ещё"), 3, Truncation::On);
    ASSERT_TRUE(text.hasLastWindow);
    EXPECT_EQ(text.lastWindowHash, longer.shingles.Hashes.at(3));
    EXPECT_EQ(text.shingles.Hashes.size(), 3U) << "scores still count only the followed windows";
    // Identical texts are marked whole, and a text ending with another's
    // middle is marked to its end.
    EXPECT_EQ(passageTexts(text, FindSharedPassages(text, text).current),
              (Texts{"Над тихой рекой стоит старый дом"}));
    const TextWords tail = wordsOf(cp("Вот рекой стоит старый"), 3, Truncation::On);
    const SharedPassages shared = FindSharedPassages(text, tail);
    EXPECT_EQ(passageTexts(tail, shared.current), (Texts{"рекой стоит старый"}));
    EXPECT_EQ(passageTexts(text, shared.earlier), (Texts{"рекой стоит старый"}));
    // A text of at most L words has its one window already.
    EXPECT_FALSE(wordsOf("a b c", 3).hasLastWindow);
}

TEST(FindSharedPassages, ShortTextsShareTheirOneHash) {
    const TextWords earlier = wordsOf("Hello, World", 5);
    const TextWords current = wordsOf("hello world!", 5);
    const SharedPassages shared = FindSharedPassages(earlier, current);
    EXPECT_EQ(passageTexts(earlier, shared.earlier), (Texts{"Hello, World"}));
    EXPECT_EQ(passageTexts(current, shared.current), (Texts{"hello world"}));
}

TEST(FindSharedPassages, NothingSharedNothingMarked) {
    const SharedPassages shared = FindSharedPassages(wordsOf("a b c d", 2), wordsOf("e f g h", 2));
    EXPECT_TRUE(shared.earlier.empty());
    EXPECT_TRUE(shared.current.empty());
    EXPECT_EQ(shared.currentAnchor, -1);
    EXPECT_EQ(shared.earlierAnchor, -1);
    // Windows of no words share their hash but cover nothing to show.
    const SharedPassages empty = FindSharedPassages(wordsOf("a b", 0), wordsOf("", 0));
    EXPECT_TRUE(empty.current.empty());
    EXPECT_EQ(empty.currentAnchor, -1);
}

} // namespace
} // namespace quillmark
