#include "CodePageGuess.h"

#include <cstddef>

namespace quillmark {

namespace {

constexpr int kinds = 34;

constexpr std::int16_t letterPairs[kinds][kinds] = {
#include "RussianLetterPairs.inc"
};

/// The kind of a Windows-1251 byte that came from byte `source`: a letter
/// (0-31, capitals folded, ё as е), 32 a byte below 0x80, 33 an upper-half
/// byte that is no letter under the page (a sign, or none at all).
int kindOf(unsigned char source, unsigned char mapped) {
    if (mapped >= 0xE0)
        return mapped - 0xE0;
    if (mapped >= 0xC0)
        return mapped - 0xC0;
    if (mapped == 0xA8 || mapped == 0xB8)
        return 5;
    return source < 0x80 ? 32 : 33;
}

enum Case : unsigned char { NoLetter = 0, Small = 1, Capital = 2 };

unsigned char caseOf(unsigned char mapped) {
    if (mapped >= 0xE0 || mapped == 0xB8)
        return Small;
    if (mapped >= 0xC0 || mapped == 0xA8)
        return Capital;
    return NoLetter;
}

/// A capital right after a small letter, or a small letter after two
/// capitals: a word Russian does not write, though its letters may pair well.
bool oddCase(unsigned cases) {
    const unsigned last = cases & 3;
    const unsigned before = (cases >> 2) & 3;
    const unsigned first = (cases >> 4) & 3;
    return (before == Small && last == Capital) ||
           (first == Capital && before == Capital && last == Small);
}

/// Two bits, in the pairs' scale.
constexpr std::int64_t caseChangePenalty = 32;

} // namespace

std::int64_t CodePageGuess::score(std::string_view bytes, const ByteMap& page) {
    std::array<unsigned char, 256> kind{};
    std::array<unsigned char, 256> letterCase{};
    for (unsigned b = 0; b < 256; ++b) {
        kind[b] = static_cast<unsigned char>(kindOf(static_cast<unsigned char>(b), page[b]));
        letterCase[b] = caseOf(page[b]);
    }
    std::int64_t total = 0;
    int previous = 32;
    unsigned cases = 0; // the last two letters' cases, two bits each
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const int next = kind[byte];
        total += letterPairs[previous][next];
        previous = next;
        cases = (cases << 2 | letterCase[byte]) & 0x3F;
        total -= oddCase(cases) ? caseChangePenalty : 0;
    }
    return total;
}

std::int64_t CodePageGuess::bytesReadOtherwise(std::string_view bytes, const ByteMap& page) {
    std::array<bool, 256> differs{};
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        differs[b] = kindOf(byte, page[b]) != kindOf(byte, byte);
    }
    std::int64_t count = 0;
    for (const char c : bytes)
        count += differs[static_cast<unsigned char>(c)] ? 1 : 0;
    return count;
}

const CodePageGuess::ByteMap& CodePageGuess::windows1251() {
    static const ByteMap identity = [] {
        ByteMap map{};
        for (unsigned b = 0; b < 256; ++b)
            map[b] = static_cast<unsigned char>(b);
        return map;
    }();
    return identity;
}

} // namespace quillmark
