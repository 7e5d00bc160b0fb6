// The fingerprints of reference texts kept between runs: one SQLite file that
// holds, per file of a reference directory, what identifies the version that
// was read and the shingles it gave, so that a run reads again only the files
// that are new or changed; and, per hash, the files holding it, so that a run
// loads the shingles of only the references its batch shares a hash with.
#pragma once

#include "DocumentTable.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QHash>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillmark {

/// The cache cannot be used; what() says why in the user's terms.
class ReferenceCacheError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// What identifies one version of a file on disk.
struct FileVersion {
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    std::int64_t inode = 0;
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

/// One cached reference file.
struct CachedFingerprint {
    FileVersion version;
    /// CRC-32 of the file's bytes: a file touched but not changed keeps its
    /// fingerprint without being fingerprinted again. None when not taken.
    std::optional<std::uint32_t> checksum;
    FingerprintSettings settings;
    /// How the bytes were turned into text (the encoding choice of the run).
    QByteArray reading;
    /// What the file was found to be (format and encoding), as shown to the user.
    QByteArray description;
    /// Why the file gave no text under these settings; empty for a text.
    QByteArray unreadReason;
    TudShingleList shingles;
};

/// One cached file without its shingles: what a run checks against the disk.
struct CachedFile {
    /// Names the file in the cache until it changes.
    std::uint32_t id = 0;
    FileVersion version;
    std::optional<std::uint32_t> checksum;
    FingerprintSettings settings;
    QByteArray reading;
    QByteArray description;
    QByteArray unreadReason;
};

class ReferenceCache {
public:
    /// Opens the cache at `path` (raw file-system bytes), creating it and its
    /// directory when missing. A damaged file is moved aside (".damaged"
    /// appended to its name, never over another file) and a new one made;
    /// wasRebuilt() then tells. Throws ReferenceCacheError for a database of
    /// another program or another version, which is left untouched, and when
    /// the file cannot be opened or created.
    explicit ReferenceCache(const QByteArray& path);
    ~ReferenceCache();
    ReferenceCache(const ReferenceCache&) = delete;
    ReferenceCache& operator=(const ReferenceCache&) = delete;

    /// $XDG_CACHE_HOME/quillmark/references.sqlite (~/.cache when unset).
    static QByteArray defaultPath();

    /// Called each time a write waits for another connection's lock, with the
    /// number of waits so far (1-based); lets tests act once a writer waits.
    using LockWaitHook = std::function<void(int waits)>;
    static void setLockWaitHook(LockWaitHook hook);

    bool wasRebuilt() const { return m_rebuilt; }
    bool wasUpgraded() const { return m_upgraded; }
    const QByteArray& path() const { return m_path; }

    /// Every cached file of `directory` (a prefix ending with "/"), by name.
    /// A damaged database is rebuilt empty (see wasRebuilt()).
    std::map<QByteArray, CachedFingerprint> entries(const QByteArray& directory);
    /// The same without the shingles: cheap enough for every run.
    QHash<QByteArray, CachedFile> files(const QByteArray& directory);

    /// Replaces the files of `directory` named in `changed` and drops those in
    /// `gone`, in one transaction: a run killed meanwhile leaves the cache as
    /// it was. Waits for another run writing the same cache, then throws
    /// ReferenceCacheError.
    void update(const QByteArray& directory,
                const std::map<QByteArray, const CachedFingerprint*>& changed,
                const std::vector<QByteArray>& gone);
    /// The same as update() one file at a time: everything from beginUpdate()
    /// to finishUpdate() is one transaction, and nothing of it is kept when
    /// abandonUpdate() or a throw ends it first.
    void beginUpdate(const QByteArray& directory);
    void put(const QByteArray& name, const CachedFingerprint& entry);
    void finishUpdate(const std::vector<QByteArray>& gone);
    void abandonUpdate();
    bool updating() const { return m_update != nullptr; }
    /// Makes the writing under way, or a wait for another run's, give up
    /// soon with an error. Safe from another thread; resumeAfterInterrupt()
    /// clears it once that writing ended.
    void interrupt();
    void resumeAfterInterrupt() { m_interrupted = false; }

    /// Counts the writes of every program using the cache: a run that sees it
    /// move between reading the files and their shingles reads again.
    std::int64_t generation();
    /// The files holding at least one of `hashes` (sorted, distinct), sorted.
    std::vector<std::uint32_t> filesSharing(std::span<const std::uint32_t> hashes);
    /// The shingles of file `id` when it is still cached in `version`.
    std::optional<TudShingleList> shingles(std::uint32_t id, const FileVersion& version);
    /// Reads the next calls from one state of the cache, until endReading().
    void beginReading();
    void endReading();

private:
    void open();
    void createSchema();
    void upgrade();
    void moveAside();
    /// Whether a read ended with its last row: a damaged file is moved aside
    /// (false); any other error throws.
    bool readFinished(int code);
    /// Begins a write transaction, or throws when another run holds the cache.
    void beginWriting();
    void commitOrFail(bool ok);
    struct Update;
    bool writePostings(Update& update);
    void dropNamed(const QByteArray& name);
    static int waitForLock(void* cache, int calls);
    [[noreturn]] void fail(const char* what) const;

    QByteArray m_path;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_shingleQuery = nullptr;
    bool m_rebuilt = false;
    bool m_upgraded = false;
    std::unique_ptr<Update> m_update;
    std::atomic<bool> m_interrupted = false;
};

} // namespace quillmark
