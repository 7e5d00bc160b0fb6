#include "CliLanguage.h"

#include <QCoreApplication>
#include <QTranslator>
#include <string_view>

namespace quillmark {

QString cliTranslate(const char* context, const char* source, const char* disambiguation) {
    return QCoreApplication::translate(context, source, disambiguation);
}

UiLanguage languageFromArguments(int count, const char* const* arguments) {
    std::optional<UiLanguage> chosen;
    for (int i = 1; i < count; ++i) {
        const std::string_view argument(arguments[i]);
        // Whatever follows "--" is a directory, never an option.
        if (argument == "--")
            break;
        std::string_view value;
        if (argument == "--lang" && i + 1 < count)
            value = arguments[++i];
        else if (argument.starts_with("--lang="))
            value = argument.substr(7);
        else
            continue;
        // The last one counts, as for the parser.
        chosen = languageFromOption(QString::fromUtf8(value.data(), qsizetype(value.size())));
    }
    return chosen.value_or(languageFromEnvironment());
}

bool installCliTranslation(UiLanguage language) {
    if (language == UiLanguage::English)
        return installTranslation(language);
    // Owned by the application for the rest of its life.
    auto* own = new QTranslator(QCoreApplication::instance());
    if (!own->load(QStringLiteral(":/i18n/quillmark-cli_ru.qm")))
        return false;
    QCoreApplication::installTranslator(own);
    return installTranslation(language);
}

} // namespace quillmark
