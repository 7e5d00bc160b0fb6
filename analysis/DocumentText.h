// The paragraphs of an office document or a book, recognised by its content:
// .docx, .odt, .epub (ZIP and XML), .fb2 (XML), .rtf, .doc (Word 97-2003)
// and .pdf with a text layer. Footnotes, headers, footers, comments and hidden text are left out.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

// The reference cache stores a format by its number: new ones go at the end.
enum class TextFormat { Text, Html, Docx, Odt, Fb2, Epub, Pdf, Rtf, Doc };

/// A file that holds no text to read: what() is the reason for the user
/// (UTF-8), format() what the file was taken for.
class UnreadableText : public std::runtime_error {
public:
    UnreadableText(TextFormat format, const std::string& reason)
        : std::runtime_error(reason)
        , m_format(format) {}
    TextFormat format() const { return m_format; }

private:
    TextFormat m_format;
};

class DocumentText {
public:
    /// The most a document may unpack to: 64 times its size, at least 16 MB
    /// and at most 256 MB.
    static std::size_t unpackLimit(std::size_t fileSize);
    /// The most a PDF may take to read, in seconds, and its most pages.
    static constexpr int pdfSeconds = 30;
    static constexpr int pdfPages = 20000;
    /// The most entries an EPUB's spine may list: far more than a book has
    /// chapters, few enough to read them all quickly.
    static constexpr std::size_t epubSpineItems = 5000;

    /// The document format of `bytes`; Text when they are no document.
    /// Throws UnreadableText for an executable, an image, an archive or
    /// another binary file that holds no text.
    static TextFormat formatOf(std::string_view bytes);

    /// Sets up libxml2 and poppler once; any thread may call it, and reading
    /// on several threads needs it done before the first of them starts.
    static void prepareLibraries();

    /// The document's paragraphs in UTF-8, each ended by a line feed.
    /// `encoding` receives the declared encoding of an FB2 book (empty
    /// otherwise); `hidden`, when given, the hidden text of a .docx, .odt or
    /// .rtf, a line for each hidden run or element. Throws UnreadableText.
    static std::string paragraphsOf(std::string_view bytes, TextFormat format,
                                    std::string& encoding, std::string* hidden = nullptr);
};

} // namespace quillmark
