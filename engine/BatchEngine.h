// The batch run over a source directory, the saving of its selection and the
// new selection of a finished run. The host is called only on the caller's
// thread (files are read and compared on a pool of threads meanwhile); it is
// asked to handle pending events once per file and while waiting, which is
// where a stop request arrives.
#pragma once

#include "DirectoryListing.h"
#include "DocumentTable.h"
#include "EngineHost.h"
#include "FileTransfer.h"
#include "LocalTime.h"
#include "ParallelLoader.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <span>
#include <vector>

namespace quillmark {

class MatchIndex;
class ReferenceCache;
struct CachedFile;

/// What refreshing the cache of a reference directory found.
struct IndexChanges {
    int added = 0;
    int changed = 0;
    int removed = 0;
    int unchanged = 0;
    /// Whether the changes are in the cache; the counts say what they were.
    bool stored = false;
    /// A stop ended the indexing: nothing of it was stored.
    bool stopped = false;
    /// Why nothing was stored, when it was not and no stop ended it.
    QString failure;
};

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
    /// Documents that passed in the last comparison that ran to its end.
    int passedCount() const { return m_passed; }
    /// The allowed percentage with which texts were last moved; 0 until then.
    int lastSavedPercent() const { return m_lastSavedPercent; }
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
    /// How many reference files the runs so far read and fingerprinted (the
    /// others came from the reference cache, touched ones whose bytes kept
    /// their checksum too).
    int referenceReads() const { return m_referenceReads; }
    /// The source directory (as a prefix) the table was loaded from; empty
    /// before the first run.
    const QByteArray& tableDirectory() const { return m_tableDirectory; }

private:
    enum class LoadResult { Loaded, Stopped, Failed };

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

    void run();
    /// The reference directories of this run, in order: the output directory
    /// (when asked and present), then the host's; the source directory and
    /// repeats are left out.
    std::vector<QByteArray> referenceDirectories(const QByteArray& source,
                                                 const QByteArray& output);
    /// Opens the reference cache, or says in the log why the run goes without.
    void openReferenceCache();
    /// Says that the cache was found damaged and made anew, once a run.
    void logCacheRebuilt();
    /// Puts the texts of the reference directories at the head of the table.
    LoadResult LoadReferences(const std::vector<QByteArray>& directories);
    /// Throws FileOpenError when the directory cannot be listed.
    /// Whether a file's time is so recent that a rewrite within the file
    /// system's time step could keep it.
    static bool isUnsettled(const FileIdentity& identity);
    /// What the reference cache knows a directory by: its canonical path.
    static QByteArray cacheKeyOf(const QByteArray& directory);
    void loadReferenceDirectory(const QByteArray& directory);
    void appendReference(const QByteArray& directory, const QByteArray& name,
                         const FileIdentity& identity, const FingerprintSettings& settings,
                         const TextOrigin& origin);
    /// A reference whose cached fingerprint stands; its shingles come later.
    void keepCached(const QByteArray& directory, const QByteArray& name,
                    const FileIdentity& identity, const CachedFile& file);
    /// A reason a file was not read, in the run's language.
    static QString translatedReason(const QString& reason);
    void logUnreadReference(const QByteArray& path, const QString& reason);
    /// Gives the cached references the batch shares a hash with their
    /// shingles; the others cannot score above 0 and stay without.
    void loadSharedReferences();
    /// How the run turns bytes into text, as the cache keeps it.
    QByteArray readingKey();
    /// Adds the texts the last saving put into the output directory to the cache.
    void cacheSavedTexts(const QByteArray& output);
    /// The source or output directory check ended the run: nothing was
    /// loaded, bSelect stays off.
    void endEarly(RunOutcome outcome);
    /// The number of files the loading stage will load.
    static int CountFiles(const std::vector<DirectoryEntry>& listing);
    /// Whether the loading stage reads the entry as a text of the batch.
    static bool isBatchText(const DirectoryEntry& entry);
    LoadResult LoadTexts(const QByteArray& directory, const std::vector<DirectoryEntry>& listing,
                         int total);
    /// The settings the host shows now, for a file yet to be named.
    LoadJob settingsNow();
    /// Reads and fingerprints one reference file into table entry `entry`.
    /// Throws FileOpenError, UnreadableText, or what fingerprinting throws.
    void LoadText(const QByteArray& path, std::int32_t entry);
    static LoadJob withPath(LoadJob settings, const QByteArray& path);
    /// Appends a read file to the table, or lists it as not read; shows the
    /// error and returns false when the run cannot go on.
    bool keepLoaded(const QByteArray& name, LoadedText loaded);
    /// ", не прочитано - N" when the run met unreadable files, else empty.
    QString unreadNote() const;
    /// Returns whether the stage ran to its end.
    bool CompareTexts(int percent);
    /// The index of `documents`, built on other threads while this one keeps
    /// the host's events flowing; null when a stop ended the build.
    std::unique_ptr<MatchIndex> buildIndex(std::span<const TudShingleList> documents, int threads);
    int threadCount() const;
    /// The compared documents scoring at most `percent`, in table order.
    std::vector<std::int32_t> selectionOf(int percent) const;
    /// Saves the compared documents scoring at most `percent` from the
    /// directory the table was loaded from into the output directory.
    /// Each document's outcome lands in the table (saveOutcomes); returns
    /// whether it ran to its end.
    bool SaveSelection(int percent, SaveMode mode, const QString& outputDirectory,
                       const QByteArray& outputPath, const SelectionNote& note);
    /// Saves one document and records what became of it.
    void saveDocument(std::int32_t index, TransferMode mode, const QByteArray& output,
                      const QString& outputDirectory);
    bool stopRequested() const;
    /// Creates the output directory when missing (that one level); logs and
    /// returns false when it cannot.
    bool ensureOutputDirectory(const QString& outputDirectory, const QByteArray& outputPath);
    void AddLog(const QString& message, PageSwitch page = PageSwitch::KeepPage);
    static void MoveFilesBack(const QByteArray& from, const QByteArray& to);
    /// Removes the output directory this run made when the run did not save
    /// to its end and nothing was put in it.
    void removeUnusedOutput();
    /// How many compared documents scoring above `percent` lie in `directory`.
    int failingIn(const QByteArray& directory, int percent) const;
    /// Both prefixes name one existing directory (or are equal bytes).
    static bool sameDirectory(const QByteArray& a, const QByteArray& b);
    static QString describeSettings(const FingerprintSettings& settings);
    /// Says in the log which settings the stored scores were made with, when
    /// the controls no longer show them.
    void logChangedSettings();
    void showError(const QString& text);

    EngineHost& m_host;
    DocumentTable m_documents;
    RunState m_state = RunState::Idle;
    RunOutcome m_outcome = RunOutcome::None;
    int m_passed = 0;
    int m_lastSavedPercent = 0;
    int m_comparedPercent = 0;
    int m_selectionPercent = 0;
    int m_rankedMatchCount = 0;
    int m_jobCount = 0;
    /// The output directory (as a prefix) the last saving wrote to.
    QByteArray m_savedDirectory;
    bool m_selecting = false;
    /// A stop press arrived while a new selection was being saved.
    bool m_selectionStopRequested = false;
    /// The source directory (as a prefix) the table was loaded from.
    QByteArray m_tableDirectory;
    /// The output directory the run at hand made; empty when it made none.
    QByteArray m_createdOutput;
    LocalTime m_clock;
    /// The reference cache of the running run; null without one.
    std::unique_ptr<ReferenceCache> m_cache;
    /// The output directory is a reference directory of the running run.
    bool m_againstOutput = false;
    int m_referenceReads = 0;
    /// What the last reference directory load found against the cache.
    IndexChanges m_indexChanges;
    struct PendingReference;
    /// The references of the running run whose shingles wait in the cache.
    std::vector<PendingReference> m_pending;
    /// The cache's count of other programs' writes when its files were read.
    std::int64_t m_cacheGeneration = 0;
    bool m_rebuildLogged = false;
};

} // namespace quillmark
