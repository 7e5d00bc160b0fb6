#include "LayoutTwins.h"

#include <QString>

#include <iterator>

namespace quillmark {

namespace {

// Row by row, each Russian letter above the Latin key it shares.
constexpr char16_t Russian[] = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ";
constexpr char16_t Latin[] = u"QWERTYUIOP[]ASDFGHJKL;'ZXCVBNM,.`";
static_assert(std::size(Russian) == std::size(Latin), "one Latin key for each Russian letter");

} // namespace

QChar LayoutTwins::twinOf(QChar letter) {
    const QChar upper = letter.toUpper();
    for (std::size_t i = 0; i + 1 < std::size(Russian); ++i) {
        if (upper.unicode() == Russian[i])
            return QChar(Latin[i]);
        if (upper.unicode() == Latin[i])
            return QChar(Russian[i]);
    }
    return {};
}

QChar LayoutTwins::mnemonicOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        // "&&" is a written ampersand.
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1].toUpper();
        ++i;
    }
    return {};
}

} // namespace quillmark
