#include "SharedPassages.h"

#include <algorithm>
#include <span>
#include <utility>

namespace quillmark {

namespace {

std::vector<std::uint32_t> distinctHashes(std::vector<std::uint32_t> hashes) {
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    return hashes;
}

bool holds(std::span<const std::uint32_t> sorted, std::uint32_t hash) {
    return std::binary_search(sorted.begin(), sorted.end(), hash);
}

/// `hashes` without those `ignored` holds.
std::vector<std::uint32_t> without(std::vector<std::uint32_t> hashes,
                                   std::span<const std::uint32_t> ignored) {
    if (!ignored.empty())
        std::erase_if(hashes, [ignored](std::uint32_t hash) { return holds(ignored, hash); });
    return hashes;
}

/// The hashes of every window of `text`, its last one included, but for the
/// ignored ones.
std::vector<std::uint32_t> shownHashes(const TextWords& text,
                                       std::span<const std::uint32_t> ignored) {
    std::vector<std::uint32_t> hashes = text.shingles.Hashes;
    if (text.hasLastWindow)
        hashes.push_back(text.lastWindowHash);
    return without(distinctHashes(std::move(hashes)), ignored);
}

/// The runs of words covered by the windows of `text` whose hash `other`
/// holds.
std::vector<Passage> passagesOf(const TextWords& text, std::span<const std::uint32_t> other) {
    const std::size_t wordCount = text.words.size();
    // +1 where a covered stretch starts, -1 past its end.
    std::vector<std::int32_t> depth(wordCount + 1, 0);
    for (std::int32_t w = 0; w < text.shingles.Count; ++w) {
        if (!holds(other, text.shingles.Hashes[static_cast<std::size_t>(w)]))
            continue;
        const auto [first, end] = text.windowWords(w);
        if (first == end)
            continue;
        ++depth[static_cast<std::size_t>(first)];
        --depth[static_cast<std::size_t>(end)];
    }
    // A passage that runs to the end of the text ends with its last word.
    if (text.hasLastWindow && holds(other, text.lastWindowHash)) {
        ++depth[wordCount - static_cast<std::size_t>(text.shingleLength)];
        --depth[wordCount];
    }
    std::vector<Passage> passages;
    std::int32_t covering = 0;
    for (std::size_t i = 0; i < wordCount; ++i) {
        const bool wasCovered = covering > 0;
        covering += depth[i];
        const bool covered = covering > 0;
        if (covered && !wasCovered)
            passages.push_back({static_cast<std::int32_t>(i), 0, text.words[i].begin, 0});
        if (!covered && wasCovered) {
            passages.back().endWord = static_cast<std::int32_t>(i);
            passages.back().end = text.words[i - 1].end;
        }
    }
    if (covering > 0) {
        passages.back().endWord = static_cast<std::int32_t>(wordCount);
        passages.back().end = text.words.back().end;
    }
    return passages;
}

/// The first window of `text` that covers a word and whose hash `wanted`
/// accepts; -1 when none does.
template <class Wanted> std::int32_t firstWindow(const TextWords& text, Wanted wanted) {
    for (std::int32_t w = 0; w < text.shingles.Count; ++w) {
        const auto [first, end] = text.windowWords(w);
        if (first != end && wanted(text.shingles.Hashes[static_cast<std::size_t>(w)]))
            return w;
    }
    return -1;
}

} // namespace

SharedPassages FindSharedPassages(const TextWords& earlier, const TextWords& current,
                                  std::span<const std::uint32_t> ignored) {
    SharedPassages shared;
    shared.current = passagesOf(current, shownHashes(earlier, ignored));
    shared.earlier = passagesOf(earlier, shownHashes(current, ignored));

    // The views open where the scored windows meet.
    const std::vector<std::uint32_t> earlierHashes =
        without(distinctHashes(earlier.shingles.Hashes), ignored);

    const std::int32_t window = firstWindow(
        current, [&earlierHashes](std::uint32_t hash) { return holds(earlierHashes, hash); });
    if (window < 0)
        return shared;
    const std::uint32_t anchorHash = current.shingles.Hashes[static_cast<std::size_t>(window)];
    shared.currentAnchor = current.windowWords(window).first;
    const std::int32_t earlierWindow =
        firstWindow(earlier, [anchorHash](std::uint32_t hash) { return hash == anchorHash; });
    // Only a window of no words can hold the hash and cover nothing.
    if (earlierWindow >= 0)
        shared.earlierAnchor = earlier.windowWords(earlierWindow).first;
    return shared;
}

std::vector<Passage> PassagesWithHashes(const TextWords& text,
                                        std::span<const std::uint32_t> hashes) {
    return passagesOf(text, hashes);
}

} // namespace quillmark
