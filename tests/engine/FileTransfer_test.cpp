#include "Sandbox.h"
#include "engine/FileTransfer.h"

#include <QFile>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmark::test {
namespace {

using Status = TransferResult::Status;

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
    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Move).status,
              Status::Done);
    EXPECT_EQ(FileTransfer::transfer(at(from, "b"), at(to, "b"), TransferMode::Move).status,
              Status::Clash);
    EXPECT_FALSE(Sandbox::exists(from, "a"));
    EXPECT_EQ(Sandbox::read(to, "b"), "already here\n");
    EXPECT_EQ(Sandbox::read(from, "b"), "second\n");
    // Moved by an earlier selection: already there, not an error.
    EXPECT_EQ(FileTransfer::transfer(at(from, "a"), at(to, "a"), TransferMode::Move).status,
              Status::AlreadyThere);
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

} // namespace
} // namespace quillmark::test
