#include "cli/ReportFile.h"
#include "engine/TemporaryFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmark;

namespace {

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray raw(const QString& name) const { return QFile::encodeName(path(name)); }
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

/// Lowers the largest file this process may write, for one scope, so that a
/// write fails part way as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        // Past the limit a write fails with EFBIG instead of raising SIGXFSZ.
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{bytes, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

TEST_F(ReportFileTest, AnExistingFileIsNeverOpenedForTheReport) {
    const QString existing = path("report.csv");
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's own report\n");
    }
    EXPECT_THROW(ReportFile{raw("report.csv")}, std::runtime_error);
    EXPECT_EQ(contents(existing), "the user's own report\n");
}

TEST_F(ReportFileTest, ADeviceOrPipeIsWrittenToAndNeverRemoved) {
    { ReportFile unused(QByteArray("/dev/null")); }
    ReportFile(QByteArray("/dev/null")).write("file,score,passed,best_match\n");
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    const QString pipe = path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Keeps a reader open so that opening the pipe for writing does not wait.
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    { ReportFile unused(QFile::encodeName(pipe)); }
    EXPECT_TRUE(QFileInfo::exists(pipe));
    ::close(reader);
}

TEST_F(ReportFileTest, OnlyAWholeReportStaysOnDisk) {
    const QString written = path("written.csv");
    ReportFile(raw("written.csv")).write("file,score,passed,best_match\n");
    EXPECT_EQ(contents(written), "file,score,passed,best_match\n");

    // Made for a run that brought no report: the name is never taken. A file
    // system without unnamed files shows a temporary beside it meanwhile.
    for (const TemporaryFile::Kind kind : {TemporaryFile::Kind::Unnamed, TemporaryFile::Kind::Named}) {
        TemporaryFile::setPreferredKind(kind);
        {
            ReportFile report(raw("unused.csv"));
            EXPECT_FALSE(QFile::exists(path("unused.csv"))) << "named only when whole";
            EXPECT_EQ(entries().size(), kind == TemporaryFile::Kind::Named ? 2 : 1);
        }
        EXPECT_EQ(entries(), QStringList({"written.csv"}));
    }
    TemporaryFile::setPreferredKind(TemporaryFile::Kind::Unnamed);

    // Cut off by the disk: the part written goes again.
    ReportFile report(raw("cut.csv"));
    const QByteArray large(64 * 1024, 'x');
    {
        FileSizeLimit limit(1024);
        EXPECT_THROW(report.write(large), std::runtime_error);
    }
    EXPECT_EQ(entries(), QStringList({"written.csv"}));
}

TEST_F(ReportFileTest, AKilledRunLeavesNothingThatBlocksTheNext) {
    // The child makes its temporary (named, as on a file system without
    // unnamed files) and dies before writing the report.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TemporaryFile::setPreferredKind(TemporaryFile::Kind::Named);
        ReportFile report(raw("report.csv"));
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(QFile::exists(path("report.csv")));
    EXPECT_EQ(entries().size(), 1) << "its temporary";

    ReportFile(raw("report.csv")).write("whole\n");
    EXPECT_EQ(contents(path("report.csv")), "whole\n");
    EXPECT_EQ(entries(), QStringList({"report.csv"})) << "the stale temporary went";
}

} // namespace
