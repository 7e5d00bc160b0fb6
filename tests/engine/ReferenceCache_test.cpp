#include "Sandbox.h"
#include "engine/ReferenceCache.h"

#include <QFile>

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

CachedFingerprint fingerprint(std::uint32_t seed, int count) {
    CachedFingerprint entry;
    entry.version = {count * 10, seed * 1000LL, seed * 1001LL, seed};
    entry.checksum = seed * 2654435761u;
    entry.settings = {3 + static_cast<int>(seed % 5), seed % 2 ? Truncation::On : Truncation::Off,
                      seed % 3 ? HtmlHandling::Keep : HtmlHandling::Cut};
    entry.reading = "auto";
    entry.description = "UTF-8";
    for (int i = 0; i < count; ++i)
        entry.shingles.Hashes.push_back(seed * 7919u + static_cast<std::uint32_t>(i) * 31u);
    entry.shingles.Count = count;
    return entry;
}

void expectSame(const CachedFingerprint& a, const CachedFingerprint& b) {
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.checksum, b.checksum);
    EXPECT_EQ(a.settings.shingleLength, b.settings.shingleLength);
    EXPECT_EQ(a.settings.truncation, b.settings.truncation);
    EXPECT_EQ(a.settings.html, b.settings.html);
    EXPECT_EQ(a.reading, b.reading);
    EXPECT_EQ(a.description, b.description);
    EXPECT_EQ(a.shingles.Hashes, b.shingles.Hashes);
    EXPECT_EQ(a.shingles.Count, b.shingles.Count);
}

/// A SQLite file made by someone else: `id` and `version` as its header says.
void makeDatabase(const QByteArray& path, int id, int version) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
    const QByteArray sql = "CREATE TABLE t(x); PRAGMA application_id=" + QByteArray::number(id) +
                           "; PRAGMA user_version=" + QByteArray::number(version) + ";";
    EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST(ReferenceCache, KeepsEntriesPerDirectoryAcrossOpenings) {
    Sandbox box;
    const QByteArray path = QFile::encodeName(box.path("cache/references.sqlite"));
    const CachedFingerprint a = fingerprint(1, 400), b = fingerprint(2, 1), c = fingerprint(3, 7);
    {
        ReferenceCache cache(path);
        EXPECT_FALSE(cache.wasRebuilt());
        cache.update("/refs/", {{"a.txt", &a}, {"b\xfe.txt", &b}}, {});
        cache.update("/other/", {{"a.txt", &c}}, {});
    }
    ReferenceCache cache(path);
    auto found = cache.entries("/refs/");
    ASSERT_EQ(found.size(), 2u);
    expectSame(found.at("a.txt"), a);
    expectSame(found.at("b\xfe.txt"), b);

    // A changed file replaces its entry, a gone one is dropped, and another
    // directory's entry of the same name is not touched.
    cache.update("/refs/", {{"a.txt", &c}}, {"b\xfe.txt"});
    found = cache.entries("/refs/");
    ASSERT_EQ(found.size(), 1u);
    expectSame(found.at("a.txt"), c);
    expectSame(cache.entries("/other/").at("a.txt"), c);
    EXPECT_TRUE(cache.entries("/none/").empty());
}

TEST(ReferenceCache, LeavesOtherDatabasesAloneAndMovesDamagedOnesAside) {
    struct Case {
        const char* what;
        int id;
        int version;
        bool refused;
    };
    const Case cases[] = {
        {"another program's", 0x12345678, 1, true},
        {"no application mark", 0, 1, true},
        {"a newer version", 0x514D524B, 3, true},
        {"an older version", 0x514D524B, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        const QByteArray path = QFile::encodeName(box.path("db.sqlite"));
        makeDatabase(path, c.id, c.version);
        QFile file(QFile::decodeName(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        EXPECT_THROW(ReferenceCache{path}, ReferenceCacheError);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
    }

    // Bytes that are no database at all are a damaged cache: kept under
    // another name (never over an earlier one), and a new cache is made.
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("c"));
    box.write(dir, "r.sqlite", QByteArray(8192, 'x'));
    box.write(dir, "r.sqlite.damaged", "an earlier damaged cache");
    const QByteArray path = QFile::encodeName(dir) + "r.sqlite";
    ReferenceCache cache(path);
    EXPECT_TRUE(cache.wasRebuilt());
    EXPECT_EQ(Sandbox::read(dir, "r.sqlite.damaged.2"), QByteArray(8192, 'x'));
    EXPECT_EQ(Sandbox::read(dir, "r.sqlite.damaged"), "an earlier damaged cache");
    const CachedFingerprint a = fingerprint(4, 9);
    cache.update("/d/", {{"a", &a}}, {});
    expectSame(cache.entries("/d/").at("a"), a);
}

TEST(ReferenceCache, AKilledWriterLeavesAUsableCache) {
    Sandbox box;
    const QByteArray path = QFile::encodeName(box.path("kill.sqlite"));
    const CachedFingerprint first = fingerprint(5, 50);
    ReferenceCache(path).update("/d/", {{"first", &first}}, {});

    // The child rewrites the directory without end; it is killed wherever it is.
    // Killed after its first rewrite, so in the middle of a later one.
    int firstRound[2];
    ASSERT_EQ(::pipe(firstRound), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ReferenceCache cache(path);
        for (std::uint32_t round = 0;; ++round) {
            std::vector<CachedFingerprint> entries;
            for (std::uint32_t i = 0; i < 200; ++i)
                entries.push_back(fingerprint(round * 200 + i, 300));
            std::map<QByteArray, const CachedFingerprint*> changed;
            for (std::uint32_t i = 0; i < 200; ++i)
                changed.emplace("n" + QByteArray::number(i), &entries[i]);
            cache.update("/d/", changed, {});
            if (round == 0)
                (void)!::write(firstRound[1], "y", 1);
        }
    }
    char done = 0;
    ASSERT_EQ(::read(firstRound[0], &done, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    ReferenceCache cache(path);
    EXPECT_FALSE(cache.wasRebuilt());
    const auto found = cache.entries("/d/");
    expectSame(found.at("first"), first);
    // Every entry is whole: the hashes are those its seed gives.
    for (const auto& [name, entry] : found)
        if (name != "first")
            expectSame(entry, fingerprint(static_cast<std::uint32_t>(entry.version.inode), 300));
}

TEST(ReferenceCache, FindsExactlyTheFilesSharingAHash) {
    Sandbox box;
    ReferenceCache cache(QFile::encodeName(box.path("share.sqlite")));
    // Hashes from a small range share buckets and low bits; a few far apart.
    std::mt19937 random(7);
    const auto someHashes = [&random](int count) {
        TudShingleList list;
        for (int i = 0; i < count; ++i)
            list.Hashes.push_back(i % 5 == 0 ? random() : random() % 200000);
        list.Count = count;
        return list;
    };
    std::map<QByteArray, CachedFingerprint> model;
    for (int round = 0; round < 4; ++round) {
        std::map<QByteArray, CachedFingerprint> fresh;
        for (int i = 0; i < 60; ++i) {
            const QByteArray name = QByteArray::number(static_cast<int>(random() % 100));
            fresh[name] = fingerprint(static_cast<std::uint32_t>(round * 100 + i), 1);
            fresh[name].shingles = someHashes(1 + static_cast<int>(random() % 30));
        }
        std::vector<QByteArray> gone;
        for (const auto& [name, entry] : model)
            if (random() % 6 == 0 && !fresh.contains(name))
                gone.push_back(name);
        std::map<QByteArray, const CachedFingerprint*> changed;
        for (const auto& [name, entry] : fresh)
            changed.emplace(name, &entry);
        cache.update("/d/", changed, gone);
        for (const QByteArray& name : gone)
            model.erase(name);
        for (auto& [name, entry] : fresh)
            model[name] = entry;

        const auto files = cache.files("/d/");
        ASSERT_EQ(files.size(), static_cast<qsizetype>(model.size()));
        // A few hashes are looked up one by one, many by a pass over the table.
        for (const int asked : {3, 50, 300000}) {
            SCOPED_TRACE(asked);
            std::vector<std::uint32_t> hashes = someHashes(asked).Hashes;
            std::sort(hashes.begin(), hashes.end());
            hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
            std::vector<std::uint32_t> expected;
            for (const auto& [name, entry] : model)
                if (std::any_of(entry.shingles.Hashes.begin(), entry.shingles.Hashes.end(),
                                [&](std::uint32_t h) {
                                    return std::binary_search(hashes.begin(), hashes.end(), h);
                                }))
                    expected.push_back(files.value(name).id);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(cache.filesSharing(hashes), expected);
        }
        for (const auto& [name, entry] : model) {
            const CachedFile file = files.value(name);
            EXPECT_EQ(cache.shingles(file.id, entry.version)->Hashes, entry.shingles.Hashes);
            EXPECT_FALSE(cache.shingles(file.id, {}).has_value()) << "another version";
        }
    }
}

TEST(ReferenceCache, ACacheOfThePreviousVersionIsMadeAnew) {
    Sandbox box;
    const QByteArray path = QFile::encodeName(box.path("old.sqlite"));
    makeDatabase(path, 0x514D524B, 1);
    ReferenceCache cache(path);
    EXPECT_TRUE(cache.wasUpgraded());
    EXPECT_TRUE(cache.entries("/d/").empty());
    const CachedFingerprint a = fingerprint(6, 12);
    cache.update("/d/", {{"a", &a}}, {});
    expectSame(cache.entries("/d/").at("a"), a);
    EXPECT_FALSE(ReferenceCache(path).wasUpgraded());
}

TEST(ReferenceCache, UnwritablePlaceIsAnError) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("ro"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0555), 0);
    const QByteArray path = QFile::encodeName(dir) + "sub/references.sqlite";
    EXPECT_TRUE(runUnprivileged([&path] {
        try {
            ReferenceCache cache(path);
        } catch (const ReferenceCacheError& error) {
            return std::string(error.what()).find("references.sqlite") != std::string::npos;
        }
        return false;
    }));
    ::chmod(QFile::encodeName(dir).constData(), 0755);
}

TEST(ReferenceCache, DefaultPathFollowsXdg) {
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "/x/cache");
    EXPECT_EQ(ReferenceCache::defaultPath(), "/x/cache/quillmark/references.sqlite");
    qputenv("XDG_CACHE_HOME", "relative");
    EXPECT_EQ(ReferenceCache::defaultPath(),
              qgetenv("HOME") + "/.cache/quillmark/references.sqlite");
    qputenv("XDG_CACHE_HOME", saved);
}

} // namespace
} // namespace quillmark::test
