// The text of an RTF document as a word processor shows it: the body's
// paragraphs, each font's code page and the Unicode characters the writer
// escaped. The font, colour and style tables, pictures, objects, headers,
// footers, footnotes, comments, field codes, list numbers, deleted text and
// whatever the writer marked as ignorable are left out; hidden text is kept
// apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

class RtfText {
public:
    /// The most groups an RTF document may nest: far more than a writer
    /// nests, and each costs only a few bytes.
    static constexpr std::size_t maxDepth = 1000;

    /// Whether `bytes` begin as an RTF document: "{\rtf" after an optional
    /// UTF-8 byte-order mark and white space.
    static bool looksLikeRtf(std::string_view bytes);

    /// The document's paragraphs in UTF-8, each ended by a line feed.
    /// `hidden`, when given, receives the hidden text, a line for each
    /// hidden run. Throws UnreadableText for a damaged document (groups left
    /// open or closed twice), groups nested deeper than maxDepth, a document
    /// without any text, and text of more than `sizeLimit` bytes.
    static std::string paragraphsOf(std::string_view bytes, std::string* hidden,
                                    std::size_t sizeLimit);
};

} // namespace quillmark
