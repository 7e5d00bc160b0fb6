// The team archive in a run: its texts fingerprinted under the run's settings
// join the reference texts at the head of the table, those the batch shares
// a hash with get their shingles, and the texts the run saves are added to
// it. Also adds a directory's texts for "archive add".
#pragma once

#include "DocumentTable.h"
#include "ParallelLoader.h"
#include "RunControl.h"
#include "TeamArchive.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillmark {

/// What adding a directory to the archive did.
struct ArchiveAdded {
    int added = 0;
    /// Already in the archive under these settings.
    int present = 0;
    int unread = 0;
};

class ArchiveSet {
public:
    ArchiveSet(RunControl& control, DocumentTable& documents);
    ~ArchiveSet();
    ArchiveSet(const ArchiveSet&) = delete;
    ArchiveSet& operator=(const ArchiveSet&) = delete;

    /// How a text fingerprinted with `settings`, read with `encoding`, is
    /// filed in the archive.
    static QByteArray settingsKey(const FingerprintSettings& settings, Encoding encoding);
    /// The directory as the archive files it: its canonical path, no final "/".
    static QByteArray originOf(const QByteArray& directory);
    /// How the archive names an archived text in the results.
    static QByteArray referenceDirectoryOf(const QByteArray& origin);
    /// Whether a reference's path names an archived text, which has no file.
    static bool isArchivedPath(const QByteArray& path) { return path.startsWith("archive:"); }

    /// Connects to the host's archive when it names one. Throws RunFailure
    /// when it cannot be used: the run then ends before anything is saved.
    void open();
    bool isOpen() const { return m_archive != nullptr; }
    /// Puts the archived texts of the run's settings after the reference
    /// texts at the head of the table, without their shingles.
    void appendTexts();
    /// Gives those the batch shares a hash with their shingles. Throws RunFailure.
    void loadShared();

    /// Starts recording the texts a saving puts into `output` (a prefix);
    /// nothing without an archive.
    void beginRecording(const QByteArray& output);
    /// Records document `index` before it is saved; the reason it cannot be
    /// (the archive was lost), empty when it was recorded.
    QString record(std::int32_t index);
    /// Adds what was recorded of the texts that were saved, in one
    /// transaction; the reason when none of it could be, empty otherwise.
    QString finishRecording();
    bool recording() const { return m_recording; }

    /// Adds the texts of `directory` under the host's settings, a
    /// transaction per few thousand. Throws RunFailure, Stopped.
    ArchiveAdded addDirectory(const QByteArray& directory);

    void close();

private:
    void stageLoaded(const QByteArray& origin, const QByteArray& name, const LoadedText& loaded,
                     ArchiveAdded& counts);
    /// Ends the listing's snapshot; throws RunFailure.
    void endSnapshot();
    [[noreturn]] void fail(const ArchiveError& error) const;

    RunControl& m_control;
    DocumentTable& m_documents;
    std::unique_ptr<TeamArchive> m_archive;
    /// Table entries of the archived texts, and their archive ids, in order.
    std::int32_t m_firstEntry = 0;
    std::vector<std::int32_t> m_ids;
    /// The settings the texts were listed under: the lookups keep to them.
    QByteArray m_listedSettings;
    QByteArray m_recordedOutput;
    /// The documents recorded for the saving under way.
    std::vector<std::int32_t> m_recorded;
    /// Why the archive stopped taking the saved texts; empty while it takes them.
    QString m_lost;
    bool m_recording = false;
};

} // namespace quillmark
