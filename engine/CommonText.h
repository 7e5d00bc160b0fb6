// Text every article of a batch shares (a site's standard introduction, a
// legal notice, "Читайте также" links) left out of the scores: the shingles of
// a template the user gives, and the shingles most texts of the batch hold.
// Scores are then those of the texts without them, on both sides.
#pragma once

#include "DocumentTable.h"
#include "RunControl.h"

#include <QByteArray>
#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

class CommonText {
public:
    /// A shingle is common when at least this many texts hold it, whatever
    /// the percentage says.
    static constexpr std::int64_t fewestTexts = 3;

    explicit CommonText(RunControl& control)
        : m_control(control) {}

    /// Finds what the host's settings leave out of the table's scores, logs
    /// it, and records it in the table (DocumentTable::removedHashes and the
    /// counts per document). Throws RunFailure for a template that cannot be
    /// read or holds no text, Stopped.
    void apply(DocumentTable& table);

    /// The distinct hashes of the template's texts, ascending, fingerprinted
    /// with the host's settings as the batch is. A directory gives the texts
    /// of its files; a file there that holds no text is logged and passed.
    std::vector<std::uint32_t> templateHashes(const QByteArray& path);

    /// The hashes held by at least `percent` per cent of `documents` (and by
    /// fewestTexts at least), ascending; none for `percent` 0.
    static std::vector<std::uint32_t> commonHashes(std::span<const TudShingleList> documents,
                                                   int percent);

private:
    void readTemplateFile(const QByteArray& path, const QByteArray& shownName, bool alone,
                          std::vector<std::uint32_t>& hashes);
    void count(DocumentTable& table, const std::vector<std::uint32_t>& fromTemplate);
    void logRemoved(const DocumentTable& table, std::size_t templateCount, std::size_t commonCount);

    RunControl& m_control;
};

} // namespace quillmark
