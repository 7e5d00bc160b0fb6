// The scores of the compared documents counted in bins of five points, for
// the window's chart and the HTML report.
#pragma once

#include "DocumentTable.h"

#include <array>

namespace quillmark {

struct ScoreHistogram {
    static constexpr int BinCount = 20;
    static constexpr int BinWidth = 5;

    /// Bin b counts scores 5b .. 5b + 4; the last bin also counts 100.
    std::array<int, BinCount> bins{};
    int total = 0;

    /// The scores of the first comparedCount documents of `documents`.
    static ScoreHistogram of(const DocumentTable& documents);
    static int binOf(int score);
    /// The scores bin `bin` counts: lowestScore(bin) .. highestScore(bin).
    static int lowestScore(int bin) { return bin * BinWidth; }
    static int highestScore(int bin) {
        return bin == BinCount - 1 ? 100 : lowestScore(bin) + BinWidth - 1;
    }
    int largestBin() const;
};

} // namespace quillmark
