// Reads back what a text view shows: which words carry a highlight and
// where the view stands.
#pragma once

#include <QDebug>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

#include <map>

namespace textviewprobe {

/// Whether the character at `position` has a background of its own.
inline bool hasBackground(const QTextDocument* document, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(document));
    // The format left of the cursor is that of the character at `position`.
    cursor.setPosition(position + 1);
    return cursor.charFormat().hasProperty(QTextFormat::BackgroundBrush);
}

/// Each word of the view and whether it is highlighted; empty when a word
/// is highlighted only in some of its letters.
inline std::map<QString, bool> highlightedWords(const QPlainTextEdit* view) {
    std::map<QString, bool> result;
    const QTextDocument* document = view->document();
    const QString text = document->toPlainText();
    static const QRegularExpression word(QStringLiteral("\\w+"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const bool first = hasBackground(document, int(match.capturedStart()));
        for (qsizetype at = match.capturedStart(); at < match.capturedEnd(); ++at) {
            if (hasBackground(document, int(at)) != first) {
                qWarning() << "highlighted in some letters only:" << match.captured();
                return {};
            }
        }
        result[match.captured()] = first;
    }
    return result;
}

/// Where the whole word `word` first stands in the view; -1 when nowhere.
inline int positionOfWord(const QPlainTextEdit* view, const QString& word) {
    const QRegularExpression exact(QStringLiteral("\\b%1\\b").arg(word));
    return int(view->document()->toPlainText().indexOf(exact));
}

/// The view's cursor is at `position` and on screen.
inline bool standsAt(const QPlainTextEdit* view, int position) {
    return view->textCursor().position() == position &&
           view->viewport()->rect().contains(view->cursorRect());
}

} // namespace textviewprobe
