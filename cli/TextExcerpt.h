// The stretches of a text that a report shows around the passages it shares with
// another: a short text whole, a long one as its passages with some words of
// context each, within a size budget, so that a report of many large texts
// stays readable and small enough to open.
#pragma once

#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmark {

struct TextExcerpt {
    /// Bytes [begin, end) of the text.
    struct Fragment {
        std::size_t begin = 0;
        std::size_t end = 0;
        friend bool operator==(const Fragment&, const Fragment&) = default;
    };

    /// A text of at most this many bytes is shown whole.
    static constexpr std::size_t WholeTextBytes = 16 * 1024;
    /// Words of context shown on each side of a passage of a longer text.
    static constexpr std::int32_t ContextWords = 30;
    /// The most bytes of one text shown in all; what lies beyond is left out.
    static constexpr std::size_t MaxShownBytes = 64 * 1024;

    /// In text order, neither overlapping nor touching.
    std::vector<Fragment> fragments;
    /// The size budget left out passages or a part of one.
    bool shortened = false;

    /// The excerpt of `text` for its `passages` (in text order, as
    /// SharedPassages holds them).
    static TextExcerpt of(const TextWords& text, const std::vector<Passage>& passages);
};

} // namespace quillmark
