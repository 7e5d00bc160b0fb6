#include "BatchEngine.h"

#include "CommonText.h"
#include "IndexedDocuments.h"
#include "MatchIndex.h"
#include "ParallelComparison.h"
#include "ReferenceCache.h"
#include "RunFailure.h"
#include "TemporaryFile.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace quillmark {

QByteArray EngineHost::referenceCachePath() {
    return ReferenceCache::defaultPath();
}

BatchEngine::BatchEngine(EngineHost& host)
    : m_host(host)
    , m_control(host, [this] { return stopRequested(); })
    , m_references(m_control, m_documents)
    , m_archive(m_control, m_documents)
    , m_saver(m_control, m_documents, m_references, m_archive) {}

BatchEngine::~BatchEngine() = default;

void BatchEngine::startOrStopRun() {
    switch (m_state) {
    case RunState::Running:
        requestStop();
        return;
    case RunState::Stopping:
        // The run has not ended yet; starting another inside it would nest.
        return;
    case RunState::Idle:
        if (m_selecting)
            return;
        run();
        return;
    }
}

void BatchEngine::requestStop() {
    if (m_state == RunState::Running)
        m_state = RunState::Stopping;
    else if (m_selecting)
        m_selectionStopRequested = true;
}

bool BatchEngine::stopRequested() const {
    return m_state == RunState::Stopping || m_selectionStopRequested;
}

void BatchEngine::run() {
    showRunStart();
    const QByteArray source = DirectoryListing::prefix(m_host.sourcePath());
    const Output output{m_host.outputDirectory(), m_host.outputPath()};
    const SaveMode mode = m_host.saveMode();
    if (!DirectoryListing::isDirectory(source)) {
        AddLog(QCoreApplication::translate(
                   "BatchEngine", "Неверный путь к каталогу с исходными текстами, проверьте и "
                                  "исправьте."),
               PageSwitch::ShowResultPage);
        // The table of an earlier run is not this run's result.
        dropTable();
        endEarly(RunOutcome::BadSource);
        return;
    }
    m_saver.keepCreatedOutput();
    std::vector<DirectoryEntry> listing;
    try {
        if (mode != SaveMode::None)
            m_saver.ensureOutputDirectory(output);
        AddLog(QCoreApplication::translate("BatchEngine", "Начало работы.."));
        listing = DirectoryListing::list(source);
    } catch (const RunFailure& failure) {
        AddLog(failure.message(), PageSwitch::ShowResultPage);
        dropTable();
        endEarly(RunOutcome::OutputNotCreated);
        return;
    } catch (const FileOpenError& error) {
        m_control.showError(QString::fromStdString(error.what()));
        dropTable();
        endEarly(RunOutcome::LoadFailed);
        return;
    }
    startTable(source);
    RunOutcome outcome = RunOutcome::Completed;
    try {
        outcome = runStages(source, output, mode, listing);
    } catch (const Stopped&) {
        outcome = RunOutcome::Stopped;
    } catch (const RunFailure& failure) {
        m_control.showError(failure.message());
        outcome = RunOutcome::LoadFailed;
    }
    finishRun(outcome);
}

void BatchEngine::showRunStart() {
    m_host.setCounter(ProgressRow::Loading, {});
    m_host.setCounter(ProgressRow::Comparison, {});
    m_host.setCounter(ProgressRow::Saving, {});
    m_host.setSelectState(ButtonState::Disabled);
    m_host.setProgressLabel(ProgressRow::Comparison,
                            QCoreApplication::translate("BatchEngine", "Сравнение текстов"));
    m_host.setStartCaption(StartCaption::Stop);
    m_state = RunState::Running;
    m_host.setResult({});
    m_host.setBarPosition(ProgressRow::Loading, 0);
    m_host.setBarPosition(ProgressRow::Comparison, 0);
    // The saving row of the previous run must not look like this run's.
    m_host.setBarPosition(ProgressRow::Saving, 0);
    m_host.clearLog();
}

void BatchEngine::startTable(const QByteArray& source) {
    dropTable();
    m_tableDirectory = source;
    m_references.close();
}

void BatchEngine::dropTable() {
    m_documents.clear();
    m_passed = 0;
    m_tableDirectory.clear();
    m_saver.forgetSavedDirectory();
    m_host.resultsChanged();
}

RunOutcome BatchEngine::runStages(const QByteArray& source, const Output& output,
                                  SaveMode startMode, const std::vector<DirectoryEntry>& listing) {
    loadAll(source, output.path, listing);
    m_control.throwIfStopped();
    CommonText(m_control).apply(m_documents);
    m_comparedPercent = m_host.allowedPercent();
    m_selectionPercent = m_comparedPercent;
    try {
        CompareTexts(m_comparedPercent);
    } catch (const Stopped&) {
        throw;
    } catch (const std::exception& error) {
        // The index of a huge batch may not fit in memory.
        m_control.showError(QString::fromUtf8(error.what()));
        return RunOutcome::CompareFailed;
    }
    try {
        saveResults(startMode, output);
    } catch (const Stopped&) {
        return RunOutcome::SavingStopped;
    }
    return RunOutcome::Completed;
}

void BatchEngine::loadAll(const QByteArray& source, const QByteArray& outputPath,
                          const std::vector<DirectoryEntry>& listing) {
    const std::vector<QByteArray> references =
        m_references.directoriesFor(source, DirectoryListing::prefix(outputPath));
    // An archive that cannot be reached ends the run before anything is read.
    m_archive.open();
    if (!references.empty())
        m_references.open();
    const int total = CountFiles(listing);
    try {
        m_references.LoadReferences(references);
        m_archive.appendTexts();
    } catch (const Stopped&) {
        m_host.setBarRange(ProgressRow::Loading, 0, total);
        throw;
    }
    m_host.setBarRange(ProgressRow::Loading, 0, total);
    LoadTexts(source, listing, total);
    m_references.loadShared();
    m_archive.loadShared();
}

void BatchEngine::saveResults(SaveMode startMode, const Output& output) {
    const SaveMode mode = m_host.saveMode();
    if (mode == SaveMode::None) {
        m_host.setResult(QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2")
                             .arg(m_comparedPercent)
                             .arg(m_passed) +
                         RunControl::unreadNote(m_documents));
        return;
    }
    // The start made the directory unless saving was off then.
    if (startMode == SaveMode::None) {
        try {
            m_saver.ensureOutputDirectory(output);
        } catch (const RunFailure& failure) {
            AddLog(failure.message(), PageSwitch::ShowResultPage);
            return;
        }
    }
    m_saver.SaveSelection(m_tableDirectory, m_comparedPercent, mode, output, {});
}

void BatchEngine::finishRun(RunOutcome outcome) {
    m_references.close();
    m_archive.close();
    m_host.resultsChanged();
    if (outcome == RunOutcome::LoadFailed || outcome == RunOutcome::CompareFailed) {
        endEarly(outcome);
        return;
    }
    // The bars keep where the run left them, as their counters do.
    m_host.setStartCaption(StartCaption::Start);
    m_state = RunState::Idle;
    m_outcome = outcome;
    m_saver.removeUnusedOutput(outcome == RunOutcome::Completed);
    m_host.setSelectState(ButtonState::Enabled);
}

void BatchEngine::endEarly(RunOutcome outcome) {
    m_state = RunState::Idle;
    m_outcome = outcome;
    m_saver.removeUnusedOutput(outcome == RunOutcome::Completed);
    m_host.setStartCaption(StartCaption::Start);
}

int BatchEngine::CountFiles(const std::vector<DirectoryEntry>& listing) {
    return static_cast<int>(std::count_if(listing.begin(), listing.end(), RunControl::isBatchText));
}

void BatchEngine::LoadTexts(const QByteArray& directory, const std::vector<DirectoryEntry>& listing,
                            int total) {
    // Files are read on the pool while this thread hands them out, takes the
    // results in listing order and keeps the host's events flowing.
    ParallelLoader loader(m_control.threadCount());
    // The host's settings are read once per file, when its turn comes; files
    // read ahead take the last ones read, and are read again if they differ.
    LoadJob settings = m_control.settingsNow();
    bool firstTurn = true;
    auto given = listing.begin();
    int count = 0;
    try {
        for (auto at = listing.begin(); at != listing.end(); ++at) {
            m_control.throwIfStopped();
            logSkipped(*at);
            if (!RunControl::isBatchText(*at))
                continue;
            for (given = std::max(given, at); given != listing.end() && loader.hasRoom(); ++given)
                if (RunControl::isBatchText(*given))
                    loader.submit(RunControl::withPath(settings, directory + given->name));
            std::optional<LoadedText> loaded;
            m_control.waitFor([&](std::chrono::milliseconds wait) {
                loaded = loader.take(wait);
                return loaded.has_value();
            });
            showLoaded(++count, total);
            if (!std::exchange(firstTurn, false))
                settings = m_control.settingsNow();
            const LoadJob now = RunControl::withPath(settings, directory + at->name);
            if (!(now == loaded->job))
                loaded = ParallelLoader::loadOne(now);
            keepLoaded(at->name, std::move(*loaded));
        }
    } catch (const Stopped&) {
        logLoadedCount(count);
        throw;
    }
    logLoadedCount(count);
    m_control.throwIfStopped();
    if (count == 0) {
        m_host.setCounter(ProgressRow::Loading, RunControl::counterText(0, total));
        AddLog(QCoreApplication::translate("BatchEngine", "В каталоге нет текстов для сравнения"));
    }
}

void BatchEngine::logSkipped(const DirectoryEntry& entry) {
    if (entry.kind == EntryKind::SymbolicLink)
        AddLog(QCoreApplication::translate("BatchEngine", "Символическая ссылка \"%1\" пропущена")
                   .arg(QFile::decodeName(entry.name)));
    if (entry.loadable() && TemporaryFile::isTemporaryName(entry.name))
        AddLog(QCoreApplication::translate("BatchEngine", "Временный файл \"%1\" пропущен")
                   .arg(QFile::decodeName(entry.name)));
}

void BatchEngine::showLoaded(int count, int total) {
    m_host.setCounter(ProgressRow::Loading, RunControl::counterText(count, total));
    m_host.setBarPosition(ProgressRow::Loading, count);
    m_control.processEvents();
}

void BatchEngine::logLoadedCount(int count) {
    const auto unread = static_cast<int>(m_documents.unread.size());
    AddLog(QCoreApplication::translate("BatchEngine", "Загружено файлов: ") +
           QString::number(count - unread) + RunControl::unreadNote(m_documents));
}

void BatchEngine::keepLoaded(const QByteArray& name, LoadedText loaded) {
    try {
        if (loaded.error)
            std::rethrow_exception(loaded.error);
    } catch (const UnreadableText& error) {
        // Skipped, never moved: it stays where it is, listed as not read.
        const QString reason = QString::fromUtf8(error.what());
        m_documents.unread.push_back({name, error.format(), reason});
        AddLog(QCoreApplication::translate("BatchEngine", "Файл \"%1\" не прочитан: %2")
                   .arg(QFile::decodeName(name), RunControl::translatedReason(reason)));
        return;
    } catch (const Stopped&) {
        throw;
    } catch (const std::exception& error) {
        throw RunFailure(QString::fromUtf8(error.what()));
    }
    m_documents.append(name);
    const auto at = static_cast<std::size_t>(m_documents.count() - 1);
    m_documents.shingles[at] = std::move(loaded.shingles);
    m_documents.settings[at] = loaded.settings;
    m_documents.origins[at] = loaded.origin;
    m_documents.disguisedWords[at] = loaded.disguisedWords;
    if (loaded.disguisedWords > 0)
        AddLog(QCoreApplication::translate("BatchEngine", "Текст «%1»: подмена символов — %2 слов")
                   .arg(QFile::decodeName(name))
                   .arg(loaded.disguisedWords));
    m_documents.identities[at] = loaded.identity;
    m_documents.identities[at].checksum = loaded.checksum;
}

Families BatchEngine::families() const {
    return Families::of(m_documents, m_selectionPercent);
}

void BatchEngine::setJobCount(int count) {
    m_control.setJobCount(count);
}

void BatchEngine::CompareTexts(int percent) {
    const std::int32_t first = m_documents.referenceCount;
    const std::int32_t batch = m_documents.count() - first;
    m_documents.comparedCount = first;
    m_host.setBarRange(ProgressRow::Comparison, 0, batch);
    if (batch == 0)
        m_host.setCounter(ProgressRow::Comparison, RunControl::counterText(0, 0));
    const IndexedDocuments indexed(m_documents);
    std::unique_ptr<MatchIndex> index;
    try {
        index = buildIndex(indexed.documents());
    } catch (const Stopped&) {
        m_host.setResult(
            QCoreApplication::translate("BatchEngine", "Остановлено. Прошло проверку - 0 из 0"));
        throw;
    }
    const int passed = scoreBatch(*index, indexed, percent);
    m_passed = passed;
    m_host.setResult(
        QCoreApplication::translate("BatchEngine", "Прошло проверку - %1; сохраняю результаты..")
            .arg(passed) +
        RunControl::unreadNote(m_documents));
    AddLog(QCoreApplication::translate(
               "BatchEngine", "Сравнение выполнено, успешно прошло порог в %1% - %2 файлов")
               .arg(percent)
               .arg(passed));
}

std::unique_ptr<MatchIndex> BatchEngine::buildIndex(std::span<const TudShingleList> documents) {
    // The build asks its stop check every few milliseconds of work; each time
    // (and at least every pace) this thread handles the host's events, so
    // the window keeps painting and a stop press ends the build.
    std::mutex mutex;
    std::condition_variable paced;
    std::size_t steps = 0;
    bool built = false;
    std::atomic<bool> stop{false};
    std::unique_ptr<MatchIndex> index;
    std::exception_ptr failure;
    const StopCheck stepped = [&] {
        {
            const std::lock_guard lock(mutex);
            ++steps;
        }
        paced.notify_one();
        return stop.load();
    };
    std::jthread builder([&] {
        try {
            index = std::make_unique<MatchIndex>(documents, stepped, m_control.threadCount());
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex);
        built = true;
        paced.notify_one();
    });
    std::size_t handled = 0;
    const auto finished = [&](std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex);
        paced.wait_for(lock, wait, [&] { return built || steps > handled; });
        const bool done = built && steps == handled;
        handled = steps;
        return done;
    };
    const auto joined = [&] {
        builder.join();
        if (failure)
            std::rethrow_exception(failure);
    };
    try {
        m_control.waitFor(finished);
    } catch (const Stopped&) {
        stop = true;
        joined();
        throw;
    }
    joined();
    if (!index->complete())
        throw Stopped();
    return index;
}

int BatchEngine::scoreBatch(const MatchIndex& index, const IndexedDocuments& indexed, int percent) {
    const std::int32_t first = m_documents.referenceCount;
    const std::int32_t count = m_documents.count();
    const auto rankCount = static_cast<std::size_t>(m_rankedMatchCount);
    if (rankCount > 0)
        m_documents.rankedMatches.assign(static_cast<std::size_t>(count), {});
    // The threads score ahead into these, by the index's numbers; this one
    // takes each document's result in listing order as the single-threaded
    // loop did, so the progress, the stop point and the texts passed are the
    // same for any thread count.
    const auto size = static_cast<std::size_t>(index.documentCount());
    std::vector<std::int32_t> scores(size, 0);
    std::vector<std::int32_t> bestMatches(size, -1);
    std::vector<std::vector<RankedMatch>> ranked(rankCount > 0 ? size : 0);
    ParallelComparison comparison(index, first + indexed.offset(), rankCount,
                                  m_control.threadCount(), {scores, bestMatches, ranked});
    int passed = 0;
    try {
        for (std::int32_t k = first; k < count; ++k) {
            const auto at = static_cast<std::size_t>(k);
            const std::int32_t inIndex = k + indexed.offset();
            m_control.waitFor(
                [&](std::chrono::milliseconds wait) { return comparison.waitFor(inIndex, wait); });
            const auto scored = static_cast<std::size_t>(inIndex);
            m_documents.scores[at] = scores[scored];
            m_documents.bestMatches[at] = indexed.toTable(bestMatches[scored]);
            if (rankCount > 0) {
                m_documents.rankedMatches[at] = std::move(ranked[scored]);
                for (RankedMatch& match : m_documents.rankedMatches[at])
                    match.document = indexed.toTable(match.document);
            }
            if (inIndex == 0) {
                ++passed;
            } else if (scores[scored] <= percent) {
                ++passed;
                m_host.setResult(
                    QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2")
                        .arg(percent)
                        .arg(passed));
            }
            m_documents.comparedCount = k + 1;
            m_host.setBarPosition(ProgressRow::Comparison, k + 1 - first);
            m_host.setCounter(ProgressRow::Comparison,
                              RunControl::counterText(k + 1 - first, count - first));
            m_control.handleEvents();
        }
    } catch (const Stopped&) {
        comparison.stop();
        m_host.setResult(
            QCoreApplication::translate("BatchEngine", "Остановлено. Прошло проверку - %1 из %2")
                .arg(passed)
                .arg(m_documents.comparedCount - first));
        throw;
    }
    return passed;
}

void BatchEngine::makeNewSelection() {
    if (m_state != RunState::Idle || m_selecting)
        return;
    m_selecting = true;
    m_selectionStopRequested = false;
    m_host.setSelectState(ButtonState::Disabled);
    m_host.setStartState(ButtonState::Disabled);
    const auto ended = qScopeGuard([this] { endSelection(); });
    const QByteArray source = DirectoryListing::prefix(m_host.sourcePath());
    if (!m_tableDirectory.isEmpty() && !DirectoryListing::sameDirectory(source, m_tableDirectory)) {
        // The scores belong to another batch: moving back or saving would
        // mix the two.
        m_host.setResult(QCoreApplication::translate(
            "BatchEngine", "Выборка не сделана: каталог с текстами сменился после "
                           "сравнения. Нажмите «Сравнить»."));
        AddLog(QCoreApplication::translate(
                   "BatchEngine", "Новая выборка делается только из каталога последнего сравнения "
                                  "(%1), а указан каталог %2. Чтобы проверить его, нажмите "
                                  "«Сравнить».")
                   .arg(QFile::decodeName(m_tableDirectory), m_host.sourceDirectory()));
        return;
    }
    if (!m_tableDirectory.isEmpty() && !DirectoryListing::isDirectory(m_tableDirectory)) {
        // Nothing to save from, and no place to bring saved texts back to.
        m_host.setResult(QCoreApplication::translate(
            "BatchEngine", "Выборка не сделана: каталога с текстами больше нет."));
        AddLog(QCoreApplication::translate("BatchEngine",
                                           "Каталог с текстами последнего сравнения (%1) не "
                                           "найден: он удалён, переименован или недоступен.")
                   .arg(QFile::decodeName(m_tableDirectory)));
        return;
    }
    selectAgain();
    // A selection uses the directory it made.
    m_saver.keepCreatedOutput();
}

void BatchEngine::endSelection() {
    m_host.setSelectState(ButtonState::Enabled);
    m_host.setStartState(ButtonState::Enabled);
    m_selecting = false;
    m_selectionStopRequested = false;
}

void BatchEngine::selectAgain() {
    const int percent = m_host.allowedPercent();
    const Output output{m_host.outputDirectory(), m_host.outputPath()};
    const QByteArray source = DirectoryListing::prefix(m_host.sourcePath());
    const SelectionNote note = m_saver.prepareSelection(percent, source, output.path);
    m_selectionPercent = percent;
    // What an earlier saving did is not this selection's outcome.
    m_documents.clearSaveOutcomes();
    m_host.resultsChanged();
    saveNewSelection(percent, output, note);
}

void BatchEngine::saveNewSelection(int percent, const Output& output, const SelectionNote& note) {
    const SaveMode mode = m_host.saveMode();
    if (mode == SaveMode::None) {
        const auto selected = static_cast<qint64>(m_saver.selectionOf(percent).size());
        m_host.setResult(
            note.around(QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2")
                            .arg(percent)
                            .arg(selected) +
                        RunControl::unreadNote(m_documents)));
        return;
    }
    try {
        m_saver.ensureOutputDirectory(output);
    } catch (const RunFailure& failure) {
        AddLog(failure.message(), PageSwitch::ShowResultPage);
        return;
    }
    try {
        m_saver.SaveSelection(m_tableDirectory, percent, mode, output, note);
    } catch (const Stopped&) {
        // The saving said where it stopped; the selection ends there.
    }
    m_host.resultsChanged();
}

void BatchEngine::setRankedMatchCount(int count) {
    m_rankedMatchCount = std::max(count, 0);
}

QByteArray BatchEngine::documentPath(std::int32_t index) const {
    if (index < 0 || index >= m_documents.count())
        return {};
    if (m_documents.isReference(index))
        return m_documents.referencePath(index);
    const QByteArray& name = m_documents.names[static_cast<std::size_t>(index)];
    for (const QByteArray& directory : {m_tableDirectory, m_saver.savedDirectory()}) {
        if (directory.isEmpty())
            continue;
        const QByteArray path = directory + name;
        struct stat info {};
        if (::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode))
            return path;
    }
    return {};
}

IndexChanges BatchEngine::indexReferences(const QByteArray& directory) {
    m_state = RunState::Running;
    const auto idle = qScopeGuard([this] { m_state = RunState::Idle; });
    return m_references.index(directory);
}

ArchiveAdded BatchEngine::addToArchive(const QByteArray& directory) {
    m_state = RunState::Running;
    const auto idle = qScopeGuard([this] {
        m_archive.close();
        m_state = RunState::Idle;
    });
    return m_archive.addDirectory(directory);
}

void BatchEngine::AddLog(const QString& message, PageSwitch page) {
    m_control.AddLog(message, page);
}

} // namespace quillmark
