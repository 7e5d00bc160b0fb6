// The comparison of two texts: which words are highlighted or greyed, where
// the views open, and the steps from one shared passage to the next.
#include "window/ComparisonDialog.h"

#include "TextViewProbe.h"
#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

using namespace quillmark;
using namespace textviewprobe;

namespace {

// Words `tag`first .. `tag`(last - 1), eight to a line, each line a sentence.
std::string words(const char* tag, int first, int last) {
    std::string text;
    for (int i = first; i < last; ++i) {
        text += tag + std::to_string(i);
        const bool lineEnd = (i - first) % 8 == 7 || i + 1 == last;
        text += lineEnd ? ". \r\n" : " ";
    }
    return text;
}

// The passage of words [first, end) of `text`.
Passage passageOf(const TextWords& text, std::int32_t first, std::int32_t end) {
    return {first, end, text.words[static_cast<std::size_t>(first)].begin,
            text.words[static_cast<std::size_t>(end - 1)].end};
}

DocumentPair pairOf(const std::string& current, const std::string& earlier, int shingleLength) {
    DocumentPair pair;
    pair.currentIndex = 1;
    pair.earlierIndex = 0;
    pair.current = WordsOfText(current, Truncation::Off, HtmlHandling::Keep, shingleLength);
    pair.earlier = WordsOfText(earlier, Truncation::Off, HtmlHandling::Keep, shingleLength);
    pair.passages = FindSharedPassages(pair.earlier, pair.current);
    return pair;
}

} // namespace

class ComparisonDialogTest : public QObject {
    Q_OBJECT

private slots:
    void identicalTextsAreMarkedToTheirLastWord() {
        const std::string text = words("dm", 0, 20);
        ComparisonDialog dialog(pairOf(text, text, 3), QStringLiteral("b.txt"),
                                QStringLiteral("a.txt"), 100);
        for (QPlainTextEdit* view : {dialog.eCurrent, dialog.eEarlier}) {
            const auto marked = highlightedWords(view);
            QCOMPARE(marked.size(), std::size_t(20));
            for (const auto& [word, highlighted] : marked)
                QVERIFY2(highlighted, qPrintable(word));
        }
        // The legend shows both colours the views use.
        QCOMPARE(dialog.sSharedSample->palette().color(QPalette::Window),
                 ComparisonDialog::SharedWords);
        QCOMPARE(dialog.sCurrentSample->palette().color(QPalette::Window),
                 ComparisonDialog::CurrentPassage);
        QVERIFY(ComparisonDialog::SharedWords != ComparisonDialog::CurrentPassage);
    }

    void greysExactlyTheCommonPassages() {
        // The current text opens with a task many texts quote, the earlier one
        // ends with another; the al words are shared.
        const std::string current = words("tk", 0, 16) + words("al", 0, 20) + "cend";
        const std::string earlier = words("al", 0, 20) + words("tq", 0, 16) + "eend";
        DocumentPair pair = pairOf(current, earlier, 3);
        // al18 and al19 are also common: greyed and highlighted at once.
        pair.commonCurrent = {passageOf(pair.current, 0, 16), passageOf(pair.current, 34, 36)};
        pair.commonEarlier = {passageOf(pair.earlier, 20, 36)};
        ComparisonDialog dialog(std::move(pair), QStringLiteral("b.txt"), QStringLiteral("a.txt"),
                                100);
        const QColor grey = ComparisonDialog::LeftOutText;
        const struct {
            QPlainTextEdit* view;
            QRegularExpression common;
        } views[] = {{dialog.eCurrent, QRegularExpression(QStringLiteral("^(tk.*|al1[89])$"))},
                     {dialog.eEarlier, QRegularExpression(QStringLiteral("^tq"))}};
        for (const auto& [view, common] : views) {
            const auto greyed = colouredWords(view, grey);
            QCOMPARE(greyed.size(), std::size_t(37));
            for (const auto& [word, isGrey] : greyed)
                QVERIFY2(isGrey == common.match(word).hasMatch(), qPrintable(word));
            for (const auto& [word, highlighted] : highlightedWords(view))
                QVERIFY2(highlighted == word.startsWith(QStringLiteral("al")), qPrintable(word));
        }
        // Blanks inside a passage are grey; the full stop after "tk15" is not.
        const int next = positionOfWord(dialog.eCurrent, QStringLiteral("al0"));
        QVERIFY(hasForeground(dialog.eCurrent->document(), 3, grey));
        QVERIFY(!hasForeground(dialog.eCurrent->document(), next - 3, grey));
        QVERIFY(dialog.sCommonSample->isVisibleTo(&dialog));
        QCOMPARE(dialog.sCommonSample->palette().color(QPalette::WindowText), grey);
    }

    void numbersFollowTheTableAndReferencesAreNamed() {
        // Two reference texts ahead of the batch: the batch's first text is № 1.
        DocumentPair batch = pairOf(words("al", 0, 20), words("al", 0, 20), 3);
        batch.currentIndex = 4;
        batch.earlierIndex = 2;
        ComparisonDialog inBatch(std::move(batch), QStringLiteral("c.txt"), QStringLiteral("a.txt"),
                                 100, nullptr, 2);
        QVERIFY(inBatch.sCurrent->text().startsWith(QStringLiteral("№ 3: c.txt")));
        QVERIFY(
            inBatch.sEarlier->text().startsWith(QStringLiteral("Более ранний текст № 1: a.txt")));
        DocumentPair reference = pairOf(words("al", 0, 20), words("al", 0, 20), 3);
        reference.currentIndex = 2;
        reference.earlierIndex = 1;
        ComparisonDialog onReference(std::move(reference), QStringLiteral("a.txt"),
                                     QStringLiteral("/refs/old.txt"), 100, nullptr, 2);
        QVERIFY(onReference.sCurrent->text().startsWith(QStringLiteral("№ 1: a.txt")));
        QVERIFY(onReference.sEarlier->text().startsWith(
            QStringLiteral("Эталонный текст: /refs/old.txt")));
        // Disguised words are named where there are any.
        onReference.noteDisguisedWords(7, 0);
        QVERIFY(
            onReference.sCurrent->text().endsWith(QStringLiteral("; подмена символов — 7 слов")));
        QVERIFY(!onReference.sEarlier->text().contains(QStringLiteral("подмена")));
    }

    void anArchivedTextIsNamedAndItsViewSaysWhyItIsEmpty() {
        // The archive keeps the fingerprint only: the pair carries no earlier
        // text, and the current one's passages alone.
        const std::string current = words("tk", 0, 10) + words("al", 0, 10) + "cend";
        DocumentPair pair = pairOf(current, std::string(), 3);
        const TextWords archived =
            WordsOfText(words("al", 0, 10), Truncation::Off, HtmlHandling::Keep, 3);
        std::vector<std::uint32_t> hashes = archived.shingles.Hashes;
        std::sort(hashes.begin(), hashes.end());
        pair.passages.current = PassagesWithHashes(pair.current, hashes);
        pair.earlierArchived = true;
        ComparisonDialog dialog(std::move(pair), QStringLiteral("b.txt"),
                                QStringLiteral("archive:/team/a.txt"), 50, nullptr, 1);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.sEarlier->text().startsWith(
            QStringLiteral("Текст из общего архива: archive:/team/a.txt")));
        QVERIFY(dialog.eEarlier->toPlainText().contains(QStringLiteral("только его отпечаток")));
        QCOMPARE(dialog.passageCount(), 1);
        const auto marked = highlightedWords(dialog.eCurrent);
        QVERIFY(marked.at(QStringLiteral("al3")));
        QVERIFY(!marked.at(QStringLiteral("tk3")));
        // Stepping has no earlier text to move: it leaves the message alone.
        dialog.showPassage(0);
        QVERIFY(dialog.eEarlier->toPlainText().contains(QStringLiteral("только его отпечаток")));
    }

    void highlightsTheWordsOfSharedShingles() {
        // The same text with one sentence put in after its fifteenth word.
        // Each ends in a word of its own: a text's last word starts no window.
        const std::string earlier = words("al", 0, 30) + "eend";
        const std::string current =
            words("al", 0, 15) + "ins0 ins1 ins2 ins3. " + words("al", 15, 30) + "cend";
        ComparisonDialog dialog(pairOf(current, earlier, 3), QStringLiteral("b.txt"),
                                QStringLiteral("a.txt"), 90);
        QCOMPARE(dialog.eCurrent->toPlainText().left(9), QStringLiteral("al0 al1 a"));
        QVERIFY(dialog.eCurrent->isReadOnly());
        QVERIFY(dialog.eEarlier->isReadOnly());
        QVERIFY(dialog.sCurrent->text().contains(QStringLiteral("b.txt")));
        QVERIFY(dialog.sCurrent->text().contains(QStringLiteral("90%")));
        QVERIFY(dialog.sEarlier->text().contains(QStringLiteral("a.txt")));

        const auto currentWords = highlightedWords(dialog.eCurrent);
        QCOMPARE(currentWords.size(), std::size_t(35));
        for (const auto& [word, highlighted] : currentWords)
            QVERIFY2(highlighted == word.startsWith(QStringLiteral("al")), qPrintable(word));
        const auto earlierWords = highlightedWords(dialog.eEarlier);
        QCOMPARE(earlierWords.size(), std::size_t(31));
        for (const auto& [word, highlighted] : earlierWords)
            QVERIFY2(highlighted == word.startsWith(QStringLiteral("al")), qPrintable(word));
        // A passage runs from its first word to its last, blanks included;
        // the blanks around the sentence put in stay plain.
        QVERIFY(hasBackground(dialog.eCurrent->document(), 3));
        const int nextWord = positionOfWord(dialog.eCurrent, QStringLiteral("al15"));
        QVERIFY(!hasBackground(dialog.eCurrent->document(), nextWord - 1));
        QCOMPARE(dialog.passageCount(), 2);
    }

    void opensBothViewsAtTheFirstSharedPassage() {
        // The shared text stands after a long text of each one's own.
        const std::string shared = words("sh", 0, 40);
        const std::string earlier = words("pa", 0, 400) + shared;
        const std::string current = words("pb", 0, 640) + shared;
        ComparisonDialog dialog(pairOf(current, earlier, 3), QStringLiteral("b.txt"),
                                QStringLiteral("a.txt"), 10);
        dialog.resize(700, 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.passageIndex(), 0);
        const int currentStart = positionOfWord(dialog.eCurrent, QStringLiteral("sh0"));
        const int earlierStart = positionOfWord(dialog.eEarlier, QStringLiteral("sh0"));
        QVERIFY(currentStart > 0 && earlierStart > 0);
        QVERIFY(standsAt(dialog.eCurrent, currentStart));
        QVERIFY(standsAt(dialog.eEarlier, earlierStart));
        QVERIFY(dialog.eCurrent->verticalScrollBar()->value() > 0);
        QVERIFY(dialog.eEarlier->verticalScrollBar()->value() > 0);
        // The views really moved: the first line is out of sight.
        QVERIFY(!dialog.eCurrent->viewport()->rect().contains(
            dialog.eCurrent->cursorRect(QTextCursor(dialog.eCurrent->document()))));
        QCOMPARE(dialog.sPassage->text(), QStringLiteral("Фрагмент 1 из 1"));
        QVERIFY(!dialog.bPrevious->isEnabled());
        QVERIFY(!dialog.bNext->isEnabled());
    }

    void stepsThroughThePassages() {
        // Two shared blocks in opposite orders, apart by unshared text.
        const std::string first = words("fa", 0, 24);
        const std::string second = words("sb", 0, 24);
        const std::string current = first + words("cu", 0, 400) + second;
        const std::string earlier = second + words("ea", 0, 400) + first;
        ComparisonDialog dialog(pairOf(current, earlier, 3), QStringLiteral("b.txt"),
                                QStringLiteral("a.txt"), 10);
        dialog.resize(700, 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.passageCount(), 2);
        QVERIFY(standsAt(dialog.eCurrent, positionOfWord(dialog.eCurrent, QStringLiteral("fa0"))));
        QVERIFY(standsAt(dialog.eEarlier, positionOfWord(dialog.eEarlier, QStringLiteral("fa0"))));
        QCOMPARE(dialog.sPassage->text(), QStringLiteral("Фрагмент 1 из 2"));
        QVERIFY(!dialog.bPrevious->isEnabled());

        QTest::mouseClick(dialog.bNext, Qt::LeftButton);
        QCOMPARE(dialog.passageIndex(), 1);
        QVERIFY(standsAt(dialog.eCurrent, positionOfWord(dialog.eCurrent, QStringLiteral("sb0"))));
        QVERIFY(standsAt(dialog.eEarlier, positionOfWord(dialog.eEarlier, QStringLiteral("sb0"))));
        QCOMPARE(dialog.sPassage->text(), QStringLiteral("Фрагмент 2 из 2"));
        QVERIFY(!dialog.bNext->isEnabled());
        QVERIFY(dialog.bPrevious->isEnabled());

        QTest::mouseClick(dialog.bPrevious, Qt::LeftButton);
        QCOMPARE(dialog.passageIndex(), 0);
        QVERIFY(standsAt(dialog.eEarlier, positionOfWord(dialog.eEarlier, QStringLiteral("fa0"))));
    }

    void aTextOfOneLongWordIsBrokenAnywhere() {
        // Breaking only at blanks would lay such a text out in quadratic time.
        const std::string run(5000, 'q');
        ComparisonDialog dialog(pairOf(run + " tail", words("xb", 0, 20), 3),
                                QStringLiteral("b.txt"), QStringLiteral("a.txt"), 0);
        QCOMPARE(dialog.eCurrent->wordWrapMode(), QTextOption::WrapAnywhere);
        QCOMPARE(dialog.eEarlier->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    void nothingSharedHighlightsNothing() {
        ComparisonDialog dialog(pairOf(words("xa", 0, 20), words("xb", 0, 20), 3),
                                QStringLiteral("b.txt"), QStringLiteral("a.txt"), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.passageIndex(), -1);
        QCOMPARE(dialog.sPassage->text(), QStringLiteral("Общих фрагментов нет"));
        QVERIFY(!dialog.bNext->isEnabled());
        QVERIFY(!dialog.bPrevious->isEnabled());
        for (const auto& [word, highlighted] : highlightedWords(dialog.eCurrent))
            QVERIFY2(!highlighted, qPrintable(word));
        // No common text: no legend for it.
        QVERIFY(!dialog.sCommonSample->isVisibleTo(&dialog));
        QTest::mouseClick(dialog.bClose, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(ComparisonDialogTest)
#include "ComparisonDialog_test.moc"
