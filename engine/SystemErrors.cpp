#include "SystemErrors.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace quillmark {

namespace {

struct Known {
    int error;
    const char* text;
};

// The English catalogue gives each the C library's own English words.
const Known KnownErrors[] = {
    {ENOENT, QT_TRANSLATE_NOOP("SystemError", "Нет такого файла или каталога")},
    {EACCES, QT_TRANSLATE_NOOP("SystemError", "Отказано в доступе")},
    {EPERM, QT_TRANSLATE_NOOP("SystemError", "Операция не позволена")},
    {EROFS, QT_TRANSLATE_NOOP("SystemError", "Файловая система доступна только для чтения")},
    {ENOSPC, QT_TRANSLATE_NOOP("SystemError", "На устройстве не осталось свободного места")},
    {EDQUOT, QT_TRANSLATE_NOOP("SystemError", "Превышена дисковая квота")},
    {EEXIST, QT_TRANSLATE_NOOP("SystemError", "Файл существует")},
    {ENOTDIR, QT_TRANSLATE_NOOP("SystemError", "Это не каталог")},
    {EISDIR, QT_TRANSLATE_NOOP("SystemError", "Это каталог")},
    {ENOTEMPTY, QT_TRANSLATE_NOOP("SystemError", "Каталог не пуст")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("SystemError", "Слишком длинное имя файла")},
    {ELOOP, QT_TRANSLATE_NOOP("SystemError", "Слишком много уровней символьных ссылок")},
    {EIO, QT_TRANSLATE_NOOP("SystemError", "Ошибка ввода-вывода")},
    {EBUSY, QT_TRANSLATE_NOOP("SystemError", "Устройство или ресурс занято")},
    {ETXTBSY, QT_TRANSLATE_NOOP("SystemError", "Текстовый файл занят")},
    {EMFILE, QT_TRANSLATE_NOOP("SystemError", "Слишком много открытых файлов")},
    {ENFILE, QT_TRANSLATE_NOOP("SystemError", "Слишком много открытых файлов в системе")},
    {ENOMEM, QT_TRANSLATE_NOOP("SystemError", "Невозможно выделить память")},
    {EFBIG, QT_TRANSLATE_NOOP("SystemError", "Файл слишком велик")},
    {EXDEV, QT_TRANSLATE_NOOP("SystemError", "Неверная ссылка между устройствами")},
    {EINVAL, QT_TRANSLATE_NOOP("SystemError", "Недопустимый аргумент")},
    {ESTALE, QT_TRANSLATE_NOOP("SystemError", "Устаревший дескриптор файла")},
    {ENODEV, QT_TRANSLATE_NOOP("SystemError", "Нет такого устройства")},
    {ENXIO, QT_TRANSLATE_NOOP("SystemError", "Нет такого устройства или адреса")},
    {EAGAIN, QT_TRANSLATE_NOOP("SystemError", "Ресурс временно недоступен")},
    {EINTR, QT_TRANSLATE_NOOP("SystemError", "Прерван системный вызов")},
    {EOVERFLOW, QT_TRANSLATE_NOOP("SystemError", "Значение слишком велико для этого типа данных")},
};

} // namespace

QString SystemErrors::message(int error) {
    QString text;
    for (const Known& known : KnownErrors) {
        if (known.error == error) {
            text = QCoreApplication::translate("SystemError", known.text);
            break;
        }
    }
    if (text.isEmpty())
        text = QString::fromLocal8Bit(std::strerror(error));
    while (!text.isEmpty() && (text.back() == u'.' || text.back().isSpace()))
        text.chop(1);
    return text;
}

std::vector<int> SystemErrors::catalogued() {
    std::vector<int> errors;
    for (const Known& known : KnownErrors)
        errors.push_back(known.error);
    return errors;
}

} // namespace quillmark
