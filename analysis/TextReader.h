// The reading step before the fingerprint: a file's bytes, whatever their
// encoding or container, become the Windows-1251 text the fingerprint reads.
#pragma once

#include "DocumentText.h"
#include "TextEncoding.h"
#include "udShingles.h"

#include <cstdint>
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
        /// Words of a document's hidden text, which `text` leaves out.
        std::int32_t hiddenWords = 0;
    };

    /// Reads a file's whole content. A document is reduced to its
    /// paragraphs, a line each, whatever `html` says; with `html` Cut a
    /// page's charset comes from its byte-order mark, then its meta
    /// declaration, then the detector. `forced` (not Auto) fixes the
    /// encoding of plain texts and pages. A Windows-1251 text comes back byte
    /// for byte. A UTF-16 text without a byte-order mark is told by its zero
    /// bytes (TextEncoding::utf16WithoutMark). Throws UnreadableText, also
    /// for more bytes than `sizeLimit`.
    static Result read(std::string_view bytes, HtmlHandling html, Encoding forced = Encoding::Auto,
                       std::uint64_t sizeLimit = maxFileSize);

    /// The most bytes a file, plain text or document, may have to be read:
    /// 256 MB. Its text and fingerprint are then at most a few times that in
    /// memory.
    static constexpr std::uint64_t maxFileSize = std::uint64_t{256} << 20;
    /// Throws UnreadableText ("файл больше 256 МБ") when a file of `size`
    /// bytes is over `limit`: told by the file's size, before it is read.
    static void checkSize(std::uint64_t size, std::uint64_t limit = maxFileSize);

    /// Whether reading a file that begins with `head` (its first 64 KB or
    /// all of it) needs the bytes after its first NUL: a UTF-16 or UTF-32
    /// text, marked or not, or a file that may be a document or binary (an
    /// RTF document's binary data may hold NULs; a .doc is all binary).
    static bool needsWholeFile(std::string_view head);

    /// The charset a web page declares in its first 4 KB (<meta charset> or
    /// http-equiv Content-Type); Auto when none that is known.
    static Encoding declaredCharset(std::string_view html);

    /// "TXT", "HTML", "DOCX", "ODT", "FB2", "EPUB", "PDF", "RTF", "DOC".
    static std::string_view formatName(TextFormat format);
    /// The format, and the encoding when it has one: "TXT, UTF-8", "DOCX".
    static std::string describe(const TextOrigin& origin);
    /// Whether a format is a document, read whatever the HTML switch says.
    static bool isDocument(TextFormat format);
};

} // namespace quillmark
