#include "ReferenceSet.h"

#include "DirectoryListing.h"
#include "ReferenceCache.h"
#include "ReferenceWriter.h"
#include "RunFailure.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace quillmark {

namespace {

/// Ends the reading key of references fingerprinted with unmasking on.
constexpr char unmaskedKey[] = ":unmask";

FileVersion versionOf(const FileIdentity& identity) {
    return {identity.size,
            static_cast<std::int64_t>(identity.modified.tv_sec) * 1000000000 +
                identity.modified.tv_nsec,
            static_cast<std::int64_t>(identity.changed.tv_sec) * 1000000000 +
                identity.changed.tv_nsec,
            static_cast<std::int64_t>(identity.inode)};
}

/// The file at `path` as it is now; nothing when it is no regular file.
std::optional<FileIdentity> identityOf(const QByteArray& path) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileIdentity::of(info);
}

/// Whether a file's time is so recent that a rewrite within the file
/// system's time step could keep it.
bool isUnsettled(const FileIdentity& identity) {
    // FAT keeps times in steps of 2 s, ext3 and some network file systems in 1 s.
    constexpr std::int64_t step = 2;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return identity.modified.tv_sec >= now.tv_sec - step;
}

/// The version the cache keeps of a file; one changed within the file
/// system's time step is read again next time, as a rewrite would keep it.
FileVersion storedVersionOf(const FileIdentity& identity) {
    FileVersion version = versionOf(identity);
    if (isUnsettled(identity))
        version.modifiedNs = -1;
    return version;
}

} // namespace

/// A reference taken from the cache: its table entry waits for its shingles
/// until the batch is known.
struct ReferenceSet::PendingReference {
    std::int32_t entry = -1;
    std::uint32_t id = 0;
    FileVersion version;
};

/// What a reference file needs, found from the cache before anything is read.
struct ReferenceSet::PlannedReference {
    const DirectoryEntry* entry = nullptr;
    /// Set when the cached fingerprint stands; its shingles are read if the
    /// batch needs them. Null for a file to read: new, touched, or cached
    /// under other settings.
    const CachedFile* cached = nullptr;
};

/// One reference directory being loaded.
struct ReferenceSet::DirectoryLoad {
    QByteArray directory;
    QByteArray cacheKey;
    QHash<QByteArray, CachedFile> cached;
    LoadJob settings;
    QByteArray reading;
    std::vector<PlannedReference> plan;
    /// What changed is written while the next files are read.
    std::optional<ReferenceWriter> writer;
    QSet<QByteArray> present;
    int unchanged = 0;
};

ReferenceSet::ReferenceSet(RunControl& control, DocumentTable& documents)
    : m_control(control)
    , m_documents(documents) {}

ReferenceSet::~ReferenceSet() = default;

std::vector<QByteArray> ReferenceSet::directoriesFor(const QByteArray& source,
                                                     const QByteArray& output) {
    EngineHost& host = m_control.host();
    std::vector<QByteArray> candidates;
    m_againstOutput = host.againstOutput() && DirectoryListing::isDirectory(output);
    if (m_againstOutput)
        candidates.push_back(output);
    for (const QByteArray& path : host.referencePaths())
        candidates.push_back(DirectoryListing::prefix(path));
    std::vector<QByteArray> directories;
    for (const QByteArray& candidate : candidates) {
        // The batch would match itself; a repeat would be read twice. A
        // directory that is missing stays to be refused by the listing.
        const auto seen = [&](const QByteArray& other) {
            return DirectoryListing::sameDirectory(candidate, other);
        };
        if (seen(source) || std::any_of(directories.begin(), directories.end(), seen)) {
            m_control.AddLog(
                QCoreApplication::translate(
                    "BatchEngine", "Каталог эталонных текстов %1 пропущен: он уже сравнивается")
                    .arg(QFile::decodeName(candidate)));
            continue;
        }
        directories.push_back(candidate);
    }
    return directories;
}

void ReferenceSet::open() {
    const QByteArray path = m_control.host().referenceCachePath();
    if (path.isEmpty())
        return;
    // The cache directory of a fresh account may not exist yet.
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
    try {
        m_cache = std::make_unique<ReferenceCache>(path);
        m_rebuildLogged = false;
        logCacheRebuilt();
        if (m_cache->wasUpgraded())
            m_control.AddLog(QCoreApplication::translate(
                "BatchEngine", "Кэш эталонных текстов прежней версии очищен и заполняется заново"));
    } catch (const ReferenceCacheError& error) {
        dropCache(error);
    }
}

void ReferenceSet::close() {
    m_cache.reset();
    m_pending.clear();
}

void ReferenceSet::dropCache(const ReferenceCacheError& error) {
    m_control.AddLog(
        QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не используется: %1")
            .arg(QString::fromUtf8(error.what())));
    // References taken from it so far are read from their files.
    m_cache.reset();
}

void ReferenceSet::LoadReferences(const std::vector<QByteArray>& directories) {
    for (const QByteArray& directory : directories) {
        m_control.throwIfStopped();
        try {
            loadDirectory(directory);
        } catch (const Stopped&) {
            throw;
        } catch (const FileOpenError& error) {
            throw RunFailure(QCoreApplication::translate(
                                 "BatchEngine", "Каталог эталонных текстов не читается: %1")
                                 .arg(QString::fromUtf8(error.what())));
        } catch (const std::exception& error) {
            throw RunFailure(QString::fromUtf8(error.what()));
        }
    }
    if (!directories.empty())
        m_control.AddLog(
            QCoreApplication::translate("BatchEngine", "Загружено эталонных текстов: %1")
                .arg(m_documents.referenceCount));
    m_control.throwIfStopped();
}

QByteArray ReferenceSet::originKey(const TextOrigin& origin) {
    return QByteArray::number(static_cast<int>(origin.format)) + ':' +
           QByteArray::number(static_cast<int>(origin.encoding));
}

TextOrigin ReferenceSet::originOf(const QByteArray& key) {
    const QList<QByteArray> parts = key.split(':');
    if (parts.size() != 2)
        return {};
    return {static_cast<TextFormat>(parts[0].toInt()), static_cast<Encoding>(parts[1].toInt())};
}

QByteArray ReferenceSet::readingKey() {
    EngineHost& host = m_control.host();
    return readingKeyOf(host.forcedEncoding(), host.htmlHandling(), host.unmask());
}

QByteArray ReferenceSet::readingKeyOf(Encoding encoding, HtmlHandling html, Unmask unmask) {
    const QByteArray key = "read5:" + QByteArray::number(static_cast<int>(encoding)) + ":html" +
                           QByteArray::number(static_cast<int>(html));
    // Keys written before unmasking existed stay those of reading without it.
    return unmask == Unmask::On ? key + unmaskedKey : key;
}

QByteArray ReferenceSet::cacheKeyOf(const QByteArray& directory) {
    // The same folder spelt another way (relative, through a link) is one
    // entry; another folder of the same spelling is another.
    char* real = ::realpath(directory.isEmpty() ? "." : directory.constData(), nullptr);
    if (real == nullptr)
        return directory;
    QByteArray key(real);
    std::free(real);
    return key.endsWith('/') ? key : key + '/';
}

void ReferenceSet::loadDirectory(const QByteArray& directory) {
    const std::vector<DirectoryEntry> listing = DirectoryListing::list(directory);
    DirectoryLoad load;
    load.directory = directory;
    load.cacheKey = cacheKeyOf(directory);
    load.cached = cachedFiles(load.cacheKey);
    load.settings = m_control.settingsNow();
    load.settings.checksum = m_cache ? Checksum::Take : Checksum::Skip;
    load.reading = readingKey();
    plan(load, listing);
    if (m_cache) {
        load.writer.emplace(*m_cache, load.cacheKey);
        m_indexChanges = {};
    }
    readPlanned(load);
    storeChanges(load);
}

QHash<QByteArray, CachedFile> ReferenceSet::cachedFiles(const QByteArray& cacheKey) {
    if (!m_cache)
        return {};
    try {
        if (m_pending.empty())
            m_cacheGeneration = m_cache->generation();
        QHash<QByteArray, CachedFile> files = m_cache->files(cacheKey);
        logCacheRebuilt();
        return files;
    } catch (const ReferenceCacheError& error) {
        dropCache(error);
        return {};
    }
}

void ReferenceSet::plan(DirectoryLoad& load, const std::vector<DirectoryEntry>& listing) {
    const auto sameSettings = [&](const CachedFile& file) {
        return file.reading == load.reading &&
               file.settings.shingleLength == load.settings.shingleLength &&
               file.settings.truncation == load.settings.truncation;
    };
    load.plan.reserve(listing.size());
    for (const DirectoryEntry& entry : listing) {
        if (entry.kind == EntryKind::SymbolicLink)
            m_control.AddLog(
                QCoreApplication::translate("BatchEngine", "Символическая ссылка \"%1\" пропущена")
                    .arg(QFile::decodeName(load.directory + entry.name)));
        if (!RunControl::isBatchText(entry))
            continue;
        PlannedReference planned;
        planned.entry = &entry;
        const auto hit = load.cached.constFind(entry.name);
        // A file touched since is read again: a checksum of 32 bits can be
        // matched on purpose by other bytes of the same size.
        if (hit != load.cached.constEnd() && sameSettings(*hit) &&
            hit->version == versionOf(entry.identity))
            planned.cached = &*hit;
        load.plan.push_back(planned);
    }
}

void ReferenceSet::readPlanned(DirectoryLoad& load) {
    ParallelLoader loader(m_control.threadCount());
    std::size_t given = 0;
    for (std::size_t at = 0; at < load.plan.size(); ++at) {
        m_control.throwIfStopped();
        const PlannedReference& planned = load.plan[at];
        const QByteArray& name = planned.entry->name;
        if (planned.cached != nullptr) {
            // Cheap: the window is kept alive every few hundred of them.
            if (at % 256 == 0)
                m_control.processEvents();
            load.present.insert(name);
            ++load.unchanged;
            keepCached(load.directory, name, planned.entry->identity, *planned.cached);
            continue;
        }
        for (given = std::max(given, at); given < load.plan.size() && loader.hasRoom(); ++given)
            if (load.plan[given].cached == nullptr)
                loader.submit(RunControl::withPath(load.settings,
                                                   load.directory + load.plan[given].entry->name));
        std::optional<LoadedText> loaded;
        m_control.waitFor([&](std::chrono::milliseconds wait) {
            loaded = loader.take(wait);
            return loaded.has_value();
        });
        m_control.processEvents();
        ++m_reads;
        keepRead(load, name, std::move(*loaded));
    }
}

void ReferenceSet::keepRead(DirectoryLoad& load, const QByteArray& name, LoadedText loaded) {
    QString reason;
    try {
        if (loaded.error)
            std::rethrow_exception(loaded.error);
    } catch (const UnreadableText& error) {
        reason = QString::fromUtf8(error.what());
    } catch (const FileOpenError& error) {
        // Gone or changed into something unreadable since the listing.
        m_control.AddLog(QString::fromUtf8(error.what()));
        return;
    }
    load.present.insert(name);
    CachedFingerprint stored;
    stored.version = storedVersionOf(loaded.identity);
    if (load.settings.checksum == Checksum::Take)
        stored.checksum = loaded.checksum;
    stored.settings = {load.settings.shingleLength, load.settings.truncation, load.settings.html,
                       load.settings.unmask};
    stored.reading = load.reading;
    if (!reason.isEmpty()) {
        // Recorded, so that the next run does not read it again.
        stored.unreadReason = reason.toUtf8();
        logUnreadReference(load.directory + name, reason);
    } else {
        stored.settings = loaded.settings;
        stored.description = originKey(loaded.origin);
        appendReference(load.directory, name, loaded.identity, loaded.settings, loaded.origin);
        const auto last = static_cast<std::size_t>(m_documents.count() - 1);
        m_documents.shingles[last] = std::move(loaded.shingles);
        if (load.writer)
            stored.shingles = m_documents.shingles[last];
    }
    if (!load.writer)
        return;
    ++(load.cached.contains(name) ? m_indexChanges.changed : m_indexChanges.added);
    m_control.waitFor(
        [&](std::chrono::milliseconds wait) { return load.writer->put(name, stored, wait); });
}

void ReferenceSet::storeChanges(DirectoryLoad& load) {
    if (!load.writer)
        return;
    std::vector<QByteArray> gone;
    for (auto it = load.cached.constBegin(); it != load.cached.constEnd(); ++it)
        if (!load.present.contains(it.key()))
            gone.push_back(it.key());
    m_indexChanges.unchanged = load.unchanged;
    m_indexChanges.removed = static_cast<int>(gone.size());
    ReferenceWriter& writer = *load.writer;
    writer.finish(std::move(gone));
    m_control.waitFor([&](std::chrono::milliseconds wait) { return writer.waitFinished(wait); });
    m_indexChanges.stored = writer.failure().isEmpty();
    m_indexChanges.failure = writer.failure();
    if (!writer.failure().isEmpty())
        m_control.AddLog(
            QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не обновлён: %1")
                .arg(writer.failure()));
}

void ReferenceSet::appendReference(const QByteArray& directory, const QByteArray& name,
                                   const FileIdentity& identity,
                                   const FingerprintSettings& settings, const TextOrigin& origin) {
    m_documents.append(name);
    const auto at = static_cast<std::size_t>(m_documents.count() - 1);
    m_documents.referenceDirectories.push_back(directory);
    m_documents.referenceCount = m_documents.count();
    m_documents.settings[at] = settings;
    m_documents.origins[at] = origin;
    m_documents.identities[at] = identity;
}

void ReferenceSet::keepCached(const QByteArray& directory, const QByteArray& name,
                              const FileIdentity& identity, const CachedFile& file) {
    if (!file.unreadReason.isEmpty()) {
        logUnreadReference(directory + name, QString::fromUtf8(file.unreadReason));
        return;
    }
    FingerprintSettings settings = file.settings;
    settings.unmask = file.reading.endsWith(unmaskedKey) ? Unmask::On : Unmask::Off;
    appendReference(directory, name, identity, settings, originOf(file.description));
    m_pending.push_back({m_documents.count() - 1, file.id, versionOf(identity)});
}

void ReferenceSet::logUnreadReference(const QByteArray& path, const QString& reason) {
    m_control.AddLog(
        QCoreApplication::translate("BatchEngine", "Эталонный файл \"%1\" не прочитан: %2")
            .arg(QFile::decodeName(path), RunControl::translatedReason(reason)));
}

void ReferenceSet::logCacheRebuilt() {
    // Damage may be found on opening or by any later read: said once a run.
    if (!m_cache || !m_cache->wasRebuilt() || std::exchange(m_rebuildLogged, true))
        return;
    m_control.AddLog(QCoreApplication::translate(
        "BatchEngine", "Кэш эталонных текстов был повреждён и создан заново"));
}

void ReferenceSet::loadShared() {
    if (m_pending.empty())
        return;
    const std::vector<PendingReference> pending = std::exchange(m_pending, {});
    // Every reference the batch shares no hash with scores 0 against all of
    // it: its entry stays without shingles and the comparison passes it by.
    std::vector<const PendingReference*> missing;
    if (m_cache) {
        missing = fromCache(pending);
    } else {
        for (const PendingReference& reference : pending)
            missing.push_back(&reference);
    }
    for (const PendingReference* reference : missing) {
        const auto at = static_cast<std::size_t>(reference->entry);
        const QByteArray path = m_documents.referencePath(reference->entry);
        try {
            ++m_reads;
            LoadText(path, reference->entry);
        } catch (const std::exception& error) {
            // Changed since it was listed: it is compared with nothing.
            m_documents.shingles[at] = {};
            logUnreadReference(path, QString::fromUtf8(error.what()));
        }
        m_control.processEvents();
    }
}

std::vector<const ReferenceSet::PendingReference*>
ReferenceSet::fromCache(const std::vector<PendingReference>& pending) {
    std::vector<const PendingReference*> missing;
    try {
        m_cache->beginReading();
        // Another run changed the cache since its files were read: the
        // postings may name other rows, so every reference is asked for.
        const bool untouched = m_cache->generation() == m_cacheGeneration;
        std::vector<std::uint32_t> sharing;
        if (untouched)
            sharing = m_cache->filesSharing(m_documents.batchHashes());
        for (const PendingReference& reference : pending) {
            if (untouched && !std::binary_search(sharing.begin(), sharing.end(), reference.id))
                continue;
            std::optional<TudShingleList> list = m_cache->shingles(reference.id, reference.version);
            if (list)
                m_documents.shingles[static_cast<std::size_t>(reference.entry)] = std::move(*list);
            else
                missing.push_back(&reference);
        }
        m_cache->endReading();
        logCacheRebuilt();
    } catch (const ReferenceCacheError& error) {
        dropCache(error);
        missing.clear();
        for (const PendingReference& reference : pending)
            if (m_documents.shingles[static_cast<std::size_t>(reference.entry)].Count == 0)
                missing.push_back(&reference);
    }
    return missing;
}

void ReferenceSet::LoadText(const QByteArray& path, std::int32_t entry) {
    EngineHost& host = m_control.host();
    const auto at = static_cast<std::size_t>(entry);
    const HtmlHandling htmlSwitch = host.htmlHandling();
    const TextReader::Result read =
        TextFile::load(path, htmlSwitch, host.forcedEncoding(), m_documents.identities[at]);
    const int shingleLength = host.shingleLength();
    const Truncation truncation = host.truncation();
    const Unmask unmask = host.unmask();
    // A document is already its text: markup in it is words.
    const HtmlHandling html =
        TextReader::isDocument(read.origin.format) ? HtmlHandling::Keep : htmlSwitch;
    ShinglesFromText(read.text, truncation, html, unmask, shingleLength, m_documents.shingles[at]);
    m_documents.settings[at] = {shingleLength, truncation, html, unmask};
    m_documents.origins[at] = read.origin;
}

IndexChanges ReferenceSet::index(const QByteArray& directory) {
    const QByteArray path = m_control.host().referenceCachePath();
    if (path.isEmpty())
        throw ReferenceCacheError("No reference cache to build");
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
    m_cache = std::make_unique<ReferenceCache>(path);
    const auto closed = qScopeGuard([this] { close(); });
    m_rebuildLogged = false;
    logCacheRebuilt();
    m_documents.clear();
    m_indexChanges = {};
    try {
        loadDirectory(DirectoryListing::prefix(directory));
        // A stop that came once everything was stored stopped nothing.
        m_indexChanges.stopped = !m_indexChanges.stored && m_control.stopRequested();
    } catch (const Stopped&) {
        m_indexChanges.stopped = true;
    }
    if (!m_indexChanges.stored && !m_indexChanges.stopped && m_indexChanges.failure.isEmpty())
        m_indexChanges.failure =
            QCoreApplication::translate("BatchEngine", "кэш эталонных текстов недоступен");
    m_documents.clear();
    return m_indexChanges;
}

void ReferenceSet::cacheSavedTexts(const QByteArray& output) {
    if (!m_cache || !m_againstOutput)
        return;
    const QByteArray reading = readingKey();
    std::map<QByteArray, CachedFingerprint> fresh;
    for (std::int32_t i = m_documents.referenceCount; i < m_documents.count(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        const SaveOutcome outcome = m_documents.saveOutcomes[at];
        if (outcome != SaveOutcome::Moved && outcome != SaveOutcome::Copied)
            continue;
        const std::optional<FileIdentity> now = identityOf(output + m_documents.names[at]);
        if (!now)
            continue;
        CachedFingerprint& stored = fresh[m_documents.names[at]];
        stored.version = storedVersionOf(*now);
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
        m_control.AddLog(
            QCoreApplication::translate("BatchEngine", "Кэш эталонных текстов не обновлён: %1")
                .arg(QString::fromUtf8(error.what())));
    }
}

} // namespace quillmark
