// The fingerprints of reference texts kept between runs: one SQLite file that
// holds, per file of a reference directory, what identifies the version that
// was read and the shingles it gave, so that a run reads again only the files
// that are new or changed.
#pragma once

#include "DocumentTable.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <cstdint>
#include <map>
#include <stdexcept>

struct sqlite3;

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
    /// fingerprint without being fingerprinted again.
    std::uint32_t checksum = 0;
    FingerprintSettings settings;
    /// How the bytes were turned into text (the encoding choice of the run).
    QByteArray reading;
    /// What the file was found to be (format and encoding), as shown to the user.
    QByteArray description;
    TudShingleList shingles;
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

    bool wasRebuilt() const { return m_rebuilt; }
    const QByteArray& path() const { return m_path; }

    /// Every cached file of `directory` (a prefix ending with "/"), by name.
    /// A damaged database is rebuilt empty (see wasRebuilt()).
    std::map<QByteArray, CachedFingerprint> entries(const QByteArray& directory);

    /// Replaces the files of `directory` named in `changed` and drops those in
    /// `gone`, in one transaction: a run killed meanwhile leaves the cache as
    /// it was. Waits for another run writing the same cache, then throws
    /// ReferenceCacheError.
    void update(const QByteArray& directory,
                const std::map<QByteArray, const CachedFingerprint*>& changed,
                const std::vector<QByteArray>& gone);

private:
    void open();
    void createSchema();
    void moveAside();
    [[noreturn]] void fail(const char* what) const;

    QByteArray m_path;
    sqlite3* m_db = nullptr;
    bool m_rebuilt = false;
};

} // namespace quillmark
