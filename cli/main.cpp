// quillmark-cli: the batch check of the window, driven by options, for scripts.
#include "ArchiveCommand.h"
#include "CliLanguage.h"
#include "CliOptions.h"
#include "ExitStatus.h"
#include "InterruptFlag.h"
#include "OptionError.h"
#include "Report.h"
#include "ReportFile.h"
#include "TerminalHost.h"
#include "analysis/Stopped.h"
#include "engine/BatchEngine.h"
#include "engine/ReferenceCache.h"
#include "engine/SystemErrors.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <unistd.h>

using namespace quillmark;

namespace {

/// Says on standard error what saving left undone; returns whether a text
/// failed to be saved. Said even with --quiet: a script must not take the
/// texts for saved.
bool reportSaving(const SaveSummary& saved, RunOutcome outcome, TerminalHost& host) {
    if (saved.anyFailed())
        host.printLine(cliTranslate("main", "quillmark-cli: %1 of %2 texts could not be saved and "
                                            "stay where they were (see the \"saved\" column)")
                           .arg(QString::number(saved.failed), QString::number(saved.selected)));
    if (outcome == RunOutcome::SavingStopped)
        host.printLine(cliTranslate("main",
                                    "quillmark-cli: saving stopped; %1 of %2 texts were not "
                                    "reached and stay where they were")
                           .arg(QString::number(saved.pending), QString::number(saved.selected)));
    return saved.anyFailed();
}

/// Writes the report of a run that reached its end and returns the exit
/// status. What saving left undone is said whatever became of the report, and
/// the status is the worst: no report, a stop, a failure, a text not saved, a
/// text that did not pass (--strict).
int finishRun(const CliOptions& options, const BatchEngine& engine, TerminalHost& host,
              ReportFile& report) {
    // A stop during saving still reports what was saved up to then.
    const Report result(options, engine);
    bool written = true;
    try {
        report.write(result.render(options.reportFormat()));
    } catch (const std::exception& error) {
        host.printLine(QString::fromStdString(error.what()));
        written = false;
    }
    const RunOutcome outcome = engine.lastOutcome();
    const bool notAllSaved = reportSaving(engine.documents().saveSummary(), outcome, host);
    if (!written)
        return ExitRunFailed;
    if (outcome == RunOutcome::SavingStopped)
        return ExitInterrupted;
    if (host.failureReported())
        return ExitRunFailed;
    if (notAllSaved)
        return ExitNotAllSaved;
    if (options.strictness() == Strictness::Strict && result.failedCount() > 0)
        return ExitNotAllPassed;
    return ExitCompleted;
}

/// Prints the counts of "index"; false when standard output refused them.
bool printIndexCounts(const IndexChanges& changes, TerminalHost& host) {
    const QString counts =
        cliTranslate("main", "added %1, changed %2, removed %3, unchanged %4")
            .arg(QString::number(changes.added), QString::number(changes.changed),
                 QString::number(changes.removed), QString::number(changes.unchanged));
    std::printf("%s\n", counts.toUtf8().constData());
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
        return true;
    host.printLine(
        cliTranslate("main", "Cannot write the counts: %1.").arg(SystemErrors::message(errno)));
    return false;
}

/// What the call does; "index DIR" and "archive add DIR" take the source's place.
enum class Command { Run, Index, ArchiveAdd, ArchiveAdmin };

Command commandOf(int argc, char** argv) {
    const auto word = [&](int at) { return at < argc ? std::string_view(argv[at]) : ""; };
    if (word(1) == "index")
        return Command::Index;
    if (word(1) != "archive")
        return Command::Run;
    return word(2) == "add" ? Command::ArchiveAdd : Command::ArchiveAdmin;
}

/// The first option given that `index` or `archive add` has no use for; empty when none.
std::string optionIndexIgnores(const CLI::App& app, Command command) {
    for (const char* name :
         {"--out", "--percent", "--save", "--report", "--format", "--pairs", "--strict",
          "--against-output", "--reference", "--template", "--ignore-common"})
        if (app.count(name) > 0)
            return name;
    // The reference cache is this machine's own.
    if (command == Command::Index && app.count("--archive") > 0)
        return "--archive";
    return {};
}

/// Adds the source directory's texts to the archive --uri names.
int addToArchive(const CliOptions& options, BatchEngine& engine, TerminalHost& host) {
    if (options.archiveUri().isEmpty()) {
        host.printLine(cliTranslate("main", "quillmark-cli: archive add needs --uri"));
        return ExitBadOptions;
    }
    try {
        return archiveAddStatus(engine.addToArchive(options.sourcePath()), host);
    } catch (const Stopped&) {
        host.printLine(cliTranslate("main", "Stopped: the texts read after the last 4,000 stored "
                                            "were not added"));
        return ExitInterrupted;
    } catch (const std::exception& error) {
        host.printLine(QString::fromUtf8(error.what()));
        return ExitRunFailed;
    }
}

/// The exit status of `index`: its counts, then whether they were stored.
int indexStatus(const IndexChanges& changes, TerminalHost& host) {
    if (!printIndexCounts(changes, host))
        return ExitRunFailed;
    if (changes.stored)
        return ExitCompleted;
    // The counts say what was found; none of it is in the cache.
    host.printLine(changes.stopped
                       ? cliTranslate("main", "Stopped: nothing was stored")
                       : cliTranslate("main", "Nothing was stored: %1").arg(changes.failure));
    return changes.stopped ? ExitInterrupted : ExitRunFailed;
}

} // namespace

int main(int argc, char** argv) {
    // A reader that goes away makes writing fail with EPIPE, which is reported,
    // rather than ending the program before it says what was saved.
    std::signal(SIGPIPE, SIG_IGN);
    // "index DIR [options]": DIR takes the source's place.
    const Command command = commandOf(argc, argv);
    const bool indexing = command == Command::Index;
    const int skipped = command == Command::Run ? 0 : command == Command::ArchiveAdd ? 2 : 1;
    argc -= skipped;
    argv += skipped;
    // The language is known first: the help and option errors speak it too.
    const QCoreApplication application(argc, argv);
    installCliTranslation(languageFromArguments(argc, argv));
    if (command == Command::ArchiveAdmin)
        return runArchiveAdmin(argc, argv, std::string("quillmark-cli ") + QUILLMARK_VERSION);

    CLI::App app(std::string(), "quillmark-cli");
    CliOptions::addHelpAndVersion(app, std::string("quillmark-cli ") + QUILLMARK_VERSION);
    app.failure_message(&OptionError::message);
    CliOptions options;
    options.addTo(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitCompleted : ExitBadOptions;
    }
    if (const std::string unused =
            command != Command::Run ? optionIndexIgnores(app, command) : std::string();
        !unused.empty()) {
        std::fprintf(stderr, "%s\n",
                     cliTranslate("main", "quillmark-cli: %1 does not apply to %2")
                         .arg(QString::fromStdString(unused),
                              indexing ? QStringLiteral("index") : QStringLiteral("archive add"))
                         .toUtf8()
                         .constData());
        return ExitBadOptions;
    }

    const bool onTerminal = isatty(STDERR_FILENO) == 1;
    TerminalHost host(options, stderr,
                      onTerminal && options.verbosity() == Verbosity::Normal
                          ? ProgressDisplay::Shown
                          : ProgressDisplay::Hidden);
    std::optional<ReportFile> report;
    try {
        report.emplace(options.reportPath());
        InterruptFlag::install();
    } catch (const std::exception& error) {
        host.printLine(QString::fromStdString(error.what()));
        return ExitRunFailed;
    }

    BatchEngine engine(host);
    host.attach(engine);
    if (command == Command::ArchiveAdd)
        return addToArchive(options, engine, host);
    if (indexing) {
        try {
            const IndexChanges changes = engine.indexReferences(options.sourcePath());
            return indexStatus(changes, host);
        } catch (const std::exception& error) {
            host.printLine(QString::fromUtf8(error.what()));
            return ExitRunFailed;
        }
    }
    engine.setRankedMatchCount(options.pairCount());
    engine.setJobCount(options.jobCount());
    engine.startOrStopRun();
    host.finishProgress();

    const RunOutcome outcome = engine.lastOutcome();
    if (outcome == RunOutcome::Stopped) {
        if (options.verbosity() == Verbosity::Normal && !host.result().isEmpty())
            host.printLine(host.result());
        return ExitInterrupted;
    }
    if (outcome != RunOutcome::Completed && outcome != RunOutcome::SavingStopped)
        return ExitRunFailed;

    return finishRun(options, engine, host, *report);
}
