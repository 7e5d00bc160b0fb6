#include "ArchiveConnection.h"

#include "SettingsProfile.h"

#include <QCoreApplication>
#include <cstdlib>
#include <libpq-fe.h>
#include <utility>
#include <vector>

namespace quillmark {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TeamArchive", text);
}

/// libpq's message without its trailing line end.
QString serverMessage(const char* message) {
    return QString::fromUtf8(message).trimmed();
}

/// The address with any password left out, in whichever form it came.
QString shownNameOf(const QByteArray& uri) {
    return SettingsProfile::withoutPassword(QString::fromUtf8(uri)).trimmed();
}

} // namespace

QueryRows::QueryRows(pg_result* result)
    : m_result(result) {}

QueryRows::~QueryRows() {
    PQclear(m_result);
}

QueryRows::QueryRows(QueryRows&& other) noexcept
    : m_result(std::exchange(other.m_result, nullptr)) {}

int QueryRows::count() const {
    return PQntuples(m_result);
}

QByteArray QueryRows::bytes(int row, int column) const {
    return QByteArray(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

std::string_view QueryRows::view(int row, int column) const {
    return {PQgetvalue(m_result, row, column),
            static_cast<std::size_t>(PQgetlength(m_result, row, column))};
}

std::int64_t QueryRows::number(int row, int column) const {
    return std::strtoll(PQgetvalue(m_result, row, column), nullptr, 10);
}

int QueryRows::status() const {
    return PQresultStatus(m_result);
}

bool QueryRows::succeeded() const {
    const int code = status();
    return code == PGRES_COMMAND_OK || code == PGRES_TUPLES_OK;
}

bool QueryRows::isNull(int row, int column) const {
    return PQgetisnull(m_result, row, column) != 0;
}

ArchiveConnection::ArchiveConnection(const QByteArray& uri)
    : m_shown(shownNameOf(uri)) {
    if (uri.trimmed().isEmpty())
        throw ArchiveError(tr("Адрес общего архива не задан").toStdString());
    // The URI's own settings come last and win over these defaults.
    const char* const keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* const values[] = {"10", "quillmark", uri.constData(), nullptr};
    m_connection = PQconnectdbParams(keys, values, 1);
    if (PQstatus(m_connection) != CONNECTION_OK) {
        const QString why = serverMessage(PQerrorMessage(m_connection));
        PQfinish(m_connection);
        m_connection = nullptr;
        throw ArchiveError(tr("Общий архив %1 недоступен: %2").arg(m_shown, why).toStdString());
    }
    // Quiet: notices about existing tables would reach the terminal.
    PQsetNoticeProcessor(
        m_connection, [](void*, const char*) {}, nullptr);
}

ArchiveConnection::~ArchiveConnection() {
    PQfinish(m_connection);
}

void ArchiveConnection::fail(const QString& what) const {
    const QString why = PQstatus(m_connection) == CONNECTION_BAD
                            ? tr("связь с сервером потеряна (%1)").arg(what)
                            : what;
    throw ArchiveError(tr("Общий архив %1: %2").arg(m_shown, why).toStdString());
}

QueryRows ArchiveConnection::run(const char* sql, std::initializer_list<QueryValue> values,
                                 bool binaryResult) {
    std::vector<const char*> data;
    std::vector<int> sizes;
    std::vector<int> formats;
    for (const QueryValue& value : values) {
        data.push_back(value.data);
        sizes.push_back(value.size);
        formats.push_back(value.binary ? 1 : 0);
    }
    QueryRows rows(PQexecParams(m_connection, sql, static_cast<int>(data.size()), nullptr,
                                data.data(), sizes.data(), formats.data(), binaryResult ? 1 : 0));
    if (!rows.succeeded())
        fail(serverMessage(PQerrorMessage(m_connection)));
    return rows;
}

void ArchiveConnection::runScript(const char* sql) {
    const QueryRows rows(PQexec(m_connection, sql));
    if (!rows.succeeded())
        fail(serverMessage(PQerrorMessage(m_connection)));
}

void ArchiveConnection::copyIn(const char* copySql, const QByteArray& rows) {
    QueryRows start(PQexec(m_connection, copySql));
    if (start.status() != PGRES_COPY_IN)
        fail(serverMessage(PQerrorMessage(m_connection)));
    constexpr qsizetype piece = 1 << 20;
    for (qsizetype at = 0; at < rows.size(); at += piece) {
        const auto size = static_cast<int>(std::min(piece, rows.size() - at));
        if (PQputCopyData(m_connection, rows.constData() + at, size) != 1)
            fail(serverMessage(PQerrorMessage(m_connection)));
    }
    if (PQputCopyEnd(m_connection, nullptr) != 1)
        fail(serverMessage(PQerrorMessage(m_connection)));
    QueryRows end(PQgetResult(m_connection));
    const bool ok = end.succeeded();
    while (PGresult* extra = PQgetResult(m_connection))
        PQclear(extra);
    if (!ok)
        fail(serverMessage(PQerrorMessage(m_connection)));
}

CopyRows::CopyRows() {
    static const char header[] = "PGCOPY\n\377\r\n";
    m_bytes.append(header, 11);
    put32(0); // flags
    put32(0); // header extension
}

void CopyRows::put32(std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    m_bytes.append(bytes, 4);
}

void CopyRows::beginRow(int fields) {
    const char bytes[2] = {static_cast<char>(fields >> 8), static_cast<char>(fields)};
    m_bytes.append(bytes, 2);
    ++m_rows;
}

void CopyRows::addInt32(std::int32_t value) {
    put32(4);
    put32(static_cast<std::uint32_t>(value));
}

void CopyRows::addInt64(std::int64_t value) {
    put32(8);
    put32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) >> 32));
    put32(static_cast<std::uint32_t>(value));
}

void CopyRows::addBytes(const char* data, std::size_t size) {
    put32(static_cast<std::uint32_t>(size));
    m_bytes.append(data, static_cast<qsizetype>(size));
}

QByteArray CopyRows::finish() {
    m_bytes.append("\377\377", 2);
    return std::move(m_bytes);
}

} // namespace quillmark
