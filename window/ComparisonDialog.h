// A document of the last run beside the earlier text it is most similar to,
// with the words of their shared shingles highlighted in both, the text left
// out of the scores as common text greyed, and both views opened at the first
// shared passage.
#pragma once

#include "DisplayText.h"
#include "engine/DocumentPair.h"

#include <QColor>
#include <QDialog>
#include <QString>
#include <cstdint>

class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

namespace quillmark {

class ComparisonDialog : public QDialog {
    Q_OBJECT

public:
    static const QColor SharedWords;
    /// The shared passage both views stand at.
    static const QColor CurrentPassage;
    /// The letters of text left out of the scores as common text.
    static const QColor LeftOutText;

    /// `score` is the current document's score against the earlier one. The
    /// first `referenceCount` documents of the run are reference texts; the
    /// others are numbered from 1 as the result table numbers them.
    ComparisonDialog(DocumentPair pair, const QString& currentName, const QString& earlierName,
                     int score, QWidget* parent = nullptr, std::int32_t referenceCount = 0);

    const DocumentPair& pair() const { return m_pair; }
    const DisplayText& currentText() const { return m_currentText; }
    const DisplayText& earlierText() const { return m_earlierText; }
    /// The shared passage of the current text both views stand at; -1 when
    /// nothing is shared.
    int passageIndex() const { return m_passage; }
    int passageCount() const;
    /// Adds to each caption how many of its text's words were disguised
    /// (look-alike letters, invisible characters), where any were.
    void noteDisguisedWords(std::int32_t current, std::int32_t earlier);

    QLabel* sCurrent = nullptr;
    QLabel* sEarlier = nullptr;
    QPlainTextEdit* eCurrent = nullptr;
    QPlainTextEdit* eEarlier = nullptr;
    QLabel* sPassage = nullptr;
    QPushButton* bPrevious = nullptr;
    QPushButton* bNext = nullptr;
    QPushButton* bClose = nullptr;
    /// The colour samples of the legend: shared words, the current passage.
    QLabel* sSharedSample = nullptr;
    QLabel* sCurrentSample = nullptr;
    /// Shown only where either text has common text left out.
    QLabel* sCommonSample = nullptr;

public slots:
    /// Moves both views to shared passage `index` of the current text and
    /// the place of the earlier text it shares its first shingle with.
    void showPassage(int index);
    void showNextPassage();
    void showPreviousPassage();

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// The earlier text's caption: an archived, a reference or a batch text.
    QString earlierCaption(const QString& name, const QString& origin,
                           std::int32_t referenceCount) const;
    /// The legend and the passage and close buttons below the two views.
    QHBoxLayout* buildBottomRow();
    /// Fills `view`, highlights `passages` and greys `common` in one edit.
    static void fill(QPlainTextEdit* view, const DisplayText& text,
                     const std::vector<Passage>& passages, const std::vector<Passage>& common);
    /// Puts the cursor of `view` at word `word` of `words` and brings its
    /// line to the middle of the view.
    static void scrollToWord(QPlainTextEdit* view, const DisplayText& text, const TextWords& words,
                             std::int32_t word);
    /// The first word of the earlier text's window with the same hash as the
    /// current text's window starting at `currentWord`; -1 when none.
    std::int32_t earlierWordFor(std::int32_t currentWord) const;
    void updatePassageControls();

    DocumentPair m_pair;
    DisplayText m_currentText;
    DisplayText m_earlierText;
    int m_passage = -1;
    bool m_scrolled = false;
};

} // namespace quillmark
