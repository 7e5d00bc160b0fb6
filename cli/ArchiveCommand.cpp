#include "ArchiveCommand.h"

#include "CliLanguage.h"
#include "CliOptions.h"
#include "ExitStatus.h"
#include "OptionError.h"
#include "TerminalHost.h"
#include "engine/TeamArchive.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

namespace quillmark {

namespace {

void printOut(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
}

void printError(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}

int list(TeamArchive& archive) {
    for (const ArchiveCount& count : archive.counts())
        printOut(cliTranslate("ArchiveCommand", "%1: %2 texts, %3 shingles")
                     .arg(QString::fromUtf8(count.settings), QString::number(count.texts),
                          QString::number(count.shingles)));
    printOut(cliTranslate("ArchiveCommand", "in all: %1 texts").arg(archive.size()));
    return ExitCompleted;
}

int check(TeamArchive& archive) {
    const ArchiveHealth health = archive.check();
    printOut(
        cliTranslate("ArchiveCommand", "%1 texts, %2 posting rows, %3 postings of removed texts")
            .arg(QString::number(health.texts), QString::number(health.postingRows),
                 QString::number(health.leftByRemovals)));
    for (const QString& problem : health.problems)
        printError(problem);
    if (!health.problems.isEmpty())
        return ExitRunFailed;
    printOut(cliTranslate("ArchiveCommand", "the archive is consistent"));
    return ExitCompleted;
}

int remove(TeamArchive& archive, const std::string& directory,
           const std::vector<std::string>& names) {
    const QByteArray origin = ArchiveSet::originOf(QByteArray::fromStdString(directory));
    std::vector<QByteArray> named;
    for (const std::string& name : names)
        named.push_back(QByteArray::fromStdString(name));
    printOut(cliTranslate("ArchiveCommand", "removed %1").arg(archive.remove(origin, named)));
    return ExitCompleted;
}

} // namespace

int archiveAddStatus(const ArchiveAdded& counts, TerminalHost& host) {
    printOut(cliTranslate("ArchiveCommand", "added %1, already in the archive %2, not read %3")
                 .arg(QString::number(counts.added), QString::number(counts.present),
                      QString::number(counts.unread)));
    return host.failureReported() ? ExitRunFailed : ExitCompleted;
}

int runArchiveAdmin(int argc, char** argv, const std::string& version) {
    CLI::App app(std::string(), "quillmark-cli archive");
    CliOptions::addHelpAndVersion(app, version);
    app.failure_message(&OptionError::message);
    app.require_subcommand(1);
    CLI::App* listing = app.add_subcommand(
        "list", cliTranslate("ArchiveCommand", "count the texts by settings").toStdString());
    CLI::App* checking = app.add_subcommand(
        "check",
        cliTranslate("ArchiveCommand", "check that the archive is consistent").toStdString());
    CLI::App* removing = app.add_subcommand(
        "remove",
        cliTranslate("ArchiveCommand", "remove texts added from a directory").toStdString());
    std::string directory;
    std::vector<std::string> names;
    removing->add_option("directory", directory)->required();
    removing->add_option("names", names);
    std::string uri;
    // The language was taken from the arguments before they were parsed.
    std::string language;
    for (CLI::App* action : {listing, checking, removing}) {
        action
            ->add_option(
                "--uri", uri,
                cliTranslate("ArchiveCommand", "the archive's connection URI").toStdString())
            ->type_name("URI")
            ->required();
        action->add_option(
            "--lang", language,
            cliTranslate("ArchiveCommand", "language of the messages: ru or en").toStdString());
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitCompleted : ExitBadOptions;
    }
    try {
        TeamArchive archive(QByteArray::fromStdString(uri));
        if (*listing)
            return list(archive);
        if (*checking)
            return check(archive);
        return remove(archive, directory, names);
    } catch (const ArchiveError& error) {
        printError(QString::fromUtf8(error.what()));
        return ExitRunFailed;
    }
}

} // namespace quillmark
