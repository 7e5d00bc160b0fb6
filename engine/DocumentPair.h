// A document of the last run and the earlier document it is shown against,
// read again from where they lie now, with the passages they share. Built on
// demand for one pair: the run keeps only fingerprints, never texts.
#pragma once

#include "BatchEngine.h"
#include "analysis/SharedPassages.h"
#include "analysis/TextWords.h"

#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace quillmark {

/// A document cannot be shown: its file is gone or unreadable, or it no
/// longer gives the fingerprint it was compared by. what() is a message for
/// the user (UTF-8) with its final full stop.
class PairError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DocumentPair {
    std::int32_t currentIndex = -1;
    std::int32_t earlierIndex = -1;
    TextWords current;
    TextWords earlier;
    /// Shared passages but for text left out of the scores as common.
    SharedPassages passages;
    /// The passages of each text left out of the scores as common text
    /// (a template's, or most texts'), in text order; empty when none was.
    std::vector<Passage> commonCurrent;
    std::vector<Passage> commonEarlier;
    /// What each text was read from, as the run found it.
    TextOrigin currentOrigin;
    TextOrigin earlierOrigin;
    /// The earlier text is one of the team archive's, which keeps its
    /// fingerprint only: `earlier` is empty, and the passages are the current
    /// text's alone.
    bool earlierArchived = false;

    /// Reads documents `current` and `earlier` of the engine's table with the
    /// settings each was fingerprinted with; an archived `earlier` is not
    /// read. Throws PairError.
    static DocumentPair load(const BatchEngine& engine, std::int32_t current, std::int32_t earlier);

    /// A Windows-1251 text as Unicode, one QChar per byte, so that the byte
    /// offsets of WordSpan and Passage are also QString positions.
    static QString toQString(const std::string& text);
};

} // namespace quillmark
