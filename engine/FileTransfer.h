// Moves or copies one directory entry without ever replacing an existing one.
#pragma once

#include <QByteArray>

namespace quillmark {

enum class TransferMode { Move, Copy };

struct TransferResult {
    enum class Status {
        Done,         ///< moved or copied now
        AlreadyThere, ///< the destination already holds it (moved earlier, or an equal copy)
        Clash,        ///< another entry of that name exists; nothing was touched
        Failed,       ///< the system refused; the source stays where it was
    };
    Status status = Status::Done;
    /// errno of the failure (Failed only).
    int error = 0;
};

class FileTransfer {
public:
    /// Moves `from` to `to` (a file or a directory), or copies a file. Never
    /// replaces `to`, never loses `from`: on any failure the source is where it
    /// was and no partial destination is left behind.
    static TransferResult transfer(const QByteArray& from, const QByteArray& to, TransferMode mode);

private:
    static TransferResult move(const QByteArray& from, const QByteArray& to);
    static TransferResult moveByLink(const QByteArray& from, const QByteArray& to);
    static TransferResult moveAcrossFileSystems(const QByteArray& from, const QByteArray& to);
    /// Copies a regular file into a new destination opened with O_EXCL.
    static TransferResult copy(const QByteArray& from, const QByteArray& to);
    /// Tells a moved-earlier source (gone, destination present) from a failure.
    static TransferResult missingSource(const QByteArray& from, const QByteArray& to, int error);
    static bool sameContent(const QByteArray& a, const QByteArray& b);
};

} // namespace quillmark
