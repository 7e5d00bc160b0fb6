#include "SelectionSaver.h"

#include "ArchiveSet.h"
#include "DirectoryListing.h"
#include "ReferenceSet.h"
#include "RunFailure.h"
#include "TemporaryFile.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmark {

namespace {

/// What the table records of one transfer, and the log line it gets.
struct TransferReport {
    SaveOutcome outcome = SaveOutcome::Failed;
    QString reason;
    QString logLine;
};

TransferReport reportOf(const TransferResult& result, bool moving, const QString& name,
                        const QString& outputDirectory) {
    switch (result.status) {
    case TransferResult::Status::Done:
        return {moving ? SaveOutcome::Moved : SaveOutcome::Copied, {}, {}};
    case TransferResult::Status::AlreadyThere:
        return {SaveOutcome::AlreadyThere, {}, {}};
    case TransferResult::Status::Clash:
        return {SaveOutcome::Clash,
                {},
                QCoreApplication::translate("BatchEngine",
                                            "Файл \"%1\" уже есть в каталоге %2, оставлен на месте")
                    .arg(name, outputDirectory)};
    case TransferResult::Status::Changed:
        return {SaveOutcome::Failed, QStringLiteral("changed since it was read"),
                QCoreApplication::translate("BatchEngine",
                                            "Файл \"%1\" изменился после чтения, оставлен на месте")
                    .arg(name)};
    case TransferResult::Status::KeptBoth:
        return {SaveOutcome::Failed,
                QStringLiteral("changed while moved; the copy and the source both kept"),
                QCoreApplication::translate(
                    "BatchEngine", "Файл \"%1\" изменился во время перемещения: копия прежнего "
                                   "текста сохранена в каталог %2, файл оставлен на месте")
                    .arg(name, outputDirectory)};
    case TransferResult::Status::SourceGone:
        return {SaveOutcome::Failed,
                QStringLiteral("gone from the source; the output holds another file of its name"),
                QCoreApplication::translate("BatchEngine",
                                            "Файл \"%1\" пропал из исходного каталога, а в "
                                            "каталоге %2 лежит другой файл с этим именем")
                    .arg(name, outputDirectory)};
    case TransferResult::Status::Failed:
        break;
    }
    const QString reason = TextFile::systemMessage(result.error);
    return {
        SaveOutcome::Failed, reason,
        (moving
             ? QCoreApplication::translate("BatchEngine", "Не удалось переместить файл \"%1\": %2")
             : QCoreApplication::translate("BatchEngine", "Не удалось скопировать файл \"%1\": %2"))
            .arg(name, reason)};
}

} // namespace

SelectionSaver::SelectionSaver(RunControl& control, DocumentTable& documents,
                               ReferenceSet& references, ArchiveSet& archive)
    : m_control(control)
    , m_documents(documents)
    , m_references(references)
    , m_archive(archive) {}

void SelectionSaver::ensureOutputDirectory(const Output& output) {
    if (DirectoryListing::isDirectory(output.path))
        return;
    if (!output.path.isEmpty() && ::mkdir(output.path.constData(), 0777) == 0) {
        m_createdOutput = output.path;
        return;
    }
    throw RunFailure(QCoreApplication::translate("BatchEngine", "Не удалось создать каталог ") +
                     output.shown);
}

void SelectionSaver::removeUnusedOutput(bool completed) {
    const QByteArray created = std::exchange(m_createdOutput, {});
    // A run that saved to its end keeps the directory it made, even empty.
    if (created.isEmpty() || completed)
        return;
    // Removes only an empty directory: whatever was put in it keeps it.
    ::rmdir(created.constData());
}

std::vector<std::int32_t> SelectionSaver::selectionOf(int percent) const {
    std::vector<std::int32_t> selection;
    for (std::int32_t i = m_documents.referenceCount; i < m_documents.comparedCount; ++i)
        if (m_documents.scores[static_cast<std::size_t>(i)] <= percent)
            selection.push_back(i);
    return selection;
}

QString SelectionSaver::SelectionNote::around(const QString& resultLine) const {
    QString line = resultLine;
    if (partial())
        line.prepend(QCoreApplication::translate("BatchEngine", "Неполная выборка (%1 из %2). ")
                         .arg(compared)
                         .arg(loaded));
    if (staying > 0)
        line +=
            QCoreApplication::translate("BatchEngine", "; остались не прошедшие - %1").arg(staying);
    return line;
}

void SelectionSaver::SaveSelection(const QByteArray& source, int percent, SaveMode mode,
                                   const Output& output, const SelectionNote& note) {
    const TransferMode transferMode =
        mode == SaveMode::Move ? TransferMode::Move : TransferMode::Copy;
    const QByteArray destination = DirectoryListing::prefix(output.path);
    m_savedDirectory = destination;
    // What a killed earlier run left half-written goes first.
    TemporaryFile::removeStale(destination);
    const std::vector<std::int32_t> selection = selectionOf(percent);
    const auto total = static_cast<qint64>(selection.size());
    m_documents.clearSaveOutcomes();
    for (const std::int32_t index : selection)
        m_documents.saveOutcomes[static_cast<std::size_t>(index)] = SaveOutcome::Pending;
    showSavingStart(total);
    // A directory that takes no file would fail every text alike: said once.
    if (total > 0 && ::access(destination.constData(), W_OK | X_OK) != 0) {
        refuseAll(selection, errno, percent, transferMode, output, note);
        return;
    }

    const auto finish = [&](bool stopped) {
        report(percent, total, transferMode, output.shown, note, stopped);
        // Only moved texts can be asked back by a stricter selection.
        if (transferMode == TransferMode::Move && m_documents.saveSummary().saved() > 0)
            m_lastSavedPercent = percent;
        m_references.cacheSavedTexts(destination);
        recordInArchive();
    };
    m_archive.beginRecording(destination);
    try {
        saveEach(selection, source, transferMode, destination, output.shown);
    } catch (const Stopped&) {
        finish(true);
        throw;
    }
    finish(false);
}

void SelectionSaver::refuseAll(const std::vector<std::int32_t>& selection, int error, int percent,
                               TransferMode mode, const Output& output, const SelectionNote& note) {
    const QString reason = TextFile::systemMessage(error);
    for (const std::int32_t index : selection) {
        m_documents.saveOutcomes[static_cast<std::size_t>(index)] = SaveOutcome::Failed;
        m_documents.saveErrors[static_cast<std::size_t>(index)] = reason;
    }
    const QString count = QString::number(selection.size());
    const QString notDone = mode == TransferMode::Move
                                ? QCoreApplication::translate("BatchEngine", "не перемещено")
                                : QCoreApplication::translate("BatchEngine", "не скопировано");
    // The log names the directory; the line stays short enough to read whole.
    m_control.host().setResult(note.around(
        QCoreApplication::translate("BatchEngine",
                                    "Прошло проверку (%1%) - %2; %3 - %4: в каталог для "
                                    "прошедших нельзя записать (%5)")
            .arg(QString::number(percent), count, notDone, count, reason) +
        RunControl::unreadNote(m_documents)));
    m_control.AddLog(QCoreApplication::translate(
                         "BatchEngine", "Выборка не сохранена: в каталог %1 нельзя записать (%2)")
                         .arg(output.shown, reason));
}

void SelectionSaver::showSavingStart(qint64 total) {
    EngineHost& host = m_control.host();
    host.setProgressLabel(
        ProgressRow::Saving,
        QCoreApplication::translate("BatchEngine", "Сохранение выборки по заданному фильтру"));
    host.setBarRange(ProgressRow::Saving, 0, static_cast<int>(total));
    host.setBarPosition(ProgressRow::Saving, 0);
    host.setCounter(ProgressRow::Saving, RunControl::counterText(0, total));
}

void SelectionSaver::saveEach(const std::vector<std::int32_t>& selection, const QByteArray& source,
                              TransferMode mode, const QByteArray& destination,
                              const QString& shown) {
    EngineHost& host = m_control.host();
    const auto total = static_cast<qint64>(selection.size());
    for (qint64 j = 0; j < total; ++j) {
        saveDocument(selection[static_cast<std::size_t>(j)], source, mode, destination, shown);
        host.setBarPosition(ProgressRow::Saving, static_cast<int>(j + 1));
        host.setCounter(ProgressRow::Saving, RunControl::counterText(j + 1, total));
        // A stop after the last file stops nothing.
        if (j + 1 < total)
            m_control.handleEvents();
        else
            m_control.processEvents();
    }
}

void SelectionSaver::recordInArchive() {
    const QString failure = m_archive.finishRecording();
    if (failure.isEmpty())
        return;
    m_control.showError(
        QCoreApplication::translate("BatchEngine",
                                    "Сохранённые тексты не добавлены в общий архив: %1. Они "
                                    "остаются в каталоге для прошедших; добавьте их в архив позже")
            .arg(failure));
}

void SelectionSaver::saveDocument(std::int32_t index, const QByteArray& source, TransferMode mode,
                                  const QByteArray& destination, const QString& shown) {
    const auto at = static_cast<std::size_t>(index);
    const QByteArray& name = m_documents.names[at];
    // A text the archive cannot record stays where it is.
    if (const QString lost = m_archive.record(index); !lost.isEmpty()) {
        m_documents.saveOutcomes[at] = SaveOutcome::Failed;
        m_documents.saveErrors[at] = lost;
        return;
    }
    const TransferResult result =
        FileTransfer::transfer(source + name, destination + name, mode, m_documents.identities[at]);
    const TransferReport report =
        reportOf(result, mode == TransferMode::Move, QFile::decodeName(name), shown);
    m_documents.saveOutcomes[at] = report.outcome;
    if (!report.reason.isEmpty())
        m_documents.saveErrors[at] = report.reason;
    if (!report.logLine.isEmpty())
        m_control.AddLog(report.logLine);
}

void SelectionSaver::report(int percent, qint64 total, TransferMode mode,
                            const QString& outputDirectory, const SelectionNote& note,
                            bool stopped) {
    const SaveSummary summary = m_documents.saveSummary();
    const QString done = mode == TransferMode::Move
                             ? QCoreApplication::translate("BatchEngine", "перемещено")
                             : QCoreApplication::translate("BatchEngine", "скопировано");
    // What happened this time: saved now, found in place, left behind.
    const QString savedNow = QString::number(summary.moved + summary.copied);
    QString rest;
    if (summary.alreadyThere > 0)
        rest += QCoreApplication::translate("BatchEngine", ", уже на месте - %1")
                    .arg(summary.alreadyThere);
    rest += QCoreApplication::translate("BatchEngine", ", не %1 - %2")
                .arg(done)
                .arg(summary.selected - summary.saved());
    QStringList why;
    if (summary.clash > 0)
        why << QCoreApplication::translate("BatchEngine", "имя занято - %1").arg(summary.clash);
    if (summary.failed > 0)
        why << QCoreApplication::translate("BatchEngine", "ошибок - %1").arg(summary.failed);
    if (!why.isEmpty())
        rest += QStringLiteral(" (") + why.join(QStringLiteral(", ")) + QLatin1Char(')');
    QString result = QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2; ")
                         .arg(percent)
                         .arg(total) +
                     done + QStringLiteral(" - ") + savedNow + rest +
                     RunControl::unreadNote(m_documents);
    if (stopped)
        result.prepend(QCoreApplication::translate("BatchEngine", "Остановлено. "));
    m_control.host().setResult(note.around(result));
    if (stopped)
        m_control.AddLog(
            QCoreApplication::translate(
                "BatchEngine", "Остановлено при сохранении: %1 - %2, не дошло до файлов - %3")
                .arg(done, savedNow, QString::number(summary.pending)));
    // No arg() over the directory: a "%" in it must not be taken for a marker.
    // Nothing saved for failures is no saved selection.
    const QString lead =
        summary.anyFailed() && summary.saved() == 0
            ? QCoreApplication::translate("BatchEngine", "Выборка не сохранена в каталог ")
            : QCoreApplication::translate("BatchEngine", "Выборка сохранена в каталог ");
    m_control.AddLog(lead + outputDirectory + QStringLiteral(": ") + done +
                     QCoreApplication::translate("BatchEngine", " файлов - ") + savedNow + rest);
    if (summary.anyFailed())
        m_control.AddLog(
            QCoreApplication::translate("BatchEngine", "Не удалось сохранить файлов: %1")
                .arg(summary.failed));
}

SelectionSaver::SelectionNote SelectionSaver::prepareSelection(int percent,
                                                               const QByteArray& source,
                                                               const QByteArray& outputPath) {
    logChangedSettings();
    SelectionNote note;
    if (percent < m_lastSavedPercent)
        offerMoveBack(percent, source, outputPath, note);
    // Reference texts are no part of the selection.
    note.compared = std::max(m_documents.comparedCount - m_documents.referenceCount, 0);
    note.loaded = m_documents.count() - m_documents.referenceCount;
    if (note.partial())
        m_control.AddLog(QCoreApplication::translate(
                             "BatchEngine",
                             "Выборка неполная: сравнение было остановлено, выбор идёт из первых "
                             "%1 текстов из %2")
                             .arg(note.compared)
                             .arg(note.loaded));
    m_control.AddLog(
        QCoreApplication::translate("BatchEngine", "Новая выборка с порогом %1%").arg(percent));
    return note;
}

void SelectionSaver::offerMoveBack(int percent, const QByteArray& source,
                                   const QByteArray& outputPath, SelectionNote& note) {
    const QString question =
        QCoreApplication::translate(
            "BatchEngine", "Сделав предыдущий анализ, Вы переместили выборку из подходящих "
                           "текстов в другой каталог. Сейчас Вы хотите сделать более строгую "
                           "выборку (%1%). Хотите переместить те тексты обратно прежде, чем "
                           "делать новую выборку?")
            .arg(percent);
    // The texts asked back lie where the last selection put them.
    const QByteArray savedTo =
        m_savedDirectory.isEmpty() ? DirectoryListing::prefix(outputPath) : m_savedDirectory;
    if (m_control.host().ask(question) == Answer::Yes) {
        MoveFilesBack(savedTo, source);
        return;
    }
    note.staying = failingIn(savedTo, percent);
    if (note.staying > 0)
        m_control.AddLog(
            QCoreApplication::translate(
                "BatchEngine", "В каталоге %1 остались тексты, не проходящие порог %2%: %3")
                .arg(QFile::decodeName(savedTo), QString::number(percent),
                     QString::number(note.staying)));
}

QString SelectionSaver::describeSettings(const FingerprintSettings& settings) {
    QString text =
        QCoreApplication::translate("BatchEngine", "длина шингла %1, лемматизация %2, HTML %3")
            .arg(settings.shingleLength)
            .arg(settings.truncation == Truncation::On
                     ? QCoreApplication::translate("BatchEngine", "включена")
                     : QCoreApplication::translate("BatchEngine", "выключена"))
            .arg(settings.html == HtmlHandling::Cut
                     ? QCoreApplication::translate("BatchEngine", "отбрасывался")
                     : QCoreApplication::translate("BatchEngine", "не отбрасывался"));
    // Only when on, as runs before the switch existed were made without it.
    if (settings.unmask == Unmask::On)
        text += QCoreApplication::translate("BatchEngine", ", подмена символов распознавалась");
    return text;
}

void SelectionSaver::logChangedSettings() {
    EngineHost& host = m_control.host();
    const FingerprintSettings now{host.shingleLength(), host.truncation(), host.htmlHandling(),
                                  host.unmask()};
    const auto same = [](const FingerprintSettings& a, const FingerprintSettings& b) {
        return a.shingleLength == b.shingleLength && a.truncation == b.truncation &&
               a.html == b.html && a.unmask == b.unmask;
    };
    const auto compared =
        static_cast<std::size_t>(std::clamp(m_documents.comparedCount, 0, m_documents.count()));
    const auto first = std::min(static_cast<std::size_t>(m_documents.referenceCount), compared);
    const auto begin = m_documents.settings.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = m_documents.settings.begin() + static_cast<std::ptrdiff_t>(compared);
    const CommonTextSettings common{host.templatePath(), host.commonPercent()};
    if (common != m_documents.commonText)
        m_control.AddLog(QCoreApplication::translate(
                             "BatchEngine",
                             "Оценки взяты из последнего сравнения, в котором общий текст "
                             "учитывался по-другому (%1); новые настройки действуют со "
                             "следующего сравнения")
                             .arg(describeCommonText(m_documents.commonText)));
    if (std::all_of(begin, end, [&](const FingerprintSettings& s) { return same(s, now); }))
        return;
    const bool mixed =
        std::any_of(begin, end, [&](const FingerprintSettings& s) { return !same(s, *begin); });
    m_control.AddLog(
        (mixed ? QCoreApplication::translate(
                     "BatchEngine", "Оценки взяты из последнего сравнения, настройки которого "
                                    "менялись по ходу загрузки (у первого текста: %1); новые "
                                    "настройки действуют со следующего сравнения")
               : QCoreApplication::translate(
                     "BatchEngine", "Оценки взяты из последнего сравнения (%1); новые настройки "
                                    "действуют со следующего сравнения"))
            .arg(describeSettings(*begin)));
}

QString SelectionSaver::describeCommonText(const CommonTextSettings& settings) {
    QStringList parts;
    if (!settings.templatePath.isEmpty())
        parts << QCoreApplication::translate("BatchEngine", "шаблон \"%1\"")
                     .arg(QFile::decodeName(settings.templatePath));
    if (settings.commonPercent > 0)
        parts << QCoreApplication::translate("BatchEngine",
                                             "не учитывались фрагменты, общие для %1% текстов")
                     .arg(settings.commonPercent);
    if (parts.isEmpty())
        return QCoreApplication::translate("BatchEngine", "весь текст учитывался");
    return parts.join(QStringLiteral(", "));
}

int SelectionSaver::failingIn(const QByteArray& directory, int percent) const {
    int count = 0;
    for (std::int32_t i = m_documents.referenceCount; i < m_documents.comparedCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (m_documents.scores[at] <= percent)
            continue;
        struct stat info {};
        const QByteArray path = directory + m_documents.names[at];
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode))
            ++count;
    }
    return count;
}

void SelectionSaver::MoveFilesBack(const QByteArray& from, const QByteArray& to) {
    // An empty path would put the names in the working directory.
    if (from.isEmpty() || to.isEmpty())
        return;
    // Half-written files of a killed run are no texts to bring back.
    TemporaryFile::removeStale(from);
    std::vector<DirectoryEntry> entries;
    try {
        entries = DirectoryListing::list(from);
    } catch (const FileOpenError&) {
        return;
    }
    // Entries that cannot move (a clash, a directory across file systems)
    // stay where they are; the walk says nothing about them.
    for (const DirectoryEntry& entry : entries)
        if (!TemporaryFile::isTemporaryName(entry.name))
            static_cast<void>(
                FileTransfer::transfer(from + entry.name, to + entry.name, TransferMode::Move));
}

} // namespace quillmark
