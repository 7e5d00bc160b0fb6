#include "RunControl.h"

#include "TemporaryFile.h"
#include "TextFile.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

namespace quillmark {

RunControl::RunControl(EngineHost& host, std::function<bool()> stopRequested)
    : m_host(host)
    , m_stopRequested(std::move(stopRequested)) {}

void RunControl::AddLog(const QString& message, PageSwitch page) {
    m_host.appendLog(m_clock.now() + QStringLiteral("-> ") + message, page);
}

void RunControl::showError(const QString& text) {
    m_host.showError(TextFile::withFullStop(text));
}

void RunControl::throwIfStopped() const {
    if (stopRequested())
        throw Stopped();
}

void RunControl::handleEvents() {
    m_host.processEvents();
    throwIfStopped();
}

void RunControl::waitFor(const std::function<bool(std::chrono::milliseconds)>& ready) {
    while (!ready(pace))
        handleEvents();
}

void RunControl::setJobCount(int count) {
    m_jobCount = std::max(count, 0);
}

int RunControl::threadCount() const {
    return m_jobCount > 0 ? m_jobCount : ParallelLoader::defaultThreads();
}

LoadJob RunControl::settingsNow() {
    LoadJob job;
    job.html = m_host.htmlHandling();
    job.encoding = m_host.forcedEncoding();
    job.shingleLength = m_host.shingleLength();
    job.truncation = m_host.truncation();
    job.unmask = m_host.unmask();
    // Saving tells a text already in the output by it.
    job.checksum = m_host.saveMode() == SaveMode::None ? Checksum::Skip : Checksum::Take;
    return job;
}

LoadJob RunControl::withPath(LoadJob settings, const QByteArray& path) {
    settings.path = path;
    return settings;
}

bool RunControl::isBatchText(const DirectoryEntry& entry) {
    // A file this program is writing, or a killed run left, is no text.
    return entry.loadable() && !TemporaryFile::isTemporaryName(entry.name);
}

QString RunControl::translatedReason(const QString& reason) {
    // Reading gives its reasons in Russian; tables and reports keep them so.
    return QCoreApplication::translate("UnreadableText", reason.toUtf8().constData());
}

QString RunControl::counterText(qint64 done, qint64 total) {
    return QString::number(done) + u'/' + QString::number(total);
}

QString RunControl::unreadNote(const DocumentTable& documents) {
    if (documents.unread.empty())
        return {};
    return QCoreApplication::translate("BatchEngine", ", не прочитано - %1")
        .arg(documents.unread.size());
}

} // namespace quillmark
