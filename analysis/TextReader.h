// The reading step before the fingerprint: a file's bytes, whatever their
// encoding or container, become the Windows-1251 text the fingerprint reads.
#pragma once

#include "DocumentText.h"
#include "TextEncoding.h"
#include "udShingles.h"

#include <string>
#include <string_view>

namespace quillmark {

/// What a text was read from: its format and, for plain texts, web pages and
/// FB2 books, its encoding (Auto for the other documents).
struct TextOrigin {
    TextFormat format = TextFormat::Text;
    Encoding encoding = Encoding::Windows1251;
    friend bool operator==(const TextOrigin&, const TextOrigin&) = default;
};

class TextReader {
public:
    struct Result {
        /// Windows-1251; line ends and NULs as the file has them.
        std::string text;
        TextOrigin origin;
    };

    /// Reads a file's whole content. A document is reduced to its
    /// paragraphs, a line each, whatever `html` says; with `html` Cut a
    /// page's charset comes from its byte-order mark, then its meta
    /// declaration, then the detector. `forced` (not Auto) fixes the
    /// encoding of plain texts and pages. A Windows-1251 text comes back byte
    /// for byte. Throws UnreadableText.
    static Result read(std::string_view bytes, HtmlHandling html, Encoding forced = Encoding::Auto);

    /// Whether reading a file that begins with `head` (its first 4 KB or
    /// all of it) needs the bytes after its first NUL: a UTF-16 or UTF-32
    /// text, or a file that may be a document or binary.
    static bool needsWholeFile(std::string_view head);

    /// The charset a web page declares in its first 4 KB (<meta charset> or
    /// http-equiv Content-Type); Auto when none that is known.
    static Encoding declaredCharset(std::string_view html);

    /// "TXT", "HTML", "DOCX", "ODT", "FB2", "EPUB", "PDF".
    static std::string_view formatName(TextFormat format);
    /// The format, and the encoding when it has one: "TXT, UTF-8", "DOCX".
    static std::string describe(const TextOrigin& origin);
    /// Whether a format is a document, read whatever the HTML switch says.
    static bool isDocument(TextFormat format);
};

} // namespace quillmark
