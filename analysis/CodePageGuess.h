// Which single-byte Cyrillic code page a text is in, told by how Russian it
// reads under each: the pairs of letters it holds, scored by how often they
// follow each other in Russian (scripts/make-letter-pairs). Capitals count as
// their small letters, so a text in capitals is judged as any other, and a
// text of a few hundred bytes is told as surely as a long one.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillmark {

class CodePageGuess {
public:
    /// Each byte of a code page as its Windows-1251 byte.
    using ByteMap = std::array<unsigned char, 256>;

    /// How Russian `bytes` read under `page`: the higher, the more. Only
    /// scores of the same bytes compare.
    static std::int64_t score(std::string_view bytes, const ByteMap& page);

    /// How many of `bytes` are another kind of byte under `page` than under
    /// Windows-1251 (another letter, a letter for a sign): where the two
    /// readings can differ in score at all.
    static std::int64_t bytesReadOtherwise(std::string_view bytes, const ByteMap& page);

    /// The identity: Windows-1251 itself.
    static const ByteMap& windows1251();
};

} // namespace quillmark
