#include "FileTransfer.h"

#include "FileDescriptor.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

using Status = TransferResult::Status;

TransferResult failed(int error) {
    return {Status::Failed, error};
}

bool exists(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

ssize_t readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

/// Flushes the directory holding `path`; 0 or the errno. A file system that
/// cannot flush directories (EINVAL) is taken as done.
int syncDirectoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray directory = slash < 0    ? QByteArray(".")
                                 : slash == 0 ? QByteArray("/")
                                              : path.left(slash);
    FileDescriptor dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return errno;
    if (::fsync(dir.get()) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

/// Removes the source once its data stands under the new name too. When the
/// source cannot go, the new name goes instead, so the text stays where it was.
TransferResult dropSource(const QByteArray& from, const QByteArray& to) {
    if (::unlink(from.constData()) == 0)
        return {};
    const int error = errno;
    ::unlink(to.constData());
    return failed(error);
}

} // namespace

TransferResult FileTransfer::transfer(const QByteArray& from, const QByteArray& to,
                                      TransferMode mode) {
    return mode == TransferMode::Move ? move(from, to) : copy(from, to);
}

TransferResult FileTransfer::move(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return {};
    const int error = errno;
    switch (error) {
    case EEXIST:
        return {Status::Clash, 0};
    case EXDEV:
        return moveAcrossFileSystems(from, to);
    case EINVAL:
    case ENOSYS:
    case ENOTSUP:
        // The file system refuses the flag; a hard link never replaces either.
        return moveByLink(from, to);
    case ENOENT:
        return missingSource(from, to, error);
    default:
        return failed(error);
    }
}

TransferResult FileTransfer::moveByLink(const QByteArray& from, const QByteArray& to) {
    if (::link(from.constData(), to.constData()) != 0) {
        const int error = errno;
        if (error == EEXIST)
            return {Status::Clash, 0};
        if (error == EXDEV)
            return moveAcrossFileSystems(from, to);
        if (error == ENOENT)
            return missingSource(from, to, error);
        return failed(error);
    }
    return dropSource(from, to);
}

TransferResult FileTransfer::moveAcrossFileSystems(const QByteArray& from, const QByteArray& to) {
    struct stat info {};
    if (::lstat(from.constData(), &info) != 0)
        return missingSource(from, to, errno);
    // A directory would need a recursive copy; it stays where it is.
    if (S_ISDIR(info.st_mode))
        return failed(EXDEV);
    const TransferResult copied = copy(from, to);
    if (copied.status != Status::Done)
        return copied.status == Status::AlreadyThere ? TransferResult{Status::Clash, 0} : copied;
    // The new name must be on disk before the old one goes.
    if (const int error = syncDirectoryOf(to); error != 0) {
        ::unlink(to.constData());
        return failed(error);
    }
    return dropSource(from, to);
}

TransferResult FileTransfer::copy(const QByteArray& from, const QByteArray& to) {
    // Only regular files are copied; opening anything else (a device, a FIFO)
    // could block or act.
    struct stat before {};
    if (::stat(from.constData(), &before) != 0)
        return missingSource(from, to, errno);
    if (!S_ISREG(before.st_mode))
        return failed(S_ISDIR(before.st_mode) ? EISDIR : EINVAL);
    FileDescriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (in.get() < 0)
        return missingSource(from, to, errno);
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return failed(errno);
    if (!S_ISREG(info.st_mode))
        return failed(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);

    FileDescriptor out(
        ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777));
    if (out.get() < 0) {
        const int error = errno;
        if (error != EEXIST)
            return failed(error);
        if (sameContent(from, to))
            return {Status::AlreadyThere, 0};
        return {Status::Clash, 0};
    }

    // From here on the destination is ours; any failure removes it.
    int error = 0;
    std::array<char, 1 << 16> buffer{};
    for (;;) {
        const ssize_t got = readSome(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0)
            break;
        error = writeAll(out.get(), buffer.data(), static_cast<std::size_t>(got));
        if (error != 0)
            break;
    }
    if (error == 0 && ::fsync(out.get()) != 0)
        error = errno;
    const int closeError = out.close();
    if (error == 0)
        error = closeError;
    if (error != 0) {
        ::unlink(to.constData());
        return failed(error);
    }
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, to.constData(), times.data(), 0);
    return {};
}

TransferResult FileTransfer::missingSource(const QByteArray& from, const QByteArray& to,
                                           int error) {
    if (error == ENOENT && !exists(from) && exists(to))
        return {Status::AlreadyThere, 0};
    return failed(error);
}

bool FileTransfer::sameContent(const QByteArray& a, const QByteArray& b) {
    struct stat pathA {};
    struct stat pathB {};
    if (::stat(a.constData(), &pathA) != 0 || ::stat(b.constData(), &pathB) != 0 ||
        !S_ISREG(pathA.st_mode) || !S_ISREG(pathB.st_mode))
        return false;
    FileDescriptor first(::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    FileDescriptor second(::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (first.get() < 0 || second.get() < 0)
        return false;
    struct stat infoA {};
    struct stat infoB {};
    if (::fstat(first.get(), &infoA) != 0 || ::fstat(second.get(), &infoB) != 0)
        return false;
    if (!S_ISREG(infoA.st_mode) || !S_ISREG(infoB.st_mode) || infoA.st_size != infoB.st_size)
        return false;
    std::array<char, 1 << 15> bufferA{};
    std::array<char, 1 << 15> bufferB{};
    for (;;) {
        const ssize_t gotA = readSome(first.get(), bufferA.data(), bufferA.size());
        if (gotA <= 0)
            return gotA == 0 && readSome(second.get(), bufferB.data(), 1) == 0;
        ssize_t gotB = 0;
        while (gotB < gotA) {
            const ssize_t more = readSome(second.get(), bufferB.data() + gotB,
                                          static_cast<std::size_t>(gotA - gotB));
            if (more <= 0)
                return false;
            gotB += more;
        }
        if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(gotA)) != 0)
            return false;
    }
}

} // namespace quillmark
