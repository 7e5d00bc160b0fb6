// The documents of the last run: one entry per loaded file, in listing order.
// It outlives the run: the saving step and a new selection work on it.
#pragma once

#include "analysis/TextReader.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

namespace quillmark {

/// The settings a document was fingerprinted with (they are read per file).
struct FingerprintSettings {
    int shingleLength = 0;
    Truncation truncation = Truncation::Off;
    HtmlHandling html = HtmlHandling::Keep;
};

/// An earlier document and the score of the current one against it.
struct RankedMatch {
    std::int32_t document = -1;
    std::int32_t score = 0;
    friend bool operator==(const RankedMatch&, const RankedMatch&) = default;
};

/// A listed file that holds no text to read: it is neither compared nor
/// saved, and stays where it is.
struct UnreadFile {
    QByteArray name;
    TextFormat format = TextFormat::Text;
    QString reason;
};

struct DocumentTable {
    /// File names exactly as listed (raw bytes of the file system, no
    /// directory part).
    std::vector<QByteArray> names;
    std::vector<TudShingleList> shingles;
    std::vector<FingerprintSettings> settings;
    /// The format and encoding each document was read from.
    std::vector<TextOrigin> origins;
    /// Best score against the earlier documents; 0 until compared.
    std::vector<std::int32_t> scores;
    /// The first earlier document that reached the best score; -1 for the
    /// first document, for score 0 and for documents not compared.
    std::vector<std::int32_t> bestMatches;
    /// When the comparison was asked to rank: per document, the earlier
    /// documents with the highest scores above 0, best first, ties in listing
    /// order, at most the count asked for. Empty otherwise.
    std::vector<std::vector<RankedMatch>> rankedMatches;
    /// How many leading documents the last comparison stage scored (all of
    /// them unless it was stopped).
    std::int32_t comparedCount = 0;
    /// The files of the run that could not be read, in listing order.
    std::vector<UnreadFile> unread;

    std::int32_t count() const { return static_cast<std::int32_t>(names.size()); }
    void clear() {
        names.clear();
        shingles.clear();
        settings.clear();
        origins.clear();
        unread.clear();
        scores.clear();
        bestMatches.clear();
        rankedMatches.clear();
        comparedCount = 0;
    }

    /// A new entry with an empty shingle set and score 0.
    void append(QByteArray name) {
        names.push_back(std::move(name));
        shingles.emplace_back();
        settings.emplace_back();
        origins.emplace_back();
        scores.push_back(0);
        bestMatches.push_back(-1);
    }

    /// Takes back the last entry, whose file turned out unreadable.
    void removeLast() {
        names.pop_back();
        shingles.pop_back();
        settings.pop_back();
        origins.pop_back();
        scores.pop_back();
        bestMatches.pop_back();
    }
};

} // namespace quillmark
