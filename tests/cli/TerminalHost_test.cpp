#include "cli/TerminalHost.h"

#include <CLI/CLI.hpp>
#include <QByteArrayList>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

using namespace quillmark;

namespace {

class TerminalHostTest : public ::testing::Test {
protected:
    void parse(std::vector<std::string> arguments) {
        CLI::App app;
        m_options.addTo(app);
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    }

    /// Everything the host wrote so far.
    QByteArray written() {
        std::fflush(m_stream.get());
        std::rewind(m_stream.get());
        QByteArray bytes;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, m_stream.get())) > 0;)
            bytes.append(buffer, static_cast<qsizetype>(got));
        std::fseek(m_stream.get(), 0, SEEK_END);
        return bytes;
    }

    /// A run's calls for one stage as the engine makes them.
    static void loadTwoFiles(TerminalHost& host) {
        host.setCounter(ProgressRow::Loading, {});
        host.setBarPosition(ProgressRow::Loading, 0);
        host.setBarRange(ProgressRow::Loading, 0, 2);
        for (int i = 1; i <= 2; ++i) {
            host.setCounter(ProgressRow::Loading, QString::number(i) + QStringLiteral("/2"));
            host.setBarPosition(ProgressRow::Loading, i);
            host.processEvents();
        }
        host.appendLog(QStringLiteral("12:00:00-> Загружено файлов: 2"), PageSwitch::KeepPage);
    }

    CliOptions m_options;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_stream{std::tmpfile(), &std::fclose};
};

TEST_F(TerminalHostTest, SettingsComeFromTheOptions) {
    parse({"-l", "4", "-p", "35", "--no-lemmatize", "--cut-html", "--unmask", "--save", "copy",
           "/in"});
    TerminalHost host(m_options, m_stream.get(), ProgressDisplay::Hidden);
    EXPECT_EQ(host.sourceDirectory(), "/in/");
    EXPECT_EQ(host.outputDirectory(), "/in/Result/");
    EXPECT_EQ(host.shingleLength(), 4);
    EXPECT_EQ(host.allowedPercent(), 35);
    EXPECT_EQ(host.truncation(), Truncation::Off);
    EXPECT_EQ(host.htmlHandling(), HtmlHandling::Cut);
    EXPECT_EQ(host.unmask(), Unmask::On);
    EXPECT_EQ(host.saveMode(), SaveMode::Copy);
    EXPECT_EQ(host.ask(QStringLiteral("Хотите переместить?")), Answer::No)
        << "the command line moves nothing back";
}

TEST_F(TerminalHostTest, QuietKeepsOnlyFailures) {
    parse({"-q", "/in"});
    TerminalHost host(m_options, m_stream.get(), ProgressDisplay::Hidden);
    host.appendLog(QStringLiteral("12:00:00-> Начало работы.."), PageSwitch::KeepPage);
    EXPECT_TRUE(written().isEmpty());
    EXPECT_FALSE(host.failureReported());

    host.appendLog(QStringLiteral("12:00:01-> Не удалось создать каталог /x/"),
                   PageSwitch::ShowResultPage);
    host.showError(QStringLiteral("Cannot open file \"/in/a\". Permission denied."));
    EXPECT_EQ(QString::fromUtf8(written()),
              QStringLiteral("12:00:01-> Не удалось создать каталог /x/\n"
                             "Cannot open file \"/in/a\". Permission denied.\n"));
    EXPECT_TRUE(host.failureReported());
}

TEST_F(TerminalHostTest, HiddenProgressWritesOnlyTheLog) {
    parse({"/in"});
    TerminalHost host(m_options, m_stream.get(), ProgressDisplay::Hidden);
    loadTwoFiles(host);
    host.finishProgress();
    EXPECT_EQ(QString::fromUtf8(written()), QStringLiteral("12:00:00-> Загружено файлов: 2\n"));
}

TEST_F(TerminalHostTest, ShownProgressKeepsOneFinishedLinePerStage) {
    parse({"/in"});
    TerminalHost host(m_options, m_stream.get(), ProgressDisplay::Shown);
    loadTwoFiles(host);
    host.setBarRange(ProgressRow::Comparison, 0, 2);
    host.setBarPosition(ProgressRow::Comparison, 1);
    host.setCounter(ProgressRow::Comparison, QStringLiteral("1/2"));
    host.setStartCaption(StartCaption::Start); // stopped after the first
    host.setBarPosition(ProgressRow::Loading, 0);
    host.setBarPosition(ProgressRow::Comparison, 0);
    host.finishProgress();

    // What the terminal shows: each line as its last rewrite left it.
    QByteArrayList shown;
    for (const QByteArray& line : written().split('\n')) {
        const QByteArray last = line.mid(line.lastIndexOf('\r') + 1);
        shown.append(last.endsWith("\x1b[K") ? last.chopped(3) : last);
    }
    const QByteArray half = '[' + QByteArray(15, '#') + QByteArray(15, '.') + ']';
    const QByteArray full = '[' + QByteArray(30, '#') + ']';
    EXPECT_EQ(shown,
              QByteArrayList({"Загрузка текстов  2/2 " + full, "12:00:00-> Загружено файлов: 2",
                              "Сравнение текстов  1/2 " + half, ""}));
}

TEST_F(TerminalHostTest, ManyUpdatesAreDrawnSparinglyButEndExact) {
    parse({"/in"});
    TerminalHost host(m_options, m_stream.get(), ProgressDisplay::Shown);
    const int total = 20000;
    host.setBarRange(ProgressRow::Comparison, 0, total);
    for (int i = 1; i < total; ++i) {
        host.setBarPosition(ProgressRow::Comparison, i);
        host.setCounter(ProgressRow::Comparison,
                        QString::number(i) + u'/' + QString::number(total));
        host.processEvents();
    }
    host.finishProgress();
    const QByteArray bytes = written();
    // A loop this short takes well under a redraw interval per hundred files.
    EXPECT_LT(bytes.count('\r'), total / 100);
    EXPECT_TRUE(bytes.endsWith(QByteArray::number(total - 1) + '/' + QByteArray::number(total) +
                               " [" + QByteArray(29, '#') + ".]\x1b[K\n"));
}

} // namespace
