#include "cli/ReportFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmark;

namespace {

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString& name) const { return m_dir.filePath(name); }

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
    EXPECT_THROW(ReportFile{existing}, std::runtime_error);
    EXPECT_EQ(contents(existing), "the user's own report\n");
}

TEST_F(ReportFileTest, ADeviceOrPipeIsWrittenToAndNeverRemoved) {
    { ReportFile unused(QStringLiteral("/dev/null")); }
    ReportFile(QStringLiteral("/dev/null")).write("file,score,passed,best_match\n");
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    const QString pipe = path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    // Keeps a reader open so that opening the pipe for writing does not wait.
    const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    { ReportFile unused(pipe); }
    EXPECT_TRUE(QFileInfo::exists(pipe));
    ::close(reader);
}

TEST_F(ReportFileTest, OnlyAWholeReportStaysOnDisk) {
    const QString written = path("written.csv");
    ReportFile(written).write("file,score,passed,best_match\n");
    EXPECT_EQ(contents(written), "file,score,passed,best_match\n");

    // Made for a run that brought no report.
    const QString unused = path("unused.csv");
    {
        ReportFile report(unused);
        EXPECT_TRUE(QFile::exists(unused)) << "made before the run";
    }
    EXPECT_FALSE(QFile::exists(unused));

    // Cut off by the disk: the part written goes again.
    const QString cut = path("cut.csv");
    ReportFile report(cut);
    const QByteArray large(64 * 1024, 'x');
    {
        FileSizeLimit limit(1024);
        EXPECT_THROW(report.write(large), std::runtime_error);
    }
    EXPECT_FALSE(QFile::exists(cut));
}

} // namespace
