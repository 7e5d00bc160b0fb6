#pragma once
// The language the program speaks: Russian texts are its own, English comes
// from the catalogue built into the program.
#include <QString>
#include <optional>

namespace quillmark {

enum class UiLanguage { Russian, English };

// "ru" or "en" as given to --lang; nothing for any other value.
std::optional<UiLanguage> languageFromOption(const QString& value);

// The language of a locale name such as "ru_RU.UTF-8" or "en_GB": Russian
// only for Russian, English for everything else, including "C" and "".
UiLanguage languageFromLocaleName(const QString& name);

// The user's language by LC_ALL, LC_MESSAGES and LANG, the first one set.
UiLanguage languageFromEnvironment();

// Loads the English catalogue (and Qt's own, when installed) into the
// application; Russian needs nothing. False when the catalogue is missing.
bool installTranslation(UiLanguage language);

} // namespace quillmark
