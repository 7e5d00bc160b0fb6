#include "TerminalHost.h"

#include "InterruptFlag.h"
#include "engine/BatchEngine.h"

#include <QCoreApplication>

namespace quillmark {

namespace {

// Often enough to look alive, rarely enough to cost nothing at thousands of
// files per second.
constexpr auto redrawInterval = std::chrono::milliseconds(100);

} // namespace

TerminalHost::TerminalHost(const CliOptions& options, std::FILE* stream, ProgressDisplay progress)
    : m_options(options)
    , m_stream(stream)
    , m_progress(progress)
    , m_rows{ProgressLine(QCoreApplication::translate("TerminalHost", "Загрузка текстов")),
             ProgressLine(QCoreApplication::translate("TerminalHost", "Сравнение текстов")),
             ProgressLine(QCoreApplication::translate("TerminalHost", "Сохранение выборки"))} {}

void TerminalHost::setCounter(ProgressRow row, const QString& text) {
    line(row).setCounter(text);
    // A cleared counter is the start of a run, not progress worth a line.
    if (text.isEmpty() || m_progress == ProgressDisplay::Hidden)
        return;
    if (m_openRow != row) {
        finishProgress();
        m_openRow = row;
        m_lastDraw = {};
    }
    m_openRowDirty = true;
}

void TerminalHost::setProgressLabel(ProgressRow row, const QString& text) {
    line(row).setLabel(text);
}

void TerminalHost::setBarRange(ProgressRow row, int minimum, int maximum) {
    line(row).setRange(minimum, maximum);
}

void TerminalHost::setBarPosition(ProgressRow row, int position) {
    line(row).setPosition(position);
    if (m_openRow == row)
        m_openRowDirty = true;
}

void TerminalHost::setStartCaption(StartCaption caption) {
    // The run is over: its last progress stays as drawn.
    if (caption == StartCaption::Start)
        finishProgress();
}

void TerminalHost::appendLog(const QString& line, PageSwitch page) {
    if (page == PageSwitch::ShowResultPage)
        m_failureReported = true;
    else if (m_options.verbosity() == Verbosity::Quiet)
        return;
    printLine(line);
}

void TerminalHost::showError(const QString& text) {
    m_failureReported = true;
    printLine(text);
}

void TerminalHost::processEvents() {
    // Drawn here, where the counter and the bar of a file both stand.
    if (m_openRowDirty) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastDraw >= redrawInterval) {
            m_lastDraw = now;
            draw();
        }
    }
    if (m_stopForwarded || m_engine == nullptr || !InterruptFlag::raised())
        return;
    m_stopForwarded = true;
    m_engine->requestStop();
}

void TerminalHost::printLine(const QString& text) {
    finishProgress();
    write(text.toUtf8() + '\n');
}

void TerminalHost::finishProgress() {
    if (!m_openRow)
        return;
    if (m_openRowDirty)
        draw();
    write("\n");
    m_openRow.reset();
}

void TerminalHost::draw() {
    Q_ASSERT_X(m_openRow, "TerminalHost::draw", "only the open row is drawn");
    // Back to the line's start, the row, then erase what a longer text left.
    write("\r" + line(*m_openRow).text().toUtf8() + "\x1b[K");
    m_openRowDirty = false;
}

void TerminalHost::write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_stream);
    std::fflush(m_stream);
}

} // namespace quillmark
