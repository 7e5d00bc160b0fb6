// One connection to the team archive's PostgreSQL server through libpq. The
// address is a connection URI; libpq finds the password itself (~/.pgpass,
// PGPASSWORD), so none is ever kept by the program.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string_view>

struct pg_conn;
struct pg_result;

namespace quillmark {

/// The archive cannot be used; what() says why in the user's terms.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One parameter of a query, passed as bytes: text unless `binary`.
struct QueryValue {
    QueryValue(const QByteArray& bytes, bool isBinary = false)
        : data(bytes.constData())
        , size(static_cast<int>(bytes.size()))
        , binary(isBinary) {}
    const char* data;
    int size;
    bool binary;
};

/// What one query returned; rows and columns count from 0.
class QueryRows {
public:
    explicit QueryRows(pg_result* result);
    ~QueryRows();
    QueryRows(QueryRows&& other) noexcept;
    QueryRows(const QueryRows&) = delete;
    QueryRows& operator=(const QueryRows&) = delete;
    QueryRows& operator=(QueryRows&&) = delete;

    int count() const;
    QByteArray bytes(int row, int column) const;
    std::string_view view(int row, int column) const;
    std::int64_t number(int row, int column) const;
    bool isNull(int row, int column) const;
    /// libpq's status of the result (ExecStatusType).
    int status() const;
    /// Whether the statement ran: a command, or rows.
    bool succeeded() const;

private:
    pg_result* m_result;
};

class ArchiveConnection {
public:
    /// Connects to `uri`. Throws ArchiveError when the server cannot be
    /// reached or refuses the user.
    explicit ArchiveConnection(const QByteArray& uri);
    ~ArchiveConnection();
    ArchiveConnection(const ArchiveConnection&) = delete;
    ArchiveConnection& operator=(const ArchiveConnection&) = delete;

    /// Runs `sql` with `values` for $1, $2, …; results come in text form
    /// unless `binaryResult`. Throws ArchiveError.
    QueryRows run(const char* sql, std::initializer_list<QueryValue> values = {},
                  bool binaryResult = false);
    /// Runs statements without parameters, one after another. Throws ArchiveError.
    void runScript(const char* sql);
    /// Sends `rows` (PostgreSQL's binary COPY format, header and trailer
    /// included) to `copySql`, a "COPY … FROM STDIN (FORMAT binary)".
    void copyIn(const char* copySql, const QByteArray& rows);
    /// The URI without a password, to name the archive in messages.
    const QString& shownName() const { return m_shown; }

private:
    [[noreturn]] void fail(const QString& what) const;

    pg_conn* m_connection = nullptr;
    QString m_shown;
};

/// Writes rows in PostgreSQL's binary COPY format.
class CopyRows {
public:
    CopyRows();
    void beginRow(int fields);
    void addInt32(std::int32_t value);
    void addInt64(std::int64_t value);
    void addBytes(const char* data, std::size_t size);
    void addBytes(const QByteArray& bytes) {
        addBytes(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    /// The rows with the trailer; the writer is spent.
    QByteArray finish();
    bool empty() const { return m_rows == 0; }

private:
    void put32(std::uint32_t value);
    QByteArray m_bytes;
    std::int64_t m_rows = 0;
};

} // namespace quillmark
