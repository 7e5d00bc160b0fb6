// The entries of one directory in the order the run walks them.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quillmark {

enum class EntryKind { RegularFile, Directory, Other, Missing };

struct DirectoryEntry {
    /// Raw file-system bytes, no directory part.
    QByteArray name;
    /// What the entry is, symbolic links followed; a dangling link is Missing.
    EntryKind kind = EntryKind::Missing;
    std::int64_t size = 0;

    /// Only non-empty regular files are loaded; reading anything else could
    /// hang (FIFOs, devices) or means nothing.
    bool loadable() const { return kind == EntryKind::RegularFile && size > 0; }
};

class DirectoryListing {
public:
    /// Lists every entry of `directory` except "." and "..", dot-files
    /// included, sorted case-insensitively by name (ties by byte order).
    /// Throws FileOpenError when the directory cannot be read.
    static std::vector<DirectoryEntry> list(const QByteArray& directory);

    /// Whether `path` names a directory (symbolic links followed).
    static bool isDirectory(const QByteArray& path);

    /// `path` as a prefix for names: a "/" is added unless it ends with one.
    /// An empty path stays empty.
    static QByteArray prefix(const QByteArray& path);
};

} // namespace quillmark
