// Seeing through a disguised copy: Latin letters standing in for their
// Cyrillic look-alikes, invisible characters inside words, unusual spaces and
// line ends that glue words together all read as the plain text would.
#pragma once

#include "udShingles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class Unmasking {
public:
    /// Whether unmasking writes the unmasked text or only counts.
    enum class Output { CountOnly, Text };

    struct Result {
        /// The unmasked text; empty with Output::CountOnly.
        std::string text;
        /// Words a look-alike letter or an invisible character changed.
        std::int32_t disguisedWords = 0;
        /// With Output::Text, in ascending order: the letters a disguise
        /// changed (a look-alike replaced, or the first letter after a dropped
        /// invisible character), as offsets into `text` and, in the same
        /// order, into the text given.
        std::vector<std::size_t> changedLetters;
        std::vector<std::size_t> sourceLetters;
    };

    /// The Windows-1251 byte a code point the code page lacks stands for: the
    /// soft hyphen for an invisible or formatting character, the no-break
    /// space for an unusual space, '?' for the rest. None of them is a word
    /// character, so the fingerprint is the same for all three.
    static unsigned char standIn(char32_t codePoint);

    /// Undoes the disguises of a Windows-1251 text: each CR becomes a blank
    /// (so a line end always parts words), soft hyphens are dropped, no-break
    /// spaces become blanks, and in a word mixing Cyrillic and Latin letters
    /// each Latin look-alike becomes its Cyrillic letter. Counts the words
    /// changed by the last two rules either way.
    static Result apply(std::string_view text, Output output = Output::Text);
};

} // namespace quillmark
