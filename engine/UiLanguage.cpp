#include "UiLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>

namespace quillmark {

std::optional<UiLanguage> languageFromOption(const QString& value) {
    if (value == QLatin1String("ru"))
        return UiLanguage::Russian;
    if (value == QLatin1String("en"))
        return UiLanguage::English;
    return std::nullopt;
}

UiLanguage languageFromLocaleName(const QString& name) {
    const bool russian = name == QLatin1String("ru") || name.startsWith(QLatin1String("ru_")) ||
                         name.startsWith(QLatin1String("ru."));
    return russian ? UiLanguage::Russian : UiLanguage::English;
}

UiLanguage languageFromEnvironment() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0')
            return languageFromLocaleName(QString::fromLocal8Bit(value));
    }
    return UiLanguage::English;
}

bool installTranslation(UiLanguage language) {
    if (language == UiLanguage::Russian)
        return true;
    // Owned by the application for the rest of its life.
    auto* engine = new QTranslator(QCoreApplication::instance());
    if (!engine->load(QStringLiteral(":/i18n/quillmark-engine_en.qm")))
        return false;
    QCoreApplication::installTranslator(engine);
    // The window's own catalogue, where the program has a window.
    auto* window = new QTranslator(QCoreApplication::instance());
    if (window->load(QStringLiteral(":/i18n/quillmark_en.qm")))
        QCoreApplication::installTranslator(window);
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLocale(QLocale::English), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    return true;
}

} // namespace quillmark
