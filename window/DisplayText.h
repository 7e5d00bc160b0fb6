// A Windows-1251 text as a text view shows it, and the way from a byte offset
// of the text to a position in the view. A view keeps every character but
// turns each CR LF pair into one line break, so offsets after a line end move
// back by one per pair.
#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <vector>

namespace quillmark {

class DisplayText {
public:
    DisplayText() = default;
    explicit DisplayText(const std::string& windows1251);

    /// The text with each CR LF pair as one LF.
    const QString& text() const { return m_text; }
    /// Where byte `offset` of the original text stands in text(); an offset
    /// between a CR and its LF stands on the line break.
    int position(std::size_t offset) const;

private:
    QString m_text;
    /// The offsets of the CRs dropped from CR LF pairs, ascending.
    std::vector<std::size_t> m_droppedReturns;
};

} // namespace quillmark
