// Saving a selection: the compared texts scoring at most the allowed
// percentage go from the directory the table was loaded from into the output
// directory, each text's outcome lands in the table, and the result line and
// the log say what became of them. Also brings moved texts back for a
// stricter new selection.
#pragma once

#include "DocumentTable.h"
#include "EngineHost.h"
#include "FileTransfer.h"
#include "RunControl.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillmark {

class ArchiveSet;
class ReferenceSet;

class SelectionSaver {
public:
    /// The output directory as the user gave it and as the file system's bytes.
    struct Output {
        QString shown;
        QByteArray path;
    };

    /// What a new selection adds to the result line of its saving.
    struct SelectionNote {
        /// Documents the table's comparison scored, of those it loaded.
        std::int32_t compared = 0;
        std::int32_t loaded = 0;
        /// Failing texts a "No" left in the output directory.
        int staying = 0;

        /// The comparison was stopped: the selection sees part of the batch.
        bool partial() const { return compared < loaded; }
        QString around(const QString& resultLine) const;
    };

    /// Saved texts are added to the cache of `references` and to `archive`.
    SelectionSaver(RunControl& control, DocumentTable& documents, ReferenceSet& references,
                   ArchiveSet& archive);

    /// Creates the output directory when missing (that one level). Throws
    /// RunFailure when it cannot.
    void ensureOutputDirectory(const Output& output);
    /// The directory ensureOutputDirectory() made stays, whatever follows.
    void keepCreatedOutput() { m_createdOutput.clear(); }
    /// Removes the directory ensureOutputDirectory() made when nothing was
    /// put in it, unless the run `completed`.
    void removeUnusedOutput(bool completed);

    /// The compared documents scoring at most `percent`, in table order.
    std::vector<std::int32_t> selectionOf(int percent) const;
    /// Saves the compared documents scoring at most `percent` from `source`
    /// into the output directory; each document's outcome lands in the table
    /// (saveOutcomes). A stop between two files ends it: the result line and
    /// the log say so, and Stopped is thrown.
    void SaveSelection(const QByteArray& source, int percent, SaveMode mode, const Output& output,
                       const SelectionNote& note);
    /// What a new selection of `percent` starts with: says which settings
    /// the stored scores were made with, offers to bring moved texts back
    /// from the output directory when `percent` is stricter, and notes what
    /// its result line adds.
    SelectionNote prepareSelection(int percent, const QByteArray& source,
                                   const QByteArray& outputPath);
    /// Moves every entry of `from` back to `to`; those that cannot move stay.
    static void MoveFilesBack(const QByteArray& from, const QByteArray& to);
    /// How many compared documents scoring above `percent` lie in `directory`.
    int failingIn(const QByteArray& directory, int percent) const;

    /// The output directory (as a prefix) the last saving wrote to.
    const QByteArray& savedDirectory() const { return m_savedDirectory; }
    void forgetSavedDirectory() { m_savedDirectory.clear(); }
    /// The allowed percentage with which texts were last moved; 0 until then.
    int lastSavedPercent() const { return m_lastSavedPercent; }

private:
    /// Asks whether to bring the saved texts back before a stricter
    /// selection; counts the failing ones a "No" leaves.
    void offerMoveBack(int percent, const QByteArray& source, const QByteArray& outputPath,
                       SelectionNote& note);
    static QString describeSettings(const FingerprintSettings& settings);
    /// What a comparison left out as common text, for the log.
    static QString describeCommonText(const CommonTextSettings& settings);
    /// Says in the log which settings the stored scores were made with, when
    /// the controls no longer show them.
    void logChangedSettings();
    void showSavingStart(qint64 total);
    /// Records every text of `selection` as not saved for `error`, met by
    /// the output directory itself, and says so once.
    void refuseAll(const std::vector<std::int32_t>& selection, int error, int percent,
                   TransferMode mode, const Output& output, const SelectionNote& note);
    /// Saves the selection in order, showing the progress; throws Stopped
    /// when a stop comes before the last file.
    void saveEach(const std::vector<std::int32_t>& selection, const QByteArray& source,
                  TransferMode mode, const QByteArray& destination, const QString& shown);
    /// Adds the saved texts to the team archive; says when it could not.
    void recordInArchive();
    /// Saves one document into `destination` (a prefix) and records what
    /// became of it.
    void saveDocument(std::int32_t index, const QByteArray& source, TransferMode mode,
                      const QByteArray& destination, const QString& shown);
    /// Says what the saving did: the result line and the log.
    void report(int percent, qint64 total, TransferMode mode, const QString& outputDirectory,
                const SelectionNote& note, bool stopped);

    RunControl& m_control;
    DocumentTable& m_documents;
    ReferenceSet& m_references;
    ArchiveSet& m_archive;
    QByteArray m_savedDirectory;
    int m_lastSavedPercent = 0;
    /// The output directory the operation at hand made; empty when it made none.
    QByteArray m_createdOutput;
};

} // namespace quillmark
