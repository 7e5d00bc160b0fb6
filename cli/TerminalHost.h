// The engine's host for the command line: the settings come from the options,
// log lines and failures go to standard error, progress to a line of the
// terminal that is rewritten in place, and Ctrl+C is the stop press.
#pragma once

#include "CliOptions.h"
#include "ProgressLine.h"
#include "engine/EngineHost.h"

#include <QString>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>

namespace quillmark {

class BatchEngine;

/// Whether the progress rows are drawn (only ever on a terminal).
enum class ProgressDisplay { Hidden, Shown };

class TerminalHost : public EngineHost {
public:
    TerminalHost(const CliOptions& options, std::FILE* stream, ProgressDisplay progress);

    /// The engine that a Ctrl+C is forwarded to.
    void attach(BatchEngine& engine) { m_engine = &engine; }
    /// Ends the progress line on the terminal, if one is open.
    void finishProgress();

    /// Whether a failure reached the user (an error or a failing log line).
    bool failureReported() const { return m_failureReported; }
    /// The last result line (sRes).
    const QString& result() const { return m_result; }
    /// Writes one line to the stream, after the progress line if one is open.
    void printLine(const QString& text);

    QString sourceDirectory() override { return m_options.sourceDirectory(); }
    QString outputDirectory() override { return m_options.outputDirectory(); }
    QByteArray sourcePath() override { return m_options.sourcePath(); }
    QByteArray outputPath() override { return m_options.outputPath(); }
    int shingleLength() override { return m_options.shingleLength(); }
    Truncation truncation() override { return m_options.truncation(); }
    HtmlHandling htmlHandling() override { return m_options.htmlHandling(); }
    Unmask unmask() override { return m_options.unmask(); }
    QByteArray templatePath() override { return m_options.templatePath(); }
    int commonPercent() override { return m_options.commonPercent(); }
    Encoding forcedEncoding() override { return m_options.forcedEncoding(); }
    int allowedPercent() override { return m_options.allowedPercent(); }
    SaveMode saveMode() override { return m_options.saveMode(); }
    bool againstOutput() override { return m_options.againstOutput(); }
    std::vector<QByteArray> referencePaths() override { return m_options.referencePaths(); }
    QByteArray referenceCachePath() override { return m_options.referenceCachePath(); }
    QByteArray archiveUri() override { return m_options.archiveUri(); }

    void setCounter(ProgressRow row, const QString& text) override;
    void setProgressLabel(ProgressRow row, const QString& text) override;
    void setBarRange(ProgressRow row, int minimum, int maximum) override;
    void setBarPosition(ProgressRow row, int position) override;
    void setResult(const QString& text) override { m_result = text; }
    void setStartCaption(StartCaption caption) override;
    void setStartState(ButtonState) override {}
    void setSelectState(ButtonState) override {}
    void clearLog() override {}
    void appendLog(const QString& line, PageSwitch page) override;

    /// The report is written once, after the run.
    void resultsChanged() override {}
    void processEvents() override;
    void showError(const QString& text) override;
    /// Never asked on the command line (there is no new selection); No moves
    /// nothing.
    Answer ask(const QString&) override { return Answer::No; }

private:
    ProgressLine& line(ProgressRow row) { return m_rows[static_cast<std::size_t>(row)]; }
    void draw();
    void write(const QByteArray& bytes);

    const CliOptions& m_options;
    std::FILE* m_stream;
    ProgressDisplay m_progress;
    BatchEngine* m_engine = nullptr;
    std::array<ProgressLine, 3> m_rows;
    /// The row whose line is open on the terminal (not yet ended by a newline).
    std::optional<ProgressRow> m_openRow;
    bool m_openRowDirty = false;
    std::chrono::steady_clock::time_point m_lastDraw;
    bool m_failureReported = false;
    bool m_stopForwarded = false;
    QString m_result;
};

} // namespace quillmark
