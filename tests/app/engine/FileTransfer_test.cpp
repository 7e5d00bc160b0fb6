#include "FileTransfer.h"
#include "Sandbox.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sys/stat.h>

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

} // namespace
} // namespace quillmark::test
