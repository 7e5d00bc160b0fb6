// The Windows-1251 code page, all 256 bytes, to and from UTF-8. Byte 0x98,
// which the code page leaves unassigned, stands for U+0098 so that a round
// trip keeps every byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

class Cp1251 {
public:
    /// The Unicode code point of a byte.
    static char32_t toUnicode(unsigned char byte);

    /// The byte of a code point. One the code page lacks becomes the soft
    /// hyphen when it is invisible, the no-break space when it is a space,
    /// else '?' (Unmasking::standIn).
    static unsigned char fromUnicode(char32_t codePoint);

    /// Appends `text` converted to UTF-8.
    static void appendUtf8(std::string_view text, std::string& utf8);

    /// Appends well-formed UTF-8 converted back; a malformed sequence gives
    /// one '?' per byte it spans.
    static void appendFromUtf8(std::string_view utf8, std::string& text);
};

} // namespace quillmark
