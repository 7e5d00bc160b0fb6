#include "CliOptions.h"

#include "engine/ReferenceCache.h"

#include <CLI/CLI.hpp>
#include <QFile>
#include <sys/stat.h>

namespace quillmark {

namespace {

QByteArray withFinalSlash(QByteArray path) {
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    return path;
}

/// Whole numbers are read as decimal only: CLI11 alone would take "010" as
/// octal 8 and "0x14" as 20, and a zero-padded number from a script must keep
/// its value. Leading zeros are dropped, anything but digits is refused.
CLI::Validator decimalNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const std::size_t first = text.starts_with('+') ? 1 : 0;
            if (first == text.size() ||
                text.find_first_not_of("0123456789", first) != std::string::npos)
                return "Value " + text + " is not a decimal whole number";
            const std::size_t significant = text.find_first_not_of('0', first);
            text = significant == std::string::npos ? std::string("0") : text.substr(significant);
            return {};
        },
        std::string());
}

bool isDeviceOrPipe(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode));
}

} // namespace

void CliOptions::addTo(CLI::App& app) {
    app.add_option("SOURCE_DIR", m_source, "directory of the texts to check")->required();
    app.add_option("-o,--out", m_out, "output directory (default: SOURCE_DIR/Result/)");
    app.add_option("-l,--shingle-len", m_shingleLength, "words per shingle, 1 to 100 (default 10)")
        ->transform(decimalNumber())
        ->check(CLI::Range(1, 100));
    app.add_option("-p,--percent", m_percent, "allowed percentage, 0 to 100 (default 20)")
        ->transform(decimalNumber())
        ->check(CLI::Range(0, 100));
    app.add_flag("--no-lemmatize", m_noLemmatize, "truncation of words off (on by default)");
    app.add_flag("--cut-html", m_cutHtml, "reduce HTML to its text first");
    app.add_option("--encoding", m_encoding,
                   "auto | cp1251 | utf-8 | koi8-r | cp866 | iso-8859-5 | mac-cyrillic (default "
                   "auto: told per file); the encoding of plain texts and web pages, documents "
                   "keep their own")
        ->check(CLI::IsMember(
            {"auto", "cp1251", "utf-8", "koi8-r", "cp866", "iso-8859-5", "mac-cyrillic"}));
    // Plain words only: an enum transformer would also take the numbers behind them.
    app.add_option("--save", m_save,
                   "none | move | copy (default none: nothing on disk changes, not even the "
                   "output directory is created)")
        ->check(CLI::IsMember({"none", "move", "copy"}));
    // An existing file is never replaced; "-" is standard output, and a device
    // or pipe (/dev/null) is written to, which replaces nothing.
    const CLI::Validator newFile(
        [](std::string& path) {
            return path == "-" || isDeviceOrPipe(path) ? std::string() : CLI::NonexistentPath(path);
        },
        "PATH(non-existing)");
    app.add_option("-r,--report", m_report,
                   "write the report to a new file (\"-\" or absent: standard output)")
        ->check(newFile);
    app.add_option("--format", m_format,
                   "csv | json | html (default csv); html: one self-contained page with a chart "
                   "of the scores, the table, and the passages every text that did not pass "
                   "shares with its best match")
        ->check(CLI::IsMember({"csv", "json", "html"}));
    app.add_option("--pairs", m_pairCount,
                   "for every text, the earlier texts with the highest scores, at most this "
                   "many, 0 to " +
                       std::to_string(MaxPairCount) +
                       " (default 0: none); CSV gains columns pair1_file,pair1_score,..., JSON "
                       "rows a \"pairs\" list, HTML a column")
        ->transform(decimalNumber())
        ->check(CLI::Range(0, MaxPairCount));
    app.add_option("-j,--jobs", m_jobCount,
                   "threads that read and fingerprint the texts (default: one per processor); "
                   "the scores do not depend on it")
        ->transform(decimalNumber())
        ->check(CLI::Range(1, 1024));
    app.add_flag("--strict", m_strict, "exit 3 when at least one text did not pass");
    app.add_flag("-q,--quiet", m_quiet, "no progress display and no log");
    app.add_option("--lang", m_language,
                   "language of the log and result lines: ru or en (default: by LC_ALL, "
                   "LC_MESSAGES, LANG)")
        ->check(CLI::IsMember({"ru", "en"}));
    app.add_flag("--against-output", m_againstOutput,
                 "score every text also against the texts already in the output directory "
                 "(reference texts: never scored, moved or copied themselves)");
    app.add_option("--reference", m_references,
                   "a directory of reference texts to score every text against; repeatable, "
                   "in the order given")
        ->allow_extra_args(false);
    app.add_flag("--no-cache", m_noCache,
                 "read every reference text anew instead of taking unchanged ones from the "
                 "reference cache");
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
