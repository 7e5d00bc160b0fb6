// The language quillmark-cli speaks: its own texts are English, with a Russian
// catalogue built into the program.
#pragma once

#include "engine/UiLanguage.h"

#include <QString>

namespace quillmark {

/// One of quillmark-cli's own texts in the chosen language. Marked apart from
/// tr() and translate(), whose texts are Russian, so that lupdate puts these
/// into the CLI's catalogue and never into the window's English one.
QString cliTranslate(const char* context, const char* source, const char* disambiguation = nullptr);

/// The language --lang picks among `arguments` (the program name first), or
/// the locale's when it is absent or names no language. Known before the
/// options are parsed, so that the help and option errors speak it too.
UiLanguage languageFromArguments(int count, const char* const* arguments);

/// Loads every catalogue `language` needs: the engine's English one, or the
/// CLI's Russian one. False when a catalogue is missing.
bool installCliTranslation(UiLanguage language);

} // namespace quillmark
