#include "TextWords.h"

#include "Unmasking.h"

#include <cassert>
#include <utility>

namespace quillmark {

std::pair<std::int32_t, std::int32_t> TextWords::windowWords(std::int32_t window) const {
    assert(window >= 0 && window < shingles.Count && "a window of this fingerprint");
    const auto wordCount = static_cast<std::int32_t>(words.size());
    if (wordCount <= shingleLength)
        return {0, wordCount};
    return {window, window + shingleLength};
}

TextWords WordsOfText(std::string_view text, Truncation truncation, HtmlHandling html,
                      int shingleLength, Unmask unmask) {
    TextWords result;
    // The length is checked before the page is reduced, as ShinglesFromText does.
    if (shingleLength < 0)
        ShinglesFromWords({}, shingleLength, result.shingles);
    result.shingleLength = shingleLength;
    result.text = html == HtmlHandling::Cut ? HtmlToText(text, {}, unmask) : std::string(text);
    Unmasking::Result unmasked = Unmasking::apply(result.text);
    if (unmask == Unmask::On) {
        result.text = std::move(unmasked.text);
        result.disguisedLetters = std::move(unmasked.changedLetters);
    } else {
        result.disguisedLetters = std::move(unmasked.sourceLetters);
    }

    // The same reading as the fingerprint's: lowercase, CR LF pairs cut out
    // (so a word may run across one), words of word characters.
    const std::string& source = result.text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source.data());
    const std::size_t size = source.size();
    std::string lowered;
    lowered.reserve(size);
    std::vector<std::pair<std::size_t, std::size_t>> pieces; // offsets into `lowered`
    std::size_t wordStart = 0;
    std::size_t wordEnd = 0;
    std::size_t loweredStart = 0;
    bool inWord = false;
    auto endWord = [&] {
        result.words.push_back({wordStart, wordEnd});
        pieces.emplace_back(loweredStart, lowered.size() - loweredStart);
        inWord = false;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = bytes[i];
        if (byte == '\r' && i + 1 < size && bytes[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (IsWordChar(byte)) {
            if (!inWord) {
                inWord = true;
                wordStart = i;
                loweredStart = lowered.size();
            }
            wordEnd = i + 1;
            lowered.push_back(static_cast<char>(LowercaseByte(byte)));
        } else if (inWord) {
            endWord();
        }
    }
    if (inWord)
        endWord();

    WordList words;
    words.reserve(pieces.size());
    for (const auto& [offset, length] : pieces)
        words.emplace_back(lowered.data() + offset, length);
    if (truncation == Truncation::On)
        LemmatizeWords(words);
    ShinglesFromWords(words, shingleLength, result.shingles);
    const auto length = static_cast<std::size_t>(shingleLength);
    if (length > 0 && words.size() > length) {
        // Any word after the last window makes the fingerprint hash it.
        WordList last(words.end() - static_cast<std::ptrdiff_t>(length), words.end());
        last.emplace_back("x");
        TudShingleList tail;
        ShinglesFromWords(last, shingleLength, tail);
        result.lastWindowHash = tail.Hashes.front();
        result.hasLastWindow = true;
    }
    return result;
}

} // namespace quillmark
