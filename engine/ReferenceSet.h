// The reference texts of a run: the directories the batch is checked against,
// read or taken from the reference cache, kept at the head of the document
// table, and refreshed in the cache. The run gets their fingerprints through
// the table.
#pragma once

#include "DocumentTable.h"
#include "FileIdentity.h"
#include "ParallelLoader.h"
#include "RunControl.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillmark {

class ReferenceCache;
class ReferenceCacheError;
struct CachedFile;

/// What refreshing the cache of a reference directory found.
struct IndexChanges {
    int added = 0;
    int changed = 0;
    int removed = 0;
    int unchanged = 0;
    /// Whether the changes are in the cache; the counts say what they were.
    bool stored = false;
    /// A stop ended the indexing: nothing of it was stored.
    bool stopped = false;
    /// Why nothing was stored, when it was not and no stop ended it.
    QString failure;
};

class ReferenceSet {
public:
    ReferenceSet(RunControl& control, DocumentTable& documents);
    ~ReferenceSet();
    ReferenceSet(const ReferenceSet&) = delete;
    ReferenceSet& operator=(const ReferenceSet&) = delete;

    /// The reference directories of a run, in order: the output directory
    /// (when asked and present), then the host's; the source directory and
    /// repeats are left out.
    std::vector<QByteArray> directoriesFor(const QByteArray& source, const QByteArray& output);
    /// Opens the reference cache, or says in the log why the run goes without.
    void open();
    /// Puts the texts of the reference directories at the head of the table.
    /// Throws RunFailure when a directory cannot be read, Stopped.
    void LoadReferences(const std::vector<QByteArray>& directories);
    /// Gives the cached references the batch shares a hash with their
    /// shingles; the others cannot score above 0 and stay without.
    void loadShared();
    /// Adds the texts the last saving put into `output` to the cache.
    void cacheSavedTexts(const QByteArray& output);
    /// Builds or refreshes the cache of `directory`, as a run would. Throws
    /// FileOpenError when the directory cannot be read, ReferenceCacheError
    /// when there is no cache.
    IndexChanges index(const QByteArray& directory);
    /// Lets the cache go and forgets what waited for it.
    void close();
    /// How many reference files were read and fingerprinted so far.
    int reads() const { return m_reads; }

    /// How a run turns bytes into text, as the cache keeps it with a file.
    static QByteArray readingKeyOf(Encoding encoding, HtmlHandling html, Unmask unmask);
    /// The format and encoding a document was read as, in the cache's words.
    static QByteArray originKey(const TextOrigin& origin);
    static TextOrigin originOf(const QByteArray& key);
    /// What the reference cache knows a directory by: its canonical path,
    /// ending with "/"; the path as given when it has none.
    static QByteArray cacheKeyOf(const QByteArray& directory);

private:
    struct PendingReference;
    struct DirectoryLoad;
    struct PlannedReference;

    void loadDirectory(const QByteArray& directory);
    /// What the cache holds of a directory; empty without a usable cache.
    QHash<QByteArray, CachedFile> cachedFiles(const QByteArray& cacheKey);
    void plan(DirectoryLoad& load, const std::vector<DirectoryEntry>& listing);
    void readPlanned(DirectoryLoad& load);
    /// Keeps a file that was read, or records why it was not; hands it to the writer.
    void keepRead(DirectoryLoad& load, const QByteArray& name, LoadedText loaded);
    /// Writes what a directory load found gone and waits until all is stored.
    void storeChanges(DirectoryLoad& load);
    void appendReference(const QByteArray& directory, const QByteArray& name,
                         const FileIdentity& identity, const FingerprintSettings& settings,
                         const TextOrigin& origin);
    /// A reference whose cached fingerprint stands; its shingles come later.
    void keepCached(const QByteArray& directory, const QByteArray& name,
                    const FileIdentity& identity, const CachedFile& file);
    /// The pending references the cache could not give shingles to.
    std::vector<const PendingReference*> fromCache(const std::vector<PendingReference>& pending);
    /// Reads and fingerprints one reference file into table entry `entry`.
    /// Throws FileOpenError, UnreadableText, or what fingerprinting throws.
    void LoadText(const QByteArray& path, std::int32_t entry);
    /// How the run turns bytes into text, as the cache keeps it.
    QByteArray readingKey();
    void logUnreadReference(const QByteArray& path, const QString& reason);
    /// Says that the cache was found damaged and made anew, once a run.
    void logCacheRebuilt();
    /// Goes on without the cache, and says why.
    void dropCache(const ReferenceCacheError& error);

    RunControl& m_control;
    DocumentTable& m_documents;
    /// The reference cache of the running run; null without one.
    std::unique_ptr<ReferenceCache> m_cache;
    /// The output directory is a reference directory of the running run.
    bool m_againstOutput = false;
    int m_reads = 0;
    /// What the last reference directory load found against the cache.
    IndexChanges m_indexChanges;
    /// The references of the running run whose shingles wait in the cache.
    std::vector<PendingReference> m_pending;
    /// The cache's count of other programs' writes when its files were read.
    std::int64_t m_cacheGeneration = 0;
    bool m_rebuildLogged = false;
};

} // namespace quillmark
