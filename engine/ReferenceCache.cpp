#include "ReferenceCache.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace quillmark {

namespace {

// "QMRK": marks the file as this program's, so that another program's
// database at the same path is never taken for a damaged one of ours.
constexpr int applicationId = 0x514D524B;
constexpr int schemaVersion = 1;

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
    QByteArray blob(int column) const {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QByteArray(data, sqlite3_column_bytes(m_statement, column));
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }

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

QByteArray hashesBlob(const TudShingleList& list) {
    // Native byte order: the cache belongs to this machine.
    return QByteArray(reinterpret_cast<const char*>(list.Hashes.data()),
                      static_cast<qsizetype>(list.Hashes.size() * sizeof(std::uint32_t)));
}

TudShingleList hashesOf(const QByteArray& blob) {
    TudShingleList list;
    list.Hashes.resize(static_cast<std::size_t>(blob.size()) / sizeof(std::uint32_t));
    std::memcpy(list.Hashes.data(), blob.constData(), list.Hashes.size() * sizeof(std::uint32_t));
    list.Count = static_cast<std::int32_t>(list.Hashes.size());
    return list;
}

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
    sqlite3_busy_timeout(m_db, 30000);

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
    if (version != schemaVersion)
        fail(QT_TRANSLATE_NOOP("ReferenceCache",
                               "создан другой версией программы, он оставлен как есть"));
    if (execute(m_db, "PRAGMA journal_mode=WAL") != SQLITE_OK)
        fail(sqlite3_errmsg(m_db));
}

void ReferenceCache::createSchema() {
    // WAL: a run killed at any point leaves the last committed state.
    const char* schema = "PRAGMA journal_mode=WAL;"
                         "BEGIN IMMEDIATE;"
                         "CREATE TABLE files("
                         " directory BLOB NOT NULL, name BLOB NOT NULL,"
                         " size INTEGER, modified INTEGER, changed INTEGER, inode INTEGER,"
                         " checksum INTEGER, shingle_length INTEGER, truncation INTEGER,"
                         " html INTEGER, reading BLOB, description BLOB, hashes BLOB,"
                         " PRIMARY KEY(directory, name));"
                         "PRAGMA application_id=1364021835;"
                         "PRAGMA user_version=1;"
                         "COMMIT;";
    static_assert(applicationId == 1364021835 && schemaVersion == 1, "the schema text above");
    if (execute(m_db, schema) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(m_db);
        execute(m_db, "ROLLBACK");
        fail(message.c_str());
    }
}

void ReferenceCache::moveAside() {
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

std::map<QByteArray, CachedFingerprint> ReferenceCache::entries(const QByteArray& directory) {
    std::map<QByteArray, CachedFingerprint> found;
    Statement query(m_db, "SELECT name, size, modified, changed, inode, checksum,"
                          " shingle_length, truncation, html, reading, description, hashes"
                          " FROM files WHERE directory = ?");
    int code = query.code();
    if (query.ok()) {
        query.bind(1, directory);
        while ((code = sqlite3_step(query.get())) == SQLITE_ROW) {
            CachedFingerprint entry;
            entry.version = {query.integer(1), query.integer(2), query.integer(3),
                             query.integer(4)};
            entry.checksum = static_cast<std::uint32_t>(query.integer(5));
            entry.settings.shingleLength = static_cast<int>(query.integer(6));
            entry.settings.truncation = query.integer(7) != 0 ? Truncation::On : Truncation::Off;
            entry.settings.html = query.integer(8) != 0 ? HtmlHandling::Cut : HtmlHandling::Keep;
            entry.reading = query.blob(9);
            entry.description = query.blob(10);
            entry.shingles = hashesOf(query.blob(11));
            found.emplace(query.blob(0), std::move(entry));
        }
    }
    if (isDamage(code)) {
        moveAside();
        return {};
    }
    if (code != SQLITE_DONE)
        fail(sqlite3_errmsg(m_db));
    return found;
}

void ReferenceCache::update(const QByteArray& directory,
                            const std::map<QByteArray, const CachedFingerprint*>& changed,
                            const std::vector<QByteArray>& gone) {
    if (changed.empty() && gone.empty())
        return;
    if (execute(m_db, "BEGIN IMMEDIATE") != SQLITE_OK) {
        if ((sqlite3_errcode(m_db) & 0xff) == SQLITE_BUSY)
            fail(QT_TRANSLATE_NOOP("ReferenceCache", "им пользуется другой запуск программы"));
        fail(sqlite3_errmsg(m_db));
    }
    bool ok = true;
    {
        Statement insert(m_db, "INSERT OR REPLACE INTO files VALUES"
                               " (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        ok = insert.ok();
        for (auto it = changed.begin(); ok && it != changed.end(); ++it) {
            const CachedFingerprint& entry = *it->second;
            insert.bind(1, directory);
            insert.bind(2, it->first);
            insert.bind(3, entry.version.size);
            insert.bind(4, entry.version.modifiedNs);
            insert.bind(5, entry.version.changedNs);
            insert.bind(6, entry.version.inode);
            insert.bind(7, std::int64_t{entry.checksum});
            insert.bind(8, std::int64_t{entry.settings.shingleLength});
            insert.bind(9, std::int64_t{entry.settings.truncation == Truncation::On});
            insert.bind(10, std::int64_t{entry.settings.html == HtmlHandling::Cut});
            insert.bind(11, entry.reading);
            insert.bind(12, entry.description);
            insert.bind(13, hashesBlob(entry.shingles));
            ok = sqlite3_step(insert.get()) == SQLITE_DONE;
            sqlite3_reset(insert.get());
        }
        Statement remove(m_db, "DELETE FROM files WHERE directory = ? AND name = ?");
        ok = ok && remove.ok();
        for (auto it = gone.begin(); ok && it != gone.end(); ++it) {
            remove.bind(1, directory);
            remove.bind(2, *it);
            ok = sqlite3_step(remove.get()) == SQLITE_DONE;
            sqlite3_reset(remove.get());
        }
    }
    if (ok && execute(m_db, "COMMIT") == SQLITE_OK)
        return;
    const std::string message = sqlite3_errmsg(m_db);
    execute(m_db, "ROLLBACK");
    fail(message.c_str());
}

} // namespace quillmark
