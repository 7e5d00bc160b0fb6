// One progress row of the terminal (loading, comparison or saving): its label,
// counter and bar, drawn as a single line.
#pragma once

#include <QString>
#include <utility>

namespace quillmark {

class ProgressLine {
public:
    static constexpr int barWidth = 30;

    explicit ProgressLine(QString label)
        : m_label(std::move(label)) {}

    void setLabel(const QString& label) { m_label = label; }
    void setCounter(const QString& counter) { m_counter = counter; }
    void setRange(int minimum, int maximum);
    void setPosition(int position) { m_position = position; }

    /// "label  counter [#####.....]": the bar is full at the maximum and
    /// clamped outside the range; a range without width shows an empty bar
    /// until the position reaches it.
    QString text() const;

private:
    QString m_label;
    QString m_counter;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_position = 0;
};

} // namespace quillmark
