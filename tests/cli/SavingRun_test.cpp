// quillmark-cli when saving meets faults: what the exit status, the standard
// error and the report's "saved" column say, and where every text ends up.
#include "CliProcess.h"
#include "TextBatch.h"

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmark::test;
namespace fs = std::filesystem;

namespace {

class SavingRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_root = fs::path(m_temp.path().toStdString());
        m_source = m_root / "texts";
        fs::create_directory(m_source);
    }

    /// `count` unrelated texts t0000.txt, t0001.txt, ...
    void writeTexts(int count) const {
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "t%04d.txt", i);
            TextBatch::write(m_source / name, TextBatch::article(unsigned(100 + i), 40));
        }
    }

    /// The report's rows as file -> saved field (names without commas).
    static std::map<std::string, std::string> savedColumn(const fs::path& report) {
        std::map<std::string, std::string> saved;
        const QList<QByteArray> lines =
            QByteArray::fromStdString(TextBatch::read(report)).split('\n');
        EXPECT_TRUE(lines.first().endsWith(",saved")) << lines.first().constData();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            const QList<QByteArray> fields = lines[i].split(',');
            saved[fields.first().toStdString()] = fields.last().toStdString();
        }
        return saved;
    }

    QTemporaryDir m_temp;
    fs::path m_root;
    fs::path m_source;
};

TEST_F(SavingRunTest, PathsThatAreNotUtf8ReachTheFileSystemUnchanged) {
    const fs::path source = m_root / "texts\xff";
    fs::create_directory(source);
    TextBatch::write(source / "a.txt", TextBatch::article(1, 60));
    const std::string out = (m_root / "out\xfe").string();
    const fs::path report = m_root / "r\xfd.csv";
    QByteArray err;
    ASSERT_EQ(
        CliProcess::run({"-q", "--save", "move", "-o", out, "-r", report.string(), source.string()},
                        nullptr, &err),
        0)
        << err.toStdString();
    EXPECT_TRUE(fs::exists(fs::path(out) / "a.txt")) << "the directory the user named";
    EXPECT_FALSE(fs::exists(source / "a.txt"));
    EXPECT_EQ(savedColumn(report), (std::map<std::string, std::string>{{"a.txt", "moved"}}));
    // Nothing went to a look-alike name.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_root))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"out\xfe", "r\xfd.csv", "texts", "texts\xff"}));
}

TEST_F(SavingRunTest, AnOutputDirectoryThatRefusesTextsExitsFourEvenQuiet) {
    writeTexts(3);
    const fs::path out = m_root / "out";
    fs::create_directory(out);
    std::string reason = "Permission denied";
    bool mounted = false;
    if (::geteuid() == 0) {
        // Permissions do not bind root; a read-only file system does.
        if (::mount("tmpfs", out.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a read-only tmpfs: " << std::strerror(errno);
        mounted = true;
        reason = "Read-only file system";
    } else {
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto before = TextBatch::snapshot(m_source);
    const fs::path report = m_root / "report.csv";
    for (const char* mode : {"move", "copy"}) {
        SCOPED_TRACE(mode);
        QByteArray err;
        EXPECT_EQ(CliProcess::run({"-q", "-p", "100", "--save", mode, "-o", out.string(), "-r",
                                   report.string(), m_source.string()},
                                  nullptr, &err),
                  4);
        EXPECT_TRUE(err.contains("3 of 3 texts could not be saved")) << err.toStdString();
        for (const auto& [file, saved] : savedColumn(report))
            EXPECT_EQ(saved, "failed: " + reason) << file;
        fs::remove(report);
    }
    EXPECT_EQ(TextBatch::snapshot(m_source), before);
    EXPECT_TRUE(fs::is_empty(out));
    if (mounted)
        ::umount(out.c_str());
}

// Every second text clashes with a file of the output directory, and each clash
// writes a log line. Standard error is not read after the comparison, so the
// program stalls on a full pipe long before its last text: the signal is
// bound to come while it saves.
TEST_F(SavingRunTest, CtrlCDuringSavingStopsBetweenTwoFilesAndStillReports) {
    const int count = 2000;
    writeTexts(count);
    const fs::path out = m_source / "Result";
    fs::create_directory(out);
    for (int i = 1; i < count; i += 2) {
        char name[16];
        std::snprintf(name, sizeof name, "t%04d.txt", i);
        TextBatch::write(out / name, "the user's own file\r\n");
    }
    const auto before = TextBatch::snapshot(m_source);
    const fs::path report = m_root / "report.csv";

    CliProcess process({"-p", "100", "--save", "move", "-r", report.string(), m_source.string()});
    ASSERT_TRUE(process.waitForError("Сравнение выполнено"));
    process.sendSignal(SIGINT);
    EXPECT_EQ(process.finish(), 130) << process.err().right(500).toStdString();
    EXPECT_TRUE(process.err().contains("saving stopped")) << process.err().right(500).toStdString();

    const auto saved = savedColumn(report);
    ASSERT_EQ(saved.size(), std::size_t(count));
    std::map<std::string, int> tally;
    for (const auto& [file, outcome] : saved) {
        SCOPED_TRACE(file);
        ++tally[outcome];
        const std::string text = before.at(file);
        const bool inSource = fs::exists(m_source / file);
        if (outcome == "moved") {
            EXPECT_FALSE(inSource);
            EXPECT_EQ(TextBatch::read(out / file), text);
        } else {
            EXPECT_TRUE(outcome == "clash" || outcome.empty()) << outcome;
            EXPECT_TRUE(inSource);
            EXPECT_EQ(TextBatch::read(m_source / file), text);
            if (outcome.empty() && fs::exists(out / file))
                EXPECT_EQ(TextBatch::read(out / file), "the user's own file\r\n");
        }
    }
    EXPECT_GT(tally["moved"], 0);
    EXPECT_GT(tally[""], 0) << "stopped before the end";
    EXPECT_EQ(tally["moved"] + tally["clash"] + tally[""], count);
}

} // namespace
