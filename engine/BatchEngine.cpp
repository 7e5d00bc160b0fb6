#include "BatchEngine.h"

#include "MatchIndex.h"
#include "ParallelComparison.h"
#include "ReferenceCache.h"
#include "ReferenceWriter.h"
#include "TemporaryFile.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace quillmark {

namespace {

QString counterText(qint64 done, qint64 total) {
    return QString::number(done) + u'/' + QString::number(total);
}

FileVersion versionOf(const FileIdentity& identity) {
    return {identity.size,
            static_cast<std::int64_t>(identity.modified.tv_sec) * 1000000000 +
                identity.modified.tv_nsec,
            static_cast<std::int64_t>(identity.changed.tv_sec) * 1000000000 +
                identity.changed.tv_nsec,
            static_cast<std::int64_t>(identity.inode)};
}

/// The file at `path` as it is now; false when it is no regular file.
bool identityOf(const QByteArray& path, FileIdentity& identity) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    identity = FileIdentity::of(info);
    return true;
}

/// The format and encoding a document was read as, in the cache's words.
QByteArray originKey(const TextOrigin& origin) {
    return QByteArray::number(static_cast<int>(origin.format)) + ':' +
           QByteArray::number(static_cast<int>(origin.encoding));
}

TextOrigin originOf(const QByteArray& key) {
    const QList<QByteArray> parts = key.split(':');
    if (parts.size() != 2)
        return {};
    return {static_cast<TextFormat>(parts[0].toInt()), static_cast<Encoding>(parts[1].toInt())};
}

} // namespace

QByteArray EngineHost::referenceCachePath() {
    return ReferenceCache::defaultPath();
}

BatchEngine::BatchEngine(EngineHost& host)
    : m_host(host) {}

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

    const QByteArray source = DirectoryListing::prefix(m_host.sourcePath());
    const QString outputText = m_host.outputDirectory();
    const QByteArray outputPath = m_host.outputPath();
    const SaveMode mode = m_host.saveMode();

    if (!DirectoryListing::isDirectory(source)) {
        AddLog(QCoreApplication::translate(
                   "BatchEngine", "Неверный путь к каталогу с исходными текстами, проверьте и "
                                  "исправьте."),
               PageSwitch::ShowResultPage);
        endEarly(RunOutcome::BadSource);
        return;
    }
    m_createdOutput.clear();
    if (mode != SaveMode::None && !ensureOutputDirectory(outputText, outputPath)) {
        endEarly(RunOutcome::OutputNotCreated);
        return;
    }

    AddLog(QCoreApplication::translate("BatchEngine", "Начало работы.."));
    std::vector<DirectoryEntry> listing;
    try {
        listing = DirectoryListing::list(source);
    } catch (const FileOpenError& error) {
        showError(QString::fromStdString(error.what()));
        endEarly(RunOutcome::LoadFailed);
        return;
    }
    m_documents.clear();
    m_passed = 0;
    m_tableDirectory = source;
    m_savedDirectory.clear();
    m_host.resultsChanged();
    m_pending.clear();
    const std::vector<QByteArray> references =
        referenceDirectories(source, DirectoryListing::prefix(outputPath));
    if (!references.empty())
        openReferenceCache();
    LoadResult loaded = LoadReferences(references);
    if (loaded == LoadResult::Failed) {
        m_cache.reset();
        m_host.resultsChanged();
        endEarly(RunOutcome::LoadFailed);
        return;
    }
    const int total = CountFiles(listing);
    m_host.setBarRange(ProgressRow::Loading, 0, total);

    if (loaded == LoadResult::Loaded)
        loaded = LoadTexts(source, listing, total);
    if (loaded == LoadResult::Loaded)
        loadSharedReferences();
    m_pending.clear();
    if (loaded == LoadResult::Failed) {
        m_cache.reset();
        m_host.resultsChanged();
        endEarly(RunOutcome::LoadFailed);
        return;
    }

    bool compared = false;
    bool saved = true;
    if (m_state == RunState::Running) {
        m_comparedPercent = m_host.allowedPercent();
        m_selectionPercent = m_comparedPercent;
        try {
            compared = CompareTexts(m_comparedPercent);
        } catch (const std::exception& error) {
            // The index of a huge batch may not fit in memory.
            showError(QString::fromUtf8(error.what()));
            m_cache.reset();
            m_host.resultsChanged();
            endEarly(RunOutcome::CompareFailed);
            return;
        }
    }
    if (compared) {
        const SaveMode saveMode = m_host.saveMode();
        if (saveMode == SaveMode::None) {
            m_host.setResult(
                QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2")
                    .arg(m_comparedPercent)
                    .arg(m_passed) +
                unreadNote());
        } else if (mode != SaveMode::None || ensureOutputDirectory(outputText, outputPath)) {
            // (The start made the directory unless saving was off then.)
            saved = SaveSelection(m_comparedPercent, saveMode, outputText, outputPath, {});
        }
    }
    m_cache.reset();

    m_host.resultsChanged();
    // The bars keep where the run left them, as their counters do.
    m_host.setStartCaption(StartCaption::Start);
    m_state = RunState::Idle;
    m_outcome = !compared ? RunOutcome::Stopped
                : saved   ? RunOutcome::Completed
                          : RunOutcome::SavingStopped;
    removeUnusedOutput();
    m_host.setSelectState(ButtonState::Enabled);
}

void BatchEngine::endEarly(RunOutcome outcome) {
    m_state = RunState::Idle;
    m_outcome = outcome;
    removeUnusedOutput();
    m_host.setStartCaption(StartCaption::Start);
}

void BatchEngine::removeUnusedOutput() {
    const QByteArray created = std::exchange(m_createdOutput, {});
    // A run that saved to its end keeps the directory it made, even empty.
    if (created.isEmpty() || m_outcome == RunOutcome::Completed)
        return;
    // Removes only an empty directory: whatever was put in it keeps it.
    ::rmdir(created.constData());
}

int BatchEngine::CountFiles(const std::vector<DirectoryEntry>& listing) {
    int count = 0;
    for (const DirectoryEntry& entry : listing)
        count += isBatchText(entry) ? 1 : 0;
    return count;
}

bool BatchEngine::isBatchText(const DirectoryEntry& entry) {
    // A file this program is writing, or a killed run left, is no text.
    return entry.loadable() && !TemporaryFile::isTemporaryName(entry.name);
}

BatchEngine::LoadResult BatchEngine::LoadTexts(const QByteArray& directory,
                                               const std::vector<DirectoryEntry>& listing,
                                               int total) {
    // Files are read on the pool while this thread hands them out, takes the
    // results in listing order and keeps the host's events flowing.
    ParallelLoader loader(threadCount());
    // The host's settings are read once per file, when its turn comes; files
    // read ahead take the last ones read, and are read again if they differ.
    LoadJob settings = settingsNow();
    bool firstTurn = true;
    auto given = listing.begin();
    int count = 0;
    for (auto at = listing.begin(); at != listing.end() && m_state == RunState::Running;) {
        if (at->kind == EntryKind::SymbolicLink)
            AddLog(
                QCoreApplication::translate("BatchEngine", "Символическая ссылка \"%1\" пропущена")
                    .arg(QFile::decodeName(at->name)));
        if (at->loadable() && TemporaryFile::isTemporaryName(at->name))
            AddLog(QCoreApplication::translate("BatchEngine", "Временный файл \"%1\" пропущен")
                       .arg(QFile::decodeName(at->name)));
        if (!isBatchText(*at)) {
            ++at;
            continue;
        }
        for (given = std::max(given, at); given != listing.end() && loader.hasRoom(); ++given)
            if (isBatchText(*given))
                loader.submit(withPath(settings, directory + given->name));
        std::optional<LoadedText> loaded = loader.take(std::chrono::milliseconds(20));
        if (!loaded) {
            m_host.processEvents();
            continue;
        }
        ++count;
        m_host.setCounter(ProgressRow::Loading, counterText(count, total));
        m_host.setBarPosition(ProgressRow::Loading, count);
        m_host.processEvents();
        if (!firstTurn)
            settings = settingsNow();
        firstTurn = false;
        const LoadJob now = withPath(settings, directory + at->name);
        if (!(now == loaded->job))
            loaded = ParallelLoader::loadOne(now);
        if (!keepLoaded(at->name, std::move(*loaded)))
            return LoadResult::Failed;
        ++at;
    }
    const auto unread = static_cast<int>(m_documents.unread.size());
    AddLog(QCoreApplication::translate("BatchEngine", "Загружено файлов: ") +
           QString::number(count - unread) + unreadNote());
    if (count == 0 && m_state == RunState::Running) {
        m_host.setCounter(ProgressRow::Loading, counterText(0, total));
        AddLog(QCoreApplication::translate("BatchEngine", "В каталоге нет текстов для сравнения"));
    }
    return m_state == RunState::Running ? LoadResult::Loaded : LoadResult::Stopped;
}

std::vector<QByteArray> BatchEngine::referenceDirectories(const QByteArray& source,
                                                          const QByteArray& output) {
    std::vector<QByteArray> candidates;
    m_againstOutput = m_host.againstOutput() && DirectoryListing::isDirectory(output);
    if (m_againstOutput)
        candidates.push_back(output);
    for (const QByteArray& path : m_host.referencePaths())
        candidates.push_back(DirectoryListing::prefix(path));
    std::vector<QByteArray> directories;
    for (const QByteArray& candidate : candidates) {
        // The batch would match itself; a repeat would be read twice. A
        // directory that is missing stays to be refused by the listing.
        const auto seen = [&](const QByteArray& other) { return sameDirectory(candidate, other); };
        if (seen(source) || std::any_of(directories.begin(), directories.end(), seen)) {
            AddLog(QCoreApplication::translate(
                       "BatchEngine", "Каталог эталонных текстов %1 пропущен: он уже сравнивается")
                       .arg(QFile::decodeName(candidate)));
            continue;
        }
        directories.push_back(candidate);
    }
    return directories;
}

void BatchEngine::openReferenceCache() {
    const QByteArray path = m_host.referenceCachePath();
    if (path.isEmpty())
        return;
    // The cache directory of a fresh account may not exist yet.
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
    try {
        m_cache = std::make_unique<ReferenceCache>(path);
        m_rebuildLogged = false;
        logCacheRebuilt();
        if (m_cache->wasUpgraded())
            AddLog(QCoreApplication::translate(
                "BatchEngine", "Кэш эталонных текстов прежней версии очищен и заполняется заново"));
    } catch (const ReferenceCacheError& error) {
        AddLog(
            QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не используется: %1")
                .arg(QString::fromUtf8(error.what())));
    }
}

BatchEngine::LoadResult BatchEngine::LoadReferences(const std::vector<QByteArray>& directories) {
    for (const QByteArray& directory : directories) {
        if (m_state != RunState::Running)
            return LoadResult::Stopped;
        try {
            loadReferenceDirectory(directory);
        } catch (const FileOpenError& error) {
            showError(QCoreApplication::translate("BatchEngine",
                                                  "Каталог эталонных текстов не читается: %1")
                          .arg(QString::fromUtf8(error.what())));
            return LoadResult::Failed;
        } catch (const std::exception& error) {
            showError(QString::fromUtf8(error.what()));
            return LoadResult::Failed;
        }
    }
    if (!directories.empty())
        AddLog(QCoreApplication::translate("BatchEngine", "Загружено эталонных текстов: %1")
                   .arg(m_documents.referenceCount));
    return m_state == RunState::Running ? LoadResult::Loaded : LoadResult::Stopped;
}

QByteArray BatchEngine::readingKey() {
    return QByteArray::number(static_cast<int>(m_host.forcedEncoding())) + ":html" +
           QByteArray::number(static_cast<int>(m_host.htmlHandling()));
}

namespace {

/// What a reference file needs, found from the cache before anything is read.
enum class ReferenceUse {
    Cached, ///< the cached fingerprint stands; its shingles are read if the batch needs them
    Read,   ///< new, or cached under other settings
};

struct PlannedReference {
    const DirectoryEntry* entry = nullptr;
    FileIdentity identity;
    const CachedFile* cached = nullptr;
    ReferenceUse use = ReferenceUse::Read;
};

} // namespace

/// A reference taken from the cache: its table entry waits for its shingles
/// until the batch is known.
struct BatchEngine::PendingReference {
    std::int32_t entry = -1;
    std::uint32_t id = 0;
    FileVersion version;
};

bool BatchEngine::isUnsettled(const FileIdentity& identity) {
    // FAT keeps times in steps of 2 s, ext3 and some network file systems in 1 s.
    constexpr std::int64_t step = 2;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return identity.modified.tv_sec >= now.tv_sec - step;
}

QByteArray BatchEngine::cacheKeyOf(const QByteArray& directory) {
    // The same folder spelt another way (relative, through a link) is one
    // entry; another folder of the same spelling is another.
    char* real = ::realpath(directory.isEmpty() ? "." : directory.constData(), nullptr);
    if (real == nullptr)
        return directory;
    QByteArray key(real);
    std::free(real);
    return key.endsWith('/') ? key : key + '/';
}

void BatchEngine::loadReferenceDirectory(const QByteArray& directory) {
    const std::vector<DirectoryEntry> listing = DirectoryListing::list(directory);
    const QByteArray cacheKey = cacheKeyOf(directory);
    QHash<QByteArray, CachedFile> cached;
    if (m_cache) {
        try {
            if (m_pending.empty())
                m_cacheGeneration = m_cache->generation();
            cached = m_cache->files(cacheKey);
            logCacheRebuilt();
        } catch (const ReferenceCacheError& error) {
            AddLog(QCoreApplication::translate("BatchEngine",
                                               "Кэш эталонных текстов не используется: %1")
                       .arg(QString::fromUtf8(error.what())));
            // References taken from it so far are read from their files.
            m_cache.reset();
        }
    }
    LoadJob settings = settingsNow();
    settings.checksum = m_cache ? Checksum::Take : Checksum::Skip;
    const QByteArray reading = readingKey();
    const auto sameSettings = [&](const CachedFile& file) {
        return file.reading == reading && file.settings.shingleLength == settings.shingleLength &&
               file.settings.truncation == settings.truncation;
    };

    std::vector<PlannedReference> plan;
    plan.reserve(listing.size());
    for (const DirectoryEntry& entry : listing) {
        if (entry.kind == EntryKind::SymbolicLink)
            AddLog(
                QCoreApplication::translate("BatchEngine", "Символическая ссылка \"%1\" пропущена")
                    .arg(QFile::decodeName(directory + entry.name)));
        if (!isBatchText(entry))
            continue;
        PlannedReference planned;
        planned.entry = &entry;
        planned.identity = entry.identity;
        const auto hit = cached.constFind(entry.name);
        if (hit != cached.constEnd() && sameSettings(*hit)) {
            planned.cached = &*hit;
            // A file touched since is read again: a checksum of 32 bits can
            // be matched on purpose by other bytes of the same size.
            planned.use = hit->version == versionOf(planned.identity) ? ReferenceUse::Cached
                                                                      : ReferenceUse::Read;
        }
        plan.push_back(planned);
    }

    // What changed is written while the next files are read.
    std::optional<ReferenceWriter> writer;
    if (m_cache)
        writer.emplace(*m_cache, cacheKey);
    const auto handOver = [&](const auto& put) {
        while (!put(std::chrono::milliseconds(20))) {
            m_host.processEvents();
            if (m_state != RunState::Running)
                return false;
        }
        return true;
    };
    if (writer)
        m_indexChanges = {};
    QSet<QByteArray> present;
    int unchanged = 0;
    const auto jobFor = [&](const PlannedReference& planned) {
        return withPath(settings, directory + planned.entry->name);
    };
    ParallelLoader loader(m_jobCount > 0 ? m_jobCount : ParallelLoader::defaultThreads());
    std::size_t given = 0;
    for (std::size_t at = 0; at < plan.size();) {
        if (m_state != RunState::Running)
            return;
        const PlannedReference& planned = plan[at];
        const QByteArray& name = planned.entry->name;
        if (planned.use == ReferenceUse::Cached) {
            // Cheap: the window is kept alive every few hundred of them.
            if (at % 256 == 0)
                m_host.processEvents();
            present.insert(name);
            ++unchanged;
            keepCached(directory, name, planned.identity, *planned.cached);
            ++at;
            continue;
        }
        for (given = std::max(given, at); given < plan.size() && loader.hasRoom(); ++given)
            if (plan[given].use != ReferenceUse::Cached)
                loader.submit(jobFor(plan[given]));
        std::optional<LoadedText> loaded = loader.take(std::chrono::milliseconds(20));
        m_host.processEvents();
        if (!loaded)
            continue;
        ++at;
        ++m_referenceReads;
        QString reason;
        try {
            if (loaded->error)
                std::rethrow_exception(loaded->error);
        } catch (const UnreadableText& error) {
            reason = QString::fromUtf8(error.what());
        } catch (const FileOpenError& error) {
            // Gone or changed into something unreadable since the listing.
            AddLog(QString::fromUtf8(error.what()));
            continue;
        } catch (const Stopped&) {
            return;
        }
        present.insert(name);
        CachedFingerprint stored;
        stored.version = versionOf(loaded->identity);
        // Changed again within the file system's time step, a rewrite would
        // keep this time: such a file is read again next time.
        if (isUnsettled(loaded->identity))
            stored.version.modifiedNs = -1;
        if (settings.checksum == Checksum::Take)
            stored.checksum = loaded->checksum;
        stored.settings = {settings.shingleLength, settings.truncation, settings.html};
        stored.reading = reading;
        if (!reason.isEmpty()) {
            // Recorded, so that the next run does not read it again.
            stored.unreadReason = reason.toUtf8();
            logUnreadReference(directory + name, reason);
        } else {
            stored.settings = loaded->settings;
            stored.description = originKey(loaded->origin);
            appendReference(directory, name, loaded->identity, loaded->settings, loaded->origin);
            const auto last = static_cast<std::size_t>(m_documents.count() - 1);
            m_documents.shingles[last] = std::move(loaded->shingles);
            if (writer)
                stored.shingles = m_documents.shingles[last];
        }
        if (!writer)
            continue;
        ++(cached.contains(name) ? m_indexChanges.changed : m_indexChanges.added);
        if (!handOver([&](auto wait) { return writer->put(name, stored, wait); }))
            return;
    }
    if (!writer)
        return;
    std::vector<QByteArray> gone;
    for (auto it = cached.constBegin(); it != cached.constEnd(); ++it)
        if (!present.contains(it.key()))
            gone.push_back(it.key());
    m_indexChanges.unchanged = unchanged;
    m_indexChanges.removed = static_cast<int>(gone.size());
    writer->finish(std::move(gone));
    while (!writer->waitFinished(std::chrono::milliseconds(20))) {
        m_host.processEvents();
        if (m_state != RunState::Running)
            return;
    }
    m_indexChanges.stored = writer->failure().isEmpty();
    m_indexChanges.failure = writer->failure();
    if (!writer->failure().isEmpty())
        AddLog(QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не обновлён: %1")
                   .arg(writer->failure()));
}

void BatchEngine::appendReference(const QByteArray& directory, const QByteArray& name,
                                  const FileIdentity& identity, const FingerprintSettings& settings,
                                  const TextOrigin& origin) {
    m_documents.append(name);
    const auto at = static_cast<std::size_t>(m_documents.count() - 1);
    m_documents.referenceDirectories.push_back(directory);
    m_documents.referenceCount = m_documents.count();
    m_documents.settings[at] = settings;
    m_documents.origins[at] = origin;
    m_documents.identities[at] = identity;
}

void BatchEngine::keepCached(const QByteArray& directory, const QByteArray& name,
                             const FileIdentity& identity, const CachedFile& file) {
    if (!file.unreadReason.isEmpty()) {
        logUnreadReference(directory + name, QString::fromUtf8(file.unreadReason));
        return;
    }
    appendReference(directory, name, identity, file.settings, originOf(file.description));
    m_pending.push_back({m_documents.count() - 1, file.id, versionOf(identity)});
}

void BatchEngine::logUnreadReference(const QByteArray& path, const QString& reason) {
    AddLog(QCoreApplication::translate("BatchEngine", "Эталонный файл \"%1\" не прочитан: %2")
               .arg(QFile::decodeName(path), translatedReason(reason)));
}

void BatchEngine::logCacheRebuilt() {
    // Damage may be found on opening or by any later read: said once a run.
    if (!m_cache || !m_cache->wasRebuilt() || std::exchange(m_rebuildLogged, true))
        return;
    AddLog(QCoreApplication::translate("BatchEngine",
                                       "Кэш эталонных текстов был повреждён и создан заново"));
}

QString BatchEngine::translatedReason(const QString& reason) {
    // Reading gives its reasons in Russian; tables and reports keep them so.
    return QCoreApplication::translate("UnreadableText", reason.toUtf8().constData());
}

void BatchEngine::loadSharedReferences() {
    if (m_pending.empty())
        return;
    const std::vector<PendingReference> pending = std::exchange(m_pending, {});
    std::vector<std::uint32_t> hashes;
    for (std::int32_t k = m_documents.referenceCount; k < m_documents.count(); ++k) {
        const auto& list = m_documents.shingles[static_cast<std::size_t>(k)].Hashes;
        hashes.insert(hashes.end(), list.begin(), list.end());
    }
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());

    // Every reference the batch shares no hash with scores 0 against all of
    // it: its entry stays without shingles and the comparison passes it by.
    std::vector<const PendingReference*> missing;
    if (m_cache) {
        try {
            m_cache->beginReading();
            // Another run changed the cache since its files were read: the
            // postings may name other rows, so every reference is asked for.
            const bool untouched = m_cache->generation() == m_cacheGeneration;
            std::vector<std::uint32_t> sharing;
            if (untouched)
                sharing = m_cache->filesSharing(hashes);
            for (const PendingReference& reference : pending) {
                if (untouched && !std::binary_search(sharing.begin(), sharing.end(), reference.id))
                    continue;
                std::optional<TudShingleList> list =
                    m_cache->shingles(reference.id, reference.version);
                if (list)
                    m_documents.shingles[static_cast<std::size_t>(reference.entry)] =
                        std::move(*list);
                else
                    missing.push_back(&reference);
            }
            m_cache->endReading();
            logCacheRebuilt();
        } catch (const ReferenceCacheError& error) {
            AddLog(QCoreApplication::translate("BatchEngine",
                                               "Кэш эталонных текстов не используется: %1")
                       .arg(QString::fromUtf8(error.what())));
            m_cache.reset();
            missing.clear();
            for (const PendingReference& reference : pending)
                if (m_documents.shingles[static_cast<std::size_t>(reference.entry)].Count == 0)
                    missing.push_back(&reference);
        }
    } else {
        for (const PendingReference& reference : pending)
            missing.push_back(&reference);
    }
    for (const PendingReference* reference : missing) {
        const auto at = static_cast<std::size_t>(reference->entry);
        const QByteArray path = m_documents.referencePath(reference->entry);
        try {
            ++m_referenceReads;
            LoadText(path, reference->entry);
        } catch (const std::exception& error) {
            // Changed since it was listed: it is compared with nothing.
            m_documents.shingles[at] = {};
            logUnreadReference(path, QString::fromUtf8(error.what()));
        }
        m_host.processEvents();
    }
}

IndexChanges BatchEngine::indexReferences(const QByteArray& directory) {
    const QByteArray path = m_host.referenceCachePath();
    if (path.isEmpty())
        throw ReferenceCacheError("No reference cache to build");
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
    m_cache = std::make_unique<ReferenceCache>(path);
    m_rebuildLogged = false;
    logCacheRebuilt();
    m_documents.clear();
    m_indexChanges = {};
    m_state = RunState::Running;
    try {
        loadReferenceDirectory(DirectoryListing::prefix(directory));
    } catch (...) {
        m_state = RunState::Idle;
        m_cache.reset();
        m_pending.clear();
        throw;
    }
    // A stop that came once everything was stored stopped nothing.
    m_indexChanges.stopped = !m_indexChanges.stored && m_state != RunState::Running;
    if (!m_indexChanges.stored && !m_indexChanges.stopped && m_indexChanges.failure.isEmpty())
        m_indexChanges.failure =
            QCoreApplication::translate("BatchEngine", "кэш эталонных текстов недоступен");
    m_state = RunState::Idle;
    m_cache.reset();
    m_pending.clear();
    m_documents.clear();
    return m_indexChanges;
}

void BatchEngine::cacheSavedTexts(const QByteArray& output) {
    if (!m_cache || !m_againstOutput)
        return;
    const QByteArray reading = readingKey();
    std::map<QByteArray, CachedFingerprint> fresh;
    for (std::int32_t i = m_documents.referenceCount; i < m_documents.count(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        const SaveOutcome outcome = m_documents.saveOutcomes[at];
        if (outcome != SaveOutcome::Moved && outcome != SaveOutcome::Copied)
            continue;
        FileIdentity now;
        if (!identityOf(output + m_documents.names[at], now))
            continue;
        CachedFingerprint& stored = fresh[m_documents.names[at]];
        stored.version = versionOf(now);
        if (isUnsettled(now))
            stored.version.modifiedNs = -1;
        stored.settings = m_documents.settings[at];
        stored.reading = reading;
        stored.description = originKey(m_documents.origins[at]);
        stored.shingles = m_documents.shingles[at];
    }
    std::map<QByteArray, const CachedFingerprint*> changed;
    for (const auto& [name, entry] : fresh)
        changed.emplace(name, &entry);
    if (changed.empty())
        return;
    try {
        m_cache->update(cacheKeyOf(output), changed, {});
    } catch (const ReferenceCacheError& error) {
        AddLog(QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не обновлён: %1")
                   .arg(QString::fromUtf8(error.what())));
    }
}

void BatchEngine::LoadText(const QByteArray& path, std::int32_t entry) {
    const auto at = static_cast<std::size_t>(entry);
    const HtmlHandling htmlSwitch = m_host.htmlHandling();
    const TextReader::Result read =
        TextFile::load(path, htmlSwitch, m_host.forcedEncoding(), m_documents.identities[at]);
    const int shingleLength = m_host.shingleLength();
    const Truncation truncation = m_host.truncation();
    // A document is already its text: markup in it is words.
    const HtmlHandling html =
        TextReader::isDocument(read.origin.format) ? HtmlHandling::Keep : htmlSwitch;
    ShinglesFromText(read.text, truncation, html, shingleLength, m_documents.shingles[at]);
    m_documents.settings[at] = {shingleLength, truncation, html};
    m_documents.origins[at] = read.origin;
}

LoadJob BatchEngine::settingsNow() {
    LoadJob job;
    job.html = m_host.htmlHandling();
    job.encoding = m_host.forcedEncoding();
    job.shingleLength = m_host.shingleLength();
    job.truncation = m_host.truncation();
    // Saving tells a text already in the output by it.
    job.checksum = m_host.saveMode() == SaveMode::None ? Checksum::Skip : Checksum::Take;
    return job;
}

LoadJob BatchEngine::withPath(LoadJob settings, const QByteArray& path) {
    settings.path = path;
    return settings;
}

bool BatchEngine::keepLoaded(const QByteArray& name, LoadedText loaded) {
    try {
        if (loaded.error)
            std::rethrow_exception(loaded.error);
    } catch (const UnreadableText& error) {
        // Skipped, never moved: it stays where it is, listed as not read.
        const QString reason = QString::fromUtf8(error.what());
        m_documents.unread.push_back({name, error.format(), reason});
        AddLog(QCoreApplication::translate("BatchEngine", "Файл \"%1\" не прочитан: %2")
                   .arg(QFile::decodeName(name), translatedReason(reason)));
        return true;
    } catch (const Stopped&) {
        // Only a stop press stops a worker; the loop ends on it.
        return true;
    } catch (const std::exception& error) {
        showError(QString::fromUtf8(error.what()));
        return false;
    }
    m_documents.append(name);
    const auto at = static_cast<std::size_t>(m_documents.count() - 1);
    m_documents.shingles[at] = std::move(loaded.shingles);
    m_documents.settings[at] = loaded.settings;
    m_documents.origins[at] = loaded.origin;
    m_documents.identities[at] = loaded.identity;
    m_documents.identities[at].checksum = loaded.checksum;
    return true;
}

void BatchEngine::setJobCount(int count) {
    m_jobCount = std::max(count, 0);
}

QString BatchEngine::unreadNote() const {
    if (m_documents.unread.empty())
        return {};
    return QCoreApplication::translate("BatchEngine", ", не прочитано - %1")
        .arg(m_documents.unread.size());
}

int BatchEngine::threadCount() const {
    return m_jobCount > 0 ? m_jobCount : ParallelLoader::defaultThreads();
}

std::unique_ptr<MatchIndex> BatchEngine::buildIndex(std::span<const TudShingleList> documents,
                                                    int threads) {
    // The build asks its stop check every few milliseconds of work; each time
    // (and at least every 20 ms) this thread handles the host's events, so
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
            index = std::make_unique<MatchIndex>(documents, stepped, threads);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex);
        built = true;
        paced.notify_one();
    });
    std::size_t handled = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            paced.wait_for(lock, std::chrono::milliseconds(20),
                           [&] { return built || steps > handled; });
            if (built && steps == handled)
                break;
            handled = steps;
        }
        m_host.processEvents();
        if (m_state != RunState::Running)
            stop = true;
    }
    builder.join();
    if (failure)
        std::rethrow_exception(failure);
    if (!index->complete() || m_state != RunState::Running)
        return nullptr;
    return index;
}

bool BatchEngine::CompareTexts(int percent) {
    const std::int32_t count = m_documents.count();
    const std::int32_t first = m_documents.referenceCount;
    const std::int32_t batch = count - first;
    m_documents.comparedCount = first;
    m_host.setBarRange(ProgressRow::Comparison, 0, batch);
    if (batch == 0)
        m_host.setCounter(ProgressRow::Comparison, counterText(0, 0));
    // References left without shingles share no hash with the batch: the
    // index holds only the others, in table order, which keeps every score
    // and every first best match. `held` maps its documents to the table.
    std::vector<std::int32_t> held;
    std::vector<TudShingleList> lists;
    for (std::int32_t i = 0; i < first; ++i)
        if (!m_documents.shingles[static_cast<std::size_t>(i)].Hashes.empty())
            held.push_back(i);
    const bool compact = static_cast<std::int32_t>(held.size()) < first;
    for (std::int32_t k = first; compact && k < count; ++k)
        held.push_back(k);
    for (const std::int32_t i : compact ? held : std::vector<std::int32_t>{})
        lists.push_back(std::move(m_documents.shingles[static_cast<std::size_t>(i)]));
    const auto restore = qScopeGuard([&] {
        for (std::size_t j = 0; j < lists.size(); ++j)
            m_documents.shingles[static_cast<std::size_t>(held[j])] = std::move(lists[j]);
    });
    const auto toTable = [&](std::int32_t document) {
        return compact && document >= 0 ? held[static_cast<std::size_t>(document)] : document;
    };
    const std::int32_t offset =
        compact ? static_cast<std::int32_t>(held.size()) - batch - first : 0;
    const int threads = threadCount();
    const std::unique_ptr<MatchIndex> index =
        buildIndex(compact ? std::span<const TudShingleList>(lists)
                           : std::span<const TudShingleList>(m_documents.shingles),
                   threads);
    if (!index) {
        m_host.setResult(
            QCoreApplication::translate("BatchEngine", "Остановлено. Прошло проверку - 0 из 0"));
        return false;
    }
    const auto rankCount = static_cast<std::size_t>(m_rankedMatchCount);
    if (rankCount > 0)
        m_documents.rankedMatches.assign(static_cast<std::size_t>(count), {});
    // The threads score ahead into these, by the index's numbers; this one
    // takes each document's result in listing order as the single-threaded
    // loop did, so the progress, the stop point and the texts passed are the
    // same for any thread count.
    const auto indexed = static_cast<std::size_t>(index->documentCount());
    std::vector<std::int32_t> scores(indexed, 0);
    std::vector<std::int32_t> bestMatches(indexed, -1);
    std::vector<std::vector<RankedMatch>> ranked(rankCount > 0 ? indexed : 0);
    ParallelComparison comparison(*index, first + offset, rankCount, threads,
                                  {scores, bestMatches, ranked});
    const auto stopAt = [&](std::int32_t end, int passed) {
        comparison.stop();
        m_host.setResult(
            QCoreApplication::translate("BatchEngine", "Остановлено. Прошло проверку - %1 из %2")
                .arg(passed)
                .arg(end - first));
        return false;
    };
    int passed = 0;
    for (std::int32_t k = first; k < count; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const std::int32_t inIndex = k + offset;
        while (!comparison.waitFor(inIndex, std::chrono::milliseconds(20))) {
            m_host.processEvents();
            if (m_state != RunState::Running)
                return stopAt(k, passed);
        }
        const auto scored = static_cast<std::size_t>(inIndex);
        m_documents.scores[at] = scores[scored];
        m_documents.bestMatches[at] = toTable(bestMatches[scored]);
        if (rankCount > 0) {
            m_documents.rankedMatches[at] = std::move(ranked[scored]);
            for (RankedMatch& match : m_documents.rankedMatches[at])
                match.document = toTable(match.document);
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
        m_host.setCounter(ProgressRow::Comparison, counterText(k + 1 - first, batch));
        m_host.processEvents();
        if (m_state != RunState::Running)
            return stopAt(k + 1, passed);
    }
    m_passed = passed;
    m_host.setResult(
        QCoreApplication::translate("BatchEngine", "Прошло проверку - %1; сохраняю результаты..")
            .arg(passed) +
        unreadNote());
    AddLog(QCoreApplication::translate(
               "BatchEngine", "Сравнение выполнено, успешно прошло порог в %1% - %2 файлов")
               .arg(percent)
               .arg(passed));
    return true;
}

bool BatchEngine::ensureOutputDirectory(const QString& outputDirectory, const QByteArray& path) {
    if (DirectoryListing::isDirectory(path))
        return true;
    if (!path.isEmpty() && ::mkdir(path.constData(), 0777) == 0) {
        m_createdOutput = path;
        return true;
    }
    AddLog(QCoreApplication::translate("BatchEngine", "Не удалось создать каталог ") +
               outputDirectory,
           PageSwitch::ShowResultPage);
    return false;
}

std::vector<std::int32_t> BatchEngine::selectionOf(int percent) const {
    std::vector<std::int32_t> selection;
    for (std::int32_t i = m_documents.referenceCount; i < m_documents.comparedCount; ++i)
        if (m_documents.scores[static_cast<std::size_t>(i)] <= percent)
            selection.push_back(i);
    return selection;
}

QString BatchEngine::SelectionNote::around(const QString& resultLine) const {
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

bool BatchEngine::SaveSelection(int percent, SaveMode mode, const QString& outputDirectory,
                                const QByteArray& outputPath, const SelectionNote& note) {
    const TransferMode transferMode =
        mode == SaveMode::Move ? TransferMode::Move : TransferMode::Copy;
    const QByteArray output = DirectoryListing::prefix(outputPath);
    m_savedDirectory = output;
    // What a killed earlier run left half-written goes first.
    TemporaryFile::removeStale(output);
    const std::vector<std::int32_t> selection = selectionOf(percent);
    const auto total = static_cast<qint64>(selection.size());
    m_documents.clearSaveOutcomes();
    for (const std::int32_t index : selection)
        m_documents.saveOutcomes[static_cast<std::size_t>(index)] = SaveOutcome::Pending;

    m_host.setProgressLabel(
        ProgressRow::Saving,
        QCoreApplication::translate("BatchEngine", "Сохранение выборки по заданному фильтру"));
    m_host.setBarRange(ProgressRow::Saving, 0, static_cast<int>(total));
    m_host.setBarPosition(ProgressRow::Saving, 0);
    m_host.setCounter(ProgressRow::Saving, counterText(0, total));

    bool stopped = false;
    for (qint64 j = 0; j < total && !stopped; ++j) {
        saveDocument(selection[static_cast<std::size_t>(j)], transferMode, output, outputDirectory);
        m_host.setBarPosition(ProgressRow::Saving, static_cast<int>(j + 1));
        m_host.setCounter(ProgressRow::Saving, counterText(j + 1, total));
        m_host.processEvents();
        stopped = stopRequested() && j + 1 < total;
    }

    const SaveSummary summary = m_documents.saveSummary();
    const bool moving = transferMode == TransferMode::Move;
    const QString done = moving ? QCoreApplication::translate("BatchEngine", "перемещено")
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
    if (summary.clash > 0)
        rest += QCoreApplication::translate("BatchEngine", " (имя занято - %1)").arg(summary.clash);
    QString result = QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2; ")
                         .arg(percent)
                         .arg(total) +
                     done + QStringLiteral(" - ") + savedNow + rest + unreadNote();
    if (stopped)
        result.prepend(QCoreApplication::translate("BatchEngine", "Остановлено. "));
    m_host.setResult(note.around(result));
    if (stopped)
        AddLog(QCoreApplication::translate(
                   "BatchEngine", "Остановлено при сохранении: %1 - %2, не дошло до файлов - %3")
                   .arg(done, savedNow, QString::number(summary.pending)));
    // No arg() over the directory: a "%" in it must not be taken for a marker.
    AddLog(QCoreApplication::translate("BatchEngine", "Выборка сохранена в каталог ") +
           outputDirectory + QStringLiteral(": ") + done +
           QCoreApplication::translate("BatchEngine", " файлов - ") + savedNow + rest);
    if (summary.anyFailed())
        AddLog(QCoreApplication::translate("BatchEngine", "Не удалось сохранить файлов: %1")
                   .arg(summary.failed));
    // Only moved texts can be asked back by a stricter selection.
    if (moving && summary.saved() > 0)
        m_lastSavedPercent = percent;
    cacheSavedTexts(output);
    return !stopped;
}

void BatchEngine::saveDocument(std::int32_t index, TransferMode mode, const QByteArray& output,
                               const QString& outputDirectory) {
    const auto at = static_cast<std::size_t>(index);
    const QByteArray& name = m_documents.names[at];
    const bool moving = mode == TransferMode::Move;
    const TransferResult result = FileTransfer::transfer(m_tableDirectory + name, output + name,
                                                         mode, m_documents.identities[at]);
    const QString shownName = QFile::decodeName(name);
    SaveOutcome& outcome = m_documents.saveOutcomes[at];
    QString& reason = m_documents.saveErrors[at];
    switch (result.status) {
    case TransferResult::Status::Done:
        outcome = moving ? SaveOutcome::Moved : SaveOutcome::Copied;
        return;
    case TransferResult::Status::AlreadyThere:
        outcome = SaveOutcome::AlreadyThere;
        return;
    case TransferResult::Status::Clash:
        outcome = SaveOutcome::Clash;
        AddLog(QCoreApplication::translate("BatchEngine",
                                           "Файл \"%1\" уже есть в каталоге %2, оставлен на месте")
                   .arg(shownName, outputDirectory));
        return;
    case TransferResult::Status::Changed:
        outcome = SaveOutcome::Failed;
        reason = QStringLiteral("changed since it was read");
        AddLog(QCoreApplication::translate("BatchEngine",
                                           "Файл \"%1\" изменился после чтения, оставлен на месте")
                   .arg(shownName));
        return;
    case TransferResult::Status::KeptBoth:
        outcome = SaveOutcome::Failed;
        reason = QStringLiteral("changed while moved; the copy and the source both kept");
        AddLog(QCoreApplication::translate(
                   "BatchEngine", "Файл \"%1\" изменился во время перемещения: копия прежнего "
                                  "текста сохранена в каталог %2, файл оставлен на месте")
                   .arg(shownName, outputDirectory));
        return;
    case TransferResult::Status::SourceGone:
        outcome = SaveOutcome::Failed;
        reason = QStringLiteral("gone from the source; the output holds another file of its name");
        AddLog(QCoreApplication::translate("BatchEngine",
                                           "Файл \"%1\" пропал из исходного каталога, а в "
                                           "каталоге %2 лежит другой файл с этим именем")
                   .arg(shownName, outputDirectory));
        return;
    case TransferResult::Status::Failed:
        outcome = SaveOutcome::Failed;
        reason = TextFile::systemMessage(result.error);
        AddLog((moving ? QCoreApplication::translate("BatchEngine",
                                                     "Не удалось переместить файл \"%1\": %2")
                       : QCoreApplication::translate("BatchEngine",
                                                     "Не удалось скопировать файл \"%1\": %2"))
                   .arg(shownName, reason));
        return;
    }
}

void BatchEngine::makeNewSelection() {
    if (m_state != RunState::Idle || m_selecting)
        return;
    m_selecting = true;
    m_selectionStopRequested = false;
    m_host.setSelectState(ButtonState::Disabled);
    m_host.setStartState(ButtonState::Disabled);

    const int percent = m_host.allowedPercent();
    const QString outputText = m_host.outputDirectory();
    const QByteArray outputPath = m_host.outputPath();
    const QByteArray source = DirectoryListing::prefix(m_host.sourcePath());
    if (!m_tableDirectory.isEmpty() && !sameDirectory(source, m_tableDirectory)) {
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
        m_host.setSelectState(ButtonState::Enabled);
        m_host.setStartState(ButtonState::Enabled);
        m_selecting = false;
        return;
    }
    logChangedSettings();

    SelectionNote note;
    if (percent < m_lastSavedPercent) {
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
        if (m_host.ask(question) == Answer::Yes) {
            MoveFilesBack(savedTo, source);
        } else {
            note.staying = failingIn(savedTo, percent);
            if (note.staying > 0)
                AddLog(
                    QCoreApplication::translate(
                        "BatchEngine", "В каталоге %1 остались тексты, не проходящие порог %2%: %3")
                        .arg(QFile::decodeName(savedTo), QString::number(percent),
                             QString::number(note.staying)));
        }
    }
    // Reference texts are no part of the selection.
    note.compared = std::max(m_documents.comparedCount - m_documents.referenceCount, 0);
    note.loaded = m_documents.count() - m_documents.referenceCount;
    if (note.partial())
        AddLog(QCoreApplication::translate(
                   "BatchEngine",
                   "Выборка неполная: сравнение было остановлено, выбор идёт из первых "
                   "%1 текстов из %2")
                   .arg(note.compared)
                   .arg(note.loaded));

    AddLog(QCoreApplication::translate("BatchEngine", "Новая выборка с порогом %1%").arg(percent));
    m_selectionPercent = percent;
    // What an earlier saving did is not this selection's outcome.
    m_documents.clearSaveOutcomes();
    m_host.resultsChanged();
    const SaveMode mode = m_host.saveMode();
    if (mode == SaveMode::None) {
        const auto selected = static_cast<qint64>(selectionOf(percent).size());
        m_host.setResult(
            note.around(QCoreApplication::translate("BatchEngine", "Прошло проверку (%1%) - %2")
                            .arg(percent)
                            .arg(selected) +
                        unreadNote()));
    } else if (ensureOutputDirectory(outputText, outputPath)) {
        SaveSelection(percent, mode, outputText, outputPath, note);
        m_host.resultsChanged();
    }

    // A selection uses the directory it made.
    m_createdOutput.clear();
    m_host.setSelectState(ButtonState::Enabled);
    m_host.setStartState(ButtonState::Enabled);
    m_selecting = false;
    m_selectionStopRequested = false;
}

int BatchEngine::failingIn(const QByteArray& directory, int percent) const {
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

bool BatchEngine::sameDirectory(const QByteArray& a, const QByteArray& b) {
    if (a == b)
        return true;
    // The same directory spelt another way (a link, a doubled separator).
    struct stat first {};
    struct stat second {};
    if (a.isEmpty() || b.isEmpty() || ::stat(a.constData(), &first) != 0 ||
        ::stat(b.constData(), &second) != 0)
        return false;
    return S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

QString BatchEngine::describeSettings(const FingerprintSettings& settings) {
    return QCoreApplication::translate("BatchEngine", "длина шингла %1, лемматизация %2, HTML %3")
        .arg(settings.shingleLength)
        .arg(settings.truncation == Truncation::On
                 ? QCoreApplication::translate("BatchEngine", "включена")
                 : QCoreApplication::translate("BatchEngine", "выключена"))
        .arg(settings.html == HtmlHandling::Cut
                 ? QCoreApplication::translate("BatchEngine", "отбрасывался")
                 : QCoreApplication::translate("BatchEngine", "не отбрасывался"));
}

void BatchEngine::logChangedSettings() {
    const FingerprintSettings now{m_host.shingleLength(), m_host.truncation(),
                                  m_host.htmlHandling()};
    const auto same = [](const FingerprintSettings& a, const FingerprintSettings& b) {
        return a.shingleLength == b.shingleLength && a.truncation == b.truncation &&
               a.html == b.html;
    };
    const auto compared =
        static_cast<std::size_t>(std::clamp(m_documents.comparedCount, 0, m_documents.count()));
    const auto first = std::min(static_cast<std::size_t>(m_documents.referenceCount), compared);
    const auto begin = m_documents.settings.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = m_documents.settings.begin() + static_cast<std::ptrdiff_t>(compared);
    if (std::all_of(begin, end, [&](const FingerprintSettings& s) { return same(s, now); }))
        return;
    const bool mixed =
        std::any_of(begin, end, [&](const FingerprintSettings& s) { return !same(s, *begin); });
    AddLog((mixed ? QCoreApplication::translate(
                        "BatchEngine", "Оценки взяты из последнего сравнения, настройки которого "
                                       "менялись по ходу загрузки (у первого текста: %1); новые "
                                       "настройки действуют со следующего сравнения")
                  : QCoreApplication::translate(
                        "BatchEngine", "Оценки взяты из последнего сравнения (%1); новые настройки "
                                       "действуют со следующего сравнения"))
               .arg(describeSettings(*begin)));
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
    for (const QByteArray& directory : {m_tableDirectory, m_savedDirectory}) {
        if (directory.isEmpty())
            continue;
        const QByteArray path = directory + name;
        struct stat info {};
        if (::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode))
            return path;
    }
    return {};
}

void BatchEngine::MoveFilesBack(const QByteArray& from, const QByteArray& to) {
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
            FileTransfer::transfer(from + entry.name, to + entry.name, TransferMode::Move);
}

void BatchEngine::AddLog(const QString& message, PageSwitch page) {
    m_host.appendLog(m_clock.now() + QStringLiteral("-> ") + message, page);
}

void BatchEngine::showError(const QString& text) {
    m_host.showError(TextFile::withFullStop(text));
}

} // namespace quillmark
