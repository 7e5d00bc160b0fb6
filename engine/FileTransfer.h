// Moves or copies one directory entry without ever replacing an existing one.
#pragma once

#include "FileIdentity.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <optional>

namespace quillmark {

enum class TransferMode { Move, Copy };

struct [[nodiscard]] TransferResult {
    enum class Status {
        Done,         ///< moved or copied now
        AlreadyThere, ///< the destination already holds it (moved earlier, or an equal copy)
        Clash,        ///< another entry of that name exists; nothing was touched
        Failed,       ///< the system refused; the source stays where it was
        Changed,      ///< the source is not the version that was read, or changed
                      ///< while it was copied; nothing was written
        KeptBoth,     ///< moving across file systems, the source changed after
                      ///< it was copied: the copy stands, the source stays too
        SourceGone,   ///< the source is gone and the destination holds another
                      ///< version under its name; nothing was touched
    };
    Status status = Status::Done;
    /// errno of the failure (Failed only).
    int error = 0;
};

class FileTransfer {
public:
    /// Moves `from` to `to` (a file or a directory), or copies a file. Never
    /// replaces `to`, never loses `from`: on any failure the source is where it
    /// was and no partial destination is left behind. With `expected`, only a
    /// regular file of that version (FileIdentity::sameVersion) is taken;
    /// without, a move also takes directories and links on one file system.
    /// Across file systems only regular files go, with owner and group (where
    /// permitted), mode, times and extended attributes (ACLs among them).
    [[nodiscard]] static TransferResult
    transfer(const QByteArray& from, const QByteArray& to, TransferMode mode,
             const std::optional<FileIdentity>& expected = std::nullopt);

    /// Called in the copy loop after every block written, with the source and
    /// the bytes copied so far; lets tests put a fault at a chosen point.
    using CopyHook = std::function<void(const QByteArray& from, std::int64_t copied)>;
    static void setCopyHook(CopyHook hook);
    /// Called when a moved source's name has been set aside, just before it
    /// is checked a last time and removed; lets tests write to it then.
    using DropHook = std::function<void(const QByteArray& from)>;
    static void setDropHook(DropHook hook);

private:
    enum class SourceAfterCopy { Keep, Remove };

    static TransferResult move(const QByteArray& from, const QByteArray& to,
                               const std::optional<FileIdentity>& expected);
    static TransferResult moveByLink(const QByteArray& from, const QByteArray& to,
                                     const std::optional<FileIdentity>& expected);
    /// Copies a regular file into a temporary of the destination's directory,
    /// publishes it under the destination's name, and then removes the source
    /// when asked to and when it is still the file that was copied.
    static TransferResult copy(const QByteArray& from, const QByteArray& to,
                               const std::optional<FileIdentity>& expected, SourceAfterCopy source);
    /// Tells a moved-earlier source (gone, destination present) from a failure.
    static TransferResult missingSource(const QByteArray& from, const QByteArray& to, int error,
                                        const std::optional<FileIdentity>& expected);
    static TransferResult dropCopiedSource(const QByteArray& from, const QByteArray& to,
                                           const FileIdentity& copied);
    static bool isVersionRead(const QByteArray& path, const FileIdentity& expected);
    static bool sameContent(const QByteArray& a, const QByteArray& b);
};

} // namespace quillmark
