#include "DirectoryListing.h"

#include "TextFile.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace quillmark {

namespace {

EntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::RegularFile;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    if (S_ISLNK(mode))
        return EntryKind::SymbolicLink;
    return EntryKind::Other;
}

[[noreturn]] void throwDirectoryError(const QByteArray& directory, int error) {
    const QString text = QStringLiteral("Cannot open directory \"") + QFile::decodeName(directory) +
                         QStringLiteral("\". ") + TextFile::systemMessage(error);
    throw FileOpenError(text.toStdString());
}

} // namespace

std::vector<DirectoryEntry> DirectoryListing::list(const QByteArray& directory) {
    std::vector<DirectoryEntry> entries;
    int error = 0;
    DIR* dir = ::opendir(directory.isEmpty() ? "" : directory.constData());
    if (dir == nullptr)
        throwDirectoryError(directory, errno);
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir);
        if (item == nullptr) {
            error = errno;
            break;
        }
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0)
            continue;
        DirectoryEntry entry;
        entry.name = QByteArray(item->d_name);
        struct stat info {};
        if (::fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.kind = kindOf(info.st_mode);
            entry.size = entry.kind == EntryKind::RegularFile ? info.st_size : 0;
            entry.identity = FileIdentity::of(info);
        } else if (errno != ENOENT) {
            error = errno;
            break;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    if (error != 0)
        throwDirectoryError(directory, error);

    // The outcome depends on the order, and the file system gives none.
    std::vector<std::pair<QString, std::size_t>> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        keys.emplace_back(QFile::decodeName(entries[i].name), i);
    std::sort(keys.begin(), keys.end(), [&entries](const auto& a, const auto& b) {
        const int byName = QString::compare(a.first, b.first, Qt::CaseInsensitive);
        if (byName != 0)
            return byName < 0;
        return entries[a.second].name < entries[b.second].name;
    });
    std::vector<DirectoryEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(entries[key.second]));
    return sorted;
}

bool DirectoryListing::isDirectory(const QByteArray& path) {
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool DirectoryListing::sameDirectory(const QByteArray& a, const QByteArray& b) {
    if (a == b)
        return true;
    struct stat first {};
    struct stat second {};
    if (a.isEmpty() || b.isEmpty() || ::stat(a.constData(), &first) != 0 ||
        ::stat(b.constData(), &second) != 0)
        return false;
    return S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

QByteArray DirectoryListing::prefix(const QByteArray& path) {
    if (path.isEmpty() || path.endsWith('/'))
        return path;
    return path + '/';
}

} // namespace quillmark
