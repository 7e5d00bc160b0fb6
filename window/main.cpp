// The program entry: one window and its event loop; the window writes the
// profile when it is destroyed on the way out, after a close or a SIGTERM.
#include "TerminationWatch.h"
#include "Tmainform.h"
#include "engine/UiLanguage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

using namespace quillmark;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("language of the window: ru or en"),
                                  QStringLiteral("ru|en"));
    parser.addOption(lang);
    parser.addHelpOption();
    parser.process(application);
    UiLanguage language = languageFromEnvironment();
    if (parser.isSet(lang)) {
        const std::optional<UiLanguage> chosen = languageFromOption(parser.value(lang));
        if (!chosen) {
            std::fprintf(stderr, "quillmark: --lang takes ru or en\n");
            return 2;
        }
        language = *chosen;
    }
    if (!installTranslation(language))
        std::fprintf(stderr, "quillmark: the English catalogue is missing\n");
    Tmainform mainform;
    const TerminationWatch watch(&mainform);
    mainform.show();
    return QApplication::exec();
}
