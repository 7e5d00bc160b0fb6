// The words of a text's fingerprint together with where each was read, so
// that the words a score rests on can be shown in the text itself.
#pragma once

#include "udShingles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

/// Where one word of the fingerprint was read: bytes [begin, end) of
/// TextWords::text. A word that a removed CR LF joined spans the pair.
struct WordSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const WordSpan&, const WordSpan&) = default;
};

struct TextWords {
    /// The Windows-1251 text the words were read from: the text as given, or
    /// with HtmlHandling::Cut the page's readable text, unmasked when asked.
    std::string text;
    std::vector<WordSpan> words;
    /// Exactly what ShinglesFromText gives for the same text and settings.
    TudShingleList shingles;
    int shingleLength = 0;
    /// The fingerprint hashes a window only once a word follows it, so the
    /// last L words of a longer text form a window it leaves out. Its hash,
    /// for showing what two texts share up to their last words; scores
    /// never count it.
    std::uint32_t lastWindowHash = 0;
    bool hasLastWindow = false;
    /// The letters of `text` a disguise changed, as ascending offsets: with
    /// Unmask::On those unmasking replaced, otherwise those it would replace
    /// (after an invisible character, the letter that follows it).
    std::vector<std::size_t> disguisedLetters;

    /// The words [first, last) that window `window` of `shingles` hashes:
    /// L words from the window's own, or every word when the text has no more
    /// than L words (its one hash then covers them all).
    std::pair<std::int32_t, std::int32_t> windowWords(std::int32_t window) const;
};

/// Fingerprints `text` as ShinglesFromText does and keeps each word's place;
/// with `unmask` On the words are those of the unmasked text, which `text`
/// then holds. Throws what ShinglesFromText throws.
TextWords WordsOfText(std::string_view text, Truncation truncation, HtmlHandling html,
                      int shingleLength, Unmask unmask = Unmask::Off);

} // namespace quillmark
