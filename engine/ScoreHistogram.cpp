#include "ScoreHistogram.h"

#include <algorithm>

namespace quillmark {

int ScoreHistogram::binOf(int score) {
    return std::clamp(score / BinWidth, 0, BinCount - 1);
}

ScoreHistogram ScoreHistogram::of(const DocumentTable& documents) {
    ScoreHistogram histogram;
    const std::int32_t compared = std::min(documents.comparedCount, documents.count());
    const std::int32_t first = std::min(documents.referenceCount, compared);
    for (std::int32_t i = first; i < compared; ++i)
        ++histogram
              .bins[static_cast<std::size_t>(binOf(documents.scores[static_cast<std::size_t>(i)]))];
    histogram.total = compared - first;
    return histogram;
}

int ScoreHistogram::largestBin() const {
    return *std::max_element(bins.begin(), bins.end());
}

} // namespace quillmark
