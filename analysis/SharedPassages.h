// The passages two texts have in common: the words covered by the windows
// whose hashes both fingerprints hold. Computed for one pair on demand.
#pragma once

#include "TextWords.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

/// A run of consecutive shared words: words [firstWord, endWord) of a
/// TextWords, bytes [begin, end) of its text (from the first word's start to
/// the last word's end).
struct Passage {
    std::int32_t firstWord = 0;
    std::int32_t endWord = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const Passage&, const Passage&) = default;
};

struct SharedPassages {
    /// In text order, neither overlapping nor touching.
    std::vector<Passage> earlier;
    std::vector<Passage> current;
    /// The first word of the current text's first shared window, and the
    /// first word of the earliest window of the earlier text with the same
    /// hash: where both views start reading. -1 when nothing is shared.
    std::int32_t currentAnchor = -1;
    std::int32_t earlierAnchor = -1;
};

/// The passages of `earlier` and `current` that belong to windows whose hash
/// the other text's fingerprint also holds (the hashes MatchPercent counts),
/// but for the hashes `ignored` (ascending) holds: text left out of scores.
SharedPassages FindSharedPassages(const TextWords& earlier, const TextWords& current,
                                  std::span<const std::uint32_t> ignored = {});

/// The passages of `text` that belong to windows whose hash `hashes`
/// (ascending) holds.
std::vector<Passage> PassagesWithHashes(const TextWords& text,
                                        std::span<const std::uint32_t> hashes);

} // namespace quillmark
