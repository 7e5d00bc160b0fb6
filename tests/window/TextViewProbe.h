// Reads back what a text view shows: which words carry a highlight or a
// colour and where the view stands.
#pragma once

#include <QColor>
#include <QDebug>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

#include <functional>
#include <map>

namespace textviewprobe {

/// Whether the character at `position` has a background of its own.
inline bool hasBackground(const QTextDocument* document, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(document));
    // The format left of the cursor is that of the character at `position`.
    cursor.setPosition(position + 1);
    return cursor.charFormat().hasProperty(QTextFormat::BackgroundBrush);
}

/// Whether the character at `position` is drawn in `colour`.
inline bool hasForeground(const QTextDocument* document, int position, const QColor& colour) {
    QTextCursor cursor(const_cast<QTextDocument*>(document));
    cursor.setPosition(position + 1);
    const QTextCharFormat format = cursor.charFormat();
    return format.hasProperty(QTextFormat::ForegroundBrush) &&
           format.foreground().color() == colour;
}

/// Each word of the view and whether `marked` holds for its letters; empty
/// when it holds for only some of a word's letters.
inline std::map<QString, bool> markedWords(const QPlainTextEdit* view,
                                           const std::function<bool(int)>& marked) {
    std::map<QString, bool> result;
    const QString text = view->document()->toPlainText();
    static const QRegularExpression word(QStringLiteral("\\w+"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const bool first = marked(int(match.capturedStart()));
        for (qsizetype at = match.capturedStart(); at < match.capturedEnd(); ++at) {
            if (marked(int(at)) != first) {
                qWarning() << "marked in some letters only:" << match.captured();
                return {};
            }
        }
        result[match.captured()] = first;
    }
    return result;
}

/// Each word of the view and whether it is highlighted.
inline std::map<QString, bool> highlightedWords(const QPlainTextEdit* view) {
    return markedWords(view, [view](int at) { return hasBackground(view->document(), at); });
}

/// Each word of the view and whether it is drawn in `colour`.
inline std::map<QString, bool> colouredWords(const QPlainTextEdit* view, const QColor& colour) {
    return markedWords(
        view, [view, colour](int at) { return hasForeground(view->document(), at, colour); });
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
