#include "TemporaryFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

constexpr int RandomDigits = 16;

QByteArray directoryOrDot(const QByteArray& directory) {
    return directory.isEmpty() ? QByteArray(".") : directory;
}

QByteArray newName() {
    static std::mt19937_64 generator{std::random_device{}()};
    return QByteArray(TemporaryFile::NamePrefix) + QByteArray::number(::getpid()) + '-' +
           QByteArray::number(static_cast<qulonglong>(generator()), 16)
               .rightJustified(RandomDigits, '0');
}

/// The process id a temporary's name carries; 0 when it has none.
pid_t ownerOf(const QByteArray& name) {
    const QByteArray rest = name.mid(qsizetype(std::strlen(TemporaryFile::NamePrefix)));
    const qsizetype dash = rest.indexOf('-');
    if (dash <= 0)
        return 0;
    bool ok = false;
    const int pid = rest.left(dash).toInt(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool isAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

TemporaryFile::TemporaryFile(const QByteArray& directory, mode_t mode) {
    m_directory = ::open(directoryOrDot(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directory < 0) {
        m_error = errno;
        return;
    }
    // A name taken by chance is drawn again; anything else is the answer.
    for (int attempt = 0; attempt < 8; ++attempt) {
        m_name = newName();
        m_fd = ::openat(m_directory, m_name.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (m_fd >= 0)
            return;
        m_error = errno;
        if (m_error != EEXIST)
            return;
    }
}

TemporaryFile::~TemporaryFile() {
    if (!m_published)
        discard();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_directory >= 0)
        ::close(m_directory);
}

void TemporaryFile::discard() {
    if (m_fd >= 0 && !m_name.isEmpty())
        ::unlinkat(m_directory, m_name.constData(), 0);
    m_name.clear();
}

int TemporaryFile::publish(const QByteArray& name) {
    if (m_fd < 0)
        return m_error != 0 ? m_error : EBADF;
    if (::fsync(m_fd) != 0)
        return errno;
    int error = 0;
    if (::renameat2(m_directory, m_name.constData(), m_directory, name.constData(),
                    RENAME_NOREPLACE) != 0) {
        error = errno;
        // A file system without the flag: a hard link never replaces either.
        if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
            error = ::linkat(m_directory, m_name.constData(), m_directory, name.constData(), 0) == 0
                        ? 0
                        : errno;
            if (error == 0)
                ::unlinkat(m_directory, m_name.constData(), 0);
        }
    }
    if (error != 0) {
        discard();
        return error;
    }
    m_published = true;
    m_name.clear();
    // The new name must be on disk before anything relies on it.
    if (::fsync(m_directory) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

bool TemporaryFile::isTemporaryName(const QByteArray& name) {
    return name.startsWith(NamePrefix) && ownerOf(name) > 0;
}

int TemporaryFile::removeStale(const QByteArray& directory) {
    DIR* dir = ::opendir(directoryOrDot(directory).constData());
    if (dir == nullptr)
        return 0;
    const int dirFd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (!isTemporaryName(name) || isAlive(ownerOf(name)))
            continue;
        struct stat info {};
        if (::fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        removed += ::unlinkat(dirFd, item->d_name, 0) == 0 ? 1 : 0;
    }
    ::closedir(dir);
    return removed;
}

} // namespace quillmark
