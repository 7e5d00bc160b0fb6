#include "DisplayText.h"

#include "engine/DocumentPair.h"

#include <algorithm>

namespace quillmark {

DisplayText::DisplayText(const std::string& windows1251) {
    const QString unicode = DocumentPair::toQString(windows1251);
    m_text.reserve(unicode.size());
    for (qsizetype i = 0; i < unicode.size(); ++i) {
        const bool pairedReturn = unicode[i] == QLatin1Char('\r') && i + 1 < unicode.size() &&
                                  unicode[i + 1] == QLatin1Char('\n');
        if (pairedReturn) {
            m_droppedReturns.push_back(static_cast<std::size_t>(i));
            continue;
        }
        m_text.append(unicode[i]);
    }
}

int DisplayText::position(std::size_t offset) const {
    const auto dropped =
        std::lower_bound(m_droppedReturns.begin(), m_droppedReturns.end(), offset) -
        m_droppedReturns.begin();
    const auto position = static_cast<qsizetype>(offset) - static_cast<qsizetype>(dropped);
    return static_cast<int>(std::clamp<qsizetype>(position, 0, m_text.size()));
}

} // namespace quillmark
