#include "cli/CliLanguage.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <vector>

using namespace quillmark;

namespace {

TEST(CliLanguageTest, LangOptionOrElseTheLocaleDecidesBeforeParsing) {
    const struct {
        std::vector<const char*> arguments;
        const char* locale;
        UiLanguage expected;
    } cases[] = {
        {{}, "ru_RU.UTF-8", UiLanguage::Russian},
        {{}, "C", UiLanguage::English},
        {{"--lang", "ru", "dir"}, "en_US.UTF-8", UiLanguage::Russian},
        {{"dir", "--lang=en"}, "ru_RU.UTF-8", UiLanguage::English},
        {{"--lang=ru", "--lang", "en", "dir"}, "C", UiLanguage::English},
        {{"--lang", "de", "dir"}, "ru_RU.UTF-8", UiLanguage::Russian},
        {{"--lang=", "dir"}, "C", UiLanguage::English},
        {{"dir", "--lang"}, "ru_RU.UTF-8", UiLanguage::Russian},
        {{"--", "--lang=en"}, "ru_RU.UTF-8", UiLanguage::Russian},
        {{"--language=en", "dir"}, "ru_RU.UTF-8", UiLanguage::Russian},
        {{"-l", "5", "--lang", "ru", "-q", "dir"}, "en_GB", UiLanguage::Russian},
    };
    const bool wasSet = qEnvironmentVariableIsSet("LC_ALL");
    const QByteArray saved = qgetenv("LC_ALL");
    for (const auto& c : cases) {
        std::vector<const char*> argv{"quillmark-cli"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        qputenv("LC_ALL", c.locale);
        EXPECT_EQ(languageFromArguments(int(argv.size()), argv.data()), c.expected)
            << c.locale << " " << (c.arguments.empty() ? "" : c.arguments.front());
    }
    if (wasSet)
        qputenv("LC_ALL", saved);
    else
        qunsetenv("LC_ALL");
}

} // namespace
