// The batch run over a source directory, the saving of its selection and the
// new selection of a finished run. The host is called only on the caller's
// thread (files are read and compared on a pool of threads meanwhile); it is
// asked to handle pending events once per file and while waiting, which is
// where a stop request arrives. The reference texts live in ReferenceSet,
// the saving in SelectionSaver; this class keeps the order of the steps and
// the state of the run.
#pragma once

#include "ArchiveSet.h"
#include "DirectoryListing.h"
#include "DocumentTable.h"
#include "EngineHost.h"
#include "Families.h"
#include "ParallelLoader.h"
#include "ReferenceSet.h"
#include "RunControl.h"
#include "SelectionSaver.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <span>
#include <vector>

namespace quillmark {

class IndexedDocuments;
class MatchIndex;

enum class RunState { Idle, Running, Stopping };

/// How the last run ended.
enum class RunOutcome {
    None,             ///< no run yet
    Completed,        ///< compared to the end and saved (as the save mode says)
    SavingStopped,    ///< compared to the end; a stop ended the saving between two files
    Stopped,          ///< a stop request ended it during loading or comparison
    BadSource,        ///< the source directory is not an existing directory
    OutputNotCreated, ///< the output directory is missing and cannot be made
    LoadFailed,       ///< a file could not be read or fingerprinted
    CompareFailed,    ///< the comparison could not be made (out of memory)
};

class BatchEngine {
public:
    explicit BatchEngine(EngineHost& host);
    ~BatchEngine();

    /// The start button: starts a run when idle, asks the running one to stop
    /// when running, does nothing while stopping. Returns when the run ends.
    void startOrStopRun();
    /// Asks the running run, or the saving of a new selection, to stop (the
    /// stop press, or Ctrl+C). Saving stops between two files.
    void requestStop();
    /// The new selection: asks whether to move the saved texts back when the
    /// percentage is stricter than the last saved one, then saves the
    /// selection of the stored scores again.
    void makeNewSelection();

    RunState state() const { return m_state; }
    /// A new selection is in progress.
    bool isSelecting() const { return m_selecting; }
    RunOutcome lastOutcome() const { return m_outcome; }
    const DocumentTable& documents() const { return m_documents; }
    /// The families of copies of the selection the table shows now.
    Families families() const;
    /// Documents that passed in the last comparison that ran to its end.
    int passedCount() const { return m_passed; }
    /// The allowed percentage with which texts were last moved; 0 until then.
    int lastSavedPercent() const { return m_saver.lastSavedPercent(); }
    /// The allowed percentage read when the last comparison stage started.
    int comparedPercent() const { return m_comparedPercent; }
    /// The allowed percentage of the selection the table shows now: that of
    /// the last comparison, or of the new selection made after it.
    int selectionPercent() const { return m_selectionPercent; }

    /// How many earlier documents the next comparisons rank per document
    /// (DocumentTable::rankedMatches); 0, the default, ranks none.
    void setRankedMatchCount(int count);
    /// How many threads read and fingerprint the files and compare them; 0,
    /// the default, one per processor. Scores do not depend on it.
    void setJobCount(int count);
    /// Where document `index` lies now, as raw file-system bytes: in the
    /// directory it was loaded from, else in the output directory the last
    /// saving used; empty when it is in neither. A reference text lies in its
    /// reference directory.
    QByteArray documentPath(std::int32_t index) const;
    /// Builds or refreshes the reference cache of `directory` under the
    /// host's settings, as a run would. Throws FileOpenError when the
    /// directory cannot be read, ReferenceCacheError when there is no cache.
    IndexChanges indexReferences(const QByteArray& directory);
    /// Adds the texts of `directory` to the host's team archive under the
    /// host's settings. Throws RunFailure, FileOpenError, Stopped.
    ArchiveAdded addToArchive(const QByteArray& directory);
    /// How many reference files the runs so far read and fingerprinted (the
    /// others came from the reference cache, touched ones whose bytes kept
    /// their checksum too).
    int referenceReads() const { return m_references.reads(); }
    /// The source directory (as a prefix) the table was loaded from; empty
    /// before the first run.
    const QByteArray& tableDirectory() const { return m_tableDirectory; }

private:
    using Output = SelectionSaver::Output;
    using SelectionNote = SelectionSaver::SelectionNote;

    void run();
    /// Clears the counters, bars, result and log for a new run.
    void showRunStart();
    /// Empties the table for the batch in `source`.
    void startTable(const QByteArray& source);
    /// Empties the table and forgets where it came from.
    void dropTable();
    /// Loads, compares and saves; returns how the run ended unless a stop
    /// (Stopped) or a failure to load (RunFailure) ended it.
    RunOutcome runStages(const QByteArray& source, const Output& output, SaveMode startMode,
                         const std::vector<DirectoryEntry>& listing);
    /// The references, then the batch, then the references' shared shingles.
    void loadAll(const QByteArray& source, const QByteArray& outputPath,
                 const std::vector<DirectoryEntry>& listing);
    /// Saves the compared selection as the host's save mode says now.
    void saveResults(SaveMode startMode, const Output& output);
    /// Lets the cache go and ends the run as `outcome` says.
    void finishRun(RunOutcome outcome);
    /// The source or output directory check ended the run: nothing was
    /// loaded, bSelect stays off.
    void endEarly(RunOutcome outcome);
    /// The number of files the loading stage will load.
    static int CountFiles(const std::vector<DirectoryEntry>& listing);
    /// Loads the batch. Throws RunFailure when a file cannot be
    /// fingerprinted, Stopped.
    void LoadTexts(const QByteArray& directory, const std::vector<DirectoryEntry>& listing,
                   int total);
    /// Says in the log that an entry is skipped, when it is a link or a temporary.
    void logSkipped(const DirectoryEntry& entry);
    /// Shows the loading progress after `count` files of `total`.
    void showLoaded(int count, int total);
    void logLoadedCount(int count);
    /// Appends a read file to the table, or lists it as not read. Throws
    /// RunFailure when the run cannot go on.
    void keepLoaded(const QByteArray& name, LoadedText loaded);
    /// Scores the batch. Throws Stopped, or what the index throws (out of memory).
    void CompareTexts(int percent);
    /// The index of `documents`, built on other threads while this one keeps
    /// the host's events flowing. Throws Stopped.
    std::unique_ptr<MatchIndex> buildIndex(std::span<const TudShingleList> documents);
    /// Scores the batch against the index in table order; returns how many passed.
    int scoreBatch(const MatchIndex& index, const IndexedDocuments& indexed, int percent);
    /// Makes the stored scores the selection of the host's percentage.
    void selectAgain();
    /// Ends the new selection and gives the buttons back.
    void endSelection();
    /// Saves the new selection as the host's save mode says.
    void saveNewSelection(int percent, const Output& output, const SelectionNote& note);
    bool stopRequested() const;
    void AddLog(const QString& message, PageSwitch page = PageSwitch::KeepPage);

    EngineHost& m_host;
    RunControl m_control;
    DocumentTable m_documents;
    ReferenceSet m_references;
    ArchiveSet m_archive;
    SelectionSaver m_saver;
    RunState m_state = RunState::Idle;
    RunOutcome m_outcome = RunOutcome::None;
    int m_passed = 0;
    int m_comparedPercent = 0;
    int m_selectionPercent = 0;
    int m_rankedMatchCount = 0;
    bool m_selecting = false;
    /// A stop press arrived while a new selection was being saved.
    bool m_selectionStopRequested = false;
    /// The source directory (as a prefix) the table was loaded from.
    QByteArray m_tableDirectory;
};

} // namespace quillmark
