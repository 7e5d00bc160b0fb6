#include "Sandbox.h"
#include "engine/FileTransfer.h"
#include "engine/TemporaryFile.h"

#include <QFile>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zlib.h>

namespace quillmark::test {
namespace {

using Status = TransferResult::Status;

/// Names of a directory that are temporaries of a save.
int temporariesIn(const QString& directory) {
    const QList<QByteArray> names = Sandbox::names(directory);
    return int(std::count_if(names.begin(), names.end(), TemporaryFile::isTemporaryName));
}

class FileTransferTest : public ::testing::Test {
protected:
    QByteArray at(const QString& dir, const QByteArray& name) const {
        return QFile::encodeName(dir) + name;
    }

    Sandbox box;
    QString from = box.makeDir(QStringLiteral("from"));
    QString to = box.makeDir(QStringLiteral("to"));
};

TEST_F(FileTransferTest, MoveNeverReplaces) {
    box.write(from, "a", "first\n");
    box.write(from, "b", "second\n");
    box.write(to, "b", "already here\n");
    struct stat read {};
    ASSERT_EQ(::stat(at(from, "a").constData(), &read), 0);
    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Move).status,
              Status::Done);
    EXPECT_EQ(FileTransfer::transfer(at(from, "b"), at(to, "b"), TransferMode::Move).status,
              Status::Clash);
    EXPECT_FALSE(Sandbox::exists(from, "a"));
    EXPECT_EQ(Sandbox::read(to, "b"), "already here\n");
    EXPECT_EQ(Sandbox::read(from, "b"), "second\n");
    // Moved by an earlier selection: already there, not an error, where the
    // version read is known; unknown, it cannot be told from another file.
    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Move,
                                     FileIdentity::of(read))
                  .status,
              Status::AlreadyThere);
    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Move).status,
              Status::SourceGone);
    EXPECT_TRUE(box.nothingLost({from, to}));
}

TEST_F(FileTransferTest, MissingSourceWithoutDestinationFails) {
    const TransferResult result =
        FileTransfer::transfer(at(from, "none"), at(to, "none"), TransferMode::Move);
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_EQ(result.error, ENOENT);
}

TEST_F(FileTransferTest, CopyIsExclusiveAndKeepsBytesModeAndTime) {
    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += char(i * 7);
    box.write(from, "a", bytes);
    ::chmod(at(from, "a").constData(), 0640);
    box.write(from, "b", "source\n");
    box.write(to, "b", "different\n");
    box.write(from, "c", "equal\n");
    box.write(to, "c", "equal\n");

    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Copy).status,
              Status::Done);
    EXPECT_EQ(Sandbox::read(to, "a"), bytes);
    struct stat source {};
    struct stat copy {};
    ::stat(at(from, "a").constData(), &source);
    ::stat(at(to, "a").constData(), &copy);
    EXPECT_EQ(copy.st_mode & 0777, 0640u);
    EXPECT_EQ(copy.st_mtim.tv_sec, source.st_mtim.tv_sec);

    EXPECT_EQ(FileTransfer::transfer(at(from, "b"), at(to, "b"), TransferMode::Copy).status,
              Status::Clash);
    EXPECT_EQ(Sandbox::read(to, "b"), "different\n");
    EXPECT_EQ(FileTransfer::transfer(at(from, "c"), at(to, "c"), TransferMode::Copy).status,
              Status::AlreadyThere);
    EXPECT_EQ(FileTransfer::transfer(at(from, ""), at(to, "dir"), TransferMode::Copy).status,
              Status::Failed)
        << "a directory is not copied";
    EXPECT_EQ(Sandbox::read(from, "b"), "source\n");
    EXPECT_TRUE(box.nothingLost({from, to}));
}

TEST_F(FileTransferTest, MoveAcrossFileSystems) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    box.write(from, "a", "travels\n");
    box.write(from, "b", "stays\n");
    shm.write(other, "b", "was there first\n");
    box.makeDir(QStringLiteral("from/sub"));

    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(other, "a"), TransferMode::Move).status,
              Status::Done);
    EXPECT_FALSE(Sandbox::exists(from, "a"));
    EXPECT_EQ(FileTransfer::transfer(at(from, "b"), at(other, "b"), TransferMode::Move).status,
              Status::Clash);
    const TransferResult dir =
        FileTransfer::transfer(at(from, "sub"), at(other, "sub"), TransferMode::Move);
    EXPECT_EQ(dir.status, Status::Failed);
    EXPECT_EQ(dir.error, EXDEV);
    EXPECT_TRUE(Sandbox::exists(from, "sub"));
    EXPECT_FALSE(Sandbox::exists(other, "sub"));
    EXPECT_TRUE(box.nothingLost({from, other}));
    EXPECT_TRUE(shm.nothingLost({other}));
}

TEST_F(FileTransferTest, RefusedCrossDeviceMoveKeepsTheSource) {
    box.write(from, "a", QByteArray(100000, 'z'));
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    ::chmod(QFile::encodeName(other).constData(), 0555);
    bool cleanFailure = runUnprivileged([&] {
        const TransferResult result =
            FileTransfer::transfer(at(from, "a"), at(other, "a"), TransferMode::Move);
        return result.status == Status::Failed && result.error == EACCES;
    });
    ::chmod(QFile::encodeName(other).constData(), 0777);
    EXPECT_TRUE(cleanFailure);
    EXPECT_FALSE(Sandbox::exists(other, "a"));
    EXPECT_TRUE(box.nothingLost({from}));
}

TEST_F(FileTransferTest, CrossDeviceWriteFailureRemovesThePartialCopy) {
    const QByteArray bytes(200000, 'q');
    box.write(from, "big", bytes);
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    // A file size limit makes the copy fail half-way (EFBIG), as a full disk
    // would.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{65536, 65536};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        for (TransferMode mode : {TransferMode::Move, TransferMode::Copy}) {
            const TransferResult result =
                FileTransfer::transfer(at(from, "big"), at(other, "big"), mode);
            if (result.status != Status::Failed || result.error != EFBIG)
                ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(Sandbox::exists(other, "big")) << "no partial copy is left";
    EXPECT_TRUE(box.nothingLost({from}));
}

TEST_F(FileTransferTest, ASourceThatIsTheDestinationStaysWhole) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    box.write(to, "a", "the only copy\n");
    shm.write(other, "b", "the only copy elsewhere\n");
    // The same path, and links in the source pointing at the destination on
    // the same and on another file system.
    ASSERT_EQ(::symlink(at(to, "a").constData(), at(from, "a").constData()), 0);
    ASSERT_EQ(::symlink(at(other, "b").constData(), at(from, "b").constData()), 0);
    for (TransferMode mode : {TransferMode::Move, TransferMode::Copy}) {
        EXPECT_NE(FileTransfer::transfer(at(to, "a"), at(to, "a"), mode).status, Status::Done);
        EXPECT_NE(FileTransfer::transfer(at(from, "a"), at(to, "a"), mode).status, Status::Done);
        EXPECT_NE(FileTransfer::transfer(at(from, "b"), at(other, "b"), mode).status, Status::Done);
        EXPECT_EQ(Sandbox::read(to, "a"), "the only copy\n");
        EXPECT_EQ(Sandbox::read(other, "b"), "the only copy elsewhere\n");
    }
    EXPECT_TRUE(box.nothingLost({to}));
    EXPECT_TRUE(shm.nothingLost({other}));
}

TEST_F(FileTransferTest, SpecialFilesAreNeitherCopiedNorOpened) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    ASSERT_EQ(::mkfifo(at(from, "fifo").constData(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/null", at(from, "device").constData()), 0);
    for (const QByteArray& name : {QByteArray("fifo"), QByteArray("device")}) {
        const TransferResult copied =
            FileTransfer::transfer(at(from, name), at(to, name), TransferMode::Copy);
        EXPECT_EQ(copied.status, Status::Failed) << name.constData();
        EXPECT_FALSE(Sandbox::exists(to, name));
    }
    // Across file systems a FIFO cannot be moved by copying; it stays.
    EXPECT_EQ(
        FileTransfer::transfer(at(from, "fifo"), at(other, "fifo"), TransferMode::Move).status,
        Status::Failed);
    EXPECT_TRUE(Sandbox::exists(from, "fifo"));
    EXPECT_FALSE(Sandbox::exists(other, "fifo"));
}

// Faults put in the copy loop after its first block, moving across file
// systems: the user's new version stays in place, the old one stands whole in
// the output or nowhere new, and no temporary is left.
TEST_F(FileTransferTest, ASourceChangedDuringTheCopyIsNeverLost) {
    enum Fault { Replaced, Appended, Rewritten };
    struct Case {
        Fault fault;
        TransferMode mode;
        Status status;
    };
    const Case cases[] = {{Replaced, TransferMode::Move, Status::KeptBoth},
                          {Replaced, TransferMode::Copy, Status::Done},
                          {Appended, TransferMode::Move, Status::Changed},
                          {Appended, TransferMode::Copy, Status::Changed},
                          {Rewritten, TransferMode::Move, Status::Changed}};
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    const QByteArray old(300000, 'o');
    int n = 0;
    for (const Case& c : cases) {
        const QByteArray name = "text" + QByteArray::number(n++);
        box.write(from, name, old);
        const QByteArray source = at(from, name);
        FileTransfer::setCopyHook([&](const QByteArray&, std::int64_t copied) {
            if (copied != 65536)
                return;
            // As an editor saves: a new file renamed over the old one.
            const QByteArray target = c.fault == Replaced ? source + ".new" : source;
            const int fd = ::open(target.constData(),
                                  O_WRONLY | O_CREAT | (c.fault == Appended ? O_APPEND : 0), 0644);
            ASSERT_EQ(::write(fd, "new\n", 4), 4);
            ::close(fd);
            if (c.fault == Replaced)
                ::rename(target.constData(), source.constData());
        });
        EXPECT_EQ(FileTransfer::transfer(source, at(other, name), c.mode).status, c.status) << n;
        FileTransfer::setCopyHook({});
        EXPECT_NE(Sandbox::read(from, name), old) << n;
        const bool published = c.fault == Replaced;
        EXPECT_EQ(Sandbox::exists(other, name), published) << n;
        if (published)
            EXPECT_EQ(Sandbox::read(other, name), old) << n;
        EXPECT_EQ(temporariesIn(other), 0) << n;
    }
}

// A copy killed midway leaves nothing under a real name: an unnamed file
// leaves nothing at all, a named temporary is stale and goes with the next save.
TEST_F(FileTransferTest, AProcessKilledMidCopyLeavesNothingThatStays) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    const QByteArray bytes(400000, 'k');
    box.write(from, "big", bytes);
    for (const TemporaryFile::Kind kind :
         {TemporaryFile::Kind::Unnamed, TemporaryFile::Kind::Named}) {
        const bool named = kind == TemporaryFile::Kind::Named;
        SCOPED_TRACE(named ? "named temporaries" : "unnamed files");
        int left = 0;
        for (const std::int64_t killAt : {65536, 3 * 65536}) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                TemporaryFile::setPreferredKind(kind);
                FileTransfer::setCopyHook([killAt](const QByteArray&, std::int64_t copied) {
                    if (copied >= killAt)
                        ::raise(SIGKILL);
                });
                // Killed part way: no result to look at.
                static_cast<void>(FileTransfer::transfer(at(from, "big"), at(other, "big"),
                                                         TransferMode::Move));
                ::_exit(0);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_FALSE(Sandbox::exists(other, "big")) << "no partial file under the real name";
            left += named ? 1 : 0;
            EXPECT_EQ(temporariesIn(other), left);
        }
        // A temporary of a live process (this one) is not stale.
        TemporaryFile::setPreferredKind(TemporaryFile::Kind::Named);
        TemporaryFile live(QFile::encodeName(other), 0600);
        TemporaryFile::setPreferredKind(TemporaryFile::Kind::Unnamed);
        EXPECT_EQ(TemporaryFile::removeStale(QFile::encodeName(other)), left);
        EXPECT_EQ(temporariesIn(other), 1);
    }
    EXPECT_EQ(FileTransfer::transfer(at(from, "big"), at(other, "big"), TransferMode::Move).status,
              Status::Done);
    EXPECT_TRUE(box.nothingLost({other}));
    EXPECT_FALSE(Sandbox::exists(from, "big"));
}

// Writes to the source just after its name is set aside for removal, moving
// across file systems: every byte written stays somewhere.
TEST_F(FileTransferTest, AWriteAsTheMovedSourceGoesIsNeverLost) {
    enum Write { ByName, ByOpenDescriptor, None };
    struct Case {
        const char* what;
        Write write;
        Status status;
        QByteArray sourceAfter; ///< what stands under the source's name; empty: nothing
    };
    const QByteArray old(100000, 'o');
    const Case cases[] = {
        // A writer opening the name finds none and makes a new file.
        {"appended by name", ByName, Status::Done, "late\n"},
        // A writer holding the file writes into it: it is kept under its name.
        {"appended through an open descriptor", ByOpenDescriptor, Status::KeptBoth, old + "late\n"},
        {"left alone", None, Status::Done, {}},
    };
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray name = "text" + QByteArray::number(n++);
        box.write(from, name, old);
        const QByteArray source = at(from, name);
        const int held = ::open(source.constData(), O_WRONLY | O_APPEND);
        ASSERT_GE(held, 0);
        FileTransfer::setDropHook([&](const QByteArray& dropped) {
            ASSERT_EQ(dropped, source);
            const int fd = c.write == ByName
                               ? ::open(source.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644)
                               : held;
            if (c.write != None)
                ASSERT_EQ(::write(fd, "late\n", 5), 5);
            if (c.write == ByName)
                ::close(fd);
        });
        EXPECT_EQ(FileTransfer::transfer(source, at(other, name), TransferMode::Move).status,
                  c.status);
        FileTransfer::setDropHook({});
        ::close(held);
        EXPECT_EQ(Sandbox::read(other, name), old);
        EXPECT_EQ(Sandbox::exists(from, name), !c.sourceAfter.isEmpty());
        if (!c.sourceAfter.isEmpty())
            EXPECT_EQ(Sandbox::read(from, name), c.sourceAfter);
        EXPECT_EQ(temporariesIn(from), 0) << "no name is left aside";
    }
}

// A source gone by the time it is saved counts as already there only where the
// output holds the very version that was read.
TEST_F(FileTransferTest, AGoneSourceIsAlreadyThereOnlyAsTheVersionRead) {
    struct Case {
        const char* what;
        QByteArray inOutput;
        bool sameTimes;
        Status status;
    };
    const QByteArray text = "the text that was read\n";
    const Case cases[] = {
        {"the same bytes and times", text, true, Status::AlreadyThere},
        {"another text of the same size and times", "THE TEXT THAT WAS READ\n", true,
         Status::SourceGone},
        {"the same bytes, newer", text, false, Status::SourceGone},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray name = "t" + QByteArray::number(n++);
        box.write(from, name, text);
        struct stat read {};
        ASSERT_EQ(::stat(at(from, name).constData(), &read), 0);
        FileIdentity expected = FileIdentity::of(read);
        expected.checksum = static_cast<std::uint32_t>(
            ::crc32(0, reinterpret_cast<const Bytef*>(text.constData()), uInt(text.size())));
        ASSERT_EQ(::unlink(at(from, name).constData()), 0);
        box.write(to, name, c.inOutput);
        const timespec times[2] = {
            read.st_atim, c.sameTimes ? read.st_mtim : timespec{read.st_mtim.tv_sec + 5, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, at(to, name).constData(), times, 0), 0);
        for (const TransferMode mode : {TransferMode::Move, TransferMode::Copy})
            EXPECT_EQ(FileTransfer::transfer(at(from, name), at(to, name), mode, expected).status,
                      c.status);
        EXPECT_EQ(Sandbox::read(to, name), c.inOutput) << "the output is left as it was";
    }
}

TEST_F(FileTransferTest, AFullFileSystemKeepsTheSource) {
    const QString small = box.makeDir(QStringLiteral("small"));
    const QByteArray mountPoint = QFile::encodeName(small);
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    box.write(from, "big", QByteArray(300000, 'b'));
    for (TransferMode mode : {TransferMode::Move, TransferMode::Copy}) {
        const TransferResult result =
            FileTransfer::transfer(at(from, "big"), at(small, "big"), mode);
        EXPECT_EQ(result.status, Status::Failed);
        EXPECT_EQ(result.error, ENOSPC);
    }
    EXPECT_EQ(Sandbox::names(small), QList<QByteArray>()) << "no partial copy, no temporary";
    EXPECT_TRUE(box.nothingLost({from}));
    ::umount(mountPoint.constData());
}

TEST_F(FileTransferTest, AMoveAcrossFileSystemsKeepsWhatMvKeeps) {
    Sandbox shm(QStringLiteral("/dev/shm"));
    const QString other = shm.makeDir(QStringLiteral("other"));
    box.write(from, "a", "private\n");
    const QByteArray source = at(from, "a");
    const bool root = ::geteuid() == 0;
    ::chmod(source.constData(), 0600);
    ASSERT_TRUE(!root || ::chown(source.constData(), 65534, 65534) == 0);
    const timespec times[2] = {{1000000000, 5}, {1100000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
    const char* attribute = root ? "trusted.quillmark" : "user.quillmark";
    const bool withAttribute = ::setxattr(source.constData(), attribute, "kept", 4, 0) == 0;

    ASSERT_EQ(FileTransfer::transfer(source, at(other, "a"), TransferMode::Move).status,
              Status::Done);
    struct stat moved {};
    ASSERT_EQ(::stat(at(other, "a").constData(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 07777, 0600u);
    EXPECT_EQ(moved.st_mtim.tv_nsec, times[1].tv_nsec);
    EXPECT_EQ(moved.st_uid, root ? 65534u : ::getuid());
    char value[4] = {};
    const ssize_t got =
        withAttribute ? ::getxattr(at(other, "a").constData(), attribute, value, 4) : 0;
    if (got >= 0 || errno != ENOTSUP) // the target may not carry them for this user
        EXPECT_EQ(QByteArray(value, int(got)), withAttribute ? "kept" : "");
}

} // namespace
} // namespace quillmark::test
