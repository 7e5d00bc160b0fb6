// The body text of a Word 97-2003 document (.doc): the compound file's
// WordDocument stream, read piece by piece as the document's piece table in
// its table stream lists them. Footnotes, headers, comments, text boxes and
// field codes are left out (a field's shown result is kept); formatting is
// not read, so hidden text is read as any other.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

class DocText {
public:
    /// Whether `bytes` begin as an OLE2 compound file: a .doc, but also an
    /// .xls, a .ppt or an encrypted Office document.
    static bool looksLikeCompoundFile(std::string_view bytes);

    /// The document's paragraphs in UTF-8, each ended by a line feed; table
    /// cells and line and page breaks end a line too. Throws UnreadableText
    /// for a compound file without a Word document, an encrypted document, a
    /// Word 6 or 95 document, a damaged one, and text of more than
    /// `sizeLimit` bytes.
    static std::string paragraphsOf(std::string_view bytes, std::size_t sizeLimit);
};

} // namespace quillmark
