// The options of quillmark-cli and what they mean for a run.
#pragma once

#include "engine/EngineHost.h"
#include "engine/UiLanguage.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace quillmark {

enum class ReportFormat { Csv, Json, Html };

/// --strict: whether a text that did not pass fails the whole call.
enum class Strictness { Lenient, Strict };

/// --quiet: no progress display and no log lines apart from failures.
enum class Verbosity { Normal, Quiet };

class CliOptions {
public:
    /// The description, the help and version flags and the help's captions of
    /// `app`, in the chosen language; before addTo(), whose options join them.
    static void addHelpAndVersion(CLI::App& app, const std::string& version);
    /// Declares every option on `app`; the values land here when `app` parses.
    void addTo(CLI::App& app);

    /// The source directory as given, ending with "/" unless it is empty
    /// (an empty path must stay invalid rather than become the root).
    QString sourceDirectory() const;
    /// --out ending with "/", or the subdirectory Result of the source.
    QString outputDirectory() const;
    /// The same two as the bytes given on the command line, unchanged (the
    /// texts above are for showing).
    QByteArray sourcePath() const;
    QByteArray outputPath() const;
    int shingleLength() const { return m_shingleLength; }
    int allowedPercent() const { return m_percent; }
    Truncation truncation() const { return m_noLemmatize ? Truncation::Off : Truncation::On; }
    HtmlHandling htmlHandling() const { return m_cutHtml ? HtmlHandling::Cut : HtmlHandling::Keep; }
    Unmask unmask() const { return m_unmask ? Unmask::On : Unmask::Off; }
    /// --template, the bytes as given; empty when not given.
    QByteArray templatePath() const { return QByteArray::fromStdString(m_template); }
    /// --ignore-common; 0 when not given.
    int commonPercent() const { return m_commonPercent; }
    SaveMode saveMode() const;
    /// --encoding; Auto unless one is forced.
    Encoding forcedEncoding() const;
    /// Empty for standard output; the bytes as given.
    QByteArray reportPath() const;
    ReportFormat reportFormat() const;
    /// --pairs: how many earlier documents with the highest scores each row
    /// names; 0 names none (and leaves the report as it was without them).
    int pairCount() const { return m_pairCount; }
    /// --jobs; 0 when not given (one thread per processor).
    int jobCount() const { return m_jobCount; }
    Strictness strictness() const { return m_strict ? Strictness::Strict : Strictness::Lenient; }
    Verbosity verbosity() const { return m_quiet ? Verbosity::Quiet : Verbosity::Normal; }
    /// --lang, or the language of the user's locale when it is not given.
    UiLanguage language() const;

    /// The word for a save mode as the option takes it.
    static QString saveModeName(SaveMode mode);
    /// --against-output: the texts already in the output directory are references.
    bool againstOutput() const { return m_againstOutput; }
    /// --reference, in the order given.
    std::vector<QByteArray> referencePaths() const;
    /// The reference cache file; empty with --no-cache.
    QByteArray referenceCachePath() const;
    /// --archive (or --uri); empty when not given.
    QByteArray archiveUri() const { return QByteArray::fromStdString(m_archive); }

    /// The most --pairs takes: more would make the CSV report unwieldy.
    static constexpr int MaxPairCount = 1000;

private:
    /// --template and --ignore-common.
    void addCommonTextOptions(CLI::App& app);
    void addArchiveOption(CLI::App& app);

    std::string m_source;
    std::string m_out;
    int m_shingleLength = 10;
    int m_percent = 20;
    bool m_noLemmatize = false;
    bool m_cutHtml = false;
    bool m_unmask = false;
    std::string m_template;
    int m_commonPercent = 0;
    std::string m_encoding = "auto";
    std::string m_save = "none";
    std::string m_report;
    std::string m_format = "csv";
    int m_pairCount = 0;
    int m_jobCount = 0;
    bool m_strict = false;
    bool m_quiet = false;
    std::string m_language;
    bool m_againstOutput = false;
    std::vector<std::string> m_references;
    bool m_noCache = false;
    std::string m_archive;
};

} // namespace quillmark
