#include "FileTransfer.h"

#include "FileDescriptor.h"
#include "TemporaryFile.h"

#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace quillmark {

namespace {

using Status = TransferResult::Status;

FileTransfer::CopyHook copyHook;
FileTransfer::DropHook dropHook;

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

/// The directory part of `path` and the name in it.
std::pair<QByteArray, QByteArray> splitPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArray(), path};
    return {path.left(slash + 1), path.mid(slash + 1)};
}

/// 0 or the errno.
int copyBytes(const QByteArray& from, int in, int out) {
    std::array<char, 1 << 16> buffer{};
    std::int64_t copied = 0;
    for (;;) {
        const ssize_t got = readSome(in, buffer.data(), buffer.size());
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        if (const int error = writeAll(out, buffer.data(), static_cast<std::size_t>(got)))
            return error;
        copied += got;
        if (copyHook)
            copyHook(from, copied);
    }
}

/// Extended attributes, ACLs among them; those the target file system or the
/// caller's rights refuse are left out, as mv leaves them.
void copyExtendedAttributes(int in, int out) {
    const ssize_t listSize = ::flistxattr(in, nullptr, 0);
    if (listSize <= 0)
        return;
    QByteArray names(listSize, '\0');
    const ssize_t got = ::flistxattr(in, names.data(), static_cast<std::size_t>(names.size()));
    if (got <= 0)
        return;
    for (qsizetype at = 0; at < got;) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        const ssize_t valueSize = ::fgetxattr(in, name, nullptr, 0);
        if (valueSize < 0)
            continue;
        QByteArray value(valueSize, '\0');
        const ssize_t read =
            ::fgetxattr(in, name, value.data(), static_cast<std::size_t>(valueSize));
        if (read >= 0)
            ::fsetxattr(out, name, value.constData(), static_cast<std::size_t>(read), 0);
    }
}

/// What a move keeps: owner and group where permitted, extended attributes,
/// mode and times. 0 or the errno of a mode or time that could not be set.
int copyMetadata(int in, int out, const struct stat& info) {
    // Not permitted to an ordinary user for another owner; the group alone
    // may still be.
    if (::fchown(out, info.st_uid, info.st_gid) != 0)
        ::fchown(out, static_cast<uid_t>(-1), info.st_gid);
    copyExtendedAttributes(in, out);
    if (::fchmod(out, info.st_mode & 07777) != 0)
        return errno;
    const std::array<timespec, 2> times{info.st_atim, info.st_mtim};
    if (::futimens(out, times.data()) != 0)
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

/// Whether `from` may be taken as the text that was read.
bool isExpected(const struct stat& info, const std::optional<FileIdentity>& expected) {
    return !expected || (S_ISREG(info.st_mode) && expected->sameVersion(FileIdentity::of(info)));
}

} // namespace

void FileTransfer::setCopyHook(CopyHook hook) {
    copyHook = std::move(hook);
}

void FileTransfer::setDropHook(DropHook hook) {
    dropHook = std::move(hook);
}

TransferResult FileTransfer::transfer(const QByteArray& from, const QByteArray& to,
                                      TransferMode mode,
                                      const std::optional<FileIdentity>& expected) {
    return mode == TransferMode::Move ? move(from, to, expected)
                                      : copy(from, to, expected, SourceAfterCopy::Keep);
}

TransferResult FileTransfer::move(const QByteArray& from, const QByteArray& to,
                                  const std::optional<FileIdentity>& expected) {
    struct stat info {};
    if (::lstat(from.constData(), &info) != 0)
        return missingSource(from, to, errno, expected);
    if (!isExpected(info, expected))
        return {Status::Changed, 0};
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return {};
    const int error = errno;
    switch (error) {
    case EEXIST:
        return {Status::Clash, 0};
    case EXDEV:
        return copy(from, to, expected, SourceAfterCopy::Remove);
    case EINVAL:
    case ENOSYS:
    case ENOTSUP:
        // The file system refuses the flag; a hard link never replaces either.
        return moveByLink(from, to, expected);
    case ENOENT:
        return missingSource(from, to, error, expected);
    default:
        return failed(error);
    }
}

TransferResult FileTransfer::moveByLink(const QByteArray& from, const QByteArray& to,
                                        const std::optional<FileIdentity>& expected) {
    if (::link(from.constData(), to.constData()) != 0) {
        const int error = errno;
        if (error == EEXIST)
            return {Status::Clash, 0};
        if (error == EXDEV)
            return copy(from, to, expected, SourceAfterCopy::Remove);
        if (error == ENOENT)
            return missingSource(from, to, error, expected);
        return failed(error);
    }
    return dropSource(from, to);
}

TransferResult FileTransfer::copy(const QByteArray& from, const QByteArray& to,
                                  const std::optional<FileIdentity>& expected,
                                  SourceAfterCopy source) {
    const bool moving = source == SourceAfterCopy::Remove;
    // Only the regular file itself is copied: a link is not followed, and
    // opening anything else (a device, a FIFO) could block or act.
    FileDescriptor in(
        ::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    if (in.get() < 0) {
        const int error = errno;
        return error == ELOOP && moving ? failed(EXDEV) : missingSource(from, to, error, expected);
    }
    struct stat before {};
    if (::fstat(in.get(), &before) != 0)
        return failed(errno);
    if (!S_ISREG(before.st_mode)) {
        if (moving)
            return failed(EXDEV); // it would need more than a copy of bytes
        return failed(S_ISDIR(before.st_mode) ? EISDIR : EINVAL);
    }
    if (!isExpected(before, expected))
        return {Status::Changed, 0};

    const auto alreadyThere = [&] {
        // The source stays when moving, so an equal file is still two texts.
        if (!moving && sameContent(from, to))
            return TransferResult{Status::AlreadyThere, 0};
        return TransferResult{Status::Clash, 0};
    };
    if (exists(to))
        return alreadyThere();

    const auto [directory, name] = splitPath(to);
    TemporaryFile part(directory, 0600);
    if (part.error() != 0)
        return failed(part.error());
    if (const int error = copyBytes(from, in.get(), part.fd()))
        return failed(error);
    if (const int error = copyMetadata(in.get(), part.fd(), before))
        return failed(error);
    struct stat after {};
    if (::fstat(in.get(), &after) != 0)
        return failed(errno);
    // Written to while it was read: the copy may hold half of each version.
    // (Its change time may move without a write: the name was replaced.)
    if (!FileIdentity::of(before).sameVersion(FileIdentity::of(after)))
        return {Status::Changed, 0};
    if (const int error = part.publish(name)) {
        if (error == EEXIST)
            return alreadyThere();
        return failed(error);
    }
    if (!moving)
        return {};

    return dropCopiedSource(from, to, FileIdentity::of(after));
}

TransferResult FileTransfer::dropCopiedSource(const QByteArray& from, const QByteArray& to,
                                              const FileIdentity& copied) {
    // The name may stand for another file by now (an editor saving a new
    // version); only the file that was copied goes.
    struct stat now {};
    if (::lstat(from.constData(), &now) != 0 || !copied.sameFile(FileIdentity::of(now)))
        return {Status::KeptBoth, 0};
    // The name is set aside before the last look, so a writer who opens it
    // by name from then on makes a new file instead of writing into this one.
    const auto [directory, name] = splitPath(from);
    const QByteArray aside = directory + TemporaryFile::temporaryName(::getpid());
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, aside.constData(), RENAME_NOREPLACE) != 0)
        return dropSource(from, to);
    if (dropHook)
        dropHook(from);
    // Setting the name aside moved the change time: the rest must hold.
    struct stat last {};
    if (::lstat(aside.constData(), &last) == 0) {
        FileIdentity unchanged = copied;
        unchanged.changed = last.st_ctim;
        if (unchanged.sameFile(FileIdentity::of(last)) && ::unlink(aside.constData()) == 0)
            return {};
    }
    // Written to meanwhile: it goes back under its name, or beside a new
    // file that took the name, and both versions stay.
    if (::renameat2(AT_FDCWD, aside.constData(), AT_FDCWD, from.constData(), RENAME_NOREPLACE) !=
        0) {
        for (int n = 1; n < 1000; ++n) {
            const QByteArray kept = from + ".kept-" + QByteArray::number(n);
            if (::renameat2(AT_FDCWD, aside.constData(), AT_FDCWD, kept.constData(),
                            RENAME_NOREPLACE) == 0)
                break;
        }
    }
    return {Status::KeptBoth, 0};
}

TransferResult FileTransfer::missingSource(const QByteArray& from, const QByteArray& to, int error,
                                           const std::optional<FileIdentity>& expected) {
    // Gone from the source and found in the output: taken by another run,
    // but only where the output holds the very version that was read.
    if (error == ENOENT && !exists(from) && exists(to) && expected && isVersionRead(to, *expected))
        return {Status::AlreadyThere, 0};
    if (error == ENOENT && !exists(from) && exists(to))
        return {Status::SourceGone, 0};
    return failed(error);
}

bool FileTransfer::isVersionRead(const QByteArray& path, const FileIdentity& expected) {
    FileDescriptor in(
        ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    struct stat info {};
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !expected.sameVersion(FileIdentity::of(info)))
        return false;
    if (!expected.checksum)
        return true;
    std::array<char, 1 << 16> buffer{};
    uLong crc = ::crc32_z(0, nullptr, 0);
    for (;;) {
        const ssize_t got = readSome(in.get(), buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return crc == *expected.checksum;
        crc = ::crc32_z(crc, reinterpret_cast<const Bytef*>(buffer.data()),
                        static_cast<std::size_t>(got));
    }
}

bool FileTransfer::sameContent(const QByteArray& a, const QByteArray& b) {
    FileDescriptor first(
        ::open(a.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    FileDescriptor second(
        ::open(b.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
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
