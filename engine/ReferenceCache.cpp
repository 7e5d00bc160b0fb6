#include "ReferenceCache.h"

#include "PostingBucket.h"
#include "PostingRuns.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace quillmark {

namespace {

ReferenceCache::LockWaitHook lockWaitHook;

// "QMRK": marks the file as this program's, so that another program's
// database at the same path is never taken for a damaged one of ours.
constexpr int applicationId = 0x514D524B;
constexpr int schemaVersion = 2;
// Emptied and made anew when met: everything in it can be read again.
constexpr int previousSchemaVersion = 1;

bool isDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

/// A prepared statement, finalized on every way out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_code = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_code == SQLITE_OK; }
    int code() const { return m_code; }
    sqlite3_stmt* get() const { return m_statement; }
    void bind(int at, const QByteArray& bytes) {
        sqlite3_bind_blob(m_statement, at, bytes.constData(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int at, std::int64_t value) { sqlite3_bind_int64(m_statement, at, value); }
    /// Binds bytes that stay as they are until the statement has run.
    void bindKept(int at, const QByteArray& bytes) {
        sqlite3_bind_blob(m_statement, at, bytes.constData(), static_cast<int>(bytes.size()),
                          SQLITE_STATIC);
    }
    QByteArray blob(int column) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QByteArray(data, sqlite3_column_bytes(m_statement, column));
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    /// Steps through the rows, handing each to `row`; the last step's code.
    template <class Row> int eachRow(Row&& row) {
        if (!ok())
            return m_code;
        int code = SQLITE_ROW;
        while ((code = sqlite3_step(m_statement)) == SQLITE_ROW)
            row(*this);
        return code;
    }
    /// Steps once and makes the statement ready for the next binding.
    bool run() {
        const bool done = sqlite3_step(m_statement) == SQLITE_DONE;
        sqlite3_reset(m_statement);
        return done;
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_code = SQLITE_OK;
};

int execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

int pragmaValue(sqlite3* db, const char* sql, int& code) {
    Statement statement(db, sql);
    code = statement.code();
    if (!statement.ok())
        return 0;
    code = sqlite3_step(statement.get());
    if (code != SQLITE_ROW)
        return 0;
    code = SQLITE_OK;
    return static_cast<int>(statement.integer(0));
}

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

/// Binds the hashes of `list`, which stays as it is until the statement has run.
void bindHashes(sqlite3_stmt* statement, int at, const TudShingleList& list) {
    // Native byte order: the cache belongs to this machine. No hashes are an
    // empty blob, not NULL.
    if (list.Hashes.empty())
        sqlite3_bind_zeroblob(statement, at, 0);
    else
        sqlite3_bind_blob(statement, at, list.Hashes.data(),
                          static_cast<int>(list.Hashes.size() * sizeof(std::uint32_t)),
                          SQLITE_STATIC);
}

TudShingleList hashesOf(const QByteArray& blob) {
    TudShingleList list;
    // A file without text has none.
    if (blob.size() < static_cast<qsizetype>(sizeof(std::uint32_t)))
        return list;
    list.Hashes.resize(static_cast<std::size_t>(blob.size()) / sizeof(std::uint32_t));
    std::memcpy(list.Hashes.data(), blob.constData(), list.Hashes.size() * sizeof(std::uint32_t));
    list.Count = static_cast<std::int32_t>(list.Hashes.size());
    return list;
}

FileVersion versionAt(const Statement& query, int first) {
    return {query.integer(first), query.integer(first + 1), query.integer(first + 2),
            query.integer(first + 3)};
}

/// Reads the posting rows of ascending buckets: one lookup each when few are
/// wanted, one pass over the table when many are.
class BucketReader {
public:
    BucketReader(sqlite3* db, std::size_t wanted)
        : m_scan(wanted > PostingBucket::BucketCount / 16)
        , m_statement(db, m_scan ? "SELECT bucket, entries FROM postings ORDER BY bucket"
                                 : "SELECT bucket, entries FROM postings WHERE bucket = ?") {}

    bool ok() const { return m_statement.ok() && m_failure == SQLITE_OK; }
    int failure() const { return m_statement.ok() ? m_failure : m_statement.code(); }

    /// The stored bytes of `bucket`; empty when it has none.
    QByteArray read(std::uint32_t bucket) {
        if (!ok())
            return {};
        if (!m_scan) {
            m_statement.bind(1, std::int64_t{bucket});
            QByteArray bytes;
            const int code = sqlite3_step(m_statement.get());
            if (code == SQLITE_ROW)
                bytes = m_statement.blob(1);
            else if (code != SQLITE_DONE)
                m_failure = code;
            sqlite3_reset(m_statement.get());
            return bytes;
        }
        while (!m_ended && (!m_onRow || m_statement.integer(0) < bucket)) {
            const int code = sqlite3_step(m_statement.get());
            m_onRow = code == SQLITE_ROW;
            m_ended = !m_onRow;
            if (code != SQLITE_ROW && code != SQLITE_DONE)
                m_failure = code;
        }
        if (m_ended || m_statement.integer(0) != bucket)
            return {};
        return m_statement.blob(1);
    }

private:
    bool m_scan;
    Statement m_statement;
    bool m_onRow = false;
    bool m_ended = false;
    int m_failure = SQLITE_OK;
};

/// Renames without replacing; false when `to` exists or the rename fails.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0;
}

} // namespace

ReferenceCache::ReferenceCache(const QByteArray& path)
    : m_path(path) {
    try {
        open();
    } catch (...) {
        // A refused database is closed here: no destructor runs for it.
        sqlite3_close(m_db);
        throw;
    }
}

ReferenceCache::~ReferenceCache() {
    sqlite3_finalize(m_shingleQuery);
    sqlite3_close(m_db);
}

QByteArray ReferenceCache::defaultPath() {
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    QByteArray base;
    if (cacheHome != nullptr && cacheHome[0] == '/') {
        base = cacheHome;
    } else {
        const char* home = std::getenv("HOME");
        base = QByteArray(home != nullptr ? home : "") + "/.cache";
    }
    return base + "/quillmark/references.sqlite";
}

void ReferenceCache::fail(const char* what) const {
    const QString text =
        QCoreApplication::translate("ReferenceCache", "Индекс образцов %1: %2")
            .arg(shown(m_path), QCoreApplication::translate("ReferenceCache", what));
    throw ReferenceCacheError(text.toStdString());
}

namespace {

// WAL: a run killed at any point leaves the last committed state; NORMAL is
// safe with it (a crash loses at most the last transaction). The journal is
// cut back after a large write; the page cache holds a large one whole.
const char* const ConnectionSettings = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                       " PRAGMA journal_size_limit=67108864;"
                                       " PRAGMA cache_size=-131072;";

} // namespace

void ReferenceCache::open() {
    const qsizetype slash = m_path.lastIndexOf('/');
    if (slash > 0) {
        const QByteArray directory = m_path.left(slash);
        if (::mkdir(directory.constData(), 0700) != 0 && errno != EEXIST)
            fail(std::strerror(errno));
    }
    if (sqlite3_open_v2(m_path.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        fail(message.c_str());
    }
    sqlite3_busy_handler(m_db, &ReferenceCache::waitForLock, this);

    int code = SQLITE_OK;
    const int id = pragmaValue(m_db, "PRAGMA application_id", code);
    const int version = code == SQLITE_OK ? pragmaValue(m_db, "PRAGMA user_version", code) : 0;
    const int tables =
        code == SQLITE_OK ? pragmaValue(m_db, "SELECT count(*) FROM sqlite_schema", code) : 0;
    if (isDamage(code)) {
        moveAside();
        return;
    }
    if (code != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
    if (id == 0 && tables == 0) {
        createSchema();
        return;
    }
    if (id != applicationId)
        fail(QT_TRANSLATE_NOOP("ReferenceCache",
                               "это база данных другой программы, она оставлена как есть"));
    if (version != schemaVersion && version != previousSchemaVersion)
        fail(QT_TRANSLATE_NOOP("ReferenceCache",
                               "создан другой версией программы, он оставлен как есть"));
    if (execute(m_db, ConnectionSettings) != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
    if (version == previousSchemaVersion)
        upgrade();
}

namespace {

const char* const TablesSql =
    "CREATE TABLE files("
    " id INTEGER PRIMARY KEY, directory BLOB NOT NULL, name BLOB NOT NULL,"
    " size INTEGER, modified INTEGER, changed INTEGER, inode INTEGER,"
    " checksum INTEGER, shingle_length INTEGER, truncation INTEGER,"
    " html INTEGER, reading BLOB, description BLOB, unread BLOB, hashes BLOB,"
    " UNIQUE(directory, name));"
    // Per range of hashes (PostingBucket), the files holding them.
    "CREATE TABLE postings(bucket INTEGER PRIMARY KEY, entries BLOB NOT NULL);"
    "PRAGMA application_id=1364021835;"
    "PRAGMA user_version=2;";
static_assert(applicationId == 1364021835 && schemaVersion == 2, "the schema text above");

} // namespace

void ReferenceCache::createSchema() {
    // Pages of 16 KiB: most rows are blobs of one or two kilobytes; a new
    // index of 100,000 files is written a tenth faster and is smaller.
    const QByteArray schema = QByteArray("PRAGMA page_size=16384;") + ConnectionSettings +
                              "BEGIN IMMEDIATE;" + TablesSql + "COMMIT;";
    if (execute(m_db, schema.constData()) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_db);
        execute(m_db, "ROLLBACK");
        fail(message.c_str());
    }
}

void ReferenceCache::upgrade() {
    beginWriting();
    // Another run may have upgraded it meanwhile.
    int code = SQLITE_OK;
    if (pragmaValue(m_db, "PRAGMA user_version", code) == schemaVersion) {
        commitOrFail(code == SQLITE_OK);
        return;
    }
    const QByteArray sql = QByteArray("DROP TABLE IF EXISTS files;") + TablesSql;
    commitOrFail(execute(m_db, sql.constData()) == SQLITE_OK);
    m_upgraded = true;
}

void ReferenceCache::moveAside() {
    sqlite3_finalize(m_shingleQuery);
    m_shingleQuery = nullptr;
    sqlite3_close(m_db);
    m_db = nullptr;
    QByteArray aside = m_path + ".damaged";
    for (int n = 2; !renameNoReplace(m_path, aside); ++n) {
        if (errno != EEXIST || n > 1000)
            fail(std::strerror(errno));
        aside = m_path + ".damaged." + QByteArray::number(n);
    }
    // Its journal belongs to it, not to the new file.
    for (const char* suffix : {"-wal", "-shm"})
        renameNoReplace(m_path + suffix, aside + suffix);
    m_rebuilt = true;
    open();
}

void ReferenceCache::beginWriting() {
    if (execute(m_db, "BEGIN IMMEDIATE") == SQLITE_OK)
        return;
    if ((sqlite3_errcode(m_db) & 0xff) == SQLITE_BUSY)
        fail(QT_TRANSLATE_NOOP("ReferenceCache", "им пользуется другой запуск программы"));
    fail(sqlite3_errmsg(m_db));
}

void ReferenceCache::commitOrFail(bool ok) {
    if (ok && execute(m_db, "COMMIT") == SQLITE_OK)
        return;
    const std::string message = sqlite3_errmsg(m_db);
    execute(m_db, "ROLLBACK");
    fail(message.c_str());
}

namespace {

const char* const RowColumns = "size, modified, changed, inode, checksum, shingle_length,"
                               " truncation, html, reading, description, unread";

/// Fills what a row says from its columns at `first` (RowColumns, in order).
template <class Row> void readRow(const Statement& query, int first, Row& row) {
    row.version = versionAt(query, first);
    if (sqlite3_column_type(query.get(), first + 4) != SQLITE_NULL)
        row.checksum = static_cast<std::uint32_t>(query.integer(first + 4));
    row.settings.shingleLength = static_cast<int>(query.integer(first + 5));
    row.settings.truncation = query.integer(first + 6) != 0 ? Truncation::On : Truncation::Off;
    row.settings.html = query.integer(first + 7) != 0 ? HtmlHandling::Cut : HtmlHandling::Keep;
    row.reading = query.blob(first + 8);
    row.description = query.blob(first + 9);
    row.unreadReason = query.blob(first + 10);
}

} // namespace

bool ReferenceCache::readFinished(int code) {
    if (isDamage(code)) {
        moveAside();
        return false;
    }
    if (code != SQLITE_DONE)
        fail(sqlite3_errmsg(m_db));
    return true;
}

std::map<QByteArray, CachedFingerprint> ReferenceCache::entries(const QByteArray& directory) {
    std::map<QByteArray, CachedFingerprint> found;
    const QByteArray sql =
        QByteArray("SELECT name, ") + RowColumns + ", hashes FROM files WHERE directory = ?";
    Statement query(m_db, sql.constData());
    if (query.ok())
        query.bind(1, directory);
    const int code = query.eachRow([&found](const Statement& row) {
        CachedFingerprint entry;
        readRow(row, 1, entry);
        entry.shingles = hashesOf(row.blob(12));
        found.emplace(row.blob(0), std::move(entry));
    });
    if (!readFinished(code))
        return {};
    return found;
}

QHash<QByteArray, CachedFile> ReferenceCache::files(const QByteArray& directory) {
    QHash<QByteArray, CachedFile> found;
    const QByteArray sql =
        QByteArray("SELECT name, id, ") + RowColumns + " FROM files WHERE directory = ?";
    Statement query(m_db, sql.constData());
    if (query.ok())
        query.bind(1, directory);
    const int code = query.eachRow([&found](const Statement& row) {
        CachedFile file;
        file.id = static_cast<std::uint32_t>(row.integer(1));
        readRow(row, 2, file);
        found.insert(row.blob(0), std::move(file));
    });
    if (!readFinished(code))
        return {};
    return found;
}

/// A write under way: its statements and the postings it changes.
struct ReferenceCache::Update {
    Update(sqlite3* db, const QByteArray& directory)
        : directory(directory)
        , drop(db, "DELETE FROM files WHERE directory = ? AND name = ? RETURNING id, hashes")
        , insert(db, "INSERT INTO files (directory, name, size, modified, changed, inode,"
                     " checksum, shingle_length, truncation, html, reading, description,"
                     " unread, hashes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") {}

    QByteArray directory;
    Statement drop;
    Statement insert;
    PostingRuns removed;
    PostingRuns added;
};

bool ReferenceCache::writePostings(Update& update) {
    update.removed.finish();
    update.added.finish();
    // The buckets touched, each with its removed and added entries.
    std::vector<std::uint32_t> buckets = update.removed.buckets();
    const std::vector<std::uint32_t> addedBuckets = update.added.buckets();
    std::vector<std::uint32_t> both;
    std::set_union(buckets.begin(), buckets.end(), addedBuckets.begin(), addedBuckets.end(),
                   std::back_inserter(both));
    buckets.swap(both);

    // Everything is read before anything is written: the reading may be one
    // pass over the very table the writes go to.
    std::vector<QByteArray> rows(buckets.size());
    {
        BucketReader reader(m_db, buckets.size());
        for (std::size_t i = 0; i < buckets.size(); ++i)
            rows[i] = reader.read(buckets[i]);
        if (!reader.ok())
            return false;
    }
    // The new rows are made on a second thread while this one stores those
    // made before.
    std::atomic<std::size_t> made = 0;
    std::atomic<bool> abandoned = false;
    std::atomic<bool> outOfMemory = false;
    std::thread maker([&] {
        std::vector<std::uint64_t> gone;
        std::vector<std::uint64_t> come;
        try {
            for (std::size_t i = 0; i < buckets.size() && !abandoned; ++i) {
                update.removed.take(buckets[i], gone);
                update.added.take(buckets[i], come);
                rows[i] = rows[i].isEmpty() && gone.empty()
                              ? PostingBucket::encode(come)
                              : PostingBucket::encode(PostingBucket::merged(
                                    PostingBucket::decode(rows[i]), gone, come));
                made.store(i + 1, std::memory_order_release);
                made.notify_one();
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            made.store(buckets.size(), std::memory_order_release);
            made.notify_one();
        }
    });
    Statement put(m_db, "INSERT OR REPLACE INTO postings VALUES (?, ?)");
    Statement drop(m_db, "DELETE FROM postings WHERE bucket = ?");
    bool ok = put.ok() && drop.ok();
    for (std::size_t i = 0; ok && i < buckets.size(); ++i) {
        for (std::size_t now = made.load(std::memory_order_acquire); now <= i;
             now = made.load(std::memory_order_acquire))
            made.wait(now, std::memory_order_acquire);
        Statement& statement = rows[i].isEmpty() ? drop : put;
        statement.bind(1, std::int64_t{buckets[i]});
        if (!rows[i].isEmpty())
            statement.bindKept(2, rows[i]);
        ok = !outOfMemory && statement.run() && !m_interrupted;
        rows[i] = {};
    }
    abandoned = true;
    maker.join();
    update.removed.clear();
    update.added.clear();
    return ok;
}

void ReferenceCache::update(const QByteArray& directory,
                            const std::map<QByteArray, const CachedFingerprint*>& changed,
                            const std::vector<QByteArray>& gone) {
    if (changed.empty() && gone.empty())
        return;
    beginUpdate(directory);
    try {
        for (const auto& [name, entry] : changed)
            put(name, *entry);
        finishUpdate(gone);
    } catch (...) {
        abandonUpdate();
        throw;
    }
}

int ReferenceCache::waitForLock(void* cache, int calls) {
    // As a busy timeout of 30 s, and given up at once when interrupted.
    constexpr int stepMs = 10;
    if (static_cast<ReferenceCache*>(cache)->m_interrupted || calls >= 30000 / stepMs)
        return 0;
    if (lockWaitHook)
        lockWaitHook(calls + 1);
    sqlite3_sleep(stepMs);
    return 1;
}

void ReferenceCache::setLockWaitHook(LockWaitHook hook) {
    lockWaitHook = std::move(hook);
}

void ReferenceCache::interrupt() {
    m_interrupted = true;
    sqlite3_interrupt(m_db);
}

void ReferenceCache::beginUpdate(const QByteArray& directory) {
    // Never shown: an interrupted write is one the run gave up.
    if (m_interrupted)
        throw ReferenceCacheError("interrupted");
    beginWriting();
    m_update = std::make_unique<Update>(m_db, directory);
    if (!m_update->drop.ok() || !m_update->insert.ok()) {
        const std::string message = sqlite3_errmsg(m_db);
        abandonUpdate();
        fail(message.c_str());
    }
}

void ReferenceCache::abandonUpdate() {
    if (!m_update)
        return;
    m_update.reset();
    execute(m_db, "ROLLBACK");
}

void ReferenceCache::dropNamed(const QByteArray& name) {
    // The dropped row's hashes leave the postings with it.
    Statement& drop = m_update->drop;
    drop.bind(1, m_update->directory);
    drop.bind(2, name);
    int code = sqlite3_step(drop.get());
    if (code == SQLITE_ROW) {
        m_update->removed.add(static_cast<std::uint32_t>(drop.integer(0)),
                              hashesOf(drop.blob(1)).Hashes);
        code = sqlite3_step(drop.get());
    }
    sqlite3_reset(drop.get());
    if (code != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(m_db);
        abandonUpdate();
        fail(message.c_str());
    }
}

void ReferenceCache::put(const QByteArray& name, const CachedFingerprint& entry) {
    if (m_interrupted) {
        abandonUpdate();
        throw ReferenceCacheError("interrupted");
    }
    dropNamed(name);
    Statement& insert = m_update->insert;
    insert.bind(1, m_update->directory);
    insert.bind(2, name);
    insert.bind(3, entry.version.size);
    insert.bind(4, entry.version.modifiedNs);
    insert.bind(5, entry.version.changedNs);
    insert.bind(6, entry.version.inode);
    if (entry.checksum)
        insert.bind(7, std::int64_t{*entry.checksum});
    else
        sqlite3_bind_null(insert.get(), 7);
    insert.bind(8, std::int64_t{entry.settings.shingleLength});
    insert.bind(9, std::int64_t{entry.settings.truncation == Truncation::On});
    insert.bind(10, std::int64_t{entry.settings.html == HtmlHandling::Cut});
    insert.bind(11, entry.reading);
    insert.bind(12, entry.description);
    insert.bind(13, entry.unreadReason);
    bindHashes(insert.get(), 14, entry.shingles);
    bool ok = insert.run();
    const std::int64_t id = sqlite3_last_insert_rowid(m_db);
    // Postings name a file in 32 bits.
    ok = ok && id > 0 && id <= std::int64_t{UINT32_MAX};
    if (!ok) {
        const std::string message = sqlite3_errmsg(m_db);
        abandonUpdate();
        fail(message.c_str());
    }
    m_update->added.add(static_cast<std::uint32_t>(id), entry.shingles.Hashes);
}

void ReferenceCache::finishUpdate(const std::vector<QByteArray>& gone) {
    for (const QByteArray& name : gone)
        dropNamed(name);
    const bool ok = writePostings(*m_update);
    m_update.reset();
    if (!ok && m_interrupted) {
        execute(m_db, "ROLLBACK");
        throw ReferenceCacheError("interrupted");
    }
    commitOrFail(ok);
}

std::int64_t ReferenceCache::generation() {
    int code = SQLITE_OK;
    const int value = pragmaValue(m_db, "PRAGMA data_version", code);
    if (code != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
    return value;
}

void ReferenceCache::beginReading() {
    // The read transaction starts with the first read.
    int code = SQLITE_OK;
    if (execute(m_db, "BEGIN") != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
    pragmaValue(m_db, "SELECT count(*) FROM postings WHERE bucket = 0", code);
    if (code != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_db);
        execute(m_db, "ROLLBACK");
        fail(message.c_str());
    }
}

void ReferenceCache::endReading() {
    execute(m_db, "COMMIT");
}

std::vector<std::uint32_t> ReferenceCache::filesSharing(std::span<const std::uint32_t> hashes) {
    std::size_t wanted = 0;
    for (std::size_t i = 0; i < hashes.size(); ++i)
        wanted +=
            i == 0 || PostingBucket::bucketOf(hashes[i]) != PostingBucket::bucketOf(hashes[i - 1])
                ? 1
                : 0;
    std::vector<std::uint32_t> found;
    BucketReader reader(m_db, wanted);
    for (std::size_t i = 0; i < hashes.size();) {
        const std::uint32_t bucket = PostingBucket::bucketOf(hashes[i]);
        const QByteArray bytes = reader.read(bucket);
        for (; i < hashes.size() && PostingBucket::bucketOf(hashes[i]) == bucket; ++i)
            if (!bytes.isEmpty())
                PostingBucket::appendFiles(bytes, PostingBucket::lowOf(hashes[i]), found);
    }
    if (!reader.ok())
        fail(sqlite3_errstr(reader.failure()));
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

std::optional<TudShingleList> ReferenceCache::shingles(std::uint32_t id,
                                                       const FileVersion& version) {
    // Prepared once: a run asks for every reference its batch shares a hash with.
    if (m_shingleQuery == nullptr &&
        sqlite3_prepare_v2(m_db,
                           "SELECT size, modified, changed, inode, hashes FROM files"
                           " WHERE id = ?",
                           -1, &m_shingleQuery, nullptr) != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
    sqlite3_stmt* query = m_shingleQuery;
    sqlite3_bind_int64(query, 1, id);
    std::optional<TudShingleList> found;
    const int code = sqlite3_step(query);
    if (code == SQLITE_ROW) {
        const FileVersion stored = {sqlite3_column_int64(query, 0), sqlite3_column_int64(query, 1),
                                    sqlite3_column_int64(query, 2), sqlite3_column_int64(query, 3)};
        const auto* data = static_cast<const char*>(sqlite3_column_blob(query, 4));
        if (stored == version)
            found = hashesOf(QByteArray(data, sqlite3_column_bytes(query, 4)));
    }
    sqlite3_reset(query);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        fail(sqlite3_errstr(code));
    return found;
}

} // namespace quillmark
