#include "OptionError.h"

#include "CliLanguage.h"

#include <CLI/CLI.hpp>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace quillmark {

namespace {

/// The captures of `pattern` over the whole of `text`; empty when it does not match.
QStringList parts(const QString& text, const char* pattern) {
    const QRegularExpression expression(QRegularExpression::anchoredPattern(QLatin1String(pattern)),
                                        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = expression.match(text);
    if (!match.hasMatch())
        return {};
    QStringList captured = match.capturedTexts();
    captured.removeFirst();
    return captured;
}

/// Arguments left over: unknown options when every one looks like an option.
bool allOptions(const QString& arguments) {
    const QStringList words = arguments.split(u' ', Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(), [](const QString& word) {
        return word.size() > 1 && word.startsWith(u'-');
    });
}

} // namespace

QString OptionError::line(const CLI::Error& error) {
    const QString what = QString::fromStdString(error.what());
    // The validators' own texts are translated already.
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr)
        return cliTranslate("OptionError", "ERROR: ValidationError: %1").arg(what);
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        if (const QStringList name = parts(what, "(\\S+) is required"); !name.isEmpty())
            return cliTranslate("OptionError", "ERROR: RequiredError: %1 is required").arg(name[0]);
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        if (const QStringList one = parts(what, "The following argument was not expected: (.*)");
            !one.isEmpty())
            return allOptions(one[0])
                       ? cliTranslate("OptionError",
                                      "ERROR: quillmark-cli: The following argument was not "
                                      "expected: %1",
                                      "unknown option")
                             .arg(one[0])
                       : cliTranslate("OptionError",
                                      "ERROR: quillmark-cli: The following argument was not "
                                      "expected: %1",
                                      "extra argument")
                             .arg(one[0]);
        if (const QStringList many = parts(what, "The following arguments were not expected: (.*)");
            !many.isEmpty())
            return allOptions(many[0])
                       ? cliTranslate("OptionError",
                                      "ERROR: quillmark-cli: The following arguments were not "
                                      "expected: %1",
                                      "unknown options")
                             .arg(many[0])
                       : cliTranslate("OptionError",
                                      "ERROR: quillmark-cli: The following arguments were not "
                                      "expected: %1",
                                      "extra arguments")
                             .arg(many[0]);
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        if (const QStringList missing = parts(what, "(\\S+): (\\d+) required (.*) missing");
            !missing.isEmpty())
            return cliTranslate("OptionError",
                                "ERROR: ArgumentMismatch: %1: %2 required %3 missing")
                .arg(missing[0], missing[1], missing[2]);
        if (const QStringList most =
                parts(what, "(\\S+): At Most (\\d+) required but received (\\d+)");
            !most.isEmpty())
            return cliTranslate("OptionError",
                                "ERROR: ArgumentMismatch: %1: At Most %2 required but received %3")
                .arg(most[0], most[1], most[2]);
    }
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        if (const QStringList value = parts(what, "Could not convert: (\\S+) = (.*)");
            !value.isEmpty())
            return cliTranslate("OptionError", "ERROR: ConversionError: Could not convert: %1 = %2")
                .arg(value[0], value[1]);
        if (const QStringList flag = parts(what, "(\\S+): Should be true/false or a number");
            !flag.isEmpty())
            return cliTranslate("OptionError",
                                "ERROR: ConversionError: %1: Should be true/false or a number")
                .arg(flag[0]);
    }
    // Errors these options cannot cause keep CLI11's text after the caption.
    return cliTranslate("OptionError", "ERROR: %1: %2")
        .arg(QString::fromStdString(error.get_name()), what);
}

std::string OptionError::message(const CLI::App* app, const CLI::Error& error) {
    return line(error).toStdString() + "\n" + app->help();
}

} // namespace quillmark
