#include "ProgressLine.h"

#include <algorithm>

namespace quillmark {

void ProgressLine::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

QString ProgressLine::text() const {
    int filled = 0;
    if (m_maximum > m_minimum) {
        const qint64 done = std::clamp<qint64>(m_position, m_minimum, m_maximum) - m_minimum;
        filled = static_cast<int>(done * barWidth / (qint64(m_maximum) - m_minimum));
    } else if (m_position > m_minimum && m_position >= m_maximum) {
        filled = barWidth;
    }
    QString line = m_label;
    if (!m_counter.isEmpty())
        line += QStringLiteral("  ") + m_counter;
    line += QStringLiteral(" [") + QString(filled, u'#') + QString(barWidth - filled, u'.') + u']';
    return line;
}

} // namespace quillmark
