#include "TextExcerpt.h"

#include <algorithm>

namespace quillmark {

namespace {

/// Words [first, end) of the text with the bytes before the first word when
/// they start at word 0, and after the last one when they end at the last word.
TextExcerpt::Fragment bytesOfWords(const TextWords& text, std::int32_t first, std::int32_t end) {
    const auto wordCount = static_cast<std::int32_t>(text.words.size());
    TextExcerpt::Fragment fragment;
    fragment.begin = first <= 0 ? 0 : text.words[static_cast<std::size_t>(first)].begin;
    fragment.end =
        end >= wordCount ? text.text.size() : text.words[static_cast<std::size_t>(end - 1)].end;
    return fragment;
}

/// Where to cut a fragment that may keep `budget` bytes: after the last word
/// that ends within them, else at the budget itself (a Windows-1251 text may
/// be cut at any byte).
std::size_t cutPoint(const TextWords& text, const TextExcerpt::Fragment& fragment,
                     std::size_t budget) {
    const std::size_t limit = fragment.begin + budget;
    const auto after = std::upper_bound(
        text.words.begin(), text.words.end(), limit,
        [](std::size_t offset, const WordSpan& word) { return offset < word.end; });
    if (after != text.words.begin() && std::prev(after)->end > fragment.begin)
        return std::prev(after)->end;
    return limit;
}

} // namespace

TextExcerpt TextExcerpt::of(const TextWords& text, const std::vector<Passage>& passages) {
    TextExcerpt excerpt;
    if (text.text.empty())
        return excerpt;

    std::vector<Fragment> wanted;
    if (text.text.size() <= WholeTextBytes || text.words.empty()) {
        wanted.push_back({0, text.text.size()});
    } else {
        const auto wordCount = static_cast<std::int32_t>(text.words.size());
        std::int32_t openFirst = -1;
        std::int32_t openEnd = -1;
        for (const Passage& passage : passages) {
            const std::int32_t first = std::clamp(passage.firstWord - ContextWords, 0, wordCount);
            const std::int32_t end = std::clamp(passage.endWord + ContextWords, 0, wordCount);
            if (first >= end)
                continue;
            if (openEnd >= first) {
                openEnd = std::max(openEnd, end);
                continue;
            }
            if (openFirst >= 0)
                wanted.push_back(bytesOfWords(text, openFirst, openEnd));
            openFirst = first;
            openEnd = end;
        }
        if (openFirst >= 0)
            wanted.push_back(bytesOfWords(text, openFirst, openEnd));
    }

    std::size_t budget = MaxShownBytes;
    for (Fragment fragment : wanted) {
        if (budget == 0) {
            excerpt.shortened = true;
            break;
        }
        if (fragment.end - fragment.begin > budget) {
            fragment.end = cutPoint(text, fragment, budget);
            excerpt.shortened = true;
            excerpt.fragments.push_back(fragment);
            break;
        }
        budget -= fragment.end - fragment.begin;
        excerpt.fragments.push_back(fragment);
    }
    return excerpt;
}

} // namespace quillmark
