// The team archive: the fingerprints of the texts a team accepted, kept on a
// PostgreSQL server that several machines add to and check against at once.
// Per text, its name, the directory it came from, who added it and when, and
// its shingles; per range of hashes and per adding, the texts holding them,
// so that a batch reads only the ranges its own hashes fall in.
#pragma once

#include "ArchiveConnection.h"
#include "analysis/udShingles.h"

#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace quillmark {

/// One archived text as a run lists it.
struct ArchivedText {
    std::int32_t id = 0;
    /// The directory it was added from and its file name (file-system bytes).
    QByteArray origin;
    QByteArray name;
    /// Its format and encoding, as a reference cache entry keeps them.
    QByteArray description;
};

/// One text to add: `settings` names how it was fingerprinted.
struct ArchiveAddition {
    QByteArray settings;
    QByteArray origin;
    QByteArray name;
    QByteArray description;
    std::vector<std::uint32_t> hashes;
};

/// How many texts, and shingles of theirs, the archive holds under one setting.
struct ArchiveCount {
    QByteArray settings;
    std::int64_t texts = 0;
    std::int64_t shingles = 0;
};

/// What checking the archive found.
struct ArchiveHealth {
    std::int64_t texts = 0;
    std::int64_t postingRows = 0;
    /// Postings of texts removed since, which lookups pass over.
    std::int64_t leftByRemovals = 0;
    /// Each fault found, in the user's terms; empty when none.
    QStringList problems;
};

class TeamArchive {
public:
    static constexpr int SchemaVersion = 1;
    /// A hash's top bits name its posting range.
    static constexpr int RangeBits = 12;
    static std::int32_t rangeOf(std::uint32_t hash) {
        return static_cast<std::int32_t>(hash >> (32 - RangeBits));
    }

    /// Connects and creates the tables when the database has none. Throws
    /// ArchiveError, also for a schema newer than this program's, which is
    /// left as it is.
    explicit TeamArchive(const QByteArray& uri);

    const QString& shownName() const { return m_connection.shownName(); }
    /// How many texts the archive holds, under any settings.
    std::int64_t size();

    /// Makes the next lookups see one state of the archive, until endSnapshot().
    void beginSnapshot();
    void endSnapshot();
    /// The texts fingerprinted under `settings`, in the order they were added.
    std::vector<ArchivedText> texts(const QByteArray& settings);
    /// The texts under `settings` holding one of `hashes` (sorted, distinct),
    /// sorted; removed texts may be among them.
    std::vector<std::int32_t> textsSharing(const QByteArray& settings,
                                           std::span<const std::uint32_t> hashes);
    /// The shingles of the texts of `ids` still archived, by id.
    std::vector<std::pair<std::int32_t, TudShingleList>>
    shinglesOf(std::span<const std::int32_t> ids);

    /// Starts adding: everything staged until finishAdding() is one
    /// transaction, and nothing of it stays when abandonAdding() or a failure
    /// ends it first.
    void beginAdding();
    void stage(ArchiveAddition addition);
    /// Asks the server whether it is still there; throws ArchiveError if not.
    void confirmReachable();
    /// Adds what was staged; returns how many were new (a text of the same
    /// settings, directory and name is kept once).
    int finishAdding();
    void abandonAdding();
    bool adding() const { return m_adding; }

    /// Removes the texts added from `origin`: those of `names`, or all of
    /// them when `names` is empty. Returns how many went.
    int remove(const QByteArray& origin, const std::vector<QByteArray>& names);
    /// The counts per settings, in the order of the settings' names.
    std::vector<ArchiveCount> counts();
    /// Reads the whole archive from one state and checks that its postings
    /// and its texts agree.
    ArchiveHealth check();

private:
    void ensureSchema();
    void createSchema();
    std::vector<std::int32_t> reserveIds(std::size_t count);
    /// Copies the staged texts into the transaction's staging table.
    void copyStaged(const std::vector<std::int32_t>& ids);
    /// Writes the postings of the texts of `fresh` (ascending), a part of
    /// those staged as `ids`, under `batch`.
    void copyPostings(const std::vector<std::int32_t>& ids, const std::vector<std::int32_t>& fresh,
                      std::int32_t batch);

    ArchiveConnection m_connection;
    std::vector<ArchiveAddition> m_staged;
    bool m_adding = false;
    bool m_inSnapshot = false;
};

} // namespace quillmark
