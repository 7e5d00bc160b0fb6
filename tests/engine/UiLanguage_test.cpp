#include "analysis/DocumentText.h"
#include "analysis/RtfText.h"
#include "analysis/TextReader.h"
#include "engine/SystemErrors.h"
#include "engine/UiLanguage.h"
#include "engine/UnreadReasons.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace quillmark;

namespace {

TEST(UiLanguage, LocaleNamesAndOptions) {
    const struct {
        const char* locale;
        UiLanguage expected;
    } cases[] = {
        {"ru_RU.UTF-8", UiLanguage::Russian}, {"ru_UA", UiLanguage::Russian},
        {"ru", UiLanguage::Russian},          {"ru.KOI8-R", UiLanguage::Russian},
        {"en_GB.UTF-8", UiLanguage::English}, {"C.UTF-8", UiLanguage::English},
        {"C", UiLanguage::English},           {"", UiLanguage::English},
        {"rue_UA", UiLanguage::English},      {"de_DE@euro", UiLanguage::English},
    };
    for (const auto& c : cases)
        EXPECT_EQ(languageFromLocaleName(QString::fromLatin1(c.locale)), c.expected) << c.locale;

    EXPECT_EQ(languageFromOption(QStringLiteral("ru")), UiLanguage::Russian);
    EXPECT_EQ(languageFromOption(QStringLiteral("en")), UiLanguage::English);
    for (const char* wrong : {"", "RU", "russian", "en_US", "de"})
        EXPECT_FALSE(languageFromOption(QString::fromLatin1(wrong)).has_value()) << wrong;
}

TEST(UiLanguage, EnvironmentOrder) {
    const struct {
        const char* all;
        const char* messages;
        const char* lang;
        UiLanguage expected;
    } cases[] = {
        {"", "", "ru_RU.UTF-8", UiLanguage::Russian},
        {"", "ru_RU.UTF-8", "en_US.UTF-8", UiLanguage::Russian},
        {"en_US.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8", UiLanguage::English},
        {"ru_RU.UTF-8", "", "C", UiLanguage::Russian},
        {"", "", "", UiLanguage::English},
    };
    for (const auto& c : cases) {
        qputenv("LC_ALL", c.all);
        qputenv("LC_MESSAGES", c.messages);
        qputenv("LANG", c.lang);
        EXPECT_EQ(languageFromEnvironment(), c.expected)
            << c.all << "|" << c.messages << "|" << c.lang;
    }
}

// The built-in catalogue answers for the engine and the terminal; the
// window's own is tested with the window.
TEST(UiLanguage, EnglishCatalogueIsBuiltIn) {
    int argc = 1;
    char name[] = "UiLanguage_test";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    EXPECT_EQ(QCoreApplication::translate("BatchEngine", "Начало работы.."), "Начало работы..");
    ASSERT_TRUE(installTranslation(UiLanguage::Russian));
    EXPECT_EQ(QCoreApplication::translate("BatchEngine", "Начало работы.."), "Начало работы..");
    ASSERT_TRUE(installTranslation(UiLanguage::English));
    const struct {
        const char* context;
        const char* source;
        const char* english;
    } cases[] = {
        {"BatchEngine", "Начало работы..", "Starting.."},
        {"BatchEngine", "Остановлено. ", "Stopped. "},
        {"TerminalHost", "Загрузка текстов", "Loading texts"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QCoreApplication::translate(c.context, c.source), QString::fromUtf8(c.english))
            << c.source;
}

// Reading gives its reasons in Russian; each one it gives is in the list the
// catalogue translates, and the log shows it in English.
TEST(UiLanguage, ReasonsAFileIsNotReadAreTranslated) {
    int argc = 1;
    char name[] = "UiLanguage_test";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    ASSERT_TRUE(installTranslation(UiLanguage::English));
    const std::set<std::string> listed(UnreadReasons, UnreadReasons + UnreadReasonCount);
    for (const std::string& reason : listed)
        EXPECT_NE(QCoreApplication::translate("UnreadableText", reason.c_str()),
                  QString::fromStdString(reason))
            << reason;

    try {
        TextReader::read(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), HtmlHandling::Keep);
        ADD_FAILURE() << "an image read as a text";
    } catch (const UnreadableText& error) {
        EXPECT_TRUE(listed.count(error.what())) << error.what();
    }
    try {
        TextReader::checkSize(TextReader::maxFileSize + 1);
        ADD_FAILURE() << "a file over the limit passed";
    } catch (const UnreadableText& error) {
        EXPECT_TRUE(listed.count(error.what())) << error.what();
    }
    // An RTF document left open, without text, nested too deep, too long.
    const std::pair<std::string, std::size_t> rtfs[] = {
        {"{\\rtf1 a", 100},
        {"{\\rtf1}", 100},
        {"{\\rtf1" + std::string(RtfText::maxDepth, '{'), 100},
        {"{\\rtf1 abc}", 2},
    };
    for (const auto& [rtf, limit] : rtfs) {
        try {
            RtfText::paragraphsOf(rtf, nullptr, limit);
            ADD_FAILURE() << rtf.substr(0, 20) << " was read";
        } catch (const UnreadableText& error) {
            EXPECT_TRUE(listed.count(error.what())) << error.what();
        }
    }
}

// The system's reasons follow the language too: Russian from the catalogue,
// and in English exactly the C library's own words.
TEST(UiLanguage, SystemErrorsFollowTheLanguage) {
    int argc = 1;
    char name[] = "UiLanguage_test";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    ASSERT_TRUE(installTranslation(UiLanguage::Russian));
    EXPECT_EQ(SystemErrors::message(EACCES), QStringLiteral("Отказано в доступе"));
    EXPECT_EQ(SystemErrors::message(EROFS),
              QStringLiteral("Файловая система доступна только для чтения"));
    std::set<QString> russian;
    for (const int error : SystemErrors::catalogued())
        russian.insert(SystemErrors::message(error));
    EXPECT_EQ(russian.size(), SystemErrors::catalogued().size()) << "one text for each error";
    // An error the catalogue lacks keeps the C library's text.
    EXPECT_EQ(SystemErrors::message(EDOM), QString::fromLocal8Bit(std::strerror(EDOM)));

    ASSERT_TRUE(installTranslation(UiLanguage::English));
    for (const int error : SystemErrors::catalogued()) {
        QString expected = QString::fromLocal8Bit(std::strerror(error));
        while (expected.endsWith(u'.'))
            expected.chop(1);
        EXPECT_EQ(SystemErrors::message(error), expected) << error;
    }
}

} // namespace
