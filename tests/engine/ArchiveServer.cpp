#include "ArchiveServer.h"

#include "engine/ArchiveConnection.h"

#include <QFile>
#include <atomic>
#include <unistd.h>

namespace quillmark::test {

namespace {

QByteArray serverUri() {
    QFile file(QStringLiteral(QUILLMARK_PG_STATE "/uri"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

QByteArray withDatabase(const QByteArray& uri, const QByteArray& database) {
    QByteArray result = uri;
    return result.replace("/postgres?", "/" + database + "?");
}

QByteArray databaseOf(const QByteArray& uri) {
    const qsizetype start = uri.indexOf("///") + 3;
    return uri.mid(start, uri.indexOf('?') - start);
}

} // namespace

QByteArray ArchiveServer::freshDatabase() {
    const QByteArray uri = serverUri();
    if (uri.isEmpty())
        return {};
    static std::atomic<int> made{0};
    const QByteArray name =
        "t" + QByteArray::number(::getpid()) + "_" + QByteArray::number(made.fetch_add(1));
    ArchiveConnection admin(uri);
    admin.run(("CREATE DATABASE " + name).constData());
    return withDatabase(uri, name);
}

void ArchiveServer::dropClients(const QByteArray& uri) {
    ArchiveConnection admin(serverUri());
    admin.run("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
              " WHERE datname = $1 AND application_name = 'quillmark' AND pid <> pg_backend_pid()",
              {databaseOf(uri)});
}

} // namespace quillmark::test
