#include "TemporaryFile.h"

#include <QByteArrayView>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

constexpr int HexDigits = 16;

std::atomic<TemporaryFile::Kind> preferredKind{TemporaryFile::Kind::Unnamed};

QByteArray directoryOrDot(const QByteArray& directory) {
    return directory.isEmpty() ? QByteArray(".") : directory;
}

QByteArray hex16(std::uint64_t value) {
    return QByteArray::number(static_cast<qulonglong>(value), 16).rightJustified(HexDigits, '0');
}

std::uint64_t randomNumber() {
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    const std::lock_guard lock(mutex);
    return generator();
}

/// Stands for this boot and process namespace: a hash of the kernel's boot id
/// and the namespace's identity. Without them (no /proc) a random one, so no
/// other process's temporary is ever taken for stale.
const QByteArray& ownTag() {
    static const QByteArray tag = [] {
        QByteArray seed;
        if (FILE* file = std::fopen("/proc/sys/kernel/random/boot_id", "re")) {
            char line[64] = {};
            if (std::fgets(line, sizeof line, file) != nullptr)
                seed = QByteArray(line).trimmed();
            std::fclose(file);
        }
        char link[64] = {};
        const ssize_t size = ::readlink("/proc/self/ns/pid", link, sizeof link);
        if (seed.isEmpty() || size <= 0)
            return hex16(randomNumber());
        seed.append(link, size);
        std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
        for (const char c : seed)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return hex16(hash);
    }();
    return tag;
}

bool isLowerHex(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

/// The tag and process id of a name of exactly the temporary's form.
struct NameParts {
    QByteArrayView tag;
    pid_t pid = 0;
};

std::optional<NameParts> partsOf(QByteArrayView name) {
    const QByteArrayView prefix(TemporaryFile::NamePrefix);
    if (!name.startsWith(prefix))
        return std::nullopt;
    name = name.sliced(prefix.size());
    // tag "-" pid "-" random: the pid has 1 to 10 digits and no leading zero.
    const qsizetype pidLength = name.size() - 2 * HexDigits - 2;
    if (pidLength < 1 || pidLength > 10 || name[HexDigits] != '-' ||
        name[name.size() - HexDigits - 1] != '-')
        return std::nullopt;
    const QByteArrayView tag = name.first(HexDigits);
    const QByteArrayView pid = name.sliced(HexDigits + 1, pidLength);
    if (!isLowerHex(tag) || !isLowerHex(name.last(HexDigits)) || pid[0] == '0' ||
        !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const long long number = QByteArray(pid.data(), pid.size()).toLongLong();
    if (number <= 0 || number > std::numeric_limits<pid_t>::max())
        return std::nullopt;
    return NameParts{tag, static_cast<pid_t>(number)};
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
    if (preferredKind == Kind::Unnamed) {
        m_fd = ::openat(m_directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (m_fd >= 0)
            return;
        // Anything but a file system without unnamed files is the answer.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            m_error = errno;
            return;
        }
    }
    openNamed(mode);
}

void TemporaryFile::openNamed(mode_t mode) {
    // A name taken by chance is drawn again; anything else is the answer.
    for (int attempt = 0; attempt < 8; ++attempt) {
        m_name = temporaryName(::getpid());
        m_fd = ::openat(m_directory, m_name.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (m_fd >= 0) {
            m_error = 0;
            return;
        }
        m_error = errno;
        if (m_error != EEXIST)
            break;
    }
    m_name.clear();
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

int TemporaryFile::link(const QByteArray& name) {
    if (m_name.isEmpty()) {
        // An unnamed file gets its first name; linkat never replaces one.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), m_directory, name.constData(),
                     AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
            return errno;
        // No /proc here: the same by the descriptor, where permitted.
        return ::linkat(m_fd, "", m_directory, name.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    }
    if (::renameat2(m_directory, m_name.constData(), m_directory, name.constData(),
                    RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    // A file system without the flag: a hard link never replaces either.
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
        return error;
    if (::linkat(m_directory, m_name.constData(), m_directory, name.constData(), 0) != 0)
        return errno;
    ::unlinkat(m_directory, m_name.constData(), 0);
    return 0;
}

int TemporaryFile::publish(const QByteArray& name) {
    if (m_fd < 0)
        return m_error != 0 ? m_error : EBADF;
    if (::fsync(m_fd) != 0)
        return errno;
    if (const int error = link(name)) {
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

QByteArray TemporaryFile::temporaryName(pid_t pid) {
    return QByteArray(NamePrefix) + ownTag() + '-' + QByteArray::number(pid) + '-' +
           hex16(randomNumber());
}

bool TemporaryFile::isTemporaryName(const QByteArray& name) {
    return partsOf(name).has_value();
}

bool TemporaryFile::isOwnTemporaryName(const QByteArray& name) {
    const std::optional<NameParts> parts = partsOf(name);
    return parts && parts->tag == QByteArrayView(ownTag());
}

void TemporaryFile::setPreferredKind(Kind kind) {
    preferredKind = kind;
}

int TemporaryFile::removeStale(const QByteArray& directory) {
    DIR* dir = ::opendir(directoryOrDot(directory).constData());
    if (dir == nullptr)
        return 0;
    const int dirFd = ::dirfd(dir);
    int removed = 0;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (!isOwnTemporaryName(name) || isAlive(partsOf(name)->pid))
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
