#include "TextFile.h"

#include "SystemErrors.h"

#include "FileDescriptor.h"

#include <QFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

[[noreturn]] void throwOpenError(const QByteArray& path, int error) {
    const QString text = QStringLiteral("Cannot open file \"") + QFile::decodeName(path) +
                         QStringLiteral("\". ") + TextFile::systemMessage(error);
    throw FileOpenError(text.toStdString());
}

} // namespace

QString TextFile::systemMessage(int error) {
    return SystemErrors::message(error);
}

QString TextFile::withFullStop(QString text) {
    if (!text.isEmpty() && text.back() > u'.')
        text += u'.';
    return text;
}

namespace {

enum class Reading { UpToNul, Whole };

/// The file's bytes: all of them, or up to the first NUL when nothing after
/// it can count.
std::string readBytes(const QByteArray& path, Reading reading, FileIdentity& identity,
                      std::uint64_t sizeLimit) {
    // O_NONBLOCK: something swapped in for the listed file (a FIFO) must not
    // hang the run; it is refused below. A link's text is not the link's own.
    const FileDescriptor file(
        ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
    const int fd = file.get();
    if (fd < 0)
        throwOpenError(path, errno);

    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throwOpenError(path, errno);
    if (S_ISDIR(info.st_mode))
        throwOpenError(path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throwOpenError(path, EINVAL);
    identity = FileIdentity::of(info);
    // Told by the size, before a byte is read: the text of a file too big
    // would take several times its size in memory.
    TextReader::checkSize(static_cast<std::uint64_t>(info.st_size), sizeLimit);

    std::string bytes;
    if (info.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    bool first = true;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwOpenError(path, errno);
        }
        if (got == 0)
            break;
        const auto size = static_cast<std::size_t>(got);
        // A file that grows while it is read is held to the same limit.
        TextReader::checkSize(bytes.size() + size, sizeLimit);
        if (first && reading == Reading::Whole &&
            !TextReader::needsWholeFile(std::string_view(buffer, size)))
            reading = Reading::UpToNul;
        first = false;
        // Everything from the first NUL on is dropped, so reading can stop.
        const void* nul = reading == Reading::UpToNul ? std::memchr(buffer, '\0', size) : nullptr;
        if (nul != nullptr) {
            bytes.append(buffer, static_cast<const char*>(nul) - buffer);
            break;
        }
        bytes.append(buffer, size);
    }
    return bytes;
}

} // namespace

std::string TextFile::read(const QByteArray& path) {
    FileIdentity identity;
    return read(path, identity);
}

std::string TextFile::read(const QByteArray& path, FileIdentity& identity) {
    return toText(readBytes(path, Reading::UpToNul, identity, TextReader::maxFileSize));
}

TextReader::Result TextFile::load(const QByteArray& path, HtmlHandling html, Encoding forced) {
    FileIdentity identity;
    return load(path, html, forced, identity);
}

TextReader::Result TextFile::load(const QByteArray& path, HtmlHandling html, Encoding forced,
                                  FileIdentity& identity) {
    return textOf(bytes(path, identity), html, forced);
}

std::string TextFile::bytes(const QByteArray& path, FileIdentity& identity,
                            std::uint64_t sizeLimit) {
    return readBytes(path, Reading::Whole, identity, sizeLimit);
}

TextReader::Result TextFile::textOf(std::string_view bytes, HtmlHandling html, Encoding forced) {
    TextReader::Result result = TextReader::read(bytes, html, forced);
    result.text = toText(result.text);
    return result;
}

std::string TextFile::toText(std::string_view bytes) {
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    std::string text;
    text.reserve(end + end / 32 + 2);
    bool lineOpen = false;
    for (std::size_t i = 0; i < end; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            text += "\r\n";
            if (c == '\r' && i + 1 < end && bytes[i + 1] == '\n')
                ++i;
            lineOpen = false;
            continue;
        }
        text += c;
        lineOpen = true;
    }
    if (lineOpen)
        text += "\r\n";
    return text;
}

} // namespace quillmark
