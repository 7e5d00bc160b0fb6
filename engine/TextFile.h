// Reads a source file as the text the fingerprint expects: its bytes up to
// the first NUL, every line ended by CR LF.
#pragma once

#include "FileIdentity.h"
#include "analysis/TextReader.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

/// A file could not be opened or read; what() is "Cannot open file "PATH". "
/// and the system's message, without a final full stop.
class FileOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TextFile {
public:
    /// Reads the whole file at `path` (raw file-system bytes) and returns its
    /// text. Throws FileOpenError, or UnreadableText for a file over
    /// TextReader::maxFileSize.
    static std::string read(const QByteArray& path);
    /// The same, and tells which file, in which version, was read. A symbolic
    /// link is not followed: reading one fails.
    static std::string read(const QByteArray& path, FileIdentity& identity);

    /// Reads the file at `path` through the reading step: its text in
    /// Windows-1251 with line ends as CR LF, and what it was read from.
    /// Throws FileOpenError, or UnreadableText for a file without text.
    static TextReader::Result load(const QByteArray& path, HtmlHandling html, Encoding forced);
    /// The same, and tells which file, in which version, was read.
    static TextReader::Result load(const QByteArray& path, HtmlHandling html, Encoding forced,
                                   FileIdentity& identity);

    /// The bytes load() reads: all of them, or those before the first NUL
    /// when nothing after it can count. A file of more than `sizeLimit`
    /// bytes is refused by its size, unread: UnreadableText.
    static std::string bytes(const QByteArray& path, FileIdentity& identity,
                             std::uint64_t sizeLimit = TextReader::maxFileSize);
    /// load() of bytes() already read.
    static TextReader::Result textOf(std::string_view bytes, HtmlHandling html, Encoding forced);

    /// Cuts the bytes at the first NUL and rewrites every line end (CR, LF or
    /// CR LF) as CR LF; a last line without a line end gets one.
    static std::string toText(std::string_view bytes);

    /// What errno value `error` means, in the program's language, without
    /// trailing blanks and full stops.
    static QString systemMessage(int error);

    /// A message as the error box shows it: a full stop is added when the
    /// last character sorts after it.
    static QString withFullStop(QString text);
};

} // namespace quillmark
