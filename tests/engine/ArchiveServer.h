// The suite's private PostgreSQL server (scripts/test-postgres, started once
// by CTest before the tests that need it): each test takes a database of its
// own on it.
#pragma once

#include <QByteArray>

namespace quillmark::test {

class ArchiveServer {
public:
    /// The URI of a new, empty database; empty when the suite has no server
    /// (PostgreSQL is not installed), and the test should skip.
    static QByteArray freshDatabase();
    /// Ends every connection the program holds to the database of `uri`, as
    /// a server going away would.
    static void dropClients(const QByteArray& uri);
};

} // namespace quillmark::test
