// The HTML report of quillmark-cli as a browser reads it: Chromium without a
// window prints the page's DOM after parsing it, and draws it to an image.
#include "CliProcess.h"
#include "TextBatch.h"
#include "analysis/Cp1251.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::test;
namespace fs = std::filesystem;

namespace {

const QString Chromium = QStringLiteral("/usr/bin/chromium");

std::size_t occurrences(const QByteArray& text, const QByteArray& needle) {
    return static_cast<std::size_t>(text.count(needle));
}

/// Runs Chromium headless on `page` with `extra` arguments and a fresh
/// profile under `profileDir`; returns what it printed. It must not hang a
/// test run: timeout(1) ends it after a minute.
QByteArray runChromium(const QString& profileDir, const QStringList& extra, const QString& page,
                       int* exitCode) {
    QStringList arguments{QStringLiteral("60"),
                          Chromium,
                          QStringLiteral("--headless"),
                          QStringLiteral("--no-sandbox"),
                          QStringLiteral("--disable-gpu"),
                          QStringLiteral("--disable-quic"),
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--disable-background-networking"),
                          QStringLiteral("--disable-component-update"),
                          QStringLiteral("--disable-sync"),
                          QStringLiteral("--user-data-dir=") + profileDir};
    arguments += extra;
    arguments += QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded);
    QProcess chromium;
    chromium.setProgram(QStringLiteral("timeout"));
    chromium.setArguments(arguments);
    chromium.setProcessChannelMode(QProcess::SeparateChannels);
    chromium.start();
    if (!chromium.waitForFinished(90'000)) {
        chromium.kill();
        chromium.waitForFinished();
    }
    *exitCode = chromium.exitStatus() == QProcess::NormalExit ? chromium.exitCode() : -1;
    return chromium.readAllStandardOutput();
}

TEST(HtmlReportInBrowserTest, ChromiumShowsTheTableAndTheMarkedPassages) {
    if (!QFileInfo(Chromium).isExecutable())
        GTEST_SKIP() << "chromium is not installed: " << Chromium.toStdString()
                     << " is missing (./test installs the Debian package chromium)";
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const fs::path root = temp.path().toStdString();
    const fs::path source = root / "texts";
    fs::create_directory(source);
    const std::string original = TextBatch::article(1, 300);
    TextBatch::write(source / "a_original.txt", original);
    TextBatch::write(source / "b <copy> & \"more\".txt", original);
    TextBatch::write(source / "c_rewrite.txt", TextBatch::rewrite(original, 1));
    TextBatch::write(source / "e_other.txt", TextBatch::article(2, 300));

    const fs::path report = root / "report.html";
    QByteArray err;
    ASSERT_EQ(CliProcess::run({"-q", "--format", "html", "--pairs", "2", "-r", report.string(),
                               source.string()},
                              nullptr, &err),
              0)
        << err.toStdString();

    int exitCode = 0;
    const QByteArray dom = runChromium(temp.filePath("profile-dom"), {QStringLiteral("--dump-dom")},
                                       QString::fromStdString(report.string()), &exitCode);
    ASSERT_EQ(exitCode, 0) << "chromium failed or took longer than a minute";
    ASSERT_TRUE(dom.contains("</html>")) << dom.left(300).toStdString();

    EXPECT_EQ(occurrences(dom, "<tr id=\"row-"), 4u) << "a row per text";
    EXPECT_EQ(occurrences(dom, "<section class=\"pair\""), 2u) << "the copy and the rewrite";
    EXPECT_TRUE(dom.contains("<td><a href=\"#text-2\">b &lt;copy&gt; &amp; \"more\".txt</a></td>"))
        << "the name is text, not markup";
    EXPECT_FALSE(dom.contains("<copy>"));

    // The copy is shared from its first word to its last: the first line of
    // the article opens a mark.
    std::string firstLine;
    Cp1251::appendUtf8(original.substr(0, original.find("\r\n")), firstLine);
    EXPECT_TRUE(dom.contains("<mark>" + QByteArray::fromStdString(firstLine) + "\n")) << firstLine;

    const QString screenshot = temp.filePath("report.png");
    runChromium(temp.filePath("profile-shot"),
                {QStringLiteral("--screenshot=") + screenshot,
                 QStringLiteral("--window-size=1280,2000"), QStringLiteral("--hide-scrollbars")},
                QString::fromStdString(report.string()), &exitCode);
    EXPECT_EQ(exitCode, 0);
    const std::string image = TextBatch::read(screenshot.toStdString());
    EXPECT_TRUE(image.starts_with("\x89PNG\r\n\x1A\n")) << "a PNG image";
    EXPECT_GT(image.size(), 20'000u) << "more than a blank page";
}

} // namespace
