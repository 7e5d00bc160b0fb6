#include "Sandbox.h"
#include "engine/DirectoryListing.h"
#include "engine/TextFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

QList<QByteArray> namesOf(const std::vector<DirectoryEntry>& entries) {
    QList<QByteArray> names;
    for (const DirectoryEntry& entry : entries)
        names << entry.name;
    return names;
}

TEST(DirectoryListing, SortsCaseInsensitivelyWithTiesByBytes) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    for (const QByteArray name : {"b", "B", "a", "C", ".dot", "Ёж", "ёлка", "10", "9"})
        box.write(dir, name, "x");
    const std::vector<DirectoryEntry> entries = DirectoryListing::list(QFile::encodeName(dir));
    EXPECT_EQ(namesOf(entries),
              QList<QByteArray>({".dot", "10", "9", "a", "B", "b", "C", "Ёж", "ёлка"}));
}

TEST(DirectoryListing, TellsWhatEachEntryIs) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    const QByteArray raw = QFile::encodeName(dir);
    box.write(dir, "file", "12345");
    box.write(dir, "empty", "");
    box.makeDir(QStringLiteral("d/sub"));
    ASSERT_EQ(::symlink("file", raw + "link"), 0);
    ASSERT_EQ(::symlink("nowhere", raw + "lost"), 0);
    ASSERT_EQ(::mkfifo(raw + "pipe", 0644), 0);

    const std::vector<DirectoryEntry> entries = DirectoryListing::list(raw);
    ASSERT_EQ(entries.size(), 6u);
    std::map<QByteArray, DirectoryEntry> byName;
    for (const DirectoryEntry& entry : entries)
        byName[entry.name] = entry;
    EXPECT_TRUE(byName["file"].loadable());
    EXPECT_EQ(byName["file"].size, 5);
    EXPECT_FALSE(byName["empty"].loadable());
    EXPECT_EQ(byName["sub"].kind, EntryKind::Directory);
    EXPECT_FALSE(byName["sub"].loadable());
    EXPECT_EQ(byName["link"].kind, EntryKind::SymbolicLink);
    EXPECT_FALSE(byName["link"].loadable()) << "a link's target may live anywhere";
    EXPECT_EQ(byName["lost"].kind, EntryKind::SymbolicLink);
    EXPECT_FALSE(byName["lost"].loadable());
    EXPECT_EQ(byName["pipe"].kind, EntryKind::Other);
    EXPECT_FALSE(byName["pipe"].loadable());
}

TEST(DirectoryListing, SizeIsSixtyFourBits) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    const QByteArray path = QFile::encodeName(dir) + "sparse";
    box.write(dir, "sparse", "");
    // 4 GiB + 1 byte, sparse: no disk space used.
    ASSERT_EQ(::truncate(path.constData(), (std::int64_t{1} << 32) + 1), 0);
    const std::vector<DirectoryEntry> entries = DirectoryListing::list(QFile::encodeName(dir));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, (std::int64_t{1} << 32) + 1);
    EXPECT_TRUE(entries[0].loadable());
}

TEST(DirectoryListing, MissingDirectoryReportsItsError) {
    try {
        DirectoryListing::list("/nonexistent-quillmark/");
        FAIL() << "a missing directory was listed";
    } catch (const FileOpenError& error) {
        EXPECT_STREQ(error.what(), "Cannot open directory \"/nonexistent-quillmark/\". "
                                   "Нет такого файла или каталога");
    }
    EXPECT_FALSE(DirectoryListing::isDirectory(""));
    EXPECT_FALSE(DirectoryListing::isDirectory("/nonexistent-quillmark/"));
    EXPECT_TRUE(DirectoryListing::isDirectory("/"));
}

TEST(DirectoryListing, ADirectoryThatCannotBeSearchedIsAnError) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("d"));
    box.write(dir, "text", "words");
    const QByteArray raw = QFile::encodeName(dir);
    // Readable, so its names can be listed, but not one of them looked at.
    ::chmod(raw.constData(), 0644);
    const bool refused = runUnprivileged([&] {
        try {
            DirectoryListing::list(raw);
            return false;
        } catch (const FileOpenError& error) {
            return QByteArray(error.what()).endsWith("Отказано в доступе");
        }
    });
    ::chmod(raw.constData(), 0755);
    EXPECT_TRUE(refused);
}

TEST(DirectoryListing, PrefixAddsOneSeparatorOnlyWhenMissing) {
    EXPECT_EQ(DirectoryListing::prefix("/a/b"), "/a/b/");
    EXPECT_EQ(DirectoryListing::prefix("/a/b/"), "/a/b/");
    EXPECT_EQ(DirectoryListing::prefix(""), "");
}

} // namespace
} // namespace quillmark::test
