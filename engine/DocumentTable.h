// The documents of the last run: one entry per loaded file, in listing order.
// It outlives the run: the saving step and a new selection work on it.
#pragma once

#include "FileIdentity.h"
#include "analysis/TextReader.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace quillmark {

/// The settings a document was fingerprinted with (they are read per file).
struct FingerprintSettings {
    int shingleLength = 0;
    Truncation truncation = Truncation::Off;
    HtmlHandling html = HtmlHandling::Keep;
    Unmask unmask = Unmask::Off;
};

/// What a comparison leaves out of every score as text the articles share.
struct CommonTextSettings {
    /// The template, a file or a directory of files; empty when none.
    QByteArray templatePath;
    /// Shingles held by at least this per cent of the texts (and by three
    /// texts at least) are left out; 0 leaves none out.
    int commonPercent = 0;
    bool any() const { return !templatePath.isEmpty() || commonPercent > 0; }
    friend bool operator==(const CommonTextSettings&, const CommonTextSettings&) = default;
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

/// What the last saving did with a document.
enum class SaveOutcome {
    None,         ///< not in the selection, or nothing was saved
    Pending,      ///< in the selection, but saving stopped before it
    Moved,        ///< moved into the output directory now
    Copied,       ///< copied into the output directory now
    AlreadyThere, ///< the output directory held it already (an earlier move, an equal copy)
    Clash,        ///< another file of its name is there; the text stays in place
    Failed,       ///< could not be saved; the text stays in place (DocumentTable::saveErrors)
};

/// The outcomes of the last saving, counted.
struct SaveSummary {
    int selected = 0;
    int moved = 0;
    int copied = 0;
    int alreadyThere = 0;
    int clash = 0;
    int failed = 0;
    /// Left when saving was stopped.
    int pending = 0;

    /// Saved now or earlier.
    int saved() const { return moved + copied + alreadyThere; }
    /// Texts that could not be saved (a clash is no failure: both texts stay).
    bool anyFailed() const { return failed > 0; }
    bool stopped() const { return pending > 0; }
};

struct DocumentTable {
    /// File names exactly as listed (raw bytes of the file system, no
    /// directory part).
    std::vector<QByteArray> names;
    std::vector<TudShingleList> shingles;
    std::vector<FingerprintSettings> settings;
    /// The format and encoding each document was read from.
    std::vector<TextOrigin> origins;
    /// Words a look-alike letter or an invisible character disguised, and
    /// words of hidden document text, counted whether or not unmasking was
    /// on; 0 for a reference text.
    std::vector<std::int32_t> disguisedWords;
    /// Best score against the earlier documents; 0 until compared.
    std::vector<std::int32_t> scores;
    /// The first earlier document that reached the best score; -1 for the
    /// first document, for score 0 and for documents not compared.
    std::vector<std::int32_t> bestMatches;
    /// When the comparison was asked to rank: per document, the earlier
    /// documents with the highest scores above 0, best first, ties in listing
    /// order, at most the count asked for. Empty otherwise.
    std::vector<std::vector<RankedMatch>> rankedMatches;
    /// The file each document was read from, as it was then.
    std::vector<FileIdentity> identities;
    /// What the last saving did with each document; all None before one.
    std::vector<SaveOutcome> saveOutcomes;
    /// Why a document could not be saved (SaveOutcome::Failed); empty else.
    std::vector<QString> saveErrors;
    /// How many leading documents the last comparison stage scored (all of
    /// them unless it was stopped).
    std::int32_t comparedCount = 0;
    /// The files of the run that could not be read, in listing order.
    std::vector<UnreadFile> unread;
    /// How many leading entries are reference texts: the batch is scored
    /// against them, they are never scored, selected or saved themselves.
    std::int32_t referenceCount = 0;
    /// The directory (as a prefix) each reference text lies in.
    std::vector<QByteArray> referenceDirectories;
    /// The settings of common text the last comparison was made with.
    CommonTextSettings commonText;
    /// The hashes it left out of every score, ascending; empty when none.
    std::vector<std::uint32_t> removedHashes;
    /// Per document, its shingles (repeats counted) left out as the
    /// template's, and as common to many texts but not the template's.
    std::vector<std::int32_t> templateShingles;
    std::vector<std::int32_t> commonShingles;

    std::int32_t count() const { return static_cast<std::int32_t>(names.size()); }
    bool isReference(std::int32_t index) const { return index >= 0 && index < referenceCount; }
    /// Where a reference text lies (its directory and name); empty for a text of the batch.
    /// Every distinct hash of the batch (the entries after the references), sorted.
    std::vector<std::uint32_t> batchHashes() const {
        std::vector<std::uint32_t> hashes;
        for (std::size_t k = static_cast<std::size_t>(referenceCount); k < shingles.size(); ++k)
            hashes.insert(hashes.end(), shingles[k].Hashes.begin(), shingles[k].Hashes.end());
        std::sort(hashes.begin(), hashes.end());
        hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
        return hashes;
    }
    QByteArray referencePath(std::int32_t index) const {
        if (!isReference(index))
            return {};
        const auto at = static_cast<std::size_t>(index);
        return referenceDirectories[at] + names[at];
    }
    /// Whether every shingle of document `index` was left out as common text:
    /// it scores 0 and matches nothing.
    bool onlyCommonText(std::int32_t index) const {
        const auto at = static_cast<std::size_t>(index);
        return at < templateShingles.size() && shingles[at].Count > 0 &&
               templateShingles[at] + commonShingles[at] == shingles[at].Count;
    }
    void clear() {
        referenceCount = 0;
        commonText = {};
        removedHashes.clear();
        templateShingles.clear();
        commonShingles.clear();
        referenceDirectories.clear();
        names.clear();
        shingles.clear();
        settings.clear();
        origins.clear();
        disguisedWords.clear();
        unread.clear();
        scores.clear();
        bestMatches.clear();
        rankedMatches.clear();
        identities.clear();
        saveOutcomes.clear();
        saveErrors.clear();
        comparedCount = 0;
    }

    /// A new entry with an empty shingle set and score 0.
    void append(QByteArray name) {
        names.push_back(std::move(name));
        shingles.emplace_back();
        settings.emplace_back();
        origins.emplace_back();
        disguisedWords.push_back(0);
        scores.push_back(0);
        bestMatches.push_back(-1);
        identities.emplace_back();
        saveOutcomes.push_back(SaveOutcome::None);
        saveErrors.emplace_back();
    }

    /// Forgets what an earlier saving did.
    void clearSaveOutcomes() {
        saveOutcomes.assign(names.size(), SaveOutcome::None);
        saveErrors.assign(names.size(), QString());
    }

    SaveSummary saveSummary() const {
        SaveSummary summary;
        for (const SaveOutcome outcome : saveOutcomes) {
            summary.selected += outcome == SaveOutcome::None ? 0 : 1;
            summary.pending += outcome == SaveOutcome::Pending ? 1 : 0;
            summary.moved += outcome == SaveOutcome::Moved ? 1 : 0;
            summary.copied += outcome == SaveOutcome::Copied ? 1 : 0;
            summary.alreadyThere += outcome == SaveOutcome::AlreadyThere ? 1 : 0;
            summary.clash += outcome == SaveOutcome::Clash ? 1 : 0;
            summary.failed += outcome == SaveOutcome::Failed ? 1 : 0;
        }
        return summary;
    }

    /// Takes back the last entry, whose file turned out unreadable.
    void removeLast() {
        names.pop_back();
        shingles.pop_back();
        settings.pop_back();
        origins.pop_back();
        scores.pop_back();
        bestMatches.pop_back();
        identities.pop_back();
        saveOutcomes.pop_back();
        saveErrors.pop_back();
    }
};

} // namespace quillmark
