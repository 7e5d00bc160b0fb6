#include "ArchiveSet.h"

#include "DirectoryListing.h"
#include "EngineHost.h"
#include "ReferenceSet.h"
#include "RunFailure.h"
#include "analysis/Stopped.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>

namespace quillmark {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TeamArchive", text);
}

/// Texts added in one transaction by "archive add": large enough that the
/// round trips do not count, small enough that a stop loses little.
constexpr std::size_t AddChunk = 4000;

} // namespace

ArchiveSet::ArchiveSet(RunControl& control, DocumentTable& documents)
    : m_control(control)
    , m_documents(documents) {}

ArchiveSet::~ArchiveSet() = default;

QByteArray ArchiveSet::settingsKey(const FingerprintSettings& settings, Encoding encoding) {
    return "w" + QByteArray::number(settings.shingleLength) + ":t" +
           QByteArray::number(settings.truncation == Truncation::On ? 1 : 0) + ':' +
           ReferenceSet::readingKeyOf(encoding, settings.html, settings.unmask);
}

QByteArray ArchiveSet::originOf(const QByteArray& directory) {
    QByteArray origin = ReferenceSet::cacheKeyOf(directory);
    while (origin.size() > 1 && origin.endsWith('/'))
        origin.chop(1);
    return origin;
}

QByteArray ArchiveSet::referenceDirectoryOf(const QByteArray& origin) {
    return "archive:" + origin + '/';
}

void ArchiveSet::fail(const ArchiveError& error) const {
    throw RunFailure(QString::fromUtf8(error.what()));
}

void ArchiveSet::open() {
    const QByteArray uri = m_control.host().archiveUri();
    if (uri.isEmpty())
        return;
    try {
        m_archive = std::make_unique<TeamArchive>(uri);
    } catch (const ArchiveError& error) {
        fail(error);
    }
}

void ArchiveSet::appendTexts() {
    if (!m_archive)
        return;
    const LoadJob job = m_control.settingsNow();
    const FingerprintSettings settings{job.shingleLength, job.truncation, job.html, job.unmask};
    m_listedSettings = settingsKey(settings, job.encoding);
    std::vector<ArchivedText> texts;
    try {
        // The listing and the lookups after the batch see one state.
        m_archive->beginSnapshot();
        texts = m_archive->texts(m_listedSettings);
    } catch (const ArchiveError& error) {
        fail(error);
    }
    m_firstEntry = m_documents.count();
    m_ids.clear();
    m_ids.reserve(texts.size());
    for (ArchivedText& text : texts) {
        m_documents.append(std::move(text.name));
        const auto at = static_cast<std::size_t>(m_documents.count() - 1);
        m_documents.referenceDirectories.push_back(referenceDirectoryOf(text.origin));
        m_documents.settings[at] = settings;
        m_documents.origins[at] = ReferenceSet::originOf(text.description);
        m_ids.push_back(text.id);
    }
    m_documents.referenceCount = m_documents.count();
    m_control.AddLog(tr("Общий архив: текстов с этими настройками - %1").arg(texts.size()));
}

void ArchiveSet::loadShared() {
    if (!m_archive)
        return;
    if (m_ids.empty()) {
        endSnapshot();
        return;
    }
    try {
        const std::vector<std::int32_t> sharing =
            m_archive->textsSharing(m_listedSettings, m_documents.batchHashes());
        for (auto& [id, list] : m_archive->shinglesOf(sharing)) {
            // Both lists ascend; a text removed since the listing is not found.
            const auto hit = std::lower_bound(m_ids.begin(), m_ids.end(), id);
            if (hit != m_ids.end() && *hit == id)
                m_documents
                    .shingles[static_cast<std::size_t>(m_firstEntry + (hit - m_ids.begin()))] =
                    std::move(list);
        }
        m_archive->endSnapshot();
    } catch (const ArchiveError& error) {
        fail(error);
    }
}

void ArchiveSet::endSnapshot() {
    try {
        m_archive->endSnapshot();
    } catch (const ArchiveError& error) {
        fail(error);
    }
}

void ArchiveSet::beginRecording(const QByteArray& output) {
    if (!m_archive)
        return;
    m_recordedOutput = originOf(output);
    m_recorded.clear();
    m_lost.clear();
    m_recording = true;
    try {
        m_archive->beginAdding();
    } catch (const ArchiveError& error) {
        m_lost = QString::fromUtf8(error.what());
    }
}

QString ArchiveSet::record(std::int32_t index) {
    if (!m_recording)
        return {};
    if (!m_lost.isEmpty())
        return m_lost;
    try {
        m_archive->confirmReachable();
    } catch (const ArchiveError& error) {
        // Nothing later can be recorded either: each text after says the same.
        m_lost = QString::fromUtf8(error.what());
        return m_lost;
    }
    m_recorded.push_back(index);
    return {};
}

QString ArchiveSet::finishRecording() {
    if (!std::exchange(m_recording, false))
        return {};
    if (!m_lost.isEmpty()) {
        m_archive->abandonAdding();
        return m_lost;
    }
    const Encoding encoding = m_control.host().forcedEncoding();
    for (const std::int32_t index : m_recorded) {
        const auto at = static_cast<std::size_t>(index);
        const SaveOutcome outcome = m_documents.saveOutcomes[at];
        if (outcome != SaveOutcome::Moved && outcome != SaveOutcome::Copied &&
            outcome != SaveOutcome::AlreadyThere)
            continue;
        m_archive->stage({settingsKey(m_documents.settings[at], encoding), m_recordedOutput,
                          m_documents.names[at], ReferenceSet::originKey(m_documents.origins[at]),
                          m_documents.shingles[at].Hashes});
    }
    try {
        const int added = m_archive->finishAdding();
        m_control.AddLog(tr("Общий архив: добавлено текстов - %1").arg(added));
        return {};
    } catch (const ArchiveError& error) {
        return QString::fromUtf8(error.what());
    }
}

void ArchiveSet::stageLoaded(const QByteArray& origin, const QByteArray& name,
                             const LoadedText& loaded, ArchiveAdded& counts) {
    try {
        if (loaded.error)
            std::rethrow_exception(loaded.error);
    } catch (const Stopped&) {
        throw;
    } catch (const std::exception& error) {
        ++counts.unread;
        m_control.AddLog(tr("Файл \"%1\" не добавлен в архив: %2")
                             .arg(QFile::decodeName(origin + '/' + name),
                                  RunControl::translatedReason(QString::fromUtf8(error.what()))));
        return;
    }
    m_archive->stage({settingsKey(loaded.settings, loaded.job.encoding), origin, name,
                      ReferenceSet::originKey(loaded.origin), loaded.shingles.Hashes});
}

ArchiveAdded ArchiveSet::addDirectory(const QByteArray& directory) {
    open();
    if (!m_archive)
        throw RunFailure(tr("Адрес общего архива не задан"));
    const QByteArray prefix = DirectoryListing::prefix(directory);
    const std::vector<DirectoryEntry> listing = DirectoryListing::list(prefix);
    const QByteArray origin = originOf(prefix);
    const LoadJob settings = m_control.settingsNow();
    ArchiveAdded counts;
    ParallelLoader loader(m_control.threadCount());
    std::vector<const DirectoryEntry*> texts;
    for (const DirectoryEntry& entry : listing)
        if (RunControl::isBatchText(entry))
            texts.push_back(&entry);
    std::size_t given = 0;
    std::size_t staged = 0;
    try {
        m_archive->beginAdding();
        for (const DirectoryEntry* entry : texts) {
            m_control.throwIfStopped();
            for (; given < texts.size() && loader.hasRoom(); ++given)
                loader.submit(RunControl::withPath(settings, prefix + texts[given]->name));
            std::optional<LoadedText> loaded;
            m_control.waitFor([&](std::chrono::milliseconds wait) {
                loaded = loader.take(wait);
                return loaded.has_value();
            });
            stageLoaded(origin, entry->name, *loaded, counts);
            if (++staged % AddChunk == 0) {
                counts.added += m_archive->finishAdding();
                m_control.AddLog(tr("Общий архив: добавлено текстов - %1").arg(counts.added));
                m_archive->beginAdding();
            }
        }
        counts.added += m_archive->finishAdding();
    } catch (const ArchiveError& error) {
        m_archive->abandonAdding();
        fail(error);
    } catch (...) {
        m_archive->abandonAdding();
        throw;
    }
    counts.present = static_cast<int>(texts.size()) - counts.unread - counts.added;
    return counts;
}

void ArchiveSet::close() {
    if (m_archive && m_archive->adding())
        m_archive->abandonAdding();
    m_archive.reset();
    m_ids.clear();
    m_recording = false;
}

} // namespace quillmark
