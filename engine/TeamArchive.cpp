#include "TeamArchive.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <unordered_map>

namespace quillmark {

// Hashes travel as little-endian 32-bit words, as this machine holds them.
static_assert(std::endian::native == std::endian::little, "archived hashes are little-endian");

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TeamArchive", text);
}

/// Any constant: it serialises creating and upgrading the schema.
constexpr const char* SchemaLock = "SELECT pg_advisory_xact_lock(7368150271)";

// The postings are laid out for distribution by range (Citus distributes
// archive_postings by `range`; archive_texts stays a reference table).
const char* const SchemaSql =
    "CREATE TABLE quillmark_schema(version integer NOT NULL);"
    "CREATE SEQUENCE archive_text_ids AS integer;"
    "CREATE TABLE archive_texts("
    " id integer PRIMARY KEY, batch integer NOT NULL, settings text NOT NULL,"
    " origin bytea NOT NULL, name bytea NOT NULL,"
    " added_by text NOT NULL DEFAULT current_user,"
    " added_at timestamptz NOT NULL DEFAULT now(), description text NOT NULL,"
    " UNIQUE(settings, origin, name));"
    // Apart from the texts, so that listing them reads a small table.
    "CREATE TABLE archive_hashes("
    " id integer PRIMARY KEY REFERENCES archive_texts ON DELETE CASCADE,"
    " hashes bytea NOT NULL);"
    "CREATE INDEX archive_texts_batch ON archive_texts(batch);"
    "CREATE TABLE archive_postings("
    " range integer NOT NULL, settings text NOT NULL, batch integer NOT NULL,"
    " entries bytea NOT NULL, PRIMARY KEY(range, settings, batch));"
    // Hashes do not compress: not trying saves the time.
    "ALTER TABLE archive_postings ALTER COLUMN entries SET STORAGE EXTERNAL;"
    "ALTER TABLE archive_hashes ALTER COLUMN hashes SET STORAGE EXTERNAL;"
    "INSERT INTO quillmark_schema VALUES (1);";

std::uint32_t readBig32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return __builtin_bswap32(value);
}

std::uint32_t readLittle32(const char* at) {
    std::uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

QByteArray hashBytes(const std::vector<std::uint32_t>& hashes) {
    return QByteArray(reinterpret_cast<const char*>(hashes.data()),
                      static_cast<qsizetype>(hashes.size() * 4));
}

/// "{1,2,3}": an integer array parameter.
template <class Numbers> QByteArray arrayText(const Numbers& numbers) {
    QByteArray text = "{";
    for (const auto number : numbers) {
        if (text.size() > 1)
            text += ',';
        text += QByteArray::number(number);
    }
    return text + '}';
}

} // namespace

TeamArchive::TeamArchive(const QByteArray& uri)
    : m_connection(uri) {
    ensureSchema();
}

void TeamArchive::ensureSchema() {
    m_connection.run("BEGIN");
    m_connection.run(SchemaLock);
    const QueryRows found = m_connection.run("SELECT to_regclass('quillmark_schema') IS NOT NULL");
    if (found.view(0, 0) != "t") {
        createSchema();
        m_connection.run("COMMIT");
        return;
    }
    const QueryRows version = m_connection.run("SELECT max(version) FROM quillmark_schema");
    const std::int64_t stored = version.isNull(0, 0) ? 0 : version.number(0, 0);
    m_connection.run("ROLLBACK");
    if (stored != SchemaVersion)
        throw ArchiveError(
            tr("Общий архив %1 устроен по схеме версии %2, эта программа знает версию %3; "
               "архив оставлен как есть")
                .arg(shownName())
                .arg(stored)
                .arg(SchemaVersion)
                .toStdString());
}

void TeamArchive::createSchema() {
    m_connection.runScript(SchemaSql);
}

std::int64_t TeamArchive::size() {
    return m_connection.run("SELECT count(*) FROM archive_texts").number(0, 0);
}

void TeamArchive::beginSnapshot() {
    assert(!m_adding && "a snapshot reads outside an adding");
    m_connection.run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    m_inSnapshot = true;
}

void TeamArchive::endSnapshot() {
    if (std::exchange(m_inSnapshot, false))
        m_connection.run("COMMIT");
}

std::vector<ArchivedText> TeamArchive::texts(const QByteArray& settings) {
    const QueryRows rows = m_connection.run(
        "SELECT id, origin, name, description FROM archive_texts WHERE settings = $1 ORDER BY id",
        {settings}, true);
    std::vector<ArchivedText> texts(static_cast<std::size_t>(rows.count()));
    for (int row = 0; row < rows.count(); ++row) {
        ArchivedText& text = texts[static_cast<std::size_t>(row)];
        text.id = static_cast<std::int32_t>(readBig32(rows.view(row, 0).data()));
        text.origin = rows.bytes(row, 1);
        text.name = rows.bytes(row, 2);
        text.description = rows.bytes(row, 3);
    }
    return texts;
}

namespace {

/// Appends the texts of `entries` (hash, id pairs sorted by hash) whose hash
/// is among `hashes` (sorted).
void appendSharing(std::string_view entries, std::span<const std::uint32_t> hashes,
                   std::vector<std::int32_t>& found) {
    std::size_t at = 0;
    for (std::size_t i = 0; i + 8 <= entries.size() && at < hashes.size(); i += 8) {
        const std::uint32_t hash = readLittle32(entries.data() + i);
        while (at < hashes.size() && hashes[at] < hash)
            ++at;
        if (at < hashes.size() && hashes[at] == hash)
            found.push_back(static_cast<std::int32_t>(readLittle32(entries.data() + i + 4)));
    }
}

} // namespace

std::vector<std::int32_t> TeamArchive::textsSharing(const QByteArray& settings,
                                                    std::span<const std::uint32_t> hashes) {
    std::vector<std::int32_t> ranges;
    for (const std::uint32_t hash : hashes)
        if (ranges.empty() || ranges.back() != rangeOf(hash))
            ranges.push_back(rangeOf(hash));
    std::vector<std::int32_t> found;
    if (ranges.empty())
        return found;
    const QueryRows rows = m_connection.run(
        "SELECT range, entries FROM archive_postings WHERE settings = $1 AND range = ANY($2)",
        {settings, arrayText(ranges)}, true);
    for (int row = 0; row < rows.count(); ++row) {
        const auto range = static_cast<std::int32_t>(readBig32(rows.view(row, 0).data()));
        const auto first = std::lower_bound(
            hashes.begin(), hashes.end(), range,
            [](std::uint32_t hash, std::int32_t wanted) { return rangeOf(hash) < wanted; });
        const auto last = std::find_if(
            first, hashes.end(), [range](std::uint32_t hash) { return rangeOf(hash) != range; });
        appendSharing(rows.view(row, 1), {first, last}, found);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

std::vector<std::pair<std::int32_t, TudShingleList>>
TeamArchive::shinglesOf(std::span<const std::int32_t> ids) {
    std::vector<std::pair<std::int32_t, TudShingleList>> lists;
    if (ids.empty())
        return lists;
    const QueryRows rows =
        m_connection.run("SELECT id, hashes FROM archive_hashes WHERE id = ANY($1) ORDER BY id",
                         {arrayText(ids)}, true);
    lists.reserve(static_cast<std::size_t>(rows.count()));
    for (int row = 0; row < rows.count(); ++row) {
        const std::string_view bytes = rows.view(row, 1);
        TudShingleList list;
        list.Hashes.resize(bytes.size() / 4);
        std::memcpy(list.Hashes.data(), bytes.data(), list.Hashes.size() * 4);
        list.Count = static_cast<std::int32_t>(list.Hashes.size());
        lists.emplace_back(static_cast<std::int32_t>(readBig32(rows.view(row, 0).data())),
                           std::move(list));
    }
    return lists;
}

void TeamArchive::beginAdding() {
    assert(!m_adding && !m_inSnapshot && "one transaction at a time");
    m_connection.run("BEGIN");
    m_adding = true;
    m_staged.clear();
}

void TeamArchive::stage(ArchiveAddition addition) {
    assert(m_adding && "texts are staged inside an adding");
    m_staged.push_back(std::move(addition));
}

void TeamArchive::confirmReachable() {
    m_connection.run("SELECT 1");
}

void TeamArchive::abandonAdding() {
    if (!std::exchange(m_adding, false))
        return;
    m_staged.clear();
    try {
        m_connection.run("ROLLBACK");
    } catch (const ArchiveError&) {
        // A lost connection took the transaction with it.
    }
}

std::vector<std::int32_t> TeamArchive::reserveIds(std::size_t count) {
    const QueryRows rows =
        m_connection.run("SELECT nextval('archive_text_ids') FROM generate_series(1, $1)",
                         {QByteArray::number(static_cast<qulonglong>(count))});
    std::vector<std::int32_t> ids(count);
    for (int row = 0; row < rows.count(); ++row)
        ids[static_cast<std::size_t>(row)] = static_cast<std::int32_t>(rows.number(row, 0));
    std::sort(ids.begin(), ids.end());
    return ids;
}

void TeamArchive::copyStaged(const std::vector<std::int32_t>& ids) {
    m_connection.run("CREATE TEMPORARY TABLE archive_staging(id integer, settings text,"
                     " origin bytea, name bytea, description text, hashes bytea) ON COMMIT DROP");
    CopyRows rows;
    for (std::size_t i = 0; i < m_staged.size(); ++i) {
        const ArchiveAddition& text = m_staged[i];
        rows.beginRow(6);
        rows.addInt32(ids[i]);
        rows.addBytes(text.settings);
        rows.addBytes(text.origin);
        rows.addBytes(text.name);
        rows.addBytes(text.description);
        rows.addBytes(hashBytes(text.hashes));
    }
    m_connection.copyIn("COPY archive_staging FROM STDIN (FORMAT binary)", rows.finish());
}

void TeamArchive::copyPostings(const std::vector<std::int32_t>& ids,
                               const std::vector<std::int32_t>& fresh, std::int32_t batch) {
    // Per settings, per range: the (hash, text) pairs of the texts new here.
    std::vector<std::pair<QByteArray, std::vector<std::vector<std::uint64_t>>>> bySettings;
    std::size_t at = 0;
    for (const std::int32_t id : fresh) {
        // Both lists ascend: the staged text of each new id is found walking.
        while (ids[at] != id)
            ++at;
        const ArchiveAddition& text = m_staged[at];
        auto settings = std::find_if(bySettings.begin(), bySettings.end(), [&](const auto& entry) {
            return entry.first == text.settings;
        });
        if (settings == bySettings.end())
            settings = bySettings.insert(
                bySettings.end(),
                {text.settings, std::vector<std::vector<std::uint64_t>>(1u << RangeBits)});
        for (const std::uint32_t hash : text.hashes)
            settings->second[static_cast<std::size_t>(rangeOf(hash))].push_back(
                std::uint64_t{hash} << 32 | static_cast<std::uint32_t>(id));
    }
    CopyRows rows;
    for (auto& [settings, ranges] : bySettings)
        for (std::size_t range = 0; range < ranges.size(); ++range) {
            std::vector<std::uint64_t>& pairs = ranges[range];
            if (pairs.empty())
                continue;
            // A text holding a hash twice is named once.
            std::sort(pairs.begin(), pairs.end());
            pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
            QByteArray entries(static_cast<qsizetype>(pairs.size() * 8), Qt::Uninitialized);
            for (std::size_t i = 0; i < pairs.size(); ++i) {
                const std::uint32_t pair[2] = {static_cast<std::uint32_t>(pairs[i] >> 32),
                                               static_cast<std::uint32_t>(pairs[i])};
                std::memcpy(entries.data() + i * 8, pair, 8);
            }
            rows.beginRow(4);
            rows.addInt32(static_cast<std::int32_t>(range));
            rows.addBytes(settings);
            rows.addInt32(batch);
            rows.addBytes(entries);
        }
    if (!rows.empty())
        m_connection.copyIn("COPY archive_postings(range, settings, batch, entries)"
                            " FROM STDIN (FORMAT binary)",
                            rows.finish());
}

int TeamArchive::finishAdding() {
    assert(m_adding && "finishes an adding begun");
    try {
        int added = 0;
        if (!m_staged.empty()) {
            const std::vector<std::int32_t> ids = reserveIds(m_staged.size());
            copyStaged(ids);
            const QueryRows inserted = m_connection.run(
                "INSERT INTO archive_texts(id, batch, settings, origin, name, description)"
                " SELECT id, $1, settings, origin, name, description"
                " FROM archive_staging ORDER BY id ON CONFLICT DO NOTHING RETURNING id",
                {QByteArray::number(ids.front())});
            // The ids are new: those now in the archive are the ones just added.
            m_connection.run("INSERT INTO archive_hashes SELECT s.id, s.hashes"
                             " FROM archive_staging s JOIN archive_texts t ON t.id = s.id");
            std::vector<std::int32_t> fresh;
            for (int row = 0; row < inserted.count(); ++row)
                fresh.push_back(static_cast<std::int32_t>(inserted.number(row, 0)));
            std::sort(fresh.begin(), fresh.end());
            added = static_cast<int>(fresh.size());
            copyPostings(ids, fresh, ids.front());
        }
        m_connection.run("COMMIT");
        m_adding = false;
        m_staged.clear();
        return added;
    } catch (...) {
        abandonAdding();
        throw;
    }
}

int TeamArchive::remove(const QByteArray& origin, const std::vector<QByteArray>& names) {
    beginAdding();
    try {
        int removed = 0;
        const auto removeWhere = [&](const char* sql, std::initializer_list<QueryValue> values) {
            removed += m_connection.run(sql, values).count();
        };
        if (names.empty())
            removeWhere("DELETE FROM archive_texts WHERE origin = $1 RETURNING batch",
                        {QueryValue(origin, true)});
        for (const QByteArray& name : names)
            removeWhere("DELETE FROM archive_texts WHERE origin = $1 AND name = $2 RETURNING batch",
                        {QueryValue(origin, true), QueryValue(name, true)});
        // The postings of an adding none of whose texts is left go with it;
        // the others name removed texts, which lookups pass over.
        m_connection.run("DELETE FROM archive_postings p WHERE NOT EXISTS"
                         " (SELECT 1 FROM archive_texts t WHERE t.batch = p.batch)");
        m_connection.run("COMMIT");
        m_adding = false;
        return removed;
    } catch (...) {
        abandonAdding();
        throw;
    }
}

std::vector<ArchiveCount> TeamArchive::counts() {
    const QueryRows rows = m_connection.run(
        "SELECT settings, count(*), coalesce(sum(length(hashes) / 4), 0)"
        " FROM archive_texts JOIN archive_hashes USING (id) GROUP BY settings ORDER BY settings");
    std::vector<ArchiveCount> counts;
    for (int row = 0; row < rows.count(); ++row)
        counts.push_back({rows.bytes(row, 0), rows.number(row, 1), rows.number(row, 2)});
    return counts;
}

namespace {

/// Whether the (hash, text) pairs of `entries` ascend without repeats.
bool strictlyAscending(std::string_view entries) {
    std::uint64_t before = 0;
    for (std::size_t i = 0; i + 8 <= entries.size(); i += 8) {
        const std::uint64_t now = std::uint64_t{readLittle32(entries.data() + i)} << 32 |
                                  readLittle32(entries.data() + i + 4);
        if (i > 0 && now <= before)
            return false;
        before = now;
    }
    return true;
}

std::int64_t distinctHashes(std::string_view bytes) {
    std::vector<std::uint32_t> hashes(bytes.size() / 4);
    std::memcpy(hashes.data(), bytes.data(), hashes.size() * 4);
    std::sort(hashes.begin(), hashes.end());
    return std::unique(hashes.begin(), hashes.end()) - hashes.begin();
}

} // namespace

ArchiveHealth TeamArchive::check() {
    ArchiveHealth health;
    beginSnapshot();
    // Per live text: its hash count, less each posting naming it.
    std::unordered_map<std::int32_t, std::int64_t> unposted;
    const QueryRows texts = m_connection.run(
        "SELECT id, name, hashes FROM archive_texts JOIN archive_hashes USING (id)", {}, true);
    health.texts = texts.count();
    const std::int64_t bare = m_connection
                                  .run("SELECT count(*) FROM archive_texts t WHERE NOT EXISTS"
                                       " (SELECT 1 FROM archive_hashes h WHERE h.id = t.id)")
                                  .number(0, 0);
    if (bare > 0)
        health.problems << tr("текстов без отпечатка - %1").arg(bare);
    for (int row = 0; row < texts.count(); ++row) {
        const std::string_view hashes = texts.view(row, 2);
        const auto id = static_cast<std::int32_t>(readBig32(texts.view(row, 0).data()));
        unposted[id] = distinctHashes(hashes);
        if (hashes.size() % 4 != 0)
            health.problems << tr("текст %1 (№%2): отпечаток повреждён")
                                   .arg(QFile::decodeName(texts.bytes(row, 1)))
                                   .arg(id);
    }
    const QueryRows postings =
        m_connection.run("SELECT range, entries FROM archive_postings", {}, true);
    health.postingRows = postings.count();
    for (int row = 0; row < postings.count(); ++row) {
        const auto range = static_cast<std::int32_t>(readBig32(postings.view(row, 0).data()));
        const std::string_view entries = postings.view(row, 1);
        bool inRange = entries.size() % 8 == 0 && strictlyAscending(entries);
        for (std::size_t i = 0; i + 8 <= entries.size(); i += 8) {
            inRange = inRange && rangeOf(readLittle32(entries.data() + i)) == range;
            const auto hit =
                unposted.find(static_cast<std::int32_t>(readLittle32(entries.data() + i + 4)));
            if (hit == unposted.end())
                ++health.leftByRemovals;
            else
                --hit->second;
        }
        if (!inRange)
            health.problems << tr("строка указателей диапазона %1 повреждена").arg(range);
    }
    for (const auto& [id, missing] : unposted)
        if (missing != 0)
            health.problems
                << tr("текст №%1: указатели не сходятся с отпечатком (%2)").arg(id).arg(missing);
    endSnapshot();
    return health;
}

} // namespace quillmark
