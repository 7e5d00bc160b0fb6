// Which names are temporaries, and which of them a save may remove: only its
// own kind's, made in this boot and process namespace by a process now gone.
#include "Sandbox.h"
#include "engine/TemporaryFile.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

/// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

/// `name` with the boot-and-namespace tag replaced by another.
QByteArray withOtherTag(QByteArray name) {
    const qsizetype at = qsizetype(sizeof TemporaryFile::NamePrefix) - 1;
    name[at] = name[at] == 'a' ? 'b' : 'a';
    return name;
}

TEST(TemporaryFile, OnlyTheExactFormIsATemporary) {
    const QByteArray own = TemporaryFile::temporaryName(4242);
    const QByteArray ownRandom = own.right(16);
    const QByteArray tag = own.mid(qsizetype(sizeof TemporaryFile::NamePrefix) - 1, 16);
    struct Case {
        QByteArray name;
        bool temporary;
        bool own;
    };
    const Case cases[] = {
        {own, true, true},
        {withOtherTag(own), true, false},
        // Earlier forms and look-alikes are the user's files.
        {".quillmark-part-999999-0123456789abcdef", false, false},
        {".quillmark-part-32000-my notes.txt", false, false},
        {".quillmark-part-" + tag + "-4242-" + ownRandom + ".txt", false, false},
        {".quillmark-part-" + tag + "-04242-" + ownRandom, false, false},
        {".quillmark-part-" + tag + "-42a-" + ownRandom, false, false},
        {".quillmark-part-" + tag.toUpper() + "-4242-" + ownRandom.toUpper(), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TemporaryFile::isTemporaryName(c.name), c.temporary) << c.name.constData();
        EXPECT_EQ(TemporaryFile::isOwnTemporaryName(c.name), c.own) << c.name.constData();
    }
}

TEST(TemporaryFile, RemovesOnlyItsOwnStaleTemporaries) {
    Sandbox box;
    const QString dir = box.makeDir(QStringLiteral("out"));
    const pid_t ended = endedProcess();
    const QByteArray stale = TemporaryFile::temporaryName(ended);
    const QByteArray kept[] = {
        TemporaryFile::temporaryName(::getpid()),          // a live process's
        withOtherTag(TemporaryFile::temporaryName(ended)), // another boot or container's
        ".quillmark-part-999999-0123456789abcdef",
        ".quillmark-part-32000-my notes.txt",
        "article.txt",
    };
    box.write(dir, stale, "half a copy");
    for (const QByteArray& name : kept)
        box.write(dir, name, "the user's " + name);
    // A directory of the form is not a temporary file.
    const QByteArray staleDirectory = TemporaryFile::temporaryName(ended);
    ASSERT_EQ(::mkdir((QFile::encodeName(dir) + staleDirectory).constData(), 0755), 0);

    EXPECT_EQ(TemporaryFile::removeStale(QFile::encodeName(dir)), 1);
    EXPECT_FALSE(Sandbox::exists(dir, stale));
    for (const QByteArray& name : kept)
        EXPECT_EQ(Sandbox::read(dir, name), "the user's " + name) << name.constData();
    EXPECT_TRUE(Sandbox::exists(dir, staleDirectory));
}

} // namespace
} // namespace quillmark::test
