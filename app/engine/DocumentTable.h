// The documents of the last run: one entry per loaded file, in listing order.
// It outlives the run: the saving step and a new selection work on it.
#pragma once

#include "udShingles.h"

#include <QByteArray>
#include <cstdint>
#include <utility>
#include <vector>

namespace quillmark {

struct DocumentTable {
    /// File names exactly as listed (raw bytes of the file system, no
    /// directory part).
    std::vector<QByteArray> names;
    std::vector<TudShingleList> shingles;
    /// Best score against the earlier documents; 0 until compared.
    std::vector<std::int32_t> scores;
    /// The first earlier document that reached the best score; -1 for the
    /// first document, for score 0 and for documents not compared.
    std::vector<std::int32_t> bestMatches;
    /// How many leading documents the last comparison stage scored (all of
    /// them unless it was stopped).
    std::int32_t comparedCount = 0;

    std::int32_t count() const { return static_cast<std::int32_t>(names.size()); }
    void clear() {
        names.clear();
        shingles.clear();
        scores.clear();
        bestMatches.clear();
        comparedCount = 0;
    }

    /// A new entry with an empty shingle set and score 0.
    void append(QByteArray name) {
        names.push_back(std::move(name));
        shingles.emplace_back();
        scores.push_back(0);
        bestMatches.push_back(-1);
    }
};

} // namespace quillmark
