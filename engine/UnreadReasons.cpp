// The reasons reading gives for a file it cannot take, listed for the
// catalogue: reading itself knows no translations, the log shows them in the
// run's language.
#include "UnreadReasons.h"

#include <QtGlobal>

namespace quillmark {

const char* const UnreadReasons[] = {
    QT_TRANSLATE_NOOP("UnreadableText", "исполняемый файл"),
    QT_TRANSLATE_NOOP("UnreadableText", "изображение"),
    QT_TRANSLATE_NOOP("UnreadableText", "архив"),
    QT_TRANSLATE_NOOP("UnreadableText", "документ повреждён или зашифрован"),
    QT_TRANSLATE_NOOP("UnreadableText", "документ зашифрован"),
    QT_TRANSLATE_NOOP(
        "UnreadableText",
        "документ распаковывается больше допустимого (в 64 раза больше файла или больше 256 МБ)"),
    QT_TRANSLATE_NOOP("UnreadableText", "архив, в котором нет документа"),
    QT_TRANSLATE_NOOP("UnreadableText", "в EPUB больше 5000 разделов"),
    QT_TRANSLATE_NOOP("UnreadableText", "в PDF больше 20000 страниц"),
    QT_TRANSLATE_NOOP("UnreadableText", "PDF читается дольше 30 секунд"),
    QT_TRANSLATE_NOOP("UnreadableText", "текст PDF больше 256 МБ"),
    QT_TRANSLATE_NOOP("UnreadableText", "в PDF нет текстового слоя (скан?)"),
    QT_TRANSLATE_NOOP("UnreadableText", "файл больше 256 МБ"),
    QT_TRANSLATE_NOOP("UnreadableText", "документ повреждён"),
    QT_TRANSLATE_NOOP("UnreadableText", "в RTF больше 1000 вложенных групп"),
    QT_TRANSLATE_NOOP("UnreadableText", "в RTF нет текста"),
    QT_TRANSLATE_NOOP("UnreadableText", "файл Office без документа Word (таблица, презентация?)"),
    QT_TRANSLATE_NOOP("UnreadableText", "документ Word 6.0 или 95: читаются Word 97 и новее"),
};

const std::size_t UnreadReasonCount = sizeof UnreadReasons / sizeof UnreadReasons[0];

} // namespace quillmark
