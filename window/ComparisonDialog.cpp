#include "ComparisonDialog.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quillmark {

namespace {

QLabel* makeCaption(const QString& text, QWidget* parent) {
    auto* caption = new QLabel(text, parent);
    caption->setTextFormat(Qt::PlainText);
    caption->setWordWrap(true);
    QFont font = caption->font();
    font.setBold(true);
    caption->setFont(font);
    return caption;
}

QLabel* makeSample(const QColor& color, QWidget* parent) {
    auto* sample = new QLabel(parent);
    sample->setFixedSize(14, 14);
    sample->setAutoFillBackground(true);
    QPalette palette = sample->palette();
    palette.setColor(QPalette::Window, color);
    sample->setPalette(palette);
    sample->setFrameShape(QFrame::Box);
    return sample;
}

QPlainTextEdit* makeView(const char* name, QWidget* parent) {
    auto* view = new QPlainTextEdit(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setReadOnly(true);
    view->setUndoRedoEnabled(false);
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return view;
}

// The passage of `passages` holding word `word`; -1 when none does.
int passageOfWord(const std::vector<Passage>& passages, std::int32_t word) {
    const auto after =
        std::upper_bound(passages.begin(), passages.end(), word,
                         [](std::int32_t value, const Passage& p) { return value < p.firstWord; });
    if (after == passages.begin())
        return -1;
    const auto found = std::prev(after);
    if (word >= found->endWord)
        return -1;
    return static_cast<int>(found - passages.begin());
}

void markPassage(QPlainTextEdit* view, const DisplayText& text, const Passage* passage) {
    QList<QTextEdit::ExtraSelection> marks;
    if (passage != nullptr) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(view->document());
        mark.cursor.setPosition(text.position(passage->begin));
        mark.cursor.setPosition(text.position(passage->end), QTextCursor::KeepAnchor);
        mark.format.setBackground(ComparisonDialog::CurrentPassage);
        marks.append(mark);
    }
    view->setExtraSelections(marks);
}

/// The longest stretch without a blank or line break.
qsizetype longestUnbrokenRun(const QString& text) {
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

const QColor ComparisonDialog::SharedWords(255, 226, 120);
// Over the highlight of the other passages.
const QColor ComparisonDialog::CurrentPassage(255, 170, 70);
// Readable on white and on either highlight.
const QColor ComparisonDialog::LeftOutText(140, 140, 140);

ComparisonDialog::ComparisonDialog(DocumentPair pair, const QString& currentName,
                                   const QString& earlierName, int score, QWidget* parent,
                                   std::int32_t referenceCount)
    : QDialog(parent)
    , m_pair(std::move(pair))
    , m_currentText(m_pair.current.text)
    , m_earlierText(m_pair.earlier.text) {
    setObjectName(QStringLiteral("ComparisonDialog"));
    setWindowTitle(tr("Сравнение: %1 и %2").arg(currentName, earlierName));
    setSizeGripEnabled(true);

    const QString earlierOrigin =
        QString::fromStdString(TextReader::describe(m_pair.earlierOrigin));
    sCurrent =
        makeCaption(tr("№ %1: %2 (%3) — сходство %4%")
                        .arg(m_pair.currentIndex - referenceCount + 1)
                        .arg(currentName)
                        .arg(QString::fromStdString(TextReader::describe(m_pair.currentOrigin)))
                        .arg(score),
                    this);
    sCurrent->setObjectName(QStringLiteral("sCurrent"));
    sEarlier = makeCaption(earlierCaption(earlierName, earlierOrigin, referenceCount), this);
    sEarlier->setObjectName(QStringLiteral("sEarlier"));
    eCurrent = makeView("eCurrent", this);
    eEarlier = makeView("eEarlier", this);
    fill(eCurrent, m_currentText, m_pair.passages.current, m_pair.commonCurrent);
    fill(eEarlier, m_earlierText, m_pair.passages.earlier, m_pair.commonEarlier);
    if (m_pair.earlierArchived) {
        // No text to show: say why the view stays empty.
        eEarlier->setPlainText(tr("Текст из общего архива: в архиве хранится только его "
                                  "отпечаток, не сам текст. Подсвечены слова текущего текста, "
                                  "чьи шинглы есть в архивном."));
        QPalette grey = eEarlier->palette();
        grey.setColor(QPalette::Text, LeftOutText);
        eEarlier->setPalette(grey);
    }

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    for (auto [caption, view] : {std::pair{sCurrent, eCurrent}, std::pair{sEarlier, eEarlier}}) {
        auto* pane = new QWidget(splitter);
        auto* column = new QVBoxLayout(pane);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(caption);
        column->addWidget(view, 1);
        splitter->addWidget(pane);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buildBottomRow());

    connect(bPrevious, &QPushButton::clicked, this, &ComparisonDialog::showPreviousPassage);
    connect(bNext, &QPushButton::clicked, this, &ComparisonDialog::showNextPassage);
    connect(bClose, &QPushButton::clicked, this, &QDialog::close);

    if (passageCount() > 0)
        m_passage = 0;
    updatePassageControls();
    // Two texts side by side want width, but never more than the screen has.
    const QSize available = screen()->availableGeometry().size();
    resize(QSize(900, 560).boundedTo(available * 0.9));
}

QString ComparisonDialog::earlierCaption(const QString& name, const QString& origin,
                                         std::int32_t referenceCount) const {
    if (m_pair.earlierArchived)
        return tr("Текст из общего архива: %1 (%2)").arg(name, origin);
    if (m_pair.earlierIndex < referenceCount)
        return tr("Эталонный текст: %1 (%2)").arg(name, origin);
    return tr("Более ранний текст № %1: %2 (%3)")
        .arg(m_pair.earlierIndex - referenceCount + 1)
        .arg(name)
        .arg(origin);
}

QHBoxLayout* ComparisonDialog::buildBottomRow() {
    auto* legend = new QLabel(
        tr("Подсвечены слова общих шинглов (длина %1)").arg(m_pair.current.shingleLength), this);
    sSharedSample = makeSample(SharedWords, this);
    auto* currentLegend = new QLabel(tr("текущий фрагмент"), this);
    sCurrentSample = makeSample(CurrentPassage, this);
    // The sample is its own words, greyed as the views grey common text.
    sCommonSample = new QLabel(tr("общий текст (не учитывается)"), this);
    sCommonSample->setObjectName(QStringLiteral("sCommonSample"));
    QPalette grey = sCommonSample->palette();
    grey.setColor(QPalette::WindowText, LeftOutText);
    sCommonSample->setPalette(grey);
    sCommonSample->setToolTip(tr("Шаблон или фрагменты, общие для многих текстов: их шинглы "
                                 "не входят в сходство"));
    sCommonSample->setVisible(!m_pair.commonCurrent.empty() || !m_pair.commonEarlier.empty());

    bPrevious = new QPushButton(tr("◀ Предыдущий"), this);
    bPrevious->setObjectName(QStringLiteral("bPrevious"));
    bPrevious->setShortcut(QKeySequence::FindPrevious);
    bPrevious->setToolTip(
        tr("Предыдущий общий фрагмент (%1)")
            .arg(QKeySequence(QKeySequence::FindPrevious).toString(QKeySequence::NativeText)));
    bNext = new QPushButton(tr("Следующий ▶"), this);
    bNext->setObjectName(QStringLiteral("bNext"));
    bNext->setShortcut(QKeySequence::FindNext);
    bNext->setToolTip(
        tr("Следующий общий фрагмент (%1)")
            .arg(QKeySequence(QKeySequence::FindNext).toString(QKeySequence::NativeText)));
    sPassage = new QLabel(this);
    sPassage->setObjectName(QStringLiteral("sPassage"));
    sPassage->setAlignment(Qt::AlignCenter);
    bClose = new QPushButton(tr("Закрыть"), this);
    bClose->setObjectName(QStringLiteral("bClose"));
    for (QPushButton* button : {bPrevious, bNext, bClose})
        button->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(sSharedSample);
    bottom->addWidget(legend);
    bottom->addSpacing(8);
    bottom->addWidget(sCurrentSample);
    bottom->addWidget(currentLegend);
    bottom->addSpacing(8);
    bottom->addWidget(sCommonSample);
    bottom->addStretch(1);
    bottom->addWidget(bPrevious);
    bottom->addWidget(sPassage);
    bottom->addWidget(bNext);
    bottom->addSpacing(16);
    bottom->addWidget(bClose);
    return bottom;
}

void ComparisonDialog::noteDisguisedWords(std::int32_t current, std::int32_t earlier) {
    for (auto [caption, count] : {std::pair{sCurrent, current}, std::pair{sEarlier, earlier}}) {
        if (count > 0)
            caption->setText(caption->text() + tr("; подмена символов — %1 слов").arg(count));
    }
}

int ComparisonDialog::passageCount() const {
    return static_cast<int>(m_pair.passages.current.size());
}

void ComparisonDialog::fill(QPlainTextEdit* view, const DisplayText& text,
                            const std::vector<Passage>& passages,
                            const std::vector<Passage>& common) {
    // Laying out a long stretch with no place to break at a word costs the
    // square of its length (minutes for a megabyte of one "word"): such a
    // text is broken anywhere instead.
    constexpr qsizetype LongestWordWrapRun = 2000;
    view->setWordWrapMode(longestUnbrokenRun(text.text()) > LongestWordWrapRun
                              ? QTextOption::WrapAnywhere
                              : QTextOption::WrapAtWordBoundaryOrAnywhere);
    view->setPlainText(text.text());
    QTextCursor cursor(view->document());
    QTextCharFormat shared;
    shared.setBackground(SharedWords);
    // Grey letters leave the background free for the shared words' highlight.
    QTextCharFormat leftOut;
    leftOut.setForeground(LeftOutText);
    cursor.beginEditBlock();
    for (const auto& [marked, format] :
         {std::pair{&passages, &shared}, std::pair{&common, &leftOut}}) {
        for (const Passage& passage : *marked) {
            cursor.setPosition(text.position(passage.begin));
            cursor.setPosition(text.position(passage.end), QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(*format);
        }
    }
    cursor.endEditBlock();
}

void ComparisonDialog::scrollToWord(QPlainTextEdit* view, const DisplayText& text,
                                    const TextWords& words, std::int32_t word) {
    if (word < 0 || static_cast<std::size_t>(word) >= words.words.size())
        return;
    QTextCursor cursor = view->textCursor();
    cursor.setPosition(text.position(words.words[static_cast<std::size_t>(word)].begin));
    view->setTextCursor(cursor);
    view->centerCursor();
}

std::int32_t ComparisonDialog::earlierWordFor(std::int32_t currentWord) const {
    const std::vector<std::uint32_t>& currentHashes = m_pair.current.shingles.Hashes;
    const std::vector<std::uint32_t>& earlierHashes = m_pair.earlier.shingles.Hashes;
    if (currentWord < 0 || currentHashes.empty())
        return -1;
    // A text of at most L words has one window, starting at its first word.
    const auto window = std::min(currentWord, static_cast<std::int32_t>(currentHashes.size()) - 1);
    if (m_pair.current.windowWords(window).first != currentWord)
        return -1;
    const auto found = std::find(earlierHashes.begin(), earlierHashes.end(),
                                 currentHashes[static_cast<std::size_t>(window)]);
    if (found == earlierHashes.end())
        return -1;
    return m_pair.earlier.windowWords(static_cast<std::int32_t>(found - earlierHashes.begin()))
        .first;
}

void ComparisonDialog::showPassage(int index) {
    if (passageCount() == 0)
        return;
    m_passage = std::clamp(index, 0, passageCount() - 1);
    const SharedPassages& passages = m_pair.passages;
    const Passage& current = passages.current[static_cast<std::size_t>(m_passage)];
    // The first passage opens where the pair's anchors point; a later one at
    // its first word and the earlier text's first window of the same hash.
    const bool anchored = m_passage == 0 && passages.currentAnchor >= 0;
    const std::int32_t currentWord = anchored ? passages.currentAnchor : current.firstWord;
    std::int32_t earlierWord =
        anchored ? passages.earlierAnchor : earlierWordFor(current.firstWord);

    scrollToWord(eCurrent, m_currentText, m_pair.current, currentWord);
    markPassage(eCurrent, m_currentText, &current);
    if (earlierWord < 0 && !passages.earlier.empty()) {
        const auto nearest =
            std::min(static_cast<std::size_t>(m_passage), passages.earlier.size() - 1);
        earlierWord = passages.earlier[nearest].firstWord;
    }
    scrollToWord(eEarlier, m_earlierText, m_pair.earlier, earlierWord);
    const int earlierPassage = passageOfWord(passages.earlier, earlierWord);
    markPassage(eEarlier, m_earlierText,
                earlierPassage < 0 ? nullptr
                                   : &passages.earlier[static_cast<std::size_t>(earlierPassage)]);
    updatePassageControls();
}

void ComparisonDialog::showNextPassage() {
    showPassage(m_passage + 1);
}

void ComparisonDialog::showPreviousPassage() {
    showPassage(m_passage - 1);
}

void ComparisonDialog::updatePassageControls() {
    const int count = passageCount();
    if (count == 0)
        sPassage->setText(tr("Общих фрагментов нет"));
    else
        sPassage->setText(tr("Фрагмент %1 из %2").arg(m_passage + 1).arg(count));
    bPrevious->setEnabled(m_passage > 0);
    bNext->setEnabled(m_passage + 1 < count);
}

void ComparisonDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The views have their size only now: scroll on the first showing.
    if (m_scrolled)
        return;
    m_scrolled = true;
    showPassage(m_passage);
}

} // namespace quillmark
