// The entries of one directory in the order the run walks them.
#pragma once

#include "FileIdentity.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quillmark {

/// Missing: the entry went between the listing and the look at it.
enum class EntryKind { RegularFile, Directory, SymbolicLink, Other, Missing };

struct DirectoryEntry {
    /// Raw file-system bytes, no directory part.
    QByteArray name;
    /// What the entry itself is; a symbolic link is not followed.
    EntryKind kind = EntryKind::Missing;
    std::int64_t size = 0;
    /// The entry as the listing found it.
    FileIdentity identity;

    /// Only non-empty regular files are loaded; reading anything else could
    /// hang (FIFOs, devices) or means nothing, and a link's target may live
    /// anywhere (even be another text of the batch).
    bool loadable() const { return kind == EntryKind::RegularFile && size > 0; }
};

class DirectoryListing {
public:
    /// Lists every entry of `directory` except "." and "..", dot-files
    /// included, sorted case-insensitively by name (ties by byte order).
    /// Throws FileOpenError when the directory cannot be read, or its entries
    /// cannot be looked at (a directory that is readable but not searchable).
    static std::vector<DirectoryEntry> list(const QByteArray& directory);

    /// Whether `path` names a directory (symbolic links followed).
    static bool isDirectory(const QByteArray& path);
    /// Both paths name one existing directory (or are equal bytes): the same
    /// directory spelt another way (a link, a doubled separator) is one.
    static bool sameDirectory(const QByteArray& a, const QByteArray& b);

    /// `path` as a prefix for names: a "/" is added unless it ends with one.
    /// An empty path stays empty.
    static QByteArray prefix(const QByteArray& path);
};

} // namespace quillmark
