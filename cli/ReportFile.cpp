#include "ReportFile.h"

#include "CliLanguage.h"
#include "engine/SystemErrors.h"
#include "engine/TemporaryFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

std::runtime_error writeError(const QByteArray& path, const QString& reason) {
    const QString shown = path.isEmpty() ? QStringLiteral("-") : QFile::decodeName(path);
    return std::runtime_error(cliTranslate("ReportFile", "Cannot write the report to \"%1\": %2.")
                                  .arg(shown, reason)
                                  .toStdString());
}

QString systemReason(int error) {
    return SystemErrors::message(error);
}

QByteArray directoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

QByteArray nameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

ReportFile::ReportFile(const QByteArray& path)
    : m_path(path) {
    if (path.isEmpty()) {
        if (!m_file.open(stdout, QIODevice::WriteOnly))
            throw writeError(path, m_file.errorString());
        return;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
        // Opening a device or pipe for writing truncates nothing.
        m_file.setFileName(QFile::decodeName(path));
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly))
            throw writeError(path, m_file.errorString());
        return;
    }
    if (::lstat(path.constData(), &info) == 0 || nameOf(path).isEmpty())
        throw writeError(path, systemReason(EEXIST));
    TemporaryFile::removeStale(directoryOf(path));
    m_part = std::make_unique<TemporaryFile>(directoryOf(path), 0666);
    if (m_part->error() != 0)
        throw writeError(path, systemReason(m_part->error()));
}

ReportFile::~ReportFile() {
    // Left without a report: what was made for it goes again.
    if (!m_done)
        discard();
}

void ReportFile::write(const QByteArray& report) {
    Q_ASSERT_X(!m_done, "ReportFile::write", "a report is written once");
    if (m_part) {
        writeFile(report);
        return;
    }
    bool written = m_file.write(report) == report.size() && m_file.flush();
    QString reason = m_file.errorString();
    m_file.close();
    if (written && m_file.error() != QFileDevice::NoError) {
        written = false;
        reason = m_file.errorString();
    }
    m_done = true;
    if (!written)
        throw writeError(m_path, reason);
}

void ReportFile::writeFile(const QByteArray& report) {
    m_done = true;
    const char* data = report.constData();
    auto left = static_cast<std::size_t>(report.size());
    while (left > 0) {
        const ssize_t put = ::write(m_part->fd(), data, left);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            // A cut-off report is worse than none: a script could take it for whole.
            const int error = errno;
            m_part.reset();
            throw writeError(m_path, systemReason(error));
        }
        data += put;
        left -= static_cast<std::size_t>(put);
    }
    const int error = m_part->publish(nameOf(m_path));
    m_part.reset();
    if (error != 0)
        throw writeError(m_path, systemReason(error));
}

void ReportFile::discard() {
    m_done = true;
    m_file.close();
    m_part.reset();
}

} // namespace quillmark
