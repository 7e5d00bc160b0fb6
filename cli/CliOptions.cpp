#include "CliOptions.h"

#include "CliLanguage.h"
#include "HelpFormatter.h"
#include "engine/ReferenceCache.h"

#include <CLI/CLI.hpp>
#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace quillmark {

namespace {

QByteArray withFinalSlash(QByteArray path) {
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    return path;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

/// Whole numbers from `min` to `max`, read as decimal only: CLI11 alone would
/// take "010" as octal 8 and "0x14" as 20, and a zero-padded number from a
/// script must keep its value. Leading zeros are dropped, anything but digits
/// is refused.
CLI::Validator wholeNumber(int min, int max) {
    const QString low = QString::number(min);
    const QString high = QString::number(max);
    return CLI::Validator(
        [min, max, low, high](std::string& text) -> std::string {
            const std::size_t first = text.starts_with('+') ? 1 : 0;
            if (first == text.size() ||
                text.find_first_not_of("0123456789", first) != std::string::npos)
                return utf8(cliTranslate("CliOptions", "Value %1 is not a decimal whole number")
                                .arg(QString::fromStdString(text)));
            const std::size_t significant = text.find_first_not_of('0', first);
            text = significant == std::string::npos ? std::string("0") : text.substr(significant);
            // Nine digits fit an int; every range here ends well below.
            if (text.size() > 9 || std::stoi(text) < min || std::stoi(text) > max)
                return utf8(cliTranslate("CliOptions", "Value %1 not in range %2 to %3")
                                .arg(QString::fromStdString(text), low, high));
            return {};
        },
        utf8(cliTranslate("CliOptions", "INT in [%1 - %2]").arg(low, high)));
}

/// One of `words`, exactly as written.
CLI::Validator oneOf(const std::vector<std::string>& words) {
    std::string list;
    for (const std::string& word : words)
        list += (list.empty() ? "" : ",") + word;
    return CLI::Validator(
        [words, list](std::string& text) -> std::string {
            if (std::find(words.begin(), words.end(), text) != words.end())
                return {};
            return utf8(cliTranslate("CliOptions", "%1 not in {%2}")
                            .arg(QString::fromStdString(text), QString::fromStdString(list)));
        },
        "{" + list + "}");
}

bool isDeviceOrPipe(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode));
}

} // namespace

void CliOptions::addHelpAndVersion(CLI::App& app, const std::string& version) {
    app.description(utf8(cliTranslate(
        "CliOptions", "Checks a batch of texts for mutual similarity by word shingles.")));
    app.option_defaults()->group(utf8(cliTranslate("CliOptions", "Options")));
    const auto formatter = std::make_shared<HelpFormatter>();
    app.formatter(formatter);
    formatter->label("Usage", utf8(cliTranslate("CliOptions", "Usage")));
    formatter->label("OPTIONS", utf8(cliTranslate("CliOptions", "OPTIONS")));
    formatter->label("Positionals", utf8(cliTranslate("CliOptions", "Positionals")));
    formatter->label("REQUIRED", utf8(cliTranslate("CliOptions", "REQUIRED")));
    app.set_help_flag("-h,--help",
                      utf8(cliTranslate("CliOptions", "Print this help message and exit")));
    app.set_version_flag(
        "--version", version,
        utf8(cliTranslate("CliOptions", "Display program version information and exit")));
}

void CliOptions::addCommonTextOptions(CLI::App& app) {
    const std::string number = utf8(cliTranslate("CliOptions", "INT"));
    app.add_option("--template", m_template,
                   utf8(cliTranslate("CliOptions",
                                     "a file, or a directory of files, whose text no score counts "
                                     "(a site's standard introduction, a legal notice)")))
        ->type_name(utf8(cliTranslate("CliOptions", "PATH")));
    app.add_option("--ignore-common", m_commonPercent,
                   utf8(cliTranslate("CliOptions",
                                     "no score counts fragments that at least INT% of the texts "
                                     "(and 3 at least) hold; 0 to 100 (default 0: off)")))
        ->type_name(number)
        ->transform(wholeNumber(0, 100));
}

void CliOptions::addTo(CLI::App& app) {
    const std::string text = utf8(cliTranslate("CliOptions", "TEXT"));
    const std::string number = utf8(cliTranslate("CliOptions", "INT"));
    app.add_option("SOURCE_DIR", m_source,
                   utf8(cliTranslate("CliOptions", "directory of the texts to check")))
        ->type_name(text)
        ->required();
    app.add_option(
           "-o,--out", m_out,
           utf8(cliTranslate("CliOptions", "output directory (default: SOURCE_DIR/Result/)")))
        ->type_name(text);
    app.add_option("-l,--shingle-len", m_shingleLength,
                   utf8(cliTranslate("CliOptions", "words per shingle, 1 to 100 (default 10)")))
        ->type_name(number)
        ->transform(wholeNumber(1, 100));
    app.add_option("-p,--percent", m_percent,
                   utf8(cliTranslate("CliOptions", "allowed percentage, 0 to 100 (default 20)")))
        ->type_name(number)
        ->transform(wholeNumber(0, 100));
    app.add_flag("--no-lemmatize", m_noLemmatize,
                 utf8(cliTranslate("CliOptions", "truncation of words off (on by default)")));
    app.add_flag("--cut-html", m_cutHtml,
                 utf8(cliTranslate("CliOptions", "reduce HTML to its text first")));
    app.add_flag("--unmask", m_unmask,
                 utf8(cliTranslate("CliOptions",
                                   "see through disguised characters: Latin look-alikes in Russian "
                                   "words, invisible characters, line ends inside words")));
    addCommonTextOptions(app);
    addArchiveOption(app);
    app.add_option(
           "--encoding", m_encoding,
           utf8(cliTranslate("CliOptions",
                             "auto | cp1251 | utf-8 | koi8-r | cp866 | iso-8859-5 | mac-cyrillic "
                             "(default auto: told per file); the encoding of plain texts and web "
                             "pages, documents keep their own")))
        ->type_name(text)
        ->check(
            oneOf({"auto", "cp1251", "utf-8", "koi8-r", "cp866", "iso-8859-5", "mac-cyrillic"}));
    // Plain words only: an enum transformer would also take the numbers behind them.
    app.add_option("--save", m_save,
                   utf8(cliTranslate("CliOptions",
                                     "none | move | copy (default none: nothing on disk changes, "
                                     "not even the output directory is created)")))
        ->type_name(text)
        ->check(oneOf({"none", "move", "copy"}));
    // An existing file is never replaced; "-" is standard output, and a device
    // or pipe (/dev/null) is written to, which replaces nothing.
    const CLI::Validator newFile(
        [](std::string& path) -> std::string {
            struct stat info {};
            if (path == "-" || isDeviceOrPipe(path) || ::stat(path.c_str(), &info) != 0)
                return {};
            return utf8(cliTranslate("CliOptions", "Path already exists: %1")
                            .arg(QString::fromStdString(path)));
        },
        utf8(cliTranslate("CliOptions", "PATH(non-existing)")));
    app.add_option(
           "-r,--report", m_report,
           utf8(cliTranslate("CliOptions",
                             "write the report to a new file (\"-\" or absent: standard output)")))
        ->type_name(text)
        ->check(newFile);
    app.add_option("--format", m_format,
                   utf8(cliTranslate("CliOptions",
                                     "csv | json | html (default csv); html: one self-contained "
                                     "page with a chart of the scores, the table, and the "
                                     "passages every text that did not pass shares with its "
                                     "best match")))
        ->type_name(text)
        ->check(oneOf({"csv", "json", "html"}));
    app.add_option("--pairs", m_pairCount,
                   utf8(cliTranslate("CliOptions",
                                     "for every text, the earlier texts with the highest "
                                     "scores, at most this many, 0 to %1 (default 0: none); CSV "
                                     "gains columns pair1_file,pair1_score,..., JSON rows a "
                                     "\"pairs\" list, HTML a column")
                            .arg(MaxPairCount)))
        ->type_name(number)
        ->transform(wholeNumber(0, MaxPairCount));
    app.add_option(
           "-j,--jobs", m_jobCount,
           utf8(cliTranslate("CliOptions", "threads that read, fingerprint and compare the texts "
                                           "(default: one per processor); the scores do not depend "
                                           "on it")))
        ->type_name(number)
        ->transform(wholeNumber(1, 1024));
    app.add_flag("--strict", m_strict,
                 utf8(cliTranslate("CliOptions", "exit 3 when at least one text did not pass")));
    app.add_flag("-q,--quiet", m_quiet,
                 utf8(cliTranslate("CliOptions", "no progress display and no log")));
    app.add_option("--lang", m_language,
                   utf8(cliTranslate("CliOptions",
                                     "language of the help, messages, log and result lines: ru "
                                     "or en (default: by LC_ALL, LC_MESSAGES, LANG)")))
        ->type_name(text)
        ->check(oneOf({"ru", "en"}));
    app.add_flag(
        "--against-output", m_againstOutput,
        utf8(cliTranslate("CliOptions", "score every text also against the texts already in the "
                                        "output directory (reference texts: never scored, moved or "
                                        "copied themselves)")));
    app.add_option(
           "--reference", m_references,
           utf8(cliTranslate("CliOptions", "a directory of reference texts to score every text "
                                           "against; repeatable, in the order given")))
        ->type_name(text)
        ->allow_extra_args(false);
    app.add_flag("--no-cache", m_noCache,
                 utf8(cliTranslate("CliOptions",
                                   "read every reference text anew instead of taking unchanged "
                                   "ones from the reference cache")));
}

void CliOptions::addArchiveOption(CLI::App& app) {
    app.add_option("--archive,--uri", m_archive,
                   utf8(cliTranslate("CliOptions",
                                     "the team archive on a PostgreSQL server, as a connection "
                                     "URI (postgresql://user@host/database; the password from "
                                     "~/.pgpass or PGPASSWORD): every text is scored against it "
                                     "too, and the texts saved are added to it")))
        ->type_name("URI");
}

std::vector<QByteArray> CliOptions::referencePaths() const {
    std::vector<QByteArray> paths;
    for (const std::string& path : m_references)
        paths.push_back(withFinalSlash(QByteArray::fromStdString(path)));
    return paths;
}

QByteArray CliOptions::referenceCachePath() const {
    return m_noCache ? QByteArray() : ReferenceCache::defaultPath();
}

QString CliOptions::sourceDirectory() const {
    return QFile::decodeName(sourcePath());
}

QString CliOptions::outputDirectory() const {
    return QFile::decodeName(outputPath());
}

QByteArray CliOptions::sourcePath() const {
    return withFinalSlash(QByteArray::fromStdString(m_source));
}

QByteArray CliOptions::outputPath() const {
    if (!m_out.empty())
        return withFinalSlash(QByteArray::fromStdString(m_out));
    QByteArray source = QByteArray::fromStdString(m_source);
    if (source.isEmpty())
        return source;
    while (source.endsWith('/'))
        source.chop(1);
    return source + "/Result/";
}

ReportFormat CliOptions::reportFormat() const {
    if (m_format == "json")
        return ReportFormat::Json;
    if (m_format == "html")
        return ReportFormat::Html;
    return ReportFormat::Csv;
}

Encoding CliOptions::forcedEncoding() const {
    return TextEncoding::fromLabel(m_encoding);
}

SaveMode CliOptions::saveMode() const {
    if (m_save == "move")
        return SaveMode::Move;
    if (m_save == "copy")
        return SaveMode::Copy;
    return SaveMode::None;
}

QByteArray CliOptions::reportPath() const {
    if (m_report == "-")
        return QByteArray();
    return QByteArray::fromStdString(m_report);
}

QString CliOptions::saveModeName(SaveMode mode) {
    switch (mode) {
    case SaveMode::None:
        return QStringLiteral("none");
    case SaveMode::Move:
        return QStringLiteral("move");
    case SaveMode::Copy:
        return QStringLiteral("copy");
    }
    Q_UNREACHABLE();
}

UiLanguage CliOptions::language() const {
    if (m_language.empty())
        return languageFromEnvironment();
    return languageFromOption(QString::fromStdString(m_language)).value_or(UiLanguage::English);
}

} // namespace quillmark
